// World-space grid vertex layout and the flat-grid builder.
#pragma once

#include "platform/d3dx8/d3dx8.h"

// Grid vertex; the fields sit at fixed offsets whatever format is passed,
// and the format's flags only decide which optional fields are written.
struct PLANEVERTEX {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
    float tu, tv;
};

// Fills vb and ib with a horizontal grid of cols x rows vertices from
// corner1 to corner2 (y ignored), two triangles per cell.
HRESULT SetVB3DPlaneRect(IDirect3DVertexBuffer8* pVB, IDirect3DIndexBuffer8* pIB, DWORD dwFVF,
                         D3DXVECTOR3 vCorner1, D3DXVECTOR3 vCorner2, int nCols, int nRows);
