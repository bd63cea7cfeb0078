// corvane-cli track against corvane-mountsim through a real pseudo-terminal, on the clock of an
// April 2017 ISS pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "integration/ChildProcess.h"
#include "integration/CliRunner.h"
#include "scope/TrackingDriver.h"

using namespace corvane;
using corvane::test::ChildProcess;

namespace {

const std::string kTle = std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle";
const std::string kSite = "40,-75,100,-4";
const std::string kStart = "2017-04-28T12:40:10";  // a minute before the ISS culminates at 58 degrees

std::string Cli() { return std::string(CORVANE_BIN_DIR) + "/src/corvane-cli"; }

std::filesystem::path ScratchFolder(const char* name) {
    const auto dir =
        std::filesystem::temp_directory_path() / (std::string(name) + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace

TEST(MountsimTrack, CliFollowsTheIssWithTheSimulatedLx200) {
    const auto dir = ScratchFolder("corvane-track-");
    const std::string log = (dir / "pointing.txt").string();
    ChildProcess sim({corvane::test::MountsimPath(), "--model", "lx200", "--site", kSite, "--start", kStart,
                      "--pointing-log", log, "--max-runtime", "90", "--exit-with-parent"});
    const std::string device = corvane::test::StartMountsim(sim);
    ASSERT_FALSE(device.empty());

    ChildProcess track({Cli(), "track", "--interface", "LX200", "--device", device, "--tle", kTle, "--norad",
                        "25544", "--site", kSite, "--start", kStart, "--duration", "25", "--method", "0"},
                       {}, true);
    const auto [code, output] = track.Finish(60.0);
    EXPECT_EQ(code, 0) << output;
    EXPECT_NE(output.find("R.A. Tracking to 18 hr"), std::string::npos) << output;
    EXPECT_NE(output.find("tracking ended after"), std::string::npos) << output;
    sim.Stop();

    // Where the mount pointed while it tracked (18 to 24 s, after the intercept slew), against where
    // the ISS was at each moment: the median separation.
    const auto catalogue = LoadElementFile(kTle).catalogue;
    PropagationSlot slot(kSlotPassPrediction);
    const double startUtc = CivilToJulianDate(2017, 4, 28, 12, 40, 10.0);
    const double rad = 3.14159265358979323846 / 180.0;
    std::vector<double> separations;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        int y, mo, d, h, mi;
        double s, az, alt, ra, dec;
        if (line.empty() || line[0] == '#' ||
            std::sscanf(line.c_str(), "%d-%d-%d %d:%d:%lf %lf %lf %lf %lf", &y, &mo, &d, &h, &mi, &s, &az,
                        &alt, &ra, &dec) != 10) {
            continue;
        }
        const double utc = CivilToJulianDate(y, mo, d, h, mi, s);
        if (utc < startUtc + 18.0 / 86400 || utc > startUtc + 24.0 / 86400) continue;
        const CycleTarget iss = ComputeCycleTarget(*catalogue, catalogue->IssIndex(), utc,
                                                   Site{40.0, -75.0, 100.0, -4.0}, 0.0, slot);
        ASSERT_TRUE(iss.ok);
        separations.push_back(std::acos(std::sin(alt * rad) * std::sin(iss.elevationDeg * rad) +
                                        std::cos(alt * rad) * std::cos(iss.elevationDeg * rad) *
                                            std::cos((az - iss.azimuthDeg) * rad)) /
                              rad);
    }
    ASSERT_GT(separations.size(), 20u);
    std::nth_element(separations.begin(), separations.begin() + separations.size() / 2, separations.end());
    EXPECT_LT(separations[separations.size() / 2], 2.0);
    std::filesystem::remove_all(dir);
}

TEST(MountsimTrack, LogFileInterfaceNeedsNoMountAndBadInputIsRefused) {
    const auto dir = ScratchFolder("corvane-track-log-");
    ChildProcess track({Cli(), "track", "--interface", "LOGFILE", "--tle", kTle, "--norad", "25544", "--site",
                        kSite, "--start", kStart, "--duration", "1", "--log-folder", dir.string()},
                       {}, true);
    const auto [code, output] = track.Finish(30.0);
    EXPECT_EQ(code, 0) << output;
    std::ifstream in(dir / "log25544.txt");
    std::string line;
    int records = 0;
    while (std::getline(in, line)) records += line.rfind("20170428|12:40:", 0) == 0 ? 1 : 0;
    EXPECT_GT(records, 20);

    ChildProcess missing({Cli(), "track", "--interface", "LX200", "--tle", kTle, "--norad", "99999"}, {},
                         true);
    EXPECT_EQ(missing.Finish(30.0).first, 1);
    ChildProcess badMethod(
        {Cli(), "track", "--interface", "LX200", "--tle", kTle, "--norad", "25544", "--method", "9"}, {},
        true);
    EXPECT_EQ(badMethod.Finish(30.0).first, 2);
    ChildProcess noMount({Cli(), "track", "--interface", "LX200", "--device", (dir / "no-such-tty").string(),
                          "--tle", kTle, "--norad", "25544", "--duration", "1"},
                         {}, true);
    EXPECT_EQ(noMount.Finish(30.0).first, 1);
    std::filesystem::remove_all(dir);
}

// Interface codes and the start instant are checked before anything reaches a mount: unknown
// codes and impossible dates are usage errors; a code in lower case and a "Z" are accepted.
TEST(MountsimTrack, InterfaceCodesAndStartTimesAreCheckedFirst) {
    const auto dir = ScratchFolder("corvane-track-options-");
    const std::string device = (dir / "mount").string();
    std::ofstream(device).flush();
    const std::string object = " --tle '" + kTle + "' --norad 25544 --site " + kSite + " --duration 1";
    for (const std::string code : {"BOGUS", "", "LX 200"}) {
        const clitest::CliRun r =
            clitest::RunCli(dir, "track --interface '" + code + "' --device '" + device + "'" + object);
        EXPECT_EQ(r.code, 2) << code;
        EXPECT_EQ(
            r.err,
            "corvane-cli: --interface wants one of LX200, LX200GPS, ETX494, ETX497, AP, ULTIMA, NEXSTARGPS, "
            "CGE, NEXSTAR, LOGFILE, INDI, GEMINI, got \"" +
                code + "\"\n");
        EXPECT_EQ(std::filesystem::file_size(device), 0u) << "nothing may be sent to the mount";
    }
    for (const std::string start : {"2017-02-30T00:00:00", "2017-13-01T00:00:00", "2017-04-28T25:00:00",
                                     "2017-04-28T12:00:61", "2017-04-28T12:40:10Q"}) {
        const clitest::CliRun r = clitest::RunCli(
            dir, "track --interface LX200 --device '" + device + "' --start " + start + object);
        EXPECT_EQ(r.code, 2) << start << r.err;
        EXPECT_NE(r.err.find("--start wants"), std::string::npos) << r.err;
    }
    EXPECT_EQ(std::filesystem::file_size(device), 0u);
    for (const std::string start :
         {"2017-04-28T12:40:10Z", "2017-04-28T12:40:10.5", "2017-04-28 12:40:10"}) {
        const clitest::CliRun r = clitest::RunCli(dir, "track --interface logfile --start '" + start +
                                                           "' --log-folder '" + dir.string() + "'" + object);
        EXPECT_EQ(r.code, 0) << start << r.err;
        std::ifstream in(dir / "log25544.txt");
        std::stringstream log;
        log << in.rdbuf();
        EXPECT_NE(log.str().find("20170428|12:40:1"), std::string::npos) << start;
        std::filesystem::remove(dir / "log25544.txt");
    }
    std::filesystem::remove_all(dir);
}
