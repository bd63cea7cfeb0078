#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "core/AtomicFile.h"
#include "core/UserFolder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class UserFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("corvane-userfolder-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    static void Write(const fs::path& p, const std::string& text) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    }
    static std::string Read(const fs::path& p) {
        std::string s;
        ReadWholeFile(p.string(), s);
        return s;
    }
    fs::path root_;
};

TEST_F(UserFolderTest, BundledDataIsFoundBesideTheProgramOrInTheInstalledShareFolder) {
    // Installed: <prefix>/bin/corvane with <prefix>/share/corvane.
    Write(root_ / "usr/bin/corvane", "");
    Write(root_ / "usr/share/corvane/cvhlp.htm", "help");
    EXPECT_EQ(FindBundledData((root_ / "usr/bin/corvane").string()), (root_ / "usr/share/corvane").string());

    // Unpacked anywhere: data/ beside the program wins.
    Write(root_ / "portable/corvane", "");
    Write(root_ / "portable/data/cvhlp.htm", "help");
    EXPECT_EQ(FindBundledData((root_ / "portable/corvane").string()), (root_ / "portable/data").string());

    // The build tree has neither: the program keeps its current folder. A data folder without
    // the help page is not the program's.
    Write(root_ / "build/src/corvane", "");
    Write(root_ / "build/src/data/other.txt", "x");
    EXPECT_EQ(FindBundledData((root_ / "build/src/corvane").string()), "");
    EXPECT_EQ(FindBundledData(""), "");
}

TEST_F(UserFolderTest, WorkFolderFollowsTheEnvironmentAndIgnoresRelativePaths) {
    std::map<std::string, std::string> env;
    auto get = [&env](const char* name) -> const char* {
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    EXPECT_EQ(UserWorkFolder(get), "");
    env["HOME"] = "/home/ann";
    EXPECT_EQ(UserWorkFolder(get), "/home/ann/.local/share/corvane");
    env["XDG_DATA_HOME"] = "relative/share";
    EXPECT_EQ(UserWorkFolder(get), "/home/ann/.local/share/corvane");
    env["XDG_DATA_HOME"] = "/data/ann";
    EXPECT_EQ(UserWorkFolder(get), "/data/ann/corvane");
    env["CORVANE_HOME"] = "/srv/observing";
    EXPECT_EQ(UserWorkFolder(get), "/srv/observing");
}

TEST_F(UserFolderTest, SeedingCopiesWhatIsMissingKeepsTheUsersFilesAndRefreshesTheHelpPage) {
    const fs::path shipped = root_ / "share";
    const fs::path work = root_ / "home/.local/share/corvane";
    Write(shipped / "cvhlp.htm", "new help");
    Write(shipped / "sample.tle", "shipped elements");
    Write(shipped / "visual.sh", "#!/bin/sh\n");
    ::chmod((shipped / "visual.sh").c_str(), 0755);
    Write(shipped / "README.md", "sources");
    fs::create_directories(shipped / "subfolder");

    std::string error;
    ASSERT_TRUE(SeedUserFolder(shipped.string(), work.string(), &error)) << error;
    EXPECT_EQ(Read(work / "sample.tle"), "shipped elements");
    EXPECT_TRUE((fs::status(work / "visual.sh").permissions() & fs::perms::owner_exec) != fs::perms::none);
    EXPECT_FALSE(fs::exists(work / "subfolder"));
    EXPECT_FALSE(fs::exists(work / "README.md"));

    // The user's own copies survive a second start; the help page follows the program.
    Write(work / "sample.tle", "the user's elements");
    Write(work / "cvhlp.htm", "old help");
    Write(shipped / "cvhlp.htm", "newer help");
    ASSERT_TRUE(SeedUserFolder(shipped.string(), work.string(), &error)) << error;
    EXPECT_EQ(Read(work / "sample.tle"), "the user's elements");
    EXPECT_EQ(Read(work / "cvhlp.htm"), "newer help");
}

TEST_F(UserFolderTest, SeedingReportsAFolderThatCannotBeMade) {
    Write(root_ / "share/cvhlp.htm", "help");
    Write(root_ / "blocker", "a file where the folder should be");
    std::string error;
    EXPECT_FALSE(SeedUserFolder((root_ / "share").string(), (root_ / "blocker/corvane").string(), &error));
    EXPECT_NE(error.find("blocker"), std::string::npos) << error;
    EXPECT_FALSE(SeedUserFolder((root_ / "missing").string(), (root_ / "work").string(), &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

}  // namespace
}  // namespace corvane
