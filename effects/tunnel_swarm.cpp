// The tunnel firefly swarm.
#include "effects/tunnel_swarm.h"

#include <cstring>

#include "base/shared.h"
#include "effects/wavy_tunnel.h"
#include "gfx/stage_state.h"
#include "gfx/texture_display.h"
#include "util/interpolate.h"
#include "util/random.h"

// How fast sprites fall back against the camera (segments per second), how
// far sideways they wander, and how long a glide to a new goal takes.
static const float SWARM_FALL_BACK = 0.6f;
static const float SWARM_SPREAD = 7.0f;
static const float SWARM_GLIDE = 3.0f;

// A fixed 2 x 2 square in the z = 0 plane, as a two-triangle fan.
static const TUNNELVERTEX SWARM_QUAD[4] = {
    {-1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFF, 0.0f, 0.0f},
    {1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFF, 1.0f, 0.0f},
    {1.0f, -1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFF, 1.0f, 1.0f},
    {-1.0f, -1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFF, 0.0f, 1.0f},
};

CTunnelSwarm::CTunnelSwarm()
{
    m_pTexture = NULL;
    m_pVB = NULL;
    for (int i = 0; i < SWARM_SPRITES; i++) {
        m_Sprites[i] = SWARMSPRITE();
        m_Sprites[i].fPhaseStart = RandomFloat(0.0f, 1.0f);
    }
    m_nSprites = SWARM_SPRITES;
}

// A new sideways offset; y is drawn before x.
static D3DXVECTOR3 RandomSideways()
{
    const float y = RandomFloat(-SWARM_SPREAD, SWARM_SPREAD);
    const float x = RandomFloat(-SWARM_SPREAD, SWARM_SPREAD);
    return D3DXVECTOR3(x, y, 0.0f);
}

HRESULT LoadTunnelSwarm()
{
    HRESULT hr = g_pd3dDevice->CreateVertexBuffer(SWARM_VB_QUADS * 4 * sizeof(TUNNELVERTEX), 0, FVF_TUNNELVERTEX,
                                                  D3DPOOL_MANAGED, &g_TunnelSwarm.m_pVB);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene05\\firefly_r.png", &g_TunnelSwarm.m_pTexture)))
        return hr;
    for (int i = 0; i < SWARM_SPRITES; i++) {
        SWARMSPRITE* pSprite = &g_TunnelSwarm.m_Sprites[i];
        pSprite->vFrom = RandomSideways();
        pSprite->vTo = RandomSideways();
    }
    return hr;
}

void ReleaseTunnelSwarm()
{
    SAFE_RELEASE(g_TunnelSwarm.m_pTexture);
    SAFE_RELEASE(g_TunnelSwarm.m_pVB);
}

HRESULT UpdateTunnelSwarm(float fTime, float fSegFraction)
{
    if (g_TunnelSwarm.m_nSprites < 1)
        return S_OK;
    BYTE* pData = NULL;
    HRESULT hr = g_TunnelSwarm.m_pVB->Lock(0, 0, &pData, 0);
    if (FAILED(hr))
        return hr;
    TUNNELVERTEX* pVerts = (TUNNELVERTEX*)pData;
    const SPLINEPOINT* P = g_Tunnel2.m_Points;

    for (int i = 0; i < g_TunnelSwarm.m_nSprites; i++) {
        SWARMSPRITE* pS = &g_TunnelSwarm.m_Sprites[i];
        pS->fPhase = pS->fPhaseStart - (fTime - pS->fSpawnTime) * SWARM_FALL_BACK;
        if (pS->fPhase <= 0.0f) {
            // Reached by the camera: one segment further ahead, a new goal.
            pS->fPhase += 1.0f;
            pS->fPhaseStart = 1.0f;
            pS->vFrom = pS->vTo;
            pS->vTo = RandomSideways();
            pS->fSpawnTime = fTime;
        }
        float s = fSegFraction + pS->fPhase;
        if (s >= 1.0f) {
            s -= 1.0f;
            pS->bShifted = TRUE;
        } else {
            pS->bShifted = FALSE;
        }
        const int w = pS->bShifted ? 1 : 0;
        const D3DXVECTOR3 vOffset =
            InterpolateVector(pS->vFrom, pS->vTo, pS->fSpawnTime, fTime, pS->fSpawnTime + SWARM_GLIDE);

        pS->fSegFraction = s;
        const D3DXVECTOR3 p0 = P[1 + w].vPos + vOffset;
        const D3DXVECTOR3 p1 = P[2 + w].vPos + vOffset;
        const D3DXVECTOR3 p2 = P[3 + w].vPos + vOffset;
        const D3DXVECTOR3 p3 = P[4 + w].vPos + vOffset;
        D3DXVec3CatmullRom(&pS->vPos, &p0, &p1, &p2, &p3, s);
        memcpy(&pVerts[4 * i], SWARM_QUAD, sizeof SWARM_QUAD);
    }
    g_TunnelSwarm.m_pVB->Unlock();
    return S_OK;
}

HRESULT DrawTunnelSwarm()
{
    if (g_TunnelSwarm.m_nSprites < 1)
        return S_OK;
    g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    g_pd3dDevice->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    EnableAlphaBlending();

    g_pd3dDevice->SetTexture(0, g_TunnelSwarm.m_pTexture);
    g_pd3dDevice->SetVertexShader(FVF_TUNNELVERTEX);
    g_pd3dDevice->SetStreamSource(0, g_TunnelSwarm.m_pVB, sizeof(TUNNELVERTEX));
    // The colour stays texture x diffuse, as the tunnel left it.
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    SetCullMode(D3DCULL_NONE);

    // Not turned to the camera: the quads face down the tunnel. Unsorted.
    for (int i = 0; i < g_TunnelSwarm.m_nSprites; i++) {
        const D3DXVECTOR3& v = g_TunnelSwarm.m_Sprites[i].vPos;
        D3DXMATRIX matWorld;
        D3DXMatrixTranslation(&matWorld, v.x, v.y, v.z);
        g_pd3dDevice->SetTransform(D3DTS_WORLD, &matWorld);
        const HRESULT hr = g_pd3dDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, 4 * i, 2);
        if (FAILED(hr))
            return hr;
    }

    SetCullMode(D3DCULL_CCW);
    g_pd3dDevice->SetTransform(D3DTS_WORLD, &g_matIdentity);
    g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    g_pd3dDevice->SetTexture(0, NULL);
    return S_OK;
}
