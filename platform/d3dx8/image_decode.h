// Image files in memory -> 8-bit B,G,R,A pixels, for the texture loader.
//
//   vt::d3dx8::DecodedImage img;
//   HRESULT hr = vt::d3dx8::DecodeImage(bytes.data(), bytes.size(), img);
//   // img.pixels: width * height * 4 bytes, top row first; img.hasAlpha
//
// The format is found from the content (PNG signature or JPEG SOI marker).
// Failures: D3DXERR_INVALIDDATA for anything undecodable, truncated or
// larger than kMaxImageSide / kMaxImagePixels (decided from the header,
// before any pixel memory is taken); E_OUTOFMEMORY.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3dx8/d3dx8.h"

namespace vt::d3dx8 {

// The largest texture side a Direct3D 8-class device takes.
constexpr uint32_t kMaxImageSide = 4096;
constexpr uint64_t kMaxImagePixels = uint64_t{kMaxImageSide} * kMaxImageSide;

struct DecodedImage {
    uint32_t width = 0;
    uint32_t height = 0;
    bool hasAlpha = false;        // an alpha channel or a transparency chunk
    std::vector<uint8_t> pixels;  // B,G,R,A; alpha 255 where the file has none
};

HRESULT DecodeImage(const uint8_t* data, size_t size, DecodedImage& out);
HRESULT DecodePng(const uint8_t* data, size_t size, DecodedImage& out);
HRESULT DecodeJpeg(const uint8_t* data, size_t size, DecodedImage& out);

// Resamples B,G,R,A pixels to another size with a triangle (tent) filter
// whose support widens with the reduction, so both enlarging (bilinear) and
// shrinking (averaging) are smooth; equal sizes copy exactly. Besides the
// result it holds only a few rows of working memory.
std::vector<uint8_t> ResizeTriangle(const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t dw, uint32_t dh);

// The next mip level, in place: each pixel the rounded mean of its 2 x 2
// (or 2 x 1) parents; the result fills the first *dw * *dh * 4 bytes.
void HalveBox(uint8_t* pixels, uint32_t sw, uint32_t sh, uint32_t* dw, uint32_t* dh);

}  // namespace vt::d3dx8
