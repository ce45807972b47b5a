// File writers: PNG (libpng), JPEG (libjpeg). Both produce the same bytes for
// the same image on every run: no timestamps, fixed settings.
#pragma once

#include <string>

#include "image.h"

namespace mk {

// RGBA when withAlpha, else RGB. Throws std::runtime_error on I/O failure.
void writePng(const std::string& path, const Image& img, bool withAlpha);
// Baseline JPEG, 4:2:0, the given quality (1..100). Alpha is ignored.
void writeJpeg(const std::string& path, const Image& img, int quality = 90);

// Creates every missing directory of path's parent.
void makeParentDirs(const std::string& path);

}  // namespace mk
