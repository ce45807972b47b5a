// ID3v2 tags in front of the music: skipped, never read into memory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/fmod/fmod.h"
#include "platform/fmod/host.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::vector<char> ReadAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void WriteAll(const fs::path& p, const std::vector<char>& bytes) {
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// An ID3v2.4 header declaring `size` bytes of tag (28 bits, 7 per byte).
std::vector<char> Id3Header(uint32_t size) {
    return {'I', 'D', '3', 4, 0, 0, char((size >> 21) & 0x7F), char((size >> 14) & 0x7F), char((size >> 7) & 0x7F),
            char(size & 0x7F)};
}

class Id3Test : public ::testing::Test {
protected:
    void TearDown() override { FSOUND_Close(); }
    std::vector<int16_t> Load(const fs::path& p) {
        if (!FSOUND_Sample_Load(FSOUND_FREE, p.c_str(), FSOUND_LOOP_OFF, 0)) return {};
        return vt::fmod::DecodedSamples();
    }
    vt::test::TempDir temp{"id3"};
    const fs::path dir = temp.Path();
};

TEST_F(Id3Test, TaggedMusicDecodesLikeTheUntagged) {
    const fs::path plain = dir / "plain.mp3";
    const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=0.3 -ar 22050 "
                            "-c:a libmp3lame -id3v2_version 0 '" + plain.string() + "'";
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0 || std::system(cmd.c_str()) != 0)
        GTEST_SKIP() << "no ffmpeg";
    const std::vector<char> music = ReadAll(plain);
    const std::vector<int16_t> expected = Load(plain);
    ASSERT_FALSE(expected.empty());

    // A title frame and padding, then the same music.
    std::vector<char> tagged = Id3Header(40);
    const char title[] = {'T', 'I', 'T', '2', 0, 0, 0, 6, 0, 0, 3, 't', 'i', 't', 'l', 'e'};
    tagged.insert(tagged.end(), std::begin(title), std::end(title));
    tagged.resize(tagged.size() + 40 - sizeof title, 0);
    tagged.insert(tagged.end(), music.begin(), music.end());
    WriteAll(dir / "tagged.mp3", tagged);
    EXPECT_EQ(Load(dir / "tagged.mp3"), expected);
}

TEST_F(Id3Test, ATagLongerThanTheFileGivesNothing) {
    // A tag header claiming the largest size, a frame, and the end of the file.
    std::vector<char> file = Id3Header(0x0FFFFFFF);
    const char title[] = {'T', 'I', 'T', '2', 0, 0, 0, 6, 0, 0, 3, 't', 'i', 't', 'l', 'e'};
    file.insert(file.end(), std::begin(title), std::end(title));
    WriteAll(dir / "short.mp3", file);
    EXPECT_TRUE(Load(dir / "short.mp3").empty());
    // Only a tag, correctly sized.
    std::vector<char> only = Id3Header(sizeof title);
    only.insert(only.end(), std::begin(title), std::end(title));
    WriteAll(dir / "only.mp3", only);
    EXPECT_TRUE(Load(dir / "only.mp3").empty());
}

}  // namespace
