#pragma once
// Steps of the deep-space model written once for the scalar model (Sgp4.cpp) and the batch
// (Sgp4Batch.cpp), as Sgp4Steps.h does for the near-earth model: the same operations in the same
// order, so both give the same bits. kLane selects the branch-free sine and cosine (the batch,
// which hands a lane beyond kSinCosReduceLimit to the scalar model) or the one that falls back to
// the library beyond it (the scalar model).

#include <cmath>

#include "astro/MathUtil.h"
#include "orbit/SinCos.h"

namespace corvane {

// Deep-space constants of the report used while propagating.
inline constexpr double kZns = 1.19459E-5, kZes = 0.01675, kZnl = 1.5835218E-4, kZel = 0.05490;
inline constexpr double kThdt = 4.3752691E-3;
inline constexpr double kG22 = 5.7686396, kG32 = 0.95240898, kG44 = 1.8014998, kG52 = 1.0508330,
                        kG54 = 4.4108898;
inline constexpr double kFasx2 = 0.13130908, kFasx4 = 2.8843198, kFasx6 = 0.37448087;
inline constexpr double kResonanceStep = 720.0, kResonanceStep2 = 259200.0;
// Below this perturbed inclination the lunar-solar periodics take the Lyddane form.
inline constexpr double kLyddaneInclination = 0.2;

template <bool kLane>
[[gnu::always_inline]] inline void DeepSinCos(double x, double& s, double& c) {
    if constexpr (kLane) {
        SinCosReduced(x, s, c);
    } else {
        SinCos(x, s, c);
    }
}

// The periodic terms of one body (the Sun or the Moon) at t minutes from the epoch: its mean
// anomaly at epoch zm0, its rate zn and eccentricity ze, and the body's coefficients.
struct BodyPeriodics {
    double e, i, l, gh, h;
};
template <bool kLane>
[[gnu::always_inline]] inline BodyPeriodics BodyTerms(double t, double zm0, double zn, double ze, double e2,
                                                      double e3, double i2, double i3, double l2, double l3,
                                                      double l4, double gh2, double gh3, double gh4,
                                                      double h2, double h3) {
    const double zm = zm0 + zn * t;
    double sinzm, coszm;
    DeepSinCos<kLane>(zm, sinzm, coszm);
    const double zf = zm + 2.0 * ze * sinzm;
    double sinzf, coszf;
    DeepSinCos<kLane>(zf, sinzf, coszf);
    const double f2 = 0.5 * sinzf * sinzf - 0.25;
    const double f3 = -0.5 * sinzf * coszf;
    BodyPeriodics p;
    p.e = e2 * f2 + e3 * f3;
    p.i = i2 * f2 + i3 * f3;
    p.l = l2 * f2 + l3 * f3 + l4 * sinzf;
    p.gh = gh2 * f2 + gh3 * f3 + gh4 * sinzf;
    p.h = h2 * f2 + h3 * f3;
    return p;
}

// The rates of the resonance integration (mean motion xndot and its derivative xnddt before the
// factor xldot) at mean longitude xli: synchronous orbits (24 h).
template <bool kLane>
[[gnu::always_inline]] inline void SynchronousRates(double xli, double del1, double del2, double del3,
                                                    double& xndot, double& xnddt) {
    double s1, c1, s2, c2, s3, c3;
    DeepSinCos<kLane>(xli - kFasx2, s1, c1);
    DeepSinCos<kLane>(2.0 * (xli - kFasx4), s2, c2);
    DeepSinCos<kLane>(3.0 * (xli - kFasx6), s3, c3);
    xndot = del1 * s1 + del2 * s2 + del3 * s3;
    xnddt = del1 * c1 + 2.0 * del2 * c2 + 3.0 * del3 * c3;
}

// Half-day orbits (12 h), with the argument of perigee xomi at the integration's time.
struct HalfDayCoefficients {
    double d2201, d2211, d3210, d3222, d4410, d4422, d5220, d5232, d5421, d5433;
};
template <bool kLane>
[[gnu::always_inline]] inline void HalfDayRates(double xli, double xomi, const HalfDayCoefficients& d,
                                                double& xndot, double& xnddt) {
    const double x2omi = xomi + xomi;
    const double x2li = xli + xli;
    double s[10], c[10];
    DeepSinCos<kLane>(x2omi + xli - kG22, s[0], c[0]);
    DeepSinCos<kLane>(xli - kG22, s[1], c[1]);
    DeepSinCos<kLane>(xomi + xli - kG32, s[2], c[2]);
    DeepSinCos<kLane>(-xomi + xli - kG32, s[3], c[3]);
    DeepSinCos<kLane>(x2omi + x2li - kG44, s[4], c[4]);
    DeepSinCos<kLane>(x2li - kG44, s[5], c[5]);
    DeepSinCos<kLane>(xomi + xli - kG52, s[6], c[6]);
    DeepSinCos<kLane>(-xomi + xli - kG52, s[7], c[7]);
    DeepSinCos<kLane>(xomi + x2li - kG54, s[8], c[8]);
    DeepSinCos<kLane>(-xomi + x2li - kG54, s[9], c[9]);
    xndot = d.d2201 * s[0] + d.d2211 * s[1] + d.d3210 * s[2] + d.d3222 * s[3] + d.d4410 * s[4] +
            d.d4422 * s[5] + d.d5220 * s[6] + d.d5232 * s[7] + d.d5421 * s[8] + d.d5433 * s[9];
    xnddt = d.d2201 * c[0] + d.d2211 * c[1] + d.d3210 * c[2] + d.d3222 * c[3] + d.d5220 * c[6] +
            d.d5232 * c[7] + 2.0 * (d.d4410 * c[4] + d.d4422 * c[5] + d.d5421 * c[8] + d.d5433 * c[9]);
}

// The end of the integration: mean motion xn and the mean longitude term from the state
// (atime, xli, xni) within one step of t and the rates there.
struct ResonanceEnd {
    double xn, xl;
};
[[gnu::always_inline]] inline ResonanceEnd ResonanceFinish(double t, double atime, double xli, double xni,
                                                           double xfact, double xndot, double xnddt) {
    const double xldot = xni + xfact;
    const double xnddt1 = xnddt * xldot;
    const double ft = t - atime;
    ResonanceEnd r;
    r.xn = xni + xndot * ft + xnddt1 * ft * ft * 0.5;
    r.xl = xli + xldot * ft + xndot * ft * ft * 0.5;
    return r;
}

// The Lyddane form of the lunar-solar periodics (small inclinations), up to the new node: the
// node's direction (alfdp, betdp) and the sum of mean longitude, perigee and node xls.
struct LyddaneTerms {
    double alfdp, betdp, xls;
};
[[gnu::always_inline]] inline LyddaneTerms LyddaneBefore(double sinip, double cosip, double sinok,
                                                         double cosok, double ph, double pinc, double pl,
                                                         double pgh, double xll, double omgasm,
                                                         double xnodes) {
    const double dalf = ph * cosok + pinc * cosip * sinok;
    const double dbet = -ph * sinok + pinc * cosip * cosok;
    const double dls = pl + pgh - pinc * xnodes * sinip;
    return LyddaneTerms{sinip * sinok + dalf, sinip * cosok + dbet, xll + omgasm + cosip * xnodes + dls};
}

// The new node from its direction, in the turn of the old node xnoh.
inline double LyddaneNode(double alfdp, double betdp, double xnoh) {
    double xnodes = AcTan(alfdp, betdp);
    // DEPARTURE: the new node is taken in the turn of the old one; without this a node near
    // 0 or 2*pi jumps by a full turn and shifts the argument of perigee by 2*pi*cos(i).
    if (std::fabs(xnoh - xnodes) > kPi) xnodes += kTwoPi * std::round((xnoh - xnodes) / kTwoPi);
    return xnodes;
}

}  // namespace corvane
