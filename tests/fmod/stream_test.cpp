// The music decoded as it plays: any order of reads gives the frames one
// whole decode gives, and the spectrum the show reads is the transform of
// those frames.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/fmod/fmod.h"
#include "platform/fmod/host.h"
#include "platform/fmod/internal.h"
#include "platform/win32/host.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;

// The file decoded in one go straight through libmpg123 with the loader's
// settings: gapless, stereo, 16-bit.
std::vector<int16_t> DecodeDirectly(const std::string& path) {
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_STEREO | MPG123_SKIP_ID3V2, 0);
    mpg123_format_none(h);
    mpg123_format(h, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    std::vector<int16_t> out;
    if (mpg123_open(h, path.c_str()) == MPG123_OK) {
        std::vector<unsigned char> chunk(8192);
        for (;;) {
            size_t done = 0;
            const int r = mpg123_read(h, chunk.data(), chunk.size(), &done);
            const auto* p = reinterpret_cast<const int16_t*>(chunk.data());
            out.insert(out.end(), p, p + done / 2);
            if (r != MPG123_OK && r != MPG123_NEW_FORMAT) break;
        }
    }
    mpg123_close(h);
    mpg123_delete(h);
    return out;
}

class MusicStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A rising tone, louder on the left: no two stretches alike.
        path = (temp.Path() / "chirp.mp3").string();
        const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i "
                                "'aevalsrc=0.6*sin(2*PI*(200+400*t)*t)|0.3*sin(2*PI*(900-200*t)*t):s=44100:d=2.5' "
                                "-c:a libmp3lame -b:a 192k '" + path + "'";
        if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0 || std::system(cmd.c_str()) != 0)
            GTEST_SKIP() << "no ffmpeg";
        ASSERT_TRUE(vt::fmod::detail::LoadMp3(path, &music));
        whole = DecodeDirectly(path);
        ASSERT_EQ(whole.size(), 2 * music.frames);
        ASSERT_GT(music.frames, size_t(2 * kRate));
    }
    void TearDown() override {
        FSOUND_Close();
        vt::fmod::SetVirtualTime(false);
        vt::win32::SetManualClock(false);
    }
    int16_t Expected(int64_t frame, int channel) const {
        return frame >= 0 && frame < int64_t(music.frames) ? whole[2 * size_t(frame) + size_t(channel)] : int16_t{0};
    }
    // Reads [first, first + count) and counts the values that differ from the whole decode.
    size_t Misses(vt::fmod::detail::Mp3Stream& stream, int64_t first, size_t count) const {
        std::vector<int16_t> got(2 * count, int16_t{123});
        stream.Read(first, count, got.data());
        size_t misses = 0;
        for (size_t i = 0; i < count; ++i)
            for (int c = 0; c < 2; ++c) misses += got[2 * i + c] != Expected(first + int64_t(i), c);
        return misses;
    }

    vt::test::TempDir temp{"stream"};
    std::string path;
    vt::fmod::detail::Music music;
    std::vector<int16_t> whole;
};

TEST_F(MusicStreamTest, ReadsInAnyOrderGiveTheFramesOfOneWholeDecode) {
    vt::fmod::detail::Mp3Stream stream(music);
    EXPECT_EQ(Misses(stream, 0, music.frames), 0u) << "everything at once";

    vt::fmod::detail::Mp3Stream chunks(music);
    std::mt19937 rng(7);
    int64_t pos = -700;  // starts before the music: silence first
    while (pos < int64_t(music.frames) + 2000) {
        const size_t n = 1 + rng() % 4000;
        ASSERT_EQ(Misses(chunks, pos, n), 0u) << "forward read at " << pos << " of " << n;
        // The spectrum reads a window just behind the sound device.
        ASSERT_EQ(Misses(chunks, pos + int64_t(n) - 1024, 1024), 0u) << "window behind " << pos + int64_t(n);
        pos += int64_t(n) + (rng() % 4 == 0 ? int64_t(rng() % 30000) : 0);  // sometimes a skip ahead
    }
    // Behind what is kept: decoded from the start again.
    EXPECT_EQ(Misses(chunks, 10, 5000), 0u);
    EXPECT_EQ(Misses(chunks, int64_t(music.frames) / 2, 3000), 0u);
    EXPECT_EQ(Misses(chunks, 1, 1), 0u);
    EXPECT_EQ(Misses(chunks, int64_t(music.frames) + 5, 100), 0u) << "past the end is silence";
}

TEST_F(MusicStreamTest, TheLoadedSampleReportsItsWholeDecode) {
    ASSERT_NE(FSOUND_Sample_Load(FSOUND_FREE, path.c_str(), FSOUND_LOOP_OFF, 0), nullptr);
    EXPECT_EQ(vt::fmod::DecodedFrames(), music.frames);
    EXPECT_EQ(vt::fmod::DecodedRate(), kRate);
    EXPECT_EQ(vt::fmod::DecodedSamples(), whole);
}

TEST_F(MusicStreamTest, TheSpectrumIsTheTransformOfTheFramesBeforeThePosition) {
    vt::fmod::SetVirtualTime(true);
    vt::win32::SetManualClock(true);
    vt::win32::SetClockSeconds(1.0);
    ASSERT_TRUE(FSOUND_Init(kRate, 32, 0));
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, path.c_str(), FSOUND_LOOP_OFF, 0);
    ASSERT_NE(sample, nullptr);
    ASSERT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), 0);
    ASSERT_TRUE(FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1));
    // Quarter seconds are whole frames at this rate; forward, then back.
    // Every other read comes after the per-frame advance the capture tool
    // makes, which must not change what is read.
    std::vector<int> quarters;
    for (int q = 0; q <= 11; ++q) quarters.push_back(q);
    quarters.insert(quarters.end(), {3, 9, 0, 5});
    float want[FSOUND_SPECTRUM_BANDS];
    int nonzero = 0;
    for (size_t i = 0; i < quarters.size(); ++i) {
        const int q = quarters[i];
        vt::win32::SetClockSeconds(1.0 + 0.25 * q);
        if (i % 2 == 0) vt::fmod::AdvanceVirtualPlayback();
        const float* got = FSOUND_DSP_GetSpectrum();
        vt::fmod::ComputeSpectrum(whole.data(), music.frames, size_t(q) * kRate / 4, want);
        for (int b = 0; b < FSOUND_SPECTRUM_BANDS; ++b) ASSERT_EQ(got[b], want[b]) << "at quarter " << q << " band " << b;
        nonzero += *std::max_element(want, want + FSOUND_SPECTRUM_BANDS) > 0.01f;
    }
    EXPECT_GE(nonzero, 8) << "the music is heard in the spectrum";
}

}  // namespace
