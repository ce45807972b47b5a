// The sound layer: the spectrum transform, MP3 loading, the play position in
// virtual and real time, and shutting down in any state.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/fmod/fmod.h"
#include "platform/fmod/host.h"
#include "platform/win32/host.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr int kBands = FSOUND_SPECTRUM_BANDS;

// Stereo frames of a sine (the same on both channels).
std::vector<int16_t> Sine(double hz, double amplitude, size_t frames, int rate = kRate) {
    std::vector<int16_t> out(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(2 * M_PI * hz * i / rate)));
        out[2 * i] = out[2 * i + 1] = v;
    }
    return out;
}

int Peak(const float* bands) { return static_cast<int>(std::max_element(bands, bands + kBands) - bands); }

// The band a frequency falls in with a 1024-point transform.
int BandOf(double hz) { return static_cast<int>(std::lround(hz * 2 * kBands / kRate)); }

TEST(Spectrum, SinesPeakInTheirBandWithUnitScale) {
    struct Case {
        double hz;
        double amplitude;
        double expectedValue;  // < 0: only the peak position is checked
    };
    const double centred40 = 40.0 * kRate / (2 * kBands);
    const Case cases[] = {
        {150.0, 1.0, -1}, {1000.0, 0.5, -1}, {5000.0, 1.0, -1}, {440.0, 0.8, -1},
        {centred40, 1.0, 1.0}, {centred40, 0.25, 0.25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        const std::vector<int16_t> pcm = Sine(c.hz, c.amplitude, 4096);
        float bands[kBands];
        vt::fmod::ComputeSpectrum(pcm.data(), 4096, 4096, bands);
        const int expected = BandOf(c.hz);
        EXPECT_EQ(Peak(bands), expected);
        EXPECT_GT(bands[expected], 0.8 * c.amplitude) << "at most the window's scalloping loss";
        if (c.expectedValue >= 0) {
            EXPECT_NEAR(bands[expected], c.expectedValue, 0.01);
        }
        EXPECT_LT(bands[expected + 12], 0.01) << "energy stays near its band";
        if (expected > 12) {
            EXPECT_LT(bands[expected - 12], 0.01);
        }
    }
}

TEST(Spectrum, SilenceIsFlatZeroAndLoudSignalsStayInRange) {
    float bands[kBands];
    std::vector<int16_t> silence(2 * 2048, 0);
    vt::fmod::ComputeSpectrum(silence.data(), 2048, 2048, bands);
    EXPECT_TRUE(std::all_of(bands, bands + kBands, [](float v) { return v == 0.0f; }));

    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> full(-32768, 32767);
    std::vector<int16_t> noise(2 * 2048);
    for (auto& s : noise) s = static_cast<int16_t>(full(rng));
    // A full-scale square wave has a fundamental of 4/pi: it must clip at 1.
    std::vector<int16_t> square(2 * 2048);
    for (size_t i = 0; i < 2048; ++i) square[2 * i] = square[2 * i + 1] = (i / 64) % 2 ? -32768 : 32767;
    std::vector<int16_t> dc(2 * 2048, 32767);
    for (const auto* signal : {&noise, &square, &dc}) {
        vt::fmod::ComputeSpectrum(signal->data(), 2048, 2048, bands);
        EXPECT_TRUE(std::all_of(bands, bands + kBands, [](float v) { return v >= 0.0f && v <= 1.0f; }));
        EXPECT_GT(*std::max_element(bands, bands + kBands), 0.02f);
    }
    vt::fmod::ComputeSpectrum(square.data(), 2048, 2048, bands);
    EXPECT_EQ(bands[8], 1.0f) << "the 345 Hz fundamental is clamped";
}

TEST(Spectrum, UsesTheFramesBeforeThePosition) {
    // One second of tone, then one second of silence.
    std::vector<int16_t> pcm = Sine(1000.0, 1.0, 2 * kRate);
    std::fill(pcm.begin() + 2 * kRate, pcm.end(), int16_t{0});
    float bands[kBands];
    struct Case {
        size_t end;
        bool tone;
    };
    const Case cases[] = {
        {0, false},             // nothing has played yet
        {300, true},            // a short start, the rest treated as silence
        {kRate, true},          // the last 1024 frames of the tone
        {kRate + 1024, false},  // the window has moved fully into the silence
        {5 * kRate, false},     // long after the end of the data
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.end);
        vt::fmod::ComputeSpectrum(pcm.data(), 2 * kRate, c.end, bands);
        const float top = *std::max_element(bands, bands + kBands);
        if (c.tone) {
            EXPECT_EQ(Peak(bands), BandOf(1000.0));
        } else {
            EXPECT_EQ(top, 0.0f);
        }
    }
}

// Writes a 16-bit PCM WAV file.
void WriteWav(const fs::path& path, const std::vector<int16_t>& samples, int rate, int channels) {
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    f.write("RIFF", 4);
    u32(36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(static_cast<uint16_t>(channels));
    u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate * channels * 2));
    u16(static_cast<uint16_t>(channels * 2));
    u16(16);
    f.write("data", 4);
    u32(bytes);
    f.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

class SoundTest : public ::testing::Test {
protected:
    void TearDown() override {
        FSOUND_Close();
        vt::fmod::SetVirtualTime(false);
        vt::win32::SetManualClock(false);
    }

    // Encodes samples to MP3 with ffmpeg; false when the tool is missing.
    // `extra` goes before the output name (e.g. "-write_xing 0": no Info tag).
    bool MakeMp3(const std::string& name, const std::vector<int16_t>& samples, int rate, int channels,
                 const std::string& extra = "") {
        if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) return false;
        const fs::path wav = dir / (name + ".wav");
        WriteWav(wav, samples, rate, channels);
        const std::string cmd = "ffmpeg -nostdin -v error -y -i '" + wav.string() +
                                "' -c:a libmp3lame -b:a 192k " + extra + " '" + (dir / name).string() + "'";
        return std::system(cmd.c_str()) == 0;
    }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    vt::test::TempDir temp{"fmod"};
    const fs::path dir = temp.Path();
};

TEST_F(SoundTest, LoadDecodesTheWholeFileGapless) {
    if (!MakeMp3("stereo.mp3", Sine(1000.0, 0.5, kRate), kRate, 2)) GTEST_SKIP() << "no ffmpeg";
    std::vector<int16_t> mono(11025);
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = static_cast<int16_t>(std::lround(16000 * std::sin(2 * M_PI * 440.0 * i / 22050)));
    ASSERT_TRUE(MakeMp3("mono.mp3", mono, 22050, 1));

    ASSERT_NE(FSOUND_Sample_Load(FSOUND_FREE, Path("stereo.mp3").c_str(), FSOUND_LOOP_OFF, 0), nullptr);
    EXPECT_EQ(vt::fmod::DecodedRate(), kRate);
    EXPECT_EQ(vt::fmod::DecodedSamples().size(), size_t(2 * kRate)) << "exactly one second of frames";
    float bands[kBands];
    const auto& pcm = vt::fmod::DecodedSamples();
    vt::fmod::ComputeSpectrum(pcm.data(), pcm.size() / 2, kRate / 2, bands);
    EXPECT_EQ(Peak(bands), BandOf(1000.0));

    ASSERT_NE(FSOUND_Sample_Load(FSOUND_FREE, Path("mono.mp3").c_str(), FSOUND_LOOP_OFF, 0), nullptr);
    EXPECT_EQ(vt::fmod::DecodedRate(), 22050);
    const auto& twice = vt::fmod::DecodedSamples();
    ASSERT_EQ(twice.size(), size_t(2 * 11025)) << "mono becomes stereo";
    for (size_t i = 0; i < twice.size(); i += 2) ASSERT_EQ(twice[i], twice[i + 1]) << "frame " << i / 2;
}

TEST_F(SoundTest, UnloadableFilesGiveNullQuietly) {
    std::ofstream(dir / "notes.txt") << "this is not an MP3 file\n";
    std::ofstream(dir / "empty.mp3");
    const std::string cases[] = {Path("missing.mp3"), Path("notes.txt"), Path("empty.mp3"), dir.string()};
    testing::internal::CaptureStderr();
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, path.c_str(), FSOUND_LOOP_OFF, 0), nullptr);
    }
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, nullptr, FSOUND_LOOP_OFF, 0), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(vt::fmod::DecodedSamples().empty());
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, nullptr), -1);
}

std::vector<char> ReadBytes(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(f), {});
}

void WriteBytes(const fs::path& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The encoder's Info tag states the music's length: a file cut anywhere, even
// inside its last frame, or with a frame header overwritten, decodes to
// another length and is refused as if it were missing (no music), never
// played shortened or with a gap.
TEST_F(SoundTest, CutOrDamagedFilesWithAnInfoTagAreRefused) {
    if (!MakeMp3("whole.mp3", Sine(700.0, 0.5, kRate), kRate, 2)) GTEST_SKIP() << "no ffmpeg";
    const std::vector<char> whole = ReadBytes(dir / "whole.mp3");
    ASSERT_GT(whole.size(), 4000u);

    // The first frame header follows the ID3v2 tag ffmpeg writes; at a constant
    // bit rate every header repeats its bytes but for the padding bit, which
    // tells a real header after the middle from look-alike audio bytes.
    auto byte = [&](size_t i) { return static_cast<uint8_t>(whole[i]); };
    size_t first = 0;
    if (whole[0] == 'I' && whole[1] == 'D' && whole[2] == '3')
        first = 10 + (size_t(byte(6)) << 21 | size_t(byte(7)) << 14 | size_t(byte(8)) << 7 | byte(9));
    ASSERT_EQ(byte(first), 0xFF);
    size_t sync = whole.size() / 2;
    while (sync + 4 < whole.size() &&
           !(byte(sync) == 0xFF && byte(sync + 1) == byte(first + 1) && (byte(sync + 2) | 2) == (byte(first + 2) | 2)))
        ++sync;
    ASSERT_LT(sync + 4, whole.size()) << "no frame header after the middle";
    std::vector<char> header = whole;
    std::fill(header.begin() + static_cast<long>(sync), header.begin() + static_cast<long>(sync) + 4, 'Z');

    const struct {
        const char* name;
        std::vector<char> bytes;
    } cases[] = {
        {"half.mp3", std::vector<char>(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2))},
        {"last_frame_cut.mp3", std::vector<char>(whole.begin(), whole.end() - 100)},
        {"header_overwritten.mp3", header},
    };
    testing::internal::CaptureStderr();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir / c.name, c.bytes);
        EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, Path(c.name).c_str(), FSOUND_LOOP_OFF, 0), nullptr);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(FSOUND_Sample_Load(FSOUND_FREE, Path("whole.mp3").c_str(), FSOUND_LOOP_OFF, 0), nullptr);
    EXPECT_EQ(vt::fmod::DecodedSamples().size(), size_t(2 * kRate));
}

// Without the tag nothing states the length: whole frames are all there is
// to go by, so a file cut between frames still plays what it holds.
TEST_F(SoundTest, WithoutAnInfoTagWholeFramesStillPlay) {
    if (!MakeMp3("untagged.mp3", Sine(700.0, 0.5, kRate), kRate, 2, "-write_xing 0")) GTEST_SKIP() << "no ffmpeg";
    ASSERT_NE(FSOUND_Sample_Load(FSOUND_FREE, Path("untagged.mp3").c_str(), FSOUND_LOOP_OFF, 0), nullptr);
    const size_t full = vt::fmod::DecodedSamples().size();
    EXPECT_GE(full, size_t(2 * kRate)) << "without the tag the encoder's delay and padding stay in";

    const std::vector<char> whole = ReadBytes(dir / "untagged.mp3");
    WriteBytes(dir / "untagged_half.mp3", std::vector<char>(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)));
    ASSERT_NE(FSOUND_Sample_Load(FSOUND_FREE, Path("untagged_half.mp3").c_str(), FSOUND_LOOP_OFF, 0), nullptr);
    EXPECT_GT(vt::fmod::DecodedSamples().size(), full / 3);
    EXPECT_LT(vt::fmod::DecodedSamples().size(), full * 2 / 3);
}

TEST_F(SoundTest, VirtualTimeSpectrumFollowsTheClock) {
    // One second of silence, then one second of a tone centred on band 23.
    const double hz = 23.0 * kRate / (2 * kBands);
    std::vector<int16_t> pcm = Sine(hz, 0.5, 2 * kRate);
    std::fill(pcm.begin(), pcm.begin() + 2 * kRate, int16_t{0});
    if (!MakeMp3("late.mp3", pcm, kRate, 2)) GTEST_SKIP() << "no ffmpeg";

    vt::fmod::SetVirtualTime(true);
    vt::win32::SetManualClock(true);
    vt::win32::SetClockSeconds(3.0);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FSOUND_SAMPLE* music = FSOUND_Sample_Load(FSOUND_FREE, Path("late.mp3").c_str(), FSOUND_LOOP_OFF, 0);
    ASSERT_NE(music, nullptr);
    EXPECT_LT(vt::fmod::PlayStartClock(), 0.0) << "nothing started yet";
    ASSERT_TRUE(FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1));
    const float* bands = FSOUND_DSP_GetSpectrum();
    ASSERT_NE(bands, nullptr);
    EXPECT_EQ(*std::max_element(bands, bands + kBands), 0.0f) << "before playback";

    vt::win32::SetClockSeconds(5.0);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, music), 0);
    EXPECT_DOUBLE_EQ(vt::fmod::PlayStartClock(), 5.0);

    struct Case {
        double clock;
        bool tone;
    };
    const Case cases[] = {{4.0, false}, {5.5, false}, {6.5, true}, {6.9, true}, {5.5, false}, {7.5, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clock);
        vt::win32::SetClockSeconds(c.clock);
        bands = FSOUND_DSP_GetSpectrum();
        const float top = *std::max_element(bands, bands + kBands);
        if (c.tone) {
            EXPECT_EQ(Peak(bands), 23);
            EXPECT_NEAR(bands[23], 0.5, 0.05);
        } else {
            EXPECT_LT(top, 0.01f);
        }
    }

    vt::win32::SetClockSeconds(6.5);
    ASSERT_TRUE(FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 0));
    bands = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(*std::max_element(bands, bands + kBands), 0.0f) << "an inactive analyser reads zero";
}

TEST_F(SoundTest, RealPlaybackAdvancesWithTheDevice) {
    if (!MakeMp3("tone.mp3", Sine(1000.0, 0.5, kRate / 2), kRate, 2)) GTEST_SKIP() << "no ffmpeg";
    setenv("SDL_AUDIODRIVER", "dummy", 1);  // SDL's silent device, which still runs in real time
    if (!FSOUND_Init(44100, 32, 0)) GTEST_SKIP() << "SDL has no dummy audio driver";
    FSOUND_SAMPLE* music = FSOUND_Sample_Load(FSOUND_FREE, Path("tone.mp3").c_str(), FSOUND_LOOP_OFF, 0);
    ASSERT_NE(music, nullptr);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    const double before = vt::win32::ClockSeconds();
    ASSERT_EQ(FSOUND_PlaySound(FSOUND_FREE, music), 0);
    EXPECT_GE(vt::fmod::PlayStartClock(), before);

    usleep(200000);
    const float* bands = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(Peak(bands), BandOf(1000.0)) << "the device has played part of the tone";
    usleep(800000);
    bands = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(*std::max_element(bands, bands + kBands), 0.0f) << "silence after the end";
}

TEST_F(SoundTest, WithoutADeviceEverythingRunsSilently) {
    if (!MakeMp3("tone.mp3", Sine(1000.0, 0.5, 4410), kRate, 2)) GTEST_SKIP() << "no ffmpeg";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
    FSOUND_SAMPLE* music = FSOUND_Sample_Load(FSOUND_FREE, Path("tone.mp3").c_str(), FSOUND_LOOP_OFF, 0);
    EXPECT_NE(music, nullptr) << "loading does not need a device";
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, music), -1);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    const float* bands = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(*std::max_element(bands, bands + kBands), 0.0f);
    FSOUND_Close();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

TEST_F(SoundTest, CloseIsSafeInAnyState) {
    FSOUND_Close();
    FSOUND_Close();
    const float* bands = FSOUND_DSP_GetSpectrum();
    ASSERT_NE(bands, nullptr);
    EXPECT_EQ(*std::max_element(bands, bands + kBands), 0.0f);

    vt::fmod::SetVirtualTime(true);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    if (MakeMp3("short.mp3", Sine(500.0, 0.5, 4410), kRate, 2)) {
        FSOUND_SAMPLE* music = FSOUND_Sample_Load(FSOUND_FREE, Path("short.mp3").c_str(), FSOUND_LOOP_OFF, 0);
        ASSERT_NE(music, nullptr);
        EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, music), 0);
        FSOUND_Close();
        EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, music), -1) << "a closed library plays nothing";
        EXPECT_TRUE(vt::fmod::DecodedSamples().empty());
        EXPECT_LT(vt::fmod::PlayStartClock(), 0.0);
    }
    FSOUND_Close();
}

}  // namespace
