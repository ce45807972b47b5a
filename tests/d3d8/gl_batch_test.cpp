// Draws the OpenGL device sends to GL together: draws with the same state
// merge (one world matrix, one range under many world matrices, ranges apart
// under a matrix each) and give exactly the pixels of the same draws sent one
// by one, blending order included; and everything that changes what a queued
// draw draws, or reads what it drew, comes after it.
#include <cctype>
#include <cmath>
#include <functional>

#include "tests/d3d8/gl_fixture.h"

namespace vt::d3d8::test {
namespace {


void WriteVb(IDirect3DVertexBuffer8* vb, const void* data, size_t bytes) {
    BYTE* p = nullptr;
    ASSERT_EQ(vb->Lock(0, UINT(bytes), &p, 0), D3D_OK);
    std::memcpy(p, data, bytes);
    vb->Unlock();
}

D3DMATRIX Translate(float x, float y) { return Mat({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, 0, 1}); }

// Rotation about z by `turn` radians, scaled, then moved: normals turn with
// it (the lighting shows it) and z moves (the fog shows it).
D3DMATRIX Placed(float turn, float scale, float x, float y, float z) {
    const float c = std::cos(turn) * scale, s = std::sin(turn) * scale;
    return Mat({c, s, 0, 0, -s, c, 0, 0, 0, 0, scale, 0, x, y, z, 1});
}

class Batching : public ClipSpaceTest {
protected:
    void TearDown() override {
        if (dev_) {
            dev_->SetStreamSource(0, nullptr, 0);
            dev_->SetIndices(nullptr, 0);
        }
        if (vb_) vb_->Release();
        if (ib_) ib_->Release();
        GlDeviceTest::TearDown();
    }
    // One vertex buffer for all the draws of a test, bound as the stream.
    template <class V>
    void Vertices(const std::vector<V>& v, DWORD fvf) {
        ASSERT_EQ(dev_->CreateVertexBuffer(UINT(v.size() * sizeof(V)), 0, fvf, D3DPOOL_MANAGED, &vb_), D3D_OK);
        WriteVb(vb_, v.data(), v.size() * sizeof(V));
        dev_->SetVertexShader(fvf);
        dev_->SetStreamSource(0, vb_, sizeof(V));
    }
    void Indices(const std::vector<uint16_t>& i) {
        ASSERT_EQ(dev_->CreateIndexBuffer(UINT(i.size() * 2), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib_), D3D_OK);
        BYTE* p = nullptr;
        ASSERT_EQ(ib_->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(p, i.data(), i.size() * 2);
        ib_->Unlock();
        dev_->SetIndices(ib_, 0);
    }
    uint64_t GlDraws() const { return GetStats(dev_).glDraws; }
    // Draws nothing and changes no pixel, but changes a state: what is
    // queued goes to GL now.
    void Separate() {
        dither_ = !dither_;
        dev_->SetRenderState(D3DRS_DITHERENABLE, dither_);
    }
    void Blended() {
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
    // Lit by a slanted white light with the vertex colour as the diffuse
    // colour, and fogged to grey by camera-space depth.
    void LitAndFogged() {
        dev_->SetRenderState(D3DRS_LIGHTING, TRUE);
        dev_->SetRenderState(D3DRS_AMBIENT, 0xff202020);
        D3DLIGHT8 l{};
        l.Type = D3DLIGHT_DIRECTIONAL;
        l.Diffuse = {1, 1, 1, 1};
        l.Direction = {0.6f, -0.3f, 0.74f};
        dev_->SetLight(0, &l);
        dev_->LightEnable(0, TRUE);
        D3DMATERIAL8 m{};
        m.Diffuse = m.Ambient = {1, 1, 1, 1};
        dev_->SetMaterial(&m);
        dev_->SetRenderState(D3DRS_FOGENABLE, TRUE);
        dev_->SetRenderState(D3DRS_FOGCOLOR, 0xff808080);
        dev_->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
        dev_->SetRenderState(D3DRS_FOGSTART, FtoDW(0.0f));
        dev_->SetRenderState(D3DRS_FOGEND, FtoDW(1.5f));
    }

    IDirect3DVertexBuffer8* vb_ = nullptr;
    IDirect3DIndexBuffer8* ib_ = nullptr;
    bool dither_ = false;
};

// ---------------------------------------------------------------------------
// Merged and separate draws give the same pixels

// Four overlapping half-transparent squares around the middle of the screen,
// four vertices each, and their triangles as indices.
std::vector<LitVertex> Squares() {
    const D3DCOLOR colours[4] = {0x80ff0000, 0x8000ff00, 0x800000ff, 0xc0ffff00};
    std::vector<LitVertex> v;
    for (int k = 0; k < 4; ++k) {
        const float x0 = -0.6f + 0.25f * float(k), y0 = 0.5f - 0.2f * float(k);
        const float x1 = x0 + 0.7f, y1 = y0 - 0.8f;
        const D3DCOLOR c = colours[k];
        for (LitVertex p : {LitVertex{x0, y0, 0.5f, 0, 0, -1, c}, LitVertex{x1, y0, 0.5f, 0, 0, -1, c},
                            LitVertex{x1, y1, 0.5f, 0, 0, -1, c}, LitVertex{x0, y1, 0.5f, 0, 0, -1, c}})
            v.push_back(p);
    }
    return v;
}
std::vector<uint16_t> SquareIndices() {
    std::vector<uint16_t> i;
    for (uint16_t k = 0; k < 4; ++k)
        for (uint16_t c : {0, 1, 2, 0, 2, 3}) i.push_back(uint16_t(4 * k + c));
    return i;
}

struct Piece {
    int square;  // which square's vertices (and indices) it draws
    int world;   // index into the case's world matrices
};

struct MergeCase {
    const char* name;
    bool indexed;
    bool lit;  // lighting and fog, which read the world-view and normal matrices
    std::vector<D3DMATRIX> worlds;
    std::vector<Piece> pieces;
    uint64_t mergedDraws;  // GL draws the pieces take when nothing separates them
};

const D3DMATRIX kI = IdentityMatrix();
const D3DMATRIX kA = Placed(0.4f, 0.8f, 0.1f, -0.1f, 0.3f);
const D3DMATRIX kB = Placed(-0.7f, 1.1f, -0.2f, 0.15f, 0.2f);

const MergeCase kMergeCases[] = {
    {"one world, fans in order", false, false, {kI}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, 1},
    {"one world, indexed, a square twice", true, false, {kA}, {{2, 0}, {0, 0}, {1, 0}, {2, 0}}, 1},
    {"one range under many worlds", false, true, {kI, kA, kB}, {{1, 0}, {1, 1}, {1, 2}, {1, 1}}, 1},
    {"one indexed range under many worlds", true, true, {kA, kB, kI}, {{3, 0}, {3, 1}, {3, 2}}, 1},
    {"ranges apart, a world each", false, true, {kI, kA, kB}, {{0, 0}, {3, 1}, {1, 2}, {2, 1}}, 1},
    {"indexed ranges apart, worlds shared", true, true, {kB, kA}, {{0, 0}, {1, 1}, {2, 1}, {3, 0}}, 1},
    // The same vertices again under another world after a multi-draw, and
    // a range reread under a new world: each starts a new GL draw.
    {"vertices reread under a new world", false, true, {kI, kA}, {{0, 0}, {1, 0}, {0, 1}}, 2},
    {"ranges apart, then one reread", false, false, {kI, kA, kB}, {{0, 0}, {1, 1}, {0, 2}}, 2},
};

class MergedDraws : public Batching, public ::testing::WithParamInterface<MergeCase> {
protected:
    // The case's pieces drawn, all queued together or each sent alone;
    // the picture and the GL draws it took.
    std::vector<uint8_t> Run(bool separate, uint64_t& draws) {
        const MergeCase& c = GetParam();
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0);
        const uint64_t before = GlDraws();
        for (const Piece& p : c.pieces) {
            dev_->SetTransform(D3DTS_WORLD, &c.worlds[size_t(p.world)]);
            if (separate) Separate();
            const UINT first = UINT(4 * p.square);
            HRESULT hr = c.indexed ? dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, first, 4, UINT(6 * p.square), 2)
                                   : dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, first, 2);
            EXPECT_EQ(hr, D3D_OK);
        }
        Separate();
        draws = GlDraws() - before;
        Read();
        return rgb_;
    }
};

TEST_P(MergedDraws, SameFrameAsSeparateDraws) {
    const MergeCase& c = GetParam();
    Blended();
    if (c.lit) LitAndFogged();
    Vertices(Squares(), kFvfLit);
    if (c.indexed) Indices(SquareIndices());
    uint64_t separateDraws = 0, mergedDraws = 0;
    const std::vector<uint8_t> separate = Run(true, separateDraws);
    const std::vector<uint8_t> merged = Run(false, mergedDraws);
    EXPECT_EQ(separateDraws, c.pieces.size());
    EXPECT_EQ(mergedDraws, c.mergedDraws);
    // The squares overlap and blend: a lost draw or a changed order shows.
    ASSERT_EQ(merged.size(), separate.size());
    size_t differing = 0;
    for (size_t i = 0; i < merged.size(); ++i) differing += merged[i] != separate[i];
    EXPECT_EQ(differing, 0u) << "bytes that differ between the merged and the separate frame";
    size_t lit = 0;
    for (uint8_t b : merged) lit += b != 0;
    EXPECT_GT(lit, merged.size() / 20) << "the squares drew";
}

INSTANTIATE_TEST_SUITE_P(Shapes, MergedDraws, ::testing::ValuesIn(kMergeCases),
                         [](const ::testing::TestParamInfo<MergeCase>& info) {
                             std::string n;
                             for (const char* p = info.param.name; *p; ++p)
                                 n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return n;
                         });

TEST_F(Batching, PreTransformedDrawsMergeWhateverTheWorldMatrix) {
    std::vector<TLVertex> v = Quad(2, 2, 30, 30, 0x80ff0000);
    for (const TLVertex& q : Quad(20, 10, 50, 40, 0x800000ff)) v.push_back(q);
    Blended();
    Vertices(v, kFvfTL);
    const uint64_t before = GlDraws();
    dev_->SetTransform(D3DTS_WORLD, &kA);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    dev_->SetTransform(D3DTS_WORLD, &kB);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 4, 2), D3D_OK);
    Read();
    EXPECT_EQ(GlDraws() - before, 1u);
    EXPECT_TRUE(RegionIs(4, 4, 18, 8, {128, 0, 0}, 2));
    EXPECT_TRUE(RegionIs(32, 32, 48, 38, {0, 0, 128}, 2));
    EXPECT_TRUE(RegionIs(22, 12, 28, 28, {64, 0, 128}, 2));  // blue over red
}

// Strips read through indices under a base vertex (SetIndices' second
// argument), several in one batch: ES has neither base vertices nor
// multi-draws and joins them with restart indices; the pixels must not tell.
TEST_F(Batching, IndexedStripsUnderABaseVertexMergeIntoTheSamePicture) {
    std::vector<LitVertex> v(3, LitVertex{0, 0, 0.5f, 0, 0, -1, 0});  // never read: below every base
    for (const LitVertex& q : Squares()) v.push_back(q);
    Blended();
    Vertices(v, kFvfLit);
    // Each square's corners as a strip, the indices counted from the base.
    std::vector<uint16_t> strips;
    for (uint16_t k = 0; k < 4; ++k)
        for (uint16_t c : {0, 1, 3, 2}) strips.push_back(uint16_t(4 * k + c));
    Indices(strips);
    dev_->SetIndices(ib_, 3);
    auto frame = [&](bool separate, uint64_t& draws) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0);
        const uint64_t before = GlDraws();
        for (UINT k : {2u, 0u, 3u, 1u}) {
            if (separate) Separate();
            EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 4 * k, 4, 4 * k, 2), D3D_OK);
        }
        Separate();
        draws = GlDraws() - before;
        Read();
        return rgb_;
    };
    uint64_t separateDraws = 0, mergedDraws = 0;
    const std::vector<uint8_t> separate = frame(true, separateDraws);
    const std::vector<uint8_t> merged = frame(false, mergedDraws);
    EXPECT_EQ(separateDraws, 4u);
    EXPECT_EQ(mergedDraws, 1u);
    EXPECT_EQ(merged, separate);
    EXPECT_TRUE(RegionIs(14, 13, 19, 16, {128, 0, 0}, 2)) << "square 0 alone";
}

// Hundreds of draws in one batch, each under its own world matrix: the
// per-draw matrices fill several rows of the texture ES keeps them in.
TEST_F(Batching, HundredsOfWorldMatricesInOneBatchDrawWhereEachSays) {
    Vertices(Squares(), kFvfLit);
    Indices(SquareIndices());
    auto frame = [&](bool separate, bool indexed, uint64_t& draws) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0);
        const uint64_t before = GlDraws();
        // 300 small squares on a 20 x 15 grid, each a world matrix of its own.
        for (int k = 0; k < 300; ++k) {
            const D3DMATRIX w = Mat({0.14f, 0, 0, 0, 0, 0.14f, 0, 0, 0, 0, 1, 0, -0.95f + 0.1f * float(k % 20),
                                     0.95f - 0.13f * float(k / 20), 0, 1});
            dev_->SetTransform(D3DTS_WORLD, &w);
            if (separate) Separate();
            EXPECT_EQ(indexed ? dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2)
                              : dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2),
                      D3D_OK);
        }
        Separate();
        draws = GlDraws() - before;
        Read();
        return rgb_;
    };
    for (bool indexed : {false, true}) {
        uint64_t separateDraws = 0, mergedDraws = 0;
        const std::vector<uint8_t> separate = frame(true, indexed, separateDraws);
        const std::vector<uint8_t> merged = frame(false, indexed, mergedDraws);
        EXPECT_EQ(separateDraws, 300u);
        EXPECT_EQ(mergedDraws, 1u) << "one range again and again: one instanced draw";
        size_t differing = 0, lit = 0;
        for (size_t i = 0; i < merged.size(); ++i) {
            differing += merged[i] != separate[i];
            lit += merged[i] != 0;
        }
        EXPECT_EQ(differing, 0u) << (indexed ? "indexed" : "not indexed");
        EXPECT_GT(lit, merged.size() / 5) << "the squares drew";
    }
}

// A 16-bit index of 0xffff names vertex 65535; the restart index WebGL
// always applies must not swallow it.
TEST_F(Batching, TheLastSixteenBitIndexIsAVertex) {
    std::vector<LitVertex> v(65536, LitVertex{0, 0, 0.5f, 0, 0, -1, 0xff00ff00});
    const std::vector<LitVertex> column = Column(1, 0xff00ff00);
    v[0] = column[0];
    v[1] = column[1];
    v[2] = column[2];
    v[65535] = column[3];
    Vertices(v, kFvfLit);
    Indices({0, 1, 2, 0, 2, 65535});
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 65536, 0, 2), D3D_OK);
    Read();
    EXPECT_TRUE(ColumnIs(1, {0, 255, 0}));
}

// ---------------------------------------------------------------------------
// What comes between two draws splits them, and the second sees it

struct Between {
    const char* name;
    // Makes the change; the test then draws the second column.
    std::function<void(IDirect3DDevice8*, IDirect3DVertexBuffer8*, IDirect3DTexture8*)> change;
    RGB first, second;  // the columns' colours expected afterwards
};

class SplitDraws : public Batching, public ::testing::WithParamInterface<Between> {};

// Columns 0 and 1 drawn from one buffer: texel times texture factor (magenta)
// times vertex colour, so a texture, a state and the vertices can each change.
TEST_P(SplitDraws, SecondDrawSeesTheChangeAndTheFirstDoesNot) {
    const Between& b = GetParam();
    std::vector<LitVertex> v = Column(0, 0xffffffff);
    for (const LitVertex& q : Column(1, 0xffffffff)) v.push_back(q);
    Vertices(v, kFvfLit);
    IDirect3DTexture8* tex = MakeTexture(1, 1, {0xffffffff});
    ASSERT_NE(tex, nullptr);
    dev_->SetTexture(0, tex);
    dev_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xffff00ff);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    // Vertex colour in the second stage, so rewritten vertices show.
    dev_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev_->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    dev_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_DIFFUSE);

    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    b.change(dev_, vb_, tex);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 4, 2), D3D_OK);
    Read();
    EXPECT_TRUE(ColumnIs(0, b.first));
    EXPECT_TRUE(ColumnIs(1, b.second));
    dev_->SetTexture(0, nullptr);
    tex->Release();
}

void Recolour(IDirect3DVertexBuffer8* vb, D3DCOLOR c) {
    std::vector<LitVertex> v = Column(0, c);
    for (const LitVertex& q : Column(1, c)) v.push_back(q);
    WriteVb(vb, v.data(), v.size() * sizeof(LitVertex));
}

const Between kBetween[] = {
    {"render state", [](IDirect3DDevice8* dev, auto*, auto*) { dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0xff00ffff); },
     {255, 0, 255}, {0, 255, 255}},
    {"stage state",
     [](IDirect3DDevice8* dev, auto*, auto*) { dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1); },
     {255, 0, 255}, {255, 255, 255}},
    {"vertex buffer rewritten", [](IDirect3DDevice8*, auto* vb, auto*) { Recolour(vb, 0xffffff00); }, {255, 0, 255},
     {255, 0, 0}},
    {"texture rewritten",
     [](IDirect3DDevice8*, auto*, IDirect3DTexture8* tex) {
         D3DLOCKED_RECT lr{};
         ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
         const uint32_t yellow = 0xffffff00;
         std::memcpy(lr.pBits, &yellow, 4);
         tex->UnlockRect(0);
     },
     {255, 0, 255}, {255, 0, 0}},
    {"clear", [](IDirect3DDevice8* dev, auto*, auto*) { dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1, 0); },
     {0, 255, 0}, {255, 0, 255}},
    {"read-back",
     [](IDirect3DDevice8* dev, auto*, auto*) {
         std::vector<uint8_t> rgb;
         UINT w = 0, h = 0;
         ASSERT_EQ(ReadBackBuffer(dev, rgb, w, h), D3D_OK);
         const uint8_t* p = &rgb[(size_t(10) * w + 8) * 3];
         EXPECT_EQ(RGB({p[0], p[1], p[2]}), RGB({255, 0, 255})) << "the queued draw is in the picture read back";
     },
     {255, 0, 255}, {255, 0, 255}},
    {"view matrix",
     [](IDirect3DDevice8* dev, auto*, auto*) {
         const D3DMATRIX right = Translate(0.5f, 0);
         dev->SetTransform(D3DTS_VIEW, &right);
     },
     {255, 0, 255}, {0, 0, 0}},
};

INSTANTIATE_TEST_SUITE_P(Changes, SplitDraws, ::testing::ValuesIn(kBetween),
                         [](const ::testing::TestParamInfo<Between>& info) {
                             std::string n;
                             for (const char* p = info.param.name; *p; ++p)
                                 n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return n;
                         });

TEST_F(Batching, AWorldSetAfterTheLastDrawIsNotTheOneItWasDrawnUnder) {
    Vertices(Column(0, 0xffff0000), kFvfLit);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    const D3DMATRIX right = Translate(0.5f, 0);
    dev_->SetTransform(D3DTS_WORLD, &right);
    Separate();  // the queued draw goes to GL with the world matrix moved on
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 0, 0}));
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    Read();
    EXPECT_TRUE(ColumnIs(1, {255, 0, 0}));
}

TEST_F(Batching, AnIndexBufferRewrittenBetweenDrawsSplitsThem) {
    std::vector<LitVertex> v = Column(0, 0xffff0000);
    for (const LitVertex& q : Column(1, 0xff00ff00)) v.push_back(q);
    Vertices(v, kFvfLit);
    Indices({0, 1, 2, 0, 2, 3});
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 8, 0, 2), D3D_OK);
    BYTE* p = nullptr;
    ASSERT_EQ(ib_->Lock(0, 0, &p, 0), D3D_OK);
    const uint16_t second[6] = {4, 5, 6, 4, 6, 7};
    std::memcpy(p, second, sizeof second);
    ib_->Unlock();
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 8, 0, 2), D3D_OK);
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 255, 0}));
}

TEST_F(Batching, ARefusedDrawLeavesTheQueuedOnesAlone) {
    Vertices(Column(0, 0xffff0000), kFvfLit);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 2, 2), D3DERR_INVALIDCALL);  // past the buffer's end
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 0, 0}));
}

TEST_F(Batching, PresentShowsTheQueuedDraws) {
    Vertices(Column(2, 0xff00ff00), kFvfLit);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    ASSERT_EQ(dev_->EndScene(), D3D_OK);
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(ReadPresentedImage(dev_, rgb_, w_, h_), D3D_OK);
    EXPECT_TRUE(ColumnIs(2, {0, 255, 0}));
    ASSERT_EQ(dev_->BeginScene(), D3D_OK);
}

TEST_F(Batching, RepeatedSettingsOfTheSameValuesKeepOneGlDraw) {
    // What a mesh's DrawSubset does for every bead: stream, indices and
    // format again, then the same range under a new world matrix.
    Vertices(Squares(), kFvfLit);
    Indices(SquareIndices());
    const uint64_t before = GlDraws(), showDraws = GetStats(dev_).drawCalls;
    for (int k = 0; k < 40; ++k) {
        const D3DMATRIX w = Placed(0.1f * float(k), 0.5f, 0.02f * float(k) - 0.4f, 0, 0.5f);
        dev_->SetTransform(D3DTS_WORLD, &w);
        dev_->SetStreamSource(0, vb_, sizeof(LitVertex));
        dev_->SetIndices(ib_, 0);
        dev_->SetVertexShader(kFvfLit);
        D3DMATERIAL8 m{};
        m.Diffuse = {1, 1, 1, 1};
        dev_->SetMaterial(&m);
        EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    }
    Read();
    EXPECT_EQ(GlDraws() - before, 1u);
    EXPECT_EQ(GetStats(dev_).drawCalls - showDraws, 40u);
}

}  // namespace
}  // namespace vt::d3d8::test
