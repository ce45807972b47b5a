// Entry of the Direct3D 8 layer on OpenGL: Direct3DCreate8, the adapter
// object, device creation and destruction, and the host-side controls.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/d3d8/gl_device.h"
#include "platform/d3d8/host.h"
#include "platform/win32/trace.h"

namespace vt::d3d8 {

namespace {

PresentMode g_presentMode = PresentMode::Window;
bool g_warmUp = false;
bool g_recordVariants = false;
float g_renderScale = 1.0f;
bool g_renderScaleAuto = false;
int g_multisample = 0;
bool g_profileDraws = false;
bool g_glApiSet = false;
GlApi g_glApi = GlApi::Desktop;

// The API for the next device: the web has only ES; natively what was set,
// else what the environment asks for.
GlApi ChosenGlApi() {
#ifdef __EMSCRIPTEN__
    return GlApi::Es;
#else
    if (!g_glApiSet) {
        const char* env = std::getenv("VT_GL_API");
        g_glApi = env && std::strcmp(env, "es") == 0 ? GlApi::Es : GlApi::Desktop;
        g_glApiSet = true;
    }
    return g_glApi;
#endif
}

bool ValidDepthFormat(D3DFORMAT f) { return f == D3DFMT_D16 || f == D3DFMT_D16_LOCKABLE || f == D3DFMT_D24S8; }

}  // namespace

void SetPresentMode(PresentMode mode) { g_presentMode = mode; }
void SetWarmUp(bool on) { g_warmUp = on; }
void SetVariantRecording(bool on) { g_recordVariants = on; }
void SetDrawProfiling(bool on) { g_profileDraws = on; }

void SetGlApi(GlApi api) {
    g_glApi = api;
    g_glApiSet = true;
}

GlApi GetGlApi(IDirect3DDevice8* device) {
    auto* d = dynamic_cast<GlDevice*>(device);
    return d ? d->Api() : GlApi::Desktop;
}

std::vector<DrawCost> TakeDrawCosts(IDirect3DDevice8* device) {
    auto* d = dynamic_cast<GlDevice*>(device);
    return d ? d->TakeDrawCosts() : std::vector<DrawCost>{};
}

void SetRenderScale(float k) {
    g_renderScale = std::isnan(k) ? 1.0f : std::clamp(k, 1.0f, 8.0f);
    g_renderScaleAuto = false;
}

void SetRenderScaleAuto() { g_renderScaleAuto = true; }

float GetRenderScale(IDirect3DDevice8* device) {
    auto* d = dynamic_cast<GlDevice*>(device);
    return d ? d->RenderScale() : 1.0f;
}

void SetMultisample(int samples) { g_multisample = samples <= 1 ? 0 : samples < 4 ? 2 : samples < 8 ? 4 : 8; }

int GetMultisample(IDirect3DDevice8* device) {
    auto* d = dynamic_cast<GlDevice*>(device);
    return d ? d->Multisample() : 0;
}

bool IsSoftwareRendererName(const std::string& glRenderer) {
    std::string name = glRenderer;
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "swiftshader"})
        if (name.find(software) != std::string::npos) return true;
    return false;
}

bool IsSoftwareRenderer(IDirect3DDevice8* device) {
    auto* d = dynamic_cast<GlDevice*>(device);
    if (!d) return false;
    return IsSoftwareRendererName(d->RendererName());
}

float ChooseAutoScale(int displayWidth, int displayHeight, bool softwareRenderer, int pictureWidth, int pictureHeight) {
    if (softwareRenderer || displayWidth <= 0 || displayHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0)
        return 1.0f;
    const double k = std::min(double(displayWidth) / pictureWidth, double(displayHeight) / pictureHeight);
    return float(std::clamp(k, 1.0, 8.0));
}

std::vector<std::string> RecordedVariants(IDirect3DDevice8* device) {
    auto* d = dynamic_cast<GlDevice*>(device);
    return d ? d->RecordedVariants() : std::vector<std::string>{};
}

DeviceStats GetStats(IDirect3DDevice8* device) {
    auto* d = dynamic_cast<GlDevice*>(device);
    return d ? d->stats : DeviceStats{};
}

HRESULT ReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>& rgb, UINT& width, UINT& height) {
    auto* d = dynamic_cast<GlDevice*>(device);
    return d ? d->ReadBack(false, rgb, width, height) : D3DERR_INVALIDCALL;
}

HRESULT ReadPresentedImage(IDirect3DDevice8* device, std::vector<uint8_t>& rgb, UINT& width, UINT& height) {
    auto* d = dynamic_cast<GlDevice*>(device);
    return d ? d->ReadBack(true, rgb, width, height) : D3DERR_INVALIDCALL;
}

// ---------------------------------------------------------------------------
// Adapter object

GlDirect3D::GlDirect3D() = default;

GlDirect3D::~GlDirect3D() { CloseWindowSystem(); }

ULONG GlDirect3D::Release() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT GlDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* pMode) {
    if (adapter != 0 || !pMode) return D3DERR_INVALIDCALL;
    DisplayMode dm;
    if (!PrimaryDisplayMode(dm)) return D3DERR_NOTAVAILABLE;
    pMode->Width = static_cast<UINT>(dm.width);
    pMode->Height = static_cast<UINT>(dm.height);
    pMode->RefreshRate = dm.refreshRate > 0 ? static_cast<UINT>(dm.refreshRate) : 60;
    pMode->Format = D3DFMT_X8R8G8B8;
    return D3D_OK;
}

HRESULT GlDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND hFocusWindow, DWORD, D3DPRESENT_PARAMETERS* pParams,
                                 IDirect3DDevice8** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    *ppDevice = nullptr;
    if (!pParams || adapter != 0) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    D3DPRESENT_PARAMETERS p = *pParams;

    HWND hwnd = p.hDeviceWindow ? p.hDeviceWindow : hFocusWindow;
    int w = 1, h = 1;
    if (hwnd && !FindWindow(hwnd, w, h)) return D3DERR_INVALIDCALL;  // a handle that names no window

    if (p.Windowed && (p.BackBufferWidth == 0 || p.BackBufferHeight == 0)) {
        if (p.BackBufferWidth == 0) p.BackBufferWidth = static_cast<UINT>(w);
        if (p.BackBufferHeight == 0) p.BackBufferHeight = static_cast<UINT>(h);
    }
    if (p.Windowed && p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = D3DFMT_X8R8G8B8;
    if (p.BackBufferFormat != D3DFMT_A8R8G8B8 && p.BackBufferFormat != D3DFMT_X8R8G8B8) return D3DERR_NOTAVAILABLE;
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0 || p.BackBufferWidth > 4096 || p.BackBufferHeight > 4096)
        return D3DERR_INVALIDCALL;
    if (p.BackBufferCount > 3) return D3DERR_INVALIDCALL;
    if (p.BackBufferCount == 0) p.BackBufferCount = 1;
    if (p.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
    if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
    if (p.EnableAutoDepthStencil && !ValidDepthFormat(p.AutoDepthStencilFormat)) return D3DERR_NOTAVAILABLE;
    if (p.Windowed && p.FullScreen_RefreshRateInHz != 0) return D3DERR_INVALIDCALL;

    std::string why;
    const GlApi api = ChosenGlApi();
    std::unique_ptr<GlWindowContext> context = GlWindowContext::Create(hwnd, api, why);
    if (!context) {
        std::fprintf(stderr, "d3d8: no %s context: %s\n", api == GlApi::Es ? "OpenGL ES 3.0" : "OpenGL 3.3",
                     why.c_str());
        return D3DERR_NOTAVAILABLE;
    }
    const PresentMode mode = g_presentMode;
    context->SetVsync(mode == PresentMode::Window);
    if (!p.Windowed && !context->OwnsWindow() && mode == PresentMode::Window) context->SetFullscreen();

    auto* device = new GlDevice(this, std::move(context), p, mode);
    device->warmUp_ = g_warmUp;
    device->scale_ = g_renderScale;
    device->autoScale_ = g_renderScaleAuto;
    device->samples_ = g_multisample;
    device->variants_.recording = g_recordVariants;
    device->profileDraws_ = g_profileDraws;
    if (!device->Init()) {
        device->Release();
        return D3DERR_NOTAVAILABLE;
    }
    *ppDevice = device;
    vt::win32::TraceStep("device created");
    if (vt::win32::TraceEnabled()) {
        char line[96];
        std::snprintf(line, sizeof(line), "render scale %g, %d samples", double(device->RenderScale()),
                      device->Multisample());
        vt::win32::TraceStep(line);
    }
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Device construction and destruction

GlDevice::GlDevice(GlDirect3D* d3d, std::unique_ptr<GlWindowContext> context, const D3DPRESENT_PARAMETERS& params,
                   PresentMode mode)
    : d3d_(d3d), context_(std::move(context)), params_(params), mode_(mode) {
    d3d_->AddRef();
    for (int i = 0; i < 256; ++i) {
        // Entry i = i: the show multiplies by 255 to reach an identity picture.
        ramp_.red[i] = ramp_.green[i] = ramp_.blue[i] = static_cast<WORD>(i);
        for (int c = 0; c < 3; ++c) presentedLut_[c][i] = static_cast<uint8_t>(i);
    }
}

bool GlDevice::Init() {
    MakeCurrent();
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbufferSize_);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
    const GLint largest = std::min(maxRenderbufferSize_, maxTextureSize_);
    if (GLint(params_.BackBufferWidth) > largest || GLint(params_.BackBufferHeight) > largest) return false;
    if (autoScale_) {
        DisplayMode dm;
        scale_ = context_->WindowDisplayMode(dm)
                     ? ChooseAutoScale(dm.width, dm.height, IsSoftwareRendererName(context_->RendererName()),
                                       int(params_.BackBufferWidth), int(params_.BackBufferHeight))
                     : 1.0f;
    }
    // The scale the back buffer can take, and the samples the driver offers.
    scale_ = std::min(
        {scale_, float(largest) / float(params_.BackBufferWidth), float(largest) / float(params_.BackBufferHeight)});
    scale_ = std::max(scale_, 1.0f);
    if (samples_ > 0) {
        GLint maxSamples = 0;
        glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
        while (samples_ > maxSamples) samples_ /= 2;
        if (samples_ < 2) samples_ = 0;
    }
    const UINT storedWidth = ScaledSize(params_.BackBufferWidth, largest);
    const UINT storedHeight = ScaledSize(params_.BackBufferHeight, largest);
    const GLsizei w = GLsizei(storedWidth), h = GLsizei(storedHeight);

    glGenVertexArrays(1, &vao_);
    glGenVertexArrays(1, &presentVao_);
    glBindVertexArray(vao_);

    D3DSURFACE_DESC bd{};
    bd.Format = params_.BackBufferFormat;
    bd.Type = D3DRTYPE_SURFACE;
    bd.Usage = D3DUSAGE_RENDERTARGET;
    bd.Pool = D3DPOOL_DEFAULT;
    bd.Width = params_.BackBufferWidth;
    bd.Height = params_.BackBufferHeight;
    bd.Size = bd.Width * bd.Height * 4;
    backBuffer_ = std::make_unique<GlSurface>(this, nullptr, GlSurface::Kind::BackBuffer, bd);
    backBuffer_->BindRef();  // owned by the device for its whole life
    backBuffer_->glWidth = storedWidth;
    backBuffer_->glHeight = storedHeight;
    glActiveTexture(GL_TEXTURE0 + 31);
    glGenTextures(1, &backBuffer_->texture);
    backBuffer_->texTarget = GL_TEXTURE_2D;
    glBindTexture(GL_TEXTURE_2D, backBuffer_->texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);

    glGenTextures(1, &presentedTex_);
    glBindTexture(GL_TEXTURE_2D, presentedTex_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    glGenTextures(1, &lutTex_);
    glBindTexture(GL_TEXTURE_2D, lutTex_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 256, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);

    if (params_.EnableAutoDepthStencil) {
        D3DSURFACE_DESC dd = bd;
        dd.Format = params_.AutoDepthStencilFormat;
        dd.Usage = D3DUSAGE_DEPTHSTENCIL;
        dd.Size = bd.Width * bd.Height * (dd.Format == D3DFMT_D24S8 ? 4 : 2);
        depthBuffer_ = std::make_unique<GlSurface>(this, nullptr, GlSurface::Kind::DepthBuffer, dd);
        depthBuffer_->BindRef();
        depthBuffer_->glWidth = storedWidth;
        depthBuffer_->glHeight = storedHeight;
        AllocateDepth(*depthBuffer_);
    }

    auto makeFbo = [](GLuint tex) {
        GLuint f = 0;
        glGenFramebuffers(1, &f);
        glBindFramebuffer(GL_FRAMEBUFFER, f);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
        return f;
    };
    backFbo_ = makeFbo(backBuffer_->texture);
    presentedFbo_ = makeFbo(presentedTex_);
    glGenFramebuffers(1, &fbo_);
    glGenFramebuffers(2, resolveFbo_);

    // The buffer the uniform blocks are written into (every block is dirty
    // until the first draw, which binds each of them).
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &blockAlign_);
    if (blockAlign_ < 1) blockAlign_ = 1;
    glGenBuffers(1, &blockRing_);
    glBindBuffer(GL_UNIFORM_BUFFER, blockRing_);
    glBufferData(GL_UNIFORM_BUFFER, kBlockRingSize, nullptr, GL_STREAM_DRAW);

    shaders_.Build();
    if (!ShaderSet::BuildPresent(presentProgram_)) return false;
    stats.programsBuilt = shaders_.ProgramCount();

    state_.colorTarget = backBuffer_.get();
    backBuffer_->BindRef();
    if (depthBuffer_) {
        state_.depthTarget = depthBuffer_.get();
        depthBuffer_->BindRef();
    }
    SetDefaultState();
    ApplyTarget();
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;

    // Direct3D conventions that differ from GL defaults, set once.
    glFrontFace(GL_CCW);
    if (!GlEs()) {
        // ES takes flat colours from the last vertex (gl_draw.cpp reorders
        // flat draws there) and always takes point sizes from the program.
        glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
        glEnable(GL_PROGRAM_POINT_SIZE);
    }
#ifndef __EMSCRIPTEN__
    // WebGL always restarts at the all-ones index; ES here does the same, so
    // merged draws (gl_batch.cpp) behave alike in both.
    else {
        glEnable(GL_PRIMITIVE_RESTART_FIXED_INDEX);
    }
#endif
    glDisable(GL_DITHER);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);

    // A defined start: black back buffer, far depth.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    GlClearDepth(1.0f);
    glClear(GL_COLOR_BUFFER_BIT | (depthBuffer_ ? GL_DEPTH_BUFFER_BIT : 0));
    MarkTargetDrawn();
    return glGetError() == GL_NO_ERROR;
}

GlDevice::~GlDevice() {
    MakeCurrent();
    // Drop the device's own references; objects only the device held die here.
    for (auto& t : state_.textures) {
        if (t) t->Ref().Unbind();
        t = nullptr;
    }
    if (state_.stream) state_.stream->Unbind();
    if (state_.indices) state_.indices->Unbind();
    state_.stream = nullptr;
    state_.indices = nullptr;
    if (state_.colorTarget) state_.colorTarget->UnbindRef();
    if (state_.depthTarget) state_.depthTarget->UnbindRef();
    state_.colorTarget = state_.depthTarget = nullptr;

    for (auto& kv : samplers_) glDeleteSamplers(1, &kv.second);
    backBuffer_.reset();
    depthBuffer_.reset();
    GLuint fbos[5] = {fbo_, backFbo_, presentedFbo_, resolveFbo_[0], resolveFbo_[1]};
    glDeleteFramebuffers(5, fbos);
    if (wideLineIndices_) glDeleteBuffers(1, &wideLineIndices_);
    GLuint texs[2] = {presentedTex_, lutTex_};
    glDeleteTextures(2, texs);
    GLuint vaos[2] = {vao_, presentVao_};
    glDeleteVertexArrays(2, vaos);
    glDeleteBuffers(1, &blockRing_);
    ReleaseBatchObjects();  // queued draws are dropped: nothing will show them
    shaders_.Release();
    if (presentProgram_.program) glDeleteProgram(presentProgram_.program);

    context_.reset();
    d3d_->Release();
}

ULONG GlDevice::AddRef() { return ++refs_; }

ULONG GlDevice::Release() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

}  // namespace vt::d3d8

namespace vt::d3d8 {
namespace {
std::function<IDirect3D8*(UINT)>& Factory() {
    static std::function<IDirect3D8*(UINT)> factory;
    return factory;
}
}  // namespace
void SetDirect3DFactory(std::function<IDirect3D8*(UINT sdkVersion)> factory) { Factory() = std::move(factory); }
}  // namespace vt::d3d8

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
    if (vt::d3d8::Factory()) return vt::d3d8::Factory()(sdkVersion);
    if (sdkVersion != D3D_SDK_VERSION && sdkVersion != 220) return nullptr;
    if (!vt::d3d8::OpenWindowSystem()) return nullptr;
    return new vt::d3d8::GlDirect3D();
}
