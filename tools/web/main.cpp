// The show in the browser. The page loads this program with the media set
// (a data package mounted at /), then calls vt_web_start from its start
// button. The program drives the show as the capture tool does: StartUp,
// then one step per animation frame (the window's messages as the show's
// own loop handles them, then RenderFrame) until WM_QUIT or a failed frame,
// then ShutDown; the page is told and shows its start page again.
//
// With a virtual clock (the page's ?at=T&fps=F) the frames are those of
// `vantorel-capture --fps F --at T`: frame k at show time k / F up to T, the
// sound layer on the same clock; the frame at T stays on the canvas.
#include <emscripten/emscripten.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "base/shared.h"
#include "platform/d3d8/host.h"
#include "platform/fmod/host.h"
#include "platform/win32/host.h"
#include "shell/app.h"
#include "show/show_clock.h"
#include "tools/capture/options.h"

namespace {

// Virtual-clock frames run back to back, handing the page back its thread
// about this often so that it stays responsive.
constexpr double kSliceMs = 40.0;

struct Run {
    bool active = false;
    bool virtualClock = false;
    std::vector<vt::capture::FrameTime> frames;
    size_t next = 0;
};

Run g_run;

// clang-format off
EM_JS(void, NotifyPage, (const char* what, int code), {
    var f = Module.vtOnShow;
    if (typeof f === "function") f(UTF8ToString(what), code);
});
// clang-format on

void Finish(int code) {
    emscripten_cancel_main_loop();
    ShutDown();
    vt::win32::Shutdown();
    g_run = Run{};
    NotifyPage("ended", code);
}

// The show's own loop, one turn: every waiting message, then a frame.
void RealTimeStep() {
    MSG msg = {};
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            Finish(0);
            return;
        }
        if (TranslateAcceleratorA(g_hWnd, g_hAccel, &msg) == 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (FAILED(RenderFrame())) Finish(0);
}

void VirtualStep() {
    const auto start = std::chrono::steady_clock::now();
    while (g_run.next < g_run.frames.size()) {
        const vt::capture::FrameTime frame = g_run.frames[g_run.next++];
        vt::win32::SetClockSeconds(frame.t);
        vt::fmod::AdvanceVirtualPlayback();
        if (FAILED(RenderFrame())) {
            Finish(1);  // the show ended before the time asked for
            return;
        }
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (ms >= kSliceMs) return;
    }
    // The last frame is on the canvas: hold it, with the show still loaded.
    emscripten_cancel_main_loop();
    NotifyPage("held", 0);
}

void Step() {
    if (!g_run.active) return;
    if (g_run.virtualClock)
        VirtualStep();
    else
        RealTimeStep();
}

}  // namespace

// Starts the show. `at` < 0: in real time with sound; else on the virtual
// clock at `fps` frames a second up to show time `at`. 0 when it runs, 1
// when StartUp failed (its message has been shown), 2 when the arguments
// are refused.
extern "C" EMSCRIPTEN_KEEPALIVE int vt_web_start(double at, double fps) {
    if (g_run.active) return 2;
    Run run;
    run.virtualClock = at >= 0.0;
    if (run.virtualClock) {
        if (!(fps > 0.0) || at >= SHOW_END) return 2;
        vt::capture::Options options;
        options.fps = fps;
        options.at = {at};
        run.frames = vt::capture::Schedule(options, vt::capture::StopTime(options, SHOW_END));
    }
    if (chdir("/") != 0) return 2;  // the media set's root

    vt::win32::SetHeadless(false);
    vt::win32::SetManualClock(run.virtualClock);
    vt::win32::SetClockSeconds(0.0);
    vt::fmod::SetVirtualTime(run.virtualClock);
    vt::d3d8::SetPresentMode(vt::d3d8::PresentMode::Window);
    vt::d3d8::SetWarmUp(true);
    vt::d3d8::SetRenderScaleAuto();

    if (FAILED(StartUp())) {
        ShutDown();
        vt::win32::Shutdown();
        return 1;
    }
    run.active = true;
    g_run = run;
    NotifyPage("playing", 0);
    emscripten_set_main_loop(Step, 0, 0);
    return 0;
}

// Ends a held show (the page leaves the held frame).
extern "C" EMSCRIPTEN_KEEPALIVE void vt_web_release() {
    if (g_run.active && g_run.virtualClock && g_run.next >= g_run.frames.size()) Finish(0);
}

// The scale the show's device draws at (its back buffer is the picture
// times that); 0 while no show runs.
extern "C" EMSCRIPTEN_KEEPALIVE double vt_web_render_scale() {
    return g_run.active && g_pd3dDevice ? double(vt::d3d8::GetRenderScale(g_pd3dDevice)) : 0.0;
}

int main() {
    // The page starts the show; main returns with the runtime kept alive.
    return 0;
}
