// Command line of vantorel: one table entry per option.
#include "tools/vantorel/options.h"

namespace vt::program {

namespace {

// Far more than any machine has; the display itself is checked once video is up.
constexpr int kMaxDisplay = 63;

}  // namespace

cli::Program MakeProgram(Options& options) {
    cli::Program program;
    program.name = "vantorel";
    program.summary = "Plays the show full screen, with its music; Esc, F2 or Alt+Enter end it.";
    program.options = {
        {"--window", "", "play in a resizable window instead of full screen", cli::Set(options.windowed, true)},
        {"--display", "N", "play on display N (0 is the first; default 0)",
         [&options](const std::string& value, std::string& error) {
             if (cli::ReadCount(value, kMaxDisplay, options.display)) return true;
             error = "not a display number (0, 1, ...)";
             return false;
         }},
        {"--media", "DIR",
         "read the media from DIR (default: the working directory if it "
         "holds them, else the installed set)",
         cli::Store(options.mediaDir)},
        {"--no-sound", "", "play without sound (the picture still follows the music)", cli::Set(options.sound, false)},
    };
    return program;
}

}  // namespace vt::program
