// The show's random numbers: one sequence, drawn in a fixed order (see
// effects/random_draw_order.cpp for the draws made before the show starts).
#pragma once

// The C runtime generator: state = state * 214013 + 2531011, value (state >> 16) & 0x7FFF.
int Rand();
// Seeds the generator (state = seed); the show never does, so it starts from 1.
void SeedRand(unsigned int seed);
// min + rand() / (32767 / (max - min + 1)): results lie in [min, max + 1].
float RandomFloat(float min, float max);
