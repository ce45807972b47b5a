// Metaballs: field, marching cubes, the sphere-mapped surface.
#include "effects/metaballs.h"

#include <cmath>

#include "base/shared.h"
#include "base/timeline.h"
#include "gfx/stage_state.h"
#include "gfx/texture_display.h"
#include "util/camera.h"
#include "util/interpolate.h"

CMetaballs g_Metaballs;

// Where the balls sit at scene time 0; each frame rotates them about the origin.
static const D3DXVECTOR3 s_vBallBase[METABALL_BALLS] = {
    D3DXVECTOR3(-15.0f, 7.5f, 12.0f),
    D3DXVECTOR3(0.0f, -10.5f, 6.0f),
    D3DXVECTOR3(15.0f, 9.0f, -9.0f),
    D3DXVECTOR3(0.0f, -15.0f, 15.0f),
};

// The grid spans [-35, -35 + 10 s] on every axis, s = 70 / 9.
static const float s_fCellEdge = 70.0f / 9.0f;

// Coordinate of a cell's low (nHigh 0) or high (nHigh 1) face along one axis.
// The high face is computed from the cell's own minimum, as every cell's
// corners are; it need not equal the next cell's low face to the last bit.
static inline float GridCoord(int i, int nHigh)
{
    const float b = (float)i * 70.0f / 9.0f - 35.0f;
    return nHigh ? b + s_fCellEdge : b;
}

// One ball's share added to a corner's value, from the squared distance:
// the linear fall-off 1 - d / R inside the radius, the sum held in [0, 1].
// Beyond the radius d / R is at least 1 and the share exactly 0, so the
// square root is skipped there (R * R = 169 is exact).
static inline float AddBall(float fVal, float fDistSq, float fRadius)
{
    if (fDistSq >= fRadius * fRadius)
        return fVal;
    float f = std::sqrt(fDistSq) / fRadius;
    if (!(f < 1.0f))
        f = 1.0f;
    fVal = fVal + (1.0f - f);
    if (!(fVal < 1.0f))
        fVal = 1.0f;
    if (!(fVal > 0.0f))
        fVal = 0.0f;
    return fVal;
}

CMetaballs::CMetaballs()
    : m_pMesh(NULL), m_pEnvTexture(NULL), m_pWoodTexture(NULL), m_pVB(NULL), m_nBalls(0), m_nTriangles(0)
{
    for (int i = 0; i < METABALL_BALLS; i++) {
        m_Balls[i].vPos = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        m_Balls[i].fRadius = 0.0f;
    }
}

HRESULT CMetaballs::Create()
{
    HRESULT hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene04\\envmap2.jpg", &m_pEnvTexture)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene04\\wood.jpg", &m_pWoodTexture)))
        return hr;
    hr = D3DXCreateMeshFVF(METABALL_FACES, METABALL_VERTS, D3DXMESH_MANAGED, FVF_METAVERTEX, g_pd3dDevice, &m_pMesh);
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = m_pMesh->GetVertexBuffer(&m_pVB)))
        return hr;

    m_nBalls = METABALL_BALLS;
    for (int i = 0; i < m_nBalls; i++) {
        m_Balls[i].vPos = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        m_Balls[i].fRadius = METABALL_RADIUS;
    }
    return S_OK;
}

HRESULT CMetaballs::Release()
{
    SAFE_RELEASE(m_pMesh);
    SAFE_RELEASE(m_pEnvTexture);
    SAFE_RELEASE(m_pWoodTexture);
    SAFE_RELEASE(m_pVB);
    return S_OK;
}

void CMetaballs::SetCellCorners(CUBECELL* pCell, int i, int j, int k)
{
    for (int c = 0; c < CUBE_CORNERS; c++) {
        const int* o = g_nCornerOffset[c];
        pCell->p[c] = D3DXVECTOR3(GridCoord(i, o[0]), GridCoord(j, o[1]), GridCoord(k, o[2]));
        pCell->val[c] = 0.0f;
    }
}

void CMetaballs::ComputeField(CUBECELL* pCell) const
{
    for (int c = 0; c < CUBE_CORNERS; c++) {
        float fVal = 0.0f;
        for (int j = 0; j < m_nBalls; j++) {
            const D3DXVECTOR3 d = pCell->p[c] - m_Balls[j].vPos;
            fVal = AddBall(fVal, d.x * d.x + d.y * d.y + d.z * d.z, m_Balls[j].fRadius);
        }
        pCell->val[c] = fVal;
    }
}

D3DXVECTOR3 CMetaballs::InterpolateEdge(float fIso, const D3DXVECTOR3& pA, const D3DXVECTOR3& pB, float fA, float fB)
{
    const float fEpsilon = 0.00001f;
    if (std::fabs(fIso - fA) < fEpsilon)
        return pA;
    if (std::fabs(fIso - fB) < fEpsilon)
        return pB;
    if (std::fabs(fA - fB) < fEpsilon)
        return pA;
    const float mu = (fIso - fA) / (fB - fA);
    return D3DXVECTOR3(pA.x + mu * (pB.x - pA.x), pA.y + mu * (pB.y - pA.y), pA.z + mu * (pB.z - pA.z));
}

int CMetaballs::PolygoniseCell(const CUBECELL& cell, float fIso, CELLTRIANGLE pTriangles[CUBE_MAX_TRIANGLES])
{
    int nIndex = 0;
    for (int c = 0; c < CUBE_CORNERS; c++) {
        if (cell.val[c] < fIso)
            nIndex |= 1 << c;
    }
    // The mask 0xFF belongs to the two checkerboard cases 0x55 and 0xAA
    // only; they are left open, as the show has always drawn them.
    const WORD wMask = g_wEdgeTable[nIndex];
    if (wMask == 0 || wMask == 0xFF)
        return 0;

    D3DXVECTOR3 vEdge[CUBE_EDGES];
    for (int e = 0; e < CUBE_EDGES; e++) {
        if (wMask & (1 << e)) {
            const int a = g_nEdgeCorners[e][0];
            const int b = g_nEdgeCorners[e][1];
            vEdge[e] = InterpolateEdge(fIso, cell.p[a], cell.p[b], cell.val[a], cell.val[b]);
        }
    }

    const signed char* pRow = g_cTriTable[nIndex];
    int n = 0;
    for (int r = 0; r + 2 < 16 && pRow[r] != -1; r += 3) {
        pTriangles[n].p[0] = vEdge[pRow[r]];
        pTriangles[n].p[1] = vEdge[pRow[r + 1]];
        pTriangles[n].p[2] = vEdge[pRow[r + 2]];
        n++;
    }
    return n;
}

HRESULT CMetaballs::Update(float fTime)
{
    const float a = 3.0f * fTime;
    for (int i = 0; i < m_nBalls; i++) {
        D3DXMATRIX m;
        D3DXMatrixRotationYawPitchRoll(&m, (i % 2 == 0) ? a : -a, a, a);
        D3DXVec3TransformCoord(&m_Balls[i].vPos, &s_vBallBase[i], &m);
    }
    BuildSurface();  // on failure the previous surface is drawn again
    return S_OK;
}

HRESULT CMetaballs::BuildSurface()
{
    if (m_pVB == NULL)
        return E_FAIL;
    BYTE* pData = NULL;
    HRESULT hr = m_pVB->Lock(0, 0, &pData, 0);
    if (FAILED(hr))
        return hr;
    METAVERTEX* pVertices = (METAVERTEX*)pData;
    m_nTriangles = 0;

    // Every corner coordinate is one of twenty per axis (a cell's low or
    // high face), so each ball's squared distance along each axis is worked
    // out once; a corner's squared distance is then two additions, in the
    // order a vector length sums its terms.
    float fAxisSq[METABALL_BALLS][3][METABALL_GRID][2];
    for (int b = 0; b < m_nBalls; b++) {
        const float fCentre[3] = {m_Balls[b].vPos.x, m_Balls[b].vPos.y, m_Balls[b].vPos.z};
        for (int axis = 0; axis < 3; axis++) {
            for (int i = 0; i < METABALL_GRID; i++) {
                for (int h = 0; h < 2; h++) {
                    const float d = GridCoord(i, h) - fCentre[axis];
                    fAxisSq[b][axis][i][h] = d * d;
                }
            }
        }
    }

    CUBECELL cell;
    CELLTRIANGLE triangles[CUBE_MAX_TRIANGLES];
    for (int i = 0; i < METABALL_GRID; i++) {
        for (int j = 0; j < METABALL_GRID; j++) {
            for (int k = 0; k < METABALL_GRID; k++) {
                SetCellCorners(&cell, i, j, k);
                for (int c = 0; c < CUBE_CORNERS; c++) {
                    const int* o = g_nCornerOffset[c];
                    float fVal = 0.0f;
                    for (int b = 0; b < m_nBalls; b++) {
                        const float fDistSq =
                            fAxisSq[b][0][i][o[0]] + fAxisSq[b][1][j][o[1]] + fAxisSq[b][2][k][o[2]];
                        fVal = AddBall(fVal, fDistSq, m_Balls[b].fRadius);
                    }
                    cell.val[c] = fVal;
                }

                const int n = PolygoniseCell(cell, METABALL_ISO, triangles);
                METAVERTEX* pOut = pVertices + 3 * m_nTriangles;
                for (int t = 0; t < n; t++) {
                    for (int v = 0; v < 3; v++, pOut++) {
                        const D3DXVECTOR3& p = triangles[t].p[v];
                        // Normals point away from the world origin, not down the field.
                        D3DXVECTOR3 vNormal;
                        D3DXVec3Normalize(&vNormal, &p);
                        pOut->x = p.x;
                        pOut->y = p.y;
                        pOut->z = p.z;
                        pOut->nx = vNormal.x;
                        pOut->ny = vNormal.y;
                        pOut->nz = vNormal.z;
                    }
                }
                m_nTriangles += n;
            }
        }
    }

    m_pVB->Unlock();
    return S_OK;
}

HRESULT CMetaballs::Render()
{
    // The 1937-pixel panorama slides from its left edge at the screen's left
    // to its right edge at the screen's right over the whole scene.
    const float fPanoramaWidth = 1937.0f;
    ShowTexture(m_pWoodTexture, Interpolate(0.0f, g_fScreenWidth - fPanoramaWidth, SCENE4_START, g_fShowTime, SCENE5_START),
                0.0f, fPanoramaWidth, g_fScreenHeight, 255.0f, 1.0f, FALSE);

    D3DMATERIAL8 mtrl;
    GetDefaultMaterial(&mtrl);
    D3DXMATRIX matView;
    g_pd3dDevice->SetTexture(0, m_pWoodTexture);
    g_pd3dDevice->SetVertexShader(FVF_METAVERTEX);
    g_pd3dDevice->SetStreamSource(0, m_pVB, sizeof(METAVERTEX));
    g_pd3dDevice->SetMaterial(&mtrl);
    g_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    g_pd3dDevice->SetTransform(D3DTS_VIEW, g_Camera.GetViewMatrix(&matView));

    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_MIRROR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_MIRROR);
    SetSphereMapTexGen();

    // A surface of no triangles has nothing to draw (and a zero-count draw
    // is an invalid call).
    if (m_nTriangles > 0) {
        const HRESULT hr = g_pd3dDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0, (UINT)m_nTriangles);
        if (FAILED(hr))
            return hr;
    }

    EndTexGen();
    g_pd3dDevice->SetTexture(0, NULL);
    return S_OK;
}
