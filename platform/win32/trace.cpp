// Start-up trace: one stderr line per step, opt-in through VANTOREL_TRACE.
#include "platform/win32/trace.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

namespace vt::win32 {
namespace {

struct TraceState {
    std::mutex mutex;
    bool forced = false;
    bool forcedOn = false;
    std::function<void(const std::string&)> sink;
    std::set<std::string> printed;
};

TraceState& State() {
    static TraceState state;
    return state;
}

bool EnvironmentAsksForTrace() {
    static const bool on = [] {
        const char* v = std::getenv("VANTOREL_TRACE");
        return v && *v && std::strcmp(v, "0") != 0;
    }();
    return on;
}

double BootMilliseconds() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The process's start in milliseconds since boot, from /proc/self/stat
// (field 22, in clock ticks); negative when it cannot be read.
double ProcessStartBootMilliseconds() {
    std::ifstream in("/proc/self/stat");
    std::string line;
    if (!std::getline(in, line)) return -1.0;
    // The command name may hold spaces and parentheses: fields resume after the last ')'.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return -1.0;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22; ++i) {
        if (!(fields >> field)) return -1.0;
    }
    const long ticks = sysconf(_SC_CLK_TCK);
    if (ticks <= 0) return -1.0;
    return std::strtod(field.c_str(), nullptr) * 1000.0 / static_cast<double>(ticks);
}

}  // namespace

double MillisecondsSinceProcessStart() {
    static const double start = [] {
        const double s = ProcessStartBootMilliseconds();
        return s >= 0.0 ? s : BootMilliseconds();  // without /proc: from the first call
    }();
    const double ms = BootMilliseconds() - start;
    return ms > 0.0 ? ms : 0.0;
}

bool TraceEnabled() {
    TraceState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.forced ? s.forcedOn : EnvironmentAsksForTrace();
}

void TraceStep(const std::string& step) {
    if (!TraceEnabled()) return;
    TraceState& s = State();
    std::function<void(const std::string&)> sink;
    char line[256];
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.printed.insert(step).second) return;
        std::snprintf(line, sizeof(line), "vantorel: %.0f ms: %s", MillisecondsSinceProcessStart(), step.c_str());
        sink = s.sink;
    }
    if (sink) {
        sink(line);
    } else {
        std::fprintf(stderr, "%s\n", line);
        std::fflush(stderr);
    }
}

void SetTraceForTest(bool enabled, std::function<void(const std::string& line)> sink) {
    TraceState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.forced = true;
    s.forcedOn = enabled;
    s.sink = std::move(sink);
}

void ResetTrace() {
    TraceState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.forced = false;
    s.forcedOn = false;
    s.sink = nullptr;
    s.printed.clear();
}

}  // namespace vt::win32
