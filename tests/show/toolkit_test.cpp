// Ramps, fades, the random sequence, the plane grid, render targets, camera.
#include <cmath>

#include "gfx/fade.h"
#include "gfx/plane.h"
#include "gfx/render_target.h"
#include "tests/show/show_fixture.h"
#include "util/camera.h"
#include "util/interpolate.h"
#include "util/random.h"

using namespace vt::test;

namespace {

TEST(Interpolate, ClampedRamp)
{
    EXPECT_EQ(Interpolate(0, 255, 10, 5, 20), 0.0f);
    EXPECT_EQ(Interpolate(0, 255, 10, 15, 20), 127.5f);
    EXPECT_EQ(Interpolate(0, 255, 10, 25, 20), 255.0f);
    EXPECT_EQ(Interpolate(0, 255, 10, 10, 20), 0.0f);
    EXPECT_EQ(Interpolate(0, 255, 10, 20, 20), 255.0f);
    EXPECT_EQ(Interpolate(180, 0, 5, 5.5f, 6), 90.0f);
    const D3DXVECTOR3 v = InterpolateVector(D3DXVECTOR3(0, 5, -50), D3DXVECTOR3(0, 85, -15), 61, 62, 63);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 45.0f);
    EXPECT_EQ(v.z, -32.5f);
}

TEST(Random, TheRuntimeSequenceFromStateOne)
{
    SeedRand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int e : expected)
        EXPECT_EQ(Rand(), e);
    SeedRand(1);
    EXPECT_FLOAT_EQ(RandomFloat(0, 1), 41.0f * 2.0f / 32767.0f);
    // The span is max - min + 1: a call with min == max still varies.
    SeedRand(1);
    for (int i = 0; i < 1000; i++) {
        const float f = RandomFloat(3, 3);
        ASSERT_GE(f, 3.0f);
        ASSERT_LE(f, 4.0f);
    }
}

class Fades : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        g_pWhiteTexture = MakeTexture(8, 8);
        g_pBlackTexture = MakeTexture(8, 8);
    }
    void TearDown() override
    {
        SAFE_RELEASE(g_pWhiteTexture);
        SAFE_RELEASE(g_pBlackTexture);
        ShowFixture::TearDown();
    }
    // One frame of scene 1's opening fades at scene time s (show time s + 5).
    void OpeningFadesAt(float s)
    {
        g_fShowTime = s + 5.0f;
        SetFade(0xFF000000, 0xFF000000, 0, s, 10.7f, 0);
        SetFade(0xFF000000, 0x00000000, 10.7f, s, 21.0f, 0);
    }
};

TEST_F(Fades, BlackFadeInRampsThenSwitchesOff)
{
    OpeningFadesAt(10.7f);
    EXPECT_EQ(g_fFadeActive, 1.0f);
    EXPECT_EQ(g_dwFadeColor, 0xFF000000u);
    OpeningFadesAt(15.85f);
    EXPECT_EQ(g_dwFadeColor >> 24, 127u);
    const D3DCOLOR before = g_dwFadeColor;
    OpeningFadesAt(21.0f);
    EXPECT_EQ(g_dwFadeColor, before);  // the window has closed: nothing changes
    dev.ClearLog();
    DrawFade(g_dwFadeColor, 0, 0, 1024, 768, FALSE);
    EXPECT_EQ(g_fFadeActive, 0.0f);
    EXPECT_EQ(dev.Count("DrawPrimitive"), 0u);
}

TEST_F(Fades, WhiteFlashHoldsUntilItsHoldEnds)
{
    auto flash = [](float s) {
        g_fShowTime = s + 5.0f;
        SetFade(0x00FFFFFF, 0xFFFFFFFF, 63.75f, s, 64.0f, 1.0f);
    };
    flash(63.75f);
    EXPECT_EQ(g_dwFadeColor, 0x00FFFFFFu);
    flash(64.0f);
    EXPECT_EQ(g_dwFadeColor, 0xFFFFFFFFu);
    flash(64.9f);
    EXPECT_EQ(g_dwFadeColor, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(g_fFadeEnd, 70.0f);
    // Exactly at the end of the hold the call does nothing.
    g_dwFadeColor = 0x12345678;
    flash(65.0f);
    EXPECT_EQ(g_dwFadeColor, 0x12345678u);

    // While open, the overlay is the white texture at the fade's alpha.
    g_fShowTime = 69.0f;
    dev.ClearLog();
    DrawFade(0xFFFFFFFF, 0, 0, 1024, 768, FALSE);
    EXPECT_EQ(dev.Count("DrawPrimitive"), 1u);
    EXPECT_TRUE(dev.Called("SetTexture", {0, (uint64_t)(uintptr_t)g_pWhiteTexture}));
    EXPECT_EQ(QuadVertices()[2].x, 1024.0f);
}

TEST_F(Fades, ForcedBandsDrawOutsideTheWindowAndColourPicksTheTexture)
{
    g_fShowTime = 500.0f;
    dev.ClearLog();
    DrawFade(0x80000000, 0, 0, 1024, 100, TRUE);
    EXPECT_TRUE(dev.Called("SetTexture", {0, (uint64_t)(uintptr_t)g_pBlackTexture}));
    EXPECT_EQ(QuadVertices()[0].diffuse >> 24, 0x80u);
    DrawFade(0x80000001, 0, 0, 1024, 100, TRUE);
    EXPECT_TRUE(dev.Called("SetTexture", {0, (uint64_t)(uintptr_t)g_pWhiteTexture}));
}

class Plane : public ShowFixture {};

TEST_F(Plane, GridCountsIndicesAndFields)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
    ASSERT_EQ(dev.CreateVertexBuffer(50 * 50 * 28, 0, fvf, D3DPOOL_MANAGED, &vb), S_OK);
    ASSERT_EQ(dev.CreateIndexBuffer(49 * 49 * 6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), S_OK);
    ASSERT_EQ(SetVB3DPlaneRect(vb, ib, fvf, D3DXVECTOR3(-50, 7, 50), D3DXVECTOR3(50, 3, -50), 50, 50), S_OK);

    BYTE* v = nullptr;
    BYTE* i = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &v, D3DLOCK_READONLY), S_OK);
    ASSERT_EQ(ib->Lock(0, 0, &i, D3DLOCK_READONLY), S_OK);
    const float* first = (const float*)v;
    EXPECT_EQ(first[0], -50.0f);
    EXPECT_EQ(first[1], 0.0f);  // the corners' y is ignored
    EXPECT_EQ(first[2], 50.0f);
    EXPECT_EQ(first[4], 1.0f);  // normal (0, 1, 0)
    EXPECT_EQ(*(const DWORD*)(v + 24), 0xFFFFFFFFu);
    const float* last = (const float*)(v + 28 * (50 * 50 - 1));
    EXPECT_FLOAT_EQ(last[0], 50.0f);
    EXPECT_FLOAT_EQ(last[2], -50.0f);
    const WORD* idx = (const WORD*)i;
    const WORD firstCell[6] = {0, 1, 50, 50, 1, 51};
    for (int k = 0; k < 6; k++)
        EXPECT_EQ(idx[k], firstCell[k]);
    // The second row of cells starts at vertex 50.
    EXPECT_EQ(idx[49 * 6], 50);
    EXPECT_EQ(idx[49 * 49 * 6 - 1], 50 * 50 - 1);
    vb->Unlock();
    ib->Unlock();

    // Texture coordinates run 0..1 across the grid in the 36-byte format.
    IDirect3DVertexBuffer8* vbt = nullptr;
    ASSERT_EQ(dev.CreateVertexBuffer(3 * 2 * 36, 0, 0x152, D3DPOOL_MANAGED, &vbt), S_OK);
    ASSERT_EQ(SetVB3DPlaneRect(vbt, ib, 0x152, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(2, 0, 1), 3, 2), S_OK);
    ASSERT_EQ(vbt->Lock(0, 0, &v, D3DLOCK_READONLY), S_OK);
    const float* uv = (const float*)(v + 36 * 5 + 28);
    EXPECT_EQ(uv[0], 1.0f);
    EXPECT_EQ(uv[1], 1.0f);
    EXPECT_EQ(((const float*)(v + 36 * 1 + 28))[0], 0.5f);
    vbt->Unlock();
    vbt->Release();
    vb->Release();
    ib->Release();
}

TEST_F(Plane, MissingBufferFailedLockAndTooSmallBuffers)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(dev.CreateVertexBuffer(4 * 28, 0, 0x52, D3DPOOL_MANAGED, &vb), S_OK);
    ASSERT_EQ(dev.CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), S_OK);

    EXPECT_EQ(SetVB3DPlaneRect(nullptr, ib, 0x52, D3DXVECTOR3(), D3DXVECTOR3(1, 0, 1), 2, 2), E_FAIL);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "SetVB3DPlaneRect()\nA buffer pointer is NULL!");

    dev.FailNext("IndexBuffer.Lock", D3DERR_INVALIDCALL);
    EXPECT_EQ(SetVB3DPlaneRect(vb, ib, 0x52, D3DXVECTOR3(), D3DXVECTOR3(1, 0, 1), 2, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(boxes.size(), 1u);  // no message for a failed lock
    // The vertex buffer was not left locked.
    EXPECT_EQ(SetVB3DPlaneRect(vb, ib, 0x52, D3DXVECTOR3(), D3DXVECTOR3(1, 0, 1), 2, 2), S_OK);

    // A grid larger than the buffers is refused instead of overrunning them.
    EXPECT_EQ(SetVB3DPlaneRect(vb, ib, 0x52, D3DXVECTOR3(), D3DXVECTOR3(1, 0, 1), 3, 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(SetVB3DPlaneRect(vb, ib, 0x52, D3DXVECTOR3(), D3DXVECTOR3(1, 0, 1), 1, 2), E_INVALIDARG);
    vb->Release();
    ib->Release();
}

class RenderTargets : public ShowFixture {};

TEST_F(RenderTargets, CubeFaceBecomesTheTargetAndTheBackBufferReturns)
{
    ASSERT_EQ(dev.GetRenderTarget(&g_pBackBuffer), S_OK);
    ASSERT_EQ(dev.GetDepthStencilSurface(&g_pZBuffer), S_OK);
    IDirect3DCubeTexture8* cube = nullptr;
    ASSERT_EQ(dev.CreateCubeTexture(256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &cube), S_OK);
    dev.ClearLog();
    EXPECT_EQ(SetRenderTargetToTexture(D3DCUBEMAP_FACE_NEGATIVE_Y, cube, nullptr), S_OK);
    const Call* get = dev.Last("CubeTexture.GetCubeMapSurface");
    ASSERT_NE(get, nullptr);
    EXPECT_EQ(get->Arg(1), (uint64_t)D3DCUBEMAP_FACE_NEGATIVE_Y);
    EXPECT_EQ(get->Arg(2), 0u);
    D3DSURFACE_DESC desc;
    ASSERT_NE(dev.CurrentRenderTarget(), g_pBackBuffer);
    dev.CurrentRenderTarget()->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(desc.Usage, (DWORD)D3DUSAGE_RENDERTARGET);
    EXPECT_EQ(dev.CurrentDepthStencil(), nullptr);
    EXPECT_EQ(RestoreRenderTarget(), S_OK);
    EXPECT_EQ(dev.CurrentRenderTarget(), g_pBackBuffer);
    EXPECT_EQ(dev.CurrentDepthStencil(), g_pZBuffer);
    cube->Release();

    // Usage must be exactly render target.
    ASSERT_EQ(dev.CreateCubeTexture(64, 1, D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
                                    D3DPOOL_DEFAULT, &cube),
              S_OK);
    EXPECT_EQ(SetRenderTargetToTexture(D3DCUBEMAP_FACE_POSITIVE_X, cube, nullptr), E_FAIL);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "SetRenderTargetToTexture()\nTexture missing D3DUSAGE_RENDERTARGET flag!");
    EXPECT_EQ(dev.CurrentRenderTarget(), g_pBackBuffer);
    EXPECT_EQ(RecordingDevice::RefCount(cube), 1u);  // the face reference was not kept
    cube->Release();
    SAFE_RELEASE(g_pBackBuffer);
    SAFE_RELEASE(g_pZBuffer);
}

TEST(Camera, DefaultsProjectionAndUp)
{
    CCamera camera;
    D3DXMATRIX view, proj, identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_TRUE(*camera.GetViewMatrix(&view) == identity);
    camera.GetProjMatrix(&proj);
    const float c = 1.0f / std::tan(D3DX_PI / 8.0f);
    EXPECT_NEAR(proj._11, c, 1e-5f);
    EXPECT_NEAR(proj._22, c, 1e-5f);
    EXPECT_NEAR(proj._33, 1000.0f / 999.0f, 1e-6f);
    EXPECT_EQ(proj._34, 1.0f);
    EXPECT_NEAR(proj._43, -1000.0f / 999.0f, 1e-6f);

    camera.SetProjection(0.7853982f, 4.0f / 3.0f, 1.0f, 200.0f);
    camera.GetProjMatrix(&proj);
    EXPECT_NEAR(proj._11, c * 0.75f, 1e-5f);
    EXPECT_NEAR(proj._22, c, 1e-5f);

    const D3DXVECTOR3 up(0.3f, 1.0f, 0.2f);
    camera.SetView(D3DXVECTOR3(0, 5, -50), D3DXVECTOR3(0, 0, 0), up);
    D3DXVECTOR3 got;
    EXPECT_TRUE(*camera.GetUp(&got) == up);  // not re-orthogonalised
    camera.GetViewMatrix(&view);
    // The eye maps to the origin of camera space.
    D3DXVECTOR3 eye(0, 5, -50), atOrigin;
    D3DXVec3TransformCoord(&atOrigin, &eye, &view);
    EXPECT_NEAR(D3DXVec3Length(&atOrigin), 0.0f, 1e-4f);
}

}  // namespace
