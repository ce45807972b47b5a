// Contact sheet: every image of the set as a labelled thumbnail, for review.
#pragma once

#include <string>
#include <vector>

#include "media_set.h"

namespace mk {

void writeContactSheet(const std::string& path, const std::vector<ImageSpec>& specs, Fonts& fonts);

}  // namespace mk
