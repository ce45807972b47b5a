// vantorel-capture: the show rendered offline on a virtual clock. Frame k
// has show time k / F exactly; the sound layer follows the same clock, so
// two captures are identical.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/shared.h"
#include "platform/d3d8/host.h"
#include "platform/fmod/host.h"
#include "platform/win32/host.h"
#include "shell/app.h"
#include "show/show_clock.h"
#include "tools/capture/framing.h"
#include "tools/capture/options.h"
#include "tools/capture/outputs.h"
#include "tools/common/media_folder.h"

namespace fs = std::filesystem;
using namespace vt::capture;

namespace {

std::string Absolute(const std::string& path)
{
    return path.empty() ? path : fs::absolute(path).string();
}

struct Capture {
    Options options;
    std::ofstream stats;
    std::ofstream drawCosts;
    VideoEncoder video;
    Framing framing;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> frame;  // rgb framed at the asked size
    int failures = 0;

    bool ReadFrame()
    {
        UINT w = 0, h = 0;
        if (FAILED(vt::d3d8::ReadBackBuffer(g_pd3dDevice, rgb, w, h)))
            return false;
        Compose(rgb, w, h, framing, frame);
        return true;
    }

    bool SaveFrame(double t)
    {
        if (!ReadFrame())
            return false;
        const std::string path = (fs::path(options.outDir) / FrameFileName(t)).string();
        if (!WritePng(path, frame.data(), framing.width, framing.height)) {
            std::fprintf(stderr, "vantorel-capture: cannot write %s\n", path.c_str());
            return false;
        }
        return true;
    }

    // What the window showed while the media loaded: the only frame presented
    // before the clock starts.
    bool SaveLoadingFrame()
    {
        UINT w = 0, h = 0;
        if (FAILED(vt::d3d8::ReadPresentedImage(g_pd3dDevice, rgb, w, h))) {
            std::fprintf(stderr, "vantorel-capture: no frame was presented while loading\n");
            return false;
        }
        Compose(rgb, w, h, framing, frame);
        if (!WritePng(options.loadingFile, frame.data(), framing.width, framing.height)) {
            std::fprintf(stderr, "vantorel-capture: cannot write %s\n", options.loadingFile.c_str());
            return false;
        }
        return true;
    }

    bool AddVideoFrame()
    {
        return ReadFrame() && video.AddFrame(frame.data());
    }
};

// What --load-only reports: the media loaded, and the music the show will
// play (none when the file was missing or refused).
void PrintLoaded()
{
    const size_t frames = vt::fmod::DecodedFrames();
    const int rate = vt::fmod::DecodedRate();
    if (frames == 0 || rate <= 0)
        std::printf("loaded; music: none\n");
    else
        std::printf("loaded; music: %.3f s at %d Hz\n", (double)frames / rate, rate);
    std::fflush(stdout);
}

// The recorded combinations, sorted, under a header saying where they came from.
bool WriteVariants(const std::string& path, std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    std::ofstream out(path);
    out << "# Draw-state combinations the show draws, one a line, recorded from a run by\n"
           "# platform/d3d8/warmup/record.sh; the device draws each once while the\n"
           "# loading picture is up. Generated: re-record rather than edit.\n";
    for (const std::string& line : lines)
        out << line << '\n';
    out.close();
    if (!out) {
        std::fprintf(stderr, "vantorel-capture: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Capture capture;
    Options& options = capture.options;
    const vt::cli::Program program = MakeProgram(options);
    vt::cli::Outcome outcome = ParseOptions(program, options, argc, argv);
    for (double at : options.at) {
        if (outcome.action == vt::cli::Action::Run && at >= SHOW_END) {
            char error[96];
            std::snprintf(error, sizeof(error), "--at %.3f is at or past the show's end (%.0f s)", at,
                          (double)SHOW_END);
            outcome = {vt::cli::Action::Fail, error};
        }
    }
    if (outcome.action != vt::cli::Action::Run) return vt::cli::Finish(program, outcome);

    // Every output path is taken relative to where we were started.
    options.outDir = Absolute(options.outDir);
    options.videoFile = Absolute(options.videoFile);
    options.statsFile = Absolute(options.statsFile);
    options.loadingFile = Absolute(options.loadingFile);
    options.variantsFile = Absolute(options.variantsFile);
    options.drawCostsFile = Absolute(options.drawCostsFile);
    std::error_code ec;
    if (!options.at.empty())
        fs::create_directories(options.outDir, ec);
    if (!options.loadingFile.empty())
        fs::create_directories(fs::path(options.loadingFile).parent_path(), ec);
    std::string error;
    if (!vt::cli::EnterMediaFolder(options.mediaDir, error)) {
        std::fprintf(stderr, "vantorel-capture: %s\n", error.c_str());
        return 1;
    }
    if (!options.statsFile.empty()) {
        capture.stats.open(options.statsFile);
        if (!capture.stats) {
            std::fprintf(stderr, "vantorel-capture: cannot write %s\n", options.statsFile.c_str());
            return 1;
        }
        capture.stats << "time,scene,ms,draw_calls,gl_draws,passes,programs_built,variants_built,layers\n";
    }
    if (!options.drawCostsFile.empty()) {
        capture.drawCosts.open(options.drawCostsFile);
        if (!capture.drawCosts) {
            std::fprintf(stderr, "vantorel-capture: cannot write %s\n", options.drawCostsFile.c_str());
            return 1;
        }
        capture.drawCosts << "time,scene,draw,ms,samples,state\n";
    }

    vt::win32::SetHeadless(true);
    vt::win32::SetManualClock(true);
    vt::win32::SetClockSeconds(0.0);
    vt::fmod::SetVirtualTime(true);
    vt::d3d8::SetPresentMode(vt::d3d8::PresentMode::Offscreen);
    vt::d3d8::SetWarmUp(options.warmUp);
    capture.framing = PlanFraming(options.width, options.height, options.supersample);
    vt::d3d8::SetRenderScale(capture.framing.scale);
    vt::d3d8::SetMultisample(options.msaa);
    vt::d3d8::SetVariantRecording(!options.variantsFile.empty());
    vt::d3d8::SetDrawProfiling(capture.drawCosts.is_open());

    if (FAILED(StartUp())) {
        ShutDown();
        vt::win32::Shutdown();
        return 1;
    }

    // The device may store less than asked for (the driver's largest
    // texture): the frames keep their size, filtered up from what it drew.
    const float used = vt::d3d8::GetRenderScale(g_pd3dDevice);
    if (used < std::max(capture.framing.scale, 1.0f) - 1e-4f)
        std::fprintf(stderr, "vantorel-capture: the device renders at %g times 1024 x 768, not %g; frames are filtered "
                             "up to %d x %d\n",
                     double(used), double(capture.framing.scale), options.width, options.height);

    if (!options.loadingFile.empty() && !capture.SaveLoadingFrame())
        capture.failures++;
    if (options.loadOnly)
        PrintLoaded();
    if (capture.drawCosts.is_open())
        vt::d3d8::TakeDrawCosts(g_pd3dDevice);  // the loading picture's draws are no frame's

    if (!options.videoFile.empty() && !capture.video.Open(options.videoFile, unsigned(options.width), unsigned(options.height), options.fps)) {
        std::fprintf(stderr, "vantorel-capture: cannot start ffmpeg\n");
        ShutDown();
        vt::win32::Shutdown();
        return 1;
    }

    const double stop = StopTime(options, SHOW_END);
    const std::vector<FrameTime> frames = Schedule(options, stop);
    const bool progress = !options.videoFile.empty();
    size_t atSaved = 0;
    int gridFrames = 0;
    for (const FrameTime& frame : frames) {
        vt::win32::SetClockSeconds(frame.t);
        vt::fmod::AdvanceVirtualPlayback();  // the decoding a sound device would do, outside the frame's time
        const vt::d3d8::DeviceStats before = vt::d3d8::GetStats(g_pd3dDevice);
        const auto start = std::chrono::steady_clock::now();
        const HRESULT hr = RenderFrame();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (FAILED(hr))
            break;  // the show ended (or a scene failed, which it has reported)
        const vt::d3d8::DeviceStats after = vt::d3d8::GetStats(g_pd3dDevice);
        if (capture.stats.is_open()) {
            auto delta = [&](uint64_t vt::d3d8::DeviceStats::*field) {
                return (unsigned long long)(after.*field - before.*field);
            };
            char row[192];
            std::snprintf(row, sizeof(row), "%.6f,%d,%.3f,%llu,%llu,%llu,%llu,%llu,%llu\n", frame.t,
                          SceneIndexAt(g_fShowTime) + 1, ms, delta(&vt::d3d8::DeviceStats::drawCalls),
                          delta(&vt::d3d8::DeviceStats::glDraws), delta(&vt::d3d8::DeviceStats::fullscreenPasses),
                          delta(&vt::d3d8::DeviceStats::programsBuilt),
                          delta(&vt::d3d8::DeviceStats::variantsBuilt),
                          delta(&vt::d3d8::DeviceStats::fullscreenLayers));
            capture.stats << row;
        }
        if (capture.drawCosts.is_open()) {
            int index = 0;
            for (const vt::d3d8::DrawCost& cost : vt::d3d8::TakeDrawCosts(g_pd3dDevice)) {
                char row[96];
                std::snprintf(row, sizeof(row), "%.6f,%d,%d,%.3f,%llu,", frame.t, SceneIndexAt(g_fShowTime) + 1,
                              index++, cost.ms, (unsigned long long)cost.samples);
                capture.drawCosts << row << '"' << cost.state << "\"\n";  // the state holds commas
            }
        }
        if (frame.isAt) {
            if (capture.SaveFrame(frame.t))
                atSaved++;
            else
                capture.failures++;
        }
        if (frame.isGrid && !options.videoFile.empty()) {
            if (!capture.AddVideoFrame()) {
                std::fprintf(stderr, "\nvantorel-capture: ffmpeg stopped taking frames\n");
                capture.failures++;
                break;
            }
            gridFrames++;
        }
        if (progress && frame.isGrid)
            DrawProgress(frame.t, stop);
    }
    if (progress && isatty(fileno(stderr)))
        std::fputc('\n', stderr);

    if (atSaved < options.at.size() && capture.failures == 0) {
        std::fprintf(stderr, "vantorel-capture: the show ended before every --at frame was rendered\n");
        capture.failures++;
    }
    if (!options.variantsFile.empty() && !WriteVariants(options.variantsFile, vt::d3d8::RecordedVariants(g_pd3dDevice)))
        capture.failures++;
    const double musicStart = vt::fmod::PlayStartClock();
    ShutDown();
    vt::win32::Shutdown();

    if (!options.videoFile.empty()) {
        const double duration = gridFrames / options.fps;
        const std::string music = fs::exists("intro.mp3") ? Absolute("intro.mp3") : std::string();
        if (!capture.video.Finish(music, musicStart, duration)) {
            std::fprintf(stderr, "vantorel-capture: encoding %s failed\n", options.videoFile.c_str());
            return 1;
        }
        std::fprintf(stderr, "vantorel-capture: wrote %s (%d frames)\n", options.videoFile.c_str(), gridFrames);
    }
    return capture.failures ? 1 : 0;
}
