// What the two spline tunnels share: the control-point path that runs
// forward along +z, the rings of vertices placed around its Catmull-Rom
// curve, the pairing of vertex slots and the index pattern that stitches
// the rings into a tube. Each tunnel passes its own constants.
#pragma once

#include "platform/d3dx8/d3dx8.h"

// One control point of a tunnel path.
struct SPLINEPOINT {
    float fIndex;  // m_nPoints when the point was made
    D3DXVECTOR3 vPos;
};

// Lit, textured vertex of the first tunnel (also the text lattice and the
// tunnel swarm's sprites).
struct TUNNELVERTEX {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
    float tu, tv;
};
#define FVF_TUNNELVERTEX (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1)

// Every tube covers path segments 1 to 4 (from P[1] to P[5]).
#define TUNNEL_PATH_POINTS 6
#define TUNNEL_SEGMENTS 4
#define TUNNEL_POINT_SPACING 150

// Slots of a tube: every ring vertex is stored twice (slot 2n and its copy in
// 2n + 1, never drawn), plus two spare slots.
#define TUNNEL_RINGS 10
#define TUNNEL_RING_VERTS 36
#define TUNNEL_VERTS (TUNNEL_SEGMENTS * TUNNEL_RINGS * TUNNEL_RING_VERTS * 2 + 2)                 // 2882
#define TUNNEL_INDICES ((TUNNEL_SEGMENTS * TUNNEL_RINGS - 1) * TUNNEL_RING_VERTS * 6)             // 8424

// The start of a clock that begins on its first reading.
struct TUNNELCLOCK {
    BOOL bStarted;
    float fStart;
};
// Seconds since the clock's first reading (0 on that reading).
float ReadTunnelClock(TUNNELCLOCK* pClock, float fTime);

// The next control point: y = RandomFloat(-fRange, fRange), then x likewise;
// z = *pnPoints x 150; fIndex = *pnPoints when bIndexed, else 0. Advances *pnPoints.
void NewSplinePoint(SPLINEPOINT* pPoint, int* pnPoints, float fRange, BOOL bIndexed);

// How a tunnel makes and keeps its path.
struct TUNNELPATHDESC {
    float fRange;          // sideways spread of new points
    BOOL bIndexFirstSix;   // fIndex of the first six points: m_nPoints, or 0
};
// Generates the six points if *pbPathNew, then, if bAdvance, drops the oldest
// and appends a new one.
void UpdateSplinePath(SPLINEPOINT pPoints[TUNNEL_PATH_POINTS], int* pnPoints, BOOL* pbPathNew, BOOL bAdvance,
                      const TUNNELPATHDESC& desc);

// The Catmull-Rom curve over P[nFirst] ... P[nFirst + 3] at s, running from
// P[nFirst + 1] (s = 0) to P[nFirst + 2] (s = 1). The path ends at P[5]; a
// point beyond it is P[5] continued by the last step, P[5] + (P[5] - P[4]).
D3DXVECTOR3 TunnelPathPoint(const SPLINEPOINT pPoints[TUNNEL_PATH_POINTS], int nFirst, float s);

// Eye on the segment after P[nEyeFirst + 1] at s; target fLead segments
// further on, on the curve of P[1 + o] ... P[4 + o], o = 1 once s + fLead
// reaches 1.
void LookAlongTunnelPath(const SPLINEPOINT pPoints[TUNNEL_PATH_POINTS], int nEyeFirst, float s, float fLead,
                         D3DXVECTOR3* pEye, D3DXVECTOR3* pTarget);

// The ring layout of one tube.
struct TUNNELRINGDESC {
    int nRings;                  // rings per segment
    int nRingVerts;              // vertices per ring
    int nSlots;                  // vertex slots of the buffer
    const char* szCapacityGuard; // shown if a ring would run past the slots
};

// Where ring step j, vertex k sits around its centre: angle *pA, radius *pR.
typedef void (*RINGSHAPEFUNC)(int j, int k, float fRadius, float* pA, float* pR);

// Fills the paired slots of a tube: pSlots points at nSlots vertices of
// nStride bytes that begin with position, normal and diffuse (TUNNELVERTEX
// and its untextured cousin both do). After placing each vertex, pfnExtra
// (may be null) fills the rest of it from (j / (nRings - 1), k / (nRingVerts - 1)).
// Returns E_FAIL after the capacity message if the slots run out.
HRESULT BuildTunnelRings(const SPLINEPOINT pPoints[TUNNEL_PATH_POINTS], const TUNNELRINGDESC& desc, float fRadius,
                         RINGSHAPEFUNC pfnShape, BYTE* pSlots, UINT nStride,
                         void (*pfnExtra)(BYTE* pVertex, float fRingU, float fRingV));

// Two triangles per quad between neighbouring rings, even slots only.
// bReverse flips the winding. Returns E_FAIL after szGuard if the pattern
// would run past nIndices.
HRESULT FillTunnelIndices(WORD* pIndices, int nIndices, int nRingVerts, BOOL bReverse, const char* szGuard);

// The first-frame set-up both tunnel scenes share: the camera placed at
// (0, 10, -50) looking at the origin with a 200-unit far plane, and its
// matrices on the device (world identity); light dwLightOff switched off;
// then lighting as given, white ambient, blending on, and linear black fog
// from 0 to 150 units, enabled as given.
void SetUpTunnelScene(DWORD dwLightOff, BOOL bLighting, BOOL bFog);
