// Scene 8: the environment-mapped star tumbling between letterbox bars on
// white.
#include "base/shared.h"
#include "base/timeline.h"
#include "effects/env_star.h"
#include "gfx/texture_display.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"


BOOL g_bScene8Start = TRUE;

HRESULT Scene8(float t)
{
    const float fTau = t - SCENE8_START;

    if (g_bScene8Start) {
        SetSceneCamera(D3DXVECTOR3(0.0f, 50.0f, -100.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        // Scene 9 keeps this cull mode.
        SetCullMode(D3DCULL_CCW);
        SetUnlitSceneState();
        g_dwClearColor = 0xFFFFFFFF;
        g_bScene8Start = FALSE;
    }

    // Star and beads show the environment image alone, unlit.
    SetImageStage(D3DTADDRESS_MIRROR);
    g_Star.UpdateCamera(fTau);
    g_Star.Render();
    DrawLetterbox();
    return S_OK;
}

HRESULT LoadScene8()
{
    return g_Star.Create();
}

void ReleaseScene8()
{
    g_Star.Release();
}
