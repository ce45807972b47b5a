// A fresh folder under the system's temporary directory, removed with all it
// holds when the object goes. Optionally the working directory meanwhile, for
// loaders that read "data\..." names relative to it.
//
//   TempDir dir("scene_media");
//   dir.Enter();
//   dir.Write("data\\bitmaps\\a.png", bytes);   // parents made; '\' taken as '/'
//   dir.WritePng("data/b.png", PngImage(4, 4, 3, 0x80));
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/png_files.h"

namespace vt::test {

class TempDir {
public:
    // The folder is named vt_<tag>_ and six random characters.
    explicit TempDir(const std::string& tag = "test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The full path of a name inside the folder, '\' taken as '/'.
    std::filesystem::path operator/(const std::string& name) const;

    // Makes the folder the working directory until destruction (or Leave).
    void Enter();
    void Leave();

    // Each returns the full path written, with parent folders made.
    std::filesystem::path Write(const std::string& name, const std::string& bytes) const;
    std::filesystem::path Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::filesystem::path WritePng(const std::string& name, const PngImage& image) const;
    std::filesystem::path MakeDir(const std::string& name) const;
    void Remove(const std::string& name) const;

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;  // working directory before Enter
    bool entered_ = false;
};

}  // namespace vt::test
