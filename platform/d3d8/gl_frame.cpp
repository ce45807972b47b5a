// Frame-level calls of the OpenGL device: scenes, Clear, render targets,
// viewport, Present with its gamma lookup, and reading pictures back.
//
// Every target (back buffer and textures) is stored with its top row in
// memory row 0, as Direct3D does; Present flips it for the window. Targets
// are stored at the device's internal resolution: viewports and clear
// rectangles are scaled here (gl_targets.cpp).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d8/gl_device.h"
#include "platform/win32/trace.h"

namespace vt::d3d8 {

void GlDevice::MakeCurrent() {
    context_->MakeCurrent();
    MarkCurrentApi(context_->Api());
}

std::string GlDevice::RendererName() {
    MakeCurrent();
    return context_->RendererName();
}

void GlDevice::ForgetTexture(GLuint name) {
    for (int s = 0; s < kMaxStages; ++s) {
        if (gl_.unit2D[s] == name) gl_.unit2D[s] = 0;
        if (gl_.unitCube[s] == name) gl_.unitCube[s] = 0;
    }
}

void GlDevice::ForgetBuffer(GLuint name) {
    if (gl_.arrayBuffer == name) {
        gl_.arrayBuffer = 0;
        gl_.attribFvf = 0xffffffffu;
    }
    if (gl_.elementBuffer == name) gl_.elementBuffer = 0;
}

HRESULT GlDevice::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT GlDevice::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    Flush();
    inScene_ = false;
    return D3D_OK;
}

void GlDevice::ApplyTarget() {
    if (state_.colorTarget == backBuffer_.get()) RestoreBackBuffer();
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    GlSurface* c = state_.colorTarget;
    if (const GLuint samples = ColorAttachment(*c))
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, samples);
    else
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, c->texTarget, c->texture, c->level);
    GlSurface* d = state_.depthTarget;
    const bool stencil = d && d->desc.Format == D3DFMT_D24S8;
    // DEPTH_STENCIL names both attachments, so set it first and then the parts.
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, stencil ? d->renderbuffer : 0);
    if (!stencil) glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, d ? d->renderbuffer : 0);
    dirty_ &= ~uint32_t(kDirtyTarget);
    SetViewportInternal(state_.viewport);
    VT_CHECK_GL("render target");
}

void GlDevice::SetViewportInternal(const D3DVIEWPORT8& vp) {
    state_.viewport = vp;
    // Scaled by its edges, so that viewports side by side still meet.
    const GLint x0 = ScaledX(vp.X), y0 = ScaledY(vp.Y);
    const GLint x1 = ScaledX(double(vp.X) + vp.Width), y1 = ScaledY(double(vp.Y) + vp.Height);
    GLint v[4] = {x0, y0, std::max(x1 - x0, 1), std::max(y1 - y0, 1)};
    std::copy(v, v + 4, vpStored_);
    if (!std::equal(v, v + 4, gl_.vp)) {
        glViewport(v[0], v[1], v[2], v[3]);
        std::copy(v, v + 4, gl_.vp);
    }
    // Direct3D takes a MaxZ above 1: depth is then MinZ + z (MaxZ - MinZ),
    // clamped to the depth buffer's 0..1. GL would clamp the range itself, so
    // the range stays 0..1 and the fragment programs map the depth
    // (kFkDepthRange, from the pixel block).
    const bool beyond = vp.MaxZ > 1.0f;
    const float nearZ = beyond ? 0.0f : vp.MinZ, farZ = beyond ? 1.0f : vp.MaxZ;
    if (gl_.depthRange[0] != nearZ || gl_.depthRange[1] != farZ) {
        GlDepthRange(nearZ, farZ);
        gl_.depthRange[0] = nearZ;
        gl_.depthRange[1] = farZ;
    }
    if (beyond != depthBeyondOne_) {
        depthBeyondOne_ = beyond;
        dirty_ |= kDirtyProgram;
    }
    if (beyond) dirty_ |= kDirtyPixel;
    dirty_ |= kDirtyTransform | kDirtyVertexMode;
}

HRESULT GlDevice::SetViewport(const D3DVIEWPORT8* pViewport) {
    if (!pViewport) return D3DERR_INVALIDCALL;
    const D3DVIEWPORT8& vp = *pViewport;
    const D3DSURFACE_DESC& t = state_.colorTarget->desc;
    // MaxZ may lie above 1 (SetViewportInternal says how depth is then made).
    if (vp.Width == 0 || vp.Height == 0 || uint64_t(vp.X) + vp.Width > t.Width ||
        uint64_t(vp.Y) + vp.Height > t.Height || !(vp.MinZ >= 0.0f && vp.MinZ <= vp.MaxZ))
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    Flush();
    if (dirty_ & kDirtyTarget)
        state_.viewport = vp;  // applied with the target
    else
        SetViewportInternal(vp);
    return D3D_OK;
}

HRESULT GlDevice::GetViewport(D3DVIEWPORT8* pViewport) {
    if (!pViewport) return D3DERR_INVALIDCALL;
    *pViewport = state_.viewport;
    return D3D_OK;
}

HRESULT GlDevice::Clear(DWORD count, const RECT* pRects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    GlSurface* d = state_.depthTarget;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !d) return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && d->desc.Format != D3DFMT_D24S8) return D3DERR_INVALIDCALL;
    if (!(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) return D3DERR_INVALIDCALL;
    // The list decides, not the count: no list clears the whole viewport
    // whatever the count says, and an empty list clears nothing.
    const bool wholeViewport = pRects == nullptr;
    if (!wholeViewport && count == 0) return D3D_OK;
    MakeCurrent();
    Flush();
    // A colour clear of the whole back buffer needs no copy of its old picture.
    const D3DVIEWPORT8& full = state_.viewport;
    const D3DSURFACE_DESC& td = state_.colorTarget->desc;
    const bool wholeTarget = full.X == 0 && full.Y == 0 && full.Width == td.Width && full.Height == td.Height;
    auto coversTarget = [&](const RECT& r) {
        return r.left <= 0 && r.top <= 0 && r.right >= LONG(td.Width) && r.bottom >= LONG(td.Height);
    };
    if ((flags & D3DCLEAR_TARGET) && state_.colorTarget == backBuffer_.get() && wholeTarget &&
        (wholeViewport || std::any_of(pRects, pRects + count, coversTarget)))
        backStale_ = false;
    if (dirty_ & kDirtyTarget) ApplyTarget();

    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        float c[4];
        ColorToFloats(color, c);
        // ES keeps an X8R8G8B8 target's alpha at 1 (no swizzle to hide it).
        if (GlEs() && state_.colorTarget->desc.Format == D3DFMT_X8R8G8B8) c[3] = 1.0f;
        glClearColor(c[0], c[1], c[2], c[3]);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        gl_.colorMask = D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN | D3DCOLORWRITEENABLE_BLUE |
                        D3DCOLORWRITEENABLE_ALPHA;
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        GlClearDepth(std::clamp(z, 0.0f, 1.0f));
        glDepthMask(GL_TRUE);
        gl_.depthMask = 1;
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_STENCIL) {
        glClearStencil(static_cast<GLint>(stencil & 0xff));
        glStencilMask(0xff);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    dirty_ |= kDirtyFixed;  // masks above may differ from the render states

    // Clear only the viewport (intersected with each rectangle, if given).
    const D3DVIEWPORT8& vp = state_.viewport;
    const LONG vx0 = LONG(vp.X), vy0 = LONG(vp.Y), vx1 = LONG(vp.X + vp.Width), vy1 = LONG(vp.Y + vp.Height);
    glEnable(GL_SCISSOR_TEST);
    auto clearRect = [&](LONG x0, LONG y0, LONG x1, LONG y1) {
        x0 = std::max(x0, vx0);
        y0 = std::max(y0, vy0);
        x1 = std::min(x1, vx1);
        y1 = std::min(y1, vy1);
        if (x1 <= x0 || y1 <= y0) return;
        const GLint sx0 = ScaledX(x0), sy0 = ScaledY(y0), sx1 = ScaledX(x1), sy1 = ScaledY(y1);
        if (sx1 <= sx0 || sy1 <= sy0) return;
        glScissor(sx0, sy0, sx1 - sx0, sy1 - sy0);
        glClear(mask);
    };
    if (wholeViewport) {
        clearRect(vx0, vy0, vx1, vy1);
    } else {
        for (DWORD i = 0; i < count; ++i) clearRect(pRects[i].left, pRects[i].top, pRects[i].right, pRects[i].bottom);
    }
    glDisable(GL_SCISSOR_TEST);
    if (flags & D3DCLEAR_TARGET) MarkTargetDrawn();
    VT_CHECK_GL("Clear");
    ++stats.clears;
    return D3D_OK;
}

HRESULT GlDevice::ShowCursor(BOOL bShow) {
    return ShowPointer(bShow != FALSE) ? TRUE : FALSE;  // previous visibility, as Direct3D reports it
}

void GlDevice::SetGammaRamp(DWORD, const D3DGAMMARAMP* pRamp) {
    if (!pRamp) return;
    ramp_ = *pRamp;
    rampSet_ = true;
    lutUploaded_ = false;
}

void GlDevice::GetGammaRamp(D3DGAMMARAMP* pRamp) {
    if (pRamp) *pRamp = ramp_;
}

// ---------------------------------------------------------------------------
// Surfaces and targets

HRESULT GlDevice::GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** ppSurface) {
    if (!ppSurface) return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    if (index != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    backBuffer_->AddRef();
    *ppSurface = backBuffer_.get();
    return D3D_OK;
}

HRESULT GlDevice::GetRenderTarget(IDirect3DSurface8** ppSurface) {
    if (!ppSurface) return D3DERR_INVALIDCALL;
    state_.colorTarget->AddRef();
    *ppSurface = state_.colorTarget;
    return D3D_OK;
}

HRESULT GlDevice::GetDepthStencilSurface(IDirect3DSurface8** ppSurface) {
    if (!ppSurface) return D3DERR_INVALIDCALL;
    *ppSurface = state_.depthTarget;
    if (!state_.depthTarget) return D3DERR_NOTFOUND;
    state_.depthTarget->AddRef();
    return D3D_OK;
}

HRESULT GlDevice::SetRenderTarget(IDirect3DSurface8* pRenderTarget, IDirect3DSurface8* pDepthStencil) {
    GlSurface* color = pRenderTarget ? static_cast<GlSurface*>(pRenderTarget) : state_.colorTarget;
    GlSurface* depth = static_cast<GlSurface*>(pDepthStencil);
    if (color->kind == GlSurface::Kind::DepthBuffer) return D3DERR_INVALIDCALL;
    if (color->kind == GlSurface::Kind::TextureLevel && !(color->desc.Usage & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    if (depth && (depth->kind != GlSurface::Kind::DepthBuffer || depth->desc.Width < color->desc.Width ||
                  depth->desc.Height < color->desc.Height))
        return D3DERR_INVALIDCALL;
    Flush();
    color->BindRef();
    if (depth) depth->BindRef();
    GlSurface* oldColor = state_.colorTarget;
    GlSurface* oldDepth = state_.depthTarget;
    state_.colorTarget = color;
    state_.depthTarget = depth;
    oldColor->UnbindRef();
    if (oldDepth) oldDepth->UnbindRef();
    state_.viewport = {0, 0, color->desc.Width, color->desc.Height, 0.0f, 1.0f};
    dirty_ |= kDirtyTarget | kDirtyFixed | kDirtyTransform | kDirtyVertexMode;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Present

void GlDevice::DrawPresentQuad() {
    int w = 0, h = 0;
    context_->DrawableSize(w, h);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_POLYGON_OFFSET_FILL);
    if (!GlEs()) glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    // Largest rectangle of the back buffer's shape, centred: black bars elsewhere.
    const double bw = backBuffer_->glWidth, bh = backBuffer_->glHeight;
    const double scale = std::min(w / bw, h / bh);
    const int dw = static_cast<int>(std::lround(bw * scale)), dh = static_cast<int>(std::lround(bh * scale));
    if (dw < w || dh < h) {
        glViewport(0, 0, w, h);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    if (lutIdentity_ && dw == w && dh == h && w == int(bw) && h == int(bh)) {
        // Nothing to scale or change: a flipped copy, about half a textured pass here.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, presentedFbo_);
        glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        ++stats.fullscreenPasses;
    } else {
        DrawPresentTriangle((w - dw) / 2, (h - dh) / 2, dw, dh);
    }
    // Everything above bypassed the shadow copy: start it afresh.
    gl_ = GlShadow{};
    dirty_ |= kDirtyFixed | kDirtySamplers | kDirtyTarget;
}

void GlDevice::DrawPresentTriangle(int x, int y, int width, int height) {
    glViewport(x, y, width, height);
    GlDepthRange(0.0f, 1.0f);
    shaders_.Unbind();
    glUseProgram(presentProgram_.program);
    // An identity ramp changes no value: the lookup is skipped.
    glUniform1i(presentProgram_.useLut, lutIdentity_ ? 0 : 1);
    glActiveTexture(GL_TEXTURE0);
    glBindSampler(0, 0);
    glBindTexture(GL_TEXTURE_2D, presentedTex_);
    // The presented texture was the back buffer a frame ago: set how it is sampled.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glActiveTexture(GL_TEXTURE1);
    glBindSampler(1, 0);
    glBindTexture(GL_TEXTURE_2D, lutTex_);
    if (!lutUploaded_ && !lutIdentity_) {
        uint8_t rgb[256 * 3];
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = presentedLut_[c][i];
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        lutUploaded_ = true;
    }
    glBindVertexArray(presentVao_);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    ++stats.glDraws;
    ++stats.fullscreenPasses;
    glBindVertexArray(vao_);
    glUseProgram(0);
    VT_CHECK_GL("Present");
}

void GlDevice::CountFullscreenLayer(UINT lo, UINT hi) {
    if ((state_.fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZRHW || !state_.stream) return;
    const std::vector<uint8_t>& data = state_.stream->buf.shadow;
    float x0 = 1e30f, y0 = 1e30f, x1 = -1e30f, y1 = -1e30f;
    for (UINT v = lo; v < hi; ++v) {
        float xy[2];
        std::memcpy(xy, data.data() + size_t(v) * state_.stride, sizeof xy);
        x0 = std::min(x0, xy[0]);
        y0 = std::min(y0, xy[1]);
        x1 = std::max(x1, xy[0]);
        y1 = std::max(y1, xy[1]);
    }
    const D3DSURFACE_DESC& t = state_.colorTarget->desc;
    // Within a pixel of every edge (quads are often offset by half a pixel).
    if (x0 <= 1.0f && y0 <= 1.0f && x1 >= float(t.Width) - 1.0f && y1 >= float(t.Height) - 1.0f)
        ++stats.fullscreenLayers;
}

void GlDevice::RestoreBackBuffer() {
    if (!backStale_) return;
    const GLint w = GLint(backBuffer_->glWidth), h = GLint(backBuffer_->glHeight);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, presentedFbo_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, backFbo_);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    ++stats.fullscreenPasses;
    backStale_ = false;
    dirty_ |= kDirtyTarget;
}

HRESULT GlDevice::Present(const RECT*, const RECT*, HWND, const void*) {
    MakeCurrent();
    Flush();
    // Keep what is shown: later drawing must not change it. The back buffer's
    // texture becomes the presented one; a stale back buffer already is it.
    // Multisampled, the samples keep the picture and the texture taking the
    // presented one's place no longer holds it.
    if (samples_ > 0) {
        Resolve(*backBuffer_);
        std::swap(presentedTex_, backBuffer_->texture);
        std::swap(presentedFbo_, backFbo_);
        backBuffer_->unresolved = true;
    } else if (!backStale_) {
        std::swap(presentedTex_, backBuffer_->texture);
        std::swap(presentedFbo_, backFbo_);
        backStale_ = true;
    }
    // Ramp entries are in 1/255 of an 8-bit step: value c shows as ramp[c] / 255.
    bool identity = true;
    for (int i = 0; i < 256; ++i) {
        const WORD* ch[3] = {ramp_.red, ramp_.green, ramp_.blue};
        for (int c = 0; c < 3; ++c) {
            long v = rampSet_ ? std::lround(ch[c][i] / 255.0) : i;
            uint8_t out = static_cast<uint8_t>(std::min<long>(255, v));
            if (presentedLut_[c][i] != out) lutUploaded_ = false;
            presentedLut_[c][i] = out;
            identity = identity && out == i;
        }
    }
    lutIdentity_ = identity;
    presentedValid_ = true;
    if (mode_ == PresentMode::Window) {
        DrawPresentQuad();
        context_->Swap();
    } else {
        glFinish();
    }
    dirty_ |= kDirtyTarget;
    // The program presents its loading frame once before the show's frames.
    if (stats.presents == 0) vt::win32::TraceStep("loading frame presented");
    if (stats.presents == 1) vt::win32::TraceStep("first frame presented");
    ++stats.presents;
    if (stats.presents == 1 && warmUp_) WarmUp();  // the loading picture stays up meanwhile
    return D3D_OK;
}

HRESULT GlDevice::ReadBack(bool presented, std::vector<uint8_t>& rgb, UINT& width, UINT& height) {
    MakeCurrent();
    Flush();
    if (presented && !presentedValid_) return D3DERR_INVALIDCALL;
    if (!presented) Resolve(*backBuffer_);
    width = backBuffer_->glWidth;
    height = backBuffer_->glHeight;
    rgb.resize(size_t(width) * height * 3);
    // A stale back buffer's picture is the presented one.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, presented || backStale_ ? presentedFbo_ : backFbo_);
    // Row 0 of every target is the top of the picture.
    GlReadRgb(0, 0, GLsizei(width), GLsizei(height), rgb.data());
    dirty_ |= kDirtyTarget;
    if (presented) {
        for (size_t i = 0; i < rgb.size(); i += 3)
            for (int c = 0; c < 3; ++c) rgb[i + c] = presentedLut_[c][rgb[i + c]];
    }
    return D3D_OK;
}

}  // namespace vt::d3d8
