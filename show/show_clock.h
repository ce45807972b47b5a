// The show clock and the timeline that picks the scene of each frame.
#pragma once

#include "base/shared.h"  // g_fShowTime and g_dwClearColor, which the clock sets
#include "base/timeline.h"


typedef HRESULT (*SCENEFUNC)(float t);

// One half-open window [fStart, fEnd) of show time, bound to a scene.
struct SCENEWINDOW {
    float fStart;
    float fEnd;
    SCENEFUNC pfnScene;
};
extern const SCENEWINDOW g_SceneWindows[NUM_SCENES];

extern float g_fStartTime;
extern BOOL g_bRestartClock;

// The clock before the first frame: not started, show time 0, black clear
// colour, and the counter asked for again on the next reading.
void ResetShowClock();
// Seconds since an arbitrary origin: the high-resolution counter when the
// machine has one, else the millisecond timer.
double GetAbsoluteTime();
// Index (0..9) of the scene whose window holds t, or -1 (before 5 s, at or
// after the end).
int SceneIndexAt(float t);
HRESULT RenderFrame();
