// The simulated mounts answer as the published protocols have real mounts do, not as the
// program's engines expect: the CGE chooses its own pier side, the NexStar tracking modes act
// differently on each mounting, a southern wedge turns its motors the other way, and a refused
// LX200-family goto carries the mount's message.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "scope/Lx200Codec.h"
#include "scope/NexStarCodec.h"
#include "sim/SimulatedMount.h"
#include "sim/SimulatedNexStar.h"

using namespace corvane;

namespace {

const MountSite kNorth{40.0, -75.0, 100.0, -4.0};
const MountSite kSouth{-33.9, 18.4, 10.0, 2.0};
const double kLocalStart = 2457871.5 + 21.0 / 24;

double HoursGap(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 24.0);
    return d > 12 ? 24 - d : d;
}

struct Rig {
    Rig(NexStarModel model, NexStarMounting mounting, const MountSite& site, double pierLimit = 0.0)
        : mount(model, site, clock, Parameters(model, mounting, pierLimit)) {
        mount.Open("sim");
    }
    static NexStarParameters Parameters(NexStarModel model, NexStarMounting mounting, double pierLimit) {
        NexStarParameters p = DefaultNexStarParameters(model);
        p.mounting = mounting;
        p.pierLimit = pierLimit;
        return p;
    }
    std::string Ask(const std::string& command, double seconds = 0.3) {
        mount.Write(command);
        clock.Advance(seconds);
        return mount.Read(std::max(0, mount.BytesWaiting()));
    }
    // Right ascension of the meridian now (hours), from the mount's own sky.
    double MeridianRa() {
        const MountState before = mount.State();
        mount.PointAt(180.0, 60.0);
        const double ra = mount.State().raHours;
        mount.PointAt(before.azimuth, before.altitude);
        return ra;
    }
    // Hour angle (degrees, west positive) of where the tube points.
    double TubeHourAngle() {
        const double ra = mount.State().raHours;
        double ha = std::fmod((MeridianRa() - ra) * 15.0 + 540.0, 360.0) - 180.0;
        return ha;
    }
    void GotoHourAngle(double ha, double dec) {
        const double ra = std::fmod(MeridianRa() - ha / 15.0 + 24.0, 24.0);
        Ask(NexStarGotoCommand(ra, dec));
        for (double t = 0; Ask("L", 0.25) != "0#" && t < 300.0; t += 0.25) {
        }
    }

    ManualClock clock{kLocalStart};
    SimulatedNexStar mount;
};

}  // namespace

TEST(SimulatedProtocol, TheCgeChoosesItsPierSideByItsOwnLimit) {
    struct Case {
        double limit, hourAngle;
        bool west;
    };
    const Case cases[] = {
        {0.0, -10.0, false}, {0.0, 10.0, true},    {15.0, 10.0, false},
        {15.0, 20.0, true},  {-15.0, -10.0, true}, {-15.0, -20.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "limit " << c.limit << ", hour angle " << c.hourAngle);
        Rig rig(NexStarModel::Cge, NexStarMounting::AltAz, kNorth, c.limit);
        rig.GotoHourAngle(c.hourAngle, 20.0);
        EXPECT_EQ(rig.mount.PierFlipped(), c.west);
        EXPECT_EQ(rig.Ask("p"), c.west ? "W#" : "E#");
        EXPECT_NEAR(rig.TubeHourAngle(), c.hourAngle, 0.5);  // tracking off: the sky moves on
    }
}

TEST(SimulatedProtocol, TheCgeTracksPastTheMeridianOnlyUpToItsLimit) {
    for (double limit : {0.0, 10.0}) {
        SCOPED_TRACE(testing::Message() << "limit " << limit);
        Rig rig(NexStarModel::Cge, NexStarMounting::AltAz, kNorth, limit);
        rig.GotoHourAngle(-3.0, 20.0);
        ASSERT_FALSE(rig.mount.PierFlipped());
        rig.Ask(NexStarTrackingModeCommand(2));
        const double ra = rig.mount.State().raHours;
        rig.clock.Advance(10 * 60.0);  // 2.5 degrees of hour angle
        EXPECT_LT(HoursGap(rig.mount.State().raHours, ra), 0.002) << "still tracking before the meridian";
        rig.clock.Advance(80 * 60.0);  // the object would be 20 degrees west by now
        EXPECT_NEAR(rig.TubeHourAngle(), limit, 0.1) << "the right ascension axis stopped at the limit";
        EXPECT_FALSE(rig.mount.PierFlipped());
    }
}

TEST(SimulatedProtocol, OnlyTheTrackingModeOfTheMountingHoldsTheSky) {
    struct Case {
        NexStarMounting mounting;
        const MountSite* site;
        int mode;
        bool holds;
    };
    const Case cases[] = {
        {NexStarMounting::AltAz, &kNorth, 1, true},    {NexStarMounting::AltAz, &kNorth, 2, false},
        {NexStarMounting::EqNorth, &kNorth, 2, true},  {NexStarMounting::EqNorth, &kNorth, 3, false},
        {NexStarMounting::EqNorth, &kNorth, 1, false}, {NexStarMounting::EqSouth, &kSouth, 3, true},
        {NexStarMounting::EqSouth, &kSouth, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mounting " << static_cast<int>(c.mounting) << ", mode " << c.mode);
        Rig rig(NexStarModel::NexStarGps, c.mounting, *c.site);
        rig.mount.PointAt(c.site == &kNorth ? 150.0 : 30.0, 40.0);
        rig.Ask(NexStarTrackingModeCommand(c.mode), 1.0);
        EXPECT_EQ(rig.Ask("t"), std::string(1, static_cast<char>(c.mode)) + "#");
        const MountState before = rig.mount.State();
        rig.clock.Advance(600.0);
        const MountState after = rig.mount.State();
        const double drift =
            HoursGap(after.raHours, before.raHours) * 15.0 + std::fabs(after.decDegrees - before.decDegrees);
        if (c.holds)
            EXPECT_LT(drift, 0.05);
        else
            EXPECT_GT(drift, 0.5);
    }
}

TEST(SimulatedProtocol, ASouthernWedgeTurnsItsMotorsTheOtherWay) {
    for (NexStarMounting mounting : {NexStarMounting::EqNorth, NexStarMounting::EqSouth}) {
        const bool south = mounting == NexStarMounting::EqSouth;
        SCOPED_TRACE(south ? "eqs" : "eqn");
        Rig rig(NexStarModel::NexStarGps, mounting, south ? kSouth : kNorth);
        rig.mount.PointAt(south ? 30.0 : 150.0, 40.0);
        rig.Ask(NexStarTrackingModeCommand(0));
        const MountState start = rig.mount.State();
        rig.Ask(NexStarRateCommand(kNexStarAltitudeMotor, 14400), 5.0);  // 1 degree per second
        const double dec = rig.mount.State().decDegrees - start.decDegrees;
        EXPECT_NEAR(std::fabs(dec), 4.7, 0.3);
        EXPECT_EQ(dec < 0, south) << "a positive declination rate lowers the declination in the south";
        rig.Ask(NexStarRateCommand(kNexStarAltitudeMotor, 0), 2.0);
        const double ra = rig.mount.State().raHours;
        rig.Ask(NexStarRateCommand(kNexStarAzimuthMotor, 14400), 5.0);
        // A positive rate on axis 1 follows the sky (right ascension falls behind) in the north.
        const double dRa = std::remainder(rig.mount.State().raHours - ra, 24.0) * 15.0;
        EXPECT_EQ(dRa > 0, south);
    }
}

TEST(SimulatedProtocol, ARefusedGotoCarriesTheMountsMessage) {
    for (MountModel model : {MountModel::AutoStar494, MountModel::AutoStar497, MountModel::LX200GPS}) {
        SCOPED_TRACE(MountModelName(model));
        ManualClock clock(kLocalStart);
        MountParameters p = DefaultMountParameters(model);
        p.minAltitude = 89.0;
        SimulatedMount mount(model, kNorth, clock, p);
        mount.Open("sim");
        mount.Write(SetTargetAndSlewCommand(6.0, 20.0, true));
        clock.Advance(1.0);
        const std::string reply = mount.Read(std::max(0, mount.BytesWaiting()));
        EXPECT_EQ(reply, "111Object Below Horizon#");
    }
    ManualClock clock(kLocalStart);
    MountParameters p = DefaultMountParameters(MountModel::AutoStar494);
    p.minAltitude = 89.0;
    p.bareRefusal = true;
    SimulatedMount mount(MountModel::AutoStar494, kNorth, clock, p);
    mount.Open("sim");
    mount.Write(SetTargetAndSlewCommand(6.0, 20.0, true));
    clock.Advance(1.0);
    EXPECT_EQ(mount.Read(std::max(0, mount.BytesWaiting())), "111");
}
