// Loading of every image, mesh and the music before the show, and their
// release after it.
#pragma once

#include "platform/d3d8/d3d8.h"

// The one image shown while the rest load.
extern IDirect3DTexture8* g_pLoadingTexture;

HRESULT LoadMedia();
// TRUE until the loading screen's one-time render states are set.
extern BOOL g_bLoadingScreenStart;
HRESULT DrawLoadingScreen(float t);
HRESULT ReleaseMedia();
