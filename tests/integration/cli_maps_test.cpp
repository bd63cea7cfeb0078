// corvane-cli groundtrack and skychart, driven from outside as a script would.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// The picture is written through a link to its file, keeping the file's mode; a pipe is refused at
// once instead of blocking; a name with control characters still gives well-formed XML.
TEST_F(CliMaps, SkyChartRespectsTheFileItWritesAndItsName) {
    const std::string args = " --norad 25544 --site 45.5,-73.6,50,-4 --at 2017-04-28T12:42:00Z --svg ";
    Write("mine.svg", "old");
    std::filesystem::permissions(dir_ / "mine.svg", std::filesystem::perms(0600));
    std::filesystem::create_symlink("mine.svg", dir_ / "link.svg");
    auto run = Cli("skychart --tle " + Catalogue() + args + "link.svg");
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.svg"));
    EXPECT_EQ(std::filesystem::status(dir_ / "mine.svg").permissions(), std::filesystem::perms(0600));
    std::ifstream in(dir_ / "mine.svg");
    std::stringstream svg;
    svg << in.rdbuf();
    EXPECT_EQ(svg.str().rfind("<svg", 0), 0u);

    ASSERT_EQ(::mkfifo((dir_ / "pipe.svg").c_str(), 0644), 0);
    run = Cli("skychart --tle " + Catalogue() + args + "pipe.svg");
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("a pipe"), std::string::npos) << run.err;

    Write("named.tle",
          "I\x01\x1b]52;c;aGk=\x07&<\xc3\xa9>\n"
          "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992\n"
          "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936\n");
    run = Cli("skychart --tle named.tle" + args + "named.svg");
    ASSERT_EQ(run.code, 0) << run.err;
    std::ifstream named(dir_ / "named.svg", std::ios::binary);
    std::stringstream text;
    text << named.rdbuf();
    for (char c : text.str()) EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n') << int(c);
    EXPECT_NE(text.str().find("I\xEF\xBF\xBD\xEF\xBF\xBD]52;c;aGk=\xEF\xBF\xBD&amp;&lt;\xC3\xA9&gt;  NORAD"),
              std::string::npos);
}

}  // namespace
