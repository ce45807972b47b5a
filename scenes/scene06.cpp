// Scene 6.
#include "scenes/scenes.h"

HRESULT Scene6(float)
{
    return S_OK;
}
