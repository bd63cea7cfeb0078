#include "scope/PredictiveController.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

// The share of the distance to a new latency sample each sample moves the estimate.
constexpr double kLatencyBlend = 0.2;
// Samples beyond this are a stalled line, not the mount's latency.
constexpr double kLongestLatency = 2.0;
// The integral term adds at most this rate, degrees per second.
constexpr double kIntegralRateLimit = 0.05;
// Larger errors (an intercept, a catch-up) are left to the proportional term: integrating them
// would wind up and overshoot.
constexpr double kIntegratedError = 0.05;
// How fast the integral fades while the error is beyond kIntegratedError, seconds.
constexpr double kIntegralFadeSeconds = 2.0;
// Sent rates are kept this long after the reading they carry forward.
constexpr double kHistorySeconds = 30.0;

double Finite(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

double AngleGap(double a, double b) {
    const double gap = std::remainder(Finite(a) - Finite(b), 360.0);
    return gap >= 180.0 ? gap - 360.0 : gap;
}

double LimitRate(double rate, double cap, double step) {
    if (!std::isfinite(rate)) return 0.0;
    cap = std::max(0.0, Finite(cap));
    rate = std::clamp(rate, -cap, cap);
    if (step > 0.0 && std::isfinite(step)) {
        rate = std::round(rate / step) * step;
        // Rounding may cross the cap: the largest step within it.
        if (std::fabs(rate) > cap) rate = std::copysign(std::floor(cap / step) * step, rate);
    }
    return rate;
}

PredictiveController::PredictiveController(const PredictiveLimits& limits)
    : limits_(limits), latency_(std::clamp(Finite(limits.initialLatency), 0.0, kLongestLatency)) {
    limits_.correctionSeconds = std::max(0.1, Finite(limits_.correctionSeconds));
}

void PredictiveController::Reset() {
    reading_.reset();
    play_ = AxisPair{};
    sent_.clear();
    integral_ = error_ = AxisPair{};
    corrected_ = false;
}

void PredictiveController::NoteLatency(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0 || seconds > kLongestLatency) return;
    latency_ += kLatencyBlend * (seconds - latency_);
}

double ReadingTime(double sentAt, double queryLineSeconds, double repliedAt) {
    return std::min(sentAt + std::max(0.0, Finite(queryLineSeconds)), repliedAt);
}

void PredictiveController::NoteReading(double at, const AxisPair& position) {
    if (!std::isfinite(at) || !std::isfinite(position.a1) || !std::isfinite(position.a2)) return;
    if (reading_ && at < reading_->at) return;  // an older reply arriving late
    if (reading_) play_ = PlayAfter(play_, reading_->position, position);
    reading_ = Reading{at, position};
    // Rates that ended before the reading no longer matter, bar the one in effect at it.
    while (sent_.size() > 1 && sent_[1].effectiveAt <= at - kHistorySeconds) sent_.pop_front();
}

AxisPair PredictiveController::RateAt(double t) const {
    AxisPair rate;
    for (const Sent& s : sent_) {
        if (s.effectiveAt > t) break;
        rate = s.rates;
    }
    return rate;
}

std::optional<AxisPair> PredictiveController::MountAt(double t) const {
    if (!reading_) return std::nullopt;
    AxisPair p = reading_->position;
    double from = reading_->at;
    const double sign = t >= from ? 1.0 : -1.0;
    const double lo = std::min(from, t), hi = std::max(from, t);
    // Integrates the piecewise-constant rates over [lo, hi].
    double cursor = lo;
    AxisPair rate = RateAt(lo);
    for (const Sent& s : sent_) {
        if (s.effectiveAt <= lo) continue;
        if (s.effectiveAt >= hi) break;
        p.a1 += sign * rate.a1 * (s.effectiveAt - cursor);
        p.a2 += sign * rate.a2 * (s.effectiveAt - cursor);
        cursor = s.effectiveAt;
        rate = s.rates;
    }
    p.a1 += sign * rate.a1 * (hi - cursor);
    p.a2 += sign * rate.a2 * (hi - cursor);
    return p;
}

AxisPair PredictiveController::PlayAfter(const AxisPair& play, const AxisPair& from,
                                         const AxisPair& to) const {
    const double half = limits_.backlash / 2.0;
    return AxisPair{std::clamp(play.a1 - AngleGap(to.a1, from.a1), -half, half),
                    std::clamp(play.a2 - (to.a2 - from.a2), -half, half)};
}

std::optional<AxisPair> PredictiveController::TubeAt(double t) const {
    auto p = MountAt(t);
    if (!p || !(limits_.backlash > 0)) return p;
    const AxisPair play = PlayAfter(play_, reading_->position, *p);
    p->a1 += play.a1;
    p->a2 += play.a2;
    return p;
}

AxisPair PredictiveController::Rates(double now, const AxisTarget& target) {
    const double span = target.span > 1e-3 && std::isfinite(target.span) ? target.span : 1.0;
    const double at = EffectiveAt(now);
    // Feed-forward: the object's mean motion over the cycle that starts when the rate acts.
    double r1 = AngleGap(target.end.a1, target.start.a1) / span;
    double r2 = Finite(target.end.a2 - target.start.a2) / span;
    if (const auto mount = TubeAt(at)) {
        double e1 = AngleGap(target.start.a1, mount->a1);
        double e2 = Finite(target.start.a2 - mount->a2);
        error_ = AxisPair{e1, e2};
        // Errors within the readout's resolution are noise: no integral from them.
        const double dt = corrected_ ? std::clamp(now - lastCorrectionAt_, 0.0, 2.0) : 0.0;
        auto integrate = [&](double& sum, double e) {
            if (std::fabs(e) > limits_.resolution && std::fabs(e) < kIntegratedError) sum += e * dt;
            // A large error leaves the integral to fade rather than hold it: held, a sum wound
            // up before would cancel the proportional term and keep the error standing.
            if (std::fabs(e) >= kIntegratedError) sum *= std::max(0.0, 1.0 - dt / kIntegralFadeSeconds);
        };
        integrate(integral_.a1, e1);
        integrate(integral_.a2, e2);
        const double gain = limits_.integralGain;
        if (gain > 0) {
            const double most = kIntegralRateLimit / gain;
            integral_.a1 = std::clamp(integral_.a1, -most, most);
            integral_.a2 = std::clamp(integral_.a2, -most, most);
        }
        lastCorrectionAt_ = now;
        corrected_ = true;
        r1 += e1 / limits_.correctionSeconds + gain * integral_.a1;
        r2 += e2 / limits_.correctionSeconds + gain * integral_.a2;
    }
    return AxisPair{LimitRate(r1, limits_.rateCap1, limits_.rateStep1),
                    LimitRate(r2, limits_.rateCap2, limits_.rateStep2)};
}

void PredictiveController::NoteSent(double now, const AxisPair& rates) {
    if (!std::isfinite(rates.a1) || !std::isfinite(rates.a2)) return;
    const double at = EffectiveAt(now);
    // A rate that acts before one already recorded (the latency fell) replaces it.
    while (!sent_.empty() && sent_.back().effectiveAt >= at) sent_.pop_back();
    sent_.push_back(Sent{at, rates});
}

}  // namespace corvane
