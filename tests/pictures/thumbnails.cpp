// Thumbnails: PNG in and out, box reduction, comparison, and the pictures
// people look at when something changed.
#include "tests/pictures/thumbnails.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "tests/support/png_files.h"

namespace vt::pictures {

bool ReadPng(const std::string& path, Image& image, std::string& error)
{
    vt::test::PngImage png;
    if (!vt::test::ReadPngFile(path, 3, png, &error))
        return false;
    image.width = png.width;
    image.height = png.height;
    image.rgb = std::move(png.pixels);
    return true;
}

bool WritePng(const std::string& path, const Image& image)
{
    vt::test::PngImage png;
    png.width = image.width;
    png.height = image.height;
    png.channels = 3;
    png.pixels = image.rgb;
    return vt::test::WritePngFile(path, png);
}

bool BoxReduce(const Image& frame, unsigned w, unsigned h, Image& thumb, std::string& error)
{
    if (w == 0 || h == 0 || frame.width % w != 0 || frame.height % h != 0 || frame.width < w || frame.height < h) {
        error = "a " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                " frame does not reduce evenly to " + std::to_string(w) + " x " + std::to_string(h);
        return false;
    }
    const unsigned bx = frame.width / w, by = frame.height / h, n = bx * by;
    thumb = Image(w, h);
    for (unsigned ty = 0; ty < h; ty++) {
        for (unsigned tx = 0; tx < w; tx++) {
            unsigned sum[3] = {0, 0, 0};
            for (unsigned y = ty * by; y < (ty + 1) * by; y++) {
                const uint8_t* p = frame.At(tx * bx, y);
                for (unsigned x = 0; x < bx; x++, p += 3)
                    for (int c = 0; c < 3; c++)
                        sum[c] += p[c];
            }
            for (int c = 0; c < 3; c++)
                thumb.At(tx, ty)[c] = uint8_t((sum[c] + n / 2) / n);
        }
    }
    return true;
}

Difference Compare(const Image& reference, const Image& fresh, int tolerance)
{
    Difference d;
    if (reference.width != fresh.width || reference.height != fresh.height) {
        d.sameSize = false;
        d.maxChannel = 255;
        d.meanChannel = 255;
        d.pixelsOver = size_t(fresh.width) * fresh.height;
        return d;
    }
    uint64_t total = 0;
    for (size_t i = 0; i < fresh.rgb.size(); i += 3) {
        int worst = 0;
        for (int c = 0; c < 3; c++) {
            const int diff = std::abs(int(reference.rgb[i + c]) - int(fresh.rgb[i + c]));
            worst = std::max(worst, diff);
            total += diff;
        }
        d.maxChannel = std::max(d.maxChannel, worst);
        d.pixelsOver += worst > tolerance;
    }
    d.meanChannel = fresh.rgb.empty() ? 0.0 : double(total) / double(fresh.rgb.size());
    return d;
}

namespace {

// 3 x 5 glyphs, one row a string, for the labels of the side-by-side rows.
const std::map<char, const char*>& Glyphs()
{
    static const std::map<char, const char*> glyphs = {
        {'0', "###"
              "# #"
              "# #"
              "# #"
              "###"},
        {'1', " # "
              "## "
              " # "
              " # "
              "###"},
        {'2', "###"
              "  #"
              "###"
              "#  "
              "###"},
        {'3', "###"
              "  #"
              " ##"
              "  #"
              "###"},
        {'4', "# #"
              "# #"
              "###"
              "  #"
              "  #"},
        {'5', "###"
              "#  "
              "###"
              "  #"
              "###"},
        {'6', "###"
              "#  "
              "###"
              "# #"
              "###"},
        {'7', "###"
              "  #"
              "  #"
              " # "
              " # "},
        {'8', "###"
              "# #"
              "###"
              "# #"
              "###"},
        {'9', "###"
              "# #"
              "###"
              "  #"
              "###"},
        {'.', "   "
              "   "
              "   "
              "   "
              " # "},
        {'l', "#  "
              "#  "
              "#  "
              "#  "
              "###"},
        {'o', "   "
              "###"
              "# #"
              "# #"
              "###"},
        {'a', "   "
              " ##"
              "# #"
              "# #"
              " ##"},
        {'d', "  #"
              " ##"
              "# #"
              "# #"
              " ##"},
        {'i', " # "
              "   "
              " # "
              " # "
              " # "},
        {'n', "   "
              "## "
              "# #"
              "# #"
              "# #"},
        {'g', "###"
              "# #"
              "###"
              "  #"
              "## "},
    };
    return glyphs;
}

constexpr unsigned kDot = 3;                 // screen pixels per glyph pixel
constexpr unsigned kLabelWidth = 8 * 4 * kDot + 8;
constexpr unsigned kGap = 6;
constexpr uint8_t kBackground = 64;

void DrawLabel(Image& image, const std::string& label, unsigned x0, unsigned y0)
{
    unsigned x = x0;
    for (char ch : label) {
        auto it = Glyphs().find(ch);
        if (it != Glyphs().end()) {
            for (unsigned gy = 0; gy < 5; gy++)
                for (unsigned gx = 0; gx < 3; gx++)
                    if (it->second[gy * 3 + gx] == '#')
                        for (unsigned dy = 0; dy < kDot; dy++)
                            for (unsigned dx = 0; dx < kDot; dx++) {
                                const unsigned px = x + gx * kDot + dx, py = y0 + gy * kDot + dy;
                                if (px < image.width && py < image.height)
                                    std::fill_n(image.At(px, py), 3, uint8_t(255));
                            }
        }
        x += 4 * kDot;
    }
}

void Blit(Image& dst, const Image& src, unsigned x0, unsigned y0, unsigned scale)
{
    for (unsigned y = 0; y < src.height * scale && y0 + y < dst.height; y++)
        for (unsigned x = 0; x < src.width * scale && x0 + x < dst.width; x++)
            std::copy_n(src.At(x / scale, y / scale), 3, dst.At(x0 + x, y0 + y));
}

}  // namespace

Image SideBySide(const Image& reference, const Image& fresh, const std::string& label, unsigned scale)
{
    const unsigned w = std::max(reference.width, fresh.width), h = std::max(reference.height, fresh.height);
    Image diff(w, h);
    if (reference.width == fresh.width && reference.height == fresh.height) {
        for (size_t i = 0; i < diff.rgb.size(); i++)
            diff.rgb[i] = uint8_t(std::min(255, 8 * std::abs(int(reference.rgb[i]) - int(fresh.rgb[i]))));
    } else {
        std::fill(diff.rgb.begin(), diff.rgb.end(), uint8_t(255));
    }
    Image row(kLabelWidth + 3 * (w * scale + kGap), h * scale + kGap, kBackground);
    DrawLabel(row, label, 4, 4);
    Blit(row, reference, kLabelWidth, 0, scale);
    Blit(row, fresh, kLabelWidth + w * scale + kGap, 0, scale);
    Blit(row, diff, kLabelWidth + 2 * (w * scale + kGap), 0, scale);
    return row;
}

Image Stack(const std::vector<Image>& rows)
{
    unsigned w = 0, h = 0;
    for (const Image& r : rows) {
        w = std::max(w, r.width);
        h += r.height;
    }
    Image sheet(std::max(w, 1u), std::max(h, 1u), kBackground);
    unsigned y = 0;
    for (const Image& r : rows) {
        Blit(sheet, r, 0, y, 1);
        y += r.height;
    }
    return sheet;
}

}  // namespace vt::pictures
