// State recipes several effects set in the same words.
#pragma once

// Stage 0 colour and alpha = texture x diffuse.
void SetStageModulate();
// Alpha blending on: source alpha over inverse source alpha.
void EnableAlphaBlending();
// Stage 0 coordinates from the camera-space normal through the sphere-map
// matrix: (u, v) = (0.5 nx + 0.5, 0.5 - 0.5 ny).
void SetSphereMapTexGen();
// Stage 0 back to the vertex's own coordinates, untransformed.
void EndTexGen();
