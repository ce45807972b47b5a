// The title card that ends scene 1: the title image, drifting crops of it,
// scrolling shadow strips, sweeping lines, the logo, a dimming and a flash.
#pragma once

#include "platform/d3d8/d3d8.h"

extern IDirect3DTexture8* g_pSplashTexture;
extern IDirect3DTexture8* g_pShadowTexture;
extern IDirect3DTexture8* g_pLogoTexture;

// One frame of the card at scene time s (65 <= s < 85.3 in the show).
int ShowSplash(float s);
// One screen-space line; the colour's RGB with the given alpha (0 ... 255).
HRESULT DrawLine(float x1, float y1, float x2, float y2, D3DCOLOR color, float alpha);


// One sweeping line of the card, in screen pixels, with its alpha.
struct SPLASHLINE {
    float x1, y1, x2, y2;
    float alpha;
};
#define SPLASH_MAX_LINES 4
// The lines to draw at scene time s, in drawing order; returns their count.
int GetSweepLines(float s, SPLASHLINE lines[SPLASH_MAX_LINES]);
