// Helpers of the OpenGL device pixel tests (see gl_fixture.h).
#include "tests/d3d8/gl_fixture.h"

#include <cstdlib>
#include <sstream>

namespace vt::d3d8::test {

std::vector<TLVertex> Quad(float x0, float y0, float x1, float y1, D3DCOLOR c, float z, float u0, float v0, float u1,
                           float v1) {
    return {{x0, y0, z, 1, c, u0, v0}, {x1, y0, z, 1, c, u1, v0}, {x1, y1, z, 1, c, u1, v1}, {x0, y1, z, 1, c, u0, v1}};
}

void GlDeviceTest::CreateDevice(UINT w, UINT h, bool depth, D3DFORMAT backFormat) {
#ifndef NDEBUG
    glErrorsBefore_ = GlErrorsReported();
#endif
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("XDG_RUNTIME_DIR", "/tmp", 0);
    SetPresentMode(PresentMode::Offscreen);
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = w;
    pp.BackBufferHeight = h;
    pp.BackBufferFormat = backFormat;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = depth;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE,
                                 &pp, &dev_),
              D3D_OK);
    ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET | (depth ? D3DCLEAR_ZBUFFER : 0), 0xff000000, 1.0f, 0), D3D_OK);
    // Draws count only inside a scene; the tests draw inside this one.
    ASSERT_EQ(dev_->BeginScene(), D3D_OK);
}

void GlDeviceTest::TearDown() {
#ifndef NDEBUG
    EXPECT_EQ(GlErrorsReported(), glErrorsBefore_) << "GL errors were reported on stderr";
#endif
    if (dev_) {
        EXPECT_EQ(dev_->Release(), 0u);
    }
    if (d3d_) d3d_->Release();
}

HRESULT GlDeviceTest::DrawRaw(D3DPRIMITIVETYPE type, const void* data, UINT count, UINT stride, DWORD fvf, UINT prims) {
    IDirect3DVertexBuffer8* vb = nullptr;
    HRESULT hr = dev_->CreateVertexBuffer(count * stride, 0, fvf, D3DPOOL_MANAGED, &vb);
    if (FAILED(hr)) return hr;
    BYTE* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    std::memcpy(p, data, size_t(count) * stride);
    vb->Unlock();
    dev_->SetVertexShader(fvf);
    dev_->SetStreamSource(0, vb, stride);
    if (prims == 0) {
        prims = type == D3DPT_TRIANGLELIST ? count / 3 : type == D3DPT_LINELIST ? count / 2
              : type == D3DPT_LINESTRIP ? count - 1 : type == D3DPT_POINTLIST ? count : count - 2;
    }
    hr = dev_->DrawPrimitive(type, 0, prims);
    dev_->SetStreamSource(0, nullptr, 0);
    vb->Release();
    return hr;
}

IDirect3DTexture8* GlDeviceTest::MakeTexture(UINT w, UINT h, const std::vector<D3DCOLOR>& texels) {
    IDirect3DTexture8* t = nullptr;
    if (FAILED(dev_->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t))) return nullptr;
    D3DLOCKED_RECT lr{};
    t->LockRect(0, &lr, nullptr, 0);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
            D3DCOLOR c = texels[y * w + x];
            uint8_t* px = static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4;
            px[0] = c & 0xff;
            px[1] = (c >> 8) & 0xff;
            px[2] = (c >> 16) & 0xff;
            px[3] = c >> 24;
        }
    t->UnlockRect(0);
    return t;
}

void GlDeviceTest::PlainState() {
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev_->SetRenderState(D3DRS_ZENABLE, FALSE);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
}

void GlDeviceTest::Read() { ASSERT_EQ(ReadBackBuffer(dev_, rgb_, w_, h_), D3D_OK); }

RGB GlDeviceTest::At(int x, int y) const {
    const uint8_t* p = rgb_.data() + (size_t(y) * w_ + x) * 3;
    return {p[0], p[1], p[2]};
}

::testing::AssertionResult GlDeviceTest::RegionIs(int x0, int y0, int x1, int y1, RGB c, int tol) const {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            RGB p = At(x, y);
            for (int k = 0; k < 3; ++k)
                if (std::abs(p[k] - c[k]) > tol) {
                    std::ostringstream os;
                    os << "pixel (" << x << "," << y << ") is (" << p[0] << "," << p[1] << "," << p[2] << "), want ("
                       << c[0] << "," << c[1] << "," << c[2] << ") in [" << x0 << "," << x1 << ")x[" << y0 << ","
                       << y1 << ")";
                    return ::testing::AssertionFailure() << os.str();
                }
        }
    return ::testing::AssertionSuccess();
}


IDirect3DCubeTexture8* GlDeviceTest::MakeFacedCube(const std::function<void(D3DCUBEMAP_FACES)>& mark) {
    IDirect3DCubeTexture8* cube = nullptr;
    EXPECT_EQ(dev_->CreateCubeTexture(16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &cube), D3D_OK);
    if (!cube) return nullptr;
    IDirect3DSurface8 *back = nullptr, *depth = nullptr;
    dev_->GetRenderTarget(&back);
    dev_->GetDepthStencilSurface(&depth);
    bool ok = true;
    for (int f = 0; f < 6 && ok; ++f) {
        const auto face = D3DCUBEMAP_FACES(f);
        IDirect3DSurface8* s = nullptr;
        ok = cube->GetCubeMapSurface(face, 0, &s) == D3D_OK && dev_->SetRenderTarget(s, nullptr) == D3D_OK;
        EXPECT_TRUE(ok) << "face " << f;
        if (s) s->Release();
        if (!ok) break;
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, kCubeFaceColor[f], 1, 0);
        mark(face);
    }
    EXPECT_EQ(dev_->SetRenderTarget(back, depth), D3D_OK);
    if (back) back->Release();
    if (depth) depth->Release();
    if (!ok) {
        cube->Release();
        return nullptr;
    }
    return cube;
}

}  // namespace vt::d3d8::test
