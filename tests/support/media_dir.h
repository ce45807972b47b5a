// A temporary media folder for the show's loaders, which read "data\..."
// names relative to the working directory: it is the working directory for
// the object's life.
//
//   MediaDir media("scene3");
//   ASSERT_TRUE(media.WriteImage("data\\bitmaps\\scene03\\sentence.png", 64, 32));
//   media.Write("data/meshes/scene08/star.x", text);
#pragma once

#include <string>

#include "tests/support/temp_dir.h"

namespace vt::test {

class MediaDir : public TempDir {
public:
    explicit MediaDir(const std::string& tag = "media") : TempDir(tag) { Enter(); }

    // A w x h opaque mid-grey PNG under a show file name; the image loader
    // goes by content, so a ".jpg" name works too. True when written.
    bool WriteImage(const std::string& name, unsigned w = 4, unsigned h = 4) const;
};

// A 4 x 4 PNG, every pixel (0x80, 0x40, 0xC0) and opaque, as bytes.
const std::string& TinyPng();

}  // namespace vt::test
