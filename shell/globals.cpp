// Start values of the show's shared state.
#include <new>

#include "gfx/fade.h"
#include "gfx/texture_display.h"
#include "shell/app.h"
#include "shell/d3d_setup.h"
#include "show/media.h"
#include "show/show_clock.h"
#include "util/xfile_mesh.h"

HRESULT InitGlobals()
{
    g_pD3D = NULL;
    g_pd3dDevice = NULL;

    g_fShowTime = 0.0f;
    g_fStartTime = 0.0f;
    g_bRestartClock = TRUE;
    g_dwClearColor = 0xFF000000;

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

    g_dwFadeColor = 0;
    g_fFadeActive = 0.0f;
    g_fFadeStart = 0.0f;
    g_fFadeEnd = 0.0f;

    // Constructed anew; a container left from an earlier start-up is freed.
    delete g_pXFileMesh;
    g_pXFileMesh = new (std::nothrow) CXFileMesh("CD3DFile_Mesh");
    return 0;
}
