// The fade overlay.
#include "gfx/fade.h"

#include "base/shared.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "util/interpolate.h"

D3DCOLOR g_dwFadeColor = 0;
float g_fFadeActive = 0.0f;
float g_fFadeStart = 0.0f;
float g_fFadeEnd = 0.0f;

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
