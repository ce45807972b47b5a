// Media loading before the show, release after it.
#include "show/media.h"

#include "base/shared.h"
#include "effects/fireflies.h"
#include "effects/tunnel_swarm.h"
#include "effects/wavy_tunnel.h"
#include "gfx/texture_display.h"
#include "scenes/scene_media.h"
#include "show/device_state.h"
#include "util/xfile_mesh.h"

IDirect3DTexture8* g_pLoadingTexture = NULL;

// Screen metrics from the back buffer's description.
static void ComputeScreenMetrics()
{
    IDirect3DSurface8* pBackBuffer = NULL;
    g_pd3dDevice->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &pBackBuffer);
    if (pBackBuffer) {
        pBackBuffer->GetDesc(&g_d3dsdBackBuffer);
        pBackBuffer->Release();
    }
    const float w = (float)g_d3dsdBackBuffer.Width;
    const float h = (float)g_d3dsdBackBuffer.Height;
    g_fAspect = w / h;
    g_fScreenWidth = w;
    g_fScreenHeight = h;
    g_fHalfHeight = h / 2.0f;
    g_fScaleX = w / 1024.0f;
    g_fScaleY = h / 768.0f;
    g_rcScreen.left = 0;
    g_rcScreen.top = 0;
    g_rcScreen.right = (LONG)g_d3dsdBackBuffer.Width;
    g_rcScreen.bottom = (LONG)g_d3dsdBackBuffer.Height;
}

// The one frame presented while loading.
static HRESULT PresentLoadingFrame()
{
    HRESULT hr = g_pd3dDevice->BeginScene();
    if (FAILED(hr))
        return ReportError(hr, 0);
    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    hr = DrawLoadingScreen(g_fShowTime);
    if (FAILED(hr))
        return hr;
    g_pd3dDevice->EndScene();
    g_pd3dDevice->Present(NULL, NULL, NULL, NULL);
    return S_OK;
}

HRESULT LoadMedia()
{
    HRESULT hr;

    ApplyInitialDeviceState();
    g_pd3dDevice->GetRenderTarget(&g_pBackBuffer);
    g_pd3dDevice->GetDepthStencilSurface(&g_pZBuffer);
    D3DXMatrixIdentity(&g_matIdentity);
    ComputeScreenMetrics();
    ApplyFixedLighting();

    hr = g_pd3dDevice->CreateVertexBuffer(4 * sizeof(SCREENVERTEX), 0, D3DFVF_XYZRHW | D3DFVF_DIFFUSE,
                                          D3DPOOL_MANAGED, &g_pQuadVB);
    if (FAILED(hr))
        return ReportError(hr, 0);

    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\loadingscreen.jpg", &g_pLoadingTexture)))
        return hr;
    if (FAILED(hr = PresentLoadingFrame()))
        return hr;

    // The music is loaded silent; scene 1 starts it. Without a sound device
    // or the file the show simply runs silent.
    FSOUND_Init(44100, 32, 0);
    g_pMusic = FSOUND_Sample_Load(FSOUND_FREE, "intro.mp3", FSOUND_LOOP_OFF, 0);

    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\white.jpg", &g_pWhiteTexture)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\black.jpg", &g_pBlackTexture)))
        return hr;

    if (FAILED(LoadScene1()))
        return E_FAIL;  // the loader has reported

    // Scenes 2 to 5: a failure is reported here too, after the loader's own box.
    HRESULT (*const pfnLoaders[])() = {LoadScene2, LoadScene3, LoadScene4, LoadScene5, LoadTunnelSwarm};
    for (auto pfnLoad : pfnLoaders) {
        if (FAILED(hr = pfnLoad()))
            return ReportError(hr, 0);
    }
    ComputeTunnel2Normals();

    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene06\\forest.jpg", &g_pForestTexture)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene07\\credit1.jpg", &g_pCredit1Texture)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene07\\credit2.jpg", &g_pCredit2Texture)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene07\\credit3.jpg", &g_pCredit3Texture)))
        return hr;
    if (FAILED(hr = LoadTextureOrReport("data\\bitmaps\\scene07\\hello.jpg", &g_pHelloTexture)))
        return hr;

    if (FAILED(LoadScene8()) || FAILED(LoadGreetings()) || FAILED(LoadScene10()))
        return E_FAIL;  // the loader has reported

    return S_OK;
}

BOOL g_bLoadingScreenStart = TRUE;

HRESULT DrawLoadingScreen(float)
{
    if (g_bLoadingScreenStart) {
        g_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        g_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        g_bLoadingScreenStart = FALSE;
    }
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetTexture(0, NULL);
    ShowTexture(g_pLoadingTexture, 0.0f, 0.0f, g_fScreenWidth, g_fScreenHeight, 255.0f, 1.0f, TRUE);
    return 0;
}

HRESULT ReleaseMedia()
{
    SAFE_RELEASE(g_pBackBuffer);
    SAFE_RELEASE(g_pZBuffer);
    SAFE_RELEASE(g_pQuadVB);
    SAFE_RELEASE(g_pWhiteTexture);
    SAFE_RELEASE(g_pBlackTexture);
    SAFE_RELEASE(g_pLoadingTexture);
    ReleaseFireflies();
    if (g_pXFileMesh) {
        g_pXFileMesh->ReleaseDeviceMesh();
        g_pXFileMesh->Destroy();
        delete g_pXFileMesh;
        g_pXFileMesh = NULL;
    }
    ReleaseScene1();
    ReleaseScene2();
    ReleaseScene3();
    ReleaseScene4();
    ReleaseScene5();
    ReleaseTunnelSwarm();
    SAFE_RELEASE(g_pForestTexture);
    SAFE_RELEASE(g_pCredit1Texture);
    SAFE_RELEASE(g_pCredit2Texture);
    SAFE_RELEASE(g_pCredit3Texture);
    SAFE_RELEASE(g_pHelloTexture);
    ReleaseScene8();
    ReleaseGreetings();
    ReleaseScene10();
    return 0;
}
