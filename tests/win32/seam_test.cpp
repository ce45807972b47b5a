// The window layer's shared files on a backend the test drives: what any
// backend (SDL, the browser) hands over must become the messages, boxes,
// windows and clock the show expects, and the show's end keys its commands.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/host.h"
#include "tests/win32/scripted_backend.h"

namespace {

namespace script = vt::test::backend;
using Event = vt::win32::backend::Event;
using Kind = Event::Kind;

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back({hWnd, msg, wParam, lParam});
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

const ACCEL kShowKeys[] = {
    {FVIRTKEY | FNOINVERT, VK_ESCAPE, 40006},
    {FVIRTKEY | FNOINVERT, VK_F2, 40002},
    {FVIRTKEY | FALT | FNOINVERT, VK_RETURN, 40003},
};

Event Key(WPARAM vk, bool up, uint8_t mods = 0, uint32_t windowId = 0) {
    Event e;
    e.kind = Kind::Key;
    e.virtualKey = vk;
    e.up = up;
    e.modifiers = mods;
    e.windowId = windowId;
    return e;
}

Event Of(Kind kind, uint32_t windowId, int x = 0, int y = 0, bool up = false) {
    Event e;
    e.kind = kind;
    e.windowId = windowId;
    e.x = x;
    e.y = y;
    e.up = up;
    return e;
}

class SeamTest : public ::testing::Test {
protected:
    void SetUp() override {
        script::Reset();
        vt::win32::SetHeadless(false);
        vt::win32::SetManualClock(false);
        g_seen.clear();
        WNDCLASSEXA wc{};
        wc.cbSize = 48;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "Seam";
        ASSERT_NE(RegisterClassExA(&wc), 0);
    }
    void TearDown() override {
        vt::win32::Shutdown();
        vt::win32::SetHeadless(false);
    }

    HWND Make() {
        HWND h = CreateWindowExA(0, "Seam", "t", WS_OVERLAPPEDWINDOW, 0, 0, 64, 48, GetDesktopWindow(), nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(h, nullptr);
        return h;
    }

    std::vector<MSG> Drain() {
        std::vector<MSG> out;
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) out.push_back(msg);
        return out;
    }
};

TEST_F(SeamTest, KeysReachTheNewestWindowWithWindowsKeyFlags) {
    Make();
    HWND newest = Make();
    Event down = Key(VK_LEFT, false);
    down.extended = true;
    Event repeat = down;
    repeat.repeat = true;
    Event up = down;
    up.up = true;
    script::Push(down);
    script::Push(repeat);
    script::Push(up);
    script::Push(Key(0, false));  // a key the backend could not name: nothing
    const std::vector<MSG> got = Drain();
    ASSERT_EQ(got.size(), 3u);
    for (const MSG& m : got) {
        EXPECT_EQ(m.hwnd, newest);
        EXPECT_EQ(m.wParam, WPARAM{VK_LEFT});
        EXPECT_TRUE(m.lParam & (1 << 24)) << "extended";
    }
    EXPECT_EQ(got[0].message, UINT{WM_KEYDOWN});
    EXPECT_FALSE(got[0].lParam & (1u << 30));
    EXPECT_EQ(got[1].message, UINT{WM_KEYDOWN});
    EXPECT_TRUE(got[1].lParam & (1u << 30)) << "a repeat was down before";
    EXPECT_EQ(got[2].message, UINT{WM_KEYUP});
    EXPECT_TRUE(static_cast<uint32_t>(got[2].lParam) & (1u << 31)) << "released";
}

TEST_F(SeamTest, TheShowsEndKeysBecomeItsCommands) {
    HWND h = Make();
    RegisterAcceleratorResource(113, kShowKeys, 3);
    HACCEL accel = LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(113));
    ASSERT_NE(accel, nullptr);
    struct Case {
        WPARAM vk;
        uint8_t mods;
        UINT message;
        WORD command;
    };
    for (const Case& c : {Case{VK_ESCAPE, 0, WM_KEYDOWN, 40006}, Case{VK_F2, 0, WM_KEYDOWN, 40002},
                          Case{VK_RETURN, FALT, WM_SYSKEYDOWN, 40003}, Case{VK_RETURN, 0, WM_KEYDOWN, 0},
                          Case{VK_F2, FCONTROL, WM_KEYDOWN, 0}}) {
        g_seen.clear();
        script::Push(Key(c.vk, false, c.mods, script::IdOf(h)));
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, c.message) << c.vk;
        const int taken = TranslateAcceleratorA(h, accel, &msg);
        EXPECT_EQ(taken != 0, c.command != 0) << c.vk;
        if (c.command) {
            ASSERT_EQ(g_seen.size(), 1u);
            EXPECT_EQ(g_seen[0].message, UINT{WM_COMMAND});
            EXPECT_EQ(LOWORD(g_seen[0].wParam), c.command);
        }
        Drain();
    }
}

TEST_F(SeamTest, WindowEventsGoToTheirWindowOnlyAndCloseComesOnce) {
    HWND a = Make();
    HWND b = Make();
    script::Push(Of(Kind::Resize, script::IdOf(a), 800, 600));
    script::Push(Of(Kind::LeftButton, script::IdOf(b), 5, 7));
    script::Push(Of(Kind::LeftButton, script::IdOf(b), 6, 8, true));
    script::Push(Of(Kind::MouseMove, 999, 1, 1));  // no such window
    script::Push(Of(Kind::Close, script::IdOf(a)));
    script::Push(Of(Kind::Close, script::IdOf(a)));
    std::vector<MSG> got = Drain();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].hwnd, a);
    EXPECT_EQ(got[0].message, UINT{WM_SIZE});
    EXPECT_EQ(got[0].lParam, MAKELPARAM(800, 600));
    EXPECT_EQ(got[1].message, UINT{WM_LBUTTONDOWN});
    EXPECT_EQ(got[1].lParam, MAKELPARAM(5, 7));
    EXPECT_EQ(got[2].message, UINT{WM_LBUTTONUP});
    EXPECT_EQ(got[3].hwnd, a);
    EXPECT_EQ(got[3].message, UINT{WM_CLOSE});
    // Quitting the whole program closes every window, once each.
    script::Push(Of(Kind::QuitAll, 0));
    script::Push(Of(Kind::QuitAll, 0));
    got = Drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, UINT{WM_CLOSE});
    EXPECT_EQ(got[1].message, UINT{WM_CLOSE});
    EXPECT_NE(got[0].hwnd, got[1].hwnd);
}

TEST_F(SeamTest, NativeWindowsAreShownAsAskedAndKeptUntilShutdown) {
    HWND h = Make();
    EXPECT_EQ(script::Recorded().videoStarts, 1);
    EXPECT_EQ(script::Recorded().created, 1);
    EXPECT_FALSE(script::IsShown(h));
    EXPECT_FALSE(ShowWindow(h, SW_SHOWDEFAULT));
    EXPECT_TRUE(script::IsShown(h));
    EXPECT_TRUE(ShowWindow(h, SW_SHOWDEFAULT));
    // A device may still draw on a destroyed window's surface: hidden, kept.
    ASSERT_TRUE(DestroyWindow(h));
    EXPECT_EQ(script::Recorded().destroyed, 0);
    vt::win32::Shutdown();
    EXPECT_EQ(script::Recorded().destroyed, 1);
    EXPECT_EQ(script::Recorded().videoStops, 1);

    vt::win32::SetHeadless(true);
    ASSERT_NE(RegisterClassExA([] {
                  static WNDCLASSEXA wc{};
                  wc.lpfnWndProc = Proc;
                  wc.lpszClassName = "Seam";
                  return &wc;
              }()),
              0);
    HWND hidden = Make();
    EXPECT_FALSE(ShowWindow(hidden, SW_SHOWDEFAULT));
    EXPECT_FALSE(script::IsShown(hidden)) << "headless windows stay hidden";
}

TEST_F(SeamTest, MessageBoxesGoToTheBackendOrToStderr) {
    HWND h = Make();
    EXPECT_EQ(MessageBoxA(h, "Could not load required media.", nullptr, MB_OK | MB_ICONHAND), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, "Caption", MB_OK), IDOK);
    const auto& boxes = script::Recorded().boxes;
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Error");  // Windows' caption for none
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    EXPECT_EQ(boxes[0].type, UINT{MB_OK | MB_ICONHAND});
    EXPECT_TRUE(boxes[0].hadOwner);
    EXPECT_EQ(boxes[1].caption, "Caption");
    EXPECT_EQ(boxes[1].text, "");
    EXPECT_FALSE(boxes[1].hadOwner);

    script::SetBoxesShown(false);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(h, "said instead", "Where", MB_OK), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Where: said instead\n");
    EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(SeamTest, TheCounterFollowsTheBackendsClockUnlessManual) {
    script::SetClockNanoseconds(1500000000);
    LARGE_INTEGER f{}, c{};
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    ASSERT_TRUE(QueryPerformanceCounter(&c));
    EXPECT_EQ(c.QuadPart * 1000 / f.QuadPart, 1500);
    EXPECT_EQ(timeGetTime(), DWORD{1500});
    EXPECT_DOUBLE_EQ(vt::win32::ClockSeconds(), 1.5);
    vt::win32::SetManualClock(true);
    vt::win32::SetClockSeconds(7.25);
    script::SetClockNanoseconds(9000000000);
    EXPECT_EQ(timeGetTime(), DWORD{7250});
    vt::win32::SetManualClock(false);
    EXPECT_EQ(timeGetTime(), DWORD{9000});
}

TEST_F(SeamTest, AHiddenPointerStaysHiddenWhenVideoStarts) {
    SetCursor(nullptr);  // before any window: video is not up yet
    EXPECT_TRUE(script::Recorded().cursorShown);
    Make();
    EXPECT_FALSE(script::Recorded().cursorShown);
    SetCursor(reinterpret_cast<HCURSOR>(uintptr_t{1}));
    EXPECT_TRUE(script::Recorded().cursorShown);
}

}  // namespace
