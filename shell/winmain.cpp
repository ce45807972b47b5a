// Entry, window procedure, start-up and shutdown.
#include "shell/app.h"

#include "base/shared.h"
#include "platform/fmod/fmod.h"
#include "shell/d3d_setup.h"
#include "shell/resources.h"
#include "show/media.h"
#include "show/show_clock.h"

const char g_szAppName[] = "Vantorel - QR27";

HWND g_hWnd = NULL;
HACCEL g_hAccel = NULL;

LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        // Esc closes the window first; every command ends the show.
        if (LOWORD(wParam) == IDM_EXIT)
            SendMessageA(g_hWnd, WM_CLOSE, 0, 0);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hWnd, msg, wParam, lParam);
    }
}

HRESULT StartUp()
{
    RegisterResources();
    g_hAccel = LoadAcceleratorsA(NULL, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    CoInitialize(NULL);

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = g_szAppName;
    RegisterClassExA(&wc);

    g_hWnd = CreateWindowExA(0, g_szAppName, g_szAppName, WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768,
                             GetDesktopWindow(), NULL, wc.hInstance, NULL);

    InitGlobals();

    if (FAILED(InitD3D(g_hWnd)))
        return E_FAIL;

    ShowWindow(g_hWnd, SW_SHOWDEFAULT);
    UpdateWindow(g_hWnd);

    HRESULT hr = LoadMedia();
    if (FAILED(hr))
        return hr;
    return S_OK;
}

void RunMessageLoop()
{
    MSG msg = {};
    while (msg.message != WM_QUIT) {
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (TranslateAcceleratorA(g_hWnd, g_hAccel, &msg) == 0) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else if (FAILED(RenderFrame())) {
            break;
        }
    }
}

void ShutDown()
{
    ReleaseMedia();
    Cleanup();
    CoUninitialize();
    UnregisterClassA(g_szAppName, GetModuleHandleA(NULL));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (SUCCEEDED(StartUp()))
        RunMessageLoop();
    ShutDown();
    return 0;
}

HRESULT Cleanup()
{
    SAFE_RELEASE(g_pd3dDevice);
    SAFE_RELEASE(g_pD3D);
    FSOUND_Close();
    return 0;
}
