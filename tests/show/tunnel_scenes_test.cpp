// Scenes 2 and 5: loaders, captions, symbol strips and fades.
#include <string>
#include <vector>

#include "effects/spline_tunnel.h"
#include "effects/wavy_tunnel.h"
#include "effects/tunnel_swarm.h"
#include "gfx/fade.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"
#include "show/show_clock.h"
#include "tests/show/show_fixture.h"
#include "tests/support/media_dir.h"

HRESULT DrawScene2Captions();
HRESULT DrawScene5Symbols();
float Scene2CaptionOpacity(float y);
extern IDirect3DTexture8* g_pSymbol1;

using namespace vt::test;

namespace {

const char* const SCENE2_FILES[] = {
    "data\\bitmaps\\scene02\\whatif.png",    "data\\bitmaps\\scene02\\wereblaim.png",
    "data\\bitmaps\\scene02\\humansare.png", "data\\bitmaps\\scene02\\psychologically.png",
    "data\\bitmaps\\scene02\\thesun.png",    "data\\bitmaps\\scene02\\theearth.png",
    "data\\bitmaps\\scene02\\willblaim.png", "data\\bitmaps\\scene02\\usalone.png",
    "data\\bitmaps\\scene02\\bluewater8.jpg", "data\\bitmaps\\scene02\\plasma.png",
    "data\\bitmaps\\scene02\\plasma2.png",
};
const char* const SCENE5_FILES[] = {
    "data\\bitmaps\\scene05\\redwater.jpg", "data\\bitmaps\\texts\\symbol1.png", "data\\bitmaps\\texts\\symbol2.png",
    "data\\bitmaps\\texts\\symbol3.png",    "data\\bitmaps\\texts\\symbol4.png",
};

class TunnelScenes : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        g_fHalfHeight = 384.0f;
        g_fAspect = 4.0f / 3.0f;
        g_Tunnel = CTunnel();
        g_bTunnelPathNew = TRUE;
        g_Tunnel2 = CTunnel2();
        g_bTunnel2PathNew = TRUE;
        g_TunnelSwarm = CTunnelSwarm();  // other tests trim its sprite count
        dev.BeginScene();
    }
    void TearDown() override
    {
        ReleaseScene2();
        ReleaseScene5();
        ReleaseTunnelSwarm();
        ShowFixture::TearDown();
    }
    // Stand-ins for every file except `skip`.
    void WriteMedia(const char* const* files, size_t n, const std::string& skip = "")
    {
        for (size_t i = 0; i < n; i++) {
            if (skip != files[i]) {
                ASSERT_TRUE(media.WriteImage(files[i], 16, 16));
            }
        }
    }
    MediaDir media{"scene_media"};
};

TEST_F(TunnelScenes, Scene2LoadsElevenImagesAndBuildsThePath)
{
    WriteMedia(SCENE2_FILES, 11);
    ASSERT_EQ(LoadScene2(), S_OK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(g_Tunnel.m_Points[0].fIndex, 1.0f);
    EXPECT_EQ(g_Tunnel.m_Points[5].vPos.z, 900.0f);
    for (int i = 0; i < TUNNEL_CAPTIONS; i++) {
        EXPECT_NE(g_Tunnel.m_pCaptions[i], nullptr);
        EXPECT_EQ(g_Tunnel.m_pCaptions[i], g_Tunnel.m_pCaptionTextures[i]);
    }
    EXPECT_EQ(dev.Material().Diffuse.r, 1.0f);
    ReleaseScene2();
    EXPECT_EQ(dev.LiveResources(), 1);  // the fixture's quad buffer
    EXPECT_EQ(g_Tunnel.m_pCaptions[3], nullptr);
}

TEST_F(TunnelScenes, Scene2MissingImageStopsBeforeAnyTubeIsBuilt)
{
    WriteMedia(SCENE2_FILES, 11, "data\\bitmaps\\scene02\\plasma.png");
    EXPECT_LT(LoadScene2(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    EXPECT_EQ(dev.Count("VertexBuffer.Lock"), 0u);
    EXPECT_EQ(g_Tunnel.m_nPoints, 0);
}

TEST(Scene2Captions, OpacityPeaksOnTheMiddleLine)
{
    g_fHalfHeight = 384.0f;
    struct Case {
        float y, a;
    };
    const Case cases[] = {{700.0f, 0.0f}, {600.0f, 0.0f}, {492.0f, 0.5f}, {384.0f, 1.0f},
                          {192.0f, 0.5f}, {0.0f, 0.0f},   {-50.0f, 0.0f}};
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(Scene2CaptionOpacity(c.y), c.a) << c.y;
}

TEST_F(TunnelScenes, Scene2CaptionsRiseOverTheScene)
{
    for (int i = 0; i < TUNNEL_CAPTIONS; i++)
        g_Tunnel.m_pCaptions[i] = g_Tunnel.m_pCaptionTextures[i] = MakeTexture(256, 64);
    struct Case {
        float t;
        std::vector<int> drawn;  // captions drawn, in order
    };
    const Case cases[] = {
        {90.3f, {}},           // the list's top edge is at the bottom of the screen
        {95.996f, {0, 1, 2}},  // "whatif" on the middle line, two more below it
        {104.896f, {3, 4, 5, 6, 7}},  // "usalone" on the middle line
        {111.6f, {}},          // all above the top edge
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        g_fShowTime = c.t;
        dev.ClearLog();
        ASSERT_EQ(DrawScene2Captions(), S_OK);
        std::vector<int> drawn;
        for (const Call* call : dev.Find("SetTexture"))
            for (int i = 0; i < TUNNEL_CAPTIONS; i++)
                if (call->Arg(1) == (uint64_t)(uintptr_t)g_Tunnel.m_pCaptions[i])
                    drawn.push_back(i);
        EXPECT_EQ(drawn, c.drawn);
        EXPECT_EQ(dev.Count("DrawPrimitive"), c.drawn.size());
    }
    // The last drawn at 104.896 s is "usalone", on the middle line, opaque,
    // at its own size, 100 pixels from the left.
    g_fShowTime = 104.896f;
    ASSERT_EQ(DrawScene2Captions(), S_OK);
    const std::vector<SCREENVERTEX> q = QuadVertices();
    EXPECT_NEAR(q[0].y, 384.0f, 0.5f);
    EXPECT_GE(q[0].diffuse >> 24, 254u);
    EXPECT_EQ(q[0].x, 100.0f);
    EXPECT_EQ(q[1].x, 356.0f);
    EXPECT_EQ(q[3].y - q[0].y, 64.0f);
}

TEST_F(TunnelScenes, Scene2FadesToBlackOverTheLastHalfSecond)
{
    WriteMedia(SCENE2_FILES, 11);
    ASSERT_EQ(LoadScene2(), S_OK);
    struct Case {
        float t;
        DWORD alpha;
    };
    const Case cases[] = {{100.0f, 0}, {111.35f, 127}, {111.59f, 249}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        g_fShowTime = c.t;
        dev.ClearLog();
        ASSERT_EQ(Scene2(c.t), S_OK);
        // Mid-scene no overlay is open or drawn: the last draw is a caption
        // (a texture set), not the untextured full-screen fade quad.
        EXPECT_EQ(g_fFadeActive != 0.0f, c.alpha != 0);
        if (c.alpha) {
            EXPECT_EQ(g_dwFadeColor, c.alpha << 24);
        }
        const std::vector<SCREENVERTEX> q = QuadVertices();
        const bool fullScreen = q[0].x == 0.0f && q[0].y == 0.0f && q[2].x == 1024.0f && q[2].y == 768.0f;
        EXPECT_EQ(fullScreen, c.alpha != 0);
    }
    EXPECT_EQ(dev.RenderState(D3DRS_FOGEND), FtoDW(150.0f));
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_FALSE(dev.LightEnabled(6));
}

TEST_F(TunnelScenes, ASceneFailingOnItsFirstFrameEndsTheShowWithNothingPresented)
{
    WriteMedia(SCENE2_FILES, 11);
    ASSERT_EQ(LoadScene2(), S_OK);
    dev.EndScene();
    // The show's first frame after loading lands on scene 2's first frame,
    // whose first tube the device refuses to draw.
    vt::win32::SetManualClock(true);
    g_bRestartClock = FALSE;
    g_fStartTime = 1000.0f;
    vt::win32::SetClockSeconds(1000.0 + 90.3f);
    dev.ClearLog();
    dev.FailNext("DrawIndexedPrimitive", D3DERR_INVALIDCALL);
    const HRESULT hr = RenderFrame();
    vt::win32::SetManualClock(false);
    EXPECT_EQ(hr, D3DERR_INVALIDCALL);
    EXPECT_FALSE(g_bScene2Start);  // it was the scene's first frame
    EXPECT_TRUE(boxes.empty());     // the tube's failure is passed up, not shown
    EXPECT_EQ(dev.Count("DrawIndexedPrimitive"), 1u);
    EXPECT_FALSE(dev.Called("EndScene"));
    EXPECT_EQ(dev.Presents(), 0u);
    EXPECT_TRUE(dev.InScene());
}

TEST_F(TunnelScenes, Scene5MissingSymbolStopsAfterTheMeshBeforeTheTube)
{
    WriteMedia(SCENE5_FILES, 5, "data\\bitmaps\\texts\\symbol3.png");
    EXPECT_LT(LoadScene5(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    EXPECT_NE(g_Tunnel2.m_pMesh, nullptr);
    EXPECT_NE(g_pSymbol1, nullptr);
    // BuildTunnel2 never ran.
    EXPECT_EQ(g_Tunnel2.m_nPoints, 0);
    EXPECT_TRUE(g_bTunnel2PathNew);
    ReleaseScene5();
    EXPECT_EQ(g_Tunnel2.m_pMesh, nullptr);
    EXPECT_EQ(dev.LiveResources(), 1);
}

TEST_F(TunnelScenes, Scene5RunsWithTheSwarmStripsAndFade)
{
    WriteMedia(SCENE5_FILES, 5);
    ASSERT_TRUE(media.WriteImage("data\\bitmaps\\scene05\\firefly_r.png", 16, 16));
    ASSERT_EQ(LoadScene5(), S_OK);
    ASSERT_EQ(LoadTunnelSwarm(), S_OK);
    ComputeTunnel2Normals();
    struct Case {
        float t;
        DWORD alpha;
    };
    const Case cases[] = {{154.2f, 0}, {175.8f, 0}, {196.25f, 127}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        g_fShowTime = c.t;
        dev.ClearLog();
        ASSERT_EQ(Scene5(c.t), S_OK);
        EXPECT_EQ(dev.Count("DrawIndexedPrimitive"), 1u);
        // 70 sprites and 4 strips, plus the fade when open.
        EXPECT_EQ(dev.Count("DrawPrimitive"), 74u + (c.alpha ? 1u : 0u));
        if (c.alpha) {
            EXPECT_EQ(g_dwFadeColor, c.alpha << 24);
        }
    }
    // The strips slide right: u offset -0.2 x show clock for the first.
    g_fShowTime = 10.0f;
    ASSERT_EQ(DrawScene5Symbols(), S_OK);
    EXPECT_TRUE(dev.Called("SetTexture", {0, (uint64_t)(uintptr_t)g_pSymbol1}));
    const std::vector<SCREENVERTEX> q = QuadVertices();  // strip 4, the last
    EXPECT_FLOAT_EQ(q[0].tu, -1.0f);
    EXPECT_FLOAT_EQ(q[1].tu, 2.0f);
    EXPECT_EQ(q[0].y, 710.0f);
    EXPECT_EQ(q[3].y, 774.0f);
    EXPECT_EQ(q[0].diffuse, 0x80FFFFFFu);
}

}  // namespace
