// Window classes and windows, on the backend's native windows.
//
// A window handle is a never-reused number, not a pointer, so a stale handle
// is simply "not a window". Each window owns its native window (OpenGL
// capable, hidden until ShowWindow) and a copy of its class's procedure.
//
// DestroyWindow ends the handle but only hides the native window: a device
// may still hold it (the show closes its window on Esc and releases the
// device afterwards), so it is kept until Shutdown.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/backend.h"
#include "platform/win32/host.h"
#include "platform/win32/internal.h"

namespace vt::win32 {
namespace {

struct WindowClass {
    WORD atom = 0;
    std::string name;  // as registered
    WNDPROC proc = nullptr;
};

struct NativeDeleter {
    void operator()(backend::NativeWindow* w) const { backend::DestroyNativeWindow(w); }
};
using NativePtr = std::unique_ptr<backend::NativeWindow, NativeDeleter>;

struct Window {
    HWND handle = nullptr;
    WNDPROC proc = nullptr;
    WORD classAtom = 0;
    NativePtr native;
    bool destroying = false;
};

constexpr uintptr_t kDesktopHandle = 0x10000;
constexpr uintptr_t kHandleStep = 4;

struct WindowState {
    std::vector<WindowClass> classes;
    WORD nextAtom = 0xC000;  // where Windows starts string atoms
    std::map<uintptr_t, std::unique_ptr<Window>> windows;  // ordered by creation
    std::vector<NativePtr> retired;  // of destroyed windows
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

}  // namespace

namespace detail {

bool EnsureVideo() {
    WindowState& s = State();
    if (s.videoTried) return s.videoOk;
    s.videoTried = true;
    s.videoOk = backend::StartVideo();
    if (s.videoOk && !s.cursorShown) backend::ShowCursor(false);
    return s.videoOk;
}

bool VideoReady() { return State().videoOk; }

WNDPROC ProcOf(HWND hWnd) {
    Window* w = Find(hWnd);
    return w ? w->proc : nullptr;
}

HWND WindowFromNativeId(uint32_t windowId) {
    for (auto& [id, w] : State().windows) {
        if (w->native && backend::NativeWindowId(w->native.get()) == windowId) return w->handle;
    }
    return nullptr;
}

backend::NativeWindow* NativeOf(HWND hWnd) {
    Window* w = Find(hWnd);
    return w ? w->native.get() : nullptr;
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

void SetWindowPlacement(const WindowPlacement& placement) { State().placement = placement; }

int DisplayCount() {
    if (!detail::EnsureVideo()) return 0;
    return std::max(backend::DisplayCount(), 0);
}

int RegisteredClassCount() { return static_cast<int>(State().classes.size()); }

void Shutdown() {
    detail::ResetQueue();
    detail::ResetWindows();
    WindowState& s = State();
    if (s.videoOk) backend::StopVideo();
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
        // Without a native window the handle still works for messages; the
        // device layer then fails to create its context and says so.
        w->native.reset(backend::CreateNativeWindow(windowName ? windowName : "", x, y, std::max(width, 1),
                                                    std::max(height, 1), style, s.placement));
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
    if (w->native) backend::ShowNativeWindow(w->native.get(), false, State().placement);
    proc(hWnd, WM_DESTROY, 0, 0);
    detail::PurgeMessagesFor(hWnd);
    WindowState& s = State();
    if (w->native) s.retired.push_back(std::move(w->native));
    s.windows.erase(reinterpret_cast<uintptr_t>(hWnd));
    return TRUE;
}

BOOL IsWindow(HWND hWnd) {
    return hWnd == GetDesktopWindow() || Find(hWnd) != nullptr ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    Window* w = Find(hWnd);
    if (!w || !w->native) return FALSE;
    const bool wasVisible = backend::IsNativeWindowShown(w->native.get());
    if (nCmdShow == SW_HIDE)
        backend::ShowNativeWindow(w->native.get(), false, State().placement);
    else if (!IsHeadless())
        backend::ShowNativeWindow(w->native.get(), true, State().placement);
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hWnd) { return Find(hWnd) ? TRUE : FALSE; }

HCURSOR SetCursor(HCURSOR cursor) {
    WindowState& s = State();
    HCURSOR previous = s.cursor;
    s.cursor = cursor;
    const bool show = cursor != nullptr;
    if (show != s.cursorShown && s.videoOk) backend::ShowCursor(show);
    s.cursorShown = show;
    return previous;
}
