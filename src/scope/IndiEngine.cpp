// The INDI engine: a goto to where the object will be when the slew ends, then closed-loop
// custom tracking rates recomputed every cycle from the object's motion and the mount's reported
// position; repeated gotos when the driver offers no custom rates.
#include <algorithm>
#include <cmath>

#include "core/Text.h"
#include "scope/IndiTracking.h"
#include "scope/PredictiveController.h"
#include "scope/TrackingDriver.h"
#include "scope/TrackingDriverParts.h"

namespace corvane {

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;
// One cycle of the rate loop, milliseconds.
constexpr int kIndiCycleMs = 500;
constexpr double kIndiCycleSeconds = kIndiCycleMs / 1000.0;

double Finite(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

}  // namespace

IndiRates IndiTrackRates(double raDegPerSecond, double decDegPerSecond, double raErrorDeg, double decErrorDeg,
                         const IndiRateLimits& limits) {
    const double ra = Finite(raDegPerSecond, 0.0) + Finite(raErrorDeg, 0.0) / kIndiCorrectionSeconds;
    const double dec = Finite(decDegPerSecond, 0.0) + Finite(decErrorDeg, 0.0) / kIndiCorrectionSeconds;
    IndiRates rates;
    rates.ra = std::clamp(kIndiSiderealArcsecPerSecond - ra * 3600.0, limits.raMin, limits.raMax);
    rates.dec = std::clamp(dec * 3600.0, limits.decMin, limits.decMax);
    return rates;
}

void IndiMotion(const IndiRates& rates, double& raDegPerSecond, double& decDegPerSecond) {
    raDegPerSecond = (kIndiSiderealArcsecPerSecond - rates.ra) / 3600.0;
    decDegPerSecond = rates.dec / 3600.0;
}

namespace {
bool Reverses(double from, double to) { return (from > 0 && to < 0) || (from < 0 && to > 0); }
}  // namespace

bool IndiReversesRate(const IndiRates& from, const IndiRates& to) {
    return Reverses(from.ra, to.ra) || Reverses(from.dec, to.dec);
}

IndiRates IndiThroughZero(const IndiRates& from, const IndiRates& to) {
    IndiRates r = to;
    if (Reverses(from.ra, to.ra)) r.ra = 0.0;
    if (Reverses(from.dec, to.dec)) r.dec = 0.0;
    return r;
}

double IndiSeparation(double ra1Hours, double dec1Deg, double ra2Hours, double dec2Deg) {
    const double d1 = dec1Deg * kDegree, d2 = dec2Deg * kDegree, h = (ra1Hours - ra2Hours) * 15.0 * kDegree;
    const double c = std::sin(d1) * std::sin(d2) + std::cos(d1) * std::cos(d2) * std::cos(h);
    return std::acos(std::clamp(c, -1.0, 1.0)) / kDegree;
}

PredictiveLimits IndiControllerLimits(const IndiRateLimits& limits) {
    PredictiveLimits l;
    // The rates the driver takes, as motion on the sky (RA as an angle), the same either way.
    auto motion = [](double indiRa) { return (kIndiSiderealArcsecPerSecond - indiRa) / 3600.0; };
    l.rateCap1 = std::max(0.0, std::min(std::fabs(motion(limits.raMin)), std::fabs(motion(limits.raMax))));
    if (!(limits.raMin <= kIndiSiderealArcsecPerSecond && kIndiSiderealArcsecPerSecond <= limits.raMax))
        l.rateCap1 = 0.0;  // a driver that cannot even hold the sky: its own clamp decides
    l.rateCap2 = std::max(0.0, std::min(-limits.decMin, limits.decMax) / 3600.0);
    l.rateCap1 = std::isfinite(l.rateCap1) && l.rateCap1 > 0 ? l.rateCap1 : 1e6;
    l.rateCap2 = std::isfinite(l.rateCap2) && l.rateCap2 > 0 ? l.rateCap2 : 1e6;
    // A driver takes a new rate as it comes and reports where the mount points.
    l.initialLatency = 0.0;
    l.correctionSeconds = kIndiCorrectionSeconds;
    return l;
}

void TrackingDriver::IndiStop() {
    IndiMount* mount = link_.Indi();
    link_.AuditLog("Stopping Scope.");
    if (mount == nullptr || !mount->Connected()) return;
    mount->Abort();
    mount->SetTracking(false);
}

bool TrackingDriver::IndiLost(IndiMount& mount) {
    if (StopAsked() || mount.Connected()) return false;
    link_.AuditLog("The INDI server or device went away.");
    StopWithMessage("", "Lost communication with the telescope.", "Tracking Error");
    return true;
}

bool TrackingDriver::IndiBelowHorizon(const CycleTarget& target) {
    if (target.elevationDeg >= 0) return false;
    IndiStop();
    StopWithMessage("", "Object Below Horizon!!\r\r" + kRefresh, "Tracking Error");
    return true;
}

// Sends the mount to where the object will be when the slew is over (the slew time estimated
// from the distance, as the NexStar GPS engine does), waits for the slew, then for the object.
// A mount that slews much faster than the estimate is sent once more, to a nearer point, rather
// than left waiting long. False when it did not aim: no position, another object, or tracking
// ended (with its message).
bool TrackingDriver::IndiAim(IndiMount& mount, Cycle& cycle) {
    auto stop = [this] { IndiStop(); };
    for (int attempt = 1;; ++attempt) {
        double lead = 2.0;
        if (const auto p = mount.Position()) {
            if (!PrepareCycle(cycle, 0.0, 0.0, 0.0, stop)) return false;
            lead += IndiSeparation(p->raHours, p->decDegrees, cycle.target.raHours, cycle.target.decDegrees) /
                    3.0;
        }
        const double arrival = clock_.MonotonicSeconds() + lead;
        if (!PrepareCycle(cycle, 0.0, lead, 0.0, stop)) return false;
        const CycleTarget& t = cycle.target;
        if (IndiBelowHorizon(t)) return false;
        bool sent = false;
        stop_.Gated([&] { sent = mount.Slew(t.raHours, t.decDegrees); });
        if (!sent) return false;
        link_.AuditLog("INDI goto RA " + PlainNumber(t.raHours) + " Dec " + PlainNumber(t.decDegrees) +
                       " lead " + PlainNumber(lead));
        const double start = clock_.MonotonicSeconds();
        if (!Pause(500)) return false;
        for (;;) {
            if (IndiLost(mount)) return false;
            const auto p = mount.Position();
            if (p && !p->slewing) break;
            if (clock_.MonotonicSeconds() - start > 180.0) break;
            if (!Pause(200) || live_.Snapshot().selectedObject != cycle.object) return false;
        }
        if (attempt < 3 && arrival - clock_.MonotonicSeconds() > 5.0) continue;
        // The mount holds the point (it tracks the sky after a goto) until the object gets there.
        while (clock_.MonotonicSeconds() < arrival - kIndiCycleMs / 1000.0) {
            if (!Pause(100) || live_.Snapshot().selectedObject != cycle.object) return false;
        }
        return true;
    }
}

void TrackingDriver::IndiEngine() {
    IndiMount* indi = link_.Indi();
    if (indi == nullptr) {
        StopWithMessage("", "Lost communication with the telescope.", "Tracking Error");
        return;
    }
    IndiMount& mount = *indi;
    if (IndiLost(mount)) return;
    const bool byRates = mount.OffersCustomRates();
    link_.AuditLog(byRates ? "INDI: tracking by custom rates"
                           : "INDI: the driver offers no custom rates; tracking by gotos");
    auto stop = [this] { IndiStop(); };
    int previousObject = 0;
    bool aimed = false, ratesOn = false;
    IndiRates sent;         // the rates the driver holds, as sent
    double decSense = 1.0;  // -1 when the driver turns a positive Dec rate into a falling Dec
    std::optional<IndiPosition> lastReport;
    PredictiveController controller(IndiControllerLimits(mount.RateLimits()));

    // Rates that hold the mount still, so that a goto's tracking keeps the aim point whatever
    // custom rates the driver still holds (through zero: any rate may go to zero).
    auto holdStill = [&] {
        if (!byRates) return;
        stop_.Gated([&] {
            if (mount.SetTrackRates(0.0, 0.0) && mount.SetTrackRates(kIndiSiderealArcsecPerSecond, 0.0))
                sent = IndiRates{};
        });
    };

    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        if (cycle.object == 0) {
            Pause(kIndiCycleMs);
            continue;
        }
        if (IndiLost(mount)) return;
        if (cycle.object != previousObject) aimed = false;
        previousObject = cycle.object;
        if (!aimed) {
            ratesOn = false;
            lastReport.reset();
            controller.Reset();
            holdStill();
            aimed = IndiAim(mount, cycle);
            if (!trackingOn_.load()) return;
            if (!aimed) Pause(kIndiCycleMs);
            continue;
        }

        if (!byRates) {
            // Repeated gotos, ahead by the Tracking Method's lead plus the time of a short slew.
            const int method = std::clamp(cycle.values.trackingMethod, 0, 5);
            const double lead = Lx200Lead(method);
            if (!PrepareCycle(cycle, 1.2, lead, 0.0, stop)) {
                if (!trackingOn_.load()) return;
                Pause(kIndiCycleMs);
                continue;
            }
            const CycleTarget& t = cycle.target;
            if (IndiBelowHorizon(t)) return;
            bool sent = false;
            stop_.Gated([&] { sent = mount.Slew(t.raHours, t.decDegrees); });
            if (!sent || !Pause(300)) continue;
            const double start = clock_.MonotonicSeconds();
            for (;;) {
                if (IndiLost(mount)) return;
                const auto p = mount.Position();
                if ((p && !p->slewing) || clock_.MonotonicSeconds() - start > 8.0) break;
                if (!Pause(100)) break;
            }
            if (method == 0) {
                Pause(200);
            } else {
                const int wait = static_cast<int>(lead * 1.2 * 1000.0);
                Pause(wait < 1000 ? 1200 : wait);
            }
            continue;
        }

        // The shared controller: the object's motion from the moment the rates act, corrected on
        // the driver's position reports (dated by their arrival), the reports carried forward by
        // the rates sent since.
        const auto p = mount.Position();
        if (p && (!lastReport || p->receivedAt != lastReport->receivedAt))
            controller.NoteReading(p->receivedAt, AxisPair{p->raHours * 15.0, p->decDegrees});
        const double now = clock_.MonotonicSeconds();
        const double from = controller.EffectiveAt(now);
        if (!PrepareCycle(cycle, from - now + kIndiCycleSeconds, 0.0, 0.0, stop)) {
            if (!trackingOn_.load()) return;
            Pause(kIndiCycleMs);
            continue;
        }
        const CycleTarget end = cycle.target;
        if (!PrepareCycle(cycle, from - now, 0.0, 0.0, stop)) {
            if (!trackingOn_.load()) return;
            Pause(kIndiCycleMs);
            continue;
        }
        const CycleTarget t = cycle.target;
        if (IndiBelowHorizon(t)) return;
        if (!p || !controller.HasReading()) {
            Pause(kIndiCycleMs);
            continue;
        }
        // Some drivers (the INDI telescope simulator on one side of the pier among them) move the
        // Dec the other way for a positive rate: seen between two reports, the sense is turned.
        if (ratesOn && lastReport && p->receivedAt > lastReport->receivedAt + 0.2) {
            const double seen =
                (p->decDegrees - lastReport->decDegrees) / (p->receivedAt - lastReport->receivedAt);
            const double meant = sent.dec / 3600.0 * decSense;
            if (std::fabs(meant) > 0.02 && seen * meant < 0 && std::fabs(seen) > 0.5 * std::fabs(meant)) {
                decSense = -decSense;
                link_.AuditLog("INDI: the mount moves in Dec against the rate; the Dec rate is reversed");
                // What was sent moved the mount the other way: the reports alone from here on.
                controller.Reset();
                controller.NoteReading(p->receivedAt, AxisPair{p->raHours * 15.0, p->decDegrees});
            }
        }
        if (!lastReport || p->receivedAt != lastReport->receivedAt) lastReport = p;
        const AxisPair rates = controller.Rates(
            now, AxisTarget{AxisPair{t.raHours * 15.0, t.decDegrees},
                            AxisPair{end.raHours * 15.0, end.decDegrees}, kIndiCycleSeconds});
        const AxisPair error = controller.LastError();
        const double offBy = std::hypot(error.a1 * std::cos(t.decDegrees * kDegree), error.a2);
        if (offBy > kIndiReaimDegrees) {
            link_.AuditLog("INDI: the mount is " + PlainNumber(offBy) + " degrees off; aiming again");
            aimed = false;
            continue;
        }
        // The controller's rates in the driver's units (its limits too), the Dec in its sense.
        IndiRates want = IndiTrackRates(rates.a1, rates.a2, 0.0, 0.0, mount.RateLimits());
        want.dec *= decSense;
        bool ok = false;
        stop_.Gated([&] {
            ok = true;
            if (IndiReversesRate(sent, want)) {
                const IndiRates zero = IndiThroughZero(sent, want);
                ok = mount.SetTrackRates(zero.ra, zero.dec);
            }
            ok = ok && mount.SetTrackRates(want.ra, want.dec);
            if (ok && !ratesOn) ok = mount.SetCustomTrackMode() && mount.SetTracking(true);
        });
        if (ok) {
            link_.AuditLog("INDI rates RA " + PlainNumber(want.ra) + " Dec " + PlainNumber(want.dec) +
                           " arcsec/s; off by " + PlainNumber(offBy * 3600.0) + " arcsec");
            sent = want;
            ratesOn = true;
            double raRate = 0, decRate = 0;
            IndiMotion(IndiRates{want.ra, want.dec * decSense}, raRate, decRate);
            controller.NoteSent(now, AxisPair{raRate, decRate});
        }
        if (!Pause(kIndiCycleMs)) return;
    }
}

}  // namespace corvane
