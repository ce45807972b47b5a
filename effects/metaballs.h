// Scene 4's blobs: four balls summed into a scalar field, sampled on a fixed
// 10 x 10 x 10 grid of cells every frame, polygonised by marching cubes and
// drawn sphere-mapped with the wood image in front of the wood panorama.
#pragma once

#include "effects/marching_cubes_tables.h"
#include "platform/d3dx8/d3dx8.h"

#define METABALL_BALLS 4
#define METABALL_RADIUS 13.0f
#define METABALL_GRID 10      // cells per axis
#define METABALL_ISO 0.1f
#define METABALL_FACES 6666   // capacity of the mesh the buffer comes from
#define METABALL_VERTS 20000  // >= 3 x 5 triangles x 1000 cells
#define FVF_METAVERTEX (D3DFVF_XYZ | D3DFVF_NORMAL)

struct METAVERTEX {
    float x, y, z;
    float nx, ny, nz;
};

struct METABALL {
    D3DXVECTOR3 vPos;
    float fRadius;
};

// One cell of the grid: corner positions, then the field at each corner.
struct CUBECELL {
    D3DXVECTOR3 p[CUBE_CORNERS];
    float val[CUBE_CORNERS];
};

struct CELLTRIANGLE {
    D3DXVECTOR3 p[3];
};

class CMetaballs {
public:
    CMetaballs();

    // Scene 4's loader: textures, the mesh whose vertex buffer holds the surface.
    HRESULT Create();
    // Moves the balls to scene time fTime and rebuilds the surface; always S_OK.
    HRESULT Update(float fTime);
    // The wood panorama, then the sphere-mapped surface.
    HRESULT Render();
    HRESULT Release();

    // The field at every corner of the cell, from the balls as they stand.
    void ComputeField(CUBECELL* pCell) const;
    // Triangles of one cell at the iso level, at most five; returns their number.
    static int PolygoniseCell(const CUBECELL& cell, float fIso, CELLTRIANGLE pTriangles[CUBE_MAX_TRIANGLES]);
    static D3DXVECTOR3 InterpolateEdge(float fIso, const D3DXVECTOR3& pA, const D3DXVECTOR3& pB, float fA,
                                       float fB);
    // Corner positions of grid cell (i, j, k), values cleared.
    static void SetCellCorners(CUBECELL* pCell, int i, int j, int k);

    ID3DXMesh* m_pMesh;
    IDirect3DTexture8* m_pEnvTexture;  // loaded and kept, never drawn
    IDirect3DTexture8* m_pWoodTexture;
    IDirect3DVertexBuffer8* m_pVB;  // the mesh's vertex buffer, a plain triangle list
    METABALL m_Balls[METABALL_BALLS];
    int m_nBalls;
    int m_nTriangles;  // written by the last successful rebuild

private:
    HRESULT BuildSurface();
};

extern CMetaballs g_Metaballs;
