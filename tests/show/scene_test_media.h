// Scene loaders read their images from data\... under the working
// directory: this writes small stand-ins into a fresh temporary folder and
// works from there until destroyed.
#pragma once

#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace vt::test {

class SceneMediaDir {
public:
    SceneMediaDir()
    {
        char tmpl[] = "/tmp/vt_scene_media_XXXXXX";
        const char* dir = mkdtemp(tmpl);
        root_ = dir ? dir : "";
        old_ = std::filesystem::current_path();
        if (!root_.empty())
            std::filesystem::current_path(root_);
    }
    ~SceneMediaDir()
    {
        std::filesystem::current_path(old_);
        std::error_code ec;
        if (!root_.empty())
            std::filesystem::remove_all(root_, ec);
    }
    SceneMediaDir(const SceneMediaDir&) = delete;
    SceneMediaDir& operator=(const SceneMediaDir&) = delete;

    // A w x h opaque grey PNG at the show's path (backslashes allowed); the
    // image library sniffs the format, so a ".jpg" name works too.
    bool Write(std::string path, unsigned w = 4, unsigned h = 4)
    {
        for (char& c : path)
            if (c == '\\')
                c = '/';
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f)
            return false;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, &info);
            std::fclose(f);
            return false;
        }
        png_init_io(png, f);
        png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<png_byte> row(w * 3, 0x80);
        for (unsigned y = 0; y < h; y++)
            png_write_row(png, row.data());
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        return std::fclose(f) == 0;
    }

private:
    std::string root_;
    std::filesystem::path old_;
};

}  // namespace vt::test
