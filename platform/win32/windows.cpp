// Window classes and windows on SDL2.
//
// A window handle is a never-reused number, not a pointer, so a stale handle
// is simply "not a window". Each window owns its SDL window (OpenGL capable,
// hidden until ShowWindow) and a copy of its class's procedure.
//
// DestroyWindow ends the handle but only hides the SDL window: a device may
// still hold it (the show closes its window on Esc and releases the device
// afterwards), so it is kept until Shutdown.
#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/host.h"
#include "platform/win32/internal.h"
#include "platform/win32/trace.h"
#include "platform/win32/video_driver.h"

namespace vt::win32 {
namespace {

struct WindowClass {
    WORD atom = 0;
    std::string name;  // as registered
    WNDPROC proc = nullptr;
};

struct SdlWindowDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};

struct Window {
    HWND handle = nullptr;
    WNDPROC proc = nullptr;
    WORD classAtom = 0;
    std::unique_ptr<SDL_Window, SdlWindowDeleter> sdl;
    bool destroying = false;
};

constexpr uintptr_t kDesktopHandle = 0x10000;
constexpr uintptr_t kHandleStep = 4;

struct WindowState {
    std::vector<WindowClass> classes;
    WORD nextAtom = 0xC000;  // where Windows starts string atoms
    std::map<uintptr_t, std::unique_ptr<Window>> windows;  // ordered by creation
    std::vector<std::unique_ptr<SDL_Window, SdlWindowDeleter>> retired;  // of destroyed windows
    uintptr_t nextHandle = kDesktopHandle + kHandleStep;
    bool videoTried = false;
    bool videoOk = false;
    bool cursorShown = true;
    HCURSOR cursor = nullptr;
    WindowPlacement placement;  // a host setting: kept across Shutdown
};

WindowState& State() {
    static WindowState state;
    return state;
}

bool SameName(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Class names are case-insensitive; an integer "name" is an atom.
WindowClass* FindClass(LPCSTR name) {
    if (!name) return nullptr;
    for (auto& c : State().classes) {
        if (IS_INTRESOURCE(name) ? c.atom == static_cast<WORD>(reinterpret_cast<uintptr_t>(name))
                                 : SameName(c.name, name))
            return &c;
    }
    return nullptr;
}

Window* Find(HWND hWnd) {
    auto& windows = State().windows;
    auto it = windows.find(reinterpret_cast<uintptr_t>(hWnd));
    return it == windows.end() ? nullptr : it->second.get();
}

Uint32 SdlFlags(DWORD style) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((style & WS_POPUP) && !(style & WS_CAPTION)) flags |= SDL_WINDOW_BORDERLESS;
    return flags;
}

// Where a window asked for at (x, y) opens: on the placement's display, at
// the same offset from its corner; a window kept windowed is centred on it.
void PlaceOnDisplay(int& x, int& y) {
    const WindowPlacement& p = State().placement;
    if (p.keepWindowed) {
        x = y = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(p.display));
        return;
    }
    SDL_Rect bounds;
    if (p.display != 0 && SDL_GetDisplayBounds(p.display, &bounds) == 0) {
        x += bounds.x;
        y += bounds.y;
    }
}

// When no driver was asked for and the display cannot be opened (none named,
// or its server refused the connection), SDL quietly falls back to a driver
// without windows: the program would then play unseen. Say so.
void WarnIfNoVisibleDisplay(const char* driver) {
    if (IsHeadless() || !driver) return;
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    if (asked && *asked) return;
    if (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0) return;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "vantorel: cannot open a display (DISPLAY=%s, WAYLAND_DISPLAY=%s); video driver \"%s\" shows no window\n",
                 display ? display : "", wayland ? wayland : "", driver);
    std::fflush(stderr);
}

}  // namespace

namespace detail {

bool EnsureVideo() {
    WindowState& s = State();
    if (s.videoTried) return s.videoOk;
    s.videoTried = true;
    // Closing the last window is WM_CLOSE's business, not a quit request.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Ctrl+C and SIGTERM keep their usual meaning: SDL would otherwise turn
    // them into events that programs without a message loop never read.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    ChooseVideoDrivers();
    s.videoOk = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!s.videoOk) std::fprintf(stderr, "vantorel: no video driver: %s\n", SDL_GetError());
    if (s.videoOk) {
        const char* driver = SDL_GetCurrentVideoDriver();
        TraceStep(std::string("video ready (") + (driver ? driver : "?") + ")");
        TolerateVanishedX11Windows();
        WarnIfNoVisibleDisplay(driver);
    }
    if (s.videoOk && !s.cursorShown) SDL_ShowCursor(SDL_DISABLE);
    return s.videoOk;
}

bool VideoReady() { return State().videoOk; }

WNDPROC ProcOf(HWND hWnd) {
    Window* w = Find(hWnd);
    return w ? w->proc : nullptr;
}

HWND WindowFromSdlId(uint32_t windowId) {
    for (auto& [id, w] : State().windows) {
        if (w->sdl && SDL_GetWindowID(w->sdl.get()) == windowId) return w->handle;
    }
    return nullptr;
}

HWND NewestWindow() {
    auto& windows = State().windows;
    return windows.empty() ? nullptr : windows.rbegin()->second->handle;
}

int LiveWindows(HWND* out, int max) {
    int n = 0;
    for (auto& [id, w] : State().windows) {
        if (n == max) break;
        out[n++] = w->handle;
    }
    return n;
}

void ResetWindows() {
    WindowState& s = State();
    s.windows.clear();
    s.retired.clear();
    s.classes.clear();
}

}  // namespace detail

SDL_Window* GetSdlWindow(HWND hWnd) {
    Window* w = Find(hWnd);
    return w ? w->sdl.get() : nullptr;
}

void SetWindowPlacement(const WindowPlacement& placement) { State().placement = placement; }

int DisplayCount() {
    if (!detail::EnsureVideo()) return 0;
    return std::max(SDL_GetNumVideoDisplays(), 0);
}

int RegisteredClassCount() { return static_cast<int>(State().classes.size()); }

void Shutdown() {
    detail::ResetQueue();
    detail::ResetWindows();
    WindowState& s = State();
    if (s.videoOk) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    s.videoTried = s.videoOk = false;
    s.cursorShown = true;
    s.cursor = nullptr;
}

}  // namespace vt::win32

using namespace vt::win32;

WORD RegisterClassExA(const WNDCLASSEXA* wc) {
    // cbSize is not checked: the show fills in the 32-bit Windows size.
    if (!wc || !wc->lpfnWndProc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) ||
        !*wc->lpszClassName || FindClass(wc->lpszClassName))
        return 0;
    WindowState& s = State();
    WindowClass c;
    c.atom = s.nextAtom++;
    c.name = wc->lpszClassName;
    c.proc = wc->lpfnWndProc;
    s.classes.push_back(c);
    return c.atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    WindowClass* c = FindClass(className);
    if (!c) return FALSE;
    // As on Windows, a class with live windows stays registered.
    for (auto& [id, w] : State().windows) {
        if (w->classAtom == c->atom) return FALSE;
    }
    auto& classes = State().classes;
    classes.erase(classes.begin() + (c - classes.data()));
    return TRUE;
}

HWND GetDesktopWindow() { return reinterpret_cast<HWND>(kDesktopHandle); }

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    WindowClass* c = FindClass(className);
    if (!c) return nullptr;
    WindowState& s = State();

    auto w = std::make_unique<Window>();
    w->handle = reinterpret_cast<HWND>(s.nextHandle);
    s.nextHandle += kHandleStep;
    w->proc = c->proc;
    w->classAtom = c->atom;
    if (detail::EnsureVideo()) {
        // Without an SDL window the handle still works for messages; the
        // device layer then fails to create its context and says so.
        int sx = x, sy = y;
        PlaceOnDisplay(sx, sy);
        w->sdl.reset(SDL_CreateWindow(windowName ? windowName : "", sx, sy, std::max(width, 1), std::max(height, 1),
                                      SdlFlags(style)));
        if (!w->sdl) std::fprintf(stderr, "vantorel: cannot create a window: %s\n", SDL_GetError());
        else TraceStep("window created");
    }
    HWND hWnd = w->handle;
    WNDPROC proc = w->proc;
    s.windows.emplace(reinterpret_cast<uintptr_t>(hWnd), std::move(w));

    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (proc(hWnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hWnd);
        return nullptr;
    }
    if (!IsWindow(hWnd)) return nullptr;  // the procedure destroyed it
    if (style & WS_VISIBLE) ShowWindow(hWnd, SW_SHOW);
    return hWnd;
}

BOOL DestroyWindow(HWND hWnd) {
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    if (w->destroying) return TRUE;
    w->destroying = true;
    WNDPROC proc = w->proc;
    if (w->sdl) SDL_HideWindow(w->sdl.get());
    proc(hWnd, WM_DESTROY, 0, 0);
    detail::PurgeMessagesFor(hWnd);
    WindowState& s = State();
    if (w->sdl) s.retired.push_back(std::move(w->sdl));
    s.windows.erase(reinterpret_cast<uintptr_t>(hWnd));
    return TRUE;
}

BOOL IsWindow(HWND hWnd) {
    return hWnd == GetDesktopWindow() || Find(hWnd) != nullptr ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    Window* w = Find(hWnd);
    if (!w || !w->sdl) return FALSE;
    const bool wasVisible = (SDL_GetWindowFlags(w->sdl.get()) & SDL_WINDOW_SHOWN) != 0;
    if (nCmdShow == SW_HIDE) {
        SDL_HideWindow(w->sdl.get());
    } else if (!IsHeadless()) {
        SDL_Window* sdl = w->sdl.get();
        // A device asks for full screen before the window is first shown,
        // which is when SDL carries it out: set aside here, it never happens.
        if (State().placement.keepWindowed && (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN))
            SDL_SetWindowFullscreen(sdl, 0);
        SDL_ShowWindow(sdl);
        SDL_RaiseWindow(sdl);
        detail::SettleFullScreen(sdl);
        TraceStep("window shown");
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hWnd) { return Find(hWnd) ? TRUE : FALSE; }

HCURSOR SetCursor(HCURSOR cursor) {
    WindowState& s = State();
    HCURSOR previous = s.cursor;
    s.cursor = cursor;
    const bool show = cursor != nullptr;
    if (show != s.cursorShown && s.videoOk) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    s.cursorShown = show;
    return previous;
}
