// The environment-mapped star and its bead trail.
#include "effects/env_star.h"

#include <new>

#include "base/shared.h"
#include "gfx/stage_state.h"
#include "util/camera.h"

CStarEffect g_Star;

// Bead placement: the offset every bead is turned about the origin, how far
// along the curve the trail spreads (in half turns) and how fast it turns,
// before and from the spiral time.
static const D3DXVECTOR3 BEAD_OFFSET(30.0f, 30.0f, 30.0f);
static const float BEAD_SPREAD_TRAIL = 1.5f;
static const float BEAD_SPREAD_SPIRAL = 6.0f;
static const float BEAD_RATE_TRAIL = 1.5f;
static const float BEAD_RATE_SPIRAL = 0.5f;
static const float BEAD_YAW = -1.1f;
static const float BEAD_ROLL = -1.9f;

static CXFileMesh* NewStarMesh()
{
    return new (std::nothrow) CXFileMesh("CD3DFile_Mesh");
}

CStarEffect::CStarEffect()
    : m_pStarMesh(NewStarMesh()), m_pSphere(NULL), m_pVB(NULL), m_pIB(NULL), m_pEnvTexture(NULL)
{
}

CStarEffect::~CStarEffect()
{
    Release();
}

HRESULT CStarEffect::Create()
{
    HRESULT hr;

    // The container is made at construction; after a failed allocation (or a
    // Release) there is none to load into, so try once more here.
    if (m_pStarMesh == NULL)
        m_pStarMesh = NewStarMesh();
    if (m_pStarMesh == NULL)
        return ReportError(E_OUTOFMEMORY, 0);

    if (FAILED(hr = m_pStarMesh->Create(g_pd3dDevice, "data\\meshes\\scene08\\star.x")))
        return ReportError(hr, MEDIA_NOT_FOUND);

    // Positions and normals only: the texture coordinates come from sphere
    // mapping, and the file's materials are not used.
    m_pStarMesh->ConvertFVF(g_pd3dDevice, D3DFVF_XYZ | D3DFVF_NORMAL);
    m_pStarMesh->EnableMaterials(FALSE);

    ID3DXMesh* pSystemMesh = m_pStarMesh->GetSystemMesh();
    pSystemMesh->GetVertexBuffer(&m_pVB);
    pSystemMesh->GetIndexBuffer(&m_pIB);
    CenterMesh(m_pStarMesh, m_pVB);
    SizeMesh(m_pStarMesh, m_pVB, STAR_RADIUS);
    m_pStarMesh->CreateDeviceMesh(g_pd3dDevice);
    D3DXComputeNormals(pSystemMesh);

    if (FAILED(hr = D3DXCreateSphere(g_pd3dDevice, 1.0f, 9, 5, &m_pSphere, NULL)))
        return ReportError(hr, MEDIA_NOT_FOUND);

    if (FAILED(hr = D3DXCreateTextureFromFileA(g_pd3dDevice, "data\\bitmaps\\scene08\\envmap.jpg", &m_pEnvTexture)))
        return ReportError(hr, 0);
    return S_OK;
}

HRESULT CStarEffect::UpdateCamera(float)
{
    const float t = g_fShowTime;
    if (t < STAR_SPIRAL_TIME) {
        const D3DXVECTOR3 vEye(0.0f, 50.0f, -100.0f);
        const D3DXVECTOR3 vTarget(0.0f, 0.0f, 0.0f);
        const D3DXVECTOR3 vUp(0.0f, 1.0f, 0.0f);
        g_Camera.SetView(vEye, vTarget, vUp);

        // The world turns before the camera looks at it: the whole view tumbles.
        D3DXMATRIX matRotate, matView, matTumble;
        D3DXMatrixRotationYawPitchRoll(&matRotate, 0.5f * t, 0.75f * t, 0.0f);
        g_Camera.GetViewMatrix(&matView);
        D3DXMatrixMultiply(&matTumble, &matRotate, &matView);
        g_pd3dDevice->SetTransform(D3DTS_VIEW, &matTumble);
    }
    return 0;
}

D3DXMATRIX* CStarEffect::GetBeadMatrix(D3DXMATRIX* pOut, int i, float t)
{
    const bool bSpiral = !(t < STAR_SPIRAL_TIME);
    const float k = bSpiral ? BEAD_SPREAD_SPIRAL : BEAD_SPREAD_TRAIL;
    const float r = bSpiral ? BEAD_RATE_SPIRAL : BEAD_RATE_TRAIL;

    const float s = (float)i / (float)(STAR_BEADS - 1) * D3DX_PI * k;
    const float u = t + s;
    D3DXMATRIX matOffset, matRotate;
    D3DXMatrixTranslation(&matOffset, BEAD_OFFSET.x, BEAD_OFFSET.y, BEAD_OFFSET.z);
    D3DXMatrixRotationYawPitchRoll(&matRotate, u * r * BEAD_YAW, 0.0f, u * r * BEAD_ROLL);
    return D3DXMatrixMultiply(pOut, &matOffset, &matRotate);
}

HRESULT CStarEffect::Render()
{
    HRESULT hr;
    const float t = g_fShowTime;

    D3DXMATRIX matWorld;
    D3DXMatrixRotationYawPitchRoll(&matWorld, 0.5f * t, 0.0f, 0.0f);
    g_pd3dDevice->SetTransform(D3DTS_WORLD, &matWorld);

    SetSphereMapTexGen();
    g_pd3dDevice->SetTexture(0, m_pEnvTexture);

    // Materials are off: every subset draws with the environment texture.
    if (m_pStarMesh == NULL)
        return ReportError(E_FAIL, 0);
    if (FAILED(hr = m_pStarMesh->Render(g_pd3dDevice, TRUE, TRUE)))
        return ReportError(hr, 0);

    D3DXMATRIX matBead;
    for (int i = 0; i < STAR_BEADS; i++) {
        GetBeadMatrix(&matBead, i, t);
        g_pd3dDevice->SetTransform(D3DTS_WORLD, &matBead);
        if (m_pSphere != NULL)
            m_pSphere->DrawSubset(0);
    }

    // On the spiral the eye sits at twice the last bead's offset; the new
    // view is drawn with from the next frame on.
    if (!(t < STAR_SPIRAL_TIME)) {
        D3DXVECTOR3 vEye, vTarget, vUp;
        D3DXVec3TransformCoord(&vEye, &BEAD_OFFSET, &matBead);
        g_Camera.SetView(vEye, *g_Camera.GetTarget(&vTarget), *g_Camera.GetUp(&vUp));
        D3DXMATRIX matView;
        g_pd3dDevice->SetTransform(D3DTS_VIEW, g_Camera.GetViewMatrix(&matView));
    }

    EndTexGen();
    return 0;
}

HRESULT CStarEffect::Release()
{
    if (m_pStarMesh != NULL) {
        m_pStarMesh->Destroy();
        delete m_pStarMesh;
        m_pStarMesh = NULL;
    }
    SAFE_RELEASE(m_pSphere);
    SAFE_RELEASE(m_pVB);
    SAFE_RELEASE(m_pIB);
    SAFE_RELEASE(m_pEnvTexture);
    return 0;
}
