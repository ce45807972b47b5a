// Scene 9: the ride on the bead spiral's end, the greetings, the white fade.
#include "scenes/scene09.h"

#include "base/shared.h"
#include "base/timeline.h"
#include "effects/env_star.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"
#include "util/interpolate.h"


#define GREET_X 768.0f
#define GREET_SPACING 80.0f

BOOL g_bScene9Start = TRUE;

IDirect3DTexture8* g_apGreetLogos[GREET_LOGOS] = {};
int g_nGreetLogos = GREET_LOGOS;

static const char* const GREET_FILES[GREET_LOGOS] = {
    "data\\bitmaps\\scene09\\greet01.png", "data\\bitmaps\\scene09\\greet02.png",
    "data\\bitmaps\\scene09\\greet03.png", "data\\bitmaps\\scene09\\greet04.png",
    "data\\bitmaps\\scene09\\greet05.png", "data\\bitmaps\\scene09\\greet06.png",
    "data\\bitmaps\\scene09\\greet07.png", "data\\bitmaps\\scene09\\greet08.png",
    "data\\bitmaps\\scene09\\greet09.png", "data\\bitmaps\\scene09\\greet10.png",
    "data\\bitmaps\\scene09\\greet11.png", "data\\bitmaps\\scene09\\greet12.png",
    "data\\bitmaps\\scene09\\greet13.png", "data\\bitmaps\\scene09\\greet14.png",
};

HRESULT Scene9(float t)
{
    const float fTau = t - SCENE9_START;

    // Scene 8's set-up again, except that its cull mode simply stays.
    if (g_bScene9Start) {
        SetSceneCamera(D3DXVECTOR3(0.0f, 50.0f, -100.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        SetUnlitSceneState();
        g_dwClearColor = 0xFFFFFFFF;
        g_bScene9Start = FALSE;
    }

    SetImageStage(D3DTADDRESS_MIRROR);
    g_Star.UpdateCamera(fTau);
    g_Star.Render();
    DrawGreetings();
    DrawLetterbox();

    SetFade(0x00FFFFFF, 0xFFFFFFFF, 279.4f, g_fShowTime, SCENE10_START, 0.0f);
    DrawSceneFade();
    return S_OK;
}

HRESULT DrawGreetings()
{
    // The column enters at the bottom edge and leaves one screen height
    // above the top at the scene's end.
    const float y0 = Interpolate(g_fScreenHeight, -g_fScreenHeight, SCENE9_START, g_fShowTime, SCENE10_START);
    for (int i = 0; i < g_nGreetLogos; i++)
        ShowTexture(g_apGreetLogos[i], GREET_X, y0 + GREET_SPACING * i, 0.0f, 0.0f, 255.0f, 1.0f, TRUE);
    return 0;
}

HRESULT LoadGreetings()
{
    // Each logo is kept as it loads, so that after a failure the ones
    // already loaded are still released.
    for (int i = 0; i < GREET_LOGOS; i++) {
        HRESULT hr = LoadTextureOrReport(GREET_FILES[i], &g_apGreetLogos[i]);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

void ReleaseGreetings()
{
    for (int i = 0; i < GREET_LOGOS; i++)
        SAFE_RELEASE(g_apGreetLogos[i]);
}
