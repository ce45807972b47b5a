// Scene 6: the forest panorama between scrolling symbol strips and shadow
// bands.
#pragma once

#include "platform/d3d8/d3d8.h"

// The image layers at scene time fTau.
HRESULT DrawForest(float fTau);
