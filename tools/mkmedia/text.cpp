#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace mk {

namespace {

const char* const kFontFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-ExtraLight.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Italic.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/opentype/urw-base35/URWGothic-Book.otf",
    "/usr/share/fonts/opentype/urw-base35/URWGothic-Demi.otf",
    "/usr/share/fonts/opentype/urw-base35/P052-Roman.otf",
    "/usr/share/fonts/opentype/urw-base35/P052-Italic.otf",
    "/usr/share/fonts/opentype/urw-base35/Z003-MediumItalic.otf",
    "/usr/share/fonts/opentype/urw-base35/URWBookman-Demi.otf",
    "/usr/share/fonts/opentype/urw-base35/NimbusSansNarrow-Bold.otf",
    "/usr/share/fonts/opentype/urw-base35/C059-BdIta.otf",
    "/usr/share/fonts/opentype/urw-base35/D050000L.otf",
    "/usr/share/fonts/opentype/urw-base35/StandardSymbolsPS.otf",
};
static_assert(sizeof(kFontFiles) / sizeof(kFontFiles[0]) == static_cast<size_t>(Face::Count));

// Decodes UTF-8 into code points; malformed bytes become U+FFFD.
std::vector<uint32_t> decode(const std::string& s)
{
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (n < 0 || i + n >= s.size() + (n == 0 ? 1 : 0)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        uint32_t cp = n == 0 ? c : (c & (0x3F >> n));
        for (int k = 1; k <= n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += n + 1;
    }
    return out;
}

}  // namespace

struct Fonts::Impl {
    FT_Library lib = nullptr;
    FT_Face faces[static_cast<int>(Face::Count)] = {};

    FT_Face use(const TextStyle& st)
    {
        FT_Face f = faces[static_cast<int>(st.face)];
        const FT_F26Dot6 w = static_cast<FT_F26Dot6>(std::lround(st.size * st.stretchX * 64));
        const FT_F26Dot6 h = static_cast<FT_F26Dot6>(std::lround(st.size * st.stretchY * 64));
        FT_Set_Char_Size(f, std::max<FT_F26Dot6>(w, 64), std::max<FT_F26Dot6>(h, 64), 72, 72);
        return f;
    }
};

Fonts::Fonts() : impl_(std::make_unique<Impl>())
{
    if (FT_Init_FreeType(&impl_->lib)) throw std::runtime_error("FreeType failed to start");
    for (int i = 0; i < static_cast<int>(Face::Count); ++i) {
        if (FT_New_Face(impl_->lib, kFontFiles[i], 0, &impl_->faces[i]))
            throw std::runtime_error(std::string("missing font ") + kFontFiles[i] +
                                     " (install fonts-dejavu-core, fonts-dejavu-extra, fonts-urw-base35)");
        // Symbol fonts carry only a custom charmap; select it so code points index it.
        if (!impl_->faces[i]->charmap && impl_->faces[i]->num_charmaps > 0)
            FT_Set_Charmap(impl_->faces[i], impl_->faces[i]->charmaps[0]);
    }
}

Fonts::~Fonts()
{
    for (FT_Face f : impl_->faces)
        if (f) FT_Done_Face(f);
    if (impl_->lib) FT_Done_FreeType(impl_->lib);
}

namespace {

// Walks the glyphs of utf8, calling fn(glyph slot, pen x) with the slot rendered
// when render is true; returns the final pen position.
template <typename Fn>
float walk(Fonts& fonts, const TextStyle& st, const std::string& utf8, float x0, bool render, Fn&& fn)
{
    FT_Face f = fonts.impl().use(st);
    const bool kern = FT_HAS_KERNING(f);
    FT_UInt prev = 0;
    float pen = x0;
    const float track = st.tracking * st.size * st.stretchX;
    for (uint32_t cp : decode(utf8)) {
        FT_UInt gi = FT_Get_Char_Index(f, cp);
        if (gi == 0 && f->charmap && f->charmap->encoding == FT_ENCODING_ADOBE_CUSTOM) gi = FT_Get_Char_Index(f, cp & 0xFF);
        if (kern && prev && gi) {
            FT_Vector k;
            FT_Get_Kerning(f, prev, gi, FT_KERNING_UNFITTED, &k);
            pen += k.x / 64.0f;
        }
        FT_Vector delta{static_cast<FT_Pos>(std::lround((pen - std::floor(pen)) * 64)), 0};
        FT_Set_Transform(f, nullptr, &delta);
        if (FT_Load_Glyph(f, gi, FT_LOAD_NO_HINTING | (render ? FT_LOAD_RENDER : 0)) == 0) {
            fn(f->glyph, std::floor(pen));
            pen += f->glyph->advance.x / 64.0f + track;
        }
        prev = gi;
    }
    FT_Set_Transform(f, nullptr, nullptr);
    return pen;
}

}  // namespace

TextMetrics measure(Fonts& fonts, const TextStyle& st, const std::string& utf8)
{
    TextMetrics m;
    float end = walk(fonts, st, utf8, 0, false, [](FT_GlyphSlot, float) {});
    FT_Face f = fonts.impl().use(st);
    m.width = end - st.tracking * st.size * st.stretchX;
    m.ascent = f->size->metrics.ascender / 64.0f;
    m.descent = -f->size->metrics.descender / 64.0f;
    return m;
}

void drawText(Fonts& fonts, Plane& mask, const TextStyle& st, const std::string& utf8, float x, float y)
{
    const int by = static_cast<int>(std::lround(y));
    walk(fonts, st, utf8, x, true, [&](FT_GlyphSlot g, float penX) {
        const FT_Bitmap& bm = g->bitmap;
        const int ox = static_cast<int>(penX) + g->bitmap_left;
        const int oy = by - g->bitmap_top;
        for (unsigned r = 0; r < bm.rows; ++r) {
            const int py = oy + static_cast<int>(r);
            if (py < 0 || py >= mask.h) continue;
            for (unsigned c = 0; c < bm.width; ++c) {
                const int px = ox + static_cast<int>(c);
                if (px < 0 || px >= mask.w) continue;
                float v;
                if (bm.pixel_mode == FT_PIXEL_MODE_MONO) v = (bm.buffer[r * bm.pitch + (c >> 3)] >> (7 - (c & 7))) & 1;
                else v = bm.buffer[r * bm.pitch + c] / 255.0f;
                float& d = mask.at(px, py);
                d = std::max(d, v);
            }
        }
    });
}

float fitSize(Fonts& fonts, TextStyle st, const std::string& utf8, float maxWidth)
{
    const float w = measure(fonts, st, utf8).width;
    if (w <= maxWidth) return st.size;
    return st.size * maxWidth / w * 0.995f;
}

}  // namespace mk
