#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "TrackingFixture.h"
#include "passes/PassLog.h"
#include "scope/Lx200Codec.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDriver.h"
#include "sim/SimulatedMount.h"
#include "support/RecordingDisplay.h"
#include "support/ScriptedSerialPort.h"
#include "support/SteppingClock.h"

using namespace corvane;
using namespace corvane::test;

namespace {

const std::string kStopAllText = "#:Q#:Qn#:Qs#:Qe#:Qw#";
const std::string kBelow2 = "Object Below Horizon!!\r\rMay need to Refresh Object List.";

int Iss() { return TestCatalogue()->IssIndex(); }

PassTimes IssPass() {
    static const PassTimes pass = FindPass(Iss(), 2457870.5, 35.0, 70.0);
    return pass;
}

// A driver on a scripted port or a simulated mount, its clock at a UTC Julian date.
struct DriverRig {
    explicit DriverRig(double utc, ScopeType type = ScopeType::LX200)
        : clock(utc + kTestSite.utcOffset / 24.0),
          port(&clock),
          link(port, clock, display),
          mount(MountModel::LX200GPS, MountSite{40.0, -75.0, 100.0, -4.0}, clock) {
        store.Set(TestCatalogue());
        SetSite(live, Iss());
        link.SetScopeType(type);
        link.SetDeviceResolver([this](int n) {
            lastPort = n;
            return "dev";
        });
    }
    void UseMount() {
        mountLink = std::make_unique<SerialLink>(mount, clock, display);
        mountLink->SetScopeType(link.GetScopeType());
        mountLink->SetDeviceResolver([](int) { return "sim"; });
    }
    SerialLink& Link() { return mountLink ? *mountLink : link; }
    TrackingDriver& Driver() {
        if (!driver) driver = std::make_unique<TrackingDriver>(Link(), live, store, clock, display);
        return *driver;
    }
    void ConnectScripted() {
        port.Open("dev");
        link.SetConnectedPort(1);
        link.SetLongFormat(true);
    }
    // The UTC Julian date the clock shows now.
    double Utc() const { return clock.LocalJulianDate() - kTestSite.utcOffset / 24.0; }

    SteppingClock clock;
    ScriptedSerialPort port;
    RecordingDisplay display;
    SerialLink link;
    SimulatedMount mount;
    std::unique_ptr<SerialLink> mountLink;
    CatalogueStore store;
    LiveState live;
    std::unique_ptr<TrackingDriver> driver;
    int lastPort = 0;
};

}  // namespace

TEST(TrackingDriver, LeadFollowsTheTrackingMethodSlider) {
    EXPECT_EQ(Lx200Lead(0), 0.0);
    EXPECT_EQ(Lx200Lead(1), 0.5);
    EXPECT_EQ(Lx200Lead(3), 3.0);
    EXPECT_EQ(Lx200Lead(5), 7.0);
}

TEST(TrackingDriver, AlignmentStepsShiftTheAimToOppositeSidesOfThePath) {
    PropagationSlot slot(kSlotTracking);
    const auto catalogue = TestCatalogue();
    const double jd = IssPass().culminationUtc;
    const CycleTarget plain = ComputeCycleTarget(*catalogue, Iss(), jd, kTestSite, 0, slot);
    const CycleTarget plus = ComputeCycleTarget(*catalogue, Iss(), jd, kTestSite, 5, slot);
    const CycleTarget minus = ComputeCycleTarget(*catalogue, Iss(), jd, kTestSite, -5, slot);
    ASSERT_TRUE(plain.ok && plus.ok && minus.ok);
    const double dAz1 = plus.azimuthDeg - plain.azimuthDeg, dEl1 = plus.elevationDeg - plain.elevationDeg;
    const double dAz2 = minus.azimuthDeg - plain.azimuthDeg, dEl2 = minus.elevationDeg - plain.elevationDeg;
    EXPECT_GT(std::hypot(dAz1, dEl1), 0.01);
    EXPECT_LT(dAz1 * dAz2 + dEl1 * dEl2, 0.0);  // opposite directions
    EXPECT_NEAR(std::hypot(dAz1, dEl1), std::hypot(dAz2, dEl2), 0.2 * std::hypot(dAz1, dEl1));

    const CycleTarget none = ComputeCycleTarget(*catalogue, 0, jd, kTestSite, 0, slot);
    EXPECT_FALSE(none.ok);
}

TEST(TrackingDriver, FirstLx200CycleAimsAheadOfTheObjectAndPollsTheBars) {
    DriverRig rig(IssPass().culminationUtc);
    rig.ConnectScripted();
    rig.port.Always("#:D#", std::string(32, ' ') + "#");
    rig.live.Update([](LiveValues& v) { v.trackingMethod = 1; });
    // New object: 6 s, plus 1.2 s, plus the 0.5 s lead of slider position 1.
    const double jd = rig.clock.JulianDateNow() + (6000.0 / 1000.0 + 1.2 + 0.0) / 86400.0 -
                      kTestSite.utcOffset / 24.0 + 0.5 / 86400.0;
    PropagationSlot slot(kSlotTracking);
    const CycleTarget t = ComputeCycleTarget(*TestCatalogue(), Iss(), jd, kTestSite, 0, slot);
    rig.clock.onSleep = [&] {
        if (rig.port.writes.size() >= 2) rig.Driver().RequestStop();
    };
    rig.Driver().SetTrackingOn(true);
    rig.Driver().RunTracking();
    ASSERT_EQ(rig.port.writes.size(), 2u);
    EXPECT_EQ(rig.port.writes[0], SetTargetAndSlewCommand(t.raHours, t.decDegrees, true));
    EXPECT_EQ(rig.port.writes[1], "#:D#");
    EXPECT_EQ(rig.display.raLine.rfind("R.A. Tracking to ", 0), 0u);
    EXPECT_NE(rig.display.raLine.find(" hr "), std::string::npos);
    EXPECT_EQ(rig.display.decLine.rfind("Dec. Tracking to +", 0), 0u);
    EXPECT_TRUE(rig.display.messages.empty());
}

TEST(TrackingDriver, TrackingLimitStopsTheMountWithItsMessage) {
    DriverRig rig(IssPass().culminationUtc);
    rig.ConnectScripted();
    TrackingSettings settings;
    settings.limitEnabled = true;
    settings.limitDegrees = 20;
    rig.Driver().SetSettings(settings);
    rig.Driver().SetTrackingOn(true);
    rig.Driver().RunTracking();
    EXPECT_EQ(rig.port.writes, (std::vector<std::string>{kStopAllText}));
    ASSERT_EQ(rig.display.messages.size(), 1u);
    EXPECT_EQ(rig.display.messages[0].text, "Elevation of object exceeds limit set in preferences.");
    EXPECT_EQ(rig.display.messages[0].title, "Tracking Stopped");
    EXPECT_FALSE(rig.Driver().TrackingOn());
    EXPECT_EQ(rig.display.raLine, "R.A. Tracking Stopped");
    EXPECT_EQ(rig.display.decLine, "Dec. Tracking Stopped");
    EXPECT_FALSE(rig.display.startShowsStop);
}

TEST(TrackingDriver, BelowTheHorizonEndsTrackingBothWays) {
    // Continuous: the computed elevation decides, after the positioning command went out.
    DriverRig rig(IssPass().losUtc + 600.0 / 86400.0);
    rig.ConnectScripted();
    rig.Driver().SetTrackingOn(true);
    rig.Driver().RunTracking();
    ASSERT_EQ(rig.port.writes.size(), 2u);
    EXPECT_EQ(rig.port.writes[1], kStopAllText);
    ASSERT_EQ(rig.display.messages.size(), 1u);
    EXPECT_EQ(rig.display.messages[0].text, kBelow2);
    EXPECT_EQ(rig.display.messages[0].title, "Tracking Error");

    // Leap Frog: the mount's own refusal decides.
    DriverRig leap(IssPass().losUtc + 600.0 / 86400.0);
    leap.UseMount();
    ASSERT_TRUE(leap.Link().Connect(1));
    leap.live.Update([](LiveValues& v) { v.trackingMethod = 2; });
    leap.Driver().SetTrackingOn(true);
    leap.Driver().RunTracking();
    ASSERT_EQ(leap.display.messages.size(), 1u);
    EXPECT_EQ(leap.display.messages[0].text, "Object Below Horizon!\r\rMay need to Refresh Object List.");
    EXPECT_EQ(leap.mount.Commands().back(), ":Qw#");
    EXPECT_FALSE(leap.mount.State().slewing);
}

TEST(TrackingDriver, EachInterfaceHasItsStopSequence) {
    struct Case {
        ScopeType type;
        std::vector<std::string> writes;
    };
    const std::vector<Case> cases = {
        {ScopeType::LX200, {kStopAllText}},
        {ScopeType::GEMINI, {kStopAllText}},
        {ScopeType::ETX494, {kStopAllText}},
        {ScopeType::LX200GPS, {"#:Q#", "#:RE08.00#", "#:RA08.00#", "#:Q#", "#:Q#", "#:Q#"}},
        {ScopeType::ULTIMA, {"M\r\n"}},
        {ScopeType::NEXSTAR, {"?"}},
        {ScopeType::LOGFILE, {}},
        {ScopeType::NEXSTARGPS,
         {std::string("T\0", 2), std::string("P\x03\x10\x06\0\0\0\0", 8),
          std::string("P\x03\x11\x06\0\0\0\0", 8), std::string("T\x02", 2), "M"}},
        {ScopeType::CGE,
         {std::string("T\0", 2), std::string("P\x03\x10\x06\0\0\0\0", 8),
          std::string("P\x03\x11\x06\0\0\0\0", 8), std::string("T\x01", 2), "M"}},
    };
    for (const auto& c : cases) {
        DriverRig rig(IssPass().culminationUtc, c.type);
        rig.ConnectScripted();
        TrackingSettings settings;
        settings.ngpsMount = 2;
        rig.Driver().SetSettings(settings);
        rig.Driver().SetTrackingOn(true);
        rig.Driver().StopTracking();
        EXPECT_EQ(rig.port.writes, c.writes) << ScopeTypeCode(c.type);
        EXPECT_FALSE(rig.Driver().TrackingOn());
        EXPECT_EQ(rig.display.viewPlanRefreshes >= 1, true);
        EXPECT_TRUE(rig.display.connectEnabled);
        // A second stop of an interface with continuous engines sends nothing more.
        const size_t before = rig.port.writes.size();
        rig.Driver().StopTracking();
        const bool quiet =
            c.type == ScopeType::LX200GPS || c.type == ScopeType::NEXSTARGPS || c.type == ScopeType::CGE;
        if (quiet) {
            EXPECT_EQ(rig.port.writes.size(), before) << ScopeTypeCode(c.type);
        } else if (!c.writes.empty()) {
            EXPECT_GT(rig.port.writes.size(), before) << ScopeTypeCode(c.type);
        }
    }
}

TEST(TrackingDriver, StartStopTrackingConnectsTogglesAndReportsNoConnection) {
    DriverRig rig(IssPass().culminationUtc);
    rig.port.failOpen = true;
    rig.live.Update([](LiveValues& v) { v.comPort = 12; });  // beyond 8: port 1
    rig.Driver().StartStopTracking();
    EXPECT_EQ(rig.lastPort, 1);
    ASSERT_EQ(rig.display.messages.size(), 2u);
    EXPECT_EQ(rig.display.messages[0].text, "Unable To Initialize Serial Port");
    EXPECT_EQ(rig.display.messages[1].text, "Telescope not connected!");
    EXPECT_EQ(rig.display.messages[1].title, "No Connection");
    EXPECT_FALSE(rig.Driver().TrackingOn());

    rig.port.failOpen = false;
    rig.port.Always("#:GZ#",
                    "123\xDF"
                    "45'06#");
    rig.Driver().StartStopTracking();
    EXPECT_TRUE(rig.Driver().TrackingOn());
    EXPECT_TRUE(rig.display.startShowsStop);
    EXPECT_FALSE(rig.display.connectEnabled);
    rig.Driver().StartStopTracking();
    EXPECT_FALSE(rig.Driver().TrackingOn());
    EXPECT_EQ(rig.port.writes.back(), kStopAllText);

    // The Log File interface needs no port at all.
    DriverRig logFile(IssPass().culminationUtc, ScopeType::LOGFILE);
    logFile.Driver().StartStopTracking();
    EXPECT_TRUE(logFile.Driver().TrackingOn());
    EXPECT_EQ(logFile.link.ConnectedPort(), 1);
    EXPECT_EQ(logFile.port.openCount, 0);
}

TEST(TrackingDriver, LeapFrogEnginesWithoutAnObjectOnlyWait) {
    for (ScopeType type : {ScopeType::ETX494, ScopeType::ETX497, ScopeType::ULTIMA, ScopeType::NEXSTAR}) {
        DriverRig rig(IssPass().culminationUtc, type);
        rig.ConnectScripted();
        rig.live.Update([](LiveValues& v) { v.selectedObject = 0; });
        rig.clock.onSleep = [&] {
            if (rig.clock.MonotonicSeconds() > 30.0) rig.Driver().RequestStop();
        };
        rig.Driver().SetTrackingOn(true);
        rig.Driver().RunTracking();
        EXPECT_GT(rig.clock.MonotonicSeconds(), 30.0);
        EXPECT_TRUE(rig.port.writes.empty()) << ScopeTypeCode(type);
        EXPECT_TRUE(rig.display.messages.empty()) << ScopeTypeCode(type);
    }
}

TEST(TrackingDriver, GeostationaryObjectsAreHeldStillOnTheLx200Gps) {
    // A geostationary satellite high in this site's southern sky.
    const auto catalogue = TestCatalogue();
    PropagationSlot slot(kSlotGeostationary);
    const double jd = IssPass().culminationUtc;
    int geo = 0;
    for (int i = 1; i <= catalogue->Count() && geo == 0; ++i) {
        if (!ConvertElementSet(*catalogue, i, slot)) continue;
        const ElementSet& e = slot.Elements();
        const double revs = e.meanMotion / (2 * 3.141592653589793 / 1440);
        if (e.eccentricity < 0.01 && e.inclination < 0.05 && std::fabs(revs - 1.0027) < 0.01) {
            const CycleTarget t = ComputeCycleTarget(*catalogue, i, jd, kTestSite, 0, slot);
            if (t.ok && t.elevationDeg > 30) geo = i;
        }
    }
    ASSERT_GT(geo, 0);
    DriverRig rig(jd, ScopeType::LX200GPS);
    rig.UseMount();
    ASSERT_TRUE(rig.Link().Connect(1));
    rig.live.Update([&](LiveValues& v) { v.selectedObject = geo; });
    rig.clock.onSleep = [&] {
        const auto commands = rig.mount.Commands();
        if (std::find(commands.begin(), commands.end(), ":AL#") != commands.end())
            rig.Driver().RequestStop();
    };
    rig.Driver().SetTrackingOn(true);
    rig.Driver().RunTracking();
    EXPECT_EQ(rig.mount.Commands().back(), ":AL#");  // held still until the Stop
    const std::string raLine = rig.display.raLine, decLine = rig.display.decLine;
    rig.Driver().FinishStop();
    const auto commands = rig.mount.Commands();
    EXPECT_TRUE(std::find(commands.begin(), commands.end(), ":MS#") != commands.end());
    EXPECT_TRUE(std::find(commands.begin(), commands.end(), ":D#") != commands.end());
    const auto held = std::find(commands.begin(), commands.end(), ":AL#");
    ASSERT_NE(held, commands.end());
    // The LX200GPS stop, then the alt-az alignment back.
    EXPECT_EQ(std::vector<std::string>(held + 1, commands.end()),
              (std::vector<std::string>{":Q#", ":RE08.00#", ":RA08.00#", ":Q#", ":Q#", ":Q#", ":AA#"}));
    EXPECT_EQ(raLine.rfind("Geostationary. Azimuth ", 0), 0u);
    EXPECT_EQ(decLine.rfind("Geostationary. Altitude ", 0), 0u);
    EXPECT_EQ(raLine.substr(raLine.size() - 2), " \xB0");
    PropagationSlot check(kSlotTracking);
    const CycleTarget t = ComputeCycleTarget(*catalogue, geo, rig.Utc(), kTestSite, 0, check);
    const MountState s = rig.mount.State();
    EXPECT_LT(Separation(s.azimuth, s.altitude, t.azimuthDeg, t.elevationDeg), 0.1);
}

TEST(PositionLog, RecordsHaveTheFixedPictures) {
    const double jd = CivilToJulianDate(2026, 1, 5, 3, 4, 5.678);
    EXPECT_EQ(PositionRecordLine(jd, 7.5, -3.2, 0.25, -0.5, 12.5),
              "20260105|03:04:05.67|7.50000|-3.20000|.25000|-.50000| 12.5\r\n");
    EXPECT_EQ(PositionRecordLine(jd, 359.123456, 45.0, 23.5, 0.0, -30.25),
              "20260105|03:04:05.67|359.12346|+45.00000|23.50000|-.00000|-30.25\r\n");
    EXPECT_EQ(UnsignedPicture(0.0), ".00000");
    EXPECT_EQ(PositionLogFileName(" 25544 "), "log25544.txt");
    PositionLogHeader h{"ISS (ZARYA)             ", "25544", "40.0  ", "-75", "100", "-4", "visual.txt  "};
    EXPECT_EQ(PositionLogHeaderText(h),
              "Generated by Corvane   \r\nObject: ISS (ZARYA)  NORAD 25544\r\n"
              "Location: 40.0N  -75E  100m   UTC -4\r\nTLE File: visual.txt\r\n"
              "Format:  Date(UTC)|Time(UTC)|Azimuth|Elevation|R.A.|Declination\r\n\r\n");
}

TEST(TrackingDriver, LogFileInterfaceWritesOneRecordPerHundredth) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("corvane-logfile-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    DriverRig rig(IssPass().culminationUtc, ScopeType::LOGFILE);
    TrackingSettings settings;
    settings.logFolder = dir.string();
    settings.elementFile = "catalogue-2017-04-27.tle";
    rig.Driver().SetSettings(settings);
    const double start = rig.clock.MonotonicSeconds();
    rig.clock.onSleep = [&] {
        if (rig.clock.MonotonicSeconds() - start >= 2.0) rig.Driver().RequestStop();
    };
    rig.Driver().StartStopTracking();
    rig.Driver().RunTracking();
    EXPECT_TRUE(rig.display.messages.empty());

    std::ifstream in(dir / "log25544.txt", std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    EXPECT_EQ(text.rfind("Generated by Corvane   \r\nObject: ISS (ZARYA)  NORAD 25544\r\n", 0), 0u)
        << text.substr(0, 200);
    const std::regex record(
        R"(\d{8}\|\d\d:\d\d:\d\d\.\d\d\|\d*\.\d{5}\|[+-]\d*\.\d{5}\|\d*\.\d{5}\|[+-]\d*\.\d{5}\|[ -][0-9.e+-]+\r\n)");
    const auto records =
        std::distance(std::sregex_iterator(text.begin(), text.end(), record), std::sregex_iterator());
    EXPECT_GE(records, 190);
    EXPECT_LE(records, 201);
    std::filesystem::remove_all(dir);
}
