// corvane-cli track against corvane-mountsim: an interrupt is a Stop (the stop sequence reaches
// the mount at once and nothing moves it afterwards), and a line that dies in the middle of a
// pass ends tracking with a message and exit status 1.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "integration/ChildProcess.h"

using corvane::test::ChildProcess;

namespace {

const std::string kTle = std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle";
const std::string kSite = "40,-75,100,-4";
const std::string kStart = "2017-04-28T12:40:10";

std::string Cli() { return std::string(CORVANE_BIN_DIR) + "/src/corvane-cli"; }

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Received {
    double at;
    std::string command;
};

std::vector<Received> ReadCommandLog(const std::string& path) {
    std::vector<Received> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Received r;
        if (fields >> r.at >> r.command) out.push_back(r);
    }
    return out;
}

bool Positions(const std::string& command) {
    return command == ":MS#" || command.rfind(":Sr", 0) == 0 || command.rfind(":Sd", 0) == 0;
}

std::filesystem::path Scratch(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() / (name + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace

TEST(TrackInterrupt, AnInterruptStopsTheMountAtOnceAndNothingMovesItAfterwards) {
    const auto dir = Scratch("corvane-interrupt-");
    // Early in the intercept slew, in the middle of it, and while following.
    for (const double after : {1.2, 4.0, 9.5}) {
        const std::string commandLog = (dir / "commands.txt").string();
        ChildProcess sim({corvane::test::MountsimPath(), "--model", "lx200", "--site", kSite, "--start", kStart,
                          "--command-log", commandLog, "--max-runtime", "60", "--exit-with-parent"});
        const std::string device = corvane::test::StartMountsim(sim);
        ASSERT_FALSE(device.empty());
        ChildProcess track({Cli(), "track", "--interface", "LX200", "--device", device, "--tle", kTle, "--norad",
                            "25544", "--site", kSite, "--start", kStart, "--duration", "60"},
                           {}, true);
        ASSERT_TRUE(track.ReadLine(15.0).has_value());  // tracking has begun
        std::this_thread::sleep_for(std::chrono::duration<double>(after));
        const double interruptedAt = Now();
        ASSERT_TRUE(track.Signal(SIGINT));
        const auto [code, output] = track.Finish(10.0);
        const double exitedAt = Now();
        EXPECT_EQ(code, 128 + SIGINT) << output;
        EXPECT_LT(exitedAt - interruptedAt, 3.0);
        EXPECT_NE(output.find("tracking interrupted"), std::string::npos) << output;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let the log catch up
        sim.Stop();

        const auto received = ReadCommandLog(commandLog);
        size_t stop = 0;
        while (stop < received.size() && !(received[stop].command == ":Q#" && received[stop].at >= interruptedAt))
            ++stop;
        ASSERT_LT(stop, received.size()) << "no stop after the interrupt (" << after << " s)";
        EXPECT_LE(received[stop].at - interruptedAt, 0.5) << after;
        std::cout << "interrupt " << after << " s after the first status line: stop at the mount after "
                  << (received[stop].at - interruptedAt) * 1000.0 << " ms, exit after "
                  << (exitedAt - interruptedAt) * 1000.0 << " ms" << std::endl;
        for (size_t i = stop; i < received.size(); ++i)
            EXPECT_FALSE(Positions(received[i].command)) << received[i].command << " after the stop";
    }
    std::filesystem::remove_all(dir);
}

TEST(TrackInterrupt, ALineThatDiesMidPassEndsTrackingWithAMessage) {
    struct Case {
        const char* model;
        const char* interface;
        const char* fault;
        const char* method;
    };
    for (const Case& c : {Case{"lx200", "LX200", "closed@3", "0"}, Case{"lx200", "LX200", "silence@3", "0"},
                          Case{"lx200", "LX200", "silence@3", "3"}, Case{"lx200", "LX200", "garbage@3", "3"},
                          Case{"lx200", "LX200", "stall@3", "0"}, Case{"lx200compatible", "AP", "silence@3", "0"},
                          Case{"gemini", "GEMINI", "garbage@3", "4"}, Case{"gemini", "GEMINI", "closed@3", "2"}}) {
        ChildProcess sim({corvane::test::MountsimPath(), "--model", c.model, "--site", kSite, "--start", kStart,
                          "--fault", c.fault, "--max-runtime", "60", "--exit-with-parent"});
        const std::string device = corvane::test::StartMountsim(sim);
        ASSERT_FALSE(device.empty());
        ChildProcess track({Cli(), "track", "--interface", c.interface, "--device", device, "--tle", kTle,
                            "--norad", "25544", "--site", kSite, "--start", kStart, "--duration", "45", "--method",
                            c.method},
                           {}, false, true);
        const auto [code, output] = track.Finish(60.0);
        EXPECT_EQ(code, 1) << c.interface << " " << c.fault << " " << c.method << "\n" << output;
        EXPECT_NE(output.find("Tracking Error: Lost communication with the telescope."), std::string::npos)
            << c.fault << "\n" << output;
        EXPECT_NE(output.find("tracking stopped after"), std::string::npos) << output;
        sim.Stop();
    }
}
