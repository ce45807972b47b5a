// The chrome star of scenes 8 and 9 and its trail of beads, both reflecting
// one sphere-mapped environment image. The effect runs on the show clock:
// from STAR_SPIRAL_TIME on the trail becomes a long spiral and the camera
// rides on its end.
#pragma once

#include "base/timeline.h"
#include "platform/d3dx8/d3dx8.h"
#include "util/xfile_mesh.h"

#define STAR_BEADS 750
#define STAR_RADIUS 60.0f
#define STAR_SPIRAL_TIME SCENE9_START  // the spiral is scene 9

class CStarEffect {
public:
    CStarEffect();
    ~CStarEffect();

    // Scene 8's loader: the star mesh, the bead sphere, the environment image.
    HRESULT Create();
    // Tumbles the view about the fixed camera; nothing from the spiral time on.
    HRESULT UpdateCamera(float fTime);
    // Star, beads, and from the spiral time on the camera moved for the next frame.
    HRESULT Render();
    HRESULT Release();

    CXFileMesh* GetStarMesh() { return m_pStarMesh; }

    // World matrix of bead i at show time t: the bead offset turned by the
    // bead's own yaw and roll.
    static D3DXMATRIX* GetBeadMatrix(D3DXMATRIX* pOut, int i, float t);

private:
    CStarEffect(const CStarEffect&);
    CStarEffect& operator=(const CStarEffect&);

    CXFileMesh* m_pStarMesh;
    ID3DXMesh* m_pSphere;
    IDirect3DVertexBuffer8* m_pVB;
    IDirect3DIndexBuffer8* m_pIB;
    IDirect3DTexture8* m_pEnvTexture;
};

extern CStarEffect g_Star;
