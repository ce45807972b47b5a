// Scene 1's water: a 50 x 50 grid, flat at rest, displaced by circular
// ripples, lit by a point light above it and reflecting a cube map that is
// painted once at load time.
#pragma once

#include "platform/d3dx8/d3dx8.h"

#define WATER_COLS 50
#define WATER_ROWS 50
#define WATER_VERTS (WATER_COLS * WATER_ROWS)
#define WATER_FACES (2 * (WATER_COLS - 1) * (WATER_ROWS - 1))
#define FVF_WATERVERTEX (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE)
#define WATER_STRIDE 28
#define WATER_CUBE_EDGE 512

// One ripple, kept for the whole show. The distance and falloff tables are
// filled on the first call inside the active window and reused after.
struct WaterRipple {
    int bInitialised;
    float centreX, centreZ;
    float radius;      // amplitude reaches 0 here; also the front's final reach
    float wavelength;  // distance divisor of the phase
    float amplitude;
    float tStart, tEnd;  // active window, scene seconds, both ends inclusive
    float distance[WATER_VERTS];
    float falloff[WATER_VERTS];
};

// Sets the record's parameters and marks its tables as not yet computed.
void SetRipple(WaterRipple* pRipple, float centreX, float centreZ, float radius, float wavelength, float amplitude,
               float tStart, float tEnd);

// Adds the ripple's displacement at scene time t to the y of every vertex.
HRESULT DisturbWater(IDirect3DVertexBuffer8* pVB, IDirect3DIndexBuffer8* pIB, DWORD dwFVF, WaterRipple* pRipple,
                     float t);

// The point light hovering over the middle of the water.
void GetWaterLight(D3DLIGHT8* pLight);

extern IDirect3DVertexBuffer8* g_pWaterVB;
extern IDirect3DIndexBuffer8* g_pWaterIB;
extern IDirect3DCubeTexture8* g_pWaterCubeTexture;
extern IDirect3DTexture8* g_pBlueWaterTexture;

// The grid mesh, created into the mesh container; its buffers are kept.
HRESULT CreateWaterMesh();
// The environment cube: every face holds g_pBlueWaterTexture.
HRESULT CreateWaterCubeMap();
// Back to the flat grid; every frame before the ripples.
HRESULT ResetWater();
// Normals from the displaced faces, then the lit, reflecting draw.
HRESULT RenderWater();
// The buffers, the cube texture and the image painted into it.
void ReleaseWater();
