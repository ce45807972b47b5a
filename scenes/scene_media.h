// What media loading and release call in each scene and effect, in the
// order LoadMedia and ReleaseMedia use them.
#pragma once

#include "platform/d3d8/d3d8.h"

// Scene 1: water mesh, captions, title pieces, fireflies, the cube map.
HRESULT LoadScene1();
// Scenes 2 and 3, the metaballs (scene 4), the second tunnel (scene 5) and
// its firefly swarm.
HRESULT LoadScene2();
HRESULT LoadScene3();
HRESULT LoadScene4();
HRESULT LoadScene5();
HRESULT LoadTunnelSwarm();
// Normals of the second tunnel's mesh, once its loader has built it.
void ComputeTunnel2Normals();
// The star (scene 8), the greeting logos (scene 9), the finale (scene 10).
HRESULT LoadScene8();
HRESULT LoadGreetings();
HRESULT LoadScene10();

// Releases, each tolerant of what was never loaded.
void ReleaseFireflies();
void ReleaseScene1();
void ReleaseScene2();
void ReleaseScene3();
void ReleaseScene4();
void ReleaseScene5();
void ReleaseTunnelSwarm();
void ReleaseScene8();
void ReleaseGreetings();
void ReleaseScene10();
