// The Win32 layer's backend in the browser: every window is the page's
// canvas (#screen), keys come from the page's keyboard events, message boxes
// are handed to the page, which shows them over the picture, and the clock
// is the page's monotonic clock.
//
// Nothing here blocks: the page runs the program one animation frame at a
// time, so a message box is shown and the program goes on at once (as the
// show does after its boxes anyway: it ends).
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <deque>
#include <memory>
#include <vector>

#include "platform/win32/backend.h"
#include "platform/win32/dom_keys.h"
#include "platform/win32/trace.h"

namespace vt::win32 {
namespace {

constexpr const char* kCanvas = "#screen";

struct WebState {
    bool started = false;
    std::deque<backend::Event> events;
    uint32_t nextId = 1;
    std::vector<backend::NativeWindow*> shown;  // windows the program has shown
};

WebState& W() {
    static WebState state;
    return state;
}

uint8_t Modifiers(const EmscriptenKeyboardEvent& e) {
    uint8_t m = 0;
    if (e.altKey) m |= FALT;
    if (e.ctrlKey) m |= FCONTROL;
    if (e.shiftKey) m |= FSHIFT;
    return m;
}

// Keys reach the newest window, as the desktop's do when the event names
// none. Keys the show may use are kept from the browser (F2, Alt+Enter,
// Tab moving the focus); the rest keep their meaning on the page.
EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void*) {
    backend::Event out;
    out.kind = backend::Event::Kind::Key;
    out.virtualKey = VirtualKeyFromDom(e->code, e->key, &out.extended);
    if (out.virtualKey == 0) return EM_FALSE;
    out.up = type == EMSCRIPTEN_EVENT_KEYUP;
    out.repeat = e->repeat != 0;
    out.modifiers = Modifiers(*e);
    W().events.push_back(out);
    return EM_TRUE;
}

// The browser leaves full screen on Esc itself and does not pass that key
// on: leaving it while the show runs means the same as Esc.
EM_BOOL OnFullscreenChange(int, const EmscriptenFullscreenChangeEvent* e, void*) {
    if (e->isFullscreen || W().shown.empty()) return EM_FALSE;
    backend::Event esc;
    esc.kind = backend::Event::Kind::Key;
    esc.virtualKey = VK_ESCAPE;
    W().events.push_back(esc);
    esc.up = true;
    W().events.push_back(esc);
    return EM_FALSE;
}

}  // namespace

namespace backend {

struct NativeWindow {
    uint32_t id = 0;
    bool shown = false;
};

bool StartVideo() {
    WebState& s = W();
    if (!s.started) {
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
        emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
        emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE,
                                                 OnFullscreenChange);
        s.started = true;
    }
    TraceStep("video ready (web)");
    return true;
}

void StopVideo() {
    WebState& s = W();
    if (!s.started) return;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, nullptr);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, nullptr);
    emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE, nullptr);
    s.events.clear();
    s.shown.clear();
    s.started = false;
}

bool HasVisibleDisplay() { return true; }

int DisplayCount() { return 1; }

NativeWindow* CreateNativeWindow(const char*, int, int, int, int, DWORD, const WindowPlacement&) {
    auto* w = new NativeWindow;
    w->id = W().nextId++;
    TraceStep("window created");
    return w;
}

void DestroyNativeWindow(NativeWindow* window) {
    auto& shown = W().shown;
    for (auto it = shown.begin(); it != shown.end(); ++it) {
        if (*it == window) {
            shown.erase(it);
            break;
        }
    }
    delete window;
}

void ShowNativeWindow(NativeWindow* window, bool show, const WindowPlacement&) {
    if (window->shown == show) return;
    window->shown = show;
    auto& shown = W().shown;
    if (show) {
        shown.push_back(window);
        TraceStep("window shown");
    } else {
        for (auto it = shown.begin(); it != shown.end(); ++it) {
            if (*it == window) {
                shown.erase(it);
                break;
            }
        }
    }
}

bool IsNativeWindowShown(NativeWindow* window) { return window->shown; }

uint32_t NativeWindowId(NativeWindow* window) { return window->id; }

void ShowCursor(bool show) {
    EM_ASM({
        var c = document.querySelector(UTF8ToString($0));
        if (c) c.style.cursor = $1 ? "" : "none";
    }, kCanvas, show ? 1 : 0);
}

void PollEvents(const std::function<void(const Event&)>& sink) {
    // Taken whole first: the sink may run code that queues more.
    std::deque<Event> events;
    events.swap(W().events);
    for (const Event& e : events) sink(e);
}

// The page's vtMessageBox(caption, text, type) shows it; without one, the
// caller writes it on stderr (the browser's console).
bool ShowMessageBox(UINT type, const char* caption, const char* text, NativeWindow*) {
    return EM_ASM_INT({
        if (typeof Module.vtMessageBox !== "function") return 0;
        Module.vtMessageBox(UTF8ToString($0), UTF8ToString($1), $2);
        return 1;
    }, caption, text, static_cast<int>(type)) != 0;
}

int64_t MonotonicNanoseconds() {
    static const double origin = emscripten_get_now();
    return static_cast<int64_t>((emscripten_get_now() - origin) * 1e6);
}

}  // namespace backend
}  // namespace vt::win32
