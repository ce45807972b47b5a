// A mesh with its materials: loaded from a .x file (or written in by a
// caller) into system memory, converted, copied for the device and drawn
// subset by subset.
#pragma once

#include "platform/d3dx8/d3dx8.h"

class CXFileMesh {
public:
    explicit CXFileMesh(const char* szName);
    virtual ~CXFileMesh();

    HRESULT Create(IDirect3DDevice8* pDevice, const char* szFileName);
    HRESULT ConvertFVF(IDirect3DDevice8* pDevice, DWORD dwFVF);
    HRESULT CreateDeviceMesh(IDirect3DDevice8* pDevice);
    HRESULT ReleaseDeviceMesh();
    HRESULT Destroy();
    HRESULT Render(IDirect3DDevice8* pDevice, BOOL bOpaque, BOOL bTranslucent);

    ID3DXMesh* GetSystemMesh() { return m_pSystemMesh; }
    void EnableMaterials(BOOL bEnable) { m_bMaterials = bEnable; }
    DWORD GetNumMaterials() const { return m_nMaterials; }

    char m_szName[512];
    ID3DXMesh* m_pSystemMesh;  // edited in place; scene 1 writes its own mesh here
    ID3DXMesh* m_pDeviceMesh;  // the copy that is drawn

private:
    CXFileMesh(const CXFileMesh&);
    CXFileMesh& operator=(const CXFileMesh&);

    DWORD m_nMaterials;
    D3DMATERIAL8* m_pMaterialArray;
    IDirect3DTexture8** m_ppTextureArray;
    BOOL m_bMaterials;
};

// The container of scene 1's generated water mesh, made by InitGlobals.
extern CXFileMesh* g_pXFileMesh;

// Moves every vertex so that the bounding sphere is centred on the origin.
HRESULT CenterMesh(CXFileMesh* pMesh, IDirect3DVertexBuffer8* pVB);
// Centres the mesh and scales it to bounding-sphere radius fSize.
HRESULT SizeMesh(CXFileMesh* pMesh, IDirect3DVertexBuffer8* pVB, float fSize);
