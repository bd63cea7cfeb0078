#include "orbit/Observer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "astro/Constants.h"
#include "orbit/PropagationSlot.h"

using namespace corvane;

namespace {
const double kJd = 2457871.6354166665;  // 2017-04-28 03:15 UTC

StateVector Add(const StateVector& a, double k, double x, double y, double z) {
    StateVector r{a.x + k * x, a.y + k * y, a.z + k * z, 0};
    Magnitude(r);
    return r;
}

// Site position and its local east, north and up unit vectors in the inertial frame.
struct Frame {
    StateVector pos, vel;
    double east[3], north[3], up[3];
};
Frame LocalFrame(GeodeticPoint& site, double jd) {
    Frame f;
    ObserverPositionVelocity(site, jd, f.pos, f.vel);
    const double sl = std::sin(site.latitude), cl = std::cos(site.latitude);
    const double st = std::sin(site.theta), ct = std::cos(site.theta);
    f.east[0] = -st, f.east[1] = ct, f.east[2] = 0;
    f.north[0] = -sl * ct, f.north[1] = -sl * st, f.north[2] = cl;
    f.up[0] = cl * ct, f.up[1] = cl * st, f.up[2] = sl;
    return f;
}
StateVector Toward(const Frame& f, double e, double n, double u, double km) {
    const double x = e * f.east[0] + n * f.north[0] + u * f.up[0];
    const double y = e * f.east[1] + n * f.north[1] + u * f.up[1];
    const double z = e * f.east[2] + n * f.north[2] + u * f.up[2];
    return Add(f.pos, km, x, y, z);
}
}  // namespace

TEST(ObserverGeometry, SiteConversionReducesLongitude) {
    Site s;
    s.latitude = 40.0;
    s.longitude = 370.0;
    s.altitude = 250.0;
    GeodeticPoint p = SitePoint(s);
    EXPECT_NEAR(Degrees(p.longitude), 10.0, 1e-12);
    EXPECT_DOUBLE_EQ(p.altitude, 0.25);
    s.longitude = -75.0;
    EXPECT_NEAR(Degrees(SitePoint(s).longitude), 285.0, 1e-12);
}

TEST(ObserverGeometry, OverheadAndTheFourDirections) {
    for (double lat : {0.0, 38.9, -60.0}) {
        Site s;
        s.latitude = lat;
        s.longitude = -77.0;
        GeodeticPoint site = SitePoint(s);
        Frame f = LocalFrame(site, kJd);
        const StateVector still = f.vel;  // moving with the site: range rate 0
        LookAngles up = ComputeLookAngles(Toward(f, 0, 0, 1, 500.0), still, site, kJd);
        // The refraction formula gives -0.002 arcmin at the zenith.
        EXPECT_NEAR(Degrees(up.elevation), 90.0 - 0.0019 / 60.0, 1e-5) << lat;
        EXPECT_NEAR(up.range, 500.0, 1e-6);
        EXPECT_NEAR(up.rangeRate, 0.0, 1e-9);
        EXPECT_TRUE(up.visible);
        const double dirs[4][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};
        for (int i = 0; i < 4; ++i) {
            LookAngles l =
                ComputeLookAngles(Toward(f, dirs[i][0], dirs[i][1], 0.5, 1000.0), still, site, kJd);
            EXPECT_NEAR(Degrees(l.azimuth), 90.0 * i, 1e-6) << lat << " " << i;
            EXPECT_LT(l.azimuth, kTwoPi);
            EXPECT_GE(l.azimuth, 0.0);
        }
        // A hair west of north stays below 360 degrees.
        LookAngles nw = ComputeLookAngles(Toward(f, -1e-13, 1, 0.5, 1000.0), still, site, kJd);
        EXPECT_LT(nw.azimuth, kTwoPi);
        // Receding along the line of sight: positive range rate of that speed.
        StateVector away = Toward(f, 0, 0, 1, 500.0);
        StateVector v{still.x + 2.0 * f.up[0], still.y + 2.0 * f.up[1], still.z + 2.0 * f.up[2], 0};
        EXPECT_NEAR(ComputeLookAngles(away, v, site, kJd).rangeRate, 2.0, 1e-9);
    }
}

TEST(ObserverGeometry, RefractionAndTheVisibilityFlag) {
    bool visible = false;
    EXPECT_NEAR(Degrees(RefractElevation(Radians(-0.4), visible)), 0.145, 0.002);
    EXPECT_TRUE(visible);
    EXPECT_DOUBLE_EQ(RefractElevation(Radians(-1.0), visible), Radians(-1.0));
    EXPECT_FALSE(visible);
    EXPECT_DOUBLE_EQ(RefractElevation(Radians(-5.11), visible), Radians(-5.11));  // the pole of the formula
    EXPECT_FALSE(visible);
    EXPECT_NEAR(Degrees(RefractElevation(Radians(45.0), visible)) - 45.0, 1.0 / 60.0, 0.002);
    // Below -6 degrees the formula is not evaluated: it would never have lifted the elevation to
    // 0, so the geometric one stands, as it would have with the formula.
    for (double h = -90.0; h < -5.0; h += 0.0007) {
        const double e = Radians(h), d = Degrees(e);
        const double formula = e + Radians(1.02 / std::tan(Radians(d + 10.3 / (d + 5.11))) / 60.0);
        const double expected = formula >= 0.0 ? formula : e;
        ASSERT_EQ(RefractElevation(e, visible), expected) << h;
        ASSERT_EQ(visible, formula >= 0.0) << h;
    }
    // The elevation-only look angles agree with the full ones.
    {
        Site s;
        s.latitude = 40.0;
        GeodeticPoint site = SitePoint(s);
        const ObserverState o = ObserverStateAt(site, kJd);
        Frame f = LocalFrame(site, kJd);
        for (double up : {-0.9, -0.2, 0.0, 0.05, 0.7}) {
            const StateVector p = Toward(f, 0.3, 0.8, up, 1500.0);
            const LookAngles full = ComputeLookAngles(p, f.vel, o),
                             lean = ComputeLookAngles(p, f.vel, o, false);
            EXPECT_EQ(lean.elevation, full.elevation);
            EXPECT_EQ(lean.visible, full.visible);
            EXPECT_EQ(lean.range, full.range);
        }
    }

    Site s;
    GeodeticPoint site = SitePoint(s);
    Frame f = LocalFrame(site, kJd);
    PropagationSlot slot(kSlotMainDisplay);
    ComputeLookAngles(Toward(f, 0, 1, 0.3, 800.0), f.vel, site, kJd, slot);
    EXPECT_TRUE(slot.Visible());
    ComputeLookAngles(Toward(f, 0, 1, -0.3, 800.0), f.vel, site, kJd, slot);
    EXPECT_FALSE(slot.Visible());
}

// A star-like object 1e9 km away in a known direction comes back with that right ascension
// and declination; at the zenith refraction vanishes.
TEST(ObserverGeometry, RightAscensionAndDeclinationOfDistantObjects) {
    Site s;
    s.latitude = 45.0;
    s.longitude = 10.0;
    GeodeticPoint site = SitePoint(s);
    StateVector sitePos, siteVel;
    ObserverPositionVelocity(site, kJd, sitePos, siteVel);
    auto direction = [](double ra, double dec, double km) {
        StateVector v{km * std::cos(dec) * std::cos(ra), km * std::cos(dec) * std::sin(ra),
                      km * std::sin(dec), km};
        return v;
    };
    const double lst = site.theta;
    LookAngles z = ComputeRADec(direction(lst, site.latitude, 1e9), StateVector{}, site, kJd);
    EXPECT_NEAR(z.azimuth, lst, 1e-6);
    EXPECT_NEAR(z.elevation, site.latitude, 1e-6);
    // 30 degrees from the zenith: refraction of about 0.6 arcmin is all that differs.
    for (double dra : {-0.3, 0.4}) {
        LookAngles l = ComputeRADec(direction(lst + dra, Radians(30.0), 1e9), StateVector{}, site, kJd);
        const double dRa = std::remainder(l.azimuth - (lst + dra), kTwoPi) * std::cos(Radians(30.0));
        const double dDec = l.elevation - Radians(30.0);
        EXPECT_LT(std::hypot(dRa, dDec), Radians(2.0 / 60.0));
        EXPECT_GE(l.azimuth, 0.0);
        EXPECT_LT(l.azimuth, kTwoPi);
    }
}

TEST(ObserverGeometry, SubPointInvertsTheSitePosition) {
    for (double lat : {0.0, 12.5, -33.9, 51.5, 89.9}) {
        for (double lon : {0.0, 100.0, 200.0, 359.0}) {
            Site s;
            s.latitude = lat;
            s.longitude = lon;
            s.altitude = 400000.0;  // 400 km up
            GeodeticPoint site = SitePoint(s);
            StateVector p, v;
            ObserverPositionVelocity(site, kJd, p, v);
            GeodeticPoint sub = ComputeSubPoint(p, kJd);
            EXPECT_NEAR(Degrees(sub.latitude), lat, 1e-8);
            EXPECT_NEAR(std::remainder(Degrees(sub.longitude) - lon, 360.0), 0.0, 1e-8);
            EXPECT_GT(sub.longitude, -kPi);
            EXPECT_LE(sub.longitude, kPi);
            EXPECT_NEAR(sub.altitude, 400.0, 1e-6);
        }
    }
}

TEST(ObserverGeometry, SubPointOverThePolesAndBadInput) {
    const double polarRadius = kXkmper * (1.0 - kFlattening);
    GeodeticPoint north = ComputeSubPoint(StateVector{0, 0, 7000, 7000}, kJd);
    EXPECT_NEAR(Degrees(north.latitude), 90.0, 1e-9);
    EXPECT_NEAR(north.altitude, 7000 - polarRadius, 1e-6);
    GeodeticPoint south = ComputeSubPoint(StateVector{1e-9, 0, -7000, 7000}, kJd);
    EXPECT_NEAR(Degrees(south.latitude), -90.0, 1e-9);
    EXPECT_NEAR(south.altitude, 7000 - polarRadius, 1e-3);
    GeodeticPoint bad = ComputeSubPoint(StateVector{std::nan(""), 0, 0, 0}, kJd);
    EXPECT_EQ(bad.latitude, 0.0);
    EXPECT_EQ(bad.altitude, 0.0);
    // The height alone is the sub-point's height to the last bit, poles and bad input included.
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<StateVector> positions = {
        {0, 0, 7000, 0},  {1e-9, 0, -7000, 0}, {std::nan(""), 0, 0, 0}, {inf, 1, 2, 0},
        {inf, inf, 0, 0}, {0, 0, 0, 0},        {-4000, 5000, 2000, 0},  {42164, 0, 10, 0}};
    for (int k = 0; k < 2000; ++k) {
        const double a = k * 0.0137, b = k * 0.0071;
        const double r = 6400.0 + 37.0 * k;
        positions.push_back(
            {r * std::cos(a) * std::cos(b), r * std::sin(a) * std::cos(b), r * std::sin(b), 0});
    }
    for (const StateVector& p : positions) {
        const double full = ComputeSubPoint(p, kJd).altitude, alone = SubPointHeight(p);
        EXPECT_EQ(std::memcmp(&full, &alone, sizeof full), 0) << p.x << " " << p.y << " " << p.z;
    }
}
