// Command line of vantorel-capture.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/common/command_line.h"

namespace vt::capture {

struct Options {
    std::string mediaDir;  // empty: found (tools/common/media_folder.h)
    double fps = 60.0;
    std::vector<double> at;  // sorted, unique
    std::string outDir = ".";
    std::optional<double> until;
    std::string videoFile;
    std::string statsFile;
    std::string loadingFile;  // the frame presented while loading, as PNG
    bool loadOnly = false;    // stop once the media are loaded
    std::string variantsFile;  // the draw-state combinations met, as the warm-up list's lines
    bool warmUp = true;        // the device's warm-up after the loading frame
    std::string drawCostsFile;  // each OpenGL draw timed alone, one CSV row each
    int width = 1024, height = 768;  // of frames and video
    int supersample = 1;             // rendered at this many times the frame's picture, filtered down
    int msaa = 0;                    // samples a pixel; 0: no multisampling
};

// "1920x1080": two positive even numbers.
bool ReadSize(const std::string& text, int& width, int& height);

// The tool's table, reading into `options` (which must outlive it).
cli::Program MakeProgram(Options& options);

// Reads argv with that table, then checks the options together and sorts
// the --at times. On Run, `options` holds the command line.
cli::Outcome ParseOptions(const cli::Program& program, Options& options, int argc, const char* const* argv);

// Show time at which rendering stops (exclusive) for these options: 0 when
// the loading frame is all that was asked for, or only the loading itself.
double StopTime(const Options& options, double showEnd);

// The times to render, in order: k / fps for k = 0, 1, ... below `stop`,
// merged with the --at times (an --at time equal to a grid time is rendered
// once). `isGrid` tells which belong to the regular grid (they go to the video).
struct FrameTime {
    double t;
    bool isGrid;
    bool isAt;
};
std::vector<FrameTime> Schedule(const Options& options, double stop);

// "frame_0064.500.png" for 64.5.
std::string FrameFileName(double t);

}  // namespace vt::capture
