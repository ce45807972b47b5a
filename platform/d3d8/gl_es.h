// OpenGL 3.3 core and OpenGL ES 3.0 (as WebGL 2 offers it): which one the
// current context speaks, and the calls whose form differs between them.
// The device is one device; where the two differ it asks GlEs() or calls a
// helper here, and the generated GLSL starts with GlslDialect().
//
// What ES lacks and how the device gets the same picture without it:
//   BGRA uploads and X8 alpha  texels reordered (alpha set for X8) on upload; an X8
//                              level written with other alphas keeps its CPU copy for locks
//   BGRA vertex colours        read as RGBA bytes, put back in order by the shader
//   glGetTexImage              the level is read through a framebuffer
//   glReadPixels as RGB        read as RGBA, alpha dropped
//   base-vertex and multi-draws one draw of 32-bit indices built for the batch
//   buffer textures            the per-draw matrices sit in a 2D float texture
//   glMapBufferRange           uniform blocks go with glBufferSubData (GlWriteUnusedRange)
//   first-vertex flat colours  flat colours come from each primitive's last vertex
//   depth clamp                pre-transformed depth clamped in the vertex program
//   noperspective              value times w beside w, divided per pixel
//   separate shader objects    every program pair is linked whole
//   glPolygonMode, border colour, LOD bias, sample counts: see their call sites
#pragma once

#include <cstdint>

#include "platform/d3d8/host.h"

namespace vt::d3d8 {

#ifdef __EMSCRIPTEN__
constexpr bool GlEs() { return true; }
inline void MarkCurrentApi(GlApi) {}
#else
// The API of the context made current last through the device.
bool GlEs();
void MarkCurrentApi(GlApi api);
#endif

// The first lines of every GLSL program: the version, precision for ES,
// and VT_GLSL_ES defined there.
const char* GlslDialect();

void GlDepthRange(float nearZ, float farZ);

// Writes a range of the bound buffer that no queued draw reads (mapped
// without waiting on desktop GL; WebGL maps nothing).
void GlWriteUnusedRange(GLenum target, GLintptr at, GLsizeiptr size, const void* data);

// A program to be linked for a pipeline (desktop GL only: ES here never
// uses separate shader objects).
void GlMarkSeparable(GLuint program);
void GlClearDepth(float z);

// The bound read framebuffer's rectangle as RGB, 3 bytes a pixel, bottom row
// first (as glReadPixels gives it).
void GlReadRgb(GLint x, GLint y, GLsizei width, GLsizei height, uint8_t* rgb);

// A level of a 2D texture or a cube face (target) into `out` as Direct3D
// lays it out: BGRA bytes, or 16-bit 5-6-5 words when rgb565.
void GlReadTexLevel(GLenum target, GLuint texture, GLint level, GLsizei width, GLsizei height, bool rgb565,
                    uint8_t* out);

// Direct3D texels (BGRA, or 5-6-5 words) into a level; `opaque` makes the
// alpha read as one (X8R8G8B8). The texture must be bound on the active unit.
void GlUploadTexels(GLenum target, GLint level, GLsizei width, GLsizei height, bool rgb565, bool opaque,
                    const void* texels);

}  // namespace vt::d3d8

#ifdef __EMSCRIPTEN__
// Desktop-only names, so that the desktop branches still compile; GlEs()
// is a constant there, so none of these is ever reached.
#define GL_BGRA 0x80E1
#define GL_TEXTURE_BUFFER 0x8C2A
#define GL_DEPTH_CLAMP 0x864F
#define GL_SAMPLES_PASSED 0x8914
#define GL_CLAMP_TO_BORDER 0x812D
#define GL_TEXTURE_BORDER_COLOR 0x1004
#define GL_TEXTURE_LOD_BIAS 0x8501
#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02
#define GL_PROGRAM_POINT_SIZE 0x8642
#define GL_FIRST_VERTEX_CONVENTION 0x8E4D
#define GL_PROGRAM_SEPARABLE 0x8258
#define GL_VERTEX_SHADER_BIT 0x00000001
#define GL_FRAGMENT_SHADER_BIT 0x00000002
// (Entry points WebGL lacks but <GLES3/gl3.h> declares, such as
// glMapBufferRange and glProgramParameteri, are only called from gl_es.cpp,
// where the web build compiles them out.)
[[noreturn]] inline void VtDesktopOnly() { __builtin_trap(); }
inline void glPolygonMode(GLenum, GLenum) { VtDesktopOnly(); }
inline void glProvokingVertex(GLenum) { VtDesktopOnly(); }
inline void glDepthRange(double, double) { VtDesktopOnly(); }
inline void glClearDepth(double) { VtDesktopOnly(); }
inline void glGetTexImage(GLenum, GLint, GLenum, GLenum, void*) { VtDesktopOnly(); }
inline void glTexBuffer(GLenum, GLenum, GLuint) { VtDesktopOnly(); }
inline void glMultiDrawArrays(GLenum, const GLint*, const GLsizei*, GLsizei) { VtDesktopOnly(); }
inline void glMultiDrawElementsBaseVertex(GLenum, const GLsizei*, GLenum, const void* const*, GLsizei, const GLint*) {
    VtDesktopOnly();
}
inline void glDrawElementsBaseVertex(GLenum, GLsizei, GLenum, const void*, GLint) { VtDesktopOnly(); }
inline void glDrawElementsInstancedBaseVertex(GLenum, GLsizei, GLenum, const void*, GLsizei, GLint) {
    VtDesktopOnly();
}
inline void glProgramUniform1i(GLuint, GLint, GLint) { VtDesktopOnly(); }
inline void glProgramUniform4fv(GLuint, GLint, GLsizei, const GLfloat*) { VtDesktopOnly(); }
inline void glProgramUniformMatrix4fv(GLuint, GLint, GLsizei, GLboolean, const GLfloat*) { VtDesktopOnly(); }
inline void glUseProgramStages(GLuint, GLbitfield, GLuint) { VtDesktopOnly(); }
inline void glGenProgramPipelines(GLsizei, GLuint*) { VtDesktopOnly(); }
inline void glBindProgramPipeline(GLuint) { VtDesktopOnly(); }
inline void glDeleteProgramPipelines(GLsizei, const GLuint*) { VtDesktopOnly(); }
#endif
