// Marching-cubes lookup tables for the metaballs' cell layout.
//
// Corners of a cell with minimum corner b and edge s:
//   p0 b+(0,0,s)  p1 b+(s,0,s)  p2 b+(s,0,0)  p3 b+(0,0,0)
//   p4 b+(0,s,s)  p5 b+(s,s,s)  p6 b+(s,s,0)  p7 b+(0,s,0)
// Edges: 0: 0-1, 1: 1-2, 2: 2-3, 3: 3-0, 4: 4-5, 5: 5-6, 6: 6-7, 7: 7-4,
//        8: 0-4, 9: 1-5, 10: 2-6, 11: 3-7.
// A cube index has bit c set when corner c lies below the iso level.
#pragma once

#include "platform/d3d8/d3d8.h"

#define CUBE_CORNERS 8
#define CUBE_EDGES 12
#define CUBE_CASES 256
// A row lists at most five triangles and ends with -1.
#define CUBE_MAX_TRIANGLES 5

// Corner c = b + s * g_nCornerOffset[c] (x, y, z).
extern const int g_nCornerOffset[CUBE_CORNERS][3];
// The corner pair of each edge, first corner first.
extern const int g_nEdgeCorners[CUBE_EDGES][2];
// Per cube index: bit e set when edge e crosses the surface.
extern const WORD g_wEdgeTable[CUBE_CASES];
// Per cube index: edge triples, one per triangle, terminated by -1.
extern const signed char g_cTriTable[CUBE_CASES][16];
