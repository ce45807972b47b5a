// The music: decodes to the show's length, stays clear of full scale, ends
// in silence by the show's end, follows the scenes' energy, and gives scene
// 5's camera something to shake with in band 3 of the show's spectrum.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "music.h"
#include "platform/fmod/host.h"
#include "base/timeline.h"
#include "tests/media/expected_media.h"

namespace vt::media_test {
namespace {

constexpr double kShowOffset = 5.0;  // the music starts with scene 1, at show time 5 s

struct Decoded {
    long rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved
    size_t frames() const { return channels ? samples.size() / channels : 0; }
    double seconds() const { return rate ? static_cast<double>(frames()) / rate : 0; }
};

// Decoded once for the whole suite (a few seconds of work).
const Decoded& Music()
{
    static const Decoded d = [] {
        Decoded out;
        mpg123_handle* mh = mpg123_new(nullptr, nullptr);
        if (!mh) return out;
        mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_GAPLESS, 0.0);
        if (mpg123_open(mh, (MediaRoot() + "/" + kMusic).c_str()) == MPG123_OK) {
            int enc = 0;
            mpg123_getformat(mh, &out.rate, &out.channels, &enc);
            std::vector<unsigned char> buf(1 << 16);
            size_t got = 0;
            int rc;
            do {
                rc = mpg123_read(mh, buf.data(), buf.size(), &got);
                const float* f = reinterpret_cast<const float*>(buf.data());
                out.samples.insert(out.samples.end(), f, f + got / sizeof(float));
            } while (rc == MPG123_OK);
            mpg123_close(mh);
        }
        mpg123_delete(mh);
        return out;
    }();
    return d;
}

// RMS in dBFS of both channels between two music times.
double RmsDb(const Decoded& d, double t0, double t1)
{
    const size_t a = static_cast<size_t>(t0 * d.rate), b = std::min(d.frames(), static_cast<size_t>(t1 * d.rate));
    double sum = 0;
    for (size_t i = a * d.channels; i < b * d.channels; ++i) sum += static_cast<double>(d.samples[i]) * d.samples[i];
    const double n = static_cast<double>((b - a) * d.channels);
    return n > 0 ? 10 * std::log10(sum / n + 1e-30) : -300;
}

TEST(Music, SectionsChangeOnTheScenesWindowEdges)
{
    // Every section boundary is a window edge less the music's offset, or
    // one of the moments inside scenes 1 and 5 the music follows; every
    // window edge after the music starts is a boundary.
    const double edges[] = {SCENE1_START_S, SCENE2_START_S, SCENE3_START_S, SCENE4_START_S, SCENE5_START_S,
                            SCENE6_START_S, SCENE7_START_S, SCENE8_START_S, SCENE9_START_S, SCENE10_START_S,
                            SHOW_END_S};
    // Show times: scene 1's fade-in, first splash, white flash and title
    // card; scene 5's shake.
    const double inside[] = {15.7, 47.7, 68.75, 70.0, 175.7};
    const auto sections = mk::musicSections();
    ASSERT_FALSE(sections.empty());
    EXPECT_EQ(sections.front().first, 0.0);
    std::vector<double> bounds;
    for (size_t i = 0; i < sections.size(); i++) {
        EXPECT_LT(sections[i].first, sections[i].second) << "section " << i;
        if (i > 0) {
            EXPECT_EQ(sections[i].first, sections[i - 1].second) << "section " << i;
        }
        bounds.push_back(sections[i].second);
    }
    for (double b : bounds) {
        const double show = b + MUSIC_START_S;
        bool found = false;
        for (double e : edges)
            found = found || std::fabs(b - (e - MUSIC_START_S)) < 1e-9;
        for (double t : inside)
            found = found || std::fabs(show - t) < 1e-9;
        EXPECT_TRUE(found) << "section boundary at music time " << b;
    }
    for (size_t i = 1; i < sizeof(edges) / sizeof(edges[0]); i++) {
        const double m = edges[i] - MUSIC_START_S;
        EXPECT_TRUE(std::any_of(bounds.begin(), bounds.end(), [m](double b) { return std::fabs(b - m) < 1e-9; }))
            << "window edge " << edges[i];
    }
    EXPECT_EQ(MUSIC_START_S, (double)SCENE1_START);
}

TEST(Music, DecodesToTheShowsLength)
{
    const Decoded& d = Music();
    ASSERT_FALSE(d.samples.empty()) << "intro.mp3 did not decode";
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.channels, 2);
    EXPECT_NEAR(d.seconds(), 297.0, 2.0);
}

TEST(Music, PeaksStayBelowMinusOneDbfs)
{
    const Decoded& d = Music();
    ASSERT_FALSE(d.samples.empty());
    float peak = 0;
    for (float s : d.samples) peak = std::max(peak, std::fabs(s));
    EXPECT_LE(20 * std::log10(peak), -1.0) << "peak " << peak;
    EXPECT_GT(20 * std::log10(peak), -6.0) << "the mix is needlessly quiet";
}

TEST(Music, IsSilentByTheShowsEnd)
{
    const Decoded& d = Music();
    ASSERT_FALSE(d.samples.empty());
    // The show stops at 297 s of show time, 292 s into the music; the last
    // picture fades to black from 295.0 s show time.
    EXPECT_LT(RmsDb(d, 297.0 - kShowOffset, d.seconds()), -80.0);
    EXPECT_LT(RmsDb(d, 296.0 - kShowOffset, 297.0 - kShowOffset), RmsDb(d, 285.0 - kShowOffset, 289.0 - kShowOffset) - 24);
    EXPECT_GT(RmsDb(d, 0.0, 1.0), -50.0) << "the music starts at once with the first scene";
}

TEST(Music, EnergyFollowsTheScenes)
{
    const Decoded& d = Music();
    ASSERT_FALSE(d.samples.empty());
    struct Pair {
        const char* what;
        double quiet0, quiet1, loud0, loud1;  // show time
        double minDb;
    };
    const Pair pairs[] = {
        {"the black opening under the title card", 5.5, 15.0, 72.0, 88.0, 6},
        {"the text lattice under the tunnel", 113.0, 125.0, 92.0, 106.0, 4},
        {"the forest under the tunnel race", 200.0, 215.0, 160.0, 175.0, 3},
        {"the finale under the greetings", 285.0, 293.0, 262.0, 276.0, 4},
    };
    for (const Pair& p : pairs) {
        const double q = RmsDb(d, p.quiet0 - kShowOffset, p.quiet1 - kShowOffset);
        const double l = RmsDb(d, p.loud0 - kShowOffset, p.loud1 - kShowOffset);
        EXPECT_GT(l - q, p.minDb) << p.what << ": " << q << " dB vs " << l << " dB";
    }
}

// Band 3 of the show's 512-band spectrum (the analyser's own transform),
// sampled every 25 ms between two show times.
std::vector<float> Band3(const Decoded& d, double show0, double show1)
{
    static std::vector<int16_t> pcm;
    if (pcm.empty())
        for (float s : d.samples) pcm.push_back(static_cast<int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767)));
    std::vector<float> out;
    float bands[512];
    for (double t = show0; t < show1; t += 0.025) {
        const size_t end = static_cast<size_t>((t - kShowOffset) * d.rate);
        vt::fmod::ComputeSpectrum(pcm.data(), d.frames(), end, bands);
        out.push_back(bands[3]);
    }
    return out;
}

double Mean(const std::vector<float>& v)
{
    double s = 0;
    for (float x : v) s += x;
    return v.empty() ? 0 : s / v.size();
}

TEST(Music, Band3CarriesTheBeatWhileScene5Shakes)
{
    const Decoded& d = Music();
    ASSERT_FALSE(d.samples.empty());
    // Scene 5 reads band 3 from 175.7 s to 197.0 s of show time.
    const std::vector<float> shake = Band3(d, 175.7, 195.5);
    const double mean = Mean(shake);
    EXPECT_GT(mean, 0.12) << "band 3 is too weak to move the camera";
    // It pulses: the beat moves the camera instead of holding it off-centre.
    double var = 0;
    for (float x : shake) var += (x - mean) * (x - mean);
    EXPECT_GT(std::sqrt(var / shake.size()), 0.25 * mean);
    // And it is the section built for it: stronger than the rest of the show.
    std::vector<float> rest = Band3(d, 5.0, 154.2);
    const std::vector<float> late = Band3(d, 197.0, 297.0);
    rest.insert(rest.end(), late.begin(), late.end());
    EXPECT_GT(mean, 1.5 * Mean(rest)) << "band 3 during the shake " << mean << ", elsewhere " << Mean(rest);
    RecordProperty("band3_shake_mean", std::to_string(mean));
    RecordProperty("band3_elsewhere_mean", std::to_string(Mean(rest)));
}

}  // namespace
}  // namespace vt::media_test
