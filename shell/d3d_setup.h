// Creating the one Direct3D device (the globals it fills and the error
// reporting live in base/shared.h).
#pragma once

#include "platform/d3d8/d3d8.h"

HRESULT InitD3D(HWND hWnd);
