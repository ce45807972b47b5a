// Test fixture for pixel tests on the OpenGL device: a real device under
// llvmpipe in offscreen present mode, plus helpers to draw from temporary
// vertex buffers, make textures by locking, and probe the back buffer.
//
//   class MyTest : public GlDeviceTest {};
//   TEST_F(MyTest, X) { DrawTL(D3DPT_TRIANGLEFAN, quad); EXPECT_TRUE(RegionIs(0, 0, 4, 4, {255, 0, 0})); }
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/host.h"

namespace vt::d3d8::test {

using RGB = std::array<int, 3>;

// Pre-transformed, coloured, one texture set (format 0x144).
struct TLVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kFvfTL = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Untransformed with normal and colour (format 0x052).
struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR color;
};
constexpr DWORD kFvfLit = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

inline D3DMATRIX Mat(std::initializer_list<float> v) {
    D3DMATRIX m{};
    int i = 0;
    for (float f : v) {
        m.m[i / 4][i % 4] = f;
        ++i;
    }
    return m;
}
inline D3DMATRIX IdentityMatrix() { return Mat({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}); }
// Untransformed and lit: column k (0..3) of the 64 x 48 screen in clip
// coordinates (identity transforms), as a four-vertex fan facing the viewer.
inline std::vector<LitVertex> Column(int column, D3DCOLOR c) {
    const float x0 = -1.0f + 0.5f * float(column), x1 = x0 + 0.5f;
    return {{x0, 1, 0.5f, 0, 0, -1, c}, {x1, 1, 0.5f, 0, 0, -1, c}, {x1, -1, 0.5f, 0, 0, -1, c},
            {x0, -1, 0.5f, 0, 0, -1, c}};
}

// A rectangle as a four-corner fan: top-left, top-right, bottom-right, bottom-left.
std::vector<TLVertex> Quad(float x0, float y0, float x1, float y1, D3DCOLOR c, float z = 0.5f, float u0 = 0,
                           float v0 = 0, float u1 = 1, float v1 = 1);

class GlDeviceTest : public ::testing::Test {
protected:
    static constexpr UINT kW = 64, kH = 48;
    void SetUp() override { CreateDevice(kW, kH, true); }
    void TearDown() override;
    void CreateDevice(UINT w, UINT h, bool depth, D3DFORMAT backFormat = D3DFMT_A8R8G8B8);

    // Draws vertices of any format from a temporary managed vertex buffer.
    template <class V>
    HRESULT Draw(D3DPRIMITIVETYPE type, const std::vector<V>& verts, DWORD fvf, UINT prims = 0) {
        return DrawRaw(type, verts.data(), UINT(verts.size()), sizeof(V), fvf, prims);
    }
    HRESULT DrawTL(D3DPRIMITIVETYPE type, const std::vector<TLVertex>& v) { return Draw(type, v, kFvfTL); }
    HRESULT DrawRaw(D3DPRIMITIVETYPE type, const void* data, UINT count, UINT stride, DWORD fvf, UINT prims);

    // A managed A8R8G8B8 texture filled through LockRect (ARGB texels, row by row).
    IDirect3DTexture8* MakeTexture(UINT w, UINT h, const std::vector<D3DCOLOR>& texels);
    // Face colours of MakeFacedCube, in D3DCUBEMAP_FACES order.
    static constexpr D3DCOLOR kCubeFaceColor[6] = {0xffff0000, 0xff00ff00, 0xff0000ff,
                                                   0xffffff00, 0xffff00ff, 0xff00ffff};
    // A 16 x 16 A8R8G8B8 render-target cube: each face cleared to its colour,
    // then `mark` draws on it while it is the target. The back buffer and its
    // depth are the targets again afterwards. Null (with a failure) if a step fails.
    IDirect3DCubeTexture8* MakeFacedCube(const std::function<void(D3DCUBEMAP_FACES)>& mark);
    // State for untextured, unlit, unblended, unculled drawing of the vertex colour.
    void PlainState();

    void Read();
    RGB At(int x, int y) const;
    // Every pixel of [x0,x1) x [y0,y1) within tol of c; the failure message names the first miss.
    ::testing::AssertionResult RegionIs(int x0, int y0, int x1, int y1, RGB c, int tol = 1) const;

    IDirect3D8* d3d_ = nullptr;
    IDirect3DDevice8* dev_ = nullptr;
    std::vector<uint8_t> rgb_;
    UINT w_ = 0, h_ = 0;
#ifndef NDEBUG
    uint64_t glErrorsBefore_ = 0;  // debug builds: no test may leave a GL error behind
#endif
};

// Plain state and identity transforms: untransformed vertices are in clip
// coordinates, so Column(k) covers screen column k, x in [16k, 16k + 16).
class ClipSpaceTest : public GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        PlainState();
        const D3DMATRIX id = IdentityMatrix();
        dev_->SetTransform(D3DTS_WORLD, &id);
        dev_->SetTransform(D3DTS_VIEW, &id);
        dev_->SetTransform(D3DTS_PROJECTION, &id);
    }
    // The inside of a column, away from its edges.
    ::testing::AssertionResult ColumnIs(int column, RGB c) {
        return RegionIs(16 * column + 2, 2, 16 * column + 14, kH - 2, c, 2);
    }
};

}  // namespace vt::d3d8::test
