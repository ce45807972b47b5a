// Shared pieces of the OpenGL device: the GL entry points, small matrix
// helpers and the two-level reference count every device object uses.
//
// Usage: include from platform/d3d8/*.cpp only. Objects derive from
// RefCounted<Interface>; the application holds "public" references
// (AddRef/Release), the device holds "bind" references for bound state.
// An object dies when both counts reach zero; while it has public
// references it keeps its device alive.
#pragma once

#ifdef __EMSCRIPTEN__
#include <GLES3/gl3.h>
#else
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#endif

#include <cstring>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/gl_es.h"

namespace vt::d3d8 {

class GlDevice;

// Debug builds look for GL errors after every draw and every state
// application, and report each on stderr with the step it followed (tests
// read the count through GlErrorsReported() in host.h). Release builds
// compile the checks away.
#ifndef NDEBUG
void CheckGl(const char* after);
#define VT_CHECK_GL(after) ::vt::d3d8::CheckGl(after)
#else
#define VT_CHECK_GL(after) static_cast<void>(0)
#endif

// Plain 4x4 matrix in Direct3D layout (row vectors, m[row][col]).
struct Mat4 {
    float m[4][4];
};

// The identity matrix: m[i][j] = (i == j).
inline Mat4 Identity() {
    Mat4 r{};
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
    return r;
}

// r = a * b (row-vector convention: a is applied first).
inline Mat4 Mul(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

// Same layout: r.m[i][j] = d.m[i][j].
inline Mat4 FromD3D(const D3DMATRIX& d) {
    Mat4 r;
    std::memcpy(r.m, d.m, sizeof r.m);
    return r;
}

// Cofactor (row, col) of a 4x4 matrix: the signed determinant of the 3x3
// left when that row and column are struck out.
inline double Cofactor(const Mat4& a, int row, int col) {
    double s[3][3];
    for (int i = 0, r = 0; i < 4; ++i) {
        if (i == row) continue;
        for (int j = 0, c = 0; j < 4; ++j)
            if (j != col) s[r][c++] = a.m[i][j];
        ++r;
    }
    const double d = s[0][0] * (s[1][1] * s[2][2] - s[1][2] * s[2][1]) -
                     s[0][1] * (s[1][0] * s[2][2] - s[1][2] * s[2][0]) +
                     s[0][2] * (s[1][0] * s[2][1] - s[1][1] * s[2][0]);
    return (row + col) % 2 ? -d : d;
}

// The normal matrix of world * view: the upper 3x3 of its inverse transpose,
// returned in the upper 3x3 of a Mat4 (rest identity); n_cam = n * result
// for row vectors. For an affine matrix (last column 0, 0, 0, 1) that is the
// inverse transpose of its own 3x3; a projective one (say _34 = -1, _44 = 0)
// mixes its last column in, and can turn a normal to zero, so such a
// surface lights black. A singular matrix gives the zero 3x3, so normals
// vanish rather than blow up.
inline Mat4 NormalMatrix(const Mat4& a) {
    const float(*m)[4] = a.m;
    if (m[0][3] != 0.0f || m[1][3] != 0.0f || m[2][3] != 0.0f || m[3][3] != 1.0f) {
        Mat4 r = Identity();
        double det = 0.0;
        for (int j = 0; j < 4; ++j) det += m[0][j] * Cofactor(a, 0, j);
        // (M^-1)^T is the cofactor matrix over the determinant.
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) r.m[i][j] = det != 0.0 ? float(Cofactor(a, i, j) / det) : 0.0f;
        return r;
    }
    float c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    float c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    float c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    float det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    Mat4 r = Identity();
    if (det == 0.0f) {
        for (int i = 0; i < 3; ++i) r.m[i][i] = 0.0f;
        return r;
    }
    float inv = 1.0f / det;
    // (M^-1)^T = cofactor matrix / det
    r.m[0][0] = c00 * inv;
    r.m[0][1] = c01 * inv;
    r.m[0][2] = c02 * inv;
    r.m[1][0] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * inv;
    r.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * inv;
    r.m[1][2] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * inv;
    r.m[2][0] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * inv;
    r.m[2][1] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * inv;
    r.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * inv;
    return r;
}

// D3DCOLOR (ARGB) -> r, g, b, a: each 8-bit channel / 255.
inline void ColorToFloats(D3DCOLOR c, float out[4]) {
    out[0] = ((c >> 16) & 0xff) / 255.0f;
    out[1] = ((c >> 8) & 0xff) / 255.0f;
    out[2] = (c & 0xff) / 255.0f;
    out[3] = ((c >> 24) & 0xff) / 255.0f;
}

// Public/bind reference counting shared by every device object. The
// device pointer is the owning device; public references keep one device
// reference between them.
class RefBase {
public:
    explicit RefBase(GlDevice* device, ULONG initialPublic);
    virtual ~RefBase() = default;
    RefBase(const RefBase&) = delete;
    RefBase& operator=(const RefBase&) = delete;

    ULONG AddPublic();
    ULONG ReleasePublic();
    void Bind() { ++bind_; }
    void Unbind();
    GlDevice* Device() const { return device_; }
    ULONG PublicCount() const { return public_; }

private:
    GlDevice* device_;
    ULONG public_;
    ULONG bind_ = 0;
};

template <class Iface>
class RefCounted : public Iface, public RefBase {
public:
    RefCounted(GlDevice* device, ULONG initialPublic) : RefBase(device, initialPublic) {}
    ULONG AddRef() override { return AddPublic(); }
    ULONG Release() override { return ReleasePublic(); }
};

}  // namespace vt::d3d8
