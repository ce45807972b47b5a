// The program's icon for desktop menus: the title card's night over still
// water in a rounded tile, its lettering reduced to the initial. Painted once
// large and brought down to each size the icon theme asks for.
#include <algorithm>
#include <cmath>
#include <string>

#include "media_set.h"
#include "recipes_common.h"

namespace mk {

namespace {

constexpr int kPaintSize = 512;

// Coverage of a rounded square inset by `inset` with corner radius r, and
// the distance inwards from its edge (for the rim).
float roundedSquare(float x, float y, float size, float inset, float r, float& inside)
{
    const float lo = inset + r, hi = size - inset - r;
    const float dx = std::max({lo - x, x - hi, 0.0f}), dy = std::max({lo - y, y - hi, 0.0f});
    const float d = std::sqrt(dx * dx + dy * dy) - r;  // < 0 within the corner arcs
    const float edge = std::min({x - inset, size - inset - x, y - inset, size - inset - y});
    inside = dx > 0 && dy > 0 ? -d : std::min(edge, -d);
    return clampf(0.5f - d);
}

Image paintIcon(Fonts& fonts)
{
    const float s = kPaintSize;
    const float horizon = s * 0.66f;
    Image scene(kPaintSize, kPaintSize);
    nightScene(scene, horizon, s * 0.5f, s * 0.2f, s * 0.075f, 901);  // the moon in the initial's notch
    treeline(scene, horizon, s * 0.08f, hex(0x03060D), 1.6f, 902, true);
    fireflies(scene, 5, s * 0.1f, s * 0.56f, s * 0.9f, s * 0.86f, 5.0f, 903);

    // The initial in the title card's lettering: mist on a teal halo over a shadow.
    TextStyle st{Face::Gothic, s * 0.78f, 1, 1, 0};
    const Plane v = textMask(fonts, kPaintSize, kPaintSize, st, "V", s * 0.5f, s * 0.74f, Align::Centre);
    paintShadow(scene, v, 0, 10, 16, hex(0x000000), 0.75f);
    paintGlow(scene, v, 22, pal::kTeal, 0.6f);
    paintMask(scene, v, pal::kMist);

    // Cut to a rounded tile with a thin moonlit rim; transparent outside.
    Image icon = clearImage(kPaintSize, kPaintSize, pal::kNight);
    for (int y = 0; y < kPaintSize; ++y)
        for (int x = 0; x < kPaintSize; ++x) {
            float inside = 0;
            const float cover = roundedSquare(x + 0.5f, y + 0.5f, s, s * 0.03f, s * 0.17f, inside);
            if (cover <= 0) continue;
            Rgba c = scene.at(x, y);
            c = lerp(c, pal::kTeal, 0.55f * clampf(1.0f - std::fabs(inside - 5.0f) / 4.0f));
            icon.at(x, y) = rgb(c.r, c.g, c.b, cover);
        }
    return icon;
}

}  // namespace

std::vector<ImageSpec> iconSet()
{
    std::vector<ImageSpec> out;
    for (int size : kIconSizes) {
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        out.push_back({"hicolor/" + dir + "/apps/vantorel.png", Format::PngAlpha, size, size, paintIcon});
    }
    return out;
}

}  // namespace mk
