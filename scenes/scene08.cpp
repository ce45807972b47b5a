// Scene 8.
#include "scenes/scenes.h"

HRESULT Scene8(float)
{
    return S_OK;
}
