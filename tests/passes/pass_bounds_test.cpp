// The bounds the batch search reads samples by must hold on real orbits: where they say the
// elevation or the shadow depth rises or falls, it does at every second; where they say an object
// stays sunlit, it does. A bound that fails would move an AOS, a LOS or a culmination by seconds.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "astro/Sun.h"
#include "core/Clock.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"
#include "passes/PassBounds.h"

using namespace corvane;

namespace {

struct Placed {
    StateVector position, velocity;
    ObserverState site;
};

std::optional<Placed> PlaceAt(PropagationSlot& slot, GeodeticPoint& point, double jd) {
    PropagationResult r = PropagateSlot(jd, slot);
    if (!r.Ok()) return std::nullopt;
    ConvertState(r);
    return Placed{r.position, r.velocity, ObserverStateAt(point, jd)};
}

double SineOfElevation(const Placed& p) {
    const double rx = p.position.x - p.site.position.x, ry = p.position.y - p.site.position.y,
                 rz = p.position.z - p.site.position.z;
    const double up =
        p.site.cosLat * p.site.cosTheta * rx + p.site.cosLat * p.site.sinTheta * ry + p.site.sinLat * rz;
    return up / std::sqrt(rx * rx + ry * ry + rz * rz);
}

}  // namespace

TEST(PassBounds, RefractedElevationRisesWithTheGeometricOne) {
    // The halving of the walks and the culmination's steps need the compared (refracted)
    // elevation to be an increasing function of the geometric one above -4.5 degrees.
    double previous = -HUGE_VAL;
    for (double h = -4.5; h <= 90.0; h += 1.0e-4) {
        bool visible = false;
        const double e = RefractElevation(Radians(h), visible);
        ASSERT_GE(e, previous) << h;
        // Near the zenith the formula's correction turns negative, by under 1e-6 radians.
        ASSERT_GE(e, Radians(h) - 1.0e-6) << h;
        previous = e;
    }
}

TEST(PassBounds, ProvenTrendsAndSunlightHoldAtEverySecond) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    ASSERT_GT(catalogue->Count(), 1800);
    const Site site{40.0, -75.0, 100.0, -4.0};
    GeodeticPoint point = SitePoint(site);
    PropagationSlot slot(kSlotBatch);
    const double start = CivilToJulianDate(2017, 4, 28, 2, 0, 0);
    int trends = 0, longTrends = 0, sunlitSpans = 0, shadowTrends = 0;
    for (int i = 1; i <= catalogue->Count(); i += 7) {
        if (!ConvertElementSet(*catalogue, i, slot)) continue;
        for (int k = 0; k < 12; ++k) {
            const double t0 = start + 0.037 * k;
            const auto now = PlaceAt(slot, point, t0);
            if (!now) continue;
            const ElevationTrend trend(now->position, now->velocity, now->site);
            if (!trend.Ok()) continue;
            // The longest span either way that the trend proves, checked second by second.
            for (const int direction : {+1, -1}) {
                double span = 0.0;
                for (double t = 3000.0; t >= 2.0; t *= 0.7) {
                    if (trend.Monotone(direction, t)) {
                        span = t;
                        break;
                    }
                }
                if (span == 0.0) continue;
                ++trends;
                if (span >= 60.0) ++longTrends;
                for (const int side : {+1, -1}) {
                    double last = SineOfElevation(*now);
                    for (int s = 1; s <= static_cast<int>(span); ++s) {
                        const auto p = PlaceAt(slot, point, t0 + side * s / 86400.0);
                        if (!p) break;
                        const double sine = SineOfElevation(*p);
                        // Rising (direction +1) means later is higher, whichever side of now.
                        if (direction * side > 0) {
                            ASSERT_GT(sine, last) << "object " << i << " second " << side * s;
                        } else {
                            ASSERT_LT(sine, last) << "object " << i << " second " << side * s;
                        }
                        ASSERT_GE(sine, ElevationTrend::kLowestSine) << "object " << i;
                        last = sine;
                    }
                }
            }
            // The shadow depth's trend, either way.
            const StateVector sunNow = ComputeSunVector(t0);
            const ShadowTrend shade(now->position, now->velocity, sunNow, trend.Orbit());
            for (const int direction : {+1, -1}) {
                double span = 0.0;
                for (double t = 1000.0; t >= 2.0; t *= 0.7) {
                    if (shade.Monotone(direction, t)) {
                        span = t;
                        break;
                    }
                }
                if (span == 0.0) continue;
                ++shadowTrends;
                for (const int side : {+1, -1}) {
                    double last = 0.0;
                    IsEclipsed(now->position, sunNow, &last);
                    for (int s = 1; s <= static_cast<int>(span); ++s) {
                        const double t = t0 + side * s / 86400.0;
                        const auto p = PlaceAt(slot, point, t);
                        if (!p) break;
                        double depth = 0.0;
                        IsEclipsed(p->position, ComputeSunVector(t), &depth);
                        if (direction * side > 0) {
                            ASSERT_GT(depth, last) << "object " << i << " second " << side * s;
                        } else {
                            ASSERT_LT(depth, last) << "object " << i << " second " << side * s;
                        }
                        last = depth;
                    }
                }
            }
            // Sunlight.
            double depth = 0.0;
            if (IsEclipsed(now->position, ComputeSunVector(t0), &depth)) continue;
            const double sunlit = SecondsSunlit(trend.Orbit(), depth, 1.0e-4);
            if (!(sunlit >= 1.0)) continue;
            ++sunlitSpans;
            for (int s = 1; s <= static_cast<int>(std::fmin(sunlit, 3000.0)); s += s < 100 ? 1 : 7) {
                for (const int side : {+1, -1}) {
                    const double t = t0 + side * s / 86400.0;
                    const auto p = PlaceAt(slot, point, t);
                    if (!p) continue;
                    ASSERT_FALSE(IsEclipsed(p->position, ComputeSunVector(t)))
                        << "object " << i << " " << side * s;
                }
            }
        }
    }
    // The bounds do prove spans worth having (so that the test tests something).
    EXPECT_GT(trends, 300);
    EXPECT_GT(longTrends, 100);
    EXPECT_GT(sunlitSpans, 300);
    EXPECT_GT(shadowTrends, 1000);
}
