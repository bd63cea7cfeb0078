#include <gtest/gtest.h>

#include <cmath>

#include "scope/NexStarCodec.h"
#include "sim/SimulatedNexStar.h"

using namespace corvane;

namespace {

const MountSite kSite{40.0, -75.0, 100.0, -4.0};
const double kLocalStart = 2457871.5 + 21.0 / 24;  // 2017-04-28 21:00 local

double AngleGap(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180 ? 360 - d : d;
}

struct NexStarFixture {
    explicit NexStarFixture(NexStarModel model, NexStarMounting mounting = NexStarMounting::AltAz,
                            const MountRealism& realism = {})
        : mount(model, kSite, clock, Parameters(model, mounting, realism)) {
        mount.Open("sim");
    }
    static NexStarParameters Parameters(NexStarModel model, NexStarMounting mounting,
                                        const MountRealism& realism) {
        NexStarParameters p = DefaultNexStarParameters(model);
        p.mounting = mounting;
        p.realism = realism;
        return p;
    }
    std::string Ask(const std::string& command, double seconds = 0.3) {
        mount.Write(command);
        clock.Advance(seconds);
        return mount.Read(std::max(0, mount.BytesWaiting()));
    }
    // RA/Dec at an azimuth and altitude now, as the mount sees it.
    std::pair<double, double> SkyAt(double az, double alt) {
        const MountState before = mount.State();
        mount.PointAt(az, alt);
        const MountState s = mount.State();
        mount.PointAt(before.azimuth, before.altitude);
        return {s.raHours, s.decDegrees};
    }
    double SecondsUntilArrived(double limit) {
        double t = 0;
        while (Ask("L", 0.25) != "0#" && t < limit) t += 0.25;
        return t;
    }

    ManualClock clock{kLocalStart};
    SimulatedNexStar mount;
};

}  // namespace

TEST(SimulatedNexStar, PositionRepliesAndGotoFollowTheProtocol) {
    NexStarFixture f(NexStarModel::NexStarGps);
    f.mount.PointAt(180.0, 45.0);
    const MountState s = f.mount.State();
    const NexStarReply e = ParseNexStarPositionReply(f.Ask("E"));
    ASSERT_EQ(e.error, NexStarReplyError::None);
    EXPECT_NEAR(e.position.raHours, s.raHours, 0.01);
    EXPECT_NEAR(e.position.decDegrees, s.decDegrees, 0.02);
    EXPECT_EQ(f.Ask("e").size(), 18u);  // "XXXXXXXX,YYYYYYYY#"

    // A goto 90 degrees away in azimuth: "L" says "1#" until the tube has arrived, which takes
    // more than the bare distance at the top goto speed.
    const auto [ra, dec] = f.SkyAt(90.0, 30.0);
    EXPECT_EQ(f.Ask(NexStarGotoCommand(ra, dec)), "#");
    EXPECT_EQ(f.Ask("L"), "1#");
    const double took = f.SecondsUntilArrived(120.0);
    EXPECT_GT(took, 90.0 / f.mount.Parameters().maxGotoRate);
    EXPECT_LT(took, 60.0);
    const MountState there = f.mount.State();
    EXPECT_LT(AngleGap(there.raHours * 15.0, ra * 15.0), 0.02);
    EXPECT_NEAR(there.decDegrees, dec, 0.02);
    // "M" ends a goto at once; a goto refused for a declination beyond the pole never starts.
    EXPECT_EQ(f.Ask(NexStarGotoCommand(ra + 6.0, dec)), "#");
    EXPECT_EQ(f.Ask("M"), "#");
    EXPECT_EQ(f.Ask("L"), "0#");
    EXPECT_EQ(f.Ask("r00000000,50000000"), "#");
    EXPECT_EQ(f.Ask("L"), "0#");
}

TEST(SimulatedNexStar, PassThroughRatesDriveOneMotorWithAcceleration) {
    // Exact timings and places: no jitter, no backlash.
    NexStarFixture f(NexStarModel::NexStarGps, NexStarMounting::AltAz, MountRealism::Ideal());
    f.mount.PointAt(100.0, 40.0);
    f.Ask(NexStarTrackingModeCommand(0));
    f.Ask(NexStarRateCommand(kNexStarAzimuthMotor, 14400));  // 1 degree per second east
    f.clock.Advance(10.0);
    const MountState a = f.mount.State();
    // 10.3 s at 1 deg/s less the ramp and the command latency.
    EXPECT_NEAR(a.azimuth, 100.0 + 10.3 - 0.25 - 0.05, 0.05);
    EXPECT_NEAR(a.altitude, 40.0, 1e-6);
    // Beyond 43200 units the motor runs at its top rate of 3 degrees per second.
    f.Ask(std::string("P\x03\x11\x07\xFF\xFF\x00\x00", 8));
    EXPECT_DOUBLE_EQ(f.mount.VariableRate(2), -3.0);
    f.Ask(NexStarRateCommand(kNexStarAzimuthMotor, 0));
    f.Ask(NexStarRateCommand(kNexStarAltitudeMotor, 0), 3.0);
    const MountState b = f.mount.State();
    f.clock.Advance(5.0);
    EXPECT_NEAR(f.mount.State().altitude, b.altitude, 1e-9);  // tracking off: still
    // Tracking on: the tube follows the sky.
    f.Ask(NexStarTrackingModeCommand(1));
    const MountState c = f.mount.State();
    f.clock.Advance(600.0);
    const MountState d = f.mount.State();
    EXPECT_NEAR(d.raHours, c.raHours, 0.002);
    EXPECT_NEAR(d.decDegrees, c.decDegrees, 0.02);
}

TEST(SimulatedNexStar, GermanMountFlipsAtTheMeridianAndReversesTheDeclinationMotor) {
    NexStarFixture f(NexStarModel::Cge);
    f.mount.PointAt(120.0, 40.0);
    EXPECT_FALSE(f.mount.PierFlipped());
    EXPECT_EQ(f.Ask("p"), "E#");
    const auto [ra, dec] = f.SkyAt(240.0, 40.0);  // west of the meridian
    f.Ask(NexStarGotoCommand(ra, dec));
    // The flip swings both axes a long way: well over the bare 120 degrees of azimuth.
    EXPECT_GT(f.SecondsUntilArrived(200.0), 30.0);
    EXPECT_TRUE(f.mount.PierFlipped());
    EXPECT_EQ(f.Ask("p"), "W#");
    EXPECT_LT(AngleGap(f.mount.State().raHours * 15.0, ra * 15.0), 0.02);
    EXPECT_NEAR(f.mount.State().decDegrees, dec, 0.02);
    f.Ask(NexStarTrackingModeCommand(0));
    const double before = f.mount.State().decDegrees;
    f.Ask(NexStarRateCommand(kNexStarAltitudeMotor, 14400), 5.0);
    EXPECT_LT(f.mount.State().decDegrees, before - 4.0);  // positive motor, lower declination

    // East of the meridian the same command raises the declination.
    NexStarFixture g(NexStarModel::Cge);
    g.mount.PointAt(120.0, 40.0);
    g.Ask(NexStarTrackingModeCommand(0));
    const double east = g.mount.State().decDegrees;
    g.Ask(NexStarRateCommand(kNexStarAltitudeMotor, 14400), 5.0);
    EXPECT_GT(g.mount.State().decDegrees, east + 4.0);
}

TEST(SimulatedNexStar, WedgeMountDrivesHourAngleAndDeclination) {
    NexStarFixture f(NexStarModel::NexStarGps, NexStarMounting::EqNorth);
    f.mount.PointAt(150.0, 30.0);
    f.Ask(NexStarTrackingModeCommand(0));
    const MountState a = f.mount.State();
    // A positive right-ascension motor rate follows the sky: the RA pointed at falls.
    f.Ask(NexStarRateCommand(kNexStarAzimuthMotor, 14400), 10.0);
    const MountState b = f.mount.State();
    EXPECT_NEAR(std::fmod((a.raHours - b.raHours) * 15.0 + 360.0, 360.0), 10.0, 0.5);
    EXPECT_NEAR(b.decDegrees, a.decDegrees, 1e-6);
}

TEST(SimulatedNexStar, HandControllerQueriesAnswerLikeTheRealOne) {
    NexStarFixture f(NexStarModel::Cge);
    EXPECT_EQ(f.Ask("V"), std::string("\x04\x15#", 3));
    EXPECT_EQ(f.Ask("Kx"), "x#");
    EXPECT_EQ(f.Ask("J"), std::string("\x01#", 2));
    EXPECT_EQ(f.Ask("m"), std::string("\x05#", 2));
    f.Ask(NexStarTrackingModeCommand(2));
    EXPECT_EQ(f.Ask("t"), std::string("\x02#", 2));
    // Location: 40 N, 75 W.
    EXPECT_EQ(f.Ask("w"), std::string("\x28\x00\x00\x00\x4B\x00\x00\x01#", 9));
    EXPECT_EQ(f.Ask(std::string("W\x33\x1E\x00\x00\x00\x05\x00\x01", 9)), "#");
    EXPECT_EQ(f.Ask("w"), std::string("\x33\x1E\x00\x00\x00\x05\x00\x01#", 9));
    // Time: 21:00 local, 2017-04-28, zone -4.
    const std::string h = f.Ask("h");
    ASSERT_EQ(h.size(), 9u);
    EXPECT_EQ(h[0], '\x15');
    EXPECT_EQ(h.substr(3, 5), std::string("\x04\x1C\x11\xFC\x00", 5));
    // Motor versions and the GPS link through pass-through queries.
    EXPECT_EQ(f.Ask(std::string("P\x01\x10\xFE\x00\x00\x00\x02", 8)).size(), 3u);
    // A stray byte is ignored; a command cut short is dropped after a second of silence.
    EXPECT_EQ(f.Ask("\xF0"), "");
    EXPECT_EQ(f.Ask("R12", 1.5), "");
    EXPECT_EQ(f.Ask("E").size(), 10u);
    // Silence and a closed line.
    f.mount.InjectFault(MountFault::Silence);
    EXPECT_EQ(f.Ask("E"), "");
    f.mount.InjectFault(MountFault::ClosedLine);
    EXPECT_EQ(f.mount.BytesWaiting(), -1);
}
