// What every layer of the show reads: the one device, the single place
// where a failure becomes a message box, the screen's metrics, the show
// time of the frame, the shared images and the music. Depends only on the
// platform API, so that gfx, the effects, the scenes and the show can all
// include it without reaching up.
#pragma once

#include "platform/d3dx8/d3dx8.h"
#include "platform/fmod/fmod.h"

// The show's own result for an image or mesh file that failed to load.
#define MEDIA_NOT_FOUND ((HRESULT)0x8200000B)

// Releases a COM object if set and nulls the pointer.
#define SAFE_RELEASE(p)      \
    do {                     \
        if (p) {             \
            (p)->Release();  \
            (p) = NULL;      \
        }                    \
    } while (0)

extern IDirect3D8* g_pD3D;
extern IDirect3DDevice8* g_pd3dDevice;

// Shows the failure's message box (no owner, default caption, warning icon)
// and returns hr unchanged.
HRESULT ReportError(HRESULT hr, HRESULT mediaFlag);
// The text ReportError shows for (hr, mediaFlag), at most 511 characters.
void FormatErrorText(HRESULT hr, HRESULT mediaFlag, char* text, UINT size);

// Loads one image under the media rule: a failure shows "Could not load
// required media." and returns the library's result.
HRESULT LoadTextureOrReport(const char* szFile, IDirect3DTexture8** ppTexture);

// The shared white material: diffuse and ambient 1, the rest 0.
void GetDefaultMaterial(D3DMATERIAL8* pMaterial);

// The device's own target and depth buffer, and the screen's metrics, taken
// from the back buffer when the media load.
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

// Seconds since the show's clock started, read once per frame.
extern float g_fShowTime;
// What each frame is cleared to; the late scenes change it.
extern D3DCOLOR g_dwClearColor;

// The fade overlay's two images, and the music (NULL when the show runs
// silent).
extern IDirect3DTexture8* g_pWhiteTexture;
extern IDirect3DTexture8* g_pBlackTexture;
extern FSOUND_SAMPLE* g_pMusic;
