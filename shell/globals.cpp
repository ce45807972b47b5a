// Start values of the show's shared state.
#include <new>

#include "base/shared.h"
#include "effects/fireflies.h"
#include "effects/spline_tunnel.h"
#include "effects/wavy_tunnel.h"
#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "shell/app.h"
#include "show/media.h"
#include "show/show_clock.h"
#include "util/xfile_mesh.h"

HRESULT InitGlobals()
{
    g_pD3D = NULL;
    g_pd3dDevice = NULL;

    ResetShowClock();

    g_pBackBuffer = NULL;
    g_pZBuffer = NULL;
    g_pQuadVB = NULL;
    g_dwCullMode = D3DCULL_CCW;
    g_fAspect = 1.0f;
    g_fScreenWidth = g_fScreenHeight = g_fHalfHeight = 0.0f;
    g_fScaleX = g_fScaleY = 0.0f;
    g_dwOutlineColor = 0xFFFFFFFF;

    g_pLoadingTexture = NULL;
    g_pWhiteTexture = NULL;
    g_pBlackTexture = NULL;
    g_pMusic = NULL;
    g_pForestTexture = NULL;
    g_pCredit1Texture = NULL;
    g_pCredit2Texture = NULL;
    g_pCredit3Texture = NULL;
    g_pHelloTexture = NULL;

    // First-use flags, so that the show can start again in the same process.
    g_bLoadingScreenStart = TRUE;
    g_bScene1Start = g_bScene2Start = g_bScene3Start = g_bScene4Start = g_bScene5Start = TRUE;
    g_bScene6Start = g_bScene7Start = g_bScene8Start = g_bScene9Start = g_bScene10Start = TRUE;
    g_bWaterVisible = TRUE;
    g_bFirefliesStart = TRUE;
    g_bTunnelPathNew = g_bTunnel2PathNew = TRUE;

    g_dwFadeColor = 0;
    g_fFadeActive = 0.0f;
    g_fFadeStart = 0.0f;
    g_fFadeEnd = 0.0f;

    // Constructed anew; a container left from an earlier start-up is freed.
    delete g_pXFileMesh;
    g_pXFileMesh = new (std::nothrow) CXFileMesh("CD3DFile_Mesh");
    return 0;
}
