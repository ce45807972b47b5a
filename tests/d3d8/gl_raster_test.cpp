// Rasterisation on the OpenGL device: pixel coverage of pre-transformed and
// transformed geometry, lines and points, culling, depth, blending, alpha
// test, Clear and the viewport.
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

}  // namespace
}  // namespace vt::d3d8::test
