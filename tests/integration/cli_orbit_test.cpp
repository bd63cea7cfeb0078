// corvane-cli elements, propagate and look, driven from outside as a script would.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "astro/Sun.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

class CliOrbit : public clitest::CliTest {
protected:
    static std::string Catalogue() { return std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle"; }
};

const std::string kTestSets =
    "SGP4 TEST\n"
    "1 88888U          80275.98708465  .00073094  13844-3  66816-4 0    87\n"
    "2 88888  72.8435 115.9689 0086731  52.6988 110.5714 16.05824518  1058\n"
    "MINOTAUR R/B\n"
    "1 28872U 05037B   05333.02012661  .25992681  00000-0  24476-3 0  1534\n"
    "2 28872  96.4736 157.9986 0303955 244.0492 110.6523 16.46015938 10708\n"
    "NO DAY\n"
    "1 25544U 98067A   00050.50000000 -.00158687  00000-0 -24621-2 0  9994\n"
    "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936\n";

void ExpectOneLineError(const clitest::CliRun& r, int code) {
    EXPECT_EQ(r.code, code) << r.err;
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.err.rfind("corvane-cli: ", 0), 0u) << r.err;
}

}  // namespace

TEST_F(CliOrbit, ElementsListsWhatTheLoaderCounts) {
    const clitest::CliRun r = Cli("elements --tle '" + Catalogue() + "'");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 1890u);
    EXPECT_EQ(lines.back(), "1889 total.");
    EXPECT_EQ(lines.front(), "    1  7530 OSCAR 7 (AO-7)");
    const clitest::CliRun j = Cli("elements --tle '" + Catalogue() + "' --format json");
    ASSERT_EQ(j.code, 0);
    const auto doc = nlohmann::ordered_json::parse(j.out);
    EXPECT_EQ(doc["count"], 1889);
    const int iss = LoadElementFile(Catalogue()).catalogue->IssIndex();
    EXPECT_EQ(doc["objects"][iss - 1]["norad"], 25544);
    EXPECT_EQ(doc["objects"][iss - 1]["index"], iss);
    EXPECT_EQ(doc["objects"][iss - 1]["name"], "ISS (ZARYA)");
    const clitest::CliRun empty = Cli("elements --tle '" + Write("empty.tle", "") + "'");
    EXPECT_EQ(empty.code, 0);
    EXPECT_EQ(empty.out, "No objects.\n");
}

// The published test case of Spacetrack Report No. 3, through the command line.
TEST_F(CliOrbit, PropagateReproducesTheReportTestCase) {
    const std::string file = Write("sets.tle", kTestSets);
    const clitest::CliRun r = Cli("propagate --tle '" + file + "' --norad 88888 --tsince 0:1440:360");
    ASSERT_EQ(r.code, 0) << r.err;
    const double published[5][7] = {
        {0, 2328.97048951, -5995.22076416, 1719.97067261, 2.91207230, -0.98341546, -7.09081703},
        {360, 2456.10705566, -6071.93853760, 1222.89727783, 2.67938992, -0.44829041, -7.22879231},
        {720, 2567.56195068, -6112.50384522, 713.96397400, 2.44024599, 0.09810869, -7.31995916},
        {1080, 2663.09078980, -6115.48229980, 196.39640427, 2.19611958, 0.65241995, -7.36282432},
        {1440, 2742.55133057, -6079.67144775, -326.38095856, 1.94850229, 1.21106251, -7.35619372}};
    const auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        std::istringstream in(lines[i]);
        double v[7];
        for (double& x : v) in >> x;
        ASSERT_FALSE(in.fail()) << lines[i];
        EXPECT_DOUBLE_EQ(v[0], published[i][0]);
        for (int k = 1; k < 4; ++k) EXPECT_NEAR(v[k], published[i][k], 0.05);
        for (int k = 4; k < 7; ++k) EXPECT_NEAR(v[k], published[i][k], 2e-5);
    }
}

TEST_F(CliOrbit, PropagateByInstantsAndJsonWithErrors) {
    const std::string file = Write("sets.tle", kTestSets);
    const clitest::CliRun r =
        Cli("propagate --tle '" + Catalogue() +
            "' --norad 25544 --from 2017-04-28T00:00:00Z --to 2017-04-28T00:10:00Z --step 60 --format json");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto rows = nlohmann::ordered_json::parse(r.out);
    ASSERT_EQ(rows.size(), 11u);
    const std::vector<std::string> keys = {"tsince", "jd", "x", "y", "z", "vx", "vy", "vz"};
    for (size_t i = 0; i < rows.size(); ++i) {
        std::vector<std::string> got;
        for (auto it = rows[i].begin(); it != rows[i].end(); ++it) got.push_back(it.key());
        EXPECT_EQ(got, keys);
        EXPECT_NEAR(rows[i]["jd"].get<double>(), 2457871.5 + i / 1440.0, 1e-8);
    }
    EXPECT_NEAR(rows[1]["tsince"].get<double>() - rows[0]["tsince"].get<double>(), 1.0, 1e-6);

    // The sub-orbital rocket body decays after 50 minutes: error rows, no numbers.
    const clitest::CliRun d =
        Cli("propagate --tle '" + file + "' --norad 28872 --tsince 45:60:5 --format json");
    ASSERT_EQ(d.code, 0) << d.err;
    const auto drows = nlohmann::ordered_json::parse(d.out);
    ASSERT_EQ(drows.size(), 4u);
    EXPECT_TRUE(drows[1].contains("x"));
    EXPECT_EQ(drows[2]["error"], "orbit decayed");
    EXPECT_FALSE(drows[3].contains("x"));
    const clitest::CliRun t = Cli("propagate --tle '" + file + "' --index 2 --tsince 50:55:5");
    EXPECT_NE(t.out.find("55.00000000 error: orbit decayed"), std::string::npos) << t.out;
    EXPECT_EQ(t.out.find("nan"), std::string::npos);
}

TEST_F(CliOrbit, LookGivesTheLibrarysNumbersAsJson) {
    const clitest::CliRun r =
        Cli("look --tle '" + Catalogue() +
            "' --norad 25544 --at 2017-04-28T03:15:00Z --site 38.9,-77.0,100,-4 --format json");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto j = nlohmann::ordered_json::parse(r.out);
    std::vector<std::string> got;
    for (auto it = j.begin(); it != j.end(); ++it) got.push_back(it.key());
    EXPECT_EQ(got, (std::vector<std::string>{"norad", "name", "jd", "azimuth", "elevation", "range",
                                             "range_rate", "ra", "dec", "latitude", "longitude", "height",
                                             "eclipsed", "visible", "epoch_age_days", "stale"}));
    EXPECT_EQ(j["stale"], false);
    EXPECT_NEAR(j["epoch_age_days"].get<double>(), 2457871.6354166665 - (2457870.5 + 0.89041289), 1e-6);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(j["eclipsed"].is_boolean());
    EXPECT_TRUE(j["visible"].is_boolean());
    EXPECT_EQ(j["norad"], 25544);

    auto catalogue = LoadElementFile(Catalogue()).catalogue;
    PropagationSlot slot;
    ConvertElementSet(*catalogue, catalogue->FindCatalogueNumber(25544), slot);
    const double jd = 2457871.6354166665;
    PropagationResult p = PropagateSlot(jd, slot);
    ASSERT_TRUE(p.Ok());
    ConvertState(p);
    Site s;
    s.latitude = 38.9;
    s.longitude = -77.0;
    s.altitude = 100;
    GeodeticPoint site = SitePoint(s);
    const LookAngles look = ComputeLookAngles(p.position, p.velocity, site, jd);
    const LookAngles radec = ComputeRADec(p.position, p.velocity, site, jd);
    const GeodeticPoint sub = ComputeSubPoint(p.position, jd);
    EXPECT_NEAR(j["jd"].get<double>(), jd, 1e-9);
    EXPECT_NEAR(j["azimuth"].get<double>(), Degrees(look.azimuth), 1e-6);
    EXPECT_NEAR(j["elevation"].get<double>(), Degrees(look.elevation), 1e-6);
    EXPECT_NEAR(j["range"].get<double>(), look.range, 1e-5);
    EXPECT_NEAR(j["range_rate"].get<double>(), look.rangeRate, 1e-8);
    EXPECT_NEAR(j["ra"].get<double>(), Degrees(radec.azimuth) / 15.0, 1e-7);
    EXPECT_NEAR(j["dec"].get<double>(), Degrees(radec.elevation), 1e-6);
    EXPECT_NEAR(j["latitude"].get<double>(), Degrees(sub.latitude), 1e-6);
    EXPECT_NEAR(j["longitude"].get<double>(), Degrees(sub.longitude), 1e-6);
    EXPECT_NEAR(j["height"].get<double>(), sub.altitude, 1e-5);
    EXPECT_EQ(j["eclipsed"].get<bool>(), IsEclipsed(p.position, ComputeSunVector(jd)));
    EXPECT_EQ(j["visible"].get<bool>(), look.visible);

    const clitest::CliRun text =
        Cli("look --tle '" + Catalogue() + "' --norad 25544 --jd 2457871.6354166665 --site 38.9,-77,100");
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("Object       25544 ISS (ZARYA)"), std::string::npos);
    EXPECT_NE(text.out.find("2017-04-28T03:15:00.000Z"), std::string::npos);
}

// Without --site the current site of ConfigFile.ini in the working folder is used, read with
// the settings file's rules.
TEST_F(CliOrbit, LookReadsTheSiteFromConfigFile) {
    Write("ConfigFile.ini",
          "; comment line\r\n"
          "     LastLocation=2 ; the second site\r\n"
          "locationlatitude2 = 10\r\n"
          "LOCATIONLATITUDE2=51.5\r\n"
          "LOCATIONLONGITUDE2=-0.13\r\n"
          "LOCATIONALTITUDE2=35\r\n"
          "LOCATIONUTCOFFSET2=abc\r\n"
          "LOCATIONLATITUDE1=-33\r\n");
    const std::string base =
        "look --tle '" + Catalogue() + "' --norad 25544 --at 2017-04-28T03:15:00Z --format json";
    const clitest::CliRun fromFile = Cli(base);
    ASSERT_EQ(fromFile.code, 0) << fromFile.err;
    const clitest::CliRun explicitSite = Cli(base + " --site 51.5,-0.13,35,0");
    EXPECT_EQ(nlohmann::ordered_json::parse(fromFile.out), nlohmann::ordered_json::parse(explicitSite.out));
    // LastLocation outside 1..3 means site 1.
    Write("ConfigFile.ini", "LastLocation=7\r\nLOCATIONLATITUDE1=-33\r\nLOCATIONLONGITUDE1=151\r\n");
    const clitest::CliRun first = Cli(base);
    EXPECT_EQ(nlohmann::ordered_json::parse(first.out),
              nlohmann::ordered_json::parse(Cli(base + " --site -33,151,0").out));
}

TEST_F(CliOrbit, UsageAndDataErrorsExitWithOneLine) {
    const std::string file = Write("sets.tle", kTestSets);
    const std::string cat = "--tle '" + Catalogue() + "' ";
    ExpectOneLineError(Cli("elements --tle '" + (dir_ / "missing.tle").string() + "'"), 1);
    ExpectOneLineError(Cli("look " + cat + "--norad 25544 --at yesterday --site 1,2,3"), 2);
    ExpectOneLineError(Cli("look " + cat + "--norad 12 --at 2017-04-28T03:15:00Z --site 1,2,3"), 1);
    ExpectOneLineError(Cli("look " + cat + "--norad 25544 --index 3 --jd 2457871.5 --site 1,2,3"), 2);
    ExpectOneLineError(Cli("look " + cat + "--index 3 --jd 2457871.5 --site 1,2"), 2);
    ExpectOneLineError(Cli("look " + cat + "--index 3 --jd 2457871.5 --site 95,2,3"), 2);
    ExpectOneLineError(Cli("look " + cat + "--index 3 --jd 2457871.5"), 2);  // no ConfigFile.ini here
    ExpectOneLineError(Cli("look " + cat + "--index 9999 --jd 2457871.5 --site 1,2,3"), 1);
    ExpectOneLineError(Cli("look " + cat + "--index 3 --jd 2457871.5 --site 1,2,3 --format xml"), 2);
    ExpectOneLineError(Cli("propagate " + cat + "--index 3 --tsince 0:10:0"), 2);
    ExpectOneLineError(Cli("propagate " + cat + "--index 3 --tsince 10:0:1"), 2);
    ExpectOneLineError(Cli("propagate " + cat + "--index 3 --tsince 0:1e9:0.0001"), 2);
    ExpectOneLineError(Cli("propagate " + cat + "--index 3 --from 2017-04-28 --step 60"), 2);
    ExpectOneLineError(Cli("propagate " + cat + "--index 3"), 2);
    ExpectOneLineError(Cli("propagate --tle '" + file + "' --index 3 --tsince 0:10:1"),
                       1);  // epoch has no day
    ExpectOneLineError(Cli("look --tle '" + file + "' --norad 28872 --jd 2453703.5583 --site 1,2,3"),
                       1);  // decayed
    ExpectOneLineError(Cli("look " + cat), 2);
    const clitest::CliRun garbage = Cli("look --tle '" + Write("garbage.tle", std::string(500, '\x07')) +
                                        "' --index 1 --jd 2457871.5 --site 1,2,3");
    EXPECT_NE(garbage.code, 0);
    EXPECT_EQ(garbage.out.find("nan"), std::string::npos);
}

TEST_F(CliOrbit, Latin1NamesComeOutAsUtf8) {
    // An element file from a Latin-1 system: the name holds the byte 0xC9 ("É").
    const std::string file =
        Write("latin1.tle",
              "SAT\xC9LITE\r\n"
              "1 88888U          80275.98708465  .00073094  13844-3  66816-4 0    87\r\n"
              "2 88888  72.8435 115.9689 0086731  52.6988 110.5714 16.05824518  1058\r\n");
    const clitest::CliRun e = Cli("elements --tle '" + file + "' --format json");
    ASSERT_EQ(e.code, 0) << e.err;
    EXPECT_EQ(nlohmann::json::parse(e.out)["objects"][0]["name"], "SAT\xC3\x89LITE");
    const clitest::CliRun l =
        Cli("look --tle '" + file + "' --norad 88888 --jd 2444514.5 --site 0,0,0 --format json");
    ASSERT_EQ(l.code, 0) << l.err;
    EXPECT_EQ(nlohmann::json::parse(l.out)["name"], "SAT\xC3\x89LITE");
}

// Beyond the catalogue's 100000 objects the rest is said aloud: the count kept of the count read,
// and an object left out is "not kept", not "not in the file".
TEST_F(CliOrbit, ObjectsBeyondTheCapacityAreNamedNotHidden) {
    const std::string set =
        "ISS (ZARYA)\n"
        "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992\n"
        "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936\n";
    std::string big;
    big.reserve(set.size() * 100001);
    for (int i = 0; i < 100000; ++i) big += set;
    big +=
        "LATE ONE\n"
        "1 F0000U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  999\n"
        "2 F0000  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 5393\n";
    const std::string file = Write("big.tle", big);
    const clitest::CliRun e = Cli("elements --tle '" + file + "'");
    ASSERT_EQ(e.code, 0) << e.err;
    EXPECT_EQ(e.Lines().back(), "100000 total. Kept 100000 of 100001 objects.");
    const clitest::CliRun l = Cli("look --tle '" + file + "' --norad F0000 --jd 2457872.0 --site 0,0,0");
    EXPECT_EQ(l.code, 1);
    EXPECT_NE(l.err.find("Kept 100000 of 100001 objects."), std::string::npos) << l.err;
    EXPECT_NE(l.err.find("object 150000 is in"), std::string::npos) << l.err;
    EXPECT_NE(l.err.find("was not kept"), std::string::npos) << l.err;
    EXPECT_NE(Cli("look --tle '" + file + "' --norad F0001 --jd 2457872.0 --site 0,0,0")
                  .err.find("no object 150001"),
              std::string::npos);
}

// An epoch of exactly 0 h is day .0 of that day, through the whole command line.
TEST_F(CliOrbit, AnEpochAtMidnightIsUsable) {
    const std::string file = Write("midnight.tle",
                                   "ISS MIDNIGHT\n"
                                   "1 25544U 98067A   17118.00000000 -.00158687  00000-0 -24621-2 0  9992\n"
                                   "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936\n");
    const clitest::CliRun r = Cli(
        "look --tle '" + file + "' --norad 25544 --at 2017-04-28T00:10:00Z --site 40,-75,100 --format json");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NEAR(nlohmann::json::parse(r.out)["epoch_age_days"].get<double>(), 10.0 / 1440.0, 1e-6);
    const clitest::CliRun p = Cli("propagate --tle '" + file + "' --norad 25544 --tsince 0:10:5");
    EXPECT_EQ(p.code, 0) << p.err;
}

// Nine years on, the April 2017 ISS set: the model's decay is reported with the age, never a
// range of millions of kilometres; a stale but usable set is flagged on standard error.
TEST_F(CliOrbit, StaleElementsAreFlaggedAndADecayedOrbitIsAnError) {
    const std::string cat = "--tle '" + Catalogue() + "' --norad 25544 --site 45,-73,50,-5 ";
    clitest::CliRun r = Cli("look " + cat + "--at 2026-05-01T00:00:00Z");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "corvane-cli: 25544 ISS (ZARYA): orbit decayed at 2026-05-01T00:00:00.000Z (Elements are "
              "3290 days old)\n");
    r = Cli("look " + cat + "--at 2017-06-01T00:00:00Z");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "corvane-cli: 25544 ISS (ZARYA): Elements are 34 days old\n");
    r = Cli("look " + cat + "--at 2017-06-01T00:00:00Z --format json");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["stale"], true);
    EXPECT_EQ(r.err, "");

    // elements: the age now of every set, one summary line for text.
    r = Cli("elements --tle '" + Catalogue() + "'");
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "corvane-cli: 1889 of 1889 element sets are more than 30 days old\n");
    r = Cli("elements --tle '" + Catalogue() + "' --format json");
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["objects"][0]["stale"], true);
    EXPECT_GT(doc["objects"][0]["epoch_age_days"].get<double>(), 3000.0);
}

// Random bytes are no element file: said so, exit 1, instead of objects made of their lines.
TEST_F(CliOrbit, AFileWithoutElementSetsIsAnError) {
    std::string garbage(5000, '\0');
    unsigned seed = 20170427;
    for (char& c : garbage) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    const std::string file = Write("garbage.tle", garbage);
    for (const std::string& command :
         {"elements --tle '" + file + "'", "look --tle '" + file + "' --index 1 --jd 2457871.5 --site 1,2,3",
          "list --tle '" + file + "' --jd 2457871.5 --site 1,2,3"}) {
        const clitest::CliRun r = Cli(command);
        ExpectOneLineError(r, 1);
        EXPECT_EQ(r.err, "corvane-cli: No element sets found in " + file + "\n") << command;
        EXPECT_EQ(r.out, "") << command;
    }
    // CR-only line ends are line ends.
    std::string cr = kTestSets;
    for (char& c : cr)
        if (c == '\n') c = '\r';
    const clitest::CliRun r = Cli("elements --tle '" + Write("cr.tle", cr) + "'");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines().back(), "3 total.");
}

// Control characters of a name never reach the terminal raw, nor the JSON.
TEST_F(CliOrbit, ControlCharactersInNamesAreReplaced) {
    const std::string file =
        Write("esc.tle",
              "EVIL\x1B]0;owned\x07\x9B"
              "2J\r\n"
              "1 88888U          80275.98708465  .00073094  13844-3  66816-4 0    87\r\n"
              "2 88888  72.8435 115.9689 0086731  52.6988 110.5714 16.05824518  1058\r\n");
    const std::string kReplacement = "\xEF\xBF\xBD";
    const std::string shown = "EVIL" + kReplacement + "]0;owned" + kReplacement + kReplacement + "2J";
    clitest::CliRun r = Cli("elements --tle '" + file + "'");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines().front(), "    1 88888 " + shown);
    r = Cli("elements --tle '" + file + "' --format json");
    EXPECT_EQ(nlohmann::json::parse(r.out)["objects"][0]["name"], shown);
    r = Cli("look --tle '" + file + "' --norad 88888 --jd 2444514.5 --site 0,0,0");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Object       88888 " + shown + "\n"), std::string::npos) << r.out;
    r = Cli("list --tle '" + file + "' --jd 2444514.5 --site 0,0,0");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.find('\x1B'), std::string::npos);
    EXPECT_NE(r.out.find("EVIL" + kReplacement), std::string::npos) << r.out;
}

// The site of ConfigFile.ini must be a site: an empty file, a foreign one or latitude 95 is
// refused as the same text after --site would be; an empty --at or --site says what is wrong
// with it, not that some other thing is missing.
TEST_F(CliOrbit, InvalidSitesAndEmptyOptionsAreUsageErrors) {
    const std::string base = "look --tle '" + Catalogue() + "' --norad 25544 --at 2017-04-28T03:15:00Z";
    for (const std::string& config : {std::string(), std::string("\x89PNG\r\n\x1A\n garbage"),
                                      std::string("LOCATIONLATITUDE1=95\r\nLOCATIONLONGITUDE1=10\r\n"),
                                      std::string("LOCATIONLATITUDE1=north\r\nLOCATIONLONGITUDE1=10\r\n")}) {
        Write("ConfigFile.ini", config);
        const clitest::CliRun r = Cli(base);
        ExpectOneLineError(r, 2);
        EXPECT_NE(r.err.find("ConfigFile.ini has no valid current site"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    Write("ConfigFile.ini", "LOCATIONLATITUDE1=45\r\nLOCATIONLONGITUDE1=10\r\n");
    EXPECT_EQ(Cli(base).code, 0);

    std::filesystem::remove(dir_ / "ConfigFile.ini");
    const std::string object = "look --tle '" + Catalogue() + "' --norad 25544";
    for (const std::string& args :
         {object + " --at=", object + " --at ''", "look --at= --tle '" + Catalogue() + "' --norad 25544"}) {
        const clitest::CliRun r = Cli(args);
        ExpectOneLineError(r, 2);
        EXPECT_EQ(r.err,
                  "corvane-cli: --at wants an ISO 8601 UTC time such as 2017-04-28T03:15:00Z, got \"\"\n")
            << args;
    }
    clitest::CliRun r = Cli(object + " --jd= --site 1,2,3");
    EXPECT_EQ(r.err, "corvane-cli: --jd wants a Julian date, got \"\"\n");
    r = Cli(object + " --at 2017-04-28T03:15:00Z --site=");
    EXPECT_EQ(r.err, "corvane-cli: --site wants LAT,LON,ALT_M[,UTC_OFFSET] as numbers, got \"\"\n");
}

// Alpha-5 objects: --norad takes either form, JSON gives the number as an integer, and OMM
// files load like three-line ones.
TEST_F(CliOrbit, Alpha5NumbersAndOmmFiles) {
    const std::string data = CORVANE_TEST_DATA;
    for (const char* given : {"A0000", "a0000", "100000"}) {
        const clitest::CliRun r = Cli("look --tle '" + data + "/omm-sample.csv' --norad " + given +
                                      " --at 2017-04-28T03:15:00Z --site 40,-75,100,-4 --format json");
        ASSERT_EQ(r.code, 0) << given << ": " << r.err;
        const auto doc = nlohmann::ordered_json::parse(r.out);
        EXPECT_EQ(doc["norad"], 100000);
        EXPECT_TRUE(doc["norad"].is_number_integer());
    }
    const clitest::CliRun text =
        Cli("look --tle '" + data +
            "/omm-sample.xml' --norad A0000 --at 2017-04-28T03:15:00Z --site 40,-75,100,-4");
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("100000 SAUDISAT 1C (SO-50)"), std::string::npos) << text.out;
    EXPECT_NE(Cli("look --tle '" + data + "/omm-sample.xml' --norad I0000 --site 40,-75,100,-4").code, 0);
    const clitest::CliRun j = Cli("elements --tle '" + data + "/omm-sample.xml' --format json");
    ASSERT_EQ(j.code, 0) << j.err;
    EXPECT_EQ(nlohmann::ordered_json::parse(j.out)["objects"][5]["norad"], 100000);
}
