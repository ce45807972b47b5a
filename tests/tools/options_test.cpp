// The two programs' option tables: what each option sets and which values
// each refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/capture/options.h"
#include "tools/vantorel/options.h"

namespace {

using vt::cli::Action;

template <typename Options> struct Run {
    Options options;
    vt::cli::Outcome outcome;
};

Run<vt::program::Options> Program(std::vector<const char*> args) {
    Run<vt::program::Options> run;
    const vt::cli::Program program = vt::program::MakeProgram(run.options);
    args.insert(args.begin(), "vantorel");
    run.outcome = vt::cli::Parse(program, static_cast<int>(args.size()), args.data());
    return run;
}

Run<vt::capture::Options> Capture(std::vector<const char*> args) {
    Run<vt::capture::Options> run;
    const vt::cli::Program program = vt::capture::MakeProgram(run.options);
    args.insert(args.begin(), "vantorel-capture");
    run.outcome = vt::capture::ParseOptions(program, run.options, static_cast<int>(args.size()), args.data());
    return run;
}

TEST(ProgramOptions, DefaultsAreFullScreenOnTheFirstDisplayWithSound) {
    const auto run = Program({});
    ASSERT_EQ(run.outcome.action, Action::Run);
    EXPECT_FALSE(run.options.windowed);
    EXPECT_EQ(run.options.display, 0);
    EXPECT_EQ(run.options.mediaDir, "");
    EXPECT_TRUE(run.options.sound);
}

TEST(ProgramOptions, EachOptionSetsItsField) {
    const auto run = Program({"--window", "--display", "2", "--media=/srv/show", "--no-sound"});
    ASSERT_EQ(run.outcome.action, Action::Run) << run.outcome.error;
    EXPECT_TRUE(run.options.windowed);
    EXPECT_EQ(run.options.display, 2);
    EXPECT_EQ(run.options.mediaDir, "/srv/show");
    EXPECT_FALSE(run.options.sound);
}

TEST(ProgramOptions, BadValuesAndUnknownOptionsFail) {
    const std::vector<std::vector<const char*>> bad = {
        {"--display"},       {"--display", "-1"}, {"--display", "one"}, {"--display", "1.5"},
        {"--display", "64"}, {"--media"},         {"--media", ""},      {"--window=1"},
        {"--fullscreen"},    {"--fps", "30"},     {"show.mp3"},
    };
    for (const auto& args : bad) {
        const auto run = Program(args);
        EXPECT_EQ(run.outcome.action, Action::Fail) << args[0];
    }
    EXPECT_EQ(Program({"--display", "one"}).outcome.error, "--display one: not a display number (0, 1, ...)");
}

TEST(ProgramOptions, ScaleIsAutoOrOneToEightAndSamplesArePowersOfTwo) {
    EXPECT_EQ(Program({}).options.scale, 0.0f) << "auto by default";
    EXPECT_EQ(Program({}).options.msaa, 0);
    EXPECT_EQ(Program({"--scale", "2"}).options.scale, 2.0f);
    EXPECT_EQ(Program({"--scale=1.875"}).options.scale, 1.875f);
    EXPECT_EQ(Program({"--scale", "8", "--scale", "auto"}).options.scale, 0.0f);
    EXPECT_EQ(Program({"--scale", "1"}).options.scale, 1.0f);
    for (auto [text, samples] : {std::pair{"0", 0}, {"1", 0}, {"2", 2}, {"4", 4}, {"8", 8}})
        EXPECT_EQ(Program({"--msaa", text}).options.msaa, samples) << text;
    for (const char* bad : {"0.5", "8.01", "0", "-2", "Auto", "", "nan", "inf", "2x"}) {
        const auto run = Program({"--scale", bad});
        EXPECT_EQ(run.outcome.action, Action::Fail) << bad;
        EXPECT_NE(run.outcome.error.find("not auto nor a number from 1 to 8"), std::string::npos) << run.outcome.error;
    }
    for (const char* bad : {"3", "5", "16", "-1", "4.0", "x", ""})
        EXPECT_EQ(Program({"--msaa", bad}).outcome.action, Action::Fail) << bad;
}

TEST(CaptureOptions, DefaultsRenderTheWholeShowAtSixtyFromTheFoundMedia) {
    const auto run = Capture({});
    ASSERT_EQ(run.outcome.action, Action::Run);
    EXPECT_EQ(run.options.mediaDir, "");
    EXPECT_EQ(run.options.fps, 60.0);
    EXPECT_EQ(run.options.outDir, ".");
    EXPECT_TRUE(run.options.at.empty());
    EXPECT_FALSE(run.options.until);
    EXPECT_TRUE(run.options.warmUp);
    EXPECT_FALSE(run.options.loadOnly);
}

TEST(CaptureOptions, EachOptionSetsItsField) {
    const auto run = Capture({"--media", "m",           "--fps=30",     "--at",    "64.5",
                              "--at",    "2",           "--at",         "64.5",    "--out",
                              "o",       "--until",     "70",           "--video", "v.mp4",
                              "--stats", "s.csv",       "--loading",    "l.png",   "--record-variants",
                              "r.txt",   "--no-warmup", "--draw-costs", "d.csv"});
    ASSERT_EQ(run.outcome.action, Action::Run) << run.outcome.error;
    const vt::capture::Options& o = run.options;
    EXPECT_EQ(o.mediaDir, "m");
    EXPECT_EQ(o.fps, 30.0);
    EXPECT_EQ(o.at, (std::vector<double>{2.0, 64.5})) << "sorted, once each";
    EXPECT_EQ(o.outDir, "o");
    EXPECT_EQ(o.until.value_or(0), 70.0);
    EXPECT_EQ(o.videoFile, "v.mp4");
    EXPECT_EQ(o.statsFile, "s.csv");
    EXPECT_EQ(o.loadingFile, "l.png");
    EXPECT_EQ(o.variantsFile, "r.txt");
    EXPECT_FALSE(o.warmUp);
    EXPECT_EQ(o.drawCostsFile, "d.csv");
    EXPECT_TRUE(Capture({"--load-only"}).options.loadOnly);
}

TEST(CaptureOptions, RangesAndCombinationsAreChecked) {
    struct Case {
        std::vector<const char*> args;
        const char* error;
    };
    const Case cases[] = {
        {{"--fps", "0"}, "--fps 0: must be above 0 and at most 1000"},
        {{"--fps", "1000.5"}, "--fps 1000.5: must be above 0 and at most 1000"},
        {{"--fps", "abc"}, "--fps abc: not a number"},
        {{"--at", "-1"}, "--at -1: must not be negative"},
        {{"--until", "0"}, "--until 0: must be above 0"},
        {{"--loading", ""}, "--loading \"\": must not be empty"},
        {{"--load-only", "--at", "1"},
         "--load-only renders no show frame: not with --at, --until, --video, --stats or --draw-costs"},
    };
    for (const Case& c : cases) {
        const auto run = Capture(c.args);
        EXPECT_EQ(run.outcome.action, Action::Fail) << c.error;
        EXPECT_EQ(run.outcome.error, c.error);
    }
    for (const char* other : {"--until", "--video", "--stats", "--draw-costs"}) {
        EXPECT_EQ(Capture({"--load-only", other, "1"}).outcome.action, Action::Fail) << other;
    }
    EXPECT_EQ(Capture({"--fps", "1000"}).options.fps, 1000.0);
    EXPECT_EQ(Capture({"--at", "0"}).options.at, std::vector<double>{0.0});
}

TEST(CaptureOptions, SizeSupersampleAndSamples) {
    const auto plain = Capture({});
    EXPECT_EQ(plain.options.width, 1024);
    EXPECT_EQ(plain.options.height, 768);
    EXPECT_EQ(plain.options.supersample, 1);
    EXPECT_EQ(plain.options.msaa, 0);
    const auto run = Capture({"--size", "3840x2160", "--supersample", "2", "--msaa", "4"});
    ASSERT_EQ(run.outcome.action, Action::Run) << run.outcome.error;
    EXPECT_EQ(run.options.width, 3840);
    EXPECT_EQ(run.options.height, 2160);
    EXPECT_EQ(run.options.supersample, 2);
    EXPECT_EQ(run.options.msaa, 4);
    EXPECT_EQ(Capture({"--size=2x2"}).options.width, 2);

    for (const char* bad : {"1921x1080", "1920x1081", "0x768", "1920x0", "-2x4", "1920", "1920x", "x1080",
                            "1920X1080", "1920x1080x2", " 1920x1080", "1920.0x1080", "99999999x2"}) {
        const auto r = Capture({"--size", bad});
        EXPECT_EQ(r.outcome.action, Action::Fail) << bad;
        EXPECT_NE(r.outcome.error.find("not two positive even numbers"), std::string::npos) << r.outcome.error;
    }
    for (const char* bad : {"0", "9", "1.5", "-1", ""})
        EXPECT_EQ(Capture({"--supersample", bad}).outcome.action, Action::Fail) << bad;
    for (const char* bad : {"3", "6", "16"}) EXPECT_EQ(Capture({"--msaa", bad}).outcome.action, Action::Fail) << bad;

    // The rendered picture, supersampling included, at most 16384 a side.
    EXPECT_EQ(Capture({"--size", "16384x12288"}).outcome.action, Action::Run);
    EXPECT_EQ(Capture({"--size", "8192x6144", "--supersample", "2"}).outcome.action, Action::Run);
    EXPECT_EQ(Capture({"--size", "8192x6144", "--supersample", "3"}).outcome.error,
              "--size 8192x6144 with --supersample 3 renders 24576 x 18432: more than 16384 a side");
    EXPECT_EQ(Capture({"--size", "16386x12290"}).outcome.action, Action::Fail);
    EXPECT_EQ(Capture({"--size", "40000x768"}).outcome.action, Action::Run) << "wide bars, a 1024 x 768 picture";
}

TEST(CaptureOptions, HelpAndVersionPassThrough) {
    EXPECT_EQ(Capture({"--help"}).outcome.action, Action::Help);
    EXPECT_EQ(Capture({"--version"}).outcome.action, Action::Version);
    EXPECT_EQ(Capture({"--load-only", "--at", "1", "--help"}).outcome.action, Action::Help);
}

}  // namespace
