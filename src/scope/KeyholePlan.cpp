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

KeyholePlan PlanKeyhole(const std::vector<AxisSample>& samples, double cap, double fieldDegrees) {
    KeyholePlan plan;
    const size_t n = samples.size();
    if (n < 3 || !(cap > 0) || !std::isfinite(cap)) return plan;
    const double dt = (samples.back().t - samples.front().t) / static_cast<double>(n - 1);
    if (!(dt > 0)) return plan;
    const double half = fieldDegrees / 2.0;
    // Axis 1 unwound, so that a sweep through north is one continuous run.
    std::vector<double> a(n), w(n);
    a[0] = samples[0].a1;
    for (size_t i = 1; i < n; ++i) a[i] = a[i - 1] + std::remainder(samples[i].a1 - samples[i - 1].a1, 360.0);
    for (size_t i = 0; i < n; ++i) w[i] = Window(samples[i].a2, half);
    size_t first = n, last = 0;
    for (size_t i = 1; i < n; ++i) {
        if (std::fabs(a[i] - a[i - 1]) > cap * dt) {
            first = std::min(first, i - 1);
            last = i;
        }
    }
    if (first == n) return plan;
    plan.needed = true;
    const double sense = a[last] >= a[first] ? 1.0 : -1.0;

    // The least time out: leave at the leading edge of the field at i, cross at the cap, and meet
    // the object at the trailing edge at j.
    size_t bestI = first, bestJ = last;
    double best = 1e300;
    for (size_t i = 0; i <= last; ++i) {
        for (size_t j = std::max(i, first + 1); j < n; ++j) {
            const double span = samples[j].t - samples[i].t;
            if (span >= best) break;
            const double travel = sense * ((a[j] - sense * w[j]) - (a[i] + sense * w[i]));
            if (travel <= cap * span) {
                best = span;
                bestI = i;
                bestJ = j;
                break;
            }
        }
    }
    plan.leastOutside = best < 1e299 ? best : samples.back().t - samples.front().t;
    plan.leaves = samples[bestI].t;
    plan.rejoins = samples[bestJ].t;

    // The path: alternately kept inside the field (with a margin for corrections) and held to
    // the cap, backwards (leaving early for what is coming) and forwards. Where both cannot hold
    // it settles between them; the last pass holds it to the cap.
    std::vector<double> p(a);
    const double step = cap * dt;
    for (int round = 0; round < 60; ++round) {
        for (size_t i = 0; i < n; ++i) p[i] = std::clamp(p[i], a[i] - 0.8 * w[i], a[i] + 0.8 * w[i]);
        for (size_t i = n - 1; i-- > 0;) p[i] = std::clamp(p[i], p[i + 1] - step, p[i + 1] + step);
        for (size_t i = 1; i < n; ++i) p[i] = std::clamp(p[i], p[i - 1] - step, p[i - 1] + step);
    }
    plan.path.resize(n);
    for (size_t i = 0; i < n; ++i) {
        plan.path[i] = AxisSample{samples[i].t, p[i], samples[i].a2};
        if (std::fabs(p[i] - a[i]) > w[i]) plan.plannedOutside += dt;
    }
    return plan;
}

}  // namespace corvane
