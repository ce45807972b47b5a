// Scene 3.
#include "scenes/scene_media.h"
#include "scenes/scenes.h"

HRESULT Scene3(float)
{
    return S_OK;
}

// Nothing to load or release yet.
HRESULT LoadScene3()
{
    return S_OK;
}
void ReleaseScene3()
{
}
