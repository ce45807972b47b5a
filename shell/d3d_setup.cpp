// Device creation, its fixed state, and error reporting.
#include "shell/d3d_setup.h"

#include <cstdio>
#include <cstring>

#include "gfx/texture_display.h"
#include "platform/d3dx8/d3dx8.h"

IDirect3D8* g_pD3D = NULL;
IDirect3DDevice8* g_pd3dDevice = NULL;

HRESULT InitD3D(HWND hWnd)
{
    g_pD3D = Direct3DCreate8(D3D_SDK_VERSION);
    if (g_pD3D == NULL)
        return E_FAIL;

    D3DDISPLAYMODE mode;
    if (FAILED(g_pD3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)))
        return E_FAIL;

    D3DPRESENT_PARAMETERS pp;
    memset(&pp, 0, sizeof(pp));
    pp.BackBufferWidth = 1024;
    pp.BackBufferHeight = 768;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.BackBufferCount = 2;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = NULL;
    pp.Windowed = FALSE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.Flags = 0;
    pp.FullScreen_RefreshRateInHz = mode.RefreshRate;
    pp.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

    HRESULT hr = g_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hWnd,
                                      D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE, &pp,
                                      &g_pd3dDevice);
    if (FAILED(hr)) {
        ReportError(hr, 0);
        return E_FAIL;
    }
    return S_OK;
}

void FormatErrorText(HRESULT hr, HRESULT mediaFlag, char* text, UINT size)
{
    if (text == NULL || size == 0)
        return;
    char buffer[512];
    strcpy(buffer, "Error: ");
    switch ((DWORD)hr) {
    case 0x8200000Bu:
        strcpy(buffer, "Could not load required media.");
        break;
    case 0x8007000Eu:
        strcpy(buffer, "Not enough memory.");
        break;
    case 0x8876017Cu:
        strcpy(buffer, "Not enough video memory.");
        break;
    default:
        if (mediaFlag == MEDIA_NOT_FOUND)
            strcpy(buffer, "Media not found.");
        else
            D3DXGetErrorStringA(hr, buffer + 7, sizeof(buffer) - 7);
        break;
    }
    snprintf(text, size, "%s", buffer);
}

HRESULT ReportError(HRESULT hr, HRESULT mediaFlag)
{
    char text[512];
    FormatErrorText(hr, mediaFlag, text, sizeof(text));
    MessageBoxA(NULL, text, NULL, MB_ICONWARNING);
    return hr;
}

static DWORD FloatBits(float f)
{
    DWORD dw;
    memcpy(&dw, &f, sizeof(dw));
    return dw;
}

void ApplyInitialDeviceState()
{
    g_pd3dDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0);
    g_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetRenderState(D3DRS_POINTSIZE, FloatBits(10.0f));
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

void GetDefaultMaterial(D3DMATERIAL8* pMaterial)
{
    memset(pMaterial, 0, sizeof(*pMaterial));
    pMaterial->Diffuse.r = pMaterial->Ambient.r = 1.0f;
    pMaterial->Diffuse.g = pMaterial->Ambient.g = 1.0f;
    pMaterial->Diffuse.b = pMaterial->Ambient.b = 1.0f;
    pMaterial->Diffuse.a = pMaterial->Ambient.a = 1.0f;
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
