// Host-side controls of the Win32 layer: for main(), the capture tool and
// tests, never for the show's own code.
//
//   vt::win32::SetHeadless(true);        // hidden window, message boxes on stderr
//   vt::win32::SetManualClock(true);     // QueryPerformanceCounter follows...
//   vt::win32::SetClockSeconds(k / 60.0); // ...this value
//   vt::win32::SetRegistryString(HKEY_LOCAL_MACHINE, "Software\\X", "Name", "value");
#pragma once

#include <functional>
#include <string>

#include "platform/win32/win32.h"

struct SDL_Window;

namespace vt::win32 {

// Headless: windows are created hidden and message boxes never block (they
// go to stderr). Without a display this is the behaviour anyway.
void SetHeadless(bool headless);
bool IsHeadless();
// True when a real display (X11 or Wayland) is open or could be opened.
bool HasDisplay();

// Where windows go, for windows created and shown afterwards. They open on
// display `display` (0 is the first). A full-screen window fills its display
// with or without a window manager. With keepWindowed, a device's request for
// full screen is set aside when the window is shown: it stays a resizable
// window, centred on its display (the device letterboxes into whatever size
// it has).
struct WindowPlacement {
    int display = 0;
    bool keepWindowed = false;
};
void SetWindowPlacement(const WindowPlacement& placement);
// Displays the video driver offers (starting it if need be); 0 without video.
int DisplayCount();

// Message boxes: a hook sees every box (text, caption, type) before it is
// shown; returning true suppresses the box.
using MessageBoxHook = std::function<bool(const char* text, const char* caption, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);

// Clock: with the manual clock on, QueryPerformanceCounter reports the
// value last set with SetClockSeconds (frequency 1 GHz) and timeGetTime its
// milliseconds. SetPerformanceCounterAvailable(false) makes
// QueryPerformanceFrequency fail, as on a machine without the counter.
void SetManualClock(bool manual);
void SetClockSeconds(double seconds);
double ClockSeconds();  // the layer's clock in seconds, manual or real
void SetPerformanceCounterAvailable(bool available);

// Registry contents (string values only).
void SetRegistryString(HKEY root, const std::string& subKey, const std::string& name,
                       const std::string& value);
void ClearRegistry();

// The SDL window behind a window handle (null for unknown handles); the
// device layer creates its GL context on it.
SDL_Window* GetSdlWindow(HWND hWnd);

// Destroys every window (without calling its procedure), empties the message
// queue, forgets the window classes and closes SDL's video subsystem if this
// layer opened it. For main() after WinMain and for tests between cases.
void Shutdown();

// Counters for tests.
int CoInitializeDepth();
int RegisteredClassCount();

}  // namespace vt::win32
