// The capture's framing: where the picture goes in a frame of any size, at
// what scale it is rendered, and the area filter that brings it there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

#include "tools/capture/framing.h"

namespace {

using vt::capture::AreaTaps;
using vt::capture::Compose;
using vt::capture::Framing;
using vt::capture::PlanFraming;

TEST(Framing, ThePictureFillsTheFrameAsFarAsFourToThreeAllows) {
    struct Case {
        int w, h, n;
        int pw, ph, left, top;
        float scale;
        int rw, rh;
    };
    const Case cases[] = {
        {1024, 768, 1, 1024, 768, 0, 0, 1.0f, 1024, 768},
        {1920, 1080, 1, 1440, 1080, 240, 0, 1.40625f, 1440, 1080},
        {3840, 2160, 2, 2880, 2160, 480, 0, 5.625f, 5760, 4320},
        {2048, 2048, 1, 2048, 1536, 0, 256, 2.0f, 2048, 1536},  // narrower than 4:3: bars above and below
        {1024, 768, 2, 1024, 768, 0, 0, 2.0f, 2048, 1536},
        {512, 384, 1, 512, 384, 0, 0, 0.5f, 1024, 768},  // never stored below the show's own size
        // 1024 x 0.9115 is 933.3: rounded to 934 so both bars are 33 wide.
        {1000, 700, 1, 934, 700, 33, 0, 700.0f / 768.0f, 1024, 768},
    };
    for (const Case& c : cases) {
        const Framing f = PlanFraming(c.w, c.h, c.n);
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " N=" + std::to_string(c.n));
        EXPECT_EQ(f.width, c.w);
        EXPECT_EQ(f.height, c.h);
        EXPECT_EQ(f.pictureWidth, c.pw);
        EXPECT_EQ(f.pictureHeight, c.ph);
        EXPECT_EQ(f.left, c.left);
        EXPECT_EQ(f.top, c.top);
        EXPECT_EQ(f.width - f.pictureWidth - f.left, f.left) << "bars of one width";
        EXPECT_FLOAT_EQ(f.scale, c.scale);
        EXPECT_EQ(f.renderWidth, c.rw);
        EXPECT_EQ(f.renderHeight, c.rh);
    }
}

TEST(Framing, AreaTapsCoverEachSourcePixelOnce) {
    for (auto [from, to] : {std::pair{8, 4}, {2048, 1024}, {1024, 1440}, {1024, 934}, {7, 3}, {3, 3}}) {
        const auto taps = AreaTaps(from, to);
        ASSERT_EQ(taps.size(), size_t(to));
        std::vector<double> coverage(size_t(from), 0.0);
        for (const auto& tap : taps) {
            ASSERT_FALSE(tap.weights.empty());
            EXPECT_NEAR(std::accumulate(tap.weights.begin(), tap.weights.end(), 0.0), 1.0, 1e-5) << from << "->" << to;
            for (size_t i = 0; i < tap.weights.size(); ++i) {
                ASSERT_LT(tap.first + int(i), from);
                coverage[size_t(tap.first) + i] += tap.weights[i];
            }
        }
        // Every source pixel gives the same share in all: to / from.
        for (double c : coverage) EXPECT_NEAR(c, double(to) / from, 1e-5) << from << "->" << to;
    }
    const auto halves = AreaTaps(4, 2);
    EXPECT_EQ(halves[1].first, 2);
    EXPECT_EQ(halves[1].weights, (std::vector<float>{0.5f, 0.5f}));
}

std::vector<uint8_t> Pattern(unsigned w, unsigned h) {
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            for (unsigned c = 0; c < 3; ++c) rgb[(size_t(y) * w + x) * 3 + c] = uint8_t((x * 7 + y * 13 + c * 50) % 256);
    return rgb;
}

TEST(Framing, SupersampledPicturesAreBoxFilteredIntoTheirPlace) {
    Framing f;
    f.width = 8;
    f.height = 4;
    f.pictureWidth = 4;
    f.pictureHeight = 2;
    f.left = 2;
    f.top = 1;
    const std::vector<uint8_t> in = Pattern(8, 4);  // 2 x 2 blocks for each picture pixel
    std::vector<uint8_t> out;
    Compose(in, 8, 4, f, out);
    ASSERT_EQ(out.size(), 8u * 4 * 3);
    for (unsigned y = 0; y < 4; ++y)
        for (unsigned x = 0; x < 8; ++x)
            for (unsigned c = 0; c < 3; ++c) {
                const uint8_t got = out[(y * 8 + x) * 3 + c];
                const bool inside = x >= 2 && x < 6 && y >= 1 && y < 3;
                if (!inside) {
                    EXPECT_EQ(got, 0) << x << "," << y;
                    continue;
                }
                const unsigned sx = (x - 2) * 2, sy = (y - 1) * 2;
                unsigned sum = 0;
                for (unsigned dy = 0; dy < 2; ++dy)
                    for (unsigned dx = 0; dx < 2; ++dx) sum += in[((sy + dy) * 8 + sx + dx) * 3 + c];
                EXPECT_NEAR(got, sum / 4.0, 0.5) << x << "," << y << " channel " << c;
            }
}

TEST(Framing, APictureOfTheStoredSizeIsCopiedUnchanged) {
    const Framing f = PlanFraming(1920, 1080, 1);
    const std::vector<uint8_t> in = Pattern(1440, 1080);
    std::vector<uint8_t> out;
    Compose(in, 1440, 1080, f, out);
    ASSERT_EQ(out.size(), 1920u * 1080 * 3);
    for (unsigned y = 0; y < 1080; y += 97) {
        EXPECT_EQ(std::vector<uint8_t>(&out[(y * 1920 + 240) * 3], &out[(y * 1920 + 1680) * 3]),
                  std::vector<uint8_t>(&in[y * 1440 * 3], &in[(y + 1) * 1440 * 3]))
            << "row " << y;
        EXPECT_EQ(std::count(&out[y * 1920 * 3], &out[(y * 1920 + 240) * 3], 0), 240 * 3) << "left bar, row " << y;
        EXPECT_EQ(std::count(&out[(y * 1920 + 1680) * 3], &out[(y + 1) * 1920 * 3], 0), 240 * 3) << "right bar";
    }
    // A flat picture stays flat when filtered up or down by any ratio.
    const Framing odd = PlanFraming(1000, 700, 1);
    std::vector<uint8_t> flat(1024u * 768 * 3, 200);
    Compose(flat, 1024, 768, odd, out);
    EXPECT_EQ(out[(350 * 1000 + 33) * 3], 200);
    EXPECT_EQ(out[(350 * 1000 + 32) * 3], 0);
    EXPECT_EQ(out[(699 * 1000 + 966) * 3], 200);
    EXPECT_EQ(out[(699 * 1000 + 967) * 3], 0);
    Compose(flat, 800, 600, PlanFraming(1920, 1080, 1), out);  // a device that stored less: filtered up
    EXPECT_EQ(out[(540 * 1920 + 240) * 3], 200);
    EXPECT_EQ(out[(1079 * 1920 + 1679) * 3 + 2], 200);
}

}  // namespace
