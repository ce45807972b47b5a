// The tunnel firefly swarm: its draws, renewal, sideways glide, placement
// along the second tunnel's path, and drawing.
#include <cstring>

#include "effects/tunnel_swarm.h"
#include "effects/wavy_tunnel.h"
#include "gfx/fade.h"
#include "tests/show/show_fixture.h"
#include "util/random.h"

using namespace vt::test;

namespace {

class SwarmTest : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        SeedRand(1);
        g_TunnelSwarm = CTunnelSwarm();
        ASSERT_EQ(dev.CreateVertexBuffer(20160, 0, FVF_TUNNELVERTEX, D3DPOOL_MANAGED, &g_TunnelSwarm.m_pVB), S_OK);
        // A straight path along z, 150 apart: the curve is then linear in s.
        for (int i = 0; i < TUNNEL_PATH_POINTS; i++) {
            g_Tunnel2.m_Points[i].vPos = D3DXVECTOR3(0.0f, 0.0f, 150.0f * i);
            g_Tunnel2.m_Points[i].fIndex = (float)i;
        }
    }
    void TearDown() override
    {
        SAFE_RELEASE(g_TunnelSwarm.m_pVB);
        SAFE_RELEASE(g_TunnelSwarm.m_pTexture);
        ShowFixture::TearDown();
    }
    SWARMSPRITE& Sprite(int i) { return g_TunnelSwarm.m_Sprites[i]; }
};

TEST_F(SwarmTest, ConstructionDrawsEachPhaseInSpriteOrder)
{
    // The runtime generator from state 5, worked here by hand: each phase is
    // r / (32767 / 2) for the next r of the sequence, in sprite order.
    SeedRand(5);
    const CTunnelSwarm swarm;
    uint32_t state = 5;
    for (int i = 0; i < SWARM_SPRITES; i++) {
        state = state * 214013u + 2531011u;
        const int r = (int)((state >> 16) & 0x7FFF);
        const float expect = (float)(r / (32767.0 / 2.0));
        ASSERT_EQ(swarm.m_Sprites[i].fPhaseStart, expect) << "sprite " << i;
        ASSERT_EQ(swarm.m_Sprites[i].fSpawnTime, 0.0f);
        ASSERT_EQ(swarm.m_Sprites[i].vTo, D3DXVECTOR3(0, 0, 0));
    }
    EXPECT_EQ(swarm.m_nSprites, 70);
    EXPECT_EQ(swarm.m_pVB, nullptr);
}

TEST_F(SwarmTest, ASpriteReachedByTheCameraIsRenewedOneSegmentAhead)
{
    struct Case {
        float fPhaseStart, fSpawnTime, t;
        bool renewed;
    };
    // fPhase = fPhaseStart - (t - fSpawnTime) x 0.6; renewed at fPhase <= 0.
    const Case cases[] = {
        {0.6f, 0.0f, 1.0f, true},    // exactly 0
        {0.6f, 0.0f, 0.99f, false},  // just ahead
        {1.0f, 4.0f, 5.7f, true},    // past 0
        {1.8f, 0.0f, 0.5f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        SWARMSPRITE& s = Sprite(0);
        s.fPhaseStart = c.fPhaseStart;
        s.fSpawnTime = c.fSpawnTime;
        s.vFrom = D3DXVECTOR3(1.0f, 2.0f, 0.0f);
        s.vTo = D3DXVECTOR3(-3.0f, 4.0f, 0.0f);
        g_TunnelSwarm.m_nSprites = 1;
        SeedRand(77);
        ASSERT_EQ(UpdateTunnelSwarm(c.t, 0.1f), S_OK);
        const float fPhase = c.fPhaseStart - (c.t - c.fSpawnTime) * 0.6f;
        if (c.renewed) {
            EXPECT_EQ(s.fPhase, fPhase + 1.0f);
            EXPECT_EQ(s.fPhaseStart, 1.0f);
            EXPECT_EQ(s.fSpawnTime, c.t);
            EXPECT_EQ(s.vFrom, D3DXVECTOR3(-3.0f, 4.0f, 0.0f));
            // The new goal: y drawn before x, z always 0.
            SeedRand(77);
            const float y = RandomFloat(-7.0f, 7.0f);
            const float x = RandomFloat(-7.0f, 7.0f);
            EXPECT_EQ(s.vTo, D3DXVECTOR3(x, y, 0.0f));
        } else {
            EXPECT_EQ(s.fPhase, fPhase);
            EXPECT_EQ(s.fSpawnTime, c.fSpawnTime);
            EXPECT_EQ(s.vTo, D3DXVECTOR3(-3.0f, 4.0f, 0.0f));
            // Nothing drawn.
            const int next = Rand();
            SeedRand(77);
            EXPECT_EQ(next, Rand());
        }
    }
}

TEST_F(SwarmTest, OffsetGlidesFromTheOldGoalToTheNewOneInThreeSeconds)
{
    g_TunnelSwarm.m_nSprites = 1;
    SWARMSPRITE& s = Sprite(0);
    s.fPhaseStart = 0.3f;
    s.fSpawnTime = 0.0f;
    s.vTo = D3DXVECTOR3(5.0f, -6.0f, 0.0f);
    ASSERT_EQ(UpdateTunnelSwarm(0.5f, 0.2f), S_OK);  // renewed here
    ASSERT_EQ(s.fSpawnTime, 0.5f);
    const D3DXVECTOR3 goal = s.vTo;
    EXPECT_NEAR(s.vPos.x, 5.0f, 1e-4f);
    EXPECT_NEAR(s.vPos.y, -6.0f, 1e-4f);

    ASSERT_EQ(UpdateTunnelSwarm(2.0f, 0.2f), S_OK);  // halfway
    EXPECT_NEAR(s.vPos.x, (5.0f + goal.x) / 2, 1e-3f);
    EXPECT_NEAR(s.vPos.y, (-6.0f + goal.y) / 2, 1e-3f);

    s.fPhaseStart = 2.3f;  // keep it from being renewed again
    ASSERT_EQ(UpdateTunnelSwarm(3.5f, 0.2f), S_OK);
    ASSERT_EQ(s.fSpawnTime, 0.5f);
    EXPECT_NEAR(s.vPos.x, goal.x, 1e-3f);
    EXPECT_NEAR(s.vPos.y, goal.y, 1e-3f);
}

TEST_F(SwarmTest, SpritesRideThePathAheadOfTheCameraByTheirPhase)
{
    struct Case {
        float f, fPhaseStart;
        bool shifted;
    };
    const Case cases[] = {{0.1f, 0.5f, false}, {0.7f, 0.5f, true}, {0.0f, 0.999f, false}, {0.5f, 0.5f, true}};
    g_TunnelSwarm.m_nSprites = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.f);
        SWARMSPRITE& s = Sprite(0);
        s = SWARMSPRITE();
        s.fPhaseStart = c.fPhaseStart;
        ASSERT_EQ(UpdateTunnelSwarm(0.0f, c.f), S_OK);
        EXPECT_EQ(s.bShifted, c.shifted ? TRUE : FALSE);
        EXPECT_LT(s.fSegFraction, 1.0f);
        // The camera is at 300 + 150 f on this path; the sprite fPhase segments on.
        EXPECT_NEAR(s.vPos.z, 300.0f + 150.0f * (c.f + c.fPhaseStart), 1e-2f);
        EXPECT_EQ(s.vPos.x, 0.0f);
    }
    // The quad is written whatever happens to the sprite.
    BYTE* p = nullptr;
    ASSERT_EQ(g_TunnelSwarm.m_pVB->Lock(0, 0, &p, D3DLOCK_READONLY), S_OK);
    const TUNNELVERTEX* v = (const TUNNELVERTEX*)p;
    EXPECT_EQ(v[0].x, -1.0f);
    EXPECT_EQ(v[0].y, 1.0f);
    EXPECT_EQ(v[2].x, 1.0f);
    EXPECT_EQ(v[2].tu, 1.0f);
    EXPECT_EQ(v[2].tv, 1.0f);
    EXPECT_EQ(v[3].diffuse, 0xFFFFFFFFu);
    g_TunnelSwarm.m_pVB->Unlock();
}

TEST_F(SwarmTest, DrawPlacesOneFanPerSpriteWithoutCullingAndRestoresState)
{
    g_TunnelSwarm.m_pTexture = MakeTexture(8, 8);
    ASSERT_EQ(UpdateTunnelSwarm(0.0f, 0.0f), S_OK);
    dev.BeginScene();
    dev.ClearLog();
    ASSERT_EQ(DrawTunnelSwarm(), S_OK);
    const std::vector<const Call*> draws = dev.Find("DrawPrimitive");
    ASSERT_EQ(draws.size(), (size_t)SWARM_SPRITES);
    const std::vector<const Call*> worlds = dev.Find("SetTransform");
    ASSERT_EQ(worlds.size(), (size_t)SWARM_SPRITES + 1);
    for (int i = 0; i < SWARM_SPRITES; i++) {
        EXPECT_EQ(draws[i]->Arg(0), (uint64_t)D3DPT_TRIANGLEFAN);
        EXPECT_EQ(draws[i]->Arg(1), (uint64_t)(4 * i));
        EXPECT_EQ(draws[i]->Arg(2), 2u);
        const D3DMATRIX* m = worlds[i]->Payload<D3DMATRIX>();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->_43, Sprite(i).vPos.z);
    }
    EXPECT_TRUE(dev.Called("SetRenderState", {D3DRS_CULLMODE, D3DCULL_NONE}));
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_EQ(g_dwCullMode, (DWORD)D3DCULL_CCW);
    EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), (DWORD)TRUE);
    EXPECT_EQ(dev.RenderState(D3DRS_ZWRITEENABLE), (DWORD)TRUE);
    EXPECT_EQ(dev.Texture(0), nullptr);
    EXPECT_EQ(dev.Transform(D3DTS_WORLD)._43, 0.0f);
}

}  // namespace
