// Window messages: the queue, accelerators, default handling and the
// translation of SDL input into Win32 key messages.
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/host.h"

namespace {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
};

std::vector<Seen> g_seen;
bool g_actLikeTheShow = false;

LRESULT CALLBACK RecordingProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back({hWnd, msg, wParam});
    if (msg == WM_DESTROY) PostQuitMessage(7);
    if (msg == WM_COMMAND && g_actLikeTheShow) {
        if (LOWORD(wParam) == 40006) SendMessageA(hWnd, WM_CLOSE, 0, 0);
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

constexpr WORD kTableId = 113;
const ACCEL kShowKeys[] = {
    {FVIRTKEY | FNOINVERT, VK_ESCAPE, 40006},
    {FVIRTKEY | FNOINVERT, VK_F2, 40002},
    {FVIRTKEY | FALT | FNOINVERT, VK_RETURN, 40003},
};

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        vt::win32::SetHeadless(true);
        g_actLikeTheShow = false;
        g_seen.clear();
        WNDCLASSEXA wc{};
        wc.cbSize = 48;
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "Test Class";
        ASSERT_NE(RegisterClassExA(&wc), 0);
        hwnd = CreateWindowExA(0, "Test Class", "Test", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                               GetDesktopWindow(), nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(hwnd, nullptr);
        RegisterAcceleratorResource(kTableId, kShowKeys, 3);
        accel = LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(kTableId));
        ASSERT_NE(accel, nullptr);
        g_seen.clear();
    }
    void TearDown() override { vt::win32::Shutdown(); }

    // Posts a key press the way the keyboard would deliver it and takes it
    // back from the queue, so accelerators see it as the current message.
    MSG Take() {
        MSG msg{};
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        return msg;
    }

    std::vector<UINT> Drain() {
        std::vector<UINT> out;
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            out.push_back(msg.message);
            if (msg.message == WM_QUIT) break;
        }
        return out;
    }

    void PushKey(SDL_Keycode key, Uint16 mod, bool down = true) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = SDL_GetWindowID(vt::win32::GetSdlWindow(hwnd));
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = key;
        e.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    HWND hwnd = nullptr;
    HACCEL accel = nullptr;
};

constexpr LPARAM kAltContext = LPARAM(1) << 29;

TEST_F(MessagesTest, WindowCreationDeliversCreateAndHasAHiddenSdlWindow) {
    vt::win32::Shutdown();
    g_seen.clear();
    WNDCLASSEXA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "Other";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    EXPECT_EQ(RegisterClassExA(&wc), 0) << "a class name is registered once";
    EXPECT_EQ(CreateWindowExA(0, "missing", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    HWND w = CreateWindowExA(0, "OTHER", "Vantorel - QR27", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                             GetDesktopWindow(), nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, UINT(WM_CREATE));
    SDL_Window* sdl = vt::win32::GetSdlWindow(w);
    ASSERT_NE(sdl, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "Vantorel - QR27");
    int width = 0, height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    const Uint32 flags = SDL_GetWindowFlags(sdl);
    EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
    ShowWindow(w, SW_SHOWDEFAULT);
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) << "headless windows stay hidden";
    EXPECT_EQ(vt::win32::GetSdlWindow(GetDesktopWindow()), nullptr);

    EXPECT_FALSE(UnregisterClassA("Other", nullptr)) << "the class still has a window";
    const Uint32 sdlId = SDL_GetWindowID(sdl);
    EXPECT_TRUE(DestroyWindow(w));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(vt::win32::GetSdlWindow(w), nullptr);
    // A device may still use the SDL window until it is released.
    ASSERT_EQ(SDL_GetWindowFromID(sdlId), sdl);
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(UnregisterClassA("other", nullptr));
    EXPECT_EQ(vt::win32::RegisteredClassCount(), 0);
}

TEST_F(MessagesTest, AcceleratorsMatchKeyAndExactModifiers) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM vk;
        LPARAM lParam;
        int command;  // 0: not translated
    };
    const Case cases[] = {
        {"Esc", WM_KEYDOWN, VK_ESCAPE, 1, 40006},
        {"F2", WM_KEYDOWN, VK_F2, 1, 40002},
        {"Alt+Enter", WM_SYSKEYDOWN, VK_RETURN, 1 | kAltContext, 40003},
        {"Enter alone", WM_KEYDOWN, VK_RETURN, 1, 0},
        {"Alt+Esc", WM_SYSKEYDOWN, VK_ESCAPE, 1 | kAltContext, 0},
        {"Alt+F2", WM_SYSKEYDOWN, VK_F2, 1 | kAltContext, 0},
        {"Esc released", WM_KEYUP, VK_ESCAPE, 1, 0},
        {"F3", WM_KEYDOWN, VK_F3, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_seen.clear();
        ASSERT_TRUE(PostMessageA(hwnd, c.message, c.vk, c.lParam));
        MSG msg = Take();
        const int translated = TranslateAcceleratorA(hwnd, accel, &msg);
        if (c.command == 0) {
            EXPECT_EQ(translated, 0);
            EXPECT_TRUE(g_seen.empty());
        } else {
            EXPECT_NE(translated, 0);
            ASSERT_EQ(g_seen.size(), 1u) << "WM_COMMAND is sent before TranslateAccelerator returns";
            EXPECT_EQ(g_seen[0].message, UINT(WM_COMMAND));
            EXPECT_EQ(LOWORD(g_seen[0].wParam), c.command);
            EXPECT_EQ(HIWORD(g_seen[0].wParam), 1) << "1 marks an accelerator";
        }
    }
    EXPECT_EQ(LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(999)), nullptr);
    EXPECT_EQ(LoadAcceleratorsA(nullptr, "#113"), accel);
}

TEST_F(MessagesTest, QuitComesAfterEverythingPostedBeforeIt) {
    PostMessageA(hwnd, WM_KEYDOWN, 'A', 1);
    PostQuitMessage(3);
    PostMessageA(hwnd, WM_KEYUP, 'A', 1);
    PostMessageA(nullptr, WM_NULL, 0, 0);

    MSG peeked{};
    ASSERT_TRUE(PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(peeked.message, UINT(WM_KEYDOWN)) << "PM_NOREMOVE leaves the message queued";

    std::vector<UINT> order;
    std::vector<HWND> targets;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        order.push_back(msg.message);
        targets.push_back(msg.hwnd);
        if (msg.message == WM_QUIT) {
            EXPECT_EQ(msg.wParam, 3u);
            break;
        }
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_NULL, WM_QUIT}));
    EXPECT_EQ(targets[0], hwnd);
    EXPECT_EQ(targets[2], nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "WM_QUIT is handed out once";

    PostQuitMessage(0);
    PostQuitMessage(0);
    EXPECT_EQ(Drain(), std::vector<UINT>{WM_QUIT}) << "two quit requests make one WM_QUIT";
}

TEST_F(MessagesTest, FiltersSelectByWindowAndRange) {
    PostMessageA(nullptr, WM_NULL, 0, 0);
    PostMessageA(hwnd, WM_KEYDOWN, 'B', 1);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_KEYDOWN));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(intptr_t(-1)), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_NULL));
}

TEST_F(MessagesTest, DefaultCloseDestroysTheWindowAndDropsItsMessages) {
    PostMessageA(hwnd, WM_KEYDOWN, 'C', 1);
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].message, UINT(WM_CLOSE));
    EXPECT_EQ(g_seen[1].message, UINT(WM_DESTROY));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Drain(), std::vector<UINT>{WM_QUIT}) << "the dead window's key is gone";

    g_seen.clear();
    MSG stale{hwnd, WM_KEYDOWN, 'D', 1, 0, {0, 0}};
    EXPECT_EQ(DispatchMessageA(&stale), 0);
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(hwnd, WM_CLOSE, 0, 0));
    EXPECT_TRUE(g_seen.empty()) << "nothing reaches a destroyed window";
    EXPECT_FALSE(DestroyWindow(hwnd));
}

TEST_F(MessagesTest, ShowLoopEndsOnEscapeAfterClosingTheWindow) {
    // The show's own loop and procedure shape, fed with one Esc press.
    g_actLikeTheShow = true;
    PostMessageA(hwnd, WM_KEYDOWN, VK_ESCAPE, 1);
    int frames = 0;
    MSG msg{};
    while (msg.message != WM_QUIT && frames < 100) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (TranslateAcceleratorA(hwnd, accel, &msg) == 0) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else {
            ++frames;
        }
    }
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(frames, 0) << "no idle turn before the quit message";
    EXPECT_FALSE(IsWindow(hwnd));
    std::vector<UINT> procSaw;
    for (const Seen& s : g_seen) procSaw.push_back(s.message);
    EXPECT_EQ(procSaw, (std::vector<UINT>{WM_COMMAND, WM_CLOSE, WM_DESTROY}));
}

TEST_F(MessagesTest, SdlKeysBecomeVirtualKeyMessages) {
    struct Case {
        const char* name;
        SDL_Keycode key;
        Uint16 mod;
        UINT message;
        WPARAM vk;
        bool altContext;
    };
    const Case cases[] = {
        {"Esc", SDLK_ESCAPE, KMOD_NONE, WM_KEYDOWN, VK_ESCAPE, false},
        {"F2", SDLK_F2, KMOD_NONE, WM_KEYDOWN, VK_F2, false},
        {"F12", SDLK_F12, KMOD_NONE, WM_KEYDOWN, VK_F12, false},
        {"Return", SDLK_RETURN, KMOD_NONE, WM_KEYDOWN, VK_RETURN, false},
        {"keypad Enter", SDLK_KP_ENTER, KMOD_NONE, WM_KEYDOWN, VK_RETURN, false},
        {"q", SDLK_q, KMOD_NONE, WM_KEYDOWN, 'Q', false},
        {"7", SDLK_7, KMOD_NONE, WM_KEYDOWN, '7', false},
        {"left", SDLK_LEFT, KMOD_NONE, WM_KEYDOWN, VK_LEFT, false},
        {"Alt+Enter", SDLK_RETURN, KMOD_LALT, WM_SYSKEYDOWN, VK_RETURN, true},
        {"Alt itself", SDLK_LALT, KMOD_LALT, WM_SYSKEYDOWN, VK_MENU, true},
        {"F10", SDLK_F10, KMOD_NONE, WM_SYSKEYDOWN, VK_F10, false},
        {"Ctrl+Alt+Enter", SDLK_RETURN, KMOD_LALT | KMOD_LCTRL, WM_KEYDOWN, VK_RETURN, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PushKey(c.key, c.mod);
        PushKey(c.key, c.mod, false);
        MSG down = Take();
        EXPECT_EQ(down.hwnd, hwnd);
        EXPECT_EQ(down.message, c.message);
        EXPECT_EQ(down.wParam, c.vk);
        EXPECT_EQ((down.lParam & kAltContext) != 0, c.altContext);
        EXPECT_EQ(down.lParam & 0xFFFF, 1) << "repeat count";
        MSG up = Take();
        EXPECT_EQ(up.message, c.message == WM_SYSKEYDOWN ? UINT(WM_SYSKEYUP) : UINT(WM_KEYUP));
        EXPECT_EQ(uint32_t(up.lParam) >> 30, 3u) << "previous state and transition bits";
    }
    PushKey(SDLK_UNKNOWN, KMOD_NONE);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "unmapped keys make no message";
}

TEST_F(MessagesTest, HeldModifiersOfRealKeysDecideAccelerators) {
    struct Case {
        const char* name;
        SDL_Keycode key;
        Uint16 mod;
        int command;
    };
    const Case cases[] = {
        {"Esc", SDLK_ESCAPE, KMOD_NONE, 40006},
        {"F2", SDLK_F2, KMOD_NONE, 40002},
        {"Alt+Enter", SDLK_RETURN, KMOD_RALT, 40003},
        {"Enter", SDLK_RETURN, KMOD_NONE, 0},
        {"Shift+Esc", SDLK_ESCAPE, KMOD_LSHIFT, 0},
        {"Ctrl+F2", SDLK_F2, KMOD_RCTRL, 0},
        {"Ctrl+Alt+Enter", SDLK_RETURN, KMOD_LALT | KMOD_LCTRL, 0},
        {"Alt+Esc", SDLK_ESCAPE, KMOD_LALT, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_seen.clear();
        PushKey(c.key, c.mod);
        MSG msg = Take();
        const int translated = TranslateAcceleratorA(hwnd, accel, &msg);
        EXPECT_EQ(translated != 0, c.command != 0);
        if (c.command) {
            ASSERT_EQ(g_seen.size(), 1u);
            EXPECT_EQ(LOWORD(g_seen[0].wParam), c.command);
        }
    }
}

TEST_F(MessagesTest, WindowCloseButtonAndTerminationBecomeOneClose) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = SDL_GetWindowID(vt::win32::GetSdlWindow(hwnd));
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    MSG msg = Take();
    EXPECT_EQ(msg.message, UINT(WM_CLOSE));
    EXPECT_EQ(msg.hwnd, hwnd);
    DispatchMessageA(&msg);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Drain(), std::vector<UINT>{WM_QUIT});
}

TEST_F(MessagesTest, TranslateMessageQueuesTheCharacterNext) {
    PostMessageA(hwnd, WM_KEYUP, VK_SPACE, 1);
    MSG key{hwnd, WM_KEYDOWN, 'G', 1, 0, {0, 0}};
    EXPECT_TRUE(TranslateMessage(&key));
    MSG msg = Take();
    EXPECT_EQ(msg.message, UINT(WM_CHAR));
    EXPECT_EQ(msg.wParam, WPARAM('g'));
    EXPECT_EQ(Take().message, UINT(WM_KEYUP));
    MSG other{hwnd, WM_MOUSEMOVE, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(TranslateMessage(&other));
}

}  // namespace
