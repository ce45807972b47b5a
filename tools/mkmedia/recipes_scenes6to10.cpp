// Scenes 6 to 10: the forest panorama, the credit pictures, the chrome star's
// sphere map, the greetings column and the closing pictures.
#include <algorithm>
#include <cstdio>
#include <cmath>

#include "media_set.h"
#include "recipes_common.h"

namespace mk {

namespace {

// The panorama band of scene 6: 2223 x 428 on screen (stored 2048 x 512).
Image forest(Fonts&)
{
    const int w = 2223, h = 428;
    Image img(w, h);
    nightScene(img, 300, 1500, 80, 30, 1101);
    // Three treelines, far (hazy blue) to near (black), the nearest mirrored
    // in the lake.
    treeline(img, 290, 70, hex(0x1A2D4C), 1.0f, 1102);
    treeline(img, 296, 110, hex(0x0B1528), 0.9f, 1103);
    treeline(img, 300, 150, hex(0x02050B), 0.8f, 1104, true);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float m = fbm(x / 300.0f, y / 40.0f, 4, 0, 0, 1105) * std::exp(-std::pow((y - 300) / 45.0f, 2.0f));
            img.blend(x, y, hex(0x8FA8CF), 0.35f * m);
        }
    fireflies(img, 60, 0, 150, float(w), 400, 1.9f, 1106);
    return img;
}

// A credit picture: the role in small capitals, the handle large, over a
// night-lake picture with a motif of the craft.
enum class Motif { Code, Pictures, Sound };

Image creditPicture(Fonts& fonts, const char* role, const char* handle, Motif motif, uint32_t seed)
{
    Image img(1024, 768);
    nightScene(img, 470, motif == Motif::Pictures ? 300.0f : 820.0f, 150, 44, seed);
    treeline(img, 470, 55, hex(0x02050B), 1.2f, seed + 1, true);
    if (motif == Motif::Code) {
        // Faint columns of hex digits raining into the sky.
        Plane m(1024, 768);
        Rng rng(seed + 2);
        TextStyle st{Face::Mono, 14};
        for (int col = 0; col < 40; ++col) {
            const float x = 8 + col * 25.4f;
            const int len = 4 + rng.below(14);
            const float y0 = rng.range(-100, 300);
            for (int r = 0; r < len; ++r) {
                const char digits[] = "0123456789ABCDEF";
                const std::string s(1, digits[rng.below(16)]);
                drawText(fonts, m, st, s, x, y0 + r * 17);
            }
        }
        paintMask(img, m, pal::kTeal, 0.28f);
    } else if (motif == Motif::Sound) {
        // Three sine ribbons over the water.
        for (int k = 0; k < 3; ++k)
            for (int x = 0; x < 1024; ++x) {
                const float yc = 420 + k * 22 + 26 * std::sin(x / (60.0f + 25 * k) + k) * std::sin(x / 310.0f);
                for (int y = static_cast<int>(yc) - 6; y <= static_cast<int>(yc) + 6; ++y)
                    img.addLight(x, y, pal::kTeal, 0.5f * clampf(2.5f - std::fabs(y + 0.5f - yc)));
            }
    }
    fireflies(img, motif == Motif::Pictures ? 40 : 16, 40, 300, 1000, 600, 2.4f, seed + 3);
    TextStyle roleSt{Face::Gothic, 34, 1, 1, 0.6f};
    Plane r = textMask(fonts, 1024, 768, roleSt, role, 512, 610, Align::Centre);
    paintMask(img, r, hex(0x9FB6D6));
    TextStyle nameSt{Face::BookItalic, 120, 1, 1, 0.02f};
    Plane n = textMask(fonts, 1024, 768, nameSt, handle, 512, 712, Align::Centre);
    paintShadow(img, n, 0, 5, 8, rgb(0, 0, 0), 0.7f);
    paintGlow(img, n, 12, pal::kGold, 0.4f);
    paintMask(img, n, pal::kMist);
    return img;
}

Image hello(Fonts& fonts)
{
    Image img(1024, 768);
    nightScene(img, 520, 512, 250, 90, 1301);
    treeline(img, 520, 60, hex(0x02050B), 1.0f, 1302, true);
    fireflies(img, 70, 30, 200, 994, 640, 2.3f, 1303);
    TextStyle big{Face::Script, 190};
    Plane m = textMask(fonts, 1024, 768, big, "hello", 512, 480, Align::Centre);
    paintShadow(img, m, 0, 6, 10, rgb(0, 0, 0), 0.8f);
    paintGlow(img, m, 16, pal::kGold, 0.55f);
    paintMask(img, m, hex(0xFFF6DA));
    TextStyle small{Face::BookItalic, 34};
    Plane s = textMask(fonts, 1024, 768, small, "to everyone who stayed up for the fireflies", 512, 640, Align::Centre);
    paintShadow(img, s, 0, 3, 4, rgb(0, 0, 0), 0.7f);
    paintMask(img, s, pal::kMist);
    return img;
}

// Chrome sphere map: each texel is the environment seen in the direction a
// mirror ball reflects at that point. Normal n = (2u - 1, 1 - 2v, -sqrt(..)),
// view d = (0, 0, 1), reflection r = d - 2 (d.n) n; texels outside the disc
// take the rim's normal.
Image chromeSphereMap(Fonts&)
{
    Image img(512, 512);
    fill(img, [](float u, float v) {
        float nx = 2 * u - 1, ny = 1 - 2 * v;
        float l2 = nx * nx + ny * ny;
        if (l2 > 1) {
            const float l = std::sqrt(l2);
            nx /= l;
            ny /= l;
            l2 = 1;
        }
        const float nz = -std::sqrt(std::max(0.0f, 1 - l2));
        const float dn = nz;  // d = (0, 0, 1)
        const float rx = -2 * dn * nx, ry = -2 * dn * ny, rz = 1 - 2 * dn * nz;
        Rgba c;
        if (ry >= 0) {
            const Rgba sky[] = {hex(0xF4FAFF), hex(0x9CC8EA), hex(0x2E5C96), hex(0x0B1B3C)};
            c = ramp(sky, 4, std::pow(ry, 0.6f));
            // Soft light panels, like a studio window reflected in chrome.
            const float az = std::atan2(rx, rz);
            const float panel = smoothstep(0.25f, 0.2f, std::fabs(az - 0.9f)) * smoothstep(0.15f, 0.35f, ry) *
                                smoothstep(0.85f, 0.7f, ry);
            c = lerp(c, hex(0xFFFFFF), panel * 0.85f);
            const float moon = std::exp(-((rx + 0.45f) * (rx + 0.45f) + (ry - 0.62f) * (ry - 0.62f)) * 300);
            c = lerp(c, hex(0xFFF4D0), clampf(moon * 2));
        } else {
            const Rgba ground[] = {hex(0xC9D8E8), hex(0x3B4A5E), hex(0x141A24), hex(0x05070B)};
            c = ramp(ground, 4, std::pow(-ry, 0.5f));
            const float az = std::atan2(rx, rz);
            c = c + hex(0x49B6D8) * (0.15f * (0.5f + 0.5f * std::sin(az * 9)) * (1 + ry));
        }
        return c;
    });
    return img;
}

// A greeting logo: drawn at its own size at x = 768, so 256 px wide, 64 high
// (80 px apart in the column). It crosses the white middle and the black bars,
// so every logo has a dark outline and a light fill.
struct Greeting {
    const char* name;
    Face face;
    uint32_t fill;
    uint32_t edge;
    float tracking;
};

Image greeting(Fonts& fonts, const Greeting& g, int index)
{
    Image img = clearImage(256, 64, hex(g.edge));
    TextStyle st{g.face, 40, 1, 1, g.tracking};
    st.size = fitSize(fonts, st, g.name, 232);
    const TextMetrics m = measure(fonts, st, g.name);
    const float base = (64 + m.ascent - m.descent) * 0.5f;
    Plane mask = textMask(fonts, 256, 64, st, g.name, 128, base, Align::Centre);
    // Outline: the mask grown by ~2 px (blurred, then thresholded softly).
    Plane outline = mask;
    blur(outline, 2);
    for (float& v : outline.v) v = clampf(v * 4);
    paintMask(img, outline, hex(g.edge), 0.95f);
    paintGlow(img, mask, 4, hex(g.fill), 0.3f);
    // Fill with a gentle top-to-bottom shade.
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) {
            const float k = mask.at(x, y);
            if (k <= 0) continue;
            img.blend(x, y, lerp(hex(g.fill), hex(g.fill) * 0.72f, y / 64.0f), k);
        }
    // Every third logo gets an underline flourish.
    if (index % 3 == 1)
        for (int x = 40; x < 216; ++x) {
            const float t = 1 - std::fabs((x - 128) / 88.0f);
            for (int y = 56; y < 60; ++y) img.blend(x, y, hex(g.fill), t * (y == 57 || y == 58 ? 1.0f : 0.4f));
        }
    return img;
}

Image finalSplash(Fonts& fonts)
{
    Image img(1024, 768);
    // Night giving way: violet sky warming to peach at the horizon.
    const Rgba sky[] = {hex(0x0A0F2A), hex(0x2C2352), hex(0x8A4E78), hex(0xF0A58A)};
    for (int y = 0; y < 500; ++y) {
        const Rgba c = ramp(sky, 4, std::pow((y + 0.5f) / 500, 1.3f));
        for (int x = 0; x < 1024; ++x) img.at(x, y) = c;
    }
    starField(img, 160, 280, 1.5f, 1401);
    for (int y = 500; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            const float d = (y - 500) / 268.0f;
            const float rip = fbm(x / 80.0f, (y - 500) / (4 + 25 * d), 4, 0, 0, 1402);
            const Rgba src = ramp(sky, 4, 1 - d * 0.8f);
            img.at(x, y) = lerp(src * 0.55f, hex(0x05060E), std::pow(d, 0.6f)) + hex(0xF0A58A) * (0.25f * smoothstep(0.55f, 0.8f, rip) * (1 - d));
        }
    treeline(img, 500, 70, hex(0x0A0816), 1.1f, 1403, true);
    fireflies(img, 80, 0, 120, 1024, 560, 2.2f, 1404);
    TextStyle st{Face::Gothic, 110, 1, 1, 0.3f};
    Plane m = textMask(fonts, 1024, 768, st, "VANTOREL", 512, 300, Align::Centre);
    paintShadow(img, m, 0, 6, 10, hex(0x0A0816), 0.7f);
    paintGlow(img, m, 16, hex(0xF0A58A), 0.45f);
    paintMask(img, m, hex(0xFFF3E6));
    TextStyle sub{Face::BookItalic, 38};
    Plane s = textMask(fonts, 1024, 768, sub, "good night, fireflies", 512, 370, Align::Centre);
    paintMask(img, s, hex(0xFFE2CF));
    return img;
}

Image endScreen(Fonts& fonts)
{
    Image img(1024, 768);
    const Rgba bg[] = {hex(0x03060F), hex(0x0A1730), hex(0x03060F)};
    verticalGradient(img, bg, 3);
    starField(img, 120, 768, 0.0f, 1501);
    struct Row {
        const char* text;
        Face face;
        float size, y, tracking;
        uint32_t colour;
    };
    const Row rows[] = {
        {"VANTOREL", Face::Gothic, 92, 200, 0.3f, 0xD6E6FF},
        {"a first demo by Mirkhollow", Face::BookItalic, 36, 262, 0.02f, 0xAFC6E4},
        {"code", Face::Gothic, 22, 380, 0.6f, 0x7F95B5},
        {"kestrow", Face::BookItalic, 44, 425, 0.0f, 0xFFD77A},
        {"pictures", Face::Gothic, 22, 485, 0.6f, 0x7F95B5},
        {"mothwick", Face::BookItalic, 44, 530, 0.0f, 0xFFD77A},
        {"sound", Face::Gothic, 22, 590, 0.6f, 0x7F95B5},
        {"tarnreed", Face::BookItalic, 44, 635, 0.0f, 0xFFD77A},
        {"thank you for watching", Face::Gothic, 24, 720, 0.3f, 0xD6E6FF},
    };
    for (const Row& r : rows) {
        TextStyle st{r.face, r.size, 1, 1, r.tracking};
        Plane m = textMask(fonts, 1024, 768, st, r.text, 512, r.y, Align::Centre);
        paintGlow(img, m, std::max(2, static_cast<int>(r.size / 8)), pal::kTeal, 0.35f);
        paintMask(img, m, hex(r.colour));
    }
    fireflies(img, 12, 60, 300, 964, 700, 1.8f, 1502);
    return img;
}

}  // namespace

void addScenes6to10(std::vector<ImageSpec>& out)
{
    out.push_back({"data/bitmaps/scene06/forest.jpg", Format::Jpeg, 2048, 512, forest});
    out.push_back({"data/bitmaps/scene07/credit1.jpg", Format::Jpeg, 1024, 1024, [](Fonts& f) {
                       return creditPicture(f, "CODE", "kestrow", Motif::Code, 1201);
                   }});
    out.push_back({"data/bitmaps/scene07/credit2.jpg", Format::Jpeg, 1024, 1024, [](Fonts& f) {
                       return creditPicture(f, "PICTURES", "mothwick", Motif::Pictures, 1211);
                   }});
    out.push_back({"data/bitmaps/scene07/credit3.jpg", Format::Jpeg, 1024, 1024, [](Fonts& f) {
                       return creditPicture(f, "SOUND", "tarnreed", Motif::Sound, 1221);
                   }});
    out.push_back({"data/bitmaps/scene07/hello.jpg", Format::Jpeg, 1024, 1024, hello});
    out.push_back({"data/bitmaps/scene08/envmap.jpg", Format::Jpeg, 512, 512, chromeSphereMap});

    // Fourteen invented groups, each with its own type and colours.
    static const Greeting greets[] = {
        {"Glasswren", Face::GothicDemi, 0x9FE3FF, 0x06223A, 0.08f},
        {"Ninefold Owls", Face::Bookman, 0xFFD77A, 0x2A1604, 0.0f},
        {"Cinderfen", Face::Century, 0xFF8A5C, 0x2A0804, 0.02f},
        {"Tidewell", Face::Script, 0xBFF2D8, 0x04261A, 0.0f},
        {"VELVETMOTH", Face::Narrow, 0xE3B8FF, 0x1E0830, 0.12f},
        {"Quartzgull", Face::Serif, 0xF4F1E4, 0x1A1A28, 0.02f},
        {"duskrail", Face::Mono, 0x9CF29C, 0x062006, 0.0f},
        {"Owlbeam", Face::SansBold, 0xFFE9A8, 0x302004, 0.04f},
        {"Mossgrid", Face::Condensed, 0xB8E986, 0x142406, 0.1f},
        {"Pellucid Ox", Face::BookItalic, 0xD6E6FF, 0x0A1428, 0.0f},
        {"BRAMBLELOOP", Face::Gothic, 0xFF9EC4, 0x300818, 0.14f},
        {"Fathomkite", Face::SerifItalic, 0x7CC8F0, 0x041A30, 0.0f},
        {"Sablewick", Face::Book, 0xF2A247, 0x281404, 0.04f},
        {"Larkspur Nine", Face::SansLight, 0xFFFFFF, 0x101828, 0.06f},
    };
    for (int i = 0; i < 14; ++i) {
        char path[64];
        std::snprintf(path, sizeof path, "data/bitmaps/scene09/greet%02d.png", i + 1);
        out.push_back({path, Format::PngAlpha, 256, 64, [i](Fonts& f) { return greeting(f, greets[i], i); }});
    }
    out.push_back({"data/bitmaps/scene10/finalsplash.jpg", Format::Jpeg, 1024, 1024, finalSplash});
    out.push_back({"data/bitmaps/scene10/endscreen.png", Format::Png, 1024, 1024, endScreen});
}

}  // namespace mk
