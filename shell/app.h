// Program entry, the show window and its message loop.
//
// WinMain = StartUp, the message loop, ShutDown. The capture tool runs the
// same StartUp and ShutDown around its own frame loop, so both programs load,
// render and release exactly alike.
#pragma once

#include "platform/win32/win32.h"

#define IDR_ACCELERATORS 113
#define IDM_EXIT 40006
#define IDM_TOGGLEFULLSCREEN 40002
#define IDM_ALTENTER 40003

// Window class name and window title.
extern const char g_szAppName[];

extern HWND g_hWnd;
extern HACCEL g_hAccel;

LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
HRESULT InitGlobals();
HRESULT Cleanup();

// Start-up up to the message loop: accelerators, COM, window class and
// window, globals, device, window shown, media loaded. A negative result
// means the show must go straight to ShutDown (whatever failed was reported).
HRESULT StartUp();
// Runs the message loop until WM_QUIT or a failed frame.
void RunMessageLoop();
// Release everything, in the fixed order, from any point of StartUp.
void ShutDown();
