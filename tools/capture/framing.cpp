// The capture's frame: the picture's place and the area filter into it.
#include "tools/capture/framing.h"

#include <algorithm>
#include <cmath>

namespace vt::capture {

namespace {

int NearestEven(double x) { return std::max(2, 2 * int(std::lround(x / 2.0))); }

}  // namespace

Framing PlanFraming(int width, int height, int supersample) {
    Framing f;
    f.width = width;
    f.height = height;
    f.supersample = std::max(supersample, 1);
    const double k = std::min(double(width) / kShowWidth, double(height) / kShowHeight);
    f.pictureWidth = std::min(NearestEven(kShowWidth * k), width);
    f.pictureHeight = std::min(NearestEven(kShowHeight * k), height);
    f.left = (width - f.pictureWidth) / 2;
    f.top = (height - f.pictureHeight) / 2;
    f.scale = float(k * f.supersample);
    // The device stores round(k * side) at this scale, never less than the show's own size.
    const double stored = std::max(double(f.scale), 1.0);
    f.renderWidth = int(std::lround(kShowWidth * stored));
    f.renderHeight = int(std::lround(kShowHeight * stored));
    return f;
}

std::vector<Tap> AreaTaps(int from, int to) {
    std::vector<Tap> taps(size_t(std::max(to, 0)));
    const double step = double(from) / to;
    for (int i = 0; i < to; ++i) {
        const double begin = i * step, end = (i + 1) * step;
        Tap& tap = taps[size_t(i)];
        tap.first = std::min(int(std::floor(begin)), from - 1);
        const int last = std::min(int(std::ceil(end)), from) - 1;
        for (int s = tap.first; s <= std::max(last, tap.first); ++s) {
            const double covered = std::min(end, double(s + 1)) - std::max(begin, double(s));
            tap.weights.push_back(float(std::max(covered, 0.0) / step));
        }
    }
    return taps;
}

void Compose(const std::vector<uint8_t>& rgb, unsigned storedWidth, unsigned storedHeight, const Framing& framing,
             std::vector<uint8_t>& frame) {
    const size_t frameWidth = size_t(framing.width);
    frame.assign(frameWidth * size_t(framing.height) * 3, 0);
    const int pw = framing.pictureWidth, ph = framing.pictureHeight;
    if (storedWidth == unsigned(pw) && storedHeight == unsigned(ph)) {
        for (int y = 0; y < ph; ++y)
            std::copy_n(&rgb[size_t(y) * pw * 3], size_t(pw) * 3,
                        &frame[((size_t(framing.top) + y) * frameWidth + size_t(framing.left)) * 3]);
        return;
    }
    // Across first, into rows of floats, then down.
    const std::vector<Tap> across = AreaTaps(int(storedWidth), pw), down = AreaTaps(int(storedHeight), ph);
    std::vector<float> rows(size_t(storedHeight) * pw * 3);
    for (unsigned y = 0; y < storedHeight; ++y) {
        const uint8_t* in = &rgb[size_t(y) * storedWidth * 3];
        float* out = &rows[size_t(y) * pw * 3];
        for (int x = 0; x < pw; ++x) {
            const Tap& tap = across[size_t(x)];
            float sum[3] = {0, 0, 0};
            for (size_t i = 0; i < tap.weights.size(); ++i)
                for (int c = 0; c < 3; ++c) sum[c] += tap.weights[i] * in[(size_t(tap.first) + i) * 3 + c];
            for (int c = 0; c < 3; ++c) out[size_t(x) * 3 + c] = sum[c];
        }
    }
    for (int y = 0; y < ph; ++y) {
        const Tap& tap = down[size_t(y)];
        uint8_t* out = &frame[((size_t(framing.top) + y) * frameWidth + size_t(framing.left)) * 3];
        for (int x = 0; x < pw * 3; ++x) {
            float sum = 0;
            for (size_t i = 0; i < tap.weights.size(); ++i)
                sum += tap.weights[i] * rows[(size_t(tap.first) + i) * pw * 3 + size_t(x)];
            out[x] = uint8_t(std::clamp(std::lround(sum), 0L, 255L));
        }
    }
}

}  // namespace vt::capture
