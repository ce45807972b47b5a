// Which folder the programs start the show in.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"
#include "tools/common/media_folder.h"

namespace fs = std::filesystem;

namespace {

class MediaFolder : public ::testing::Test {
protected:
    // An installed tree (prefix/bin, the media where the build installs them),
    // a build tree (build/, build/media) and an empty working directory.
    void SetUp() override {
        root.MakeDir("prefix/bin");
        installed = (root.Path() / "prefix/bin" / VT_MEDIA_FROM_BIN).lexically_normal();
        fs::create_directories(installed / "data/bitmaps");
        root.MakeDir("build/media/data/bitmaps");
        root.MakeDir("work");
        saved = fs::current_path();
    }
    void TearDown() override { fs::current_path(saved); }

    vt::test::TempDir root{"media_folder"};
    fs::path installed, saved;
    fs::path Bin() const { return root.Path() / "prefix/bin"; }
    fs::path Build() const { return root.Path() / "build"; }
    fs::path Work() const { return root.Path() / "work"; }
};

TEST_F(MediaFolder, AFolderHoldsMediaWithItsBitmapsFolderOrTheMusic) {
    EXPECT_FALSE(vt::cli::HoldsMedia(Work()));
    root.MakeDir("work/data/music");  // a home folder's "data" is not the show's
    EXPECT_FALSE(vt::cli::HoldsMedia(Work()));
    root.Write("work/data/bitmaps", "a file, not a folder");
    EXPECT_FALSE(vt::cli::HoldsMedia(Work()));
    root.Write("work/intro.mp3", "x");
    EXPECT_TRUE(vt::cli::HoldsMedia(Work()));
    EXPECT_TRUE(vt::cli::HoldsMedia(Build() / "media"));
    EXPECT_FALSE(vt::cli::HoldsMedia(root.Path() / "missing"));
}

TEST_F(MediaFolder, TheWorkingDirectoryComesFirstThenTheInstalledSetThenTheBuildTrees) {
    EXPECT_EQ(vt::cli::FindMediaFolder(Work(), Bin()), installed);
    EXPECT_EQ(vt::cli::FindMediaFolder(Work(), Build()), Build() / "media");

    // Media of one's own in the working directory win, even partial ones
    // (the show then says what is missing).
    root.MakeDir("work/data/bitmaps/scene01");
    EXPECT_EQ(vt::cli::FindMediaFolder(Work(), Bin()), Work());
}

TEST_F(MediaFolder, WithNoMediaAnywhereTheWorkingDirectoryStays) {
    fs::remove_all(installed);
    EXPECT_EQ(vt::cli::FindMediaFolder(Work(), Bin()), Work());
    EXPECT_EQ(vt::cli::FindMediaFolder(Work(), fs::path()), Work()) << "no executable folder known";
    EXPECT_TRUE(vt::cli::MediaFoldersBeside(fs::path()).empty());
}

TEST_F(MediaFolder, TheInstalledSetIsFoundUnderAnyPrefix) {
    // The same tree moved elsewhere: nothing absolute is built in.
    fs::rename(root.Path() / "prefix", root.Path() / "elsewhere");
    const fs::path moved = (root.Path() / "elsewhere/bin" / VT_MEDIA_FROM_BIN).lexically_normal();
    EXPECT_EQ(vt::cli::FindMediaFolder(Work(), root.Path() / "elsewhere/bin"), moved);
}

TEST_F(MediaFolder, ExecutableDirIsThisTestsFolder) {
    const fs::path dir = vt::cli::ExecutableDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(fs::exists(dir / "vt_tools_tests")) << dir;
}

TEST_F(MediaFolder, EnteringTheAskedFolderOrReportingIt) {
    std::string error;
    ASSERT_TRUE(vt::cli::EnterMediaFolder((Build() / "media").string(), error)) << error;
    EXPECT_TRUE(fs::equivalent(fs::current_path(), Build() / "media"));

    EXPECT_FALSE(vt::cli::EnterMediaFolder((root.Path() / "missing").string(), error));
    EXPECT_EQ(error, "cannot enter media folder " + (root.Path() / "missing").string());
    EXPECT_TRUE(fs::equivalent(fs::current_path(), Build() / "media")) << "left where it was";
}

TEST_F(MediaFolder, EnteringWithoutAFolderStaysWhereMediaAre) {
    fs::current_path(Build() / "media");
    std::string error;
    ASSERT_TRUE(vt::cli::EnterMediaFolder("", error)) << error;
    EXPECT_TRUE(fs::equivalent(fs::current_path(), Build() / "media"));

    // Nothing here and none beside this test program: it stays too.
    fs::current_path(Work());
    ASSERT_TRUE(vt::cli::EnterMediaFolder("", error)) << error;
    EXPECT_TRUE(fs::equivalent(fs::current_path(), Work()));
}

}  // namespace
