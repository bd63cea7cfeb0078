#pragma once
// Whole ISS passes tracked in virtual time by a goto-only mount in the leap-frog method, by the
// standard or the predictive engine. Each time the mount comes to rest it rests on an aim point;
// the miss of that aim point is the least angle between the object and where the mount points
// while it rests there. Between two looks at the mount (the engine's pauses) the mount's pointing
// is interpolated and the object computed every 20 ms, so a fast object is not missed between
// looks. Also: the pointing RMS and the time outside a 0.5 degree field from the first intercept.
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "TrackingFixture.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDriver.h"
#include "sim/SimulatedEarlyNexStar.h"
#include "sim/SimulatedMount.h"
#include "support/RecordingDisplay.h"
#include "support/SteppingClock.h"

namespace corvane::test {

struct LeapPassFigures {
    std::vector<double> misses;  // per aim point after the first, degrees
    double largest = 0, median = 0;
    double rms = 0;             // pointing, from the first intercept on
    double outsideSeconds = 0;  // outside a 0.5 degree field, from the first intercept on
    double seconds = 0;         // from the first intercept on
    double peak = 0;
    bool intercepted = false;
    std::vector<ShownMessage> messages;
};

// The simulated mount of a goto-only interface, pointing south half way up.
inline std::unique_ptr<MountSimulator> MakeLeapMount(ScopeType type, Clock& clock) {
    const MountSite site{kTestSite.latitude, kTestSite.longitude, kTestSite.altitude, kTestSite.utcOffset};
    std::unique_ptr<MountSimulator> mount;
    switch (type) {
        case ScopeType::ULTIMA:
        case ScopeType::NEXSTAR:
            mount = std::make_unique<SimulatedEarlyNexStar>(
                type == ScopeType::ULTIMA ? EarlyNexStarModel::Ultima2000 : EarlyNexStarModel::NexStar58,
                site, clock);
            break;
        default: {
            const MountModel model = type == ScopeType::ETX494   ? MountModel::AutoStar494
                                     : type == ScopeType::ETX497 ? MountModel::AutoStar497
                                     : type == ScopeType::AP     ? MountModel::LX200Compatible
                                     : type == ScopeType::GEMINI ? MountModel::Gemini
                                                                 : MountModel::LX200;
            mount = std::make_unique<SimulatedMount>(model, site, clock);
            break;
        }
    }
    mount->PointAt(180.0, 45.0);
    return mount;
}

// A goto-only mount and the driver that tracks the ISS with it, the clock at a UTC Julian date.
struct LeapRig {
    SteppingClock clock;
    std::unique_ptr<MountSimulator> mount;
    RecordingDisplay display;
    SerialLink link;
    CatalogueStore store;
    LiveState live;
    TrackingDriver driver;

    LeapRig(ScopeType type, double utc, bool predictive, int slider)
        : clock(utc + kTestSite.utcOffset / 24.0),
          mount(MakeLeapMount(type, clock)),
          link(*mount, clock, display),
          driver(link, live, store, clock, display) {
        store.Set(TestCatalogue());
        SetSite(live, TestCatalogue()->IssIndex());
        live.Update([&](LiveValues& v) { v.trackingMethod = slider; });
        link.SetScopeType(type);
        link.SetDeviceResolver([](int) { return "sim"; });
        TrackingSettings settings;
        settings.predictive = predictive;
        driver.SetSettings(settings);
    }
};

inline LeapPassFigures TrackLeapPass(ScopeType type, bool predictive, double minPeak, double maxPeak,
                                     int slider = 4) {
    const auto catalogue = TestCatalogue();
    const int iss = catalogue->IssIndex();
    const PassTimes pass = FindPass(iss, 2457870.5, minPeak, maxPeak);
    if (pass.losUtc <= 0) return LeapPassFigures{};
    PropagationSlot truth(kSlotPassPrediction);
    double startUtc = pass.aosUtc;
    while (ComputeCycleTarget(*catalogue, iss, startUtc, kTestSite, 0, truth).elevationDeg < 10.0)
        startUtc += 1.0 / 86400.0;
    LeapRig rig(type, startUtc, predictive, slider);
    SteppingClock& clock = rig.clock;
    MountSimulator* mount = rig.mount.get();
    TrackingDriver& driver = rig.driver;

    LeapPassFigures f;
    f.peak = pass.maxElevation;
    struct Look {
        double at = -1, utc = 0, az = 0, alt = 0, ra = 0, dec = 0;
    } last;
    bool inRest = true;              // the mount rests (at first where it stands)
    double restRa = 0, restDec = 0;  // where it last rested
    int rests = 0;                   // rests begun after the mount first moved
    double restMiss = 1e9;           // the least miss of the rest under way
    double sum = 0;
    auto closeRest = [&] {
        // The first rest after the first goto is the intercept; only the later ones count.
        if (rests >= 2 && restMiss < 1e9) f.misses.push_back(restMiss);
        restMiss = 1e9;
    };
    clock.onSleep = [&] {
        const double now = clock.MonotonicSeconds();
        if (now - last.at < 0.02) return;
        const double utc = clock.LocalJulianDate() - kTestSite.utcOffset / 24.0;
        const MountState s = mount->State();
        if (last.at >= 0) {
            const double dt = now - last.at;
            // At rest: holding one place on the sky (RA and Dec) as a mount following it does,
            // whatever its axes do (near the zenith a slewing azimuth moves the tube but slowly).
            const double drift = Separation(s.raHours * 15.0, s.decDegrees, last.ra * 15.0, last.dec);
            const bool resting = drift / dt < 0.02;
            // A rest ends once the mount has left it: the last creep of a goto ending (or the
            // gears taking up their play) does not end it.
            if (resting) {
                if (!inRest) ++rests;
                inRest = true;
                restRa = s.raHours;
                restDec = s.decDegrees;
            } else if (inRest && Separation(s.raHours * 15.0, s.decDegrees, restRa * 15.0, restDec) > 0.05) {
                closeRest();
                inRest = false;
            }
            // The span since the last look, in 20 ms steps, the pointing interpolated.
            const int steps = std::max(1, static_cast<int>(std::ceil(dt / 0.02)));
            const double dAz = std::remainder(s.azimuth - last.az, 360.0);
            for (int k = 1; k <= steps; ++k) {
                const double x = static_cast<double>(k) / steps;
                const double at = last.utc + x * (utc - last.utc);
                const CycleTarget o = ComputeCycleTarget(*catalogue, iss, at, kTestSite, 0, truth);
                const double error = Separation(last.az + x * dAz, last.alt + x * (s.altitude - last.alt),
                                                o.azimuthDeg, o.elevationDeg);
                if (resting && inRest && rests >= 1) restMiss = std::min(restMiss, error);
                if (!f.intercepted && error < 0.5) f.intercepted = true;
                if (!f.intercepted) continue;
                sum += error * error * dt / steps;
                f.seconds += dt / steps;
                if (error > 0.25) f.outsideSeconds += dt / steps;
            }
        }
        last = Look{now, utc, s.azimuth, s.altitude, s.raHours, s.decDegrees};
        const CycleTarget at = ComputeCycleTarget(*catalogue, iss, utc, kTestSite, 0, truth);
        if (at.elevationDeg < 10.0 && utc > pass.culminationUtc) driver.RequestStop();  // the ISS sinks
    };
    if (!rig.link.Connect(1)) return f;
    driver.StartStopTracking();
    if (!driver.TrackingOn()) return f;
    driver.RunTracking();
    driver.FinishStop();
    // A rest cut short by the end of the pass is left out: the object may not have reached it.
    f.rms = f.seconds > 0 ? std::sqrt(sum / f.seconds) : 0;
    if (!f.misses.empty()) {
        std::vector<double> sorted = f.misses;
        std::sort(sorted.begin(), sorted.end());
        f.largest = sorted.back();
        f.median = sorted[sorted.size() / 2];
    }
    f.messages = rig.display.Messages();
    return f;
}

}  // namespace corvane::test
