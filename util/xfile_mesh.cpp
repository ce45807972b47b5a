// The mesh container and the centring and sizing of its vertices.
#include "util/xfile_mesh.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "util/media_path.h"

CXFileMesh* g_pXFileMesh = NULL;

CXFileMesh::CXFileMesh(const char* szName)
    : m_pSystemMesh(NULL),
      m_pDeviceMesh(NULL),
      m_nMaterials(0),
      m_pMaterialArray(NULL),
      m_ppTextureArray(NULL),
      m_bMaterials(TRUE)
{
    snprintf(m_szName, sizeof(m_szName), "%s", szName ? szName : "");
}

CXFileMesh::~CXFileMesh()
{
    Destroy();
}

HRESULT CXFileMesh::Create(IDirect3DDevice8* pDevice, const char* szFileName)
{
    char szPath[MAX_PATH];
    FindMediaFile(szPath, szFileName);

    ID3DXBuffer* pMaterialBuffer = NULL;
    DWORD nMaterials = 0;
    HRESULT hr = D3DXLoadMeshFromX(szPath, D3DXMESH_SYSTEMMEM, pDevice, NULL, &pMaterialBuffer, &nMaterials,
                                   &m_pSystemMesh);
    if (FAILED(hr))
        return hr;

    if (pMaterialBuffer != NULL && nMaterials > 0) {
        const D3DXMATERIAL* pMaterials = (const D3DXMATERIAL*)pMaterialBuffer->GetBufferPointer();
        m_pMaterialArray = new (std::nothrow) D3DMATERIAL8[nMaterials];
        m_ppTextureArray = new (std::nothrow) IDirect3DTexture8*[nMaterials];
        if (m_pMaterialArray == NULL || m_ppTextureArray == NULL) {
            pMaterialBuffer->Release();
            Destroy();
            return E_OUTOFMEMORY;
        }
        m_nMaterials = nMaterials;
        for (DWORD i = 0; i < nMaterials; i++) {
            m_pMaterialArray[i] = pMaterials[i].MatD3D;
            m_pMaterialArray[i].Ambient = m_pMaterialArray[i].Diffuse;
            m_ppTextureArray[i] = NULL;
            if (pMaterials[i].pTextureFilename != NULL) {
                char szTexture[MAX_PATH];
                FindMediaFile(szTexture, pMaterials[i].pTextureFilename);
                if (FAILED(D3DXCreateTextureFromFileA(pDevice, szTexture, &m_ppTextureArray[i])))
                    m_ppTextureArray[i] = NULL;
            }
        }
    }
    if (pMaterialBuffer != NULL)
        pMaterialBuffer->Release();
    return S_OK;
}

HRESULT CXFileMesh::ConvertFVF(IDirect3DDevice8* pDevice, DWORD dwFVF)
{
    ID3DXMesh* pNewSystemMesh = NULL;
    ID3DXMesh* pNewDeviceMesh = NULL;
    if (m_pSystemMesh != NULL) {
        if (FAILED(m_pSystemMesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM, dwFVF, pDevice, &pNewSystemMesh)))
            return E_FAIL;
    }
    if (m_pDeviceMesh != NULL) {
        if (FAILED(m_pDeviceMesh->CloneMeshFVF(0, dwFVF, pDevice, &pNewDeviceMesh))) {
            if (pNewSystemMesh != NULL)
                pNewSystemMesh->Release();
            return E_FAIL;
        }
    }
    if (m_pSystemMesh != NULL) {
        m_pSystemMesh->Release();
        m_pSystemMesh = pNewSystemMesh;
    }
    if (m_pDeviceMesh != NULL) {
        m_pDeviceMesh->Release();
        m_pDeviceMesh = pNewDeviceMesh;
    }
    if (m_pSystemMesh != NULL)
        D3DXComputeNormals(m_pSystemMesh);
    if (m_pDeviceMesh != NULL)
        D3DXComputeNormals(m_pDeviceMesh);
    return 0;
}

HRESULT CXFileMesh::CreateDeviceMesh(IDirect3DDevice8* pDevice)
{
    if (m_pSystemMesh == NULL)
        return E_FAIL;
    // A device copy made earlier is replaced, not leaked.
    ReleaseDeviceMesh();
    if (FAILED(m_pSystemMesh->CloneMeshFVF(0, m_pSystemMesh->GetFVF(), pDevice, &m_pDeviceMesh))) {
        m_pDeviceMesh = NULL;
        return E_FAIL;
    }
    return 0;
}

HRESULT CXFileMesh::ReleaseDeviceMesh()
{
    if (m_pDeviceMesh != NULL) {
        m_pDeviceMesh->Release();
        m_pDeviceMesh = NULL;
    }
    return 0;
}

HRESULT CXFileMesh::Destroy()
{
    ReleaseDeviceMesh();
    if (m_ppTextureArray != NULL) {
        for (DWORD i = 0; i < m_nMaterials; i++) {
            if (m_ppTextureArray[i] != NULL) {
                m_ppTextureArray[i]->Release();
                m_ppTextureArray[i] = NULL;
            }
        }
    }
    delete[] m_ppTextureArray;
    m_ppTextureArray = NULL;
    delete[] m_pMaterialArray;
    m_pMaterialArray = NULL;
    if (m_pSystemMesh != NULL) {
        m_pSystemMesh->Release();
        m_pSystemMesh = NULL;
    }
    m_nMaterials = 0;
    return 0;
}

HRESULT CXFileMesh::Render(IDirect3DDevice8* pDevice, BOOL bOpaque, BOOL bTranslucent)
{
    if (m_pDeviceMesh == NULL)
        return E_FAIL;
    if (bOpaque) {
        for (DWORD i = 0; i < m_nMaterials; i++) {
            if (m_bMaterials) {
                if (m_pMaterialArray[i].Diffuse.a < 1.0f)
                    continue;
                pDevice->SetMaterial(&m_pMaterialArray[i]);
                pDevice->SetTexture(0, m_ppTextureArray[i]);
            }
            m_pDeviceMesh->DrawSubset(i);
        }
    }
    if (bTranslucent && m_bMaterials) {
        for (DWORD i = 0; i < m_nMaterials; i++) {
            if (m_pMaterialArray[i].Diffuse.a == 1.0f)
                continue;
            pDevice->SetMaterial(&m_pMaterialArray[i]);
            pDevice->SetTexture(0, m_ppTextureArray[i]);
            m_pDeviceMesh->DrawSubset(i);
        }
    }
    return 0;
}

// Moves the positions (the first three floats of each vertex) to
// (position - centre) * scale, or to (position - centre) when scale is 0.
static HRESULT MoveVertices(CXFileMesh* pMesh, IDirect3DVertexBuffer8* pVB, const char* szNullMessage,
                            bool bScale, float fSize)
{
    if (pVB == NULL || pMesh == NULL || pMesh->GetSystemMesh() == NULL) {
        MessageBoxA(NULL, szNullMessage, NULL, MB_OK);
        return E_FAIL;
    }
    ID3DXMesh* pSystemMesh = pMesh->GetSystemMesh();
    const DWORD dwFVF = pSystemMesh->GetFVF();
    const UINT nStride = D3DXGetFVFVertexSize(dwFVF);
    const DWORD nVertices = pSystemMesh->GetNumVertices();

    // The buffer must hold the mesh's vertices, or the moves would run past it.
    D3DVERTEXBUFFER_DESC desc;
    if (FAILED(pVB->GetDesc(&desc)) || (size_t)nStride * nVertices > desc.Size)
        return E_FAIL;

    BYTE* pVertices = NULL;
    if (FAILED(pVB->Lock(0, 0, &pVertices, 0)))
        return E_FAIL;
    D3DXVECTOR3 vCentre;
    float fRadius = 0.0f;
    D3DXComputeBoundingSphere(pVertices, nVertices, dwFVF, &vCentre, &fRadius);
    const float fScale = bScale ? fSize / fRadius : 1.0f;
    for (DWORD i = 0; i < nVertices; i++) {
        float* pPos = (float*)(pVertices + (size_t)nStride * i);
        pPos[0] = (pPos[0] - vCentre.x) * fScale;
        pPos[1] = (pPos[1] - vCentre.y) * fScale;
        pPos[2] = (pPos[2] - vCentre.z) * fScale;
    }
    pVB->Unlock();
    return 0;
}

HRESULT CenterMesh(CXFileMesh* pMesh, IDirect3DVertexBuffer8* pVB)
{
    return MoveVertices(pMesh, pVB, "CenterMesh()\nA buffer pointer is NULL!", false, 0.0f);
}

HRESULT SizeMesh(CXFileMesh* pMesh, IDirect3DVertexBuffer8* pVB, float fSize)
{
    return MoveVertices(pMesh, pVB, "SizeMesh()\nA buffer pointer is NULL!", true, fSize);
}
