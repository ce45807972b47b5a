// Which of SDL's video drivers are worth trying.
#include "platform/win32/video_driver.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace vt::win32 {
namespace {

bool Absolute(const char* path) { return path && path[0] == '/'; }

bool Named(const std::string& driver, const char* name) { return SDL_strcasecmp(driver.c_str(), name) == 0; }

}  // namespace

std::string VideoDriversToTry(const std::vector<std::string>& compiled, const char* xdgRuntimeDir,
                              const char* waylandDisplay, const char* waylandSocket) {
    const bool waylandReachable =
        (waylandSocket && *waylandSocket) || Absolute(waylandDisplay) || Absolute(xdgRuntimeDir);
    if (waylandReachable) return "";
    std::string list;
    for (const std::string& driver : compiled) {
        if (Named(driver, "wayland") || Named(driver, "dummy") || Named(driver, "evdev")) continue;
        if (!list.empty()) list += ',';
        list += driver;
    }
    return list;
}

void ChooseVideoDrivers() {
    // Decided afresh each time video starts: the environment may have changed.
    static bool ours = false;
    if (ours) ours = !SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    if ((asked && *asked) || SDL_GetHint(SDL_HINT_VIDEODRIVER)) return;
    std::vector<std::string> compiled;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) compiled.emplace_back(SDL_GetVideoDriver(i));
    const std::string list = VideoDriversToTry(compiled, std::getenv("XDG_RUNTIME_DIR"), std::getenv("WAYLAND_DISPLAY"),
                                               std::getenv("WAYLAND_SOCKET"));
    if (!list.empty()) ours = SDL_SetHint(SDL_HINT_VIDEODRIVER, list.c_str());
}

}  // namespace vt::win32
