// Fireflies over scene 1's water: each darts along a random Catmull-Rom
// path around an attractor that follows a fixed path of keys, trailing
// three fading after-images; the first one carries a point light.
#pragma once

#include "platform/d3dx8/d3dx8.h"

#define FLIGHT_KEYS 100
#define FLYER_RECORDS 100
// The vertex buffer has room for this many fireflies.
#define FIREFLIES_MAX 50
#define FLYER_POINTS 4
#define FVF_FIREFLYVERTEX (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1)
#define FIREFLY_LIGHT 4

struct FIREFLYVERTEX {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
    float tu, tv;
};

struct FLIGHTKEY {
    float fTime;  // scene seconds
    D3DXVECTOR3 vPos;
};

struct FLYER {
    D3DXVECTOR3 vPoints[FLYER_POINTS];  // head, then three trail points
    int bAlive;
    float fU;          // 0 ... 1 along the current segment
    float fSpawnTime;  // scene time the current segment began
    float fAge;
    float fDuration;  // seconds the current segment takes
    D3DXVECTOR3 vPath[4];  // flies from vPath[1] to vPath[2]
};

class CFireflies {
public:
    explicit CFireflies(int nCount);

    HRESULT Create();
    void Emit(int n, D3DXVECTOR3 vOrigin, float tFirst, float fNow, float fInterval);
    HRESULT Update(float fNow);
    HRESULT Render();
    void Release();

    D3DLIGHT8 m_Light;
    IDirect3DTexture8* m_pTexture;
    IDirect3DVertexBuffer8* m_pVB;
    FLIGHTKEY m_Keys[FLIGHT_KEYS];
    FLYER m_Flyers[FLYER_RECORDS];
    D3DXVECTOR3 m_vAttractor;
    int m_nSegment;
    int m_nKeys;
    float m_fSpread;
    int m_nFlyers;

private:
    D3DXVECTOR3 RandomPoint(const D3DXVECTOR3& vBase, float fTop);
    void MoveAttractor(float fNow);
    void MoveFlyer(FLYER* pFlyer, float fNow);
    static void WriteQuad(FIREFLYVERTEX* pQuad, D3DCOLOR dwDiffuse);
};

extern CFireflies g_Fireflies;

// Scene 1's four batches (19 fireflies), emitted once.
void EmitFireflyBatches(CFireflies* pFireflies, float fNow);
// TRUE until DrawFireflies has emitted the batches.
extern BOOL g_bFirefliesStart;
// Scene 1's driver, every frame while the water shows: the batches on the
// first call, then Update and Render.
HRESULT DrawFireflies(float s);
// Frees the fireflies' texture and buffers; tolerant of what was never made.
void ReleaseFireflies();
