// The wavy tunnel of scene 5: one tube with a pulsing cross-section, held in
// a mesh so its normals can be recomputed after every rebuild, drawn with a
// sphere map from the camera-space normals. The path advances two segments
// per second; from 175.7 s of show time the camera looks around and shakes
// with the music, and the view rolls with the show clock throughout.
#pragma once

#include "effects/tunnel_path.h"

// Untextured: the sphere map's coordinates come from the normals.
struct TUNNEL2VERTEX {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
};
#define FVF_TUNNEL2VERTEX (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE)

#define TUNNEL2_RINGS 20
#define TUNNEL2_RING_VERTS 64
#define TUNNEL2_VERTS (TUNNEL_SEGMENTS * TUNNEL2_RINGS * TUNNEL2_RING_VERTS * 2 + 2)      // 10242
#define TUNNEL2_INDICES ((TUNNEL_SEGMENTS * TUNNEL2_RINGS - 1) * TUNNEL2_RING_VERTS * 6)  // 30336
#define TUNNEL2_FACES (TUNNEL2_INDICES / 3)                                              // 10112
#define TUNNEL2_RADIUS 10.0f

#define LOOK_OFFSET_COUNT 10
extern const D3DXVECTOR3 LOOK_OFFSETS[LOOK_OFFSET_COUNT];

class CTunnel2 {
public:
    CTunnel2();

    HRESULT BuildTunnel2(IDirect3DVertexBuffer8* pVB, IDirect3DIndexBuffer8* pIB, float fRadius, BOOL bAdvance);
    HRESULT UpdateTunnel2(float fTime);
    void FlyTunnel2Camera(float fSegFraction);
    HRESULT RenderTunnel2();

    ID3DXMesh* m_pMesh;
    IDirect3DTexture8* m_pTexture;  // the sphere map
    // The mesh's own buffers, each with a reference of its own.
    IDirect3DVertexBuffer8* m_pVB;
    IDirect3DIndexBuffer8* m_pIB;
    D3DMATERIAL8 m_Material;
    SPLINEPOINT m_Points[TUNNEL_PATH_POINTS];
    D3DXVECTOR3 m_vEye;
    D3DXVECTOR3 m_vTarget;
    float m_fTime;  // latest UpdateTunnel2 time, scene seconds
    int m_nPoints;

    // Started on first use, never reset.
    TUNNELCLOCK m_SegmentClock;
    // The look-around: a swing from m_vLookStart towards m_vLookGoal,
    // retargeted every half second.
    TUNNELCLOCK m_LookClock;
    D3DXVECTOR3 m_vLookCurrent;
    D3DXVECTOR3 m_vLookStart;
    D3DXVECTOR3 m_vLookGoal;
    int m_nLookIndex;
};

extern CTunnel2 g_Tunnel2;
// TRUE until the path has been generated for the first time.
extern BOOL g_bTunnel2PathNew;
// Normals of the tunnel's mesh, once scene 5's loader has built it.
void ComputeTunnel2Normals();

// (m - 0.5) x 0.002 with m = 255 x band: the shake of each eye axis.
float SpectrumShake(float fBand);
