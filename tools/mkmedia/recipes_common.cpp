#include "recipes_common.h"

#include <algorithm>
#include <cmath>

namespace mk {

Plane textMask(Fonts& fonts, int w, int h, const TextStyle& st, const std::string& text, float x, float baseline,
               Align align)
{
    Plane m(w, h);
    float left = x;
    if (align != Align::Left) {
        const float tw = measure(fonts, st, text).width;
        left = align == Align::Centre ? x - tw / 2 : x - tw;
    }
    drawText(fonts, m, st, text, left, baseline);
    return m;
}

void paintMask(Image& img, const Plane& mask, const Rgba& c, float opacity)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const float k = mask.at(x, y) * opacity;
            if (k > 0) img.blend(x, y, c, k);
        }
}

void paintGlow(Image& img, const Plane& mask, int radius, const Rgba& c, float peak, bool wrap)
{
    Plane g = mask;
    blur(g, radius, wrap);
    // Normalise so that a solid area reaches `peak`, thin strokes still show.
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const float k = std::min(1.0f, g.at(x, y) * 2.2f) * peak;
            if (k > 0) img.blend(x, y, c, k);
        }
}

void paintShadow(Image& img, const Plane& mask, int dx, int dy, int radius, const Rgba& c, float peak)
{
    Plane s(mask.w, mask.h);
    for (int y = 0; y < mask.h; ++y)
        for (int x = 0; x < mask.w; ++x) {
            const int sx = x - dx, sy = y - dy;
            if (sx >= 0 && sy >= 0 && sx < mask.w && sy < mask.h) s.at(x, y) = mask.at(sx, sy);
        }
    blur(s, radius);
    paintMask(img, s, c, peak);
}

Image clearImage(int w, int h, const Rgba& c) { return Image(w, h, rgb(c.r, c.g, c.b, 0)); }

Image caption(Fonts& fonts, int w, int h, const std::string& text, TextStyle st, Align align, const Rgba& fill,
              const Rgba& glow, float margin)
{
    Image img = clearImage(w, h, fill);
    const float usable = w * (1 - 2 * margin);
    st.size = fitSize(fonts, st, text, usable);
    const TextMetrics m = measure(fonts, st, text);
    // Centre the ascent+descent box vertically.
    const float baseline = (h + m.ascent - m.descent) * 0.5f;
    const float x = align == Align::Left ? w * margin : align == Align::Centre ? w * 0.5f : w * (1 - margin);
    const Plane mask = textMask(fonts, w, h, st, text, x, baseline, align);
    paintGlow(img, mask, std::max(2, h / 12), glow, 0.55f);
    paintMask(img, mask, fill);
    return img;
}

void nightScene(Image& img, float horizonY, float mx, float my, float mr, uint32_t seed)
{
    const int w = img.width(), h = img.height();
    // Sky: deep blue at the zenith, a faint teal band at the horizon.
    const Rgba sky[] = {pal::kNight, hex(0x0A1630), pal::kDusk, hex(0x2B4A6E)};
    for (int y = 0; y < std::min(h, static_cast<int>(horizonY)); ++y) {
        const Rgba c = ramp(sky, 4, std::pow((y + 0.5f) / horizonY, 1.6f));
        for (int x = 0; x < w; ++x) img.at(x, y) = c;
    }
    // Thin cloud veils.
    for (int y = 0; y < std::min(h, static_cast<int>(horizonY)); ++y)
        for (int x = 0; x < w; ++x) {
            const float n = fbm(x / 260.0f, y / 70.0f, 5, 0, 0, seed + 7);
            const float k = smoothstep(0.55f, 0.8f, n) * 0.25f * (0.4f + 0.6f * y / horizonY);
            img.blend(x, y, hex(0x6D86B0), k);
        }
    starField(img, w * static_cast<int>(horizonY) / 2600, horizonY * 0.95f, 0.8f, seed + 1);
    if (mr > 0) {
        addGlow(img, mx, my, mr * 5, mr * 5, hex(0x5A7DB8), 0.35f);
        addGlow(img, mx, my, mr * 1.8f, mr * 1.8f, hex(0xAFC8F0), 0.35f);
        fillEllipse(img, mx, my, mr, mr, hex(0xF4F1E4));
        // Maria: a few darker soft patches on the disc.
        Rng rng(seed + 3);
        for (int i = 0; i < 5; ++i) {
            const float a = rng.range(0, kTau), r = rng.range(0, 0.55f) * mr;
            const float px = mx + std::cos(a) * r, py = my + std::sin(a) * r, s = rng.range(0.15f, 0.3f) * mr;
            for (int y = static_cast<int>(py - s * 2); y <= static_cast<int>(py + s * 2); ++y)
                for (int x = static_cast<int>(px - s * 2); x <= static_cast<int>(px + s * 2); ++x) {
                    const float dx = x + 0.5f - mx, dy = y + 0.5f - my;
                    if (dx * dx + dy * dy > mr * mr * 0.92f || x < 0 || y < 0 || x >= w || y >= h) continue;
                    const float d2 = (x + 0.5f - px) * (x + 0.5f - px) + (y + 0.5f - py) * (y + 0.5f - py);
                    img.blend(x, y, hex(0xC9C6BC), 0.5f * gauss(d2, s));
                }
        }
    }
    // Water: darker than the sky, with horizontal ripples and the moon's path.
    for (int y = static_cast<int>(horizonY); y < h; ++y) {
        const float depth = (y - horizonY) / std::max(1.0f, h - horizonY);
        for (int x = 0; x < w; ++x) {
            // Ripples are long and flat, growing with nearness (perspective).
            const float rip = fbm(x / (50.0f + 110 * depth), (y - horizonY) / (1.5f + 7 * depth), 4, 0, 0, seed + 11);
            const float glint = smoothstep(0.56f, 0.74f, rip);
            Rgba c = lerp(hex(0x0C1C38), hex(0x03070F), std::pow(depth, 0.7f));
            c = c + hex(0x1B3C66) * (0.3f * glint * (1 - depth));
            if (mr > 0) {
                const float spread = mr * (0.9f + 2.5f * depth);
                const float dx = (x + 0.5f - mx) / spread;
                const float path = std::exp(-dx * dx * 2) * glint;
                c = c + hex(0xE8E4D0) * (0.8f * path * (1 - 0.5f * depth));
            }
            img.at(x, y) = c;
        }
    }
}

void fireflies(Image& img, int n, float x0, float y0, float x1, float y1, float size, uint32_t seed)
{
    Rng rng(seed);
    for (int i = 0; i < n; ++i) {
        const float x = rng.range(x0, x1), y = rng.range(y0, y1);
        const float s = size * rng.range(0.5f, 1.3f);
        const float b = rng.range(0.4f, 1.0f);
        addGlow(img, x, y, s * 4, s * 4, pal::kGlowGreen, 0.18f * b);
        addGlow(img, x, y, s * 1.4f, s * 1.4f, pal::kGold, 0.6f * b);
        addGlow(img, x, y, s * 0.5f, s * 0.5f, hex(0xFFFBE8), 0.9f * b);
    }
}

void treeline(Image& img, float baseY, float height, const Rgba& c, float density, uint32_t seed, bool mirror)
{
    const int w = img.width();
    // Column heights: a rolling ridge plus sharp conifer tips.
    std::vector<float> top(w, baseY);
    for (int x = 0; x < w; ++x) top[x] = baseY - height * (0.35f + 0.3f * fbm(x / 300.0f, 0.5f, 3, 0, 0, seed));
    Rng rng(seed + 9);
    const int trees = static_cast<int>(w * density / 10);
    for (int i = 0; i < trees; ++i) {
        const float cx = rng.range(0, static_cast<float>(w));
        const float th = height * rng.range(0.45f, 1.0f);
        const float hw = th * rng.range(0.12f, 0.2f);
        for (int x = static_cast<int>(cx - hw); x <= static_cast<int>(cx + hw); ++x) {
            if (x < 0 || x >= w) continue;
            const float t = std::fabs(x + 0.5f - cx) / hw;  // 0 at the trunk
            // Jagged conifer outline: tiers of branches.
            const float jag = 0.06f * std::fabs(std::sin((x - cx) * 1.7f + i));
            top[x] = std::min(top[x], baseY - th * (1 - t) + th * jag);
        }
    }
    for (int x = 0; x < w; ++x) {
        for (int y = std::max(0, static_cast<int>(top[x]) - 1); y < std::min(img.height(), static_cast<int>(baseY) + 1); ++y) {
            const float k = clampf(y + 1.0f - top[x]) * (y < baseY ? 1.0f : clampf(baseY + 1 - y));
            img.blend(x, y, c, k);
            if (mirror) {
                const int my = static_cast<int>(2 * baseY) - y;
                if (my >= 0 && my < img.height()) img.blend(x, my, c, k * 0.55f);
            }
        }
    }
}

}  // namespace mk
