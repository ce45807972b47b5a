// Fireflies: the random sequence they draw from, emission, the attractor's
// path, segments and trails, the quads' alphas, the light and the draw.
#include <algorithm>
#include <cmath>
#include <memory>

#include "effects/fireflies.h"
#include "gfx/fade.h"
#include "tests/show/scene1_support.h"
#include "util/camera.h"
#include "util/random.h"

using namespace vt::test;

namespace {

const int QUAD_BYTES = 4 * sizeof(FIREFLYVERTEX);

class Fireflies : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        D3DXMatrixIdentity(&g_matIdentity);
        g_Camera.SetView(D3DXVECTOR3(0, 5, -50), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
        SeedRand(1);
        f = std::make_unique<CFireflies>(0);
        ASSERT_EQ(dev.CreateVertexBuffer(28800, 0, FVF_FIREFLYVERTEX, D3DPOOL_MANAGED, &f->m_pVB), S_OK);
        // Marker bytes show which quads an update wrote.
        BYTE* p = nullptr;
        ASSERT_EQ(f->m_pVB->Lock(0, 0, &p, 0), S_OK);
        memset(p, 0xAB, 28800);
        f->m_pVB->Unlock();
        dev.ClearLog();
    }
    void TearDown() override
    {
        f->Release();
        ShowFixture::TearDown();
    }
    // One firefly alive since 0 whose four path points are given.
    FLYER& OneFlyer(const D3DXVECTOR3 path[4], float duration)
    {
        f->Emit(1, path[1], 0.0f, 0.0f, 0.0f);
        FLYER& fl = f->m_Flyers[0];
        for (int k = 0; k < 4; k++)
            fl.vPath[k] = path[k];
        fl.fDuration = duration;
        return fl;
    }
    std::vector<BYTE> Quad(int flyer, int point)
    {
        std::vector<BYTE> q(QUAD_BYTES);
        BYTE* p = nullptr;
        if (SUCCEEDED(f->m_pVB->Lock(0, 0, &p, D3DLOCK_READONLY))) {
            memcpy(q.data(), p + (4 * flyer + point) * QUAD_BYTES, QUAD_BYTES);
            f->m_pVB->Unlock();
        }
        return q;
    }
    DWORD QuadAlpha(int flyer, int point)
    {
        FIREFLYVERTEX v[4];
        memcpy(v, Quad(flyer, point).data(), sizeof(v));
        for (int k = 1; k < 4; k++)
            EXPECT_EQ(v[k].diffuse, v[0].diffuse);
        EXPECT_EQ(v[0].diffuse & 0x00FFFFFF, 0x00FFFFFFu);
        return v[0].diffuse >> 24;
    }
    bool Untouched(int flyer)
    {
        for (int j = 0; j < 4; j++)
            for (BYTE b : Quad(flyer, j))
                if (b != 0xAB)
                    return false;
        return true;
    }
    // The n-th value of the runtime sequence from state 1 (1-based).
    static int NthRand(int n)
    {
        SeedRand(1);
        int r = 0;
        for (int i = 0; i < n; i++)
            r = Rand();
        return r;
    }
    static bool InCloud(const D3DXVECTOR3& p, const D3DXVECTOR3& base, float top)
    {
        // RandomFloat(min, max) lies in [min, max + 1].
        return p.x >= base.x - 5 && p.x <= base.x + 6 && p.y >= base.y + 1 && p.y <= base.y + top + 1 &&
               p.z >= base.z - 5 && p.z <= base.z + 6;
    }

    std::unique_ptr<CFireflies> f;
};

TEST_F(Fireflies, ConstructionDrawsTwelveHundredAndOneNumbersInOrder)
{
    // Made in SetUp from state 1: one discarded draw, then z, y, x per point.
    SeedRand(1);
    Rand();
    const float z = RandomFloat(-5, 5), y = RandomFloat(1, 15), x = RandomFloat(-5, 5);
    EXPECT_EQ(f->m_Flyers[0].vPath[0], D3DXVECTOR3(x, y, z) + D3DXVECTOR3(0, 3, 0));

    SeedRand(1);
    CFireflies again(3);
    const int next = Rand();
    EXPECT_EQ(next, NthRand(1202));
    EXPECT_EQ(again.m_Flyers[99].vPath[3], f->m_Flyers[99].vPath[3]);
    EXPECT_TRUE(again.m_Flyers[2].bAlive);
    EXPECT_FALSE(again.m_Flyers[3].bAlive);
    EXPECT_EQ(again.m_nFlyers, 3);

    EXPECT_EQ(f->m_nKeys, 17);
    EXPECT_EQ(f->m_Keys[16].fTime, 2000.0f);
    EXPECT_EQ(f->m_Keys[17].vPos, D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(f->m_vAttractor, D3DXVECTOR3(0, 3, 0));
    EXPECT_EQ(f->m_Light.Type, D3DLIGHT_POINT);
    EXPECT_EQ(f->m_Light.Position.y, 3.0f);
    EXPECT_EQ(f->m_Light.Range, 20.0f);
    EXPECT_EQ(f->m_Light.Attenuation1, 0.5f);
    EXPECT_EQ(f->m_Light.Diffuse.r, 0.0f);
}

TEST_F(Fireflies, SceneOneEmitsFourBatchesWithStaggeredSpawnTimes)
{
    SeedRand(1);
    EmitFireflyBatches(f.get(), 0.0f);
    ASSERT_EQ(f->m_nFlyers, 19);
    const int next = Rand();
    EXPECT_EQ(next, NthRand(19 * 13 + 1));  // a duration and four points each

    struct Case {
        int index;
        float spawn;
        D3DXVECTOR3 origin;
    } cases[] = {
        {0, 10.7f, {30, 17, 20}},          {1, 15.0f, {-30, 3, -40}},          {4, 18.0f, {-30, 3, -40}},
        {5, 20.5f, {0, 15, 30}},           {10, 5 * 0.7f + 20.5f, {0, 15, 30}}, {11, 32.0f, {10, 13, -40}},
        {18, 7 * 0.8f + 32.0f, {10, 13, -40}},
    };
    for (const Case& c : cases) {
        const FLYER& fl = f->m_Flyers[c.index];
        EXPECT_EQ(fl.fSpawnTime, c.spawn) << c.index;
        EXPECT_FALSE(fl.bAlive) << c.index;
        EXPECT_EQ(fl.vPoints[0], c.origin);
        EXPECT_EQ(fl.vPoints[3], D3DXVECTOR3(0, 0, 0));
        EXPECT_GE(fl.fDuration, 2.0f);
        EXPECT_LE(fl.fDuration, 4.0f);
        EXPECT_TRUE(InCloud(fl.vPath[0], c.origin, 5)) << c.index;
        EXPECT_TRUE(InCloud(fl.vPath[1], c.origin, 5)) << c.index;
        EXPECT_TRUE(InCloud(fl.vPath[2], f->m_vAttractor, 5)) << c.index;
        EXPECT_TRUE(InCloud(fl.vPath[3], f->m_vAttractor, 5)) << c.index;
    }
}

TEST_F(Fireflies, EmissionStopsAtTheBuffersCapacity)
{
    f->Emit(2, D3DXVECTOR3(0, 0, 0), 1.0f, 1.5f, 1.0f);
    EXPECT_TRUE(f->m_Flyers[0].bAlive);  // spawn 1.0 <= now
    EXPECT_FALSE(f->m_Flyers[1].bAlive);  // spawn 2.0
    f->Emit(60, D3DXVECTOR3(0, 0, 0), 0.0f, 0.0f, 0.1f);
    EXPECT_EQ(f->m_nFlyers, FIREFLIES_MAX);
    f->Emit(5, D3DXVECTOR3(0, 0, 0), 0.0f, 0.0f, 0.1f);
    EXPECT_EQ(f->m_nFlyers, FIREFLIES_MAX);
    // Every quad of every firefly lies inside the buffer.
    EXPECT_EQ(f->Update(100.0f), S_OK);
    dev.BeginScene();
    EXPECT_EQ(f->Render(), S_OK);
    dev.EndScene();
    EXPECT_EQ(dev.Count("DrawPrimitive"), (size_t)FIREFLIES_MAX * 4);
}

TEST_F(Fireflies, AFireflyComesAliveOnTheFirstUpdateAfterItsSpawnTime)
{
    EmitFireflyBatches(f.get(), 0.0f);
    ASSERT_EQ(f->Update(10.7f), S_OK);
    EXPECT_FALSE(f->m_Flyers[0].bAlive);
    EXPECT_TRUE(Untouched(0));
    ASSERT_EQ(f->Update(10.75f), S_OK);
    EXPECT_TRUE(f->m_Flyers[0].bAlive);
    EXPECT_FALSE(Untouched(0));
    EXPECT_TRUE(Untouched(1));  // spawns at 15
    ASSERT_EQ(f->Update(15.5f), S_OK);
    EXPECT_FALSE(Untouched(1));
    EXPECT_TRUE(Untouched(2));  // spawns at 16
}

TEST_F(Fireflies, AFinishedSegmentShiftsThePathAndKeepsTheOvershoot)
{
    const D3DXVECTOR3 path[4] = {{0, 3, 0}, {1, 3, 0}, {2, 3, 0}, {3, 3, 0}};
    FLYER& fl = OneFlyer(path, 2.0f);
    ASSERT_EQ(f->Update(1.99f), S_OK);  // fU just below 1: same segment
    EXPECT_EQ(fl.vPath[3], path[3]);
    EXPECT_EQ(fl.fSpawnTime, 0.0f);

    ASSERT_EQ(f->Update(2.1f), S_OK);
    EXPECT_EQ(fl.fSpawnTime, 2.1f);
    EXPECT_NEAR(fl.fU, 0.05f, 1e-6);
    EXPECT_EQ(fl.vPath[0], path[1]);
    EXPECT_EQ(fl.vPath[1], path[2]);
    EXPECT_EQ(fl.vPath[2], path[3]);
    EXPECT_TRUE(InCloud(fl.vPath[3], f->m_vAttractor, 15));
    EXPECT_GE(fl.fDuration, 1.0f);
    EXPECT_LE(fl.fDuration, 2.5f);
    // The head starts the new segment at the overshoot.
    D3DXVECTOR3 head;
    D3DXVec3CatmullRom(&head, &fl.vPath[0], &fl.vPath[1], &fl.vPath[2], &fl.vPath[3], fl.fU);
    EXPECT_EQ(fl.vPoints[0], head);
}

TEST_F(Fireflies, TrailPointsFollowThePathOrArePulledToHalfUnitSteps)
{
    // Slow: points 0.02 of a segment apart stay on the curve; the last one
    // is clamped to the segment's start.
    const D3DXVECTOR3 slow[4] = {{0, 3, 0}, {0.1f, 3, 0}, {0.2f, 3, 0}, {0.3f, 3, 0}};
    FLYER& fl = OneFlyer(slow, 1.0f);
    ASSERT_EQ(f->Update(0.05f), S_OK);
    for (int j = 0; j < 4; j++) {
        D3DXVECTOR3 onCurve;
        D3DXVec3CatmullRom(&onCurve, &slow[0], &slow[1], &slow[2], &slow[3], std::max(0.05f - 0.02f * j, 0.0f));
        EXPECT_EQ(fl.vPoints[j], onCurve) << j;
    }
    EXPECT_EQ(fl.vPoints[3], slow[1]);

    // Fast: 100 units a segment, so each step would be 2 units; the trail
    // is pulled in to 0.5, 1.0 and 1.5 behind the head along the path.
    const D3DXVECTOR3 fast[4] = {{-100, 3, 0}, {0, 3, 0}, {100, 3, 0}, {200, 3, 0}};
    for (int k = 0; k < 4; k++)
        fl.vPath[k] = fast[k];
    ASSERT_EQ(f->Update(0.5f), S_OK);
    for (int j = 1; j < 4; j++) {
        const D3DXVECTOR3 back = fl.vPoints[j] - fl.vPoints[0];
        EXPECT_NEAR(back.x, -0.5f * j, 1e-4) << j;
        EXPECT_NEAR(back.y, 0.0f, 1e-6);
        EXPECT_NEAR(back.z, 0.0f, 1e-6);
    }
}

TEST_F(Fireflies, AlphaFallsAlongTheTrailAndWithDepthFromTheFocusPlane)
{
    // The eye is at z = -50, so the opaque plane is z = -20.
    struct Case {
        float z;
        DWORD head, trail1, trail2;
    } cases[] = {
        {-20, 255, 170, 85}, {0, 127, 85, 42}, {-40, 127, 85, 42}, {20, 0, 0, 0}, {30, 0, 0, 0}, {-60, 0, 0, 0},
    };
    for (const Case& c : cases) {
        f->m_nFlyers = 0;
        const D3DXVECTOR3 still[4] = {{1, 3, c.z}, {1, 3, c.z}, {1, 3, c.z}, {1, 3, c.z}};
        OneFlyer(still, 1.0f);
        ASSERT_EQ(f->Update(0.5f), S_OK);
        EXPECT_EQ(QuadAlpha(0, 0), c.head) << c.z;
        EXPECT_NEAR((double)QuadAlpha(0, 1), c.trail1, 1.0) << c.z;
        EXPECT_NEAR((double)QuadAlpha(0, 2), c.trail2, 1.0) << c.z;
        EXPECT_EQ(QuadAlpha(0, 3), 0u) << c.z;  // the last trail point is invisible
    }
    // The square itself: corners and texture coordinates of a fan.
    FIREFLYVERTEX v[4];
    memcpy(v, Quad(0, 0).data(), sizeof(v));
    EXPECT_EQ(v[0].x, -1.0f);
    EXPECT_EQ(v[0].y, 1.0f);
    EXPECT_EQ(v[2].x, 1.0f);
    EXPECT_EQ(v[2].y, -1.0f);
    EXPECT_EQ(v[1].tu, 1.0f);
    EXPECT_EQ(v[3].tv, 1.0f);
}

TEST_F(Fireflies, TheFirstFireflysLightRampsUpFromElevenToThirteenSeconds)
{
    EmitFireflyBatches(f.get(), 0.0f);
    struct Case {
        float now;
        float level;
    } cases[] = {{5.0f, 0}, {10.7f, 0}, {11.0f, 0}, {12.0f, 28}, {13.0f, 56}, {20.0f, 56}};
    for (const Case& c : cases) {
        dev.ClearLog();
        ASSERT_EQ(f->Update(c.now), S_OK);
        ASSERT_TRUE(dev.Called("SetLight", {FIREFLY_LIGHT})) << c.now;
        const D3DLIGHT8 light = dev.Light(FIREFLY_LIGHT);
        EXPECT_FLOAT_EQ(light.Diffuse.r, c.level) << c.now;
        EXPECT_EQ(light.Diffuse.g, light.Diffuse.r);
        EXPECT_EQ(light.Position.x, f->m_Flyers[0].vPoints[0].x);
        EXPECT_EQ(light.Position.z, f->m_Flyers[0].vPoints[0].z);
        EXPECT_EQ(light.Position.y, 3.0f);
    }
}

TEST_F(Fireflies, TheAttractorFollowsItsKeys)
{
    f->Emit(1, D3DXVECTOR3(0, 0, 0), 100.0f, 0.0f, 0.0f);  // nobody alive: the attractor still moves
    D3DXVECTOR3 early;
    D3DXVec3CatmullRom(&early, &f->m_Keys[0].vPos, &f->m_Keys[1].vPos, &f->m_Keys[2].vPos, &f->m_Keys[3].vPos,
                       -0.125f);
    struct Case {
        float now;
        int segment;
        D3DXVECTOR3 pos;
    } cases[] = {
        {0.5f, 1, early}, {5.0f, 2, {10, 3, 15}}, {42.0f, 10, {-10, 3, 10}}, {58.0f, 14, {0, 12, 0}},
        {59.0f, 15, {0, 100, 0}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(f->Update(c.now), S_OK);
        EXPECT_EQ(f->m_nSegment, c.segment) << c.now;
        EXPECT_NEAR(f->m_vAttractor.x, c.pos.x, 1e-4) << c.now;
        EXPECT_NEAR(f->m_vAttractor.y, c.pos.y, 1e-4) << c.now;
        EXPECT_NEAR(f->m_vAttractor.z, c.pos.z, 1e-4) << c.now;
    }
    // Past the last key the last segment is extrapolated, not left stale.
    ASSERT_EQ(f->Update(2500.0f), S_OK);
    EXPECT_EQ(f->m_nSegment, 15);
    EXPECT_TRUE(std::isfinite(f->m_vAttractor.y));
}

TEST_F(Fireflies, AliveFirefliesAreDrawnTailFirstAtTheirPoints)
{
    EmitFireflyBatches(f.get(), 0.0f);
    ASSERT_EQ(f->Update(16.05f), S_OK);  // fireflies 0, 1 and 2 are alive
    dev.BeginScene();
    dev.ClearLog();

    // The state of the first draw, kept by failing it.
    dev.FailNext("DrawPrimitive", E_OUTOFMEMORY);
    EXPECT_EQ(f->Render(), E_OUTOFMEMORY);
    EXPECT_EQ(dev.Count("DrawPrimitive"), 1u);
    EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), (DWORD)FALSE);
    EXPECT_EQ(dev.RenderState(D3DRS_ZWRITEENABLE), (DWORD)FALSE);
    EXPECT_EQ(dev.RenderState(D3DRS_ALPHABLENDENABLE), (DWORD)TRUE);
    EXPECT_EQ(dev.RenderState(D3DRS_SRCBLEND), (DWORD)D3DBLEND_SRCALPHA);
    EXPECT_EQ(dev.StageState(0, D3DTSS_ALPHAOP), (DWORD)D3DTOP_MODULATE);
    EXPECT_EQ(dev.StageState(0, D3DTSS_ALPHAARG2), (DWORD)D3DTA_DIFFUSE);
    EXPECT_EQ(dev.VertexShader(), (DWORD)FVF_FIREFLYVERTEX);

    dev.ClearLog();
    ASSERT_EQ(f->Render(), S_OK);
    const auto draws = dev.Find("DrawPrimitive");
    const UINT starts[] = {12, 8, 4, 0, 28, 24, 20, 16, 44, 40, 36, 32};
    ASSERT_EQ(draws.size(), 12u);
    for (size_t k = 0; k < draws.size(); k++) {
        EXPECT_TRUE(draws[k]->Matches("DrawPrimitive", {D3DPT_TRIANGLEFAN, starts[k], 2})) << k;
        EXPECT_EQ(draws[k]->result, S_OK);
    }
    // Each draw is placed at its point; the last one at firefly 2's head.
    const auto worlds = dev.Find("SetTransform");
    ASSERT_GE(worlds.size(), 13u);
    const D3DMATRIX* lastPoint = worlds[11]->Payload<D3DMATRIX>();
    ASSERT_NE(lastPoint, nullptr);
    EXPECT_EQ(lastPoint->_41, f->m_Flyers[2].vPoints[0].x);
    EXPECT_EQ(lastPoint->_43, f->m_Flyers[2].vPoints[0].z);
    const D3DMATRIX* firstPoint = worlds[0]->Payload<D3DMATRIX>();
    EXPECT_EQ(firstPoint->_42, f->m_Flyers[0].vPoints[3].y);
    // Afterwards: identity world, lighting and depth writes back, no texture.
    EXPECT_TRUE(D3DXMATRIX(dev.Transform(D3DTS_WORLD)) == g_matIdentity);
    EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), (DWORD)TRUE);
    EXPECT_EQ(dev.RenderState(D3DRS_ZWRITEENABLE), (DWORD)TRUE);
    EXPECT_EQ(dev.Texture(0), nullptr);
    dev.EndScene();
}

TEST_F(Fireflies, CreateMakesTheBufferAndReportsAMissingTexture)
{
    CFireflies fresh(0);
    EXPECT_LT(fresh.Create(), 0);  // no data folder here
    const Call* create = dev.Last("CreateVertexBuffer");
    ASSERT_NE(create, nullptr);
    EXPECT_TRUE(create->Matches("CreateVertexBuffer", {28800, 0, FVF_FIREFLYVERTEX, D3DPOOL_MANAGED}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    fresh.Release();
    EXPECT_EQ(fresh.m_pVB, nullptr);

    dev.FailNext("CreateVertexBuffer", E_OUTOFMEMORY);
    EXPECT_EQ(fresh.Create(), E_OUTOFMEMORY);
    EXPECT_EQ(boxes.size(), 1u);  // returned, not reported here
}

}  // namespace
