// Command-line parsing and the frame schedule of the capture tool.
#include "tools/capture/options.h"

#include "tools/capture/framing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace vt::capture {

namespace {

// A number, handed to `accept`, which keeps it or says what is wrong with it.
cli::Take Number(std::function<const char*(double)> accept) {
    return [accept](const std::string& value, std::string& error) {
        double number = 0.0;
        if (!cli::ReadNumber(value, number)) {
            error = "not a number";
            return false;
        }
        if (const char* problem = accept(number); *problem) {
            error = problem;
            return false;
        }
        return true;
    };
}

}  // namespace

bool ReadSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    int w = 0, h = 0;
    if (x == std::string::npos || !cli::ReadCount(text.substr(0, x), 1 << 20, w) ||
        !cli::ReadCount(text.substr(x + 1), 1 << 20, h) || w <= 0 || h <= 0 || w % 2 || h % 2)
        return false;
    width = w;
    height = h;
    return true;
}

cli::Program MakeProgram(Options& options) {
    cli::Program program;
    program.name = "vantorel-capture";
    program.summary = "Renders the show offline on a virtual clock: PNG frames, video, statistics.";
    program.options = {
        {"--media", "DIR",
         "folder holding data/ and intro.mp3 (default: the working directory "
         "if it holds them, else the installed set)",
         cli::Store(options.mediaDir)},
        {"--fps", "F", "frames per second of show time (default 60)", Number([&options](double v) -> const char* {
             if (v <= 0.0 || v > 1000.0) return "must be above 0 and at most 1000";
             options.fps = v;
             return "";
         })},
        {"--at", "T", "also render show time T exactly and save OUT/frame_TTTT.TTT.png",
         Number([&options](double v) -> const char* {
             if (v < 0.0) return "must not be negative";
             options.at.push_back(v);
             return "";
         })},
        {"--out", "DIR", "folder for the PNG frames (default .)", cli::Store(options.outDir)},
        {"--until", "T",
         "stop before show time T (default: the show's end, or after the "
         "last --at when only --at and --loading are given)",
         Number([&options](double v) -> const char* {
             if (v <= 0.0) return "must be above 0";
             options.until = v;
             return "";
         })},
        {"--video", "FILE", "encode every frame with the music into FILE (ffmpeg)", cli::Store(options.videoFile)},
        {"--stats", "FILE",
         "one CSV row per frame: time, scene, milliseconds, draw calls, "
         "OpenGL draws, full-picture passes, programs built, draw-state "
         "combinations first drawn (the driver builds code for each), the "
         "show's layers spanning their whole target",
         cli::Store(options.statsFile)},
        {"--loading", "FILE",
         "save the frame shown while the media load as PNG (alone, it "
         "renders no show frame)",
         cli::Store(options.loadingFile)},
        {"--load-only", "",
         "load the media, print a line saying so and what music loaded, "
         "release it all and exit; no show frame (not with --at, --until, "
         "--video, --stats or --draw-costs)",
         cli::Set(options.loadOnly, true)},
        {"--record-variants", "FILE",
         "write each draw-state combination the show drew, one a line (the "
         "device's warm-up list, platform/d3d8/warmup/variants.txt)",
         cli::Store(options.variantsFile)},
        {"--no-warmup", "", "skip the device's warm-up while the loading frame is up", cli::Set(options.warmUp, false)},
        {"--draw-costs", "FILE",
         "one CSV row per OpenGL draw: time, scene, draw, milliseconds with "
         "that draw alone on the GPU, samples it passed, its state "
         "combination (frames get slower; for finding where time goes)",
         cli::Store(options.drawCostsFile)},
        {"--size", "WxH",
         "frames and video of W x H pixels, two even numbers (default "
         "1024x768): the 4:3 picture is rendered at the scale that fills it "
         "and centred between black bars",
         [&options](const std::string& value, std::string& error) {
             if (ReadSize(value, options.width, options.height)) return true;
             error = "not two positive even numbers, as in 1920x1080";
             return false;
         }},
        {"--supersample", "N",
         "render at N times the picture's size and average each N x N block "
         "(1 to 8; default 1): smoother edges, N x N times the work",
         [&options](const std::string& value, std::string& error) {
             if (cli::ReadCount(value, 8, options.supersample) && options.supersample >= 1) return true;
             error = "not a whole number from 1 to 8";
             return false;
         }},
        {"--msaa", "N", cli::kSamplesHelp, cli::Samples(options.msaa)},
    };
    return program;
}

cli::Outcome ParseOptions(const cli::Program& program, Options& options, int argc, const char* const* argv) {
    cli::Outcome outcome = cli::Parse(program, argc, argv);
    if (outcome.action != cli::Action::Run) return outcome;
    if (options.loadOnly && (!options.at.empty() || options.until || !options.videoFile.empty() ||
                             !options.statsFile.empty() || !options.drawCostsFile.empty()))
        return {cli::Action::Fail,
                "--load-only renders no show frame: not with --at, --until, --video, --stats or --draw-costs"};
    const Framing framing = PlanFraming(options.width, options.height, options.supersample);
    if (framing.renderWidth > kLargestSide || framing.renderHeight > kLargestSide) {
        char error[160];
        std::snprintf(error, sizeof(error), "--size %dx%d with --supersample %d renders %d x %d: more than %d a side",
                      options.width, options.height, options.supersample, framing.renderWidth, framing.renderHeight,
                      kLargestSide);
        return {cli::Action::Fail, error};
    }
    std::sort(options.at.begin(), options.at.end());
    options.at.erase(std::unique(options.at.begin(), options.at.end()), options.at.end());
    return outcome;
}

double StopTime(const Options& options, double showEnd)
{
    if (options.loadOnly)
        return 0.0;
    if (options.until)
        return std::min(*options.until, showEnd);
    const bool onlyPictures = (!options.at.empty() || !options.loadingFile.empty()) && options.videoFile.empty() &&
                              options.statsFile.empty() && options.drawCostsFile.empty();
    if (onlyPictures)
        return options.at.empty() ? 0.0 : std::min(std::nextafter(options.at.back(), INFINITY), showEnd);
    return showEnd;
}

std::vector<FrameTime> Schedule(const Options& options, double stop)
{
    std::vector<FrameTime> frames;
    // Grid times come from the frame index, never accumulated, so nothing drifts.
    for (long long k = 0;; k++) {
        const double t = (double)k / options.fps;
        if (t >= stop)
            break;
        frames.push_back({t, true, false});
    }
    for (double at : options.at) {
        if (at >= stop)
            continue;
        auto it = std::lower_bound(frames.begin(), frames.end(), at,
                                   [](const FrameTime& f, double t) { return f.t < t; });
        if (it != frames.end() && std::fabs(it->t - at) < 1e-9)
            it->isAt = true;
        else
            frames.insert(it, {at, false, true});
    }
    return frames;
}

std::string FrameFileName(double t)
{
    char name[64];
    std::snprintf(name, sizeof(name), "frame_%08.3f.png", t);
    return name;
}

}  // namespace vt::capture
