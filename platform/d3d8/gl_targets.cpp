// Internal resolution and multisampling of the OpenGL device's targets.
//
// Every target is stored at k times the size the program asked for (its
// surfaces keep the asked-for description; glWidth and glHeight are what
// GL holds), and sizes in the program's pixels are turned into stored
// pixels here. Under multisampling a colour target is drawn into a
// multisampled renderbuffer and resolved into its texture when the texture
// is sampled, read back or presented, once per change: a draw or clear
// marks the target, a resolve clears the mark.
#include <algorithm>
#include <cmath>

#include "platform/d3d8/gl_device.h"

namespace vt::d3d8 {

UINT GlDevice::ScaledSize(UINT size, GLint largest) const {
    const long scaled = std::lround(double(size) * double(scale_));
    return UINT(std::max<long>(size, std::min<long>(scaled, largest)));
}

GLint GlDevice::ScaledX(double x) const { return GLint(std::lround(x * ScaleX())); }
GLint GlDevice::ScaledY(double y) const { return GLint(std::lround(y * ScaleY())); }

void GlDevice::AllocateDepth(GlSurface& s) {
    if (!s.renderbuffer) glGenRenderbuffers(1, &s.renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, s.renderbuffer);
    const GLenum format = s.desc.Format == D3DFMT_D24S8 ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT16;
    if (samples_ > 0)
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_, format, GLsizei(s.glWidth), GLsizei(s.glHeight));
    else
        glRenderbufferStorage(GL_RENDERBUFFER, format, GLsizei(s.glWidth), GLsizei(s.glHeight));
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
}

GLuint GlDevice::ColorAttachment(GlSurface& c) {
    if (samples_ == 0) return 0;
    if (!c.multisampled) {
        glGenRenderbuffers(1, &c.multisampled);
        glBindRenderbuffer(GL_RENDERBUFFER, c.multisampled);
        const GLenum format = c.desc.Format == D3DFMT_R5G6B5 ? GL_RGB565 : GL_RGBA8;
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_, format, GLsizei(c.glWidth), GLsizei(c.glHeight));
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
    }
    return c.multisampled;
}

void GlDevice::MarkTargetDrawn() {
    if (samples_ == 0) return;
    GlSurface* c = state_.colorTarget;
    c->unresolved = true;
    if (c->store) c->store->unresolved = true;
}

void GlDevice::Resolve(GlSurface& s) {
    if (!s.unresolved || !s.multisampled) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, resolveFbo_[0]);
    glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s.multisampled);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo_[1]);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, s.texTarget, s.texture, s.level);
    const GLint w = GLint(s.glWidth), h = GLint(s.glHeight);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    // The draw framebuffer stays as it was: this may run between a draw's
    // set-up and the draw itself.
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    s.unresolved = false;
    ++stats.fullscreenPasses;
    VT_CHECK_GL("resolve");
}

void GlDevice::ResolveTexture(TexStore& st) {
    if (!st.unresolved) return;
    for (auto& s : st.surfaces) Resolve(*s);
    st.unresolved = false;
}

}  // namespace vt::d3d8
