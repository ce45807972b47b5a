// Time ramps, the full-screen fade overlay and the show's random numbers.
//
// Every animated quantity is a function of a scene's own time: Interpolate
// ramps a value over [tStart, tEnd] and holds it outside; SetFade, called
// every frame for each fade of a scene's script, drives the overlay that
// DrawFade draws.
#pragma once

#include "platform/d3dx8/d3dx8.h"

extern D3DCOLOR g_dwFadeColor;
extern float g_fFadeActive;
extern float g_fFadeStart;
extern float g_fFadeEnd;

// from + (c - tStart) / (tEnd - tStart) * (to - from), c = t clamped to [tStart, tEnd]
float Interpolate(float from, float to, float tStart, float t, float tEnd);
// Interpolate per component, with the same clamped c.
D3DXVECTOR3 InterpolateVector(D3DXVECTOR3 from, D3DXVECTOR3 to, float tStart, float t, float tEnd);

// Opens the overlay while tStart <= now < tEnd + tHold: alpha ramps from
// colFrom's to colTo's and holds; the RGB is always colFrom's.
int SetFade(D3DCOLOR colFrom, D3DCOLOR colTo, float tStart, float now, float tEnd, float tHold);
// Draws the overlay (white for any non-black RGB, else black) over the
// rectangle, unless the fade window has closed; bForce draws regardless.
int DrawFade(D3DCOLOR color, int x, int y, int width, int height, BOOL bForce);

// The C runtime generator: state = state * 214013 + 2531011, value (state >> 16) & 0x7FFF.
int Rand();
// Seeds the generator (state = seed); the show never does, so it starts from 1.
void SeedRand(unsigned int seed);
// min + rand() / (32767 / (max - min + 1)): results lie in [min, max + 1].
float RandomFloat(float min, float max);
