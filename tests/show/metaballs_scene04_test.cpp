// Scene 4 on the recording device: set-up, the two outlines, lighting after
// the first outline, the white flash, loading and release.
#include <algorithm>
#include <cstring>
#include <vector>

#include "effects/metaballs.h"
#include "gfx/fade.h"
#include "scenes/scene_media.h"
#include "scenes/scenes.h"
#include "tests/support/media_dir.h"
#include "tests/show/show_fixture.h"

using namespace vt::test;

namespace {

struct OutlineVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};

class Scene4Test : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        g_pWhiteTexture = MakeTexture(8, 8);
        g_pBlackTexture = MakeTexture(8, 8);
        D3DXMatrixIdentity(&g_matIdentity);
        g_fAspect = 4.0f / 3.0f;
        dev.BeginScene();  // draws are valid only inside a scene
    }
    void TearDown() override
    {
        ReleaseScene4();
        SAFE_RELEASE(g_pWhiteTexture);
        SAFE_RELEASE(g_pBlackTexture);
        ShowFixture::TearDown();
    }
    void Frame(float t)
    {
        dev.ClearLog();
        g_fShowTime = t;
        EXPECT_EQ(Scene4(t), S_OK);
    }
    // The eight vertices of the frame's outline, empty if none was drawn.
    std::vector<OutlineVertex> Outline()
    {
        std::vector<OutlineVertex> v;
        if (dev.Count("DrawPrimitive", {D3DPT_LINELIST}) == 0)
            return v;
        for (const Call* c : dev.Find("SetStreamSource"))
            if (c->Arg(2) == sizeof(OutlineVertex)) {
                auto* vb = reinterpret_cast<IDirect3DVertexBuffer8*>(c->Arg(1));
                BYTE* p = nullptr;
                if (SUCCEEDED(vb->Lock(0, 0, &p, D3DLOCK_READONLY))) {
                    v.resize(8);
                    std::memcpy(v.data(), p, sizeof(OutlineVertex) * 8);
                    vb->Unlock();
                }
            }
        return v;
    }
};

TEST_F(Scene4Test, FlashOutlinesAndLightingOverTheScene)
{
    EXPECT_EQ(g_dwOutlineColor, 0xFFFFFFFFu);
    {
        MediaDir media("scene_media");
        ASSERT_TRUE(media.WriteImage("data\\bitmaps\\scene04\\envmap2.jpg"));
        ASSERT_TRUE(media.WriteImage("data\\bitmaps\\scene04\\wood.jpg"));
        ASSERT_EQ(LoadScene4(), S_OK);
    }

    // First frame: the set-up, blobs unlit, then the outline turns lighting on.
    Frame(132.95f);
    EXPECT_TRUE(dev.LightEnabled(7));
    EXPECT_EQ(g_dwCullMode, (DWORD)D3DCULL_CCW);
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_EQ(dev.RenderState(D3DRS_AMBIENT), 0xFF5F5F5Fu);
    EXPECT_EQ(dev.Transform(D3DTS_VIEW)._43, 150.0f);
    EXPECT_FLOAT_EQ(dev.Transform(D3DTS_PROJECTION)._33, 500.0f / 499.0f);
    {
        const auto& log = dev.Log();
        // Lighting is off at the surface's draw (the second draw, after the
        // panorama) and on after the outline.
        int draws = 0;
        bool litAtSurface = true;
        DWORD lighting = 1;
        for (const Call& c : log) {
            if (c.method == "SetRenderState" && c.Arg(0) == D3DRS_LIGHTING)
                lighting = (DWORD)c.Arg(1);
            if (c.method == "DrawPrimitive" && ++draws == 2)
                litAtSurface = lighting != 0;
        }
        EXPECT_FALSE(litAtSurface);
        EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), (DWORD)TRUE);
        EXPECT_EQ(g_dwFadeColor, 0xFFFFFFFFu);  // the flash starts opaque
    }

    // t = 133.2: the flash is half gone.
    Frame(133.2f);
    EXPECT_EQ(g_dwFadeColor >> 24, 127u);
    EXPECT_EQ(dev.Count("SetTransform", {D3DTS_PROJECTION}), 0u);  // set-up ran once

    // tau = 0.5: (250, 200) to (550, 425), alpha 127; lit from here on.
    Frame(132.95f + 0.5f);
    const std::vector<OutlineVertex> first = Outline();
    ASSERT_EQ(first.size(), 8u);
    const float expected[8][2] = {{250, 200}, {550, 200}, {550, 200}, {550, 425},
                                  {550, 425}, {250, 425}, {250, 425}, {250, 200}};
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(first[i].x, expected[i][0]) << i;
        EXPECT_EQ(first[i].y, expected[i][1]) << i;
        EXPECT_EQ(first[i].diffuse, 0x7FFFFFFFu) << i;
        EXPECT_EQ(first[i].rhw, 1.0f);
    }
    EXPECT_EQ(dev.Count("DrawPrimitive", {D3DPT_LINELIST}), 4u);

    // No outline between the two, nor after the second.
    for (float tau : {1.0f, 2.5f, 3.99f, 5.5f, 10.0f}) {
        Frame(132.95f + tau);
        EXPECT_EQ(dev.Count("DrawPrimitive", {D3DPT_LINELIST}), 0u) << tau;
    }

    // tau = 4.75: the same rectangle and alpha, corners passed the other way.
    Frame(132.95f + 4.75f);
    std::vector<OutlineVertex> second = Outline();
    ASSERT_EQ(second.size(), 8u);
    EXPECT_EQ(second[0].x, 550.0f);
    EXPECT_EQ(second[0].y, 425.0f);
    auto less = [](const OutlineVertex& a, const OutlineVertex& b) {
        return a.x < b.x || (a.x == b.x && a.y < b.y);
    };
    std::vector<OutlineVertex> a = first;
    std::sort(a.begin(), a.end(), less);
    std::sort(second.begin(), second.end(), less);
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(second[i].x, a[i].x);
        EXPECT_EQ(second[i].y, a[i].y);
        EXPECT_EQ(second[i].diffuse, a[i].diffuse);
    }
}

TEST_F(Scene4Test, LoaderFailsOnAMissingImageAndReleaseFreesEverything)
{
    const int live = dev.LiveResources();
    {
        MediaDir media("scene_media");
        ASSERT_TRUE(media.WriteImage("data\\bitmaps\\scene04\\envmap2.jpg"));
        EXPECT_LT(LoadScene4(), 0);
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    ReleaseScene4();
    EXPECT_EQ(g_Metaballs.m_pEnvTexture, nullptr);
    EXPECT_EQ(dev.LiveResources(), live);
}

}  // namespace
