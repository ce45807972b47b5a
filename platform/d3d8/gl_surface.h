// What the OpenGL device needs from the window system it draws through:
// a GL context on a window (or a hidden one of its own), swapping, sizes,
// the pointer. One implementation per window system (gl_surface_sdl.cpp
// for SDL2); the rest of the device sees only this header.
//
//   if (!OpenWindowSystem()) return nullptr;       // once per adapter object
//   std::string why;
//   auto ctx = GlWindowContext::Create(hwnd, GlApi::Desktop, why);
//   ctx->MakeCurrent(); ... ctx->Swap();
//   ctx.reset();                                   // context, own window gone
//   CloseWindowSystem();
#pragma once

#include <memory>
#include <string>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/host.h"

namespace vt::d3d8 {

struct DisplayMode {
    int width = 0, height = 0;
    int refreshRate = 0;  // 0 when the system does not say
};

// Starts the window system's video side and loads its GL library; false
// when there is none. Each successful call is matched by CloseWindowSystem.
bool OpenWindowSystem();
void CloseWindowSystem();

// The primary display's desktop mode; false when it cannot be had.
bool PrimaryDisplayMode(DisplayMode& mode);

// Whether a window handle names a window the device can draw on, and its
// client size in window units.
bool FindWindow(HWND hwnd, int& width, int& height);

class GlWindowContext {
public:
    // A context of `api` on the window behind hwnd, or on a hidden window of
    // its own when hwnd is null; null with the reason in `error` on failure.
    // The default framebuffer needs no depth, stencil or samples, and its
    // alpha is never shown: Present may blit the back buffer into it, which
    // ES (WebGL 2) refuses into a multisampled one, and which copies the back
    // buffer's alpha (so a page must not blend the canvas by it).
    static std::unique_ptr<GlWindowContext> Create(HWND hwnd, GlApi api, std::string& error);
    ~GlWindowContext();
    GlWindowContext(const GlWindowContext&) = delete;
    GlWindowContext& operator=(const GlWindowContext&) = delete;

    GlApi Api() const;
    bool OwnsWindow() const;
    void MakeCurrent();  // cheap when it already is
    void SetVsync(bool on);
    void SetFullscreen();  // the window covers its display (not for a hidden own window)
    void Swap();
    void DrawableSize(int& width, int& height) const;  // pixels of the default framebuffer
    // The desktop mode of the display the window is on; false when unknown.
    bool WindowDisplayMode(DisplayMode& mode) const;
    // The name of what draws, as precise as the system tells it (a browser
    // masks GL_RENDERER unless asked for the real one); empty when unknown.
    // The context must be current.
    std::string RendererName() const;

private:
    struct Impl;
    explicit GlWindowContext(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Shows or hides the pointer over the program's windows; returns whether it
// was shown before.
bool ShowPointer(bool show);

}  // namespace vt::d3d8
