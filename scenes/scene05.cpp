// Scene 5.
#include "scenes/scene_media.h"
#include "scenes/scenes.h"

HRESULT Scene5(float)
{
    return S_OK;
}

// Nothing to load or release yet.
HRESULT LoadScene5()
{
    return S_OK;
}
HRESULT LoadTunnelSwarm()
{
    return S_OK;
}
void ComputeTunnel2Normals()
{
}
void ReleaseScene5()
{
}
void ReleaseTunnelSwarm()
{
}
