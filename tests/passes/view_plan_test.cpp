// View Plan records and "vplan.log", the purge, adding from pass and batch lines, the list
// texts, the plan text file and the printed pages, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/AtomicFile.h"
#include "core/Clock.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "passes/PassSearch.h"
#include "passes/ViewPlan.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

// The worked example: AOS Apr 27 2017 21:02:07 NW, LOS 21:08:40 SE, 6 min 33 s, 45° at 21:05:21.
const std::string kLine =
    "Apr 27 2017  21:02:07 NW   \tApr 27 2017  21:08:40 SE    \t00:06:33    45\xB0 at 21:05:21";
const std::string kRecord =
    "2457871.37646991"
    "2457871.38101852"
    "00:06:33"
    "45\xB0 at 21:05:21"
    "ISS (ZARYA)              "
    "25544     "
    "NW"
    "SE";

std::string Line(int day, int hour, int minute) {
    char buf[128];
    std::snprintf(buf, sizeof buf,
                  "Apr %02d 2017  %02d:%02d:00 N    \tApr %02d 2017  %02d:%02d:30 S     \t00:05:30    10\xB0 "
                  "at %02d:%02d:00",
                  day, hour, minute, day, hour, minute + 5, hour, minute + 2);
    return buf;
}

struct TempDir {
    TempDir() {
        path = fs::temp_directory_path() /
               ("corvane-plan-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    fs::path path;
    static inline int counter = 0;
};

std::string ReadBytes(const std::string& path) {
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

const double kBefore = CivilToJulianDate(2017, 4, 27, 12, 0, 0);  // local now, before the passes

}  // namespace

TEST(ViewPlanRecord, BuiltFromAPassLineByteForByte) {
    const auto entry = EntryFromPassLine(kLine, "ISS (ZARYA)", "25544");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->Record(), kRecord);
    EXPECT_EQ(entry->Record().size(), kViewPlanRecordSize);
    EXPECT_EQ(TimeOfDayText(entry->AosLocal(), true, 0), "21:02:07");
    EXPECT_EQ(TimeOfDayText(entry->LosLocal(), true, 0), "21:08:40");
    EXPECT_FALSE(EntryFromPassLine(kLine.substr(0, 80), "X", "1").has_value());
    EXPECT_FALSE(EntryFromPassLine(std::string(84, ' '), "X", "1").has_value());
    // A whole day of whole seconds reads back as the same second (8 decimals are not enough for
    // truncation alone).
    for (int s = 0; s < 86400; s += 7) {
        ViewPlanEntry e;
        const double jd = CivilToJulianDate(2017, 4, 27, 0, 0, 0) + s / 86400.0;
        e.SetAos(jd);
        ASSERT_EQ(TimeOfDayText(e.AosLocal(), true, 0), TimeOfDayText(jd, true, 0));
        ASSERT_EQ(CalendarDateText(e.AosLocal()), "Apr 27 2017");
    }
}

TEST(ViewPlanFile, LoadsWholeRecordsOnlyAndAtMost4000) {
    TempDir dir;
    const std::string path = dir.file("vplan.log");
    ViewPlan plan;
    EXPECT_TRUE(LoadViewPlan(plan, path));  // missing: created empty
    EXPECT_TRUE(plan.Empty());
    EXPECT_TRUE(FileExists(path));

    WriteFileAtomically(path, kRecord + kRecord + kRecord.substr(0, 50));
    ASSERT_TRUE(LoadViewPlan(plan, path));
    EXPECT_EQ(plan.Count(), 2u);
    EXPECT_EQ(plan.entries[1].Record(), kRecord);

    WriteFileAtomically(path, kRecord.substr(0, 93));
    LoadViewPlan(plan, path);
    EXPECT_TRUE(plan.Empty());

    std::string many;
    for (int i = 0; i < 4001; ++i) many += kRecord;
    WriteFileAtomically(path, many);
    LoadViewPlan(plan, path);
    EXPECT_EQ(plan.Count(), 4000u);
}

TEST(ViewPlanFile, GarbageRecordsArePurgedWithoutHarm) {
    TempDir dir;
    const std::string path = dir.file("vplan.log");
    std::mt19937 random(4711);
    std::string bytes;
    for (int i = 0; i < 94 * 20; ++i) bytes.push_back(static_cast<char>(random() & 0xFF));
    // Plausible-looking numbers that are not dates, and one good record.
    bytes += ViewPlanEntry::FromRecord("1e300           9e307           ").Record();
    bytes += ViewPlanEntry::FromRecord("-5              2457871.5       ").Record();
    bytes += kRecord;
    WriteFileAtomically(path, bytes);
    ViewPlan plan;
    ASSERT_TRUE(LoadViewPlan(plan, path));
    EXPECT_EQ(plan.Count(), 1u) << "what is not a record is skipped when reading";
    PurgeViewPlan(plan, kBefore);
    ASSERT_EQ(plan.Count(), 1u);
    EXPECT_EQ(plan.entries[0].Record(), kRecord);
}

TEST(ViewPlanPurge, KeepsOnlyEntriesWhoseLosIsLaterThanNow) {
    ViewPlan plan;
    ASSERT_TRUE(AddToViewPlan(plan, kLine, "ISS (ZARYA)", "25544", kBefore));
    const double los = plan.entries[0].LosValue();
    PurgeViewPlan(plan, los - 1e-9);
    EXPECT_EQ(plan.Count(), 1u);
    PurgeViewPlan(plan, los);  // LOS exactly now
    EXPECT_TRUE(plan.Empty());

    ASSERT_TRUE(AddToViewPlan(plan, kLine, "ISS (ZARYA)", "25544", kBefore));
    plan.entries[0].MarkRemoved();
    EXPECT_EQ(plan.entries[0].LosField(), "-1              ");
    PurgeViewPlan(plan, kBefore);
    EXPECT_TRUE(plan.Empty());
}

TEST(ViewPlanAdd, SortsByAosAndRefusesWhenFull) {
    ViewPlan plan;
    EXPECT_TRUE(AddToViewPlan(plan, Line(28, 9, 0), "B", "2", kBefore));
    EXPECT_TRUE(AddToViewPlan(plan, Line(27, 22, 10), "A", "1", kBefore));
    EXPECT_TRUE(AddToViewPlan(plan, Line(28, 3, 30), "C", "3", kBefore));
    ASSERT_EQ(plan.Count(), 3u);
    EXPECT_EQ(plan.entries[0].Name().substr(0, 1), "A");
    EXPECT_EQ(plan.entries[1].Name().substr(0, 1), "C");
    EXPECT_EQ(plan.entries[2].Name().substr(0, 1), "B");
    EXPECT_FALSE(AddToViewPlan(plan, "not a pass line", "X", "9", kBefore));

    ViewPlan full;
    full.entries.assign(kViewPlanCapacity, *EntryFromPassLine(kLine, "ISS", "25544"));
    EXPECT_FALSE(AddToViewPlan(full, Line(28, 9, 0), "B", "2", kBefore));
    EXPECT_EQ(full.Count(), kViewPlanCapacity);

    // Batch lines: number in columns 88-92, name in 96-119; the batch add stops at 2000.
    const std::string batch = kLine + "   25544   ISS (ZARYA)             ";
    ViewPlan fromBatch;
    ASSERT_TRUE(AddBatchLine(fromBatch, batch, kBefore));
    EXPECT_EQ(fromBatch.entries[0].Record(),
              kRecord.substr(0, 55) + "ISS (ZARYA)              25544     NWSE");
    fromBatch.entries.assign(kBatchViewPlanCapacity, fromBatch.entries[0]);
    EXPECT_FALSE(AddBatchLine(fromBatch, batch, kBefore));
}

TEST(ViewPlanAdd, APassAlreadyPlannedIsKnownByObjectAndAos) {
    ViewPlan plan;
    EXPECT_FALSE(PlanHoldsPass(plan, kLine, "25544"));
    ASSERT_TRUE(AddToViewPlan(plan, kLine, "ISS (ZARYA)", "25544", kBefore));
    EXPECT_TRUE(PlanHoldsPass(plan, kLine, "25544"));
    EXPECT_TRUE(PlanHoldsPass(plan, kLine, " 25544 "));
    EXPECT_FALSE(PlanHoldsPass(plan, kLine, "25545"));           // another object
    EXPECT_FALSE(PlanHoldsPass(plan, Line(28, 9, 0), "25544"));  // another pass
    EXPECT_FALSE(PlanHoldsPass(plan, "not a pass line", "25544"));
    EXPECT_TRUE(PlanHoldsBatchLine(plan, kLine + "   25544   ISS (ZARYA)             "));
    EXPECT_FALSE(PlanHoldsBatchLine(plan, kLine));
    // It is still added.
    EXPECT_TRUE(AddToViewPlan(plan, kLine, "ISS (ZARYA)", "25544", kBefore));
    EXPECT_EQ(plan.Count(), 2u);
}

TEST(ViewPlanFile, SaveWritesLiveEntriesAndKeepsThePlanWhenItCannot) {
    TempDir dir;
    const std::string path = dir.file("vplan.log");
    ViewPlan plan;
    AddToViewPlan(plan, Line(28, 9, 0), "B", "2", kBefore);
    AddToViewPlan(plan, kLine, "ISS (ZARYA)", "25544", kBefore);
    plan.entries.push_back(*EntryFromPassLine(Line(26, 9, 0), "Old", "5"));  // passed: not saved
    ASSERT_TRUE(SaveViewPlan(plan, path, kBefore));
    const std::string bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 2 * kViewPlanRecordSize);
    EXPECT_EQ(bytes.substr(0, 94), kRecord);
    EXPECT_EQ(plan.Count(), 2u);

    std::string error;
    EXPECT_FALSE(SaveViewPlan(plan, dir.file("missing-folder/vplan.log"), kBefore, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(plan.Count(), 2u);
}

TEST(ViewPlanLists, WindowLineOfAPassNotYetBegun) {
    ViewPlan plan;
    AddToViewPlan(plan, kLine, "ISS (ZARYA)", "25544", kBefore);
    ElementCatalogue empty;
    PropagationSlot slot(kSlotViewPlanList);
    const Site site{40.0, -75.0, 0.0, -4.0};
    const auto lines = ViewPlanWindowLines(plan, empty, slot, site, kBefore);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "Apr\t 27 2017 21:02:07 NW\t  to  21:08:40 SE\t  00:06:33   45\xB0 at 21:05:21   25544    - "
              "-\t  - -   - "
              "\tISS (ZARYA)              ");
    EXPECT_EQ(ViewPlanWindowHeader().size(), 140u);
    // Begun, but the object is not in the loaded file: still "not available".
    EXPECT_EQ(ViewPlanWindowLines(plan, empty, slot, site, plan.entries[0].AosValue() + 1e-4)[0], lines[0]);
}

TEST(ViewPlanLists, MainListShowsPassesInProgressOnly) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    PropagationSlot slot(kSlotViewPlanRefresh);
    const Site site{40.0, -75.0, 100.0, -4.0};
    // Real ISS passes of the day (local time) make the plan.
    PassSearch search(*catalogue, catalogue->FindCatalogueNumber(25544), slot, site, PassSettings{},
                      CivilToJulianDate(2017, 4, 27, 12, 0, 0));
    const auto passes = search.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, false);
    ASSERT_GE(passes.size(), 3u);
    ViewPlan plan;
    const double morning = CivilToJulianDate(2017, 4, 27, 7, 0, 0);
    for (size_t i = 1; i < 3; ++i)
        AddToViewPlan(plan, PassListLine(passes[i], -4.0), "ISS (ZARYA)", "25544", morning);
    AddToViewPlan(plan, PassListLine(passes[2], -4.0), "NOT LOADED", "99999", morning);
    ASSERT_EQ(plan.Count(), 3u);

    const double beforeAll = plan.entries[0].AosValue() - 0.01;
    EXPECT_TRUE(MainViewPlanLines(plan, *catalogue, slot, site, beforeAll).empty());

    // Half-way through the second pass both entries of that pass are listed; the first is over.
    const double middle = passes[2].maxElevationTime - 4.0 / 24.0;
    ViewPlan live = plan;
    PurgeViewPlan(live, middle);
    const auto lines = MainViewPlanLines(live, *catalogue, slot, site, middle);
    ASSERT_EQ(lines.size(), 2u);
    for (const MainPlanLine& l : lines) {
        const bool missing = live.entries[l.entry].Norad().substr(0, 5) == "99999";
        if (missing) {
            EXPECT_EQ(l.text, std::string(16, ' ') + " NOT LOADED                  99999   ");
        } else {
            // "NW\t  45° A ISS (ZARYA) ...": code, tab, elevation, degree, rising or falling.
            EXPECT_EQ(l.text.substr(2, 3), "\t  ");
            EXPECT_EQ(static_cast<unsigned char>(l.text[7]), 0xB0);
            EXPECT_TRUE(l.text.substr(8, 2) == " A" || l.text.substr(8, 2) == " D");
            EXPECT_EQ(l.text.substr(10), " ISS (ZARYA)                 25544   ");
            const int shown = std::stoi(l.text.substr(5, 2));
            EXPECT_NEAR(shown, passes[2].maxElevation, 1.0);
        }
    }
}

namespace {
PlanHeader Header() {
    PlanHeader h;
    h.site = SiteTexts{"Home", "40.0", "-75.0", "100", "-4"};
    h.tleFile = "visual.txt   ";
    return h;
}
}  // namespace

TEST(ViewPlanText, PlanTextFileByteForByte) {
    ViewPlan plan;
    AddToViewPlan(plan, kLine, "ISS (ZARYA)", "25544", kBefore);
    const std::string expected =
        "Corvane - Satellite Viewing Plan\r\n"
        "Location: 40.0N  -75.0E  100m   UTC -4\r\n"
        "TLE File: visual.txt     ( AOS/LOS at 0\xB0 Elevation or point of eclipse)\r\n"
        "\r\n"
        "AOS\t\t\t\t\tLOS\t\t\tDuration\tMax. Elevation\t\tNORAD\t\tObject NAME\r\n"
        "\r\n"
        "Apr 27 2017\t21:02:07\tNW\t21:08:40\tSE\t00:06:33\t45\xB0\t21:05:21\t25544   \tISS (ZARYA)          "
        "    \r\n";
    EXPECT_EQ(PlanTextFile(plan, Header()), expected);
    PlanHeader geometric = Header();
    geometric.ignoreEclipse = true;
    EXPECT_EQ(PlanTleLine(geometric), "TLE File: visual.txt     ( AOS/LOS at 0\xB0 Elevation)");
}

TEST(ViewPlanPrint, SixtyThreeEntriesAPageNumberedFrom62) {
    auto planOf = [](int n) {
        ViewPlan plan;
        const ViewPlanEntry e = *EntryFromPassLine(kLine, "ISS (ZARYA)", "25544");
        plan.entries.assign(static_cast<size_t>(n), e);
        return plan;
    };
    const auto one = PrintLayout(planOf(61), Header());
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].lines[0].text, "Corvane - Satellite Viewing Plan");
    EXPECT_EQ(one[0].lines[1].line, 3);
    EXPECT_EQ(one[0].lines[3].text,
              "AOS                          LOS           Duration   Max. Elevation    NORAD   Object NAME");
    EXPECT_EQ(one[0].lines[5].line, 8);
    EXPECT_EQ(one[0].lines[5].text,
              "Apr 27 2017 21:02:07 NW  to  21:08:40 SE   00:06:33   45\xB0 at 21:05:21   25544   ISS "
              "(ZARYA)              ");

    const auto p62 = PrintLayout(planOf(62), Header());
    ASSERT_EQ(p62.size(), 1u);
    EXPECT_EQ(p62[0].lines[0].text, "Corvane - Satellite Viewing Plan                 Page 1");
    const auto p63 = PrintLayout(planOf(63), Header());
    ASSERT_EQ(p63.size(), 1u);
    EXPECT_EQ(p63[0].lines.back().line, 63 + 7);
    const auto p64 = PrintLayout(planOf(64), Header());
    ASSERT_EQ(p64.size(), 2u);
    EXPECT_EQ(p64[1].lines[0].text, "Corvane - Satellite Viewing Plan                 Page 2");
    EXPECT_EQ(p64[1].lines.size(), 5u + 1u);
    EXPECT_EQ(p64[1].lines.back().line, 8);
}

TEST(ViewPlanLookups, ObjectByNumberAndLogIntervalsOutOfRange) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    const int iss = catalogue->FindCatalogueNumber(25544);
    EXPECT_EQ(FindObjectByNorad(*catalogue, "25544     "), iss);
    EXPECT_EQ(FindObjectByNorad(*catalogue, "  25544"), iss);
    EXPECT_EQ(FindObjectByNorad(*catalogue, "abc"), 0);
    EXPECT_EQ(FindObjectByNorad(*catalogue, ""), 0);
    EXPECT_EQ(FindObjectByNorad(*catalogue, "99999"), 0);
    EXPECT_DOUBLE_EQ(LogIntervalSeconds(0), 0.05);
    EXPECT_DOUBLE_EQ(LogIntervalSeconds(12), 0.05);
}

TEST(ViewPlanLists, PositionTextOfAnObjectFarBelowTheHorizonKeepsItsSign) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    PropagationSlot slot(kSlotViewPlanRefresh);
    const Site site{40.0, -75.0, 100.0, -4.0};
    const ViewPlanEntry e = *EntryFromPassLine(kLine, "ISS (ZARYA)", "25544");
    // Late evening of 27 April the station is far below this site's horizon.
    double lowest = 90.0;
    for (int minute = 0; minute < 90; minute += 7) {
        const double t = CivilToJulianDate(2017, 4, 28, 3, minute, 0);
        PassSearch probe(*catalogue, catalogue->FindCatalogueNumber(25544), slot, site, PassSettings{}, t);
        const double el = probe.LookAt(0).elevation;
        const auto text = PlanPositionText(*catalogue, e, slot, site, t);
        ASSERT_TRUE(text.has_value());
        const long long shown = std::stoll(text->substr(5, text->size() - 5 - 3));
        EXPECT_EQ(shown, std::llround(el)) << *text;
        lowest = std::min(lowest, el);
    }
    EXPECT_LT(lowest, -10.0);
}
