// The device's fixed set-up, applied by LoadMedia before anything is drawn.
#pragma once

#include "platform/d3d8/d3d8.h"

// The initial render states, filters, point size, cursor, blending and cull
// mode, in their fixed order.
void ApplyInitialDeviceState();
// Material, lights 6 and 7 (defined, left disabled) and the gamma ramp.
void ApplyFixedLighting();
// Each entry x 255, capped at 65535.
void ScaleGammaRamp(D3DGAMMARAMP* pRamp);
