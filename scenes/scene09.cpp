// Scene 9.
#include "scenes/scenes.h"

HRESULT Scene9(float)
{
    return S_OK;
}
