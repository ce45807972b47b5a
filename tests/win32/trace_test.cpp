// The start-up trace: opt-in, one line per step, timed from the process's
// start; and the warning when no display can show the window.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "platform/win32/host.h"
#include "platform/win32/trace.h"

namespace {

LRESULT CALLBACK PlainProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        if (old) old_ = old, hadOld_ = true;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld_) setenv(name_.c_str(), old_.c_str(), 1);
        else unsetenv(name_.c_str());
    }

private:
    std::string name_, old_;
    bool hadOld_ = false;
};

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        vt::win32::Shutdown();
        vt::win32::ResetTrace();
        vt::win32::SetHeadless(false);
    }
    void TearDown() override {
        vt::win32::Shutdown();
        vt::win32::ResetTrace();
        vt::win32::SetHeadless(false);
    }
    void Record() {
        vt::win32::SetTraceForTest(true, [this](const std::string& line) { lines.push_back(line); });
    }
    // The step names of the recorded lines, checking each line's form and
    // that the times never go back.
    std::vector<std::string> Steps() {
        static const std::regex form("vantorel: ([0-9]+) ms: (.+)");
        std::vector<std::string> steps;
        long previous = 0;
        for (const std::string& line : lines) {
            std::smatch m;
            EXPECT_TRUE(std::regex_match(line, m, form)) << line;
            if (m.empty()) continue;
            const long ms = std::stol(m[1]);
            EXPECT_GE(ms, previous) << line;
            previous = ms;
            steps.push_back(m[2]);
        }
        return steps;
    }
    HWND MakeWindow() {
        WNDCLASSEXA wc{};
        wc.lpfnWndProc = PlainProc;
        wc.lpszClassName = "Trace Test";
        EXPECT_NE(RegisterClassExA(&wc), 0);
        return CreateWindowExA(0, "Trace Test", "Trace", WS_OVERLAPPEDWINDOW, 0, 0, 64, 48, GetDesktopWindow(),
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    }

    std::vector<std::string> lines;
};

TEST_F(TraceTest, EachStepIsPrintedOnceInTheOrderItHappens) {
    Record();
    vt::win32::TraceStep("window created");
    vt::win32::TraceStep("device created");
    vt::win32::TraceStep("window created");  // a second window: not a start-up step
    vt::win32::TraceStep("first frame presented");
    EXPECT_EQ(Steps(), (std::vector<std::string>{"window created", "device created", "first frame presented"}));

    vt::win32::ResetTrace();
    lines.clear();
    Record();
    vt::win32::TraceStep("window created");
    EXPECT_EQ(lines.size(), 1u) << "a reset forgets what was printed";
}

TEST_F(TraceTest, OffPrintsNothing) {
    vt::win32::SetTraceForTest(false, [this](const std::string& line) { lines.push_back(line); });
    EXPECT_FALSE(vt::win32::TraceEnabled());
    testing::internal::CaptureStderr();
    vt::win32::TraceStep("window created");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(lines.empty());
}

TEST_F(TraceTest, WithoutASinkLinesGoToStderr) {
    vt::win32::SetTraceForTest(true, nullptr);
    testing::internal::CaptureStderr();
    vt::win32::TraceStep("media loaded");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::regex_match(err, std::regex("vantorel: [0-9]+ ms: media loaded\n"))) << err;
}

TEST_F(TraceTest, TimesCountFromTheProcessStart) {
    const double first = vt::win32::MillisecondsSinceProcessStart();
    usleep(60 * 1000);
    const double second = vt::win32::MillisecondsSinceProcessStart();
    // The process has run at least as long as this test has slept; its
    // start, not the first call, is the origin.
    EXPECT_GT(first, 0.0);
    EXPECT_GE(second - first, 55.0);
    EXPECT_LT(second - first, 5000.0);
}

TEST_F(TraceTest, WindowLayerTracesVideoWindowShowAndMessageLoop) {
    ScopedEnv driver("SDL_VIDEODRIVER", "offscreen");
    Record();
    HWND hwnd = MakeWindow();
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    MSG msg{};
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"video ready (offscreen)", "window created", "window shown",
                                                 "message loop started (media loaded)"}));
}

TEST_F(TraceTest, HeadlessWindowIsNeverShown) {
    ScopedEnv driver("SDL_VIDEODRIVER", "offscreen");
    vt::win32::SetHeadless(true);
    Record();
    HWND hwnd = MakeWindow();
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"video ready (offscreen)", "window created"}));
}

// A display that cannot be opened: SDL falls back to a driver without
// windows, and the program says so instead of playing unseen.
TEST_F(TraceTest, UnreachableDisplayIsReported) {
    ScopedEnv driver("SDL_VIDEODRIVER", nullptr);
    ScopedEnv display("DISPLAY", ":4093");
    ScopedEnv wayland("WAYLAND_DISPLAY", "vt-no-such-wayland-display");
    testing::internal::CaptureStderr();
    HWND hwnd = MakeWindow();
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(hwnd, nullptr);
    if (err.find("no video driver") != std::string::npos) GTEST_SKIP() << "no fallback driver here: " << err;
    EXPECT_NE(err.find("vantorel: cannot open a display (DISPLAY=:4093"), std::string::npos) << err;
}

TEST_F(TraceTest, ChosenDriverIsNotReported) {
    ScopedEnv driver("SDL_VIDEODRIVER", "offscreen");
    testing::internal::CaptureStderr();
    ASSERT_NE(MakeWindow(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "offscreen was asked for";
}

}  // namespace
