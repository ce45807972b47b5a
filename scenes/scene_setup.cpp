// Set-up and overlays shared by scenes 6 to 10.
#include "scenes/scene_setup.h"

#include "base/shared.h"
#include "gfx/fade.h"
#include "util/camera.h"

#define LETTERBOX_HEIGHT 170

void SetSceneCamera(const D3DXVECTOR3& vEye, const D3DXVECTOR3& vTarget)
{
    const D3DXVECTOR3 vUp(0.0f, 1.0f, 0.0f);
    g_Camera.SetView(vEye, vTarget, vUp);
    g_Camera.SetProjection(D3DX_PI / 4.0f, g_fAspect, 1.0f, 500.0f);

    D3DXMATRIX matView, matProj;
    g_pd3dDevice->SetTransform(D3DTS_WORLD, &g_matIdentity);
    g_pd3dDevice->SetTransform(D3DTS_VIEW, g_Camera.GetViewMatrix(&matView));
    g_pd3dDevice->SetTransform(D3DTS_PROJECTION, g_Camera.GetProjMatrix(&matProj));
}

void SetUnlitSceneState()
{
    g_pd3dDevice->LightEnable(7, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    g_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
    g_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
}

void SetImageStage(DWORD dwAddress)
{
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSU, dwAddress);
    g_pd3dDevice->SetTextureStageState(0, D3DTSS_ADDRESSV, dwAddress);
}

void DrawLetterbox()
{
    const int nWidth = (int)g_fScreenWidth;
    const int nHeight = (int)g_fScreenHeight;
    DrawFade(0xFF000000, 0, 0, nWidth, LETTERBOX_HEIGHT, TRUE);
    // Reaches below the screen; only the bottom 170 rows show.
    DrawFade(0xFF000000, 0, nHeight - LETTERBOX_HEIGHT, nWidth, nHeight, TRUE);
}

void DrawSceneFade()
{
    if (g_fFadeActive != 0.0f)
        DrawFade(g_dwFadeColor, g_rcScreen.left, g_rcScreen.top, g_rcScreen.right, g_rcScreen.bottom, FALSE);
}
