#include <gtest/gtest.h>

#include <cmath>

#include "scope/Lx200Codec.h"
#include "scope/SerialLink.h"
#include "sim/SimulatedMount.h"
#include "support/RecordingDisplay.h"

using namespace corvane;
using corvane::test::RecordingDisplay;

namespace {

const MountSite kSite{40.0, -75.0, 100.0, -4.0};
const double kLocalStart = 2457871.5 + 21.0 / 24;  // 2017-04-28 21:00 local

double AngleGap(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180 ? 360 - d : d;
}

struct MountFixture {
    explicit MountFixture(MountModel model) : mount(model, kSite, clock) { mount.Open("sim"); }

    // Writes a command, lets `seconds` of virtual time pass and returns what arrived.
    std::string Ask(const std::string& command, double seconds = 0.5) {
        mount.Write(command);
        clock.Advance(seconds);
        return mount.Read(std::max(0, mount.BytesWaiting()));
    }
    // RA/Dec of the sky at an azimuth and altitude now, as the mount sees it.
    std::pair<double, double> SkyAt(double az, double alt) {
        const MountState before = mount.State();
        mount.PointAt(az, alt);
        const MountState s = mount.State();
        mount.PointAt(before.azimuth, before.altitude);
        return {s.raHours, s.decDegrees};
    }
    double SecondsUntilArrived(double limit) {
        double t = 0;
        while (mount.State().slewing && t < limit) {
            clock.Advance(0.25);
            t += 0.25;
        }
        return t;
    }

    ManualClock clock{kLocalStart};
    SimulatedMount mount;
};

}  // namespace

TEST(SimulatedMount, EveryModelIsIdentifiedByTheLink) {
    const std::pair<MountModel, ScopeType> pairs[] = {
        {MountModel::LX200, ScopeType::LX200},        {MountModel::LX200GPS, ScopeType::LX200GPS},
        {MountModel::AutoStar494, ScopeType::ETX494}, {MountModel::AutoStar497, ScopeType::ETX497},
        {MountModel::LX200Compatible, ScopeType::AP}, {MountModel::Gemini, ScopeType::GEMINI},
    };
    for (const auto& [model, type] : pairs) {
        MountFixture f(model);
        f.mount.Close();
        RecordingDisplay display;
        SerialLink link(f.mount, f.clock, display);
        link.SetScopeType(type);
        EXPECT_TRUE(link.Connect(1)) << MountModelName(model);
        EXPECT_TRUE(link.LongFormat()) << MountModelName(model);
        EXPECT_TRUE(display.messages.empty());
    }
    // Only the classic LX200 powers up in short format and needs the precision toggle.
    MountFixture classic(MountModel::LX200);
    classic.mount.Close();
    RecordingDisplay display;
    SerialLink link(classic.mount, classic.clock, display);
    ASSERT_TRUE(link.Connect(1));
    EXPECT_EQ(classic.mount.Commands(), (std::vector<std::string>{":GZ#", ":U#", ":GZ#"}));
}

TEST(SimulatedMount, PrecisionToggleSwitchesEveryPositionReply) {
    MountFixture f(MountModel::LX200);
    f.Ask("#:AL#");  // hold still, so the readings do not drift with the sky
    f.mount.PointAt(123.75, -5.5);
    EXPECT_EQ(f.Ask("#:GZ#"),
              "123\xDF"
              "45#");
    EXPECT_EQ(f.Ask("#:GA#"),
              "-05\xDF"
              "30#");
    EXPECT_EQ(f.Ask("#:GR#").size(), 8u);  // HH:MM.T#
    f.Ask("#:U#");
    EXPECT_EQ(f.Ask("#:GZ#"),
              "123\xDF"
              "45'00#");
    EXPECT_EQ(f.Ask("#:GA#"),
              "-05\xDF"
              "30'00#");
    const auto reply = f.Ask("#:GA#:GZ#");
    const auto reading = ParseAltAzReply(reply);
    ASSERT_TRUE(reading) << reply;
    EXPECT_NEAR(reading->first, -5.5, 1e-6);
    EXPECT_NEAR(reading->second, 123.75, 1e-6);
}

TEST(SimulatedMount, GotoMovesAtTheSlewRateThenTracksTheSky) {
    MountFixture f(MountModel::LX200);
    f.mount.SetLongFormat(true);
    const auto [ra, dec] = f.SkyAt(270.0, 40.0);
    f.mount.PointAt(90.0, 30.0);
    EXPECT_EQ(f.Ask(SetTargetAndSlewCommand(ra, dec, true), 0.2), "110");
    EXPECT_TRUE(f.mount.State().slewing);

    // Half way, the distance bars show what is left on each axis.
    f.clock.Advance(5.0);
    const auto bars = ParseDistanceBars(f.Ask("#:D#", 0.1));
    ASSERT_TRUE(bars);
    EXPECT_GT(bars->ra.size() + bars->dec.size(), 2u);

    // 180 degrees of azimuth at 8 deg/s with acceleration and a start lag.
    const double seconds = 5.3 + f.SecondsUntilArrived(120);
    EXPECT_GT(seconds, 180.0 / 8.0);
    EXPECT_LT(seconds, 30.0);
    const auto done = ParseDistanceBars(f.Ask("#:D#", 0.1));
    ASSERT_TRUE(done);
    EXPECT_EQ(done->ra + done->dec, "");

    const auto reading = ParseDecRaReply(f.Ask("#:GD#:GR#"));
    ASSERT_TRUE(reading);
    EXPECT_NEAR(reading->first, dec, 2.0 / 3600);
    EXPECT_NEAR(reading->second, ra, 1.01 / 3600);  // whole seconds of time

    // Sidereal tracking holds RA and Dec while the azimuth moves on.
    const MountState before = f.mount.State();
    f.clock.Advance(600);
    const MountState after = f.mount.State();
    EXPECT_NEAR(after.decDegrees, before.decDegrees, 0.01);
    EXPECT_NEAR(after.raHours, before.raHours, 0.01 / 15);
    EXPECT_GT(AngleGap(after.azimuth, before.azimuth), 0.5);

    // Land alignment holds the axes still instead.
    f.Ask("#:AL#");
    const MountState land = f.mount.State();
    f.clock.Advance(600);
    EXPECT_NEAR(f.mount.State().azimuth, land.azimuth, 1e-6);
    EXPECT_NEAR(f.mount.State().altitude, land.altitude, 1e-6);
}

TEST(SimulatedMount, TargetsBelowTheHorizonAreRefusedWithTheMountsOwnReply) {
    for (MountModel model : {MountModel::LX200, MountModel::Gemini}) {
        MountFixture f(model);
        const auto [ra, dec] = f.SkyAt(10.0, -10.0);
        const std::string reply = f.Ask(SetTargetAndSlewCommand(ra, dec, true), 1.0);
        EXPECT_EQ(reply,
                  model == MountModel::LX200 ? "111Object Below Horizon#" : "111Object below horizon.#");
        EXPECT_TRUE(ReplyRefusesSlew(reply));
        EXPECT_FALSE(f.mount.State().slewing);
    }
    MountFixture f(MountModel::LX200);
    EXPECT_EQ(f.Ask("#:Sr 25:00:00#:Sd +91\xDF"
                    "00:00#"),
              "00");  // invalid texts are refused
}

// As a real LX200: a set command whose field is out of range is answered "0", a seconds field
// of 60 included; the program's own texts at the roll-overs are accepted.
TEST(SimulatedMount, SetCommandsRefuseFieldsOutOfRange) {
    MountFixture f(MountModel::LX200GPS);
    EXPECT_EQ(f.Ask("#:Sr 23:59:60#"), "0");
    EXPECT_EQ(f.Ask("#:Sr 12:60:00#"), "0");
    EXPECT_EQ(f.Ask("#:Sr 24:00:00#"), "0");
    EXPECT_EQ(f.Ask("#:Sd +45\xDF"
                    "30:60#"),
              "0");
    EXPECT_EQ(f.Ask("#:Sd +45\xDF"
                    "60:00#"),
              "0");
    EXPECT_EQ(f.Ask("#:Sd -90\xDF"
                    "00:01#"),
              "0");
    EXPECT_EQ(f.Ask("#:Sr 23:59:59#"), "1");
    EXPECT_EQ(f.Ask("#:Sd -89\xDF"
                    "59:59#"),
              "1");
    for (double ra : {23.99999, 5.0 + 59.0 / 60 + 59.6 / 3600})
        EXPECT_EQ(f.Ask("#:Sr " + FormatRaLong(ra) + "#"), "1") << FormatRaLong(ra);
    EXPECT_EQ(f.Ask("#:Sd " + FormatDecLong(44.0 + 59.0 / 60 + 59.9 / 3600) + "#"), "1");
    f.mount.SetLongFormat(false);
    EXPECT_EQ(f.Ask("#:Sr " + FormatRaShort(3.0 + 59.97 / 60) + "#"), "1");
}

TEST(SimulatedMount, BarRepliesDifferBetweenClassicAndAutoStar) {
    MountFixture f(MountModel::AutoStar497);
    EXPECT_EQ(f.Ask(":D#"), "#");
    const auto [ra, dec] = f.SkyAt(200.0, 60.0);
    f.mount.PointAt(20.0, 20.0);
    EXPECT_EQ(f.Ask(":Sr " + FormatRaLong(ra) + "#", 0.6), "1");
    EXPECT_EQ(f.Ask(":Sd " + FormatDecLong(dec) + "#", 0.6), "1");
    EXPECT_EQ(f.Ask(":MS#", 0.6), "0");
    EXPECT_TRUE(HasBars(f.Ask(":D#", 0.2)));
    f.SecondsUntilArrived(200);
    EXPECT_EQ(f.Ask(":D#"), "#");

    MountFixture classic(MountModel::LX200);
    EXPECT_EQ(classic.Ask("#:D#"), std::string(32, ' ') + "#");
}

TEST(SimulatedMount, AxisRatesAndMovesDriveTheLx200Gps) {
    MountFixture f(MountModel::LX200GPS);
    f.mount.PointAt(100.0, 30.0);
    f.Ask("#:RA0.500#");
    f.Ask("#:RE0.250#");
    f.Ask("#:Me#:Mn#", 10.0);
    MountState s = f.mount.State();
    EXPECT_NEAR(s.azimuth, 105.0, 0.1);
    EXPECT_NEAR(s.altitude, 32.5, 0.1);
    f.Ask("#:Mw#:Ms#", 4.0);
    s = f.mount.State();
    EXPECT_NEAR(s.azimuth, 103.0, 0.2);
    EXPECT_NEAR(s.altitude, 31.5, 0.2);
    f.Ask("#:Q#:Qn#:Qs#:Qe#:Qw#", 0.1);
    const MountState stopped = f.mount.State();
    f.clock.Advance(5);
    EXPECT_NEAR(f.mount.State().azimuth, stopped.azimuth, 0.05);  // sidereal drift only
    f.Ask("#:RA08.00#");
    f.Ask("#:RE08.00#");

    // A move reaches the motors only after the controller's command latency.
    f.mount.PointAt(100.0, 30.0);
    f.Ask("#:RA1.000#");
    const double before = f.mount.State().azimuth;
    f.mount.Write("#:Me#");
    f.clock.Advance(f.mount.Parameters().commandLatency * 0.9);
    EXPECT_NEAR(f.mount.State().azimuth, before, 0.0005);  // the sky's drift only
    f.clock.Advance(0.5);
    EXPECT_GT(f.mount.State().azimuth, before + 0.2);
}

TEST(SimulatedMount, RepliesTakeTheModelsLatencyAndTheLineTime) {
    MountFixture f(MountModel::AutoStar494);
    f.mount.Write("#:GZ#");
    f.clock.Advance(0.1);
    EXPECT_EQ(f.mount.BytesWaiting(), 0);
    f.clock.Advance(0.3);
    EXPECT_EQ(f.mount.BytesWaiting(), 7);
}

TEST(SimulatedMount, FaultsOnRequest) {
    {
        MountFixture f(MountModel::LX200GPS);
        f.mount.InjectFault(MountFault::Silence);
        EXPECT_EQ(f.Ask("#:GZ#", 5), "");
        f.mount.InjectFault(MountFault::None);
        EXPECT_EQ(f.Ask("#:GZ#").size(), 10u);
    }
    {
        MountFixture f(MountModel::LX200GPS);
        f.mount.InjectFault(MountFault::Garbage);
        const std::string reply = f.Ask("#:GA#:GZ#");
        EXPECT_EQ(reply.size(), 20u);
        EXPECT_EQ(reply.back(), '#');
        EXPECT_EQ(reply.find('\xDF'), std::string::npos);
    }
    {
        MountFixture f(MountModel::LX200GPS);
        f.mount.InjectFault(MountFault::StalledReply, 30.0);
        EXPECT_EQ(f.Ask("#:GZ#", 1.0).size(), 5u);
        EXPECT_EQ(f.Ask("", 30.0).size(), 5u);
    }
    {
        MountFixture f(MountModel::LX200);
        f.mount.InjectFault(MountFault::ClosedLine);
        EXPECT_EQ(f.mount.BytesWaiting(), -1);
        EXPECT_FALSE(f.mount.Write("#:GZ#"));
        f.mount.Close();
        RecordingDisplay display;
        SerialLink link(f.mount, f.clock, display);
        EXPECT_FALSE(link.Connect(1));
        ASSERT_EQ(display.messages.size(), 1u);
        EXPECT_EQ(display.messages[0].text, "Unable To Initialize Serial Port");
    }
}

TEST(SimulatedMount, DateTimeAndSiteCommands) {
    MountFixture f(MountModel::LX200);
    EXPECT_EQ(f.Ask("#:GL#"), "21:00:00#");
    EXPECT_EQ(f.Ask("#:GC#"), "04/28/17#");
    EXPECT_EQ(f.Ask("#:GG#"), "+04.0#");
    EXPECT_EQ(f.Ask("#:Gt#"),
              "+40\xDF"
              "00#");
    EXPECT_EQ(f.Ask("#:Gg#"),
              "075\xDF"
              "00#");
    EXPECT_EQ(f.Ask("#:SL 23:30:00#"), "1");
    EXPECT_EQ(f.Ask("#:SC 05/01/17#", 1.0), "1Updating Planetary Data#" + std::string(32, ' ') + "#");
    EXPECT_EQ(f.Ask("#:GC#"), "05/01/17#");
    EXPECT_EQ(f.Ask("#:GL#").substr(0, 5), "23:30");
    EXPECT_EQ(f.Ask("#:SL 25:00:00#"), "0");
    EXPECT_EQ(f.Ask("#:W3#:GO#"), "CVC#");
    EXPECT_EQ(f.Ask("#:SO ABC#"), "1");
    EXPECT_EQ(f.Ask("#:GO#"), "ABC#");
}

TEST(SimulatedMount, CoordinateTextsRoundTripThroughTheMount) {
    MountFixture f(MountModel::LX200GPS);
    for (double ra : {0.0, 0.0001, 6.5, 12.0, 23.9998, 23.99999}) {
        for (double dec : {-89.99, -45.5, -0.0001, 0.0, 0.5, 45.25, 89.99}) {
            f.Ask("#:Sr " + FormatRaLong(ra) + "#:Sd " + FormatDecLong(dec) + "#:CM#");
            const auto reading = ParseDecRaReply(f.Ask("#:GD#:GR#"));
            ASSERT_TRUE(reading) << ra << " " << dec;
            EXPECT_NEAR(reading->first, dec, 1.01 / 3600) << ra << " " << dec;
            double gap = std::fabs(reading->second - ra);
            gap = std::min(gap, 24.0 - gap);
            EXPECT_LE(gap, 1.01 / 3600) << ra << " " << dec;  // both texts carry whole seconds of time
        }
    }
    f.Ask(
        "#:Sd -90\xDF"
        "00:00#:CM#");
    const auto pole = ParseDecRaReply(f.Ask("#:GD#:GR#"));
    ASSERT_TRUE(pole);
    EXPECT_NEAR(pole->first, -90.0, 1.01 / 3600);
}
