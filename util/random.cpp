// The show's random-number generator.
#include "util/random.h"

// Constant-initialised, so it holds 1 before any constructor draws.
static unsigned int s_uRandState = 1;

int Rand()
{
    s_uRandState = s_uRandState * 214013u + 2531011u;
    return (int)((s_uRandState >> 16) & 0x7FFF);
}

void SeedRand(unsigned int seed)
{
    s_uRandState = seed;
}

float RandomFloat(float min, float max)
{
    const int r = Rand();
    return (float)(min + r / (32767.0 / (max - min + 1.0)));
}
