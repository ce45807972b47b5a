// Show clock and scene timeline.
#include "show/show_clock.h"

#include "gfx/texture_display.h"
#include "scenes/scenes.h"
#include "shell/d3d_setup.h"

float g_fShowTime = 0.0f;
float g_fStartTime = 0.0f;
BOOL g_bRestartClock = TRUE;
D3DCOLOR g_dwClearColor = 0xFF000000;

// Each start is the same float as the previous end, so the windows touch.
const SCENEWINDOW g_SceneWindows[NUM_SCENES] = {
    {5.0f, 90.3f, Scene1},     {90.3f, 111.6f, Scene2},   {111.6f, 132.95f, Scene3},
    {132.95f, 154.2f, Scene4}, {154.2f, 197.0f, Scene5},  {197.0f, 218.5f, Scene6},
    {218.5f, 239.7f, Scene7},  {239.7f, 260.8f, Scene8},  {260.8f, 282.4f, Scene9},
    {282.4f, SHOW_END, Scene10},
};

// Which clock GetAbsoluteTime reads, asked once per start of the show.
static bool s_bInitialised = false;
static bool s_bHasCounter = false;
static LONGLONG s_llFrequency = 0;

void ResetShowClock()
{
    g_fShowTime = 0.0f;
    g_fStartTime = 0.0f;
    g_bRestartClock = TRUE;
    g_dwClearColor = 0xFF000000;
    s_bInitialised = false;
}

double GetAbsoluteTime()
{
    if (!s_bInitialised) {
        LARGE_INTEGER freq;
        s_bHasCounter = QueryPerformanceFrequency(&freq) && freq.QuadPart > 0;
        s_llFrequency = s_bHasCounter ? freq.QuadPart : 0;
        s_bInitialised = true;
    }
    if (s_bHasCounter) {
        LARGE_INTEGER count;
        QueryPerformanceCounter(&count);
        return (double)count.QuadPart / (double)s_llFrequency;
    }
    return timeGetTime() * 0.001;
}

int SceneIndexAt(float t)
{
    for (int i = 0; i < NUM_SCENES; i++) {
        if (g_SceneWindows[i].fStart <= t && t < g_SceneWindows[i].fEnd)
            return i;
    }
    return -1;
}

HRESULT RenderFrame()
{
    if (g_bRestartClock) {
        g_fStartTime = (float)GetAbsoluteTime();
        g_bRestartClock = FALSE;
    }
    g_fShowTime = (float)(GetAbsoluteTime() - (double)g_fStartTime);

    HRESULT hr = g_pd3dDevice->BeginScene();
    if (FAILED(hr))
        return ReportError(hr, 0);

    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, g_dwClearColor, 1.0f, 0);

    // The windows touch without overlap, so at most one holds the clock.
    const int nScene = SceneIndexAt(g_fShowTime);
    if (nScene >= 0) {
        hr = g_SceneWindows[nScene].pfnScene(g_fShowTime);
        if (FAILED(hr))
            return hr;
    }

    if (g_fShowTime >= SHOW_END)
        return E_FAIL;

    // One untextured pixel in the top-left corner after every scene.
    ShowTexture(NULL, 0.0f, 0.0f, 1.0f, 1.0f, 255.0f, 1.0f, TRUE);

    g_pd3dDevice->EndScene();
    g_pd3dDevice->Present(NULL, NULL, NULL, NULL);
    return hr;
}
