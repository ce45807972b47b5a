// Scene 10.
#include "scenes/scenes.h"

HRESULT Scene10(float)
{
    return S_OK;
}
