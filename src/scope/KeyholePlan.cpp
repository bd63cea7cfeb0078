#include "scope/KeyholePlan.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;
// How far from the object axis 1 may be and keep it in the field.
double Window(double a2, double halfField) {
    const double c = std::cos(a2 * kDegree);
    return c > halfField / 180.0 ? std::min(180.0, halfField / c) : 180.0;
}

}  // namespace

std::optional<double> KeyholePlan::AxisOneAt(double t) const {
    if (path.size() < 2 || t < path.front().t || t > path.back().t) return std::nullopt;
    const auto it = std::lower_bound(path.begin(), path.end(), t,
                                     [](const AxisSample& s, double time) { return s.t < time; });
    const size_t j = std::clamp<size_t>(static_cast<size_t>(it - path.begin()), 1, path.size() - 1);
    const AxisSample &a = path[j - 1], &b = path[j];
    const double f = b.t > a.t ? (t - a.t) / (b.t - a.t) : 0.0;
    const double v = std::fmod(a.a1 + f * (b.a1 - a.a1), 360.0);
    return v < 0 ? v + 360.0 : v;
}

KeyholePlan PlanKeyhole(const std::vector<AxisSample>& samples, double cap, double fieldDegrees,
                        double acceleration) {
    KeyholePlan plan;
    const size_t n = samples.size();
    if (n < 3 || !(cap > 0) || !std::isfinite(cap) || !(fieldDegrees > 0)) return plan;
    const double dt = (samples.back().t - samples.front().t) / static_cast<double>(n - 1);
    if (!(dt > 0) || !std::isfinite(dt)) return plan;
    const double half = fieldDegrees / 2.0;
    // Axis 1 unwound, so that a sweep through north is one continuous run.
    std::vector<double> a(n), w(n);
    a[0] = samples[0].a1;
    for (size_t i = 1; i < n; ++i) a[i] = a[i - 1] + std::remainder(samples[i].a1 - samples[i - 1].a1, 360.0);
    for (size_t i = 0; i < n; ++i) w[i] = Window(samples[i].a2, half);
    size_t lastBeyond = 0;
    for (size_t i = 1; i < n; ++i)
        if (std::fabs(a[i] - a[i - 1]) > cap * dt) lastBeyond = i;
    if (lastBeyond == 0 || !std::isfinite(a[n - 1])) return plan;
    plan.needed = true;
    // The samples must reach well past the keyhole, or the path would end wherever they do.
    if (lastBeyond > n - 1 - n / 4) return plan;

    // The least time out of the field, by dynamic programming over a grid of axis 1 positions:
    // from each sample to the next the mount moves at most cap * dt. Among equally good paths the
    // one nearer the object wins, so the plan keeps the object centred wherever it can.
    const double lo = *std::min_element(a.begin(), a.end()) - 2.0;
    const double hi = *std::max_element(a.begin(), a.end()) + 2.0;
    const double cell = std::max(0.02, (hi - lo) / 8000.0);
    const size_t cells = static_cast<size_t>((hi - lo) / cell) + 1;
    const long reach = std::max(1L, static_cast<long>(std::floor(cap * dt / cell)));
    const double nudge = dt * 1e-3;
    constexpr double kNever = 1e300;
    // Behind the object counts a little more than ahead of it: a mount that waits ahead meets
    // the object as it slows, one that chases it must brake from top speed as it arrives.
    const double sense = a[n - 1] >= a[0] ? 1.0 : -1.0;
    auto cost = [&](size_t i, size_t k) {
        const double gap = lo + static_cast<double>(k) * cell - a[i];
        const double off = std::fabs(gap) / w[i];
        return (off > 1.0 ? dt : 0.0) + nudge * std::min(1.0, off * off) * (gap * sense < 0 ? 2.0 : 1.0);
    };
    std::vector<double> best(cells, kNever), next(cells);
    std::vector<std::vector<unsigned>> from(n, std::vector<unsigned>());
    const size_t start = static_cast<size_t>(std::lround((a[0] - lo) / cell));
    best[start] = 0.0;
    std::vector<size_t> window(cells);
    for (size_t i = 1; i < n; ++i) {
        from[i].resize(cells);
        // The least of best[] within +-reach of each cell, by a sliding-window minimum.
        size_t head = 0, tail = 0;
        size_t added = 0;
        for (size_t k = 0; k < cells; ++k) {
            const size_t upTo = std::min(cells - 1, k + static_cast<size_t>(reach));
            for (; added <= upTo; ++added) {
                while (tail > head && best[window[tail - 1]] >= best[added]) --tail;
                window[tail++] = added;
            }
            while (window[head] + static_cast<size_t>(reach) < k) ++head;
            const size_t arg = window[head];
            next[k] = best[arg] >= kNever ? kNever : best[arg] + cost(i, k);
            from[i][k] = static_cast<unsigned>(arg);
        }
        best.swap(next);
    }
    size_t k = static_cast<size_t>(std::min_element(best.begin(), best.end()) - best.begin());
    std::vector<double> p(n);
    for (size_t i = n; i-- > 0;) {
        p[i] = lo + static_cast<double>(k) * cell;
        if (i > 0) k = from[i][k];
        if (std::fabs(p[i] - a[i]) > w[i]) plan.leastOutside += dt;
    }
    // The plan leaves the object where the path first strays from it and rejoins it where the
    // path last comes back; on either side it is the object itself.
    size_t leave = n, rejoin = 0;
    for (size_t i = 0; i < n; ++i) {
        if (std::fabs(p[i] - a[i]) > 0.25 * w[i] + cell) {
            leave = std::min(leave, i);
            rejoin = i;
        }
    }
    if (leave == n) {
        plan.needed = false;
        return plan;
    }
    leave = leave > 0 ? leave - 1 : 0;
    rejoin = std::min(n - 1, rejoin + 1);
    // What the mount follows: the object, and the swing between leaving and rejoining it.
    std::vector<double> q(a);
    for (size_t i = leave; i <= rejoin; ++i) q[i] = p[i];
    if (acceleration > 0 && std::isfinite(acceleration)) {
        // A mount that needs time to change its rate spreads each change over that time: the
        // path averaged over a window as long as the largest change takes. The average keeps
        // where the path gets to, and no rate beyond the cap.
        double jump = 0.0;
        for (size_t i = leave; i <= rejoin && i + 1 < n; ++i)
            if (i > 0) jump = std::max(jump, std::fabs(q[i + 1] - 2.0 * q[i] + q[i - 1]) / dt);
        // A window of 2 * half + 1 samples spreads a change of rate `jump` over 2 * half sample steps.
        const double samplesNeeded = jump / acceleration / dt;
        const size_t half = static_cast<size_t>(std::clamp(std::ceil(samplesNeeded / 2.0), 0.0, 8.0));
        if (half > 0) {
            const size_t from = leave > half ? leave - half : 0, to = std::min(n - 1, rejoin + half);
            std::vector<double> smooth(q);
            for (size_t i = from; i <= to; ++i) {
                const size_t lo = i > half ? i - half : 0, hi = std::min(n - 1, i + half);
                // Near the ends of the samples the window shrinks evenly, so it stays centred.
                const size_t reach = std::min(i - lo, hi - i);
                double sum = 0.0;
                for (size_t j = i - reach; j <= i + reach; ++j) sum += q[j];
                smooth[i] = sum / static_cast<double>(2 * reach + 1);
            }
            q.swap(smooth);
            leave = from;
            rejoin = to;
        }
    }
    plan.leaves = samples[leave].t;
    plan.rejoins = samples[rejoin].t;
    for (size_t i = 0; i < n; ++i)
        if (std::fabs(q[i] - a[i]) > w[i]) plan.plannedOutside += dt;
    for (size_t i = leave; i <= rejoin; ++i)
        plan.path.push_back(AxisSample{samples[i].t, q[i], samples[i].a2});
    return plan;
}

namespace {

double Wrap180(double degrees) { return std::remainder(degrees, 360.0); }

// The German mount's two axes for an hour angle and declination on a side of the pier.
void GermanAxes(double hourAngle, double dec, bool flipped, double& a1, double& a2) {
    a1 = flipped ? Wrap180(hourAngle) - 90.0 : Wrap180(Wrap180(hourAngle) + 90.0);
    a2 = flipped ? 180.0 - dec : dec;
}

}  // namespace

FlipPlan PlanFlip(const std::vector<AxisSample>& object, bool flipped, double limitDegrees, double gotoRate,
                  double overhead) {
    FlipPlan plan;
    const size_t n = object.size();
    if (n < 2 || !(gotoRate > 0) || !(overhead >= 0) || !std::isfinite(limitDegrees)) return plan;
    const double dt = (object.back().t - object.front().t) / static_cast<double>(n - 1);
    if (!(dt > 0)) return plan;
    const double limit = std::max(0.0, limitDegrees);
    // When the object's side changes, and when it passes the limit on the tube's side.
    size_t crossing = n, deadline = n - 1;
    for (size_t i = 0; i < n; ++i) {
        const double ha = Wrap180(object[i].a1);
        if (crossing == n && (ha >= 0.0) != flipped) crossing = i;
        if (crossing != n && (flipped ? ha < -limit : ha > limit)) {
            deadline = i;
            break;
        }
    }
    if (crossing == n) return plan;
    plan.needed = true;
    double best = 1e300;
    // A mount that may track past the meridian flips only once the object has crossed it; one
    // that may not flips across it, starting before and arriving after.
    const size_t earliest = limit > 0 ? crossing : 0;
    for (size_t i = earliest; i <= deadline; ++i) {
        double a1 = 0, a2 = 0;
        GermanAxes(object[i].a1, object[i].a2, flipped, a1, a2);
        double duration = 30.0;
        size_t arrival = i;
        for (int round = 0; round < 6; ++round) {
            arrival = std::min(n - 1, i + static_cast<size_t>(std::lround(duration / dt)));
            double b1 = 0, b2 = 0;
            GermanAxes(object[arrival].a1, object[arrival].a2, !flipped, b1, b2);
            duration = std::max(std::fabs(b1 - a1), std::fabs(b2 - a2)) / gotoRate + overhead;
        }
        // The goto must aim at the other side of the meridian, and the mount must not run
        // past its limit on this side first.
        if (arrival <= crossing || arrival == n - 1) continue;
        if (duration < best) {
            best = duration;
            plan.start = object[i].t;
            plan.duration = duration;
        }
    }
    if (best >= 1e299) {
        // No moment within the samples: at once, allowing for half a turn.
        plan.start = object.front().t;
        plan.duration = 180.0 / gotoRate + overhead;
    }
    return plan;
}

}  // namespace corvane
