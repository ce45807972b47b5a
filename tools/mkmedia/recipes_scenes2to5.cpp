// Scenes 2 to 5: the tunnel layers and rising lines, the text lattice and its
// panel, the woodland the metaballs reflect, the red tunnel and the symbol
// strips shared with scene 6.
#include <algorithm>
#include <cmath>

#include "media_set.h"
#include "recipes_common.h"

namespace mk {

namespace {

// Scene 2 lines are drawn at their own size from x = 100: left-aligned text
// that stays clear of the right edge (100 + 820 < 1024).
Image risingLine(Fonts& fonts, const char* text)
{
    Image img = clearImage(1024, 64, pal::kMist);
    TextStyle st{Face::Gothic, 44, 1, 1, 0.04f};
    st.size = fitSize(fonts, st, text, 800);
    const TextMetrics m = measure(fonts, st, text);
    const Plane mask = textMask(fonts, 1024, 64, st, text, 8, (64 + m.ascent - m.descent) * 0.5f);
    paintShadow(img, mask, 2, 3, 3, rgb(0, 0, 0), 0.6f);
    paintGlow(img, mask, 5, pal::kTeal, 0.45f);
    paintMask(img, mask, pal::kMist);
    return img;
}

// Tunnel textures: tu runs along a 150-unit segment, tv once around a tube of
// radius 5 to 7.5, so a texel is 3 to 5 times longer than it is wide on the
// wall. Patterns use 3-4x more cells along u to come out round. All periodic.
Image tunnelWater(Fonts&)
{
    Image img(256, 256);
    const Rgba body[] = {hex(0x020814), hex(0x0A2650), hex(0x1E6098), hex(0x7CC8F0)};
    fill(img, [&](float u, float v) {
        const float warp = fbm(u * 6, v * 2, 4, 6, 2, 501);
        const float r1 = 1 - std::fabs(2 * fbm(u * 9 + warp, v * 3, 4, 9, 3, 502) - 1);
        const float r2 = 1 - std::fabs(2 * fbm(u * 15, v * 5 + warp, 3, 15, 5, 503) - 1);
        const float n = fbm(u * 6, v * 2, 4, 6, 2, 504);
        const float t = clampf(0.15f + 0.45f * n + 0.6f * std::pow(r1, 10.0f) + 0.35f * std::pow(r2, 14.0f));
        return ramp(body, 4, t);
    });
    return img;
}

// Periodic plasma: a sum of plane waves with integer wave numbers (a, b), so
// sin(2 pi (a u + b v) + phase) repeats exactly on the unit square; a periodic
// fbm warps the phase. Alpha follows the brightness so the layers interleave.
Image plasma(const Rgba* stops, int n, int k, uint32_t seed, float alphaLo, float alphaHi)
{
    Image img(256, 256);
    fill(img, [&](float u, float v) {
        const float warp = 2.5f * fbm(u * 4, v * 2, 4, 4, 2, seed);
        float s = std::sin(kTau * (k * u) + warp) + std::sin(kTau * (u * k + v * 2) + 1.3f * warp) +
                  std::sin(kTau * (v * 1 - u * k) + 0.7f) + std::sin(kTau * (2 * v + 2 * k * u) + 2.1f * warp);
        s = 0.5f + s / 8;  // to [0, 1]
        const float band = 0.5f + 0.5f * std::sin(s * kTau * 2.5f);
        Rgba c = ramp(stops, n, band);
        c.a = mixf(alphaLo, alphaHi, smoothstep(0.25f, 0.95f, band));
        return c;
    });
    return img;
}

// The lattice text: one copy of the sentence per 5 x 0.5-unit stretch of
// ribbon (10:1), stored 512 x 64 (8:1), so glyphs are pre-squeezed to 0.8 on x.
// It wraps along u: copies follow each other with a separator.
Image sentence(Fonts& fonts)
{
    const char* text = "light drifts on dark water";
    Image img = clearImage(512, 64, pal::kMist);
    TextStyle st{Face::GothicDemi, 40, 0.8f, 1.0f, 0.03f};
    st.size = fitSize(fonts, st, text, 440);
    const TextMetrics m = measure(fonts, st, text);
    const float base = (64 + m.ascent - m.descent) * 0.5f;
    Plane mask = textMask(fonts, 512, 64, st, text, 256, base, Align::Centre);
    // Separator: a small diamond at the seam (x = 0 and x = 512).
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 512; ++x) {
            const float dx = std::min(std::fabs(x + 0.5f), std::fabs(512 - x - 0.5f)) / 0.8f;
            const float d = dx + std::fabs(y + 0.5f - 32);
            mask.at(x, y) = std::max(mask.at(x, y), clampf(7 - d));
        }
    paintGlow(img, mask, 4, pal::kTeal, 0.6f, true);
    paintMask(img, mask, pal::kMist);
    return img;
}

// The right-quarter panel of scene 3, 256 x 768 on screen: a tall slice of the
// night lake. Its left edge is faded by the draw; the image fades too.
Image panel(Fonts& fonts)
{
    Image img(256, 768);
    nightScene(img, 430, 150, 160, 34, 601);
    treeline(img, 430, 40, hex(0x02040A), 1.4f, 602, true);
    fireflies(img, 9, 10, 330, 246, 560, 1.8f, 603);
    TextStyle st{Face::Gothic, 26, 1, 1, 0.45f};
    Plane m = textMask(fonts, 256, 768, st, "VANTOREL", 128, 730, Align::Centre);
    paintGlow(img, m, 6, pal::kTeal, 0.5f);
    paintMask(img, m, pal::kMist);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 256; ++x) img.at(x, y).a = 0.9f * smoothstep(0, 48, static_cast<float>(x));
    return img;
}

// The panel's scrolling column: drawn tiled 2 x 1.5 over 256 x 768, so one
// tile is 128 x 512 on screen, the size of the file. Wraps vertically.
Image textColumn(Fonts& fonts)
{
    static const char* const lines[] = {
        "water log, night one", "", "wind ........ none", "moon ........ high", "depth ... unknown",
        "fireflies ..... 19", "", "the lake keeps", "every light we", "hand it, and gives",
        "back the softer", "half of it", "", "we count ripples", "instead of hours",
        "and lose count", "on purpose", "", "somewhere a fish", "turns over in", "its sleep", "",
        "the far shore", "puts its lanterns", "out, one by one", "", "we stay", "", "and stay", "",
        "~", "",
    };
    const int n = sizeof(lines) / sizeof(lines[0]);
    const float lh = 512.0f / n;
    Image img = clearImage(128, 512, pal::kMist);
    Plane mask(128, 512);
    TextStyle st{Face::Condensed, 12.5f};
    for (int i = 0; i < n; ++i) drawText(fonts, mask, st, lines[i], 6, (i + 0.75f) * lh);
    paintGlow(img, mask, 2, pal::kTeal, 0.35f, true);
    paintMask(img, mask, pal::kMist);
    return img;
}

// Woodland at dusk, the panorama behind the metaballs (1937 x 768 on screen)
// and their sphere map: warm light between layers of trunks in mist.
Image woodland(Fonts&)
{
    const int w = 1937, h = 768;
    Image img(w, h);
    const Rgba sky[] = {hex(0x1B1030), hex(0x5A2E4A), hex(0xC46A3C), hex(0xF2B765), hex(0x7A4A2A)};
    verticalGradient(img, sky, 5);
    addGlow(img, 1180, 560, 420, 220, hex(0xFFD08A), 0.55f);
    struct Layer {
        int count;
        float wMin, wMax;
        Rgba colour;
        float fog;
    };
    const Layer layers[] = {
        {50, 6, 14, hex(0x6A3A36), 0.55f}, {28, 14, 30, hex(0x3A1E22), 0.3f}, {13, 34, 70, hex(0x140A0E), 0.0f}};
    Rng rng(701);
    for (int li = 0; li < 3; ++li) {
        const Layer& L = layers[li];
        for (int i = 0; i < L.count; ++i) {
            const float cx = rng.range(-40, static_cast<float>(w + 40));
            const float tw = rng.range(L.wMin, L.wMax);
            const float lean = rng.range(-0.03f, 0.03f);
            const uint32_t bark = 710 + li * 100 + i;
            for (int y = 0; y < h; ++y) {
                const float x0 = cx + lean * (h - y) - tw * 0.5f * (1 + 0.25f * (y / float(h)));
                const float x1 = cx + lean * (h - y) + tw * 0.5f * (1 + 0.25f * (y / float(h)));
                for (int x = std::max(0, static_cast<int>(x0) - 1); x <= std::min(w - 1, static_cast<int>(x1) + 1); ++x) {
                    const float cov = clampf(x + 1 - x0) * clampf(x1 - x);
                    if (cov <= 0) continue;
                    const float across = (x + 0.5f - x0) / (x1 - x0);
                    const float grain = fbm(across * 3, y / 18.0f, 4, 0, 0, bark);
                    // Rim light on the side facing the glow, bark grain in the body.
                    const float rim = smoothstep(0.7f, 1.0f, across) * (1 - L.fog) * 0.6f;
                    Rgba c = L.colour * (0.75f + 0.5f * grain) + hex(0xF2A247) * rim;
                    c = lerp(c, img.at(x, y), L.fog * (0.3f + 0.7f * (1 - y / float(h))));
                    img.blend(x, y, c, cov);
                }
            }
        }
        // Mist between layers, thickest low down.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float m = fbm(x / 240.0f, y / 60.0f, 4, 0, 0, 790 + li) * smoothstep(200, 700, float(y));
                img.blend(x, y, hex(0xE9B98A), 0.22f * m);
            }
    }
    // Forest floor and a few fireflies.
    for (int y = 690; y < h; ++y)
        for (int x = 0; x < w; ++x) img.blend(x, y, hex(0x0D0806), smoothstep(690, 740, float(y)) * 0.9f);
    fireflies(img, 30, 0, 520, float(w), 740, 2.0f, 720);
    return img;
}

// A spare panorama kept beside the woodland: a bright horizon between sky and
// water, chrome-reflection style, 2:1.
Image horizonPanorama(Fonts&)
{
    Image img(512, 256);
    const Rgba stops[] = {hex(0x0B1B3C), hex(0x3F6FA8), hex(0xE7F1FF), hex(0x3A2A24), hex(0x0A0806)};
    fill(img, [&](float u, float v) {
        const float n = fbm(u * 6, v * 8, 4, 6, 0, 801);
        Rgba c = ramp(stops, 5, clampf(v + 0.06f * (n - 0.5f)));
        const float cloud = smoothstep(0.55f, 0.8f, fbm(u * 8, v * 20, 5, 8, 0, 802)) * (1 - smoothstep(0.3f, 0.5f, v));
        return lerp(c, hex(0xF5F8FF), cloud * 0.5f);
    });
    return img;
}

// Sphere map of the red tunnel: the centre of the image faces the camera.
// Embers and molten ripples, brightest towards the upper middle.
Image redwater(Fonts&)
{
    Image img(512, 512);
    const Rgba body[] = {hex(0x120204), hex(0x5A0A0C), hex(0xB2261A), hex(0xF07A2A), hex(0xFFE2A0)};
    fill(img, [&](float u, float v) {
        // The caustic network of the blue water, in ember colours.
        const float warp = fbm(u * 3, v * 3, 4, 3, 3, 901);
        const float r1 = 1 - std::fabs(2 * fbm(u * 5 + warp, v * 5, 4, 5, 5, 902) - 1);
        const float r2 = 1 - std::fabs(2 * fbm(u * 9, v * 9 + warp, 3, 9, 9, 903) - 1);
        const float n = fbm(u * 5, v * 5, 5, 5, 5, 904);
        const float dx = u - 0.5f, dy = v - 0.38f;
        const float hot = std::exp(-(dx * dx + dy * dy) * 9);
        const float caustic = 0.7f * std::pow(r1, 10.0f) + 0.4f * std::pow(r2, 14.0f);
        return ramp(body, 5, clampf(0.12f + 0.4f * n + 0.55f * caustic * (0.6f + hot) + 0.2f * hot));
    });
    return img;
}

// Symbol strips: drawn 64 px high with the texture repeated three times across
// the screen, i.e. 341 x 64 px per copy, stored 512 x 64: glyphs pre-squeezed
// to 2/3 on x. Evenly spaced so the copies join without a seam.
Image symbolStrip(Fonts& fonts, Face face, const char* glyphs, float size, const Rgba& colour, uint32_t seed)
{
    Image img = clearImage(512, 64, colour);
    std::vector<std::string> items;
    for (const char* p = glyphs; *p;) {
        const auto c = static_cast<unsigned char>(*p);
        const int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        items.emplace_back(p, len);
        p += len;
    }
    Plane mask(512, 64);
    Rng rng(seed);
    const float step = 512.0f / items.size();
    for (size_t i = 0; i < items.size(); ++i) {
        TextStyle st{face, size * rng.range(0.8f, 1.1f), 2.0f / 3.0f, 1.0f};
        const TextMetrics m = measure(fonts, st, items[i]);
        drawText(fonts, mask, st, items[i], (i + 0.5f) * step - m.width / 2, 32 + st.size * 0.36f);
    }
    // A thin rule above and below ties the strip together.
    for (int x = 0; x < 512; ++x) {
        mask.at(x, 4) = std::max(mask.at(x, 4), 0.6f);
        mask.at(x, 59) = std::max(mask.at(x, 59), 0.6f);
    }
    paintGlow(img, mask, 3, colour, 0.35f, true);
    paintMask(img, mask, colour);
    return img;
}

}  // namespace

void addScenes2to5(std::vector<ImageSpec>& out)
{
    const auto png = Format::PngAlpha;
    struct Line {
        const char* file;
        const char* text;
    };
    // The rising lines of scene 2, in the order they scroll up.
    static const Line lines[] = {
        {"whatif", "what if the dark is only water"},
        {"wereblaim", "we're to blame for every ripple"},
        {"humansare", "humans are small lights, flickering"},
        {"psychologically", "psychologically, we are tides"},
        {"thesun", "the sun forgets us every night"},
        {"theearth", "the earth holds its breath"},
        {"willblaim", "will blame fall on the fireflies"},
        {"usalone", "or rest on us alone"},
    };
    for (const Line& l : lines)
        out.push_back({std::string("data/bitmaps/scene02/") + l.file + ".png", png, 1024, 64,
                       [t = l.text](Fonts& f) { return risingLine(f, t); }});
    out.push_back({"data/bitmaps/scene02/bluewater8.jpg", Format::Jpeg, 256, 256, tunnelWater});
    out.push_back({"data/bitmaps/scene02/plasma.png", png, 256, 256, [](Fonts&) {
                       const Rgba s[] = {hex(0x10204A), hex(0x2E7FB8), hex(0x7A3FB0), hex(0xD6F2FF)};
                       return plasma(s, 4, 3, 511, 0.15f, 0.95f);
                   }});
    out.push_back({"data/bitmaps/scene02/plasma2.png", png, 256, 256, [](Fonts&) {
                       const Rgba s[] = {hex(0x200818), hex(0xB0306A), hex(0xF2A247), hex(0xFFF4C8)};
                       return plasma(s, 4, 4, 521, 0.0f, 0.8f);
                   }});
    out.push_back({"data/bitmaps/scene03/scene4overlay.png", png, 256, 1024, panel});
    out.push_back({"data/bitmaps/scene03/sentence.png", png, 512, 64, sentence});
    out.push_back({"data/bitmaps/scene03/textscroll.png", png, 128, 512, textColumn});
    out.push_back({"data/bitmaps/scene04/envmap2.jpg", Format::Jpeg, 512, 256, horizonPanorama});
    out.push_back({"data/bitmaps/scene04/wood.jpg", Format::Jpeg, 2048, 1024, woodland});
    out.push_back({"data/bitmaps/scene05/firefly_r.png", png, 64, 64,
                   [](Fonts&) { return fireflySprite(hex(0xFFF0D0), pal::kEmber); }});
    out.push_back({"data/bitmaps/scene05/redwater.jpg", Format::Jpeg, 512, 512, redwater});
    out.push_back({"data/bitmaps/texts/symbol1.png", png, 512, 64, [](Fonts& f) {
                       return symbolStrip(f, Face::Dingbats, "\x48\x4A\x4B\x4C\x4E\x51\x52\x53\x54\x55\x56\x57", 40,
                                          pal::kMist, 1001);
                   }});
    out.push_back({"data/bitmaps/texts/symbol2.png", png, 512, 64, [](Fonts& f) {
                       return symbolStrip(f, Face::Symbols, "\x61\x62\x63\x64\x65\x66\x67\x6C\x70\x71\x79\x57", 42,
                                          pal::kGold, 1002);
                   }});
    out.push_back({"data/bitmaps/texts/symbol3.png", png, 512, 64, [](Fonts& f) {
                       return symbolStrip(f, Face::Sans, "◆◇○●△▽□■◈◉", 36, pal::kTeal, 1003);
                   }});
    out.push_back({"data/bitmaps/texts/symbol4.png", png, 512, 64, [](Fonts& f) {
                       return symbolStrip(f, Face::Mono, "0110 1001 7F 3A 0101 E2 1110 5C", 30, pal::kMist, 1004);
                   }});
}

}  // namespace mk
