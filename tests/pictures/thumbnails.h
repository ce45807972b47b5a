// Thumbnails of captured frames: reading and writing PNG, the box-filter
// reduction, the comparison against a reference, and the pictures made for
// people to look at (side by side, contact sheet).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vt::pictures {

constexpr unsigned kThumbWidth = 128;
constexpr unsigned kThumbHeight = 96;

struct Image {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top row first, 3 bytes a pixel

    Image() = default;
    Image(unsigned w, unsigned h, uint8_t fill = 0) : width(w), height(h), rgb(size_t(w) * h * 3, fill) {}
    uint8_t* At(unsigned x, unsigned y) { return &rgb[(size_t(y) * width + x) * 3]; }
    const uint8_t* At(unsigned x, unsigned y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

// False (with `error` set) when the file is missing or not a PNG.
bool ReadPng(const std::string& path, Image& image, std::string& error);
bool WritePng(const std::string& path, const Image& image);

// The mean of each block of (width / w) x (height / h) pixels, rounded to
// nearest; the size must divide exactly.
bool BoxReduce(const Image& frame, unsigned w, unsigned h, Image& thumb, std::string& error);

// How far a new thumbnail is from its reference, over all channels.
struct Difference {
    int maxChannel = 0;       // largest absolute channel difference
    double meanChannel = 0;   // mean absolute channel difference
    size_t pixelsOver = 0;    // pixels with any channel differing by more than the tolerance
    bool sameSize = true;
};
Difference Compare(const Image& reference, const Image& fresh, int tolerance);

// The thumbnails' pass rule: every channel within `tolerance`, except at most
// `pixelsAllowed` pixels.
struct Tolerance {
    int channel;
    size_t pixelsAllowed;
};
inline bool Passes(const Difference& d, const Tolerance& t)
{
    return d.sameSize && d.pixelsOver <= t.pixelsAllowed;
}

// reference | new | difference x8, each scaled up `scale` times, on a grey
// background; `label` (digits, '.', and the letters of "loading") on the left.
Image SideBySide(const Image& reference, const Image& fresh, const std::string& label, unsigned scale);
// Rows stacked top to bottom.
Image Stack(const std::vector<Image>& rows);

}  // namespace vt::pictures
