// Running a program with stdout and stderr kept apart.
#include "tests/programs/run_program.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace vt::test {
namespace {

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

Outputs RunProgram(const std::string& command, const std::string& workDir) {
    TempDir files("run");
    const std::string out = (files / "out").string(), err = (files / "err").string();
    std::string line = "(" + command + ") >'" + out + "' 2>'" + err + "' </dev/null";
    if (!workDir.empty()) line = "cd '" + workDir + "' && " + line;
    const int status = std::system(line.c_str());
    Outputs run;
    run.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Read(out);
    run.err = Read(err);
    return run;
}

}  // namespace vt::test
