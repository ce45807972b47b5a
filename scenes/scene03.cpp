// Scene 3: the tumbling flight through the lattice of text ribbons, fogged
// to black, with an image and a column of scrolling text in the right
// quarter of the screen.
#include <cstring>

#include "base/shared.h"
#include "base/timeline.h"
#include "effects/text_lattice.h"
#include "gfx/texture_display.h"
#include "scenes/scene03.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"
#include "util/camera.h"


// The right quarter of the screen: the panel image, then the text tiled
// twice across and one and a half times down it, moving up a quarter of its
// height per second; both fade in from the panel's left edge.
HRESULT DrawScene3Panel(float fTime)
{
    const float W = g_fScreenWidth;
    const float H = g_fScreenHeight;
    const D3DCOLOR colors[4] = {0x00FFFFFF, 0xFFFFFFFF, 0x80FFFFFF, 0x00FFFFFF};
    const float x = W - W / 4.0f;
    ShowTextureEx(g_TextLattice.m_pOverlayTexture, 0.0f, 0.0f, 0.0f, 0.0f, colors, x, 0.0f, W / 4.0f, H, 255.0f);
    ShowTextureEx(g_TextLattice.m_pScrollTexture, colors, x, 0.0f, W / 4.0f, H, 2.0f, 1.5f, 0.0f, fTime / 4.0f,
                  255.0f);
    return S_OK;
}

BOOL g_bScene3Start = TRUE;

HRESULT Scene3(float fShowTime)
{
    const float u = fShowTime - SCENE3_START;

    if (g_bScene3Start) {
        // Replaced on this same frame by the lattice's own camera path.
        g_Camera.SetView(D3DXVECTOR3(75.0f, 150.0f, -350.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f),
                         D3DXVECTOR3(0.0f, 1.0f, 0.0f));
        g_Camera.SetProjection(D3DX_PI / 4, g_fAspect, 1.0f, 100.0f);
        D3DXMATRIX mat;
        g_pd3dDevice->SetTransform(D3DTS_WORLD, &g_matIdentity);
        g_pd3dDevice->SetTransform(D3DTS_VIEW, g_Camera.GetViewMatrix(&mat));
        g_pd3dDevice->SetTransform(D3DTS_PROJECTION, g_Camera.GetProjMatrix(&mat));
        g_pd3dDevice->LightEnable(7, TRUE);
        g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
        g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
        g_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        SetCullMode(D3DCULL_NONE);
        g_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
        g_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        g_bScene3Start = FALSE;
    }

    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);

    // Linear fog to black within 50 units hides the lattice's edges.
    g_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_FOGCOLOR, 0xFF000000);
    g_pd3dDevice->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    g_pd3dDevice->SetRenderState(D3DRS_FOGSTART, FtoDW(0.0f));
    g_pd3dDevice->SetRenderState(D3DRS_FOGEND, FtoDW(50.0f));
    g_pd3dDevice->SetRenderState(D3DRS_FOGDENSITY, FtoDW(0.005f));

    // Failures here leave a frame short; they never end the show.
    g_TextLattice.UpdateTextLattice(u);
    g_TextLattice.DrawTextLattice();
    DrawScene3Panel(u);

    g_pd3dDevice->SetTexture(0, NULL);
    return S_OK;
}

HRESULT LoadScene3()
{
    HRESULT hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene03\\sentence.png", &g_TextLattice.m_pSentenceTexture)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene03\\scene4overlay.png", &g_TextLattice.m_pOverlayTexture)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene03\\textscroll.png", &g_TextLattice.m_pScrollTexture)))
        return hr;
    hr = g_pd3dDevice->CreateVertexBuffer(LATTICE_VB_VERTS * sizeof(TUNNELVERTEX), 0, FVF_TUNNELVERTEX,
                                          D3DPOOL_MANAGED, &g_TextLattice.m_pVB);
    if (FAILED(hr))
        return ReportError(hr, 0);
    g_TextLattice.BuildTextLattice(0, 0, 0);
    return S_OK;
}

void ReleaseScene3()
{
    g_TextLattice.Release();
}
