// Scene 2: the fogged flight through the three-layer tunnel, eight captions
// rising over it like credits, and a fade to black.
#include "base/shared.h"
#include "base/timeline.h"
#include "effects/spline_tunnel.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"
#include "util/interpolate.h"


HRESULT DrawScene2Captions();
float Scene2CaptionOpacity(float y);

// Captions first (in the order they are drawn), then the layers outermost first.
static const char* const SCENE2_CAPTION_FILES[TUNNEL_CAPTIONS] = {
    "data\\bitmaps\\scene02\\whatif.png",          "data\\bitmaps\\scene02\\wereblaim.png",
    "data\\bitmaps\\scene02\\humansare.png",       "data\\bitmaps\\scene02\\psychologically.png",
    "data\\bitmaps\\scene02\\thesun.png",          "data\\bitmaps\\scene02\\theearth.png",
    "data\\bitmaps\\scene02\\willblaim.png",       "data\\bitmaps\\scene02\\usalone.png",
};
static const char* const SCENE2_LAYER_FILES[TUNNEL_LAYERS] = {
    "data\\bitmaps\\scene02\\bluewater8.jpg",
    "data\\bitmaps\\scene02\\plasma.png",
    "data\\bitmaps\\scene02\\plasma2.png",
};

BOOL g_bScene2Start = TRUE;

HRESULT LoadScene2()
{
    HRESULT hr;
    for (int i = 0; i < TUNNEL_LAYERS; i++) {
        TUNNELLAYER* pLayer = &g_Tunnel.m_Layer[i];
        hr = g_pd3dDevice->CreateVertexBuffer(TUNNEL_VERTS * sizeof(TUNNELVERTEX), 0, FVF_TUNNELVERTEX,
                                              D3DPOOL_MANAGED, &pLayer->pVB);
        if (FAILED(hr))
            return hr;
        hr = g_pd3dDevice->CreateIndexBuffer(TUNNEL_INDICES * sizeof(WORD), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                             &pLayer->pIB);
        if (FAILED(hr))
            return hr;
    }

    for (int i = 0; i < TUNNEL_CAPTIONS; i++) {
        if (FAILED(hr = LoadTextureOrReport(SCENE2_CAPTION_FILES[i], &g_Tunnel.m_pCaptionTextures[i])))
            return hr;
    }
    for (int i = 0; i < TUNNEL_LAYERS; i++) {
        if (FAILED(hr = LoadTextureOrReport(SCENE2_LAYER_FILES[i], &g_Tunnel.m_pTexture[i])))
            return hr;
    }
    for (int i = 0; i < TUNNEL_CAPTIONS; i++)
        g_Tunnel.m_pCaptions[i] = g_Tunnel.m_pCaptionTextures[i];

    GetDefaultMaterial(&g_Tunnel.m_Material);
    g_pd3dDevice->SetMaterial(&g_Tunnel.m_Material);

    // The first build makes the path and advances it once.
    for (int i = 0; i < TUNNEL_LAYERS; i++)
        g_Tunnel.BuildTunnel(g_Tunnel.m_Layer[i].pVB, g_Tunnel.m_Layer[i].pIB, TUNNEL_LAYER_RADIUS[i], i == 0);
    return hr;
}

void ReleaseScene2()
{
    for (int i = 0; i < TUNNEL_LAYERS; i++) {
        SAFE_RELEASE(g_Tunnel.m_pTexture[i]);
        SAFE_RELEASE(g_Tunnel.m_Layer[i].pVB);
        SAFE_RELEASE(g_Tunnel.m_Layer[i].pIB);
    }
    // The caption list holds the same textures, without references of its own.
    for (int i = 0; i < TUNNEL_CAPTIONS; i++) {
        SAFE_RELEASE(g_Tunnel.m_pCaptionTextures[i]);
        g_Tunnel.m_pCaptions[i] = NULL;
    }
}

HRESULT Scene2(float fShowTime)
{
    const float u = fShowTime - SCENE2_START;
    if (g_bScene2Start) {
        // White ambient on the white material saturates every vertex: each
        // layer shows its texture at its own alpha, fogged to black.
        SetUpTunnelScene(6, TRUE, TRUE);
        SetCullMode(D3DCULL_CCW);
        g_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        g_bScene2Start = FALSE;
    }

    HRESULT hr;
    if (FAILED(hr = g_Tunnel.UpdateTunnel(u)))
        return hr;
    if (FAILED(hr = g_Tunnel.RenderTunnel()))
        return hr;
    if (FAILED(hr = DrawScene2Captions()))
        return hr;

    SetFade(0x00000000, 0xFF000000, 111.1f, g_fShowTime, SCENE3_START, 0.0f);
    DrawSceneFade();
    return S_OK;
}

HRESULT DrawScene2Captions()
{
    // The list's top edge rises from the bottom of the screen to 100 - H over the scene.
    const float fBase = Interpolate(g_fScreenHeight, 100.0f - g_fScreenHeight, SCENE2_START, g_fShowTime, SCENE3_START);
    const int n = g_Tunnel.m_nCaptions;
    for (int i = 0; i < n; i++) {
        const float y = (float)i / (float)(n - 1) * 600.0f + fBase;
        const float a = Scene2CaptionOpacity(y);
        ShowTexture(g_Tunnel.m_pCaptions[i], 100.0f, y, 0.0f, 0.0f, a * 255.0f, 1.0f, TRUE);
    }
    return S_OK;
}

// Fading in while rising from y = 600 to the middle line, out from there to
// the top edge.
float Scene2CaptionOpacity(float y)
{
    if (y >= g_fHalfHeight)
        return Interpolate(1.0f, 0.0f, g_fHalfHeight, y, 600.0f);
    return Interpolate(0.0f, 1.0f, 0.0f, y, g_fHalfHeight);
}
