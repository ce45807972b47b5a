#include "tests/support/media_dir.h"

namespace vt::test {

bool MediaDir::WriteImage(const std::string& name, unsigned w, unsigned h) const
{
    const std::filesystem::path p = *this / name;
    std::filesystem::create_directories(p.parent_path());
    return WritePngFile(p.string(), PngImage(w, h, 3, 0x80));
}

const std::string& TinyPng()
{
    static const std::string bytes = [] {
        PngImage image(4, 4, 4);
        for (size_t i = 0; i < image.pixels.size(); i += 4) {
            image.pixels[i] = 0x80;
            image.pixels[i + 1] = 0x40;
            image.pixels[i + 2] = 0xC0;
            image.pixels[i + 3] = 0xFF;
        }
        const std::vector<uint8_t> png = EncodePng(image);
        return std::string(png.begin(), png.end());
    }();
    return bytes;
}

}  // namespace vt::test
