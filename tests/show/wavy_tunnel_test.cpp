// The wavy second tunnel: its radius function, winding, path speed, the
// look-around from 175.7 s and the spectrum shake.
#include <cmath>
#include <cstring>
#include <vector>

#include "effects/tunnel_swarm.h"
#include "effects/wavy_tunnel.h"
#include "gfx/fade.h"
#include "tests/show/show_fixture.h"
#include "util/random.h"

using namespace vt::test;

namespace {

int Tunnel2Slot(int i, int j, int k)
{
    return 2 * (((i - 1) * TUNNEL2_RINGS + j) * TUNNEL2_RING_VERTS + k);
}

class Tunnel2Test : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        SeedRand(1);
        g_Tunnel2 = CTunnel2();
        g_bTunnel2PathNew = TRUE;
        ASSERT_EQ(D3DXCreateMeshFVF(TUNNEL2_FACES, TUNNEL2_VERTS, D3DXMESH_MANAGED, FVF_TUNNEL2VERTEX, &dev,
                                    &g_Tunnel2.m_pMesh),
                  S_OK);
        g_Tunnel2.m_pMesh->GetVertexBuffer(&g_Tunnel2.m_pVB);
        g_Tunnel2.m_pMesh->GetIndexBuffer(&g_Tunnel2.m_pIB);
        ASSERT_EQ(dev.CreateVertexBuffer(20160, 0, FVF_TUNNELVERTEX, D3DPOOL_MANAGED, &g_TunnelSwarm.m_pVB), S_OK);
        ASSERT_EQ(g_Tunnel2.BuildTunnel2(g_Tunnel2.m_pVB, g_Tunnel2.m_pIB, TUNNEL2_RADIUS, TRUE), S_OK);
        D3DXComputeNormals(g_Tunnel2.m_pMesh);
        g_fShowTime = 160.0f;
    }
    void TearDown() override
    {
        SAFE_RELEASE(g_Tunnel2.m_pVB);
        SAFE_RELEASE(g_Tunnel2.m_pIB);
        SAFE_RELEASE(g_Tunnel2.m_pMesh);
        SAFE_RELEASE(g_TunnelSwarm.m_pVB);
        ShowFixture::TearDown();
    }
    std::vector<TUNNEL2VERTEX> Vertices()
    {
        std::vector<TUNNEL2VERTEX> v(TUNNEL2_VERTS);
        BYTE* p = nullptr;
        if (SUCCEEDED(g_Tunnel2.m_pVB->Lock(0, 0, &p, D3DLOCK_READONLY))) {
            memcpy(v.data(), p, v.size() * sizeof(TUNNEL2VERTEX));
            g_Tunnel2.m_pVB->Unlock();
        }
        return v;
    }
    std::vector<WORD> Indices()
    {
        std::vector<WORD> v(TUNNEL2_INDICES);
        BYTE* p = nullptr;
        if (SUCCEEDED(g_Tunnel2.m_pIB->Lock(0, 0, &p, D3DLOCK_READONLY))) {
            memcpy(v.data(), p, v.size() * sizeof(WORD));
            g_Tunnel2.m_pIB->Unlock();
        }
        return v;
    }
    // One scene-5 frame at show time t.
    void FrameAt(float t)
    {
        g_fShowTime = t;
        ASSERT_EQ(g_Tunnel2.UpdateTunnel2(t - 154.2f), S_OK);
    }
    // The unshaken eye for segment fraction f.
    D3DXVECTOR3 PathEye(float f) { return TunnelPathPoint(g_Tunnel2.m_Points, 1, f); }
};

TEST_F(Tunnel2Test, PathIsMadeWithIndexZeroThenAdvancedOnce)
{
    EXPECT_EQ(g_Tunnel2.m_nPoints, 7);
    for (int i = 0; i < TUNNEL_PATH_POINTS; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(g_Tunnel2.m_Points[i].vPos.z, 150.0f * (i + 1));
        EXPECT_EQ(g_Tunnel2.m_Points[i].fIndex, i == 5 ? 6.0f : 0.0f);
        EXPECT_GE(g_Tunnel2.m_Points[i].vPos.y, -30.0f);
        EXPECT_LE(g_Tunnel2.m_Points[i].vPos.y, 31.0f);
    }
}

TEST_F(Tunnel2Test, RadiusHasEightLobesAndAWindingRipple)
{
    const std::vector<TUNNEL2VERTEX> v = Vertices();
    struct Case {
        int i, j, k;
    };
    const Case cases[] = {{1, 0, 0}, {1, 0, 1}, {1, 7, 13}, {2, 19, 40}, {3, 5, 31}, {4, 19, 62}, {1, 3, 63}, {4, 11, 63}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.i << "," << c.j << "," << c.k);
        const double a = c.k / 63.0 * 2.0 * M_PI;
        const double w = (c.j / 19.0 + 0.9 * a) * 2.0 * M_PI;
        const double r = 10.0 + 1.3 * cos(8.0 * a) + 1.3 * cos(2.0 * w);
        const D3DXVECTOR3 centre = TunnelPathPoint(g_Tunnel2.m_Points, c.i - 1, c.j / 19.0f);
        const TUNNEL2VERTEX& p = v[Tunnel2Slot(c.i, c.j, c.k)];
        EXPECT_NEAR(hypot(p.x - centre.x, p.y - centre.y), r, 2e-3);
        EXPECT_EQ(p.z, centre.z);
        // The seam vertex is put back at angle 0 but keeps the radius of 2 pi.
        const double angle = c.k == 63 ? 0.0 : a;
        EXPECT_NEAR(p.x - centre.x, cos(angle) * r, 2e-3);
        EXPECT_NEAR(p.y - centre.y, sin(angle) * r, 2e-3);
        // The copy's normal was zeroed by the normal computation (no face uses it).
        const TUNNEL2VERTEX& copy = v[Tunnel2Slot(c.i, c.j, c.k) + 1];
        EXPECT_EQ(copy.x, p.x);
        EXPECT_EQ(copy.y, p.y);
        EXPECT_EQ(copy.z, p.z);
        EXPECT_EQ(copy.diffuse, 0xFFFFFFFFu);
    }
}

TEST_F(Tunnel2Test, WindingIsReversedSoFacesLookInwards)
{
    const std::vector<WORD> idx = Indices();
    for (int q = 0; q < TUNNEL2_INDICES / 6; q++) {
        const int a = 2 * q;
        const WORD expect[6] = {(WORD)a, (WORD)(a + 128), (WORD)(a + 2), (WORD)(a + 2), (WORD)(a + 128), (WORD)(a + 130)};
        ASSERT_EQ(memcmp(&idx[6 * q], expect, sizeof expect), 0) << "quad " << q;
    }
    // Under counter-clockwise culling a face is kept when (p1 - p0) x (p2 - p0)
    // points at the viewer: here at the tube's axis, where the camera flies.
    const std::vector<TUNNEL2VERTEX> v = Vertices();
    int inwards = 0, total = 0;
    for (int q = 0; q < 64 * 19; q += 7) {
        if (q % 64 == 63)
            continue;  // the zero-area seam quad
        const TUNNEL2VERTEX& p0 = v[idx[6 * q]];
        const TUNNEL2VERTEX& p1 = v[idx[6 * q + 1]];
        const TUNNEL2VERTEX& p2 = v[idx[6 * q + 2]];
        const D3DXVECTOR3 e1(p1.x - p0.x, p1.y - p0.y, p1.z - p0.z), e2(p2.x - p0.x, p2.y - p0.y, p2.z - p0.z);
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &e1, &e2);
        const D3DXVECTOR3 c = TunnelPathPoint(g_Tunnel2.m_Points, 0, (q / 64) / 19.0f);
        const D3DXVECTOR3 toAxis(c.x - p0.x, c.y - p0.y, 0.0f);
        inwards += D3DXVec3Dot(&n, &toAxis) > 0.0f;
        total++;
    }
    EXPECT_EQ(inwards, total);
}

TEST_F(Tunnel2Test, PathAdvancesTwoSegmentsPerSecond)
{
    struct Step {
        float u;
        int nPoints;
        float f;
    };
    const Step steps[] = {{2.0f, 7, 0.0f}, {2.25f, 7, 0.5f}, {2.5f, 7, 1.0f}, {2.52f, 8, 0.04f}, {3.0f, 8, 0.96f},
                          {3.05f, 9, 0.06f}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.u);
        g_fShowTime = 154.2f + s.u;
        ASSERT_EQ(g_Tunnel2.UpdateTunnel2(s.u), S_OK);
        EXPECT_EQ(g_Tunnel2.m_nPoints, s.nPoints);
        EXPECT_EQ(g_Tunnel2.m_fTime, s.u);
        // The camera already uses the wrapped fraction: between P[2] and P[3].
        const D3DXVECTOR3 eye = PathEye(s.f);
        EXPECT_NEAR(g_Tunnel2.m_vEye.z, eye.z, 0.05f);
        EXPECT_NEAR(g_Tunnel2.m_vEye.x, eye.x, 0.05f);
        EXPECT_GE(g_Tunnel2.m_vEye.z, g_Tunnel2.m_Points[2].vPos.z);
        EXPECT_LE(g_Tunnel2.m_vEye.z, g_Tunnel2.m_Points[3].vPos.z);
    }
    EXPECT_EQ(g_Tunnel2.m_Points[5].fIndex, 8.0f);
}

TEST_F(Tunnel2Test, LooksAlongThePathBefore175_7AndAroundFromThere)
{
    FrameAt(154.2f);  // the scene's first frame starts the clocks
    FrameAt(175.5f);  // completes a segment: the segment clock restarts here
    const float u0 = 175.5f - 154.2f;

    // Before: the target is the path 0.81 segments ahead; the eye unshaken.
    FrameAt(175.6f);
    D3DXVECTOR3 eye, target;
    LookAlongTunnelPath(g_Tunnel2.m_Points, 1, ((175.6f - 154.2f) - u0) * 2.0f, 0.81f, &eye, &target);
    EXPECT_EQ(g_Tunnel2.m_vEye, eye);
    EXPECT_EQ(g_Tunnel2.m_vTarget, target);
    EXPECT_EQ(g_Tunnel2.m_nLookIndex, 0);

    // First look-around frame: the swing towards entry 1 starts from zero, so
    // the target is the unshaken eye; silence moves the eye 0.001 down on
    // every axis.
    FrameAt(175.7f);
    const D3DXVECTOR3 path = PathEye(((175.7f - 154.2f) - u0) * 2.0f);
    EXPECT_EQ(g_Tunnel2.m_nLookIndex, 1);
    EXPECT_EQ(g_Tunnel2.m_vTarget, path);
    EXPECT_EQ(g_Tunnel2.m_vEye.x, path.x + SpectrumShake(0.0f));
    EXPECT_EQ(g_Tunnel2.m_vEye.y, path.y + SpectrumShake(0.0f));
    EXPECT_EQ(g_Tunnel2.m_vEye.z, path.z + SpectrumShake(0.0f));
    // Not accumulated: the same frame again gives the same eye.
    const D3DXVECTOR3 shaken = g_Tunnel2.m_vEye;
    FrameAt(175.7f);
    EXPECT_EQ(g_Tunnel2.m_vEye, shaken);
}

TEST_F(Tunnel2Test, LookAroundSwitchesEveryHalfSecondThroughTheTenOffsets)
{
    int last = 0;
    float fLastSwitch = 0.0f;
    int nSwitches = 0;
    bool lookedBack = false;
    D3DXVECTOR3 prevCurrent(0.0f, 0.0f, 0.0f);
    for (int n = 0; n <= 120; n++) {
        const float t = 170.0f + n * 0.1f;
        FrameAt(t);
        if (t - 5.0f < 170.7f) {
            EXPECT_EQ(g_Tunnel2.m_nLookIndex, 0);
            continue;
        }
        if (g_Tunnel2.m_nLookIndex != last) {
            SCOPED_TRACE(t);
            EXPECT_EQ(g_Tunnel2.m_nLookIndex, (last + 1) % LOOK_OFFSET_COUNT);
            EXPECT_EQ(g_Tunnel2.m_vLookGoal, LOOK_OFFSETS[g_Tunnel2.m_nLookIndex]);
            // Each swing starts where the last one was cut off.
            EXPECT_EQ(g_Tunnel2.m_vLookStart, prevCurrent);
            if (nSwitches > 0) {
                EXPECT_GE(t - fLastSwitch, 0.45f);
                EXPECT_LE(t - fLastSwitch, 0.65f);
            }
            last = g_Tunnel2.m_nLookIndex;
            fLastSwitch = t;
            nSwitches++;
        }
        // The target is the unshaken eye plus the swing.
        const D3DXVECTOR3 d = g_Tunnel2.m_vTarget - g_Tunnel2.m_vEye - g_Tunnel2.m_vLookCurrent;
        EXPECT_NEAR(d.x, 0.001f, 2e-4f);
        EXPECT_NEAR(d.z, 0.001f, 2e-4f);
        if (g_Tunnel2.m_vLookCurrent.z < 0.0f)
            lookedBack = true;
        prevCurrent = g_Tunnel2.m_vLookCurrent;
    }
    EXPECT_GE(nSwitches, 10);
    EXPECT_TRUE(lookedBack);  // entries 6 to 9 turn the gaze back along the tube
}

TEST(SpectrumShake, SilenceAndFullScale)
{
    EXPECT_FLOAT_EQ(SpectrumShake(0.0f), -0.001f);
    EXPECT_FLOAT_EQ(SpectrumShake(1.0f), 0.509f);
    EXPECT_FLOAT_EQ(SpectrumShake(0.5f), (127.5f - 0.5f) * 0.002f);
}

TEST_F(Tunnel2Test, RenderSphereMapsFromCameraSpaceNormalsAndRestoresTheStage)
{
    IDirect3DTexture8* tex = MakeTexture(8, 8);
    g_Tunnel2.m_pTexture = tex;
    dev.BeginScene();
    dev.ClearLog();
    ASSERT_EQ(g_Tunnel2.RenderTunnel2(), S_OK);
    const Call* draw = dev.Last("DrawIndexedPrimitive");
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->result, S_OK);
    EXPECT_EQ(draw->Arg(2), (uint64_t)TUNNEL2_VERTS);
    EXPECT_EQ(draw->Arg(4), 10111u);
    EXPECT_TRUE(dev.Called("SetTextureStageState", {0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL}));
    EXPECT_TRUE(dev.Called("SetTextureStageState", {0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2}));
    EXPECT_EQ(dev.StageState(0, D3DTSS_ADDRESSU), (DWORD)D3DTADDRESS_MIRROR);
    const D3DMATRIX m = dev.Transform(D3DTS_TEXTURE0);
    EXPECT_EQ(m._11, 0.5f);
    EXPECT_EQ(m._22, -0.5f);
    EXPECT_EQ(m._41, 0.5f);
    EXPECT_EQ(m._42, 0.5f);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXCOORDINDEX), 0u);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXTURETRANSFORMFLAGS), (DWORD)D3DTTFF_DISABLE);
    EXPECT_EQ(dev.Texture(0), nullptr);
    g_Tunnel2.m_pTexture = nullptr;
    tex->Release();
}

}  // namespace
