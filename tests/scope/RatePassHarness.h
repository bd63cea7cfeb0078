#pragma once
// Whole passes of the ISS tracked in virtual time against a simulated rate-driven mount, by the
// standard or the predictive method: the pointing error from the first intercept on, the time
// spent outside a 0.5 degree field, and the CGE's flip.
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "TrackingFixture.h"
#include "scope/KeyholePlan.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDriver.h"
#include "sim/SimulatedMount.h"
#include "sim/SimulatedNexStar.h"
#include "support/RecordingDisplay.h"
#include "support/SteppingClock.h"

namespace corvane::test {

inline const MountSite kMountSite{kTestSite.latitude, kTestSite.longitude, kTestSite.altitude,
                                  kTestSite.utcOffset};

struct PassFigures {
    double rms = 0, max = 0, seconds = 0;
    double maxAt = 0;                       // seconds after the first intercept
    double settledRms = 0, settledMax = 0;  // from 30 s after the first intercept on
    double flipMax = 0, flipSeconds = 0;    // while the CGE swings across the pier
    double outsideSeconds = 0;              // outside a 0.5 degree field, after the first intercept
    bool intercepted = false, flipped = false;
    // The CGE's own choice of side: west of the pier with the ISS east of the meridian, or east
    // of it with the ISS west of the meridian.
    bool westWhileEast = false, eastWhileWest = false;
    double peak = 0;
    std::vector<ShownMessage> messages;
};

enum class Rig { Lx200GpsAltAz, Lx200GpsPolar, NexStarAltAz, NexStarEq, Cge, Lx200Continuous };

// Where the CGE's pier limit lies. Away from the meridian the pass is one that culminates in the
// south, crossing the meridian from west to east: west of the first goto's target, so that the
// mount stays east of the pier with the ISS still west of the meridian; or east of the flip's
// target, so that the mount stays west of the pier with the ISS already east of it.
enum class PierLimit { Meridian, WestOfFirstGoto, EastOfFlip };

// `interceptWithin`: how close the mount must first come to the object for the measurement to
// start, degrees.
// `skipFrom`..`skipTo` (UTC Julian dates): a span left out of the RMS and maximum (a keyhole),
// though not out of the time outside the field.
// `seed`: of the mount's latency jitter.
inline PassFigures TrackPass(Rig rig, double minPeak, double maxPeak, bool predictive = false,
                             double interceptWithin = 0.5, double skipFrom = 0.0, double skipTo = 0.0,
                             PierLimit limit = PierLimit::Meridian, uint32_t seed = 1) {
    const auto catalogue = TestCatalogue();
    const int iss = catalogue->IssIndex();
    PassTimes pass = FindPass(iss, 2457870.5, minPeak, maxPeak);
    PropagationSlot probe(kSlotPassPrediction);
    for (int tries = 0; limit != PierLimit::Meridian && tries < 20 && pass.losUtc > 0; ++tries) {
        const double az =
            ComputeCycleTarget(*catalogue, iss, pass.culminationUtc, kTestSite, 0, probe).azimuthDeg;
        if (az > 120.0 && az < 240.0) break;
        pass = FindPass(iss, pass.losUtc, minPeak, maxPeak);
    }
    if (pass.losUtc <= 0) return PassFigures{};  // no such pass: nothing intercepted
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
        if (!crossing) return PassFigures{};
        pierLimit = std::max(-90.0, hourAngle(*crossing + 30.0 / 86400.0) - 10.0);
    }
    SteppingClock clock(startUtc + kTestSite.utcOffset / 24.0);
    std::unique_ptr<MountSimulator> mount;
    SimulatedNexStar* nexstar = nullptr;
    TrackingSettings settings;
    settings.predictive = predictive;
    ScopeType type = ScopeType::LX200GPS;
    switch (rig) {
        case Rig::Lx200GpsAltAz:
        case Rig::Lx200GpsPolar: {
            MountParameters p = DefaultMountParameters(MountModel::LX200GPS);
            p.realism.seed = seed;
            p.polar = rig == Rig::Lx200GpsPolar;
            settings.lgpsMount = p.polar ? 2 : 1;
            auto m = std::make_unique<SimulatedMount>(MountModel::LX200GPS, kMountSite, clock, p);
            m->PointAt(180.0, 45.0);
            mount = std::move(m);
            break;
        }
        case Rig::Lx200Continuous: {
            type = ScopeType::LX200;
            auto m = std::make_unique<SimulatedMount>(MountModel::LX200, kMountSite, clock);
            m->PointAt(180.0, 45.0);
            mount = std::move(m);
            break;
        }
        case Rig::NexStarAltAz:
        case Rig::NexStarEq:
        case Rig::Cge: {
            const NexStarModel model = rig == Rig::Cge ? NexStarModel::Cge : NexStarModel::NexStarGps;
            NexStarParameters p = DefaultNexStarParameters(model);
            p.realism.seed = seed;
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
        if (!f.intercepted && error < interceptWithin) {
            f.intercepted = true;
            interceptAt = now;
        }
        if (!f.intercepted) return;
        if (error > 0.25) f.outsideSeconds += 0.5;
        if (utc >= skipFrom && utc <= skipTo) return;
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
        if (error > f.max) f.maxAt = now - interceptAt;
        f.max = std::max(f.max, error);
        if (now - interceptAt > 30.0) {
            f.settledMax = std::max(f.settledMax, error);
            settledSum += error * error;
            ++settledSamples;
        }
        ++samples;
    };
    if (!link.Connect(1)) return f;
    driver.StartStopTracking();
    if (!driver.TrackingOn()) return f;
    driver.RunTracking();
    driver.FinishStop();
    f.rms = samples > 0 ? std::sqrt(sum / samples) : 0;
    f.settledRms = settledSamples > 0 ? std::sqrt(settledSum / settledSamples) : 0;
    f.seconds = samples / 2.0;
    f.messages = display.Messages();
    return f;
}

// The keyhole of a pass on a mount's first axis: where the object needs more than the cap, the
// least time out of a 0.5 degree field the cap allows, and the span of the swing.
struct Keyhole {
    double least = 0.0, fromUtc = 0.0, toUtc = 0.0;
};

inline Keyhole KeyholeOf(Rig rig, double minPeak, double maxPeak, double cap) {
    const auto catalogue = TestCatalogue();
    const PassTimes pass = FindPass(catalogue->IssIndex(), 2457870.5, minPeak, maxPeak);
    PropagationSlot slot(kSlotPassPrediction);
    std::vector<AxisSample> samples;
    for (double s = 0.0; pass.aosUtc + s / 86400.0 < pass.losUtc; s += 0.5) {
        const CycleTarget t = ComputeCycleTarget(*catalogue, catalogue->IssIndex(), pass.aosUtc + s / 86400.0,
                                                 kTestSite, 0.0, slot);
        const bool altAz =
            rig == Rig::NexStarAltAz || rig == Rig::Lx200GpsAltAz || rig == Rig::Lx200Continuous;
        samples.push_back(altAz ? AxisSample{s, t.azimuthDeg, t.elevationDeg}
                                : AxisSample{s, (t.localSiderealHours - t.raHours) * 15.0, t.decDegrees});
    }
    const KeyholePlan plan = PlanKeyhole(samples, cap);
    Keyhole k;
    k.least = plan.leastOutside;
    // The swing (the engine spreads its changes of rate over the mount's acceleration and so may
    // leave a little earlier; a slower cap stands for that), and 20 s after it for the rates to
    // settle.
    const KeyholePlan early = PlanKeyhole(samples, 0.9 * cap);
    if (!plan.path.empty() && !early.path.empty()) {
        k.fromUtc = pass.aosUtc + (std::min(plan.leaves, early.leaves) - 5.0) / 86400.0;
        k.toUtc = pass.aosUtc + (std::max(plan.rejoins, early.rejoins) + 20.0) / 86400.0;
    }
    return k;
}

}  // namespace corvane::test
