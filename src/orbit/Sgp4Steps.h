#pragma once
// Steps of the near-earth model written once for the scalar model (Sgp4.cpp) and the batch
// (Sgp4Batch.cpp): inlined into both, they perform the same operations in the same order, so
// both give the same bits.

#include <cmath>

#include "astro/Constants.h"

namespace corvane {

// Fmod2p (x - 2 pi trunc(x / 2 pi), then into [0, 2 pi)) without the division where it cannot
// change the result: the quotient formed by a multiplication differs from the divided one by a
// few units in the last place (under 4e-10 below 10^6), so where it lies further than 1e-9 from
// an integer both have the same whole part. Elsewhere it divides.
[[gnu::always_inline]] inline double Fmod2pQuick(double x) {
    constexpr double kInverse = 1.0 / kTwoPi;
    const double v = x * kInverse;
    const double whole = std::trunc(v);
    const double part = std::fabs(v - whole);
    const bool clear = std::fabs(v) < 1.0e6 && part > 1.0e-9 && part < 1.0 - 1.0e-9;
    const double q = clear ? whole : std::trunc(x / kTwoPi);
    const double r = x - kTwoPi * q;
    return r < 0.0 ? r + kTwoPi : r;
}

// sin and cos of a small angle (the short-period corrections): below kSmallAngle the series is as
// exact as the library functions and much cheaper.
inline constexpr double kSmallAngle = 1e-2;
[[gnu::always_inline]] inline void SinCosSeries(double x, double& s, double& c) {
    const double x2 = x * x;
    s = x * (1.0 + x2 * (-1.0 / 6.0 + x2 * (1.0 / 120.0 + x2 * (-1.0 / 5040.0))));
    c = 1.0 + x2 * (-0.5 + x2 * (1.0 / 24.0 + x2 * (-1.0 / 720.0 + x2 * (1.0 / 40320.0))));
}

// Short-period periodics: radius, argument of latitude, node and inclination corrections and
// the velocity terms, from temp1 = ck2 / pl and temp2 = temp1 / pl.
struct ShortPeriodics {
    double rk, duk, xnodek, dik, rdotk, rfdotk;
};
[[gnu::always_inline]] inline ShortPeriodics ShortPeriodTerms(double r, double betal, double temp1,
                                                              double temp2, double x3thm1, double x1mth2,
                                                              double x7thm1, double cosio, double sinio,
                                                              double sin2u, double cos2u, double xnode,
                                                              double rdot, double rfdot, double xn) {
    ShortPeriodics s;
    s.rk = r * (1.0 - 1.5 * temp2 * betal * x3thm1) + 0.5 * temp1 * x1mth2 * cos2u;
    s.duk = -0.25 * temp2 * x7thm1 * sin2u;
    s.xnodek = xnode + 1.5 * temp2 * cosio * sin2u;
    s.dik = 1.5 * temp2 * cosio * sinio * cos2u;
    s.rdotk = rdot - xn * temp1 * x1mth2 * sin2u;
    s.rfdotk = rfdot + xn * temp1 * (x1mth2 * cos2u + 1.5 * x3thm1);
    return s;
}

// Orientation vectors and the output position (p) and velocity (q) of the report.
[[gnu::always_inline]] inline void OrientState(double rk, double rdotk, double rfdotk, double sinuk,
                                               double cosuk, double sinik, double cosik, double sinnok,
                                               double cosnok, double& px, double& py, double& pz, double& qx,
                                               double& qy, double& qz) {
    const double xmx = -sinnok * cosik;
    const double xmy = cosnok * cosik;
    const double ux = xmx * sinuk + cosnok * cosuk;
    const double uy = xmy * sinuk + sinnok * cosuk;
    const double uz = sinik * sinuk;
    const double vx = xmx * cosuk - cosnok * sinuk;
    const double vy = xmy * cosuk - sinnok * sinuk;
    const double vz = sinik * cosuk;
    px = rk * ux;
    py = rk * uy;
    pz = rk * uz;
    qx = rdotk * ux + rfdotk * vx;
    qy = rdotk * uy + rfdotk * vy;
    qz = rdotk * uz + rfdotk * vz;
}

}  // namespace corvane
