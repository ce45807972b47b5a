// Scene 3's side panel, drawn over the lattice every frame.
#pragma once

#include "platform/d3d8/d3d8.h"

// The panel image and the text scrolling over it, at scene time fTime.
HRESULT DrawScene3Panel(float fTime);
