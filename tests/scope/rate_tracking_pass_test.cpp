// Whole ISS passes tracked by the rate engines in virtual time against the simulated mounts:
// the pointing error between where the mount points and where the ISS is, from the first
// intercept on. The figures are printed and recorded; the bounds below catch an engine that
// loses the object, not the accuracy goal itself.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <optional>

#include "TrackingFixture.h"
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

struct PassFigures {
    double rms = 0, max = 0, seconds = 0;
    double settledRms = 0, settledMax = 0;  // from 30 s after the first intercept on
    double flipMax = 0, flipSeconds = 0;    // while the CGE swings across the pier
    bool intercepted = false, flipped = false;
    // The CGE's own choice of side: west of the pier with the ISS east of the meridian, or east
    // of it with the ISS west of the meridian.
    bool westWhileEast = false, eastWhileWest = false;
    double peak = 0;
    std::vector<ShownMessage> messages;
};

enum class Rig { Lx200GpsAltAz, Lx200GpsPolar, NexStarAltAz, NexStarEq, Cge };

// Where the CGE's pier limit lies, for a pass that crosses the meridian in the south, from west
// to east: at the meridian; west of the first goto's target, so that the mount stays east of the
// pier with the ISS still west of the meridian; or east of the flip's target, so that the mount
// stays west of the pier with the ISS already east of it.
enum class PierLimit { Meridian, WestOfFirstGoto, EastOfFlip };

PassFigures TrackPass(Rig rig, double minPeak, double maxPeak, PierLimit limit = PierLimit::Meridian) {
    const auto catalogue = TestCatalogue();
    const int iss = catalogue->IssIndex();
    PassTimes pass = FindPass(iss, 2457870.5, minPeak, maxPeak);
    PropagationSlot probe(kSlotPassPrediction);
    if (limit != PierLimit::Meridian) {
        // A pass that culminates in the south.
        for (int tries = 0; tries < 20 && pass.losUtc > 0.0; ++tries) {
            const double az =
                ComputeCycleTarget(*catalogue, iss, pass.culminationUtc, kTestSite, 0, probe).azimuthDeg;
            if (az > 120.0 && az < 240.0) break;
            pass = FindPass(iss, pass.losUtc, minPeak, maxPeak);
        }
    }
    EXPECT_GT(pass.losUtc, 0.0);
    double startUtc = pass.aosUtc;
    while (ComputeCycleTarget(*catalogue, iss, startUtc, kTestSite, 0, probe).elevationDeg < 10.0) {
        startUtc += 1.0 / 86400.0;
    }
    // The ISS's hour angle, degrees west of the meridian.
    auto hourAngle = [&](double utc) {
        const CycleTarget t = ComputeCycleTarget(*catalogue, iss, utc, kTestSite, 0, probe);
        return std::remainder((t.localSiderealHours - t.raHours) * 15.0, 360.0);
    };
    double pierLimit = 0.0;
    if (limit == PierLimit::WestOfFirstGoto) {
        // The limit lies no further west than 90 degrees: the first goto waits for the ISS to
        // come within 80 degrees of the meridian.
        while (hourAngle(startUtc + 30.0 / 86400.0) > 80.0) startUtc += 1.0 / 86400.0;
        pierLimit = std::min(90.0, hourAngle(startUtc + 30.0 / 86400.0) + 10.0);
    } else if (limit == PierLimit::EastOfFlip) {
        const std::optional<double> crossing = FindMeridianCrossing(
            [&](double jd, double& elevation) -> std::optional<double> {
                const CycleTarget t = ComputeCycleTarget(*catalogue, iss, jd, kTestSite, 0, probe);
                elevation = t.elevationDeg;
                return t.azimuthDeg;
            },
            startUtc + 30.0 / 86400.0, [] { return true; });
        EXPECT_TRUE(crossing.has_value());
        pierLimit = std::max(-90.0, hourAngle(crossing.value_or(startUtc) + 30.0 / 86400.0) - 10.0);
    }
    SteppingClock clock(startUtc + kTestSite.utcOffset / 24.0);
    std::unique_ptr<MountSimulator> mount;
    SimulatedNexStar* nexstar = nullptr;
    TrackingSettings settings;
    ScopeType type = ScopeType::LX200GPS;
    switch (rig) {
        case Rig::Lx200GpsAltAz:
        case Rig::Lx200GpsPolar: {
            MountParameters p = DefaultMountParameters(MountModel::LX200GPS);
            p.polar = rig == Rig::Lx200GpsPolar;
            settings.lgpsMount = p.polar ? 2 : 1;
            auto m = std::make_unique<SimulatedMount>(MountModel::LX200GPS, kMountSite, clock, p);
            m->PointAt(180.0, 45.0);
            mount = std::move(m);
            break;
        }
        case Rig::NexStarAltAz:
        case Rig::NexStarEq:
        case Rig::Cge: {
            const NexStarModel model = rig == Rig::Cge ? NexStarModel::Cge : NexStarModel::NexStarGps;
            NexStarParameters p = DefaultNexStarParameters(model);
            p.mounting = rig == Rig::NexStarEq ? NexStarMounting::EqNorth : NexStarMounting::AltAz;
            p.pierLimit = pierLimit;
            settings.ngpsMount = rig == Rig::NexStarEq ? 2 : 1;
            type = rig == Rig::Cge ? ScopeType::CGE : ScopeType::NEXSTARGPS;
            auto m = std::make_unique<SimulatedNexStar>(model, kMountSite, clock, p);
            m->PointAt(180.0, 45.0);
            nexstar = m.get();
            mount = std::move(m);
            break;
        }
    }
    RecordingDisplay display;
    SerialLink link(*mount, clock, display);
    link.SetScopeType(type);
    link.SetDeviceResolver([](int) { return "sim"; });
    CatalogueStore store;
    store.Set(catalogue);
    LiveState live;
    SetSite(live, iss);
    TrackingDriver driver(link, live, store, clock, display);
    driver.SetSettings(settings);

    PassFigures f;
    f.peak = pass.maxElevation;
    double sum = 0, lastSample = -1, interceptAt = 0, settledSum = 0;
    int settledSamples = 0;
    int samples = 0;
    bool wasFlipped = nexstar != nullptr && nexstar->PierFlipped();
    bool inFlip = false;  // a goto after the first intercept (only the CGE's flip)
    PropagationSlot truth(kSlotPassPrediction);
    clock.onSleep = [&] {
        const double now = clock.MonotonicSeconds();
        if (now - lastSample < 0.5) return;
        lastSample = now;
        const double utc = clock.LocalJulianDate() - kTestSite.utcOffset / 24.0;
        const CycleTarget at = ComputeCycleTarget(*catalogue, iss, utc, kTestSite, 0, truth);
        if (at.elevationDeg < 10.0 && utc > pass.culminationUtc) {
            driver.RequestStop();
            return;
        }
        const MountState s = mount->State();
        const double error = Separation(s.azimuth, s.altitude, at.azimuthDeg, at.elevationDeg);
        if (!f.intercepted && error < 0.5) {
            f.intercepted = true;
            interceptAt = now;
        }
        if (!f.intercepted) return;
        // The CGE's flip: from the start of the goto across the pier until the rate loop has the
        // object again (within 0.1 degree).
        if (nexstar != nullptr && s.slewing) inFlip = true;
        if (nexstar != nullptr && nexstar->PierFlipped() != wasFlipped) {
            wasFlipped = !wasFlipped;
            f.flipped = true;
        }
        if (nexstar != nullptr && !s.slewing) {
            const bool west = nexstar->PierFlipped();
            const bool objectEast = MeridianSide(at.azimuthDeg) == 0;
            f.westWhileEast = f.westWhileEast || (west && objectEast);
            f.eastWhileWest = f.eastWhileWest || (!west && !objectEast);
        }
        if (inFlip && (s.slewing || error > 0.1)) {
            f.flipMax = std::max(f.flipMax, error);
            f.flipSeconds += 0.5;
            return;
        }
        inFlip = false;
        sum += error * error;
        f.max = std::max(f.max, error);
        if (now - interceptAt > 30.0) {
            f.settledMax = std::max(f.settledMax, error);
            settledSum += error * error;
            ++settledSamples;
        }
        ++samples;
    };
    EXPECT_TRUE(link.Connect(1));
    driver.StartStopTracking();
    EXPECT_TRUE(driver.TrackingOn());
    driver.RunTracking();
    driver.FinishStop();
    f.rms = samples > 0 ? std::sqrt(sum / samples) : 0;
    f.settledRms = settledSamples > 0 ? std::sqrt(settledSum / settledSamples) : 0;
    f.seconds = samples / 2.0;
    f.messages = display.Messages();
    return f;
}

void Report(const std::string& what, const PassFigures& f) {
    std::cout << what << " (peak " << std::lround(f.peak) << " deg): RMS " << f.rms << " deg, max " << f.max
              << " deg (from 30 s on: RMS " << f.settledRms << ", max " << f.settledMax << ") over "
              << f.seconds << " s after the first intercept";
    if (f.flipped) std::cout << "; flip: " << f.flipSeconds << " s, max " << f.flipMax << " deg";
    std::cout << "\n";
    ::testing::Test::RecordProperty(what + " RMS deg", std::to_string(f.rms));
    ::testing::Test::RecordProperty(what + " max deg", std::to_string(f.max));
}

void ExpectFollowed(const PassFigures& f) {
    EXPECT_TRUE(f.intercepted);
    EXPECT_TRUE(f.messages.empty()) << (f.messages.empty() ? "" : f.messages[0].text);
    EXPECT_GT(f.seconds, 200.0);
}

}  // namespace

TEST(RateTrackingPass, Lx200GpsAltAzAndPolarFollowTheIss) {
    const PassFigures altAz = TrackPass(Rig::Lx200GpsAltAz, 35.0, 70.0);
    Report("LX200GPS Alt-Az", altAz);
    ExpectFollowed(altAz);
    EXPECT_LT(altAz.rms, 0.5);
    const PassFigures polar = TrackPass(Rig::Lx200GpsPolar, 35.0, 70.0);
    Report("LX200GPS polar", polar);
    ExpectFollowed(polar);
    EXPECT_LT(polar.rms, 0.5);
    const PassFigures high = TrackPass(Rig::Lx200GpsAltAz, 80.0, 90.0);
    Report("LX200GPS Alt-Az overhead", high);
    EXPECT_TRUE(high.intercepted);
}

TEST(RateTrackingPass, NexStarGpsAltAzAndEquatorialFollowTheIss) {
    const PassFigures altAz = TrackPass(Rig::NexStarAltAz, 35.0, 70.0);
    Report("NexStar GPS Alt-Az", altAz);
    ExpectFollowed(altAz);
    EXPECT_LT(altAz.rms, 0.5);
    const PassFigures eq = TrackPass(Rig::NexStarEq, 35.0, 70.0);
    Report("NexStar GPS EQ N", eq);
    ExpectFollowed(eq);
    EXPECT_LT(eq.rms, 0.5);
    const PassFigures high = TrackPass(Rig::NexStarAltAz, 80.0, 90.0);
    Report("NexStar GPS Alt-Az overhead", high);
    EXPECT_TRUE(high.intercepted);
    const PassFigures highEq = TrackPass(Rig::NexStarEq, 80.0, 90.0);
    Report("NexStar GPS EQ N overhead", highEq);
    EXPECT_TRUE(highEq.intercepted);
}

TEST(RateTrackingPass, CgeFollowsTheIssThroughAMeridianFlip) {
    const PassFigures moderate = TrackPass(Rig::Cge, 35.0, 70.0);
    Report("CGE", moderate);
    ExpectFollowed(moderate);
    EXPECT_TRUE(moderate.flipped);
    EXPECT_LT(moderate.rms, 0.5);
    const PassFigures high = TrackPass(Rig::Cge, 80.0, 90.0);
    Report("CGE overhead", high);
    EXPECT_TRUE(high.intercepted);
}

// The mount, not the program, chooses the side of the pier at a goto; the engine reads it back
// and must run the declination motor the right way round for the side the mount took.
TEST(RateTrackingPass, CgeFollowsTheIssOnWhicheverSideOfThePierTheMountChooses) {
    const PassFigures east = TrackPass(Rig::Cge, 35.0, 70.0, PierLimit::WestOfFirstGoto);
    Report("CGE east of the pier, ISS west", east);
    EXPECT_TRUE(east.eastWhileWest);
    ExpectFollowed(east);
    EXPECT_LT(east.rms, 0.5);
    EXPECT_LT(east.settledMax, 1.0);

    const PassFigures west = TrackPass(Rig::Cge, 35.0, 70.0, PierLimit::EastOfFlip);
    Report("CGE west of the pier, ISS east", west);
    EXPECT_TRUE(west.westWhileEast);
    ExpectFollowed(west);
    EXPECT_LT(west.rms, 0.5);
    EXPECT_LT(west.settledMax, 1.0);
}
