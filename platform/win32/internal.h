// Shared state of the Win32 layer's own sources (not for other layers).
//
// windows.cpp owns window classes and windows; messages.cpp owns the queue
// and reaches windows only through the functions below. Everything here runs
// on the program's one thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32/win32.h"

struct SDL_Window;

namespace vt::win32::backend {
struct NativeWindow;
}

namespace vt::win32::detail {

// Starts SDL's video subsystem once; false when no video driver works.
bool EnsureVideo();
// True once EnsureVideo has succeeded (and until Shutdown).
bool VideoReady();

// Window procedure of a live window, or null when the handle is not a live
// window (the desktop has none).
WNDPROC ProcOf(HWND hWnd);
// Live window behind a native window id, or null.
HWND WindowFromNativeId(uint32_t windowId);
// The native window behind a live window, or null.
backend::NativeWindow* NativeOf(HWND hWnd);
// Most recently created live window, or null.
HWND NewestWindow();
// Every live window, in creation order, into `out` (at most `max`).
int LiveWindows(HWND* out, int max);

// Removes every queued message addressed to `hWnd` (the window is going).
void PurgeMessagesFor(HWND hWnd);
// Empties the queue and forgets a pending quit.
void ResetQueue();
// Destroys every window without calling procedures; forgets the classes.
void ResetWindows();

// On X11: requests that fail only because a window is already gone (the
// window manager's frame, as the show closes) no longer end the program.
// Called once video is up.
void TolerateVanishedX11Windows();
// Once a full-screen window is shown on X11, it covers its display before
// anything is drawn: without a window manager we move and size it ourselves
// (nobody else will); with one we wait, within a second, for the manager to.
// Elsewhere nothing happens.
void SettleFullScreen(SDL_Window* window);

// Held modifiers as accelerator flags (FALT | FCONTROL | FSHIFT).
using Modifiers = uint8_t;

}  // namespace vt::win32::detail
