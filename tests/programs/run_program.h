// Runs a program to its end through the shell and keeps what it wrote on
// stdout and on stderr apart.
//
//   Outputs run = RunProgram("env -u DISPLAY " + exe + " --help");
//   EXPECT_EQ(run.status, 0);  EXPECT_EQ(run.err, "");
#pragma once

#include <string>

namespace vt::test {

struct Outputs {
    int status = -1;  // exit code; -1 when it did not exit normally
    std::string out, err;
};

// `command` is a shell command line; it runs in `workDir` when one is given.
Outputs RunProgram(const std::string& command, const std::string& workDir = "");

}  // namespace vt::test
