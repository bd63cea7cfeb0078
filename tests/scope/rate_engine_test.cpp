// The rate engines' arithmetic, and how each engine ends when the mount fails it or the object
// is gone: the message, the stop sequence, and no hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "TrackingFixture.h"
#include "scope/NexStarCodec.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDriver.h"
#include "sim/SimulatedMount.h"
#include "sim/SimulatedNexStar.h"
#include "support/RecordingDisplay.h"
#include "support/SteppingClock.h"

using namespace corvane;
using namespace corvane::test;

namespace {

const MountSite kMountSite{kTestSite.latitude, kTestSite.longitude, kTestSite.altitude, kTestSite.utcOffset};
const std::string kNexStarStop[] = {"T<0>", "P<3><16><6><0><0><0><0>", "P<3><17><6><0><0><0><0>"};

int Iss() { return TestCatalogue()->IssIndex(); }

PassTimes IssPass() {
    static const PassTimes pass = FindPass(Iss(), 2457870.5, 35.0, 70.0);
    return pass;
}

CycleTarget At(double az, double el, double raHours = 0, double dec = 0) {
    CycleTarget t;
    t.ok = true;
    t.azimuthDeg = az;
    t.elevationDeg = el;
    t.raHours = raHours;
    t.decDegrees = dec;
    return t;
}

// A display that keeps every progress-bar setting with the virtual time it was made at.
class ProgressDisplay : public RecordingDisplay {
public:
    explicit ProgressDisplay(const Clock& clock) : clock_(clock) {}
    void SetProgress(int ra, int dec) override {
        RecordingDisplay::SetProgress(ra, dec);
        settings.push_back({clock_.MonotonicSeconds(), ra});
    }
    std::vector<std::pair<double, int>> settings;

private:
    const Clock& clock_;
};

// A driver against a simulated mount, its clock at a UTC Julian date.
struct RateRig {
    RateRig(double utc, ScopeType type) : clock(utc + kTestSite.utcOffset / 24.0) {
        store.Set(TestCatalogue());
        SetSite(live, Iss());
        if (type == ScopeType::LX200GPS) {
            mount = std::make_unique<SimulatedMount>(MountModel::LX200GPS, kMountSite, clock);
        } else {
            mount = std::make_unique<SimulatedNexStar>(
                type == ScopeType::CGE ? NexStarModel::Cge : NexStarModel::NexStarGps, kMountSite, clock);
        }
        link = std::make_unique<SerialLink>(*mount, clock, display);
        link->SetScopeType(type);
        link->SetDeviceResolver([](int) { return "sim"; });
        driver = std::make_unique<TrackingDriver>(*link, live, store, clock, display);
    }
    // Connects, starts tracking and runs the engine until it ends (or `limitSeconds` of virtual
    // time pass, when the test stops it as the user would).
    void Run(double limitSeconds = 1800.0) {
        ASSERT_TRUE(link->Connect(1));
        driver->StartStopTracking();
        ASSERT_TRUE(driver->TrackingOn());
        const double start = clock.MonotonicSeconds();
        clock.onSleep = [this, start, limitSeconds] {
            if (onSleep) onSleep();
            if (clock.MonotonicSeconds() - start > limitSeconds) driver->RequestStop();
        };
        driver->RunTracking();
        driver->FinishStop();
        clock.onSleep = nullptr;
    }
    std::vector<std::string> Commands() const { return mount->Commands(); }
    double Elapsed() const { return clock.MonotonicSeconds(); }

    SteppingClock clock;
    ProgressDisplay display{clock};
    std::unique_ptr<MountSimulator> mount;
    std::unique_ptr<SerialLink> link;
    CatalogueStore store;
    LiveState live;
    std::unique_ptr<TrackingDriver> driver;
    std::function<void()> onSleep;
};

bool EndsWithNexStarStop(const std::vector<std::string>& commands, const std::string& mode) {
    const std::vector<std::string> tail = {kNexStarStop[0], kNexStarStop[1], kNexStarStop[2],
                                           "T<" + mode + ">", "M"};
    return commands.size() >= tail.size() &&
           std::equal(tail.begin(), tail.end(), commands.end() - tail.size());
}

size_t IndexOf(const std::vector<std::string>& commands, const std::string& command, size_t from = 0) {
    for (size_t i = from; i < commands.size(); ++i) {
        if (commands[i] == command) return i;
    }
    return commands.size();
}

}  // namespace

TEST(RateArithmetic, Lx200GpsTableRatesTakeTheShortWayAcrossNorthAndZeroHours) {
    const LgpsRate north = LgpsTableRates(At(359.0, 40.0), At(1.0, 41.0), true);
    EXPECT_DOUBLE_EQ(north.rate1, 1.0);
    EXPECT_DOUBLE_EQ(north.rate2, 0.5);
    const LgpsRate back = LgpsTableRates(At(1.0, 40.0), At(359.0, 39.0), true);
    EXPECT_DOUBLE_EQ(back.rate1, -1.0);
    const LgpsRate polar = LgpsTableRates(At(0, 0, 23.99, 10.0), At(0, 0, 0.01, 11.0), false);
    EXPECT_NEAR(polar.rate1, 0.15, 1e-9);  // 0.02 h = 0.3 degrees over 2 s
    EXPECT_DOUBLE_EQ(polar.rate2, 0.5);
}

TEST(RateArithmetic, Lx200GpsCorrectionIsDividedAndOnlyPositiveValuesDamped) {
    EXPECT_NEAR(LgpsDampCorrection(1.5, 0).c1, 0.125 * 0.7, 1e-12);
    EXPECT_NEAR(LgpsDampCorrection(-1.5, 0).c1, -0.125, 1e-12);
    EXPECT_NEAR(LgpsDampCorrection(0.6, 0).c1, 0.05, 1e-12);
    EXPECT_NEAR(LgpsDampCorrection(0, 1.5).c2, 0.125 * 0.7, 1e-12);
    EXPECT_DOUBLE_EQ(LgpsDampCorrection(250.0, 0).c1, 0.0);
    EXPECT_DOUBLE_EQ(LgpsDampCorrection(-201.0, 0).c1, 0.0);
}

TEST(RateArithmetic, NexStarRatesGoOutOnAChangeOrBeyondTheSmallestStep) {
    EXPECT_FALSE(NexStarRateDue(1040, 1000, false, 50));
    EXPECT_TRUE(NexStarRateDue(1060, 1000, false, 50));
    EXPECT_FALSE(NexStarRateDue(950, 1000, false, 50));
    EXPECT_TRUE(NexStarRateDue(-43200, 43200, false, 50));
    EXPECT_TRUE(NexStarRateDue(1001, 1000, true, 50));  // Alt-Az: any change
    EXPECT_FALSE(NexStarRateDue(1000, 1000, true, 50));
}

TEST(RateArithmetic, NexStarRatesAndAzimuthMeansTakeTheShortWayAcrossNorth) {
    // Mount at 359.5, object a second from now at 0.5: one degree a second, not 3 (clamped).
    EXPECT_EQ(NexStarRateTowards(0.5, 359.5, 1.0), 14400);
    EXPECT_EQ(NexStarRateTowards(359.5, 0.5, 1.0), -14400);
    EXPECT_EQ(NexStarRateTowards(10.25, 10.0, -1.0), -3600);  // right ascension turns the other way
    EXPECT_EQ(NexStarRateTowards(std::nan(""), 10.0, 1.0), 0);
    EXPECT_NEAR(MeanAzimuth(359.9, 0.1), 0.0, 1e-9);
    EXPECT_NEAR(MeanAzimuth(0.3, 359.9), 0.1, 1e-9);
    EXPECT_NEAR(MeanAzimuth(100.0, 102.0), 101.0, 1e-9);
}

TEST(RateArithmetic, MeridianSideAndTheCrossingSearch) {
    EXPECT_EQ(MeridianSide(90.0), 0);
    EXPECT_EQ(MeridianSide(180.0), 1);  // exactly south counts as west
    EXPECT_EQ(MeridianSide(0.0), 1);
    EXPECT_EQ(MeridianSide(270.0), 1);

    const double start = 2457871.0;
    auto always = [] { return true; };
    // Crosses south 95 s after the start: found at the first 10-s step past it.
    const auto found = FindMeridianCrossing(
        [&](double jd, double& el) -> std::optional<double> {
            el = 40.0;
            return (jd - start) * 86400.0 < 95.0 ? 170.0 : 190.0;
        },
        start, always);
    ASSERT_TRUE(found);
    EXPECT_NEAR((*found - start) * 86400.0, 100.0, 1e-3);
    // Stays east for the whole 20 minutes: none.
    int calls = 0;
    EXPECT_FALSE(FindMeridianCrossing(
        [&](double, double& el) -> std::optional<double> {
            ++calls;
            el = 40.0;
            return 120.0;
        },
        start, always));
    EXPECT_EQ(calls, 121);
    // Sets before it would cross: none.
    EXPECT_FALSE(FindMeridianCrossing(
        [&](double jd, double& el) -> std::optional<double> {
            el = (jd - start) * 86400.0 < 50.0 ? 10.0 : -1.0;
            return (jd - start) * 86400.0 < 95.0 ? 170.0 : 190.0;
        },
        start, always));
    // A position the model cannot give ends the search without a crossing.
    EXPECT_FALSE(FindMeridianCrossing([](double, double&) -> std::optional<double> { return std::nullopt; },
                                      start, always));
    // A stop ends the search.
    EXPECT_FALSE(FindMeridianCrossing(
        [&](double jd, double& el) -> std::optional<double> {
            el = 40.0;
            return (jd - start) * 86400.0 < 95.0 ? 170.0 : 190.0;
        },
        start, [] { return false; }));
}

TEST(RateArithmetic, HorizontalFromEquatorialAgreesWithTheSky) {
    double az = 0, alt = 0;
    HorizontalFromEquatorial(5.0, 40.0, 5.0, 40.0, az, alt);  // on the meridian at the zenith
    EXPECT_NEAR(alt, 90.0, 1e-5);
    HorizontalFromEquatorial(5.0, 0.0, 5.0, 40.0, az, alt);
    EXPECT_NEAR(alt, 50.0, 1e-9);
    EXPECT_NEAR(az, 180.0, 1e-9);
    HorizontalFromEquatorial(11.0, 0.0, 5.0, 40.0, az, alt);  // six hours east: rising due east
    EXPECT_NEAR(alt, 0.0, 1e-9);
    EXPECT_NEAR(az, 90.0, 1e-9);
}

TEST(RateEngineFailures, NexStarGpsWithASilentOrGarbledMountStopsWithItsMessage) {
    for (const MountFault fault : {MountFault::Silence, MountFault::Garbage}) {
        RateRig rig(IssPass().culminationUtc - 120.0 / 86400.0, ScopeType::NEXSTARGPS);
        rig.onSleep = [&] {
            if (rig.Elapsed() > 20.0) rig.mount->InjectFault(fault);
        };
        rig.Run();
        EXPECT_FALSE(rig.driver->TrackingOn());
        EXPECT_LT(rig.Elapsed(), 60.0);
        ASSERT_EQ(rig.display.messages.size(), 1u);
        EXPECT_EQ(rig.display.messages[0].text, "Cannot get NexStarGPS Current Position!");
        EXPECT_EQ(rig.display.messages[0].title, "Tracking Aborted");
        if (fault == MountFault::Garbage) {
            EXPECT_TRUE(EndsWithNexStarStop(rig.Commands(), "1"));
        }
    }
}

TEST(RateEngineFailures, NexStarGpsBelowTheHorizonAndTheLimitStopTheMount) {
    // Starting a minute before the ISS sets: the engine follows it down, then stops.
    RateRig rig(IssPass().losUtc - 60.0 / 86400.0, ScopeType::NEXSTARGPS);
    rig.Run();
    ASSERT_EQ(rig.display.messages.size(), 1u);
    EXPECT_EQ(rig.display.messages[0].text, "Object Below Horizon!!\r\rMay need to Refresh Object List.");
    EXPECT_EQ(rig.display.messages[0].title, "Tracking Error");
    EXPECT_TRUE(EndsWithNexStarStop(rig.Commands(), "1"));

    RateRig limited(IssPass().culminationUtc - 60.0 / 86400.0, ScopeType::NEXSTARGPS);
    TrackingSettings s;
    s.ngpsMount = 2;
    s.limitEnabled = true;
    s.limitDegrees = 10;
    limited.driver->SetSettings(s);
    limited.Run();
    ASSERT_EQ(limited.display.messages.size(), 1u);
    EXPECT_EQ(limited.display.messages[0].text, "Elevation of object exceeds limit set in preferences.");
    EXPECT_TRUE(EndsWithNexStarStop(limited.Commands(), "2"));
}

TEST(RateEngineFailures, CgeNamesTheMountWhenItFallsSilentWhileTracking) {
    RateRig rig(IssPass().culminationUtc - 200.0 / 86400.0, ScopeType::CGE);
    rig.onSleep = [&] {
        if (rig.Elapsed() > 60.0) rig.mount->InjectFault(MountFault::Garbage);
    };
    rig.Run();
    ASSERT_EQ(rig.display.messages.size(), 1u);
    EXPECT_EQ(rig.display.messages[0].text, "Cannot get CGE Current Position!");
    EXPECT_EQ(rig.display.messages[0].title, "Tracking Aborted");
    EXPECT_TRUE(EndsWithNexStarStop(rig.Commands(), "1"));
    EXPECT_LT(rig.Elapsed(), 120.0);

    RateRig silent(IssPass().culminationUtc, ScopeType::CGE);
    ASSERT_TRUE(silent.link->Connect(1));
    silent.mount->InjectFault(MountFault::Garbage);
    silent.driver->SetTrackingOn(true);
    silent.driver->RunTracking();
    ASSERT_EQ(silent.display.messages.size(), 1u);
    EXPECT_EQ(silent.display.messages[0].text, "Cannot get NexStarGPS Current Position!");
}

TEST(RateEngineFailures, Lx200GpsRefusedSlewAndExhaustedTableEndWithTheirMessages) {
    // The mount refuses targets below 80 degrees: no "110", so the intercept fails at once.
    {
        RateRig rig(IssPass().culminationUtc - 120.0 / 86400.0, ScopeType::LX200GPS);
        MountParameters p = DefaultMountParameters(MountModel::LX200GPS);
        p.minAltitude = 80.0;
        rig.mount = std::make_unique<SimulatedMount>(MountModel::LX200GPS, kMountSite, rig.clock, p);
        rig.driver.reset();
        rig.link = std::make_unique<SerialLink>(*rig.mount, rig.clock, rig.display);
        rig.link->SetScopeType(ScopeType::LX200GPS);
        rig.link->SetDeviceResolver([](int) { return "sim"; });
        rig.driver = std::make_unique<TrackingDriver>(*rig.link, rig.live, rig.store, rig.clock, rig.display);
        rig.Run();
        ASSERT_EQ(rig.display.messages.size(), 1u);
        EXPECT_EQ(
            rig.display.messages[0].text,
            "Unable to position telescope within time limits.\r\rMay need to increase maximum slew rate.");
        EXPECT_EQ(rig.display.messages[0].title, "Tracking Error");
        const auto c = rig.Commands();
        EXPECT_LT(IndexOf(c, ":RA08.00#"), c.size());  // the LX200GPS stop sequence went out
    }
    // A mount that falls silent during the intercept is a lost line, not a slow slew.
    {
        RateRig rig(IssPass().culminationUtc - 120.0 / 86400.0, ScopeType::LX200GPS);
        rig.onSleep = [&] {
            if (rig.Elapsed() > 3.0) rig.mount->InjectFault(MountFault::Silence);
        };
        rig.Run();
        ASSERT_EQ(rig.display.messages.size(), 1u);
        EXPECT_EQ(rig.display.messages[0].text, "Lost communication with the telescope.");
        EXPECT_EQ(rig.display.messages[0].title, "Tracking Error");
        EXPECT_LT(rig.Elapsed(), 15.0);
    }
    // Silence in the rate loop leaves the rates to the table until the object sets; a line
    // that closes ends tracking at once.
    {
        RateRig rig(IssPass().culminationUtc - 120.0 / 86400.0, ScopeType::LX200GPS);
        rig.onSleep = [&] {
            if (rig.Elapsed() > 60.0) rig.mount->InjectFault(MountFault::Silence);
        };
        rig.Run();
        ASSERT_EQ(rig.display.messages.size(), 1u);
        EXPECT_EQ(rig.display.messages[0].text,
                  "Object Below Horizon or exceeded Tracking Limit set in Preferences!!");
        EXPECT_GT(rig.Elapsed(), 300.0);
    }
    {
        RateRig rig(IssPass().culminationUtc - 120.0 / 86400.0, ScopeType::LX200GPS);
        rig.onSleep = [&] {
            if (rig.Elapsed() > 60.0) rig.mount->InjectFault(MountFault::ClosedLine);
        };
        rig.Run();
        ASSERT_EQ(rig.display.messages.size(), 1u);
        EXPECT_EQ(rig.display.messages[0].text, "Lost communication with the telescope.");
        EXPECT_LT(rig.Elapsed(), 65.0);
    }
    // Ninety seconds before the ISS sets the table holds about 90 entries; the rate loop then
    // runs out of them and stops.
    {
        RateRig rig(IssPass().losUtc - 90.0 / 86400.0, ScopeType::LX200GPS);
        rig.Run();
        ASSERT_EQ(rig.display.messages.size(), 1u);
        EXPECT_EQ(rig.display.messages[0].text,
                  "Object Below Horizon or exceeded Tracking Limit set in Preferences!!");
        EXPECT_NEAR(rig.Elapsed(), 90.0, 5.0);
        const auto c = rig.Commands();
        EXPECT_LT(IndexOf(c, ":RA08.00#"), c.size());
    }
}

TEST(RateEngineStops, AStopEndsEveryEngineAtOnceWithNoPositioningAfterIt) {
    for (const ScopeType type : {ScopeType::LX200GPS, ScopeType::NEXSTARGPS, ScopeType::CGE}) {
        for (const double at : {3.0, 12.0, 40.0, 90.0}) {
            RateRig rig(IssPass().culminationUtc - 150.0 / 86400.0, type);
            size_t before = 0;
            double stoppedAt = 0;
            rig.onSleep = [&] {
                if (stoppedAt == 0 && rig.Elapsed() > at) {
                    stoppedAt = rig.Elapsed();
                    before = rig.Commands().size();
                    rig.driver->RequestStop();
                }
            };
            rig.Run();
            SCOPED_TRACE(std::string(ScopeTypeCode(type)) + " stopped at " + std::to_string(at));
            EXPECT_FALSE(rig.driver->TrackingOn());
            EXPECT_TRUE(rig.display.messages.empty());
            EXPECT_LT(rig.Elapsed() - stoppedAt, 3.0);
            const auto c = rig.Commands();
            for (size_t i = before; i < c.size(); ++i) {
                const std::string& command = c[i];
                const bool positioning =
                    command.rfind("R", 0) == 0 || command.rfind(":MS", 0) == 0 ||
                    command.rfind(":Me", 0) == 0 || command.rfind(":Mw", 0) == 0 ||
                    command.rfind(":Mn", 0) == 0 || command.rfind(":Ms", 0) == 0 ||
                    (command.rfind("P<3>", 0) == 0 && command.find("<0><0><0><0>") == std::string::npos);
                EXPECT_FALSE(positioning) << command;
            }
            if (type == ScopeType::LX200GPS) {
                EXPECT_LT(IndexOf(c, ":RA08.00#", before), c.size());
            } else {
                EXPECT_TRUE(EndsWithNexStarStop(c, "1"));
            }
        }
    }
}

TEST(RateEngines, NexStarCyclesMoreThanFiveSecondsApartSendNoRates) {
    RateRig rig(IssPass().culminationUtc - 150.0 / 86400.0, ScopeType::NEXSTARGPS);
    size_t changedAt = 0;
    rig.onSleep = [&] {
        if (changedAt != 0 || rig.Elapsed() < 40.0) return;
        const auto c = rig.Commands();
        if (c.empty() || c.back().rfind("P<3>", 0) != 0) return;  // wait for the end-of-cycle pause
        changedAt = c.size();
        // The Timing Offset jumps by 6 s: the next cycle's sample lies 7 s after the one before.
        rig.live.Update([](LiveValues& v) { v.timingOffsetText = "6"; });
    };
    rig.Run(60.0);
    const auto c = rig.Commands();
    ASSERT_GT(changedAt, 0u);
    const size_t first = IndexOf(c, "E", changedAt);
    const size_t second = IndexOf(c, "E", first + 1);
    ASSERT_LT(second, c.size());
    EXPECT_EQ(second, first + 1);  // nothing between the two position queries
    const size_t third = IndexOf(c, "E", second + 1);
    ASSERT_LT(third, c.size());
    EXPECT_GT(third, second + 1);  // the cycle after it drives the motors again
    EXPECT_EQ(c[second + 1].rfind("P<3>", 0), 0u);
}

TEST(RateEngines, CgeFlipsTenSecondsBeforeTheCrossingAimsThirtySecondsAheadAndCountsDown) {
    // The moderate pass crosses the meridian in the north, about 90 s after this start.
    const double start = IssPass().culminationUtc - 100.0 / 86400.0;
    const auto catalogue = TestCatalogue();
    PropagationSlot slot(kSlotPassPrediction);
    auto iss = [&](double utc) { return ComputeCycleTarget(*catalogue, Iss(), utc, kTestSite, 0.0, slot); };
    RateRig rig(start, ScopeType::CGE);
    auto* cge = dynamic_cast<SimulatedNexStar*>(rig.mount.get());
    ASSERT_NE(cge, nullptr);
    int gotos = 0;
    double flipAt = 0, flipUtc = 0, firstProgress = 0;
    std::string flipCommand;
    bool flippedBefore = false, flippedAfter = false;
    rig.onSleep = [&] {
        const auto c = rig.Commands();
        int seen = 0;
        for (const auto& command : c) seen += command[0] == 'R' ? 1 : 0;
        if (seen > gotos) {
            gotos = seen;
            if (gotos == 2) {
                flippedBefore = cge->PierFlipped();
                flipAt = rig.Elapsed();
                flipUtc = rig.clock.LocalJulianDate() - kTestSite.utcOffset / 24.0;
                for (auto it = c.rbegin(); it != c.rend(); ++it) {
                    if ((*it)[0] == 'R') {
                        flipCommand = *it;
                        break;
                    }
                }
                firstProgress = static_cast<double>(rig.display.settings.size());
            }
        }
        if (flipAt > 0 && rig.Elapsed() > flipAt + 70.0) flippedAfter = cge->PierFlipped();
        if (flipAt > 0 && rig.Elapsed() > flipAt + 75.0) rig.driver->RequestStop();
    };
    rig.Run(400.0);
    ASSERT_EQ(gotos, 2) << "no flip";
    EXPECT_NE(flippedBefore, flippedAfter);  // the mount went over to the other side of the pier

    // The crossing the engine searched for, and when the flip went out.
    const auto crossing = FindMeridianCrossing(
        [&](double jd, double& el) -> std::optional<double> {
            const CycleTarget t = iss(jd);
            el = t.elevationDeg;
            return t.azimuthDeg;
        },
        start, [] { return true; });
    ASSERT_TRUE(crossing);
    const double before = (*crossing - flipUtc) * 86400.0;
    EXPECT_GT(before, 7.0);
    EXPECT_LT(before, 11.5);
    // The goto aims where the ISS will be 30 s on.
    const NexStarReply aim = ParseNexStarPositionReply(flipCommand.substr(1) + "#");
    ASSERT_EQ(aim.error, NexStarReplyError::None) << flipCommand;
    double closest = 1e9;
    for (double s = 28.0; s <= 31.0; s += 0.05) {
        const CycleTarget t = iss(flipUtc + s / 86400.0);
        closest = std::min(closest, Separation(aim.position.raHours * 15.0, aim.position.decDegrees,
                                               t.raHours * 15.0, t.decDegrees));
    }
    EXPECT_LT(closest, 0.02);

    // The countdown: 58 settings, half a second apart, from 30 down to 1.
    const auto& p = rig.display.settings;
    const size_t from = static_cast<size_t>(firstProgress);
    ASSERT_GE(p.size(), from + 58);
    EXPECT_GE(p[from].second, 29);
    EXPECT_EQ(p[from + 57].second, 1);
    for (size_t i = from + 1; i < from + 58; ++i) EXPECT_LE(p[i].second, p[i - 1].second);
    EXPECT_NEAR(p[from + 57].first - p[from].first, 28.5, 0.3);
}

TEST(RateEngines, NexStarLineThatDiesAfterTheQueryIsGivenUpAtOnce) {
    RateRig rig(IssPass().culminationUtc - 150.0 / 86400.0, ScopeType::NEXSTARGPS);
    double closedAt = 0;
    rig.onSleep = [&] {
        if (closedAt > 0 || rig.Elapsed() < 30.0) return;
        const auto c = rig.Commands();
        if (c.empty() || c.back() != "E") return;
        closedAt = rig.Elapsed();
        rig.mount->InjectFault(MountFault::ClosedLine);
    };
    rig.Run();
    ASSERT_GT(closedAt, 0.0);
    ASSERT_EQ(rig.display.messages.size(), 1u);
    EXPECT_EQ(rig.display.messages[0].text, "Lost communication with the telescope.");
    EXPECT_LT(rig.Elapsed() - closedAt, 2.0);  // not 200 polls of a dead line
}

TEST(RateEngines, CgeWithTheCrossingHalfAMinuteAheadStartsAtOnce) {
    // The crossing of the moderate pass lies 20 to 40 s after these starts: the goto due for the
    // new object is not re-planned as a flip over and over.
    const double crossingUtc = [] {
        const auto catalogue = TestCatalogue();
        PropagationSlot slot(kSlotPassPrediction);
        return *FindMeridianCrossing(
            [&](double jd, double& el) -> std::optional<double> {
                const CycleTarget t = ComputeCycleTarget(*catalogue, Iss(), jd, kTestSite, 0.0, slot);
                el = t.elevationDeg;
                return t.azimuthDeg;
            },
            IssPass().culminationUtc - 200.0 / 86400.0, [] { return true; });
    }();
    for (const double ahead : {22.0, 30.0, 38.0}) {
        RateRig rig(crossingUtc - ahead / 86400.0, ScopeType::CGE);
        rig.Run(60.0);
        SCOPED_TRACE(ahead);
        EXPECT_TRUE(rig.display.messages.empty());
        EXPECT_GE(rig.Elapsed(), 60.0);
        const auto c = rig.Commands();
        EXPECT_LT(IndexOf(c, "M"), c.size());  // past the countdown into rate tracking
    }
}

TEST(RateEngines, Lx200GpsRenewsItsTwoHourTableForAnObjectStillUp) {
    // A GPS satellite stays above this site for hours: the engine goes on past the 7000 s of
    // its first table.
    const auto catalogue = TestCatalogue();
    PropagationSlot slot(kSlotPassPrediction);
    const double start = 2457871.5;
    int object = 0;
    for (int i = 1; i <= catalogue->Count() && object == 0; ++i) {
        if (catalogue->NameLine(i).rfind("GPS BIIR", 0) != 0) continue;
        bool up = true;
        for (double s = 0; s <= 7600 && up; s += 120) {
            const CycleTarget t =
                ComputeCycleTarget(*catalogue, i, start + s / 86400.0, kTestSite, 0.0, slot);
            up = t.ok && t.elevationDeg > 15.0;
        }
        if (up) object = i;
    }
    ASSERT_GT(object, 0);
    RateRig rig(start, ScopeType::LX200GPS);
    rig.live.Update([&](LiveValues& v) { v.selectedObject = object; });
    rig.Run(7300.0);
    EXPECT_TRUE(rig.display.messages.empty()) << rig.display.messages[0].text;
    EXPECT_GE(rig.Elapsed(), 7300.0);
}
