// The generator's building blocks, where a fault would not show plainly in
// the finished files: tiling noise, resampling, quantising, text fitting, the
// synthesiser's filter, envelope and limiter, and the star's geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "image.h"
#include "media_set.h"
#include "star_mesh.h"
#include "synth.h"
#include "texgen.h"
#include "text.h"

namespace {

TEST(Noise, PeriodicHelpersRepeatExactlyOverTheirPeriod)
{
    struct Case {
        const char* name;
        std::function<float(float, float)> f;
        float px, py;
    };
    const Case cases[] = {
        {"value 4x4", [](float x, float y) { return mk::valueNoise(x, y, 4, 4, 7); }, 4, 4},
        {"value 12x3", [](float x, float y) { return mk::valueNoise(x, y, 12, 3, 8); }, 12, 3},
        {"fbm 5 octaves", [](float x, float y) { return mk::fbm(x, y, 5, 3, 5, 9); }, 3, 5},
        {"ridged", [](float x, float y) { return mk::ridged(x, y, 4, 6, 2, 10); }, 6, 2},
        {"cellular", [](float x, float y) { return mk::cellular(x, y, 8, 8, 11); }, 8, 8},
    };
    for (const Case& c : cases) {
        for (float y = 0.13f; y < c.py; y += 0.71f) {
            for (float x = 0.07f; x < c.px; x += 0.53f) {
                const float v = c.f(x, y);
                ASSERT_GE(v, 0.0f) << c.name;
                ASSERT_LE(v, 1.0f) << c.name;
                EXPECT_NEAR(c.f(x + c.px, y), v, 1e-4f) << c.name << " across x at " << x << "," << y;
                EXPECT_NEAR(c.f(x, y + c.py), v, 1e-4f) << c.name << " across y at " << x << "," << y;
            }
        }
    }
}

TEST(Noise, DependsOnTheSeedAndNothingElse)
{
    EXPECT_EQ(mk::fbm(1.3f, 2.7f, 4, 0, 0, 42), mk::fbm(1.3f, 2.7f, 4, 0, 0, 42));
    EXPECT_NE(mk::fbm(1.3f, 2.7f, 4, 0, 0, 42), mk::fbm(1.3f, 2.7f, 4, 0, 0, 43));
    mk::Rng a(5), b(5), c(6);
    int differ = 0;
    for (int i = 0; i < 100; ++i) {
        const float x = a.uniform();
        EXPECT_EQ(x, b.uniform());
        differ += x != c.uniform();
        ASSERT_GE(x, 0.0f);
        ASSERT_LT(x, 1.0f);
    }
    EXPECT_GT(differ, 95);
}

TEST(ImageOps, ResampleKeepsFlatColourAndAveragesDetail)
{
    // Down by 4 on x and 2 on y: a 1-px checker averages to mid grey.
    mk::Image checker(64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) checker.at(x, y) = ((x + y) & 1) ? mk::rgb(1, 1, 1) : mk::rgb(0, 0, 0);
    const mk::Image small = mk::resample(checker, 16, 16);
    for (const mk::Rgba& c : small.pixels()) EXPECT_NEAR(c.r, 0.5f, 1e-4f);
    // Up, non-uniformly (the 1024 x 768 pictures go to 1024 x 1024).
    const mk::Image flat(48, 36, mk::rgb(0.2f, 0.4f, 0.6f, 1));
    const mk::Image big = mk::resample(flat, 64, 64);
    for (const mk::Rgba& c : big.pixels()) {
        EXPECT_NEAR(c.g, 0.4f, 1e-5f);
        EXPECT_NEAR(c.a, 1.0f, 1e-5f);
    }
    // Clear texels do not darken their neighbours' colour.
    mk::Image half(2, 1, mk::rgb(0, 0, 0, 0));
    half.at(0, 0) = mk::rgb(1, 1, 1, 1);
    const mk::Rgba avg = mk::resample(half, 1, 1).at(0, 0);
    EXPECT_NEAR(avg.r, 1.0f, 1e-5f);
    EXPECT_NEAR(avg.a, 0.5f, 1e-5f);
}

TEST(ImageOps, QuantisingKeepsPlainColoursExactAndGradientsTrue)
{
    const mk::Image white(8, 8, mk::rgb(1, 1, 1)), black(8, 8, mk::rgb(0, 0, 0));
    for (uint8_t v : mk::toBytes(white, 3)) EXPECT_EQ(v, 255);
    for (uint8_t v : mk::toBytes(black, 4)) EXPECT_TRUE(v == 0 || v == 255);
    // A level between two codes dithers to the right mean.
    const mk::Image mid(16, 16, mk::rgb(100.25f / 255, 0, 0));
    const auto bytes = mk::toBytes(mid, 3);
    double sum = 0;
    for (size_t i = 0; i < bytes.size(); i += 3) sum += bytes[i];
    EXPECT_NEAR(sum / 256, 100.25, 0.1);
}

TEST(Text, FittingMakesAnyLineFitItsWidth)
{
    mk::Fonts fonts;
    for (const char* line : {"hello", "I can no longer tell the sky from the lake", "psychologically, we are tides"}) {
        for (float width : {200.0f, 500.0f, 900.0f}) {
            mk::TextStyle st{mk::Face::BookItalic, 200};
            const float natural = mk::measure(fonts, st, line).width;
            st.size = mk::fitSize(fonts, st, line, width);
            const float fitted = mk::measure(fonts, st, line).width;
            EXPECT_LE(fitted, width) << line << " in " << width;
            // Only ever shrinks, and then just enough.
            if (natural > width) {
                EXPECT_GT(fitted, width * 0.95f) << line << " shrunk too far";
            } else {
                EXPECT_EQ(st.size, 200.0f) << line << " grew";
            }
        }
    }
    // Glyphs squeezed on x take proportionally less width.
    mk::TextStyle wide{mk::Face::Gothic, 40}, narrow{mk::Face::Gothic, 40, 0.5f, 1.0f};
    EXPECT_NEAR(mk::measure(fonts, narrow, "VANTOREL").width, 0.5f * mk::measure(fonts, wide, "VANTOREL").width, 2.0f);
}

TEST(Text, DrawsInsideTheMaskAtTheBaseline)
{
    mk::Fonts fonts;
    mk::Plane mask(200, 60);
    mk::drawText(fonts, mask, mk::TextStyle{mk::Face::Sans, 32}, "Ag", 10, 40);
    int above = 0, below = 0, left = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            if (mask.at(x, y) < 0.5f) continue;
            above += y < 40;
            below += y >= 41;  // the descender of g
            left += x < 9;
        }
    EXPECT_GT(above, 100);
    EXPECT_GT(below, 5);
    EXPECT_EQ(left, 0);
}

TEST(Synth, SvfLowPassPassesTheBassAndStopsTheTreble)
{
    auto gainDb = [](float hz, float cutoff) {
        mk::dsp::Svf f;
        double in = 0, out = 0;
        for (int i = 0; i < 44100; ++i) {
            const float x = std::sin(2 * 3.14159265f * hz * i / 44100.0f);
            f.run(x, cutoff, 1.41f);
            if (i > 4410) {
                in += x * x;
                out += f.lp * f.lp;
            }
        }
        return 10 * std::log10(out / in);
    };
    EXPECT_NEAR(gainDb(50, 1000), 0.0, 0.5);
    EXPECT_NEAR(gainDb(1000, 1000), -3.0, 1.0);
    EXPECT_LT(gainDb(8000, 1000), -30.0);
}

TEST(Synth, EnvelopeRisesHoldsAndReleases)
{
    using mk::dsp::adsr;
    EXPECT_EQ(adsr(-0.1f, 1, 0.1f, 0.2f, 0.5f, 0.3f), 0.0f);
    EXPECT_NEAR(adsr(0.05f, 1, 0.1f, 0.2f, 0.5f, 0.3f), 0.5f, 1e-5f);
    EXPECT_NEAR(adsr(0.1f, 1, 0.1f, 0.2f, 0.5f, 0.3f), 1.0f, 1e-5f);
    EXPECT_NEAR(adsr(0.99f, 1, 0.1f, 0.2f, 0.5f, 0.3f), 0.5f, 0.01f);
    // After the note's end it falls from where it was, with no jump.
    EXPECT_NEAR(adsr(1.0001f, 1, 0.1f, 0.2f, 0.5f, 0.3f), adsr(1.0f, 1, 0.1f, 0.2f, 0.5f, 0.3f), 1e-3f);
    EXPECT_LT(adsr(2.5f, 1, 0.1f, 0.2f, 0.5f, 0.3f), 0.01f);
}

TEST(Synth, MixOutputStaysUnderItsCeilingHoweverHotTheInput)
{
    for (float level : {0.2f, 3.0f, 40.0f}) {
        mk::dsp::Mix mix(2.0);
        for (int i = 0; i < 4; ++i) mk::dsp::kick(mix, 0.1 + i * 0.45, level);
        mk::dsp::crash(mix, 0.5, level, 1.0f, 3);
        const std::vector<float> out = mix.finish(0.3, 0.4);
        ASSERT_EQ(out.size(), 2u * 88200);
        float peak = 0;
        for (float s : out) peak = std::max(peak, std::fabs(s));
        EXPECT_LE(20 * std::log10(peak), -2.5f + 1e-3f) << "level " << level;
        EXPECT_GT(20 * std::log10(peak), -6.0f) << "level " << level;
    }
}

TEST(Synth, SawtoothIsBandLimitedAndCentred)
{
    // A 3 kHz polyBLEP saw: mean ~0, no sample beyond the naive range by much.
    double sum = 0, phase = 0;
    const double dt = 3000.0 / 44100.0;
    for (int i = 0; i < 44100; ++i) {
        phase += dt;
        if (phase >= 1) phase -= 1;
        const float s = mk::dsp::sawBlep(phase, dt);
        ASSERT_LE(std::fabs(s), 1.2f);
        sum += s;
    }
    EXPECT_NEAR(sum / 44100, 0.0, 0.01);
}

TEST(StarGeometry, AnyPointCountGivesAClosedOutwardSolid)
{
    for (int points : {4, 5, 7}) {
        const mk::StarMesh m = mk::makeStar(points, 10, 4, 3);
        ASSERT_EQ(m.faces.size(), static_cast<size_t>(4 * points)) << points;
        std::map<std::string, int> edges;
        for (size_t f = 0; f < m.faces.size(); ++f) {
            const auto& a = m.positions[m.faces[f][0]];
            const auto& n = m.faceNormals[f];
            EXPECT_GT(a[0] * n[0] + a[1] * n[1] + a[2] * n[2], 0) << "face " << f << " of " << points;
            for (int k = 0; k < 3; ++k) {
                const auto& p = m.positions[m.faces[f][k]];
                const auto& q = m.positions[m.faces[f][(k + 1) % 3]];
                char buf[128];
                std::snprintf(buf, sizeof buf, "%.3f %.3f %.3f > %.3f %.3f %.3f", p[0], p[1], p[2], q[0], q[1], q[2]);
                ++edges[buf];
                std::snprintf(buf, sizeof buf, "%.3f %.3f %.3f > %.3f %.3f %.3f", q[0], q[1], q[2], p[0], p[1], p[2]);
                --edges[buf];
            }
        }
        for (const auto& [e, balance] : edges) EXPECT_EQ(balance, 0) << "unmatched edge " << e;
    }
}

TEST(MediaTable, EveryRecipePaintsAtItsFileSizeOrTheSizeItIsDrawn)
{
    // Recipes that paint at the drawn size rely on the resampler; the table
    // must still name power-of-two files.
    for (const mk::ImageSpec& s : mk::imageSet()) {
        EXPECT_EQ(s.width & (s.width - 1), 0) << s.path;
        EXPECT_EQ(s.height & (s.height - 1), 0) << s.path;
        EXPECT_TRUE(s.path.rfind("data/bitmaps/", 0) == 0) << s.path;
        const bool jpeg = s.path.size() > 4 && s.path.compare(s.path.size() - 4, 4, ".jpg") == 0;
        EXPECT_EQ(jpeg, s.format == mk::Format::Jpeg) << s.path << ": extension and format disagree";
    }
}

}  // namespace
