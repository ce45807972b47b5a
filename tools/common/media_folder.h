// Which folder the programs read the media from. The show reads its files
// relative to the working directory, so the programs start it in the folder
// that holds them:
//
//   1. the folder named with --media, when given;
//   2. the working directory, when it holds media (data/bitmaps or the music);
//   3. the installed set relative to the executable (bin/../share/vantorel),
//      so that a package unpacked under any prefix finds its own;
//   4. a build tree's media folder beside the executable;
//   5. otherwise the working directory, where the show reports what is missing.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vt::cli {

// True when `dir` holds a data/bitmaps folder or intro.mp3 (a bare "data"
// folder is too common a name to go by: a home folder may have one).
bool HoldsMedia(const std::filesystem::path& dir);

// Steps 2 to 5 above for a program in `exeDir`, started in `workDir`.
std::filesystem::path FindMediaFolder(const std::filesystem::path& workDir, const std::filesystem::path& exeDir);

// The folders FindMediaFolder tries after the working directory, in order.
std::vector<std::filesystem::path> MediaFoldersBeside(const std::filesystem::path& exeDir);

// The folder of the running executable (symbolic links resolved); empty when
// it cannot be read.
std::filesystem::path ExecutableDir();

// Makes the media folder the working directory: `asked` (from --media) when
// not empty, else what FindMediaFolder finds. False, with `error` set, when
// the asked folder cannot be entered.
bool EnterMediaFolder(const std::string& asked, std::string& error);

}  // namespace vt::cli
