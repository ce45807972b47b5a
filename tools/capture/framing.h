// Where the show's 4:3 picture goes in a frame of any size, and the filter
// that takes the device's stored picture there.
//
//   const Framing f = PlanFraming(1920, 1080, 1);   // k 1.40625, picture 1440 x 1080 at x 240
//   ... render with SetRenderScale(f.scale) ...
//   Compose(rgb, storedWidth, storedHeight, f, frame);  // W x H, black bars
#pragma once

#include <cstdint>
#include <vector>

namespace vt::capture {

// The show's own back buffer.
constexpr int kShowWidth = 1024;
constexpr int kShowHeight = 768;
// The largest side the device is asked to render.
constexpr int kLargestSide = 16384;

struct Framing {
    int width = kShowWidth, height = kShowHeight;  // the frame
    int pictureWidth = kShowWidth, pictureHeight = kShowHeight;
    int left = 0, top = 0;  // the picture's place; the bars are black
    int supersample = 1;
    float scale = 1.0f;                        // the device's internal resolution to ask for
    int renderWidth = kShowWidth, renderHeight = kShowHeight;  // what that scale stores
};

// The picture fills the frame as far as 4:3 allows, at k = min(W / 1024,
// H / 768); each side is rounded to the nearest even number of pixels, so
// that with an even frame both bars are the same width. It is rendered at
// k times `supersample` and filtered down.
Framing PlanFraming(int width, int height, int supersample);

// The stored picture (RGB, top row first) filtered to the picture's size by
// averaging the source area each pixel covers (a box of N x N when
// supersampling by N) and placed in a black frame. The same size is copied
// as it is.
void Compose(const std::vector<uint8_t>& rgb, unsigned storedWidth, unsigned storedHeight, const Framing& framing,
             std::vector<uint8_t>& frame);

// One side's resampling from `from` pixels to `to`: for each target pixel
// the source pixels it covers and their weights (summing to 1).
struct Tap {
    int first = 0;
    std::vector<float> weights;
};
std::vector<Tap> AreaTaps(int from, int to);

}  // namespace vt::capture
