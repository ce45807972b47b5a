// The OpenGL device at an internal resolution above 1 and multisampled: the
// program keeps seeing the sizes it asked for while the targets are stored
// larger; pre-transformed quads, lines, points, clear rectangles and
// viewports land where scaled; cube faces are drawn and sampled at their
// stored size; multisampled edges blend while flat areas keep their values,
// and a multisampled texture target is resolved once per change.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/d3d8/gl_common.h"
#include "tests/d3d8/gl_fixture.h"

namespace vt::d3d8::test {
namespace {

// A device storing its targets k times larger (2 unless restarted), the
// program's back buffer 64 x 48 as everywhere else.
class Scaled : public GlDeviceTest {
protected:
    void SetUp() override { Start(2.0f, 0); }
    void TearDown() override {
        GlDeviceTest::TearDown();
        SetRenderScale(1.0f);
        SetMultisample(0);
    }
    void Start(float k, int samples, UINT w = kW, UINT h = kH) {
        SetRenderScale(k);
        SetMultisample(samples);
        CreateDevice(w, h, true);
        PlainState();
    }
    void Restart(float k, int samples, UINT w = kW, UINT h = kH) {
        GlDeviceTest::TearDown();
        dev_ = nullptr;
        d3d_ = nullptr;
        Start(k, samples, w, h);
    }
    // Stored pixels whose red, green or blue is over 64.
    bool Lit(int x, int y) const {
        const RGB p = At(x, y);
        return std::max({p[0], p[1], p[2]}) > 64;
    }
    // The lit stored pixels of column x in [y0, y1), or of row y in [x0, x1).
    int LitInColumn(int x, int y0, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y) n += Lit(x, y);
        return n;
    }
    int LitInRow(int y, int x0, int x1) const {
        int n = 0;
        for (int x = x0; x < x1; ++x) n += Lit(x, y);
        return n;
    }
    void Blend() {
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
};

TEST_F(Scaled, TheProgramSeesItsSizesWhileTargetsAreStoredTwiceAsLarge) {
    EXPECT_EQ(GetRenderScale(dev_), 2.0f);
    D3DSURFACE_DESC d{};
    IDirect3DSurface8* s = nullptr;
    ASSERT_EQ(dev_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s), D3D_OK);
    s->GetDesc(&d);
    s->Release();
    EXPECT_EQ(d.Width, kW);
    EXPECT_EQ(d.Height, kH);
    ASSERT_EQ(dev_->GetDepthStencilSurface(&s), D3D_OK);
    s->GetDesc(&d);
    s->Release();
    EXPECT_EQ(d.Width, kW);
    EXPECT_EQ(d.Height, kH);
    D3DVIEWPORT8 vp{};
    dev_->GetViewport(&vp);
    EXPECT_EQ(vp.Width, kW);
    EXPECT_EQ(vp.Height, kH);

    Read();
    EXPECT_EQ(w_, 2 * kW);
    EXPECT_EQ(h_, 2 * kH);
    dev_->EndScene();
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    dev_->BeginScene();
    UINT pw = 0, ph = 0;
    std::vector<uint8_t> shown;
    ASSERT_EQ(ReadPresentedImage(dev_, shown, pw, ph), D3D_OK);
    EXPECT_EQ(pw, 2 * kW);
    EXPECT_EQ(ph, 2 * kH);

    // Texture targets report their own sizes; a target cannot be locked,
    // while a texture the program fills keeps its size and its lock.
    IDirect3DTexture8* target = nullptr;
    ASSERT_EQ(dev_->CreateTexture(32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target), D3D_OK);
    target->GetLevelDesc(0, &d);
    EXPECT_EQ(d.Width, 32u);
    EXPECT_EQ(d.Height, 16u);
    target->GetSurfaceLevel(0, &s);
    s->GetDesc(&d);
    EXPECT_EQ(d.Width, 32u);
    ASSERT_EQ(dev_->SetRenderTarget(s, nullptr), D3D_OK);
    dev_->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 32u);
    EXPECT_EQ(vp.Height, 16u);
    s->Release();
    D3DLOCKED_RECT lr{};
    EXPECT_EQ(target->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
    target->Release();
    IDirect3DCubeTexture8* cube = nullptr;
    ASSERT_EQ(dev_->CreateCubeTexture(16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &cube), D3D_OK);
    cube->GetLevelDesc(0, &d);
    EXPECT_EQ(d.Width, 16u);
    EXPECT_EQ(d.Height, 16u);
    cube->Release();
    IDirect3DTexture8* image = MakeTexture(8, 4, std::vector<D3DCOLOR>(32, 0xff102030));
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(lr.Pitch, 8 * 4);
    EXPECT_EQ(static_cast<uint8_t*>(lr.pBits)[0], 0x30);
    image->UnlockRect(0);
    image->Release();
}

TEST_F(Scaled, ScalesAreKeptWithinOneToEightAndTheDriversLargestTarget) {
    EXPECT_EQ(GetRenderScale(dev_), 2.0f);
    Restart(0.5f, 0);
    EXPECT_EQ(GetRenderScale(dev_), 1.0f) << "below 1";
    Restart(std::nanf(""), 0);
    EXPECT_EQ(GetRenderScale(dev_), 1.0f) << "not a number";
    Restart(100.0f, 0);
    EXPECT_EQ(GetRenderScale(dev_), 8.0f) << "above 8";
    Read();
    EXPECT_EQ(w_, 8 * kW);
    Restart(1.5f, 0);
    Read();
    EXPECT_EQ(w_, 96u);
    EXPECT_EQ(h_, 72u);

    // A back buffer that would pass the driver's largest target lowers k.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    GLint renderbuffer = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    largest = std::min(largest, renderbuffer);
    Restart(8.0f, 0, 4096, 8);
    const float k = std::min(8.0f, float(largest) / 4096.0f);
    EXPECT_EQ(GetRenderScale(dev_), k);
    Read();
    EXPECT_EQ(w_, UINT(std::lround(4096 * k)));
    EXPECT_LE(w_, UINT(largest));
    EXPECT_EQ(h_, UINT(std::lround(8 * k)));
}

TEST_F(Scaled, PreTransformedQuadsCoverTwiceThePixelsEachWay) {
    struct Case {
        float x0, y0, x1, y1;
        int px0, py0, px1, py1;  // stored pixels covered, half-open
    };
    const Case cases[] = {
        {0, 0, 4, 4, 0, 0, 8, 8},
        {0, 0, 1, 1, 0, 0, 2, 2},
        {10, 5, 11, 6, 20, 10, 22, 12},
        {2, 30, 9, 33, 4, 60, 18, 66},
        {0, 0, 64, 48, 0, 0, 128, 96},
        // Half-pixel edges land on stored pixel edges: four stored pixels each way.
        {10.5f, 20.5f, 12.5f, 22.5f, 21, 41, 25, 45},
    };
    for (const Case& c : cases) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(c.x0, c.y0, c.x1, c.y1, 0xffffffff)), D3D_OK);
        Read();
        int covered = 0, outside = 0;
        for (int y = 0; y < int(h_); ++y)
            for (int x = 0; x < int(w_); ++x) {
                const bool in = x >= c.px0 && x < c.px1 && y >= c.py0 && y < c.py1;
                covered += in && Lit(x, y);
                outside += !in && Lit(x, y);
            }
        EXPECT_EQ(covered, (c.px1 - c.px0) * (c.py1 - c.py0)) << "quad " << c.x0 << "," << c.y0;
        EXPECT_EQ(outside, 0) << "quad " << c.x0 << "," << c.y0;
    }
}

TEST_F(Scaled, LinesAreTwoStoredPixelsWideAndBlendOnce) {
    Blend();
    // Half-transparent lines over black: a pixel two copies covered would
    // read 191, not 128.
    const D3DCOLOR red = 0x80ff0000, green = 0x8000ff00, blue = 0x800000ff;
    std::vector<TLVertex> lines = {{2, 10, 0.5f, 1, red, 0, 0},   {30, 10, 0.5f, 1, red, 0, 0},
                                   {40, 2, 0.5f, 1, green, 0, 0}, {40, 20, 0.5f, 1, green, 0, 0},
                                   {2, 30, 0.5f, 1, blue, 0, 0},  {40, 40, 0.5f, 1, blue, 0, 0},
                                   {50, 2, 0.5f, 1, red, 0, 0},   {60, 40, 0.5f, 1, red, 0, 0}};
    ASSERT_EQ(DrawTL(D3DPT_LINELIST, lines), D3D_OK);
    Read();
    // Row 10 from x 2 to 29 is stored rows 20 and 21 from x 4 to 59.
    EXPECT_TRUE(RegionIs(4, 20, 60, 22, {128, 0, 0}));
    EXPECT_TRUE(RegionIs(4, 19, 60, 20, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(4, 22, 60, 23, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(80, 4, 82, 40, {0, 128, 0}));
    EXPECT_TRUE(RegionIs(79, 4, 80, 40, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(82, 4, 83, 40, {0, 0, 0}));
    // Slanted lines: two stored pixels in each column of one closer to
    // horizontal, in each row of one closer to vertical, none doubled.
    for (int x = 8; x < 76; ++x) {
        ASSERT_EQ(LitInColumn(x, 50, 96), 2) << "column " << x;
        for (int y = 50; y < 96; ++y)
            if (Lit(x, y)) {
                ASSERT_LE(std::abs(At(x, y)[2] - 128), 1) << x << "," << y;
            }
    }
    for (int y = 8; y < 76; ++y) ASSERT_EQ(LitInRow(y, 96, 128), 2) << "row " << y;

    // A strip turning a corner, and a transformed line closer to vertical.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
    std::vector<TLVertex> strip = {
        {10, 44, 0.5f, 1, red, 0, 0}, {30, 44, 0.5f, 1, red, 0, 0}, {30, 34, 0.5f, 1, red, 0, 0}};
    ASSERT_EQ(DrawTL(D3DPT_LINESTRIP, strip), D3D_OK);
    const D3DMATRIX id = IdentityMatrix();
    dev_->SetTransform(D3DTS_WORLD, &id);
    dev_->SetTransform(D3DTS_VIEW, &id);
    dev_->SetTransform(D3DTS_PROJECTION, &id);
    const std::vector<LitVertex> slanted = {{0.5f, 0.9f, 0.5f, 0, 0, -1, green}, {0.6f, -0.9f, 0.5f, 0, 0, -1, green}};
    ASSERT_EQ(Draw(D3DPT_LINELIST, slanted, kFvfLit), D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(20, 88, 60, 90, {128, 0, 0})) << "the strip's first segment";
    EXPECT_TRUE(RegionIs(60, 70, 62, 88, {128, 0, 0})) << "its second segment";
    EXPECT_TRUE(RegionIs(20, 87, 60, 88, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(62, 70, 63, 88, {0, 0, 0}));
    for (int y = 10; y < 86; ++y) ASSERT_EQ(LitInRow(y, 90, 128), 2) << "transformed line, row " << y;
}

TEST_F(Scaled, PointsAreTwiceTheSize) {
    dev_->SetRenderState(D3DRS_POINTSIZE, FtoDW(4.0f));
    std::vector<TLVertex> pt = {{20.0f, 30.0f, 0.5f, 1, 0xff0000ff, 0, 0}};
    ASSERT_EQ(DrawTL(D3DPT_POINTLIST, pt), D3D_OK);
    Read();
    // Pixels 18..21 both ways, stored 36..43.
    EXPECT_TRUE(RegionIs(36, 56, 44, 64, {0, 0, 255}));
    EXPECT_TRUE(RegionIs(35, 56, 36, 64, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(44, 56, 45, 64, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(36, 55, 44, 56, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(36, 64, 44, 65, {0, 0, 0}));
}

TEST_F(Scaled, ClearRectanglesAndViewportsLandWhereScaled) {
    RECT r{8, 4, 24, 12};
    ASSERT_EQ(dev_->Clear(1, &r, D3DCLEAR_TARGET, 0xffff0000, 1, 0), D3D_OK);
    D3DVIEWPORT8 vp{32, 24, 16, 12, 0, 1};
    ASSERT_EQ(dev_->SetViewport(&vp), D3D_OK);
    ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1, 0), D3D_OK);
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(36, 28, 44, 32, 0xff0000ff)), D3D_OK);
    D3DVIEWPORT8 back{};
    dev_->GetViewport(&back);
    EXPECT_EQ(back.X, 32u);
    EXPECT_EQ(back.Width, 16u);
    Read();
    EXPECT_TRUE(RegionIs(16, 8, 48, 24, {255, 0, 0}));
    EXPECT_EQ(LitInRow(7, 0, 128) + LitInRow(24, 0, 128) + LitInColumn(15, 0, 96) + LitInColumn(48, 0, 48), 0);
    EXPECT_TRUE(RegionIs(64, 48, 96, 56, {0, 255, 0}));
    EXPECT_TRUE(RegionIs(64, 56, 72, 64, {0, 255, 0}));
    EXPECT_TRUE(RegionIs(72, 56, 88, 64, {0, 0, 255})) << "a quad inside the viewport";
    EXPECT_TRUE(RegionIs(88, 56, 96, 72, {0, 255, 0}));
    EXPECT_EQ(LitInRow(47, 0, 128) + LitInRow(72, 0, 128) + LitInColumn(63, 40, 96) + LitInColumn(96, 40, 96), 0);
}

// At k = 1.5 a side of 21 pixels is 31.5 stored ones: a viewport or
// rectangle ending there and the next one starting there meet exactly.
TEST_F(Scaled, NeighbouringViewportsAndRectanglesStillTileAtOneAndAHalf) {
    Restart(1.5f, 0);
    D3DVIEWPORT8 left{0, 0, 21, 48, 0, 1}, right{21, 0, 43, 48, 0, 1};
    dev_->SetViewport(&left);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xffff0000, 1, 0);
    dev_->SetViewport(&right);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1, 0);
    // The right viewport filled by a quad of its own size, half transparent.
    Blend();
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(21, 0, 64, 48, 0x800000ff)), D3D_OK);
    left.Width = 64;
    dev_->SetViewport(&left);
    const RECT top{0, 0, 11, 5}, rest{11, 0, 64, 5};
    dev_->Clear(1, &top, D3DCLEAR_TARGET, 0xffffffff, 1, 0);
    dev_->Clear(1, &rest, D3DCLEAR_TARGET, 0xff808080, 1, 0);
    Read();
    ASSERT_EQ(w_, 96u);
    EXPECT_TRUE(RegionIs(0, 8, 32, 72, {255, 0, 0}));
    EXPECT_TRUE(RegionIs(32, 8, 96, 72, {0, 127, 128}));
    EXPECT_TRUE(RegionIs(0, 0, 17, 8, {255, 255, 255}));  // 16.5 rounds up
    EXPECT_TRUE(RegionIs(17, 0, 96, 8, {128, 128, 128}));
}

// Cube-map directions, pre-transformed and with three coordinates.
struct CubeVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v, w;
};
constexpr DWORD kFvfCube = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0);

TEST_F(Scaled, CubeFacesAreDrawnTwiceAsLargeAndSampledAsBefore) {
    IDirect3DCubeTexture8* cube = MakeFacedCube([this](D3DCUBEMAP_FACES f) {
        // The top left of +Z white, to a right edge half-way across pixel 8:
        // 17 of the face's 32 stored columns.
        if (f == D3DCUBEMAP_FACE_POSITIVE_Z) DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 8.5f, 4, ~0u));
    });
    ASSERT_NE(cube, nullptr);

    dev_->SetTexture(0, cube);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    // Each face's centre on an 8 x 8 square of the top row.
    const float axis[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    std::vector<CubeVertex> squares;
    for (int f = 0; f < 6; ++f) {
        const float x0 = 8.0f * f, x1 = x0 + 8;
        const float* a = axis[f];
        const CubeVertex corner[4] = {{x0, 0, 0.5f, 1, ~0u, a[0], a[1], a[2]},
                                      {x1, 0, 0.5f, 1, ~0u, a[0], a[1], a[2]},
                                      {x1, 8, 0.5f, 1, ~0u, a[0], a[1], a[2]},
                                      {x0, 8, 0.5f, 1, ~0u, a[0], a[1], a[2]}};
        for (int i : {0, 1, 2, 0, 2, 3}) squares.push_back(corner[i]);
    }
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, squares, kFvfCube), D3D_OK);
    // +Z spread over a 16 x 16 square: one stored face texel a stored pixel.
    const std::vector<CubeVertex> face = {{0, 16, 0.5f, 1, ~0u, -1, 1, 1},
                                          {16, 16, 0.5f, 1, ~0u, 1, 1, 1},
                                          {16, 32, 0.5f, 1, ~0u, 1, -1, 1},
                                          {0, 32, 0.5f, 1, ~0u, -1, -1, 1}};
    ASSERT_EQ(Draw(D3DPT_TRIANGLEFAN, face, kFvfCube), D3D_OK);
    Read();
    for (int f = 0; f < 6; ++f) {
        const D3DCOLOR c = kCubeFaceColor[f];
        const RGB want{int(c >> 16 & 0xff), int(c >> 8 & 0xff), int(c & 0xff)};
        EXPECT_TRUE(RegionIs(16 * f + 2, 2, 16 * f + 14, 14, want)) << "face " << f;
    }
    EXPECT_TRUE(RegionIs(0, 32, 17, 40, {255, 255, 255})) << "the mark, 17 stored texels wide";
    EXPECT_TRUE(RegionIs(17, 32, 32, 40, {255, 0, 255}));
    EXPECT_TRUE(RegionIs(0, 40, 32, 64, {255, 0, 255}));
    dev_->SetTexture(0, nullptr);
    cube->Release();
}

// Multisampled devices: 4 samples asked for (the most llvmpipe offers).
class Multisampled : public Scaled {
protected:
    void SetUp() override { Start(1.0f, 4); }
    // A white triangle with a slanted edge, and flat quads of an odd colour.
    void DrawEdgesAndFlats() {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        const std::vector<TLVertex> tri = {
            {0, 0, 0.5f, 1, ~0u, 0, 0}, {40, 0, 0.5f, 1, ~0u, 0, 0}, {0, 30, 0.5f, 1, ~0u, 0, 0}};
        ASSERT_EQ(DrawTL(D3DPT_TRIANGLELIST, tri), D3D_OK);
        ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(44, 4, 60, 44, 0xff804020)), D3D_OK);
        ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(4, 34, 30, 44, 0xff20c060)), D3D_OK);
        Read();
    }
    // Pixels with a channel strictly between the two sides of the edge.
    int Between() const {
        int n = 0;
        for (int y = 0; y < int(h_); ++y)
            for (int x = 0; x < 42; ++x) n += At(x, y)[0] > 8 && At(x, y)[0] < 247 && y < 32;
        return n;
    }
};

TEST_F(Multisampled, EdgesGetIntermediateValuesAndFlatAreasDoNot) {
    ASSERT_GE(GetMultisample(dev_), 2) << "the driver offers no multisampling";
    DrawEdgesAndFlats();
    const std::vector<uint8_t> smooth = rgb_;
    const int blended = Between();
    Restart(1.0f, 0);
    EXPECT_EQ(GetMultisample(dev_), 0);
    DrawEdgesAndFlats();
    EXPECT_EQ(Between(), 0) << "a single-sampled edge";
    // The 30-pixel edge crosses about 40 pixels: most of them blend.
    EXPECT_GE(blended, 25);
    // Away from the slanted edge the two pictures are the same, byte for
    // byte: flat areas, and edges on pixel borders, the target's included.
    int differing = 0;
    for (int y = 0; y < int(h_); ++y)
        for (int x = 0; x < int(w_); ++x) {
            if (std::abs(30 * x + 40 * y - 1200) <= 100) continue;  // within two pixels of it
            const size_t i = (size_t(y) * w_ + x) * 3;
            differing += smooth[i] != rgb_[i] || smooth[i + 1] != rgb_[i + 1] || smooth[i + 2] != rgb_[i + 2];
        }
    EXPECT_EQ(differing, 0);
}

// Multisampled, a line at whole pixels still runs along its row or column,
// not between two of them, at k = 1 and at k = 2.
TEST_F(Multisampled, LinesStayOnTheirPixels) {
    for (int k : {1, 2}) {
        if (k == 2) Restart(2.0f, 4);
        const std::vector<TLVertex> lines = {{2, 10, 0.5f, 1, 0xffff0000, 0, 0},
                                             {30, 10, 0.5f, 1, 0xffff0000, 0, 0},
                                             {40, 2, 0.5f, 1, 0xff00ff00, 0, 0},
                                             {40, 20, 0.5f, 1, 0xff00ff00, 0, 0}};
        ASSERT_EQ(DrawTL(D3DPT_LINELIST, lines), D3D_OK);
        Read();
        // Away from the ends, where samples fall either side.
        EXPECT_TRUE(RegionIs(4 * k, 10 * k, 28 * k, 11 * k, {255, 0, 0}, 2)) << "k = " << k;
        EXPECT_TRUE(RegionIs(4 * k, 10 * k - 1, 28 * k, 10 * k, {0, 0, 0}, 2)) << "k = " << k;
        EXPECT_TRUE(RegionIs(4 * k, 11 * k, 28 * k, 11 * k + 1, {0, 0, 0}, 2)) << "k = " << k;
        EXPECT_TRUE(RegionIs(40 * k, 4 * k, 41 * k, 18 * k, {0, 255, 0}, 2)) << "k = " << k;
        EXPECT_TRUE(RegionIs(40 * k - 1, 4 * k, 40 * k, 18 * k, {0, 0, 0}, 2)) << "k = " << k;
        EXPECT_TRUE(RegionIs(41 * k, 4 * k, 41 * k + 1, 18 * k, {0, 0, 0}, 2)) << "k = " << k;
    }
}

TEST_F(Multisampled, ATextureTargetIsResolvedOncePerChangeBeforeItIsSampled) {
    IDirect3DTexture8* target = nullptr;
    ASSERT_EQ(dev_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target), D3D_OK);
    IDirect3DSurface8 *level = nullptr, *back = nullptr, *depth = nullptr;
    target->GetSurfaceLevel(0, &level);
    dev_->GetRenderTarget(&back);
    dev_->GetDepthStencilSurface(&depth);
    auto drawInto = [&](D3DCOLOR c) {
        dev_->SetTexture(0, nullptr);  // the vertex colour, not the target itself
        dev_->SetRenderTarget(level, nullptr);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        const std::vector<TLVertex> tri = {
            {0, 0, 0.5f, 1, c, 0, 0}, {16, 0, 0.5f, 1, c, 0, 0}, {0, 12, 0.5f, 1, c, 0, 0}};
        DrawTL(D3DPT_TRIANGLELIST, tri);
        dev_->SetRenderTarget(back, depth);
        dev_->SetTexture(0, target);
    };
    // The texture shown texel for texel in the top left corner.
    auto show = [&](float x) {
        DrawTL(D3DPT_TRIANGLEFAN, Quad(x, 0, x + 16, 16, ~0u));
        dev_->EndScene();  // the queued draws go to GL
        dev_->BeginScene();
        return GetStats(dev_).fullscreenPasses;
    };
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);

    drawInto(0xffffffff);
    uint64_t start = GetStats(dev_).fullscreenPasses;
    EXPECT_EQ(show(0), start + 1) << "drawn since: one resolve";
    EXPECT_EQ(show(16), start + 1) << "nothing drawn since";
    EXPECT_EQ(show(32), start + 1);
    Read();  // resolves the back buffer
    EXPECT_EQ(GetStats(dev_).fullscreenPasses, start + 2);
    Read();
    EXPECT_EQ(GetStats(dev_).fullscreenPasses, start + 2) << "the back buffer read twice";
    int blended = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) blended += At(x, y)[1] > 8 && At(x, y)[1] < 247;
    EXPECT_GE(blended, 8) << "the edge's samples were not resolved";
    EXPECT_EQ(At(1, 1), (RGB{255, 255, 255}));
    EXPECT_EQ(At(14, 14), (RGB{0, 0, 0}));

    drawInto(0xff00ff00);
    start = GetStats(dev_).fullscreenPasses;
    EXPECT_EQ(show(0), start + 1) << "drawn again: resolved again";
    Read();
    EXPECT_EQ(At(1, 1), (RGB{0, 255, 0}));
    EXPECT_EQ(At(17, 1), (RGB{255, 255, 255})) << "what was drawn before stays";

    dev_->SetTexture(0, nullptr);
    level->Release();
    back->Release();
    depth->Release();
    target->Release();
}

TEST_F(Multisampled, TheBackBufferKeepsThePresentedPictureAtTwiceTheSize) {
    Restart(2.0f, 4);
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 64, 48, 0xffff0000)), D3D_OK);
    dev_->EndScene();
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    dev_->BeginScene();
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, 16, 0xff00ff00)), D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 32, 32, {0, 255, 0}));
    EXPECT_TRUE(RegionIs(32, 0, 128, 96, {255, 0, 0})) << "the presented picture under a partial draw";
    std::vector<uint8_t> shown;
    UINT w = 0, h = 0;
    ASSERT_EQ(ReadPresentedImage(dev_, shown, w, h), D3D_OK);
    EXPECT_EQ(w, 128u);
    EXPECT_EQ(shown[0], 255);
    EXPECT_EQ(shown[1], 0);
}

TEST(RenderScaleChoice, FillsTheDisplaysHeightOrWidthNeverBelowOne) {
    EXPECT_EQ(ChooseAutoScale(2560, 1440, false), 1.875f);
    EXPECT_EQ(ChooseAutoScale(3840, 2160, false), 2.8125f);
    EXPECT_EQ(ChooseAutoScale(1280, 1024, false), 1.25f) << "a display narrower than 4:3";
    EXPECT_EQ(ChooseAutoScale(1024, 768, false), 1.0f);
    EXPECT_EQ(ChooseAutoScale(800, 600, false), 1.0f);
    EXPECT_EQ(ChooseAutoScale(20000, 15000, false), 8.0f);
    EXPECT_EQ(ChooseAutoScale(0, 0, false), 1.0f);
    EXPECT_EQ(ChooseAutoScale(2560, 1440, true), 1.0f) << "a software rasterizer";
    EXPECT_EQ(ChooseAutoScale(1280, 720, false, 640, 480), 1.5f);
}

TEST(RenderScaleChoice, SoftwareRasterizersAreKnownByName) {
    EXPECT_TRUE(IsSoftwareRendererName("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(IsSoftwareRendererName("softpipe"));
    EXPECT_TRUE(IsSoftwareRendererName("Mesa X11 SWRAST"));
    // What a browser's WebGL runs on when it has no card, by its unmasked name.
    EXPECT_TRUE(IsSoftwareRendererName(
        "ANGLE (Google, Vulkan 1.3.0 (SwiftShader Device (Subzero) (0x0000C0DE)), SwiftShader driver)"));
    EXPECT_FALSE(IsSoftwareRendererName("WebKit WebGL")) << "the masked name says nothing";
    EXPECT_FALSE(IsSoftwareRendererName("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49)"));
    EXPECT_FALSE(IsSoftwareRendererName("NVIDIA GeForce RTX 3060/PCIe/SSE2"));
    EXPECT_FALSE(IsSoftwareRendererName(""));
}

TEST_F(Scaled, TheDeviceTellsItsRendererAndChoosesAScaleForItsDisplay) {
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(IsSoftwareRenderer(dev_), IsSoftwareRendererName(name)) << name;

    SetRenderScaleAuto();
    Restart(1.0f, 0);  // a fixed scale again...
    EXPECT_EQ(GetRenderScale(dev_), 1.0f);
    GlDeviceTest::TearDown();
    dev_ = nullptr;
    d3d_ = nullptr;
    SetRenderScaleAuto();  // ...and the display's
    CreateDevice(kW, kH, true);
    SDL_DisplayMode dm{};
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &dm), 0);
    const float want = ChooseAutoScale(dm.w, dm.h, IsSoftwareRenderer(dev_), int(kW), int(kH));
    EXPECT_EQ(GetRenderScale(dev_), want) << dm.w << " x " << dm.h;
    Read();
    EXPECT_EQ(w_, UINT(std::lround(kW * want)));
}

}  // namespace
}  // namespace vt::d3d8::test
