// Scene 1 as a whole: its loader, its captions and the frames of its
// timeline, on the recording device.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <string>

#include "effects/fireflies.h"
#include "effects/title_splash.h"
#include "effects/water.h"
#include "gfx/fade.h"
#include "platform/fmod/fmod.h"
#include "platform/fmod/host.h"
#include "scenes/scene_media.h"
#include "scenes/scenes.h"
#include "tests/show/scene1_support.h"
#include "tests/support/temp_dir.h"
#include "util/camera.h"
#include "util/xfile_mesh.h"

// The scene's own state, which it keeps in globals.
extern BOOL g_bScene1Start;
extern BOOL g_bWaterVisible;
extern IDirect3DTexture8* g_pCaptionTextures[9];
BOOL GetCaption(int k, float s, float* pX, float* pY, float* pAlpha);

using namespace vt::test;

namespace {

TEST(Scene1Captions, DriftAndFadeInsideTheirWindows)
{
    struct Case {
        int k;
        float s;
        bool shown;
        float x, y, alpha;
    } cases[] = {
        {0, 0.0f, true, 30, 140, 0},       {0, 0.5f, true, 35.833f, 142.5f, 90},
        {0, 3.3f, true, 68.5f, 156.5f, 180}, {1, 3.3f, true, 120, 190, 0},
        {0, 5.5f, true, 94.167f, 167.5f, 90}, {0, 6.0f, false, 0, 0, 0},
        {1, 3.29f, false, 0, 0, 0},        {8, 60.0f, true, 489.091f, 276.364f, 90},
        {8, 60.25f, true, 494.545f, 278.182f, 45}, {5, 30.0f, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        float x = -1, y = -1, alpha = -1;
        ASSERT_EQ(GetCaption(c.k, c.s, &x, &y, &alpha) != FALSE, c.shown) << c.k << " at " << c.s;
        if (!c.shown)
            continue;
        EXPECT_NEAR(x, c.x, 1e-2) << c.k << " at " << c.s;
        EXPECT_NEAR(y, c.y, 1e-2) << c.k << " at " << c.s;
        EXPECT_NEAR(alpha, c.alpha, 1e-3) << c.k << " at " << c.s;
    }
}

class Scene1Media : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        D3DXMatrixIdentity(&g_matIdentity);
        dev.GetRenderTarget(&g_pBackBuffer);
        dev.GetDepthStencilSurface(&g_pZBuffer);
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
        saved = cwd;
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(saved.c_str()), 0);
        ReleaseFireflies();
        if (g_pXFileMesh)
            g_pXFileMesh->Destroy();
        ReleaseScene1();
        SAFE_RELEASE(g_pBackBuffer);
        SAFE_RELEASE(g_pZBuffer);
        EXPECT_EQ(dev.LiveResources(), 1);  // the fixture's quad buffer
        ShowFixture::TearDown();
    }
    std::string saved;
};

TEST_F(Scene1Media, AMissingImageStopsTheLoadWithOneMessage)
{
    ASSERT_EQ(chdir("/"), 0);  // no data folder
    EXPECT_LT(LoadScene1(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    EXPECT_NE(g_pWaterVB, nullptr);  // the mesh came first
    EXPECT_EQ(g_pWaterCubeTexture, nullptr);
    EXPECT_EQ(dev.Count("CreateVertexBuffer", {28800}), 0u);  // the fireflies were not reached
}

TEST_F(Scene1Media, TheGeneratedMediaLoadInTableOrder)
{
    const std::string media = std::string(VT_BINARY_DIR) + "/media";
    if (chdir(media.c_str()) != 0 || access("data/bitmaps/scene01/firefly.png", R_OK) != 0)
        GTEST_SKIP() << "no generated media in " << media;
    ASSERT_EQ(LoadScene1(), S_OK);
    EXPECT_TRUE(boxes.empty());
    for (IDirect3DTexture8* t : g_pCaptionTextures)
        EXPECT_NE(t, nullptr);
    EXPECT_NE(g_pSplashTexture, nullptr);
    EXPECT_NE(g_pBlueWaterTexture, nullptr);
    EXPECT_NE(g_Fireflies.m_pTexture, nullptr);
    EXPECT_TRUE(dev.LightEnabled(FIREFLY_LIGHT));
    EXPECT_EQ(dev.Count("CubeTexture.GetCubeMapSurface"), 6u);
    EXPECT_EQ(dev.CurrentRenderTarget(), g_pBackBuffer);
    // Mesh first, then the thirteen images, the fireflies' buffer and
    // texture, and last the cube.
    std::vector<std::string> expected = {"CreateVertexBuffer"};
    expected.insert(expected.end(), 13, "CreateTexture");
    expected.insert(expected.end(), {"CreateVertexBuffer", "CreateTexture", "CreateCubeTexture"});
    EXPECT_EQ(dev.Sequence({"CreateTexture", "CreateVertexBuffer", "CreateCubeTexture"}), expected);
    // The faces are painted with the last of the thirteen.
    EXPECT_EQ(dev.Count("SetTexture", {0, reinterpret_cast<uint64_t>(g_pBlueWaterTexture)}), 6u);
}

// The scene's frames in order, from its first to its last.
class Scene1Timeline : public QuadTapFixture {
protected:
    void SetUp() override
    {
        QuadTapFixture::SetUp();
        D3DXMatrixIdentity(&g_matIdentity);
        dev.GetRenderTarget(&g_pBackBuffer);
        dev.GetDepthStencilSurface(&g_pZBuffer);
        g_fAspect = 4.0f / 3.0f;
        g_fScaleX = g_fScaleY = 1.0f;
        g_pWhiteTexture = MakeTexture(8, 8);
        g_pBlackTexture = MakeTexture(8, 8);
        for (IDirect3DTexture8*& t : g_pCaptionTextures)
            t = MakeTexture(1024, 128);
        g_pLogoTexture = MakeTexture(1024, 1024);
        g_pSplashTexture = MakeTexture(1024, 256);
        g_pShadowTexture = MakeTexture(512, 256);
        g_pBlueWaterTexture = MakeTexture(512, 512);
        ASSERT_EQ(CreateWaterMesh(), S_OK);
        ASSERT_EQ(CreateWaterCubeMap(), S_OK);
        ASSERT_EQ(dev.CreateVertexBuffer(28800, 0, FVF_FIREFLYVERTEX, D3DPOOL_MANAGED, &g_Fireflies.m_pVB), S_OK);
        g_Fireflies.m_pTexture = MakeTexture(64, 64);
        g_Fireflies.m_nFlyers = 0;
        g_bScene1Start = g_bWaterVisible = g_bFirefliesStart = TRUE;
    }
    void TearDown() override
    {
        ReleaseFireflies();
        if (g_pXFileMesh)
            g_pXFileMesh->Destroy();
        ReleaseScene1();
        SAFE_RELEASE(g_pWhiteTexture);
        SAFE_RELEASE(g_pBlackTexture);
        SAFE_RELEASE(g_pBackBuffer);
        SAFE_RELEASE(g_pZBuffer);
        QuadTapFixture::TearDown();
    }
    // One frame at show time t, bracketed as the timeline does.
    void Frame(float t)
    {
        tap.quads.clear();
        dev.ClearLog();
        g_fShowTime = t;
        dev.BeginScene();
        ASSERT_EQ(Scene1(t), S_OK) << t;
        dev.EndScene();
    }
    // Draws made from the fireflies' buffer this frame.
    size_t FireflyDraws() const
    {
        size_t n = 0;
        uint64_t stream = 0;
        for (const Call& c : dev.Log()) {
            if (c.method == "SetStreamSource")
                stream = c.Arg(1);
            else if (c.method == "DrawPrimitive" && stream == reinterpret_cast<uint64_t>(g_Fireflies.m_pVB))
                n++;
        }
        return n;
    }
    // The full-screen overlay's alpha this frame, or -1 if none was drawn.
    int OverlayAlpha() const
    {
        for (const auto& q : tap.quads)
            if (q[0].x == 0 && q[0].y == 0 && q[2].x == 1024 && q[2].y == 768 && q[0].z == 0.0f)
                return (int)(q[0].diffuse >> 24);
        return -1;
    }
};

bool Near(float s, float v) { return std::fabs(s - v) < 1e-3f; }

TEST_F(Scene1Timeline, TheMusicStartsOnTheFirstFrameAtOrAfterFiveSeconds)
{
    const TempDir dir("music");
    const std::string mp3 = (dir / "intro.mp3").string();
    const std::string make = "ffmpeg -loglevel error -y -f lavfi -i sine=frequency=440:sample_rate=44100 -t 2 -ac 2 " +
                             mp3;
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    vt::fmod::SetVirtualTime(true);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    g_pMusic = FSOUND_Sample_Load(-1, mp3.c_str(), 1, 0);
    ASSERT_NE(g_pMusic, nullptr);

    // Frames through the timeline on a clock that starts at 500 s.
    dev.EndScene();
    vt::win32::SetManualClock(true);
    vt::win32::SetClockSeconds(500.0);
    const struct {
        double t;
        double started;  // PlayStartClock after the frame
    } frames[] = {{0.0, -1.0}, {2.5, -1.0}, {4.9999, -1.0}, {5.04, 505.04}, {6.0, 505.04}};
    for (const auto& f : frames) {
        SCOPED_TRACE(f.t);
        vt::win32::SetClockSeconds(500.0 + f.t);
        ASSERT_EQ(RenderFrame(), S_OK);
        EXPECT_EQ(vt::fmod::PlayStartClock(), f.started);
    }
    vt::win32::SetManualClock(false);
    FSOUND_Close();
    vt::fmod::SetVirtualTime(false);
    g_pMusic = NULL;
}

TEST_F(Scene1Timeline, PlaysFromBlackThroughTheWaterToTheTitleCard)
{
    // Every tenth of a second of scene time, plus the moments that matter.
    std::vector<float> times;
    for (int k = 0; k < 853; k++)
        times.push_back(5.0f + k / 10.0f);
    for (float s : {3.3f, 10.75f, 15.85f, 62.0f, 62.99f, 64.5f, 66.5f, 85.25f, 85.29f})
        times.push_back(5.0f + s);
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());

    bool sawFirstFrame = false;
    bool sawFadeStart = false;
    D3DXVECTOR3 lastRisingEye;
    for (float t : times) {
        Frame(t);
        if (HasFatalFailure())
            return;
        const float s = t - 5.0f;
        SCOPED_TRACE("scene time " + std::to_string(s));

        if (!sawFirstFrame) {
            sawFirstFrame = true;
            EXPECT_TRUE(dev.LightEnabled(0));
            EXPECT_EQ(dev.Light(0).Position.y, 14.0f);
            const D3DMATRIX proj = dev.Transform(D3DTS_PROJECTION);
            EXPECT_NEAR(proj._33, 200.0f / 199.0f, 1e-6);  // far plane 200
            EXPECT_NEAR(proj._11, 2.4142136f / (4.0f / 3.0f), 1e-5);
            EXPECT_EQ(g_Fireflies.m_nFlyers, 19);
        }

        // The water and its fireflies until 65, the title card after; the
        // grid is reset every frame all the same.
        const bool water = s < 65.0f;
        EXPECT_EQ(dev.Count("DrawIndexedPrimitive"), water ? 1u : 0u);
        EXPECT_EQ(tap.quads.size() >= 6 && tap.quads[0][0].y == 225.0f, !water);
        EXPECT_GE(dev.Count("VertexBuffer.Lock", {reinterpret_cast<uint64_t>(g_pWaterVB)}), 1u);

        const size_t fireflies = FireflyDraws();
        if (s < 10.69f || !water) {
            EXPECT_EQ(fireflies, 0u);
        } else if (s >= 10.75f && s < 15.0f) {
            EXPECT_EQ(fireflies, 4u);
        } else if (s >= 37.7f) {
            EXPECT_EQ(fireflies, 76u);
        }

        // The overlay: black until 10.7, fading in until 21, nothing until
        // the fade to black at 62.75, white held from 64 into the card.
        const int overlay = OverlayAlpha();
        if (s <= 10.7f) {
            // Through 10.7 itself: there the fade-in starts from opaque.
            EXPECT_EQ(overlay, 255);
            sawFadeStart = sawFadeStart || s == 10.7f;
        } else if (s < 10.8f) {
            EXPECT_GE(overlay, 252);
            EXPECT_LT(overlay, 255);
        } else if (Near(s, 15.85f)) {
            EXPECT_EQ(overlay, 127);
        } else if (s >= 21.05f && s < 62.75f) {
            EXPECT_EQ(overlay, -1);
        } else if ((s >= 64.0f && s < 65.0f) || Near(s, 65.0f)) {
            EXPECT_EQ(overlay, 255);
        } else if (s >= 66.5f && s < 84.8f) {
            EXPECT_EQ(overlay, -1);
        }
        if (Near(s, 64.5f)) {
            EXPECT_EQ(g_dwFadeColor, 0xFFFFFFFFu);
        }
        if (Near(s, 85.25f)) {
            EXPECT_EQ(g_dwFadeColor, 0x7FFFFFFFu);
        }

        // Nothing but water, swell and fireflies between the captions.
        if (s >= 21.05f && s < 42.7f) {
            EXPECT_TRUE(tap.quads.empty());
        }
        // Captions over the overlay: caption 1 at 180, caption 2 just starting.
        if (Near(s, 3.3f)) {
            ASSERT_GE(tap.quads.size(), 2u);
            EXPECT_EQ(tap.quads[1][0].diffuse >> 24, 180u);
            for (size_t q = 2; q < tap.quads.size(); q++)
                EXPECT_EQ(tap.quads[q][0].diffuse >> 24, 0u);
        }

        // The camera rises between 61 and 63 and stays where it got to.
        D3DXVECTOR3 eye;
        g_Camera.GetEye(&eye);
        if (s < 61.0f) {
            EXPECT_EQ(eye, D3DXVECTOR3(0, 5, -50));
        } else if (s < 63.0f) {
            if (Near(s, 62.0f)) {
                EXPECT_EQ(eye, D3DXVECTOR3(0, 45, -32.5f));
            }
            lastRisingEye = eye;
        } else {
            EXPECT_EQ(eye, lastRisingEye);
            EXPECT_GT(eye.y, 84.0f);
        }
    }
    EXPECT_TRUE(sawFadeStart);
    EXPECT_FALSE(g_bWaterVisible);
}

}  // namespace
