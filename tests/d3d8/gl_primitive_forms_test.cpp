// Primitives drawn in another form than filled and smooth: flat colours
// from each primitive's first vertex, wireframes and point fill with the
// cull mode applied. ES lacks both the first-vertex convention and polygon
// modes and draws these from indices of its own, so the same expectations
// hold on either GL (d3d8.gles runs them there).
#include <cstring>

#include "platform/d3d8/gl_common.h"
#include "tests/d3d8/gl_fixture.h"

namespace vt::d3d8::test {
namespace {

constexpr D3DCOLOR kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff, kWhite = 0xffffffff;

class PrimitiveForms : public GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        PlainState();
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
    }
    void TearDown() override {
        if (dev_) {
            dev_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
            dev_->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        }
        GlDeviceTest::TearDown();
    }
    static TLVertex V(float x, float y, D3DCOLOR c) { return {x, y, 0.5f, 1, c, 0, 0}; }
};

TEST_F(PrimitiveForms, TheContextIsTheApiTheDeviceReports) {
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    ASSERT_NE(version, nullptr);
    const bool es = std::strncmp(version, "OpenGL ES", 9) == 0;
    EXPECT_EQ(GetGlApi(dev_) == GlApi::Es, es) << version;
    const char* asked = std::getenv("VT_GL_API");
    EXPECT_EQ(es, asked && std::strcmp(asked, "es") == 0) << "VT_GL_API chooses the API; got " << version;
}

TEST_F(PrimitiveForms, FlatTrianglesTakeTheirFirstVertexColour) {
    dev_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    // A list: one triangle per third of the screen, first vertex red, green, blue.
    std::vector<TLVertex> list;
    const D3DCOLOR firsts[3] = {kRed, kGreen, kBlue};
    for (int k = 0; k < 3; ++k) {
        const float x0 = 2.0f + 21.0f * float(k), x1 = x0 + 18.0f;
        list.push_back(V(x0, 2, firsts[k]));
        list.push_back(V(x1, 2, kWhite));
        list.push_back(V(x0, 20, kWhite));
    }
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLELIST, list), D3D_OK);
    // A strip of two triangles across the lower half: the second one's first
    // vertex is the strip's second.
    ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP,
                   std::vector<TLVertex>{V(2, 26, kRed), V(2, 46, kGreen), V(40, 26, kBlue), V(40, 46, kWhite)},
                   kFvfTL),
              D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(4, 4, 8, 8, {255, 0, 0}));
    EXPECT_TRUE(RegionIs(25, 4, 29, 8, {0, 255, 0}));
    EXPECT_TRUE(RegionIs(46, 4, 50, 8, {0, 0, 255}));
    EXPECT_TRUE(RegionIs(4, 28, 10, 32, {255, 0, 0})) << "the strip's first triangle";
    EXPECT_TRUE(RegionIs(32, 40, 38, 44, {0, 255, 0})) << "the strip's second triangle";
}

TEST_F(PrimitiveForms, FlatFansTurnAboutTheirCentreAndKeepTheirFaces) {
    dev_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    // Triangle k of a fan is (centre, k + 1, k + 2); the desktop convention
    // colours it from vertex k + 1. Clockwise on screen: kept by CULL_CCW.
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, {V(32, 24, kWhite), V(4, 2, kRed), V(60, 2, kGreen), V(60, 46, kBlue)}),
              D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(30, 6, 34, 10, {255, 0, 0}));
    EXPECT_TRUE(RegionIs(52, 20, 56, 28, {0, 255, 0}));
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

TEST_F(PrimitiveForms, WireframesDrawTheEdgesOfTheTrianglesTheCullModeKeeps) {
    dev_->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    // Left: clockwise on screen (front in Direct3D); right: the same turned round.
    const std::vector<TLVertex> front = {V(4.5f, 4.5f, kRed), V(28.5f, 4.5f, kRed), V(28.5f, 40.5f, kRed),
                                         V(4.5f, 40.5f, kRed)};
    const std::vector<TLVertex> back = {V(36.5f, 4.5f, kGreen), V(36.5f, 40.5f, kGreen), V(60.5f, 40.5f, kGreen),
                                        V(60.5f, 4.5f, kGreen)};
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, front), D3D_OK);
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, back), D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(8, 4, 26, 5, {255, 0, 0})) << "the top edge";
    EXPECT_TRUE(RegionIs(4, 8, 5, 38, {255, 0, 0})) << "the left edge";
    EXPECT_TRUE(RegionIs(7, 28, 11, 34, {0, 0, 0})) << "nothing inside, beside the diagonal";
    EXPECT_TRUE(RegionIs(36, 0, 64, 48, {0, 0, 0})) << "the back-facing square is culled";
    // No culling: the other square's edges too, its diagonal among them.
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLEFAN, back), D3D_OK);
    Read();
    EXPECT_TRUE(RegionIs(40, 40, 58, 41, {0, 255, 0})) << "the bottom edge";
    EXPECT_EQ(At(48, 22), (RGB{0, 255, 0})) << "the diagonal";
    EXPECT_TRUE(RegionIs(52, 10, 56, 14, {0, 0, 0}));
}

TEST_F(PrimitiveForms, PointFillDrawsTheCornersOnly) {
    dev_->SetRenderState(D3DRS_FILLMODE, D3DFILL_POINT);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(DrawTL(D3DPT_TRIANGLESTRIP, {V(10.5f, 10.5f, kBlue), V(50.5f, 10.5f, kBlue), V(10.5f, 30.5f, kBlue),
                                           V(50.5f, 30.5f, kBlue)}),
              D3D_OK);
    Read();
    for (auto [x, y] : {std::pair{10, 10}, {50, 10}, {10, 30}, {50, 30}})
        EXPECT_EQ(At(x, y), (RGB{0, 0, 255})) << "corner " << x << "," << y;
    EXPECT_TRUE(RegionIs(14, 14, 46, 28, {0, 0, 0})) << "no face";
    EXPECT_TRUE(RegionIs(14, 10, 46, 11, {0, 0, 0})) << "no edge";
}

TEST_F(PrimitiveForms, TransformedWireframesCullByTheirFacingOnScreen) {
    dev_->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    const D3DMATRIX id = IdentityMatrix();
    dev_->SetTransform(D3DTS_WORLD, &id);
    dev_->SetTransform(D3DTS_VIEW, &id);
    dev_->SetTransform(D3DTS_PROJECTION, &id);
    // Column 0 wound clockwise on screen, column 2 the other way.
    std::vector<LitVertex> cw = Column(0, kRed), ccw = Column(2, kGreen);
    std::swap(ccw[1], ccw[3]);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    ASSERT_EQ(Draw(D3DPT_TRIANGLEFAN, cw, kFvfLit), D3D_OK);
    ASSERT_EQ(Draw(D3DPT_TRIANGLEFAN, ccw, kFvfLit), D3D_OK);
    Read();
    int red = 0, green = 0, inside = 0;
    for (int y = 0; y < int(kH); ++y)
        for (int x = 0; x < int(kW); ++x) {
            const RGB c = At(x, y);
            red += c == RGB{255, 0, 0};
            green += c == RGB{0, 255, 0};
        }
    for (int x = 4; x < 12; ++x) inside += At(x, 4) != RGB{0, 0, 0};
    EXPECT_GT(red, 40) << "the front column's edges";
    EXPECT_EQ(green, 0) << "the back-facing column is culled";
    EXPECT_LT(inside, 3) << "a wireframe leaves the inside empty";
}

}  // namespace
}  // namespace vt::d3d8::test
