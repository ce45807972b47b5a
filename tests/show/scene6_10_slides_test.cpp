// The screen-space scenes: the forest panorama (6), the credits (7) and the
// finale (10), on the recording device.
#include <cmath>
#include <vector>

#include "effects/title_splash.h"
#include "gfx/fade.h"
#include "scenes/scene06.h"
#include "scenes/scene10.h"
#include "scenes/scene_media.h"
#include "scenes/scene_setup.h"
#include "scenes/scenes.h"
#include "tests/show/show_fixture.h"
#include "tests/support/failed_calls.h"
#include "tests/support/media_dir.h"
#include "util/camera.h"

extern IDirect3DTexture8* g_pSymbol1;
extern IDirect3DTexture8* g_pSymbol2;
extern IDirect3DTexture8* g_pSymbol3;
extern IDirect3DTexture8* g_pSymbol4;

using namespace vt::test;

namespace {

class SlideScenes : public ShowFixture {
protected:
    void SetUp() override
    {
        ShowFixture::SetUp();
        for (IDirect3DTexture8** pp : Owned())
            *pp = MakeTexture(256, 256);
        g_fScaleX = g_fScaleY = 1.0f;
        g_fAspect = 1024.0f / 768.0f;
        dev.BeginScene();  // scenes draw between BeginScene and EndScene
        dev.ClearLog();
    }
    void TearDown() override
    {
        dev.EndScene();
        for (IDirect3DTexture8** pp : Owned())
            SAFE_RELEASE(*pp);
        ShowFixture::TearDown();
    }
    static std::vector<IDirect3DTexture8**> Owned()
    {
        return {&g_pWhiteTexture,   &g_pBlackTexture,   &g_pForestTexture,  &g_pCredit1Texture,
                &g_pCredit2Texture, &g_pCredit3Texture, &g_pHelloTexture,   &g_pSymbol1,
                &g_pSymbol2,        &g_pSymbol3,        &g_pSymbol4,        &g_pShadowTexture};
    }
    // One frame of `scene` at show time t, from fresh fade globals, the
    // log holding just that frame.
    void Frame(HRESULT (*scene)(float), float t)
    {
        g_fFadeActive = 0.0f;
        g_fFadeStart = g_fFadeEnd = 0.0f;
        g_fShowTime = t;
        dev.ClearLog();
        EXPECT_EQ(scene(t), S_OK);
        ExpectNoFailedCalls(dev);
        EXPECT_TRUE(boxes.empty());
    }
    static const char* Name(IDirect3DBaseTexture8* p)
    {
        const struct {
            IDirect3DTexture8* tex;
            const char* name;
        } names[] = {{g_pWhiteTexture, "white"},     {g_pBlackTexture, "black"},     {g_pForestTexture, "forest"},
                     {g_pCredit1Texture, "credit1"}, {g_pCredit2Texture, "credit2"}, {g_pCredit3Texture, "credit3"},
                     {g_pHelloTexture, "hello"},     {g_pSymbol1, "symbol1"},        {g_pSymbol2, "symbol2"},
                     {g_pSymbol3, "symbol3"},        {g_pSymbol4, "symbol4"},        {g_pShadowTexture, "shadow"}};
        for (const auto& n : names)
            if (n.tex == p)
                return n.name;
        return "?";
    }
    // The names of the textures each draw used, in order.
    std::vector<std::string> DrawnNames() const
    {
        std::vector<std::string> out;
        IDirect3DBaseTexture8* current = nullptr;
        for (const Call& c : dev.Log()) {
            if (c.method == "SetTexture" && c.Arg(0) == 0)
                current = reinterpret_cast<IDirect3DBaseTexture8*>(c.Arg(1));
            else if (c.method == "DrawPrimitive")
                out.push_back(Name(current));
        }
        return out;
    }
};

// ---------------------------------------------------------------- scene 6

TEST_F(SlideScenes, Scene6LayersInOrder)
{
    g_bScene6Start = TRUE;
    Frame(Scene6, 200.0f);
    EXPECT_FALSE(g_bScene6Start);
    const std::vector<std::string> expected = {"forest",  "symbol1", "symbol2", "symbol4",
                                               "symbol3", "symbol4", "shadow",  "shadow"};
    EXPECT_EQ(DrawnNames(), expected);
    // The last layer: the lower shadow band, scrolling with the show clock.
    const std::vector<SCREENVERTEX> q = QuadVertices();
    EXPECT_EQ(q[0].y, 768.0f - 225.0f);
    EXPECT_EQ(q[2].y, 768.0f);
    EXPECT_EQ(q[2].x, 1024.0f);
    EXPECT_EQ(q[0].tu, -0.2f * 200.0f);
    EXPECT_EQ(q[1].tu, -0.2f * 200.0f + 2.0f);
    EXPECT_EQ(q[0].diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_EQ(dev.StageState(0, D3DTSS_ADDRESSU), (DWORD)D3DTADDRESS_WRAP);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXTURETRANSFORMFLAGS), (DWORD)D3DTTFF_DISABLE);
    EXPECT_EQ(dev.RenderState(D3DRS_FOGENABLE), (DWORD)FALSE);
}

TEST_F(SlideScenes, Scene6PanoramaSlidesOverTheScene)
{
    g_fScaleX = 0.5f;
    g_fScaleY = 2.0f;
    const struct {
        float tau;
        float x;  // reference pixels
    } cases[] = {{0.0f, 0.0f}, {10.75f, -599.5f}, {21.5f, -1199.0f}, {-1.0f, 0.0f}, {30.0f, -1199.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tau);
        g_fShowTime = 197.0f + c.tau;
        // The panorama is the first rectangle: failing every later fill
        // leaves its corners in the quad buffer.
        dev.FailNext("VertexBuffer.Lock", E_FAIL, 7, 1);
        DrawForest(c.tau);
        dev.ClearFailures();
        const std::vector<SCREENVERTEX> q = QuadVertices();
        EXPECT_EQ(q[0].x, c.x * 0.5f);
        EXPECT_EQ(q[0].y, 170.0f * 2.0f);
        EXPECT_EQ(q[2].x - q[0].x, (float)(int)(2223.0f * 0.5f));
        EXPECT_EQ(q[2].y - q[0].y, 428.0f * 2.0f);
        EXPECT_EQ(q[0].diffuse, 0xFFFFFFFFu);
    }
}

TEST_F(SlideScenes, Scene6FadesInFromBlackAndOutToWhite)
{
    g_bScene6Start = FALSE;
    const struct {
        float t;
        const char* overlay;
        DWORD alpha;
    } cases[] = {
        {197.0f, "black", 255}, {198.0f, "black", 127}, {199.5f, "shadow", 0},
        {218.45f, "white", 127}, {218.3f, "shadow", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        Frame(Scene6, c.t);
        EXPECT_EQ(DrawnNames().back(), c.overlay);
        if (c.alpha) {
            EXPECT_EQ(QuadVertices()[0].diffuse >> 24, c.alpha);
        }
    }
}

// ---------------------------------------------------------------- scene 7

TEST_F(SlideScenes, Scene7PicturesChangeOnTheStoredBounds)
{
    g_bScene7Start = FALSE;
    const float credit2From = 218.8f + 5.0f;  // u = 218.8f exactly
    const struct {
        float t;
        std::vector<std::string> pictures;
    } cases[] = {
        {218.65f, {"credit1"}},
        {223.79f, {"credit1"}},
        {std::nextafter(credit2From, 0.0f), {"credit1"}},
        {credit2From, {"credit2"}},
        {228.99f, {"credit2"}},
        {229.0f, {"credit3"}},
        {std::nextafter(234.3f, 0.0f), {"credit3"}},
        {234.3f, {"credit3", "hello"}},
        {234.4f, {"credit3", "hello"}},
        {234.5f, {"hello"}},
        {239.69f, {"hello"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        Frame(Scene7, c.t);
        std::vector<std::string> names = DrawnNames();
        // Overlays come last; the rest are the pictures.
        while (!names.empty() && names.back() == "white")
            names.pop_back();
        EXPECT_EQ(names, c.pictures);
    }
}

TEST_F(SlideScenes, Scene7FlashesAtTheFirstTwoChanges)
{
    g_bScene7Start = FALSE;
    const struct {
        float t;
        int alpha;  // 0: no overlay drawn
        int tol;    // ramp values near a .5 may truncate either way
    } cases[] = {
        {218.5f, 0, 0},    {218.6f, 255, 0},  {218.69f, 25, 1}, {218.7f, 0, 0},  {223.79f, 0, 0},
        {223.85f, 127, 0}, {223.9f, 255, 0},  {224.0f, 0, 0},   {228.95f, 0, 0}, {229.05f, 127, 1},
        {229.2f, 0, 0},    {234.3f, 0, 0},    {239.69f, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        Frame(Scene7, c.t);
        const std::vector<std::string> names = DrawnNames();
        ASSERT_FALSE(names.empty());
        if (c.alpha == 0) {
            // At alpha 0 the overlay may be open but draws nothing.
            EXPECT_NE(names.back(), "white");
        } else {
            EXPECT_EQ(names.back(), "white");
            EXPECT_NEAR((int)(QuadVertices()[0].diffuse >> 24), c.alpha, c.tol);
        }
    }
}

TEST_F(SlideScenes, Scene7LateFirstFrameSkipsTheOpeningFlash)
{
    g_bScene7Start = TRUE;
    Frame(Scene7, 218.75f);
    EXPECT_FALSE(g_bScene7Start);
    EXPECT_EQ(g_fFadeActive, 0.0f);
    EXPECT_EQ(DrawnNames(), std::vector<std::string>{"credit1"});
    // The set-up: unlit, blended, the image stage wrapping.
    EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), (DWORD)FALSE);
    EXPECT_EQ(dev.RenderState(D3DRS_ALPHABLENDENABLE), (DWORD)TRUE);
    EXPECT_TRUE(dev.LightEnabled(7));
    EXPECT_EQ(dev.StageState(0, D3DTSS_ADDRESSV), (DWORD)D3DTADDRESS_WRAP);
    D3DXVECTOR3 eye;
    EXPECT_EQ(*g_Camera.GetEye(&eye), D3DXVECTOR3(0, 50, -50));
}

// ---------------------------------------------------------------- scene 10

class Finale : public SlideScenes {
protected:
    void SetUp() override
    {
        SlideScenes::SetUp();
        media = std::make_unique<MediaDir>("finale");
        media->Write("data/bitmaps/scene10/finalsplash.jpg", TinyPng());
        media->Write("data/bitmaps/scene10/endscreen.png", TinyPng());
    }
    void TearDown() override
    {
        ReleaseScene10();
        media.reset();
        SlideScenes::TearDown();
    }
    std::unique_ptr<MediaDir> media;
};

TEST_F(Finale, CrossFadeAndLastFades)
{
    ASSERT_EQ(LoadScene10(), S_OK);
    // The two pictures are the only textures the test did not make: "?".
    const struct {
        float t;
        std::vector<std::string> drawn;
        int lastAlpha;  // diffuse alpha of the last rectangle
    } cases[] = {
        {282.4f, {"?", "white"}, 255},
        {283.0f, {"?", "white"}, 116},
        {283.5f, {"?"}, 255},
        {285.9f, {"?"}, 255},  // end screen at alpha 0: not drawn
        {287.65f, {"?", "?"}, 127},
        {std::nextafter(289.4f, 0.0f), {"?", "?"}, 254},
        {289.4f, {"?"}, 255},
        {295.0f, {"?"}, 255},  // black at alpha 0: not drawn
        {296.0f, {"?", "black"}, 134},
        {296.9f, {"?", "black"}, 255},
        {296.99f, {"?", "black"}, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        Frame(Scene10, c.t);
        EXPECT_EQ(DrawnNames(), c.drawn);
        EXPECT_NEAR((int)(QuadVertices()[0].diffuse >> 24), c.lastAlpha, c.lastAlpha == 116 ? 1 : 0);
    }
    // Which picture is which: the splash alone before 285.9, the end screen alone after 289.4.
    Frame(Scene10, 284.0f);
    const uint64_t splash = dev.Find("SetTexture")[0]->Arg(1);
    Frame(Scene10, 290.0f);
    const uint64_t end = dev.Find("SetTexture")[0]->Arg(1);
    EXPECT_NE(splash, end);
    Frame(Scene10, 287.65f);
    const std::vector<const Call*> sets = dev.Find("SetTexture");
    ASSERT_GE(sets.size(), 3u);
    EXPECT_EQ(sets[0]->Arg(1), splash);
    EXPECT_EQ(sets[2]->Arg(1), end);  // [1] is the unbind after the splash
}

TEST_F(Finale, FirstFrameSetsBlackClearAndMirroredImages)
{
    ASSERT_EQ(LoadScene10(), S_OK);
    g_bScene10Start = TRUE;
    g_dwClearColor = 0xFFFFFFFF;
    SetCullMode(D3DCULL_CW);
    Frame(Scene10, 282.5f);
    EXPECT_FALSE(g_bScene10Start);
    EXPECT_EQ(g_dwClearColor, 0xFF000000u);
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_EQ(dev.StageState(0, D3DTSS_ADDRESSU), (DWORD)D3DTADDRESS_MIRROR);
    EXPECT_EQ(dev.StageState(0, D3DTSS_ADDRESSV), (DWORD)D3DTADDRESS_MIRROR);
    EXPECT_EQ(dev.StageState(0, D3DTSS_TEXCOORDINDEX), 0u);
    D3DXVECTOR3 eye, target;
    EXPECT_EQ(*g_Camera.GetEye(&eye), D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(*g_Camera.GetTarget(&target), D3DXVECTOR3(0, 0, 1));
}

TEST_F(Finale, AMissingEndScreenIsReportedOnceAndTheSplashReleased)
{
    media->Remove("data/bitmaps/scene10/endscreen.png");
    const int baseline = dev.LiveResources();
    EXPECT_LT(LoadScene10(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    EXPECT_EQ(dev.LiveResources(), baseline + 1);
    ReleaseScene10();
    EXPECT_EQ(dev.LiveResources(), baseline);
}

}  // namespace
