// The path, rings and index pattern both tunnels build on.
#include "effects/tunnel_path.h"

#include <cstring>

#include "base/shared.h"
#include "util/camera.h"
#include "util/random.h"

float ReadTunnelClock(TUNNELCLOCK* pClock, float fTime)
{
    if (!pClock->bStarted) {
        pClock->bStarted = TRUE;
        pClock->fStart = fTime;
    }
    return fTime - pClock->fStart;
}

void NewSplinePoint(SPLINEPOINT* pPoint, int* pnPoints, float fRange, BOOL bIndexed)
{
    // y is drawn before x.
    const float y = RandomFloat(-fRange, fRange);
    const float x = RandomFloat(-fRange, fRange);
    pPoint->vPos = D3DXVECTOR3(x, y, (float)(*pnPoints * TUNNEL_POINT_SPACING));
    pPoint->fIndex = bIndexed ? (float)*pnPoints : 0.0f;
    (*pnPoints)++;
}

void UpdateSplinePath(SPLINEPOINT pPoints[TUNNEL_PATH_POINTS], int* pnPoints, BOOL* pbPathNew, BOOL bAdvance,
                      const TUNNELPATHDESC& desc)
{
    if (*pbPathNew) {
        *pnPoints = 0;
        for (int i = 0; i < TUNNEL_PATH_POINTS; i++)
            NewSplinePoint(&pPoints[i], pnPoints, desc.fRange, desc.bIndexFirstSix);
        *pbPathNew = FALSE;
    }
    if (bAdvance) {
        for (int i = 0; i < TUNNEL_PATH_POINTS - 1; i++)
            pPoints[i] = pPoints[i + 1];
        NewSplinePoint(&pPoints[TUNNEL_PATH_POINTS - 1], pnPoints, desc.fRange, TRUE);
    }
}

// Position of path point n; one past the end continues the last step, so the
// fourth segment's rings need no point the path does not hold.
static D3DXVECTOR3 PathPosition(const SPLINEPOINT pPoints[TUNNEL_PATH_POINTS], int n)
{
    const int nLast = TUNNEL_PATH_POINTS - 1;
    if (n <= nLast)
        return pPoints[n].vPos;
    return pPoints[nLast].vPos + (pPoints[nLast].vPos - pPoints[nLast - 1].vPos);
}

D3DXVECTOR3 TunnelPathPoint(const SPLINEPOINT pPoints[TUNNEL_PATH_POINTS], int nFirst, float s)
{
    const D3DXVECTOR3 p0 = PathPosition(pPoints, nFirst);
    const D3DXVECTOR3 p1 = PathPosition(pPoints, nFirst + 1);
    const D3DXVECTOR3 p2 = PathPosition(pPoints, nFirst + 2);
    const D3DXVECTOR3 p3 = PathPosition(pPoints, nFirst + 3);
    D3DXVECTOR3 c;
    D3DXVec3CatmullRom(&c, &p0, &p1, &p2, &p3, s);
    return c;
}

void LookAlongTunnelPath(const SPLINEPOINT pPoints[TUNNEL_PATH_POINTS], int nEyeFirst, float s, float fLead,
                         D3DXVECTOR3* pEye, D3DXVECTOR3* pTarget)
{
    *pEye = TunnelPathPoint(pPoints, nEyeFirst, s);
    float s2 = s + fLead;
    int nOffset = 0;
    if (s2 >= 1.0f) {
        s2 -= 1.0f;
        nOffset = 1;
    }
    *pTarget = TunnelPathPoint(pPoints, nOffset + 1, s2);
}

// The leading fields every tube vertex starts with.
struct RINGVERTEXHEAD {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
};

HRESULT BuildTunnelRings(const SPLINEPOINT pPoints[TUNNEL_PATH_POINTS], const TUNNELRINGDESC& desc, float fRadius,
                         RINGSHAPEFUNC pfnShape, BYTE* pSlots, UINT nStride,
                         void (*pfnExtra)(BYTE* pVertex, float fRingU, float fRingV))
{
    int numVerts = 0;
    for (int i = 1; i <= TUNNEL_SEGMENTS; i++) {
        for (int j = 0; j < desc.nRings; j++) {
            const float fRingU = (float)j / (float)(desc.nRings - 1);
            float s = fRingU;
            if (s > 1.0f) {
                MessageBoxA(NULL, "fSplineSegProgress > 1.0f", NULL, MB_OK);
                s -= 1.0f;
            }
            const D3DXVECTOR3 c = TunnelPathPoint(pPoints, i - 1, s);
            for (int k = 0; k < desc.nRingVerts; k++) {
                if (numVerts > desc.nSlots - 2) {
                    MessageBoxA(NULL, desc.szCapacityGuard, NULL, MB_OK);
                    return E_FAIL;
                }
                float a, r;
                pfnShape(j, k, fRadius, &a, &r);

                RINGVERTEXHEAD head;
                head.x = cosf(a) * r + c.x;
                head.y = sinf(a) * r + c.y;
                head.z = c.z;
                // Facing inwards, from the vertex's own (x, y).
                D3DXVECTOR3 n(head.x, head.y, 0.0f);
                D3DXVec3Normalize(&n, &n);
                head.nx = -n.x;
                head.ny = -n.y;
                head.nz = -n.z;
                head.diffuse = 0xFFFFFFFF;

                BYTE* pVertex = pSlots + (size_t)numVerts * nStride;
                memcpy(pVertex, &head, sizeof head);
                if (pfnExtra)
                    pfnExtra(pVertex, fRingU, (float)k / (float)(desc.nRingVerts - 1));
                memcpy(pVertex + nStride, pVertex, nStride);
                numVerts += 2;
            }
        }
    }
    return S_OK;
}

HRESULT FillTunnelIndices(WORD* pIndices, int nIndices, int nRingVerts, BOOL bReverse, const char* szGuard)
{
    const int nRingSlots = 2 * nRingVerts;
    for (int q = 0; 6 * q < nIndices; q++) {
        const int i = 6 * q;
        const int a = 2 * q;
        if (i + 5 > nIndices - 1) {
            MessageBoxA(NULL, szGuard, NULL, MB_OK);
            return E_FAIL;
        }
        // Triangles (a + 2, a + R, a) and (a + R + 2, a + R, a + 2), R one
        // ring further on; reversed, the first and last of each swap.
        const int tri[6] = {a + 2, a + nRingSlots, a, a + nRingSlots + 2, a + nRingSlots, a + 2};
        for (int t = 0; t < 2; t++) {
            const int* pTri = &tri[3 * t];
            pIndices[i + 3 * t + 0] = (WORD)(bReverse ? pTri[2] : pTri[0]);
            pIndices[i + 3 * t + 1] = (WORD)pTri[1];
            pIndices[i + 3 * t + 2] = (WORD)(bReverse ? pTri[0] : pTri[2]);
        }
    }
    return S_OK;
}

void SetUpTunnelScene(DWORD dwLightOff, BOOL bLighting, BOOL bFog)
{
    g_Camera.SetView(D3DXVECTOR3(0.0f, 10.0f, -50.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    g_Camera.SetProjection(D3DX_PI / 4.0f, g_fAspect, 1.0f, 200.0f);
    D3DXMATRIX mat;
    g_pd3dDevice->SetTransform(D3DTS_WORLD, &g_matIdentity);
    g_pd3dDevice->SetTransform(D3DTS_VIEW, g_Camera.GetViewMatrix(&mat));
    g_pd3dDevice->SetTransform(D3DTS_PROJECTION, g_Camera.GetProjMatrix(&mat));
    g_pd3dDevice->LightEnable(dwLightOff, FALSE);

    g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, bLighting);
    g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    g_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, bFog);
    g_pd3dDevice->SetRenderState(D3DRS_FOGCOLOR, 0xFF000000);
    g_pd3dDevice->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    g_pd3dDevice->SetRenderState(D3DRS_FOGSTART, FtoDW(0.0f));
    g_pd3dDevice->SetRenderState(D3DRS_FOGEND, FtoDW(150.0f));
    g_pd3dDevice->SetRenderState(D3DRS_FOGDENSITY, FtoDW(1.0f));
}
