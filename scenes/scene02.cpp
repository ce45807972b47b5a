// Scene 2.
#include "scenes/scenes.h"

HRESULT Scene2(float)
{
    return S_OK;
}
