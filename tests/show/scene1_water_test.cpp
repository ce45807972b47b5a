// The water: the ripple model on a real grid, the mesh, the cube map and
// the draw.
#include <cmath>
#include <memory>

#include "effects/water.h"
#include "gfx/plane.h"
#include "tests/show/scene1_support.h"
#include "util/camera.h"
#include "util/xfile_mesh.h"

using namespace vt::test;

namespace {

// Grid coordinates of vertex i, worked out independently of the plane code.
double GridX(int i) { return -50.0 + (i % WATER_COLS) * (100.0 / 49.0); }
double GridZ(int i) { return 50.0 - (i / WATER_COLS) * (100.0 / 49.0); }

class Ripples : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        ASSERT_EQ(dev.CreateVertexBuffer(WATER_VERTS * WATER_STRIDE, 0, FVF_WATERVERTEX, D3DPOOL_MANAGED, &vb), S_OK);
        ASSERT_EQ(dev.CreateIndexBuffer(WATER_FACES * 3 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), S_OK);
        Flatten();
    }
    void TearDown() override
    {
        SAFE_RELEASE(vb);
        SAFE_RELEASE(ib);
        ShowFixture::TearDown();
    }
    void Flatten()
    {
        ASSERT_EQ(SetVB3DPlaneRect(vb, ib, FVF_WATERVERTEX, D3DXVECTOR3(-50, 0, 50), D3DXVECTOR3(50, 0, -50),
                                   WATER_COLS, WATER_ROWS),
                  S_OK);
    }
    // A fresh record (the tables are large, so on the heap).
    std::unique_ptr<WaterRipple> Make(float cx, float cz, float radius, float wavelength, float amplitude,
                                      float tStart, float tEnd)
    {
        auto r = std::make_unique<WaterRipple>();
        SetRipple(r.get(), cx, cz, radius, wavelength, amplitude, tStart, tEnd);
        return r;
    }
    // Heights of one frame: a flat grid, then the ripples in order.
    std::vector<float> Frame(std::initializer_list<WaterRipple*> ripples, float t)
    {
        Flatten();
        for (WaterRipple* r : ripples)
            EXPECT_EQ(DisturbWater(vb, ib, FVF_WATERVERTEX, r, t), S_OK);
        return WaterHeights(vb);
    }

    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
};

TEST_F(Ripples, FrontGrowsToFullRadiusInTwoSeconds)
{
    // The first splash of the scene: centre (10, 10), radius 50.
    auto r = Make(10, 10, 50, 75, 0.3f, 42.7f, 52.7f);
    struct Case {
        float t;
        double reach;  // vertices closer than this move, the others stay flat
    } cases[] = {{42.7f, 0.0}, {43.7f, 25.0}, {44.7f, 50.0}, {47.0f, 50.0}};
    for (const Case& c : cases) {
        const std::vector<float> y = Frame({r.get()}, c.t);
        int moved = 0, inside = 0;
        for (int i = 0; i < WATER_VERTS; i++) {
            const double d = std::hypot(GridX(i) - 10.0, GridZ(i) - 10.0);
            if (std::fabs(d - c.reach) < 1e-3)
                continue;  // on the front itself: float rounding decides
            if (d < c.reach) {
                inside++;
                moved += y[i] != 0.0f;
            } else {
                ASSERT_EQ(y[i], 0.0f) << "vertex " << i << " beyond the front at t=" << c.t;
            }
        }
        EXPECT_GE(moved, inside * 95 / 100) << c.t;  // a zero of the sine may leave a few flat
        if (c.reach == 0.0) {
            EXPECT_EQ(inside, 0);
        }
    }
}

TEST_F(Ripples, FadesOutOverItsLifeAndKeepsItsTables)
{
    // Centre on vertex 0 (-50, 50): distance 0 there, so the height is
    // sin(-t/10 in degrees-as-radians) x amplitude x (1 - fade).
    auto r = Make(-50, 50, 300, 100, 0.4f, 10.0f, 30.0f);
    struct Case {
        float t;
        double strength;
    } cases[] = {{12.0f, 0.9}, {20.0f, 0.5}, {25.0f, 0.25}, {30.0f, 0.0}};
    for (const Case& c : cases) {
        const std::vector<float> y = Frame({r.get()}, c.t);
        const double expected = std::sin(-c.t / 10.0 * 57.2957763671875) * 0.4 * c.strength;
        EXPECT_NEAR(y[0], expected, 5e-5) << c.t;
    }
    // At the end of its window every vertex is back at rest...
    for (float h : Frame({r.get()}, 30.0f))
        ASSERT_EQ(h, 0.0f);
    // ...but the tables stay valid.
    EXPECT_EQ(r->bInitialised, 1);
    for (int i : {0, 49, 1225, 2499}) {
        const double d = std::hypot(GridX(i) + 50.0, GridZ(i) - 50.0);
        EXPECT_NEAR(r->distance[i], d, 1e-3) << i;
        EXPECT_NEAR(r->falloff[i], 0.4 * (1.0 - d / 300.0), 1e-5) << i;
    }
}

TEST_F(Ripples, OutsideItsWindowARippleTouchesNothing)
{
    auto r = Make(0, 0, 50, 75, 0.3f, 42.7f, 52.7f);
    for (float t : {0.0f, 42.69f, 52.71f, 80.0f}) {
        dev.ClearLog();
        EXPECT_EQ(DisturbWater(vb, ib, FVF_WATERVERTEX, r.get(), t), S_OK);
        EXPECT_EQ(DisturbWater(nullptr, nullptr, FVF_WATERVERTEX, r.get(), t), S_OK);  // not even checked
        EXPECT_EQ(dev.Count("VertexBuffer.Lock"), 0u) << t;
        EXPECT_EQ(r->bInitialised, 0);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Ripples, TablesAreComputedOnceThenReused)
{
    auto r = Make(0, 0, 50, 75, 0.3f, 0.0f, 10.0f);
    Frame({r.get()}, 3.0f);
    ASSERT_EQ(r->bInitialised, 1);
    // Vertex 1225 sits near the centre and moves; a stale table entry that
    // puts it far away must win over its real position.
    const std::vector<float> before = Frame({r.get()}, 3.5f);
    ASSERT_NE(before[1225], 0.0f);
    r->distance[1225] = 1.0e6f;
    const std::vector<float> after = Frame({r.get()}, 3.5f);
    EXPECT_EQ(after[1225], 0.0f);
    EXPECT_EQ(after[1224], before[1224]);
}

TEST_F(Ripples, RipplesSuperposeOnTheFreshGridOfEachFrame)
{
    auto a = Make(-100, -100, 300, 100, 0.05f, -100.0f, 1000.0f);
    auto b = Make(10, 10, 50, 75, 0.3f, 42.7f, 52.7f);
    auto c = Make(-5, -5, 50, 75, 0.25f, 53.2f, 63.2f);
    const float t = 45.0f;  // the swell and the first splash; the second not yet
    const std::vector<float> ya = Frame({a.get()}, t);
    const std::vector<float> yb = Frame({b.get()}, t);
    const std::vector<float> both = Frame({a.get(), b.get(), c.get()}, t);
    for (int i = 0; i < WATER_VERTS; i++)
        ASSERT_NEAR(both[i], ya[i] + yb[i], 1e-6) << i;
    // The next frame starts flat again: the same time gives the same heights.
    EXPECT_EQ(Frame({a.get(), b.get(), c.get()}, t), both);
    EXPECT_EQ(c->bInitialised, 0);
}

TEST_F(Ripples, FailuresInsideTheWindow)
{
    auto r = Make(0, 0, 50, 75, 0.3f, 0.0f, 10.0f);
    EXPECT_EQ(DisturbWater(vb, nullptr, FVF_WATERVERTEX, r.get(), 5.0f), E_FAIL);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "DisturbWater()\nA buffer pointer is NULL!");
    EXPECT_EQ(boxes[0].type, (UINT)MB_OK);

    dev.FailNext("VertexBuffer.Lock", E_OUTOFMEMORY);
    EXPECT_EQ(DisturbWater(vb, ib, FVF_WATERVERTEX, r.get(), 5.0f), E_OUTOFMEMORY);
    EXPECT_EQ(r->bInitialised, 0);

    // A buffer too small for the grid is refused before anything is written.
    IDirect3DVertexBuffer8* small = nullptr;
    ASSERT_EQ(dev.CreateVertexBuffer(100 * WATER_STRIDE, 0, FVF_WATERVERTEX, D3DPOOL_MANAGED, &small), S_OK);
    dev.ClearLog();
    EXPECT_EQ(DisturbWater(small, ib, FVF_WATERVERTEX, r.get(), 5.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev.Count("VertexBuffer.Lock"), 0u);
    small->Release();
}

// The mesh, cube map and draw, on the shared mesh container.
class WaterSurface : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        dev.GetRenderTarget(&g_pBackBuffer);
        dev.GetDepthStencilSurface(&g_pZBuffer);
        D3DXMatrixIdentity(&g_matIdentity);
    }
    void TearDown() override
    {
        ReleaseWater();
        if (g_pXFileMesh)
            g_pXFileMesh->Destroy();
        SAFE_RELEASE(g_pBackBuffer);
        SAFE_RELEASE(g_pZBuffer);
        ShowFixture::TearDown();
    }
};

TEST_F(WaterSurface, TheMeshGoesIntoTheContainerAndKeepsItsBuffers)
{
    ASSERT_EQ(CreateWaterMesh(), S_OK);
    ID3DXMesh* mesh = g_pXFileMesh->GetSystemMesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetNumFaces(), 4802u);
    EXPECT_EQ(mesh->GetNumVertices(), 2500u);
    EXPECT_EQ(mesh->GetFVF(), (DWORD)FVF_WATERVERTEX);
    EXPECT_EQ(mesh->GetOptions(), (DWORD)D3DXMESH_MANAGED);
    IDirect3DVertexBuffer8* meshVB = nullptr;
    mesh->GetVertexBuffer(&meshVB);
    EXPECT_EQ(meshVB, g_pWaterVB);
    meshVB->Release();
}

TEST_F(WaterSurface, AMissingContainerIsReportedNotDereferenced)
{
    CXFileMesh* saved = g_pXFileMesh;
    g_pXFileMesh = nullptr;
    EXPECT_LT(CreateWaterMesh(), 0);
    EXPECT_EQ(boxes.size(), 1u);
    g_pXFileMesh = saved;
}

TEST_F(WaterSurface, EachCubeFaceIsPaintedThenTheBackBufferReturns)
{
    dev.EndScene();  // painted at load time, outside any frame
    dev.ClearLog();
    g_pBlueWaterTexture = MakeTexture(512, 512);
    ASSERT_EQ(CreateWaterCubeMap(), S_OK);
    const Call* create = dev.Last("CreateCubeTexture");
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create->Arg(0), 512u);
    EXPECT_EQ(create->Arg(1), 1u);
    EXPECT_EQ(create->Arg(2), (uint64_t)D3DUSAGE_RENDERTARGET);
    EXPECT_EQ(create->Arg(4), (uint64_t)D3DPOOL_DEFAULT);

    const auto faces = dev.Find("CubeTexture.GetCubeMapSurface");
    ASSERT_EQ(faces.size(), 6u);
    for (int f = 0; f < 6; f++)
        EXPECT_EQ(faces[f]->Arg(1), (uint64_t)f);
    const auto draws = dev.Find("DrawPrimitive");
    ASSERT_EQ(draws.size(), 6u);
    for (const Call* d : draws)
        EXPECT_EQ(d->result, S_OK);
    // Painted inside a scene bracket of its own, then back to the back buffer.
    EXPECT_EQ(dev.Count("BeginScene"), 1u);
    EXPECT_FALSE(dev.InScene());
    EXPECT_EQ(dev.CurrentRenderTarget(), g_pBackBuffer);
    EXPECT_EQ(dev.CurrentDepthStencil(), g_pZBuffer);
    EXPECT_EQ(dev.Presents(), 0u);
}

TEST_F(WaterSurface, ACalmGridIsFlatWithUpNormals)
{
    ASSERT_EQ(CreateWaterMesh(), S_OK);
    ASSERT_EQ(ResetWater(), S_OK);
    // Dirty normals first, so that the draw has to recompute them.
    BYTE* p = nullptr;
    ASSERT_EQ(g_pWaterVB->Lock(0, 0, &p, 0), S_OK);
    for (int i = 0; i < WATER_VERTS; i++)
        memset(p + (size_t)i * WATER_STRIDE + 12, 0, 12);
    g_pWaterVB->Unlock();

    dev.BeginScene();
    ASSERT_EQ(RenderWater(), S_OK);
    dev.EndScene();
    ASSERT_EQ(g_pWaterVB->Lock(0, 0, &p, D3DLOCK_READONLY), S_OK);
    for (int i = 0; i < WATER_VERTS; i++) {
        float v[6];
        memcpy(v, p + (size_t)i * WATER_STRIDE, sizeof(v));
        ASSERT_EQ(v[1], 0.0f);
        ASSERT_NEAR(v[3], 0.0f, 1e-6);
        ASSERT_NEAR(v[4], 1.0f, 1e-6) << i;
        ASSERT_NEAR(v[5], 0.0f, 1e-6);
    }
    g_pWaterVB->Unlock();
}

TEST_F(WaterSurface, TheDrawReflectsTheCubeMapUnderTheWaterLight)
{
    ASSERT_EQ(CreateWaterMesh(), S_OK);
    ASSERT_EQ(dev.CreateCubeTexture(512, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                    &g_pWaterCubeTexture),
              S_OK);
    ASSERT_EQ(ResetWater(), S_OK);
    g_Camera.SetView(D3DXVECTOR3(0, 5, -50), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
    dev.BeginScene();

    // A failed draw ends the call at once: the shadow state is the draw's.
    dev.FailNext("DrawIndexedPrimitive", E_OUTOFMEMORY);
    EXPECT_EQ(RenderWater(), E_OUTOFMEMORY);
    EXPECT_EQ(dev.Texture(0), g_pWaterCubeTexture);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXCOORDINDEX), (DWORD)D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXTURETRANSFORMFLAGS), (DWORD)D3DTTFF_COUNT3);
    EXPECT_EQ(dev.StageState(0, D3DTSS_COLOROP), (DWORD)D3DTOP_MODULATE);
    EXPECT_EQ(dev.StageState(0, D3DTSS_COLORARG2), (DWORD)D3DTA_DIFFUSE);
    EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), (DWORD)TRUE);
    EXPECT_EQ(dev.RenderState(D3DRS_ALPHABLENDENABLE), (DWORD)FALSE);
    EXPECT_EQ(dev.RenderState(D3DRS_AMBIENT), 0u);
    UINT stride = 0;
    EXPECT_EQ(dev.StreamSource(&stride), g_pWaterVB);
    EXPECT_EQ(stride, 28u);
    EXPECT_EQ(dev.VertexShader(), (DWORD)FVF_WATERVERTEX);
    D3DXMATRIX view;
    EXPECT_TRUE(D3DXMATRIX(dev.Transform(D3DTS_VIEW)) == *g_Camera.GetViewMatrix(&view));
    ASSERT_TRUE(dev.LightEnabled(6));
    const D3DLIGHT8 light = dev.Light(6);
    EXPECT_EQ(light.Type, D3DLIGHT_POINT);
    EXPECT_EQ(light.Position.y, 14.0f);
    EXPECT_EQ(light.Diffuse.r, 400.0f);
    EXPECT_EQ(light.Range, 50.0f);
    EXPECT_EQ(light.Attenuation2, 1.0f);
    EXPECT_EQ(dev.Material().Diffuse.g, 1.0f);
    const Call* draw = dev.Last("DrawIndexedPrimitive");
    EXPECT_TRUE(draw->Matches("DrawIndexedPrimitive", {D3DPT_TRIANGLELIST, 0, 2500, 0, 4802}));

    // A good draw puts the coordinates back to pass-through and unbinds.
    ASSERT_EQ(RenderWater(), S_OK);
    EXPECT_EQ(dev.Last("DrawIndexedPrimitive")->result, S_OK);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXCOORDINDEX), 0u);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXTURETRANSFORMFLAGS), (DWORD)D3DTTFF_DISABLE);
    EXPECT_EQ(dev.Texture(0), nullptr);
    dev.EndScene();
}

}  // namespace
