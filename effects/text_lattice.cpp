// The text lattice: ribbons, their scrolling text, the tumbling camera.
#include "effects/text_lattice.h"

#include "base/shared.h"
#include "gfx/stage_state.h"
#include "util/camera.h"
#include "util/interpolate.h"

const float LATTICE_CELL = 100.0f / 19.0f;

CTextLattice g_TextLattice;

// Each family starts its ribbons at this offset from the cell corner and
// ends them 100 units on; the shifts of +1, 0 and -1 keep ribbons of
// different families from meeting.
static const float s_fFamilyStart[3] = {-49.0f, -50.0f, -51.0f};
static const float s_fFamilyEnd[3] = {51.0f, 50.0f, 49.0f};
// The text slides along each family at its own multiple of the step.
static const float s_fFamilySpeed[3] = {1.0f, 1.2f, 2.5f};

int LatticeCell(float p)
{
    return (int)(p / LATTICE_CELL);
}

void MakeRibbon(TUNNELVERTEX out[4], D3DXVECTOR3 p1, D3DXVECTOR3 p2, float fRepeat, float fUOffset)
{
    const float dx = (p2.y != p1.y) ? 0.5f : 0.0f;
    const float dy = (p2.x != p1.x || p2.z != p1.z) ? -0.5f : 0.0f;
    const D3DXVECTOR3 pos[4] = {p1, p2, D3DXVECTOR3(p2.x + dx, p2.y + dy, p2.z), D3DXVECTOR3(p1.x + dx, p1.y + dy, p1.z)};
    const float tu[4] = {fUOffset, fUOffset + fRepeat, fUOffset + fRepeat, fUOffset};
    const float tv[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    for (int i = 0; i < 4; i++) {
        out[i].x = pos[i].x;
        out[i].y = pos[i].y;
        out[i].z = pos[i].z;
        out[i].nx = 0.0f;
        out[i].ny = 1.0f;
        out[i].nz = 0.0f;
        out[i].diffuse = 0xFFFFFFFF;
        out[i].tu = tu[i];
        out[i].tv = tv[i];
    }
}

CTextLattice::CTextLattice()
    : m_pSentenceTexture(NULL),
      m_pOverlayTexture(NULL),
      m_pScrollTexture(NULL),
      m_pVB(NULL),
      m_vLegStart(0.0f, 0.0f, 0.0f),
      m_vLegEnd(-63.75f, -71.25f, -56.25f),
      m_fLegStart(0.0f),
      m_fLegEnd(20.0f)
{
    for (int k = 0; k < 3; k++) {
        m_nCell[k] = 0;
        m_fScroll[k] = 0.0f;
    }
}

HRESULT CTextLattice::BuildTextLattice(int a, int b, int c)
{
    if (m_pVB == NULL)
        return E_FAIL;
    BYTE* pData = NULL;
    const HRESULT hr = m_pVB->Lock(0, 0, &pData, 0);
    if (FAILED(hr))
        return hr;
    TUNNELVERTEX* pOut = (TUNNELVERTEX*)pData;

    const int nCell[3] = {a, b, c};
    for (int f = 0; f < 3; f++) {
        // Family f runs along axis f; its outer loop walks the lower of the
        // other two axes, its inner loop the higher.
        const int nOuter = (f == 0) ? 1 : 0;
        const int nInner = (f == 2) ? 1 : 2;
        const float fCorner = (float)nCell[f] * LATTICE_CELL;
        const float fUOffset = (float)nCell[f] / 19.0f + m_fScroll[f];
        for (int i = 0; i < LATTICE_SIDE; i++) {
            for (int j = 0; j < LATTICE_SIDE; j++) {
                float p1[3], p2[3];
                p1[f] = fCorner + s_fFamilyStart[f];
                p2[f] = fCorner + s_fFamilyEnd[f];
                p1[nOuter] = p2[nOuter] = (float)(nCell[nOuter] + i) * LATTICE_CELL + s_fFamilyStart[f];
                p1[nInner] = p2[nInner] = (float)(nCell[nInner] + j) * LATTICE_CELL + s_fFamilyStart[f];
                MakeRibbon(pOut, D3DXVECTOR3(p1[0], p1[1], p1[2]), D3DXVECTOR3(p2[0], p2[1], p2[2]),
                           LATTICE_TEXT_REPEAT, fUOffset);
                pOut += 4;
            }
        }
    }

    m_pVB->Unlock();
    return S_OK;
}

HRESULT CTextLattice::ScrollTextLattice(float fStep)
{
    if (m_pVB == NULL)
        return E_FAIL;
    BYTE* pData = NULL;
    const HRESULT hr = m_pVB->Lock(0, 0, &pData, 0);
    if (FAILED(hr))
        return hr;
    TUNNELVERTEX* pVertex = (TUNNELVERTEX*)pData;
    for (int f = 0; f < 3; f++) {
        const float d = -s_fFamilySpeed[f] * fStep;
        m_fScroll[f] += d;
        for (int v = 0; v < LATTICE_FAMILY_VERTS; v++, pVertex++)
            pVertex->tu += d;
    }
    m_pVB->Unlock();
    return S_OK;
}

HRESULT CTextLattice::UpdateTextLattice(float fTime)
{
    // The camera drifts along its leg, always looking the same far-away way.
    const D3DXVECTOR3 vEye(Interpolate(m_vLegStart.x, m_vLegEnd.x, m_fLegStart, fTime, m_fLegEnd),
                           Interpolate(m_vLegStart.y, m_vLegEnd.y, m_fLegStart, fTime, m_fLegEnd),
                           Interpolate(m_vLegStart.z, m_vLegEnd.z, m_fLegStart, fTime, m_fLegEnd));
    g_Camera.SetView(vEye, D3DXVECTOR3(-80000.0f, -80000.0f, -60000.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f));

    // and tumbles about its own axes.
    D3DXMATRIX matView, matTumble, matTumbledView;
    D3DXMatrixRotationYawPitchRoll(&matTumble, fTime / 3.0f, fTime / 3.0f, fTime / 3.0f);
    g_Camera.GetViewMatrix(&matView);
    g_pd3dDevice->SetTransform(D3DTS_VIEW, &matView);
    D3DXMatrixMultiply(&matTumbledView, &matView, &matTumble);
    g_pd3dDevice->SetTransform(D3DTS_VIEW, &matTumbledView);

    // After the first leg (whose y differs) every leg steps by the same amount.
    if (fTime >= m_fLegEnd) {
        m_vLegStart = m_vLegEnd;
        m_vLegEnd += D3DXVECTOR3(-63.75f, -47.5f, -56.25f);
        m_fLegStart += 20.0f;
        m_fLegEnd += 20.0f;
    }

    D3DXVECTOR3 vCamera;
    g_Camera.GetEye(&vCamera);
    const int nCell[3] = {LatticeCell(vCamera.x), LatticeCell(vCamera.y), LatticeCell(vCamera.z)};
    BOOL bMoved = FALSE;
    for (int k = 0; k < 3; k++) {
        if (nCell[k] != m_nCell[k]) {
            m_nCell[k] = nCell[k];
            bMoved = TRUE;
        }
    }

    // Per frame, not per second: the text speed follows the frame rate.
    ScrollTextLattice(LATTICE_SCROLL_STEP);
    if (bMoved)
        BuildTextLattice(m_nCell[0], m_nCell[1], m_nCell[2]);
    return S_OK;
}

HRESULT CTextLattice::DrawTextLattice()
{
    D3DXMATRIX matProj;
    g_pd3dDevice->SetTransform(D3DTS_WORLD, &g_matIdentity);
    g_pd3dDevice->SetTransform(D3DTS_PROJECTION, g_Camera.GetProjMatrix(&matProj));

    // No material here: the lattice is lit with the one the tunnel left.
    g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    EnableAlphaBlending();
    SetStageModulate();

    g_pd3dDevice->SetTexture(0, m_pSentenceTexture);
    g_pd3dDevice->SetVertexShader(FVF_TUNNELVERTEX);
    g_pd3dDevice->SetStreamSource(0, m_pVB, sizeof(TUNNELVERTEX));

    // Unsorted and blended over each other, so no depth writes.
    g_pd3dDevice->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    for (UINT nRibbon = 0; nRibbon < LATTICE_RIBBONS; nRibbon++) {
        const HRESULT hr = g_pd3dDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, 4 * nRibbon, 2);
        if (FAILED(hr))
            return hr;
    }
    g_pd3dDevice->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    g_pd3dDevice->SetTexture(0, NULL);
    return S_OK;
}

void CTextLattice::Release()
{
    SAFE_RELEASE(m_pSentenceTexture);
    SAFE_RELEASE(m_pOverlayTexture);
    SAFE_RELEASE(m_pScrollTexture);
    SAFE_RELEASE(m_pVB);
}
