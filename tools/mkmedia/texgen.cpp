#include "texgen.h"

#include <algorithm>

namespace mk {

uint64_t Rng::next()
{
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

float hash2(int x, int y, uint32_t seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return static_cast<float>(h >> 8) / 16777216.0f;
}

namespace {

inline int wrapIndex(int i, int p)
{
    if (p <= 0) return i;
    i %= p;
    return i < 0 ? i + p : i;
}

inline float quintic(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }

}  // namespace

float valueNoise(float x, float y, int px, int py, uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float tx = quintic(x - fx), ty = quintic(y - fy);
    const int x0 = wrapIndex(ix, px), x1 = wrapIndex(ix + 1, px);
    const int y0 = wrapIndex(iy, py), y1 = wrapIndex(iy + 1, py);
    const float a = hash2(x0, y0, seed), b = hash2(x1, y0, seed);
    const float c = hash2(x0, y1, seed), d = hash2(x1, y1, seed);
    return mixf(mixf(a, b, tx), mixf(c, d, tx), ty);
}

float fbm(float x, float y, int octaves, int px, int py, uint32_t seed, float gain)
{
    float sum = 0, norm = 0, amp = 1;
    for (int k = 0; k < octaves; ++k) {
        sum += amp * valueNoise(x, y, px, py, seed + k * 101u);
        norm += amp;
        amp *= gain;
        x *= 2;
        y *= 2;
        px *= 2;
        py *= 2;
    }
    return sum / norm;
}

float ridged(float x, float y, int octaves, int px, int py, uint32_t seed)
{
    float sum = 0, norm = 0, amp = 1;
    for (int k = 0; k < octaves; ++k) {
        const float n = 1 - std::fabs(2 * valueNoise(x, y, px, py, seed + k * 131u) - 1);
        sum += amp * n * n;
        norm += amp;
        amp *= 0.5f;
        x *= 2;
        y *= 2;
        px *= 2;
        py *= 2;
    }
    return sum / norm;
}

float cellular(float x, float y, int px, int py, uint32_t seed)
{
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    float best = 10;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int cx = ix + dx, cy = iy + dy;
            const int hx = wrapIndex(cx, px), hy = wrapIndex(cy, py);
            const float fx = cx + hash2(hx, hy, seed);
            const float fy = cy + hash2(hx, hy, seed ^ 0x5bd1e995u);
            best = std::min(best, (fx - x) * (fx - x) + (fy - y) * (fy - y));
        }
    }
    return clampf(std::sqrt(best) / 1.41421356f);
}

Rgba ramp(const Rgba* stops, int n, float t)
{
    t = clampf(t) * (n - 1);
    const int i = std::min(static_cast<int>(t), n - 2);
    return lerp(stops[i], stops[i + 1], t - i);
}

void addGlow(Image& img, float cx, float cy, float rx, float ry, const Rgba& c, float k)
{
    const int x0 = std::max(0, static_cast<int>(cx - 3.5f * rx)), x1 = std::min(img.width() - 1, static_cast<int>(cx + 3.5f * rx));
    const int y0 = std::max(0, static_cast<int>(cy - 3.5f * ry)), y1 = std::min(img.height() - 1, static_cast<int>(cy + 3.5f * ry));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
            img.addLight(x, y, c, k * std::exp(-0.5f * (dx * dx + dy * dy)));
        }
    }
}

void verticalGradient(Image& img, const Rgba* stops, int n)
{
    for (int y = 0; y < img.height(); ++y) {
        const Rgba c = ramp(stops, n, (y + 0.5f) / img.height());
        for (int x = 0; x < img.width(); ++x) img.at(x, y) = c;
    }
}

void fillEllipse(Image& img, float cx, float cy, float rx, float ry, const Rgba& c)
{
    const int x0 = std::max(0, static_cast<int>(cx - rx - 2)), x1 = std::min(img.width() - 1, static_cast<int>(cx + rx + 2));
    const int y0 = std::max(0, static_cast<int>(cy - ry - 2)), y1 = std::min(img.height() - 1, static_cast<int>(cy + ry + 2));
    const float rmin = std::min(rx, ry);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
            const float d = (std::sqrt(dx * dx + dy * dy) - 1) * rmin;  // ~pixels outside the rim
            img.blend(x, y, c, clampf(0.5f - d));
        }
    }
}

void vignette(Image& img, float k, float p)
{
    const float cx = img.width() * 0.5f, cy = img.height() * 0.5f;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const float dx = (x + 0.5f - cx) / cx, dy = (y + 0.5f - cy) / cy;
            const float r = std::sqrt(dx * dx + dy * dy) / 1.41421356f;
            const float m = 1 - k * std::pow(r, p);
            Rgba& c = img.at(x, y);
            c.r *= m;
            c.g *= m;
            c.b *= m;
        }
    }
}

void starField(Image& img, int n, float yMax, float bias, uint32_t seed, float scale)
{
    Rng rng(seed);
    for (int i = 0; i < n; ++i) {
        const float x = rng.uniform() * img.width();
        float v = rng.uniform();
        v = 1 - std::pow(1 - v, 1 + bias);  // packs stars towards v = 0
        const float y = v * yMax;
        const float bright = std::pow(rng.uniform(), 3.0f);
        const float size = (0.45f + 0.9f * bright) * scale;
        const float tint = rng.uniform();
        const Rgba c = lerp(hex(0xBFD4FF), hex(0xFFF1D6), tint);
        addGlow(img, x, y, size, size, c, 0.25f + 0.9f * bright);
    }
}

}  // namespace mk
