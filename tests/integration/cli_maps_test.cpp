// corvane-cli groundtrack and skychart, driven from outside as a script would.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CliRunner.h"

namespace {

class CliMaps : public clitest::CliTest {
protected:
    static std::string Catalogue() { return std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle"; }
};

TEST_F(CliMaps, GroundTrackJsonAndText) {
    const auto run = Cli("groundtrack --tle " + Catalogue() +
                         " --norad 25544 --at 2017-04-28T12:42:00Z --minutes 10 --format json");
    ASSERT_EQ(run.code, 0) << run.err;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["norad"], 25544);
    ASSERT_EQ(j["points"].size(), 11u);
    EXPECT_EQ(j["points"][0]["time"], "2017-04-28T12:42:00.000Z");
    for (const auto& p : j["points"]) {
        EXPECT_LE(std::fabs(p["latitude"].get<double>()), 52.0);
        EXPECT_NEAR(p["footprint_radius_deg"].get<double>(), 20.0, 1.5);
        EXPECT_TRUE(p["sunlit"].is_boolean());
    }
    EXPECT_EQ(j["footprint"].size(), 361u);
    // Lower case "z", no "Z" at all: the same instant.
    const auto text =
        Cli("groundtrack --tle " + Catalogue() + " --norad 25544 --at 2017-04-28T12:42:00 --minutes 2");
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("2017-04-28T12:42:00.000Z"), std::string::npos);
    EXPECT_EQ(Cli("groundtrack --tle " + Catalogue() + " --norad 25544 --minutes -3").code, 2);
    EXPECT_NE(Cli("groundtrack --tle " + Catalogue() + " --norad 1").code, 0);
}

TEST_F(CliMaps, SkyChartWritesAnSvg) {
    const auto run = Cli("skychart --tle " + Catalogue() +
                         " --norad 25544 --site 45.5,-73.6,50,-4 --at 2017-04-28T12:42:00Z --svg sky.svg");
    ASSERT_EQ(run.code, 0) << run.err;
    std::ifstream in(dir_ / "sky.svg");
    std::stringstream svg;
    svg << in.rdbuf();
    EXPECT_EQ(svg.str().rfind("<svg", 0), 0u);
    EXPECT_NE(svg.str().find("ISS (ZARYA)  NORAD: 25544"), std::string::npos);
    EXPECT_EQ(svg.str().find("Object below horizon."), std::string::npos);
    EXPECT_EQ(Cli("skychart --tle " + Catalogue() + " --norad 25544 --site 45.5,-73.6,50,-4").code,
              2);  // no --svg
}

}  // namespace
