// "obslog.dat": the 822-byte records byte for byte, the file operations (append, rewrite in
// place, blank), the index of one object, damaged files, and the fields a new observation gets.
#include "obslog/ObsLog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "astro/Time.h"
#include "core/AtomicFile.h"
#include "core/Clock.h"
#include "obslog/NewObservation.h"
#include "obslog/ObservedList.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        std::mt19937 rng(4711);
        path_ = fs::temp_directory_path() /
                ("corvane-obslog-" + std::to_string(::getpid()) + "-" + std::to_string(rng()));
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

std::string Bytes(const std::string& path) {
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

ObsRecord Observation(const std::string& norad, const std::string& name, const std::string& date,
                      const std::string& time, const std::string& remarks) {
    ObsRecord r;
    r[kObsNorad] = norad;
    r[kObsName] = name;
    r[kObsDate] = date;
    r[kObsTime] = time;
    r[kObsSiteName] = "Backyard";
    r[kObsSiteLatitude] = "40.0";
    r[kObsSiteLongitude] = "-75.0";
    r[kObsSiteAltitude] = "100";
    r[kObsTleFile] = "visual.tle";
    r[kObsTPlusEpoch] = "0.482934";
    r[kObsAos] = "21:00:10";
    r[kObsLos] = "21:06:30";
    r[kObsDuration] = "00:06:20";
    r[kObsMaxElevation] = "45";
    r[kObsMinRange] = "520";
    r[kObsTimingOffset] = "0.5";
    r[kObsAlignment] = "0";
    r[kObsTelescope] = "Meade LX200";
    r[kObsVersion] = "2.6.1";
    r[kObsRemarks] = remarks;
    return r;
}

TEST(ObsRecordLayout, FieldsArePaddedCutAndPlaced) {
    ObsRecord r = Observation("25544", "ISS (ZARYA)", "20170427", "21:02:07", "Bright, \xb0 sign kept");
    r[kObsName] = "A NAME LONGER THAN TWENTY-FIVE CHARACTERS";
    const std::string bytes = FormatObsRecord(r);
    ASSERT_EQ(bytes.size(), 822u);
    EXPECT_EQ(bytes.substr(0, 6), "25544 ");
    EXPECT_EQ(bytes.substr(6, 25), "A NAME LONGER THAN TWENTY");
    EXPECT_EQ(bytes.substr(31, 16), "2017042721:02:07");
    EXPECT_EQ(bytes.substr(178, 2), "45");
    EXPECT_EQ(bytes.substr(195, 20), "Meade LX200         ");
    EXPECT_EQ(bytes.substr(222, 20), "Bright, \xb0 sign kept ");
    EXPECT_EQ(bytes.substr(522), std::string(300, ' '));
    // Splitting gives every field back as stored.
    const ObsRecord back = SplitObsRecord(bytes);
    EXPECT_EQ(FormatObsRecord(back), bytes);
    EXPECT_EQ(ObsFieldText(bytes, kObsSiteName), "Backyard");
    EXPECT_EQ(ObsRecordNumber(bytes), 25544);
    EXPECT_EQ(ObsRecordNumber(" 25544"), 25544);  // blanks removed
    EXPECT_EQ(ObsRecordNumber("abcdef"), 0);
    EXPECT_TRUE(IsBlankObsRecord(std::string(822, ' ')));
    EXPECT_TRUE(IsReadableObsRecord(bytes));

    EXPECT_STREQ(ObsTelescopeNameForCode("NEXSTARGPS"), "Celestron NexStarGPS");
    EXPECT_STREQ(ObsTelescopeNameForCode("ap"), "LX200 Compatible");
    EXPECT_STREQ(ObsTelescopeNameForCode("ETX497"), "Meade AutoStar #497");
    EXPECT_STREQ(ObsTelescopeNameForCode("CGE"), "Meade LX200");
}

TEST(ObsRecordLayout, DamagedRecordsAreRecognisedAndShownRaw) {
    std::string bytes = FormatObsRecord(Observation("25544", "ISS", "20171327", "21:02:07", ""));
    EXPECT_FALSE(IsReadableObsRecord(bytes));  // month 13
    bytes = FormatObsRecord(Observation("25544", "ISS", "20170427", "25:02:07", ""));
    EXPECT_FALSE(IsReadableObsRecord(bytes));
    bytes = FormatObsRecord(Observation("25544", "IS\x01S", "20170427", "21:02:07", ""));
    EXPECT_FALSE(IsReadableObsRecord(bytes));
    EXPECT_NE(RawObsRecordText(bytes).find("IS\xef\xbf\xbdS"), std::string::npos);
    // Line breaks in the remarks are fine.
    bytes = FormatObsRecord(Observation("25544", "ISS", "20170427", "21:02:07", "a\r\nb"));
    EXPECT_TRUE(IsReadableObsRecord(bytes));
}

// A scripted sequence of saves, a rewrite, a delete and a save after the delete, as the log
// window performs them, against files checked once by eye against the record layout.
TEST(ObsLogFile, ScriptedSequenceMatchesGoldenFiles) {
    TempFolder folder;
    const ObsLogFile log(folder.File("obslog.dat"));
    ObservedList observed;
    auto save = [&](const ObsRecord& r, long number, bool favourite) {
        const std::string bytes = FormatObsRecord(r);
        long written = number;
        if (number == 0) {
            written = log.Append(bytes);
        } else {
            EXPECT_TRUE(log.Rewrite(number, bytes));
        }
        const long object = ObsRecordNumber(bytes);
        observed.MarkObserved(object);
        observed.SetFavourite(object, favourite);
        return written;
    };
    ASSERT_TRUE(log.EnsureExists());
    EXPECT_EQ(Bytes(folder.File("obslog.dat")), "");
    EXPECT_EQ(save(Observation("25544", "ISS (ZARYA)", "20170427", "21:02:07", "First pass."), 0, true), 1);
    EXPECT_EQ(save(Observation("20580", "HST", "20170427", "21:40:00", "Faint."), 0, false), 2);
    EXPECT_EQ(save(Observation("25544", "ISS (ZARYA)", "20170428", "20:10:00", "Second pass."), 0, true), 3);
    // The same record saved again: rewritten in place, no second observed entry.
    EXPECT_EQ(
        save(Observation("25544", "ISS (ZARYA)", "20170427", "21:02:07", "First pass, rewritten."), 1, true),
        1);
    EXPECT_TRUE(log.Blank(2));
    EXPECT_EQ(save(Observation("20580", "HST", "20170429", "05:00:00", "After the delete."), 0, false), 4);
    // "Favorite" unticked for the station: only the favourite flag goes.
    save(Observation("25544", "ISS (ZARYA)", "20170428", "20:10:00", "Second pass."), 3, false);

    const std::string obslog = Bytes(folder.File("obslog.dat"));
    const std::string observedBytes = observed.Serialize();
    std::string goldenLog, goldenObserved;
    ASSERT_TRUE(ReadWholeFile(CORVANE_TEST_DATA "/obslog-sequence.dat", goldenLog));
    ASSERT_TRUE(ReadWholeFile(CORVANE_TEST_DATA "/observed-sequence.dat", goldenObserved));
    EXPECT_EQ(obslog, goldenLog);
    EXPECT_EQ(observedBytes, goldenObserved);
    EXPECT_EQ(observedBytes, "0255441002058010");
    ASSERT_EQ(obslog.size(), 4 * 822u);
    EXPECT_EQ(obslog.substr(822, 822), std::string(822, ' '));

    // The index of each object, oldest first; the blank slot belongs to none.
    ObsLogContents contents;
    ASSERT_TRUE(log.ReadAll(contents));
    EXPECT_EQ(BuildObsIndex(contents.records, 25544),
              (std::vector<std::string>{"2017042721:02:070000001", "2017042820:10:000000003"}));
    EXPECT_EQ(BuildObsIndex(contents.records, 20580), (std::vector<std::string>{"2017042905:00:000000004"}));
    EXPECT_TRUE(BuildObsIndex(contents.records, 0).empty());
    EXPECT_EQ(ObsIndexRecordNumber("2017042905:00:000000004"), 4);
}

TEST(ObsLogFile, DamagedFileIsReadAsFarAsPossibleAndNeverShortened) {
    TempFolder folder;
    const std::string path = folder.File("obslog.dat");
    const ObsLogFile log(path);
    // Two good records, one of binary garbage that still names the station, and a short tail.
    std::string garbage = "25544 ";
    std::mt19937 rng(99);
    while (garbage.size() < 822) garbage += static_cast<char>(rng() % 256);
    const std::string good1 =
        FormatObsRecord(Observation("25544", "ISS (ZARYA)", "20170427", "21:02:07", "a"));
    const std::string good2 = FormatObsRecord(Observation("20580", "HST", "20170427", "21:40:00", "b"));
    const std::string tail = "25544 ISS (ZARYA)  2017";
    const std::string original = good1 + garbage + good2 + tail;
    ASSERT_TRUE(WriteFileAtomically(path, original));

    ObsLogContents contents;
    ASSERT_TRUE(log.ReadAll(contents));
    ASSERT_EQ(contents.records.size(), 3u);
    EXPECT_EQ(contents.tailBytes, tail.size());
    // The garbage record is indexed (its number reads) and shown raw, not dropped.
    const auto index = BuildObsIndex(contents.records, 25544);
    ASSERT_EQ(index.size(), 2u);
    EXPECT_FALSE(IsReadableObsRecord(contents.records[1]));
    EXPECT_FALSE(RawObsRecordText(contents.records[1]).empty());
    EXPECT_EQ(Bytes(path), original);  // reading changed nothing

    // A record past the whole records cannot be read or rewritten; nothing is written.
    std::string bytes;
    EXPECT_FALSE(log.Read(4, bytes));
    EXPECT_FALSE(log.Rewrite(4, good1));
    EXPECT_FALSE(log.Blank(0));
    EXPECT_EQ(Bytes(path), original);

    // Rewriting record 2 changes those 822 bytes only.
    EXPECT_TRUE(log.Rewrite(2, good2));
    std::string expected = good1 + good2 + good2 + tail;
    EXPECT_EQ(Bytes(path), expected);

    // Appending after the partial tail keeps the tail and the record alignment: the tail is
    // completed with blanks and the new record follows it.
    const long n = log.Append(good1);
    EXPECT_EQ(n, 5);
    expected += std::string(822 - tail.size(), ' ') + good1;
    EXPECT_EQ(Bytes(path), expected);
    EXPECT_TRUE(log.Read(5, bytes));
    EXPECT_EQ(bytes, good1);
    ASSERT_TRUE(log.ReadAll(contents));
    EXPECT_EQ(contents.records.size(), 5u);
    EXPECT_EQ(contents.tailBytes, 0u);
}

TEST(ObsLogFile, TenThousandAndOneRecordsOfOneObject) {
    TempFolder folder;
    const std::string path = folder.File("obslog.dat");
    std::string all;
    for (int i = 0; i < 10001; ++i) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", i / 3600 % 24, i / 60 % 60, i % 60);
        all += FormatObsRecord(Observation("25544", "ISS", i < 10000 ? "20170427" : "19990101", time, ""));
    }
    ASSERT_TRUE(WriteFileAtomically(path, all));
    ObsLogContents contents;
    ASSERT_TRUE(ObsLogFile(path).ReadAll(contents));
    const auto index = BuildObsIndex(contents.records, 25544);
    // Only the first 10000 in file order: the 1999 record (the 10001st) is not among them.
    ASSERT_EQ(index.size(), 10000u);
    EXPECT_EQ(index.front().substr(0, 8), "20170427");
    EXPECT_EQ(Bytes(path).size(), all.size());
}

// A log is read a piece at a time, so its length costs no memory; read whole (the windows) it is
// held to a limit, and a sparse file of gigabytes is refused with a message instead.
TEST(ObsLogFile, RecordsAreStreamedAndAHugeLogIsRefusedWhole) {
    TempFolder folder;
    const std::string path = folder.File("obslog.dat");
    std::string log;
    for (int i = 0; i < 2500; ++i)
        log += FormatObsRecord(Observation(std::to_string(i + 1), "X", "20170427", "21:00:00", ""));
    ASSERT_TRUE(WriteFileAtomically(path, log + "tail"));
    long seen = 0;
    size_t tail = 0;
    EXPECT_EQ(ObsLogFile(path).ForEachRecord(
                  [&](long number, std::string_view bytes) {
                      ++seen;
                      EXPECT_EQ(ObsRecordNumber(bytes), number);
                      EXPECT_EQ(bytes.size(), kObsRecordSize);
                  },
                  &tail),
              FileRead::kRead);
    EXPECT_EQ(seen, 2500);
    EXPECT_EQ(tail, 4u);
    EXPECT_EQ(ObsLogFile(folder.File("none")).ForEachRecord([](long, std::string_view) {}),
              FileRead::kMissing);

    const std::string sparse = folder.File("sparse.dat");
    std::ofstream(sparse).close();
    ASSERT_EQ(::truncate(sparse.c_str(), static_cast<off_t>((kObsLogRecordLimit + 1) * kObsRecordSize)), 0);
    ObsLogContents contents;
    std::string error;
    EXPECT_FALSE(ObsLogFile(sparse).ReadAll(contents, &error));
    EXPECT_TRUE(contents.records.empty());
    EXPECT_NE(error.find("250001 records, more than the 250000"), std::string::npos) << error;
}

TEST(ObsLogFile, MissingFileIsCreatedEmptyAndReadsAsEmpty) {
    TempFolder folder;
    const ObsLogFile log(folder.File("obslog.dat"));
    ObsLogContents contents;
    EXPECT_TRUE(log.ReadAll(contents));
    EXPECT_TRUE(contents.records.empty());
    EXPECT_FALSE(FileExists(log.Path()));
    EXPECT_TRUE(log.EnsureExists());
    EXPECT_TRUE(FileExists(log.Path()));
    const ObsLogFile nowhere(folder.File("no-such-folder/obslog.dat"));
    std::string error;
    EXPECT_FALSE(nowhere.EnsureExists(&error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_EQ(nowhere.Append(std::string(822, 'x'), &error), 0);
}

TEST(NewObservation, FieldsComeFromTheProgramState) {
    NewObservationInputs in;
    in.nowLocal = CivilToJulianDate(2017, 4, 27, 23, 59, 59.7);
    in.siteName = " Backyard ";
    in.siteLatitude = "40.0";
    in.siteLongitude = "-75.0";
    in.siteAltitude = "100";
    in.elementFile = "visual.tle";
    in.objectName = "ISS (ZARYA)";
    in.catalogueNumber = "25544";
    in.tPlusEpoch = "3287.123456";
    in.timingOffset = "0.5";
    in.alignment = "-1";
    in.scopeCode = "ULTIMA";
    in.pass = ObservedPass{CivilToJulianDate(2017, 4, 27, 21, 0, 10),
                           CivilToJulianDate(2017, 4, 27, 21, 6, 30), 380, 44.6, 519.6};
    const std::string bytes = FormatObsRecord(NewObservation(in));
    EXPECT_EQ(bytes.substr(0, 31), "25544 ISS (ZARYA)              ");
    // The date and the time come from the same whole second.
    EXPECT_EQ(bytes.substr(31, 16), "2017042723:59:59");
    EXPECT_EQ(ObsFieldText(bytes, kObsSiteName), "Backyard");
    EXPECT_EQ(bytes.substr(138, 10), "3287.12345");  // cut to its width
    EXPECT_EQ(bytes.substr(148, 30), "21:00:10  21:06:30  00:06:20  ");
    EXPECT_EQ(bytes.substr(178, 8), "45520   ");
    EXPECT_EQ(ObsFieldText(bytes, kObsTelescope), "Celestron Ultima2000");
    EXPECT_EQ(ObsFieldText(bytes, kObsVersion), "2.6.1");
    EXPECT_EQ(ObsFieldText(bytes, kObsRemarks), "");
    // Without a pass the pass fields stay blank.
    in.pass.reset();
    EXPECT_EQ(FormatObsRecord(NewObservation(in)).substr(148, 38), std::string(38, ' '));
}

}  // namespace
}  // namespace corvane
