// The three-layer tunnel: its path, rings, slots, indices, flight and
// texture animation, built into recording-device buffers.
#include <cmath>
#include <string>
#include <cstring>
#include <vector>

#include "effects/spline_tunnel.h"
#include "gfx/fade.h"
#include "tests/show/show_fixture.h"
#include "util/camera.h"
#include "util/random.h"

using namespace vt::test;

namespace {

// Slot of ring vertex k of step j in segment i (1 ... 4).
int TunnelSlot(int i, int j, int k)
{
    return 2 * (((i - 1) * TUNNEL_RINGS + j) * TUNNEL_RING_VERTS + k);
}

class TunnelTest : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        for (TUNNELLAYER& layer : tunnel.m_Layer) {
            ASSERT_EQ(dev.CreateVertexBuffer(TUNNEL_VERTS * 36, 0, FVF_TUNNELVERTEX, D3DPOOL_MANAGED, &layer.pVB), S_OK);
            ASSERT_EQ(dev.CreateIndexBuffer(TUNNEL_INDICES * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &layer.pIB), S_OK);
        }
        g_bTunnelPathNew = TRUE;
        SeedRand(1);
    }
    void TearDown() override
    {
        for (TUNNELLAYER& layer : tunnel.m_Layer) {
            SAFE_RELEASE(layer.pVB);
            SAFE_RELEASE(layer.pIB);
        }
        for (IDirect3DTexture8*& tex : tunnel.m_pTexture)
            SAFE_RELEASE(tex);
        ShowFixture::TearDown();
    }
    // The scene-2 loader's three builds.
    void BuildAll()
    {
        for (int i = 0; i < TUNNEL_LAYERS; i++)
            ASSERT_EQ(tunnel.BuildTunnel(tunnel.m_Layer[i].pVB, tunnel.m_Layer[i].pIB, TUNNEL_LAYER_RADIUS[i], i == 0),
                      S_OK);
    }
    std::vector<TUNNELVERTEX> Vertices(int layer)
    {
        std::vector<TUNNELVERTEX> v(TUNNEL_VERTS);
        BYTE* p = nullptr;
        if (SUCCEEDED(tunnel.m_Layer[layer].pVB->Lock(0, 0, &p, D3DLOCK_READONLY))) {
            memcpy(v.data(), p, TUNNEL_VERTS * sizeof(TUNNELVERTEX));
            tunnel.m_Layer[layer].pVB->Unlock();
        }
        return v;
    }
    std::vector<WORD> Indices(int layer)
    {
        std::vector<WORD> v(TUNNEL_INDICES);
        BYTE* p = nullptr;
        if (SUCCEEDED(tunnel.m_Layer[layer].pIB->Lock(0, 0, &p, D3DLOCK_READONLY))) {
            memcpy(v.data(), p, TUNNEL_INDICES * sizeof(WORD));
            tunnel.m_Layer[layer].pIB->Unlock();
        }
        return v;
    }

    CTunnel tunnel;
};

TEST_F(TunnelTest, LoadingLeavesPointsOneToSixDrawnYBeforeX)
{
    BuildAll();
    EXPECT_EQ(tunnel.m_nPoints, 7);
    // Seven points were made (the first dropped by the advance), two draws each, y first.
    SeedRand(1);
    float y[7], x[7];
    for (int n = 0; n < 7; n++) {
        y[n] = RandomFloat(-10.0f, 10.0f);
        x[n] = RandomFloat(-10.0f, 10.0f);
    }
    for (int i = 0; i < TUNNEL_PATH_POINTS; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tunnel.m_Points[i].fIndex, (float)(i + 1));
        EXPECT_EQ(tunnel.m_Points[i].vPos.z, 150.0f * (i + 1));
        EXPECT_EQ(tunnel.m_Points[i].vPos.x, x[i + 1]);
        EXPECT_EQ(tunnel.m_Points[i].vPos.y, y[i + 1]);
        EXPECT_GE(tunnel.m_Points[i].vPos.x, -10.0f);
        EXPECT_LE(tunnel.m_Points[i].vPos.x, 11.0f);
    }
    // Only the first build advances: fourteen draws in all.
    const int next = Rand();
    SeedRand(1);
    for (int n = 0; n < 14; n++)
        Rand();
    EXPECT_EQ(Rand(), next);
}

TEST_F(TunnelTest, RingCentresSitOnTheControlPointsAndSegmentsMeetThere)
{
    BuildAll();
    EXPECT_TRUE(boxes.empty());
    for (int layer = 0; layer < TUNNEL_LAYERS; layer++) {
        SCOPED_TRACE(layer);
        const float r = TUNNEL_LAYER_RADIUS[layer];
        const std::vector<TUNNELVERTEX> v = Vertices(layer);
        for (int i = 1; i <= TUNNEL_SEGMENTS; i++) {
            SCOPED_TRACE(i);
            // Vertex 0 of a ring is at angle 0: (r + c.x, c.y, c.z).
            const TUNNELVERTEX& first = v[TunnelSlot(i, 0, 0)];
            const D3DXVECTOR3& p = tunnel.m_Points[i].vPos;
            EXPECT_EQ(first.x, r + p.x);
            EXPECT_EQ(first.y, p.y);
            EXPECT_EQ(first.z, p.z);
            EXPECT_EQ(first.tu, 0.0f);
            // The last ring of the segment reaches the next point, tu 1.
            const TUNNELVERTEX& last = v[TunnelSlot(i, TUNNEL_RINGS - 1, 0)];
            const D3DXVECTOR3& q = tunnel.m_Points[i + 1].vPos;
            EXPECT_NEAR(last.x, r + q.x, 1e-3f);
            EXPECT_NEAR(last.y, q.y, 1e-3f);
            EXPECT_NEAR(last.z, q.z, 1e-3f);
            EXPECT_EQ(last.tu, 1.0f);
            if (i < TUNNEL_SEGMENTS) {
                // A zero-length ring gap: the next ring starts where this one is.
                const TUNNELVERTEX& next = v[TunnelSlot(i + 1, 0, 0)];
                EXPECT_NEAR(next.x, last.x, 1e-3f);
                EXPECT_NEAR(next.z, last.z, 1e-3f);
            }
        }
    }
}

TEST_F(TunnelTest, EveryRingClosesAtTheSeamAndEverySlotHasItsCopy)
{
    BuildAll();
    const std::vector<TUNNELVERTEX> v = Vertices(2);
    for (int n = 0; n < TUNNEL_VERTS / 2 - 1; n++) {
        ASSERT_EQ(memcmp(&v[2 * n], &v[2 * n + 1], sizeof(TUNNELVERTEX)), 0) << "slot " << 2 * n;
    }
    const float r = TUNNEL_LAYER_RADIUS[2];
    for (int i = 1; i <= TUNNEL_SEGMENTS; i++) {
        for (int j = 0; j < TUNNEL_RINGS; j++) {
            const TUNNELVERTEX& a = v[TunnelSlot(i, j, 0)];
            const TUNNELVERTEX& b = v[TunnelSlot(i, j, TUNNEL_RING_VERTS - 1)];
            ASSERT_EQ(a.x, b.x);
            ASSERT_EQ(a.y, b.y);
            ASSERT_EQ(a.z, b.z);
            ASSERT_EQ(b.tv, 1.0f);
            ASSERT_EQ(a.tv, 0.0f);
            // Halfway round, the vertex is on the far side of the centre.
            const TUNNELVERTEX& h = v[TunnelSlot(i, j, 18)];
            const float cx = a.x - r;
            ASSERT_NEAR(hypotf(h.x - cx, h.y - a.y), r, 1e-3f);
            ASSERT_EQ(h.diffuse, 0xFFFFFFFFu);
            // Normals point inwards, from the vertex's own (x, y).
            const float len = hypotf(h.x, h.y);
            ASSERT_NEAR(h.nx, -h.x / len, 1e-5f);
            ASSERT_NEAR(h.ny, -h.y / len, 1e-5f);
            ASSERT_EQ(h.nz, 0.0f);
        }
    }
}

TEST_F(TunnelTest, IndicesStitchEvenSlotsOneRingApart)
{
    BuildAll();
    const std::vector<WORD> idx = Indices(0);
    const WORD first[6] = {2, 72, 0, 74, 72, 2};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(idx[i], first[i]);
    for (int q = 0; q < TUNNEL_INDICES / 6; q++) {
        const int a = 2 * q;
        const WORD expect[6] = {(WORD)(a + 2), (WORD)(a + 72), (WORD)a, (WORD)(a + 74), (WORD)(a + 72), (WORD)(a + 2)};
        ASSERT_EQ(memcmp(&idx[6 * q], expect, sizeof expect), 0) << "quad " << q;
    }
    // Only the very last triangle reaches a spare slot.
    for (int t = 0; t < TUNNEL_INDICES / 3 - 1; t++)
        for (int c = 0; c < 3; c++)
            ASSERT_LT(idx[3 * t + c], TUNNEL_VERTS - 2);
    EXPECT_EQ(idx[TUNNEL_INDICES - 3], TUNNEL_VERTS - 2);
    // The quad that closes a ring joins its last vertex to the next ring's
    // first over the seam: both triangles have zero area.
    const std::vector<TUNNELVERTEX> v = Vertices(0);
    const int q = TUNNEL_RING_VERTS - 1;
    for (int t = 0; t < 2; t++) {
        const TUNNELVERTEX* p[3] = {&v[idx[6 * q + 3 * t]], &v[idx[6 * q + 3 * t + 1]], &v[idx[6 * q + 3 * t + 2]]};
        const D3DXVECTOR3 e1(p[1]->x - p[0]->x, p[1]->y - p[0]->y, p[1]->z - p[0]->z);
        const D3DXVECTOR3 e2(p[2]->x - p[0]->x, p[2]->y - p[0]->y, p[2]->z - p[0]->z);
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &e1, &e2);
        EXPECT_EQ(D3DXVec3Length(&n), 0.0f) << "triangle " << t;
    }
}

TEST_F(TunnelTest, FirstFrameEyeIsAtPointOneLookingAhead)
{
    BuildAll();
    ASSERT_EQ(tunnel.UpdateTunnel(0.0f), S_OK);
    EXPECT_EQ(tunnel.m_vEye, tunnel.m_Points[1].vPos);
    EXPECT_EQ(tunnel.m_vEye.z, 300.0f);
    // 1.3 segments ahead, between P[2] and P[3].
    EXPECT_GT(tunnel.m_vTarget.z, 450.0f);
    EXPECT_LT(tunnel.m_vTarget.z, 600.0f);
    D3DXVECTOR3 eye;
    EXPECT_EQ(*g_Camera.GetEye(&eye), tunnel.m_vEye);
}

TEST_F(TunnelTest, PathAdvancesOnTheFirstFrameAfterAWholeSegment)
{
    BuildAll();
    struct Step {
        float fTime;
        int nPoints;
    };
    // Segment clock starts at 10; s = 1 exactly does not advance.
    const Step steps[] = {{10.0f, 7}, {10.5f, 7}, {11.0f, 7}, {11.03f, 8}, {12.0f, 8}, {12.04f, 9}, {12.05f, 9}};
    float fPrevFirstZ = tunnel.m_Points[0].vPos.z;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.fTime);
        ASSERT_EQ(tunnel.UpdateTunnel(step.fTime), S_OK);
        EXPECT_EQ(tunnel.m_nPoints, step.nPoints);
        EXPECT_EQ(tunnel.m_Points[0].vPos.z, 150.0f * (step.nPoints - 6));
        EXPECT_EQ(tunnel.m_Points[5].fIndex, (float)(step.nPoints - 1));
        EXPECT_GE(tunnel.m_Points[0].vPos.z, fPrevFirstZ);
        fPrevFirstZ = tunnel.m_Points[0].vPos.z;
    }
}

TEST_F(TunnelTest, AdvancingRebuildsAllThreeTubesAndRedrawsTheSameIndices)
{
    BuildAll();
    ASSERT_EQ(tunnel.UpdateTunnel(0.0f), S_OK);
    const std::vector<WORD> before = Indices(1);
    dev.ClearLog();
    ASSERT_EQ(tunnel.UpdateTunnel(1.5f), S_OK);
    for (const TUNNELLAYER& layer : tunnel.m_Layer) {
        EXPECT_EQ(dev.Count("IndexBuffer.Lock", {(uint64_t)(uintptr_t)layer.pIB}), 1u);
        // One lock to rebuild, one to animate.
        EXPECT_EQ(dev.Count("VertexBuffer.Lock", {(uint64_t)(uintptr_t)layer.pVB}), 2u);
    }
    EXPECT_EQ(Indices(1), before);
    EXPECT_EQ(Vertices(0)[TunnelSlot(1, 0, 0)].z, tunnel.m_Points[1].vPos.z);
}

TEST_F(TunnelTest, TexturesScrollAlongAndAroundAtEachLayersRate)
{
    BuildAll();
    ASSERT_EQ(tunnel.UpdateTunnel(3.0f), S_OK);  // the animation clock starts here
    std::vector<TUNNELVERTEX> v = Vertices(0);
    EXPECT_EQ(v[TunnelSlot(2, 4, 7)].tu, 4.0f / 9.0f);
    EXPECT_EQ(v[TunnelSlot(2, 4, 7)].tv, 7.0f / 35.0f);
    EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu);

    ASSERT_EQ(tunnel.UpdateTunnel(3.5f), S_OK);
    struct Expect {
        int layer;
        float fScrollV;
        D3DCOLOR diffuse;
    };
    const Expect expects[] = {{0, 0.3f, 0xFFFFFFFF}, {1, -0.2f, 0xCDFFFFFF}, {2, 0.15f, 0xCDFFFFFF}};
    for (const Expect& e : expects) {
        SCOPED_TRACE(e.layer);
        v = Vertices(e.layer);
        for (int i = 1; i <= TUNNEL_SEGMENTS; i++) {
            for (int j = 0; j < TUNNEL_RINGS; j += 3) {
                for (int k = 0; k < TUNNEL_RING_VERTS; k += 5) {
                    const int slot = TunnelSlot(i, j, k);
                    ASSERT_FLOAT_EQ(v[slot].tu, j / 9.0f + 0.25f);
                    ASSERT_FLOAT_EQ(v[slot].tv, k / 35.0f + e.fScrollV * 0.5f);
                    ASSERT_EQ(v[slot].diffuse, e.diffuse);
                    // The copies keep their build-time values.
                    ASSERT_EQ(v[slot + 1].tu, j / 9.0f);
                    ASSERT_EQ(v[slot + 1].diffuse, 0xFFFFFFFFu);
                }
            }
        }
    }
}

TEST_F(TunnelTest, RenderDrawsLayersOutermostFirstLeavingOutTheSpareTriangle)
{
    BuildAll();
    for (IDirect3DTexture8*& tex : tunnel.m_pTexture)
        tex = MakeTexture(8, 8);
    dev.BeginScene();
    dev.ClearLog();
    ASSERT_EQ(tunnel.RenderTunnel(), S_OK);
    const std::vector<const Call*> draws = dev.Find("DrawIndexedPrimitive");
    ASSERT_EQ(draws.size(), 3u);
    for (const Call* c : draws) {
        EXPECT_EQ(c->result, S_OK);
        EXPECT_EQ(c->Arg(0), (uint64_t)D3DPT_TRIANGLELIST);
        EXPECT_EQ(c->Arg(2), (uint64_t)TUNNEL_VERTS);
        EXPECT_EQ(c->Arg(4), 2807u);
    }
    const std::vector<const Call*> textures = dev.Find("SetTexture");
    ASSERT_EQ(textures.size(), 4u);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(textures[i]->Arg(1), (uint64_t)(uintptr_t)tunnel.m_pTexture[i]);
    EXPECT_EQ(textures[3]->Arg(1), 0u);
    EXPECT_EQ(dev.RenderState(D3DRS_FOGENABLE), (DWORD)TRUE);
    EXPECT_EQ(dev.StageState(0, D3DTSS_ALPHAOP), (DWORD)D3DTOP_MODULATE);
    EXPECT_EQ(dev.Material().Ambient.a, 1.0f);
    EXPECT_EQ(dev.Material().Specular.r, 0.0f);
}

TEST_F(TunnelTest, TubesSeenFromInsideAreDrawnWithReversedCulling)
{
    BuildAll();
    // (p1 - p0) x (p2 - p0) of the tube's faces points away from the axis:
    // seen from the camera inside they are counter-clockwise.
    const std::vector<TUNNELVERTEX> v = Vertices(0);
    const std::vector<WORD> idx = Indices(0);
    for (int q = 0; q < TUNNEL_RING_VERTS * (TUNNEL_RINGS - 1); q += 5) {
        if (q % TUNNEL_RING_VERTS == TUNNEL_RING_VERTS - 1)
            continue;  // the zero-area seam quad
        const TUNNELVERTEX& p0 = v[idx[6 * q]];
        const TUNNELVERTEX& p1 = v[idx[6 * q + 1]];
        const TUNNELVERTEX& p2 = v[idx[6 * q + 2]];
        const D3DXVECTOR3 e1(p1.x - p0.x, p1.y - p0.y, p1.z - p0.z), e2(p2.x - p0.x, p2.y - p0.y, p2.z - p0.z);
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &e1, &e2);
        const float cx = v[TunnelSlot(1, q / TUNNEL_RING_VERTS, 0)].x - TUNNEL_LAYER_RADIUS[0];
        const float cy = v[TunnelSlot(1, q / TUNNEL_RING_VERTS, 0)].y;
        const D3DXVECTOR3 fromAxis(p0.x - cx, p0.y - cy, 0.0f);
        ASSERT_GT(D3DXVec3Dot(&n, &fromAxis), 0.0f) << "quad " << q;
    }
    dev.BeginScene();
    SetCullMode(D3DCULL_CCW);
    dev.ClearLog();
    ASSERT_EQ(tunnel.RenderTunnel(), S_OK);
    std::vector<std::string> seq = dev.Sequence({"DrawIndexedPrimitive"});
    DWORD during = 0;
    for (const Call& c : dev.Log()) {
        if (c.method == "SetRenderState" && c.Arg(0) == D3DRS_CULLMODE)
            during = (DWORD)c.Arg(1);
        if (c.method == "DrawIndexedPrimitive") {
            EXPECT_EQ(during, (DWORD)D3DCULL_CW);
        }
    }
    EXPECT_EQ(seq.size(), 3u);
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_EQ(g_dwCullMode, (DWORD)D3DCULL_CCW);
}

TEST_F(TunnelTest, AFailedLockIsReportedAndLeavesTheBufferAsItWas)
{
    BuildAll();
    const std::vector<TUNNELVERTEX> before = Vertices(0);
    dev.FailNext("VertexBuffer.Lock", E_OUTOFMEMORY);
    EXPECT_EQ(tunnel.BuildTunnel(tunnel.m_Layer[0].pVB, tunnel.m_Layer[0].pIB, 7.5f, TRUE), E_OUTOFMEMORY);
    EXPECT_EQ(boxes.size(), 1u);
    const std::vector<TUNNELVERTEX> after = Vertices(0);
    EXPECT_EQ(memcmp(before.data(), after.data(), before.size() * sizeof(TUNNELVERTEX)), 0);
}

}  // namespace
