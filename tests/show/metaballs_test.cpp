// The metaballs: field, cube index, edge points, the rebuilt surface, the
// sphere-mapped draw, loading and release.
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "effects/metaballs.h"
#include "gfx/fade.h"
#include "tests/support/media_dir.h"
#include "tests/show/show_fixture.h"
#include "util/camera.h"

using namespace vt::test;

namespace {

// A cell of edge 1 at the origin with the given corner values.
CUBECELL UnitCell(const float val[8])
{
    CUBECELL cell;
    for (int c = 0; c < 8; c++) {
        cell.p[c] = D3DXVECTOR3((float)g_nCornerOffset[c][0], (float)g_nCornerOffset[c][1],
                                (float)g_nCornerOffset[c][2]);
        cell.val[c] = val[c];
    }
    return cell;
}

// Corner values with the corners of nIndex below the iso level (0.0) and
// the others above it (0.5).
CUBECELL CellForIndex(int nIndex)
{
    float val[8];
    for (int c = 0; c < 8; c++)
        val[c] = ((nIndex >> c) & 1) ? 0.0f : 0.5f;
    return UnitCell(val);
}

class Metaballs : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        ASSERT_EQ(dev.CreateVertexBuffer(METABALL_VERTS * sizeof(METAVERTEX), 0, FVF_METAVERTEX, D3DPOOL_MANAGED,
                                         &mb.m_pVB),
                  S_OK);
        mb.m_nBalls = METABALL_BALLS;
        for (auto& ball : mb.m_Balls)
            ball.fRadius = METABALL_RADIUS;
        dev.BeginScene();  // draws are valid only inside a scene
        dev.ClearLog();
    }
    void TearDown() override
    {
        mb.Release();
        ShowFixture::TearDown();
    }
    std::vector<METAVERTEX> Surface()
    {
        std::vector<METAVERTEX> v(3 * mb.m_nTriangles);
        BYTE* p = nullptr;
        if (!v.empty() && SUCCEEDED(mb.m_pVB->Lock(0, 0, &p, D3DLOCK_READONLY))) {
            std::memcpy(v.data(), p, v.size() * sizeof(METAVERTEX));
            mb.m_pVB->Unlock();
        }
        return v;
    }
    // Places the first nBalls balls and leaves the rest out.
    void PlaceBalls(std::initializer_list<D3DXVECTOR3> positions)
    {
        mb.m_nBalls = 0;
        for (const auto& p : positions)
            mb.m_Balls[mb.m_nBalls++].vPos = p;
    }
    float FieldAt(const D3DXVECTOR3& p)
    {
        CUBECELL cell;
        for (auto& q : cell.p)
            q = p;
        mb.ComputeField(&cell);
        return cell.val[0];
    }

    CMetaballs mb;
};

TEST_F(Metaballs, FieldFallsOffLinearlyAndSaturates)
{
    PlaceBalls({D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(40, 0, 0)});
    const struct {
        D3DXVECTOR3 p;
        float expected;
    } cases[] = {
        {D3DXVECTOR3(0, 0, 0), 1.0f},     // at two coinciding centres: still 1
        {D3DXVECTOR3(40, 0, 0), 1.0f},    // at a lone centre
        {D3DXVECTOR3(20, 0, 0), 0.0f},    // 20 from every ball
        {D3DXVECTOR3(0, 13, 0), 0.0f},    // exactly at the radius
        {D3DXVECTOR3(40, 0, 6.5f), 0.5f}, // half way out of the lone ball
        {D3DXVECTOR3(40, 0, -9.75f), 0.25f},
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(FieldAt(c.p), c.expected) << c.p.x << " " << c.p.y << " " << c.p.z;
    // Two overlapping balls add up before the sum is held at 1.
    PlaceBalls({D3DXVECTOR3(-3.25f, 0, 0), D3DXVECTOR3(3.25f, 0, 0)});
    EXPECT_FLOAT_EQ(FieldAt(D3DXVECTOR3(0, 0, 0)), 1.0f);
    PlaceBalls({D3DXVECTOR3(-9.75f, 0, 0), D3DXVECTOR3(9.75f, 0, 0)});
    EXPECT_FLOAT_EQ(FieldAt(D3DXVECTOR3(0, 0, 0)), 0.5f);
    // A lone ball's surface at the iso level is the sphere d = 11.7.
    PlaceBalls({D3DXVECTOR3(0, 0, 0)});
    EXPECT_NEAR(FieldAt(D3DXVECTOR3(0, 11.7f, 0)), METABALL_ISO, 1e-6f);
}

TEST_F(Metaballs, CubeIndexCountsOnlyCornersStrictlyBelowTheIsoLevel)
{
    CELLTRIANGLE tris[5];
    const float atIso[8] = {0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f};
    EXPECT_EQ(CMetaballs::PolygoniseCell(UnitCell(atIso), METABALL_ISO, tris), 0);
    float oneBelow[8] = {0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f};
    oneBelow[3] = std::nextafter(0.1f, 0.0f);
    EXPECT_EQ(CMetaballs::PolygoniseCell(UnitCell(oneBelow), METABALL_ISO, tris), 1);
    const float allBelow[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(CMetaballs::PolygoniseCell(UnitCell(allBelow), METABALL_ISO, tris), 0);

    // Triangle counts follow the table rows; the checkerboards 0x55 and 0xAA
    // (edge mask 0xFF) are left open.
    const struct {
        int index, triangles;
    } cases[] = {{0x01, 1}, {0x05, 2}, {0x0F, 2}, {0x55, 0}, {0xAA, 0}, {0x5A, 4}, {0xA5, 4}, {0x54, 3}, {0xFE, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(CMetaballs::PolygoniseCell(CellForIndex(c.index), METABALL_ISO, tris), c.triangles)
            << "cube index " << c.index;
}

TEST_F(Metaballs, EdgePointsAtAndNearTheIsoLevel)
{
    const D3DXVECTOR3 a(0, 0, 0), b(2, 4, 8);
    const struct {
        float fA, fB;
        D3DXVECTOR3 expected;
    } cases[] = {
        {0.1f, 0.5f, a},                        // start at the level
        {0.100009f, 0.5f, a},                   // within 0.00001 of it
        {0.0f, 0.100009f, b},                   // end within 0.00001
        {0.3f, 0.300005f, a},                   // ends too close to tell apart
        {0.0f, 0.2f, D3DXVECTOR3(1, 2, 4)},     // half way
        {0.2f, 0.0f, D3DXVECTOR3(1, 2, 4)},
        {0.0f, 0.4f, D3DXVECTOR3(0.5f, 1, 2)},  // a quarter of the way
    };
    for (const auto& c : cases) {
        const D3DXVECTOR3 p = CMetaballs::InterpolateEdge(0.1f, a, b, c.fA, c.fB);
        EXPECT_FLOAT_EQ(p.x, c.expected.x) << c.fA << " " << c.fB;
        EXPECT_FLOAT_EQ(p.y, c.expected.y) << c.fA << " " << c.fB;
        EXPECT_FLOAT_EQ(p.z, c.expected.z) << c.fA << " " << c.fB;
    }
    // Just beyond the tolerance the point leaves the corner.
    const D3DXVECTOR3 p = CMetaballs::InterpolateEdge(0.1f, a, b, 0.10002f, 0.0f);
    EXPECT_GT(p.z, 0.0f);
    EXPECT_LT(p.z, 0.01f);
}

TEST_F(Metaballs, BallsStartAtTheirBasePointsAndOrbitTheOrigin)
{
    const D3DXVECTOR3 base[4] = {D3DXVECTOR3(-15, 7.5f, 12), D3DXVECTOR3(0, -10.5f, 6), D3DXVECTOR3(15, 9, -9),
                                 D3DXVECTOR3(0, -15, 15)};
    EXPECT_EQ(mb.Update(0.0f), S_OK);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(mb.m_Balls[i].vPos, base[i]) << "ball " << i;
        EXPECT_EQ(mb.m_Balls[i].fRadius, 13.0f);
    }
    mb.Update(1.7f);
    for (int i = 0; i < 4; i++) {
        EXPECT_NEAR(D3DXVec3Length(&mb.m_Balls[i].vPos), D3DXVec3Length(&base[i]), 1e-4f) << "ball " << i;
        EXPECT_NE(mb.m_Balls[i].vPos, base[i]);
    }
    // Balls 0 and 2 turn one way, 1 and 3 the other: with equal base points
    // the pairs would part.
    D3DXMATRIX m;
    D3DXVECTOR3 expected;
    const float angle = 3.0f * 1.7f;
    D3DXMatrixRotationYawPitchRoll(&m, -angle, angle, angle);
    D3DXVec3TransformCoord(&expected, &base[1], &m);
    EXPECT_EQ(mb.m_Balls[1].vPos, expected);
}

// The per-axis shortcut of the rebuild gives, bit for bit, what evaluating
// every corner of every cell on its own gives.
TEST_F(Metaballs, RebuildMatchesCellByCellEvaluation)
{
    for (float tau : {0.0f, 0.5f, 3.3f, 11.25f}) {
        mb.Update(tau);
        const std::vector<METAVERTEX> surface = Surface();
        std::vector<METAVERTEX> reference;
        CUBECELL cell;
        CELLTRIANGLE tris[5];
        for (int i = 0; i < 10; i++)
            for (int j = 0; j < 10; j++)
                for (int k = 0; k < 10; k++) {
                    CMetaballs::SetCellCorners(&cell, i, j, k);
                    mb.ComputeField(&cell);
                    const int n = CMetaballs::PolygoniseCell(cell, 0.1f, tris);
                    for (int t = 0; t < n; t++)
                        for (const auto& p : tris[t].p) {
                            D3DXVECTOR3 nrm;
                            D3DXVec3Normalize(&nrm, &p);
                            reference.push_back({p.x, p.y, p.z, nrm.x, nrm.y, nrm.z});
                        }
                }
        ASSERT_GT(reference.size(), 0u) << tau;
        ASSERT_EQ(surface.size(), reference.size()) << tau;
        EXPECT_EQ(std::memcmp(surface.data(), reference.data(), surface.size() * sizeof(METAVERTEX)), 0) << tau;
    }
    // Cell (0, 0, 0) starts at -35 on every axis; the grid's far side is at 42.78.
    CUBECELL cell;
    CMetaballs::SetCellCorners(&cell, 0, 0, 0);
    EXPECT_EQ(cell.p[3], D3DXVECTOR3(-35, -35, -35));
    CMetaballs::SetCellCorners(&cell, 9, 9, 9);
    EXPECT_NEAR(cell.p[5].x, 42.7777f, 1e-3f);
}

// A lone ball: a closed sphere, every triangle facing
// out, every normal pointing away from the world origin (not the ball).
TEST_F(Metaballs, LoneBallGivesAClosedOutwardSphere)
{
    mb.m_nBalls = 1;
    ASSERT_EQ(mb.Update(0.0f), S_OK);
    const D3DXVECTOR3 centre = mb.m_Balls[0].vPos;
    ASSERT_EQ(centre, D3DXVECTOR3(-15, 7.5f, 12));
    const std::vector<METAVERTEX> v = Surface();
    ASSERT_GT(mb.m_nTriangles, 40);
    ASSERT_LE(mb.m_nTriangles, 5000);

    // Edges keyed by rounded positions: neighbouring cells compute shared
    // points separately, equal to within rounding.
    auto key = [](const METAVERTEX& p) {
        return std::make_tuple(std::lround(p.x * 1000), std::lround(p.y * 1000), std::lround(p.z * 1000));
    };
    std::map<std::pair<decltype(key(v[0])), decltype(key(v[0]))>, int> directed;
    for (int t = 0; t < mb.m_nTriangles; t++) {
        const METAVERTEX* tri = &v[3 * t];
        D3DXVECTOR3 p[3];
        for (int k = 0; k < 3; k++) {
            p[k] = D3DXVECTOR3(tri[k].x, tri[k].y, tri[k].z);
            const D3DXVECTOR3 d = p[k] - centre;
            // Near the sphere d = 11.7: edges cut it as chords, and past the
            // radius the field is held at 0 instead of going negative.
            EXPECT_GE(D3DXVec3Length(&d), 11.0f);
            EXPECT_LE(D3DXVec3Length(&d), 14.5f);
            // Normal: the direction from the world origin to the vertex.
            D3DXVECTOR3 n;
            D3DXVec3Normalize(&n, &p[k]);
            EXPECT_EQ(tri[k].nx, n.x);
            EXPECT_EQ(tri[k].ny, n.y);
            EXPECT_EQ(tri[k].nz, n.z);
            if (key(tri[k]) != key(tri[(k + 1) % 3]))
                directed[{key(tri[k]), key(tri[(k + 1) % 3])}]++;
        }
        D3DXVECTOR3 e1 = p[1] - p[0], e2 = p[2] - p[0], face;
        D3DXVec3Cross(&face, &e1, &e2);
        const D3DXVECTOR3 out = (p[0] + p[1] + p[2]) / 3.0f - centre;
        EXPECT_GE(D3DXVec3Dot(&face, &out), 0.0f) << "triangle " << t;
    }
    for (const auto& [edge, count] : directed) {
        EXPECT_EQ(count, 1);
        const auto it = directed.find({edge.second, edge.first});
        EXPECT_TRUE(it != directed.end() && it->second == 1) << "an edge without its opposite";
    }
}

TEST_F(Metaballs, FailedLockKeepsThePreviousSurface)
{
    mb.Update(0.0f);
    const int n = mb.m_nTriangles;
    const std::vector<METAVERTEX> before = Surface();
    dev.FailNext("VertexBuffer.Lock", D3DERR_INVALIDCALL);
    EXPECT_EQ(mb.Update(2.0f), S_OK);
    EXPECT_EQ(mb.m_nTriangles, n);
    const std::vector<METAVERTEX> after = Surface();
    EXPECT_EQ(std::memcmp(before.data(), after.data(), before.size() * sizeof(METAVERTEX)), 0);
}

TEST_F(Metaballs, RenderDrawsPanoramaThenSphereMappedSurface)
{
    mb.m_pWoodTexture = MakeTexture(16, 16);
    mb.Update(0.0f);
    for (const auto& c : {std::make_pair(132.95f, 0.0f), std::make_pair(154.2f, 1024.0f - 1937.0f),
                          std::make_pair(500.0f, 1024.0f - 1937.0f)}) {
        g_fShowTime = c.first;
        dev.ClearLog();
        ASSERT_EQ(mb.Render(), S_OK);
        EXPECT_EQ(QuadVertices()[0].x, c.second) << c.first;
        EXPECT_EQ(QuadVertices()[1].x - QuadVertices()[0].x, 1937.0f);
        EXPECT_EQ(QuadVertices()[0].z, 1.0f);  // behind everything
        const Call* draw = dev.Last("DrawPrimitive");
        ASSERT_NE(draw, nullptr);
        EXPECT_EQ(draw->Arg(0), (uint64_t)D3DPT_TRIANGLELIST);
        EXPECT_EQ(draw->Arg(2), (uint64_t)mb.m_nTriangles);
    }
    UINT stride = 0;
    EXPECT_EQ(dev.StreamSource(&stride), mb.m_pVB);
    EXPECT_EQ(stride, 24u);
    EXPECT_EQ(dev.VertexShader(), (DWORD)FVF_METAVERTEX);
    EXPECT_EQ(dev.StageState(0, D3DTSS_ADDRESSU), (DWORD)D3DTADDRESS_MIRROR);
    EXPECT_EQ(dev.StageState(0, D3DTSS_ADDRESSV), (DWORD)D3DTADDRESS_MIRROR);
    const D3DMATRIX tex = dev.Transform(D3DTS_TEXTURE0);
    EXPECT_EQ(tex._11, 0.5f);
    EXPECT_EQ(tex._22, -0.5f);
    EXPECT_EQ(tex._41, 0.5f);
    EXPECT_EQ(tex._42, 0.5f);
    // The generated coordinates are switched back off after the draw.
    EXPECT_TRUE(dev.Called("SetTextureStageState", {0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL}));
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXCOORDINDEX), 0u);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXTURETRANSFORMFLAGS), (DWORD)D3DTTFF_DISABLE);
    EXPECT_EQ(dev.Texture(0), nullptr);
    EXPECT_EQ(dev.Material().Diffuse.r, 1.0f);
    EXPECT_EQ(dev.Material().Ambient.a, 1.0f);

    // A failed draw is returned with the sphere-map states left set.
    dev.FailNext("DrawPrimitive", E_FAIL, 1, 1);  // the panorama draws, the surface fails
    EXPECT_EQ(mb.Render(), E_FAIL);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXCOORDINDEX), (DWORD)D3DTSS_TCI_CAMERASPACENORMAL);
}

TEST_F(Metaballs, CreateLoadsBothImagesAndReleaseNullsEverything)
{
    CMetaballs fresh;
    {
        MediaDir media("scene_media");  // empty: the first image is missing
        EXPECT_LT(fresh.Create(), 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Could not load required media.");
        EXPECT_EQ(fresh.m_pMesh, nullptr);
        fresh.Release();
    }
    boxes.clear();
    const int live = dev.LiveResources();
    {
        MediaDir media("scene_media");
        ASSERT_TRUE(media.WriteImage("data\\bitmaps\\scene04\\envmap2.jpg"));
        ASSERT_TRUE(media.WriteImage("data\\bitmaps\\scene04\\wood.jpg", 16, 8));
        ASSERT_EQ(fresh.Create(), S_OK);
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_NE(fresh.m_pEnvTexture, nullptr);
    EXPECT_NE(fresh.m_pWoodTexture, nullptr);
    ASSERT_NE(fresh.m_pVB, nullptr);
    D3DVERTEXBUFFER_DESC desc;
    fresh.m_pVB->GetDesc(&desc);
    EXPECT_GE(desc.Size, 20000u * 24u);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(fresh.m_nBalls, 4);
    fresh.Release();
    EXPECT_EQ(fresh.m_pMesh, nullptr);
    EXPECT_EQ(fresh.m_pVB, nullptr);
    EXPECT_EQ(fresh.m_pEnvTexture, nullptr);
    EXPECT_EQ(fresh.m_pWoodTexture, nullptr);
    EXPECT_EQ(dev.LiveResources(), live);
    fresh.Release();  // a second release finds nothing
}

}  // namespace
