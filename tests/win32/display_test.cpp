// Where windows go (display, full screen or kept windowed) and which video
// drivers are tried, quietly.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/host.h"
#include "platform/win32/video_driver.h"

namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld_)
            setenv(name_.c_str(), old_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_, old_;
    bool hadOld_ = false;
};

const std::vector<std::string> kCompiled = {"x11", "wayland", "KMSDRM", "offscreen", "dummy", "evdev"};

TEST(VideoDrivers, WaylandIsLeftOutOnlyWhenItCannotBeFound) {
    // Any way libwayland could find a server: SDL's own order stands.
    EXPECT_EQ(vt::win32::VideoDriversToTry(kCompiled, "/run/user/1000", nullptr, nullptr), "");
    EXPECT_EQ(vt::win32::VideoDriversToTry(kCompiled, nullptr, "/tmp/wayland-1", nullptr), "");
    EXPECT_EQ(vt::win32::VideoDriversToTry(kCompiled, nullptr, nullptr, "5"), "");
    EXPECT_EQ(vt::win32::VideoDriversToTry(kCompiled, "/run/user/0", "wayland-0", nullptr), "");

    // None: every other driver, in SDL's order, none of those only used by name.
    const std::string without = "x11,KMSDRM,offscreen";
    EXPECT_EQ(vt::win32::VideoDriversToTry(kCompiled, nullptr, nullptr, nullptr), without);
    EXPECT_EQ(vt::win32::VideoDriversToTry(kCompiled, "", "", ""), without);
    EXPECT_EQ(vt::win32::VideoDriversToTry(kCompiled, "run/user/0", "wayland-0", nullptr), without)
        << "a relative runtime folder is no folder to libwayland";
    EXPECT_EQ(vt::win32::VideoDriversToTry({"X11", "Wayland", "offscreen"}, nullptr, nullptr, nullptr),
              "X11,offscreen");
}

// With no display and no runtime folder, starting video says nothing: SDL
// would otherwise try Wayland and libwayland complain on stderr.
TEST(VideoDrivers, NoDisplayAnywhereStartsVideoSilently) {
    vt::win32::Shutdown();
    ScopedEnv driver("SDL_VIDEODRIVER", nullptr);
    ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    ScopedEnv display("DISPLAY", nullptr);
    ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    vt::win32::SetHeadless(true);  // no window wanted: no "cannot open a display" either
    testing::internal::CaptureStderr();
    const int displays = vt::win32::DisplayCount();
    const std::string err = testing::internal::GetCapturedStderr();
    vt::win32::Shutdown();
    vt::win32::SetHeadless(false);
    if (displays == 0) GTEST_SKIP() << "no fallback video driver here: " << err;
    EXPECT_EQ(err, "");
}

LRESULT CALLBACK PlainProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

// Shown windows on SDL's offscreen driver, which keeps SDL's own window
// state (flags, position) without a screen.
class Placement : public ::testing::Test {
protected:
    void SetUp() override {
        vt::win32::Shutdown();
        vt::win32::SetHeadless(false);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PlainProc;
        wc.lpszClassName = "Placement";
        ASSERT_NE(RegisterClassExA(&wc), 0);
    }
    void TearDown() override {
        vt::win32::SetWindowPlacement({});
        vt::win32::Shutdown();
    }
    HWND Make() {
        return CreateWindowExA(0, "Placement", "Placement", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, GetDesktopWindow(),
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ScopedEnv driver_{"SDL_VIDEODRIVER", "offscreen"};
};

TEST_F(Placement, AFullScreenRequestIsCarriedOutUnlessTheWindowIsKeptWindowed) {
    for (bool keep : {false, true}) {
        vt::win32::SetWindowPlacement({0, keep});
        HWND hwnd = Make();
        ASSERT_NE(hwnd, nullptr);
        SDL_Window* sdl = vt::win32::GetSdlWindow(hwnd);
        ASSERT_NE(sdl, nullptr);
        // What a full-screen device does to the window before it is shown.
        SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
        ShowWindow(hwnd, SW_SHOWDEFAULT);
        const Uint32 flags = SDL_GetWindowFlags(sdl);
        EXPECT_EQ((flags & SDL_WINDOW_FULLSCREEN) != 0, !keep) << (keep ? "kept windowed" : "full screen");
        EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);
        EXPECT_TRUE(flags & SDL_WINDOW_SHOWN);
        DestroyWindow(hwnd);
    }
}

TEST_F(Placement, KeptWindowedWindowsAreCentredOnTheirDisplay) {
    ASSERT_GE(vt::win32::DisplayCount(), 1);
    SDL_Rect bounds;
    ASSERT_EQ(SDL_GetDisplayBounds(0, &bounds), 0);

    HWND corner = Make();
    int x = -1, y = -1;
    SDL_GetWindowPosition(vt::win32::GetSdlWindow(corner), &x, &y);
    EXPECT_EQ(x, bounds.x) << "where the show asked: its display's corner";
    EXPECT_EQ(y, bounds.y);

    vt::win32::SetWindowPlacement({0, true});
    HWND centred = Make();
    SDL_GetWindowPosition(vt::win32::GetSdlWindow(centred), &x, &y);
    EXPECT_EQ(x, bounds.x + (bounds.w - 320) / 2);
    EXPECT_EQ(y, bounds.y + (bounds.h - 240) / 2);
}

}  // namespace
