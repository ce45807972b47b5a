// The text lattice: cells, ribbons, scrolling, rebuilds that keep the text
// in place, the camera legs, the draw; scene 3's loader, frame and panel.
#include <cmath>
#include <cstring>
#include <vector>

#include "effects/text_lattice.h"
#include "scenes/scene03.h"
#include "scenes/scene_media.h"
#include "scenes/scenes.h"
#include "tests/support/media_dir.h"
#include "tests/show/show_fixture.h"
#include "util/camera.h"

using namespace vt::test;

namespace {

const float s = 100.0f / 19.0f;

TEST(LatticeCell, TruncatesTowardZero)
{
    const struct {
        float p;
        int cell;
    } cases[] = {{0.0f, 0},  {-5.0f, 0},  {-5.3f, -1}, {5.0f, 0},     {5.3f, 1},
                 {10.6f, 2}, {-10.6f, -2}, {-63.75f, -12}, {-71.25f, -13}, {-56.25f, -10}};
    for (const auto& c : cases)
        EXPECT_EQ(LatticeCell(c.p), c.cell) << c.p;
    EXPECT_FLOAT_EQ(LATTICE_CELL, 5.263158f);
}

TEST(LatticeRibbon, HangsBelowOrBesideItsLine)
{
    const struct {
        D3DXVECTOR3 p1, p2, side;
    } cases[] = {
        {D3DXVECTOR3(-49, 1, 2), D3DXVECTOR3(51, 1, 2), D3DXVECTOR3(0, -0.5f, 0)},   // along x: below
        {D3DXVECTOR3(3, -50, 4), D3DXVECTOR3(3, 50, 4), D3DXVECTOR3(0.5f, 0, 0)},    // along y: beside, +x
        {D3DXVECTOR3(5, 6, -51), D3DXVECTOR3(5, 6, 49), D3DXVECTOR3(0, -0.5f, 0)},   // along z: below
    };
    for (const auto& c : cases) {
        TUNNELVERTEX v[4];
        MakeRibbon(v, c.p1, c.p2, 20.0f, 0.25f);
        const D3DXVECTOR3 expected[4] = {c.p1, c.p2, c.p2 + c.side, c.p1 + c.side};
        const float tu[4] = {0.25f, 20.25f, 20.25f, 0.25f};
        const float tv[4] = {0, 0, 1, 1};
        for (int i = 0; i < 4; i++) {
            EXPECT_EQ(D3DXVECTOR3(v[i].x, v[i].y, v[i].z), expected[i]) << i;
            EXPECT_EQ(v[i].tu, tu[i]);
            EXPECT_EQ(v[i].tv, tv[i]);
            EXPECT_EQ(D3DXVECTOR3(v[i].nx, v[i].ny, v[i].nz), D3DXVECTOR3(0, 1, 0));
            EXPECT_EQ(v[i].diffuse, 0xFFFFFFFFu);
        }
    }
}

class Lattice : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        ASSERT_EQ(dev.CreateVertexBuffer(LATTICE_VB_VERTS * sizeof(TUNNELVERTEX), 0, FVF_TUNNELVERTEX,
                                         D3DPOOL_MANAGED, &lat.m_pVB),
                  S_OK);
        // A marker in every slot shows which ones are written.
        BYTE* p = nullptr;
        ASSERT_EQ(lat.m_pVB->Lock(0, 0, &p, 0), S_OK);
        std::memset(p, 0xAB, LATTICE_VB_VERTS * sizeof(TUNNELVERTEX));
        lat.m_pVB->Unlock();
        D3DXMatrixIdentity(&g_matIdentity);
        dev.BeginScene();
        dev.ClearLog();
    }
    void TearDown() override
    {
        lat.Release();
        ShowFixture::TearDown();
    }
    std::vector<TUNNELVERTEX> Vertices()
    {
        std::vector<TUNNELVERTEX> v(LATTICE_VB_VERTS);
        BYTE* p = nullptr;
        if (SUCCEEDED(lat.m_pVB->Lock(0, 0, &p, D3DLOCK_READONLY))) {
            std::memcpy(v.data(), p, v.size() * sizeof(TUNNELVERTEX));
            lat.m_pVB->Unlock();
        }
        return v;
    }
    static D3DXVECTOR3 Pos(const TUNNELVERTEX& v) { return D3DXVECTOR3(v.x, v.y, v.z); }
    // u of the text at world coordinate w along ribbon r (vertices 4r, 4r + 1).
    static float TextU(const std::vector<TUNNELVERTEX>& v, int r, int axis, float w)
    {
        const float* a = &v[4 * r].x;
        const float* b = &v[4 * r + 1].x;
        return v[4 * r].tu + (w - a[axis]) / (b[axis] - a[axis]) * (v[4 * r + 1].tu - v[4 * r].tu);
    }

    CTextLattice lat;
};

TEST_F(Lattice, FamiliesAreBuiltAroundTheCell)
{
    const int cells[][3] = {{0, 0, 0}, {-1, -1, -1}, {3, -2, 7}};
    for (const auto& c : cells) {
        lat.m_fScroll[0] = 0.5f;
        lat.m_fScroll[1] = -0.25f;
        lat.m_fScroll[2] = 2.0f;
        ASSERT_EQ(lat.BuildTextLattice(c[0], c[1], c[2]), S_OK);
        const std::vector<TUNNELVERTEX> v = Vertices();
        const float a = (float)c[0] * s, b = (float)c[1] * s, cz = (float)c[2] * s;
        for (int i : {0, 7, 18}) {
            for (int j : {0, 11, 18}) {
                const int r = i * 19 + j;
                // Along x, shifted by +1.
                EXPECT_EQ(Pos(v[4 * r]), D3DXVECTOR3(a - 49, (float)(c[1] + i) * s - 49, (float)(c[2] + j) * s - 49));
                EXPECT_EQ(Pos(v[4 * r + 1]), D3DXVECTOR3(a + 51, (float)(c[1] + i) * s - 49, (float)(c[2] + j) * s - 49));
                // Along y, not shifted.
                EXPECT_EQ(Pos(v[4 * (361 + r)]), D3DXVECTOR3((float)(c[0] + i) * s - 50, b - 50, (float)(c[2] + j) * s - 50));
                EXPECT_EQ(v[4 * (361 + r) + 1].y, b + 50);
                // Along z, shifted by -1.
                EXPECT_EQ(Pos(v[4 * (722 + r)]), D3DXVECTOR3((float)(c[0] + i) * s - 51, (float)(c[1] + j) * s - 51, cz - 51));
                EXPECT_EQ(v[4 * (722 + r) + 1].z, cz + 49);
            }
        }
        // tu at vertex 0: the family's cell / 19 plus its accumulated shift.
        EXPECT_FLOAT_EQ(v[0].tu, (float)c[0] / 19.0f + 0.5f);
        EXPECT_FLOAT_EQ(v[4 * 361].tu, (float)c[1] / 19.0f - 0.25f);
        EXPECT_FLOAT_EQ(v[4 * 722].tu, (float)c[2] / 19.0f + 2.0f);
        EXPECT_FLOAT_EQ(v[4 * 1082 + 1].tu, (float)c[2] / 19.0f + 2.0f + 20.0f);
        // The slots past the 1083 ribbons are never written.
        const std::vector<uint8_t> marker(sizeof(TUNNELVERTEX), 0xAB);
        for (int k = 4332; k < LATTICE_VB_VERTS; k++)
            ASSERT_EQ(std::memcmp(&v[k], marker.data(), sizeof(TUNNELVERTEX)), 0) << k;
    }
    EXPECT_EQ(dev.Count("VertexBuffer.Lock"), 3u + 3u);  // one per build, one per read-back
}

TEST_F(Lattice, ScrollShiftsEachFamilyAtItsOwnRate)
{
    lat.BuildTextLattice(0, 0, 0);
    const std::vector<TUNNELVERTEX> before = Vertices();
    dev.ClearLog();
    ASSERT_EQ(lat.ScrollTextLattice(0.003f), S_OK);
    EXPECT_EQ(dev.Count("VertexBuffer.Lock"), 1u);
    const std::vector<TUNNELVERTEX> after = Vertices();
    const float d[3] = {-0.003f, -1.2f * 0.003f, -2.5f * 0.003f};
    for (int k = 0; k < 3; k++)
        EXPECT_EQ(lat.m_fScroll[k], d[k]);
    for (int n = 0; n < 4332; n++) {
        ASSERT_EQ(after[n].tu, before[n].tu + d[n / 1444]) << n;
        ASSERT_EQ(after[n].tv, before[n].tv);
        ASSERT_EQ(after[n].x, before[n].x);
    }
    EXPECT_EQ(std::memcmp(&after[4332], &before[4332], (4800 - 4332) * sizeof(TUNNELVERTEX)), 0);

    dev.FailNext("VertexBuffer.Lock", D3DERR_INVALIDCALL);
    EXPECT_EQ(lat.ScrollTextLattice(0.003f), D3DERR_INVALIDCALL);
    EXPECT_EQ(lat.m_fScroll[0], d[0]);  // nothing moved
}

// A cell later the ribbons have moved s units and their text 1/19 of a copy:
// s / 5 = 1 + 1/19 copies, so in world space the text has not moved.
TEST_F(Lattice, RebuildOnACellChangeKeepsTheTextInPlace)
{
    const struct {
        int axis;
        int firstRibbon;
    } families[] = {{0, 0}, {1, 361}, {2, 722}};
    for (const auto& f : families) {
        lat.m_fScroll[0] = lat.m_fScroll[1] = lat.m_fScroll[2] = 0.0f;
        lat.BuildTextLattice(0, 0, 0);
        for (int k = 0; k < 25; k++)
            lat.ScrollTextLattice(0.003f);
        const std::vector<TUNNELVERTEX> before = Vertices();
        int cell[3] = {0, 0, 0};
        cell[f.axis] = -1;
        lat.BuildTextLattice(cell[0], cell[1], cell[2]);
        const std::vector<TUNNELVERTEX> after = Vertices();
        for (float w : {-40.0f, -12.3f, 0.0f, 17.5f, 40.0f}) {
            const float u0 = TextU(before, f.firstRibbon, f.axis, w);
            const float u1 = TextU(after, f.firstRibbon, f.axis, w);
            const float frac = (u1 - u0) - std::round(u1 - u0);
            EXPECT_NEAR(frac, 0.0f, 2e-4f) << "axis " << f.axis << " at " << w;
        }
        // The rebuilt family starts at its new cell / 19 plus the shift so far.
        EXPECT_EQ(after[4 * f.firstRibbon].tu, (float)-1 / 19.0f + lat.m_fScroll[f.axis]);
    }
}

TEST_F(Lattice, CameraLegsScrollAndRebuildOnCellChange)
{
    // u = 0: the origin cell, no rebuild; one lock for the scroll.
    ASSERT_EQ(lat.UpdateTextLattice(0.0f), S_OK);
    D3DXVECTOR3 eye;
    EXPECT_EQ(*g_Camera.GetEye(&eye), D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(dev.Count("VertexBuffer.Lock"), 1u);
    EXPECT_EQ(lat.m_fScroll[0], -0.003f);

    // The view is the camera's, then tumbled.
    D3DXMATRIX view, tumble, expected;
    g_Camera.GetViewMatrix(&view);
    D3DXMatrixRotationYawPitchRoll(&tumble, 0.0f, 0.0f, 0.0f);
    D3DXMatrixMultiply(&expected, &view, &tumble);
    EXPECT_TRUE(D3DXMATRIX(dev.Transform(D3DTS_VIEW)) == expected);

    // u = 1: still cell (0, 0, 0).
    dev.ClearLog();
    lat.UpdateTextLattice(1.0f);
    EXPECT_EQ(dev.Count("VertexBuffer.Lock"), 1u);
    // u = 2: eye (-6.375, -7.125, -5.625), cell (-1, -1, -1): scroll, then rebuild.
    dev.ClearLog();
    lat.UpdateTextLattice(2.0f);
    EXPECT_EQ(*g_Camera.GetEye(&eye), D3DXVECTOR3(-6.375f, -7.125f, -5.625f));
    EXPECT_EQ(lat.m_nCell[0], -1);
    EXPECT_EQ(lat.m_nCell[1], -1);
    EXPECT_EQ(lat.m_nCell[2], -1);
    EXPECT_EQ(dev.Count("VertexBuffer.Lock"), 2u);
    g_Camera.GetViewMatrix(&view);
    D3DXMatrixRotationYawPitchRoll(&tumble, 2.0f / 3.0f, 2.0f / 3.0f, 2.0f / 3.0f);
    D3DXMatrixMultiply(&expected, &view, &tumble);
    EXPECT_TRUE(D3DXMATRIX(dev.Transform(D3DTS_VIEW)) == expected);
    D3DXVECTOR3 target;
    EXPECT_EQ(*g_Camera.GetTarget(&target), D3DXVECTOR3(-80000, -80000, -60000));

    // u = 20: the end of the first leg; the second starts there and steps
    // y by -47.5 where the first stepped -71.25.
    lat.UpdateTextLattice(20.0f);
    EXPECT_EQ(*g_Camera.GetEye(&eye), D3DXVECTOR3(-63.75f, -71.25f, -56.25f));
    EXPECT_EQ(lat.m_vLegStart, D3DXVECTOR3(-63.75f, -71.25f, -56.25f));
    EXPECT_EQ(lat.m_vLegEnd, D3DXVECTOR3(-127.5f, -118.75f, -112.5f));
    EXPECT_EQ(lat.m_fLegStart, 20.0f);
    EXPECT_EQ(lat.m_fLegEnd, 40.0f);
    EXPECT_EQ(lat.m_nCell[0], -12);
    EXPECT_EQ(lat.m_nCell[1], -13);
    EXPECT_EQ(lat.m_nCell[2], -10);
    lat.UpdateTextLattice(30.0f);
    EXPECT_EQ(*g_Camera.GetEye(&eye), D3DXVECTOR3(-95.625f, -95.0f, -84.375f));
    // Five frames, five scroll steps.
    EXPECT_FLOAT_EQ(lat.m_fScroll[2], -2.5f * 0.003f * 5);
}

TEST_F(Lattice, DrawIsOneFanPerRibbonWithoutDepthWrites)
{
    lat.m_pSentenceTexture = MakeTexture(64, 16);
    ASSERT_EQ(lat.DrawTextLattice(), S_OK);
    const auto draws = dev.Find("DrawPrimitive");
    ASSERT_EQ(draws.size(), 1083u);
    for (size_t i = 0; i < draws.size(); i++) {
        ASSERT_EQ(draws[i]->Arg(0), (uint64_t)D3DPT_TRIANGLEFAN);
        ASSERT_EQ(draws[i]->Arg(1), 4 * i);
        ASSERT_EQ(draws[i]->Arg(2), 2u);
    }
    // Depth writes off around the draws, back on after; no material of its own.
    DWORD zwrite = 1;
    for (const Call& c : dev.Log()) {
        if (c.method == "SetRenderState" && c.Arg(0) == D3DRS_ZWRITEENABLE)
            zwrite = (DWORD)c.Arg(1);
        if (c.method == "DrawPrimitive") {
            ASSERT_EQ(zwrite, 0u);
        }
    }
    EXPECT_EQ(dev.RenderState(D3DRS_ZWRITEENABLE), (DWORD)TRUE);
    EXPECT_EQ(dev.Count("SetMaterial"), 0u);
    EXPECT_EQ(dev.RenderState(D3DRS_AMBIENT), 0xFFFFFFFFu);
    EXPECT_EQ(dev.StageState(0, D3DTSS_ALPHAOP), (DWORD)D3DTOP_MODULATE);
    EXPECT_EQ(dev.Texture(0), nullptr);

    // A failed draw returns at once, with depth writes still off.
    dev.ClearLog();
    dev.FailNext("DrawPrimitive", E_FAIL, 1, 10);
    EXPECT_EQ(lat.DrawTextLattice(), E_FAIL);
    EXPECT_EQ(dev.Count("DrawPrimitive"), 11u);
    EXPECT_EQ(dev.RenderState(D3DRS_ZWRITEENABLE), (DWORD)FALSE);
}

class Scene3Test : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        D3DXMatrixIdentity(&g_matIdentity);
        g_fAspect = 4.0f / 3.0f;
        dev.BeginScene();
    }
    void TearDown() override
    {
        ReleaseScene3();
        ShowFixture::TearDown();
    }
};

TEST_F(Scene3Test, LoaderStopsAtTheFirstMissingImage)
{
    const int live = dev.LiveResources();
    {
        MediaDir media("scene_media");
        ASSERT_TRUE(media.WriteImage("data\\bitmaps\\scene03\\sentence.png"));
        ASSERT_TRUE(media.WriteImage("data\\bitmaps\\scene03\\textscroll.png"));
        EXPECT_LT(LoadScene3(), 0);
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    EXPECT_NE(g_TextLattice.m_pSentenceTexture, nullptr);
    EXPECT_EQ(g_TextLattice.m_pScrollTexture, nullptr);
    EXPECT_EQ(g_TextLattice.m_pVB, nullptr);
    ReleaseScene3();
    EXPECT_EQ(g_TextLattice.m_pSentenceTexture, nullptr);
    EXPECT_EQ(dev.LiveResources(), live);
}

TEST_F(Scene3Test, FramesFogTheLatticeAndScrollThePanel)
{
    {
        MediaDir media("scene_media");
        for (const char* f : {"data\\bitmaps\\scene03\\sentence.png", "data\\bitmaps\\scene03\\scene4overlay.png",
                              "data\\bitmaps\\scene03\\textscroll.png"})
            ASSERT_TRUE(media.WriteImage(f, 64, 32));
        ASSERT_EQ(LoadScene3(), S_OK);
    }
    D3DVERTEXBUFFER_DESC desc;
    g_TextLattice.m_pVB->GetDesc(&desc);
    EXPECT_EQ(desc.Size, 172800u);
    EXPECT_EQ(desc.FVF, (DWORD)FVF_TUNNELVERTEX);

    dev.ClearLog();
    g_fShowTime = 111.6f;
    ASSERT_EQ(Scene3(111.6f), S_OK);
    EXPECT_EQ(g_dwCullMode, (DWORD)D3DCULL_NONE);
    EXPECT_TRUE(dev.LightEnabled(7));
    EXPECT_TRUE(dev.Called("SetRenderState", {D3DRS_FOGENABLE, TRUE}));
    EXPECT_TRUE(dev.Called("SetRenderState", {D3DRS_FOGEND, FtoDW(50.0f)}));
    EXPECT_TRUE(dev.Called("SetRenderState", {D3DRS_FOGSTART, FtoDW(0.0f)}));
    EXPECT_EQ(dev.RenderState(D3DRS_FOGENABLE), (DWORD)FALSE);  // the panel switched it off
    EXPECT_FLOAT_EQ(dev.Transform(D3DTS_PROJECTION)._33, 100.0f / 99.0f);
    EXPECT_EQ(dev.Count("DrawPrimitive", {D3DPT_TRIANGLEFAN}), 1083u + 2u);
    EXPECT_EQ(dev.Texture(0), nullptr);

    // The scene's last frame, u = 21.35: the panel text's v offset is 5.3375.
    dev.ClearLog();
    g_fShowTime = 111.6f + 21.35f;
    Scene3(g_fShowTime);
    const std::vector<SCREENVERTEX> q = QuadVertices();
    EXPECT_EQ(q[0].x, 768.0f);
    EXPECT_EQ(q[1].x, 1024.0f);
    EXPECT_EQ(q[2].y, 768.0f);
    EXPECT_NEAR(q[0].tv, 5.3375f, 1e-5f);
    EXPECT_NEAR(q[2].tv, 5.3375f + 1.5f, 1e-5f);
    EXPECT_EQ(q[1].tu, 2.0f);
    const D3DCOLOR colors[4] = {0x00FFFFFF, 0xFFFFFFFF, 0x80FFFFFF, 0x00FFFFFF};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(q[i].diffuse, colors[i]) << i;
    EXPECT_EQ(dev.Count("SetTransform", {D3DTS_PROJECTION}), 1u);  // the lattice's, not the set-up's
}

}  // namespace
