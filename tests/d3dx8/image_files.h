// Test images in memory, made with libpng's and libjpeg's full APIs so that
// any layout the decoders must handle (palettes, low and 16-bit depths,
// transparency chunks, interlacing) or damage can be produced.
//
//   PngSpec s; s.width = 4; s.height = 4; s.colourType = PNG_COLOR_TYPE_RGB;
//   s.rows = {...packed row bytes...};
//   std::vector<uint8_t> png = EncodePng(s);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vt::test {

struct PngSpec {
    uint32_t width = 0, height = 0;
    int colourType = 0;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::vector<uint8_t>> rows;  // packed as the file stores them (16-bit big-endian)
    std::vector<uint8_t> palette;            // r,g,b triples
    std::vector<uint8_t> trnsAlpha;          // palette alphas
    int trnsGrey = -1;                       // grey value made transparent (grey images)
};

std::vector<uint8_t> EncodePng(const PngSpec& png);

// pixels: width * height * components bytes (1 grey, 3 RGB, 4 CMYK).
std::vector<uint8_t> EncodeJpeg(uint32_t width, uint32_t height, int components, const std::vector<uint8_t>& pixels,
                                int quality, bool progressive);

// Recomputes the CRC of the chunk whose length field starts at `offset`.
void FixChunkCrc(std::vector<uint8_t>& png, size_t offset);

}  // namespace vt::test
