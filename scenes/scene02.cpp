// Scene 2.
#include "scenes/scene_media.h"
#include "scenes/scenes.h"

HRESULT Scene2(float)
{
    return S_OK;
}

// Nothing to load or release yet.
HRESULT LoadScene2()
{
    return S_OK;
}
void ReleaseScene2()
{
}
