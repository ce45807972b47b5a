// Scene 6: the forest panorama, all in screen space.
#include "scenes/scene06.h"

#include "base/shared.h"
#include "base/timeline.h"
#include "effects/title_splash.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"
#include "util/interpolate.h"

// Scene 5's symbol strips, loaded by its loader.
extern IDirect3DTexture8* g_pSymbol1;
extern IDirect3DTexture8* g_pSymbol2;
extern IDirect3DTexture8* g_pSymbol3;
extern IDirect3DTexture8* g_pSymbol4;

#define SCENE6_LENGTH 21.5f

BOOL g_bScene6Start = TRUE;
IDirect3DTexture8* g_pForestTexture = NULL;

// Panorama in 1024 x 768 reference pixels.
#define FOREST_WIDTH 2223.0f
#define FOREST_HEIGHT 428.0f
#define FOREST_Y 170.0f

#define STRIP_HEIGHT 64.0f
#define SHADOW_HEIGHT 225.0f

// A horizontally scrolling band: y measured from the top (or, with
// bFromBottom, subtracted from the screen height), u offset = speed x show time.
struct SCROLLBAND {
    IDirect3DTexture8** ppTexture;
    float y;
    BOOL bFromBottom;
    float fSpeed;
};

static const SCROLLBAND SYMBOL_STRIPS[] = {
    {&g_pSymbol1, 10.0f, FALSE, -0.1f},
    {&g_pSymbol2, 40.0f, FALSE, 0.3f},
    {&g_pSymbol4, 20.0f, FALSE, -0.2f},
    {&g_pSymbol3, 100.0f, TRUE, -0.2f},
    {&g_pSymbol4, 80.0f, TRUE, -0.1f},
};

static const SCROLLBAND SHADOW_BANDS[] = {
    {&g_pShadowTexture, 0.0f, FALSE, -0.1f},
    {&g_pShadowTexture, SHADOW_HEIGHT, TRUE, -0.2f},
};

static void DrawBands(const SCROLLBAND* pBands, int nBands, D3DCOLOR dwColor, float fHeight, float fUScale,
                      float fVisible)
{
    const D3DCOLOR colors[4] = {dwColor, dwColor, dwColor, dwColor};
    for (int i = 0; i < nBands; i++) {
        const SCROLLBAND& band = pBands[i];
        const float y = band.bFromBottom ? g_fScreenHeight - band.y : band.y;
        ShowTextureEx(*band.ppTexture, colors, 0.0f, y, g_fScreenWidth, fHeight, fUScale, 1.0f,
                      band.fSpeed * g_fShowTime, 0.0f, fVisible);
    }
}

HRESULT DrawForest(float fTau)
{
    // The panorama slides with the scene's time, its right edge reaching the
    // screen's at the scene's end; the bands scroll with the show clock.
    const float x = Interpolate(0.0f, 1024.0f - FOREST_WIDTH, 0.0f, fTau, SCENE6_LENGTH);
    ShowTexture(g_pForestTexture, x * g_fScaleX, FOREST_Y * g_fScaleY, FOREST_WIDTH * g_fScaleX,
                FOREST_HEIGHT * g_fScaleY, 255.0f, 1.0f, TRUE);

    DrawBands(SYMBOL_STRIPS, sizeof(SYMBOL_STRIPS) / sizeof(SYMBOL_STRIPS[0]), 0x40FFFFFF, STRIP_HEIGHT, 3.0f,
              255.0f);
    DrawBands(SHADOW_BANDS, sizeof(SHADOW_BANDS) / sizeof(SHADOW_BANDS[0]), 0xFFFFFFFF, SHADOW_HEIGHT, 2.0f,
              200.0f);
    return 0;
}

HRESULT Scene6(float t)
{
    const float fTau = t - SCENE6_START;

    if (g_bScene6Start) {
        SetSceneCamera(D3DXVECTOR3(0.0f, 50.0f, -50.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        g_pd3dDevice->LightEnable(7, TRUE);
        g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
        g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
        SetCullMode(D3DCULL_CCW);
        g_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
        g_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        g_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        g_pd3dDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        g_pd3dDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
        g_bScene6Start = FALSE;
    }

    g_pd3dDevice->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);

    DrawForest(fTau);

    // Up from black over two seconds; a quick rise to white hands over to scene 7.
    SetFade(0xFF000000, 0x00000000, 0.0f, fTau, 2.0f, 0.0f);
    SetFade(0x00FFFFFF, 0xFFFFFFFF, 218.4f, g_fShowTime, SCENE7_START, 0.0f);
    DrawSceneFade();
    return S_OK;
}
