// Draw-state combinations on the OpenGL device: what counts as a new one
// (what the GL driver builds code for) and what does not, the text form a
// recorded combination takes, and the warm-up that draws a recorded list
// while the loading picture is up: every listed combination met again
// afterwards is not new, and the show's state, depth buffer, targets and
// pictures come through it untouched.
#include <sstream>

#include "platform/d3d8/gl_variants.h"
#include "tests/d3d8/driver_code.h"
#include "tests/d3d8/gl_fixture.h"

namespace vt::d3d8::test {
namespace {

// Untransformed, coloured, one texture set.
struct WorldVertex {
    float x, y, z;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kFvfWorld = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class Variants : public GlDeviceTest {
protected:
    void SetUp() override { Start(false, false); }
    void TearDown() override {
        for (IDirect3DBaseTexture8* t : textures_) t->Release();
        textures_.clear();
        GlDeviceTest::TearDown();
        SetWarmUpList("");
    }
    // A device (in place of the fixture's) that records, or warms up.
    void Start(bool record, bool warmUp) {
        SetVariantRecording(record);
        SetWarmUp(warmUp);
        GlDeviceTest::SetUp();
        SetVariantRecording(false);
        SetWarmUp(false);
        PlainState();
    }
    void Restart(bool record, bool warmUp) {
        for (IDirect3DBaseTexture8* t : textures_) t->Release();
        textures_.clear();
        GlDeviceTest::TearDown();
        dev_ = nullptr;
        d3d_ = nullptr;
        Start(record, warmUp);
    }
    // The queued draws go to GL; then the count so far.
    uint64_t Built() {
        dev_->EndScene();
        dev_->BeginScene();
        return GetStats(dev_).variantsBuilt;
    }
    void Quad16() { ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, 16, 0xffff0000)), D3D_OK); }
    IDirect3DTexture8* Texture(UINT w, UINT h, UINT levels = 1, D3DFORMAT f = D3DFMT_A8R8G8B8) {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(dev_->CreateTexture(w, h, levels, 0, f, D3DPOOL_MANAGED, &t), D3D_OK);
        if (t) textures_.push_back(t);
        return t;
    }
    void Textured() {
        dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    }

    // Draws of many kinds: blending, textures of several shapes and
    // samplers, a cube map on lit vertices, points and lines, batches that
    // go to GL instanced and with a matrix per range, and a texture target
    // of another format without depth.
    void DrawManyKinds();
    void WarmUpCoversWhatWasRecorded();

    std::vector<IDirect3DBaseTexture8*> textures_;
};

TEST_F(Variants, SameStateTwiceCountsOnceAndEachDifferenceCountsAgain) {
    const uint64_t start = Built();
    Quad16();
    EXPECT_EQ(Built(), start + 1);
    Quad16();
    EXPECT_EQ(Built(), start + 1) << "the same state drawn again";

    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    Quad16();
    EXPECT_EQ(Built(), start + 2) << "blending on";
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Quad16();
    EXPECT_EQ(Built(), start + 3) << "only a blend factor differs";
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    Quad16();
    EXPECT_EQ(Built(), start + 3) << "back to factors drawn before";

    // Values that reach the programs as uniforms build nothing.
    dev_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80402010);
    dev_->SetRenderState(D3DRS_FOGCOLOR, 0x00ff00ff);
    dev_->SetRenderState(D3DRS_ALPHAREF, 0x40);
    Quad16();
    EXPECT_EQ(Built(), start + 3);

    // With blending off its factors do not matter: the first state again.
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Quad16();
    EXPECT_EQ(Built(), start + 3);

    dev_->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED);
    Quad16();
    EXPECT_EQ(Built(), start + 4) << "colour mask";
    dev_->SetRenderState(D3DRS_COLORWRITEENABLE, 0xf);
    dev_->SetRenderState(D3DRS_ZENABLE, TRUE);
    Quad16();
    EXPECT_EQ(Built(), start + 5) << "depth test";
    dev_->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    Quad16();
    EXPECT_EQ(Built(), start + 6) << "depth function";
    dev_->SetRenderState(D3DRS_ZENABLE, FALSE);
    dev_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    Quad16();
    EXPECT_EQ(Built(), start + 6) << "the depth function of a disabled test does not matter";
}

TEST_F(Variants, TexturesCountByFormatShapeAndSampler) {
    Textured();
    const uint64_t start = Built();
    dev_->SetTexture(0, Texture(8, 8));
    Quad16();
    EXPECT_EQ(Built(), start + 1);
    dev_->SetTexture(0, Texture(16, 4));
    Quad16();
    EXPECT_EQ(Built(), start + 1) << "another texture of the same kind";
    dev_->SetTexture(0, Texture(6, 8));
    Quad16();
    EXPECT_EQ(Built(), start + 2) << "a width that is not a power of two";
    dev_->SetTexture(0, Texture(8, 8, 3));
    Quad16();
    EXPECT_EQ(Built(), start + 3) << "several levels";
    dev_->SetTexture(0, Texture(8, 8, 1, D3DFMT_R5G6B5));
    Quad16();
    EXPECT_EQ(Built(), start + 4) << "format";

    dev_->SetTexture(0, Texture(8, 8));
    dev_->SetTextureStageState(0, D3DTSS_BORDERCOLOR, 0xff00ff00);
    Quad16();
    EXPECT_EQ(Built(), start + 4) << "a border colour is not compiled in";
    dev_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    Quad16();
    EXPECT_EQ(Built(), start + 5) << "filter";
    dev_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    Quad16();
    EXPECT_EQ(Built(), start + 6) << "wrapping";
    dev_->SetTexture(0, nullptr);
}

TEST(VariantRecipes, LinesReadBackAsWritten) {
    DrawRecipe r;
    r.primitive = D3DPT_TRIANGLESTRIP;
    r.fvf = 0x152;
    r.stride = 36;
    r.color = kTargetRgb565;
    r.depth = D3DFMT_D24S8;
    r.batch = 2;
    r.renderStates = {{D3DRS_ZENABLE, 0}, {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}};
    r.stages.resize(2);
    r.stages[0].states = {{D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_TEXCOORDINDEX, 0x30000}};
    r.stages[0].texture = {D3DFMT_X8R8G8B8, true, kShapePotWidth | kShapePotHeight | kShapeMipmapped};
    const std::string line = r.Line();

    DrawRecipe back;
    std::string error;
    ASSERT_TRUE(DrawRecipe::Parse(line, back, error)) << error << "\n" << line;
    EXPECT_EQ(back.Line(), line);
    EXPECT_EQ(back.primitive, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(back.fvf, 0x152u);
    EXPECT_EQ(back.stride, 36u);
    EXPECT_EQ(back.color, kTargetRgb565);
    EXPECT_EQ(back.depth, D3DFMT_D24S8);
    EXPECT_EQ(back.batch, 2);
    EXPECT_EQ(back.renderStates, r.renderStates);
    ASSERT_EQ(back.stages.size(), 2u);
    EXPECT_EQ(back.stages[0].states, r.stages[0].states);
    EXPECT_TRUE(back.stages[0].texture.cube);
    EXPECT_EQ(back.stages[0].texture.format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(back.stages[0].texture.shape, kShapePotWidth | kShapePotHeight | kShapeMipmapped);
    EXPECT_TRUE(back.stages[1].states.empty());
    EXPECT_EQ(back.stages[1].texture.format, D3DFMT_UNKNOWN);
}

TEST(VariantRecipes, BrokenLinesAreRefusedWithTheirNumbers) {
    const std::string good = "prim=6 fvf=0x144 stride=28 target=rgba8 depth=0 batch=0 rs=- stages=0";
    DrawRecipe r;
    std::string error;
    ASSERT_TRUE(DrawRecipe::Parse(good, r, error)) << error;
    for (const char* bad : {
             "fvf=0x144 stride=28 target=rgba8 depth=0 stages=0",                   // no primitive
             "prim=9 fvf=0x144 stride=28 target=rgba8 depth=0 stages=0",            // no such primitive
             "prim=6 fvf=0x40 stride=28 target=rgba8 depth=0 stages=0",             // no position
             "prim=6 fvf=0x144 stride=0 target=rgba8 depth=0 stages=0",             // no stride
             "prim=6 fvf=0x144 stride=28 target=rgb8 depth=0 stages=0",             // unknown target
             "prim=6 fvf=0x144 stride=28 target=rgba8 depth=21 stages=0",           // not a depth format
             "prim=6 fvf=0x144 stride=28 target=rgba8 depth=0 stages=0 s0=1:2",     // stage not declared
             "prim=6 fvf=0x144 stride=28 target=rgba8 depth=0 stages=1 t0=21:3d:0",  // no such kind
             "prim=6 fvf=0x144 stride=28 target=rgba8 depth=0 rs=999:1 stages=0",   // no such state
             "prim=6 fvf=0x144 stride=28 target=rgba8 depth=0 rs=7 stages=0",       // a state without value
             "prim=6 fvf=0x144 stride=28 target=rgba8 depth=0 stages=0 colour=1",   // unknown field
         }) {
        EXPECT_FALSE(DrawRecipe::Parse(bad, r, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }

    std::vector<std::string> errors;
    const std::string list = "# a comment\n\n" + good + "\nprim=6 stages=0\n  # indented comment\n" + good + "\n";
    const std::vector<DrawRecipe> recipes = ParseRecipes(list.c_str(), errors);
    EXPECT_EQ(recipes.size(), 2u);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("line 4: ", 0), 0u) << errors[0];
}

void Variants::DrawManyKinds() {
    Quad16();
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Quad16();
    Textured();
    dev_->SetTexture(0, Texture(6, 8, 1, D3DFMT_X8R8G8B8));
    dev_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    Quad16();
    dev_->SetTexture(0, Texture(8, 8, 4));
    dev_->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    dev_->SetTextureStageState(0, D3DTSS_MAXMIPLEVEL, 1);
    Quad16();
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    ASSERT_EQ(DrawTL(D3DPT_POINTLIST, Quad(2, 2, 9, 9, 0xff00ff00)), D3D_OK);
    ASSERT_EQ(DrawTL(D3DPT_LINESTRIP, Quad(2, 2, 9, 9, 0xff00ff00)), D3D_OK);

    // A cube map on lit vertices with generated coordinates.
    IDirect3DCubeTexture8* cube = nullptr;
    ASSERT_EQ(dev_->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube), D3D_OK);
    textures_.push_back(cube);
    dev_->SetTexture(0, cube);
    dev_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
    dev_->SetRenderState(D3DRS_LIGHTING, TRUE);
    const D3DMATRIX id = IdentityMatrix();
    dev_->SetTransform(D3DTS_WORLD, &id);
    dev_->SetTransform(D3DTS_VIEW, &id);
    dev_->SetTransform(D3DTS_PROJECTION, &id);
    const std::vector<LitVertex> lit = {{-1, 1, 0.5f, 0, 0, -1, 0xffffffff},
                                        {0, 1, 0.5f, 0, 0, -1, 0xffffffff},
                                        {-1, 0, 0.5f, 0, 0, -1, 0xffffffff}};
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, lit, kFvfLit), D3D_OK);
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);

    // One range under two world matrices, and two ranges under one each.
    dev_->SetTexture(0, Texture(8, 8));
    const std::vector<WorldVertex> tri = {{-1, 1, 0.5f, 0xffffffff, 0, 0}, {0, 1, 0.5f, 0xffffffff, 1, 0},
                                          {-1, 0, 0.5f, 0xffffffff, 0, 1}, {0, 0, 0.5f, 0xffffffff, 0, 0},
                                          {1, 0, 0.5f, 0xffffffff, 1, 0},  {0, -1, 0.5f, 0xffffffff, 0, 1}};
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(dev_->CreateVertexBuffer(UINT(sizeof(WorldVertex) * tri.size()), 0, kFvfWorld, D3DPOOL_MANAGED, &vb),
              D3D_OK);
    BYTE* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    std::memcpy(p, tri.data(), sizeof(WorldVertex) * tri.size());
    vb->Unlock();
    dev_->SetVertexShader(kFvfWorld);
    dev_->SetStreamSource(0, vb, sizeof(WorldVertex));
    const D3DMATRIX moved = Mat({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1});
    dev_->EndScene();
    dev_->BeginScene();
    for (UINT first : {0u, 3u}) {  // instanced, then a matrix per range
        dev_->SetTransform(D3DTS_WORLD, &id);
        dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
        dev_->SetTransform(D3DTS_WORLD, &moved);
        dev_->DrawPrimitive(D3DPT_TRIANGLELIST, first, 1);
        dev_->EndScene();
        dev_->BeginScene();
    }
    dev_->SetStreamSource(0, nullptr, 0);
    vb->Release();
    dev_->SetTexture(0, nullptr);

    // A texture target of another format, without depth.
    IDirect3DTexture8* target = nullptr;
    IDirect3DSurface8* level = nullptr;
    IDirect3DSurface8* back = nullptr;
    IDirect3DSurface8* depth = nullptr;
    ASSERT_EQ(dev_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &target), D3D_OK);
    textures_.push_back(target);
    target->GetSurfaceLevel(0, &level);
    dev_->GetRenderTarget(&back);
    dev_->GetDepthStencilSurface(&depth);
    dev_->SetRenderTarget(level, nullptr);
    PlainState();
    Quad16();
    dev_->SetRenderTarget(back, depth);
    level->Release();
    back->Release();
    if (depth) depth->Release();
    dev_->EndScene();
    dev_->BeginScene();
}

// What a recording device writes down, a warm-up draws: afterwards the same
// draws meet nothing new, build no program, and the driver builds no code
// for them (where it builds code we can count).
void Variants::WarmUpCoversWhatWasRecorded() {
    Restart(true, false);
    DrawManyKinds();
    const uint64_t met = Built();
    const std::vector<std::string> lines = RecordedVariants(dev_);
    EXPECT_GE(met, 10u);
    ASSERT_EQ(lines.size(), met) << "one line for each combination";
    std::string list = "# recorded\n";
    for (const std::string& l : lines) list += l + "\n";

    SetWarmUpList(list);
    Restart(false, true);
    EXPECT_EQ(Built(), 0u) << "nothing drawn yet";
    dev_->EndScene();
    const uint64_t codeBefore = DriverCodeBuilds();
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);  // the loading frame: warm-up
    dev_->BeginScene();
    const uint64_t codeWarmed = DriverCodeBuilds();
    const DeviceStats warmed = GetStats(dev_);
    EXPECT_EQ(warmed.variantsBuilt, met) << "each line drawn once, as its own combination";
    EXPECT_EQ(warmed.drawCalls, 0u) << "the warm-up's draws are not the show's";
    EXPECT_TRUE(RecordedVariants(dev_).empty());

    DrawManyKinds();
    const DeviceStats after = GetStats(dev_);
    EXPECT_EQ(after.variantsBuilt, met) << "a combination the warm-up drew came back as new";
    EXPECT_EQ(after.programsBuilt, warmed.programsBuilt) << "a program was built after the warm-up";
    // The driver's own variants can hang on more than the device tells
    // apart, such as how the attributes of one vertex buffer are bound.
    if (codeWarmed == codeBefore) GTEST_SKIP() << "the GL driver builds no code this test can count";
    EXPECT_EQ(DriverCodeBuilds(), codeWarmed) << "the driver built code for a combination the warm-up drew";
}

TEST_F(Variants, ARecordedListWarmsUpEveryCombinationItHolds) { WarmUpCoversWhatWasRecorded(); }

// The same at twice the internal resolution, multisampled: the warm-up's
// own targets and depth buffers are stored as the show's are, so the
// driver's code it builds is the code the show's draws need.
class ScaledVariants : public Variants {
protected:
    void SetUp() override {
        SetRenderScale(2.0f);
        SetMultisample(4);
        Variants::SetUp();
    }
    void TearDown() override {
        Variants::TearDown();
        SetRenderScale(1.0f);
        SetMultisample(0);
    }
};

TEST_F(ScaledVariants, ARecordedListWarmsUpEveryCombinationItHolds) {
    ASSERT_EQ(GetRenderScale(dev_), 2.0f);
    WarmUpCoversWhatWasRecorded();
}

// A recording device notes the show's draws even when the warm-up already
// drew them, so a list re-recorded from a warmed-up run is complete.
TEST_F(Variants, RecordingIgnoresTheWarmUpButNotTheShowsDrawsAfterIt) {
    Restart(true, false);
    Quad16();
    Built();
    ASSERT_EQ(RecordedVariants(dev_).size(), 1u);
    SetWarmUpList(RecordedVariants(dev_)[0]);

    Restart(true, true);
    dev_->EndScene();
    dev_->Present(nullptr, nullptr, nullptr, nullptr);
    dev_->BeginScene();
    EXPECT_EQ(GetStats(dev_).variantsBuilt, 1u);
    EXPECT_TRUE(RecordedVariants(dev_).empty()) << "the warm-up's own draw was recorded";
    Quad16();
    Built();
    EXPECT_EQ(GetStats(dev_).variantsBuilt, 1u);
    EXPECT_EQ(RecordedVariants(dev_).size(), 1u) << "the show's draw after the warm-up was not recorded";
}

// The warm-up in the middle of a frame's state: the state set before it
// draws as before, the depth buffer and a texture target keep what was
// drawn into them, and the picture is the one a device without warm-up
// draws.
class WarmUpKeepsState : public Variants {
protected:
    std::vector<uint8_t> DrawAcrossPresent(bool warmUp) {
        Restart(false, warmUp);
        const D3DMATRIX id = IdentityMatrix();
        dev_->SetTransform(D3DTS_WORLD, &id);
        dev_->SetTransform(D3DTS_VIEW, &id);
        dev_->SetTransform(D3DTS_PROJECTION, &id);
        // A texture target drawn green before the Present.
        IDirect3DTexture8* target = nullptr;
        IDirect3DSurface8* level = nullptr;
        IDirect3DSurface8* back = nullptr;
        IDirect3DSurface8* depth = nullptr;
        EXPECT_EQ(dev_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target),
                  D3D_OK);
        textures_.push_back(target);
        target->GetSurfaceLevel(0, &level);
        dev_->GetRenderTarget(&back);
        dev_->GetDepthStencilSurface(&depth);
        dev_->SetRenderTarget(level, nullptr);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00c000, 1.0f, 0);
        dev_->SetRenderTarget(back, depth);
        level->Release();
        back->Release();
        depth->Release();

        // Depth written near the viewer over the left half.
        dev_->SetRenderState(D3DRS_ZENABLE, TRUE);
        dev_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 32, 48, 0xffffffff, 0.2f));
        dev_->SetRenderState(D3DRS_COLORWRITEENABLE, 0xf);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000040, 1.0f, 0);

        // The state of the draw after the Present: the target's texture
        // modulated by the vertex colour, blended by adding, depth tested.
        Textured();
        dev_->SetTexture(0, target);
        dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);  // the quad turns clockwise: kept
        dev_->EndScene();
        const uint64_t before = GetStats(dev_).variantsBuilt;
        dev_->Present(nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(GetStats(dev_).variantsBuilt > before, warmUp) << "the warm-up did not run, or ran unasked";
        dev_->BeginScene();
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000040, 1.0f, 0);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(8, 8, 56, 40, 0xff8080ff, 0.5f));
        dev_->EndScene();
        Read();
        dev_->BeginScene();
        dev_->SetTexture(0, nullptr);
        return rgb_;
    }
};

TEST_F(WarmUpKeepsState, ThePictureAfterAWarmUpIsThePictureWithout) {
    // A list that sets everything the draw above depends on otherwise.
    SetWarmUpList(
        "prim=4 fvf=0x144 stride=28 target=rgb565 depth=75 batch=0 rs=7:0,8:2,15:1,19:5,20:6,22:1,27:1,168:1 "
        "stages=2 s0=1:2,2:3 t0=23:2d:0 s1=1:4,2:2,3:0 t1=22:cube:15\n"
        "prim=1 fvf=0x52 stride=28 target=rgba8 depth=80 batch=1 rs=14:0,15:1,23:8 stages=0\n");
    const std::vector<uint8_t> plain = DrawAcrossPresent(false);
    const std::vector<uint8_t> warmed = DrawAcrossPresent(true);
    ASSERT_EQ(plain.size(), warmed.size());
    EXPECT_TRUE(plain == warmed) << "the warm-up changed the picture";
    // And the picture is the intended one: the green target added over the
    // blue clear on the right, the left hidden behind the depth written there.
    EXPECT_TRUE(RegionIs(8, 8, 32, 40, {0, 0, 64})) << "left half";
    EXPECT_TRUE(RegionIs(32, 8, 56, 40, {0, 96, 64}, 3)) << "right half";
}

}  // namespace
}  // namespace vt::d3d8::test
