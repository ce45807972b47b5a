// The OpenGL device's object model and frame calls: creation checks, the
// pure-device rule, scenes, reference counts, locks and their range checks,
// buffers refilled after drawing, indexed drawing, descriptions and gamma.
#include "tests/d3d8/gl_fixture.h"

namespace vt::d3d8::test {
namespace {

class Device : public GlDeviceTest {};

TEST(DeviceCreation, ParametersAreValidated) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", "/tmp", 0);
    SetPresentMode(PresentMode::Offscreen);
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_GT(mode.Width, 0u);
    EXPECT_GT(mode.RefreshRate, 0u);
    EXPECT_EQ(d3d->GetAdapterDisplayMode(1, &mode), D3DERR_INVALIDCALL);

    auto base = [] {
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 1024;
        p.BackBufferHeight = 768;
        p.BackBufferFormat = D3DFMT_A8R8G8B8;
        p.BackBufferCount = 2;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        return p;
    };
    struct Case {
        const char* name;
        void (*change)(D3DPRESENT_PARAMETERS&);
        HRESULT want;
    };
    const Case cases[] = {
        {"the show's parameters", [](D3DPRESENT_PARAMETERS&) {}, D3D_OK},
        {"16-bit colour", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferFormat = D3DFMT_R5G6B5; }, D3DERR_NOTAVAILABLE},
        {"depth format", [](D3DPRESENT_PARAMETERS& p) { p.AutoDepthStencilFormat = D3DFMT_INDEX16; }, D3DERR_NOTAVAILABLE},
        {"multisampling", [](D3DPRESENT_PARAMETERS& p) { p.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES; }, D3DERR_NOTAVAILABLE},
        {"too wide", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferWidth = 100000; }, D3DERR_INVALIDCALL},
        {"four back buffers", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferCount = 4; }, D3DERR_INVALIDCALL},
        {"no swap effect", [](D3DPRESENT_PARAMETERS& p) { p.SwapEffect = D3DSWAPEFFECT(0); }, D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS p = base();
        c.change(p);
        IDirect3DDevice8* dev = nullptr;
        EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x50, &p, &dev), c.want) << c.name;
        EXPECT_EQ(dev != nullptr, c.want == D3D_OK) << c.name;
        if (dev) {
            IDirect3DSurface8* bb = nullptr;
            ASSERT_EQ(dev->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
            D3DSURFACE_DESC d{};
            bb->GetDesc(&d);
            EXPECT_EQ(d.Width, 1024u);
            EXPECT_EQ(d.Height, 768u);
            EXPECT_EQ(d.Format, D3DFMT_A8R8G8B8);
            bb->Release();
            EXPECT_EQ(dev->Release(), 0u);
        }
    }
    d3d->Release();
}

TEST_F(Device, PureDeviceStateQueriesFail) {
    DWORD v = 0;
    D3DMATRIX m{};
    EXPECT_EQ(dev_->GetRenderState(D3DRS_LIGHTING, &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->GetRenderState(D3DRS_CULLMODE, &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->GetTextureStageState(0, D3DTSS_COLOROP, &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->GetTransform(D3DTS_WORLD, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->GetTransform(D3DTS_PROJECTION, &m), D3DERR_INVALIDCALL);
    // Viewport and targets are not state-block state.
    D3DVIEWPORT8 vp{};
    EXPECT_EQ(dev_->GetViewport(&vp), D3D_OK);
    EXPECT_EQ(vp.Width, kW);
}

TEST_F(Device, SceneBracketsMustPair) {
    struct Step {
        bool begin;
        HRESULT want;
    };
    const Step steps[] = {{false, D3DERR_INVALIDCALL}, {true, D3D_OK}, {true, D3DERR_INVALIDCALL},
                          {false, D3D_OK}, {false, D3DERR_INVALIDCALL}, {true, D3D_OK}, {false, D3D_OK}};
    ASSERT_EQ(dev_->EndScene(), D3D_OK);  // the fixture's scene
    for (const Step& s : steps) EXPECT_EQ(s.begin ? dev_->BeginScene() : dev_->EndScene(), s.want);
}

TEST_F(Device, ClearChecksTheDepthBuffer) {
    ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1, 0), D3DERR_INVALIDCALL);  // D16 has no stencil
    IDirect3DSurface8* back = nullptr;
    dev_->GetRenderTarget(&back);
    ASSERT_EQ(dev_->SetRenderTarget(back, nullptr), D3D_OK);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1, 0);
    // Asking for depth with none bound fails and clears nothing, colour included.
    EXPECT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xffff0000, 1, 0), D3DERR_INVALIDCALL);
    IDirect3DSurface8* none = reinterpret_cast<IDirect3DSurface8*>(1);
    EXPECT_EQ(dev_->GetDepthStencilSurface(&none), D3DERR_NOTFOUND);
    EXPECT_EQ(none, nullptr);
    Read();
    EXPECT_TRUE(RegionIs(0, 0, kW, kH, {0, 255, 0}));
    back->Release();
}

TEST_F(Device, ClearRectangleListsAndTheirCount) {
    // Inside a viewport: "everything" is the viewport, x 8..40, y 4..28.
    ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1, 0), D3D_OK);
    D3DVIEWPORT8 vp = {8, 4, 32, 24, 0, 1};
    ASSERT_EQ(dev_->SetViewport(&vp), D3D_OK);
    const RECT rects[2] = {{0, 0, 12, 10}, {30, 20, 64, 48}};
    enum Cleared { kNothing, kViewport, kRects };
    struct Case {
        const char* name;
        DWORD count;
        bool list;
        Cleared want;
    };
    const Case cases[] = {
        {"no count, no list", 0, false, kViewport}, {"no count, a list", 0, true, kNothing},
        {"a count, no list", 1, false, kViewport},  {"two, no list", 2, false, kViewport},
        {"two rectangles", 2, true, kRects},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1, 0), D3D_OK);
        EXPECT_EQ(dev_->Clear(c.count, c.list ? rects : nullptr, D3DCLEAR_TARGET, 0xffff0000, 1, 0), D3D_OK) << c.name;
        Read();
        ::testing::AssertionResult all = ::testing::AssertionSuccess();
        for (int y = 0; y < int(kH) && all; ++y)
            for (int x = 0; x < int(kW) && all; ++x) {
                const bool inViewport = x >= 8 && x < 40 && y >= 4 && y < 28;
                bool inRects = false;
                for (const RECT& r : rects)
                    inRects = inRects || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
                const bool red = inViewport && (c.want == kViewport || (c.want == kRects && inRects));
                all = RegionIs(x, y, x + 1, y + 1, red ? RGB{255, 0, 0} : RGB{0, 255, 0}, 0);
            }
        EXPECT_TRUE(all) << c.name;
    }
}

TEST_F(Device, ReferenceCountsAndBindings) {
    // The device is kept alive by its resources.
    EXPECT_EQ(dev_->AddRef(), 2u);
    EXPECT_EQ(dev_->Release(), 1u);
    IDirect3DTexture8* t = MakeTexture(1, 1, {0xff00ff00});
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(dev_->AddRef(), 3u);
    EXPECT_EQ(dev_->Release(), 2u);
    EXPECT_EQ(t->AddRef(), 2u);
    EXPECT_EQ(t->Release(), 1u);

    // A surface counts on its texture.
    IDirect3DSurface8* s = nullptr;
    ASSERT_EQ(t->GetSurfaceLevel(0, &s), D3D_OK);
    EXPECT_EQ(t->AddRef(), 3u);
    EXPECT_EQ(t->Release(), 2u);
    EXPECT_EQ(s->Release(), 1u);
    IDirect3DDevice8* owner = nullptr;
    ASSERT_EQ(t->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, dev_);
    owner->Release();

    // A bound texture outlives the application's last reference.
    PlainState();
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev_->SetTexture(0, t);
    EXPECT_EQ(t->Release(), 0u);
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 8, 8, ~0u)), D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 8, 8, {0, 255, 0}));
    dev_->SetTexture(0, nullptr);  // the texture dies here

    // Surfaces handed out are counted references; the device's depth
    // buffer stays in use after the application releases its copy.
    IDirect3DSurface8 *bb = nullptr, *rt = nullptr;
    ASSERT_EQ(dev_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
    ASSERT_EQ(dev_->GetRenderTarget(&rt), D3D_OK);
    EXPECT_EQ(bb, rt);
    EXPECT_EQ(bb->AddRef(), 3u);
    bb->Release();
    bb->Release();
    rt->Release();
}

TEST_F(Device, DescriptionsAndMipChains) {
    struct Case {
        UINT w, h, levels;
        DWORD usage;
        D3DPOOL pool;
        D3DFORMAT format;
        HRESULT want;
        UINT wantLevels;
    };
    const Case cases[] = {
        {64, 32, 0, 0, D3DPOOL_MANAGED, D3DFMT_A8R8G8B8, D3D_OK, 7},
        {64, 32, 3, 0, D3DPOOL_MANAGED, D3DFMT_X8R8G8B8, D3D_OK, 3},
        {16, 16, 1, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, D3DFMT_A8R8G8B8, D3D_OK, 1},
        {16, 16, 1, D3DUSAGE_RENDERTARGET, D3DPOOL_MANAGED, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL, 0},
        {16, 16, 1, 0, D3DPOOL_MANAGED, D3DFMT_D16, D3DERR_INVALIDCALL, 0},
        {0, 16, 1, 0, D3DPOOL_MANAGED, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL, 0},
    };
    for (const Case& c : cases) {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(dev_->CreateTexture(c.w, c.h, c.levels, c.usage, c.format, c.pool, &t), c.want);
        if (!t) continue;
        EXPECT_EQ(t->GetLevelCount(), c.wantLevels);
        D3DSURFACE_DESC d{};
        ASSERT_EQ(t->GetLevelDesc(c.wantLevels - 1, &d), D3D_OK);
        EXPECT_EQ(d.Width, std::max(1u, c.w >> (c.wantLevels - 1)));
        EXPECT_EQ(d.Height, std::max(1u, c.h >> (c.wantLevels - 1)));
        EXPECT_EQ(d.Usage, c.usage);
        EXPECT_EQ(d.Format, c.format);
        EXPECT_EQ(t->GetLevelDesc(c.wantLevels, &d), D3DERR_INVALIDCALL);
        D3DLOCKED_RECT lr{};
        if (c.usage & D3DUSAGE_RENDERTARGET) {
            EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
        } else {
            ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
            EXPECT_EQ(lr.Pitch, INT(c.w * 4));
            EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
            EXPECT_EQ(t->UnlockRect(0), D3D_OK);
            EXPECT_EQ(t->UnlockRect(0), D3DERR_INVALIDCALL);
        }
        t->Release();
    }
    // A cube face reports exactly the usage given at creation.
    for (DWORD usage : {DWORD(D3DUSAGE_RENDERTARGET), DWORD(D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC)}) {
        IDirect3DCubeTexture8* cube = nullptr;
        ASSERT_EQ(dev_->CreateCubeTexture(32, 1, usage, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &cube), D3D_OK);
        IDirect3DSurface8* s = nullptr;
        ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Y, 0, &s), D3D_OK);
        D3DSURFACE_DESC d{};
        s->GetDesc(&d);
        EXPECT_EQ(d.Usage, usage);
        EXPECT_EQ(d.Width, 32u);
        s->Release();
        EXPECT_EQ(cube->Release(), 0u);
    }
}

TEST_F(Device, LockRangesAreChecked) {
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(dev_->CreateVertexBuffer(100, 0, kFvfTL, D3DPOOL_MANAGED, &vb), D3D_OK);
    ASSERT_EQ(dev_->CreateIndexBuffer(100, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib), D3D_OK);
    struct Case {
        UINT offset, size;
        HRESULT want;
    };
    const Case cases[] = {{0, 0, D3D_OK}, {0, 100, D3D_OK}, {50, 50, D3D_OK}, {60, 0, D3D_OK},
                          {50, 51, D3DERR_INVALIDCALL}, {101, 0, D3DERR_INVALIDCALL}, {0xffffff00u, 0x200, D3DERR_INVALIDCALL}};
    for (const Case& c : cases) {
        BYTE* p = nullptr;
        EXPECT_EQ(vb->Lock(c.offset, c.size, &p, 0), c.want) << c.offset << "+" << c.size;
        if (p) vb->Unlock();
        p = nullptr;
        EXPECT_EQ(ib->Lock(c.offset, c.size, &p, 0), c.want) << c.offset << "+" << c.size;
        if (p) ib->Unlock();
    }
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    D3DVERTEXBUFFER_DESC vd{};
    vb->GetDesc(&vd);
    EXPECT_EQ(vd.Size, 100u);
    EXPECT_EQ(vd.FVF, kFvfTL);
    D3DINDEXBUFFER_DESC id{};
    ib->GetDesc(&id);
    EXPECT_EQ(id.Format, D3DFMT_INDEX16);
    EXPECT_EQ(id.Pool, D3DPOOL_DEFAULT);
    IDirect3DIndexBuffer8* bad = nullptr;
    EXPECT_EQ(dev_->CreateIndexBuffer(100, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &bad), D3DERR_INVALIDCALL);
    EXPECT_EQ(bad, nullptr);

    vb->Release();
    ib->Release();
}

TEST_F(Device, BuffersRefilledAfterADrawDrawTheNewContents) {
    PlainState();
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(dev_->CreateVertexBuffer(4 * sizeof(TLVertex), D3DUSAGE_WRITEONLY, kFvfTL, D3DPOOL_MANAGED, &vb), D3D_OK);
    dev_->SetVertexShader(kFvfTL);
    dev_->SetStreamSource(0, vb, sizeof(TLVertex));
    struct Fill {
        float x0;
        D3DCOLOR c;
    };
    const Fill fills[] = {{0, 0xffff0000}, {16, 0xff00ff00}, {32, 0xff0000ff}};
    for (const Fill& f : fills) {
        BYTE* p = nullptr;
        ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
        auto q = Quad(f.x0, 0, f.x0 + 16, 16, f.c);
        std::memcpy(p, q.data(), 4 * sizeof(TLVertex));
        ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3DERR_INVALIDCALL);  // still locked
        vb->Unlock();
        ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    }
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 16, 16, {255, 0, 0}));
    EXPECT_TRUE(RegionIs(16, 0, 32, 16, {0, 255, 0}));
    EXPECT_TRUE(RegionIs(32, 0, 48, 16, {0, 0, 255}));

    // Indexed: the base vertex index shifts every index; a relocked index
    // buffer picks other vertices.
    std::vector<TLVertex> two = Quad(0, 20, 16, 36, 0xffffff00);
    auto right = Quad(16, 20, 32, 36, 0xff00ffff);
    two.insert(two.end(), right.begin(), right.end());
    IDirect3DVertexBuffer8* vb8 = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(dev_->CreateVertexBuffer(8 * sizeof(TLVertex), 0, kFvfTL, D3DPOOL_MANAGED, &vb8), D3D_OK);
    ASSERT_EQ(dev_->CreateIndexBuffer(6 * 4, 0, D3DFMT_INDEX32, D3DPOOL_MANAGED, &ib), D3D_OK);
    BYTE* p = nullptr;
    vb8->Lock(0, 0, &p, 0);
    std::memcpy(p, two.data(), 8 * sizeof(TLVertex));
    vb8->Unlock();
    const uint32_t idx[6] = {0, 1, 2, 0, 2, 3};
    ib->Lock(0, 0, &p, 0);
    std::memcpy(p, idx, sizeof idx);
    ib->Unlock();
    dev_->SetStreamSource(0, vb8, sizeof(TLVertex));
    dev_->SetIndices(ib, 4);
    ASSERT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(0, 20, 16, 36, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(16, 20, 32, 36, {0, 255, 255}));
    dev_->SetIndices(ib, 0);
    ASSERT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    ib->Lock(0, 0, &p, 0);
    reinterpret_cast<uint32_t*>(p)[0] = 9;  // past the vertex buffer
    ib->Unlock();
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    Read();
    EXPECT_TRUE(RegionIs(0, 20, 16, 36, {255, 255, 0}));
    dev_->SetStreamSource(0, nullptr, 0);
    dev_->SetIndices(nullptr, 0);
    vb->Release();
    vb8->Release();
    ib->Release();
}

TEST_F(Device, GammaRampScaledBy255ShowsTheBackBufferUnchanged) {
    PlainState();
    // A gradient in every channel.
    std::vector<TLVertex> q = {{0, 0, 0.5f, 1, 0xff000000, 0, 0}, {64, 0, 0.5f, 1, 0xffffffff, 0, 0},
                               {64, 48, 0.5f, 1, 0xff00ff80, 0, 0}, {0, 48, 0.5f, 1, 0xffff0040, 0, 0}};
    DrawTL(D3DPT_TRIANGLEFAN, q);
    std::vector<uint8_t> back, shown;
    UINT w = 0, h = 0;
    ASSERT_EQ(ReadPresentedImage(dev_, shown, w, h), D3DERR_INVALIDCALL);  // nothing presented yet
    ASSERT_EQ(ReadBackBuffer(dev_, back, w, h), D3D_OK);

    D3DGAMMARAMP ramp{};
    dev_->GetGammaRamp(&ramp);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(ramp.red[i], i);
    struct Case {
        const char* name;
        int (*entry)(int i, int channel);  // the ramp written
        int (*shown)(int v, int channel);  // the picture expected for back-buffer value v
    };
    const Case cases[] = {
        {"the show's x255 scaling", [](int i, int) { return std::min(i * 255, 65535); }, [](int v, int) { return v; }},
        {"half brightness", [](int i, int) { return i * 255 / 2; }, [](int v, int) { return (v + 1) / 2; }},
        {"red inverted", [](int i, int c) { return (c == 0 ? 255 - i : i) * 255; },
         [](int v, int c) { return c == 0 ? 255 - v : v; }},
    };
    for (const Case& c : cases) {
        WORD* ch[3] = {ramp.red, ramp.green, ramp.blue};
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 256; ++i) ch[k][i] = static_cast<WORD>(c.entry(i, k));
        dev_->SetGammaRamp(D3DSGR_CALIBRATE, &ramp);
        ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        // Drawing after Present does not change what was shown.
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff123456, 1, 0);
        ASSERT_EQ(ReadPresentedImage(dev_, shown, w, h), D3D_OK);
        ASSERT_EQ(shown.size(), back.size());
        int bad = 0;
        for (size_t i = 0; i < back.size(); ++i) bad += std::abs(shown[i] - c.shown(back[i], int(i % 3))) > 1;
        EXPECT_EQ(bad, 0) << c.name;
        DrawTL(D3DPT_TRIANGLEFAN, q);
    }
    EXPECT_EQ(GetStats(dev_).presents, 3u);
}

}  // namespace
}  // namespace vt::d3d8::test
