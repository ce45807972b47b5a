// The device's window-system side on SDL2: contexts on the window layer's
// SDL windows, or on a hidden window for devices without one.
#include <SDL2/SDL.h>

#include "platform/d3d8/gl_common.h"
#include "platform/d3d8/gl_surface.h"
#include "platform/win32/host.h"

namespace vt::d3d8 {

bool OpenWindowSystem() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    if (SDL_GL_LoadLibrary(nullptr) != 0) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    return true;
}

void CloseWindowSystem() {
    SDL_GL_UnloadLibrary();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool PrimaryDisplayMode(DisplayMode& mode) {
    SDL_DisplayMode dm{};
    if (SDL_GetDesktopDisplayMode(0, &dm) != 0) return false;
    mode = {dm.w, dm.h, dm.refresh_rate};
    return true;
}

bool FindWindow(HWND hwnd, int& width, int& height) {
    SDL_Window* window = vt::win32::GetSdlWindow(hwnd);
    if (!window) return false;
    SDL_GetWindowSize(window, &width, &height);
    return true;
}

struct GlWindowContext::Impl {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool ownWindow = false;
    GlApi api = GlApi::Desktop;
};

GlWindowContext::GlWindowContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<GlWindowContext> GlWindowContext::Create(HWND hwnd, GlApi api, std::string& error) {
    auto impl = std::make_unique<Impl>();
    impl->api = api;
    if (hwnd) {
        impl->window = vt::win32::GetSdlWindow(hwnd);
        if (!impl->window) {
            error = "no window behind the handle";
            return nullptr;
        }
    } else {
        impl->window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!impl->window) {
            error = SDL_GetError();
            return nullptr;
        }
        impl->ownWindow = true;
    }
    const bool es = api == GlApi::Es;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, es ? 0 : 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, es ? SDL_GL_CONTEXT_PROFILE_ES : SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    impl->context = SDL_GL_CreateContext(impl->window);
    if (!impl->context) {
        error = SDL_GetError();
        if (impl->ownWindow) SDL_DestroyWindow(impl->window);
        return nullptr;
    }
    return std::unique_ptr<GlWindowContext>(new GlWindowContext(std::move(impl)));
}

GlWindowContext::~GlWindowContext() {
    SDL_GL_MakeCurrent(impl_->window, nullptr);
    SDL_GL_DeleteContext(impl_->context);
    if (impl_->ownWindow) SDL_DestroyWindow(impl_->window);
}

GlApi GlWindowContext::Api() const { return impl_->api; }

bool GlWindowContext::OwnsWindow() const { return impl_->ownWindow; }

void GlWindowContext::MakeCurrent() {
    if (SDL_GL_GetCurrentContext() != impl_->context) SDL_GL_MakeCurrent(impl_->window, impl_->context);
}

void GlWindowContext::SetVsync(bool on) { SDL_GL_SetSwapInterval(on ? 1 : 0); }

void GlWindowContext::SetFullscreen() {
    if (!impl_->ownWindow) SDL_SetWindowFullscreen(impl_->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void GlWindowContext::Swap() { SDL_GL_SwapWindow(impl_->window); }

void GlWindowContext::DrawableSize(int& width, int& height) const {
    SDL_GL_GetDrawableSize(impl_->window, &width, &height);
}

bool GlWindowContext::WindowDisplayMode(DisplayMode& mode) const {
    SDL_DisplayMode dm{};
    const int display = SDL_GetWindowDisplayIndex(impl_->window);
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &dm) != 0) return false;
    mode = {dm.w, dm.h, dm.refresh_rate};
    return true;
}

std::string GlWindowContext::RendererName() const {
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return name ? name : "";
}

bool ShowPointer(bool show) {
    const int before = SDL_ShowCursor(SDL_QUERY);
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    return before == SDL_ENABLE;
}

}  // namespace vt::d3d8
