// Scene 7: the credits slide show with its white flashes.
#include "base/shared.h"
#include "base/timeline.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"

BOOL g_bScene7Start = TRUE;
IDirect3DTexture8* g_pCredit1Texture = NULL;
IDirect3DTexture8* g_pCredit2Texture = NULL;
IDirect3DTexture8* g_pCredit3Texture = NULL;
IDirect3DTexture8* g_pHelloTexture = NULL;

// The script runs five seconds behind the show clock. A picture is drawn
// while fFrom <= u < fTo; the bounds are floats as stored, u is not rounded.
// Credit 3 and hello overlap for 0.2 s and hello, drawn later, wins.
struct CREDITPICTURE {
    IDirect3DTexture8** ppTexture;
    float fFrom;
    float fTo;
};

#define SCRIPT_OFFSET 5.0
#define SCRIPT_NEVER 1.0e30f

static const CREDITPICTURE CREDIT_PICTURES[] = {
    {&g_pCredit1Texture, -SCRIPT_NEVER, 218.8f},
    {&g_pCredit2Texture, 218.8f, 224.0f},
    {&g_pCredit3Texture, 224.0f, 229.5f},
    {&g_pHelloTexture, 229.3f, SCRIPT_NEVER},
};

// A white overlay up to opaque and back, 0.1 s each way, at the start of
// the scene and at the first two picture changes.
struct CREDITFLASH {
    D3DCOLOR dwFrom;
    D3DCOLOR dwTo;
    float fStart;
    float fEnd;
    BOOL bScriptTime;  // bounds in script time, else in show time
};

static const CREDITFLASH CREDIT_FLASHES[] = {
    {0x00FFFFFF, 0xFFFFFFFF, SCENE7_START, 218.6f, FALSE},
    {0xFFFFFFFF, 0x00FFFFFF, 218.6f, 218.7f, FALSE},
    {0x00FFFFFF, 0xFFFFFFFF, 218.8f, 218.9f, TRUE},
    {0xFFFFFFFF, 0x00FFFFFF, 218.9f, 219.0f, TRUE},
    {0x00FFFFFF, 0xFFFFFFFF, 224.0f, 224.1f, TRUE},
    {0xFFFFFFFF, 0x00FFFFFF, 224.1f, 224.2f, TRUE},
};

HRESULT Scene7(float t)
{
    const double u = t - SCRIPT_OFFSET;

    if (g_bScene7Start) {
        SetSceneCamera(D3DXVECTOR3(0.0f, 50.0f, -50.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        SetUnlitSceneState();
        g_bScene7Start = FALSE;
    }

    SetImageStage(D3DTADDRESS_WRAP);

    for (const CREDITPICTURE& picture : CREDIT_PICTURES) {
        if (picture.fFrom <= u && u < picture.fTo)
            ShowTexture(*picture.ppTexture, 0.0f, 0.0f, g_fScreenWidth, g_fScreenHeight, 255.0f, 1.0f, TRUE);
    }

    for (const CREDITFLASH& flash : CREDIT_FLASHES)
        SetFade(flash.dwFrom, flash.dwTo, flash.fStart, flash.bScriptTime ? (float)u : t, flash.fEnd, 0.0f);
    DrawSceneFade();
    return 0;
}
