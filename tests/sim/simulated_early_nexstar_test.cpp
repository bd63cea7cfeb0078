// The simulated Ultima 2000 and NexStar 5/8 hand controllers: their command framing, gotos
// and replies, on a virtual clock.
#include <gtest/gtest.h>

#include <cmath>

#include "core/Clock.h"
#include "scope/NexStarCodec.h"
#include "sim/SimulatedEarlyNexStar.h"

using namespace corvane;

namespace {

struct Fixture {
    explicit Fixture(EarlyNexStarModel model)
        : clock(2457871.5 + 0.1), mount(model, MountSite{40.0, -75.0, 100.0, -4.0}, clock) {
        mount.Open("sim");
    }
    // Writes `bytes`, lets `seconds` pass and returns what arrived.
    std::string Ask(const std::string& bytes, double seconds = 0.5) {
        mount.Write(bytes);
        clock.Advance(seconds);
        return mount.Read(mount.BytesWaiting());
    }
    // Where the mount points, as its "E" reply says: RA hours and Dec degrees.
    std::pair<double, double> Position(const std::string& terminator) {
        const std::string reply = Ask("E" + terminator);
        EXPECT_EQ(reply.size(), 10u) << reply;
        const int ra = std::stoi(reply.substr(0, 4), nullptr, 16),
                  dec = std::stoi(reply.substr(5, 4), nullptr, 16);
        const double decDegrees = dec / 65536.0 * 360.0;
        return {ra / 65536.0 * 24.0, decDegrees > 180 ? decDegrees - 360 : decDegrees};
    }
    double SecondsUntilArrived(double limit) {
        double t = 0;
        while (mount.State().slewing && t < limit) {
            clock.Advance(0.1);
            t += 0.1;
        }
        return t;
    }
    ManualClock clock;
    SimulatedEarlyNexStar mount;
};

}  // namespace

TEST(SimulatedEarlyNexStar, UltimaActsOnLinesAndGoesToHexadecimalTargets) {
    Fixture f(EarlyNexStarModel::Ultima2000);
    // Nothing happens until the carriage return; the line feed is ignored.
    EXPECT_EQ(f.Ask("L"), "");
    EXPECT_EQ(f.Ask("\r\n"), "0#");
    EXPECT_EQ(f.Ask("U\r\n"), "#");
    EXPECT_EQ(f.Ask("R12,34\r\n"), "");  // not four digits each: ignored

    f.mount.PointAt(100.0, 30.0);
    const auto [ra, dec] = f.Position("\r\n");
    f.mount.PointAt(220.0, 60.0);
    EXPECT_EQ(f.Ask(NexStarGotoCommand(ra, dec) + "\r\n", 0.3), "#");
    EXPECT_EQ(f.Ask("L\r\n"), "1#");
    const double took = f.SecondsUntilArrived(120);
    EXPECT_GT(took, 120.0 / 3.0);  // about 120 degrees of azimuth at 3 degrees a second
    EXPECT_LT(took, 60.0);
    EXPECT_EQ(f.Ask("L\r\n"), "0#");
    // The target was a place in the sky; the sky has moved on while the mount slewed and tracked.
    const auto [ra2, dec2] = f.Position("\r\n");
    EXPECT_NEAR(ra2, ra, 0.002);
    EXPECT_NEAR(dec2, dec, 0.02);

    // "M" cancels a goto where it is.
    f.mount.PointAt(100.0, 30.0);
    f.Ask(NexStarGotoCommand(std::fmod(ra + 6.0, 24.0), 10.0) + "\r\n", 2.0);
    EXPECT_EQ(f.Ask("M\r\n"), "#");
    f.clock.Advance(5.0);
    const MountState s = f.mount.State();
    EXPECT_FALSE(s.slewing);
    EXPECT_GT(std::hypot(s.azimuth - 100.0, s.altitude - 30.0), 1.0);  // it had moved
    EXPECT_FALSE(f.mount.State().slewing);
    EXPECT_EQ(f.mount.Commands().back(), "M");
}

TEST(SimulatedEarlyNexStar, NexStar58TakesByteGotosOneCommandAtATime) {
    Fixture f(EarlyNexStarModel::NexStar58);
    // Below the celestial equator: the declination goes out as 360 - |Dec|.
    f.mount.PointAt(180.0, 20.0);
    const auto [ra, dec] = f.Position("");
    EXPECT_LT(dec, -20.0);
    f.mount.PointAt(90.0, 40.0);
    EXPECT_EQ(f.Ask("?", 0.8), "#");
    EXPECT_EQ(f.Ask(NexStarByteGotoCommand(ra, dec), 0.3), "#");
    f.SecondsUntilArrived(120);
    const MountState s = f.mount.State();
    EXPECT_NEAR(s.altitude, 20.0, 0.3);  // the sky turned while it slewed

    // A command right after another is lost: the controller is still answering.
    f.mount.PointAt(90.0, 40.0);
    f.mount.Write("?");
    EXPECT_EQ(f.Ask(NexStarByteGotoCommand(ra, dec), 0.5), "#");
    EXPECT_FALSE(f.mount.State().slewing);
    EXPECT_EQ(f.mount.Commands().back().rfind("(lost) R", 0), 0u);

    // "?" ends a goto on the way.
    f.clock.Advance(1.0);
    f.Ask(NexStarByteGotoCommand(ra, dec), 1.5);
    EXPECT_TRUE(f.mount.State().slewing);
    f.Ask("?", 4.0);
    EXPECT_FALSE(f.mount.State().slewing);
    EXPECT_GT(std::fabs(f.mount.State().altitude - 20.0), 2.0);
}
