// Render-target switching for the cube map painted at load time.
#include "gfx/render_target.h"

#include "base/shared.h"

HRESULT SetRenderTargetToTexture(D3DCUBEMAP_FACES face, IDirect3DCubeTexture8* pCube, IDirect3DSurface8* pDepth)
{
    if (pCube == NULL)
        return E_INVALIDARG;
    IDirect3DSurface8* pSurface = NULL;
    HRESULT hr = pCube->GetCubeMapSurface(face, 0, &pSurface);
    if (FAILED(hr))
        return ReportError(hr, 0);

    D3DSURFACE_DESC desc;
    pSurface->GetDesc(&desc);
    if (desc.Usage != D3DUSAGE_RENDERTARGET) {
        MessageBoxA(NULL, "SetRenderTargetToTexture()\nTexture missing D3DUSAGE_RENDERTARGET flag!", NULL, MB_OK);
        pSurface->Release();  // nothing else holds this reference
        return E_FAIL;
    }
    g_pd3dDevice->SetRenderTarget(pSurface, pDepth);
    pSurface->Release();
    return S_OK;
}

HRESULT RestoreRenderTarget()
{
    g_pd3dDevice->SetRenderTarget(g_pBackBuffer, g_pZBuffer);
    return S_OK;
}
