// The tests' shared file helpers: PNGs written through them reach the image
// decoder with their pixels unchanged and read back the same; temporary
// folders go with everything in them and give the working directory back.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/d3dx8/image_decode.h"
#include "tests/support/media_dir.h"
#include "tests/support/png_files.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using vt::test::MediaDir;
using vt::test::PngImage;
using vt::test::TempDir;

// Every sample different, so that a row or channel out of place shows.
PngImage Pattern(unsigned w, unsigned h, unsigned channels)
{
    PngImage img(w, h, channels);
    for (size_t i = 0; i < img.pixels.size(); i++)
        img.pixels[i] = static_cast<uint8_t>(i * 7 + 3);
    return img;
}

std::string ReadAll(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(TestPngFiles, EveryLayoutReachesTheImageDecoderUnchanged)
{
    for (unsigned channels = 1; channels <= 4; channels++) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        const PngImage img = Pattern(5, 3, channels);  // odd width: rows are not padded
        std::string error;
        const std::vector<uint8_t> png = vt::test::EncodePng(img, &error);
        ASSERT_FALSE(png.empty()) << error;

        vt::d3dx8::DecodedImage decoded;
        ASSERT_EQ(vt::d3dx8::DecodePng(png.data(), png.size(), decoded), D3D_OK);
        ASSERT_EQ(decoded.width, 5u);
        ASSERT_EQ(decoded.height, 3u);
        EXPECT_EQ(decoded.hasAlpha, channels == 2 || channels == 4);
        for (unsigned y = 0; y < 3; y++) {
            for (unsigned x = 0; x < 5; x++) {
                const uint8_t* s = img.At(x, y);
                const uint8_t* d = &decoded.pixels[(size_t(y) * 5 + x) * 4];  // B, G, R, A
                const bool colour = channels >= 3;
                const uint8_t r = s[0], g = colour ? s[1] : s[0], b = colour ? s[2] : s[0];
                const uint8_t a = channels == 2 ? s[1] : channels == 4 ? s[3] : 255;
                ASSERT_EQ(d[0], b) << x << "," << y;
                ASSERT_EQ(d[1], g) << x << "," << y;
                ASSERT_EQ(d[2], r) << x << "," << y;
                ASSERT_EQ(d[3], a) << x << "," << y;
            }
        }

        PngImage back;
        ASSERT_TRUE(vt::test::DecodePng(png, channels, back, &error)) << error;
        EXPECT_EQ(back.fileChannels, channels);
        EXPECT_EQ(back.pixels, img.pixels);
    }
}

TEST(TestPngFiles, FilesReadBackInTheChannelsAskedForAndBadInputIsRefused)
{
    TempDir dir("png");
    const PngImage rgb = Pattern(4, 2, 3);
    const fs::path file = dir.WritePng("sub/rgb.png", rgb);
    PngImage back;
    std::string error;
    ASSERT_TRUE(vt::test::ReadPngFile(file.string(), 4, back, &error)) << error;
    EXPECT_EQ(back.fileChannels, 3u);
    ASSERT_EQ(back.pixels.size(), 4u * 2 * 4);
    for (unsigned i = 0; i < 8; i++) {
        EXPECT_EQ(0, std::memcmp(back.At(i % 4, i / 4), rgb.At(i % 4, i / 4), 3)) << i;
        EXPECT_EQ(back.At(i % 4, i / 4)[3], 255) << i;
    }

    EXPECT_FALSE(vt::test::ReadPngFile((dir / "missing.png").string(), 3, back, &error));
    EXPECT_NE(error.find("missing.png"), std::string::npos) << error;
    const fs::path text = dir.Write("text.png", std::string("not a picture"));
    EXPECT_FALSE(vt::test::ReadPngFile(text.string(), 3, back, &error));
    EXPECT_FALSE(vt::test::ReadPngFile(file.string(), 5, back, &error));

    PngImage wrong = rgb;
    wrong.pixels.pop_back();
    EXPECT_TRUE(vt::test::EncodePng(wrong, &error).empty());
    EXPECT_FALSE(error.empty());
    wrong = rgb;
    wrong.channels = 5;
    EXPECT_TRUE(vt::test::EncodePng(wrong).empty());
    EXPECT_FALSE(vt::test::WritePngFile((dir / "empty.png").string(), PngImage()));
}

TEST(TestFolders, ATempDirGoesWithEverythingInIt)
{
    fs::path kept;
    {
        TempDir dir("probe");
        kept = dir.Path();
        ASSERT_TRUE(fs::is_directory(kept));
        EXPECT_EQ(kept.filename().string().rfind("vt_probe_", 0), 0u) << kept;
        const fs::path p = dir.Write("a\\b\\c.bin", std::string("x\0y", 3));
        EXPECT_EQ(p, kept / "a" / "b" / "c.bin");
        EXPECT_EQ(ReadAll(p), std::string("x\0y", 3));
        dir.Remove("a/b/c.bin");
        EXPECT_FALSE(fs::exists(p));
        dir.Write("a/d.bin", std::string("z"));
        TempDir other("probe");
        EXPECT_NE(other.Path(), kept);
    }
    EXPECT_FALSE(fs::exists(kept));
}

TEST(TestFolders, AMediaDirIsTheWorkingDirectoryForItsLife)
{
    const fs::path before = fs::current_path();
    fs::path kept;
    {
        MediaDir media("probe");
        kept = media.Path();
        EXPECT_TRUE(fs::equivalent(fs::current_path(), kept));
        ASSERT_TRUE(media.WriteImage("data\\bitmaps\\grey.jpg", 8, 2));
        PngImage grey;
        ASSERT_TRUE(vt::test::ReadPngFile("data/bitmaps/grey.jpg", 3, grey));  // relative: found here
        EXPECT_EQ(grey.width, 8u);
        EXPECT_EQ(grey.height, 2u);
        EXPECT_EQ(grey.pixels, std::vector<uint8_t>(8 * 2 * 3, 0x80));
    }
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_FALSE(fs::exists(kept));

    const std::string& tiny = vt::test::TinyPng();
    PngImage img;
    ASSERT_TRUE(vt::test::DecodePng(std::vector<uint8_t>(tiny.begin(), tiny.end()), 4, img));
    ASSERT_EQ(img.pixels.size(), 4u * 4 * 4);
    for (size_t i = 0; i < img.pixels.size(); i += 4)
        EXPECT_EQ(std::vector<uint8_t>(&img.pixels[i], &img.pixels[i] + 4), std::vector<uint8_t>({0x80, 0x40, 0xC0, 0xFF}));
}

}  // namespace
