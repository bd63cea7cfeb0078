// corvane-cli passes, driven from outside: the same passes as the day windows of the library,
// as pass list lines or JSON, and clean failures.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CliRunner.h"
#include "core/Clock.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "passes/PassPredictions.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

using CliResult = clitest::CliRun;

CliResult Cli(const std::string& args) {
    const fs::path dir = fs::temp_directory_path() / ("corvane-cli-passes-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    CliResult r = clitest::RunCli(dir, "passes " + args);
    fs::remove_all(dir);
    return r;
}

const std::string kTle = std::string("--tle '") + CORVANE_TEST_DATA + "/catalogue-2017-04-27.tle'";

std::string Utf8Degree(std::string line) {
    const size_t at = line.find('\xB0');
    if (at != std::string::npos) line.replace(at, 1, "\xC2\xB0");
    return line;
}

std::vector<PassRecord> Expected(int days, long long minimumSeconds, bool excludeDaytime, const Site& site) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    PropagationSlot slot(kSlotPassPrediction);
    return PassesOverDays(*catalogue, catalogue->FindCatalogueNumber(25544), slot, site, PassSettings{},
                          CivilToJulianDate(2017, 4, 27, 12, 0, 0), days, minimumSeconds, excludeDaytime);
}

}  // namespace

TEST(CliPasses, ListsTheDayWindowsAsPassListLines) {
    const Site site{-33.87, 151.2, 50.0, 10.0};
    const CliResult r =
        Cli(kTle + " --norad 25544 --site -33.87,151.2,50,10 --from 2017-04-27T12:00:00Z --days 3");
    ASSERT_EQ(r.code, 0) << r.err;
    std::string expected;
    for (const PassRecord& p : Expected(3, 120, false, site))
        expected += Utf8Degree(PassListLine(p, 10.0)) + "\n";
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(r.out, expected);

    const CliResult night =
        Cli(kTle +
            " --norad 25544 --site -33.87,151.2,50,10 --from 2017-04-27T12:00:00Z --days 3 --exclude-daytime "
            "--min-duration 5");
    ASSERT_EQ(night.code, 0) << night.err;
    expected.clear();
    for (const PassRecord& p : Expected(3, 300, true, site))
        expected += Utf8Degree(PassListLine(p, 10.0)) + "\n";
    EXPECT_EQ(night.out, expected);
}

TEST(CliPasses, JsonCarriesTheFieldsOfEachPass) {
    const Site site{40.0, -75.0, 100.0, -4.0};
    const CliResult r =
        Cli(kTle + " --norad 25544 --site 40,-75,100,-4 --from 2017-04-27T12:00:00Z --days 2 --format json");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    const auto passes = Expected(2, 120, false, site);
    ASSERT_EQ(json.size(), passes.size());
    ASSERT_FALSE(passes.empty());
    const auto& first = json[0];
    EXPECT_EQ(first["aos"], "2017-04-27T13:27:50.000Z");
    EXPECT_EQ(first["los"], "2017-04-27T13:38:32.000Z");
    EXPECT_EQ(first["aos_direction"], "W");
    EXPECT_EQ(first["los_direction"], "NE");
    EXPECT_EQ(first["duration"], 642);
    EXPECT_NEAR(first["max_elevation"].get<double>(), passes[0].maxElevation, 1e-9);
    EXPECT_EQ(first["max_time"], "2017-04-27T13:33:11.000Z");
    EXPECT_NEAR(first["range_at_max"].get<double>(), passes[0].rangeAtMax, 1e-6);
    EXPECT_EQ(first["line"], Utf8Degree(PassListLine(passes[0], -4.0)));
}

TEST(CliPasses, CleanFailures) {
    CliResult r = Cli(kTle + " --norad 99999 --site 40,-75,100,-4");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("99999"), std::string::npos);
    EXPECT_EQ(Cli(kTle + " --norad 25544 --site 40,-75,100,-4 --days 0").code, 2);
    EXPECT_EQ(Cli(kTle + " --norad 25544 --site 40,-75,100,-4 --from yesterday").code, 2);
    EXPECT_EQ(Cli(kTle + " --norad 25544 --site 40,-75,100,-4 --aos-elevation 95").code, 2);
    EXPECT_EQ(Cli("--tle /nonexistent.tle --norad 25544 --site 40,-75,100,-4").code, 1);
}

// An object the model cannot place is an error with its reason, as look reports it, not an
// empty list that reads as "no passes"; stale elements are flagged.
TEST(CliPasses, AnObjectThatCannotBePropagatedSaysWhy) {
    CliResult r = Cli(kTle + " --norad 25544 --site 40,-75,100,-4 --from 2026-05-01T00:00:00Z");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "corvane-cli: 25544 ISS (ZARYA): orbit decayed at 2026-05-01T00:00:00.000Z (Elements are "
              "3290 days old)\n");

    const fs::path dir =
        fs::temp_directory_path() / ("corvane-cli-passes-noday-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "noday.tle")
        << "NO DAY\n"
           "1 25544U 98067A   00050.50000000 -.00158687  00000-0 -24621-2 0  9994\n"
           "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936\n";
    r = clitest::RunCli(dir, "passes --tle noday.tle --norad 25544 --site 40,-75,100,-4 --from 2017-04-28");
    fs::remove_all(dir);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("epoch has no day"), std::string::npos) << r.err;

    r = Cli(kTle + " --norad 25544 --site 40,-75,100,-4 --from 2017-06-01T00:00:00Z");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(r.out.empty());
    EXPECT_EQ(r.err, "corvane-cli: 25544 ISS (ZARYA): Elements are 34 days old\n");
    r = Cli(kTle + " --norad 25544 --site 40,-75,100,-4 --from 2017-06-01T00:00:00Z --format json");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto json = nlohmann::json::parse(r.out);
    ASSERT_FALSE(json.empty());
    EXPECT_GT(json[0]["epoch_age_days"].get<double>(), 34.0);
    EXPECT_EQ(json[0]["stale"], true);
    r = Cli(kTle + " --norad 25544 --site 40,-75,100,-4 --from 2017-04-28T00:00:00Z --format json");
    EXPECT_EQ(nlohmann::json::parse(r.out)[0]["stale"], false);
    // An empty --from is a wrong --from, whatever else is missing.
    r = Cli(kTle + " --norad 25544 --from=");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--from wants"), std::string::npos) << r.err;
}
