#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

namespace vt::test {

namespace fs = std::filesystem;

namespace {

std::string Slashes(std::string name)
{
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

}  // namespace

TempDir::TempDir(const std::string& tag)
{
    std::string pattern = (fs::temp_directory_path() / ("vt_" + tag + "_XXXXXX")).string();
    if (mkdtemp(pattern.data()))
        path_ = pattern;
    else
        ADD_FAILURE() << "cannot make a folder like " << pattern;
}

TempDir::~TempDir()
{
    Leave();
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

fs::path TempDir::operator/(const std::string& name) const { return path_ / Slashes(name); }

void TempDir::Enter()
{
    if (entered_ || path_.empty()) return;
    previous_ = fs::current_path();
    fs::current_path(path_);
    entered_ = true;
}

void TempDir::Leave()
{
    if (!entered_) return;
    std::error_code ec;
    fs::current_path(previous_, ec);
    entered_ = false;
}

fs::path TempDir::Write(const std::string& name, const std::string& bytes) const
{
    const fs::path p = *this / name;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    EXPECT_TRUE(out) << "cannot write " << p;
    return p;
}

fs::path TempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    return Write(name, std::string(bytes.begin(), bytes.end()));
}

fs::path TempDir::WritePng(const std::string& name, const PngImage& image) const
{
    const fs::path p = *this / name;
    fs::create_directories(p.parent_path());
    std::string error;
    EXPECT_TRUE(WritePngFile(p.string(), image, &error)) << error;
    return p;
}

fs::path TempDir::MakeDir(const std::string& name) const
{
    const fs::path p = *this / name;
    fs::create_directories(p);
    return p;
}

void TempDir::Remove(const std::string& name) const { fs::remove(*this / name); }

}  // namespace vt::test
