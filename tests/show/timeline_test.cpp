// The show clock and the timeline: float bounds, frame order, the end rule.
#include <cmath>

#include "scenes/scene_setup.h"
#include "show/media.h"
#include "tests/show/show_fixture.h"

using namespace vt::test;

namespace {

TEST(Timeline, WindowEndsAreTheStoredFloatsAndWindowsTouch)
{
    const uint32_t ends[NUM_SCENES] = {0x42B4999A, 0x42DF3333, 0x4304F333, 0x431A3333, 0x43450000,
                                       0x435A8000, 0x436FB333, 0x43826666, 0x438D3333, 0x43948000};
    EXPECT_EQ(g_SceneWindows[0].fStart, 5.0f);
    for (int i = 0; i < NUM_SCENES; i++) {
        EXPECT_EQ(FtoDW(g_SceneWindows[i].fEnd), ends[i]) << "scene " << i + 1;
        if (i > 0) {
            EXPECT_EQ(FtoDW(g_SceneWindows[i].fStart), FtoDW(g_SceneWindows[i - 1].fEnd)) << "scene " << i + 1;
        }
    }
    EXPECT_EQ(SHOW_END, 297.0f);
}

TEST(Timeline, SceneIndexAtFloatEdges)
{
    const float justBelow903 = std::nextafter(90.3f, 0.0f);
    struct Case {
        float t;
        int scene;
    } cases[] = {
        {0.0f, -1},       {4.9999995f, -1},  {5.0f, 0},        {justBelow903, 0},
        {90.3f, 1},       {90.30000305f, 1}, {111.6f, 2},      {std::nextafter(111.6f, 0.0f), 1},
        {132.95f, 3},     {154.2f, 4},       {196.99998f, 4},  {197.0f, 5},
        {218.5f, 6},      {239.7f, 7},       {260.8f, 8},      {282.4f, 9},
        {296.99f, 9},     {297.0f, -1},      {400.0f, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SceneIndexAt(c.t), c.scene) << "t = " << c.t;
}

class FrameTest : public ShowFixture {
protected:
    void SetUp() override
    {
        inScene = false;
        ShowFixture::SetUp();
        vt::win32::SetManualClock(true);
        vt::win32::SetClockSeconds(1000.0);
    }
    void TearDown() override
    {
        vt::win32::SetManualClock(false);
        ShowFixture::TearDown();
    }
    HRESULT FrameAt(double showTime)
    {
        vt::win32::SetClockSeconds(1000.0 + showTime);
        return RenderFrame();
    }
};

TEST_F(FrameTest, FirstFrameStartsTheClockAndLaterFramesFollowIt)
{
    ASSERT_EQ(RenderFrame(), S_OK);
    EXPECT_EQ(g_fStartTime, 1000.0f);
    EXPECT_FALSE(g_bRestartClock);
    EXPECT_EQ(g_fShowTime, 0.0f);
    // Only the start time is rounded to float: the clock keeps sub-millisecond steps.
    ASSERT_EQ(FrameAt(0.00025), S_OK);
    EXPECT_NEAR(g_fShowTime, 0.00025f, 1e-7f);
}

TEST_F(FrameTest, BlackFrameBeforeTheFirstSceneHasOnlyThePixelQuad)
{
    ASSERT_EQ(FrameAt(0.0), S_OK);
    dev.ClearLog();
    ASSERT_EQ(FrameAt(2.5), S_OK);
    EXPECT_EQ(dev.Sequence({"BeginScene", "Clear", "DrawPrimitive", "EndScene", "Present"}),
              (std::vector<std::string>{"BeginScene", "Clear", "DrawPrimitive", "EndScene", "Present"}));
    const Call* clear = dev.Last("Clear");
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(clear->Arg(1), (uint64_t)(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER));
    EXPECT_EQ(clear->Arg(2), 0xFF000000u);
    EXPECT_EQ(clear->ArgFloat(3), 1.0f);
    // The pixel quad: untextured, one pixel at the top-left, opaque.
    auto quad = QuadVertices();
    EXPECT_EQ(quad[0].x, 0.0f);
    EXPECT_EQ(quad[2].x, 1.0f);
    EXPECT_EQ(quad[2].y, 1.0f);
    EXPECT_EQ(quad[0].diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(dev.Texture(0), nullptr);
}

TEST_F(FrameTest, LastSceneFramePresentsAndTheEndFrameDoesNot)
{
    ASSERT_EQ(FrameAt(0.0), S_OK);
    ASSERT_EQ(FrameAt(296.99), S_OK);
    const uint64_t presents = dev.Presents();
    EXPECT_EQ(FrameAt(297.0), E_FAIL);
    EXPECT_EQ(dev.Presents(), presents);
    EXPECT_TRUE(dev.InScene());  // left begun: the show ends on this frame
}

TEST_F(FrameTest, FailedBeginSceneIsReportedAndEndsTheShow)
{
    dev.FailNext("BeginScene", D3DERR_INVALIDCALL);
    EXPECT_EQ(RenderFrame(), D3DERR_INVALIDCALL);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error: D3DERR_INVALIDCALL");
    EXPECT_EQ(dev.Presents(), 0u);
}

// Which scene functions a frame ran: each clears its first-frame flag.
std::vector<int> ScenesRun(const std::vector<BOOL*>& flags)
{
    std::vector<int> ran;
    for (size_t i = 0; i < flags.size(); i++)
        if (!*flags[i])
            ran.push_back((int)i);
    return ran;
}

TEST_F(FrameTest, EachFrameRunsTheSceneWhoseStoredBoundsHoldItsClock)
{
    // Scenes 6 to 10 run with nothing loaded, so the frames at their window
    // starts show which scene function a frame picks; the earlier scenes go
    // through the same lookup, whose float edges are tested above.
    const std::vector<BOOL*> flags = {&g_bScene6Start, &g_bScene7Start, &g_bScene8Start, &g_bScene9Start,
                                      &g_bScene10Start};
    ASSERT_EQ(FrameAt(0.0), S_OK);
    struct Case {
        uint32_t bits;  // a window start as stored
        int before, at;  // index into flags of the scene below it and at it
    } cases[] = {{0x435A8000, 0, 1}, {0x436FB333, 1, 2}, {0x43826666, 2, 3}, {0x438D3333, 3, 4}};
    for (const Case& c : cases) {
        const float start = DWtoF(c.bits);
        for (const float t : {std::nextafter(start, 0.0f), start}) {
            SCOPED_TRACE("frame at " + std::to_string(t));
            for (BOOL* f : flags)
                *f = TRUE;
            // Clock start 1000 s, so that the show time comes out as t exactly.
            vt::win32::SetClockSeconds(1000.0 + (double)t);
            ASSERT_EQ(RenderFrame(), S_OK);
            ASSERT_EQ(g_fShowTime, t);
            EXPECT_EQ(ScenesRun(flags), std::vector<int>{t < start ? c.before : c.at});
        }
    }
}

TEST_F(FrameTest, WithoutTheCounterTheClockRunsOnMilliseconds)
{
    vt::win32::SetPerformanceCounterAvailable(false);
    vt::win32::SetClockSeconds(10.0);
    ASSERT_EQ(RenderFrame(), S_OK);
    vt::win32::SetClockSeconds(10.0 + 3.0004);
    ASSERT_EQ(RenderFrame(), S_OK);
    vt::win32::SetPerformanceCounterAvailable(true);
    // Millisecond steps: 3.0004 s reads as 3.000 s.
    EXPECT_FLOAT_EQ(g_fShowTime, 3.0f);
}

TEST_F(FrameTest, InitGlobalsStartsTheShowAfreshInTheSameProcess)
{
    // A first run: the clock on the millisecond timer, every scene and the
    // loading screen past their first frames.
    vt::win32::SetPerformanceCounterAvailable(false);
    ASSERT_EQ(FrameAt(0.0), S_OK);
    vt::win32::SetPerformanceCounterAvailable(true);
    const std::vector<BOOL*> flags = {&g_bLoadingScreenStart, &g_bScene1Start, &g_bScene2Start, &g_bScene3Start,
                                      &g_bScene4Start,        &g_bScene5Start, &g_bScene6Start, &g_bScene7Start,
                                      &g_bScene8Start,        &g_bScene9Start, &g_bScene10Start};
    for (BOOL* f : flags)
        *f = FALSE;
    g_dwClearColor = 0xFFFFFFFF;
    g_fShowTime = 200.0f;

    IDirect3DVertexBuffer8* pQuadVB = g_pQuadVB;  // what loading would make again
    InitGlobals();
    g_pd3dDevice = &dev;
    EXPECT_EQ(g_pQuadVB, nullptr);
    g_pQuadVB = pQuadVB;
    for (size_t i = 0; i < flags.size(); i++)
        EXPECT_TRUE(*flags[i]) << "flag " << i;
    EXPECT_TRUE(g_bRestartClock);
    EXPECT_EQ(g_fShowTime, 0.0f);
    EXPECT_EQ(g_dwClearColor, 0xFF000000u);
    // The second run asks for the counter again and gets sub-millisecond steps.
    ASSERT_EQ(FrameAt(10.0), S_OK);
    ASSERT_EQ(FrameAt(13.0004), S_OK);
    EXPECT_NEAR(g_fShowTime, 3.0004f, 1e-5f);
}

}  // namespace
