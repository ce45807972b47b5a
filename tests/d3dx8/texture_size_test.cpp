// The texture loader's size limits and the resampling that keeps its memory
// to the texture plus one buffer.
#include <gtest/gtest.h>

#include <png.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/d3dx8/d3dx8.h"
#include "platform/d3dx8/image_decode.h"
#include "tests/d3dx8/image_files.h"
#include "tests/support/recording_device.h"
#include "tests/support/temp_dir.h"

namespace {

using vt::test::RecordingDevice;

// A 1-bit greyscale PNG, w x h, with a vertical stripe every 8 pixels.
std::vector<uint8_t> StripedPng(uint32_t w, uint32_t h) {
    vt::test::PngSpec s;
    s.width = w;
    s.height = h;
    s.colourType = PNG_COLOR_TYPE_GRAY;
    s.bitDepth = 1;
    s.rows.assign(h, std::vector<uint8_t>((w + 7) / 8, 0x80));
    return vt::test::EncodePng(s);
}

std::vector<uint8_t> GreyJpeg(uint32_t w, uint32_t h) {
    return vt::test::EncodeJpeg(w, h, 1, std::vector<uint8_t>(static_cast<size_t>(w) * h, 90), 90, false);
}

struct Result {
    HRESULT hr = E_FAIL;
    UINT width = 0, height = 0, levels = 0;
    double seconds = 0;
};

Result Load(RecordingDevice& dev, const std::vector<uint8_t>& bytes, const char* name) {
    const vt::test::TempDir dir("d3dx8");
    const std::string path = dir.Write(name, bytes).string();
    Result r;
    IDirect3DTexture8* tex = nullptr;
    const auto start = std::chrono::steady_clock::now();
    r.hr = D3DXCreateTextureFromFileA(&dev, path.c_str(), &tex);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (tex) {
        D3DSURFACE_DESC d{};
        tex->GetLevelDesc(0, &d);
        r.width = d.Width;
        r.height = d.Height;
        r.levels = tex->GetLevelCount();
        EXPECT_EQ(tex->Release(), 0u);
    }
    return r;
}

TEST(TextureSizeLimit, SidesUpTo4096AreAccepted) {
    RecordingDevice dev;
    // image size -> texture size
    const uint32_t cases[][4] = {{4096, 1, 4096, 1}, {1, 4096, 1, 4096}, {4095, 3, 4096, 4}};
    for (const auto& c : cases) {
        const Result r = Load(dev, StripedPng(c[0], c[1]), "side.png");
        ASSERT_EQ(r.hr, D3D_OK) << c[0] << " x " << c[1];
        EXPECT_EQ(r.width, c[2]);
        EXPECT_EQ(r.height, c[3]);
        EXPECT_EQ(r.levels, 13u);
    }
    const Result j = Load(dev, GreyJpeg(8, 4096), "side.jpg");
    EXPECT_EQ(j.hr, D3D_OK);
    EXPECT_EQ(j.height, 4096u);
    EXPECT_EQ(dev.LiveResources(), 0);
}

TEST(TextureSizeLimit, A4096SquareImageLoadsWithItsWholeChain) {
    RecordingDevice dev;
    const vt::test::TempDir dir("d3dx8");
    const std::string path = dir.Write("square.png", StripedPng(4096, 4096)).string();
    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(&dev, path.c_str(), &tex), D3D_OK);
    ASSERT_EQ(tex->GetLevelCount(), 13u);
    // Level 0 holds the stripes; level 3 (each pixel the mean of 8 x 8,
    // one of them white) is an even grey of 255 / 8.
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* top = static_cast<const uint8_t*>(lr.pBits) + static_cast<size_t>(4095) * lr.Pitch;
    EXPECT_EQ(top[8 * 4], 255);
    EXPECT_EQ(top[9 * 4], 0);
    EXPECT_EQ(top[4095 * 4 + 3], 255);
    tex->UnlockRect(0);
    ASSERT_EQ(tex->LockRect(3, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* mip = static_cast<const uint8_t*>(lr.pBits);
    EXPECT_NEAR(mip[0], 32, 1);
    EXPECT_NEAR(mip[(511 * lr.Pitch) + 511 * 4 + 1], 32, 1);
    tex->UnlockRect(3);
    EXPECT_EQ(tex->Release(), 0u);
}

TEST(TextureSizeLimit, OneMoreIsRefusedFromTheHeader) {
    RecordingDevice dev;
    const std::vector<std::pair<uint32_t, uint32_t>> sizes = {{4097, 1}, {1, 4097}, {4097, 4097}};
    for (const auto& [w, h] : sizes) {
        const Result r = Load(dev, StripedPng(w, h), "over.png");
        EXPECT_EQ(r.hr, D3DXERR_INVALIDDATA) << w << " x " << h;
        // Refused before decoding a row: a whole 4097 x 4097 decode takes
        // several seconds even without sanitizers.
        EXPECT_LT(r.seconds, 0.5) << w << " x " << h;
    }
    for (const auto& [w, h] : {std::pair{4097u, 8u}, std::pair{8u, 4097u}}) {
        const Result r = Load(dev, GreyJpeg(w, h), "over.jpg");
        EXPECT_EQ(r.hr, D3DXERR_INVALIDDATA) << w << " x " << h;
    }
    EXPECT_EQ(dev.Count("CreateTexture"), 0u);
}

// A plain two-pass tent filter over the whole image, for comparison with
// the row-ring version.
std::vector<double> ReferenceTent(const std::vector<uint8_t>& src, uint32_t sw, uint32_t sh, uint32_t dw,
                                  uint32_t dh) {
    auto weights = [](uint32_t s, uint32_t d, uint32_t i) {
        std::vector<double> w(s, 0.0);
        const double scale = double(s) / d, support = std::max(1.0, scale);
        const double centre = (i + 0.5) * scale - 0.5;
        double sum = 0;
        for (int k = int(std::floor(centre - support)); k <= int(std::ceil(centre + support)); ++k) {
            const double t = std::max(0.0, 1.0 - std::fabs(k - centre) / support);
            w[std::clamp(k, 0, int(s) - 1)] += t;
            sum += t;
        }
        for (double& v : w) v /= sum;
        return w;
    };
    std::vector<double> out(static_cast<size_t>(dw) * dh * 4, 0.0);
    for (uint32_t y = 0; y < dh; ++y) {
        const std::vector<double> wy = weights(sh, dh, y);
        for (uint32_t x = 0; x < dw; ++x) {
            const std::vector<double> wx = weights(sw, dw, x);
            for (uint32_t j = 0; j < sh; ++j)
                for (uint32_t i = 0; i < sw; ++i)
                    for (int c = 0; c < 4; ++c)
                        out[(size_t(y) * dw + x) * 4 + c] += wy[j] * wx[i] * src[(size_t(j) * sw + i) * 4 + c];
        }
    }
    return out;
}

TEST(TextureResample, MatchesAWholeImageFilterWhenEnlargingAndShrinking) {
    const uint32_t sw = 37, sh = 29;
    std::vector<uint8_t> src(size_t(sw) * sh * 4);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>((i * 7919) % 251);
    // Shrinking by 7 needs a window of 15+ rows; enlarging one of 2 or 3.
    for (const auto& [dw, dh] : {std::pair{5u, 4u}, std::pair{64u, 64u}, std::pair{37u, 128u}}) {
        const std::vector<uint8_t> got = vt::d3dx8::ResizeTriangle(src.data(), sw, sh, dw, dh);
        const std::vector<double> want = ReferenceTent(src, sw, sh, dw, dh);
        ASSERT_EQ(got.size(), want.size());
        int worst = 0;
        for (size_t i = 0; i < got.size(); ++i)
            worst = std::max(worst, int(std::lround(std::fabs(got[i] - want[i]))));
        EXPECT_LE(worst, 1) << dw << " x " << dh;
    }
}

TEST(TextureResample, HalvingInPlaceAveragesParents) {
    // 4 x 2 -> 2 x 1 -> 1 x 1, and a 1 x 4 column -> 1 x 2.
    std::vector<uint8_t> px = {10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 40, 0, 0, 0,
                               50, 0, 0, 0, 60, 0, 0, 0, 70, 0, 0, 0, 81, 0, 0, 0};
    uint32_t w = 0, h = 0;
    vt::d3dx8::HalveBox(px.data(), 4, 2, &w, &h);
    ASSERT_EQ(w, 2u);
    ASSERT_EQ(h, 1u);
    EXPECT_EQ(px[0], 35);  // (10 + 20 + 50 + 60) / 4
    EXPECT_EQ(px[4], 55);  // (30 + 40 + 70 + 81) / 4 = 55.25
    vt::d3dx8::HalveBox(px.data(), 2, 1, &w, &h);
    EXPECT_EQ(px[0], 45);
    std::vector<uint8_t> column = {0, 1, 2, 3, 4, 5, 6, 7, 100, 101, 102, 103, 201, 201, 201, 201};
    vt::d3dx8::HalveBox(column.data(), 1, 4, &w, &h);
    ASSERT_EQ(h, 2u);
    EXPECT_EQ(std::vector<uint8_t>(column.begin(), column.begin() + 8),
              (std::vector<uint8_t>{2, 3, 4, 5, 151, 151, 152, 152}));
}

}  // namespace
