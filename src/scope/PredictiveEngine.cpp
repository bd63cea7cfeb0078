// Predictive tracking: one engine for every rate-driven mount. A goto to where the object will be
// when the mount arrives, then rates from the shared controller every half second: the object's
// motion from the instant the rates act, corrected on time-stamped position readings.
#include <algorithm>
#include <cmath>

#include "astro/AngleText.h"
#include "core/Text.h"
#include "scope/KeyholePlan.h"
#include "scope/PredictiveController.h"
#include "scope/PredictiveDialect.h"
#include "scope/PredictiveLeapFrog.h"
#include "scope/TrackingDriver.h"
#include "scope/TrackingDriverParts.h"

namespace corvane {

namespace {

// One cycle of the rate loop, seconds.
constexpr double kCycleSeconds = 0.5;
// An error beyond this on either axis means the mount lost the object: it aims afresh.
constexpr double kReaimDegrees = 2.0;
// The longest a goto may take before the engine gives it up, seconds.
constexpr double kLongestGoto = 180.0;
const std::string kBelowText = "Object Below Horizon!!\r\r" + kRefresh;
// Goto tracking: the lead of a first goto from afar, the longest lead, the share of the seen
// offset (in seconds of the object's motion) each cycle takes into the lead, and the distance
// from the object's path within which the offset teaches the lead.
constexpr double kGotoFirstLead = 4.0;
constexpr double kGotoLongestLead = 15.0;
constexpr double kGotoLeadGain = 0.3;
constexpr double kGotoNearDegrees = 1.0;
constexpr double kPredictiveDegree = 3.14159265358979323846 / 180.0;
// What a goto takes beyond its travel at the goto speed and its speeding up and slowing down
// (the command's way to the motors, the polling of its end), seconds.
constexpr double kGotoOverhead = 1.5;
// How far ahead the keyhole is looked for, and how often, seconds.
constexpr double kKeyholeLookahead = 150.0;
constexpr double kKeyholeEvery = 10.0;

// The time a goto loses speeding up to the goto speed and slowing down from it, seconds.
double GotoRamps(const RateDialect& dialect) {
    const double a = dialect.Limits().acceleration;
    return a > 0 ? dialect.GotoRate() / a : 0.0;
}

}  // namespace

bool TrackingDriver::PredictiveEngine() {
    // INDI's custom rates come from the shared controller in either method: its engine runs.
    if (link_.GetScopeType() == ScopeType::INDI) return false;
    const ScopeType type = link_.GetScopeType();
    const TrackingSettings settings = Settings();
    // The LX200 family in the Continuous method re-aims without waiting.
    if (live_.Snapshot().trackingMethod == 0) {
        if (std::unique_ptr<GotoDialect> gotos = MakeGotoDialect(type, settings, link_, clock_)) {
            PredictiveGotoEngine(*gotos);
            return true;
        }
    }
    // The goto-only mounts leap from aim point to aim point.
    if (std::unique_ptr<LeapDialect> leaps = MakeLeapDialect(type, settings, link_, clock_)) {
        PredictiveLeapFrogEngine(*leaps);
        return true;
    }
    std::unique_ptr<RateDialect> dialect = MakeRateDialect(type, settings, link_, clock_);
    if (!dialect) {
        link_.AuditLog("Predictive tracking is not available for this interface; the standard method runs.");
        display_.SetStatusLines("Predictive tracking not available:", "standard tracking runs.");
        return false;
    }
    PredictiveRateEngine(*dialect);
    return true;
}

// The object `atSeconds` (monotonic) from now, in cycle.target; the tracking limit ends tracking
// with its message. False when it must not aim.
bool TrackingDriver::PredictiveTarget(Cycle& cycle, double atSeconds, const std::function<void()>& stop) {
    if (cycle.object == 0) return false;
    return TargetAt(cycle, PredictiveUtc(cycle, atSeconds), stop);
}

double TrackingDriver::PredictiveUtc(const Cycle& cycle, double atSeconds) const {
    return clock_.JulianDateNow() +
           (atSeconds - clock_.MonotonicSeconds() + LeadingNumber(cycle.values.timingOffsetText)) / 86400.0 -
           cycle.site.utcOffset / 24.0;
}

// The first intercept: a goto to where the object will be when the mount gets there, then a wait
// until the object arrives. A goto that took longer than foreseen is followed by a shorter one.
TrackingDriver::AimResult TrackingDriver::PredictiveIntercept(RateDialect& dialect, Cycle& cycle,
                                                              ReplyWatch& watch, double knownLead) {
    const ScopeType type = link_.GetScopeType();
    auto stop = [&] { SendStopSequence(type); };
    for (int attempt = 1; attempt <= 4; ++attempt) {
        // The slew time from the distance on the worse axis, at the goto speed with a margin for
        // starting and stopping; refined once for where the object will then be.
        MountReading here;
        watch.Asked();
        const bool read = dialect.Read(cycle.site, here);
        watch.Judge(read);
        if (LostCommunication(watch)) return AimResult::kEnd;
        if (StopAsked()) return AimResult::kEnd;
        double lead = knownLead > 0 && attempt == 1 ? knownLead : 30.0;
        for (int refine = 0; refine < 3 && read && !(knownLead > 0 && attempt == 1); ++refine) {
            if (!PredictiveTarget(cycle, clock_.MonotonicSeconds() + lead, stop)) break;
            const AxisPair aim = dialect.AxesOf(cycle.target);
            const double gap =
                std::max(std::fabs(AngleGap(aim.a1, here.axes.a1)), std::fabs(aim.a2 - here.axes.a2));
            lead = 3.0 + 1.2 * gap / dialect.GotoRate();
        }
        const double arrival = clock_.MonotonicSeconds() + lead;
        if (!PredictiveTarget(cycle, arrival, stop))
            return trackingOn_.load() ? AimResult::kAgain : AimResult::kEnd;
        if (cycle.target.elevationDeg < 0) {
            SendStopSequence(type);
            StopWithMessage("", kBelowText, "Tracking Error");
            return AimResult::kEnd;
        }
        display_.SetStatusLines("Intercepting Satellite.", "Intercepting Satellite.");
        link_.AuditLog("Predictive: goto " + PlainNumber(lead) + " s ahead, RA " +
                       PlainNumber(cycle.target.raHours) + " Dec " + PlainNumber(cycle.target.decDegrees));
        const double sentAt = clock_.MonotonicSeconds();
        const GotoReply reply = dialect.Goto(cycle.target);
        if (StopAsked()) return AimResult::kEnd;
        if (reply == GotoReply::kRefused) {
            SendStopSequence(type);
            StopWithMessage("", "Object Below Horizon!\r\r" + kRefresh, "Tracking Error");
            return AimResult::kEnd;
        }
        watch.Asked();
        watch.Judge(reply == GotoReply::kStarted);
        if (LostCommunication(watch)) return AimResult::kEnd;
        if (reply != GotoReply::kStarted) {
            if (!Pause(500)) return AimResult::kEnd;
            continue;
        }
        for (;;) {
            if (!Pause(300)) return AimResult::kEnd;
            watch.Asked();
            const int finished = dialect.GotoFinished();
            watch.Judge(finished >= 0);
            if (LostCommunication(watch)) return AimResult::kEnd;
            if (StopAsked()) return AimResult::kEnd;
            if (finished == 1 || clock_.MonotonicSeconds() - sentAt > kLongestGoto) break;
            const int bars = std::clamp(static_cast<int>(arrival - clock_.MonotonicSeconds()), 0, 16);
            display_.SetProgress(bars, bars);
        }
        display_.SetProgress(0, 0);
        // Late: the object has gone by; a short goto catches it up.
        if (clock_.MonotonicSeconds() > arrival - 0.2) continue;
        // The mount tracks the aim point until the object gets there.
        while (clock_.MonotonicSeconds() < arrival - kCycleSeconds) {
            if (!Pause(100)) return AimResult::kEnd;
            if (live_.Snapshot().selectedObject != cycle.object) return AimResult::kAgain;
        }
        return AimResult::kAimed;
    }
    return AimResult::kAgain;
}

void TrackingDriver::PredictiveRateEngine(RateDialect& dialect) {
    const ScopeType type = link_.GetScopeType();
    link_.AuditLog("Predictive tracking: " + dialect.Name());
    auto stop = [&] { SendStopSequence(type); };
    PredictiveController controller(dialect.Limits());
    ReplyWatch watch(clock_);
    int previousObject = 0;
    bool aimed = false;
    double nextCycle = clock_.MonotonicSeconds();
    KeyholePlan keyhole;
    double keyholeCheckedAt = -1e9;
    double keyholeOutside = 0.0;  // seconds out of the field during the swing, as the readings show
    bool keyholeReported = false;
    FlipPlan flip;
    double flipCheckedAt = -1e9, flipLead = 0.0;
    // The object on the mount's axes at a monotonic time, for the look ahead.
    auto axesAt = [&](const Cycle& cycle, double t, AxisSample& sample) {
        const auto catalogue = catalogues_.Get();
        const CycleTarget at =
            ComputeCycleTarget(*catalogue, cycle.object, PredictiveUtc(cycle, t), cycle.site,
                               LeadingNumber(cycle.values.alignmentText), slot_);
        if (!at.ok || at.elevationDeg < 0) return false;
        const AxisPair axes = dialect.AxesOf(at);
        sample = AxisSample{t, axes.a1, axes.a2};
        return true;
    };

    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        if (cycle.object == 0) {
            Pause(static_cast<int>(kCycleSeconds * 1000));
            continue;
        }
        if (cycle.object != previousObject) aimed = false;
        previousObject = cycle.object;
        if (!aimed) {
            const AimResult aim = PredictiveIntercept(dialect, cycle, watch, flipLead);
            flipLead = 0.0;
            flip = FlipPlan{};
            flipCheckedAt = -1e9;
            if (aim == AimResult::kEnd || !trackingOn_.load()) return;
            aimed = aim == AimResult::kAimed;
            controller.Reset();
            keyhole = KeyholePlan{};
            keyholeCheckedAt = -1e9;
            nextCycle = clock_.MonotonicSeconds();
            continue;
        }

        // A German mount: the flip across the meridian at the moment that costs least, within
        // the mount's limit; planned afresh as the pass goes on.
        const double checkAt = clock_.MonotonicSeconds();
        if (const auto flipped = dialect.PierFlipped(); flipped && checkAt - flipCheckedAt >= kKeyholeEvery) {
            flipCheckedAt = checkAt;
            std::vector<AxisSample> ahead;
            AxisSample sample;
            for (double t = checkAt; t <= checkAt + kKeyholeLookahead && axesAt(cycle, t, sample); t += 0.5)
                ahead.push_back(sample);
            flip = PlanFlip(ahead, *flipped, cycle.settings.meridianLimit, dialect.GotoRate(),
                            GotoRamps(dialect) + kGotoOverhead);
            if (flip.needed)
                link_.AuditLog("Predictive: meridian flip in " + PlainNumber(flip.start - checkAt) +
                               " s, taking " + PlainNumber(flip.duration) + " s");
        }
        if (flip.needed && checkAt >= flip.start) {
            link_.AuditLog("Predictive: meridian flip");
            flipLead = flip.duration;
            aimed = false;
            continue;
        }

        // A keyhole ahead: plan the swing once, and keep to it until the object is rejoined.
        const bool planned = !keyhole.path.empty() && checkAt < keyhole.rejoins + 10.0;
        if (checkAt - keyholeCheckedAt >= kKeyholeEvery && !planned) {
            keyholeCheckedAt = checkAt;
            std::vector<AxisSample> ahead;
            AxisSample sample;
            for (double t = checkAt; t <= checkAt + kKeyholeLookahead && axesAt(cycle, t, sample); t += 0.5)
                ahead.push_back(sample);
            // At the full cap: any less lengthens the time out of the field at once.
            keyhole = PlanKeyhole(ahead, dialect.Limits().rateCap1, 0.5, dialect.Limits().acceleration);
            keyholeOutside = 0.0;
            keyholeReported = false;
            if (!keyhole.path.empty()) {
                link_.AuditLog("Predictive: keyhole in " + PlainNumber(keyhole.leaves - checkAt) + " s; " +
                               PlainNumber(keyhole.plannedOutside) +
                               " s out of the field as planned, least " + PlainNumber(keyhole.leastOutside) +
                               " s");
            }
        }

        // A reading to correct on; without one the rates go on from the last, never from a
        // reply that could not be read.
        MountReading reading;
        watch.Asked();
        const bool read = dialect.Read(cycle.site, reading);
        watch.Judge(read);
        if (LostCommunication(watch) || StopAsked()) return;
        if (read) {
            controller.NoteReading(reading.at, reading.axes);
            if (reading.latency >= 0) controller.NoteLatency(reading.latency);
        }

        const double now = clock_.MonotonicSeconds();
        const double from = controller.EffectiveAt(now);
        if (!PredictiveTarget(cycle, from + kCycleSeconds, stop)) {
            if (!trackingOn_.load()) return;
            Pause(static_cast<int>(kCycleSeconds * 1000));
            continue;
        }
        const CycleTarget end = cycle.target;
        if (!PredictiveTarget(cycle, from, stop)) continue;
        const CycleTarget& t = cycle.target;
        if (t.elevationDeg < 0) {
            SendStopSequence(type);
            StopWithMessage("", kBelowText, "Tracking Error");
            return;
        }
        AxisTarget target{dialect.AxesOf(t), dialect.AxesOf(end), kCycleSeconds};
        // In the keyhole the first axis follows the planned swing instead of the object.
        const auto planned1 = keyhole.needed ? keyhole.AxisOneAt(from) : std::nullopt;
        const auto planned2 = keyhole.needed ? keyhole.AxisOneAt(from + kCycleSeconds) : std::nullopt;
        const bool swinging = planned1 && planned2;
        if (swinging) {
            target.start.a1 = *planned1;
            target.end.a1 = *planned2;
        }
        const AxisPair rates = controller.Rates(now, target);
        const AxisPair error = controller.LastError();
        if (!swinging && controller.HasReading() &&
            (std::fabs(error.a1) > kReaimDegrees || std::fabs(error.a2) > kReaimDegrees)) {
            link_.AuditLog("Predictive: the mount is " + PlainNumber(error.a1) + ", " +
                           PlainNumber(error.a2) + " degrees off; aiming again");
            aimed = false;
            continue;
        }
        double latency = -1.0;
        if (dialect.SendRates(rates, latency)) {
            controller.NoteSent(now, rates);
            if (latency >= 0) controller.NoteLatency(latency);
        }
        if (LostCommunication(watch) || StopAsked()) return;
        if (swinging) {
            // Out of the field: the error, the first axis shrunk towards the pole of its circle,
            // beyond half a field.
            const double across = error.a1 * std::cos(t.elevationDeg * 3.14159265358979323846 / 180.0);
            if (dialect.AltAz() ? std::hypot(across, error.a2) > 0.25 : std::hypot(error.a1, error.a2) > 0.25)
                keyholeOutside += kCycleSeconds;
            display_.SetStatusLines(
                "Predictive: through the keyhole at top speed",
                "least " + PlainNumber(std::round(keyhole.leastOutside)) + " s out of field");
        } else if (!keyhole.path.empty() && now > keyhole.rejoins && !keyholeReported) {
            keyholeReported = true;
            const std::string text = "Keyhole: " + PlainNumber(keyholeOutside) + " s out of field, least " +
                                     PlainNumber(keyhole.leastOutside) + " s";
            link_.AuditLog("Predictive: " + text);
            display_.SetStatusLines("Predictive: " + text,
                                    "Dec. Predictive tracking to " + DegreeText(t.decDegrees));
        } else {
            display_.SetStatusLines("R.A. Predictive tracking to " + HourText(t.raHours),
                                    "Dec. Predictive tracking to " + DegreeText(t.decDegrees));
        }
        link_.AuditLog("Predictive: rates " + PlainNumber(rates.a1) + ", " + PlainNumber(rates.a2) +
                       " error " + PlainNumber(error.a1) + ", " + PlainNumber(error.a2) + " latency " +
                       PlainNumber(controller.Latency()));

        nextCycle = std::max(nextCycle + kCycleSeconds, clock_.MonotonicSeconds() + 0.05);
        const int wait = static_cast<int>(std::lround((nextCycle - clock_.MonotonicSeconds()) * 1000.0));
        if (!Pause(wait)) return;
    }
}

// Continuous tracking by gotos: each goto aims where the object will be a lead ahead, and the lead
// is learned from the readings: how many seconds of the object's motion the mount trails (or
// leads) it along its path, so the object sits on the aim point instead of ahead of or behind it.
void TrackingDriver::PredictiveGotoEngine(GotoDialect& dialect) {
    const ScopeType type = link_.GetScopeType();
    link_.AuditLog("Predictive tracking by gotos");
    auto stop = [&] { SendStopSequence(type); };
    ReplyWatch watch(clock_);
    int previousObject = 0;
    double lead = kGotoFirstLead;
    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        if (cycle.object == 0) {
            Pause(static_cast<int>(kCycleSeconds * 1000));
            continue;
        }
        if (cycle.object != previousObject) lead = kGotoFirstLead;
        previousObject = cycle.object;
        const double cycleStart = clock_.MonotonicSeconds();

        MountReading reading;
        watch.Asked();
        const bool read = dialect.Read(cycle.site, reading);
        watch.Judge(read);
        if (LostCommunication(watch) || StopAsked()) return;
        if (read && PredictiveTarget(cycle, reading.at, stop)) {
            const CycleTarget now = cycle.target;
            if (!PredictiveTarget(cycle, reading.at + 1.0, stop)) continue;
            const CycleTarget later = cycle.target;
            // The object's motion and the mount's offset, in degrees on the sky.
            const double c = std::cos(now.elevationDeg * kPredictiveDegree);
            const double vx = AngleGap(later.azimuthDeg, now.azimuthDeg) * c,
                         vy = later.elevationDeg - now.elevationDeg;
            const double dx = AngleGap(reading.axes.a1, now.azimuthDeg) * c,
                         dy = reading.axes.a2 - now.elevationDeg;
            const double speed = std::hypot(vx, vy);
            if (speed > 1e-4) {
                // Along the object's path (seconds ahead of it) and across it (degrees). Off the
                // path (a long slew, a keyhole the mount cannot follow) the offset says nothing
                // about the lead; along it, each cycle moves the lead a share of the way, at most
                // a second.
                const double ahead = (dx * vx + dy * vy) / speed / speed;
                const double across = std::fabs(dx * vy - dy * vx) / speed;
                if (across < kGotoNearDegrees && std::fabs(ahead) < kGotoLongestLead)
                    lead = std::clamp(lead - std::clamp(kGotoLeadGain * ahead, -1.0, 1.0), 0.0,
                                      kGotoLongestLead);
            }
        } else if (!trackingOn_.load()) {
            return;
        }
        if (!PredictiveTarget(cycle, clock_.MonotonicSeconds() + lead, stop)) {
            if (!trackingOn_.load()) return;
            Pause(static_cast<int>(kCycleSeconds * 1000));
            continue;
        }
        const CycleTarget& t = cycle.target;
        if (t.elevationDeg < 0) {
            SendStopSequence(type);
            StopWithMessage("", kBelowText, "Tracking Error");
            return;
        }
        const GotoReply reply = dialect.Aim(t);
        if (StopAsked()) return;
        if (reply == GotoReply::kRefused) {
            SendStopSequence(type);
            StopWithMessage("", "Object Below Horizon!\r\r" + kRefresh, "Tracking Error");
            return;
        }
        display_.SetStatusLines("R.A. Predictive tracking to " + HourText(t.raHours),
                                "Dec. Predictive tracking to " + DegreeText(t.decDegrees));
        link_.AuditLog("Predictive: goto " + PlainNumber(lead) + " s ahead");
        const double next = cycleStart + kCycleSeconds;
        const int wait =
            static_cast<int>(std::lround(std::max(0.05, next - clock_.MonotonicSeconds()) * 1000.0));
        if (!Pause(wait)) return;
    }
}

}  // namespace corvane
