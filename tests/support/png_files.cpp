#include "tests/support/png_files.h"

#include <png.h>

namespace vt::test {

namespace {

bool FormatFor(unsigned channels, png_uint_32& format)
{
    switch (channels) {
        case 1: format = PNG_FORMAT_GRAY; return true;
        case 2: format = PNG_FORMAT_GA; return true;
        case 3: format = PNG_FORMAT_RGB; return true;
        case 4: format = PNG_FORMAT_RGBA; return true;
    }
    return false;
}

void SetError(std::string* error, const std::string& text)
{
    if (error) *error = text;
}

// Fills `png` for writing `image`; false when the image cannot be written.
bool Describe(const PngImage& image, png_image& png, std::string* error)
{
    png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    if (!FormatFor(image.channels, png.format)) {
        SetError(error, std::to_string(image.channels) + " channels a pixel");
        return false;
    }
    if (image.width == 0 || image.height == 0 ||
        image.pixels.size() != size_t(image.width) * image.height * image.channels) {
        SetError(error, "pixels do not match " + std::to_string(image.width) + " x " +
                            std::to_string(image.height) + " x " + std::to_string(image.channels));
        return false;
    }
    return true;
}

// Reads the pixels once begin_read has succeeded on `png`.
bool Finish(png_image& png, unsigned channels, PngImage& image, std::string* error)
{
    const unsigned fileChannels = PNG_IMAGE_SAMPLE_CHANNELS(png.format);
    if (!FormatFor(channels, png.format)) {
        png_image_free(&png);
        SetError(error, std::to_string(channels) + " channels a pixel");
        return false;
    }
    image = PngImage(png.width, png.height, channels);
    image.fileChannels = fileChannels;
    if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
        SetError(error, png.message);
        png_image_free(&png);
        return false;
    }
    return true;
}

}  // namespace

std::vector<uint8_t> EncodePng(const PngImage& image, std::string* error)
{
    png_image png;
    if (!Describe(image, png, error)) return {};
    png_alloc_size_t size = 0;
    // The first call measures, the second writes.
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, image.pixels.data(), 0, nullptr)) {
        SetError(error, png.message);
        return {};
    }
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, image.pixels.data(), 0, nullptr)) {
        SetError(error, png.message);
        return {};
    }
    bytes.resize(size);
    return bytes;
}

bool WritePngFile(const std::string& path, const PngImage& image, std::string* error)
{
    png_image png;
    if (!Describe(image, png, error)) return false;
    if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
        SetError(error, path + ": " + png.message);
        return false;
    }
    return true;
}

bool ReadPngFile(const std::string& path, unsigned channels, PngImage& image, std::string* error)
{
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        SetError(error, path + ": " + png.message);
        return false;
    }
    if (Finish(png, channels, image, error)) return true;
    if (error) *error = path + ": " + *error;
    return false;
}

bool DecodePng(const std::vector<uint8_t>& bytes, unsigned channels, PngImage& image, std::string* error)
{
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
        SetError(error, png.message);
        return false;
    }
    return Finish(png, channels, image, error);
}

}  // namespace vt::test
