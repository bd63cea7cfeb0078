// corvane-cli list, driven from outside as a script would: the same entries as the object list,
// JSON, the observed list of the working folder, and clean failures.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "core/Clock.h"
#include "obslog/ObservedList.h"
#include "orbit/ElementCatalogue.h"
#include "passes/ObjectList.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

const std::string kTle = std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle";
const std::string kWhere = " --site 40,-75,100,-4 --at 2017-04-28T03:15:00Z";
const Site kSite{40.0, -75.0, 100.0, -4.0};
const double kInstant = CivilToJulianDate(2017, 4, 28, 3, 15, 0.0);

using ListRun = clitest::CliRun;

class CliList : public clitest::CliTest {
protected:
    ListRun Cli(const std::string& args) { return clitest::CliTest::Cli("list " + args); }

    static ObjectListResult Library(const ObjectFilters& f, const ObservedList& observed = ObservedList(),
                                    double jd = kInstant) {
        static auto catalogue = LoadElementFile(kTle).catalogue;
        AltitudeCache cache;
        return BuildObjectList(*catalogue, f, kSite, jd, observed, cache);
    }

    static std::vector<std::string> Expected(const ObjectListResult& r) {
        std::vector<std::string> lines;
        for (const auto& e : r.entries) lines.push_back(e.VisibleText());
        lines.push_back(r.status);
        return lines;
    }
};

TEST_F(CliList, TextMatchesTheObjectListForFilters) {
    ObjectFilters f;
    f.aboveHorizon = true;
    f.ascendingOnly = true;
    ListRun r = Cli("--tle '" + kTle + "'" + kWhere + " --above-horizon --ascending");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines(), Expected(Library(f)));

    f = ObjectFilters();
    f.elevationAbove = true;
    f.elevationLimit = "20";
    f.direction = "SW";
    f.altitudeClass = "High";
    f.listByNorad = true;
    r = Cli("--tle '" + kTle + "'" + kWhere +
            " --elevation-above 20 --direction sw --altitude HIGH --by-norad");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines(), Expected(Library(f)));
    ASSERT_GT(r.Lines().size(), 1u);
    EXPECT_EQ(r.Lines()[0].substr(19), " [ SW ]");

    // The timing offset moves the instant.
    f = ObjectFilters();
    f.sunOnly = true;
    f.geostationaryOnly = true;
    r = Cli("--tle '" + kTle +
            "' --site 40,-75,100,-4 --jd 2457871.6 --timing-offset 120 --sunlit --geostationary");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines(), Expected(Library(f, ObservedList(), 2457871.6 + 120.0 / 86400.0)));
}

TEST_F(CliList, JsonAndTheObservedListOfTheWorkingFolder) {
    ObservedList observed;
    observed.MarkObserved(25544);
    observed.SetFavourite(25544, true);
    ASSERT_TRUE(observed.Save((dir_ / kObservedFileName).string()));
    ListRun r = Cli("--tle '" + kTle + "'" + kWhere + " --favorites --format json");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j.size(), 2u);  // the ISS is in the file twice
    for (const auto& e : j) {
        EXPECT_EQ(e["norad"], 25544);
        EXPECT_EQ(e["name"], "ISS (ZARYA)");
        for (const char* key : {"index", "azimuth", "elevation", "height", "eclipsed"})
            EXPECT_TRUE(e.contains(key));
        EXPECT_GT(e["height"].get<double>(), 300.0);
        EXPECT_EQ(e["stale"], false);
        EXPECT_LT(e["epoch_age_days"].get<double>(), 2.0);
    }
    // Two months on, both copies are flagged: one line on standard error, "stale" in JSON.
    r = Cli("--tle '" + kTle + "' --site 40,-75,100,-4 --at 2017-07-01T00:00:00Z --favorites");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "corvane-cli: 2 of 2 element sets are more than 30 days old\n");
    r = Cli("--tle '" + kTle + "' --site 40,-75,100,-4 --at 2017-07-01T00:00:00Z --favorites --format json");
    EXPECT_EQ(nlohmann::json::parse(r.out)[0]["stale"], true);
    ObjectFilters f;
    f.favorites = true;
    const ObjectListResult lib = Library(f, observed);
    EXPECT_EQ(j[0]["index"], lib.entries[0].index);
    EXPECT_DOUBLE_EQ(j[0]["azimuth"].get<double>(), lib.entries[0].azimuth);

    r = Cli("--tle '" + kTle + "'" + kWhere + " --never-observed");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines().back(),
              std::to_string(LoadElementFile(kTle).catalogue->Count() - 2) + " object(s) available.");

    // Nothing passes: the count line alone; JSON an empty array.
    r = Cli("--tle '" + kTle + "'" + kWhere + " --elevation-above 90");
    EXPECT_EQ(r.out, "No objects available.\n");
    r = Cli("--tle '" + kTle + "'" + kWhere + " --elevation-above 90 --format json");
    EXPECT_EQ(nlohmann::json::parse(r.out).size(), 0u);
}

TEST_F(CliList, UsageAndDataErrors) {
    const std::string tle = " --tle '" + kTle + "'";
    for (const std::string& bad :
         {tle + kWhere + " --direction NNE", tle + kWhere + " --altitude medium",
          tle + kWhere + " --format xml", tle + " --site 40,-75 --jd 2457871.6",
          tle + " --site 40,-75,100 --at yesterday",
          tle + " --site 40,-75,100 --at 2017-04-28T03:15:00Z --jd 2457871.6",
          tle + kWhere + " --elevation-above high", tle + " --jd 2457871.6", std::string(kWhere)}) {
        ListRun r = Cli(bad);
        EXPECT_EQ(r.code, 2) << bad << "\n" << r.out;
        EXPECT_FALSE(r.err.empty()) << bad;
    }
    ListRun r = Cli("--tle '" + (dir_ / "missing.tle").string() + "'" + kWhere);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Could not open"), std::string::npos);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

}  // namespace
