// Scene 1.
#include "scenes/scene_media.h"
#include "scenes/scenes.h"

HRESULT Scene1(float)
{
    return S_OK;
}

// Nothing to load or release yet.
HRESULT LoadScene1()
{
    return S_OK;
}
void ReleaseFireflies()
{
}
void ReleaseScene1()
{
}
