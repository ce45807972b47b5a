// The title card: its rectangles and crops, the sweeping lines' windows,
// the logo's two ramps, the closing fades, and the line primitive.
#include <cmath>

#include "effects/title_splash.h"
#include "gfx/fade.h"
#include "tests/show/scene1_support.h"
#include "tests/support/failed_calls.h"

using namespace vt::test;

namespace {

class TitleCard : public QuadTapFixture {
protected:
    void SetUp() override
    {
        QuadTapFixture::SetUp();
        g_fScaleX = g_fScaleY = 1.0f;
        g_pSplashTexture = MakeTexture(1024, 256);
        g_pShadowTexture = MakeTexture(512, 256);
        g_pLogoTexture = MakeTexture(1024, 1024);
        dev.BeginScene();
        dev.ClearLog();
    }
    void TearDown() override
    {
        dev.EndScene();
        SAFE_RELEASE(g_pSplashTexture);
        SAFE_RELEASE(g_pShadowTexture);
        SAFE_RELEASE(g_pLogoTexture);
        QuadTapFixture::TearDown();
    }
    // One frame of the card at scene time s (show time s + 5).
    void Frame(float s)
    {
        tap.quads.clear();
        dev.ClearLog();
        g_fShowTime = s + 5.0f;
        EXPECT_EQ(ShowSplash(s), 0);
    }
    // The quad drawn at (100, 75), the logo's place, or null.
    const std::vector<SCREENVERTEX>* Logo() const
    {
        for (const auto& q : tap.quads)
            if (q[0].x == 100.0f && q[0].y == 75.0f && q[2].x == 924.0f && q[2].y == 743.0f)
                return &q;
        return nullptr;
    }
};

TEST_F(TitleCard, TheImageCropsAndStripsAtTheStart)
{
    Frame(65.0f);
    ASSERT_EQ(tap.quads.size(), 6u);  // image, three crops, two strips; no logo yet
    const auto& image = tap.quads[0];
    EXPECT_EQ(image[0].y, 225.0f);
    EXPECT_EQ(image[2].x, 1024.0f);
    EXPECT_EQ(image[2].y, 543.0f);
    EXPECT_EQ(image[0].diffuse, 0xFFFFFFFFu);

    // Crops at their start rectangles, in texels of the 1024 x 256 image.
    const float k = 3.220125675201416f;
    struct Crop {
        float x, y, size, dstX, dstY, dstW;
        D3DCOLOR topLeft, bottomRight;
    } crops[] = {{250, 100, 100, 0, 0, 1024, 0x8FFFFFFF, 0x10FFFFFF},
                 {620, 25, 50, 0, 544, 390, 0x10FFFFFF, 0x20FFFFFF},
                 {425, 50, 63, 390, 544, 634, 0x10FFFFFF, 0x8FFFFFFF}};
    for (int i = 0; i < 3; i++) {
        const auto& q = tap.quads[1 + i];
        const Crop& c = crops[i];
        EXPECT_EQ(q[0].x, c.dstX) << i;
        EXPECT_EQ(q[0].y, c.dstY) << i;
        EXPECT_EQ(q[2].x, c.dstX + c.dstW) << i;
        EXPECT_EQ(q[2].y, c.dstY + 224.0f) << i;
        EXPECT_FLOAT_EQ(q[0].tu, c.x / 1024.0f) << i;
        EXPECT_FLOAT_EQ(q[0].tv, c.y / 256.0f) << i;
        EXPECT_NEAR(q[2].tu - q[0].tu, c.size * k / 1024.0f, 1e-6) << i;
        EXPECT_NEAR(q[2].tv - q[0].tv, c.size / 256.0f, 1e-6) << i;
        EXPECT_EQ(q[0].diffuse, c.topLeft) << i;
        EXPECT_EQ(q[2].diffuse, c.bottomRight) << i;
    }
    // The strips: top and bottom, twice the texture across, scrolling with the show clock.
    EXPECT_EQ(tap.quads[4][0].y, 0.0f);
    EXPECT_EQ(tap.quads[5][0].y, 768.0f - 225.0f);
    EXPECT_FLOAT_EQ(tap.quads[4][0].tu, -0.1f * 70.0f);
    EXPECT_FLOAT_EQ(tap.quads[5][0].tu, -0.2f * 70.0f);
    EXPECT_FLOAT_EQ(tap.quads[4][1].tu - tap.quads[4][0].tu, 2.0f);
}

TEST_F(TitleCard, SweepingLinesFollowTheirWindows)
{
    struct Line {
        float x1, y1, x2, y2, alpha;
    };
    struct Case {
        float s;
        std::vector<Line> lines;
    } cases[] = {
        {64.9f, {}},
        {65.0f, {{-100, 0, -100, 768, 255}, {0, 0, 0, 768, 255}}},
        {65.5f, {{-5, 0, -5, 768, 229.5f}, {75, 0, 75, 768, 229.5f}, {0, 0, 1024, 0, 255}, {0, 0, 1024, 0, 255}}},
        {70.0f, {{0, 576, 1024, 576, 63.75f}, {0, 613.5f, 1024, 613.5f, 63.75f}}},
        {72.5f, {}},
        {75.5f, {{350, 0, 350, 768, 127.5f}, {325, 0, 325, 768, 127.5f}, {0, 512, 1024, 512, 170}, {0, 545.3333f, 1024, 545.3333f, 170}}},
        {84.9f, {{0, 496.7f, 1024, 496.7f, 6.375f}, {0, 390, 1024, 390, 6.375f}}},
        {85.0f, {}},
    };
    for (const Case& c : cases) {
        SPLASHLINE got[SPLASH_MAX_LINES];
        const int n = GetSweepLines(c.s, got);
        ASSERT_EQ(n, (int)c.lines.size()) << c.s;
        for (int i = 0; i < n; i++) {
            EXPECT_NEAR(got[i].x1, c.lines[i].x1, 0.01) << c.s << " line " << i;
            EXPECT_NEAR(got[i].y1, c.lines[i].y1, 0.01) << c.s << " line " << i;
            EXPECT_NEAR(got[i].x2, c.lines[i].x2, 0.01) << c.s << " line " << i;
            EXPECT_NEAR(got[i].y2, c.lines[i].y2, 0.01) << c.s << " line " << i;
            EXPECT_NEAR(got[i].alpha, c.lines[i].alpha, 0.01) << c.s << " line " << i;
        }
        // ShowSplash draws exactly these, one buffer each.
        Frame(c.s);
        EXPECT_EQ(dev.Count("DrawPrimitive", {D3DPT_LINELIST, 0, 1}), c.lines.size()) << c.s;
        EXPECT_EQ(dev.Count("CreateVertexBuffer", {40}), c.lines.size()) << c.s;
    }
}

TEST_F(TitleCard, TheLogoFadesInThenSwitchesToItsFadeOut)
{
    struct Case {
        float s;
        int alpha;  // -1: not drawn
    } cases[] = {{71.9f, -1}, {72.0f, -1}, {72.5f, 63}, {74.0f, 255}, {84.1f, 255},
                 {84.2f, 255}, {85.29f, 116}, {86.0f, -1}};
    for (const Case& c : cases) {
        Frame(c.s);
        const auto* logo = Logo();
        if (c.alpha < 0) {
            EXPECT_EQ(logo, nullptr) << c.s;
            continue;
        }
        ASSERT_NE(logo, nullptr) << c.s;
        EXPECT_EQ((int)((*logo)[0].diffuse >> 24), c.alpha) << c.s;
    }
}

TEST_F(TitleCard, ADimmingThenAWhiteFlashCloseTheScene)
{
    struct Case {
        float s;
        float active;
        D3DCOLOR color;
    } cases[] = {{84.7f, 0.0f, 0}, {85.0f, 1.0f, 0x50000000}, {85.25f, 1.0f, 0x7FFFFFFF}};
    for (const Case& c : cases) {
        g_fFadeActive = 0.0f;
        g_dwFadeColor = 0;
        Frame(c.s);
        EXPECT_EQ(g_fFadeActive, c.active) << c.s;
        EXPECT_EQ(g_dwFadeColor, c.color) << c.s;
    }
}

class Lines : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        dev.BeginScene();
        dev.ClearLog();
    }
    void TearDown() override
    {
        dev.EndScene();
        dev.SetStreamSource(0, nullptr, 0);
        ShowFixture::TearDown();
    }
};

TEST_F(Lines, ALineIsTwoPreTransformedVerticesInABufferOfItsOwn)
{
    dev.SetRenderState(D3DRS_LIGHTING, TRUE);
    dev.ClearLog();
    ASSERT_EQ(DrawLine(10, 20, 300, 20.5f, 0xFF123456, 127.9f), S_OK);
    EXPECT_TRUE(dev.Last("CreateVertexBuffer")->Matches(
        "CreateVertexBuffer", {40, 0, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, D3DPOOL_MANAGED}));
    EXPECT_EQ(dev.Sequence({"SetRenderState", "DrawPrimitive"}),
              (std::vector<std::string>{"SetRenderState", "DrawPrimitive", "SetRenderState"}));
    EXPECT_EQ(dev.Find("SetRenderState")[0]->Arg(1), (uint64_t)FALSE);  // unlit while drawn
    EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), (DWORD)TRUE);
    EXPECT_EQ(dev.Material().Ambient.b, 1.0f);
    EXPECT_EQ(dev.VertexShader(), (DWORD)(D3DFVF_XYZRHW | D3DFVF_DIFFUSE));

    // The device still holds the buffer as its stream: read what was drawn.
    UINT stride = 0;
    IDirect3DVertexBuffer8* vb = dev.StreamSource(&stride);
    ASSERT_NE(vb, nullptr);
    EXPECT_EQ(stride, 20u);
    EXPECT_EQ(RecordingDevice::RefCount(vb), 1u);  // ours was released
    BYTE* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, D3DLOCK_READONLY), S_OK);
    float v[10];
    memcpy(v, p, sizeof(v));
    D3DCOLOR c0, c1;
    memcpy(&c0, p + 16, 4);
    memcpy(&c1, p + 36, 4);
    vb->Unlock();
    EXPECT_EQ(v[0], 10.0f);
    EXPECT_EQ(v[1], 20.0f);
    EXPECT_EQ(v[3], 1.0f);  // rhw
    EXPECT_EQ(v[5], 300.0f);
    EXPECT_EQ(v[6], 20.5f);
    EXPECT_EQ(c0, 0x7F123456u);  // the colour's RGB, the given alpha truncated
    EXPECT_EQ(c1, c0);
}

TEST_F(Lines, AFailedStepReturnsItsResultAndFreesTheBuffer)
{
    ExpectEachFailurePassedOn(dev, {"VertexBuffer.Lock", "DrawPrimitive", "SetStreamSource"}, E_OUTOFMEMORY, [&] {
        const HRESULT hr = DrawLine(0, 0, 10, 10, 0xFFFFFFFF, 255);
        dev.SetStreamSource(0, nullptr, 0);  // the device's own reference
        return hr;
    });
    dev.ClearLog();
    dev.FailNext("CreateVertexBuffer", E_OUTOFMEMORY);
    EXPECT_EQ(DrawLine(0, 0, 10, 10, 0xFFFFFFFF, 255), E_OUTOFMEMORY);
    EXPECT_EQ(dev.Count("DrawPrimitive"), 0u);
}

}  // namespace
