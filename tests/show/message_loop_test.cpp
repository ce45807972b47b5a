// The message loop and window procedure: the three keys, closing the
// window and the quit message each end the show before another frame.
#include "shell/resources.h"
#include "tests/show/show_fixture.h"

using namespace vt::test;

namespace {

class MessageLoop : public ShowFixture {
protected:
    void SetUp() override
    {
        inScene = false;
        ShowFixture::SetUp();
        RegisterResources();
        g_hAccel = LoadAcceleratorsA(NULL, MAKEINTRESOURCEA(IDR_ACCELERATORS));
        ASSERT_NE(g_hAccel, nullptr);
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof(wc);
        wc.style = CS_CLASSDC;
        wc.lpfnWndProc = WndProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = g_szAppName;
        RegisterClassExA(&wc);
        g_hWnd = CreateWindowExA(0, g_szAppName, g_szAppName, WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768,
                                 GetDesktopWindow(), NULL, wc.hInstance, NULL);
        ASSERT_NE(g_hWnd, nullptr);
        // Any frame the loop renders ends the show at once: the clock is past the end.
        vt::win32::SetManualClock(true);
        vt::win32::SetClockSeconds(1000.0);
        g_bRestartClock = FALSE;
        g_fStartTime = 0.0f;
        // Drop whatever window creation queued.
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
        }
        dev.ClearLog();
    }
    void TearDown() override
    {
        if (IsWindow(g_hWnd))
            DestroyWindow(g_hWnd);
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA(g_szAppName, GetModuleHandleA(NULL));
        vt::win32::SetManualClock(false);
        ShowFixture::TearDown();
    }
};

TEST_F(MessageLoop, EachWayOfEndingTheShow)
{
    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool endsWithoutFrame;
        bool windowClosed;
    } cases[] = {
        {"Esc", WM_KEYDOWN, VK_ESCAPE, 0, true, true},
        {"F2", WM_KEYDOWN, VK_F2, 0, true, false},
        {"Alt+Enter", WM_SYSKEYDOWN, VK_RETURN, 1 << 29, true, false},
        {"Enter alone", WM_KEYDOWN, VK_RETURN, 0, false, false},
        {"Alt+Esc", WM_SYSKEYDOWN, VK_ESCAPE, 1 << 29, false, false},
        {"window closed", WM_CLOSE, 0, 0, true, true},
        {"quit message", WM_QUIT, 0, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!IsWindow(g_hWnd)) {
            g_hWnd = CreateWindowExA(0, g_szAppName, g_szAppName, WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768,
                                     GetDesktopWindow(), NULL, GetModuleHandleA(NULL), NULL);
            MSG m;
            while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
            }
        }
        dev.ClearLog();
        if (c.message == WM_QUIT)
            PostQuitMessage(0);
        else
            PostMessageA(g_hWnd, c.message, c.wParam, c.lParam);
        RunMessageLoop();
        EXPECT_EQ(dev.Count("BeginScene"), c.endsWithoutFrame ? 0u : 1u);
        EXPECT_EQ(!IsWindow(g_hWnd), c.windowClosed);
        // Esc closes the window and quits twice; nothing else is left queued.
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
            EXPECT_EQ(m.message, (UINT)WM_QUIT);
        }
    }
}

TEST_F(MessageLoop, WindowProcedureAnswersCommandsWithQuit)
{
    EXPECT_EQ(WndProc(g_hWnd, WM_COMMAND, IDM_TOGGLEFULLSCREEN, 0), 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, (UINT)WM_QUIT);
    EXPECT_TRUE(IsWindow(g_hWnd));

    EXPECT_EQ(WndProc(g_hWnd, WM_COMMAND, IDM_EXIT, 0), 0);
    EXPECT_FALSE(IsWindow(g_hWnd));
    // Posted twice (from WM_DESTROY and from the command itself), taken once.
    int quits = 0;
    while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE))
        quits += m.message == WM_QUIT;
    EXPECT_EQ(quits, 1);
}

}  // namespace
