// Ramps, fades and random numbers.
#include "gfx/fade.h"

#include "gfx/texture_display.h"
#include "show/media.h"
#include "show/show_clock.h"

D3DCOLOR g_dwFadeColor = 0;
float g_fFadeActive = 0.0f;
float g_fFadeStart = 0.0f;
float g_fFadeEnd = 0.0f;

static unsigned int s_uRandState = 1;

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

int SetFade(D3DCOLOR colFrom, D3DCOLOR colTo, float tStart, float now, float tEnd, float tHold)
{
    if (now < tStart || now >= tEnd + tHold)
        return 0;
    g_fFadeActive = 1.0f;
    const float fStart = g_fShowTime - now + tStart;
    const float fEnd = g_fShowTime - now + tEnd + tHold;
    if (fStart < g_fFadeStart)
        g_fFadeStart = fStart;
    if (fEnd > g_fFadeEnd)
        g_fFadeEnd = fEnd;
    const float a = Interpolate((float)(colFrom >> 24), (float)(colTo >> 24), tStart, now, tEnd);
    g_dwFadeColor = (((DWORD)(int)a & 0xFF) << 24) | (colFrom & 0x00FFFFFF);
    return 0;
}

int DrawFade(D3DCOLOR color, int x, int y, int width, int height, BOOL bForce)
{
    if (!bForce && (g_fShowTime < g_fFadeStart || g_fShowTime >= g_fFadeEnd)) {
        g_fFadeActive = 0.0f;
        return 0;
    }
    IDirect3DTexture8* pTexture = (color & 0x00FFFFFF) ? g_pWhiteTexture : g_pBlackTexture;
    ShowTexture(pTexture, (float)x, (float)y, (float)width, (float)height, (float)(color >> 24), 1.0f, TRUE);
    return 0;
}

int Rand()
{
    s_uRandState = s_uRandState * 214013u + 2531011u;
    return (int)((s_uRandState >> 16) & 0x7FFF);
}

void SeedRand(unsigned int seed)
{
    s_uRandState = seed;
}

float RandomFloat(float min, float max)
{
    const int r = Rand();
    return (float)(min + r / (32767.0 / (max - min + 1.0)));
}
