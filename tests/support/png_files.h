// Well-formed 8-bit PNG images for tests and test tools, written and read
// whole through libpng's simplified API. Files with unusual layouts (palettes,
// odd bit depths, interlacing) or damage are built by hand where needed.
//
//   PngImage img(4, 4, 3, 0x80);                 // opaque grey RGB
//   WritePngFile("data/a.png", img);
//   PngImage back;
//   std::string error;
//   if (!ReadPngFile("data/a.png", 4, back, &error)) ...  // RGBA, whatever the file holds
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vt::test {

struct PngImage {
    unsigned width = 0, height = 0;
    unsigned channels = 3;        // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels;  // top row first, rows packed
    unsigned fileChannels = 0;    // set by reads: what the file itself holds

    PngImage() = default;
    PngImage(unsigned w, unsigned h, unsigned c, uint8_t fill = 0)
        : width(w), height(h), channels(c), pixels(size_t(w) * h * c, fill)
    {
    }
    uint8_t* At(unsigned x, unsigned y) { return &pixels[(size_t(y) * width + x) * channels]; }
    const uint8_t* At(unsigned x, unsigned y) const { return &pixels[(size_t(y) * width + x) * channels]; }
};

// The file's bytes; empty (with `error` set) when the image is inconsistent.
std::vector<uint8_t> EncodePng(const PngImage& image, std::string* error = nullptr);
bool WritePngFile(const std::string& path, const PngImage& image, std::string* error = nullptr);

// Decodes to `channels` a pixel (libpng converts, e.g. RGB gains an opaque
// alpha). False (with `error` set) when the file is missing or not a PNG.
bool ReadPngFile(const std::string& path, unsigned channels, PngImage& image, std::string* error = nullptr);
bool DecodePng(const std::vector<uint8_t>& bytes, unsigned channels, PngImage& image, std::string* error = nullptr);

}  // namespace vt::test
