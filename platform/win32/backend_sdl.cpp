// The Win32 layer's backend on SDL2: windows, input, message boxes and the
// clock of the desktop programs.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/win32/backend.h"
#include "platform/win32/internal.h"
#include "platform/win32/trace.h"
#include "platform/win32/video_driver.h"

namespace vt::win32 {
namespace {

SDL_Window* Sdl(backend::NativeWindow* w) { return reinterpret_cast<SDL_Window*>(w); }

Uint32 SdlFlags(DWORD style) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((style & WS_POPUP) && !(style & WS_CAPTION)) flags |= SDL_WINDOW_BORDERLESS;
    return flags;
}

// Where a window asked for at (x, y) opens: on the placement's display, at
// the same offset from its corner; a window kept windowed is centred on it.
void PlaceOnDisplay(const WindowPlacement& p, int& x, int& y) {
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

uint8_t ModsFromSdl(Uint16 mod) {
    uint8_t m = 0;
    if (mod & KMOD_ALT) m |= FALT;
    if (mod & KMOD_CTRL) m |= FCONTROL;
    if (mod & KMOD_SHIFT) m |= FSHIFT;
    return m;
}

// Virtual-key code of an SDL key (layout-aware, like Windows' VK_A..VK_Z);
// 0 for keys the layer does not report. `extended` marks the keys Windows
// flags as extended.
WPARAM VirtualKey(SDL_Keycode key, bool* extended) {
    *extended = false;
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (key - SDLK_KP_1);
    switch (key) {
        case SDLK_RETURN: return VK_RETURN;
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_TAB: return VK_TAB;
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_PAUSE: return VK_PAUSE;
        case SDLK_CAPSLOCK: return VK_CAPITAL;
        case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
        case SDLK_LCTRL: return VK_CONTROL;
        case SDLK_LALT: return VK_MENU;
        case SDLK_KP_0: return VK_NUMPAD0;
        case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
        case SDLK_KP_PLUS: return VK_ADD;
        case SDLK_KP_MINUS: return VK_SUBTRACT;
        case SDLK_KP_PERIOD: return VK_DECIMAL;
        default: break;
    }
    *extended = true;
    switch (key) {
        case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_KP_DIVIDE: return VK_DIVIDE;
        case SDLK_RCTRL: return VK_CONTROL;
        case SDLK_RALT: return VK_MENU;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_UP: return VK_UP;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_PAGEUP: return VK_PRIOR;
        case SDLK_PAGEDOWN: return VK_NEXT;
        case SDLK_HOME: return VK_HOME;
        case SDLK_END: return VK_END;
        case SDLK_INSERT: return VK_INSERT;
        case SDLK_DELETE: return VK_DELETE;
        default: break;
    }
    *extended = false;
    return 0;
}

SDL_MessageBoxFlags IconFlags(UINT type) {
    switch (type & 0xF0) {
        case MB_ICONHAND: return SDL_MESSAGEBOX_ERROR;
        case MB_ICONEXCLAMATION: return SDL_MESSAGEBOX_WARNING;
        default: return SDL_MESSAGEBOX_INFORMATION;
    }
}

}  // namespace

SDL_Window* GetSdlWindow(HWND hWnd) { return Sdl(detail::NativeOf(hWnd)); }

namespace backend {

bool StartVideo() {
    // Closing the last window is WM_CLOSE's business, not a quit request.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Ctrl+C and SIGTERM keep their usual meaning: SDL would otherwise turn
    // them into events that programs without a message loop never read.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    ChooseVideoDrivers();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "vantorel: no video driver: %s\n", SDL_GetError());
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    TraceStep(std::string("video ready (") + (driver ? driver : "?") + ")");
    detail::TolerateVanishedX11Windows();
    WarnIfNoVisibleDisplay(driver);
    return true;
}

void StopVideo() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

bool HasVisibleDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
}

int DisplayCount() { return SDL_GetNumVideoDisplays(); }

NativeWindow* CreateNativeWindow(const char* title, int x, int y, int width, int height, DWORD style,
                                 const WindowPlacement& placement) {
    PlaceOnDisplay(placement, x, y);
    SDL_Window* w = SDL_CreateWindow(title, x, y, width, height, SdlFlags(style));
    if (!w) {
        std::fprintf(stderr, "vantorel: cannot create a window: %s\n", SDL_GetError());
        return nullptr;
    }
    TraceStep("window created");
    return reinterpret_cast<NativeWindow*>(w);
}

void DestroyNativeWindow(NativeWindow* window) { SDL_DestroyWindow(Sdl(window)); }

void ShowNativeWindow(NativeWindow* window, bool show, const WindowPlacement& placement) {
    SDL_Window* sdl = Sdl(window);
    if (!show) {
        SDL_HideWindow(sdl);
        return;
    }
    // A device asks for full screen before the window is first shown,
    // which is when SDL carries it out: set aside here, it never happens.
    if (placement.keepWindowed && (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN))
        SDL_SetWindowFullscreen(sdl, 0);
    SDL_ShowWindow(sdl);
    SDL_RaiseWindow(sdl);
    detail::SettleFullScreen(sdl);
    TraceStep("window shown");
}

bool IsNativeWindowShown(NativeWindow* window) {
    return (SDL_GetWindowFlags(Sdl(window)) & SDL_WINDOW_SHOWN) != 0;
}

uint32_t NativeWindowId(NativeWindow* window) { return SDL_GetWindowID(Sdl(window)); }

void ShowCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

void PollEvents(const std::function<void(const Event&)>& sink) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        Event out;
        switch (e.type) {
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                out.kind = Event::Kind::Key;
                out.windowId = e.key.windowID;
                out.virtualKey = VirtualKey(e.key.keysym.sym, &out.extended);
                out.modifiers = ModsFromSdl(e.key.keysym.mod);
                out.up = e.type == SDL_KEYUP;
                out.repeat = e.key.repeat != 0;
                break;
            case SDL_WINDOWEVENT:
                out.windowId = e.window.windowID;
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                    out.kind = Event::Kind::Close;
                } else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    out.kind = Event::Kind::Resize;
                    out.x = e.window.data1;
                    out.y = e.window.data2;
                } else {
                    continue;
                }
                break;
            case SDL_QUIT:
                out.kind = Event::Kind::QuitAll;
                break;
            case SDL_MOUSEMOTION:
                out.kind = Event::Kind::MouseMove;
                out.windowId = e.motion.windowID;
                out.x = e.motion.x;
                out.y = e.motion.y;
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (e.button.button != SDL_BUTTON_LEFT) continue;
                out.kind = Event::Kind::LeftButton;
                out.windowId = e.button.windowID;
                out.up = e.type == SDL_MOUSEBUTTONUP;
                out.x = e.button.x;
                out.y = e.button.y;
                break;
            default:
                continue;
        }
        sink(out);
    }
}

bool ShowMessageBox(UINT type, const char* caption, const char* text, NativeWindow* owner) {
    return SDL_ShowSimpleMessageBox(IconFlags(type), caption, text, Sdl(owner)) == 0;
}

int64_t MonotonicNanoseconds() {
    auto now = [] {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    };
    static const int64_t origin = now();
    return now() - origin;
}

}  // namespace backend
}  // namespace vt::win32
