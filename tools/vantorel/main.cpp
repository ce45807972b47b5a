// The program's entry: reads the command line, starts in the media folder,
// sets the platform layers up as asked, hands over to the show's WinMain and
// tidies SDL up afterwards. Subsystems (video, audio) are started by the
// layers that use them.
#include <SDL.h>

#include <cstdio>
#include <string>

#include "platform/d3d8/host.h"
#include "platform/fmod/host.h"
#include "platform/win32/host.h"
#include "tools/common/media_folder.h"
#include "tools/vantorel/options.h"

int main(int argc, char** argv) {
    vt::program::Options options;
    const vt::cli::Program program = vt::program::MakeProgram(options);
    const vt::cli::Outcome outcome = vt::cli::Parse(program, argc, argv);
    if (outcome.action != vt::cli::Action::Run) return vt::cli::Finish(program, outcome);

    std::string error;
    if (!vt::cli::EnterMediaFolder(options.mediaDir, error)) {
        std::fprintf(stderr, "vantorel: %s\n", error.c_str());
        return 1;
    }

    SDL_SetMainReady();
    SDL_Init(0);
    if (options.display != 0) {
        const int displays = vt::win32::DisplayCount();
        if (options.display >= displays) {
            std::fprintf(stderr, "vantorel: --display %d: there %s %d display%s\n", options.display,
                         displays == 1 ? "is" : "are", displays, displays == 1 ? "" : "s");
            vt::win32::Shutdown();
            SDL_Quit();
            return vt::cli::kUsageError;
        }
    }
    vt::win32::SetWindowPlacement({options.display, options.windowed});
    vt::fmod::SetSilentOutput(!options.sound);
    // The driver's code for every draw the show makes is built while the
    // loading picture is up, not at a scene's first frame.
    vt::d3d8::SetWarmUp(true);
    if (options.scale > 0.0f)
        vt::d3d8::SetRenderScale(options.scale);
    else
        vt::d3d8::SetRenderScaleAuto();
    vt::d3d8::SetMultisample(options.msaa);
    char commandLine[] = "";
    const int result = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
    vt::win32::Shutdown();
    SDL_Quit();
    return result;
}
