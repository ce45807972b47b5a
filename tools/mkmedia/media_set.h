// The whole media set: every image the show loads, with its file format, the
// size of the file and the recipe that paints it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image.h"
#include "text.h"

namespace mk {

enum class Format { Png, PngAlpha, Jpeg };

struct ImageSpec {
    std::string path;  // relative to the output folder, '/' separated
    Format format;
    int width, height;  // of the file; powers of two
    // Paints the picture. It may return another size (the size the show draws
    // it at); it is then resampled to width x height.
    std::function<Image(Fonts&)> paint;
};

std::vector<ImageSpec> imageSet();

// The program's icon for desktop menus, one PNG per size of the icon theme
// ("hicolor/48x48/apps/vantorel.png"); not part of the show's media.
inline constexpr int kIconSizes[] = {32, 48, 64, 128, 256};
std::vector<ImageSpec> iconSet();

// Paints item and brings it to the file's size.
Image renderImage(const ImageSpec& item, Fonts& fonts);

// Per-scene recipe tables, concatenated by imageSet().
void addSharedAndScene1(std::vector<ImageSpec>& out);
void addScenes2to5(std::vector<ImageSpec>& out);
void addScenes6to10(std::vector<ImageSpec>& out);

}  // namespace mk
