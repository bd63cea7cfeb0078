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

double SineOfElevation(const Placed& p) { return ViewFrom(p.site, p.position).sine; }

// Every step-th object of the April catalogue, seen from Philadelphia at `instants` instants
// `spacing` days apart from 28 April 2017 02:00 UTC: check(object, instant, its state there).
struct CatalogueWalk {
    std::shared_ptr<const ElementCatalogue> catalogue =
        LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    GeodeticPoint point = SitePoint(Site{40.0, -75.0, 100.0, -4.0});
    PropagationSlot slot{kSlotBatch};

    std::optional<Placed> At(double jd) { return PlaceAt(slot, point, jd); }
    template <class Check>
    void Each(int step, int instants, double spacing, const Check& check) {
        const double start = CivilToJulianDate(2017, 4, 28, 2, 0, 0);
        for (int i = 1; i <= catalogue->Count(); i += step) {
            if (!ConvertElementSet(*catalogue, i, slot)) continue;
            for (int k = 0; k < instants; ++k) {
                const double t0 = start + spacing * k;
                if (const auto now = At(t0)) check(i, t0, *now);
            }
        }
    }
};

// The longest span (from longest down, by factors of 0.7, to 2 s) that a proof holds for; 0 when none.
template <class Proof>
double LongestProven(double longest, const Proof& proven) {
    for (double t = longest; t >= 2.0; t *= 0.7) {
        if (proven(t)) return t;
    }
    return 0.0;
}

// A value proven to rise (direction +1) or fall (-1) must do so at every second within span
// either side of now; valueAt(s) gives it s seconds from now (nothing where it cannot).
template <class Value>
void ExpectMonotone(int direction, double span, double now, int object, const Value& valueAt) {
    for (const int side : {+1, -1}) {
        double last = now;
        for (int s = 1; s <= static_cast<int>(span); ++s) {
            const std::optional<double> value = valueAt(side * s);
            if (!value) break;
            if (direction * side > 0) {
                ASSERT_GT(*value, last) << "object " << object << " second " << side * s;
            } else {
                ASSERT_LT(*value, last) << "object " << object << " second " << side * s;
            }
            last = *value;
        }
    }
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

TEST(PassBounds, RefractionLiftsToTheHorizonOnlyNearItsPole) {
    // Below -4.5 degrees the geometric elevation stands outside kLiftLow..kLiftHigh; within them
    // the formula does lift some elevations to 0 and above (else the limits would prove nothing).
    int lifted = 0;
    for (double e = Radians(-6.5); e <= Radians(-4.5); e += 1.0e-8) {
        bool visible = false;
        const double compared = RefractElevation(e, visible);
        if (e > kLiftLow && e < kLiftHigh) {
            lifted += compared >= 0.0;
            continue;
        }
        ASSERT_EQ(compared, e) << Degrees(e);
    }
    EXPECT_GT(lifted, 10);
}

TEST(PassBounds, ProvenTrendsAndSunlightHoldAtEverySecond) {
    CatalogueWalk walk;
    ASSERT_GT(walk.catalogue->Count(), 1800);
    int trends = 0, longTrends = 0, sunlitSpans = 0, shadowTrends = 0;
    walk.Each(7, 12, 0.037, [&](int i, double t0, const Placed& placed) {
        const Placed* now = &placed;
        const ElevationTrend trend(now->position, now->velocity, now->site);
        if (!trend.Ok()) return;
        // The longest span either way that the trend proves, checked second by second.
        for (const int direction : {+1, -1}) {
            const double span = LongestProven(3000.0, [&](double t) { return trend.Monotone(direction, t); });
            if (span == 0.0) continue;
            ++trends;
            if (span >= 60.0) ++longTrends;
            ExpectMonotone(direction, span, SineOfElevation(*now), i, [&](int s) -> std::optional<double> {
                const auto p = walk.At(t0 + s / 86400.0);
                if (!p) return std::nullopt;
                EXPECT_GE(SineOfElevation(*p), ElevationTrend::kLowestSine) << "object " << i;
                return SineOfElevation(*p);
            });
        }
        // The shadow depth's trend, either way.
        const StateVector sunNow = ComputeSunVector(t0);
        const ShadowTrend shade(now->position, now->velocity, sunNow, trend.Orbit());
        for (const int direction : {+1, -1}) {
            const double span = LongestProven(1000.0, [&](double t) { return shade.Monotone(direction, t); });
            if (span == 0.0) continue;
            ++shadowTrends;
            double depthNow = 0.0;
            IsEclipsed(now->position, sunNow, &depthNow);
            ExpectMonotone(direction, span, depthNow, i, [&](int s) -> std::optional<double> {
                const double t = t0 + s / 86400.0;
                const auto p = walk.At(t);
                if (!p) return std::nullopt;
                double depth = 0.0;
                IsEclipsed(p->position, ComputeSunVector(t), &depth);
                return depth;
            });
        }
        // Sunlight.
        double depth = 0.0;
        if (IsEclipsed(now->position, ComputeSunVector(t0), &depth)) return;
        const double sunlit = SecondsSunlit(trend.Orbit(), depth, 1.0e-4);
        if (!(sunlit >= 1.0)) return;
        ++sunlitSpans;
        for (int s = 1; s <= static_cast<int>(std::fmin(sunlit, 3000.0)); s += s < 100 ? 1 : 7) {
            for (const int side : {+1, -1}) {
                const double t = t0 + side * s / 86400.0;
                const auto p = walk.At(t);
                if (!p) continue;
                ASSERT_FALSE(IsEclipsed(p->position, ComputeSunVector(t)))
                    << "object " << i << " " << side * s;
            }
        }
    });
    // The bounds do prove spans worth having (so that the test tests something).
    EXPECT_GT(trends, 300);
    EXPECT_GT(longTrends, 100);
    EXPECT_GT(sunlitSpans, 300);
    EXPECT_GT(shadowTrends, 1000);
}

TEST(PassBounds, HighOrbitsStayWithinTheirEarthFixedPath) {
    // High orbits get a bound on their Earth-fixed acceleration from where they are now, which on
    // the geostationary ring is nearly nothing: the distance they cover must stay within it.
    CatalogueWalk walk;
    int high = 0, geostationary = 0;
    walk.Each(2, 4, 0.13, [&](int i, double t0, const Placed& now) {
        const OrbitBounds orbit = BoundOrbit(now.position, now.velocity);
        if (!orbit.ok || !(orbit.rMin > EarthFixedMotion::kHighOrbit)) return;
        const EarthFixedMotion motion(now.position, now.velocity, orbit);
        ++high;
        if (motion.Path(3600.0) < 500.0) ++geostationary;
        for (const double t : {1.0, 30.0, 300.0, 1200.0, 3600.0, 6000.0}) {
            for (const int side : {+1, -1}) {
                const auto p = walk.At(t0 + side * t / 86400.0);
                if (!p) continue;
                // Back into the frame of now, turning with the Earth.
                const double turn = kEarthRate * side * t, c = std::cos(turn), s = std::sin(turn);
                const double dx = c * p->position.x + s * p->position.y - now.position.x,
                             dy = -s * p->position.x + c * p->position.y - now.position.y,
                             dz = p->position.z - now.position.z;
                ASSERT_LE(std::sqrt(dx * dx + dy * dy + dz * dz), motion.Path(t))
                    << "object " << i << " second " << side * t;
            }
        }
    });
    EXPECT_GT(high, 500);
    EXPECT_GT(geostationary, 100);
}

TEST(PassBounds, ObjectsProvenInViewOutOfViewOrInShadowStaySo) {
    // The coarse scan skips the samples of an object while these bounds say it cannot come into
    // view (by its orbital plane, by its distance from the site and its largest angular rate or
    // its Earth-fixed path, or, just below the horizon, by how far its direction can turn) or out
    // of the Earth's shadow, or stays in view; a bound that fails loses a pass.
    CatalogueWalk walk;
    const double lowest = Radians(-6.0);
    int outSpans = 0, longOutSpans = 0, shadowSpans = 0, inSpans = 0, belowSpans = 0, deepBelowSpans = 0;
    walk.Each(5, 8, 0.0913, [&](int i, double t0, const Placed& placed) {
        const Placed* now = &placed;
        const OrbitBounds orbit = BoundOrbit(now->position, now->velocity);
        if (!orbit.ok) return;
        const double rs = std::sqrt(now->site.position.x * now->site.position.x +
                                    now->site.position.y * now->site.position.y +
                                    now->site.position.z * now->site.position.z);
        const double cosCone = ViewCone(lowest).Cosine(rs, orbit.rMax);
        if (std::asin(SineOfElevation(*now)) < lowest) {
            const double out = std::fmin(
                std::fmax(std::fmax(SecondsBeforeInView(now->position, now->velocity, now->site.position,
                                                        cosCone, orbit),
                                    SecondsOutOfView(now->position, now->site.position, rs, orbit,
                                                     ViewCone(lowest))),
                          SecondsOutOfReach(now->position, now->velocity, now->site.position, rs, orbit,
                                            ViewCone(lowest), 1.0)),
                20000.0);
            if (out >= 1.0) ++outSpans;
            if (out >= 1800.0) ++longOutSpans;
            // Every 5 s (a low orbit's elevation moves well under a degree in that time) and the
            // span's last second.
            auto below = [&](double s) {
                const auto p = walk.At(t0 + s / 86400.0);
                return !p || std::asin(SineOfElevation(*p)) < lowest;
            };
            for (double s = 1.0; s <= out; s += 5.0)
                ASSERT_TRUE(below(s)) << "object " << i << " second " << s;
            ASSERT_TRUE(below(std::floor(out))) << "object " << i;
        }
        // Below the horizon, a high orbit's elevation stays between kLiftHigh and 0, or below
        // kLiftLow, either way of the proven span: checked every 5 s and at its ends.
        const double h = std::asin(SineOfElevation(*now));
        if (h < 0.0 && !(h > kLiftLow && h < kLiftHigh)) {
            const double below = SecondsBelowView(now->position, now->velocity, orbit, now->site, 0.0, 6000.0, 1.0);
            if (below >= 119.0) ++(h > kLiftHigh ? belowSpans : deepBelowSpans);
            for (const int side : {+1, -1}) {
                for (double s = 1.0; s <= below + 4.0; s += 5.0) {
                    const auto p = walk.At(t0 + side * std::fmin(s, std::floor(below)) / 86400.0);
                    if (!p) continue;
                    const double e = std::asin(SineOfElevation(*p));
                    ASSERT_TRUE(h > kLiftHigh ? e > kLiftHigh && e < 0.0 : e < kLiftLow)
                        << "object " << i << " second " << side * s;
                }
            }
        }
        // In view above the horizon: every second either way of the proven span.
        if (SineOfElevation(*now) > 0.0) {
            const double in = SecondsInView(now->position, now->velocity, now->site, 0.0, 3000.0, 1.0);
            if (in >= 1.0) ++inSpans;
            for (int s = 1; s <= static_cast<int>(in); ++s) {
                for (const int side : {+1, -1}) {
                    const auto p = walk.At(t0 + side * s / 86400.0);
                    if (!p) continue;
                    ASSERT_GT(std::asin(SineOfElevation(*p)), -1.0e-6) << "object " << i << " " << side * s;
                }
            }
        }
        double depth = 0.0;
        if (!IsEclipsed(now->position, ComputeSunVector(t0), &depth)) return;
        const double shaded = SecondsSunlit(orbit, -depth, 1.0e-4);
        if (!(shaded >= 1.0)) return;
        ++shadowSpans;
        for (int s = 1; s <= static_cast<int>(shaded); ++s) {
            const double t = t0 + s / 86400.0;
            const auto p = walk.At(t);
            if (!p) break;
            ASSERT_TRUE(IsEclipsed(p->position, ComputeSunVector(t))) << "object " << i << " " << s;
        }
    });
    EXPECT_GT(outSpans, 1000);
    EXPECT_GT(longOutSpans, 100);
    EXPECT_GT(shadowSpans, 100);
    EXPECT_GT(inSpans, 50);
    EXPECT_GT(belowSpans, 5);
    EXPECT_GT(deepBelowSpans, 5);
}
