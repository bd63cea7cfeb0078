#include "astro/Sun.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/Clock.h"

using namespace corvane;

namespace {
double DecDegrees(const StateVector& s) { return Degrees(std::asin(s.z / s.magnitude)); }
double RaDegrees(const StateVector& s) { return Degrees(Modulus(std::atan2(s.y, s.x), kTwoPi)); }
StateVector Scaled(const StateVector& s, double km) {
    return StateVector{s.x / s.magnitude * km, s.y / s.magnitude * km, s.z / s.magnitude * km, km};
}
}  // namespace

// Reference: the Astronomical Almanac's apparent Sun for 2000 January 1.5 (RA 18h45m09s, Dec
// -23d01.9', distance 0.98333 au) and the 2017 equinox and solstice instants.
TEST(SunVector, MatchesAlmanacPositions) {
    const StateVector s = ComputeSunVector(2451545.0);
    EXPECT_NEAR(s.magnitude / kAstronomicalUnitKm, 0.98333, 0.0002);
    EXPECT_NEAR(RaDegrees(s), 281.29, 0.02);
    EXPECT_NEAR(DecDegrees(s), -23.03, 0.02);
    EXPECT_NEAR(s.magnitude, std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z), 1e-3);
    EXPECT_NEAR(DecDegrees(ComputeSunVector(CivilToJulianDate(2017, 3, 20, 10, 29, 0))), 0.0, 0.01);
    EXPECT_NEAR(DecDegrees(ComputeSunVector(CivilToJulianDate(2017, 6, 21, 4, 24, 0))), 23.437, 0.01);
}

TEST(Shadow, UmbraConeWithDepth) {
    const StateVector sun = ComputeSunVector(2457871.0);
    const double r = kXkmper + 400.0;
    const StateVector behind = Scaled(StateVector{-sun.x, -sun.y, -sun.z, sun.magnitude}, r);
    double depth = 0;
    EXPECT_TRUE(IsEclipsed(behind, sun, &depth));
    EXPECT_GT(depth, 0.0);
    EXPECT_FALSE(IsEclipsed(Scaled(sun, r), sun, &depth));
    EXPECT_LT(depth, 0.0);
    EXPECT_FALSE(IsEclipsedForPrediction(behind, sun, true));
    EXPECT_TRUE(IsEclipsedForPrediction(behind, sun, false));
    EXPECT_TRUE(IsEclipsed(behind, sun));

    // Across the edge of the umbra: angle from the anti-Sun direction of sd_earth - sd_sun.
    const double edge = std::asin(kXkmper / r) - std::asin(kSolarRadiusKm / (sun.magnitude + r));
    const double ux = -sun.x / sun.magnitude, uy = -sun.y / sun.magnitude, uz = -sun.z / sun.magnitude;
    // A unit vector perpendicular to the Sun direction.
    double px = -uy, py = ux, pz = 0.0;
    const double pn = std::sqrt(px * px + py * py);
    px /= pn;
    py /= pn;
    for (double angle : {edge - 1e-4, edge + 1e-4}) {
        const StateVector p{r * (std::cos(angle) * ux + std::sin(angle) * px),
                            r * (std::cos(angle) * uy + std::sin(angle) * py),
                            r * (std::cos(angle) * uz + std::sin(angle) * pz), r};
        EXPECT_EQ(IsEclipsed(p, sun, &depth), angle < edge) << angle;
        EXPECT_NEAR(depth, edge - angle, 1e-6);
    }
    // Degenerate input never counts as eclipsed and gives no NaN.
    EXPECT_FALSE(IsEclipsed(StateVector{}, sun, &depth));
    EXPECT_EQ(depth, 0.0);
}

// References: published local times for 2017 (New York, daylight time UTC-4; London, UTC).
TEST(SunriseSunset, KnownPlacesAndPolarDays) {
    auto minutes = [](const std::string& hhmm) {
        return std::stoi(hhmm.substr(0, 2)) * 60 + std::stoi(hhmm.substr(2, 2));
    };
    SunTimes ny = SunriseSunset(40.7128, -74.0060, 4, 2017, 6, 21);
    ASSERT_EQ(ny.rise.size(), 4u);
    ASSERT_EQ(ny.set.size(), 4u);
    EXPECT_NEAR(minutes(ny.rise), 5 * 60 + 25, 2);
    EXPECT_NEAR(minutes(ny.set), 20 * 60 + 31, 2);
    SunTimes london = SunriseSunset(51.5074, -0.1278, 0, 2017, 12, 21);
    EXPECT_NEAR(minutes(london.rise), 8 * 60 + 4, 2);
    EXPECT_NEAR(minutes(london.set), 15 * 60 + 53, 2);
    // Tromso: midnight Sun in June, polar night in December.
    SunTimes june = SunriseSunset(69.65, 18.96, -2, 2017, 6, 21);
    EXPECT_TRUE(june.rise.empty());
    EXPECT_TRUE(june.set.empty());
    SunTimes december = SunriseSunset(69.65, 18.96, -1, 2017, 12, 21);
    EXPECT_TRUE(december.rise.empty());
    EXPECT_TRUE(december.set.empty());
}
