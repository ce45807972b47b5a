// The recording device itself: other tests rely on its checks being right.

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/recording_device.h"

namespace {

using vt::test::RecordingDevice;

TEST(RecordingDevice, ShadowStateStartsAtDefaultsAndGetsFail) {
    RecordingDevice dev;
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));
    EXPECT_EQ(dev.RenderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_ONE));
    EXPECT_EQ(dev.RenderState(D3DRS_ZENABLE), DWORD(D3DZB_TRUE));
    EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), DWORD(TRUE));
    EXPECT_FLOAT_EQ(dev.RenderStateFloat(D3DRS_FOGEND), 1.0f);
    EXPECT_EQ(dev.StageState(0, D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));
    EXPECT_EQ(dev.StageState(1, D3DTSS_COLOROP), DWORD(D3DTOP_DISABLE));
    EXPECT_EQ(dev.StageState(3, D3DTSS_TEXCOORDINDEX), 3u);
    EXPECT_EQ(dev.Viewport().Width, 1024u);

    ASSERT_EQ(dev.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    ASSERT_EQ(dev.SetRenderState(D3DRS_POINTSIZE, FtoDW(10.0f)), D3D_OK);
    EXPECT_EQ(dev.RenderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
    EXPECT_FLOAT_EQ(dev.RenderStateFloat(D3DRS_POINTSIZE), 10.0f);
    DWORD v = 0;
    EXPECT_TRUE(dev.LastLoggedRenderState(D3DRS_SRCBLEND, &v));
    EXPECT_EQ(v, DWORD(D3DBLEND_SRCALPHA));
    EXPECT_FALSE(dev.LastLoggedRenderState(D3DRS_DESTBLEND, &v));
    EXPECT_TRUE(dev.Called("SetRenderState", {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}));
    EXPECT_FALSE(dev.Called("SetRenderState", {D3DRS_SRCBLEND, D3DBLEND_ONE}));

    EXPECT_EQ(dev.GetRenderState(D3DRS_SRCBLEND, &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev.GetTextureStageState(0, D3DTSS_COLOROP, &v), D3DERR_INVALIDCALL);
    D3DMATRIX m{};
    EXPECT_EQ(dev.GetTransform(D3DTS_VIEW, &m), D3DERR_INVALIDCALL);
    m._11 = 2;
    m._44 = 1;
    ASSERT_EQ(dev.SetTransform(D3DTS_VIEW, &m), D3D_OK);
    EXPECT_EQ(dev.Transform(D3DTS_VIEW)._11, 2.0f);
    EXPECT_EQ(dev.Transform(D3DTS_WORLD)._22, 1.0f);  // untouched: identity
    ASSERT_NE(dev.Last("SetTransform")->Payload<D3DMATRIX>(), nullptr);
    EXPECT_EQ(dev.Last("SetTransform")->Payload<D3DMATRIX>()->_11, 2.0f);

    EXPECT_EQ(dev.LightEnable(3, TRUE), D3D_OK);  // an undefined light becomes the default one
    EXPECT_TRUE(dev.LightEnabled(3));
    EXPECT_EQ(dev.Light(3).Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(dev.Light(3).Direction.z, 1.0f);
}

TEST(RecordingDevice, InjectedFailuresCountSkipAndPersist) {
    RecordingDevice dev;
    IDirect3DVertexBuffer8* vb = nullptr;
    dev.FailNext("CreateVertexBuffer", E_OUTOFMEMORY, 2, 1);
    EXPECT_EQ(dev.CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb), D3D_OK);  // skipped
    vb->Release();
    EXPECT_EQ(dev.CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb), E_OUTOFMEMORY);
    EXPECT_EQ(vb, nullptr);
    EXPECT_EQ(dev.CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb), E_OUTOFMEMORY);
    EXPECT_EQ(dev.CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb), D3D_OK);  // used up
    EXPECT_EQ(dev.Last("CreateVertexBuffer")->result, D3D_OK);
    EXPECT_EQ(dev.Find("CreateVertexBuffer")[1]->result, E_OUTOFMEMORY);

    dev.FailAlways("VertexBuffer.Lock", D3DERR_INVALIDCALL);
    BYTE* p = reinterpret_cast<BYTE*>(1);
    EXPECT_EQ(vb->Lock(0, 0, &p, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(vb->Lock(0, 0, &p, 0), D3DERR_INVALIDCALL);
    dev.ClearFailures();
    EXPECT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    vb->Release();
    EXPECT_EQ(dev.LiveResources(), 0);

    dev.FailNext("DrawPrimitive", D3DERR_DEVICELOST);
    EXPECT_EQ(dev.DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_DEVICELOST);
}

TEST(RecordingDevice, BufferAndTextureLocksCheckRanges) {
    RecordingDevice dev;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(dev.CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    BYTE* p = nullptr;
    const struct {
        UINT offset, size;
        HRESULT expect;
    } locks[] = {{0, 0, D3D_OK}, {4, 8, D3D_OK}, {12, 0, D3D_OK}, {4, 9, D3DERR_INVALIDCALL}, {13, 0, D3DERR_INVALIDCALL}};
    for (const auto& l : locks) {
        EXPECT_EQ(ib->Lock(l.offset, l.size, &p, 0), l.expect) << l.offset << "+" << l.size;
        if (l.expect == D3D_OK) {
            EXPECT_EQ(ib->Unlock(), D3D_OK);
        }
    }
    EXPECT_EQ(ib->Unlock(), D3DERR_INVALIDCALL);  // not locked
    ib->Release();
    EXPECT_EQ(dev.CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib), D3DERR_INVALIDCALL);
    EXPECT_EQ(ib, nullptr);

    IDirect3DTexture8* tex = nullptr;
    ASSERT_EQ(dev.CreateTexture(16, 4, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &tex), D3D_OK);
    EXPECT_EQ(tex->GetLevelCount(), 5u);  // 16x4 8x2 4x1 2x1 1x1
    D3DSURFACE_DESC d{};
    ASSERT_EQ(tex->GetLevelDesc(3, &d), D3D_OK);
    EXPECT_EQ(d.Width, 2u);
    EXPECT_EQ(d.Height, 1u);
    D3DLOCKED_RECT lr{};
    const RECT r{2, 1, 4, 3};
    ASSERT_EQ(tex->LockRect(0, &lr, &r, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 64);
    EXPECT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    EXPECT_EQ(tex->UnlockRect(0), D3D_OK);
    const RECT outside{0, 0, 17, 1};
    EXPECT_EQ(tex->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex->LockRect(5, &lr, nullptr, 0), D3DERR_INVALIDCALL);
    IDirect3DSurface8* s = nullptr;
    ASSERT_EQ(tex->GetSurfaceLevel(1, &s), D3D_OK);
    EXPECT_EQ(RecordingDevice::RefCount(tex), 2u);  // the level keeps its texture
    s->GetDesc(&d);
    EXPECT_EQ(d.Width, 8u);
    EXPECT_EQ(d.Format, D3DFMT_X8R8G8B8);
    s->Release();
    tex->Release();

    // Render-target textures live in the default pool and cannot be locked.
    ASSERT_EQ(dev.CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex), D3D_OK);
    EXPECT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(tex->GetSurfaceLevel(0, &s), D3D_OK);
    s->GetDesc(&d);
    EXPECT_EQ(d.Usage, DWORD(D3DUSAGE_RENDERTARGET));
    ASSERT_EQ(dev.SetRenderTarget(s, nullptr), D3D_OK);
    EXPECT_EQ(dev.Viewport().Width, 8u);  // the viewport follows the target
    EXPECT_EQ(dev.CurrentDepthStencil(), nullptr);
    EXPECT_EQ(dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev.Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    s->Release();
    tex->Release();
    EXPECT_EQ(dev.LiveResources(), 2);  // the bound target surface and its texture
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(dev.GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(dev.SetRenderTarget(back, nullptr), D3D_OK);
    back->Release();
    EXPECT_EQ(dev.LiveResources(), 0);
}

TEST(RecordingDevice, BindingsHoldReferencesAndDrawsAreValidated) {
    RecordingDevice dev;
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(dev.CreateVertexBuffer(4 * 12, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb), D3D_OK);
    ASSERT_EQ(dev.CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    BYTE* p = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
    const WORD idx[6] = {0, 1, 2, 1, 2, 3};
    std::memcpy(p, idx, sizeof idx);
    ib->Unlock();

    EXPECT_EQ(dev.DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // outside a scene
    ASSERT_EQ(dev.BeginScene(), D3D_OK);
    EXPECT_EQ(dev.BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev.DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // nothing bound
    dev.SetStreamSource(0, vb, 12);
    dev.SetIndices(ib, 0);
    EXPECT_EQ(RecordingDevice::RefCount(vb), 2u);
    EXPECT_EQ(dev.DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // no vertex format
    dev.SetVertexShader(D3DFVF_XYZ);
    // The rules themselves are tested with the OpenGL device's (tests/d3d8/draw_rules_test.cpp).
    EXPECT_EQ(dev.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(dev.EndScene(), D3D_OK);
    EXPECT_EQ(dev.EndScene(), D3DERR_INVALIDCALL);

    EXPECT_EQ(vb->Release(), 1u);  // the device still holds it
    ib->Release();
    EXPECT_EQ(dev.LiveResources(), 2);
    dev.SetStreamSource(0, nullptr, 0);
    dev.SetIndices(nullptr, 0);
    EXPECT_EQ(dev.LiveResources(), 0);
    EXPECT_EQ(dev.Sequence({"BeginScene", "EndScene"}),
              (std::vector<std::string>{"BeginScene", "BeginScene", "EndScene", "EndScene"}));
}

TEST(RecordingDevice, ResourcesOutliveTheDevice) {
    IDirect3DVertexBuffer8* vb = nullptr;
    {
        RecordingDevice dev;
        ASSERT_EQ(dev.CreateVertexBuffer(16, 0, 0, D3DPOOL_SYSTEMMEM, &vb), D3D_OK);
        IDirect3DDevice8* owner = nullptr;
        ASSERT_EQ(vb->GetDevice(&owner), D3D_OK);
        EXPECT_EQ(owner, &dev);
        owner->Release();
    }
    IDirect3DDevice8* owner = nullptr;
    EXPECT_EQ(vb->GetDevice(&owner), D3DERR_INVALIDCALL);
    BYTE* p = nullptr;
    EXPECT_EQ(vb->Lock(0, 16, &p, 0), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Release(), 0u);
}

}  // namespace
