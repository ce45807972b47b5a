#include "media_set.h"

#include <stdexcept>

namespace mk {

std::vector<ImageSpec> imageSet()
{
    std::vector<ImageSpec> out;
    addSharedAndScene1(out);
    addScenes2to5(out);
    addScenes6to10(out);
    return out;
}

Image renderImage(const ImageSpec& item, Fonts& fonts)
{
    Image img = item.paint(fonts);
    if (img.width() != item.width || img.height() != item.height) img = resample(img, item.width, item.height);
    if (item.format != Format::PngAlpha)
        for (Rgba& c : img.pixels()) c.a = 1;
    return img;
}

}  // namespace mk
