// Command line of vantorel.
#pragma once

#include <string>

#include "tools/common/command_line.h"

namespace vt::program {

struct Options {
    bool windowed = false;  // a resizable window instead of full screen
    int display = 0;        // the display to play on, 0 the first
    std::string mediaDir;   // empty: found (tools/common/media_folder.h)
    bool sound = true;
    float scale = 0.0f;     // the internal resolution; 0: chosen for the display and renderer
    int msaa = 0;           // samples a pixel; 0: no multisampling
};

// "auto", or a number from 1 to 8, into `scale` (0 for auto).
bool ReadScale(const std::string& text, float& scale);

// The program's table, reading into `options` (which must outlive it).
cli::Program MakeProgram(Options& options);

}  // namespace vt::program
