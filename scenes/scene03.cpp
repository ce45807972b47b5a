// Scene 3.
#include "scenes/scenes.h"

HRESULT Scene3(float)
{
    return S_OK;
}
