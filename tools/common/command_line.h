// Command lines of both programs, table-driven: a program is its name, a
// line saying what it does and a list of options; --help and --version come
// with every program.
//
//   Options options;
//   vt::cli::Program program{"vantorel", "plays the show", {
//       {"--window", "", "play in a window", [&](const std::string&, std::string&) {
//            options.windowed = true; return true; }},
//       {"--media", "DIR", "read the media from DIR", vt::cli::Store(options.mediaDir)},
//   }};
//   const vt::cli::Outcome outcome = vt::cli::Parse(program, argc, argv);
//   if (outcome.action != vt::cli::Action::Run) return vt::cli::Finish(program, outcome);
//
// An option with a value takes it as the next argument or after '='
// ("--media DIR", "--media=DIR").
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vt::cli {

// Takes an option's value (empty for an option without one). On a value it
// refuses, it returns false and says why in `error` (one line, no newline).
using Take = std::function<bool(const std::string& value, std::string& error)>;

struct Option {
    std::string name;   // "--media"
    std::string value;  // what the usage calls its value ("DIR"); empty: none
    std::string help;   // the usage's text for it, one paragraph (wrapped to fit)
    Take take;
};

struct Program {
    std::string name;     // as the user types it
    std::string summary;  // one line: what the program does
    std::vector<Option> options;
};

enum class Action {
    Run,      // every argument taken
    Help,     // --help: print the usage on stdout, exit 0
    Version,  // --version: print the version on stdout, exit 0
    Fail,     // a bad argument: the error and the usage on stderr, exit 2
};

struct Outcome {
    Action action = Action::Run;
    std::string error;  // for Fail
};

// Reads argv[1..argc) in order. --help and --version end the reading at
// once; the first bad argument ends it with Fail.
Outcome Parse(const Program& program, int argc, const char* const* argv);

// The usage: a synopsis, the summary and one entry per option (--help and
// --version last), the texts starting in one column and wrapped within 79.
std::string Usage(const Program& program);

// "vantorel 1.2.0": the program's name and the version both programs share.
std::string VersionLine(const Program& program);
const char* Version();

// Prints what a non-Run outcome calls for and returns the exit code.
int Finish(const Program& program, const Outcome& outcome);

// Exit code of a usage error, as the programs' callers expect it.
constexpr int kUsageError = 2;

// Takes for the common kinds of value.
Take Store(std::string& target);  // any non-empty text
Take Set(bool& target, bool value);
// Multisampling's sample count: 2, 4 or 8, and 0 or 1 for off (stored as 0).
Take Samples(int& target);
extern const char* const kSamplesHelp;
// A finite decimal number, the whole argument.
bool ReadNumber(const std::string& text, double& value);
// A decimal integer from 0 to max, the whole argument.
bool ReadCount(const std::string& text, int max, int& value);

}  // namespace vt::cli
