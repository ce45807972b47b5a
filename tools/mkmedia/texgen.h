// Procedural texture helpers.
//
// Conventions, once for the whole file:
//  - Positions are in texture units: u = (x + 0.5) / width, v = (y + 0.5) / height,
//    both in [0, 1); v grows downward.  Helpers that take (x, y) take these
//    floating-point lattice coordinates already multiplied by a frequency.
//  - Periodic helpers take integer periods (px, py) in lattice cells; a texture
//    sampled over exactly one period tiles without a seam.  A period of 0 means
//    "not periodic" on that axis.
//  - Every value is a pure function of its arguments and a 32-bit seed: no
//    global state, no clock, so output is identical on every run and machine.
//  - Results are in [0, 1] unless the comment says otherwise.
#pragma once

#include <cmath>
#include <cstdint>

#include "image.h"

namespace mk {

constexpr float kPi = 3.14159265358979f;
constexpr float kTau = 6.28318530717959f;

// x clamped to [lo, hi].
inline float clampf(float x, float lo = 0.0f, float hi = 1.0f) { return x < lo ? lo : (x > hi ? hi : x); }
// a + (b - a) t.
inline float mixf(float a, float b, float t) { return a + (b - a) * t; }
// Hermite 3t^2 - 2t^3 of (x - e0) / (e1 - e0) clamped to [0, 1].
inline float smoothstep(float e0, float e1, float x)
{
    const float t = clampf((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Small, fast, fixed-seed generator (SplitMix64); the only randomness we use.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t next();
    // Uniform in [0, 1).
    float uniform() { return static_cast<float>(next() >> 40) / 16777216.0f; }
    // Uniform in [lo, hi).
    float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
    // Integer in [0, n).
    int below(int n) { return static_cast<int>(uniform() * n); }

private:
    uint64_t s_;
};

// Integer hash of (x, y, seed) mapped to [0, 1): the lattice values of the noise.
float hash2(int x, int y, uint32_t seed);

// Value noise: hash2 at the four lattice corners, blended with the quintic
// fade 6t^5 - 15t^4 + 10t^3; lattice wraps at (px, py) when they are > 0.
float valueNoise(float x, float y, int px, int py, uint32_t seed);

// Fractal sum: sum_k gain^k * valueNoise(x 2^k, y 2^k, px 2^k, py 2^k, seed + k),
// normalised by sum_k gain^k; octaves >= 1.
float fbm(float x, float y, int octaves, int px, int py, uint32_t seed, float gain = 0.5f);

// Ridged fractal: like fbm but each octave is 1 - |2 n - 1|, squared (sharp crests).
float ridged(float x, float y, int octaves, int px, int py, uint32_t seed);

// Cellular (Worley) noise: distance from (x, y) to the nearest of one random
// feature point per lattice cell, divided by sqrt(2); wraps at (px, py).
float cellular(float x, float y, int px, int py, uint32_t seed);

// Colour ramp through n stops at evenly spaced positions 0, 1/(n-1), ..., 1,
// linear between neighbours; t is clamped to [0, 1].
Rgba ramp(const Rgba* stops, int n, float t);

// Gaussian glow of a point: exp(-d^2 / (2 sigma^2)) for pixel distance d.
inline float gauss(float d2, float sigma) { return std::exp(-d2 / (2 * sigma * sigma)); }

// Adds a round glow of colour c, peak k, to img centred at (cx, cy) in pixels;
// rx, ry are the sigmas (unequal when the image is drawn stretched).
void addGlow(Image& img, float cx, float cy, float rx, float ry, const Rgba& c, float k);

// Fills every pixel with f(u, v) -> Rgba.
template <typename F>
void fill(Image& img, F&& f)
{
    const float iw = 1.0f / img.width(), ih = 1.0f / img.height();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) img.at(x, y) = f((x + 0.5f) * iw, (y + 0.5f) * ih);
}

// Vertical gradient through the ramp stops, top (v = 0) to bottom (v = 1).
void verticalGradient(Image& img, const Rgba* stops, int n);

// Anti-aliased filled ellipse of colour c blended over img (straight alpha).
void fillEllipse(Image& img, float cx, float cy, float rx, float ry, const Rgba& c);

// Vignette: multiplies rgb by 1 - k * (r / rmax)^p, r from the image centre.
void vignette(Image& img, float k, float p = 2.0f);

// A field of stars: n points of random size and brightness over a region,
// denser towards the top when bias > 0 (density ~ (1 - v)^bias).
void starField(Image& img, int n, float yMax, float bias, uint32_t seed, float scale = 1.0f);

}  // namespace mk
