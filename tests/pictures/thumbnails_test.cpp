// The thumbnail reduction and comparison the picture-regression test
// stands on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/pictures/thumbnails.h"
#include "tests/support/temp_dir.h"

namespace vt::pictures {
namespace {

TEST(Thumbnails, BoxReduceAveragesEachBlockRoundingToNearest)
{
    // 4 x 2 to 2 x 1: two 2 x 2 blocks.
    Image frame(4, 2);
    const uint8_t left[4] = {0, 1, 1, 1};         // mean 0.75 -> 1
    const uint8_t right[4] = {255, 255, 254, 0};  // mean 191 -> 191
    for (unsigned i = 0; i < 4; i++) {
        frame.At(i % 2, i / 2)[0] = left[i];
        frame.At(2 + i % 2, i / 2)[0] = right[i];
        frame.At(i % 2, i / 2)[2] = 10;
    }
    Image thumb;
    std::string error;
    ASSERT_TRUE(BoxReduce(frame, 2, 1, thumb, error)) << error;
    ASSERT_EQ(thumb.width, 2u);
    ASSERT_EQ(thumb.height, 1u);
    EXPECT_EQ(thumb.At(0, 0)[0], 1);
    EXPECT_EQ(thumb.At(1, 0)[0], 191);
    EXPECT_EQ(thumb.At(0, 0)[1], 0);
    EXPECT_EQ(thumb.At(0, 0)[2], 10);
    EXPECT_EQ(thumb.At(1, 0)[2], 0);

    Image full(1024, 768, 200);
    full.At(1023, 767)[1] = 0;  // one pixel of the last block's 64
    ASSERT_TRUE(BoxReduce(full, kThumbWidth, kThumbHeight, thumb, error)) << error;
    EXPECT_EQ(thumb.At(127, 95)[1], 197);  // 200 * 63 / 64 = 196.9
    EXPECT_EQ(thumb.At(126, 95)[1], 200);

    EXPECT_FALSE(BoxReduce(Image(1000, 768), kThumbWidth, kThumbHeight, thumb, error));
    EXPECT_NE(error.find("1000 x 768"), std::string::npos) << error;
    EXPECT_FALSE(BoxReduce(Image(64, 48), kThumbWidth, kThumbHeight, thumb, error));
}

TEST(Thumbnails, CompareCountsPixelsOverTheToleranceAndThePassRuleAllowsAFew)
{
    Image a(10, 10, 100), b = a;
    Difference d = Compare(a, b, 6);
    EXPECT_EQ(d.maxChannel, 0);
    EXPECT_EQ(d.pixelsOver, 0u);
    EXPECT_TRUE(Passes(d, {6, 0}));

    b.At(0, 0)[0] = 106;  // at the tolerance: not over
    b.At(1, 0)[1] = 93;   // one over
    b.At(2, 0)[2] = 200;  // far over
    b.At(2, 0)[0] = 0;    // same pixel, counted once
    d = Compare(a, b, 6);
    EXPECT_EQ(d.maxChannel, 100);
    EXPECT_EQ(d.pixelsOver, 2u);
    EXPECT_NEAR(d.meanChannel, (6 + 7 + 100 + 100) / 300.0, 1e-9);
    EXPECT_TRUE(Passes(d, {6, 2}));
    EXPECT_FALSE(Passes(d, {6, 1}));

    d = Compare(a, Image(10, 9, 100), 6);
    EXPECT_FALSE(d.sameSize);
    EXPECT_FALSE(Passes(d, {255, 1000}));
}

TEST(Thumbnails, PngRoundTripAndSideBySideLayout)
{
    Image ref(4, 3, 10), fresh(4, 3, 10);
    fresh.At(1, 1)[0] = 20;
    vt::test::TempDir dir("thumbnails");
    const auto path = dir / "fresh.png";
    ASSERT_TRUE(WritePng(path.string(), fresh));
    Image back;
    std::string error;
    ASSERT_TRUE(ReadPng(path.string(), back, error)) << error;
    dir.Remove("fresh.png");
    EXPECT_EQ(back.width, 4u);
    EXPECT_EQ(back.rgb, fresh.rgb);
    EXPECT_FALSE(ReadPng(path.string(), back, error));

    const Image row = SideBySide(ref, fresh, "1.5", 2);
    const Image sheet = Stack({row, row});
    EXPECT_EQ(sheet.height, 2 * row.height);
    // The difference panel is the rightmost: 8 x 10 where they differ, black elsewhere.
    const unsigned diffX = row.width - 6 - 4 * 2;
    EXPECT_EQ(row.At(diffX + 2, 2)[0], 80);
    EXPECT_EQ(row.At(diffX + 2, 2)[1], 0);
    EXPECT_EQ(row.At(diffX, 0)[0], 0);
}

}  // namespace
}  // namespace vt::pictures
