// The endless three-layer tunnel of scene 2: three concentric tubes around
// a spline path, alpha-blended over each other, their textures scrolling.
// The camera flies one path segment per second; each completed segment
// advances the path by one point and rebuilds the tubes.
#pragma once

#include "effects/tunnel_path.h"

#define TUNNEL_LAYERS 3
#define TUNNEL_CAPTIONS 8

struct TUNNELLAYER {
    IDirect3DVertexBuffer8* pVB;
    IDirect3DIndexBuffer8* pIB;
};

class CTunnel {
public:
    CTunnel();

    HRESULT BuildTunnel(IDirect3DVertexBuffer8* pVB, IDirect3DIndexBuffer8* pIB, float fRadius, BOOL bAdvance);
    HRESULT UpdateTunnel(float fTime);
    void FlyTunnelCamera(float fSegFraction);
    HRESULT AnimateTunnel(IDirect3DVertexBuffer8* pVB, float fScrollV, float fAlpha);
    HRESULT RenderTunnel();

    IDirect3DTexture8* m_pTexture[TUNNEL_LAYERS];  // layer 0 outermost
    TUNNELLAYER m_Layer[TUNNEL_LAYERS];
    // Scene 2's captions, drawn in list order.
    int m_nCaptions;
    IDirect3DTexture8* m_pCaptions[TUNNEL_CAPTIONS];
    IDirect3DTexture8* m_pCaptionTextures[TUNNEL_CAPTIONS];
    D3DMATERIAL8 m_Material;
    SPLINEPOINT m_Points[TUNNEL_PATH_POINTS];  // oldest first
    D3DXVECTOR3 m_vEye;
    D3DXVECTOR3 m_vTarget;
    float m_fTime;  // latest UpdateTunnel time, scene seconds
    int m_nPoints;  // control points made since start-up

    // Both start on their first use and are never reset.
    TUNNELCLOCK m_SegmentClock;
    TUNNELCLOCK m_AnimClock;
};

// Radii of the three layers, outermost first.
extern const float TUNNEL_LAYER_RADIUS[TUNNEL_LAYERS];

extern CTunnel g_Tunnel;
// TRUE until the path has been generated for the first time.
extern BOOL g_bTunnelPathNew;
