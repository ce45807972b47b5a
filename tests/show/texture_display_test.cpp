// The screen-rectangle functions: what they draw and the state they leave.
#include "tests/show/show_fixture.h"

using namespace vt::test;

namespace {

class TextureDisplay : public ShowFixture {};

TEST_F(TextureDisplay, AlphaZeroMakesNoDeviceCall)
{
    IDirect3DTexture8* tex = MakeTexture(64, 64);
    dev.ClearLog();
    EXPECT_EQ(ShowTexture(tex, 10, 10, 100, 100, 0.0f, 1.0f, TRUE), S_OK);
    EXPECT_TRUE(dev.Log().empty());
    tex->Release();
}

TEST_F(TextureDisplay, AlphaSelectsOrModulatesTheTexturesAlpha)
{
    IDirect3DTexture8* tex = MakeTexture(64, 64);
    struct Case {
        float alpha;
        DWORD alphaOp;
        DWORD diffuseAlpha;
    } cases[] = {{255.0f, D3DTOP_SELECTARG1, 255}, {254.9f, D3DTOP_MODULATE, 254}, {127.5f, D3DTOP_MODULATE, 127}};
    for (const Case& c : cases) {
        dev.ClearLog();
        ASSERT_EQ(ShowTexture(tex, 0, 0, 10, 10, c.alpha, 1.0f, TRUE), S_OK);
        EXPECT_EQ(dev.StageState(0, D3DTSS_ALPHAOP), c.alphaOp) << c.alpha;
        EXPECT_EQ(dev.StageState(0, D3DTSS_ALPHAARG1), (DWORD)D3DTA_TEXTURE);
        EXPECT_EQ(dev.StageState(0, D3DTSS_COLOROP), (DWORD)D3DTOP_SELECTARG1);
        EXPECT_EQ(dev.Called("SetTextureStageState", {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE}),
                  c.alphaOp == D3DTOP_MODULATE);
        EXPECT_EQ(QuadVertices()[0].diffuse, (c.diffuseAlpha << 24) | 0x00FFFFFFu) << c.alpha;
    }
    tex->Release();
}

TEST_F(TextureDisplay, SizesComeFromTheTextureOnlyWhenBothAreZero)
{
    IDirect3DTexture8* tex = MakeTexture(256, 128);
    ASSERT_EQ(ShowTexture(tex, 10.5f, 20.0f, 0, 0, 255.0f, 1.0f, FALSE), S_OK);
    auto q = QuadVertices();
    EXPECT_EQ(q[2].x, 266.5f);
    EXPECT_EQ(q[2].y, 148.0f);
    EXPECT_EQ(q[0].z, 1.0f);  // behind: bFront FALSE

    ASSERT_EQ(ShowTexture(tex, 0, 0, 0, 100, 255.0f, 2.0f, TRUE), S_OK);
    q = QuadVertices();
    EXPECT_EQ(q[1].x, 0.0f);  // zero width stays zero
    EXPECT_EQ(q[2].y, 100.0f);
    EXPECT_EQ(q[2].tu, 2.0f);
    EXPECT_EQ(q[3].tv, 2.0f);

    ASSERT_EQ(ShowTexture(tex, 0, 0, 99.9f, 10.7f, 255.0f, 1.0f, TRUE), S_OK);
    q = QuadVertices();
    EXPECT_EQ(q[2].x, 99.0f);  // truncated toward zero
    EXPECT_EQ(q[2].y, 10.0f);
    tex->Release();
}

TEST_F(TextureDisplay, NullTextureNeedsAnExplicitSize)
{
    EXPECT_EQ(ShowTexture(nullptr, 0, 0, 0, 0, 255.0f, 1.0f, TRUE), E_FAIL);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "ShowTexure()\nTexture is NULL!");
    EXPECT_EQ(dev.Count("DrawPrimitive"), 0u);

    EXPECT_EQ(ShowTexture(nullptr, 0, 0, 1, 1, 255.0f, 1.0f, TRUE), S_OK);
    EXPECT_EQ(boxes.size(), 1u);

    const D3DCOLOR white[4] = {~0u, ~0u, ~0u, ~0u};
    EXPECT_EQ(ShowTextureEx(nullptr, white, 0, 0, 1, 1, 1, 1, 0, 0, 1.0f), E_FAIL);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "ShowTextureEx()\npTexture is NULL!");
}

TEST_F(TextureDisplay, AfterwardsBlendFactorsAreSourceAlphaNoTextureAndCullModeKept)
{
    IDirect3DTexture8* tex = MakeTexture(32, 32);
    SetCullMode(D3DCULL_CW);
    dev.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    dev.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    dev.ClearLog();
    ASSERT_EQ(ShowTexture(tex, 0, 0, 0, 0, 200.0f, 1.0f, TRUE), S_OK);
    // Drawn with no culling and the caller's blend factors...
    const Call* draw = dev.Last("DrawPrimitive");
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->Arg(0), (uint64_t)D3DPT_TRIANGLEFAN);
    EXPECT_EQ(draw->Arg(2), 2u);
    EXPECT_TRUE(dev.Called("SetRenderState", {D3DRS_CULLMODE, D3DCULL_NONE}));
    EXPECT_TRUE(dev.Called("SetRenderState", {D3DRS_FOGENABLE, FALSE}));
    EXPECT_EQ(dev.VertexShader(), (DWORD)FVF_SCREENVERTEX);
    // ...then left in the promised state.
    EXPECT_EQ(dev.Texture(0), nullptr);
    EXPECT_EQ(dev.RenderState(D3DRS_SRCBLEND), (DWORD)D3DBLEND_SRCALPHA);
    EXPECT_EQ(dev.RenderState(D3DRS_DESTBLEND), (DWORD)D3DBLEND_INVSRCALPHA);
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), (DWORD)D3DCULL_CW);
    tex->Release();
}

TEST_F(TextureDisplay, FailedDrawIsReportedAndLeavesTheTextureBound)
{
    IDirect3DTexture8* tex = MakeTexture(32, 32);
    dev.FailNext("DrawPrimitive", D3DERR_INVALIDCALL);
    EXPECT_EQ(ShowTexture(tex, 0, 0, 0, 0, 255.0f, 1.0f, TRUE), D3DERR_INVALIDCALL);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error: D3DERR_INVALIDCALL");
    EXPECT_EQ(dev.Texture(0), tex);
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), (DWORD)D3DCULL_NONE);
    dev.SetTexture(0, nullptr);
    tex->Release();
}

TEST_F(TextureDisplay, SourceRectangleMapsTexelsToUV)
{
    IDirect3DTexture8* tex = MakeTexture(256, 128);
    const D3DCOLOR colors[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
    ASSERT_EQ(ShowTextureEx(tex, 64, 32, 64, 64, colors, 5, 6, 0, 0, 1.0f), S_OK);
    auto q = QuadVertices();
    EXPECT_FLOAT_EQ(q[0].tu, 0.25f);
    EXPECT_FLOAT_EQ(q[1].tu, 0.5f);
    EXPECT_FLOAT_EQ(q[0].tv, 0.25f);
    EXPECT_FLOAT_EQ(q[3].tv, 0.75f);
    EXPECT_EQ(q[2].x, 5.0f + 256.0f);  // size 0 x 0: the texture's own size
    EXPECT_EQ(q[2].y, 6.0f + 128.0f);
    EXPECT_EQ(q[0].z, 0.1f);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(q[i].diffuse, colors[i]);
    EXPECT_EQ(dev.StageState(0, D3DTSS_COLOROP), (DWORD)D3DTOP_MODULATE);
    EXPECT_EQ(dev.StageState(0, D3DTSS_COLORARG2), (DWORD)D3DTA_DIFFUSE);

    // No source size: the whole texture.
    ASSERT_EQ(ShowTextureEx(tex, 64, 32, 0, 64, colors, 0, 0, 10, 10, 1.0f), S_OK);
    q = QuadVertices();
    EXPECT_EQ(q[0].tu, 0.0f);
    EXPECT_EQ(q[2].tu, 1.0f);

    // Scale and offset form.
    ASSERT_EQ(ShowTextureEx(tex, colors, 0, 0, 10, 10, 2.0f, 3.0f, 0.5f, 0.25f, 1.0f), S_OK);
    q = QuadVertices();
    EXPECT_EQ(q[0].tu, 0.5f);
    EXPECT_EQ(q[2].tu, 2.5f);
    EXPECT_EQ(q[2].tv, 3.25f);

    dev.ClearLog();
    EXPECT_EQ(ShowTextureEx(tex, colors, 0, 0, 10, 10, 1, 1, 0, 0, 0.0f), S_OK);
    EXPECT_TRUE(dev.Log().empty());
    tex->Release();
}

}  // namespace
