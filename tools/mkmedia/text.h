// Text rasterising with FreeType: strings become coverage masks that the
// recipes colour, glow and shadow as they like.
#pragma once

#include <memory>
#include <string>

#include "image.h"

namespace mk {

// The typefaces the media set uses, by role. All come from Debian packages
// (fonts-dejavu-core, fonts-dejavu-extra, fonts-urw-base35).
enum class Face {
    Sans,         // DejaVu Sans
    SansBold,     // DejaVu Sans Bold
    SansLight,    // DejaVu Sans ExtraLight
    Condensed,    // DejaVu Sans Condensed
    Serif,        // DejaVu Serif
    SerifItalic,  // DejaVu Serif Italic
    Mono,         // DejaVu Sans Mono
    Gothic,       // URW Gothic Book
    GothicDemi,   // URW Gothic Demi
    Book,         // P052 Roman
    BookItalic,   // P052 Italic
    Script,       // Z003 Medium Italic
    Bookman,      // URW Bookman Demi
    Narrow,       // Nimbus Sans Narrow Bold
    Century,      // C059 Bold Italic
    Dingbats,     // D050000L
    Symbols,      // Standard Symbols PS
    Count
};

// Owns the FreeType library and the faces; load once, use from one thread.
class Fonts {
public:
    Fonts();  // throws std::runtime_error naming any font file that is missing
    ~Fonts();
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

struct TextStyle {
    Face face = Face::Sans;
    float size = 32;       // em height in pixels before the stretch below
    float stretchX = 1;    // glyph scale on x (to pre-compensate a stretched draw)
    float stretchY = 1;    // glyph scale on y
    float tracking = 0;    // extra advance per glyph, in em
};

struct TextMetrics {
    float width = 0;     // advance width in pixels
    float ascent = 0;    // pixels above the baseline
    float descent = 0;   // pixels below the baseline (positive)
};

TextMetrics measure(Fonts& fonts, const TextStyle& style, const std::string& utf8);

// Rasterises utf8 with its baseline at (x, y) into mask, combining with max().
void drawText(Fonts& fonts, Plane& mask, const TextStyle& style, const std::string& utf8, float x, float y);

// Largest size (at most style.size) at which the text fits maxWidth pixels.
float fitSize(Fonts& fonts, TextStyle style, const std::string& utf8, float maxWidth);

}  // namespace mk
