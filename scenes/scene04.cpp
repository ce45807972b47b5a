// Scene 4.
#include "scenes/scene_media.h"
#include "scenes/scenes.h"

HRESULT Scene4(float)
{
    return S_OK;
}

// Nothing to load or release yet.
HRESULT LoadScene4()
{
    return S_OK;
}
void ReleaseScene4()
{
}
