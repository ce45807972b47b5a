// The device's fixed state, applied once before the media load.
#include "show/device_state.h"

#include <cstring>

#include "base/shared.h"
#include "gfx/texture_display.h"

void ApplyInitialDeviceState()
{
    g_pd3dDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0);
    g_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetRenderState(D3DRS_POINTSIZE, FtoDW(10.0f));
    SetCursor(NULL);
    g_pd3dDevice->ShowCursor(FALSE);
    g_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    g_pd3dDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    SetCullMode(D3DCULL_CCW);
}

void ScaleGammaRamp(D3DGAMMARAMP* pRamp)
{
    WORD* channels[3] = {pRamp->red, pRamp->green, pRamp->blue};
    for (WORD* channel : channels) {
        for (int i = 0; i < 256; i++) {
            DWORD v = (DWORD)channel[i] * 255u;
            channel[i] = (WORD)(v > 65535u ? 65535u : v);
        }
    }
}

void ApplyFixedLighting()
{
    D3DMATERIAL8 mtrl;
    GetDefaultMaterial(&mtrl);
    g_pd3dDevice->SetMaterial(&mtrl);

    D3DLIGHT8 light;
    memset(&light, 0, sizeof(light));
    light.Type = D3DLIGHT_POINT;
    light.Diffuse.r = light.Diffuse.g = light.Diffuse.b = light.Diffuse.a = 255.0f;
    light.Range = 200.0f;
    light.Attenuation1 = 1.0f;
    g_pd3dDevice->SetLight(6, &light);

    memset(&light, 0, sizeof(light));
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse.r = light.Diffuse.g = light.Diffuse.b = light.Diffuse.a = 255.0f;
    light.Direction.x = 1.0f;
    light.Direction.y = -1.0f;
    light.Direction.z = -1.0f;
    g_pd3dDevice->SetLight(7, &light);

    D3DGAMMARAMP ramp;
    g_pd3dDevice->GetGammaRamp(&ramp);
    ScaleGammaRamp(&ramp);
    g_pd3dDevice->SetGammaRamp(D3DSGR_CALIBRATE, &ramp);
}
