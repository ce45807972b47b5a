// Float RGBA images and the few whole-image operations the recipes need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mk {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};

inline Rgba rgb(float r, float g, float b, float a = 1.0f) { return {r, g, b, a}; }
// 0xRRGGBB to a colour, for palettes written the way designers write them.
Rgba hex(uint32_t rgb24, float a = 1.0f);
Rgba lerp(const Rgba& x, const Rgba& y, float t);
Rgba operator*(const Rgba& c, float k);   // scales rgb only
Rgba operator+(const Rgba& x, const Rgba& y);  // adds rgb, keeps x.a

// Straight (not premultiplied) RGBA, values 0..1, row 0 at the top.
class Image {
public:
    Image() = default;
    Image(int w, int h, Rgba fill = rgb(0, 0, 0, 1));

    int width() const { return w_; }
    int height() const { return h_; }
    bool empty() const { return w_ == 0 || h_ == 0; }

    Rgba& at(int x, int y) { return px_[static_cast<size_t>(y) * w_ + x]; }
    const Rgba& at(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
    // Wrapping access, for tiling textures.
    const Rgba& wrapped(int x, int y) const;
    // Bilinear sample at pixel coordinates (centres at +0.5), clamped or wrapped.
    Rgba sample(float x, float y, bool wrap = false) const;

    // Source-over of c with coverage k at one pixel (straight alpha both sides).
    void blend(int x, int y, const Rgba& c, float k = 1.0f);
    // Adds light: rgb += c.rgb * k, alpha grows towards 1 by the same amount.
    void addLight(int x, int y, const Rgba& c, float k);

    // Whole-image source-over of src placed at (dx, dy).
    void drawOver(const Image& src, int dx, int dy, float opacity = 1.0f);

    std::vector<Rgba>& pixels() { return px_; }
    const std::vector<Rgba>& pixels() const { return px_; }

private:
    int w_ = 0, h_ = 0;
    std::vector<Rgba> px_;
};

// Single-channel float plane (coverage masks, height fields).
struct Plane {
    int w = 0, h = 0;
    std::vector<float> v;
    Plane() = default;
    Plane(int w_, int h_, float fill = 0) : w(w_), h(h_), v(static_cast<size_t>(w_) * h_, fill) {}
    float& at(int x, int y) { return v[static_cast<size_t>(y) * w + x]; }
    float at(int x, int y) const { return v[static_cast<size_t>(y) * w + x]; }
};

// Area-weighted resample to any size (box filter down, bilinear up).
Image resample(const Image& src, int w, int h);
// Gaussian-like blur: three box passes of the given radius; wrap for tiles.
void blur(Plane& p, int radius, bool wrap = false);
void blurImage(Image& img, int radius, bool wrap = false);

// Quantises to 8 bits per channel with a fixed ordered dither (no banding on
// dark gradients, identical on every run). channels is 3 or 4.
std::vector<uint8_t> toBytes(const Image& img, int channels);

}  // namespace mk
