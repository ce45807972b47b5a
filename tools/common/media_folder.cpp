// Finding the media folder.
#include "tools/common/media_folder.h"

#include <unistd.h>

#include <system_error>

// The installed media relative to the installed executables; the build sets
// it from its install folders.
#ifndef VT_MEDIA_FROM_BIN
#define VT_MEDIA_FROM_BIN "../share/vantorel"
#endif

namespace fs = std::filesystem;

namespace vt::cli {

bool HoldsMedia(const fs::path& dir) {
    std::error_code ec;
    return fs::is_directory(dir / "data" / "bitmaps", ec) || fs::is_regular_file(dir / "intro.mp3", ec);
}

std::vector<fs::path> MediaFoldersBeside(const fs::path& exeDir) {
    if (exeDir.empty()) return {};
    return {(exeDir / VT_MEDIA_FROM_BIN).lexically_normal(), exeDir / "media"};
}

fs::path FindMediaFolder(const fs::path& workDir, const fs::path& exeDir) {
    if (HoldsMedia(workDir)) return workDir;
    for (const fs::path& dir : MediaFoldersBeside(exeDir)) {
        if (HoldsMedia(dir)) return dir;
    }
    return workDir;
}

fs::path ExecutableDir() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

bool EnterMediaFolder(const std::string& asked, std::string& error) {
    fs::path dir = asked;
    if (asked.empty()) {
        std::error_code ec;
        const fs::path work = fs::current_path(ec);
        dir = FindMediaFolder(work, ExecutableDir());
        if (dir == work) return true;  // staying where we are
    }
    if (::chdir(dir.c_str()) != 0) {
        error = "cannot enter media folder " + dir.string();
        return false;
    }
    return true;
}

}  // namespace vt::cli
