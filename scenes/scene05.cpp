// Scene 5.
#include "scenes/scenes.h"

HRESULT Scene5(float)
{
    return S_OK;
}
