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
    const std::vector<uint8_t> bytes = toBytes(img, withAlpha ? 4 : 3);
    makeParentDirs(path);
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(img.width());
    png.height = static_cast<png_uint_32>(img.height());
    png.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&png, path.c_str(), 0, bytes.data(), 0, nullptr))
        throw std::runtime_error("cannot write " + path + ": " + png.message);
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
