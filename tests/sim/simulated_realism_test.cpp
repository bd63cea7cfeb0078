// What makes a simulated mount fall short of a perfect one: gear backlash, command-latency jitter
// and the classic LX200's adjustable top speed. Tracking is measured against these mounts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "scope/NexStarCodec.h"
#include "sim/SimulatedAxis.h"
#include "sim/SimulatedMount.h"
#include "sim/SimulatedNexStar.h"

using namespace corvane;

namespace {

const MountSite kSite{40.0, -75.0, 100.0, -4.0};
const double kLocalStart = 2457871.5 + 21.0 / 24;

// Runs the axis at `rate` for `seconds` in 10 ms steps.
void Turn(SimulatedAxis& axis, double rate, double seconds) {
    for (int i = 0; i < static_cast<int>(std::lround(seconds / 0.01)); ++i) {
        axis.RampTo(rate, 1000.0, 0.01);
        axis.Move(0.01);
    }
}

// Seconds from a pass-through rate command until the motor takes it up, for `count` commands.
std::vector<double> ActDelays(const MountRealism& realism, int count) {
    ManualClock clock(kLocalStart);
    NexStarParameters p = DefaultNexStarParameters(NexStarModel::NexStarGps);
    p.realism = realism;
    SimulatedNexStar mount(NexStarModel::NexStarGps, kSite, clock, p);
    mount.Open("sim");
    std::vector<double> delays;
    for (int i = 0; i < count; ++i) {
        const int units = i % 2 == 0 ? 1440 : 0;
        mount.Write(NexStarRateCommand(kNexStarAzimuthMotor, units));
        double waited = 0.0;
        while (mount.VariableRate(1) != units / 14400.0 && waited < 1.0) {
            clock.Advance(0.001);
            waited += 0.001;
        }
        delays.push_back(waited);
        clock.Advance(0.5);
        mount.Read(std::max(0, mount.BytesWaiting()));
    }
    return delays;
}

}  // namespace

TEST(SimulatedAxis, BacklashIsTakenUpOnEachReversalOnly) {
    SimulatedAxis axis;
    axis.SetBacklash(0.03);
    axis.Place(10.0);
    Turn(axis, 1.0, 1.0);
    // Driving on: the tube trails the motor by half the play, and no more.
    EXPECT_NEAR(axis.Position(), 11.0, 1e-9);
    EXPECT_NEAR(axis.Pointing(), 11.0 - 0.015, 1e-9);
    Turn(axis, 1.0, 1.0);
    EXPECT_NEAR(axis.Position() - axis.Pointing(), 0.015, 1e-9);
    // Reversing: the motor turns through the whole play before the tube moves.
    const double tube = axis.Pointing();
    Turn(axis, -0.01, 2.0);  // 0.02 degrees back
    EXPECT_NEAR(axis.Pointing(), tube, 1e-9);
    Turn(axis, -0.01, 2.0);
    EXPECT_NEAR(axis.Pointing(), tube - 0.01, 1e-9);
    EXPECT_NEAR(axis.Pointing() - axis.Position(), 0.015, 1e-9);

    SimulatedAxis perfect;
    perfect.Place(10.0);
    Turn(perfect, 1.0, 1.0);
    Turn(perfect, -1.0, 0.5);
    EXPECT_NEAR(perfect.Pointing(), perfect.Position(), 1e-12);
}

TEST(SimulatedRealism, TheTubeLagsTheEncodersByThePlayAfterAReversal) {
    ManualClock clock(kLocalStart);
    MountParameters p = DefaultMountParameters(MountModel::LX200GPS);
    SimulatedMount mount(MountModel::LX200GPS, kSite, clock, p);
    mount.Open("sim");
    mount.PointAt(100.0, 40.0);
    mount.Write(":AL#");  // land: the axes hold still between moves
    // Moves the azimuth axis, then returns the encoders' azimuth less the tube's.
    auto moveAndCompare = [&](const char* command) {
        mount.Write(":RC#");
        mount.Write(command);
        clock.Advance(3.0);
        mount.Write(":Q#");
        clock.Advance(2.0);
        mount.Read(std::max(0, mount.BytesWaiting()));
        mount.Write(":GZ#");
        clock.Advance(0.5);
        const std::string reply = mount.Read(std::max(0, mount.BytesWaiting()));  // "DDD\xDFMM'SS#"
        EXPECT_EQ(reply.size(), 10u) << reply;
        if (reply.size() != 10u) return 0.0;
        const double encoders = std::stoi(reply.substr(0, 3)) + std::stoi(reply.substr(4, 2)) / 60.0 +
                                std::stoi(reply.substr(7, 2)) / 3600.0;
        return encoders - mount.State().azimuth;
    };
    const double east = moveAndCompare(":Me#");
    const double west = moveAndCompare(":Mw#");
    // Driving east the tube trails behind the encoders, driving west it trails the other way: the
    // whole play lies between the two.
    EXPECT_GT(east, 0.0);
    EXPECT_LT(west, 0.0);
    EXPECT_NEAR(east - west, p.realism.backlash, 2.0 / 3600);
}

TEST(SimulatedRealism, CommandLatencyJittersWithinTwentyMillisecondsAndRepeatsWithItsSeed) {
    MountRealism realism;
    realism.backlash = 0.0;
    const double latency = DefaultNexStarParameters(NexStarModel::NexStarGps).commandLatency;
    const std::vector<double> first = ActDelays(realism, 20);
    double low = 1.0, high = 0.0;
    for (double d : first) {
        EXPECT_GE(d, latency - 0.0205);
        EXPECT_LE(d, latency + 0.0205);
        low = std::min(low, d);
        high = std::max(high, d);
    }
    EXPECT_GT(high - low, 0.01) << "the delays do not vary";
    EXPECT_EQ(ActDelays(realism, 20), first) << "the same seed plays the same run";
    realism.seed = 7;
    EXPECT_NE(ActDelays(realism, 20), first);
    for (double d : ActDelays(MountRealism::Ideal(), 6)) EXPECT_NEAR(d, latency, 0.0015);
}

TEST(SimulatedRealism, TheClassicLx200TakesItsTopSlewSpeedFromSw) {
    ManualClock clock(kLocalStart);
    SimulatedMount mount(MountModel::LX200, kSite, clock);
    mount.Open("sim");
    auto ask = [&](const std::string& command) {
        mount.Write(command);
        clock.Advance(0.2);
        return mount.Read(std::max(0, mount.BytesWaiting()));
    };
    EXPECT_EQ(ask(":Sw9#"), "0");
    EXPECT_EQ(ask(":Sw1#"), "0");
    EXPECT_EQ(ask(":Sw3#"), "1");
    mount.PointAt(100.0, 40.0);
    ask(":RS#");
    ask(":Me#");
    const double before = mount.State().azimuth;
    clock.Advance(10.0);
    // Full speed after the ramp: 3 degrees per second, not the mount's 8.
    EXPECT_NEAR(mount.State().azimuth - before, 3.0 * 10.0, 1.5);
    ask(":Q#");
}
