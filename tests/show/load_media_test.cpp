// Loading the whole generated media set on the recording device: the one
// loading frame, every loader in order, a missing file, and release.
#include <unistd.h>

#include <filesystem>

#include "scenes/scene_media.h"
#include "tests/show/show_fixture.h"
#include "tests/support/temp_dir.h"

using namespace vt::test;
namespace fs = std::filesystem;

namespace {

class LoadMediaTest : public ShowFixture {
protected:
    void SetUp() override
    {
        inScene = false;
        ShowFixture::SetUp();
        SAFE_RELEASE(g_pQuadVB);  // LoadMedia makes its own
        oldDir = fs::current_path();
        media = fs::path(VT_BINARY_DIR) / "media";
        if (!fs::exists(media / "data"))
            GTEST_FAIL() << "no generated media in " << media;
    }
    void TearDown() override
    {
        ReleaseMedia();
        fs::current_path(oldDir);
        ShowFixture::TearDown();
    }
    // Drops what the device itself still holds, then counts what is left.
    int LeftAlive()
    {
        for (DWORD stage = 0; stage < 8; stage++)
            dev.SetTexture(stage, nullptr);
        dev.SetStreamSource(0, nullptr, 0);
        dev.SetIndices(nullptr, 0);
        return dev.LiveResources();
    }
    std::vector<std::string> Creations() const
    {
        return dev.Sequence({"CreateTexture", "CreateCubeTexture", "CreateVertexBuffer", "CreateIndexBuffer"});
    }
    fs::path oldDir, media;
    TempDir copy{"media"};  // a changed copy of the media
};

TEST_F(LoadMediaTest, OneLoadingFrameBeforeTheClockThenEverythingIsResidentAndReleased)
{
    fs::current_path(media);
    ASSERT_EQ(LoadMedia(), S_OK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(dev.Presents(), 1u);
    EXPECT_TRUE(g_bRestartClock);  // the clock starts on the first show frame
    EXPECT_EQ(g_fShowTime, 0.0f);

    // The presented frame drew the loading image over the whole screen.
    const auto& log = dev.Log();
    size_t present = 0;
    while (present < log.size() && log[present].method != "Present")
        present++;
    ASSERT_LT(present, log.size());
    const Call* lastTexture = nullptr;
    size_t draws = 0;
    for (size_t i = 0; i < present; i++) {
        if (log[i].method == "SetTexture" && log[i].Arg(0) == 0)
            lastTexture = draws == 0 ? &log[i] : lastTexture;
        draws += log[i].method == "DrawPrimitive";
    }
    EXPECT_EQ(draws, 1u);
    ASSERT_NE(lastTexture, nullptr);
    EXPECT_EQ(lastTexture->Arg(1), (uint64_t)(uintptr_t)g_pLoadingTexture);

    EXPECT_EQ(g_fAspect, 1024.0f / 768.0f);
    EXPECT_EQ(g_rcScreen.right, 1024);
    EXPECT_NE(g_pHelloTexture, nullptr);
    EXPECT_NE(g_pMusic, nullptr);

    ReleaseMedia();
    EXPECT_EQ(g_pLoadingTexture, nullptr);
    EXPECT_EQ(LeftAlive(), 0);
}

TEST_F(LoadMediaTest, MissingHelloStopsAfterTheCreditsWithOneBoxAndReleasesAll)
{
    fs::current_path(media);
    ASSERT_EQ(LoadMedia(), S_OK);
    const std::vector<std::string> full = Creations();
    ReleaseMedia();
    ASSERT_EQ(LeftAlive(), 0);
    dev.ClearLog();

    fs::copy(media, copy.Path(), fs::copy_options::recursive);
    copy.Remove("data/bitmaps/scene07/hello.jpg");
    fs::current_path(copy.Path());
    InitGlobals();
    g_pd3dDevice = &dev;

    EXPECT_LT(LoadMedia(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    EXPECT_EQ(g_pHelloTexture, nullptr);
    EXPECT_NE(g_pCredit3Texture, nullptr);
    // The same loads in the same order, stopping short of scenes 8 to 10.
    const std::vector<std::string> partial = Creations();
    ASSERT_LT(partial.size(), full.size());
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), full.begin()));
    ReleaseMedia();
    EXPECT_EQ(LeftAlive(), 0);
}

TEST_F(LoadMediaTest, WithoutTheMusicOnlyTheSoundIsMissing)
{
    fs::copy(media / "data", copy.MakeDir("data"), fs::copy_options::recursive);
    fs::current_path(copy.Path());
    EXPECT_EQ(LoadMedia(), S_OK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(g_pMusic, nullptr);
}

TEST_F(LoadMediaTest, NoDataFolderFailsAtTheLoadingImageAfterTheQuadBuffer)
{
    fs::current_path(copy.Path());
    EXPECT_LT(LoadMedia(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    EXPECT_EQ(dev.Presents(), 0u);
    EXPECT_NE(g_pQuadVB, nullptr);
    ReleaseMedia();
    EXPECT_EQ(g_pQuadVB, nullptr);
    EXPECT_EQ(LeftAlive(), 0);
}

}  // namespace
