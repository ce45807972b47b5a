// Scene 4: a white flash, then the metaballs orbiting in front of the
// sliding wood panorama, with two rectangle outlines that grow and fade.
#include <cstring>

#include "base/shared.h"
#include "base/timeline.h"
#include "effects/metaballs.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"
#include "util/camera.h"
#include "util/interpolate.h"


// Pre-transformed coloured vertex of the outline's line list.
struct OUTLINEVERTEX {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};
#define FVF_OUTLINEVERTEX (D3DFVF_XYZRHW | D3DFVF_DIFFUSE)
#define OUTLINE_VERTS 8

// Made once at load rather than per outline: the same picture, no
// allocation while the show runs.
static IDirect3DVertexBuffer8* s_pOutlineVB = NULL;

HRESULT DrawRectOutline(float x1, float y1, float x2, float y2, D3DCOLOR rgb, float alpha)
{
    if (s_pOutlineVB == NULL)
        return E_FAIL;
    const D3DCOLOR c = ((D3DCOLOR)(int)alpha << 24) | (rgb & 0x00FFFFFF);
    const OUTLINEVERTEX v[OUTLINE_VERTS] = {
        {x1, y1, 0.0f, 1.0f, c}, {x2, y1, 0.0f, 1.0f, c},  //
        {x2, y1, 0.0f, 1.0f, c}, {x2, y2, 0.0f, 1.0f, c},  //
        {x2, y2, 0.0f, 1.0f, c}, {x1, y2, 0.0f, 1.0f, c},  //
        {x1, y2, 0.0f, 1.0f, c}, {x1, y1, 0.0f, 1.0f, c},
    };

    BYTE* pData = NULL;
    HRESULT hr = s_pOutlineVB->Lock(0, 0, &pData, 0);
    if (FAILED(hr))
        return hr;
    memcpy(pData, v, sizeof(v));
    s_pOutlineVB->Unlock();

    D3DMATERIAL8 mtrl;
    GetDefaultMaterial(&mtrl);
    g_pd3dDevice->SetVertexShader(FVF_OUTLINEVERTEX);
    g_pd3dDevice->SetStreamSource(0, s_pOutlineVB, sizeof(OUTLINEVERTEX));
    g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    g_pd3dDevice->SetMaterial(&mtrl);
    for (UINT i = 0; i < 4; i++) {
        if (FAILED(hr = g_pd3dDevice->DrawPrimitive(D3DPT_LINELIST, 2 * i, 1)))
            return hr;
    }
    // Left on: from here the blobs are drawn lit.
    g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    return S_OK;
}

// The outline grows from the square (100, 100)-(300, 300) to (400, 300)-
// (800, 550) while fading out: over the first second, and again from 4 s
// over 1.5 s with the corners passed the other way round.
static void DrawScene4Outlines(float tau)
{
    if (tau >= 0.0f && tau < 1.0f) {
        DrawRectOutline(Interpolate(100, 400, 0, tau, 1), Interpolate(100, 300, 0, tau, 1),
                        Interpolate(300, 800, 0, tau, 1), Interpolate(300, 550, 0, tau, 1), g_dwOutlineColor,
                        Interpolate(255, 0, 0, tau, 1));
    }
    if (tau >= 4.0f && tau < 5.5f) {
        DrawRectOutline(Interpolate(300, 800, 4, tau, 5.5f), Interpolate(300, 550, 4, tau, 5.5f),
                        Interpolate(100, 400, 4, tau, 5.5f), Interpolate(100, 300, 4, tau, 5.5f), g_dwOutlineColor,
                        Interpolate(255, 0, 4, tau, 5.5f));
    }
}

BOOL g_bScene4Start = TRUE;

HRESULT Scene4(float t)
{
    const float tau = t - SCENE4_START;

    if (g_bScene4Start) {
        g_Camera.SetView(D3DXVECTOR3(0.0f, 0.0f, 150.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f));
        g_Camera.SetProjection(D3DX_PI / 4, g_fAspect, 1.0f, 500.0f);
        D3DXMATRIX mat;
        g_pd3dDevice->SetTransform(D3DTS_WORLD, &g_matIdentity);
        g_pd3dDevice->SetTransform(D3DTS_VIEW, g_Camera.GetViewMatrix(&mat));
        g_pd3dDevice->SetTransform(D3DTS_PROJECTION, g_Camera.GetProjMatrix(&mat));
        g_pd3dDevice->LightEnable(7, TRUE);
        g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
        g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0xFF5F5F5F);
        g_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        g_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
        SetCullMode(D3DCULL_CCW);
        g_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        g_bScene4Start = FALSE;
    }

    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);

    g_Metaballs.Update(tau);
    g_Metaballs.Render();
    DrawScene4Outlines(tau);
    g_pd3dDevice->SetTexture(0, NULL);

    SetFade(0xFFFFFFFF, 0x00FFFFFF, SCENE4_START, g_fShowTime, 133.45f, 0);
    DrawSceneFade();
    return S_OK;
}

HRESULT LoadScene4()
{
    HRESULT hr = g_Metaballs.Create();
    if (FAILED(hr))
        return hr;
    return g_pd3dDevice->CreateVertexBuffer(OUTLINE_VERTS * sizeof(OUTLINEVERTEX), 0, FVF_OUTLINEVERTEX,
                                            D3DPOOL_MANAGED, &s_pOutlineVB);
}

void ReleaseScene4()
{
    g_Metaballs.Release();
    SAFE_RELEASE(s_pOutlineVB);
}
