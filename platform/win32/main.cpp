// The program's entry: hands over to the show's WinMain and tidies SDL up
// afterwards. Subsystems (video, audio) are started by the layers that use
// them.
#include <SDL.h>

#include "platform/d3d8/host.h"
#include "platform/win32/host.h"

int main(int, char**) {
    SDL_SetMainReady();
    SDL_Init(0);
    // The driver's code for every draw the show makes is built while the
    // loading picture is up, not at a scene's first frame.
    vt::d3d8::SetWarmUp(true);
    char commandLine[] = "";
    const int result = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
    vt::win32::Shutdown();
    SDL_Quit();
    return result;
}
