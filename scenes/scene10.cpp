// Scene 10: a white flash fading out over the splash, the cross-fade to the
// end screen, and the fade to black that outlasts the show.
#include "scenes/scene10.h"

#include "base/shared.h"
#include "base/timeline.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"
#include "util/interpolate.h"

#define END_FADE_START 285.9f  // the end screen starts covering the splash
#define END_FADE_END 289.4f    // the splash is gone

BOOL g_bScene10Start = TRUE;

CFinale g_Finale;

CFinale::CFinale() : m_pSplashTexture(NULL), m_pEndTexture(NULL)
{
}

HRESULT CFinale::Create()
{
    HRESULT hr = LoadTextureOrReport("data\\bitmaps\\scene10\\finalsplash.jpg", &m_pSplashTexture);
    if (FAILED(hr))
        return hr;
    return LoadTextureOrReport("data\\bitmaps\\scene10\\endscreen.png", &m_pEndTexture);
}

HRESULT CFinale::Render()
{
    const float t = g_fShowTime;

    if (t < END_FADE_END)
        ShowTexture(m_pSplashTexture, 0.0f, 0.0f, g_fScreenWidth, g_fScreenHeight, 255.0f, 1.0f, TRUE);
    if (t >= END_FADE_START) {
        const float fAlpha = Interpolate(0.0f, 255.0f, END_FADE_START, t, END_FADE_END);
        ShowTexture(m_pEndTexture, 0.0f, 0.0f, g_fScreenWidth, g_fScreenHeight, fAlpha, 1.0f, TRUE);
    }

    SetFade(0xFFFFFFFF, 0x00FFFFFF, SCENE10_START, t, 283.5f, 0.0f);
    // Held past the end of the show: the last frames are black.
    SetFade(0x00000000, 0xFF000000, 295.0f, t, 296.9f, 2.0f);
    DrawSceneFade();
    return 0;
}

HRESULT CFinale::Release()
{
    SAFE_RELEASE(m_pSplashTexture);
    SAFE_RELEASE(m_pEndTexture);
    return 0;
}

HRESULT Scene10(float)
{
    if (g_bScene10Start) {
        SetSceneCamera(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 1.0f));
        SetCullMode(D3DCULL_CCW);
        SetUnlitSceneState();
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        g_dwClearColor = 0xFF000000;
        g_bScene10Start = FALSE;
    }

    // Wrap first, then the same again with mirroring, which is what draws.
    SetImageStage(D3DTADDRESS_WRAP);
    SetImageStage(D3DTADDRESS_MIRROR);
    g_Finale.Render();
    return 0;
}

HRESULT LoadScene10()
{
    return g_Finale.Create();
}

void ReleaseScene10()
{
    g_Finale.Release();
}
