// Command-line parsing and the frame schedule of the capture tool.
#include "tools/capture/options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vt::capture {

const char* UsageText()
{
    return "usage: vantorel-capture [--media DIR] [--fps F] [--at T]... [--out DIR] [--until T]\n"
           "                        [--video FILE] [--stats FILE] [--loading FILE] [--load-only]\n"
           "                        [--record-variants FILE] [--no-warmup] [--draw-costs FILE]\n"
           "  --media DIR   folder holding data/ and intro.mp3 (default: the working directory)\n"
           "  --fps F       frames per second of show time (default 60)\n"
           "  --at T        also render show time T exactly and save OUT/frame_TTTT.TTT.png\n"
           "  --out DIR     folder for the PNG frames (default .)\n"
           "  --until T     stop before show time T (default: the show's end, or after the\n"
           "                last --at when only --at and --loading are given)\n"
           "  --video FILE  encode every frame with the music into FILE (ffmpeg)\n"
           "  --stats FILE  one CSV row per frame: time, scene, milliseconds, draw calls, OpenGL\n"
           "                draws, full-picture passes, programs built, draw-state combinations\n"
           "                first drawn (the driver builds code for each), the show's layers\n"
           "                spanning their whole target\n"
           "  --loading FILE  save the frame shown while the media load as PNG (alone, it\n"
           "                renders no show frame)\n"
           "  --load-only   load the media, print a line saying so and what music loaded,\n"
           "                release it all and exit; no show frame (not with --at, --until,\n"
           "                --video or --stats)\n"
           "  --record-variants FILE  write each draw-state combination the show drew, one a\n"
           "                line (the device's warm-up list, platform/d3d8/warmup/variants.txt)\n"
           "  --no-warmup   skip the device's warm-up while the loading frame is up\n"
           "  --draw-costs FILE  one CSV row per OpenGL draw: time, scene, draw, milliseconds\n"
           "                with that draw alone on the GPU, samples it passed, its state\n"
           "                combination (frames get slower; for finding where time goes)\n";
}

// A finite number, the whole argument.
static bool ParseNumber(const char* text, double& value)
{
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value);
}

std::optional<Options> ParseOptions(int argc, const char* const* argv, std::string& error)
{
    Options options;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) {
                error = "missing value after " + arg;
                return false;
            }
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        double number = 0.0;
        if (arg == "--load-only") {
            options.loadOnly = true;
        } else if (arg == "--no-warmup") {
            options.warmUp = false;
        } else if (arg == "--media" || arg == "--out" || arg == "--video" || arg == "--stats" || arg == "--loading" ||
                   arg == "--record-variants" || arg == "--draw-costs") {
            if (!value(v))
                return std::nullopt;
            if (*v == '\0') {
                error = "empty value for " + arg;
                return std::nullopt;
            }
            std::string* target = arg == "--media"   ? &options.mediaDir
                                  : arg == "--out"   ? &options.outDir
                                  : arg == "--video" ? &options.videoFile
                                  : arg == "--stats" ? &options.statsFile
                                  : arg == "--loading" ? &options.loadingFile
                                  : arg == "--draw-costs" ? &options.drawCostsFile
                                                     : &options.variantsFile;
            *target = v;
        } else if (arg == "--fps" || arg == "--at" || arg == "--until") {
            if (!value(v))
                return std::nullopt;
            if (!ParseNumber(v, number)) {
                error = "not a number: " + arg + " " + v;
                return std::nullopt;
            }
            if (arg == "--fps") {
                if (number <= 0.0 || number > 1000.0) {
                    error = "--fps must be above 0 and at most 1000";
                    return std::nullopt;
                }
                options.fps = number;
            } else if (arg == "--at") {
                if (number < 0.0) {
                    error = "--at must not be negative";
                    return std::nullopt;
                }
                options.at.push_back(number);
            } else {
                if (number <= 0.0) {
                    error = "--until must be above 0";
                    return std::nullopt;
                }
                options.until = number;
            }
        } else {
            error = "unknown argument: " + arg;
            return std::nullopt;
        }
    }
    if (options.loadOnly && (!options.at.empty() || options.until || !options.videoFile.empty() ||
                             !options.statsFile.empty() || !options.drawCostsFile.empty())) {
        error = "--load-only renders no show frame: not with --at, --until, --video, --stats or --draw-costs";
        return std::nullopt;
    }
    std::sort(options.at.begin(), options.at.end());
    options.at.erase(std::unique(options.at.begin(), options.at.end()), options.at.end());
    return options;
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
