// corvane-cli track against corvane-mountsim lines that fail, through real pseudo-terminals: a
// dead or garbled line ends tracking within 12 s of the fault with its message and exit status
// 1, without spinning; where the protocol lets a mount go on, it goes on. The cases run at once.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "integration/ChildProcess.h"

using corvane::test::ChildProcess;

namespace {

const std::string kTle = std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle";
const std::string kSite = "45,-73,0";
const std::string kStart = "2017-04-28T12:38:30Z";

std::string Cli() { return std::string(CORVANE_BIN_DIR) + "/src/corvane-cli"; }

// Seconds in the CLI's closing line "tracking stopped after 16.1 s" (or "ended"), -1 without it.
double EndedAfter(const std::string& output) {
    for (const char* words : {"tracking stopped after ", "tracking ended after "}) {
        const size_t at = output.find(words);
        if (at != std::string::npos) return std::stod(output.substr(at + std::string(words).size()));
    }
    return -1.0;
}

}  // namespace

TEST(MountsimDeadLine, DeadLinesEndTrackingOnEveryKindOfMountAndSilenceIsNoFaultWhereNoAnswerIsPromised) {
    struct Case {
        std::string model, interface, fault;
        double faultAt;       // seconds after the start; -1 where the mount may go on
        std::string message;  // "" where tracking goes on to the end of the duration
        std::unique_ptr<ChildProcess> sim, track;
    };
    const std::string lost = "Tracking Error: Lost communication with the telescope.";
    std::vector<Case> cases;
    // The slow AutoStar #494 that never answers: identification gives up; --duration holds.
    cases.push_back(
        {"autostar494", "ETX494", "silence", 0, "Cannot Communicate with Telescope!", nullptr, nullptr});
    cases.push_back({"autostar497", "ETX497", "stall@15", 15, lost, nullptr, nullptr});
    // A closed line on the Ultima and the NexStar 5/8: the message, not a retry loop.
    cases.push_back({"ultima", "ULTIMA", "closed@15", 15, lost, nullptr, nullptr});
    cases.push_back({"nexstar58", "NEXSTAR", "closed@15", 15, lost, nullptr, nullptr});
    cases.push_back({"ultima", "ULTIMA", "silence@15", -1, "", nullptr, nullptr});
    // The CGE notices the line while it counts down to the object after its first goto.
    cases.push_back({"cge", "CGE", "silence@15", 15, lost, nullptr, nullptr});
    cases.push_back({"nexstargps", "NEXSTARGPS", "garbage@15", 15, "Tracking Aborted: Cannot get NexStarGPS",
                     nullptr, nullptr});
    // The LX200GPS: noise at the connection is no mount; noise in the rate loop is not steered by.
    cases.push_back(
        {"lx200gps", "LX200GPS", "garbage", 0, "Cannot Communicate with Telescope!", nullptr, nullptr});
    cases.push_back({"lx200gps", "LX200GPS", "garbage@30", -1, "", nullptr, nullptr});
    cases.push_back({"lx200gps", "LX200GPS", "closed@30", 30, lost, nullptr, nullptr});
    for (Case& c : cases) {
        c.sim = std::make_unique<ChildProcess>(std::vector<std::string>{
            corvane::test::MountsimPath(), "--model", c.model, "--site", kSite, "--start", kStart, "--fault",
            c.fault, "--max-runtime", "90", "--exit-with-parent"});
        const std::string device = corvane::test::StartMountsim(*c.sim);
        ASSERT_FALSE(device.empty()) << c.model;
        c.track = std::make_unique<ChildProcess>(
            std::vector<std::string>{Cli(), "track", "--interface", c.interface, "--device", device, "--tle",
                                     kTle, "--norad", "25544", "--site", kSite, "--start", kStart,
                                     "--duration", "40"},
            std::vector<std::string>{}, false, true);
    }
    for (Case& c : cases) {
        const auto [code, output] = c.track->Finish(90.0);
        c.sim->Stop();
        SCOPED_TRACE(c.interface + " " + c.fault + "\n" + output);
        const double ended = EndedAfter(output);
        if (c.message.empty()) {
            EXPECT_EQ(code, 0);
            EXPECT_NE(output.find("tracking ended after"), std::string::npos);
            EXPECT_EQ(output.find("Lost communication"), std::string::npos);
        } else {
            EXPECT_EQ(code, 1);
            EXPECT_NE(output.find(c.message), std::string::npos);
            // The CLI starts a moment after the simulator, so this errs on the long side.
            if (ended >= 0) {
                EXPECT_LE(ended - c.faultAt, 12.0);
            }
        }
        // No spinning: the program mostly sleeps, whatever the line does.
        ASSERT_GE(c.track->cpuSeconds, 0.0);
        EXPECT_LT(c.track->cpuSeconds, 0.1 * 40.0);
        std::printf("%s %s: exit %d, ended after %.1f s, %.2f s of processor time\n", c.interface.c_str(),
                    c.fault.c_str(), code, ended, c.track->cpuSeconds);
    }
}
