#include "sheet.h"

#include <algorithm>

#include "recipes_common.h"
#include "writers.h"

namespace mk {

void writeContactSheet(const std::string& path, const std::vector<ImageSpec>& specs, Fonts& fonts)
{
    constexpr int kCols = 6, kCellW = 320, kCellH = 260, kThumbW = 300, kThumbH = 220;
    const int rows = (static_cast<int>(specs.size()) + kCols - 1) / kCols;
    Image sheet(kCols * kCellW, rows * kCellH, hex(0x202228));
    Plane labels(sheet.width(), sheet.height());
    for (size_t i = 0; i < specs.size(); ++i) {
        const Image img = renderImage(specs[i], fonts);
        const int cx = static_cast<int>(i % kCols) * kCellW, cy = static_cast<int>(i / kCols) * kCellH;
        const float k = std::min({1.0f, float(kThumbW) / img.width(), float(kThumbH) / img.height()});
        const int tw = std::max(1, static_cast<int>(img.width() * k)), th = std::max(1, static_cast<int>(img.height() * k));
        const Image thumb = resample(img, tw, th);
        const int ox = cx + (kCellW - tw) / 2, oy = cy + 10 + (kThumbH - th) / 2;
        // Checkerboard under the picture so transparency shows.
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x) sheet.at(ox + x, oy + y) = ((x / 8 + y / 8) & 1) ? hex(0x9A9A9A) : hex(0x6A6A6A);
        sheet.drawOver(thumb, ox, oy);
        std::string name = specs[i].path.substr(specs[i].path.find("bitmaps/") + 8);
        name += "  " + std::to_string(specs[i].width) + "x" + std::to_string(specs[i].height);
        TextStyle st{Face::Sans, 13};
        st.size = fitSize(fonts, st, name, kCellW - 10);
        drawText(fonts, labels, st, name, cx + (kCellW - measure(fonts, st, name).width) / 2, cy + kCellH - 14);
    }
    paintMask(sheet, labels, hex(0xE8E8E8));
    writePng(path, sheet, false);
}

}  // namespace mk
