// Scene 8.
#include "scenes/scene_media.h"
#include "scenes/scenes.h"

HRESULT Scene8(float)
{
    return S_OK;
}

// Nothing to load or release yet.
HRESULT LoadScene8()
{
    return S_OK;
}
void ReleaseScene8()
{
}
