// corvane-cli obslog: listing the records of "obslog.dat", and the report, byte for byte the
// same as the library (and so the window) writes it; the log is never changed.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/AtomicFile.h"
#include "integration/CliRunner.h"
#include "obslog/ObsLog.h"
#include "obslog/ObsReport.h"

namespace {

class CliObslog : public clitest::CliTest {};

std::string Golden() {
    std::string s;
    corvane::ReadWholeFile(CORVANE_TEST_DATA "/obslog-sequence.dat", s);
    return s;
}

std::string Read(const std::filesystem::path& p) {
    std::string s;
    corvane::ReadWholeFile(p.string(), s);
    return s;
}

}  // namespace

TEST_F(CliObslog, ListShowsEveryRecordOrOneObjects) {
    const std::string log = Golden() + "25544 short tail";
    Write("obslog.dat", log);
    clitest::CliRun r = Cli("obslog list");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 34), "1\tok\t25544\tISS (ZARYA)\t20170427\t21");
    EXPECT_EQ(lines[1], "2\tdeleted");
    EXPECT_NE(lines[3].find("After the delete."), std::string::npos);
    EXPECT_NE(r.err.find("16 bytes"), std::string::npos) << r.err;

    r = Cli("obslog list --norad 20580 --format json");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["record"], 4);
    EXPECT_EQ(json[0]["status"], "ok");
    EXPECT_EQ(json[0]["name"], "HST");
    EXPECT_EQ(json[0]["max_elevation"], "45");
    EXPECT_EQ(Read(dir_ / "obslog.dat"), log);  // only read

    EXPECT_EQ(Cli("obslog list --norad 0").code, 2);
    EXPECT_EQ(Cli("obslog").code, 2);
}

TEST_F(CliObslog, ReportMatchesTheLibraryByteForByte) {
    Write("obslog.dat", Golden());
    clitest::CliRun r = Cli("obslog report --from 20170427 --to 2017-04-29 --sort site,DATE -o out.txt");
    ASSERT_EQ(r.code, 0) << r.err;
    corvane::ObsLogContents contents;
    ASSERT_TRUE(corvane::ObsLogFile((dir_ / "obslog.dat").string()).ReadAll(contents));
    corvane::ObsReportCriteria c;
    c.fromDate = 20170427;
    c.toDate = 20170429;
    c.primary = corvane::ObsSortKey::kSiteName;
    c.secondary = corvane::ObsSortKey::kDate;
    const std::string expected = corvane::BuildObsReport(contents.records, c);
    EXPECT_EQ(Read(dir_ / "out.txt"), expected);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 3);

    // Criteria: one object, a site, a telescope, thresholds.
    r =
        Cli("obslog report --from 20170101 --to 20171231 --satellite 20580 --site Backyard "
            "--telescope 'Meade LX200' --max-elevation '<45' --min-range '>519' -o one.txt");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string one = Read(dir_ / "one.txt");
    EXPECT_EQ(one.substr(0, 6), "20580\t");
    EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 1);
    r = Cli("obslog report --from 20170101 --to 20171231 --max-elevation '>45' -o none.txt");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Read(dir_ / "none.txt"), "");

    // Wrong input is a usage error; nothing is written.
    EXPECT_EQ(Cli("obslog report --from 2017 --to 20171231 -o bad.txt").code, 2);
    EXPECT_EQ(Cli("obslog report --from 20170101 --to 20171231 --sort colour -o bad.txt").code, 2);
    EXPECT_EQ(Cli("obslog report --from 20170101 --to 20171231 --min-range 5 -o bad.txt").code, 2);
    EXPECT_EQ(Cli("obslog report --from 20170101 --to 20171231").code, 2);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "bad.txt"));
    // An output that cannot be written is a data error.
    EXPECT_EQ(Cli("obslog report --from 20170101 --to 20171231 -o no-such-folder/r.txt").code, 1);
    EXPECT_EQ(Read(dir_ / "obslog.dat"), Golden());
}

// --satellite takes the Alpha-5 form as --norad does; a log that is not there is an error, not an
// empty log; the report is written through a link, and a hard-linked report changes for both names.
TEST_F(CliObslog, SatelliteFormsMissingLogsAndReportFiles) {
    corvane::ObsRecord record;
    record[corvane::kObsNorad] = "100000";
    record[corvane::kObsName] = "ALPHA";
    record[corvane::kObsDate] = "20260105";
    Write("obslog.dat", Golden() + corvane::FormatObsRecord(record));
    clitest::CliRun r = Cli("obslog report --from 20260101 --to 20261231 --satellite A0000 -o a.txt");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Read(dir_ / "a.txt").substr(0, 13), "100000\tALPHA ");
    EXPECT_EQ(Cli("obslog report --from 20260101 --to 20261231 --satellite I0000 -o a.txt").code, 2);

    for (const char* command : {"obslog list --log /nonexistent/obslog.dat",
                                "obslog report --from 20170101 --to 20171231 --log missing.dat -o m.txt"}) {
        r = Cli(command);
        EXPECT_EQ(r.code, 1) << command;
        EXPECT_NE(r.err.find("no observation log"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "m.txt"));

    Write("kept.txt", "old");
    std::filesystem::create_symlink("kept.txt", dir_ / "link.txt");
    std::filesystem::create_hard_link(dir_ / "kept.txt", dir_ / "second-name.txt");
    r = Cli("obslog report --from 20260101 --to 20261231 -o link.txt");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.txt"));
    EXPECT_EQ(Read(dir_ / "kept.txt").substr(0, 7), "100000\t");
    EXPECT_EQ(Read(dir_ / "second-name.txt"), Read(dir_ / "kept.txt"));
}
