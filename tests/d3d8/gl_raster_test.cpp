// Rasterisation on the OpenGL device: pixel coverage of pre-transformed and
// transformed geometry, lines and points, culling, depth, blending, alpha
// test, Clear and the viewport.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tests/d3d8/gl_fixture.h"

namespace vt::d3d8::test {
namespace {

class Raster : public GlDeviceTest {};

TEST_F(Raster, PreTransformedQuadsCoverDirect3DPixels) {
    struct Case {
        float x0, y0, x1, y1;
        int px0, py0, px1, py1;  // covered pixels, half-open
    };
    const Case cases[] = {
        {0, 0, 4, 4, 0, 0, 4, 4},          // integer edges: pixels 0..3
        {0, 0, 1, 1, 0, 0, 1, 1},          // exactly one pixel
        {10, 5, 11, 6, 10, 5, 11, 6},      // one pixel elsewhere
        {10.5f, 20.5f, 12.5f, 22.5f, 11, 21, 13, 23},  // half-pixel edges: centres 11, 12
        {2, 30, 9, 33, 2, 30, 9, 33},
    };
    PlainState();
    for (const Case& c : cases) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, Quad(c.x0, c.y0, c.x1, c.y1, 0xffffffff)), D3D_OK);
        Read();
        int covered = 0, outside = 0;
        for (int y = 0; y < int(kH); ++y)
            for (int x = 0; x < int(kW); ++x) {
                bool in = x >= c.px0 && x < c.px1 && y >= c.py0 && y < c.py1;
                bool lit = At(x, y)[0] > 128;
                covered += in && lit;
                outside += !in && lit;
            }
        EXPECT_EQ(covered, (c.px1 - c.px0) * (c.py1 - c.py0)) << "quad " << c.x0 << "," << c.y0;
        EXPECT_EQ(outside, 0) << "quad " << c.x0 << "," << c.y0;
    }
}

TEST_F(Raster, LinesAndPointsStayOnTheirPixels) {
    PlainState();
    // A horizontal line at integer y stays on that row; a vertical one on its column.
    std::vector<TLVertex> lines = {{2, 10, 0.5f, 1, 0xffff0000, 0, 0}, {30, 10, 0.5f, 1, 0xffff0000, 0, 0},
                                   {40, 2, 0.5f, 1, 0xff00ff00, 0, 0}, {40, 20, 0.5f, 1, 0xff00ff00, 0, 0}};
    ASSERT_EQ(DrawTL(D3DPT_LINELIST, lines), D3D_OK);
    dev_->SetRenderState(D3DRS_POINTSIZE, FtoDW(4.0f));
    std::vector<TLVertex> pt = {{20.0f, 30.0f, 0.5f, 1, 0xff0000ff, 0, 0}};
    ASSERT_EQ(DrawTL(D3DPT_POINTLIST, pt), D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(3, 10, 29, 11, {255, 0, 0}));
    EXPECT_TRUE(RegionIs(3, 9, 29, 10, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(3, 11, 29, 12, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(40, 3, 41, 19, {0, 255, 0}));
    EXPECT_TRUE(RegionIs(39, 3, 40, 19, {0, 0, 0}));
    // A 4-pixel point centred on (20,30) covers 18..21 both ways.
    EXPECT_TRUE(RegionIs(18, 28, 22, 32, {0, 0, 255}));
    EXPECT_TRUE(RegionIs(17, 28, 18, 32, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(22, 28, 23, 32, {0, 0, 0}));
}

TEST_F(Raster, CullingFollowsDirect3DWinding) {
    // Clockwise on screen: top-left, top-right, bottom-left.
    const std::vector<TLVertex> cw = {{0, 0, 0.5f, 1, 0xffffffff, 0, 0}, {40, 0, 0.5f, 1, 0xffffffff, 0, 0},
                                      {0, 40, 0.5f, 1, 0xffffffff, 0, 0}};
    const std::vector<TLVertex> ccw = {cw[0], cw[2], cw[1]};
    // The same shape in clip space through identity transforms.
    const std::vector<LitVertex> cwXyz = {{-1, 1, 0.5f, 0, 0, -1, 0xffffffff}, {0.25f, 1, 0.5f, 0, 0, -1, 0xffffffff},
                                          {-1, -0.6667f, 0.5f, 0, 0, -1, 0xffffffff}};
    const std::vector<LitVertex> ccwXyz = {cwXyz[0], cwXyz[2], cwXyz[1]};
    struct Case {
        DWORD cull;
        bool cwDrawn, ccwDrawn;
    };
    const Case cases[] = {{D3DCULL_CCW, true, false}, {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true}};
    PlainState();
    for (const Case& c : cases) {
        dev_->SetRenderState(D3DRS_CULLMODE, c.cull);
        for (int xyz = 0; xyz < 2; ++xyz) {
            for (int wind = 0; wind < 2; ++wind) {
                dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
                if (xyz)
                    Draw(D3DPT_TRIANGLELIST, wind == 0 ? cwXyz : ccwXyz, kFvfLit);
                else
                    DrawTL(D3DPT_TRIANGLELIST, wind == 0 ? cw : ccw);
                Read();
                bool want = wind == 0 ? c.cwDrawn : c.ccwDrawn;
                EXPECT_TRUE(RegionIs(2, 2, 10, 10, want ? RGB{255, 255, 255} : RGB{0, 0, 0}))
                    << "cull " << c.cull << (wind == 0 ? " clockwise" : " counter-clockwise")
                    << (xyz ? " transformed" : " pre-transformed");
            }
        }
    }
}

TEST_F(Raster, DepthTestUsesZFuncAndZEnable) {
    struct Case {
        DWORD zenable, zfunc, zwrite;
        RGB want;  // after near red (z .3) then far green (z .7)
    };
    const Case cases[] = {
        {TRUE, D3DCMP_LESSEQUAL, TRUE, {255, 0, 0}},
        {TRUE, D3DCMP_GREATER, TRUE, {0, 255, 0}},
        {TRUE, D3DCMP_LESSEQUAL, FALSE, {0, 255, 0}},  // red wrote no depth
        {FALSE, D3DCMP_LESSEQUAL, TRUE, {0, 255, 0}},
    };
    PlainState();
    for (const Case& c : cases) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1, 0);
        dev_->SetRenderState(D3DRS_ZENABLE, c.zenable);
        dev_->SetRenderState(D3DRS_ZWRITEENABLE, c.zwrite);
        dev_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 32, 32, 0xffff0000, 0.3f));
        dev_->SetRenderState(D3DRS_ZFUNC, c.zfunc);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 32, 32, 0xff00ff00, 0.7f));
        Read();
        EXPECT_TRUE(RegionIs(0, 0, 32, 32, c.want)) << "zfunc " << c.zfunc << " zenable " << c.zenable;
    }
}

TEST_F(Raster, BlendFactorsAtAlpha127) {
    struct Case {
        DWORD src, dst;
        RGB want;  // source (255,0,0,127) over destination (0,0,255)
    };
    const Case cases[] = {
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, {127, 0, 128}},
        {D3DBLEND_ONE, D3DBLEND_ONE, {255, 0, 255}},
        {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, {0, 0, 0}},
        {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, {0, 0, 0}},
        {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, {128, 0, 127}},
        {D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, {127, 0, 128}},  // destination factor ignored
        {D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR, {255, 0, 255}},
    };
    PlainState();
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    for (const Case& c : cases) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1, 0);
        dev_->SetRenderState(D3DRS_SRCBLEND, c.src);
        dev_->SetRenderState(D3DRS_DESTBLEND, c.dst);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 32, 32, D3DCOLOR_ARGB(127, 255, 0, 0)));
        Read();
        EXPECT_TRUE(RegionIs(0, 0, 32, 32, c.want)) << "src " << c.src << " dst " << c.dst;
    }
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1, 0);
    DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 32, 32, D3DCOLOR_ARGB(127, 255, 0, 0)));
    Read();
    EXPECT_TRUE(RegionIs(0, 0, 32, 32, {255, 0, 0}));
}

TEST_F(Raster, AlphaTestComparesAgainstReference) {
    struct Case {
        DWORD func, ref;
        bool drawn;  // alpha of the quad is 128
    };
    const Case cases[] = {{D3DCMP_GREATER, 127, true}, {D3DCMP_GREATER, 128, false}, {D3DCMP_LESS, 129, true},
                          {D3DCMP_EQUAL, 128, true},   {D3DCMP_NOTEQUAL, 128, false}, {D3DCMP_NEVER, 0, false}};
    PlainState();
    dev_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    for (const Case& c : cases) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
        dev_->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        dev_->SetRenderState(D3DRS_ALPHAREF, c.ref);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, 16, D3DCOLOR_ARGB(128, 255, 255, 255)));
        Read();
        EXPECT_TRUE(RegionIs(0, 0, 16, 16, c.drawn ? RGB{255, 255, 255} : RGB{0, 0, 0}))
            << "func " << c.func << " ref " << c.ref;
    }
}

TEST_F(Raster, ClearAndDrawingStayInsideTheViewport) {
    D3DVIEWPORT8 vp = {8, 4, 16, 12, 0, 1};
    ASSERT_EQ(dev_->SetViewport(&vp), D3D_OK);
    ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1, 0), D3D_OK);
    RECT r = {0, 0, 10, 10};  // intersected with the viewport: x 8..9, y 4..9
    ASSERT_EQ(dev_->Clear(1, &r, D3DCLEAR_TARGET, 0xffff0000, 1, 0), D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(8, 4, 10, 10, {255, 0, 0}));
    EXPECT_TRUE(RegionIs(10, 4, 24, 16, {0, 255, 0}));
    EXPECT_TRUE(RegionIs(0, 0, 8, 48, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(24, 0, 64, 48, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(8, 16, 24, 48, {0, 0, 0}));

    // Transformed geometry fills exactly the viewport.
    PlainState();
    Draw(D3DPT_TRIANGLESTRIP,
         std::vector<LitVertex>{{-1, 1, 0.5f, 0, 0, 0, 0xff0000ff}, {1, 1, 0.5f, 0, 0, 0, 0xff0000ff},
                                {-1, -1, 0.5f, 0, 0, 0, 0xff0000ff}, {1, -1, 0.5f, 0, 0, 0, 0xff0000ff}},
         kFvfLit);
    Read();
    EXPECT_TRUE(RegionIs(8, 4, 24, 16, {0, 0, 255}));
    EXPECT_TRUE(RegionIs(0, 0, 8, 48, {0, 0, 0}));
    EXPECT_TRUE(RegionIs(8, 16, 24, 17, {0, 0, 0}));

    D3DVIEWPORT8 bad = {60, 0, 16, 16, 0, 1};
    EXPECT_EQ(dev_->SetViewport(&bad), D3DERR_INVALIDCALL);
}

TEST_F(Raster, PreTransformedDepthOutsideZeroToOne) {
    // z runs from -0.5 at x = 0 to 1.5 at x = 64: below 0 left of x = 16,
    // above 1 right of x = 48.
    auto slope = [](D3DCOLOR c) {
        return std::vector<TLVertex>{{0, 0, -0.5f, 1, c, 0, 0},
                                     {64, 0, 1.5f, 1, c, 0, 0},
                                     {64, 16, 1.5f, 1, c, 0, 0},
                                     {0, 16, -0.5f, 1, c, 0, 0}};
    };
    auto depthAt = [](int x) { return -0.5 + 2.0 * x / 64.0; };
    struct Case {
        const char* name;
        DWORD zenable, clipping;
        bool depthBuffer;
    };
    const Case cases[] = {
        {"depth test, clipping", TRUE, TRUE, true},
        {"no depth test", FALSE, TRUE, true},
        {"no depth buffer", TRUE, TRUE, false},
        {"depth test, no clipping", TRUE, FALSE, true},
    };
    PlainState();
    IDirect3DSurface8 *back = nullptr, *depth = nullptr;
    dev_->GetRenderTarget(&back);
    dev_->GetDepthStencilSurface(&depth);
    for (const Case& c : cases) {
        ASSERT_EQ(dev_->SetRenderTarget(back, c.depthBuffer ? depth : nullptr), D3D_OK);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | (c.depthBuffer ? D3DCLEAR_ZBUFFER : 0), 0xff000000, 1, 0);
        dev_->SetRenderState(D3DRS_ZENABLE, c.zenable);
        dev_->SetRenderState(D3DRS_CLIPPING, c.clipping);
        dev_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, slope(0xffff0000)), D3D_OK);
        const bool testsDepth = c.zenable && c.depthBuffer;
        if (testsDepth && !c.clipping) {
            // Where a depth test applies the depth is clamped per pixel:
            // exactly 0 on the left, exactly 1 on the right.
            dev_->SetRenderState(D3DRS_ZFUNC, D3DCMP_EQUAL);
            DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 64, 16, 0xff00ff00, 0.0f));
            DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 64, 16, 0xff0000ff, 1.0f));
        }
        Read();
        for (int x = 1; x < 63; ++x) {
            const double z = depthAt(x);
            if (std::abs(x - 16) < 2 || std::abs(x - 48) < 2) continue;  // the pixels at the edges
            RGB want = {255, 0, 0};
            if (testsDepth && c.clipping && (z < 0 || z > 1)) want = {0, 0, 0};  // clipped away
            if (testsDepth && !c.clipping && z < 0) want = {0, 255, 0};
            if (testsDepth && !c.clipping && z > 1) want = {0, 0, 255};
            const ::testing::AssertionResult column = RegionIs(x, 1, x + 1, 15, want);
            if (!column) {
                ADD_FAILURE() << column.message() << "; " << c.name;
                break;  // one column a case is enough
            }
        }
    }
    dev_->SetRenderState(D3DRS_CLIPPING, TRUE);
    ASSERT_EQ(dev_->SetRenderTarget(back, depth), D3D_OK);
    back->Release();
    depth->Release();
}

TEST_F(Raster, ViewportDepthRangeBeyondOne) {
    D3DVIEWPORT8 vp = {0, 0, kW, kH, 0.0f, 7.5f};
    ASSERT_EQ(dev_->SetViewport(&vp), D3D_OK);
    D3DVIEWPORT8 got{};
    ASSERT_EQ(dev_->GetViewport(&got), D3D_OK);
    EXPECT_EQ(got.MaxZ, 7.5f);

    // Transformed quads in clip coordinates at depth z: clipped outside
    // 0..1, then MinZ + z (MaxZ - MinZ) clamped to the depth buffer's 0..1.
    const D3DMATRIX id = IdentityMatrix();
    dev_->SetTransform(D3DTS_WORLD, &id);
    dev_->SetTransform(D3DTS_VIEW, &id);
    dev_->SetTransform(D3DTS_PROJECTION, &id);
    PlainState();
    dev_->SetRenderState(D3DRS_ZENABLE, TRUE);
    dev_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    struct Case {
        float minZ, maxZ, z, cleared;
    };
    const Case cases[] = {
        {0, 7.5f, 0.1f, 0.8f},    {0, 7.5f, 0.2f, 0.8f},     {0, 7.5f, 0.5f, 1.0f}, {0, 7.5f, 1.2f, 1.0f},
        {0.5f, 2.5f, 0.1f, 0.6f}, {0.5f, 2.5f, 0.02f, 0.6f}, {0, 1, 0.2f, 0.8f},    {0.25f, 0.75f, 0.5f, 0.55f},
    };
    for (const Case& c : cases) {
        vp.MinZ = c.minZ;
        vp.MaxZ = c.maxZ;
        ASSERT_EQ(dev_->SetViewport(&vp), D3D_OK);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, c.cleared, 0);
        const float z = c.z;
        Draw(D3DPT_TRIANGLEFAN,
             std::vector<LitVertex>{{-1, 1, z, 0, 0, -1, ~0u},
                                    {1, 1, z, 0, 0, -1, ~0u},
                                    {1, -1, z, 0, 0, -1, ~0u},
                                    {-1, -1, z, 0, 0, -1, ~0u}},
             kFvfLit);
        Read();
        const double depth = std::clamp(c.minZ + double(z) * (c.maxZ - c.minZ), 0.0, 1.0);
        const bool drawn = z >= 0 && z <= 1 && depth <= c.cleared;
        EXPECT_TRUE(RegionIs(0, 0, kW, kH, drawn ? RGB{255, 255, 255} : RGB{0, 0, 0}))
            << "viewport z " << c.minZ << ".." << c.maxZ << ", z " << z << ", cleared to " << c.cleared;
    }
}

// A back buffer without alpha.
class RasterNoAlpha : public Raster {
protected:
    void SetUp() override { CreateDevice(kW, kH, true, D3DFMT_X8R8G8B8); }
};

TEST_F(RasterNoAlpha, DestinationAlphaOfTargetsWithoutAlphaIsOne) {
    PlainState();
    IDirect3DSurface8 *back = nullptr, *depth = nullptr;
    dev_->GetRenderTarget(&back);
    dev_->GetDepthStencilSurface(&depth);
    struct Case {
        const char* name;
        D3DFORMAT texture;  // a render-target texture of this format, or the back buffer (UNKNOWN)
        bool drawn;         // the alpha was drawn there rather than cleared
        DWORD src, dst;
    };
    const Case cases[] = {
        {"back buffer, cleared", D3DFMT_UNKNOWN, false, D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA},
        {"back buffer, drawn", D3DFMT_UNKNOWN, true, D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA},
        {"back buffer, inverse", D3DFMT_UNKNOWN, false, D3DBLEND_INVDESTALPHA, D3DBLEND_DESTALPHA},
        {"X8R8G8B8 texture, cleared", D3DFMT_X8R8G8B8, false, D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA},
        {"X8R8G8B8 texture, drawn", D3DFMT_X8R8G8B8, true, D3DBLEND_INVDESTALPHA, D3DBLEND_DESTALPHA},
        {"A8R8G8B8 texture, cleared", D3DFMT_A8R8G8B8, false, D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA},
        {"A8R8G8B8 texture, drawn", D3DFMT_A8R8G8B8, true, D3DBLEND_INVDESTALPHA, D3DBLEND_DESTALPHA},
    };
    const D3DCOLOR under = D3DCOLOR_ARGB(0x40, 0, 0, 255), over = D3DCOLOR_ARGB(0xff, 255, 0, 0);
    for (const Case& c : cases) {
        IDirect3DTexture8* t = nullptr;
        if (c.texture != D3DFMT_UNKNOWN) {
            ASSERT_EQ(dev_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, c.texture, D3DPOOL_DEFAULT, &t), D3D_OK);
            IDirect3DSurface8* s = nullptr;
            t->GetSurfaceLevel(0, &s);
            ASSERT_EQ(dev_->SetRenderTarget(s, nullptr), D3D_OK);
            s->Release();
        }
        if (c.drawn) {
            dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xffffffff, 1, 0);
            DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, 16, under));
        } else {
            dev_->Clear(0, nullptr, D3DCLEAR_TARGET, under, 1, 0);
        }
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        dev_->SetRenderState(D3DRS_SRCBLEND, c.src);
        dev_->SetRenderState(D3DRS_DESTBLEND, c.dst);
        DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, 16, over));
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        if (t) {  // shown on the back buffer
            ASSERT_EQ(dev_->SetRenderTarget(back, depth), D3D_OK);
            dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1, 0);
            dev_->SetTexture(0, t);
            dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            DrawTL(D3DPT_TRIANGLEFAN, Quad(0, 0, 16, 16, ~0u));
            dev_->SetTexture(0, nullptr);
            dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
            t->Release();
        }
        Read();
        // result = over * f(src) + under * f(dst), with the destination's alpha 1 without an alpha channel.
        const double a = c.texture == D3DFMT_A8R8G8B8 ? 0x40 / 255.0 : 1.0;
        const double fs = c.src == D3DBLEND_DESTALPHA ? a : 1.0 - a, fd = c.dst == D3DBLEND_DESTALPHA ? a : 1.0 - a;
        const RGB want = {int(std::lround(255 * fs)), 0, int(std::lround(255 * fd))};
        EXPECT_TRUE(RegionIs(0, 0, 16, 16, want)) << c.name;
    }
    back->Release();
    depth->Release();
}

}  // namespace
}  // namespace vt::d3d8::test
