#include "tests/d3dx8/image_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace vt::test {

namespace {

extern "C" void PngWrite(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
extern "C" void PngFlush(png_structp) {}

}  // namespace

std::vector<uint8_t> EncodePng(const PngSpec& s) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "png encoding failed";
        return {};
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colourType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) {
        std::vector<png_color> pal(s.palette.size() / 3);
        for (size_t i = 0; i < pal.size(); ++i)
            pal[i] = {s.palette[i * 3], s.palette[i * 3 + 1], s.palette[i * 3 + 2]};
        png_set_PLTE(png, info, pal.data(), static_cast<int>(pal.size()));
    }
    if (!s.trnsAlpha.empty())
        png_set_tRNS(png, info, s.trnsAlpha.data(), static_cast<int>(s.trnsAlpha.size()), nullptr);
    if (s.trnsGrey >= 0) {
        png_color_16 c{};
        c.gray = static_cast<png_uint_16>(s.trnsGrey);
        png_set_tRNS(png, info, nullptr, 0, &c);
    }
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> EncodeJpeg(uint32_t width, uint32_t height, int components, const std::vector<uint8_t>& pixels,
                                int quality, bool progressive) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + static_cast<size_t>(c.next_scanline) * width * components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> out(mem, mem + size);
    std::free(mem);
    return out;
}

void FixChunkCrc(std::vector<uint8_t>& png, size_t offset) {
    const uint32_t len = (uint32_t(png[offset]) << 24) | (png[offset + 1] << 16) | (png[offset + 2] << 8) |
                         png[offset + 3];
    const uLong crc = crc32(0, png.data() + offset + 4, len + 4);
    const size_t at = offset + 8 + len;
    png[at] = uint8_t(crc >> 24);
    png[at + 1] = uint8_t(crc >> 16);
    png[at + 2] = uint8_t(crc >> 8);
    png[at + 3] = uint8_t(crc);
}

}  // namespace vt::test
