// Scene 1.
#include "scenes/scenes.h"

HRESULT Scene1(float)
{
    return S_OK;
}
