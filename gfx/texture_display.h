// Textured screen rectangles: every 2D element of the show (captions, logos,
// title pieces, fades) is one of these, drawn from the shared quad buffer.
#pragma once

#include "platform/d3d8/d3d8.h"

// Pre-transformed vertex of every screen-space draw.
struct SCREENVERTEX {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float tu, tv;
};
#define FVF_SCREENVERTEX (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1)

// Four SCREENVERTEX, refilled by every call.
extern IDirect3DVertexBuffer8* g_pQuadVB;

// The cull mode in force: the device is pure and cannot be asked, so every
// change of D3DRS_CULLMODE goes through SetCullMode.
extern DWORD g_dwCullMode;
HRESULT SetCullMode(DWORD dwCullMode);

HRESULT ShowTexture(IDirect3DTexture8* pTexture, float x, float y, float width, float height, float alpha,
                    float texScale, BOOL bFront);
HRESULT ShowTextureEx(IDirect3DTexture8* pTexture, float srcX, float srcY, float srcWidth, float srcHeight,
                      const D3DCOLOR colors[4], float x, float y, float width, float height, float visible);
HRESULT ShowTextureEx(IDirect3DTexture8* pTexture, const D3DCOLOR colors[4], float x, float y, float width,
                      float height, float uScale, float vScale, float uOffset, float vOffset, float visible);
