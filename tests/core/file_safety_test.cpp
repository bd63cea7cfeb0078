// Reading tells a missing file from an unreadable one; copies aside never replace a file; logs
// report a full disk; the settings file is not saved over when it could not be read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/AtomicFile.h"
#include "core/Settings.h"
#include "support/Unprivileged.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

struct Folder {
    Folder() {
        path = fs::temp_directory_path() / ("corvane-files-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
        fs::permissions(path, fs::perms(0755));
    }
    ~Folder() {
        fs::permissions(path, fs::perms(0755));
        fs::remove_all(path);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path / name, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::string s;
        ReadWholeFile(file(name), s);
        return s;
    }
    size_t Count() const { return static_cast<size_t>(std::distance(fs::directory_iterator(path), {})); }
    fs::path path;
};

}  // namespace

TEST(FileReading, MissingUnreadableAndOddFilesAreToldApart) {
    Folder f;
    std::string bytes, error;
    EXPECT_EQ(ReadFileBytes(f.file("none"), bytes, &error), FileRead::kMissing);

    f.Write("plain", std::string("a\0b\r\n", 5));
    EXPECT_EQ(ReadFileBytes(f.file("plain"), bytes), FileRead::kRead);
    EXPECT_EQ(bytes, std::string("a\0b\r\n", 5));

    fs::create_directories(f.path / "folder");
    EXPECT_EQ(ReadFileBytes(f.file("folder"), bytes, &error), FileRead::kUnreadable);
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
    // A pipe with no writer would block a plain read for ever.
    ASSERT_EQ(::mkfifo(f.file("pipe").c_str(), 0644), 0);
    EXPECT_EQ(ReadFileBytes(f.file("pipe"), bytes, &error), FileRead::kUnreadable);

    f.Write("secret", "x");
    test::MakeUnreadable(f.file("secret"));
    test::AsUnprivileged nobody;
    ASSERT_TRUE(nobody.Effective());
    EXPECT_EQ(ReadFileBytes(f.file("secret"), bytes, &error), FileRead::kUnreadable);
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_FALSE(ReadWholeFile(f.file("secret"), bytes));
}

TEST(FileWriting, NewFilesNeverReplaceAndCopiesAsideAreNumbered) {
    Folder f;
    EXPECT_TRUE(WriteNewFile(f.file("a"), "first"));
    std::string error;
    EXPECT_FALSE(WriteNewFile(f.file("a"), "second", &error));
    EXPECT_EQ(f.Read("a"), "first");
    EXPECT_EQ(f.Count(), 1u) << "no temporary file is left behind";

    EXPECT_EQ(KeepCopyAside(f.file("vplan.log"), "one"), f.file("vplan.log.bad"));
    EXPECT_EQ(KeepCopyAside(f.file("vplan.log"), "one"), f.file("vplan.log.bad"))
        << "the same copy is reused";
    EXPECT_EQ(KeepCopyAside(f.file("vplan.log"), "two"), f.file("vplan.log.bad2"));
    EXPECT_EQ(KeepCopyAside(f.file("vplan.log"), "three"), f.file("vplan.log.bad3"));
    EXPECT_EQ(f.Read("vplan.log.bad"), "one");
    EXPECT_EQ(f.Read("vplan.log.bad2"), "two");
    for (int n = 4; n <= 99; ++n) f.Write("vplan.log.bad" + std::to_string(n), "other");
    EXPECT_EQ(KeepCopyAside(f.file("vplan.log"), "four", &error), "");
    EXPECT_NE(error.find(".bad99"), std::string::npos) << error;
}

TEST(FileWriting, AFullDiskIsReported) {
    Folder f;
    fs::create_symlink("/dev/full", f.path / "full.txt");
    OutputFile out;
    ASSERT_TRUE(out.Create(f.file("full.txt")));
    EXPECT_FALSE(out.Write("a line\r\n"));
    EXPECT_NE(out.Error().find("No space left on device"), std::string::npos) << out.Error();
    EXPECT_TRUE(out.Close());
    EXPECT_FALSE(out.Write("x")) << "closed";

    fs::create_directories(f.path / "folder");
    EXPECT_FALSE(out.Create(f.file("folder")));
    EXPECT_FALSE(out.Error().empty());
}

// An output path is replaced where it lives: links are written through, the file keeps its
// mode, and what is not a file is refused without blocking.
TEST(FileReplacing, LinksAreWrittenThroughAndTheModeIsKept) {
    Folder f;
    f.Write("report.txt", "old");
    fs::permissions(f.path / "report.txt", fs::perms(0600));
    fs::create_directories(f.path / "sub");
    fs::create_symlink("../report.txt", f.path / "sub" / "link.txt");  // relative to its folder
    fs::create_symlink(f.path / "sub" / "link.txt", f.path / "chain.txt");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(f.file("chain.txt"), "new", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(f.path / "chain.txt"));
    EXPECT_TRUE(fs::is_symlink(f.path / "sub" / "link.txt"));
    EXPECT_EQ(f.Read("report.txt"), "new");
    struct stat st {};
    ASSERT_EQ(::stat(f.file("report.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // A link to a name not there yet creates the file it names.
    fs::create_symlink("later.txt", f.path / "dangling.txt");
    ASSERT_TRUE(WriteFileAtomically(f.file("dangling.txt"), "made", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(f.path / "dangling.txt"));
    EXPECT_EQ(f.Read("later.txt"), "made");

    fs::create_symlink("loop-b", f.path / "loop-a");
    fs::create_symlink("loop-a", f.path / "loop-b");
    EXPECT_FALSE(WriteFileAtomically(f.file("loop-a"), "x", &error));
    EXPECT_TRUE(fs::is_symlink(f.path / "loop-a"));
}

TEST(FileReplacing, HardLinkedFilesAreRewrittenForEveryName) {
    Folder f;
    f.Write("plan.txt", "a longer old text");
    fs::create_hard_link(f.path / "plan.txt", f.path / "copy.txt");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(f.file("plan.txt"), "short", &error)) << error;
    EXPECT_EQ(f.Read("plan.txt"), "short");
    EXPECT_EQ(f.Read("copy.txt"), "short");
    EXPECT_EQ(fs::hard_link_count(f.path / "plan.txt"), 2u);
    ASSERT_TRUE(WriteFileAtomically(f.file("copy.txt"), std::string(100000, 'x'), &error)) << error;
    EXPECT_EQ(f.Read("plan.txt"), std::string(100000, 'x'));
}

TEST(FileReplacing, PipesDevicesAndFoldersAreRefused) {
    Folder f;
    std::string error;
    ASSERT_EQ(::mkfifo(f.file("pipe").c_str(), 0644), 0);
    EXPECT_FALSE(WriteFileAtomically(f.file("pipe"), "x", &error));  // returns: no reader needed
    EXPECT_NE(error.find("a pipe"), std::string::npos) << error;
    struct stat st {};
    ASSERT_EQ(::lstat(f.file("pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    fs::create_directories(f.path / "folder");
    EXPECT_FALSE(WriteFileAtomically(f.file("folder"), "x", &error));
    EXPECT_NE(error.find("a folder"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(f.path / "folder"));

    // A device stays a device, even for root (who may rename over it).
    std::string device = "/dev/null";
    if (::geteuid() == 0 && ::mknod(f.file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        device = f.file("null");
    fs::create_symlink(device, f.path / "to-device");
    EXPECT_FALSE(WriteFileAtomically(f.file("to-device"), "x", &error));
    EXPECT_NE(error.find("a device"), std::string::npos) << error;
    ASSERT_EQ(::stat(device.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_TRUE(fs::is_symlink(f.path / "to-device"));

    // A log opened on a pipe nobody reads is refused instead of waiting for a reader.
    OutputFile out;
    EXPECT_FALSE(out.Create(f.file("pipe")));
    EXPECT_NE(out.Error().find("pipe"), std::string::npos) << out.Error();
}

TEST(SettingsFileState, MissingReadAndUnreadableFilesAreToldApart) {
    Folder f;
    const std::string path = f.file(kConfigFileName);
    LoadedSettings loaded = ReadSettingsFile(path);
    EXPECT_EQ(loaded.state, SettingsFileState::kMissing);
    EXPECT_EQ(DecideSettingsSave(loaded, loaded.settings), SettingsSave::kWrite)
        << "a first start creates it";

    f.Write(kConfigFileName, "TrackAdjust=120\r\n");
    loaded = ReadSettingsFile(path);
    EXPECT_EQ(loaded.state, SettingsFileState::kRead);
    EXPECT_EQ(loaded.settings.TrackAdjust, 120);
    EXPECT_EQ(DecideSettingsSave(loaded, loaded.settings), SettingsSave::kWrite);

    test::MakeUnreadable(path);
    {
        test::AsUnprivileged nobody;
        ASSERT_TRUE(nobody.Effective());
        loaded = ReadSettingsFile(path);
    }
    EXPECT_EQ(loaded.state, SettingsFileState::kUnreadable);
    EXPECT_NE(loaded.error.find("Permission denied"), std::string::npos) << loaded.error;
    EXPECT_EQ(loaded.settings.TrackAdjust, 80) << "the defaults";
}

TEST(SettingsFileState, AnUnreadableFileIsSavedOverOnlyAfterAChange) {
    LoadedSettings loaded;
    loaded.state = SettingsFileState::kUnreadable;
    Settings current = loaded.settings;
    EXPECT_EQ(DecideSettingsSave(loaded, current), SettingsSave::kKeepFile);
    current.disclaimerAccepted = true;  // the disclaimer shown again and accepted is no change
    EXPECT_EQ(DecideSettingsSave(loaded, current), SettingsSave::kKeepFile);
    current.TrackAdjust = 120;
    EXPECT_EQ(DecideSettingsSave(loaded, current), SettingsSave::kAskFirst);
    current = loaded.settings;
    current.sites[2].name = "Cabin";
    EXPECT_EQ(DecideSettingsSave(loaded, current), SettingsSave::kAskFirst);
}
