// The environment-mapped star, scenes 8 and 9 and the greetings, on the
// recording device.
#include <cmath>
#include <memory>

#include "effects/env_star.h"
#include "gfx/fade.h"
#include "scenes/scene09.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"
#include "tests/show/scene1_support.h"
#include "tests/show/show_fixture.h"
#include "tests/support/failed_calls.h"
#include "tests/support/media_dir.h"
#include "util/camera.h"

using namespace vt::test;

namespace {

// An off-centre box (x 10..30, y -4..4, z 0..8) whose faces alternate
// between an opaque and a translucent material.
std::string BoxX()
{
    std::string s = "xof 0302txt 0032\nMesh {\n8;\n";
    for (int i = 0; i < 8; i++) {
        char line[96];
        snprintf(line, sizeof(line), "%g;%g;%g;%s\n", (i & 1) ? 30.0 : 10.0, (i & 2) ? 4.0 : -4.0,
                 (i & 4) ? 8.0 : 0.0, i == 7 ? ";" : ",");
        s += line;
    }
    s += "6;\n4;0,2,3,1;,\n4;4,5,7,6;,\n4;0,1,5,4;,\n4;2,6,7,3;,\n4;0,4,6,2;,\n4;1,3,7,5;;\n";
    s += "MeshMaterialList {\n2;\n6;\n0,\n1,\n0,\n1,\n0,\n1;;\n";
    s += "Material {\n1;1;1;1.0;;\n4.0;\n0;0;0;;\n0;0;0;;\n}\n";
    s += "Material {\n1;1;1;0.5;;\n4.0;\n0;0;0;;\n0;0;0;;\n}\n}\n}\n";
    return s;
}

D3DXMATRIX BeadAt(float yaw, float roll)
{
    D3DXMATRIX t, r, m;
    D3DXMatrixTranslation(&t, 30, 30, 30);
    D3DXMatrixRotationYawPitchRoll(&r, yaw, 0, roll);
    return *D3DXMatrixMultiply(&m, &t, &r);
}

void ExpectMatrixNear(const D3DMATRIX& a, const D3DMATRIX& b, float tol)
{
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << "element " << r << "," << c;
}

float RowLength(const D3DMATRIX& m)
{
    return std::sqrt(m._41 * m._41 + m._42 * m._42 + m._43 * m._43);
}

// A working directory with the star's files, the device installed.
class StarFixture : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        media = std::make_unique<MediaDir>("star");
        media->Write("data/meshes/scene08/star.x", BoxX());
        media->Write("data/bitmaps/scene08/envmap.jpg", TinyPng());
        baseline = dev.LiveResources();
        dev.BeginScene();  // scenes draw between BeginScene and EndScene
    }
    void TearDown() override
    {
        dev.EndScene();
        media.reset();
        ShowFixture::TearDown();
    }

    std::vector<D3DMATRIX> Transforms(D3DTRANSFORMSTATETYPE which) const
    {
        std::vector<D3DMATRIX> out;
        for (const Call* c : dev.Find("SetTransform"))
            if (c->Arg(0) == (uint64_t)which && c->Payload<D3DMATRIX>())
                out.push_back(*c->Payload<D3DMATRIX>());
        return out;
    }

    std::unique_ptr<MediaDir> media;
    int baseline = 0;
};

class StarEffect : public StarFixture {
protected:
    void SetUp() override
    {
        StarFixture::SetUp();
        ASSERT_EQ(star.Create(), S_OK);
        ASSERT_TRUE(boxes.empty());
    }
    void TearDown() override
    {
        star.Release();
        StarFixture::TearDown();
    }
    void RenderAt(float t)
    {
        g_fShowTime = t;
        dev.ClearLog();
        ASSERT_EQ(star.Render(), S_OK);
        ExpectNoFailedCalls(dev);
    }
    CStarEffect star;
};

// Bounding sphere of a mesh's positions.
void BoundingSphere(ID3DXMesh* mesh, D3DXVECTOR3* centre, float* radius)
{
    BYTE* p = nullptr;
    ASSERT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &p), S_OK);
    D3DXComputeBoundingSphere(p, mesh->GetNumVertices(), mesh->GetFVF(), centre, radius);
    mesh->UnlockVertexBuffer();
}

TEST_F(StarEffect, CreateCentresAndSizesBothMeshes)
{
    CXFileMesh* mesh = star.GetStarMesh();
    ASSERT_NE(mesh, nullptr);
    ASSERT_NE(mesh->GetSystemMesh(), nullptr);
    ASSERT_NE(mesh->m_pDeviceMesh, nullptr);
    EXPECT_EQ(mesh->GetSystemMesh()->GetFVF(), (DWORD)(D3DFVF_XYZ | D3DFVF_NORMAL));
    // The device copy is made after sizing, so it is the sized star too.
    for (ID3DXMesh* m : {mesh->GetSystemMesh(), mesh->m_pDeviceMesh}) {
        D3DXVECTOR3 c;
        float r = 0;
        BoundingSphere(m, &c, &r);
        EXPECT_NEAR(r, 60.0f, 1e-3f);
        EXPECT_NEAR(c.x, 0.0f, 1e-4f);
        EXPECT_NEAR(c.y, 0.0f, 1e-4f);
        EXPECT_NEAR(c.z, 0.0f, 1e-4f);
    }
}

TEST_F(StarEffect, MaterialsOffDrawsEverySubsetWithTheEnvironmentMap)
{
    RenderAt(250.0f);
    EXPECT_EQ(dev.Count("SetMaterial"), 0u);
    // Star: both subsets (the translucent one too) in the first pass, then one draw per bead.
    EXPECT_EQ(dev.Count("DrawIndexedPrimitive"), 2u + STAR_BEADS);
    const std::vector<std::string> seq =
        dev.Sequence({"SetTexture", "SetTextureStageState", "DrawIndexedPrimitive"});
    ASSERT_GE(seq.size(), 4u);
    EXPECT_EQ(seq.back(), "SetTextureStageState");  // clean-up after the beads
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXCOORDINDEX), 0u);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXTURETRANSFORMFLAGS), (DWORD)D3DTTFF_DISABLE);
    EXPECT_NE(dev.Texture(0), nullptr);  // the environment map stays bound
    EXPECT_TRUE(dev.Called("SetTextureStageState", {0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL}));
    const D3DMATRIX tex = dev.Transform(D3DTS_TEXTURE0);
    EXPECT_EQ(tex._11, 0.5f);
    EXPECT_EQ(tex._22, -0.5f);
    EXPECT_EQ(tex._41, 0.5f);
    EXPECT_EQ(tex._42, 0.5f);
}

TEST_F(StarEffect, BeadTrailAt250)
{
    RenderAt(250.0f);
    const std::vector<D3DMATRIX> worlds = Transforms(D3DTS_WORLD);
    ASSERT_EQ(worlds.size(), 1u + STAR_BEADS);
    D3DXMATRIX spin;
    D3DXMatrixRotationYawPitchRoll(&spin, 125.0f, 0, 0);
    ExpectMatrixNear(worlds[0], spin, 1e-6f);
    ExpectMatrixNear(worlds[1], BeadAt(-412.5f, -712.5f), 1e-4f);
    const float uLast = 250.0f + 1.5f * D3DX_PI;
    ExpectMatrixNear(worlds[STAR_BEADS], BeadAt(uLast * 1.5f * -1.1f, uLast * 1.5f * -1.9f), 2e-3f);
    for (int i = 1; i <= STAR_BEADS; i++)
        ASSERT_NEAR(RowLength(worlds[i]), 51.9615f, 1e-3f) << "bead " << i - 1;
    EXPECT_EQ(Transforms(D3DTS_VIEW).size(), 0u);  // the trail does not move the camera
}

// A camera the spiral must keep the target and up of.
void SetOddCamera()
{
    g_Camera.SetView(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(4, 5, 6), D3DXVECTOR3(0, 0, 1));
}

TEST_F(StarEffect, BeforeTheSpiralTheViewTumbles)
{
    const float t = std::nextafter(STAR_SPIRAL_TIME, 0.0f);
    SetOddCamera();
    g_fShowTime = t;
    star.UpdateCamera(t - 239.7f);
    D3DXVECTOR3 eye, target;
    EXPECT_EQ(*g_Camera.GetEye(&eye), D3DXVECTOR3(0, 50, -100));
    EXPECT_EQ(*g_Camera.GetTarget(&target), D3DXVECTOR3(0, 0, 0));
    D3DXMATRIX rot, look, expected;
    D3DXMatrixRotationYawPitchRoll(&rot, 0.5f * t, 0.75f * t, 0);
    g_Camera.GetViewMatrix(&look);
    D3DXMatrixMultiply(&expected, &rot, &look);
    ExpectMatrixNear(dev.Transform(D3DTS_VIEW), expected, 1e-5f);

    RenderAt(t);
    EXPECT_EQ(Transforms(D3DTS_VIEW).size(), 0u);
    const float uLast = t + 1.5f * D3DX_PI;
    ExpectMatrixNear(Transforms(D3DTS_WORLD).back(), BeadAt(uLast * 1.5f * -1.1f, uLast * 1.5f * -1.9f), 2e-3f);
}

TEST_F(StarEffect, FromTheSpiralTheCameraRidesTheLastBead)
{
    const float times[] = {STAR_SPIRAL_TIME, 270.0f, 282.3f};
    for (float t : times) {
        SCOPED_TRACE(t);
        SetOddCamera();
        g_fShowTime = t;
        dev.ClearLog();
        star.UpdateCamera(t - 260.8f);
        EXPECT_EQ(dev.Log().size(), 0u);  // nothing at all from the spiral time on
        D3DXVECTOR3 eye;
        EXPECT_EQ(*g_Camera.GetEye(&eye), D3DXVECTOR3(1, 2, 3));

        RenderAt(t);
        const D3DMATRIX last = Transforms(D3DTS_WORLD).back();
        const float uLast = t + 6.0f * D3DX_PI;
        ExpectMatrixNear(last, BeadAt(uLast * 0.5f * -1.1f, uLast * 0.5f * -1.9f), 2e-3f);

        // The eye is twice the last bead's offset: (60, 60, 60) turned.
        D3DXVECTOR3 target, up;
        g_Camera.GetEye(&eye);
        EXPECT_NEAR(eye.x, 2.0f * last._41, 1e-3f);
        EXPECT_NEAR(eye.y, 2.0f * last._42, 1e-3f);
        EXPECT_NEAR(eye.z, 2.0f * last._43, 1e-3f);
        EXPECT_NEAR(D3DXVec3Length(&eye), 103.923f, 1e-2f);
        EXPECT_EQ(*g_Camera.GetTarget(&target), D3DXVECTOR3(4, 5, 6));
        EXPECT_EQ(*g_Camera.GetUp(&up), D3DXVECTOR3(0, 0, 1));

        // Uploaded after the beads: the next frame draws from there.
        const std::vector<D3DMATRIX> views = Transforms(D3DTS_VIEW);
        ASSERT_EQ(views.size(), 1u);
        D3DXMATRIX look;
        g_Camera.GetViewMatrix(&look);
        ExpectMatrixNear(views[0], look, 0.0f);
        const std::vector<std::string> seq = dev.Sequence({"SetTransform", "DrawIndexedPrimitive"});
        EXPECT_EQ(seq[seq.size() - 1], "SetTransform");
        EXPECT_EQ(seq[seq.size() - 2], "DrawIndexedPrimitive");
    }
}

TEST_F(StarEffect, ReleaseFreesEverythingAndCreateWorksAgain)
{
    EXPECT_GT(dev.LiveResources(), baseline);
    star.Release();
    EXPECT_EQ(dev.LiveResources(), baseline);
    EXPECT_EQ(star.GetStarMesh(), nullptr);
    star.Release();  // twice is harmless
    ASSERT_EQ(star.Create(), S_OK);
    RenderAt(250.0f);
}

TEST_F(StarEffect, RenderWithoutADeviceMeshReportsAndSkipsTheBeads)
{
    star.GetStarMesh()->ReleaseDeviceMesh();
    g_fShowTime = 250.0f;
    dev.ClearLog();
    EXPECT_EQ(star.Render(), E_FAIL);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error: E_FAIL");
    EXPECT_EQ(dev.Count("DrawIndexedPrimitive"), 0u);
}

TEST_F(StarFixture, CreateReportsEachMissingFileOnce)
{
    const struct {
        const char* missing;
        const char* text;
    } cases[] = {
        {"data/meshes/scene08/star.x", "Media not found."},
        {"data/bitmaps/scene08/envmap.jpg", "Error: D3DERR_NOTAVAILABLE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.missing);
        MediaDir dir("star_missing");
        dir.Write("data/meshes/scene08/star.x", BoxX());
        dir.Write("data/bitmaps/scene08/envmap.jpg", TinyPng());
        dir.Remove(c.missing);
        boxes.clear();
        CStarEffect star;
        EXPECT_LT(star.Create(), 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.text);
        star.Release();
        EXPECT_EQ(dev.LiveResources(), baseline);
    }
}

// Scenes 8 and 9 drive the global star; the show's loader creates it.
class StarScenes : public StarFixture {
protected:
    void SetUp() override
    {
        StarFixture::SetUp();
        g_pWhiteTexture = MakeTexture(8, 8);
        g_pBlackTexture = MakeTexture(8, 8);
        ASSERT_EQ(LoadScene8(), S_OK);
        for (int i = 0; i < GREET_LOGOS; i++)
            g_apGreetLogos[i] = MakeTexture(256, 64);
        dev.ClearLog();
    }
    void TearDown() override
    {
        ReleaseGreetings();
        ReleaseScene8();
        SAFE_RELEASE(g_pWhiteTexture);
        SAFE_RELEASE(g_pBlackTexture);
        g_nGreetLogos = GREET_LOGOS;
        StarFixture::TearDown();
    }
    // Textures bound by the frame, in order (unbinds left out).
    std::vector<IDirect3DBaseTexture8*> Bound() const
    {
        std::vector<IDirect3DBaseTexture8*> out;
        for (const Call* c : dev.Find("SetTexture"))
            if (c->Arg(1) != 0)
                out.push_back(reinterpret_cast<IDirect3DBaseTexture8*>(c->Arg(1)));
        return out;
    }
};

TEST_F(StarScenes, Scene8SetsUpWhiteAndLetterboxes)
{
    g_bScene8Start = TRUE;
    g_dwClearColor = 0xFF000000;
    SetCullMode(D3DCULL_CW);
    g_fShowTime = 239.7f;
    EXPECT_EQ(Scene8(239.7f), S_OK);
    EXPECT_FALSE(g_bScene8Start);
    EXPECT_EQ(g_dwClearColor, 0xFFFFFFFFu);
    EXPECT_EQ(g_dwCullMode, (DWORD)D3DCULL_CCW);
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), (DWORD)FALSE);
    EXPECT_EQ(dev.RenderState(D3DRS_FOGENABLE), (DWORD)FALSE);
    EXPECT_EQ(dev.StageState(0, D3DTSS_ADDRESSU), (DWORD)D3DTADDRESS_MIRROR);
    EXPECT_EQ(dev.StageState(0, D3DTSS_COLOROP), (DWORD)D3DTOP_SELECTARG1);
    ExpectNoFailedCalls(dev);
    EXPECT_TRUE(boxes.empty());
    // Two bars, the bottom one drawn last and reaching below the screen.
    const std::vector<IDirect3DBaseTexture8*> bound = Bound();
    ASSERT_GE(bound.size(), 2u);
    EXPECT_EQ(bound[bound.size() - 1], g_pBlackTexture);
    EXPECT_EQ(bound[bound.size() - 2], g_pBlackTexture);
    const std::vector<SCREENVERTEX> q = QuadVertices();
    EXPECT_EQ(q[0].y, 598.0f);
    EXPECT_EQ(q[2].y, 598.0f + 768.0f);
    EXPECT_EQ(q[2].x, 1024.0f);
    EXPECT_EQ(q[0].diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(g_fFadeActive, 0.0f);  // no fade of its own

    // Later frames do not set up again.
    dev.ClearLog();
    g_dwClearColor = 0xFF000000;
    Scene8(240.0f);
    EXPECT_EQ(g_dwClearColor, 0xFF000000u);
    EXPECT_FALSE(dev.Called("SetRenderState", {D3DRS_LIGHTING}));
}

TEST_F(StarScenes, Scene8BarsCoverTheTop170RowsAndTheBottom170)
{
    // Every rectangle the frame writes, in order; the bars are the last two.
    QuadTap tap;
    IDirect3DVertexBuffer8* pQuadVB = g_pQuadVB;
    g_pQuadVB = &tap;
    g_fShowTime = 250.0f;
    const HRESULT hr = Scene8(250.0f);
    dev.SetStreamSource(0, nullptr, 0);
    g_pQuadVB = pQuadVB;
    ASSERT_EQ(hr, S_OK);
    ASSERT_GE(tap.quads.size(), 2u);
    const std::vector<SCREENVERTEX>& top = tap.quads[tap.quads.size() - 2];
    const std::vector<SCREENVERTEX>& bottom = tap.quads.back();
    // With pixel centres on integers, y from 0 to 170 covers rows 0 to 169;
    // from 598 to the screen's foot rows 598 to 767: rows 170 to 597 show
    // the scene.
    EXPECT_EQ(top[0].x, 0.0f);
    EXPECT_EQ(top[0].y, 0.0f);
    EXPECT_EQ(top[2].x, 1024.0f);
    EXPECT_EQ(top[2].y, 170.0f);
    EXPECT_EQ(bottom[0].y, 598.0f);
    EXPECT_GE(bottom[2].y, 768.0f);
    for (const auto* q : {&top, &bottom})
        for (const SCREENVERTEX& v : *q)
            EXPECT_EQ(v.diffuse >> 24, 255u);
}

TEST_F(StarScenes, Scene9KeepsTheCullModeItFinds)
{
    g_bScene9Start = TRUE;
    SetCullMode(D3DCULL_CW);
    dev.ClearLog();
    g_fShowTime = 261.0f;
    EXPECT_EQ(Scene9(261.0f), S_OK);
    EXPECT_FALSE(g_bScene9Start);
    EXPECT_FALSE(dev.Called("SetRenderState", {D3DRS_CULLMODE, D3DCULL_CCW}));
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), (DWORD)D3DCULL_CW);
    EXPECT_EQ(g_dwClearColor, 0xFFFFFFFFu);
    EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), (DWORD)FALSE);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(StarScenes, Scene9WhiteFadeOverTheBars)
{
    g_bScene9Start = FALSE;
    const struct {
        float t;
        bool overlay;
        DWORD alpha;
    } cases[] = {
        {279.3f, false, 0},
        {280.9f, true, 127},
        {282.39f, true, 254},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        g_fFadeActive = 0.0f;
        g_fFadeStart = g_fFadeEnd = 0.0f;
        g_fShowTime = c.t;
        dev.ClearLog();
        Scene9(c.t);
        ExpectNoFailedCalls(dev);
        const std::vector<IDirect3DBaseTexture8*> bound = Bound();
        ASSERT_FALSE(bound.empty());
        EXPECT_EQ(bound.back() == g_pWhiteTexture, c.overlay);
        if (c.overlay) {
            EXPECT_EQ(QuadVertices()[0].diffuse >> 24, c.alpha);
        }
    }
}

TEST_F(StarScenes, GreetingsColumnRisesAtAConstantSpeed)
{
    const struct {
        float t;
        float y0;
    } cases[] = {
        {250.0f, 768.0f},  // held outside the scene
        {260.8f, 768.0f},
        {271.6f, 0.0f},
        {282.4f, -768.0f},
    };
    for (const auto& c : cases) {
        g_fShowTime = c.t;
        // Drawing only the first n logos exposes logo n - 1 as the last quad.
        for (int n = 1; n <= GREET_LOGOS; n++) {
            SCOPED_TRACE(testing::Message() << "t " << c.t << " logo " << n - 1);
            g_nGreetLogos = n;
            dev.ClearLog();
            EXPECT_EQ(DrawGreetings(), 0);
            ExpectNoFailedCalls(dev);
            EXPECT_EQ(dev.Count("DrawPrimitive"), (size_t)n);
            EXPECT_EQ(Bound().back(), g_apGreetLogos[n - 1]);
            const std::vector<SCREENVERTEX> q = QuadVertices();
            EXPECT_NEAR(q[0].y, c.y0 + 80.0f * (n - 1), 0.01f);
            EXPECT_EQ(q[0].x, 768.0f);
            EXPECT_EQ(q[2].x, 768.0f + 256.0f);  // the logo's own size
            EXPECT_EQ(q[2].y - q[0].y, 64.0f);
        }
    }
    // The last logo ends a screen height higher: at y = 272 on a 768-row screen.
    EXPECT_NEAR(QuadVertices()[0].y, 272.0f, 0.01f);
}

class Greetings : public ShowFixture {};

TEST_F(Greetings, AMissingSeventhLogoStopsLoadingAfterSix)
{
    MediaDir dir("greet");
    char name[64];
    for (int i = 1; i <= GREET_LOGOS; i++) {
        snprintf(name, sizeof(name), "data/bitmaps/scene09/greet%02d.png", i);
        if (i != 7)
            dir.Write(name, TinyPng());
    }
    const int baseline = dev.LiveResources();
    EXPECT_LT(LoadGreetings(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    for (int i = 0; i < GREET_LOGOS; i++)
        EXPECT_EQ(g_apGreetLogos[i] != nullptr, i < 6) << "slot " << i;
    EXPECT_EQ(dev.LiveResources(), baseline + 6);
    ReleaseGreetings();
    EXPECT_EQ(dev.LiveResources(), baseline);
    for (IDirect3DTexture8* p : g_apGreetLogos)
        EXPECT_EQ(p, nullptr);

    dir.Write("data/bitmaps/scene09/greet07.png", TinyPng());
    boxes.clear();
    EXPECT_EQ(LoadGreetings(), S_OK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(dev.LiveResources(), baseline + GREET_LOGOS);
    ReleaseGreetings();
}

}  // namespace
