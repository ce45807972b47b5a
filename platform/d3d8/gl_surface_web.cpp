// The device's window-system side in the browser: a WebGL 2 context on the
// page's canvas (#screen), which is every window of the window layer.
//
// The page sizes the canvas: its box is the picture letterboxed into the
// page, its drawing buffer that box at the display's pixel ratio. The
// "display" a device sizes its internal scale for is the page's viewport in
// device pixels. The browser shows what was drawn once the program returns
// to it, so swapping and vsync are the browser's own business.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cmath>

#include "platform/d3d8/gl_common.h"
#include "platform/d3d8/gl_surface.h"
#include "platform/win32/win32.h"

namespace vt::d3d8 {
namespace {

constexpr const char* kCanvas = "#screen";

// clang-format off
EM_JS(int, ViewportDevicePixels, (int* width, int* height), {
    var ratio = window.devicePixelRatio || 1;
    HEAP32[width >> 2] = Math.round(window.innerWidth * ratio);
    HEAP32[height >> 2] = Math.round(window.innerHeight * ratio);
    return window.innerWidth > 0 && window.innerHeight > 0 ? 1 : 0;
});

EM_JS(int, SetCanvasCursor, (int show), {
    var c = document.querySelector("#screen");
    if (!c) return 1;
    var before = c.style.cursor !== "none";
    c.style.cursor = show ? "" : "none";
    return before ? 1 : 0;
});
// clang-format on

}  // namespace

bool OpenWindowSystem() { return true; }

void CloseWindowSystem() {}

bool PrimaryDisplayMode(DisplayMode& mode) {
    int width = 0, height = 0;
    if (!ViewportDevicePixels(&width, &height)) return false;
    mode = {width, height, 0};
    return true;
}

bool FindWindow(HWND hwnd, int& width, int& height) {
    if (!hwnd || hwnd == GetDesktopWindow() || !IsWindow(hwnd)) return false;
    double cssWidth = 0.0, cssHeight = 0.0;
    if (emscripten_get_element_css_size(kCanvas, &cssWidth, &cssHeight) != EMSCRIPTEN_RESULT_SUCCESS) return false;
    width = static_cast<int>(std::lround(cssWidth));
    height = static_cast<int>(std::lround(cssHeight));
    return true;
}

struct GlWindowContext::Impl {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
    GlApi api = GlApi::Es;
};

GlWindowContext::GlWindowContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<GlWindowContext> GlWindowContext::Create(HWND hwnd, GlApi api, std::string& error) {
    if (api != GlApi::Es) {
        error = "the browser offers OpenGL ES 3.0 (WebGL 2) only";
        return nullptr;
    }
    if (!hwnd) {
        error = "the browser has no hidden windows";
        return nullptr;
    }
    EmscriptenWebGLContextAttributes attrs;
    emscripten_webgl_init_context_attributes(&attrs);
    attrs.majorVersion = 2;
    attrs.minorVersion = 0;
    // The device draws into framebuffers of its own and copies the picture
    // to the canvas: the canvas needs no depth, stencil or samples.
    attrs.alpha = EM_FALSE;
    attrs.depth = EM_FALSE;
    attrs.stencil = EM_FALSE;
    attrs.antialias = EM_FALSE;
    attrs.premultipliedAlpha = EM_FALSE;
    // A held frame stays on the canvas for whoever looks at the page later.
    attrs.preserveDrawingBuffer = EM_TRUE;
    attrs.powerPreference = EM_WEBGL_POWER_PREFERENCE_HIGH_PERFORMANCE;
    attrs.failIfMajorPerformanceCaveat = EM_FALSE;
    auto impl = std::make_unique<Impl>();
    impl->api = api;
    impl->context = emscripten_webgl_create_context(kCanvas, &attrs);
    if (impl->context <= 0) {
        error = "the browser refused a WebGL 2 context";
        return nullptr;
    }
    return std::unique_ptr<GlWindowContext>(new GlWindowContext(std::move(impl)));
}

GlWindowContext::~GlWindowContext() {
    if (emscripten_webgl_get_current_context() == impl_->context) emscripten_webgl_make_context_current(0);
    emscripten_webgl_destroy_context(impl_->context);
}

GlApi GlWindowContext::Api() const { return impl_->api; }

bool GlWindowContext::OwnsWindow() const { return false; }

void GlWindowContext::MakeCurrent() {
    if (emscripten_webgl_get_current_context() != impl_->context)
        emscripten_webgl_make_context_current(impl_->context);
}

void GlWindowContext::SetVsync(bool) {}

// The page goes full screen on the click that starts the show.
void GlWindowContext::SetFullscreen() {}

void GlWindowContext::Swap() {}

void GlWindowContext::DrawableSize(int& width, int& height) const {
    if (emscripten_get_canvas_element_size(kCanvas, &width, &height) != EMSCRIPTEN_RESULT_SUCCESS) width = height = 0;
}

bool GlWindowContext::WindowDisplayMode(DisplayMode& mode) const { return PrimaryDisplayMode(mode); }

// WebGL's GL_RENDERER says only "WebKit WebGL" or the like; the debug
// extension, where the browser offers it, names the real renderer
// (SwiftShader, llvmpipe, a card), which decides the internal scale.
std::string GlWindowContext::RendererName() const {
    constexpr GLenum kUnmaskedRenderer = 0x9246;  // UNMASKED_RENDERER_WEBGL
    if (emscripten_webgl_enable_extension(impl_->context, "WEBGL_debug_renderer_info")) {
        const auto* name = reinterpret_cast<const char*>(glGetString(kUnmaskedRenderer));
        if (name && *name) return name;
    }
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return name ? name : "";
}

bool ShowPointer(bool show) { return SetCanvasCursor(show ? 1 : 0) != 0; }

}  // namespace vt::d3d8
