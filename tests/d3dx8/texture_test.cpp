#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/d3dx8/d3dx8.h"
#include "tests/d3dx8/image_files.h"
#include "tests/support/recording_device.h"
#include "tests/support/temp_dir.h"

namespace {

using vt::test::EncodeJpeg;
using vt::test::EncodePng;
using vt::test::PngSpec;
using vt::test::RecordingDevice;
using vt::test::TempDir;

// A loaded texture's levels as B,G,R,A bytes.
struct Loaded {
    HRESULT hr = E_FAIL;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DPOOL pool = D3DPOOL_DEFAULT;
    std::vector<std::pair<UINT, UINT>> sizes;
    std::vector<std::vector<uint8_t>> levels;

    const uint8_t* Pixel(UINT level, UINT x, UINT y) const {
        return levels[level].data() + (static_cast<size_t>(y) * sizes[level].first + x) * 4;
    }
};

Loaded Load(RecordingDevice& dev, const std::string& path) {
    Loaded out;
    IDirect3DTexture8* tex = nullptr;
    out.hr = D3DXCreateTextureFromFileA(&dev, path.c_str(), &tex);
    if (FAILED(out.hr)) {
        EXPECT_EQ(tex, nullptr);
        return out;
    }
    for (UINT i = 0; i < tex->GetLevelCount(); ++i) {
        D3DSURFACE_DESC d{};
        tex->GetLevelDesc(i, &d);
        out.format = d.Format;
        out.pool = d.Pool;
        out.sizes.emplace_back(d.Width, d.Height);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(tex->LockRect(i, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<uint8_t> px(static_cast<size_t>(d.Width) * d.Height * 4);
        for (UINT y = 0; y < d.Height; ++y)
            std::memcpy(px.data() + static_cast<size_t>(y) * d.Width * 4,
                        static_cast<uint8_t*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch, d.Width * 4);
        tex->UnlockRect(i);
        out.levels.push_back(std::move(px));
    }
    EXPECT_EQ(tex->Release(), 0u);
    return out;
}

Loaded LoadBytes(RecordingDevice& dev, const std::vector<uint8_t>& bytes, const std::string& name) {
    const TempDir dir("d3dx8");
    return Load(dev, dir.Write(name, bytes).string());
}

void ExpectBGRA(const uint8_t* p, int b, int g, int r, int a, int tol = 0) {
    EXPECT_NEAR(p[0], b, tol);
    EXPECT_NEAR(p[1], g, tol);
    EXPECT_NEAR(p[2], r, tol);
    EXPECT_NEAR(p[3], a, tol);
}

// 4 x 4 images of each kind; pixel (x, y) of the expected picture is given
// by `expect` as B,G,R,A.
struct PngCase {
    const char* name;
    PngSpec png;
    D3DFORMAT format;
    uint8_t expect[4];  // pixel (1, 0)
};

PngSpec MakePng(int colourType, int depth, std::vector<std::vector<uint8_t>> rows) {
    PngSpec s;
    s.width = 4;
    s.height = static_cast<uint32_t>(rows.size());
    s.colourType = colourType;
    s.bitDepth = depth;
    s.rows = std::move(rows);
    return s;
}

std::vector<std::vector<uint8_t>> Repeat(std::vector<uint8_t> row, int n = 4) { return {size_t(n), row}; }

TEST(TextureFromFile, EveryPngColourTypeAndDepth) {
    RecordingDevice dev;
    std::vector<PngCase> cases;
    cases.push_back({"grey8", MakePng(PNG_COLOR_TYPE_GRAY, 8, Repeat({10, 200, 30, 40})), D3DFMT_X8R8G8B8,
                     {200, 200, 200, 255}});
    cases.push_back({"grey1", MakePng(PNG_COLOR_TYPE_GRAY, 1, Repeat({0x40})), D3DFMT_X8R8G8B8, {255, 255, 255, 255}});
    cases.push_back({"grey2", MakePng(PNG_COLOR_TYPE_GRAY, 2, Repeat({0x20})), D3DFMT_X8R8G8B8, {170, 170, 170, 255}});
    cases.push_back({"grey4", MakePng(PNG_COLOR_TYPE_GRAY, 4, Repeat({0x0F, 0x00})), D3DFMT_X8R8G8B8,
                     {255, 255, 255, 255}});
    cases.push_back({"grey16", MakePng(PNG_COLOR_TYPE_GRAY, 16, Repeat({0, 0, 0x80, 0x80, 0, 0, 0, 0})),
                     D3DFMT_X8R8G8B8, {128, 128, 128, 255}});
    cases.push_back({"greyalpha8", MakePng(PNG_COLOR_TYPE_GRAY_ALPHA, 8, Repeat({1, 2, 90, 77, 5, 6, 7, 8})),
                     D3DFMT_A8R8G8B8, {90, 90, 90, 77}});
    cases.push_back({"greyalpha16",
                     MakePng(PNG_COLOR_TYPE_GRAY_ALPHA, 16, Repeat({0, 0, 0, 0, 0x11, 0x11, 0x22, 0x22, 0, 0, 0, 0,
                                                                 0, 0, 0, 0})),
                     D3DFMT_A8R8G8B8, {0x11, 0x11, 0x11, 0x22}});
    cases.push_back({"rgb8", MakePng(PNG_COLOR_TYPE_RGB, 8, Repeat({0, 0, 0, 10, 20, 30, 0, 0, 0, 0, 0, 0})),
                     D3DFMT_X8R8G8B8, {30, 20, 10, 255}});
    cases.push_back({"rgb16",
                     MakePng(PNG_COLOR_TYPE_RGB, 16,
                          Repeat({0, 0, 0, 0, 0, 0, 0xFE, 0xFE, 0x01, 0x01, 0x7F, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                  0, 0, 0})),
                     D3DFMT_X8R8G8B8, {0x7F, 0x01, 0xFE, 255}});
    cases.push_back({"rgba8",
                     MakePng(PNG_COLOR_TYPE_RGB_ALPHA, 8, Repeat({0, 0, 0, 0, 10, 20, 30, 40, 0, 0, 0, 0, 0, 0, 0, 0})),
                     D3DFMT_A8R8G8B8, {30, 20, 10, 40}});
    cases.push_back({"rgba16",
                     MakePng(PNG_COLOR_TYPE_RGB_ALPHA, 16,
                          Repeat({0, 0, 0, 0, 0, 0, 0, 0, 0x0A, 0x0A, 0x14, 0x14, 0x1E, 0x1E, 0x28, 0x28, 0, 0, 0, 0,
                                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
                     D3DFMT_A8R8G8B8, {30, 20, 10, 40}});
    PngSpec pal = MakePng(PNG_COLOR_TYPE_PALETTE, 8, Repeat({0, 1, 0, 1}));
    pal.palette = {255, 0, 0, 0, 0, 255};
    cases.push_back({"palette", pal, D3DFMT_X8R8G8B8, {255, 0, 0, 255}});
    pal.trnsAlpha = {255, 100};
    cases.push_back({"palette_trns", pal, D3DFMT_A8R8G8B8, {255, 0, 0, 100}});
    PngSpec pal4 = MakePng(PNG_COLOR_TYPE_PALETTE, 4, Repeat({0x01, 0x00}));
    pal4.palette = {1, 2, 3, 4, 5, 6};
    cases.push_back({"palette4", pal4, D3DFMT_X8R8G8B8, {6, 5, 4, 255}});
    PngSpec greyTrns = MakePng(PNG_COLOR_TYPE_GRAY, 8, Repeat({10, 50, 30, 40}));
    greyTrns.trnsGrey = 50;
    cases.push_back({"grey_trns", greyTrns, D3DFMT_A8R8G8B8, {50, 50, 50, 0}});
    PngSpec interlaced = cases[7].png;
    interlaced.interlaced = true;
    cases.push_back({"rgb8_interlaced", interlaced, D3DFMT_X8R8G8B8, {30, 20, 10, 255}});

    for (const PngCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded l = LoadBytes(dev, EncodePng(c.png), std::string(c.name) + ".png");
        ASSERT_EQ(l.hr, D3D_OK);
        EXPECT_EQ(l.format, c.format);
        EXPECT_EQ(l.pool, D3DPOOL_MANAGED);
        ASSERT_EQ(l.sizes.size(), 3u);  // 4x4, 2x2, 1x1
        for (UINT y = 0; y < 4; ++y)
            ExpectBGRA(l.Pixel(0, 1, y), c.expect[0], c.expect[1], c.expect[2], c.expect[3]);
    }
    EXPECT_EQ(dev.LiveResources(), 0);
}

TEST(TextureFromFile, PowerOfTwoStretchAndMipChain) {
    RecordingDevice dev;
    // 5 x 3, left half red, right half blue, a uniform alpha of 128.
    PngSpec s;
    s.width = 5;
    s.height = 3;
    s.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int y = 0; y < 3; ++y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < 5; ++x) {
            const bool red = x < 2;
            row.insert(row.end(), {uint8_t(red ? 255 : 0), 0, uint8_t(red ? 0 : 255), 128});
        }
        s.rows.push_back(row);
    }
    const Loaded l = LoadBytes(dev, EncodePng(s), "stretch.png");
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.format, D3DFMT_A8R8G8B8);
    const std::vector<std::pair<UINT, UINT>> sizes = {{8, 4}, {4, 2}, {2, 1}, {1, 1}};
    EXPECT_EQ(l.sizes, sizes);
    // The corners keep the image's corner colours: the picture fills the texture.
    ExpectBGRA(l.Pixel(0, 0, 0), 0, 0, 255, 128);
    ExpectBGRA(l.Pixel(0, 7, 3), 255, 0, 0, 128);
    // Red fades into blue across the middle, monotonically.
    for (UINT x = 1; x < 8; ++x) EXPECT_LE(l.Pixel(0, x, 1)[2], l.Pixel(0, x - 1, 1)[2]);
    EXPECT_GT(l.Pixel(0, 3, 1)[2], 0);
    EXPECT_GT(l.Pixel(0, 3, 1)[0], 0);
    for (size_t i = 3; i < l.levels[0].size(); i += 4) ASSERT_EQ(l.levels[0][i], 128);
    // Each mip pixel is the rounded mean of its parents.
    for (UINT lv = 1; lv < l.levels.size(); ++lv) {
        const UINT pw = l.sizes[lv - 1].first, ph = l.sizes[lv - 1].second;
        for (UINT y = 0; y < l.sizes[lv].second; ++y) {
            for (UINT x = 0; x < l.sizes[lv].first; ++x) {
                for (int c = 0; c < 4; ++c) {
                    const UINT x1 = std::min(2 * x + 1, pw - 1), y1 = std::min(2 * y + 1, ph - 1);
                    const int n = (x1 != 2 * x ? 2 : 1) * (y1 != 2 * y ? 2 : 1);
                    int sum = l.Pixel(lv - 1, 2 * x, 2 * y)[c];
                    if (x1 != 2 * x) sum += l.Pixel(lv - 1, x1, 2 * y)[c];
                    if (y1 != 2 * y) sum += l.Pixel(lv - 1, 2 * x, y1)[c];
                    if (x1 != 2 * x && y1 != 2 * y) sum += l.Pixel(lv - 1, x1, y1)[c];
                    EXPECT_EQ(l.Pixel(lv, x, y)[c], (sum + n / 2) / n) << "level " << lv;
                }
            }
        }
    }
}

std::vector<uint8_t> Quadrants(uint32_t w, uint32_t h, int components) {
    // Four flat quadrants: red, green / blue, white (grey: 40, 90 / 160, 230).
    static const uint8_t rgb[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    static const uint8_t grey[4] = {40, 90, 160, 230};
    std::vector<uint8_t> px;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const int q = (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
            if (components == 1) {
                px.push_back(grey[q]);
            } else if (components == 3) {
                px.insert(px.end(), rgb[q], rgb[q] + 3);
            } else {  // CMYK in the inverted Adobe convention: C, M, Y = R, G, B and K = 255
                px.insert(px.end(), {uint8_t(rgb[q][0]), uint8_t(rgb[q][1]), uint8_t(rgb[q][2]), 255});
            }
        }
    }
    return px;
}

TEST(TextureFromFile, JpegKinds) {
    RecordingDevice dev;
    const struct {
        const char* name;
        int components;
        bool progressive;
        uint32_t w, h;
    } cases[] = {
        {"baseline", 3, false, 64, 32}, {"progressive", 3, true, 64, 32}, {"grey", 1, false, 32, 32},
        {"cmyk", 4, false, 32, 32},     {"odd_size", 3, false, 48, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded l = LoadBytes(dev, EncodeJpeg(c.w, c.h, c.components, Quadrants(c.w, c.h, c.components), 95,
                                                   c.progressive),
                                   std::string(c.name) + ".jpg");
        ASSERT_EQ(l.hr, D3D_OK);
        EXPECT_EQ(l.format, D3DFMT_X8R8G8B8);
        const UINT w = l.sizes[0].first, h = l.sizes[0].second;
        EXPECT_EQ(w, c.w == 48 ? 64u : c.w);
        EXPECT_EQ(h, c.h == 20 ? 32u : c.h);
        EXPECT_EQ(l.sizes.back(), std::make_pair(1u, 1u));
        const uint8_t* tl = l.Pixel(0, 2, 2);
        const uint8_t* br = l.Pixel(0, w - 3, h - 3);
        if (c.components == 1) {
            ExpectBGRA(tl, 40, 40, 40, 255, 6);
            ExpectBGRA(br, 230, 230, 230, 255, 6);
        } else {
            ExpectBGRA(tl, 0, 0, 255, 255, 12);  // red
            ExpectBGRA(l.Pixel(0, w - 3, 2), 0, 255, 0, 255, 12);
            ExpectBGRA(l.Pixel(0, 2, h - 3), 255, 0, 0, 255, 12);
            ExpectBGRA(br, 255, 255, 255, 255, 12);
        }
    }
}

TEST(TextureFromFile, FormatComesFromContentAndPathsMayUseBackslashes) {
    RecordingDevice dev;
    const std::vector<uint8_t> png = EncodePng(MakePng(PNG_COLOR_TYPE_GRAY, 8, Repeat({1, 2, 3, 4})));
    EXPECT_EQ(LoadBytes(dev, png, "really_a_png.jpg").hr, D3D_OK);
    EXPECT_EQ(LoadBytes(dev, EncodeJpeg(8, 8, 1, std::vector<uint8_t>(64, 7), 90, false), "noext").hr, D3D_OK);

    const TempDir dir("d3dx8");
    dir.Write("sub/img.png", png);
    EXPECT_EQ(Load(dev, dir.Path().string() + "\\sub\\img.png").hr, D3D_OK);

    EXPECT_EQ(Load(dev, (dir / "missing.png").string()).hr, D3DERR_NOTAVAILABLE);
    EXPECT_EQ(Load(dev, (dir / "sub").string()).hr, D3DERR_NOTAVAILABLE);  // a directory
    IDirect3DTexture8* tex = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileA(&dev, nullptr, &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, "x.png", &tex), D3DERR_INVALIDCALL);
}

TEST(TextureFromFile, DeviceFailuresArePassedOnWithoutLeaks) {
    RecordingDevice dev;
    const std::vector<uint8_t> png = EncodePng(MakePng(PNG_COLOR_TYPE_GRAY, 8, Repeat({1, 2, 3, 4})));
    dev.FailNext("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(LoadBytes(dev, png, "a.png").hr, D3DERR_OUTOFVIDEOMEMORY);
    dev.FailNext("Texture.LockRect", E_OUTOFMEMORY, 1, 1);  // the second level
    EXPECT_EQ(LoadBytes(dev, png, "b.png").hr, E_OUTOFMEMORY);
    EXPECT_EQ(dev.LiveResources(), 0);
}

}  // namespace
