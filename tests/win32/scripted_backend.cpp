// The scripted backend (see scripted_backend.h).
#include "tests/win32/scripted_backend.h"

#include <deque>

#include "platform/win32/internal.h"

namespace vt::win32::backend {

struct NativeWindow {
    uint32_t id = 0;
    bool shown = false;
};

}  // namespace vt::win32::backend

namespace vt::test::backend {
namespace {

namespace b = vt::win32::backend;

struct Script {
    std::deque<b::Event> events;
    Record record;
    uint32_t nextId = 100;
    bool boxesShown = true;
    int64_t clock = 0;
};

Script& S() {
    static Script script;
    return script;
}

}  // namespace

void Reset() { S() = Script{}; }
void Push(const b::Event& e) { S().events.push_back(e); }
Record& Recorded() { return S().record; }
void SetBoxesShown(bool shown) { S().boxesShown = shown; }
void SetClockNanoseconds(int64_t ns) { S().clock = ns; }

uint32_t IdOf(HWND hWnd) {
    b::NativeWindow* w = vt::win32::detail::NativeOf(hWnd);
    return w ? w->id : 0;
}

bool IsShown(HWND hWnd) {
    b::NativeWindow* w = vt::win32::detail::NativeOf(hWnd);
    return w && w->shown;
}

}  // namespace vt::test::backend

namespace vt::win32::backend {

using vt::test::backend::S;

bool StartVideo() {
    S().record.videoStarts++;
    return true;
}
void StopVideo() { S().record.videoStops++; }
bool HasVisibleDisplay() { return true; }
int DisplayCount() { return 1; }

NativeWindow* CreateNativeWindow(const char*, int, int, int, int, DWORD, const WindowPlacement&) {
    S().record.created++;
    return new NativeWindow{S().nextId++, false};
}

void DestroyNativeWindow(NativeWindow* window) {
    S().record.destroyed++;
    delete window;
}

void ShowNativeWindow(NativeWindow* window, bool show, const WindowPlacement&) { window->shown = show; }
bool IsNativeWindowShown(NativeWindow* window) { return window->shown; }
uint32_t NativeWindowId(NativeWindow* window) { return window->id; }
void ShowCursor(bool show) { S().record.cursorShown = show; }

void PollEvents(const std::function<void(const Event&)>& sink) {
    while (!S().events.empty()) {
        const Event e = S().events.front();
        S().events.pop_front();
        sink(e);
    }
}

bool ShowMessageBox(UINT type, const char* caption, const char* text, NativeWindow* owner) {
    if (!S().boxesShown) return false;
    S().record.boxes.push_back({type, caption, text, owner != nullptr});
    return true;
}

int64_t MonotonicNanoseconds() { return S().clock; }

}  // namespace vt::win32::backend
