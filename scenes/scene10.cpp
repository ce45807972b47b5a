// Scene 10.
#include "scenes/scene_media.h"
#include "scenes/scenes.h"

HRESULT Scene10(float)
{
    return S_OK;
}

// Nothing to load or release yet.
HRESULT LoadScene10()
{
    return S_OK;
}
void ReleaseScene10()
{
}
