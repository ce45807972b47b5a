// Scene 9: the bead spiral ride and the rising column of greeting logos.
#pragma once

#include "platform/d3d8/d3d8.h"

#define GREET_LOGOS 14

extern IDirect3DTexture8* g_apGreetLogos[GREET_LOGOS];
extern int g_nGreetLogos;

// The column of logos at the show clock's position.
HRESULT DrawGreetings();
