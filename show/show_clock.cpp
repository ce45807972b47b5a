// Show clock and scene timeline.
#include "show/show_clock.h"

#include "gfx/texture_display.h"
#include "scenes/scenes.h"

float g_fStartTime = 0.0f;
BOOL g_bRestartClock = TRUE;

// Each start is the same float as the previous end, so the windows touch.
const SCENEWINDOW g_SceneWindows[NUM_SCENES] = {
    {SCENE1_START, SCENE2_START, Scene1},  {SCENE2_START, SCENE3_START, Scene2},
    {SCENE3_START, SCENE4_START, Scene3},  {SCENE4_START, SCENE5_START, Scene4},
    {SCENE5_START, SCENE6_START, Scene5},  {SCENE6_START, SCENE7_START, Scene6},
    {SCENE7_START, SCENE8_START, Scene7},  {SCENE8_START, SCENE9_START, Scene8},
    {SCENE9_START, SCENE10_START, Scene9}, {SCENE10_START, SHOW_END, Scene10},
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
