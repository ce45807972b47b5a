#include "writers.h"

#include <png.h>
#include <cstdio>
#include <jpeglib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

namespace mk {

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

FilePtr openForWrite(const std::string& path)
{
    makeParentDirs(path);
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) throw std::runtime_error("cannot write " + path);
    return f;
}

}  // namespace

void makeParentDirs(const std::string& path)
{
    const auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
}

void writePng(const std::string& path, const Image& img, bool withAlpha)
{
    const int ch = withAlpha ? 4 : 3;
    const std::vector<uint8_t> bytes = toBytes(img, ch);
    FilePtr f = openForWrite(path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("libpng failed to start");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng failed writing " + path);
    }
    png_init_io(png, f.get());
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, img.width(), img.height(), 8, withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < img.height(); ++y)
        png_write_row(png, const_cast<png_bytep>(&bytes[static_cast<size_t>(y) * img.width() * ch]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(f.get()) != 0) throw std::runtime_error("cannot write " + path);
}

void writeJpeg(const std::string& path, const Image& img, int quality)
{
    const std::vector<uint8_t> bytes = toBytes(img, 3);
    FilePtr f = openForWrite(path);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);  // default handler exits on error; inputs are ours
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f.get());
    cinfo.image_width = static_cast<JDIMENSION>(img.width());
    cinfo.image_height = static_cast<JDIMENSION>(img.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = TRUE;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&bytes[static_cast<size_t>(cinfo.next_scanline) * img.width() * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    if (std::fflush(f.get()) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace mk
