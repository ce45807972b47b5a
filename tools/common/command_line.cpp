// Table-driven command lines: reading, usage text, version.
#include "tools/common/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#ifndef VT_VERSION
#error "VT_VERSION must be defined by the build (the project's version)"
#endif

namespace vt::cli {
namespace {

const Option kHelp{"--help", "", "print this text and exit", nullptr};
const Option kVersion{"--version", "", "print the version and exit", nullptr};

// The option texts start in this column unless a name is too long for it,
// and wrap at this width.
constexpr size_t kMaxColumn = 26;
constexpr size_t kWidth = 79;

const Option* Find(const Program& program, const std::string& name) {
    for (const Option& option : program.options) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

std::string Shown(const std::string& value) { return value.empty() ? "\"\"" : value; }

Outcome Fail(std::string error) { return {Action::Fail, std::move(error)}; }

}  // namespace

Outcome Parse(const Program& program, int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return {Action::Help, {}};
        if (arg == "--version") return {Action::Version, {}};
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            return Fail(arg.size() > 1 && arg[0] == '-' ? "unknown option: " + arg : "unexpected argument: " + arg);
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const Option* option = Find(program, name);
        if (!option) return Fail("unknown option: " + name);
        std::string value;
        if (option->value.empty()) {
            if (equals != std::string::npos) return Fail(name + " takes no value");
        } else if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return Fail("missing value after " + name);
        }
        std::string reason;
        if (option->take && !option->take(value, reason)) {
            if (reason.empty()) reason = "not accepted";
            return Fail(option->value.empty() ? name + ": " + reason : name + " " + Shown(value) + ": " + reason);
        }
    }
    return {Action::Run, {}};
}

std::string Usage(const Program& program) {
    std::vector<const Option*> all;
    for (const Option& option : program.options) all.push_back(&option);
    all.push_back(&kHelp);
    all.push_back(&kVersion);

    auto head = [](const Option& o) { return "  " + o.name + (o.value.empty() ? "" : " " + o.value); };
    size_t column = 0;
    for (const Option* o : all) {
        const size_t width = head(*o).size() + 2;
        if (width <= kMaxColumn) column = std::max(column, width);
    }

    std::string text = "usage: " + program.name + " [OPTION]...\n" + program.summary + "\n\n";
    for (const Option* o : all) {
        std::string line = head(*o);
        if (line.size() + 2 > column) {
            text += line + "\n";
            line.clear();
        }
        // The help's words, wrapped to the width, each line from the column.
        bool empty = true;
        size_t start = 0;
        while (start < o->help.size()) {
            const size_t space = o->help.find(' ', start);
            const size_t end = space == std::string::npos ? o->help.size() : space;
            const std::string word = o->help.substr(start, end - start);
            start = end + 1;
            if (word.empty()) continue;
            if (!empty && line.size() + 1 + word.size() > kWidth) {
                text += line + "\n";
                line.clear();
                empty = true;
            }
            if (empty) {
                line.resize(column, ' ');
                line += word;
                empty = false;
            } else {
                line += " " + word;
            }
        }
        text += line + "\n";
    }
    return text;
}

const char* Version() { return VT_VERSION; }

std::string VersionLine(const Program& program) { return program.name + " " + Version(); }

int Finish(const Program& program, const Outcome& outcome) {
    switch (outcome.action) {
    case Action::Help:
        std::fputs(Usage(program).c_str(), stdout);
        return 0;
    case Action::Version:
        std::printf("%s\n", VersionLine(program).c_str());
        return 0;
    case Action::Fail:
        std::fprintf(stderr, "%s: %s\n%s", program.name.c_str(), outcome.error.c_str(), Usage(program).c_str());
        return kUsageError;
    case Action::Run:
        break;
    }
    return 0;
}

Take Store(std::string& target) {
    return [&target](const std::string& value, std::string& error) {
        if (value.empty()) {
            error = "must not be empty";
            return false;
        }
        target = value;
        return true;
    };
}

Take Set(bool& target, bool value) {
    return [&target, value](const std::string&, std::string&) {
        target = value;
        return true;
    };
}

const char* const kSamplesHelp = "antialias with N samples a pixel: 2, 4 or 8; 0 or 1 is off (the default)";

Take Samples(int& target) {
    return [&target](const std::string& value, std::string& error) {
        int n = 0;
        if (ReadCount(value, 8, n) && (n <= 2 || n == 4 || n == 8)) {
            target = n <= 1 ? 0 : n;
            return true;
        }
        error = "not 0, 1, 2, 4 or 8";
        return false;
    };
}

bool ReadNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(begin, &end);
    if (errno != 0 || end != begin + text.size() || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

bool ReadCount(const std::string& text, int max, int& value) {
    if (text.empty() || text.size() > 9) return false;
    int parsed = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        parsed = parsed * 10 + (c - '0');
    }
    if (parsed > max) return false;
    value = parsed;
    return true;
}

}  // namespace vt::cli
