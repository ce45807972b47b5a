// The shared look of the media set: one palette (night blue, water teal,
// firefly gold, ember red for the fast scenes) and the few composition pieces
// that several pictures reuse.
#pragma once

#include <string>

#include "image.h"
#include "text.h"
#include "texgen.h"

namespace mk {

namespace pal {
inline const Rgba kNight = hex(0x050A18);     // deepest sky
inline const Rgba kDusk = hex(0x14264A);      // sky near the horizon
inline const Rgba kWater = hex(0x0E3160);     // water body
inline const Rgba kTeal = hex(0x49B6D8);      // highlights on water
inline const Rgba kMist = hex(0xD6E6FF);      // text, moonlight
inline const Rgba kGold = hex(0xFFD77A);      // fireflies
inline const Rgba kGlowGreen = hex(0xC8FF8A); // firefly halo
inline const Rgba kEmber = hex(0xE0482E);     // scene 5
inline const Rgba kAmber = hex(0xF2A247);     // warm wood light
}  // namespace pal

enum class Align { Left, Centre, Right };

// Text as a coverage mask the size of the target image, laid out on one line:
// x is the left edge (Left), the centre (Centre) or the right edge (Right).
Plane textMask(Fonts& fonts, int w, int h, const TextStyle& st, const std::string& text, float x, float baseline,
               Align align = Align::Left);

// Blends colour c over img wherever the mask covers, times opacity.
void paintMask(Image& img, const Plane& mask, const Rgba& c, float opacity = 1.0f);
// A soft halo: the mask blurred by radius, blended as colour c with the given peak.
void paintGlow(Image& img, const Plane& mask, int radius, const Rgba& c, float peak, bool wrap = false);
// Drop shadow: the mask blurred and offset by (dx, dy), in colour c.
void paintShadow(Image& img, const Plane& mask, int dx, int dy, int radius, const Rgba& c, float peak);

// A transparent image whose colour channels are c everywhere, so that filtered
// edges of what is drawn on it do not pick up black from the empty texels.
Image clearImage(int w, int h, const Rgba& c);

// A caption: one line of glowing text on a transparent image, fitted to the
// width with the given margin. The text colour is fill, the halo glow.
Image caption(Fonts& fonts, int w, int h, const std::string& text, TextStyle st, Align align, const Rgba& fill,
              const Rgba& glow, float margin = 0.04f);

// Night sky over still water: sky gradient, stars, an optional moon with its
// glitter path on the water below horizonY (pixels). Moon at (mx, my), radius mr
// (mr <= 0 for none).
void nightScene(Image& img, float horizonY, float mx, float my, float mr, uint32_t seed);

// Scatters n fireflies (gold glow with a greener halo) in a box.
void fireflies(Image& img, int n, float x0, float y0, float x1, float y1, float size, uint32_t seed);

// A treeline silhouette across the image: ridge of conifer tips whose base
// sits at baseY, tip heights up to height; darkness is the colour.
void treeline(Image& img, float baseY, float height, const Rgba& c, float density, uint32_t seed, bool mirror = false);

// A firefly sprite (64 x 64, soft alpha): core colour fading into a halo.
Image fireflySprite(const Rgba& core, const Rgba& halo);

}  // namespace mk
