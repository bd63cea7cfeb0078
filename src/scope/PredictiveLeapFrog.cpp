// Predictive leap frog: one engine for every goto-only mount. Each leap looks ahead, at least the
// mount's lead, for the earliest moment at which the mount, by the goto times it has shown, will
// have arrived and rested a moment before the object gets there; it aims at the object's place at that
// moment, times the goto, and stays until the object has passed through the aim point.
#include "scope/PredictiveLeapFrog.h"

#include <algorithm>
#include <cmath>

#include "astro/AngleText.h"
#include "core/Text.h"
#include "scope/Lx200Codec.h"
#include "scope/TrackingDriverParts.h"

namespace corvane {

namespace {

// The first guess of a goto: what it takes beyond the travel (the commands, the start, the
// settling, the polling of its end), seconds, and the time to reach the goto speed.
constexpr double kGuessOverhead = 2.0;
constexpr double kGuessRampSeconds = 1.5;
// Gotos remembered, and how much less each older one counts.
constexpr size_t kKeptGotos = 24;
constexpr double kAgeing = 0.85;
// How stiff the line through the gotos' excess times is (square degrees).
constexpr double kStiffness = 1.0;
// How far ahead, and in what steps, the leap looks for its moment, seconds.
constexpr double kLookAhead = 240.0;
constexpr double kLookStep = 0.25;
// The longest a goto may take before the engine gives it up, seconds.
constexpr double kLongestGoto = 180.0;
// How long after the object has reached the aim point the mount stays, seconds.
constexpr double kStayAfter = 0.3;
constexpr int kIdleMs = 200;
// How often a resting mount is asked whether it still answers, seconds.
constexpr double kAskEvery = 2.0;
const std::string kBelowTwice = "Object Below Horizon!!\r\r" + kRefresh;
const std::string kBelowOnce = "Object Below Horizon!\r\r" + kRefresh;

}  // namespace

double SlewResponse::Guess(double degrees) const {
    // Speeding up and slowing down at a steady acceleration, at most at the goto speed.
    const double acceleration = rate_ / kGuessRampSeconds;
    const double travel = degrees < rate_ * rate_ / acceleration ? 2.0 * std::sqrt(degrees / acceleration)
                                                                 : degrees / rate_ + rate_ / acceleration;
    return kGuessOverhead + travel;
}

double SlewResponse::Predict(double degrees) const {
    degrees = std::max(0.0, degrees);
    if (samples_.empty()) return Guess(degrees);
    // A straight line through the excess over the guess, against the distance from this one:
    // the recent gotos and those of a like distance weigh most; the line is kept stiff, so a
    // few gotos do not tilt it far.
    std::vector<double> w(samples_.size());
    double weights = 0, meanX = 0, meanY = 0, age = 1.0;
    for (size_t i = samples_.size(); i-- > 0; age *= kAgeing) {
        const double likeness = std::log((degrees + 0.5) / (samples_[i].degrees + 0.5));
        w[i] = age / (1.0 + 4.0 * likeness * likeness);
        weights += w[i];
        meanX += w[i] * (samples_[i].degrees - degrees);
        meanY += w[i] * samples_[i].excess;
    }
    meanX /= weights;
    meanY /= weights;
    double sxx = 0, sxy = 0;
    for (size_t i = 0; i < samples_.size(); ++i) {
        const double x = samples_[i].degrees - degrees - meanX;
        sxx += w[i] * x * x;
        sxy += w[i] * x * (samples_[i].excess - meanY);
    }
    const double slope = sxy / (sxx + kStiffness * weights);
    const double here = meanY - slope * meanX;
    double spread = 0;
    for (size_t i = 0; i < samples_.size(); ++i) {
        const double fitted = meanY + slope * (samples_[i].degrees - degrees - meanX);
        spread += w[i] * (samples_[i].excess - fitted) * (samples_[i].excess - fitted);
    }
    spread = std::sqrt(spread / weights);
    return std::max(0.1, Guess(degrees) + here + 2.0 * spread);
}

void SlewResponse::Note(double degrees, double seconds) {
    if (!std::isfinite(degrees) || !std::isfinite(seconds) || seconds < 0) return;
    samples_.push_back({std::max(0.0, degrees), seconds - Guess(std::max(0.0, degrees))});
    if (samples_.size() > kKeptGotos) samples_.pop_front();
}

void TrackingDriver::PredictiveLeapFrogEngine(LeapDialect& dialect) {
    const ScopeType type = link_.GetScopeType();
    link_.AuditLog("Predictive tracking: leap frog, " + dialect.Name());
    auto stop = [&] { SendStopSequence(type); };
    ReplyWatch watch(clock_);
    // A valid answer, or none, or noise (which gives the line up sooner).
    auto judge = [&](bool valid) { watch.Answer(valid || dialect.Garbled() ? "?" : "", valid); };
    SlewResponse response(dialect.GotoRate());
    int previousObject = 0, refusals = 0;
    bool known = false;              // where the mount rests is known
    double restRa = 0, restDec = 0;  // and there it is (it follows the sky)
    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        // The slider moved to the Continuous end: the session starts the continuous engine.
        if (!dialect.Leaps(cycle.values.trackingMethod)) return;
        if (cycle.object == 0) {
            Pause(kIdleMs);
            continue;
        }
        if (cycle.object != previousObject) {
            known = false;
            refusals = 0;
        }
        previousObject = cycle.object;
        if (!known) {
            watch.Asked();
            known = dialect.Read(restRa, restDec);
            judge(known);
            if (LostCommunication(watch) || StopAsked()) return;
            // Never aim from a reply that could not be read.
            if (!known) {
                if (!Pause(500)) return;
                continue;
            }
        }

        // The earliest moment, a lead or more ahead, at which the mount can be there at rest
        // before the object.
        const double now = clock_.MonotonicSeconds();
        const double lead = dialect.Lead(cycle.values.trackingMethod), rest = dialect.Rest();
        Cycle probe = cycle;
        probe.settings.limitEnabled = false;  // the limit is judged on the aim point alone
        if (!PredictiveTarget(probe, now, stop)) {
            if (!trackingOn_.load() || !Pause(500)) return;
            continue;
        }
        double restAz = 0, restAlt = 0;
        HorizontalFromEquatorial(restRa, restDec, probe.target.localSiderealHours, cycle.site.latitude,
                                 restAz, restAlt);
        double aimAt = -1.0, lastUp = -1.0, distance = 0.0;
        for (double t = now + kLookStep; t <= now + kLookAhead; t += kLookStep) {
            if (!PredictiveTarget(probe, t, stop) || probe.target.elevationDeg < 0) break;
            lastUp = t;
            distance = std::max(std::fabs(AngleGap(probe.target.azimuthDeg, restAz)),
                                std::fabs(probe.target.elevationDeg - restAlt));
            if (t >= now + lead && now + response.Predict(distance) + rest <= t) {
                aimAt = t;
                break;
            }
        }
        // Nothing early enough before the object sets: the last moment it is up.
        if (aimAt < 0) aimAt = lastUp > 0 ? lastUp : now + lead;
        if (!PredictiveTarget(cycle, aimAt, stop)) {
            if (!trackingOn_.load() || !Pause(500)) return;
            continue;
        }
        const CycleTarget t = cycle.target;
        if (t.elevationDeg < 0) {
            SendStopSequence(type);
            StopWithMessage("", kBelowTwice, "Tracking Error");
            return;
        }
        display_.SetStatusLines("R.A. Predictive tracking to " + HourText(t.raHours),
                                "Dec. Predictive tracking to " + DegreeText(t.decDegrees));
        link_.AuditLog("Predictive: leap of " + PlainNumber(distance) + " deg, the object there in " +
                       PlainNumber(aimAt - now) + " s, the mount in " +
                       PlainNumber(response.Predict(distance)) + " s");

        const double sentAt = clock_.MonotonicSeconds();
        std::string reply;
        watch.Asked();
        const GotoReply sent = dialect.Goto(t, reply);
        // A mount that promises no answer to a goto may say nothing: that is no answer either.
        judge(sent != GotoReply::kNotSent && !reply.empty());
        if (LostCommunication(watch) || StopAsked()) return;
        if (sent == GotoReply::kNotSent) {
            // No answer: asked again after a pause, from a fresh reading.
            if (!Pause(500)) return;
            known = false;
            continue;
        }
        if (sent == GotoReply::kRefused) {
            if (ReplyRefusesSlew(reply)) {
                SendStopSequence(type);
                StopWithMessage("", kBelowOnce, "Tracking Error");
                return;
            }
            if (++refusals >= 2) {
                SendStopSequence(type);
                StopWithMessage("", kBelowTwice, "Tracking Error");
                return;
            }
            if (!Pause(500)) return;
            continue;
        }
        refusals = 0;

        // The goto's end: its time teaches the response.
        double endedAt = -1.0;
        for (;;) {
            if (!Pause(dialect.PollMs())) return;
            const double askedAt = clock_.MonotonicSeconds();
            watch.Asked();
            const int finished = dialect.GotoFinished(t);
            judge(finished >= 0);
            if (LostCommunication(watch) || StopAsked()) return;
            if (finished == 1) {
                endedAt = askedAt;
                break;
            }
            if (askedAt - sentAt > kLongestGoto || live_.Snapshot().selectedObject != cycle.object) break;
            const int bars = std::clamp(static_cast<int>(aimAt - askedAt), 0, 16);
            display_.SetProgress(bars, bars);
        }
        display_.SetProgress(0, 0);
        if (endedAt < 0) {
            known = false;
            continue;
        }
        response.Note(distance, endedAt - sentAt);
        restRa = t.raHours;
        restDec = t.decDegrees;
        if (endedAt > aimAt) {
            link_.AuditLog("Predictive: the mount arrived " + PlainNumber(endedAt - aimAt) +
                           " s after the object");
        }
        // At rest on the aim point until the object has passed through it, asking now and then
        // whether the mount still answers.
        double askedAt = clock_.MonotonicSeconds();
        while (clock_.MonotonicSeconds() < aimAt + kStayAfter) {
            const double left = aimAt + kStayAfter - clock_.MonotonicSeconds();
            if (!Pause(std::clamp(static_cast<int>(std::ceil(left * 1000.0)), 1, 250))) return;
            if (live_.Snapshot().selectedObject != cycle.object) break;
            if (clock_.MonotonicSeconds() - askedAt >= kAskEvery && left > kAskEvery) {
                askedAt = clock_.MonotonicSeconds();
                watch.Asked();
                judge(dialect.GotoFinished(t) >= 0);
                if (LostCommunication(watch) || StopAsked()) return;
            }
        }
    }
}

}  // namespace corvane
