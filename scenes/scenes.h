// The ten scene functions the timeline calls, and their loaders.
#pragma once

#include "platform/d3d8/d3d8.h"

HRESULT Scene1(float t);
HRESULT Scene2(float t);
HRESULT Scene3(float t);
HRESULT Scene4(float t);
HRESULT Scene5(float t);
HRESULT Scene6(float t);
HRESULT Scene7(float t);
HRESULT Scene8(float t);
HRESULT Scene9(float t);
HRESULT Scene10(float t);
