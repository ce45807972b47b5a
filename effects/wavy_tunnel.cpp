// The wavy, sphere-mapped second tunnel.
#include "effects/wavy_tunnel.h"

#include <cstring>

#include "base/shared.h"
#include "effects/tunnel_swarm.h"
#include "gfx/stage_state.h"
#include "platform/fmod/fmod.h"
#include "util/camera.h"
#include "util/interpolate.h"

CTunnel2 g_Tunnel2;
BOOL g_bTunnel2PathNew = TRUE;

const D3DXVECTOR3 LOOK_OFFSETS[LOOK_OFFSET_COUNT] = {
    D3DXVECTOR3(2.0f, -1.0f, 15.0f),   D3DXVECTOR3(-2.0f, 1.0f, 15.0f),  D3DXVECTOR3(2.0f, -1.0f, 15.0f),
    D3DXVECTOR3(-2.0f, 1.0f, 15.0f),   D3DXVECTOR3(-2.0f, -1.0f, 15.0f), D3DXVECTOR3(2.0f, 1.0f, 15.0f),
    D3DXVECTOR3(-2.0f, -1.0f, -15.0f), D3DXVECTOR3(-2.0f, 1.0f, -15.0f), D3DXVECTOR3(2.0f, -1.0f, -15.0f),
    D3DXVECTOR3(2.0f, 1.0f, -15.0f),
};

// The first six points are made with fIndex 0.
static const TUNNELPATHDESC s_PathDesc = {30.0f, FALSE};
static const TUNNELRINGDESC s_RingDesc = {TUNNEL2_RINGS, TUNNEL2_RING_VERTS, TUNNEL2_VERTS,
                                          "numVerts > TUNNEL2_VERTS-2"};

static const float TUNNEL2_LOOK_AHEAD = 0.81f;
// The spectrum band that shakes the camera, and how many bands are copied.
#define SHAKE_BAND 3
#define SHAKE_BANDS_COPIED 256

CTunnel2::CTunnel2()
{
    m_pMesh = NULL;
    m_pTexture = NULL;
    m_pVB = NULL;
    m_pIB = NULL;
    memset(&m_Material, 0, sizeof m_Material);
    for (SPLINEPOINT& point : m_Points)
        point = SPLINEPOINT();
    m_vEye = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    m_vTarget = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    m_fTime = 0.0f;
    m_nPoints = 0;
    m_SegmentClock.bStarted = FALSE;
    m_SegmentClock.fStart = 0.0f;
    m_LookClock = m_SegmentClock;
    m_nLookIndex = 0;
}

// Eight lobes around the ring plus a ripple winding along the tube. The
// last vertex goes back to angle 0 but keeps the radius of angle 2 pi.
static void Tunnel2RingShape(int j, int k, float fRadius, float* pA, float* pR)
{
    float a = (float)k / (float)(TUNNEL2_RING_VERTS - 1) * (2.0f * D3DX_PI);
    const float w = ((float)j / (float)(TUNNEL2_RINGS - 1) + 0.9f * a) * (2.0f * D3DX_PI);
    *pR = fRadius + 1.3f * cosf(8.0f * a) + 1.3f * cosf(2.0f * w);
    if (k == TUNNEL2_RING_VERTS - 1)
        a = 0.0f;
    *pA = a;
}

HRESULT CTunnel2::BuildTunnel2(IDirect3DVertexBuffer8* pVB, IDirect3DIndexBuffer8* pIB, float fRadius, BOOL bAdvance)
{
    UpdateSplinePath(m_Points, &m_nPoints, &g_bTunnel2PathNew, bAdvance, s_PathDesc);

    // Written straight into the buffers.
    BYTE* pData = NULL;
    HRESULT hr = pVB->Lock(0, 0, &pData, 0);
    if (FAILED(hr))
        return ReportError(hr, 0);
    hr = BuildTunnelRings(m_Points, s_RingDesc, fRadius, Tunnel2RingShape, pData, sizeof(TUNNEL2VERTEX), NULL);
    pVB->Unlock();
    if (FAILED(hr))
        return hr;

    if (FAILED(hr = pIB->Lock(0, 0, &pData, 0)))
        return ReportError(hr, 0);
    // Wound the other way round from the first tunnel.
    hr = FillTunnelIndices((WORD*)pData, TUNNEL2_INDICES, TUNNEL2_RING_VERTS, TRUE, "i+5 > TUNNEL2_INDICES-1");
    pIB->Unlock();
    return hr;
}

float SpectrumShake(float fBand)
{
    const float m = 255.0f * fBand;
    return (m - 0.5f) * 0.002f;
}

void CTunnel2::FlyTunnel2Camera(float fSegFraction)
{
    // The switch clock starts with the first flight, so the first look-around
    // frame switches at once, swinging from zero towards entry 1.
    ReadTunnelClock(&m_LookClock, m_fTime);
    LookAlongTunnelPath(m_Points, 1, fSegFraction, TUNNEL2_LOOK_AHEAD, &m_vEye, &m_vTarget);

    // From 175.7 s of show time (170.7 s after the first scene starts).
    if (g_fShowTime - 5.0f >= 170.7f) {
        if (m_fTime - m_LookClock.fStart >= 0.5f) {
            m_nLookIndex++;
            if (m_nLookIndex == LOOK_OFFSET_COUNT)
                m_nLookIndex = 0;
            m_LookClock.fStart = m_fTime;
            m_vLookStart = m_vLookCurrent;
            m_vLookGoal = LOOK_OFFSETS[m_nLookIndex];
        }
        // Each swing would take a second; the next switch cuts it off halfway.
        m_vLookCurrent = InterpolateVector(m_vLookStart, m_vLookGoal, m_LookClock.fStart, m_fTime,
                                           m_LookClock.fStart + 1.0f);
        m_vTarget = m_vEye + m_vLookCurrent;

        float fBands[SHAKE_BANDS_COPIED];
        memcpy(fBands, FSOUND_DSP_GetSpectrum(), sizeof fBands);
        const float fShake = SpectrumShake(fBands[SHAKE_BAND]);
        m_vEye.x += fShake;
        m_vEye.y += fShake;
        m_vEye.z += fShake;
    }

    D3DXVECTOR3 vUp;
    g_Camera.SetView(m_vEye, m_vTarget, *g_Camera.GetUp(&vUp));
    D3DXMATRIX matView;
    g_Camera.GetViewMatrix(&matView);
    g_pd3dDevice->SetTransform(D3DTS_VIEW, &matView);

    D3DXMATRIX matRoll;
    D3DXMatrixRotationYawPitchRoll(&matRoll, 0.0f, 0.0f, -sinf(g_fShowTime));
    matView = matView * matRoll;
    g_pd3dDevice->SetTransform(D3DTS_VIEW, &matView);
}

HRESULT CTunnel2::UpdateTunnel2(float fTime)
{
    m_fTime = fTime;
    float f = ReadTunnelClock(&m_SegmentClock, fTime) * 2.0f;
    if (f > 1.0f) {
        f -= 1.0f;
        BuildTunnel2(m_pVB, m_pIB, TUNNEL2_RADIUS, TRUE);
        D3DXComputeNormals(m_pMesh);  // replaces the builder's normals
        m_SegmentClock.fStart = fTime;
    }
    FlyTunnel2Camera(f);
    return UpdateTunnelSwarm(fTime, f);
}

HRESULT CTunnel2::RenderTunnel2()
{
    g_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, TRUE);
    EnableAlphaBlending();
    SetStageModulate();

    D3DXMATRIX matProj;
    g_pd3dDevice->SetTransform(D3DTS_PROJECTION, g_Camera.GetProjMatrix(&matProj));
    g_pd3dDevice->SetTransform(D3DTS_WORLD, &g_matIdentity);
    GetDefaultMaterial(&m_Material);
    g_pd3dDevice->SetMaterial(&m_Material);

    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_MIRROR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_MIRROR);
    SetSphereMapTexGen();

    g_pd3dDevice->SetTexture(0, m_pTexture);
    g_pd3dDevice->SetVertexShader(FVF_TUNNEL2VERTEX);
    g_pd3dDevice->SetStreamSource(0, m_pVB, sizeof(TUNNEL2VERTEX));
    g_pd3dDevice->SetIndices(m_pIB, 0);
    // The last triangle reaches the spare slot and is left out.
    const HRESULT hr = g_pd3dDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, TUNNEL2_VERTS, 0, TUNNEL2_FACES - 1);
    if (FAILED(hr))
        return hr;

    EndTexGen();
    g_pd3dDevice->SetTexture(0, NULL);
    return S_OK;
}

void ComputeTunnel2Normals()
{
    if (g_Tunnel2.m_pMesh)
        D3DXComputeNormals(g_Tunnel2.m_pMesh);
}
