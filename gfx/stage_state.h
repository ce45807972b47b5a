// State recipes several effects set in the same words.
#pragma once

// Stage 0 colour and alpha = texture x diffuse.
void SetStageModulate();
// Alpha blending on: source alpha over inverse source alpha.
void EnableAlphaBlending();
