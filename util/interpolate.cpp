// Time ramps.
#include "util/interpolate.h"

float Interpolate(float from, float to, float tStart, float t, float tEnd)
{
    float c = t < tEnd ? t : tEnd;
    if (c <= tStart)
        c = tStart;
    return from + (c - tStart) / (tEnd - tStart) * (to - from);
}

D3DXVECTOR3 InterpolateVector(D3DXVECTOR3 from, D3DXVECTOR3 to, float tStart, float t, float tEnd)
{
    return D3DXVECTOR3(Interpolate(from.x, to.x, tStart, t, tEnd), Interpolate(from.y, to.y, tStart, t, tEnd),
                       Interpolate(from.z, to.z, tStart, t, tEnd));
}
