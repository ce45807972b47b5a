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

Image renderImage(const ImageSpec& spec, Fonts& fonts)
{
    Image img = spec.paint(fonts);
    if (img.width() != spec.width || img.height() != spec.height) img = resample(img, spec.width, spec.height);
    if (spec.format != Format::PngAlpha)
        for (Rgba& c : img.pixels()) c.a = 1;
    return img;
}

}  // namespace mk
