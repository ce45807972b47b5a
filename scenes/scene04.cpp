// Scene 4.
#include "scenes/scenes.h"

HRESULT Scene4(float)
{
    return S_OK;
}
