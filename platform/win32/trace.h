// Start-up trace of the platform layers: with VANTOREL_TRACE=1 in the
// environment, each start-up step prints one line on stderr, the first time
// it happens, with the milliseconds since the process started:
//
//   vantorel: 231 ms: window created
//
// Without the variable nothing is printed. Only the platform layers trace;
// the show's own code never does.
#pragma once

#include <functional>
#include <string>

namespace vt::win32 {

// True when VANTOREL_TRACE is set to something other than "" or "0" (read
// once), or when a test turned tracing on.
bool TraceEnabled();

// Prints "vantorel: <ms> ms: <step>" once per distinct step.
void TraceStep(const std::string& step);

// Milliseconds since the process started (from the kernel's start time,
// so it includes loading the program and its libraries).
double MillisecondsSinceProcessStart();

// Tests: force tracing on or off, send lines to `sink` instead of stderr (an
// empty function restores stderr), and forget which steps were printed.
void SetTraceForTest(bool enabled, std::function<void(const std::string& line)> sink);
void ResetTrace();

}  // namespace vt::win32
