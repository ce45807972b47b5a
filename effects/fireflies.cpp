// Fireflies: the attractor's key path, the flyers' random segments, their
// trails and quads, and the light the first one carries.
#include "effects/fireflies.h"

#include <cmath>
#include <cstring>

#include "base/shared.h"
#include "util/camera.h"
#include "util/interpolate.h"
#include "util/random.h"

// Trail points sit 0.02 of a segment behind each other, and never further
// than 0.5 units per step from the head.
static const float TRAIL_STEP = 0.02f;
static const float TRAIL_MAX_GAP = 0.5f;

// Time, then position. Plain floats, so the table is in place before any
// constructor runs, g_Fireflies' included.
static const float s_AttractorPath[][4] = {
    {0.0f, 0.0f, 3.0f, 0.0f},      {1.0f, 2.0f, 3.0f, 4.0f},     {5.0f, 10.0f, 3.0f, 15.0f},
    {10.0f, 2.0f, 3.0f, 5.0f},     {15.0f, -10.0f, 3.0f, 15.0f}, {20.0f, -5.0f, 3.0f, -5.0f},
    {25.0f, 10.0f, 3.0f, -10.0f},  {30.0f, 2.0f, 3.0f, 10.0f},   {35.0f, 12.0f, 3.0f, 5.0f},
    {40.0f, 0.0f, 3.0f, 0.0f},     {42.0f, -10.0f, 3.0f, 10.0f}, {50.0f, 10.0f, 3.0f, -5.0f},
    {55.0f, -5.0f, 5.0f, 5.0f},    {57.0f, 10.0f, 7.0f, -5.0f},  {58.0f, 0.0f, 12.0f, 0.0f},
    {59.0f, 0.0f, 100.0f, 0.0f},   {2000.0f, 0.0f, 100.0f, 0.0f},
};
static const int ATTRACTOR_KEYS = (int)(sizeof(s_AttractorPath) / sizeof(s_AttractorPath[0]));

CFireflies::CFireflies(int nCount)
{
    for (int k = 0; k < FLIGHT_KEYS; k++) {
        m_Keys[k].fTime = 0.0f;
        m_Keys[k].vPos = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    }
    for (int k = 0; k < ATTRACTOR_KEYS; k++) {
        m_Keys[k].fTime = s_AttractorPath[k][0];
        m_Keys[k].vPos = D3DXVECTOR3(s_AttractorPath[k][1], s_AttractorPath[k][2], s_AttractorPath[k][3]);
    }
    m_nKeys = ATTRACTOR_KEYS;
    m_nSegment = 0;
    m_vAttractor = m_Keys[0].vPos;
    m_fSpread = 5.0f;
    m_nFlyers = nCount;
    m_pTexture = NULL;
    m_pVB = NULL;

    RandomFloat(0.0f, 100.0f);  // drawn and discarded: it shifts every later draw
    for (int i = 0; i < FLYER_RECORDS; i++) {
        FLYER& f = m_Flyers[i];
        for (int j = 0; j < FLYER_POINTS; j++)
            f.vPoints[j] = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        f.fU = 0.0f;
        f.fSpawnTime = 0.0f;
        f.fAge = 0.0f;
        f.fDuration = 1.0f;
        f.bAlive = i < m_nFlyers;
        for (int j = 0; j < 4; j++)
            f.vPath[j] = RandomPoint(m_vAttractor, 3.0f * m_fSpread);
    }

    memset(&m_Light, 0, sizeof(m_Light));
    m_Light.Type = D3DLIGHT_POINT;
    m_Light.Position = m_vAttractor;
    m_Light.Range = 20.0f;
    m_Light.Attenuation0 = 0.0f;
    m_Light.Attenuation1 = 0.5f;
    m_Light.Attenuation2 = 1.0f;
}

// Three draws in the order z, y, x: the order fixes which numbers each
// coordinate gets from the shared sequence.
D3DXVECTOR3 CFireflies::RandomPoint(const D3DXVECTOR3& vBase, float fTop)
{
    const float z = RandomFloat(-m_fSpread, m_fSpread);
    const float y = RandomFloat(1.0f, fTop);
    const float x = RandomFloat(-m_fSpread, m_fSpread);
    return D3DXVECTOR3(x, y, z) + vBase;
}

HRESULT CFireflies::Create()
{
    HRESULT hr = g_pd3dDevice->CreateVertexBuffer(FIREFLIES_MAX * FLYER_POINTS * 4 * sizeof(FIREFLYVERTEX), 0,
                                                  FVF_FIREFLYVERTEX, D3DPOOL_MANAGED, &m_pVB);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene01\\firefly.png", &m_pTexture)))
        return hr;
    g_pd3dDevice->SetLight(FIREFLY_LIGHT, &m_Light);
    g_pd3dDevice->LightEnable(FIREFLY_LIGHT, TRUE);
    return S_OK;
}

void CFireflies::Emit(int n, D3DXVECTOR3 vOrigin, float tFirst, float fNow, float fInterval)
{
    // The quads of firefly i live at vertex 16 i, so the buffer bounds the count.
    if (n > FIREFLIES_MAX - m_nFlyers)
        n = FIREFLIES_MAX - m_nFlyers;
    for (int k = 0; k < n; k++) {
        FLYER& f = m_Flyers[m_nFlyers + k];
        f.vPoints[0] = vOrigin;
        for (int j = 1; j < FLYER_POINTS; j++)
            f.vPoints[j] = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        f.fSpawnTime = k * fInterval + tFirst;
        f.fAge = 0.0f;
        f.fU = 0.0f;
        f.bAlive = fNow >= f.fSpawnTime;
        f.fDuration = RandomFloat(2.0f, 3.0f);
        f.vPath[0] = RandomPoint(vOrigin, m_fSpread);
        f.vPath[1] = RandomPoint(vOrigin, m_fSpread);
        f.vPath[2] = RandomPoint(m_vAttractor, m_fSpread);
        f.vPath[3] = RandomPoint(m_vAttractor, m_fSpread);
    }
    if (n > 0)
        m_nFlyers += n;
}

void CFireflies::MoveAttractor(float fNow)
{
    // Past the last key's start the last segment is extrapolated.
    int k = 1;
    while (k < m_nKeys - 2 && fNow >= m_Keys[k + 1].fTime)
        k++;
    m_nSegment = k;
    const float t0 = m_Keys[k].fTime;
    const float t1 = m_Keys[k + 1].fTime;
    const float f = (fNow - t0) / (t1 - t0);
    D3DXVec3CatmullRom(&m_vAttractor, &m_Keys[k - 1].vPos, &m_Keys[k].vPos, &m_Keys[k + 1].vPos,
                       &m_Keys[k + 2].vPos, f);
}

// A new segment when the current one is done, then the head and the trail.
void CFireflies::MoveFlyer(FLYER* pFlyer, float fNow)
{
    FLYER& f = *pFlyer;
    if (f.fU >= 1.0f) {
        f.fSpawnTime = fNow;
        f.fDuration = RandomFloat(1.0f, 1.5f);
        f.fU -= 1.0f;
        f.vPath[0] = f.vPath[1];
        f.vPath[1] = f.vPath[2];
        f.vPath[2] = f.vPath[3];
        f.vPath[3] = RandomPoint(m_vAttractor, 3.0f * m_fSpread);
    }
    for (int j = 0; j < FLYER_POINTS; j++) {
        float u = f.fU - TRAIL_STEP * j;
        if (u < 0.0f)
            u = 0.0f;
        D3DXVec3CatmullRom(&f.vPoints[j], &f.vPath[0], &f.vPath[1], &f.vPath[2], &f.vPath[3], u);
        if (j > 0) {
            const D3DXVECTOR3 d = f.vPoints[j] - f.vPoints[j - 1];
            if (D3DXVec3Length(&d) > TRAIL_MAX_GAP) {
                D3DXVECTOR3 n;
                D3DXVec3Normalize(&n, &d);
                f.vPoints[j] = f.vPoints[0] + n * TRAIL_MAX_GAP * (float)j;
            }
        }
    }
}

// The same square for every point, facing -z; only the colour differs.
void CFireflies::WriteQuad(FIREFLYVERTEX* pQuad, D3DCOLOR dwDiffuse)
{
    static const float s_Corners[4][4] = {
        {-1.0f, 1.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f, 0.0f}, {1.0f, -1.0f, 1.0f, 1.0f}, {-1.0f, -1.0f, 0.0f, 1.0f}};
    for (int v = 0; v < 4; v++) {
        FIREFLYVERTEX& q = pQuad[v];
        q.x = s_Corners[v][0];
        q.y = s_Corners[v][1];
        q.z = 0.0f;
        q.nx = q.ny = q.nz = 0.0f;
        q.diffuse = dwDiffuse;
        q.tu = s_Corners[v][2];
        q.tv = s_Corners[v][3];
    }
}

HRESULT CFireflies::Update(float fNow)
{
    if (m_nFlyers < 1)
        return S_OK;
    if (m_pVB == NULL)
        return E_FAIL;  // never created
    MoveAttractor(fNow);

    BYTE* pData = NULL;
    HRESULT hr = m_pVB->Lock(0, 0, &pData, 0);
    if (FAILED(hr))
        return hr;
    FIREFLYVERTEX* pVertices = (FIREFLYVERTEX*)pData;

    D3DXVECTOR3 vEye;
    g_Camera.GetEye(&vEye);
    // Fireflies fade with their depth distance from this plane.
    const float fFocusZ = vEye.z + 30.0f;

    for (int i = 0; i < m_nFlyers; i++) {
        FLYER& f = m_Flyers[i];
        f.fAge = fNow - f.fSpawnTime;
        f.fU = f.fAge / f.fDuration;
        if (!f.bAlive) {
            if (fNow > f.fSpawnTime)
                f.bAlive = 1;
            else
                continue;
        }
        MoveFlyer(&f, fNow);
        for (int j = 0; j < FLYER_POINTS; j++) {
            float fAlpha = (1.0f - j / 3.0f) * 255.0f * (1.0f - fabsf(f.vPoints[j].z - fFocusZ) / 40.0f);
            if (fAlpha < 0.0f)
                fAlpha = 0.0f;
            if (fAlpha > 255.0f)
                fAlpha = 255.0f;
            WriteQuad(pVertices + (4 * i + j) * 4, ((DWORD)fAlpha << 24) | 0x00FFFFFF);
        }
    }
    m_pVB->Unlock();

    m_Light.Position.x = m_Flyers[0].vPoints[0].x;
    m_Light.Position.z = m_Flyers[0].vPoints[0].z;
    if (m_Flyers[0].bAlive) {
        const float c = Interpolate(0.0f, 56.0f, 11.0f, fNow, 13.0f);
        m_Light.Diffuse.r = m_Light.Diffuse.g = m_Light.Diffuse.b = c;
    }
    g_pd3dDevice->SetLight(FIREFLY_LIGHT, &m_Light);
    return S_OK;
}

HRESULT CFireflies::Render()
{
    if (m_nFlyers < 1)
        return S_OK;
    IDirect3DDevice8* pDev = g_pd3dDevice;
    pDev->SetRenderState(D3DRS_AMBIENT, 0);
    pDev->SetVertexShader(FVF_FIREFLYVERTEX);
    pDev->SetStreamSource(0, m_pVB, sizeof(FIREFLYVERTEX));
    pDev->SetRenderState(D3DRS_LIGHTING, FALSE);
    pDev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    pDev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    pDev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    pDev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    pDev->SetTexture(0, m_pTexture);
    // The colour operation stays as the water left it: texture times diffuse.
    pDev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    pDev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);

    for (int i = 0; i < m_nFlyers; i++) {
        const FLYER& f = m_Flyers[i];
        if (!f.bAlive)
            continue;
        for (int j = FLYER_POINTS - 1; j >= 0; j--) {  // tail first, head on top
            D3DXMATRIX matWorld;
            D3DXMatrixTranslation(&matWorld, f.vPoints[j].x, f.vPoints[j].y, f.vPoints[j].z);
            pDev->SetTransform(D3DTS_WORLD, &matWorld);
            HRESULT hr = pDev->DrawPrimitive(D3DPT_TRIANGLEFAN, (4 * i + j) * 4, 2);
            if (FAILED(hr))
                return hr;
        }
    }

    pDev->SetTransform(D3DTS_WORLD, &g_matIdentity);
    pDev->SetRenderState(D3DRS_LIGHTING, TRUE);
    pDev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    pDev->SetTexture(0, NULL);
    return S_OK;
}

void CFireflies::Release()
{
    SAFE_RELEASE(m_pVB);
    SAFE_RELEASE(m_pTexture);
}

void EmitFireflyBatches(CFireflies* pFireflies, float fNow)
{
    pFireflies->Emit(1, D3DXVECTOR3(30.0f, 17.0f, 20.0f), 10.7f, fNow, 0.0f);
    pFireflies->Emit(4, D3DXVECTOR3(-30.0f, 3.0f, -40.0f), 15.0f, fNow, 1.0f);
    pFireflies->Emit(6, D3DXVECTOR3(0.0f, 15.0f, 30.0f), 20.5f, fNow, 0.7f);
    pFireflies->Emit(8, D3DXVECTOR3(10.0f, 13.0f, -40.0f), 32.0f, fNow, 0.8f);
}

BOOL g_bFirefliesStart = TRUE;

HRESULT DrawFireflies(float s)
{
    if (g_bFirefliesStart) {
        EmitFireflyBatches(&g_Fireflies, s);
        g_bFirefliesStart = FALSE;
    }
    // Drawn even after a failed update: the quads of the last frame stand.
    const HRESULT hrUpdate = g_Fireflies.Update(s);
    const HRESULT hrRender = g_Fireflies.Render();
    return FAILED(hrUpdate) ? hrUpdate : hrRender;
}

void ReleaseFireflies()
{
    g_Fireflies.Release();
}
