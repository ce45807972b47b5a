// Command line of vantorel: one table entry per option.
#include "tools/vantorel/options.h"

namespace vt::program {

namespace {

// Far more than any machine has; the display itself is checked once video is up.
constexpr int kMaxDisplay = 63;

}  // namespace

bool ReadScale(const std::string& text, float& scale) {
    if (text == "auto") {
        scale = 0.0f;
        return true;
    }
    double k = 0.0;
    if (!cli::ReadNumber(text, k) || k < 1.0 || k > 8.0) return false;
    scale = float(k);
    return true;
}

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
        {"--scale", "K",
         "draw every picture at K times the show's 1024 x 768, K from 1 to 8, "
         "or auto (the default): as sharp as the display, on a graphics card; "
         "1 on a software renderer",
         [&options](const std::string& value, std::string& error) {
             if (ReadScale(value, options.scale)) return true;
             error = "not auto nor a number from 1 to 8";
             return false;
         }},
        {"--msaa", "N", cli::kSamplesHelp, cli::Samples(options.msaa)},
    };
    return program;
}

}  // namespace vt::program
