// The one Direct3D device, its fixed set-up, and the single place where a
// failure becomes a message box.
#pragma once

#include "platform/d3d8/d3d8.h"

// The show's own result for an image or mesh file that failed to load.
#define MEDIA_NOT_FOUND ((HRESULT)0x8200000B)

extern IDirect3D8* g_pD3D;
extern IDirect3DDevice8* g_pd3dDevice;

HRESULT InitD3D(HWND hWnd);
// Shows the failure's message box (no owner, default caption, warning icon)
// and returns hr unchanged.
HRESULT ReportError(HRESULT hr, HRESULT mediaFlag);
// The text ReportError shows for (hr, mediaFlag), at most 511 characters.
void FormatErrorText(HRESULT hr, HRESULT mediaFlag, char* text, UINT size);

// The initial render states, filters, point size, cursor, blending and cull
// mode, in their fixed order.
void ApplyInitialDeviceState();
// The shared white material: diffuse and ambient 1, the rest 0.
void GetDefaultMaterial(D3DMATERIAL8* pMaterial);
// Material, lights 6 and 7 (defined, left disabled) and the gamma ramp.
void ApplyFixedLighting();
// Each entry x 255, capped at 65535.
void ScaleGammaRamp(D3DGAMMARAMP* pRamp);
