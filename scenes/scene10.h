// Scene 10: the finale's splash, end screen and last fades.
#pragma once

#include "platform/d3d8/d3d8.h"

class CFinale {
public:
    CFinale();

    // Both pictures; the first failure is reported once and returned.
    HRESULT Create();
    // The pictures and overlay at the show clock.
    HRESULT Render();
    HRESULT Release();

private:
    IDirect3DTexture8* m_pSplashTexture;
    IDirect3DTexture8* m_pEndTexture;
};

extern CFinale g_Finale;
