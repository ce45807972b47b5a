// What the scenes share: the first-frame camera and unlit state of the late
// scenes, the stage-0 recipe of their images, the letterbox bars of the star
// scenes and the closing draw of the fade overlay every scene makes.
#pragma once

#include "platform/d3dx8/d3dx8.h"

// Each scene's first-frame flag: TRUE until its one-time set-up has run.
extern BOOL g_bScene1Start;
extern BOOL g_bScene2Start;
extern BOOL g_bScene3Start;
extern BOOL g_bScene4Start;
extern BOOL g_bScene5Start;
extern BOOL g_bScene6Start;
extern BOOL g_bScene7Start;
extern BOOL g_bScene8Start;
extern BOOL g_bScene9Start;
extern BOOL g_bScene10Start;
// Scene 1 draws the water and the fireflies until the title card.
extern BOOL g_bWaterVisible;

// The camera looking from vEye at vTarget with a 45-degree view, far plane
// 500; its matrices handed to the device with the identity world.
void SetSceneCamera(const D3DXVECTOR3& vEye, const D3DXVECTOR3& vTarget);
// Light 7 on but lighting off, white ambient, alpha blending on, no fog,
// solid fill.
void SetUnlitSceneState();
// Stage 0 shows the texture alone, filtered linearly, with the given
// addressing in u and v.
void SetImageStage(DWORD dwAddress);
// Opaque black bars over the top and bottom 170 rows.
void DrawLetterbox();
// The fade overlay over the whole screen, while a fade holds it open.
void DrawSceneFade();
