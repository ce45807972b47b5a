// Present without a copy (the back buffer's texture becomes the presented
// picture), the window's gamma pass and its identity shortcut, and texture
// levels whose only copy is in GL.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/d3d8/gl_common.h"
#include "platform/win32/host.h"
#include "platform/win32/win32.h"
#include "tests/d3d8/gl_fixture.h"

namespace vt::d3d8::test {
namespace {

class PresentTest : public GlDeviceTest {
protected:
    std::vector<uint8_t> Presented() {
        std::vector<uint8_t> rgb;
        UINT w = 0, h = 0;
        EXPECT_EQ(ReadPresentedImage(dev_, rgb, w, h), D3D_OK);
        return rgb;
    }
    RGB PresentedAt(int x, int y) {
        const std::vector<uint8_t> rgb = Presented();
        const uint8_t* p = rgb.data() + (size_t(y) * kW + x) * 3;
        return {p[0], p[1], p[2]};
    }
    uint64_t Passes() { return GetStats(dev_).fullscreenPasses; }
};

TEST_F(PresentTest, TheBackBufferKeepsThePresentedPictureUntilOverwritten) {
    PlainState();
    DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 64, 48, 0xffff0000));
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 64, 48, {255, 0, 0})) << "right after Present";
    EXPECT_EQ(PresentedAt(5, 5), (RGB{255, 0, 0}));

    // Drawing on part of it keeps the rest; the shown picture stays.
    DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, 16, 0xff00ff00));
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 16, 16, {0, 255, 0}));
    EXPECT_TRUE(RegionIs(16, 0, 64, 48, {255, 0, 0})) << "the old picture under a partial draw";
    EXPECT_EQ(PresentedAt(5, 5), (RGB{255, 0, 0}));

    // Two Presents with nothing drawn between show the same picture.
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(PresentedAt(5, 5), (RGB{0, 255, 0}));
    EXPECT_EQ(PresentedAt(40, 40), (RGB{255, 0, 0}));
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 16, 16, {0, 255, 0}));
    EXPECT_TRUE(RegionIs(16, 16, 64, 48, {255, 0, 0}));
}

TEST_F(PresentTest, OnlyAClearOfTheWholeColourSparesTheCopyBack) {
    PlainState();
    const RGB grey{128, 128, 128}, blue{0, 0, 255};
    struct Case {
        const char* name;
        void (*after)(IDirect3DDevice8* dev);  // what the next frame starts with
        uint64_t passes;                       // copies it costs
        RGB corner, middle;                    // the back buffer at (2,2) and (40,40) afterwards
    };
    const Case cases[] = {
        {"whole colour clear",
         [](IDirect3DDevice8* d) { d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff0000ff, 1, 0); }, 0,
         blue, blue},
        {"a rectangle covering everything",
         [](IDirect3DDevice8* d) {
             RECT r{-5, -5, 100, 100};
             d->Clear(1, &r, D3DCLEAR_TARGET, 0xff0000ff, 1, 0);
         },
         0, blue, blue},
        {"part of it",
         [](IDirect3DDevice8* d) {
             RECT r{0, 0, 8, 8};
             d->Clear(1, &r, D3DCLEAR_TARGET, 0xff0000ff, 1, 0);
         },
         1, blue, grey},
        {"depth only", [](IDirect3DDevice8* d) { d->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1, 0); }, 1, grey, grey},
        {"a smaller viewport",
         [](IDirect3DDevice8* d) {
             D3DVIEWPORT8 vp{0, 0, 8, 8, 0, 1};
             d->SetViewport(&vp);
             d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1, 0);
             vp = {0, 0, 64, 48, 0, 1};
             d->SetViewport(&vp);
         },
         1, blue, grey},
    };
    for (const Case& c : cases) {
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 64, 48, 0xff808080));
        ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        const uint64_t before = Passes();
        c.after(dev_);
        EXPECT_EQ(Passes() - before, c.passes) << c.name;
        Read();
        EXPECT_EQ(At(2, 2), c.corner) << c.name;
        EXPECT_EQ(At(40, 40), c.middle) << c.name;
        EXPECT_EQ(PresentedAt(40, 40), grey) << c.name;
    }
}

TEST_F(PresentTest, DrawingIntoATextureFirstStillFindsTheOldPictureAfterwards) {
    PlainState();
    DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 64, 48, 0xffffff00));
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    IDirect3DTexture8* rt = nullptr;
    ASSERT_EQ(dev_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &rt), D3D_OK);
    IDirect3DSurface8 *rts = nullptr, *back = nullptr, *depth = nullptr;
    rt->GetSurfaceLevel(0, &rts);
    dev_->GetRenderTarget(&back);
    dev_->GetDepthStencilSurface(&depth);
    ASSERT_EQ(dev_->SetRenderTarget(rts, nullptr), D3D_OK);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ffff, 1, 0);
    ASSERT_EQ(dev_->SetRenderTarget(back, depth), D3D_OK);
    DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 8, 8, 0xff0000ff));
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 8, 8, {0, 0, 255}));
    EXPECT_TRUE(RegionIs(8, 8, 64, 48, {255, 255, 0}));
    rts->Release();
    back->Release();
    depth->Release();
    rt->Release();
}

TEST_F(PresentTest, LayersSpanningTheWholeTargetAreCounted) {
    PlainState();
    struct Case {
        const char* name;
        std::vector<TLVertex> quad;
        uint64_t layers;
    };
    const Case cases[] = {
        {"the whole target", Quad(0, 0, 64, 48, 0xffffffff), 1},
        {"offset by half a pixel", Quad(-0.5f, -0.5f, 63.5f, 47.5f, 0xffffffff), 1},
        {"larger than the target", Quad(-10, -10, 100, 100, 0xffffffff), 1},
        {"the left half", Quad(0, 0, 32, 48, 0xffffffff), 0},
        {"short of the bottom", Quad(0, 0, 64, 40, 0xffffffff), 0},
    };
    for (const Case& c : cases) {
        const uint64_t before = GetStats(dev_).fullscreenLayers;
        ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, c.quad), D3D_OK);
        EXPECT_EQ(GetStats(dev_).fullscreenLayers - before, c.layers) << c.name;
    }
    // Transformed vertices are the scene, not a layer, wherever they land.
    const std::vector<LitVertex> big = {{-1, -1, 0.5f, 0, 0, -1, 0xffffffff}, {1, -1, 0.5f, 0, 0, -1, 0xffffffff},
                                        {1, 1, 0.5f, 0, 0, -1, 0xffffffff}, {-1, 1, 0.5f, 0, 0, -1, 0xffffffff}};
    const uint64_t before = GetStats(dev_).fullscreenLayers;
    ASSERT_EQ(Draw(D3DPT_TRIANGLEFAN, big, kFvfLit), D3D_OK);
    EXPECT_EQ(GetStats(dev_).fullscreenLayers, before);
}

// A device presenting into a real window (SDL's offscreen driver keeps the
// window's pixels readable after the swap).
class WindowPresentTest : public ::testing::Test {
protected:
    static constexpr UINT kW = 64, kH = 48;
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("XDG_RUNTIME_DIR", "/tmp", 0);
        WNDCLASSEXA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "Present Test";
        RegisterClassExA(&wc);  // fails harmlessly once registered
        hwnd_ = CreateWindowExA(0, "Present Test", "Present", WS_OVERLAPPEDWINDOW, 0, 0, kW, kH, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(hwnd_, nullptr);
        window_ = vt::win32::GetSdlWindow(hwnd_);
        ASSERT_NE(window_, nullptr);
        SetPresentMode(PresentMode::Window);
        d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d_, nullptr);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = kW;
        pp.BackBufferHeight = kH;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.Windowed = TRUE;
        const HRESULT hr = d3d_->CreateDevice(0, D3DDEVTYPE_HAL, hwnd_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev_);
        SetPresentMode(PresentMode::Offscreen);
        ASSERT_EQ(hr, D3D_OK);
        dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
        dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        dev_->SetRenderState(D3DRS_ZENABLE, FALSE);
        dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    }
    void TearDown() override {
        if (dev_) {
            EXPECT_EQ(dev_->Release(), 0u);
        }
        if (d3d_) d3d_->Release();
        if (hwnd_) DestroyWindow(hwnd_);
    }
    // A gradient whose channels stay within 0..200, drawn and presented.
    void DrawGradient() {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        const std::vector<TLVertex> q = {{0, 0, 0.5f, 1, 0xff000000, 0, 0},
                                         {64, 0, 0.5f, 1, 0xffc80000, 0, 0},
                                         {64, 48, 0.5f, 1, 0xff64c8c8, 0, 0},
                                         {0, 48, 0.5f, 1, 0xff0000c8, 0, 0}};
        IDirect3DVertexBuffer8* vb = nullptr;
        ASSERT_EQ(dev_->CreateVertexBuffer(UINT(q.size() * sizeof(TLVertex)), 0, kFvfTL, D3DPOOL_MANAGED, &vb), D3D_OK);
        BYTE* p = nullptr;
        vb->Lock(0, 0, &p, 0);
        std::copy(q.begin(), q.end(), reinterpret_cast<TLVertex*>(p));
        vb->Unlock();
        dev_->SetVertexShader(kFvfTL);
        dev_->SetStreamSource(0, vb, sizeof(TLVertex));
        dev_->BeginScene();
        dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
        dev_->EndScene();
        dev_->SetStreamSource(0, nullptr, 0);
        vb->Release();
    }
    // What the window shows, bottom row first as GL reads it.
    std::vector<uint8_t> Shown(D3DGAMMARAMP* ramp) {
        DrawGradient();
        if (ramp) dev_->SetGammaRamp(D3DSGR_NO_CALIBRATION, ramp);
        EXPECT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(window_, &w, &h);
        // RGBA, the one form every GL reads (ES has no RGB reads).
        std::vector<uint8_t> rgba(size_t(w) * h * 4), rgb(size_t(w) * h * 3);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        for (size_t i = 0; i < size_t(w) * h; ++i) std::memcpy(&rgb[i * 3], &rgba[i * 4], 3);
        return rgb;
    }
    static D3DGAMMARAMP Ramp(int (*f)(int i)) {
        D3DGAMMARAMP r{};
        for (int i = 0; i < 256; ++i) r.red[i] = r.green[i] = r.blue[i] = static_cast<WORD>(f(i) * 255);
        return r;
    }

    HWND hwnd_ = nullptr;
    SDL_Window* window_ = nullptr;
    IDirect3D8* d3d_ = nullptr;
    IDirect3DDevice8* dev_ = nullptr;
};

TEST_F(WindowPresentTest, AnIdentityRampShowsWhatTheLookupShowsAndLaterRampsApply) {
    for (int scale : {1, 2}) {
        SDL_SetWindowSize(window_, int(kW) * scale, int(kH) * scale);
        // Identity but for an entry the picture never reaches: the lookup runs.
        D3DGAMMARAMP lookup = Ramp([](int i) { return i == 255 ? 0 : i; });
        D3DGAMMARAMP identity = Ramp([](int i) { return i; });
        D3DGAMMARAMP half = Ramp([](int i) { return i / 2; });
        const std::vector<uint8_t> viaLookup = Shown(&lookup);
        const std::vector<uint8_t> direct = Shown(&identity);
        ASSERT_EQ(direct.size(), size_t(kW * kH * 3 * scale * scale));
        EXPECT_EQ(direct, viaLookup) << "scale " << scale;
        EXPECT_GT(*std::max_element(direct.begin(), direct.end()), 150) << "the gradient is shown";

        const std::vector<uint8_t> halved = Shown(&half);
        int bad = 0;
        for (size_t i = 0; i < direct.size(); ++i) bad += std::abs(halved[i] - direct[i] / 2) > 1;
        EXPECT_EQ(bad, 0) << "a ramp set after identity frames applies, scale " << scale;
        EXPECT_EQ(Shown(&identity), direct) << "and identity again shows the picture as it is";
        EXPECT_EQ(Shown(nullptr), direct) << "the ramp stays until changed";
    }
}

// Texture levels: GL holds the only copy after an Unlock; locking again
// reads it back.
class TextureStorageTest : public GlDeviceTest {
protected:
    static void Fill(IDirect3DTexture8* t, UINT level, uint32_t seed, const RECT* rect = nullptr) {
        D3DSURFACE_DESC d{};
        t->GetLevelDesc(level, &d);
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(t->LockRect(level, &lr, rect, 0), D3D_OK);
        const UINT bpp = d.Format == D3DFMT_R5G6B5 ? 2 : 4;
        const UINT w = rect ? UINT(rect->right - rect->left) : d.Width;
        const UINT h = rect ? UINT(rect->bottom - rect->top) : d.Height;
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w * bpp; ++x)
                static_cast<uint8_t*>(lr.pBits)[y * lr.Pitch + x] = uint8_t(seed + y * 131 + x * 7);
        ASSERT_EQ(t->UnlockRect(level), D3D_OK);
    }
    static std::vector<uint8_t> Bytes(IDirect3DTexture8* t, UINT level) {
        D3DSURFACE_DESC d{};
        t->GetLevelDesc(level, &d);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(t->LockRect(level, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        const UINT row = d.Width * (d.Format == D3DFMT_R5G6B5 ? 2 : 4);
        std::vector<uint8_t> out;
        for (UINT y = 0; y < d.Height; ++y) {
            const auto* p = static_cast<const uint8_t*>(lr.pBits) + y * lr.Pitch;
            out.insert(out.end(), p, p + row);
        }
        EXPECT_EQ(t->UnlockRect(level), D3D_OK);
        return out;
    }
};

TEST_F(TextureStorageTest, LevelsReadBackWhatWasWrittenInEveryFormat) {
    for (D3DFORMAT f : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
        IDirect3DTexture8* t = nullptr;
        ASSERT_EQ(dev_->CreateTexture(8, 4, 0, 0, f, D3DPOOL_MANAGED, &t), D3D_OK);
        EXPECT_EQ(Bytes(t, 1), std::vector<uint8_t>(4 * 2 * (f == D3DFMT_R5G6B5 ? 2 : 4), 0))
            << "a fresh level reads as zero";
        for (UINT level = 0; level < t->GetLevelCount(); ++level) Fill(t, level, 10 * level + f);
        for (UINT level = 0; level < t->GetLevelCount(); ++level) {
            const std::vector<uint8_t> before = Bytes(t, level);
            Fill(t, level, 10 * level + f);  // the same bytes through a second copy
            EXPECT_EQ(Bytes(t, level), before) << "format " << f << " level " << level;
        }
        // A rectangle lock changes only its rectangle.
        std::vector<uint8_t> whole = Bytes(t, 0);
        RECT r{2, 1, 5, 3};
        Fill(t, 0, 99, &r);
        const std::vector<uint8_t> after = Bytes(t, 0);
        const UINT bpp = f == D3DFMT_R5G6B5 ? 2 : 4;
        int changedOutside = 0, changedInside = 0;
        for (UINT y = 0; y < 4; ++y)
            for (UINT x = 0; x < 8 * bpp; ++x) {
                const bool inside = y >= 1 && y < 3 && x >= 2 * bpp && x < 5 * bpp;
                const size_t i = y * 8 * bpp + x;
                (inside ? changedInside : changedOutside) += after[i] != whole[i];
            }
        EXPECT_EQ(changedOutside, 0) << "format " << f;
        EXPECT_GT(changedInside, 0) << "format " << f;
        t->Release();
    }
}

TEST_F(TextureStorageTest, ATextureLoadedOnceAndRelockedDrawsItsLatestContents) {
    PlainState();
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    IDirect3DTexture8* t = MakeTexture(2, 1, {0xffff0000, 0xff00ff00});
    ASSERT_NE(t, nullptr);
    dev_->SetTexture(0, t);
    DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 64, 48, 0xffffffff));
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 30, 48, {255, 0, 0}));
    EXPECT_TRUE(RegionIs(34, 0, 64, 48, {0, 255, 0}));
    // Changing only the right texel keeps the left one (read back from GL).
    for (int round = 0; round < 3; ++round) {
        D3DLOCKED_RECT lr{};
        RECT right{1, 0, 2, 1};
        ASSERT_EQ(t->LockRect(0, &lr, &right, 0), D3D_OK);
        const uint8_t blue[3][4] = {{255, 0, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};  // B,G,R,A
        std::copy(blue[round], blue[round] + 4, static_cast<uint8_t*>(lr.pBits));
        ASSERT_EQ(t->UnlockRect(0), D3D_OK);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 64, 48, 0xffffffff));
        Read();
        const RGB want[3] = {{0, 0, 255}, {255, 0, 0}, {255, 255, 255}};
        EXPECT_TRUE(RegionIs(0, 0, 30, 48, {255, 0, 0})) << "round " << round;
        EXPECT_TRUE(RegionIs(34, 0, 64, 48, want[round])) << "round " << round;
    }
    dev_->SetTexture(0, nullptr);
    t->Release();
}

TEST_F(TextureStorageTest, CubeFacesReadBackTheirOwnContents) {
    IDirect3DCubeTexture8* cube = nullptr;
    ASSERT_EQ(dev_->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube), D3D_OK);
    for (int face = 0; face < 6; ++face) {
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACES(face), 0, &lr, nullptr, 0), D3D_OK);
        std::fill_n(static_cast<uint8_t*>(lr.pBits), 4 * 4 * 4, uint8_t(40 * face + 1));
        ASSERT_EQ(cube->UnlockRect(D3DCUBEMAP_FACES(face), 0), D3D_OK);
    }
    for (int face = 5; face >= 0; --face) {
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACES(face), 0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        const auto* p = static_cast<const uint8_t*>(lr.pBits);
        EXPECT_EQ(std::count(p, p + 64, uint8_t(40 * face + 1)), 64) << "face " << face;
        ASSERT_EQ(cube->UnlockRect(D3DCUBEMAP_FACES(face), 0), D3D_OK);
    }
    cube->Release();
}

}  // namespace
}  // namespace vt::d3d8::test
