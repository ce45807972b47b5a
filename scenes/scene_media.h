// What media loading and release call in each scene, in the order LoadMedia
// and ReleaseMedia use them (the effects declare their own).
#pragma once

#include "platform/d3d8/d3d8.h"

// Scene 1: water mesh, captions, title pieces, fireflies, the cube map.
HRESULT LoadScene1();
// Scenes 2 and 3, the metaballs (scene 4) and the second tunnel (scene 5).
HRESULT LoadScene2();
HRESULT LoadScene3();
HRESULT LoadScene4();
HRESULT LoadScene5();
// The star (scene 8), the greeting logos (scene 9), the finale (scene 10).
HRESULT LoadScene8();
HRESULT LoadGreetings();
HRESULT LoadScene10();

// Releases, each tolerant of what was never loaded.
void ReleaseScene1();
void ReleaseScene2();
void ReleaseScene3();
void ReleaseScene4();
void ReleaseScene5();
void ReleaseScene8();
void ReleaseGreetings();
void ReleaseScene10();

// The images of scenes 6 and 7, which LoadMedia loads and releases itself.
extern IDirect3DTexture8* g_pForestTexture;
extern IDirect3DTexture8* g_pCredit1Texture;
extern IDirect3DTexture8* g_pCredit2Texture;
extern IDirect3DTexture8* g_pCredit3Texture;
extern IDirect3DTexture8* g_pHelloTexture;
