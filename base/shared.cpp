// The show's shared globals, error reporting and the image-loading rule.
#include "base/shared.h"

#include <cstdio>
#include <cstring>

IDirect3D8* g_pD3D = NULL;
IDirect3DDevice8* g_pd3dDevice = NULL;

IDirect3DSurface8* g_pBackBuffer = NULL;
IDirect3DSurface8* g_pZBuffer = NULL;
D3DXMATRIX g_matIdentity;
D3DSURFACE_DESC g_d3dsdBackBuffer;
float g_fAspect = 1.0f;
float g_fScreenWidth = 0.0f;
float g_fScreenHeight = 0.0f;
float g_fHalfHeight = 0.0f;
float g_fScaleX = 0.0f;
float g_fScaleY = 0.0f;
RECT g_rcScreen = {0, 0, 0, 0};
D3DCOLOR g_dwOutlineColor = 0xFFFFFFFF;

float g_fShowTime = 0.0f;
D3DCOLOR g_dwClearColor = 0xFF000000;

IDirect3DTexture8* g_pWhiteTexture = NULL;
IDirect3DTexture8* g_pBlackTexture = NULL;
FSOUND_SAMPLE* g_pMusic = NULL;

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

HRESULT LoadTextureOrReport(const char* szFile, IDirect3DTexture8** ppTexture)
{
    HRESULT hr = D3DXCreateTextureFromFileA(g_pd3dDevice, szFile, ppTexture);
    if (FAILED(hr))
        ReportError(MEDIA_NOT_FOUND, 0);
    return hr;
}

void GetDefaultMaterial(D3DMATERIAL8* pMaterial)
{
    memset(pMaterial, 0, sizeof(*pMaterial));
    pMaterial->Diffuse.r = pMaterial->Ambient.r = 1.0f;
    pMaterial->Diffuse.g = pMaterial->Ambient.g = 1.0f;
    pMaterial->Diffuse.b = pMaterial->Ambient.b = 1.0f;
    pMaterial->Diffuse.a = pMaterial->Ambient.a = 1.0f;
}
