// The View Plan element-file export and the "info.dat" look-up.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/AtomicFile.h"
#include "passes/ObjectInfo.h"
#include "passes/TleExport.h"
#include "passes/ViewPlan.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {
struct TempDir {
    TempDir() : path(fs::temp_directory_path() / ("corvane-tle-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const char* name) const { return (path / name).string(); }
    fs::path path;
};

ViewPlanEntry Entry(const char* aos, const char* name, const char* norad) {
    const std::string line = std::string("Apr 27 2017  ") + aos +
                             " NW   \tApr 27 2017  23:50:00 SE    \t00:06:33    45\xB0 at 21:05:21";
    return *EntryFromPassLine(line, name, norad);
}

const char* kElements =
    "ISS (ZARYA)             \n"
    "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992\n"
    "2 25544  51.6430 243.5407 0006713  86.3462  59.3532 15.53910607 53717\n"
    "HST\r\n"
    "1 20580U 90037B   17117.48472453  .00000452  00000-0  16755-4 0  9996\r\n"
    "2 20580  28.4694 158.3512 0002777 206.5329 292.9839 15.08543427279588\r\n"
    "ISS (SECOND)\n"
    "1 25544U 98067A   17118.00000000 -.00158687  00000-0 -24621-2 0  9992\n"
    "2 25544  51.6430 243.5407 0006713  86.3462  59.3532 15.53910607 53717\n";
}  // namespace

TEST(TleExport, AosMinuteRoundingAndNameLine) {
    EXPECT_EQ(AosMinuteText("21:02:29"), "21:02");
    EXPECT_EQ(AosMinuteText("21:02:30"), "21:03");
    EXPECT_EQ(AosMinuteText("21:59:45"), "21:59");
    EXPECT_EQ(AosMinuteText("09:08:31"), "09:09");
    EXPECT_EQ(NameLineWithAos("ISS (ZARYA)             ", "21:02:30"), "ISS (ZARY.@21:03");
    EXPECT_EQ(NameLineWithAos("COSMOS 12 R/B", "21:02:30"), "COSMOS 12 @21:03");
    EXPECT_EQ(NameLineWithAos("HST", "21:02:00"), "HST.@21:02");
    EXPECT_EQ(TleExportPlanStatus(0), "Currently no objects in the Viewing Plan!!!");
    EXPECT_EQ(TleExportPlanStatus(5), " 5 object(s) in the Viewing Plan.");
    EXPECT_EQ(TleExportProgress(1, 5), "Writing object 1 of 5");
    EXPECT_EQ(TleExportDone(5, "/tmp/ViewPlan.tle"), " 5 object(s) in file: \r\n/tmp/ViewPlan.tle");
}

TEST(TleExport, PlanOrderFirstMatchEachEntryItsOwnAosTime) {
    TempDir dir;
    WriteFileAtomically(dir.file("in.tle"), kElements);
    ViewPlan plan;
    plan.entries = {Entry("21:02:07", "ISS (ZARYA)", "25544"), Entry("21:30:00", "MISSING", "11111"),
                    Entry("22:15:45", "HST", "20580"), Entry("23:40:31", "ISS (ZARYA)", "25544")};
    size_t calls = 0;
    const TleExportResult r =
        CreateViewPlanTle(plan, dir.file("in.tle"), dir.file("out.tle"), true, [&](size_t i, size_t n) {
            ++calls;
            EXPECT_EQ(n, 4u);
            EXPECT_EQ(i, calls);
        });
    EXPECT_EQ(r.outcome, TleExportOutcome::kWritten);
    EXPECT_EQ(r.written, 3u);
    EXPECT_EQ(calls, 4u);
    std::string out;
    ASSERT_TRUE(ReadWholeFile(dir.file("out.tle"), out));
    const std::string l1 = "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992\r\n";
    const std::string l2 = "2 25544  51.6430 243.5407 0006713  86.3462  59.3532 15.53910607 53717\r\n";
    EXPECT_EQ(out, "ISS (ZARY.@21:02\r\n" + l1 + l2 +
                       "HST.@22:16\r\n"
                       "1 20580U 90037B   17117.48472453  .00000452  00000-0  16755-4 0  9996\r\n"
                       "2 20580  28.4694 158.3512 0002777 206.5329 292.9839 15.08543427279588\r\n" +
                       "ISS (ZARY.@23:41\r\n" + l1 + l2);

    ASSERT_EQ(CreateViewPlanTle(plan, dir.file("in.tle"), dir.file("plain.tle"), false).written, 3u);
    ReadWholeFile(dir.file("plain.tle"), out);
    EXPECT_EQ(out.substr(0, 26), "ISS (ZARYA)             \r\n");
}

TEST(TleExport, MissingInputLeavesAnEmptyOutput) {
    TempDir dir;
    ViewPlan plan;
    plan.entries = {Entry("21:02:07", "ISS (ZARYA)", "25544")};
    const TleExportResult r = CreateViewPlanTle(plan, dir.file("absent.tle"), dir.file("out.tle"), true);
    EXPECT_EQ(r.outcome, TleExportOutcome::kInputMissing);
    std::string out = "x";
    ASSERT_TRUE(ReadWholeFile(dir.file("out.tle"), out));
    EXPECT_TRUE(out.empty());
}

TEST(ObjectInfo, FirstRecordWithTheNumberWholeRecordsOnly) {
    TempDir dir;
    auto record = [](const std::string& number, const std::string& title, const std::string& text) {
        std::string r = number;
        r.resize(6, ' ');
        std::string t = title;
        t.resize(55, ' ');
        std::string x = text;
        x.resize(2500, ' ');
        return r + t + x;
    };
    const std::string two = record("20580", "Hubble Space Telescope", "Launched 1990.\r\nBright.") +
                            record("25544", "International Space Station", "Crewed.") +
                            record("25544", "Second record", "Not this one.");
    WriteFileAtomically(dir.file("info.dat"), two + "25544 short tail");
    const auto info = FindObjectInfo(dir.file("info.dat"), 25544);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->title, "International Space Station");
    EXPECT_EQ(info->text, "Crewed.");
    EXPECT_EQ(InformationTitle(*info), "Information - International Space Station");
    EXPECT_EQ(FindObjectInfo(dir.file("info.dat"), 20580)->text, "Launched 1990.\r\nBright.");
    EXPECT_FALSE(FindObjectInfo(dir.file("info.dat"), 12345).has_value());
    EXPECT_FALSE(FindObjectInfo(dir.file("absent.dat"), 25544).has_value());
    WriteFileAtomically(dir.file("short.dat"), record("25544", "Cut", "x").substr(0, 2560));
    EXPECT_FALSE(FindObjectInfo(dir.file("short.dat"), 25544).has_value());
}
