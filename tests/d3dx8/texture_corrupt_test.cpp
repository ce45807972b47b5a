// Broken image files must fail with a result code: no crash, hang or leak.
// Run under the sanitizer build to catch memory errors on these paths.

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/d3dx8/d3dx8.h"
#include "platform/d3dx8/image_decode.h"
#include "tests/d3dx8/image_files.h"
#include "tests/support/recording_device.h"
#include "tests/support/temp_dir.h"

namespace {

using vt::test::EncodeJpeg;
using vt::test::EncodePng;
using vt::test::PngSpec;
using vt::test::RecordingDevice;

std::vector<uint8_t> SmallPng(bool interlaced) {
    PngSpec s;
    s.width = 13;
    s.height = 7;
    s.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.interlaced = interlaced;
    for (uint32_t y = 0; y < s.height; ++y) {
        std::vector<uint8_t> row;
        for (uint32_t x = 0; x < s.width * 4; ++x) row.push_back(static_cast<uint8_t>(x * 7 + y * 31));
        s.rows.push_back(row);
    }
    return EncodePng(s);
}

std::vector<uint8_t> SmallJpeg(bool progressive) {
    std::vector<uint8_t> px;
    for (int i = 0; i < 24 * 16 * 3; ++i) px.push_back(static_cast<uint8_t>(i * 13));
    return EncodeJpeg(24, 16, 3, px, 80, progressive);
}

// Loads through the file path, checking the failure contract.
HRESULT LoadFile(RecordingDevice& dev, const std::vector<uint8_t>& bytes) {
    static const vt::test::TempDir dir("d3dx8_corrupt");
    const std::string path = dir.Write("corrupt.img", bytes).string();
    IDirect3DTexture8* tex = nullptr;
    const HRESULT hr = D3DXCreateTextureFromFileA(&dev, path.c_str(), &tex);
    if (SUCCEEDED(hr)) {
        EXPECT_NE(tex, nullptr);
        if (tex) tex->Release();
    } else {
        EXPECT_EQ(tex, nullptr);
    }
    std::remove(path.c_str());
    return hr;
}

// Decodes from memory (fast, for byte-by-byte sweeps).
HRESULT Decode(const std::vector<uint8_t>& bytes) {
    vt::d3dx8::DecodedImage img;
    return vt::d3dx8::DecodeImage(bytes.data(), bytes.size(), img);
}

TEST(CorruptImages, EveryTruncationFails) {
    for (bool variant : {false, true}) {
        for (const auto& file : {SmallPng(variant), SmallJpeg(variant)}) {
            ASSERT_EQ(Decode(file), D3D_OK);
            for (size_t n = 0; n < file.size(); ++n) {
                const std::vector<uint8_t> cut(file.begin(), file.begin() + n);
                EXPECT_EQ(Decode(cut), D3DXERR_INVALIDDATA) << "cut at " << n << " of " << file.size();
            }
        }
    }
    RecordingDevice dev;
    const std::vector<uint8_t> png = SmallPng(false);
    for (size_t n : {size_t(0), size_t(8), size_t(33), png.size() / 2, png.size() - 1})
        EXPECT_EQ(LoadFile(dev, std::vector<uint8_t>(png.begin(), png.begin() + n)), D3DXERR_INVALIDDATA);
    EXPECT_EQ(dev.LiveResources(), 0);
}

TEST(CorruptImages, FlippedBytes) {
    // Every PNG chunk is checksummed, so any flipped byte is caught.
    const std::vector<uint8_t> png = SmallPng(false);
    for (size_t i = 0; i < png.size(); ++i) {
        std::vector<uint8_t> bad = png;
        bad[i] ^= 0x5A;
        EXPECT_EQ(Decode(bad), D3DXERR_INVALIDDATA) << "byte " << i;
    }
    // JPEG entropy data has no checksum: a flip may still decode. Neither
    // outcome may crash, and the result must be a clean code.
    for (bool progressive : {false, true}) {
        const std::vector<uint8_t> jpg = SmallJpeg(progressive);
        int failed = 0;
        for (size_t i = 0; i < jpg.size(); ++i) {
            for (uint8_t mask : {uint8_t(0xFF), uint8_t(0x01)}) {
                std::vector<uint8_t> bad = jpg;
                bad[i] ^= mask;
                const HRESULT hr = Decode(bad);
                EXPECT_TRUE(hr == D3D_OK || hr == D3DXERR_INVALIDDATA) << std::hex << hr;
                failed += FAILED(hr);
            }
        }
        EXPECT_GT(failed, 0);
    }
}

TEST(CorruptImages, AbsurdOrZeroDeclaredSizes) {
    // IHDR: width at offset 16, height at 20; the chunk starts at offset 8.
    const std::vector<uint8_t> png = SmallPng(false);
    const struct {
        uint32_t w, h;
    } sizes[] = {{0, 7}, {13, 0}, {100000, 7}, {13, 0x7FFFFFFF}, {8193, 1}, {0xFFFFFFFF, 0xFFFFFFFF}};
    for (const auto& s : sizes) {
        std::vector<uint8_t> bad = png;
        for (int k = 0; k < 4; ++k) {
            bad[16 + k] = static_cast<uint8_t>(s.w >> (24 - 8 * k));
            bad[20 + k] = static_cast<uint8_t>(s.h >> (24 - 8 * k));
        }
        vt::test::FixChunkCrc(bad, 8);
        EXPECT_EQ(Decode(bad), D3DXERR_INVALIDDATA) << s.w << " x " << s.h;
    }
    // JPEG: the frame header's height and width follow its length and precision.
    const std::vector<uint8_t> jpg = SmallJpeg(false);
    size_t sof = 0;
    for (size_t i = 2; i + 1 < jpg.size(); ++i) {
        if (jpg[i] == 0xFF && (jpg[i + 1] == 0xC0 || jpg[i + 1] == 0xC2)) {
            sof = i;
            break;
        }
    }
    ASSERT_GT(sof, 0u);
    for (const auto& s : {std::make_pair(0, 16), std::make_pair(24, 0), std::make_pair(65500, 65500),
                          std::make_pair(9000, 8), std::make_pair(65535, 1)}) {
        std::vector<uint8_t> bad = jpg;
        bad[sof + 5] = static_cast<uint8_t>(s.second >> 8);
        bad[sof + 6] = static_cast<uint8_t>(s.second);
        bad[sof + 7] = static_cast<uint8_t>(s.first >> 8);
        bad[sof + 8] = static_cast<uint8_t>(s.first);
        EXPECT_EQ(Decode(bad), D3DXERR_INVALIDDATA) << s.first << " x " << s.second;
    }
}

// A valid greyscale progressive JPEG made of `refinements` scans for each
// AC coefficient (successive approximation), plus the DC scan.
std::vector<uint8_t> ManyScanJpeg(int refinements) {
    std::vector<jpeg_scan_info> scans;
    scans.push_back({1, {0}, 0, 0, 0, 0});
    for (int k = 1; k < 64; ++k) {
        scans.push_back({1, {0}, k, k, 0, refinements - 1});
        for (int al = refinements - 2; al >= 0; --al) scans.push_back({1, {0}, k, k, al + 1, al});
    }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = 16;
    c.image_height = 16;
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    c.scan_info = scans.data();
    c.num_scans = static_cast<int>(scans.size());
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) row[x] = static_cast<uint8_t>(x * y);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> out(mem, mem + size);
    std::free(mem);
    return out;
}

TEST(CorruptImages, EndlessProgressiveScansAreRefused) {
    EXPECT_EQ(Decode(ManyScanJpeg(2)), D3D_OK);                // 127 scans
    EXPECT_EQ(Decode(ManyScanJpeg(10)), D3DXERR_INVALIDDATA);  // 631 scans
}

TEST(CorruptImages, GarbageAndForeignFormats) {
    RecordingDevice dev;
    std::vector<uint8_t> garbage(300);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 151 + 7);
    const std::vector<uint8_t> pngSig = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const std::vector<uint8_t> soi = {0xFF, 0xD8, 0xFF};
    std::vector<std::vector<uint8_t>> files = {
        {}, garbage, {'B', 'M', 0, 0, 0, 0}, {'G', 'I', 'F', '8', '9', 'a'}, pngSig, soi,
    };
    std::vector<uint8_t> pngGarbage = pngSig, jpgGarbage = soi;
    pngGarbage.insert(pngGarbage.end(), garbage.begin(), garbage.end());
    jpgGarbage.insert(jpgGarbage.end(), garbage.begin(), garbage.end());
    files.push_back(pngGarbage);
    files.push_back(jpgGarbage);
    for (const auto& f : files) EXPECT_EQ(LoadFile(dev, f), D3DXERR_INVALIDDATA) << f.size() << " bytes";
    EXPECT_EQ(dev.LiveResources(), 0);
    EXPECT_EQ(dev.Count("CreateTexture"), 0u);
}

// --- Damage only a warning shows, and warnings that are not damage ----------

// Offset of the length field of the first chunk of this type, or 0.
size_t FindChunk(const std::vector<uint8_t>& png, const char* type) {
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t len = uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
        at += 12 + len;
    }
    return 0;
}

// A chunk with a correct checksum, inserted right after the header chunk.
std::vector<uint8_t> WithChunk(std::vector<uint8_t> png, const char* type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> chunk(12 + data.size());
    for (int k = 0; k < 4; ++k) {
        chunk[k] = uint8_t(data.size() >> (24 - 8 * k));
        chunk[4 + k] = uint8_t(type[k]);
    }
    std::copy(data.begin(), data.end(), chunk.begin() + 8);
    vt::test::FixChunkCrc(chunk, 0);
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());  // signature 8 + IHDR 25
    return png;
}

// libpng by default only warns about a bad checksum on a chunk it could do
// without (text, colour hints, unknown ones); a byte changed there is still
// a damaged file.
TEST(CorruptImages, PngBadChecksumOnAnOptionalChunkIsRefused) {
    const std::vector<uint8_t> text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'h', 'e', 'l', 'l', 'o'};
    for (const char* type : {"tEXt", "vtXs"}) {
        std::vector<uint8_t> png = WithChunk(SmallPng(false), type, text);
        ASSERT_EQ(Decode(png), D3D_OK) << type << " intact";
        png[33 + 8 + 9] ^= 0x20;  // 'h' -> 'H', checksum left as it was
        EXPECT_EQ(Decode(png), D3DXERR_INVALIDDATA) << type;
    }
}

// Compressed bytes left over after the image data end: libpng warns and
// carries on, but the data disagree with the header, so the file is refused.
TEST(CorruptImages, PngImageDataLeftOverIsRefused) {
    for (bool interlaced : {false, true}) {
        std::vector<uint8_t> png = SmallPng(interlaced);
        const size_t idat = FindChunk(png, "IDAT");
        ASSERT_GT(idat, 0u);
        const uint32_t len = uint32_t(png[idat]) << 24 | png[idat + 1] << 16 | png[idat + 2] << 8 | png[idat + 3];
        const uint32_t longer = len + 16;
        png.insert(png.begin() + static_cast<long>(idat + 8 + len), 16, uint8_t(0x5A));
        for (int k = 0; k < 4; ++k) png[idat + k] = uint8_t(longer >> (24 - 8 * k));
        vt::test::FixChunkCrc(png, idat);
        EXPECT_EQ(Decode(png), D3DXERR_INVALIDDATA) << (interlaced ? "interlaced" : "sequential");
    }
}

// Complaints about the labels of a good image do not refuse it: an invalid
// rendering intent, a gamma of zero (libpng drops the chunk and warns).
TEST(CorruptImages, PngHarmlessWarningsStillLoad) {
    RecordingDevice dev;
    const std::vector<uint8_t> png = SmallPng(false);
    const std::vector<uint8_t> badIntent = WithChunk(png, "sRGB", {9});
    const std::vector<uint8_t> zeroGamma = WithChunk(png, "gAMA", {0, 0, 0, 0});
    for (const auto& file : {badIntent, zeroGamma}) EXPECT_EQ(LoadFile(dev, file), D3D_OK);
    EXPECT_EQ(dev.LiveResources(), 0);
}

// A JFIF header from a newer revision makes libjpeg warn, yet the pixels are
// the same; only warnings about the data refuse a JPEG.
TEST(CorruptImages, JpegNewerJfifRevisionStillLoads) {
    const std::vector<uint8_t> jpg = SmallJpeg(false);
    ASSERT_EQ(std::memcmp(&jpg[6], "JFIF", 5), 0) << "APP0 right after the start marker";
    vt::d3dx8::DecodedImage good, newer;
    ASSERT_EQ(vt::d3dx8::DecodeImage(jpg.data(), jpg.size(), good), D3D_OK);
    std::vector<uint8_t> bumped = jpg;
    bumped[11] = 2;  // major revision
    ASSERT_EQ(vt::d3dx8::DecodeImage(bumped.data(), bumped.size(), newer), D3D_OK);
    EXPECT_TRUE(newer.pixels == good.pixels);

    // A restart-free file cut short still is damage, whatever the header says.
    bumped.resize(bumped.size() - 20);
    EXPECT_EQ(Decode(bumped), D3DXERR_INVALIDDATA);
}

}  // namespace
