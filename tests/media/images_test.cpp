// The generated images: present at the show's paths, in the promised format
// and size, loadable by the show's texture loader, and shaped for how the show
// draws them (alpha where it blends, seamless where it tiles, on screen where
// it is drawn at its own size).
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/d3dx8/d3dx8.h"
#include "tests/media/expected_media.h"
#include "tests/support/png_files.h"
#include "tests/support/recording_device.h"

namespace vt::media_test {
namespace {

namespace fs = std::filesystem;

std::string PathOf(const Expected& e) { return MediaRoot() + "/" + e.path; }

// Decoded pixels as RGBA8 (alpha 255 for files without it).
struct Pixels {
    int w = 0, h = 0;
    int channels = 0;  // as stored in the file: 3 or 4
    std::vector<uint8_t> rgba;
    const uint8_t* at(int x, int y) const { return &rgba[(static_cast<size_t>(y) * w + x) * 4]; }
    float luma(int x, int y) const
    {
        const uint8_t* p = at(x, y);
        return (0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2]) / 255.0f;
    }
};

std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

bool DecodePng(const std::string& path, Pixels& out)
{
    vt::test::PngImage png;
    if (!vt::test::ReadPngFile(path, 4, png)) return false;
    out.channels = static_cast<int>(png.fileChannels);
    out.w = static_cast<int>(png.width);
    out.h = static_cast<int>(png.height);
    out.rgba = std::move(png.pixels);
    return true;
}

bool DecodeJpeg(const std::string& path, Pixels& out)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.w = static_cast<int>(cinfo.output_width);
    out.h = static_cast<int>(cinfo.output_height);
    out.channels = cinfo.num_components;
    out.rgba.assign(static_cast<size_t>(out.w) * out.h * 4, 255);
    std::vector<uint8_t> row(static_cast<size_t>(out.w) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
        for (int x = 0; x < out.w; ++x)
            std::copy_n(&row[static_cast<size_t>(x) * 3], 3, &out.rgba[(static_cast<size_t>(y) * out.w + x) * 4]);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return true;
}

Pixels Decode(const Expected& e)
{
    Pixels p;
    const bool ok = e.kind == Kind::Jpeg ? DecodeJpeg(PathOf(e), p) : DecodePng(PathOf(e), p);
    EXPECT_TRUE(ok) << e.path << " does not decode";
    return p;
}

bool IsPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

const Expected& Find(const std::string& path)
{
    for (const Expected& e : ExpectedImages())
        if (path == e.path) return e;
    throw std::runtime_error("not in the set: " + path);
}

TEST(MediaSet, EveryFileTheShowReadsIsThere)
{
    std::vector<std::string> paths = {kStarMesh, kMusic};
    for (const Expected& e : ExpectedImages()) paths.push_back(e.path);
    ASSERT_EQ(paths.size(), 63u);  // 61 images, the star, the music
    for (const std::string& p : paths) {
        const fs::path full = MediaRoot() + "/" + p;
        EXPECT_TRUE(fs::is_regular_file(full)) << p;
        if (fs::is_regular_file(full)) {
            EXPECT_GT(fs::file_size(full), 0u) << p;
        }
    }
}

TEST(MediaSet, HoldsNothingTheShowDoesNotRead)
{
    std::set<std::string> expected = {kStarMesh};
    for (const Expected& e : ExpectedImages()) expected.insert(e.path);
    std::set<std::string> found;
    const fs::path root = MediaRoot();
    ASSERT_TRUE(fs::is_directory(root / "data")) << "build the media target first";
    for (const auto& entry : fs::recursive_directory_iterator(root / "data"))
        if (entry.is_regular_file()) found.insert(fs::relative(entry.path(), root).generic_string());
    EXPECT_EQ(found, expected);
}

class ImageFile : public ::testing::TestWithParam<Expected> {};

TEST_P(ImageFile, HasTheFormatAndSizeItIsNamedFor)
{
    const Expected& e = GetParam();
    const std::vector<uint8_t> bytes = ReadAll(PathOf(e));
    ASSERT_GE(bytes.size(), 8u);
    if (e.kind == Kind::Jpeg) {
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xD8);
        EXPECT_EQ(bytes[2], 0xFF);
    } else {
        EXPECT_EQ(png_sig_cmp(bytes.data(), 0, 8), 0) << e.path << " is not a PNG";
    }
    const Pixels p = Decode(e);
    EXPECT_EQ(p.w, e.width);
    EXPECT_EQ(p.h, e.height);
    EXPECT_TRUE(IsPowerOfTwo(p.w) && IsPowerOfTwo(p.h)) << "the device would stretch " << e.path;
    EXPECT_EQ(p.channels, e.kind == Kind::PngAlpha ? 4 : 3);
}

class AlphaImage : public ::testing::TestWithParam<Expected> {};

TEST_P(AlphaImage, AlphaIsARealMask)
{
    const Expected& e = GetParam();
    const Pixels p = Decode(e);
    int lo = 255, hi = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            lo = std::min<int>(lo, p.at(x, y)[3]);
            hi = std::max<int>(hi, p.at(x, y)[3]);
        }
    // See-through somewhere and markedly denser elsewhere: not a flat alpha.
    EXPECT_LT(lo, 64) << e.path;
    EXPECT_GT(hi - lo, 120) << e.path;
}

TEST_P(ImageFile, LoadsThroughTheShowsTextureLoaderAtItsOwnSize)
{
    const Expected& e = GetParam();
    vt::test::RecordingDevice dev;
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(&dev, PathOf(e).c_str(), &tex), S_OK) << e.path;
    ASSERT_NE(tex, nullptr);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(tex->GetLevelDesc(0, &desc), S_OK);
    EXPECT_EQ(static_cast<int>(desc.Width), e.width);
    EXPECT_EQ(static_cast<int>(desc.Height), e.height);
    EXPECT_EQ(desc.Format, e.kind == Kind::PngAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8) << e.path;
    tex->Release();
}

// Mean absolute RGBA difference between two columns (or rows).
double LineDifference(const Pixels& p, bool columns, int a, int b)
{
    double sum = 0;
    const int n = columns ? p.h : p.w;
    for (int i = 0; i < n; ++i) {
        const uint8_t* pa = columns ? p.at(a, i) : p.at(i, a);
        const uint8_t* pb = columns ? p.at(b, i) : p.at(i, b);
        for (int c = 0; c < 4; ++c) sum += std::abs(pa[c] - pb[c]);
    }
    return sum / n;
}

class RepeatingImage : public ::testing::TestWithParam<Expected> {};

TEST_P(RepeatingImage, JoinsItsOwnEdges)
{
    const Expected& e = GetParam();
    const Pixels p = Decode(e);
    for (const bool columns : {true, false}) {
        if (!(e.wrap & (columns ? kWrapU : kWrapV))) continue;
        const int n = columns ? p.w : p.h;
        double inner = 0;
        for (int i = 0; i + 1 < n; ++i) inner += LineDifference(p, columns, i, i + 1);
        inner /= n - 1;
        const double seam = LineDifference(p, columns, n - 1, 0);
        // A seam is a step far larger than the picture's usual neighbour step.
        EXPECT_LE(seam, 3.0 * inner + 2.0) << e.path << (columns ? " across u" : " across v");
    }
}

std::string ParamName(const ::testing::TestParamInfo<Expected>& info)
{
    std::string n = info.param.path + 13;  // past "data/bitmaps/"
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

std::vector<Expected> Select(bool (*keep)(const Expected&))
{
    std::vector<Expected> out;
    for (const Expected& e : ExpectedImages())
        if (keep(e)) out.push_back(e);
    return out;
}

INSTANTIATE_TEST_SUITE_P(All, ImageFile, ::testing::ValuesIn(ExpectedImages()), ParamName);
INSTANTIATE_TEST_SUITE_P(WithAlpha, AlphaImage,
                         ::testing::ValuesIn(Select([](const Expected& e) { return e.kind == Kind::PngAlpha; })),
                         ParamName);
INSTANTIATE_TEST_SUITE_P(Tiled, RepeatingImage,
                         ::testing::ValuesIn(Select([](const Expected& e) { return e.wrap != kNoWrap; })), ParamName);

TEST(MediaImages, FadeOverlaysArePlainWhiteAndBlack)
{
    const Pixels white = Decode(Find("data/bitmaps/white.jpg"));
    const Pixels black = Decode(Find("data/bitmaps/black.jpg"));
    for (size_t i = 0; i < white.rgba.size(); ++i) ASSERT_EQ(white.rgba[i], 255) << "white texel " << i / 4;
    for (size_t i = 0; i < black.rgba.size(); ++i)
        ASSERT_EQ(black.rgba[i], (i % 4 == 3) ? 255 : 0) << "black texel " << i / 4;
}

TEST(MediaImages, PicturesArePicturesNotPlaceholders)
{
    for (const Expected& e : ExpectedImages()) {
        if (e.kind == Kind::PngAlpha || e.width <= 32) continue;
        const Pixels p = Decode(e);
        double sum = 0, sum2 = 0;
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) {
                const double l = p.luma(x, y);
                sum += l;
                sum2 += l * l;
            }
        const double n = static_cast<double>(p.w) * p.h, mean = sum / n;
        const double sd = std::sqrt(std::max(0.0, sum2 / n - mean * mean));
        EXPECT_GT(sd, 0.04) << e.path << " is nearly flat";
        EXPECT_GT(mean, 0.02) << e.path << " is black";
        EXPECT_LT(mean, 0.9) << e.path << " is washed out";
    }
}

// Scene 1 and 2 captions, the lattice text, the panel column and the symbol
// strips are light marks on a clear ground.
std::vector<std::string> LightTextImages()
{
    std::vector<std::string> out;
    for (const Expected& e : ExpectedImages()) {
        const std::string p = e.path;
        const bool caption = (p.find("/scene01/") != std::string::npos || p.find("/scene02/") != std::string::npos) &&
                             e.height <= 128 && e.width >= 512 && e.kind == Kind::PngAlpha;
        if (caption || p.find("sentence") != std::string::npos || p.find("textscroll") != std::string::npos ||
            p.find("/texts/") != std::string::npos)
            out.push_back(p);
    }
    return out;
}

TEST(MediaImages, TextImagesAreMarksOnAClearGround)
{
    const std::vector<std::string> list = LightTextImages();
    ASSERT_EQ(list.size(), 23u);  // 9 + 8 captions, the sentence, the column, 4 strips
    for (const std::string& path : list) {
        const Pixels p = Decode(Find(path));
        int marked = 0;
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) marked += p.at(x, y)[3] > 128;
        const double share = static_cast<double>(marked) / (p.w * p.h);
        EXPECT_GT(share, 0.01) << path << " shows almost nothing";
        EXPECT_LT(share, 0.5) << path << " is mostly solid";
        // Clear texels beside the glyphs keep a light colour, so filtering at
        // the glyph edges blends towards the text colour, not a dark fringe.
        int fringe = 0, darkFringe = 0;
        for (int y = 1; y + 1 < p.h; ++y)
            for (int x = 1; x + 1 < p.w; ++x) {
                if (p.at(x, y)[3] != 0) continue;
                const bool besideSolid = p.at(x - 1, y)[3] > 128 || p.at(x + 1, y)[3] > 128 ||
                                         p.at(x, y - 1)[3] > 128 || p.at(x, y + 1)[3] > 128;
                if (!besideSolid) continue;
                ++fringe;
                darkFringe += p.luma(x, y) < 0.5f;
            }
        EXPECT_EQ(darkFringe, 0) << path << ": " << darkFringe << " of " << fringe << " edge texels are dark";
    }
}

TEST(MediaImages, RisingLinesFitOnScreenFromTheirLeftEdge)
{
    // Scene 2 draws its lines at their own size from x = 100 on a 1024-wide screen.
    for (const Expected& e : ExpectedImages()) {
        if (std::string(e.path).find("/scene02/") == std::string::npos || e.kind != Kind::PngAlpha || e.height != 64)
            continue;
        const Pixels p = Decode(e);
        int rightmost = -1;
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x)
                if (p.at(x, y)[3] > 8) rightmost = std::max(rightmost, x);
        EXPECT_GE(rightmost, 200) << e.path << " is (nearly) empty";
        EXPECT_LT(100 + rightmost, 1024) << e.path << " runs off the screen";
    }
}

TEST(MediaImages, FirefliesAreSoftRoundGlows)
{
    for (const char* path : {"data/bitmaps/scene01/firefly.png", "data/bitmaps/scene05/firefly_r.png"}) {
        const Pixels p = Decode(Find(path));
        const int c = p.w / 2;
        EXPECT_GT(p.at(c, c)[3], 220) << path << " centre";
        for (int corner : {0, p.w - 1}) {
            EXPECT_LT(p.at(corner, corner)[3], 4) << path << " corner";
            EXPECT_LT(p.at(corner, p.h - 1 - corner)[3], 4) << path << " corner";
        }
        // Alpha falls off smoothly along each axis from the centre.
        for (int r = 1; r < c; ++r) {
            EXPECT_LE(p.at(c + r, c)[3], p.at(c + r - 1, c)[3] + 1) << path << " at r = " << r;
            EXPECT_LE(p.at(c, c - r)[3], p.at(c, c - r + 1)[3] + 1) << path << " at r = " << r;
        }
        EXPECT_GT(p.at(c + 8, c)[3], 40) << path << " has a halo";
    }
}

}  // namespace
}  // namespace vt::media_test
