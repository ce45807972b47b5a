// The flat grid of the water surface.
#include "gfx/plane.h"

#include <cstddef>
#include <cstring>

HRESULT SetVB3DPlaneRect(IDirect3DVertexBuffer8* pVB, IDirect3DIndexBuffer8* pIB, DWORD dwFVF,
                         D3DXVECTOR3 vCorner1, D3DXVECTOR3 vCorner2, int nCols, int nRows)
{
    const float fStepX = (vCorner2.x - vCorner1.x) / (float)(nCols - 1);
    const float fStepZ = (vCorner2.z - vCorner1.z) / (float)(nRows - 1);
    const UINT nStride = D3DXGetFVFVertexSize(dwFVF);

    if (pVB == NULL || pIB == NULL) {
        MessageBoxA(NULL, "SetVB3DPlaneRect()\nA buffer pointer is NULL!", NULL, MB_OK);
        return E_FAIL;
    }
    // Fewer than two vertices a side has no cell, and the steps above are
    // meaningless; more than 16-bit indices can address would wrap.
    if (nCols < 2 || nRows < 2 || (long long)nCols * nRows > 65536)
        return E_INVALIDARG;

    // Writes must stay inside the buffers whatever the caller passed.
    D3DVERTEXBUFFER_DESC vbDesc;
    D3DINDEXBUFFER_DESC ibDesc;
    if (FAILED(pVB->GetDesc(&vbDesc)) || FAILED(pIB->GetDesc(&ibDesc)))
        return E_FAIL;
    const size_t nVertexBytes = (size_t)nStride * nCols * nRows;
    const size_t nIndexBytes = sizeof(WORD) * 6 * (size_t)(nCols - 1) * (nRows - 1);
    if (nVertexBytes > vbDesc.Size || nIndexBytes > ibDesc.Size)
        return D3DERR_INVALIDCALL;

    BYTE* pVertices = NULL;
    BYTE* pIndexBytes = NULL;
    HRESULT hr = pVB->Lock(0, 0, &pVertices, 0);
    if (FAILED(hr))
        return hr;
    hr = pIB->Lock(0, 0, &pIndexBytes, 0);
    if (FAILED(hr)) {
        pVB->Unlock();  // never leave the vertex buffer locked behind us
        return hr;
    }
    WORD* pIndices = (WORD*)pIndexBytes;

    for (int row = 0; row < nRows; row++) {
        for (int col = 0; col < nCols; col++) {
            const int n = row * nCols + col;
            BYTE* pVertex = pVertices + (size_t)nStride * n;
            const float pos[3] = {vCorner1.x + col * fStepX, 0.0f, vCorner1.z + row * fStepZ};
            memcpy(pVertex + offsetof(PLANEVERTEX, x), pos, sizeof(pos));
            if (dwFVF & D3DFVF_NORMAL) {
                const float normal[3] = {0.0f, 1.0f, 0.0f};
                memcpy(pVertex + offsetof(PLANEVERTEX, nx), normal, sizeof(normal));
            }
            if (dwFVF & D3DFVF_DIFFUSE) {
                const D3DCOLOR white = 0xFFFFFFFF;
                memcpy(pVertex + offsetof(PLANEVERTEX, diffuse), &white, sizeof(white));
            }
            if (dwFVF & D3DFVF_TEX1) {
                const float uv[2] = {(float)col / (float)(nCols - 1), (float)row / (float)(nRows - 1)};
                memcpy(pVertex + offsetof(PLANEVERTEX, tu), uv, sizeof(uv));
            }
            if (col < nCols - 1 && row < nRows - 1) {
                const WORD a = (WORD)n;
                const WORD c = (WORD)nCols;
                *pIndices++ = a;
                *pIndices++ = (WORD)(a + 1);
                *pIndices++ = (WORD)(a + c);
                *pIndices++ = (WORD)(a + c);
                *pIndices++ = (WORD)(a + 1);
                *pIndices++ = (WORD)(a + c + 1);
            }
        }
    }

    pVB->Unlock();
    pIB->Unlock();
    return S_OK;
}
