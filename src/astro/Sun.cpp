#include "astro/Sun.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "astro/Constants.h"

namespace corvane {

StateVector ComputeSunVector(double jd) {
    const double mjd = jd - 2415020.0;
    const double year = 1900.0 + mjd / 365.25;
    const double dET =
        26.465 + 0.747622 * (year - 1950.0) + 1.886913 * std::sin(kTwoPi * (year - 1975.0) / 33.0);
    const double t = (mjd + dET / kSecondsPerDay) / 36525.0;
    const double m = Radians(
        Modulus(358.47583 + Modulus(35999.04975 * t, 360.0) - (0.00015 + 0.0000033 * t) * t * t, 360.0));
    const double l = Radians(Modulus(279.69668 + Modulus(36000.76892 * t, 360.0) + 0.0003025 * t * t, 360.0));
    const double e = 0.01675104 - (0.0000418 + 0.000000126 * t) * t;
    const double c = Radians((1.91946 - (0.004789 + 0.000014 * t) * t) * std::sin(m) +
                             (0.020094 - 0.0001 * t) * std::sin(2.0 * m) + 0.000293 * std::sin(3.0 * m));
    const double o = Radians(Modulus(259.18 - 1934.142 * t, 360.0));
    const double lsa = Modulus(l + c - Radians(0.00569 - 0.00479 * std::sin(o)), kTwoPi);
    const double nu = Modulus(m + c, kTwoPi);
    double r = 1.0000002 * (1.0 - e * e) / (1.0 + e * std::cos(nu));
    const double eps =
        Radians(23.452294 - (0.0130125 + (0.00000164 - 0.000000503 * t) * t) * t + 0.00256 * std::cos(o));
    r = r * kAstronomicalUnitKm;
    StateVector sun;
    sun.x = r * std::cos(lsa);
    sun.y = r * std::sin(lsa) * std::cos(eps);
    sun.z = r * std::sin(lsa) * std::sin(eps);
    sun.magnitude = r;
    return sun;
}

bool IsEclipsed(const StateVector& p, const StateVector& s, double* depth) {
    if (depth) *depth = 0.0;
    const double pm = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    const double sm = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
    if (!(pm > 0.0) || !(sm > 0.0) || !std::isfinite(pm) || !std::isfinite(sm)) return false;
    const double sdEarth = ArcSin(kXkmper / pm);
    const StateVector rho{s.x - p.x, s.y - p.y, s.z - p.z, 0.0};
    const double rhom = std::sqrt(rho.x * rho.x + rho.y * rho.y + rho.z * rho.z);
    const double sdSun = rhom > 0.0 ? ArcSin(kSolarRadiusKm / rhom) : kPi / 2.0;
    const double delta = ArcCos(-(s.x * p.x + s.y * p.y + s.z * p.z) / (sm * pm));
    const double d = sdEarth - sdSun - delta;
    if (depth) *depth = d;
    if (sdEarth < sdSun) return false;
    return d >= 0.0;
}

bool IsEclipsedForPrediction(const StateVector& position, const StateVector& sun, bool ignoreEclipse,
                             double* depth) {
    const bool eclipsed = IsEclipsed(position, sun, depth);
    return ignoreEclipse ? false : eclipsed;
}

namespace {

double Frac(double x) { return x - std::floor(x); }

struct SunRaDec {
    double ra, dec;
};

// Low-precision Sun for the sunrise computation, d days from 2000 January 1.5.
SunRaDec SunAt(double d) {
    const double t = d / 36525.0 + 1.0;
    const double l = kTwoPi * Frac(0.779072 + 0.00273790931 * d);
    const double g = kTwoPi * Frac(0.993126 + 0.0027377785 * d);
    const double v = 0.39785 * std::sin(l) - 0.01 * std::sin(l - g) + 0.00333 * std::sin(l + g) -
                     0.00021 * t * std::sin(l);
    const double u = 1.0 - 0.03349 * std::cos(g) - 0.00014 * std::cos(2.0 * l) + 0.00008 * std::cos(l);
    const double w = -0.0001 - 0.04129 * std::sin(2.0 * l) + 0.03211 * std::sin(g) +
                     0.00104 * std::sin(2.0 * l - g) - 0.00035 * std::sin(2.0 * l + g) -
                     0.00008 * t * std::sin(g);
    double s = w / std::sqrt(u - v * v);
    SunRaDec r;
    r.ra = l + std::atan(s / std::sqrt(1.0 - s * s));
    s = v / std::sqrt(u);
    r.dec = std::atan(s / std::sqrt(1.0 - s * s));
    return r;
}

int Sign(double x) { return x > 0 ? 1 : (x < 0 ? -1 : 0); }

}  // namespace

SunTimes SunriseSunset(double latitudeDegrees, double longitudeDegrees, int zoneHoursWest, int year,
                       int month, int day) {
    SunTimes out;
    if (!std::isfinite(latitudeDegrees) || !std::isfinite(longitudeDegrees)) return out;
    // Julian day number (Gregorian from 1583, Julian before), local midnight as days from J2000.
    const double y = year, m = month, dd = day;
    const double g = year >= 1583 ? 1.0 : 0.0;
    const double j =
        367.0 * y - std::trunc(7.0 * (y + std::trunc((m + 9.0) / 12.0)) / 4.0) + std::trunc(275.0 * m / 9.0) +
        dd + 1721027.0 + 2.0 * g -
        g * std::trunc(
                3.0 * (std::trunc((y + Sign(m - 9.0) * std::trunc(std::fabs(m - 9.0) / 7.0)) / 100.0) + 1.0) /
                4.0);
    const double d = j - 2451545.0 - 0.5;
    const double zone = zoneHoursWest;

    SunRaDec s0 = SunAt(d + zone / 24.0);
    SunRaDec s1 = SunAt(d + zone / 24.0 + 1.0);
    if (s1.ra < s0.ra) s1.ra += kTwoPi;

    const double lat = Radians(latitudeDegrees);
    const double st0 = Radians(Frac((24110.5 + 8640184.813 * (d / 36525.0) + 86636.6 * zone / 24.0 +
                                     86400.0 * longitudeDegrees / 360.0) /
                                    86400.0) *
                               360.0);
    const double k1 = Radians(15.0 * 1.0027379);
    const double z = std::cos(Radians(90.833));
    const double sinLat = std::sin(lat), cosLat = std::cos(lat);
    auto horizon = [&](double ra, double dec, double h) {
        (void)ra;
        return sinLat * std::sin(dec) + cosLat * std::cos(dec) * std::cos(h) - z;
    };

    struct Event {
        std::string text;
        bool rising;
    };
    std::vector<Event> events;
    for (int c = 0; c < 24; ++c) {
        const double f0 = c / 24.0, f2 = (c + 1) / 24.0;
        const double a0 = s0.ra + f0 * (s1.ra - s0.ra);
        const double a2 = s0.ra + f2 * (s1.ra - s0.ra);
        const double d0 = s0.dec + f0 * (s1.dec - s0.dec);
        const double d2 = s0.dec + f2 * (s1.dec - s0.dec);
        const double h0 = st0 + c * k1 - a0;
        const double h2 = h0 + k1 - (a2 - a0);
        const double h1 = (h0 + h2) / 2.0;
        const double d1 = (d0 + d2) / 2.0;
        const double v0 = horizon(a0, d0, h0);
        const double v2 = horizon(a2, d2, h2);
        const double v1 = horizon((a0 + a2) / 2.0, d1, h1);
        if (Sign(v0) == Sign(v2)) continue;
        const double a = 2.0 * v2 - 4.0 * v1 + 2.0 * v0;
        const double b = 4.0 * v1 - 3.0 * v0 - v2;
        const double disc = b * b - 4.0 * a * v0;
        if (disc < 0.0) continue;
        double e;
        if (std::fabs(a) < 1e-15) {
            // DEPARTURE: a straight line (no parabola to fit) would divide by zero; interpolate it.
            e = -v0 / (v2 - v0);
        } else {
            e = (-b + std::sqrt(disc)) / (2.0 * a);
            if (e < 0.0 || e > 1.0) e = (-b - std::sqrt(disc)) / (2.0 * a);
        }
        if (!std::isfinite(e)) continue;
        const double t = c + e + 1.0 / 120.0;
        const int hours = static_cast<int>(std::trunc(t));
        const int minutes = static_cast<int>(std::trunc(Frac(t) * 60.0));
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d%02d", hours, minutes);
        events.push_back({buf, v0 < 0.0});
    }
    if (events.empty()) return out;
    if (events.size() == 1) {
        (events[0].rising ? out.rise : out.set) = events[0].text;
        return out;
    }
    out.rise = events.front().text;
    out.set = events.back().text;
    return out;
}

}  // namespace corvane
