// Seventy sprites drifting through the second tunnel, each riding its spline
// a little ahead of the camera, displaced sideways by a wandering offset.
// They fall back 0.6 segments per second against the camera; a sprite the
// camera reaches is sent one segment further ahead with a new sideways goal.
#pragma once

#include "effects/tunnel_path.h"

struct SWARMSPRITE {
    D3DXVECTOR3 vPos;   // world position this frame
    D3DXVECTOR3 vFrom;  // sideways offset left behind (z = 0)
    D3DXVECTOR3 vTo;    // sideways offset glided to (z = 0)
    float fSegFraction; // place in its path segment this frame
    float fPhase;       // segments ahead of the camera
    float fPhaseStart;  // fPhase at the last renewal
    float fSpawnTime;   // scene time of the last renewal
    BOOL bShifted;      // one segment beyond the camera's
};

#define SWARM_SPRITES 70
// The buffer has room for twice the sprites, one quad each.
#define SWARM_VB_QUADS 140

class CTunnelSwarm {
public:
    // Draws each sprite's fPhaseStart, in sprite order.
    CTunnelSwarm();

    IDirect3DTexture8* m_pTexture;
    IDirect3DVertexBuffer8* m_pVB;  // quad i in vertices 4i ... 4i + 3
    SWARMSPRITE m_Sprites[SWARM_SPRITES];
    int m_nSprites;
};

extern CTunnelSwarm g_TunnelSwarm;

// Every frame, from the second tunnel, with the scene time and the camera's
// segment fraction.
// The swarm's texture and buffers, made after the second tunnel's loader
// and freed after it.
HRESULT LoadTunnelSwarm();
void ReleaseTunnelSwarm();
HRESULT UpdateTunnelSwarm(float fTime, float fSegFraction);
HRESULT DrawTunnelSwarm();
