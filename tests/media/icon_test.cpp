// The program's icon as the build draws it for the icon theme: every size a
// menu asks for, a transparent rounded tile, the same picture at each size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "media_set.h"
#include "tests/support/png_files.h"

namespace {

std::string IconFile(int size) {
    const std::string dir = std::to_string(size) + "x" + std::to_string(size);
    return VT_BINARY_DIR "/icons/hicolor/" + dir + "/apps/vantorel.png";
}

TEST(Icon, TheThemesCommonSizesAreAllDrawn) {
    for (int wanted : {48, 128, 256}) {
        bool listed = false;
        for (int size : mk::kIconSizes) listed |= size == wanted;
        EXPECT_TRUE(listed) << wanted;
    }
    const auto set = mk::iconSet();
    ASSERT_EQ(set.size(), std::size(mk::kIconSizes));
    for (size_t i = 0; i < set.size(); ++i) {
        const int size = mk::kIconSizes[i];
        EXPECT_EQ(set[i].width, size);
        EXPECT_EQ(set[i].height, size);
        EXPECT_EQ(set[i].format, mk::Format::PngAlpha);
        EXPECT_EQ(VT_BINARY_DIR "/icons/" + set[i].path, IconFile(size));
    }
}

TEST(Icon, EachSizeIsATransparentTileOfNight) {
    for (int size : mk::kIconSizes) {
        vt::test::PngImage png;
        std::string error;
        ASSERT_TRUE(vt::test::ReadPngFile(IconFile(size), 4, png, &error)) << error;
        ASSERT_EQ(png.width, unsigned(size));
        ASSERT_EQ(png.height, unsigned(size));
        EXPECT_EQ(png.fileChannels, 4u) << size << ": the file keeps its alpha";
        const unsigned last = unsigned(size) - 1;
        for (auto [x, y] : {std::pair{0u, 0u}, {last, 0u}, {0u, last}, {last, last}})
            EXPECT_EQ(png.At(x, y)[3], 0) << size << ": corner " << x << "," << y;
        EXPECT_EQ(png.At(unsigned(size) / 2, unsigned(size) / 2)[3], 255) << size;

        // Mostly opaque, mostly night blue, with the initial's light in the
        // middle column.
        size_t opaque = 0;
        double red = 0, blue = 0;
        for (unsigned y = 0; y < png.height; ++y)
            for (unsigned x = 0; x < png.width; ++x) {
                const uint8_t* p = png.At(x, y);
                if (p[3] != 255) continue;
                ++opaque;
                red += p[0];
                blue += p[2];
            }
        EXPECT_GT(opaque, size_t(size) * size * 8 / 10) << size;
        EXPECT_GT(blue, red * 1.3) << size;
        int brightest = 0;
        for (unsigned y = 0; y < png.height; ++y) {
            const uint8_t* p = png.At(unsigned(size) / 2, y);
            brightest = std::max(brightest, p[0] + p[1] + p[2]);
        }
        EXPECT_GT(brightest, 3 * 190) << size;
    }
}

// The sizes are one picture: the largest box-filtered down to a smaller size
// is that size's file, near enough.
TEST(Icon, SmallerSizesAreTheLargestBroughtDown) {
    vt::test::PngImage large;
    ASSERT_TRUE(vt::test::ReadPngFile(IconFile(256), 4, large));
    for (unsigned size : {32u, 48u, 64u, 128u}) {
        vt::test::PngImage small;
        ASSERT_TRUE(vt::test::ReadPngFile(IconFile(size), 4, small));
        // Each small pixel against the large pixels it covers (whole ones).
        double difference = 0;
        for (unsigned y = 0; y < small.height; ++y)
            for (unsigned x = 0; x < small.width; ++x) {
                const unsigned x0 = x * 256 / size, x1 = (x + 1) * 256 / size;
                const unsigned y0 = y * 256 / size, y1 = (y + 1) * 256 / size;
                for (unsigned c = 0; c < 4; ++c) {
                    double sum = 0;
                    for (unsigned ly = y0; ly < y1; ++ly)
                        for (unsigned lx = x0; lx < x1; ++lx) sum += large.At(lx, ly)[c];
                    difference += std::fabs(sum / ((x1 - x0) * (y1 - y0)) - small.At(x, y)[c]);
                }
            }
        EXPECT_LT(difference / (small.width * small.height * 4.0), 6.0) << size;
    }
}

}  // namespace
