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
};

// The program's table, reading into `options` (which must outlive it).
cli::Program MakeProgram(Options& options);

}  // namespace vt::program
