// Scene 9.
#include "scenes/scene_media.h"
#include "scenes/scenes.h"

HRESULT Scene9(float)
{
    return S_OK;
}

// Nothing to load or release yet.
HRESULT LoadGreetings()
{
    return S_OK;
}
void ReleaseGreetings()
{
}
