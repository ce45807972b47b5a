// Scene 1: night water with fireflies and drifting captions, the camera
// rising after the fireflies, black, a white flash, then the title card.
#include "base/shared.h"
#include "base/timeline.h"
#include "effects/fireflies.h"
#include "effects/title_splash.h"
#include "effects/water.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "platform/fmod/fmod.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"
#include "util/camera.h"
#include "util/interpolate.h"

// Scene time at which the water gives way to the title card.
#define SCENE1_TITLE 65.0f
#define SCENE1_CAPTIONS 9

BOOL g_bScene1Start = TRUE;
BOOL g_bWaterVisible = TRUE;
IDirect3DTexture8* g_pCaptionTextures[SCENE1_CAPTIONS] = {NULL};

static WaterRipple s_Ripples[3];

// Each caption drifts from (x0, y0) to (x1, y1) over [tStart, tEnd),
// fading in to 180 over its first second and out over its last.
struct CAPTION {
    float tStart, tEnd;
    float x0, x1, y0, y1;
    float width, height;
};
static const CAPTION s_Captions[SCENE1_CAPTIONS] = {
    {0.0f, 6.0f, 30.0f, 100.0f, 140.0f, 170.0f, 800.0f, 100.0f},
    {3.3f, 9.3f, 120.0f, 20.0f, 190.0f, 250.0f, 800.0f, 100.0f},
    {8.5f, 14.0f, 100.0f, 180.0f, 150.0f, 190.0f, 800.0f, 100.0f},
    {10.0f, 16.0f, 150.0f, 80.0f, 195.0f, 250.0f, 800.0f, 100.0f},
    {15.2f, 20.0f, 200.0f, 250.0f, 150.0f, 190.0f, 800.0f, 100.0f},
    {42.7f, 52.0f, 150.0f, 220.0f, 150.0f, 190.0f, 400.0f, 50.0f},
    {44.7f, 52.5f, 100.0f, 250.0f, 220.0f, 270.0f, 400.0f, 50.0f},
    {53.2f, 60.0f, 400.0f, 450.0f, 170.0f, 210.0f, 400.0f, 50.0f},
    {55.0f, 60.5f, 380.0f, 500.0f, 240.0f, 280.0f, 400.0f, 50.0f},
};

// Position and alpha of caption k at scene time s; FALSE outside its window.
BOOL GetCaption(int k, float s, float* pX, float* pY, float* pAlpha)
{
    const CAPTION& c = s_Captions[k];
    if (s < c.tStart || s >= c.tEnd)
        return FALSE;
    *pX = Interpolate(c.x0, c.x1, c.tStart, s, c.tEnd);
    *pY = Interpolate(c.y0, c.y1, c.tStart, s, c.tEnd);
    if (s < c.tStart + 1.0f)
        *pAlpha = Interpolate(0.0f, 180.0f, c.tStart, s, c.tStart + 1.0f);
    else
        *pAlpha = Interpolate(180.0f, 0.0f, c.tEnd - 1.0f, s, c.tEnd);
    return TRUE;
}

HRESULT LoadScene1()
{
    HRESULT hr = CreateWaterMesh();
    if (FAILED(hr))
        return hr;

    struct IMAGE {
        const char* szFile;
        IDirect3DTexture8** ppTexture;
    };
    const IMAGE images[] = {
        {"data\\bitmaps\\scene01\\iamfeeling.png", &g_pCaptionTextures[0]},
        {"data\\bitmaps\\scene01\\inaviolated.png", &g_pCaptionTextures[1]},
        {"data\\bitmaps\\scene01\\icannolonger.png", &g_pCaptionTextures[2]},
        {"data\\bitmaps\\scene01\\thethings.png", &g_pCaptionTextures[3]},
        {"data\\bitmaps\\scene01\\ihavevantorel.png", &g_pCaptionTextures[4]},
        {"data\\bitmaps\\scene01\\mirk.png", &g_pCaptionTextures[5]},
        {"data\\bitmaps\\scene01\\presents.png", &g_pCaptionTextures[6]},
        {"data\\bitmaps\\scene01\\ourfirst.png", &g_pCaptionTextures[7]},
        {"data\\bitmaps\\scene01\\demoever.png", &g_pCaptionTextures[8]},
        {"data\\bitmaps\\scene01\\logo.png", &g_pLogoTexture},
        {"data\\bitmaps\\scene01\\splash.jpg", &g_pSplashTexture},
        {"data\\bitmaps\\scene01\\shadow.png", &g_pShadowTexture},
        {"data\\bitmaps\\scene01\\bluewater.jpg", &g_pBlueWaterTexture},
    };
    for (const IMAGE& image : images) {
        if (FAILED(hr = LoadTextureOrReport(image.szFile, image.ppTexture)))
            return hr;
    }

    if (FAILED(hr = g_Fireflies.Create()))
        return ReportError(hr, 0);
    return CreateWaterCubeMap();
}

void ReleaseScene1()
{
    for (IDirect3DTexture8*& pTexture : g_pCaptionTextures)
        SAFE_RELEASE(pTexture);
    SAFE_RELEASE(g_pLogoTexture);
    SAFE_RELEASE(g_pSplashTexture);
    SAFE_RELEASE(g_pShadowTexture);
    ReleaseWater();
}

// The ripples, light 0, camera and transforms, blending, and the music.
static void StartScene1()
{
    SetRipple(&s_Ripples[0], -100.0f, -100.0f, 300.0f, 100.0f, 0.05f, -100.0f, 1000.0f);
    SetRipple(&s_Ripples[1], 10.0f, 10.0f, 50.0f, 75.0f, 0.3f, 42.7f, 52.7f);
    SetRipple(&s_Ripples[2], -5.0f, -5.0f, 50.0f, 75.0f, 0.25f, 53.2f, 63.2f);

    D3DLIGHT8 light;
    GetWaterLight(&light);
    g_pd3dDevice->SetLight(0, &light);
    g_pd3dDevice->LightEnable(0, TRUE);

    g_Camera.SetView(D3DXVECTOR3(0.0f, 5.0f, -50.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    g_Camera.SetProjection(0.7853982f, g_fAspect, 1.0f, 200.0f);
    D3DXMATRIX mat;
    g_pd3dDevice->SetTransform(D3DTS_WORLD, &g_matIdentity);
    g_pd3dDevice->SetTransform(D3DTS_VIEW, g_Camera.GetViewMatrix(&mat));
    g_pd3dDevice->SetTransform(D3DTS_PROJECTION, g_Camera.GetProjMatrix(&mat));

    g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0);
    g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    g_pd3dDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    FSOUND_PlaySound(FSOUND_FREE, g_pMusic);
}

// The camera lifts and tips its gaze up after the fireflies.
static void RaiseCamera(float s)
{
    const float c = Interpolate(0.0f, 1.0f, 61.0f, s, 63.0f);
    D3DXVECTOR3 vUp;
    g_Camera.SetView(D3DXVECTOR3(0.0f, 5.0f + 80.0f * c, -50.0f + 35.0f * c), D3DXVECTOR3(0.0f, 90.0f * c, 0.0f),
                     *g_Camera.GetUp(&vUp));
    D3DXMATRIX matView;
    g_pd3dDevice->SetTransform(D3DTS_VIEW, g_Camera.GetViewMatrix(&matView));
}

HRESULT Scene1(float t)
{
    const float s = t - SCENE1_START;
    HRESULT hr;

    if (g_bScene1Start) {
        StartScene1();
        g_bScene1Start = FALSE;
    }

    // Every frame, also under the title card: the ripples add to a flat grid.
    if (FAILED(hr = ResetWater()))
        return hr;

    if (s < SCENE1_TITLE) {
        for (WaterRipple& ripple : s_Ripples) {
            if (FAILED(hr = DisturbWater(g_pWaterVB, g_pWaterIB, FVF_WATERVERTEX, &ripple, s)))
                return hr;
        }
        if (61.0f <= s && s < 63.0f)
            RaiseCamera(s);

        SetFade(0xFF000000, 0xFF000000, 0.0f, s, 10.7f, 0.0f);
        SetFade(0xFF000000, 0x00000000, 10.7f, s, 21.0f, 0.0f);
        SetFade(0x00000000, 0xFF000000, 62.75f, s, 63.75f, 0.0f);
        SetFade(0x00FFFFFF, 0xFFFFFFFF, 63.75f, s, 64.0f, 1.0f);

        if (g_bWaterVisible) {
            if (FAILED(hr = RenderWater()))
                return hr;
            DrawFireflies(s);
        }
    }
    if (s >= SCENE1_TITLE) {
        ShowSplash(s);
        SetFade(0xFFFFFFFF, 0x00FFFFFF, 65.0f, s, 66.5f, 0.0f);
        g_bWaterVisible = FALSE;
    }

    // Under the captions, so they stay readable over black and white.
    DrawSceneFade();

    for (int k = 0; k < SCENE1_CAPTIONS; k++) {
        float x, y, alpha;
        if (GetCaption(k, s, &x, &y, &alpha))
            ShowTexture(g_pCaptionTextures[k], x, y, s_Captions[k].width, s_Captions[k].height, alpha, 1.0f, TRUE);
    }
    return S_OK;
}
