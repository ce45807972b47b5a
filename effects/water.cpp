// Scene 1's water surface: ripples, the environment cube map, the draw.
#include "effects/water.h"

#include <cmath>
#include <cstring>

#include "base/shared.h"
#include "gfx/plane.h"
#include "gfx/render_target.h"
#include "gfx/texture_display.h"
#include "util/camera.h"
#include "util/xfile_mesh.h"

IDirect3DVertexBuffer8* g_pWaterVB = NULL;
IDirect3DIndexBuffer8* g_pWaterIB = NULL;
IDirect3DCubeTexture8* g_pWaterCubeTexture = NULL;
IDirect3DTexture8* g_pBlueWaterTexture = NULL;

// Radians to degrees, as a float; the phase is scaled by it before the sine.
static const float PHASE_SCALE = 57.2957763671875f;

void SetRipple(WaterRipple* pRipple, float centreX, float centreZ, float radius, float wavelength, float amplitude,
               float tStart, float tEnd)
{
    pRipple->bInitialised = 0;
    pRipple->centreX = centreX;
    pRipple->centreZ = centreZ;
    pRipple->radius = radius;
    pRipple->wavelength = wavelength;
    pRipple->amplitude = amplitude;
    pRipple->tStart = tStart;
    pRipple->tEnd = tEnd;
}

HRESULT DisturbWater(IDirect3DVertexBuffer8* pVB, IDirect3DIndexBuffer8* pIB, DWORD dwFVF, WaterRipple* pRipple,
                     float t)
{
    if (t < pRipple->tStart || t > pRipple->tEnd)
        return S_OK;
    if (pVB == NULL || pIB == NULL) {
        MessageBoxA(NULL, "DisturbWater()\nA buffer pointer is NULL!", NULL, MB_OK);
        return E_FAIL;
    }
    const UINT nStride = D3DXGetFVFVertexSize(dwFVF);

    // The whole grid is walked whatever the buffer holds: refuse a format
    // without a position or a buffer too small for it.
    D3DVERTEXBUFFER_DESC desc;
    if (nStride < 3 * sizeof(float) || FAILED(pVB->GetDesc(&desc)) || desc.Size < (UINT)WATER_VERTS * nStride)
        return D3DERR_INVALIDCALL;

    // The front reaches full radius in 2 s; the ripple dies out over its life.
    const float tGrowEnd = pRipple->tStart + 2.0f;
    const float fGrow = ((t < tGrowEnd ? t : tGrowEnd) - pRipple->tStart) / 2.0f;
    const float fFade = (t - pRipple->tStart) / (pRipple->tEnd - pRipple->tStart);
    const float fFront = fGrow * pRipple->radius;
    const float fStrength = 1.0f - fFade;
    const float fTimePhase = t / 10.0f;

    BYTE* pVertices = NULL;
    HRESULT hr = pVB->Lock(0, 0, &pVertices, 0);
    if (FAILED(hr))
        return hr;

    for (int i = 0; i < WATER_VERTS; i++) {
        float* pPos = (float*)(pVertices + (size_t)nStride * i);
        if (!pRipple->bInitialised) {
            const float dx = pPos[0] - pRipple->centreX;
            const float dz = pPos[2] - pRipple->centreZ;
            pRipple->distance[i] = sqrtf(dx * dx + dz * dz);
            pRipple->falloff[i] = pRipple->amplitude - pRipple->distance[i] / pRipple->radius * pRipple->amplitude;
        }
        if (fFront > pRipple->distance[i]) {
            const float fPhase = (pRipple->distance[i] / pRipple->wavelength - fTimePhase) * PHASE_SCALE;
            pPos[1] = pPos[1] + sinf(fPhase) * pRipple->falloff[i] * fStrength;
        }
    }

    pVB->Unlock();
    pRipple->bInitialised = 1;
    return S_OK;
}

void GetWaterLight(D3DLIGHT8* pLight)
{
    memset(pLight, 0, sizeof(*pLight));
    pLight->Type = D3DLIGHT_POINT;
    pLight->Diffuse.r = pLight->Diffuse.g = pLight->Diffuse.b = 400.0f;
    pLight->Position.y = 14.0f;
    pLight->Range = 50.0f;
    pLight->Attenuation0 = 1.0f;
    pLight->Attenuation1 = 1.0f;
    pLight->Attenuation2 = 1.0f;
}

HRESULT CreateWaterMesh()
{
    if (g_pXFileMesh == NULL)
        return ReportError(E_OUTOFMEMORY, 0);  // the container could not be made at start-up
    HRESULT hr = D3DXCreateMeshFVF(WATER_FACES, WATER_VERTS, D3DXMESH_MANAGED, FVF_WATERVERTEX, g_pd3dDevice,
                                   &g_pXFileMesh->m_pSystemMesh);
    if (FAILED(hr))
        return ReportError(hr, 0);
    ID3DXMesh* pMesh = g_pXFileMesh->GetSystemMesh();
    if (FAILED(hr = pMesh->GetVertexBuffer(&g_pWaterVB)) || FAILED(hr = pMesh->GetIndexBuffer(&g_pWaterIB)))
        return ReportError(hr, 0);
    g_pXFileMesh->EnableMaterials(FALSE);
    return S_OK;
}

HRESULT CreateWaterCubeMap()
{
    HRESULT hr = g_pd3dDevice->CreateCubeTexture(WATER_CUBE_EDGE, 1, D3DUSAGE_RENDERTARGET, g_d3dsdBackBuffer.Format,
                                                 D3DPOOL_DEFAULT, &g_pWaterCubeTexture);
    if (FAILED(hr))
        return ReportError(hr, 0);

    // Painted at load time, outside any frame: the device draws only
    // inside a scene, so the painting has a bracket of its own.
    const BOOL bOwnScene = SUCCEEDED(g_pd3dDevice->BeginScene());
    for (int face = 0; face < 6; face++) {
        if (FAILED(hr = SetRenderTargetToTexture((D3DCUBEMAP_FACES)face, g_pWaterCubeTexture, NULL)))
            break;
        ShowTexture(g_pBlueWaterTexture, 0.0f, 0.0f, (float)WATER_CUBE_EDGE, (float)WATER_CUBE_EDGE, 255.0f, 1.0f,
                    TRUE);
    }
    RestoreRenderTarget();
    if (bOwnScene)
        g_pd3dDevice->EndScene();
    return hr;
}

HRESULT ResetWater()
{
    return SetVB3DPlaneRect(g_pWaterVB, g_pWaterIB, FVF_WATERVERTEX, D3DXVECTOR3(-50.0f, 0.0f, 50.0f),
                            D3DXVECTOR3(50.0f, 0.0f, -50.0f), WATER_COLS, WATER_ROWS);
}

HRESULT RenderWater()
{
    IDirect3DDevice8* pDev = g_pd3dDevice;
    if (g_pXFileMesh && g_pXFileMesh->GetSystemMesh())
        D3DXComputeNormals(g_pXFileMesh->GetSystemMesh());

    pDev->SetRenderState(D3DRS_AMBIENT, 0);
    pDev->SetRenderState(D3DRS_LIGHTING, TRUE);
    pDev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    pDev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    pDev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    D3DMATERIAL8 mtrl;
    GetDefaultMaterial(&mtrl);
    pDev->SetMaterial(&mtrl);
    D3DLIGHT8 light;
    GetWaterLight(&light);
    pDev->SetLight(6, &light);
    pDev->LightEnable(6, TRUE);

    pDev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    pDev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    pDev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    pDev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    pDev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    pDev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);

    pDev->SetTexture(0, g_pWaterCubeTexture);
    pDev->SetVertexShader(FVF_WATERVERTEX);
    pDev->SetStreamSource(0, g_pWaterVB, WATER_STRIDE);
    pDev->SetIndices(g_pWaterIB, 0);

    D3DXMATRIX matView;
    pDev->SetTransform(D3DTS_WORLD, &g_matIdentity);
    pDev->SetTransform(D3DTS_VIEW, g_Camera.GetViewMatrix(&matView));

    // Texture coordinates are the camera-space reflection vectors.
    pDev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    pDev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
    HRESULT hr = pDev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, WATER_VERTS, 0, WATER_FACES);
    if (FAILED(hr))
        return hr;
    pDev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    pDev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    pDev->SetTexture(0, NULL);
    return S_OK;
}

void ReleaseWater()
{
    SAFE_RELEASE(g_pWaterVB);
    SAFE_RELEASE(g_pWaterIB);
    SAFE_RELEASE(g_pWaterCubeTexture);
    SAFE_RELEASE(g_pBlueWaterTexture);
}
