// X11 specifics of the window layer: full screen with and without a window
// manager, and windows that vanish under us.
//
// SDL makes a window full screen by asking the window manager
// (_NET_WM_STATE_FULLSCREEN) and takes the display's size as the window's at
// once. With no window manager nobody answers: the window keeps its old size
// and place while everything drawn for the display's size is clipped by it.
// Without a manager a client may place its own window, so we do. With one,
// the change comes a little later; either way the first picture waits for it.
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/win32/internal.h"
#include "platform/win32/trace.h"

namespace vt::win32::detail {
namespace {

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

XErrorHandler g_previousHandler = nullptr;

// When the show closes its window, the window manager destroys the frame it
// had put around it, while SDL may still be answering an earlier event about
// that frame: the request fails with BadWindow, and Xlib's default handler
// would end the program with code 1 and "X Error of failed request" on the
// terminal. A window that is gone is no reason to stop; anything else goes
// on to the handler before ours.
int TolerateVanishedWindows(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow) return 0;
    return g_previousHandler ? g_previousHandler(display, error) : 0;
}

// The window a running EWMH manager names on the root, checked to name
// itself too (a manager that died leaves the root's property behind).
bool HasWindowManager(Display* display, ::Window root) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    auto readCheck = [&](::Window on, ::Window& out) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const bool ok = XGetWindowProperty(display, on, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                                           &data) == Success &&
                        data && type == XA_WINDOW && format == 32 && count == 1;
        if (ok) out = *reinterpret_cast<::Window*>(data);
        if (data) XFree(data);
        return ok;
    };
    ::Window manager = None;
    if (!readCheck(root, manager)) return false;
    // The named window may be gone: its errors are expected, not reported.
    XSync(display, False);
    auto previous = XSetErrorHandler(IgnoreXErrors);
    ::Window self = None;
    const bool alive = readCheck(manager, self) && self == manager;
    XSync(display, False);
    XSetErrorHandler(previous);
    return alive;
}

// Where a window's inside is on the screen, and its size.
struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

bool ReadGeometry(Display* display, ::Window window, Geometry& out) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return false;
    ::Window child = None;
    XTranslateCoordinates(display, window, attributes.root, 0, 0, &out.x, &out.y, &child);
    out.width = attributes.width;
    out.height = attributes.height;
    return true;
}

bool Covers(const Geometry& g, const SDL_Rect& bounds) {
    return g.x == bounds.x && g.y == bounds.y && g.width == bounds.w && g.height == bounds.h;
}

constexpr Uint32 kManagerWaitMs = 1000;

}  // namespace

void TolerateVanishedX11Windows() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || SDL_strcmp(driver, "x11") != 0) return;
    XErrorHandler previous = XSetErrorHandler(TolerateVanishedWindows);
    if (previous != TolerateVanishedWindows) g_previousHandler = previous;
}

void SettleFullScreen(SDL_Window* window) {
    if (!window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN)) return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    Display* display = info.info.x11.display;
    const ::Window xwindow = info.info.x11.window;
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &bounds) != 0) return;

    XWindowAttributes attributes;
    Geometry now;
    if (!XGetWindowAttributes(display, xwindow, &attributes) || !ReadGeometry(display, xwindow, now)) return;
    if (Covers(now, bounds)) {
        // Already so (a manager quick to act, or a display the window's size).
    } else if (!HasWindowManager(display, attributes.root)) {
        XMoveResizeWindow(display, xwindow, bounds.x, bounds.y, static_cast<unsigned>(bounds.w),
                          static_cast<unsigned>(bounds.h));
        XRaiseWindow(display, xwindow);
        // Nobody hands out focus either: keys go to the show wherever the pointer is.
        if (attributes.map_state == IsViewable) XSetInputFocus(display, xwindow, RevertToParent, CurrentTime);
        XSync(display, False);
        TraceStep("window filling its display (no window manager)");
    } else {
        // The manager makes it full screen in its own time; the first
        // picture waits for that, within reason (a manager may never do it).
        const Uint32 start = SDL_GetTicks();
        while (ReadGeometry(display, xwindow, now) && !Covers(now, bounds) && SDL_GetTicks() - start < kManagerWaitMs)
            SDL_Delay(5);
        if (!Covers(now, bounds)) return;
        TraceStep("window full screen (window manager)");
    }
    // A GL context made current on the window before it went full screen
    // goes on drawing at the old size until its next swap (Mesa's software
    // path reads the size again after each one): swap once now, showing the
    // black of a window just mapped, so that the first picture is not clipped.
    if (SDL_GL_GetCurrentContext() && SDL_GL_GetCurrentWindow() == window) SDL_GL_SwapWindow(window);
}

}  // namespace vt::win32::detail
