// Rendering into a cube-texture face and back to the back buffer.
#pragma once

#include "platform/d3d8/d3d8.h"

// Level 0 of one face becomes the target; depth may be NULL.
HRESULT SetRenderTargetToTexture(D3DCUBEMAP_FACES face, IDirect3DCubeTexture8* pCube, IDirect3DSurface8* pDepth);
// Back to the device's own target and depth buffer; always S_OK.
HRESULT RestoreRenderTarget();
