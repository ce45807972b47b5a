// Scene 5: the race through the wavy tunnel with the firefly swarm, four
// sliding symbol strips, the look-around and music shake from 175.7 s, the
// roll, and a fade to black.
#include "base/shared.h"
#include "base/timeline.h"
#include "effects/tunnel_swarm.h"
#include "effects/wavy_tunnel.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "platform/fmod/fmod.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"


HRESULT DrawScene5Symbols();

IDirect3DTexture8* g_pSymbol1 = NULL;
IDirect3DTexture8* g_pSymbol2 = NULL;
IDirect3DTexture8* g_pSymbol3 = NULL;
IDirect3DTexture8* g_pSymbol4 = NULL;

// One strip of symbols: where it lies and how fast it slides (texture
// widths per second of show clock, to the right).
struct SYMBOLSTRIP {
    IDirect3DTexture8** ppTexture;
    float y;
    float fSpeed;
};
static const SYMBOLSTRIP SCENE5_STRIPS[4] = {
    {&g_pSymbol1, 650.0f, 0.2f},
    {&g_pSymbol2, 670.0f, 0.4f},
    {&g_pSymbol3, 690.0f, 0.3f},
    {&g_pSymbol4, 710.0f, 0.1f},
};

BOOL g_bScene5Start = TRUE;

HRESULT LoadScene5()
{
    HRESULT hr = D3DXCreateMeshFVF(TUNNEL2_FACES, TUNNEL2_VERTS, D3DXMESH_MANAGED, FVF_TUNNEL2VERTEX, g_pd3dDevice,
                                   &g_Tunnel2.m_pMesh);
    if (FAILED(hr))
        return ReportError(hr, 0);
    g_Tunnel2.m_pMesh->GetVertexBuffer(&g_Tunnel2.m_pVB);
    g_Tunnel2.m_pMesh->GetIndexBuffer(&g_Tunnel2.m_pIB);

    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene05\\redwater.jpg", &g_Tunnel2.m_pTexture)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\texts\\symbol1.png", &g_pSymbol1)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\texts\\symbol2.png", &g_pSymbol2)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\texts\\symbol3.png", &g_pSymbol3)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\texts\\symbol4.png", &g_pSymbol4)))
        return hr;

    GetDefaultMaterial(&g_Tunnel2.m_Material);
    g_pd3dDevice->SetMaterial(&g_Tunnel2.m_Material);
    g_Tunnel2.BuildTunnel2(g_Tunnel2.m_pVB, g_Tunnel2.m_pIB, TUNNEL2_RADIUS, TRUE);
    return hr;
}

void ReleaseScene5()
{
    SAFE_RELEASE(g_Tunnel2.m_pTexture);
    SAFE_RELEASE(g_Tunnel2.m_pVB);
    SAFE_RELEASE(g_Tunnel2.m_pIB);
    SAFE_RELEASE(g_Tunnel2.m_pMesh);
    SAFE_RELEASE(g_pSymbol1);
    SAFE_RELEASE(g_pSymbol2);
    SAFE_RELEASE(g_pSymbol3);
    SAFE_RELEASE(g_pSymbol4);
}

HRESULT Scene5(float fShowTime)
{
    const float u = fShowTime - SCENE5_START;
    if (g_bScene5Start) {
        // The tunnel's camera replaces the view on this frame; the projection
        // stays. Lighting is off only until the swarm's first draw; either way
        // the tunnel comes out opaque white under its sphere map.
        SetUpTunnelScene(7, FALSE, FALSE);
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
        // From here on the spectrum is there for the tunnel camera's shake.
        FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), TRUE);
        SetCullMode(D3DCULL_CCW);
        g_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        g_bScene5Start = FALSE;
    }

    HRESULT hr;
    if (FAILED(hr = g_Tunnel2.UpdateTunnel2(u)))
        return hr;
    if (FAILED(hr = g_Tunnel2.RenderTunnel2()))
        return hr;
    if (FAILED(hr = DrawTunnelSwarm()))
        return hr;
    if (FAILED(hr = DrawScene5Symbols()))
        return hr;

    SetFade(0x00000000, 0xFF000000, 195.5f, g_fShowTime, SCENE6_START, 0.0f);
    DrawSceneFade();
    return S_OK;
}

HRESULT DrawScene5Symbols()
{
    // Half-transparent white; three texture repeats across the screen.
    static const D3DCOLOR colors[4] = {0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF};
    for (const SYMBOLSTRIP& strip : SCENE5_STRIPS) {
        ShowTextureEx(*strip.ppTexture, colors, 0.0f, strip.y, g_fScreenWidth, 64.0f, 3.0f, 1.0f,
                      -strip.fSpeed * g_fShowTime, 0.0f, 255.0f);
    }
    return S_OK;
}
