// The observed list and "observed.dat": look-ups, updates, the 8-byte records byte for byte,
// and reading and writing the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/AtomicFile.h"
#include "obslog/ObservedList.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        std::mt19937 rng(12345);
        path_ = fs::temp_directory_path() /
                ("corvane-observed-" + std::to_string(::getpid()) + "-" + std::to_string(rng()));
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

TEST(ObservedList, LookUpsAndUpdates) {
    ObservedList list;
    EXPECT_FALSE(list.IsFavourite(25544));
    EXPECT_FALSE(list.WasObserved(25544));
    EXPECT_TRUE(list.MarkObserved(25544));
    EXPECT_TRUE(list.WasObserved(25544));
    EXPECT_FALSE(list.IsFavourite(25544));
    // Saving the same observation again adds no second entry.
    EXPECT_TRUE(list.MarkObserved(25544));
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_TRUE(list.SetFavourite(25544, true));
    EXPECT_TRUE(list.IsFavourite(25544));
    // Clearing the favourite keeps the observed flag.
    list.SetFavourite(25544, false);
    EXPECT_FALSE(list.IsFavourite(25544));
    EXPECT_TRUE(list.WasObserved(25544));
    EXPECT_EQ(list.Serialize(), "02554410");

    list.MarkObserved(5);
    list.SetFavourite(5, true);
    EXPECT_EQ(list.Serialize(), "0255441000000511");
    // Numbers that do not fit the six-digit field, or no number at all, are refused.
    EXPECT_FALSE(list.MarkObserved(1234567));
    EXPECT_FALSE(list.MarkObserved(0));
    EXPECT_EQ(list.Size(), 2u);
}

TEST(ObservedList, ParsesRecordsByteForByte) {
    // Records are kept as read, a short record at the end is dropped.
    const std::string file = "0255441100058110ab12c31000001";
    ObservedList list = ObservedList::Parse(file);
    EXPECT_EQ(list.Size(), 3u);
    EXPECT_TRUE(list.WasObserved(25544));
    EXPECT_TRUE(list.IsFavourite(25544));
    EXPECT_TRUE(list.WasObserved(581));
    EXPECT_FALSE(list.IsFavourite(581));
    EXPECT_EQ(list.Serialize(), file.substr(0, 24));

    std::string full;
    for (int i = 1; i <= 10001; ++i) {
        char r[9];
        std::snprintf(r, sizeof r, "%06d10", i);
        full += r;
    }
    ObservedList capped = ObservedList::Parse(full);
    EXPECT_EQ(capped.Size(), ObservedList::kCapacity);
    EXPECT_FALSE(capped.MarkObserved(10001));  // full
    EXPECT_TRUE(capped.MarkObserved(10000));   // already there
}

TEST(ObservedList, NumberFieldsBeyondSixDigitsReadAsNoNumber) {
    // A damaged file: number fields that read as 9e+300 and 1e+100 are not numbers of the list;
    // like any field that is not a number they read as 0, and the records are kept as read.
    const std::string file = "9e+30010" "1e+10001" "02554411";
    ObservedList list = ObservedList::Parse(file);
    EXPECT_EQ(list.Size(), 3u);
    EXPECT_TRUE(list.WasObserved(0)) << "the first record without a number answers for 0";
    EXPECT_FALSE(list.IsFavourite(0));
    EXPECT_TRUE(list.IsFavourite(25544));
    EXPECT_EQ(list.Serialize(), file);
}

TEST(ObservedList, FileReadAndWrittenWhole) {
    TempFolder dir;
    const std::string path = dir.File(kObservedFileName);
    ObservedList list;
    EXPECT_TRUE(list.Load(path));  // missing file: empty list
    EXPECT_EQ(list.Size(), 0u);
    list.MarkObserved(20580);
    list.SetFavourite(20580, true);
    list.MarkObserved(25544);
    std::string error;
    ASSERT_TRUE(list.Save(path, &error)) << error;
    std::string contents;
    ASSERT_TRUE(ReadWholeFile(path, contents));
    EXPECT_EQ(contents, "0205801102554410");
    ObservedList again;
    EXPECT_TRUE(again.Load(path));
    EXPECT_TRUE(again.IsFavourite(20580));
    EXPECT_TRUE(again.WasObserved(25544));
    // A folder that cannot hold the file leaves a clear error, not half a file.
    EXPECT_FALSE(list.Save(dir.File("missing/observed.dat"), &error));
    EXPECT_FALSE(error.empty());
}

TEST(ObservedList, AFileThatCannotBeReadIsReportedWithItsReason) {
    TempFolder dir;
    // Something that is not a file under the name: the list is empty and the caller told, so
    // that it does not save an empty list in its place.
    fs::create_directories(dir.File(kObservedFileName));
    ObservedList list;
    list.MarkObserved(25544);
    std::string error;
    EXPECT_FALSE(list.Load(dir.File(kObservedFileName), &error));
    EXPECT_EQ(list.Size(), 0u);
    EXPECT_EQ(error, "Could not read " + dir.File(kObservedFileName) + ": it is a folder");
}

}  // namespace
}  // namespace corvane
