// The title card: layout authored for 1024 x 768 and scaled to the screen.
#include "effects/title_splash.h"

#include <cstring>

#include "base/shared.h"
#include "base/timeline.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "util/interpolate.h"

IDirect3DTexture8* g_pSplashTexture = NULL;
IDirect3DTexture8* g_pShadowTexture = NULL;
IDirect3DTexture8* g_pLogoTexture = NULL;

// The title band's aspect ratio, 1024 / 318 as a float: the crops keep it.
static const float TITLE_ASPECT = 3.220125675201416f;

struct LINEVERTEX {
    float x, y, z, rhw;
    D3DCOLOR color;
};
#define FVF_LINEVERTEX (D3DFVF_XYZRHW | D3DFVF_DIFFUSE)

HRESULT DrawLine(float x1, float y1, float x2, float y2, D3DCOLOR color, float alpha)
{
    const D3DCOLOR c = (color & 0x00FFFFFF) + ((DWORD)(int)alpha << 24);
    const LINEVERTEX line[2] = {{x1, y1, 0.0f, 1.0f, c}, {x2, y2, 0.0f, 1.0f, c}};

    IDirect3DDevice8* pDev = g_pd3dDevice;
    IDirect3DVertexBuffer8* pVB = NULL;
    HRESULT hr = pDev->CreateVertexBuffer(sizeof(line), 0, FVF_LINEVERTEX, D3DPOOL_MANAGED, &pVB);
    if (FAILED(hr))
        return hr;
    BYTE* pData = NULL;
    if (SUCCEEDED(hr = pVB->Lock(0, 0, &pData, 0))) {
        memcpy(pData, line, sizeof(line));
        pVB->Unlock();
        hr = pDev->SetVertexShader(FVF_LINEVERTEX);
    }
    if (SUCCEEDED(hr))
        hr = pDev->SetStreamSource(0, pVB, sizeof(LINEVERTEX));
    if (SUCCEEDED(hr))
        hr = pDev->SetRenderState(D3DRS_LIGHTING, FALSE);
    if (SUCCEEDED(hr)) {
        D3DMATERIAL8 mtrl;
        GetDefaultMaterial(&mtrl);
        hr = pDev->SetMaterial(&mtrl);
    }
    if (SUCCEEDED(hr))
        hr = pDev->DrawPrimitive(D3DPT_LINELIST, 0, 1);
    if (SUCCEEDED(hr))
        hr = pDev->SetRenderState(D3DRS_LIGHTING, TRUE);
    // Released on every path: a failure must not leak a buffer per frame.
    pVB->Release();
    return hr;
}

// A crop of the title image drifting over the whole card, and where it goes.
struct SPLASHCROP {
    float x0, x1, y0, y1;  // texel origin, from 65 s to 90 s
    float size;            // texel height; the width keeps the band's aspect
    float dstX, dstY, dstW, dstH;  // 1024 x 768 layout
    D3DCOLOR colors[4];
};
static const SPLASHCROP s_Crops[3] = {
    {250.0f, 450.0f, 100.0f, 150.0f, 100.0f, 0.0f, 0.0f, 1024.0f, 224.0f,
     {0x8FFFFFFF, 0x8FFFFFFF, 0x10FFFFFF, 0x10FFFFFF}},
    {620.0f, 580.0f, 25.0f, 150.0f, 50.0f, 0.0f, 544.0f, 390.0f, 224.0f,
     {0x10FFFFFF, 0x10FFFFFF, 0x20FFFFFF, 0x8FFFFFFF}},
    {425.0f, 725.0f, 50.0f, 30.0f, 63.0f, 390.0f, 544.0f, 634.0f, 224.0f,
     {0x10FFFFFF, 0x10FFFFFF, 0x8FFFFFFF, 0x20FFFFFF}},
};

// Two lines sweeping across the screen and fading out over [tStart, tEnd).
struct SWEEPLINES {
    float tStart, tEnd;
    BOOL bVertical;  // vertical lines move along x, horizontal ones along y
    float from1, to1, from2, to2;
};

int GetSweepLines(float s, SPLASHLINE lines[SPLASH_MAX_LINES])
{
    const float W = g_fScreenWidth, H = g_fScreenHeight;
    const SWEEPLINES sweeps[5] = {
        {65.0f, 70.0f, TRUE, -100.0f, 850.0f, 0.0f, 750.0f},
        {65.5f, 71.5f, FALSE, 0.0f, H, 0.0f, H + 50.0f},
        {73.0f, 78.0f, TRUE, 700.0f, 0.0f, 850.0f, -200.0f},
        {73.5f, 79.5f, FALSE, H, 0.0f, H + 50.0f, 0.0f},
        {81.0f, 85.0f, FALSE, -100.0f, 512.0f, 0.0f, 400.0f},
    };
    int n = 0;
    for (const SWEEPLINES& g : sweeps) {
        // Windows overlap at most two at a time.
        if (s < g.tStart || s >= g.tEnd || n + 2 > SPLASH_MAX_LINES)
            continue;
        const float alpha = Interpolate(255.0f, 0.0f, g.tStart, s, g.tEnd);
        const float p[2] = {Interpolate(g.from1, g.to1, g.tStart, s, g.tEnd),
                            Interpolate(g.from2, g.to2, g.tStart, s, g.tEnd)};
        for (float q : p) {
            SPLASHLINE& l = lines[n++];
            if (g.bVertical) {
                l.x1 = l.x2 = q;
                l.y1 = 0.0f;
                l.y2 = H;
            } else {
                l.x1 = 0.0f;
                l.x2 = W;
                l.y1 = l.y2 = q;
            }
            l.alpha = alpha;
        }
    }
    return n;
}

int ShowSplash(float s)
{
    const float W = g_fScreenWidth, H = g_fScreenHeight;
    const float sx = g_fScaleX, sy = g_fScaleY;
    static const D3DCOLOR s_Opaque[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};

    float cropX[3], cropY[3];
    for (int i = 0; i < 3; i++) {
        cropX[i] = Interpolate(s_Crops[i].x0, s_Crops[i].x1, 65.0f, s, 90.0f);
        cropY[i] = Interpolate(s_Crops[i].y0, s_Crops[i].y1, 65.0f, s, 90.0f);
    }

    g_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    g_pd3dDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    ShowTexture(g_pSplashTexture, 0.0f, 225.0f * sy, 1024.0f * sx, 318.0f * sy, 255.0f, 1.0f, TRUE);
    for (int i = 0; i < 3; i++) {
        const SPLASHCROP& c = s_Crops[i];
        ShowTextureEx(g_pSplashTexture, cropX[i], cropY[i], c.size * TITLE_ASPECT, c.size, c.colors, c.dstX * sx,
                      c.dstY * sy, c.dstW * sx, c.dstH * sy, 255.0f);
    }

    // The strips scroll sideways at different speeds.
    ShowTextureEx(g_pShadowTexture, s_Opaque, 0.0f, 0.0f, W, 225.0f, 2.0f, 1.0f, -0.1f * g_fShowTime, 0.0f, 100.0f);
    ShowTextureEx(g_pShadowTexture, s_Opaque, 0.0f, H - 225.0f, W, 225.0f, 2.0f, 1.0f, -0.2f * g_fShowTime, 0.0f,
                  100.0f);

    SPLASHLINE lines[SPLASH_MAX_LINES];
    const int nLines = GetSweepLines(s, lines);
    for (int i = 0; i < nLines; i++)
        DrawLine(lines[i].x1, lines[i].y1, lines[i].x2, lines[i].y2, g_dwOutlineColor, lines[i].alpha);

    if (72.0f <= s && s < 84.2f)
        ShowTexture(g_pLogoTexture, 100.0f, 75.0f, W - 200.0f, H - 100.0f, Interpolate(0.0f, 255.0f, 72.0f, s, 74.0f),
                    1.0f, TRUE);
    else if (84.2f <= s && s < 86.0f)
        ShowTexture(g_pLogoTexture, 100.0f, 75.0f, W - 200.0f, H - 100.0f,
                    Interpolate(255.0f, 0.0f, 84.2f, s, 86.2f), 1.0f, TRUE);

    // Timed on the show clock: a dimming, then a white flash at the very end.
    SetFade(0x00000000, 0xA0000000, 89.8f, g_fShowTime, 90.2f, 0.0f);
    SetFade(0x00FFFFFF, 0xFFFFFFFF, 90.2f, g_fShowTime, SCENE2_START, 0.0f);
    return 0;
}
