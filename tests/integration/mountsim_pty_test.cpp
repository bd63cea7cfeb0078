// corvane-mountsim end to end: its pseudo-terminal opened through the real POSIX port.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "integration/ChildProcess.h"
#include "scope/Lx200Codec.h"
#include "scope/PosixSerialPort.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDisplay.h"

using namespace corvane;
using corvane::test::ChildProcess;

namespace {

struct Messages : NullTrackingDisplay {
    std::vector<std::string> texts;
    void ShowMessage(const std::string& text, const std::string&, MessageIcon) override {
        texts.push_back(text);
    }
};

// Both replies of a combined position query.
std::optional<AxisReading> QueryDecRa(SerialLink& link, Clock& clock) {
    link.SendCommand(kGetDecRa);
    clock.Sleep(300);
    std::string reply = link.ReadReply();
    for (int i = 0; i < 3 && !PositionReplyComplete(reply); ++i) reply += link.ReadReply();
    return ParseDecRaReply(reply);
}

std::vector<std::string> SimArgs(const std::string& model, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{
        corvane::test::MountsimPath(), "--model", model, "--site", "40,-75,100,-4", "--max-runtime", "120",
        "--exit-with-parent"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

}  // namespace

TEST(Mountsim, IdentifiedThroughARealPseudoTerminal) {
    const std::pair<const char*, ScopeType> cases[] = {{"lx200", ScopeType::LX200},
                                                       {"lx200compatible", ScopeType::AP}};
    for (const auto& [model, type] : cases) {
        ChildProcess sim(SimArgs(model));
        ASSERT_TRUE(sim.Started());
        const std::string device = corvane::test::StartMountsim(sim);
        ASSERT_FALSE(device.empty()) << model;

        SystemClock clock;
        PosixSerialPort port;
        Messages display;
        SerialLink link(port, clock, display);
        link.SetScopeType(type);
        link.SetDeviceResolver([&](int) { return device; });
        ASSERT_TRUE(link.Connect(1)) << model << (display.texts.empty() ? "" : display.texts[0]);
        EXPECT_TRUE(link.LongFormat());  // the classic mount was switched to long format
        link.Disconnect();
    }
}

TEST(Mountsim, SlewsWhereItIsToldAndLogsItsPointing) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("corvane-mountsim-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string log = (dir / "pointing.txt").string();
    // Ideal: the log shows the tube, which backlash would leave a little short of the encoders.
    ChildProcess sim(SimArgs("lx200gps", {"--pointing-log", log, "--ideal"}));
    const std::string device = corvane::test::StartMountsim(sim);
    ASSERT_FALSE(device.empty());

    SystemClock clock;
    PosixSerialPort port;
    Messages display;
    SerialLink link(port, clock, display);
    link.SetScopeType(ScopeType::LX200GPS);
    link.SetDeviceResolver([&](int) { return device; });
    ASSERT_TRUE(link.Connect(1));

    // Where it points now (az 180, alt 45 at power-on), then a short goto eastwards.
    std::optional<AxisReading> here;
    for (int i = 0; i < 5 && !here; ++i) here = QueryDecRa(link, clock);
    ASSERT_TRUE(here);
    EXPECT_NEAR(here->first, -5.0, 0.05);
    const double targetRa = std::fmod(here->second + 0.3, 24.0), targetDec = 5.0;
    {
        link.SendCommand(SetTargetAndSlewCommand(targetRa, targetDec, true));
        EXPECT_EQ(link.ReadAvailable(), "110");
    }
    bool arrived = false;
    for (int i = 0; i < 40 && !arrived; ++i) {
        clock.Sleep(250);
        link.SendCommand(kDistanceBarsBare);
        arrived = !HasBars(link.ReadReply());
    }
    EXPECT_TRUE(arrived);
    clock.Sleep(1000);
    const auto there = QueryDecRa(link, clock);
    ASSERT_TRUE(there);
    EXPECT_NEAR(there->first, targetDec, 0.01);
    EXPECT_NEAR(there->second, targetRa, 0.01 / 15);
    link.Disconnect();
    sim.Stop();

    std::ifstream in(log);
    std::string line;
    int lines = 0;
    double lastRa = -1, lastDec = -99;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        char date[16], time[16];
        double az, alt;
        ASSERT_EQ(
            std::sscanf(line.c_str(), "%15s %15s %lf %lf %lf %lf", date, time, &az, &alt, &lastRa, &lastDec),
            6)
            << line;
        ++lines;
    }
    EXPECT_GT(lines, 10);  // one line every 100 ms
    EXPECT_NEAR(lastDec, targetDec, 0.01);
    std::filesystem::remove_all(dir);
}

TEST(Mountsim, AClosedLineEndsInAFailedReadNotAHang) {
    ChildProcess sim(SimArgs("lx200", {"--fault", "closed@1.5"}));
    const std::string device = corvane::test::StartMountsim(sim);
    ASSERT_FALSE(device.empty());
    SystemClock clock;
    PosixSerialPort port;
    Messages display;
    SerialLink link(port, clock, display);
    link.SetDeviceResolver([&](int) { return device; });
    ASSERT_TRUE(link.Connect(1));
    EXPECT_EQ(sim.ReadLine(10.0).value_or(""), "line closed");
    const double start = clock.MonotonicSeconds();
    link.SendCommand(kGetAzimuth);
    EXPECT_EQ(link.ReadReply(), "");
    EXPECT_LT(clock.MonotonicSeconds() - start, 10.0);
}

TEST(Mountsim, RejectsBadArguments) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--model", "nexstar9"}, {"--site", "40,-75"}, {"--site", "95,0,0"}, {"--fault", "smoke"}}) {
        std::vector<std::string> full{corvane::test::MountsimPath()};
        full.insert(full.end(), args.begin(), args.end());
        ChildProcess sim(full, {}, true);
        EXPECT_EQ(sim.Finish(10.0).first, 2) << args[0] << " " << args[1];
    }
    ChildProcess version({corvane::test::MountsimPath(), "--version"});
    const auto [code, text] = version.Finish(10.0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text.rfind("corvane-mountsim ", 0), 0u) << text;
}
