// Shared images (loading screen, fade overlays) and scene 1: the night lake,
// its captions, the fireflies and the title card.
#include <algorithm>
#include <cmath>

#include "media_set.h"
#include "recipes_common.h"

namespace mk {

namespace {

constexpr const char* kGroup = "MIRKHOLLOW";

Image plain(const Rgba& c) { return Image(32, 32, c); }

Image loadingScreen(Fonts& fonts)
{
    Image img(1024, 768);
    nightScene(img, 500, 760, 170, 38, 101);
    treeline(img, 500, 60, hex(0x02050B), 1.2f, 102, true);
    fireflies(img, 14, 80, 380, 980, 560, 2.2f, 103);
    TextStyle title{Face::Gothic, 96, 1, 1, 0.32f};
    Plane m = textMask(fonts, 1024, 768, title, "VANTOREL", 512, 330, Align::Centre);
    paintGlow(img, m, 14, pal::kTeal, 0.6f);
    paintMask(img, m, pal::kMist);
    TextStyle small{Face::Gothic, 22, 1, 1, 0.5f};
    Plane s = textMask(fonts, 1024, 768, small, "loading the night", 512, 700, Align::Centre);
    paintMask(img, s, hex(0x8FA8C8), 0.9f);
    return img;
}

// Scene 1 lines are drawn at 800 x 100 (or 400 x 50) from 1024 x 128 (512 x 64)
// files: the same 8:1 shape, so the text needs no pre-stretch.
Image poemLine(Fonts& fonts, const char* text)
{
    TextStyle st{Face::BookItalic, 78};
    return caption(fonts, 1024, 128, text, st, Align::Centre, pal::kMist, pal::kTeal, 0.03f);
}

Image creditWord(Fonts& fonts, const char* text, Face face, float tracking)
{
    TextStyle st{face, 44, 1, 1, tracking};
    return caption(fonts, 512, 64, text, st, Align::Centre, pal::kMist, pal::kGold, 0.06f);
}

// The group's emblem: a ring holding a crescent over three water lines, a
// firefly above, the name beneath. Painted at the size the title card shows it.
Image logo(Fonts& fonts)
{
    const int w = 824, h = 668;
    Image img = clearImage(w, h, pal::kMist);
    const float cx = w * 0.5f, cy = 270, R = 200;
    Plane ring(w, h), moon(w, h), lines(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = x + 0.5f - cx, dy = y + 0.5f - cy, d = std::sqrt(dx * dx + dy * dy);
            ring.at(x, y) = clampf(5.0f - std::fabs(d - R)) * 1.0f;
            // Crescent: a disc minus a shifted disc.
            const float d1 = std::sqrt((dx + 10) * (dx + 10) + (dy + 25) * (dy + 25));
            const float d2 = std::sqrt((dx - 38) * (dx - 38) + (dy + 52) * (dy + 52));
            moon.at(x, y) = clampf(110 - d1 + 0.5f) * clampf(d2 - 100 + 0.5f);
        }
    // Three water lines across the lower part of the ring, each a gentle wave.
    for (int i = 0; i < 3; ++i) {
        const float yy = cy + 95 + i * 30, half = std::sqrt(R * R - (yy - cy) * (yy - cy)) - 14;
        for (int x = static_cast<int>(cx - half); x < static_cast<int>(cx + half); ++x) {
            const float yc = yy + 6 * std::sin((x - cx) / 28.0f + i * 1.3f);
            for (int y = static_cast<int>(yc) - 5; y <= static_cast<int>(yc) + 5; ++y)
                if (y >= 0 && y < h) lines.at(x, y) = std::max(lines.at(x, y), clampf(3.2f - std::fabs(y + 0.5f - yc)));
        }
    }
    Plane all = ring;
    for (size_t i = 0; i < all.v.size(); ++i) all.v[i] = std::max({ring.v[i], moon.v[i], lines.v[i]});
    paintGlow(img, all, 14, pal::kTeal, 0.55f);
    paintMask(img, ring, pal::kMist);
    paintMask(img, lines, hex(0x9ED9F0));
    paintMask(img, moon, hex(0xF6F2E2));
    addGlow(img, cx + 120, cy - 120, 26, 26, pal::kGlowGreen, 0.35f);
    addGlow(img, cx + 120, cy - 120, 7, 7, pal::kGold, 1.0f);
    TextStyle name{Face::GothicDemi, 92, 1, 1, 0.22f};
    name.size = fitSize(fonts, name, kGroup, w * 0.9f);
    Plane t = textMask(fonts, w, h, name, kGroup, cx, 590, Align::Centre);
    paintGlow(img, t, 10, pal::kTeal, 0.6f);
    paintMask(img, t, pal::kMist);
    TextStyle tag{Face::BookItalic, 30, 1, 1, 0.05f};
    Plane tg = textMask(fonts, w, h, tag, "lights on dark water", cx, 640, Align::Centre);
    paintMask(img, tg, hex(0xB9CCE6));
    return img;
}

// The title band as it is shown: 1024 x 318 on screen (stored 1024 x 256).
// The crops above and below it read its lower two thirds, so the water there
// carries detail.
Image splash(Fonts& fonts)
{
    Image img(1024, 318);
    nightScene(img, 150, 940, 52, 22, 201);
    treeline(img, 150, 34, hex(0x03060D), 1.5f, 202, true);
    fireflies(img, 22, 30, 90, 1000, 300, 1.8f, 203);
    TextStyle st{Face::Gothic, 120, 1, 1, 0.28f};
    Plane m = textMask(fonts, 1024, 318, st, "VANTOREL", 500, 190, Align::Centre);
    paintShadow(img, m, 0, 6, 8, hex(0x000000), 0.7f);
    paintGlow(img, m, 16, pal::kTeal, 0.5f);
    paintMask(img, m, pal::kMist);
    TextStyle sub{Face::BookItalic, 26, 1, 1, 0.08f};
    Plane s = textMask(fonts, 1024, 318, sub, "a night on the water", 500, 240, Align::Centre);
    paintMask(img, s, hex(0xAFC6E4));
    return img;
}

// Scrolling shadow strip: soft dark smoke, opaque-ish in the middle rows,
// fading at both edges; tiles across (drawn with u scale 2, 512 px per tile).
Image shadowStrip(Fonts&)
{
    Image img(512, 225, rgb(0, 0, 0, 0));
    for (int y = 0; y < 225; ++y)
        for (int x = 0; x < 512; ++x) {
            const float v = (y + 0.5f) / 225, u = (x + 0.5f) / 512;
            const float smoke = fbm(u * 4, v * 3, 5, 4, 0, 301);
            const float streak = fbm(u * 16, v * 1.5f, 3, 16, 0, 302);
            const float profile = std::pow(std::sin(kPi * v), 0.7f);
            const float a = clampf((0.25f + 0.55f * smoke + 0.2f * streak) * profile) * 0.85f;
            img.at(x, y) = rgb(0.02f, 0.03f, 0.07f, a);
        }
    return img;
}

// The environment painted on every face of the water's cube map: moonlit
// ripples on deep blue. It is seen only through reflection vectors, so what
// matters is soft light structure, not a horizon.
Image bluewater(Fonts&)
{
    Image img(512, 512);
    const Rgba body[] = {hex(0x06152E), hex(0x0F3466), hex(0x2A6FA8), hex(0x8FD3F5)};
    fill(img, [&](float u, float v) {
        // Caustic network: thin crests of two warped ridge fields.
        const float warp = fbm(u * 3, v * 3, 4, 3, 3, 401);
        const float r1 = 1 - std::fabs(2 * fbm(u * 5 + warp, v * 5, 4, 5, 5, 402) - 1);
        const float r2 = 1 - std::fabs(2 * fbm(u * 9, v * 9 + warp, 3, 9, 9, 403) - 1);
        const float caustic = 0.7f * std::pow(r1, 12.0f) + 0.4f * std::pow(r2, 16.0f);
        const float n = fbm(u * 4, v * 4, 5, 4, 4, 404);
        return ramp(body, 4, clampf(0.2f + 0.4f * n + 0.6f * caustic));
    });
    addGlow(img, 256, 220, 70, 50, hex(0xCFE8FF), 0.35f);
    return img;
}

// One firefly as the show draws it: a 2 x 2 world-unit quad, a few dozen
// pixels on screen. Hot white-gold core, green halo, alpha all soft.
Image firefly(const Rgba& core, const Rgba& halo)
{
    Image img = clearImage(64, 64, halo);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float dx = (x + 0.5f - 32) / 32, dy = (y + 0.5f - 32) / 32, r2 = dx * dx + dy * dy;
            const float halo_a = std::exp(-r2 * 5.0f) * (1 - smoothstep(0.7f, 1.0f, std::sqrt(r2)));
            const float core_k = std::exp(-r2 * 40.0f);
            const Rgba c = lerp(halo, core, clampf(core_k * 1.4f));
            img.at(x, y) = rgb(c.r, c.g, c.b, clampf(halo_a * 0.9f + core_k));
        }
    return img;
}

}  // namespace

void addSharedAndScene1(std::vector<ImageSpec>& out)
{
    const auto png = Format::PngAlpha;
    out.push_back({"data/bitmaps/loadingscreen.jpg", Format::Jpeg, 1024, 1024, loadingScreen});
    out.push_back({"data/bitmaps/white.jpg", Format::Jpeg, 32, 32, [](Fonts&) { return plain(rgb(1, 1, 1)); }});
    out.push_back({"data/bitmaps/black.jpg", Format::Jpeg, 32, 32, [](Fonts&) { return plain(rgb(0, 0, 0)); }});

    struct Line {
        const char* file;
        const char* text;
    };
    // The opening verse: five lines over the black screen and the first water.
    static const Line poem[] = {
        {"iamfeeling", "I am feeling the night come down"},
        {"inaviolated", "in a violated stillness of water"},
        {"icannolonger", "I can no longer tell the sky from the lake"},
        {"thethings", "the things that glow here never burn"},
        {"ihavevantorel", "I have Vantorel to carry me home"},
    };
    for (const Line& l : poem)
        out.push_back({std::string("data/bitmaps/scene01/") + l.file + ".png", png, 1024, 128,
                       [t = l.text](Fonts& f) { return poemLine(f, t); }});
    out.push_back({"data/bitmaps/scene01/mirk.png", png, 512, 64,
                   [](Fonts& f) { return creditWord(f, kGroup, Face::GothicDemi, 0.3f); }});
    out.push_back({"data/bitmaps/scene01/presents.png", png, 512, 64,
                   [](Fonts& f) { return creditWord(f, "presents", Face::Gothic, 0.2f); }});
    out.push_back({"data/bitmaps/scene01/ourfirst.png", png, 512, 64,
                   [](Fonts& f) { return creditWord(f, "our first", Face::BookItalic, 0.05f); }});
    out.push_back({"data/bitmaps/scene01/demoever.png", png, 512, 64,
                   [](Fonts& f) { return creditWord(f, "demo ever", Face::BookItalic, 0.05f); }});
    out.push_back({"data/bitmaps/scene01/logo.png", png, 1024, 1024, logo});
    out.push_back({"data/bitmaps/scene01/splash.jpg", Format::Jpeg, 1024, 256, splash});
    out.push_back({"data/bitmaps/scene01/shadow.png", png, 512, 256, shadowStrip});
    out.push_back({"data/bitmaps/scene01/bluewater.jpg", Format::Jpeg, 512, 512, bluewater});
    out.push_back({"data/bitmaps/scene01/firefly.png", png, 64, 64,
                   [](Fonts&) { return firefly(hex(0xFFFBE0), pal::kGlowGreen); }});
}

// Shared with scene 5's swarm, which uses a red variant.
Image fireflySprite(const Rgba& core, const Rgba& halo) { return firefly(core, halo); }

}  // namespace mk
