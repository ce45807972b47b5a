// The show's timeline, in one place: the ten scene windows and the music's
// offset. Depends on nothing, so the show, its tools and the music generator
// all read the same numbers.
//
// Each window is half-open, [start of scene n, start of scene n + 1), the
// last one ending at SHOW_END. Times are seconds of show time; the _S values
// are the decimals as doubles (for tools), the plain names the floats the
// show stores and compares (each start is the float of the same decimal as
// the previous window's end, so the windows touch without gap or overlap).
#pragma once

#define NUM_SCENES 10

#define SCENE1_START_S 5.0
#define SCENE2_START_S 90.3
#define SCENE3_START_S 111.6
#define SCENE4_START_S 132.95
#define SCENE5_START_S 154.2
#define SCENE6_START_S 197.0
#define SCENE7_START_S 218.5
#define SCENE8_START_S 239.7
#define SCENE9_START_S 260.8
#define SCENE10_START_S 282.4
#define SHOW_END_S 297.0

#define SCENE1_START ((float)SCENE1_START_S)
#define SCENE2_START ((float)SCENE2_START_S)
#define SCENE3_START ((float)SCENE3_START_S)
#define SCENE4_START ((float)SCENE4_START_S)
#define SCENE5_START ((float)SCENE5_START_S)
#define SCENE6_START ((float)SCENE6_START_S)
#define SCENE7_START ((float)SCENE7_START_S)
#define SCENE8_START ((float)SCENE8_START_S)
#define SCENE9_START ((float)SCENE9_START_S)
#define SCENE10_START ((float)SCENE10_START_S)
// The first frame whose clock is at or past this ends the show.
#define SHOW_END ((float)SHOW_END_S)

// Scene 1 starts the music on its first frame: music time is show time
// less this.
#define MUSIC_START_S SCENE1_START_S
