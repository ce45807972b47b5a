// Scene 7.
#include "scenes/scenes.h"

HRESULT Scene7(float)
{
    return S_OK;
}
