// Time ramps. Every animated quantity is a function of a scene's own time:
// Interpolate ramps a value over [tStart, tEnd] and holds it outside.
#pragma once

#include "platform/d3dx8/d3dx8.h"

// from + (c - tStart) / (tEnd - tStart) * (to - from), c = t clamped to [tStart, tEnd]
float Interpolate(float from, float to, float tStart, float t, float tEnd);
// Interpolate per component, with the same clamped c.
D3DXVECTOR3 InterpolateVector(D3DXVECTOR3 from, D3DXVECTOR3 to, float tStart, float t, float tEnd);
