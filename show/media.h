// Loading of every image, mesh and the music before the show, and their
// release after it.
#pragma once

#include "platform/d3dx8/d3dx8.h"
#include "platform/fmod/fmod.h"

extern IDirect3DSurface8* g_pBackBuffer;
extern IDirect3DSurface8* g_pZBuffer;
extern D3DXMATRIX g_matIdentity;
extern D3DSURFACE_DESC g_d3dsdBackBuffer;
extern float g_fAspect;
extern float g_fScreenWidth;
extern float g_fScreenHeight;
extern float g_fHalfHeight;
extern float g_fScaleX;
extern float g_fScaleY;
extern RECT g_rcScreen;
// Outline and sweeping-line colour of scenes 1 and 4; only its RGB is used.
extern D3DCOLOR g_dwOutlineColor;

extern IDirect3DTexture8* g_pLoadingTexture;
extern IDirect3DTexture8* g_pWhiteTexture;
extern IDirect3DTexture8* g_pBlackTexture;
extern FSOUND_SAMPLE* g_pMusic;

extern IDirect3DTexture8* g_pForestTexture;
extern IDirect3DTexture8* g_pCredit1Texture;
extern IDirect3DTexture8* g_pCredit2Texture;
extern IDirect3DTexture8* g_pCredit3Texture;
extern IDirect3DTexture8* g_pHelloTexture;

HRESULT LoadMedia();
// TRUE until the loading screen's one-time render states are set.
extern BOOL g_bLoadingScreenStart;
HRESULT DrawLoadingScreen(float t);
HRESULT ReleaseMedia();

// Loads one image under the media rule: a failure shows "Could not load
// required media." and returns the library's result.
HRESULT LoadTextureOrReport(const char* szFile, IDirect3DTexture8** ppTexture);

// Releases a COM object if set and nulls the pointer.
#define SAFE_RELEASE(p)      \
    do {                     \
        if (p) {             \
            (p)->Release();  \
            (p) = NULL;      \
        }                    \
    } while (0)
