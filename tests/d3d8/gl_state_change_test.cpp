// State changed between two draws reaches the second draw, for every group
// of state the OpenGL device sends on its own (transforms, lights,
// material, vertex switches, texture coordinates, fog, pixel values) and
// for the program and sampler changes. Each test draws column 0, changes
// one thing, draws column 1 with the same vertices where it can, and reads
// both columns back.
#include "tests/d3d8/gl_fixture.h"

namespace vt::d3d8::test {
namespace {

class StateChange : public ClipSpaceTest {
protected:
    void LitByMaterial() {
        dev_->SetRenderState(D3DRS_LIGHTING, TRUE);
        dev_->SetRenderState(D3DRS_COLORVERTEX, FALSE);
        dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    }
    // Light 0, set and on: red, directional, shining along the view (onto
    // the columns, whose normals face the viewer).
    D3DLIGHT8 RedLightAlongView() {
        D3DLIGHT8 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Direction = {0, 0, 1};
        light.Diffuse = {1, 0, 0, 1};
        dev_->SetLight(0, &light);
        dev_->LightEnable(0, TRUE);
        return light;
    }
    static D3DMATERIAL8 Emissive(float r, float g, float b) {
        D3DMATERIAL8 m{};
        m.Diffuse = {1, 1, 1, 1};
        m.Emissive = {r, g, b, 1};
        return m;
    }
};

TEST_F(StateChange, WorldMatrix) {
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(0, 0xffff0000), kFvfLit), D3D_OK);
    D3DMATRIX shift = Mat({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1});
    dev_->SetTransform(D3DTS_WORLD, &shift);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(0, 0xff00ff00), kFvfLit), D3D_OK);
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 255, 0}));
}

TEST_F(StateChange, AProgramThatMissedATransformChangeGetsIt) {
    // Unlit and lit draws run different vertex programs; the world matrix
    // changes while the lit one draws, and the unlit one must see it too.
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(0, 0xffff0000), kFvfLit), D3D_OK);
    LitByMaterial();
    D3DMATERIAL8 green = Emissive(0, 1, 0);
    dev_->SetMaterial(&green);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(1, 0), kFvfLit), D3D_OK);
    D3DMATRIX shift = Mat({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1});
    dev_->SetTransform(D3DTS_WORLD, &shift);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(1, 0), kFvfLit), D3D_OK);
    dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(2, 0xff0000ff), kFvfLit), D3D_OK);
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 255, 0}));
    EXPECT_TRUE(ColumnIs(2, {0, 255, 0}));
    EXPECT_TRUE(ColumnIs(3, {0, 0, 255}));
}

TEST_F(StateChange, MaterialAndAmbient) {
    LitByMaterial();
    D3DMATERIAL8 red = Emissive(1, 0, 0);
    dev_->SetMaterial(&red);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(0, 0), kFvfLit), D3D_OK);
    D3DMATERIAL8 blue = Emissive(0, 0, 1);
    blue.Ambient = {0, 1, 0, 1};  // no global ambient yet
    dev_->SetMaterial(&blue);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(1, 0), kFvfLit), D3D_OK);
    // Global ambient times the material's ambient, added to the emissive.
    dev_->SetRenderState(D3DRS_AMBIENT, 0xff808080);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(2, 0), kFvfLit), D3D_OK);
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 0, 255}));
    EXPECT_TRUE(ColumnIs(2, {0, 128, 255}));
}

TEST_F(StateChange, LightsAndTheirSwitch) {
    LitByMaterial();
    D3DMATERIAL8 white = Emissive(0, 0, 0);
    dev_->SetMaterial(&white);
    D3DLIGHT8 light = RedLightAlongView();
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(0, 0), kFvfLit), D3D_OK);
    light.Diffuse = {0, 1, 0, 1};
    dev_->SetLight(0, &light);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(1, 0), kFvfLit), D3D_OK);
    dev_->LightEnable(0, FALSE);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(2, 0), kFvfLit), D3D_OK);
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 255, 0}));
    EXPECT_TRUE(ColumnIs(2, {0, 0, 0}));
}

TEST_F(StateChange, VertexColourSwitches) {
    LitByMaterial();
    D3DMATERIAL8 red = Emissive(1, 0, 0);
    dev_->SetMaterial(&red);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(0, 0xff0000ff), kFvfLit), D3D_OK);
    // The emissive colour now comes from the vertex.
    dev_->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    dev_->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_COLOR1);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(1, 0xff0000ff), kFvfLit), D3D_OK);
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 0, 255}));
}

TEST_F(StateChange, PixelValuesAndFog) {
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    dev_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xffff0000);
    EXPECT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, kH, 0xffffffff)), D3D_OK);
    dev_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xff00ff00);
    EXPECT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(16, 0, 32, kH, 0xffffffff)), D3D_OK);
    // Untransformed vertices fogged by linear vertex fog: fully at depth 0.5
    // with the range [0, 0.25], then the colour changes.
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev_->SetRenderState(D3DRS_FOGENABLE, TRUE);
    dev_->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    dev_->SetRenderState(D3DRS_FOGSTART, FtoDW(0.0f));
    dev_->SetRenderState(D3DRS_FOGEND, FtoDW(0.25f));
    dev_->SetRenderState(D3DRS_FOGCOLOR, 0xff0000ff);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(2, 0xffffffff), kFvfLit), D3D_OK);
    dev_->SetRenderState(D3DRS_FOGCOLOR, 0xffffff00);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, Column(3, 0xffffffff), kFvfLit), D3D_OK);
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 255, 0}));
    EXPECT_TRUE(ColumnIs(2, {0, 0, 255}));
    EXPECT_TRUE(ColumnIs(3, {255, 255, 0}));
}

TEST_F(StateChange, AlphaReferenceAndFunction) {
    dev_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    dev_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    dev_->SetRenderState(D3DRS_ALPHAREF, 0x40);
    EXPECT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, kH, 0x80ff0000)), D3D_OK);  // 0x80 > 0x40: drawn
    dev_->SetRenderState(D3DRS_ALPHAREF, 0xc0);
    EXPECT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(16, 0, 32, kH, 0x80ff0000)), D3D_OK);  // not drawn
    dev_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_LESS);
    EXPECT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(32, 0, 48, kH, 0x80ff0000)), D3D_OK);  // 0x80 < 0xc0: drawn
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 0, 0}));
    EXPECT_TRUE(ColumnIs(2, {255, 0, 0}));
}

TEST_F(StateChange, TextureMatrixAndSampler) {
    // Two texels, red | green; the second draw shifts u by half through the
    // texture matrix, the third wraps it back with the address mode changed.
    IDirect3DTexture8* tex = MakeTexture(2, 1, {0xffff0000, 0xff00ff00});
    ASSERT_NE(tex, nullptr);
    dev_->SetTexture(0, tex);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    struct V {
        float x, y, z, nx, ny, nz;
        float u, v;
    };
    auto column = [](int k, float u) {
        const float x0 = -1.0f + 0.5f * float(k), x1 = x0 + 0.5f;
        return std::vector<V>{{x0, 1, 0.5f, 0, 0, -1, u, 0.5f}, {x1, 1, 0.5f, 0, 0, -1, u, 0.5f},
                              {x1, -1, 0.5f, 0, 0, -1, u, 0.5f}, {x0, -1, 0.5f, 0, 0, -1, u, 0.5f}};
    };
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, column(0, 0.25f), fvf), D3D_OK);
    D3DMATRIX shift = Mat({1, 0, 0, 0, 0, 1, 0, 0, 0.5f, 0, 1, 0, 0, 0, 0, 1});  // u += 0.5 (third row: the 1 of (u, v, 1))
    dev_->SetTransform(D3DTS_TEXTURE0, &shift);
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, column(1, 0.25f), fvf), D3D_OK);
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    dev_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    EXPECT_EQ(Draw(D3DPT_TRIANGLEFAN, column(2, 1.25f), fvf), D3D_OK);  // clamped: the last texel
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 0}));
    EXPECT_TRUE(ColumnIs(1, {0, 255, 0}));
    EXPECT_TRUE(ColumnIs(2, {0, 255, 0}));
    dev_->SetTexture(0, nullptr);
    tex->Release();
}

TEST_F(StateChange, BlocksSetOnceOutliveTheUniformBufferFillingUp) {
    // Material, light and vertex switches are set once; then enough draws
    // that each change the texture factor (a block of its own) to fill the
    // device's uniform buffer (a few megabytes) and start it again; the last
    // draw still sees them.
    LitByMaterial();
    D3DMATERIAL8 m = Emissive(0, 0, 1);
    dev_->SetMaterial(&m);
    RedLightAlongView();
    const std::vector<LitVertex> v = Column(0, 0);
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(dev_->CreateVertexBuffer(UINT(v.size() * sizeof(LitVertex)), 0, kFvfLit, D3DPOOL_MANAGED, &vb), D3D_OK);
    BYTE* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, v.data(), v.size() * sizeof(LitVertex));
    vb->Unlock();
    dev_->SetVertexShader(kFvfLit);
    dev_->SetStreamSource(0, vb, sizeof(LitVertex));
    for (int i = 0; i < 40000; ++i) {
        D3DMATRIX away = Mat({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4.0f + float(i % 7), 0, 0, 1});  // off screen
        dev_->SetTransform(D3DTS_WORLD, &away);
        dev_->SetRenderState(D3DRS_TEXTUREFACTOR, D3DCOLOR(i));
        ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    }
    const D3DMATRIX id = IdentityMatrix();
    dev_->SetTransform(D3DTS_WORLD, &id);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    dev_->SetStreamSource(0, nullptr, 0);
    vb->Release();
    Read();
    EXPECT_TRUE(ColumnIs(0, {255, 0, 255}));  // the light's red on the material's blue
}

}  // namespace
}  // namespace vt::d3d8::test
