// The capture tool run as a program: its command line, the frames it
// writes, where the show ends, and loading failures.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/png_files.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct ProgramRun {
    int status = -1;
    std::string output;  // stdout and stderr
};

ProgramRun Capture(const std::string& args)
{
    const std::string command = std::string(VT_CAPTURE_EXE) + " " + args + " 2>&1";
    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

using Image = vt::test::PngImage;

bool ReadPng(const fs::path& path, Image& image)
{
    return vt::test::ReadPngFile(path.string(), 3, image);
}

class CaptureProgram : public ::testing::Test {
protected:
    void RequireMedia()
    {
        if (!fs::exists(fs::path(VT_MEDIA_DIR) / "data"))
            GTEST_FAIL() << "no media at " << VT_MEDIA_DIR << " (the build generates it)";
    }
    std::string Media() const { return std::string("--media ") + VT_MEDIA_DIR; }
    vt::test::TempDir outDir{"capture"};
    const fs::path out = outDir.Path();
};

TEST_F(CaptureProgram, BadCommandLinesExitWithTwoAndTheUsage)
{
    const char* bad[] = {"--bogus", "--fps", "--fps 0", "--fps -3", "--fps abc", "--at", "--at 1x",
                         "--at -1", "--until 0", "--media", "--at 297", "--at 1e309",
                         "--loading", "--loading ''", "--load-only --at 1", "--load-only --until 2",
                         "--load-only --stats s.csv", "--load-only --video v.mp4",
                         "--load-only --draw-costs d.csv", "--draw-costs"};
    for (const char* args : bad) {
        ProgramRun run = Capture(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.output.find("usage: vantorel-capture"), std::string::npos) << args;
    }
}

TEST_F(CaptureProgram, FramesBeforeTheFirstSceneAreBlackButThePixel)
{
    RequireMedia();
    ProgramRun run = Capture(Media() + " --fps 10 --at 1 --at 4.9 --out " + out.string());
    ASSERT_EQ(run.status, 0) << run.output;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names, (std::vector<std::string>{"frame_0001.000.png", "frame_0004.900.png"}));
    for (const std::string& name : names) {
        Image image;
        ASSERT_TRUE(ReadPng(out / name, image)) << name;
        ASSERT_EQ(image.width, 1024u);
        ASSERT_EQ(image.height, 768u);
        const uint8_t* corner = image.At(0, 0);
        EXPECT_GT(corner[0] + corner[1] + corner[2], 3 * 200) << name << ": the pixel quad";
        size_t lit = 0;
        for (unsigned y = 0; y < image.height; y++)
            for (unsigned x = 0; x < image.width; x++)
                if ((x | y) != 0 && (image.At(x, y)[0] | image.At(x, y)[1] | image.At(x, y)[2]) != 0)
                    lit++;
        EXPECT_EQ(lit, 0u) << name;
    }
}

// The loading frame is the loading image over the whole screen: no black
// border and not the pixel quad every show frame has in its corner. Asked
// for alone it renders no show frame; with --at it comes besides the frames.
TEST_F(CaptureProgram, LoadingFrameIsSavedBeforeAnyShowFrame)
{
    RequireMedia();
    ProgramRun alone = Capture(Media() + " --loading " + (out / "alone" / "loading.png").string() + " --out " +
                               (out / "alone").string());
    ASSERT_EQ(alone.status, 0) << alone.output;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out / "alone"))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"loading.png"});

    Image image;
    ASSERT_TRUE(ReadPng(out / "alone" / "loading.png", image));
    ASSERT_EQ(image.width, 1024u);
    ASSERT_EQ(image.height, 768u);
    EXPECT_LT(image.At(0, 0)[0] + image.At(0, 0)[1] + image.At(0, 0)[2], 3 * 200) << "a show frame's pixel quad";
    // Every row and column of the screen holds some picture.
    for (unsigned y = 0; y < image.height; y += 16) {
        unsigned lit = 0;
        for (unsigned x = 0; x < image.width; x++)
            lit += (image.At(x, y)[0] | image.At(x, y)[1] | image.At(x, y)[2]) != 0;
        EXPECT_GT(lit, image.width / 2) << "row " << y;
    }
    for (unsigned x = 0; x < image.width; x += 16) {
        unsigned lit = 0;
        for (unsigned y = 0; y < image.height; y++)
            lit += (image.At(x, y)[0] | image.At(x, y)[1] | image.At(x, y)[2]) != 0;
        EXPECT_GT(lit, image.height / 2) << "column " << x;
    }

    ProgramRun both = Capture(Media() + " --fps 10 --at 1 --loading " + (out / "both" / "loading.png").string() +
                              " --out " + (out / "both").string());
    ASSERT_EQ(both.status, 0) << both.output;
    Image again, frame;
    ASSERT_TRUE(ReadPng(out / "both" / "loading.png", again));
    EXPECT_TRUE(again.pixels == image.pixels) << "the loading frame depends on what else is captured";
    ASSERT_TRUE(ReadPng(out / "both" / "frame_0001.000.png", frame));
    EXPECT_FALSE(frame.pixels == image.pixels);

    ProgramRun unwritable = Capture(Media() + " --loading /proc/vantorel/loading.png");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.output.find("cannot write /proc/vantorel/loading.png"), std::string::npos) << unwritable.output;
}

TEST_F(CaptureProgram, TheShowEndsOnTheFirstFrameAtItsEnd)
{
    RequireMedia();
    const fs::path stats = out / "stats.csv";
    ProgramRun run = Capture(Media() + " --fps 2 --stats " + stats.string());
    ASSERT_EQ(run.status, 0) << run.output;
    std::ifstream in(stats);
    std::string line, last;
    int rows = 0;
    std::getline(in, line);
    EXPECT_EQ(line, "time,scene,ms,draw_calls,gl_draws,passes,programs_built,variants_built,layers");
    int wrongCounts = 0;
    std::string builtMidShow;
    while (std::getline(in, line)) {
        rows++;
        last = line;
        // A frame the show drew in reached GL with at least one draw (Present
        // itself may cost no pass: it swaps pictures).
        unsigned long long draws = 0, glDraws = 0, passes = 0, built = 0, variants = 0;
        double t = 0, ms = 0;
        int scene = 0;
        if (std::sscanf(line.c_str(), "%lf,%d,%lf,%llu,%llu,%llu,%llu,%llu", &t, &scene, &ms, &draws, &glDraws,
                        &passes, &built, &variants) != 8 ||
            (draws > 0 && glDraws == 0))
            wrongCounts++;
        // The warm-up while loading covers every program and draw-state
        // combination the show draws: none is built during the show.
        if ((built > 0 || variants > 0) && builtMidShow.size() < 2000)
            builtMidShow += "\n  " + line;
    }
    EXPECT_EQ(wrongCounts, 0);
    EXPECT_EQ(builtMidShow, "")
        << "frames that built a program or met a draw-state combination the warm-up list lacks "
           "(time,scene,ms,draw_calls,gl_draws,passes,programs_built,variants_built,layers):"
        << builtMidShow
        << "\nRe-record the list: platform/d3d8/warmup/record.sh BUILD-DIR, and commit "
           "platform/d3d8/warmup/variants.txt";
    // Frames at 0, 0.5, ... 296.5; the frame at 297 ends the show.
    EXPECT_EQ(rows, 297 * 2);
    EXPECT_EQ(last.substr(0, last.find(',')), "296.500000");
    std::istringstream fields(last);
    std::string t, scene;
    std::getline(fields, t, ',');
    std::getline(fields, scene, ',');
    EXPECT_EQ(scene, "10");
}

// Profiled draws: one row for each OpenGL draw the statistics count in the
// same frame (the loading picture's and the warm-up's left out), each with
// its state combination in quotes.
TEST_F(CaptureProgram, DrawCostsListEveryDrawOfEachFrame)
{
    RequireMedia();
    const fs::path stats = out / "stats.csv", draws = out / "draws.csv";
    ProgramRun run = Capture(Media() + " --fps 2 --until 6 --stats " + stats.string() + " --draw-costs " +
                             draws.string());
    ASSERT_EQ(run.status, 0) << run.output;
    std::map<std::string, unsigned long long> expected, listed;
    std::ifstream statsIn(stats), drawsIn(draws);
    std::string line;
    std::getline(statsIn, line);
    while (std::getline(statsIn, line)) {
        double t = 0, ms = 0;
        int scene = 0;
        unsigned long long calls = 0, glDraws = 0, passes = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%d,%lf,%llu,%llu,%llu", &t, &scene, &ms, &calls, &glDraws, &passes),
                  6);
        expected[line.substr(0, line.find(','))] = glDraws - passes;
    }
    std::getline(drawsIn, line);
    EXPECT_EQ(line, "time,scene,draw,ms,samples,state");
    int badRows = 0;
    while (std::getline(drawsIn, line)) {
        listed[line.substr(0, line.find(','))]++;
        const size_t quote = line.find(",\"prim=");
        if (quote == std::string::npos || line.back() != '"' || std::count(line.begin(), line.begin() + quote, ',') != 4)
            badRows++;
    }
    EXPECT_EQ(badRows, 0);
    EXPECT_EQ(expected.size(), 12u);
    EXPECT_EQ(listed, expected);
}

// --load-only stops once everything is loaded: no show frame, one line saying
// what music the show would play; a failed load says nothing of the kind.
TEST_F(CaptureProgram, LoadOnlyLoadsReleasesAndRendersNoFrame)
{
    RequireMedia();
    ProgramRun all = Capture(Media() + " --load-only --out " + out.string());
    EXPECT_EQ(all.status, 0) << all.output;
    EXPECT_EQ(all.output, "loaded; music: 297.000 s at 44100 Hz\n");
    EXPECT_TRUE(fs::is_empty(out));

    // Without the music the show still loads, silent.
    const fs::path silent = out / "silent";
    fs::create_directories(silent);
    fs::create_directory_symlink(fs::path(VT_MEDIA_DIR) / "data", silent / "data");
    ProgramRun quiet = Capture("--media " + silent.string() + " --load-only");
    EXPECT_EQ(quiet.status, 0) << quiet.output;
    EXPECT_EQ(quiet.output, "loaded; music: none\n");

    // With --loading the loading frame is saved too, and still no show frame.
    ProgramRun both = Capture(Media() + " --load-only --loading " + (out / "loading.png").string());
    EXPECT_EQ(both.status, 0) << both.output;
    EXPECT_TRUE(fs::exists(out / "loading.png"));

    const fs::path empty = out / "empty";
    fs::create_directories(empty);
    ProgramRun failed = Capture("--media " + empty.string() + " --load-only");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.output, "Error: Could not load required media.\n");
}

// --size: the picture at the scale that fills the frame, between two black
// bars; the same picture supersampled is the larger capture filtered down.
TEST_F(CaptureProgram, FramesOfAnySizeCentreThePictureBetweenBlackBars)
{
    RequireMedia();
    ProgramRun wide = Capture(Media() + " --size 1920x1080 --fps 1 --at 100 --out " + (out / "wide").string());
    ASSERT_EQ(wide.status, 0) << wide.output;
    Image image;
    ASSERT_TRUE(ReadPng(out / "wide" / "frame_0100.000.png", image));
    ASSERT_EQ(image.width, 1920u);
    ASSERT_EQ(image.height, 1080u);
    size_t barPixels = 0;
    std::vector<unsigned> litColumns;
    for (unsigned x = 0; x < image.width; x++) {
        unsigned lit = 0;
        for (unsigned y = 0; y < image.height; y++)
            lit += (image.At(x, y)[0] | image.At(x, y)[1] | image.At(x, y)[2]) != 0;
        if (x < 240 || x >= 1680)
            barPixels += lit;
        else if (lit)
            litColumns.push_back(x);
    }
    EXPECT_EQ(barPixels, 0u) << "the bars are exactly black";
    EXPECT_GT(litColumns.size(), 1440u / 2) << "the picture between them";
    ASSERT_FALSE(litColumns.empty());
    EXPECT_LT(litColumns.front(), 260u);
    EXPECT_GT(litColumns.back(), 1660u);

    ProgramRun big = Capture(Media() + " --size 2048x1536 --fps 1 --at 100 --out " + (out / "big").string());
    ProgramRun super = Capture(Media() + " --supersample 2 --fps 1 --at 100 --out " + (out / "super").string());
    ASSERT_EQ(big.status, 0) << big.output;
    ASSERT_EQ(super.status, 0) << super.output;
    Image large, small;
    ASSERT_TRUE(ReadPng(out / "big" / "frame_0100.000.png", large));
    ASSERT_TRUE(ReadPng(out / "super" / "frame_0100.000.png", small));
    ASSERT_EQ(large.width, 2048u);
    ASSERT_EQ(small.width, 1024u);
    ASSERT_EQ(small.height, 768u);
    size_t off = 0, lit = 0;
    for (unsigned y = 0; y < 768; y++)
        for (unsigned x = 0; x < 1024; x++)
            for (unsigned c = 0; c < 3; c++) {
                const int sum = large.At(2 * x, 2 * y)[c] + large.At(2 * x + 1, 2 * y)[c] +
                                large.At(2 * x, 2 * y + 1)[c] + large.At(2 * x + 1, 2 * y + 1)[c];
                off += std::abs(sum - 4 * small.At(x, y)[c]) > 2;
                lit += small.At(x, y)[c] != 0;
            }
    EXPECT_EQ(off, 0u) << "channels that differ from the 2048 x 1536 capture box-filtered";
    EXPECT_GT(lit, 100000u);
}

// Video at another size: the encoder gets frames of that size and the
// frame grid, hence the music's place, is the same as at any other.
TEST_F(CaptureProgram, VideoFollowsTheSize)
{
    RequireMedia();
    const fs::path video = out / "small.mp4";
    ProgramRun run = Capture(Media() + " --size 640x360 --fps 5 --until 3 --video " + video.string());
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string probe = "ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                              "stream=width,height,nb_read_frames -of csv=p=0 " + video.string() + " 2>&1";
    FILE* pipe = popen(probe.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    const bool read = std::fgets(line, sizeof(line), pipe) != nullptr;
    pclose(pipe);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::string(line), "640,360,15\n");
}

TEST_F(CaptureProgram, MissingMediaFailsWithTheMessageAndExitOne)
{
    const fs::path empty = out / "empty";
    fs::create_directories(empty);
    ProgramRun run = Capture("--media " + empty.string() + " --fps 10 --at 1 --out " + out.string() +
                             " --loading " + (out / "loading.png").string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("Could not load required media."), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(out / "frame_0001.000.png"));
    EXPECT_FALSE(fs::exists(out / "loading.png"));
}

}  // namespace

namespace {

// Scene 5's camera shakes with band 3 of the music's spectrum from 175.7 s:
// the same show with silence and with a bass tone in place of the music
// must render identically before then and differently after.
TEST_F(CaptureProgram, TheTunnelCameraShakesWithTheMusicFrom175point7)
{
    RequireMedia();
    const std::string tones[2] = {"anullsrc=r=44100:cl=stereo", "sine=frequency=129:sample_rate=44100"};
    const char* names[2] = {"silence", "tone"};
    for (int i = 0; i < 2; i++) {
        const fs::path dir = out / names[i];
        fs::create_directories(dir / "frames");
        fs::create_directory_symlink(fs::path(VT_MEDIA_DIR) / "data", dir / "data");
        const std::string make = "ffmpeg -loglevel error -y -f lavfi -i " + tones[i] +
                                 " -t 297 -ac 2 -b:a 96k " + (dir / "intro.mp3").string();
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        ProgramRun run = Capture("--media " + dir.string() + " --fps 2 --at 175.6 --at 176.5 --out " +
                                 (dir / "frames").string());
        ASSERT_EQ(run.status, 0) << run.output;
    }
    auto differing = [&](const char* frame) {
        Image a, b;
        EXPECT_TRUE(ReadPng(out / "silence" / "frames" / frame, a));
        EXPECT_TRUE(ReadPng(out / "tone" / "frames" / frame, b));
        size_t n = 0;
        for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); i++)
            n += a.pixels[i] != b.pixels[i];
        return n;
    };
    EXPECT_EQ(differing("frame_0175.600.png"), 0u);
    EXPECT_GT(differing("frame_0176.500.png"), 10000u);
}

}  // namespace
