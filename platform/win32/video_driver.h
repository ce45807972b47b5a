// Which of SDL's video drivers are worth trying. libwayland finds its server
// through WAYLAND_SOCKET, an absolute WAYLAND_DISPLAY or XDG_RUNTIME_DIR; with
// none of them, trying Wayland cannot succeed and only prints "XDG_RUNTIME_DIR
// is invalid or not set in the environment." on the terminal.
//
//   std::string list = vt::win32::VideoDriversToTry(compiled, env...);
//   if (!list.empty()) SDL_SetHint(SDL_HINT_VIDEODRIVER, list.c_str());
#pragma once

#include <string>
#include <vector>

namespace vt::win32 {

// The drivers to try, in SDL's order, as its hint takes them ("x11,KMSDRM,
// offscreen"), or "" to leave SDL's own choice alone. `compiled` is SDL's
// list of drivers; the rest are the environment's values (null when unset).
// Drivers SDL uses only when named (dummy, evdev) are never named here.
std::string VideoDriversToTry(const std::vector<std::string>& compiled, const char* xdgRuntimeDir,
                              const char* waylandDisplay, const char* waylandSocket);

// Applies the above to SDL unless the user chose a driver (SDL_VIDEODRIVER).
void ChooseVideoDrivers();

}  // namespace vt::win32
