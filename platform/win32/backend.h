// What the Win32 layer needs from the system it runs on: the same short list
// in each backend (backend_sdl.cpp on the desktop, backend_web.cpp in the
// browser), so that window bookkeeping, the message queue, accelerators and
// the clock are one code for both.
//
// Everything here runs on the program's one thread.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/win32/host.h"
#include "platform/win32/win32.h"

namespace vt::win32::backend {

// A window of the system, owned by the layer's window table.
struct NativeWindow;

// Video: started once on first need; false when there is none.
bool StartVideo();
void StopVideo();
// True when what is drawn can be seen (a real display, a page).
bool HasVisibleDisplay();
int DisplayCount();

// A hidden window able to take a GL context; null (and said on stderr) when
// the system refuses.
NativeWindow* CreateNativeWindow(const char* title, int x, int y, int width, int height, DWORD style,
                                 const WindowPlacement& placement);
void DestroyNativeWindow(NativeWindow* window);
// Shows (raised, placed as asked) or hides a window.
void ShowNativeWindow(NativeWindow* window, bool show, const WindowPlacement& placement);
bool IsNativeWindowShown(NativeWindow* window);
uint32_t NativeWindowId(NativeWindow* window);
void ShowCursor(bool show);

// Input, in the layer's terms: virtual keys with Windows' extended flag,
// modifiers as accelerator flags (FALT | FCONTROL | FSHIFT).
struct Event {
    enum class Kind { Key, Close, Resize, MouseMove, LeftButton, QuitAll } kind = Kind::Key;
    uint32_t windowId = 0;  // 0: the newest window
    WPARAM virtualKey = 0;
    bool extended = false;
    bool up = false;      // key or button released
    bool repeat = false;  // a held key repeating
    uint8_t modifiers = 0;
    int x = 0, y = 0;  // pointer position, or the new client size
};
// Hands every event waiting since the last call to `sink`, in order.
void PollEvents(const std::function<void(const Event&)>& sink);

// A modal message box the user answers; false when none can be shown here
// (the caller then writes the message on stderr).
bool ShowMessageBox(UINT type, const char* caption, const char* text, NativeWindow* owner);

// Monotonic nanoseconds since the first call.
int64_t MonotonicNanoseconds();

}  // namespace vt::win32::backend
