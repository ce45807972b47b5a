// The three-layer spline tunnel.
#include "effects/spline_tunnel.h"

#include <cstring>

#include "base/shared.h"
#include "gfx/stage_state.h"
#include "gfx/texture_display.h"
#include "util/camera.h"

CTunnel g_Tunnel;
BOOL g_bTunnelPathNew = TRUE;

const float TUNNEL_LAYER_RADIUS[TUNNEL_LAYERS] = {7.5f, 6.25f, 5.0f};

static const TUNNELPATHDESC s_PathDesc = {10.0f, TRUE};
static const TUNNELRINGDESC s_RingDesc = {TUNNEL_RINGS, TUNNEL_RING_VERTS, TUNNEL_VERTS, "numVerts > TUNNEL_VERTS-2"};

// The camera looks this many segments ahead of itself.
static const float TUNNEL_LOOK_AHEAD = 0.3f;

// Per layer: how fast the texture turns around the tube, and its alpha.
static const float TUNNEL_SCROLL_V[TUNNEL_LAYERS] = {0.3f, -0.2f, 0.15f};
static const float TUNNEL_ALPHA[TUNNEL_LAYERS] = {255.0f, 205.0f, 205.0f};

CTunnel::CTunnel()
{
    for (int i = 0; i < TUNNEL_LAYERS; i++) {
        m_pTexture[i] = NULL;
        m_Layer[i].pVB = NULL;
        m_Layer[i].pIB = NULL;
    }
    m_nCaptions = TUNNEL_CAPTIONS;
    for (int i = 0; i < TUNNEL_CAPTIONS; i++) {
        m_pCaptions[i] = NULL;
        m_pCaptionTextures[i] = NULL;
    }
    memset(&m_Material, 0, sizeof m_Material);
    for (SPLINEPOINT& point : m_Points)
        point = SPLINEPOINT();
    m_vEye = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    m_vTarget = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    m_fTime = 0.0f;
    m_nPoints = 0;
    m_SegmentClock.bStarted = FALSE;
    m_SegmentClock.fStart = 0.0f;
    m_AnimClock = m_SegmentClock;
}

// A round ring; the last vertex is put exactly on the first.
static void TunnelRingShape(int, int k, float fRadius, float* pA, float* pR)
{
    *pA = (float)k / (float)(TUNNEL_RING_VERTS - 1) * (2.0f * D3DX_PI);
    if (k == TUNNEL_RING_VERTS - 1)
        *pA = 0.0f;
    *pR = fRadius;
}

static void SetTunnelTexCoords(BYTE* pVertex, float fRingU, float fRingV)
{
    TUNNELVERTEX* pV = (TUNNELVERTEX*)pVertex;
    pV->tu = fRingU;
    pV->tv = fRingV;
}

HRESULT CTunnel::BuildTunnel(IDirect3DVertexBuffer8* pVB, IDirect3DIndexBuffer8* pIB, float fRadius, BOOL bAdvance)
{
    UpdateSplinePath(m_Points, &m_nPoints, &g_bTunnelPathNew, bAdvance, s_PathDesc);

    // The spare slots are never drawn; zeroed so every build writes the same bytes there.
    TUNNELVERTEX verts[TUNNEL_VERTS] = {};
    HRESULT hr = BuildTunnelRings(m_Points, s_RingDesc, fRadius, TunnelRingShape, (BYTE*)verts,
                                  sizeof(TUNNELVERTEX), SetTunnelTexCoords);
    if (FAILED(hr))
        return hr;

    BYTE* pData = NULL;
    if (FAILED(hr = pVB->Lock(0, 0, &pData, 0)))
        return ReportError(hr, 0);
    memcpy(pData, verts, sizeof verts);
    pVB->Unlock();

    WORD indices[TUNNEL_INDICES];
    if (FAILED(hr = FillTunnelIndices(indices, TUNNEL_INDICES, TUNNEL_RING_VERTS, FALSE, "i+5 > TUNNEL_INDICES-1")))
        return hr;
    if (FAILED(hr = pIB->Lock(0, 0, &pData, 0)))
        return ReportError(hr, 0);
    memcpy(pData, indices, sizeof indices);
    pIB->Unlock();
    return S_OK;
}

void CTunnel::FlyTunnelCamera(float fSegFraction)
{
    LookAlongTunnelPath(m_Points, 0, fSegFraction, TUNNEL_LOOK_AHEAD, &m_vEye, &m_vTarget);
    D3DXVECTOR3 vUp;
    g_Camera.SetView(m_vEye, m_vTarget, *g_Camera.GetUp(&vUp));
}

HRESULT CTunnel::UpdateTunnel(float fTime)
{
    const float s = ReadTunnelClock(&m_SegmentClock, fTime);
    m_fTime = fTime;
    // s may lie just above 1 on the frame that completes a segment.
    FlyTunnelCamera(s);
    if (s > 1.0f) {
        for (int i = 0; i < TUNNEL_LAYERS; i++)
            BuildTunnel(m_Layer[i].pVB, m_Layer[i].pIB, TUNNEL_LAYER_RADIUS[i], i == 0);
        m_SegmentClock.fStart = fTime;  // the overshoot is dropped
    }
    for (int i = 0; i < TUNNEL_LAYERS; i++)
        AnimateTunnel(m_Layer[i].pVB, TUNNEL_SCROLL_V[i], TUNNEL_ALPHA[i]);
    return S_OK;
}

HRESULT CTunnel::AnimateTunnel(IDirect3DVertexBuffer8* pVB, float fScrollV, float fAlpha)
{
    const float e = ReadTunnelClock(&m_AnimClock, m_fTime);

    BYTE* pData = NULL;
    HRESULT hr = pVB->Lock(0, 0, &pData, 0);
    if (FAILED(hr))
        return hr;
    TUNNELVERTEX* pVerts = (TUNNELVERTEX*)pData;
    const D3DCOLOR diffuse = (((DWORD)(int)fAlpha & 0xFF) << 24) | 0x00FFFFFF;

    // Only the drawn (even) slots move; the copies keep their build-time values.
    int nSlot = 0;
    for (int i = 0; i < TUNNEL_SEGMENTS; i++) {
        for (int j = 0; j < TUNNEL_RINGS; j++) {
            for (int k = 0; k < TUNNEL_RING_VERTS; k++) {
                if (nSlot > TUNNEL_VERTS - 2) {
                    MessageBoxA(NULL, "> TUNNEL_VERTS-2", NULL, MB_OK);
                    pVB->Unlock();
                    return E_FAIL;
                }
                TUNNELVERTEX* pV = &pVerts[nSlot];
                pV->diffuse = diffuse;
                pV->tv = (float)k / (float)(TUNNEL_RING_VERTS - 1) + fScrollV * e;
                pV->tu = (float)j / (float)(TUNNEL_RINGS - 1) + 0.5f * e;
                nSlot += 2;
            }
        }
    }
    pVB->Unlock();
    return hr;
}

HRESULT CTunnel::RenderTunnel()
{
    g_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, TRUE);
    EnableAlphaBlending();
    SetStageModulate();

    D3DXMATRIX matView;
    g_pd3dDevice->SetTransform(D3DTS_VIEW, g_Camera.GetViewMatrix(&matView));
    g_pd3dDevice->SetTransform(D3DTS_WORLD, &g_matIdentity);

    // The tubes' triangles face outwards, so from inside, where the camera
    // flies, they are counter-clockwise on screen: cull the other way round
    // while drawing them, then give the scene its cull mode back.
    const DWORD dwCullMode = g_dwCullMode;
    SetCullMode(dwCullMode == D3DCULL_CCW ? (DWORD)D3DCULL_CW : dwCullMode);

    // Outermost first, each blended over the ones before.
    for (int i = 0; i < TUNNEL_LAYERS; i++) {
        g_pd3dDevice->SetTexture(0, m_pTexture[i]);
        g_pd3dDevice->SetVertexShader(FVF_TUNNELVERTEX);
        g_pd3dDevice->SetStreamSource(0, m_Layer[i].pVB, sizeof(TUNNELVERTEX));
        g_pd3dDevice->SetIndices(m_Layer[i].pIB, 0);
        GetDefaultMaterial(&m_Material);
        g_pd3dDevice->SetMaterial(&m_Material);
        // The last triangle reaches the spare slot and is left out.
        const HRESULT hr = g_pd3dDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, TUNNEL_VERTS, 0,
                                                              TUNNEL_INDICES / 3 - 1);
        if (FAILED(hr)) {
            SetCullMode(dwCullMode);
            return hr;
        }
    }
    SetCullMode(dwCullMode);
    g_pd3dDevice->SetTexture(0, NULL);
    return S_OK;
}
