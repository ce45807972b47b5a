// Textured screen rectangles from the shared quad buffer.
#include "gfx/texture_display.h"

#include <cstring>

#include "base/shared.h"
#include "gfx/stage_state.h"

IDirect3DVertexBuffer8* g_pQuadVB = NULL;
DWORD g_dwCullMode = D3DCULL_CCW;

HRESULT SetCullMode(DWORD dwCullMode)
{
    g_dwCullMode = dwCullMode;
    return g_pd3dDevice->SetRenderState(D3DRS_CULLMODE, dwCullMode);
}

// Copies the four corners into the quad buffer; a failed lock is reported.
static HRESULT FillQuad(const SCREENVERTEX quad[4])
{
    BYTE* pData = NULL;
    HRESULT hr = g_pQuadVB->Lock(0, 4 * sizeof(SCREENVERTEX), &pData, 0);
    if (FAILED(hr))
        return ReportError(hr, 0);
    memcpy(pData, quad, 4 * sizeof(SCREENVERTEX));
    g_pQuadVB->Unlock();
    return S_OK;
}

// Cull off, the fan drawn, then the state every caller can rely on
// afterwards: no texture, source-alpha blending, its own cull mode back.
static HRESULT DrawQuad()
{
    DWORD dwOldCull = g_dwCullMode;
    g_pd3dDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_pd3dDevice->SetStreamSource(0, g_pQuadVB, sizeof(SCREENVERTEX));
    g_pd3dDevice->SetVertexShader(FVF_SCREENVERTEX);
    HRESULT hr = g_pd3dDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
    if (FAILED(hr))
        return ReportError(hr, 0);
    g_pd3dDevice->SetTexture(0, NULL);
    g_pd3dDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    g_pd3dDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    g_pd3dDevice->SetRenderState(D3DRS_CULLMODE, dwOldCull);
    return S_OK;
}

static void SetCorners(SCREENVERTEX quad[4], float x, float y, float w, float h, float z)
{
    const float xs[4] = {x, x + w, x + w, x};
    const float ys[4] = {y, y, y + h, y + h};
    for (int i = 0; i < 4; i++) {
        quad[i].x = xs[i];
        quad[i].y = ys[i];
        quad[i].z = z;
        quad[i].rhw = 1.0f;
    }
}

HRESULT ShowTexture(IDirect3DTexture8* pTexture, float x, float y, float width, float height, float alpha,
                    float texScale, BOOL bFront)
{
    if (alpha == 0.0f)
        return S_OK;

    int w, h;
    if (width == 0.0f && height == 0.0f) {
        if (pTexture == NULL) {
            MessageBoxA(NULL, "ShowTexure()\nTexture is NULL!", NULL, MB_OK);
            return E_FAIL;
        }
        D3DSURFACE_DESC desc;
        pTexture->GetLevelDesc(0, &desc);
        w = (int)desc.Width;
        h = (int)desc.Height;
    } else {
        w = (int)width;
        h = (int)height;
    }

    SCREENVERTEX quad[4];
    SetCorners(quad, x, y, (float)w, (float)h, bFront ? 0.0f : 1.0f);
    const D3DCOLOR diffuse = ((DWORD)(int)alpha & 0xFF) << 24 | 0x00FFFFFF;
    const float tu[4] = {0.0f, texScale, texScale, 0.0f};
    const float tv[4] = {0.0f, 0.0f, texScale, texScale};
    for (int i = 0; i < 4; i++) {
        quad[i].diffuse = diffuse;
        quad[i].tu = tu[i];
        quad[i].tv = tv[i];
    }
    HRESULT hr = FillQuad(quad);
    if (FAILED(hr))
        return hr;

    g_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
    g_pd3dDevice->SetTexture(0, pTexture);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    if (alpha == 255.0f) {
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    } else {
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        g_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    return DrawQuad();
}

// Shared body of both ShowTextureEx forms, once u and v are known.
static HRESULT ShowTextureUV(IDirect3DTexture8* pTexture, UINT texW, UINT texH, const D3DCOLOR colors[4],
                             float x, float y, float width, float height, float uStart, float vStart, float du,
                             float dv)
{
    int w, h;
    if (width == 0.0f && height == 0.0f) {
        w = (int)texW;
        h = (int)texH;
    } else {
        w = (int)width;
        h = (int)height;
    }

    SCREENVERTEX quad[4];
    SetCorners(quad, x, y, (float)w, (float)h, 0.1f);
    const float tu[4] = {uStart, uStart + du, uStart + du, uStart};
    const float tv[4] = {vStart, vStart, vStart + dv, vStart + dv};
    for (int i = 0; i < 4; i++) {
        quad[i].diffuse = colors[i];
        quad[i].tu = tu[i];
        quad[i].tv = tv[i];
    }
    HRESULT hr = FillQuad(quad);
    if (FAILED(hr))
        return hr;

    g_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
    g_pd3dDevice->SetTexture(0, pTexture);
    SetStageModulate();
    return DrawQuad();
}

// Level-0 size of a texture for ShowTextureEx; null texture is reported.
static HRESULT TextureSize(IDirect3DTexture8* pTexture, UINT* pW, UINT* pH)
{
    if (pTexture == NULL) {
        MessageBoxA(NULL, "ShowTextureEx()\npTexture is NULL!", NULL, MB_OK);
        return E_FAIL;
    }
    D3DSURFACE_DESC desc;
    pTexture->GetLevelDesc(0, &desc);
    *pW = desc.Width;
    *pH = desc.Height;
    return S_OK;
}

HRESULT ShowTextureEx(IDirect3DTexture8* pTexture, float srcX, float srcY, float srcWidth, float srcHeight,
                      const D3DCOLOR colors[4], float x, float y, float width, float height, float visible)
{
    if (visible == 0.0f)
        return S_OK;
    UINT texW, texH;
    if (FAILED(TextureSize(pTexture, &texW, &texH)))
        return E_FAIL;
    float uStart = 0.0f, vStart = 0.0f, du = 1.0f, dv = 1.0f;
    if (srcWidth != 0.0f && srcHeight != 0.0f) {
        uStart = srcX / (float)texW;
        vStart = srcY / (float)texH;
        du = srcWidth / (float)texW;
        dv = srcHeight / (float)texH;
    }
    return ShowTextureUV(pTexture, texW, texH, colors, x, y, width, height, uStart, vStart, du, dv);
}

HRESULT ShowTextureEx(IDirect3DTexture8* pTexture, const D3DCOLOR colors[4], float x, float y, float width,
                      float height, float uScale, float vScale, float uOffset, float vOffset, float visible)
{
    if (visible == 0.0f)
        return S_OK;
    UINT texW, texH;
    if (FAILED(TextureSize(pTexture, &texW, &texH)))
        return E_FAIL;
    return ShowTextureUV(pTexture, texW, texH, colors, x, y, width, height, uOffset, vOffset, uScale, vScale);
}
