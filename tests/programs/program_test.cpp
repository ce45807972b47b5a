// Both programs as a user starts them: --help, --version, usage errors that
// end with code 2 before any window, and a quiet normal run from a folder
// without media.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/programs/run_program.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using vt::test::Outputs;
using vt::test::RunProgram;

namespace {

const std::string kProgram = VT_PROGRAM_EXE;
const std::string kCapture = VT_CAPTURE_EXE;

// Traced, so that any window or video start-up would show on stderr.
Outputs Traced(const std::string& exe, const std::string& args) {
    return RunProgram("VANTOREL_TRACE=1 SDL_VIDEODRIVER=offscreen '" + exe + "' " + args);
}

TEST(Programs, HelpPrintsTheUsageOnStdoutAndEndsWithZero) {
    struct Case {
        std::string exe, args;
    };
    const Case cases[] = {{kProgram, "--help"},
                          {kProgram, "-h"},
                          {kProgram, "--window --help --bogus"},
                          {kCapture, "--help"},
                          {kCapture, "--fps 30 -h"}};
    for (const Case& c : cases) {
        const std::string name = fs::path(c.exe).filename().string();
        const Outputs run = Traced(c.exe, c.args);
        EXPECT_EQ(run.status, 0) << name << " " << c.args;
        EXPECT_EQ(run.out.rfind("usage: " + name + " [OPTION]...\n", 0), 0u) << name << ": " << run.out;
        EXPECT_NE(run.out.find("  --version "), std::string::npos) << name;
        EXPECT_EQ(run.err, "") << name << " " << c.args;
    }
}

TEST(Programs, BothPrintOneVersion) {
    const Outputs program = Traced(kProgram, "--version");
    const Outputs capture = Traced(kCapture, "--version");
    EXPECT_EQ(program.status, 0);
    EXPECT_EQ(capture.status, 0);
    ASSERT_EQ(program.out.rfind("vantorel ", 0), 0u) << program.out;
    ASSERT_EQ(capture.out.rfind("vantorel-capture ", 0), 0u) << capture.out;
    const std::string version = program.out.substr(9);
    EXPECT_EQ(capture.out.substr(17), version);
    EXPECT_EQ(version.find_first_not_of("0123456789."), version.size() - 1) << version;
    EXPECT_EQ(version.back(), '\n');
    EXPECT_EQ(program.err + capture.err, "");
}

TEST(Programs, UsageErrorsEndWithTwoBeforeAnyWindow) {
    const char* bad[] = {
        "--bogus", "--display", "--display x", "--display -1", "--media", "--media=", "--window=yes", "show.mp3", "-w",
        "--scale 0.5", "--scale 9", "--scale big", "--scale", "--msaa 3", "--msaa 16"};
    for (const char* args : bad) {
        const Outputs run = Traced(kProgram, args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_EQ(run.err.rfind("vantorel: ", 0), 0u) << args << ": " << run.err;
        EXPECT_NE(run.err.find("usage: vantorel [OPTION]..."), std::string::npos) << args;
        EXPECT_EQ(run.err.find(" ms: video ready"), std::string::npos) << args << ": video was started";
    }
    for (const char* args : {"--bogus", "--size 1921x1080", "--size 1920", "--size 8192x6144 --supersample 3",
                             "--supersample 0", "--msaa 3"}) {
        const Outputs capture = Traced(kCapture, args);
        EXPECT_EQ(capture.status, 2) << args;
        EXPECT_EQ(capture.out, "") << args;
        EXPECT_NE(capture.err.find("usage: vantorel-capture [OPTION]..."), std::string::npos) << args;
        EXPECT_EQ(capture.err.find(" ms: video ready"), std::string::npos) << args;
    }
}

// The display is checked once video is up (the offscreen driver has one),
// still before any window.
TEST(Programs, ADisplayThatIsNotThereIsAUsageError) {
    const Outputs run = Traced(kProgram, "--display 3");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("vantorel: --display 3: there is 1 display\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(" ms: window created"), std::string::npos) << run.err;
}

TEST(Programs, AMediaFolderThatCannotBeEnteredEndsWithOne) {
    for (const std::string& exe : {kProgram, kCapture}) {
        const Outputs run = Traced(exe, "--media /nonexistent/vantorel-media");
        EXPECT_EQ(run.status, 1) << exe;
        EXPECT_NE(run.err.find("cannot enter media folder /nonexistent/vantorel-media"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(" ms: video ready"), std::string::npos) << run.err;
    }
}

// From an empty folder, with no display, no runtime folder and no driver
// chosen: the capture tool finds the build's media beside itself and says
// nothing on stderr.
TEST(Programs, ANormalCaptureFindsItsMediaAndIsQuiet) {
    if (!fs::exists(fs::path(kCapture).parent_path() / "media" / "data"))
        GTEST_FAIL() << "no media beside " << kCapture << " (the build generates it)";
    vt::test::TempDir empty("quiet_work"), out("quiet_out");
    const Outputs run = RunProgram("env -u SDL_VIDEODRIVER -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY "
                                   "-u VANTOREL_TRACE '" +
                                       kCapture + "' --at 10 --out '" + out.Path().string() + "'",
                                   empty.Path().string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(fs::exists(out.Path() / "frame_0010.000.png"));
    EXPECT_TRUE(fs::is_empty(empty.Path())) << "nothing written where it was started";
}

}  // namespace
