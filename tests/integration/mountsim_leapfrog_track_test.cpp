// corvane-cli track with the leap-frog interfaces against corvane-mountsim through real
// pseudo-terminals, on the clock of an April 2017 ISS pass: the Ultima's lines end in CR LF, the
// NexStar 5/8's byte-coded gotos pass the line unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "integration/ChildProcess.h"
#include "scope/TrackingDriver.h"

using namespace corvane;
using corvane::test::ChildProcess;

namespace {

const std::string kTle = std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle";
const std::string kSite = "40,-75,100,-4";
// The ISS rises through 10 degrees in the west-south-west; the tubes start pointing near there.
const std::string kStart = "2017-04-28T12:38:00";

std::string Cli() { return std::string(CORVANE_BIN_DIR) + "/src/corvane-cli"; }

std::vector<std::string> CommandsIn(const std::filesystem::path& log) {
    std::vector<std::string> commands;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        const size_t blank = line.find(' ');
        if (blank != std::string::npos) commands.push_back(line.substr(blank + 1));
    }
    return commands;
}

// The smallest angle between where the mount pointed and where the ISS was, degrees.
double ClosestApproach(const std::filesystem::path& log) {
    const auto catalogue = LoadElementFile(kTle).catalogue;
    PropagationSlot slot(kSlotPassPrediction);
    const double rad = 3.14159265358979323846 / 180.0;
    double closest = 180.0;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        int y, mo, d, h, mi;
        double s, az, alt, ra, dec;
        if (line.empty() || line[0] == '#' ||
            std::sscanf(line.c_str(), "%d-%d-%d %d:%d:%lf %lf %lf %lf %lf", &y, &mo, &d, &h, &mi, &s, &az,
                        &alt, &ra, &dec) != 10)
            continue;
        const CycleTarget iss =
            ComputeCycleTarget(*catalogue, catalogue->IssIndex(), CivilToJulianDate(y, mo, d, h, mi, s),
                               Site{40.0, -75.0, 100.0, -4.0}, 0.0, slot);
        if (!iss.ok) continue;
        const double c =
            std::sin(alt * rad) * std::sin(iss.elevationDeg * rad) +
            std::cos(alt * rad) * std::cos(iss.elevationDeg * rad) * std::cos((az - iss.azimuthDeg) * rad);
        closest = std::min(closest, std::acos(std::clamp(c, -1.0, 1.0)) / rad);
    }
    return closest;
}

// A simulated mount and corvane-cli tracking the ISS with it for 30 s, both running.
struct TrackRun {
    std::string model, interface;
    std::unique_ptr<ChildProcess> sim, track;
};

// Starts every run at once (the test takes one pass's time, not several); false when a
// simulator did not come up.
bool StartRuns(std::vector<TrackRun>& runs, const std::filesystem::path& dir,
               const std::vector<std::string>& extra) {
    for (TrackRun& r : runs) {
        r.sim = std::make_unique<ChildProcess>(std::vector<std::string>{
            corvane::test::MountsimPath(), "--model", r.model, "--site", kSite, "--start", kStart, "--point",
            "245,15", "--pointing-log", (dir / (r.model + "-pointing.txt")).string(), "--command-log",
            (dir / (r.model + "-commands.txt")).string(), "--max-runtime", "90", "--exit-with-parent"});
        const std::string device = corvane::test::StartMountsim(*r.sim);
        if (device.empty()) return false;
        std::vector<std::string> args = {Cli(),     "track", "--interface", r.interface, "--device", device,
                                         "--tle",   kTle,    "--norad",     "25544",     "--site",   kSite,
                                         "--start", kStart,  "--duration",  "30",        "--method", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        r.track = std::make_unique<ChildProcess>(args, std::vector<std::string>{}, true);
    }
    return true;
}

}  // namespace

TEST(MountsimLeapFrogTrack, CliLeapsAfterTheIssWithTheSimulatedUltimaAndNexStar58) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("corvane-leapfrog-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::vector<TrackRun> runs;
    runs.push_back({"ultima", "ULTIMA", nullptr, nullptr});
    runs.push_back({"nexstar58", "nexstar", nullptr, nullptr});  // codes in any case
    ASSERT_TRUE(StartRuns(runs, dir, {}));
    for (TrackRun& r : runs) {
        const auto [code, output] = r.track->Finish(90.0);
        EXPECT_EQ(code, 0) << r.model << ": " << output;
        EXPECT_NE(output.find("R.A. Tracking to "), std::string::npos) << output;
        EXPECT_NE(output.find("tracking ended after"), std::string::npos) << output;
        r.sim->Stop();
    }

    // The Ultima: identified with "U", then leaps of "M" and a hexadecimal goto, which it only
    // acts on because each line ends in CR LF.
    const auto ultima = CommandsIn(dir / "ultima-commands.txt");
    ASSERT_GE(ultima.size(), 5u);
    EXPECT_EQ(ultima[0], "U");
    int hexGotos = 0;
    for (const std::string& c : ultima) {
        if (c.size() == 10 && c[0] == 'R' && c[5] == ',') ++hexGotos;
    }
    EXPECT_GE(hexGotos, 3);
    EXPECT_EQ(ultima.back(), "M");  // the stop at the end
    EXPECT_LT(ClosestApproach(dir / "ultima-pointing.txt"), 0.5);

    // The NexStar 5/8: "?" before each byte-coded goto, none of them lost, and "?" to stop after
    // the last one (a second stop while it still answers the first may be lost: harmless).
    const auto nexstar = CommandsIn(dir / "nexstar58-commands.txt");
    int byteGotos = 0;
    std::string lastHeard;
    for (const std::string& c : nexstar) {
        EXPECT_NE(c.rfind("(lost) R", 0), 0u) << c;
        if (c[0] == 'R') ++byteGotos;
        if (c.rfind("(lost)", 0) != 0) lastHeard = c;
    }
    EXPECT_GE(byteGotos, 3);
    ASSERT_FALSE(nexstar.empty());
    EXPECT_EQ(nexstar.front(), "?");
    EXPECT_EQ(lastHeard, "?");
    EXPECT_LT(ClosestApproach(dir / "nexstar58-pointing.txt"), 1.0);
    std::filesystem::remove_all(dir);
}

// The predictive leap frog through the same pseudo-terminals, with an AutoStar #497 and an
// Ultima: the status lines name the method, the gotos follow the mounts' own commands, and the
// ISS passes through the aim points.
TEST(MountsimLeapFrogTrack, CliLeapsPredictivelyWithTheSimulatedAutoStar497AndUltima) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("corvane-predictive-leap-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::vector<TrackRun> runs;
    runs.push_back({"autostar497", "ETX497", nullptr, nullptr});
    runs.push_back({"ultima", "ULTIMA", nullptr, nullptr});
    ASSERT_TRUE(StartRuns(runs, dir, {"--setting", "PredictiveTracking=1"}));
    for (TrackRun& r : runs) {
        const auto [code, output] = r.track->Finish(90.0);
        EXPECT_EQ(code, 0) << r.model << ": " << output;
        EXPECT_NE(output.find("R.A. Predictive tracking to "), std::string::npos) << output;
        r.sim->Stop();
        const auto commands = CommandsIn(dir / (r.model + "-commands.txt"));
        const long gotos = std::count_if(commands.begin(), commands.end(), [](const std::string& c) {
            return c == ":MS#" || (c.size() == 10 && c[0] == 'R' && c[5] == ',');
        });
        EXPECT_GE(gotos, 3) << r.model;
        ASSERT_FALSE(commands.empty());
        EXPECT_TRUE(commands.back() == ":Qw#" || commands.back() == "M") << commands.back();
        // The pointing log has a line every 100 ms: the ISS, about half a degree a second here,
        // passes within a few hundredths of a degree of a resting tube.
        EXPECT_LT(ClosestApproach(dir / (r.model + "-pointing.txt")), 0.06) << r.model;
    }
    std::filesystem::remove_all(dir);
}
