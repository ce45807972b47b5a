// Mesh and mesh-texture file names resolved against the working directory,
// then against the SDK media folder named in the registry.
#pragma once

#include "platform/win32/win32.h"

// path receives at most MAX_PATH characters (with the terminator).
HRESULT FindMediaFile(char* path, const char* name);
// The SDK media prefix ("<value>\Media\"), or "" when there is none.
const char* GetSdkMediaPath();
