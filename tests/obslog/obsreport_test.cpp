// Observation reports: the selection by date and criteria, the sort keys, and the report's
// bytes (tabs, fixed-width fields, CR LF, no header).
#include "obslog/ObsReport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "obslog/ObsLog.h"

namespace corvane {
namespace {

std::string Record(const std::string& norad, const std::string& name, const std::string& date,
                   const std::string& maxEl, const std::string& range, const std::string& site = "Backyard",
                   const std::string& scope = "Meade LX200") {
    ObsRecord r;
    r[kObsNorad] = norad;
    r[kObsName] = name;
    r[kObsDate] = date;
    r[kObsTime] = "21:02:07";
    r[kObsSiteName] = site;
    r[kObsSiteLatitude] = "40.0";
    r[kObsSiteLongitude] = "-75.0";
    r[kObsSiteAltitude] = "100";
    r[kObsTleFile] = "visual.tle";
    r[kObsTPlusEpoch] = "0.48";
    r[kObsAos] = "21:00:10";
    r[kObsLos] = "21:06:30";
    r[kObsDuration] = "00:06:20";
    r[kObsMaxElevation] = maxEl;
    r[kObsMinRange] = range;
    r[kObsTimingOffset] = "0.5";
    r[kObsAlignment] = "0";
    r[kObsTelescope] = scope;
    r[kObsVersion] = "2.6.1";
    r[kObsRemarks] = "never in the report";
    return FormatObsRecord(r);
}

ObsReportCriteria Day(long date) {
    ObsReportCriteria c;
    c.fromDate = c.toDate = date;
    return c;
}

TEST(ObsReport, LineHasNineteenTabbedFieldsWithFixedWidthsKept) {
    const std::string line = ObsReportLine(Record("25544", "ISS (ZARYA)", "20170427", "45", "520"));
    EXPECT_EQ(line,
              "25544\tISS (ZARYA)              \t20170427\t21:02:07\tBackyard\t40.0\t-75.0\t100\t"
              "visual.tle                    \t0.48\t21:00:10\t21:06:30\t00:06:20\t45\t520\t0.5\t0\t"
              "Meade LX200         \t2.6.1");
    const std::vector<std::string> log{Record("25544", "ISS (ZARYA)", "20170427", "45", "520")};
    EXPECT_EQ(BuildObsReport(log, Day(20170427)), line + "\r\n");
}

// A name from an element file may hold a tab or a line break: it must not add a field or split
// the line of the tab-delimited file.
TEST(ObsReport, TabsAndLineBreaksInFieldsStayInTheirField) {
    const std::string line =
        ObsReportLine(Record("25544", "ISS\tA\r\nB", "20170427", "45", "520", "Back\tyard"));
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 18);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(line.substr(0, 32), "25544\tISS A  B                 \t");  // 25 wide
    EXPECT_NE(line.find("\tBack yard\t"), std::string::npos);
    ObsReportBuilder builder(Day(20170427));
    builder.Add(Record("25544", "ISS\tA\r\nB", "20170427", "45", "520", "Back\tyard"));
    builder.Add(Record("20580", "HST", "20170428", "45", "520"));  // outside the day
    const std::string report = builder.Finish();
    EXPECT_EQ(report, line + "\r\n");
}

TEST(ObsReport, DateRangeAndCriteria) {
    const std::vector<std::string> log{
        Record("25544", "ISS (ZARYA)", "20170426", "45", "520"),
        Record("25544", "ISS (ZARYA)", "20170427", "30", "900", "Field", "Celestron NexStarGPS"),
        std::string(822, ' '),  // a deleted slot: date 0
        Record("20580", "HST", "20170427", "31", "600"),
        Record("20580", "HST", "20170428", "9", "1200"),
    };
    auto count = [&](const ObsReportCriteria& c) {
        int n = 0;
        for (const std::string& r : log) n += ObsRecordSelected(r, c) ? 1 : 0;
        return n;
    };
    EXPECT_EQ(count(Day(20170427)), 2);  // today only
    ObsReportCriteria all;
    all.fromDate = 0;
    all.toDate = 99999999;
    EXPECT_EQ(count(all), 4);  // never the blank slot
    ObsReportCriteria c = all;
    c.satellite = 20580;
    EXPECT_EQ(count(c), 2);
    c = all;
    c.siteName = "Field";
    EXPECT_EQ(count(c), 1);
    c = all;
    c.telescope = "Meade LX200";
    EXPECT_EQ(count(c), 3);
    // "Less than" 30 keeps exactly 30; "Greater than" 30 does not.
    c = all;
    c.maxElevation = ObsThreshold{ObsCompare::kLessThan, 30};
    EXPECT_EQ(count(c), 2);
    c.maxElevation = ObsThreshold{ObsCompare::kGreaterThan, 30};
    EXPECT_EQ(count(c), 2);
    EXPECT_FALSE(ObsRecordSelected(log[1], c));
    c = all;
    c.minRange = ObsThreshold{ObsCompare::kGreaterThan, 900};
    EXPECT_EQ(count(c), 1);
}

TEST(ObsReport, SortKeysAndOrder) {
    const std::vector<std::string> log{
        Record("25544", "ISS (ZARYA)", "20170427", "45", "520"),
        Record("20580", "HST", "20170427", "9", "1200"),
        Record("00005", "VANGUARD 1", "20170427", "45", "3000"),
    };
    ObsReportCriteria c = Day(20170427);
    c.primary = ObsSortKey::kMaxElevation;
    c.secondary = ObsSortKey::kSatelliteName;
    const std::string report = BuildObsReport(log, c);
    // 9 before 45 (two-digit keys); the two 45s by name.
    const size_t hst = report.find("HST"), iss = report.find("ISS"), vanguard = report.find("VANGUARD");
    EXPECT_LT(hst, iss);
    EXPECT_LT(iss, vanguard);
    EXPECT_EQ(ObsSortKeyText(log[1], ObsSortKey::kMaxElevation), "09");
    EXPECT_EQ(ObsSortKeyText(log[1], ObsSortKey::kMinimumRange), "0001200");
    EXPECT_EQ(ObsSortKeyText(log[0], ObsSortKey::kDate), "2017042721:02:07");
    EXPECT_EQ(ObsSortKeyText(log[0], ObsSortKey::kSatelliteName).size(), 25u);

    // Equal keys: the rest of the line decides (catalogue number first), not the file order.
    c.primary = ObsSortKey::kDate;
    c.secondary = ObsSortKey::kDate;
    const std::string byDate = BuildObsReport(log, c);
    EXPECT_EQ(byDate.substr(0, 6), "00005\t");
    EXPECT_LT(byDate.find("20580\t"), byDate.find("25544\t"));
    // Every line ends in CR LF and the report has no header.
    size_t lines = 0;
    for (size_t p = byDate.find("\r\n"); p != std::string::npos; p = byDate.find("\r\n", p + 2)) ++lines;
    EXPECT_EQ(lines, 3u);
    EXPECT_EQ(byDate.back(), '\n');

    EXPECT_EQ(BuildObsReport({}, c), "");  // an empty log writes an empty file
    EXPECT_EQ(BuildObsReport({std::string(822, ' ')}, Day(0)), "");
}

TEST(ObsReport, ChoicesAndTypedValues) {
    const std::vector<std::string> log{
        Record("25544", "ISS (ZARYA)", "20170426", "45", "520"),
        std::string(822, ' '),
        Record("20580", "HST", "20170427", "31", "600", "Field", "Celestron NexStarGPS"),
        Record("25544", "ISS (ZARYA)", "20170428", "9", "1200", "Backyard"),
    };
    const ObsReportChoices choices = CollectObsReportChoices(log);
    EXPECT_EQ(choices.satellites, (std::vector<std::string>{"25544 ISS (ZARYA)", "20580 HST"}));
    EXPECT_EQ(choices.sites, (std::vector<std::string>{"Backyard", "Field"}));
    EXPECT_EQ(choices.telescopes, (std::vector<std::string>{"Meade LX200", "Celestron NexStarGPS"}));

    EXPECT_EQ(ObsSortKeyOf("Max. Elevation"), ObsSortKey::kMaxElevation);
    EXPECT_EQ(ObsSortKeyOf("site"), ObsSortKey::kSiteName);
    EXPECT_EQ(ObsSortKeyOf("minimum"), ObsSortKey::kMinimumRange);
    EXPECT_FALSE(ObsSortKeyOf("xx").has_value());
    auto t = ParseObsThreshold(" >30");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->compare, ObsCompare::kGreaterThan);
    EXPECT_EQ(t->value, 30.0);
    t = ParseObsThreshold("<12.5");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->compare, ObsCompare::kLessThan);
    EXPECT_FALSE(ParseObsThreshold("30").has_value());
    EXPECT_FALSE(ParseObsThreshold(">nan").has_value());
    EXPECT_FALSE(ParseObsThreshold(">").has_value());
    EXPECT_EQ(ParseObsDate("20170427"), 20170427);
    EXPECT_EQ(ParseObsDate("2017-04-27"), 20170427);
    EXPECT_FALSE(ParseObsDate("20171327").has_value());
    EXPECT_FALSE(ParseObsDate("2017042").has_value());
}

}  // namespace
}  // namespace corvane
