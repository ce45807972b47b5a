// A throw-away working directory holding the late scenes' media files, for
// the loaders that read "data\..." names relative to it.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/recording_device.h"

namespace vt::test {

// Every call the device logged succeeded (a failed draw would otherwise
// pass silently where the show ignores results).
inline void ExpectNoFailedCalls(const RecordingDevice& dev)
{
    for (const Call& c : dev.Log())
        EXPECT_GE(c.result, 0) << c.method << " failed";
}

// A 4 x 4 RGBA PNG; the texture loader recognises files by content.
inline const std::string& TinyPng()
{
    static const uint8_t bytes[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
        0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x08, 0x06, 0x00, 0x00, 0x00, 0xA9, 0xF1, 0x9E, 0x7E, 0x00,
        0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x68, 0x70, 0x38, 0xF0, 0x1F, 0x19, 0x33,
        0x90, 0x2E, 0x00, 0x00, 0x3E, 0x87, 0x27, 0xF1, 0xE0, 0x09, 0x69, 0xCF, 0x00, 0x00, 0x00, 0x00, 0x49,
        0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    static const std::string png(reinterpret_cast<const char*>(bytes), sizeof(bytes));
    return png;
}

class MediaDir {
public:
    explicit MediaDir(const std::string& tag)
    {
        old_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() / ("vt_" + tag + "_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    ~MediaDir()
    {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    MediaDir(const MediaDir&) = delete;
    MediaDir& operator=(const MediaDir&) = delete;

    // Writes `bytes` at the forward-slash form of a show file name.
    void Write(const std::string& name, const std::string& bytes) const
    {
        const std::filesystem::path p = dir_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    void Remove(const std::string& name) const { std::filesystem::remove(dir_ / name); }

private:
    std::filesystem::path old_;
    std::filesystem::path dir_;
};

}  // namespace vt::test
