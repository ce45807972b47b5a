// The calls whose form differs between desktop OpenGL and OpenGL ES 3.0.
#include <vector>

#include "platform/d3d8/gl_common.h"

namespace vt::d3d8 {

#ifndef __EMSCRIPTEN__
namespace {
bool g_currentEs = false;
}
bool GlEs() { return g_currentEs; }
void MarkCurrentApi(GlApi api) { g_currentEs = api == GlApi::Es; }
#endif

const char* GlslDialect() {
    // Everything at full precision: the programs compute positions and
    // colours as the desktop ones do, and fetch float matrices.
    return GlEs() ? "#version 300 es\n"
                    "precision highp float;\nprecision highp int;\n"
                    "precision highp sampler2D;\nprecision highp samplerCube;\n"
                    "#define VT_GLSL_ES 1\n"
                  : "#version 330 core\n";
}

void GlDepthRange(float nearZ, float farZ) {
    if (GlEs())
        glDepthRangef(nearZ, farZ);
    else
        glDepthRange(nearZ, farZ);
}

void GlWriteUnusedRange(GLenum target, GLintptr at, GLsizeiptr size, const void* data) {
#ifndef __EMSCRIPTEN__
    if (!GlEs()) {
        void* p = glMapBufferRange(target, at, size,
                                   GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
        if (p) {
            std::memcpy(p, data, size_t(size));
            glUnmapBuffer(target);
        }
        return;
    }
#endif
    glBufferSubData(target, at, size, data);
}

void GlMarkSeparable(GLuint program) {
#ifndef __EMSCRIPTEN__
    glProgramParameteri(program, GL_PROGRAM_SEPARABLE, GL_TRUE);
#else
    static_cast<void>(program);
#endif
}

void GlClearDepth(float z) {
    if (GlEs())
        glClearDepthf(z);
    else
        glClearDepth(z);
}

namespace {

// Scratch space for conversions, kept between calls.
std::vector<uint8_t>& Scratch(size_t bytes) {
    static std::vector<uint8_t> scratch;
    if (scratch.size() < bytes) scratch.resize(bytes);
    return scratch;
}

}  // namespace

void GlReadRgb(GLint x, GLint y, GLsizei width, GLsizei height, uint8_t* rgb) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!GlEs()) {
        glReadPixels(x, y, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        return;
    }
    // ES promises RGBA bytes only.
    const size_t pixels = size_t(width) * size_t(height);
    std::vector<uint8_t>& rgba = Scratch(pixels * 4);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (size_t i = 0; i < pixels; ++i) {
        rgb[i * 3 + 0] = rgba[i * 4 + 0];
        rgb[i * 3 + 1] = rgba[i * 4 + 1];
        rgb[i * 3 + 2] = rgba[i * 4 + 2];
    }
}

void GlReadTexLevel(GLenum target, GLuint texture, GLint level, GLsizei width, GLsizei height, bool rgb565,
                    uint8_t* out) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!GlEs()) {
        glGetTexImage(target, level, rgb565 ? GL_RGB : GL_BGRA, rgb565 ? GL_UNSIGNED_SHORT_5_6_5 : GL_UNSIGNED_BYTE,
                      out);
        return;
    }
    // No texture reads in ES: the level becomes a framebuffer's colour for a moment.
    GLint previous = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, texture, level);
    const size_t pixels = size_t(width) * size_t(height);
    std::vector<uint8_t>& rgba = Scratch(pixels * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(previous));
    glDeleteFramebuffers(1, &fbo);
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* p = &rgba[i * 4];
        if (rgb565) {
            // 8-bit values widened from 5 and 6 bits narrow back exactly.
            const unsigned r = (p[0] * 31u + 127u) / 255u, g = (p[1] * 63u + 127u) / 255u,
                           b = (p[2] * 31u + 127u) / 255u;
            const uint16_t word = static_cast<uint16_t>(r << 11 | g << 5 | b);
            std::memcpy(out + i * 2, &word, 2);
        } else {
            out[i * 4 + 0] = p[2];
            out[i * 4 + 1] = p[1];
            out[i * 4 + 2] = p[0];
            out[i * 4 + 3] = p[3];
        }
    }
}

void GlUploadTexels(GLenum target, GLint level, GLsizei width, GLsizei height, bool rgb565, bool opaque,
                    const void* texels) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (rgb565) {
        // 5-6-5 words are laid out alike on both sides.
        glTexSubImage2D(target, level, 0, 0, width, height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, texels);
        return;
    }
    if (!GlEs()) {
        glTexSubImage2D(target, level, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, texels);
        return;
    }
    // No BGRA and no swizzle in WebGL: reorder here, and give X8 texels the
    // alpha the swizzle would have read.
    const size_t pixels = size_t(width) * size_t(height);
    std::vector<uint8_t>& rgba = Scratch(pixels * 4);
    const auto* in = static_cast<const uint8_t*>(texels);
    for (size_t i = 0; i < pixels; ++i) {
        rgba[i * 4 + 0] = in[i * 4 + 2];
        rgba[i * 4 + 1] = in[i * 4 + 1];
        rgba[i * 4 + 2] = in[i * 4 + 0];
        rgba[i * 4 + 3] = opaque ? 255 : in[i * 4 + 3];
    }
    glTexSubImage2D(target, level, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
}

}  // namespace vt::d3d8
