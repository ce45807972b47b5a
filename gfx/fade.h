// The full-screen fade overlay: SetFade, called every frame for each fade
// of a scene's script, drives the overlay that DrawFade draws.
#pragma once

#include "platform/d3d8/d3d8.h"

extern D3DCOLOR g_dwFadeColor;
extern float g_fFadeActive;
extern float g_fFadeStart;
extern float g_fFadeEnd;

// Opens the overlay while tStart <= now < tEnd + tHold: alpha ramps from
// colFrom's to colTo's and holds; the RGB is always colFrom's.
int SetFade(D3DCOLOR colFrom, D3DCOLOR colTo, float tStart, float now, float tEnd, float tHold);
// Draws the overlay (white for any non-black RGB, else black) over the
// rectangle, unless the fade window has closed; bForce draws regardless.
int DrawFade(D3DCOLOR color, int x, int y, int width, int height, BOOL bForce);
