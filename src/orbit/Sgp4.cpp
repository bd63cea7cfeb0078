#include "orbit/Sgp4.h"

#include <cmath>

#include "astro/Constants.h"
#include "astro/Time.h"
#include "orbit/DeepSpaceSteps.h"
#include "orbit/Sgp4Steps.h"
#include "orbit/SinCos.h"

namespace corvane {

namespace {

// Deep-space constants of the report used by the initialisation (those the propagation uses are
// in DeepSpaceSteps.h).
constexpr double kZcosis = 0.91744867, kZsinis = 0.39785416, kZsings = -0.98088458, kZcosgs = 0.1945905;
constexpr double kC1ss = 2.9864797E-6, kC1l = 4.7968065E-7;
constexpr double kQ22 = 1.7891679E-6, kQ31 = 2.1460748E-6, kQ33 = 2.2123015E-7;
constexpr double kRoot22 = 1.7891679E-6, kRoot32 = 3.7393792E-7, kRoot44 = 7.3636953E-9;
constexpr double kRoot52 = 1.1428639E-7, kRoot54 = 2.1765803E-9;

// Below this inclination the lunar and solar node-rate terms are dropped (3 degrees).
constexpr double kSmallInclination = 5.2359877E-2;

void DeepSpaceInit(const ElementSet& el, ModelInit& m, double eosq, double betao, double theta2, double sing,
                   double cosg, double betao2) {
    DeepSpaceTerms& d = m.ds;
    const auto sidereal = ThetaGOfEpoch(el.epoch, el.epochHasPoint);
    d.thgr = sidereal ? sidereal->theta : 0.0;
    d.ds50 = sidereal ? sidereal->ds50 : 0.0;
    const double eq = m.eo;
    const double xnq = m.xnodp;
    const double aqnv = 1.0 / m.aodp;
    const double xqncl = m.xincl;
    const double siniq = m.sinio, cosiq = m.cosio;
    d.siniq = siniq;
    d.cosiq = cosiq;
    const double xpidot = m.omgdot + m.xnodot;
    const double sinq = std::sin(m.xnodeo), cosq = std::cos(m.xnodeo);
    const double sinomo = sing, cosomo = cosg;
    const double rteqsq = betao, bsq = betao2, eqsq = eosq, cosq2 = theta2;

    // Lunar and solar positions at epoch.
    const double day = d.ds50 + 18261.5;
    const double xnodce = 4.5236020 - 9.2422029E-4 * day;
    const double stem = std::sin(xnodce), ctem = std::cos(xnodce);
    const double zcosil = 0.91375164 - 0.03568096 * ctem;
    const double zsinil = std::sqrt(1.0 - zcosil * zcosil);
    const double zsinhl = 0.089683511 * stem / zsinil;
    const double zcoshl = std::sqrt(1.0 - zsinhl * zsinhl);
    const double c = 4.7199672 + 0.22997150 * day;
    const double gam = 5.8351514 + 0.0019443680 * day;
    d.zmol = Fmod2p(c - gam);
    double zx = 0.39785416 * stem / zsinil;
    const double zy = zcoshl * ctem + 0.91744867 * zsinhl * stem;
    zx = AcTan(zx, zy);
    zx = gam + zx - xnodce;
    const double zcosgl = std::cos(zx), zsingl = std::sin(zx);
    d.zmos = Fmod2p(6.2565837 + 0.017201977 * day);

    // Solar terms first, then lunar terms with the same formulas.
    double zcosg = kZcosgs, zsing = kZsings, zcosi = kZcosis, zsini = kZsinis;
    double zcosh = cosq, zsinh = sinq;
    double cc = kC1ss, zn = kZns, ze = kZes;
    const double xnoi = 1.0 / xnq;
    for (int body = 0; body < 2; ++body) {
        const double a1 = zcosg * zcosh + zsing * zcosi * zsinh;
        const double a3 = -zsing * zcosh + zcosg * zcosi * zsinh;
        const double a7 = -zcosg * zsinh + zsing * zcosi * zcosh;
        const double a8 = zsing * zsini;
        const double a9 = zsing * zsinh + zcosg * zcosi * zcosh;
        const double a10 = zcosg * zsini;
        const double a2 = cosiq * a7 + siniq * a8;
        const double a4 = cosiq * a9 + siniq * a10;
        const double a5 = -siniq * a7 + cosiq * a8;
        const double a6 = -siniq * a9 + cosiq * a10;
        const double x1 = a1 * cosomo + a2 * sinomo;
        const double x2 = a3 * cosomo + a4 * sinomo;
        const double x3 = -a1 * sinomo + a2 * cosomo;
        const double x4 = -a3 * sinomo + a4 * cosomo;
        const double x5 = a5 * sinomo;
        const double x6 = a6 * sinomo;
        const double x7 = a5 * cosomo;
        const double x8 = a6 * cosomo;
        const double z31 = 12.0 * x1 * x1 - 3.0 * x3 * x3;
        const double z32 = 24.0 * x1 * x2 - 6.0 * x3 * x4;
        const double z33 = 12.0 * x2 * x2 - 3.0 * x4 * x4;
        double z1 = 3.0 * (a1 * a1 + a2 * a2) + z31 * eqsq;
        double z2 = 6.0 * (a1 * a3 + a2 * a4) + z32 * eqsq;
        double z3 = 3.0 * (a3 * a3 + a4 * a4) + z33 * eqsq;
        const double z11 = -6.0 * a1 * a5 + eqsq * (-24.0 * x1 * x7 - 6.0 * x3 * x5);
        const double z12 =
            -6.0 * (a1 * a6 + a3 * a5) + eqsq * (-24.0 * (x2 * x7 + x1 * x8) - 6.0 * (x3 * x6 + x4 * x5));
        const double z13 = -6.0 * a3 * a6 + eqsq * (-24.0 * x2 * x8 - 6.0 * x4 * x6);
        const double z21 = 6.0 * a2 * a5 + eqsq * (24.0 * x1 * x5 - 6.0 * x3 * x7);
        const double z22 =
            6.0 * (a4 * a5 + a2 * a6) + eqsq * (24.0 * (x2 * x5 + x1 * x6) - 6.0 * (x4 * x7 + x3 * x8));
        const double z23 = 6.0 * a4 * a6 + eqsq * (24.0 * x2 * x6 - 6.0 * x4 * x8);
        z1 = z1 + z1 + bsq * z31;
        z2 = z2 + z2 + bsq * z32;
        z3 = z3 + z3 + bsq * z33;
        const double s3 = cc * xnoi;
        const double s2 = -0.5 * s3 / rteqsq;
        const double s4 = s3 * rteqsq;
        const double s1 = -15.0 * eq * s4;
        const double s5 = x1 * x3 + x2 * x4;
        const double s6 = x2 * x3 + x1 * x4;
        const double s7 = x2 * x4 - x1 * x3;
        const double se = s1 * zn * s5;
        const double si = s2 * zn * (z11 + z13);
        const double sl = -zn * s3 * (z1 + z3 - 14.0 - 6.0 * eqsq);
        const double sgh = s4 * zn * (z31 + z33 - 6.0);
        double sh = -zn * s2 * (z21 + z23);
        if (xqncl < kSmallInclination) sh = 0.0;
        // DEPARTURE: at an inclination of exactly 0 the node rate terms divide 0 by 0; they are 0.
        const double shOverSini = siniq != 0.0 ? sh / siniq : 0.0;
        if (body == 0) {
            d.sse = se;
            d.ssi = si;
            d.ssl = sl;
            d.ssh = shOverSini;
            d.ssg = sgh - cosiq * d.ssh;
            d.se2 = 2.0 * s1 * s6;
            d.se3 = 2.0 * s1 * s7;
            d.si2 = 2.0 * s2 * z12;
            d.si3 = 2.0 * s2 * (z13 - z11);
            d.sl2 = -2.0 * s3 * z2;
            d.sl3 = -2.0 * s3 * (z3 - z1);
            d.sl4 = -2.0 * s3 * (-21.0 - 9.0 * eqsq) * ze;
            d.sgh2 = 2.0 * s4 * z32;
            d.sgh3 = 2.0 * s4 * (z33 - z31);
            d.sgh4 = -18.0 * s4 * ze;
            d.sh2 = -2.0 * s2 * z22;
            d.sh3 = -2.0 * s2 * (z23 - z21);
            zcosg = zcosgl;
            zsing = zsingl;
            zcosi = zcosil;
            zsini = zsinil;
            zcosh = zcoshl * cosq + zsinhl * sinq;
            zsinh = sinq * zcoshl - cosq * zsinhl;
            zn = kZnl;
            cc = kC1l;
            ze = kZel;
        } else {
            d.sse += se;
            d.ssi += si;
            d.ssl += sl;
            d.ssg += sgh - cosiq * shOverSini;
            d.ssh += shOverSini;
            d.ee2 = 2.0 * s1 * s6;
            d.e3 = 2.0 * s1 * s7;
            d.xi2 = 2.0 * s2 * z12;
            d.xi3 = 2.0 * s2 * (z13 - z11);
            d.xl2 = -2.0 * s3 * z2;
            d.xl3 = -2.0 * s3 * (z3 - z1);
            d.xl4 = -2.0 * s3 * (-21.0 - 9.0 * eqsq) * ze;
            d.xgh2 = 2.0 * s4 * z32;
            d.xgh3 = 2.0 * s4 * (z33 - z31);
            d.xgh4 = -18.0 * s4 * ze;
            d.xh2 = -2.0 * s2 * z22;
            d.xh3 = -2.0 * s2 * (z23 - z21);
        }
    }

    // Geopotential resonance.
    d.resonance = 0;
    double bfact = 0.0;
    if (xnq < 0.0052359877 && xnq > 0.0034906585) {
        d.resonance = 1;
        const double g200 = 1.0 + eqsq * (-2.5 + 0.8125 * eqsq);
        const double g310 = 1.0 + 2.0 * eqsq;
        const double g300 = 1.0 + eqsq * (-6.0 + 6.60937 * eqsq);
        const double f220 = 0.75 * (1.0 + cosiq) * (1.0 + cosiq);
        const double f311 = 0.9375 * siniq * siniq * (1.0 + 3.0 * cosiq) - 0.75 * (1.0 + cosiq);
        double f330 = 1.0 + cosiq;
        f330 = 1.875 * f330 * f330 * f330;
        double del1 = 3.0 * xnq * xnq * aqnv * aqnv;
        d.del2 = 2.0 * del1 * f220 * g200 * kQ22;
        d.del3 = 3.0 * del1 * f330 * g300 * kQ33 * aqnv;
        d.del1 = del1 * f311 * g310 * kQ31 * aqnv;
        d.xlamo = m.xmo + m.xnodeo + m.omegao - d.thgr;
        bfact = m.xmdot + xpidot - kThdt;
        bfact = bfact + d.ssl + d.ssg + d.ssh;
    } else if (xnq >= 8.26E-3 && xnq <= 9.24E-3 && eq >= 0.5) {
        d.resonance = 2;
        const double eoc = eq * eqsq;
        const double g201 = -0.306 - (eq - 0.64) * 0.440;
        double g211, g310, g322, g410, g422, g520, g533, g521, g532;
        if (eq <= 0.65) {
            g211 = 3.616 - 13.247 * eq + 16.290 * eqsq;
            g310 = -19.302 + 117.390 * eq - 228.419 * eqsq + 156.591 * eoc;
            g322 = -18.9068 + 109.7927 * eq - 214.6334 * eqsq + 146.5816 * eoc;
            g410 = -41.122 + 242.694 * eq - 471.094 * eqsq + 313.953 * eoc;
            g422 = -146.407 + 841.880 * eq - 1629.014 * eqsq + 1083.435 * eoc;
            g520 = -532.114 + 3017.977 * eq - 5740.032 * eqsq + 3708.276 * eoc;
        } else {
            g211 = -72.099 + 331.819 * eq - 508.738 * eqsq + 266.724 * eoc;
            g310 = -346.844 + 1582.851 * eq - 2415.925 * eqsq + 1246.113 * eoc;
            g322 = -342.585 + 1554.908 * eq - 2366.899 * eqsq + 1215.972 * eoc;
            g410 = -1052.797 + 4758.686 * eq - 7193.992 * eqsq + 3651.957 * eoc;
            g422 = -3581.690 + 16178.110 * eq - 24462.770 * eqsq + 12422.520 * eoc;
            if (eq > 0.715) {
                g520 = -5149.66 + 29936.92 * eq - 54087.36 * eqsq + 31324.56 * eoc;
            } else {
                g520 = 1464.74 - 4664.75 * eq + 3763.64 * eqsq;
            }
        }
        if (eq < 0.7) {
            g533 = -919.2277 + 4988.61 * eq - 9064.77 * eqsq + 5542.21 * eoc;
            g521 = -822.71072 + 4568.6173 * eq - 8491.4146 * eqsq + 5337.524 * eoc;
            g532 = -853.666 + 4690.25 * eq - 8624.77 * eqsq + 5341.4 * eoc;
        } else {
            g533 = -37995.78 + 161616.52 * eq - 229838.2 * eqsq + 109377.94 * eoc;
            g521 = -51752.104 + 218913.95 * eq - 309468.16 * eqsq + 146349.42 * eoc;
            g532 = -40023.88 + 170470.89 * eq - 242699.48 * eqsq + 115605.82 * eoc;
        }
        const double sini2 = siniq * siniq;
        const double f220 = 0.75 * (1.0 + 2.0 * cosiq + cosq2);
        const double f221 = 1.5 * sini2;
        const double f321 = 1.875 * siniq * (1.0 - 2.0 * cosiq - 3.0 * cosq2);
        const double f322 = -1.875 * siniq * (1.0 + 2.0 * cosiq - 3.0 * cosq2);
        const double f441 = 35.0 * sini2 * f220;
        const double f442 = 39.3750 * sini2 * sini2;
        const double f522 =
            9.84375 * siniq *
            (sini2 * (1.0 - 2.0 * cosiq - 5.0 * cosq2) + 0.33333333 * (-2.0 + 4.0 * cosiq + 6.0 * cosq2));
        const double f523 = siniq * (4.92187512 * sini2 * (-2.0 - 4.0 * cosiq + 10.0 * cosq2) +
                                     6.56250012 * (1.0 + 2.0 * cosiq - 3.0 * cosq2));
        const double f542 =
            29.53125 * siniq * (2.0 - 8.0 * cosiq + cosq2 * (-12.0 + 8.0 * cosiq + 10.0 * cosq2));
        const double f543 =
            29.53125 * siniq * (-2.0 - 8.0 * cosiq + cosq2 * (12.0 + 8.0 * cosiq - 10.0 * cosq2));
        const double xno2 = xnq * xnq;
        const double ainv2 = aqnv * aqnv;
        double temp1 = 3.0 * xno2 * ainv2;
        double temp = temp1 * kRoot22;
        d.d2201 = temp * f220 * g201;
        d.d2211 = temp * f221 * g211;
        temp1 = temp1 * aqnv;
        temp = temp1 * kRoot32;
        d.d3210 = temp * f321 * g310;
        d.d3222 = temp * f322 * g322;
        temp1 = temp1 * aqnv;
        temp = 2.0 * temp1 * kRoot44;
        d.d4410 = temp * f441 * g410;
        d.d4422 = temp * f442 * g422;
        temp1 = temp1 * aqnv;
        temp = temp1 * kRoot52;
        d.d5220 = temp * f522 * g520;
        d.d5232 = temp * f523 * g532;
        temp = 2.0 * temp1 * kRoot54;
        d.d5421 = temp * f542 * g521;
        d.d5433 = temp * f543 * g533;
        d.xlamo = m.xmo + m.xnodeo + m.xnodeo - d.thgr - d.thgr;
        bfact = m.xmdot + m.xnodot + m.xnodot - kThdt - kThdt;
        bfact = bfact + d.ssl + d.ssh + d.ssh;
    }
    d.xfact = bfact - xnq;
}

// The rates of the resonance integration at the state's mean longitude and time.
void ResonanceRates(const ModelInit& m, const ResonanceState& r, double& xndot, double& xnddt) {
    const DeepSpaceTerms& d = m.ds;
    if (d.resonance == 1) {
        SynchronousRates<false>(r.xli, d.del1, d.del2, d.del3, xndot, xnddt);
    } else {
        const HalfDayCoefficients c{d.d2201, d.d2211, d.d3210, d.d3222, d.d4410,
                                    d.d4422, d.d5220, d.d5232, d.d5421, d.d5433};
        HalfDayRates<false>(r.xli, m.omegao + m.omgdot * r.atime, c, xndot, xnddt);
    }
}

// Secular lunar-solar effects and the resonance integration.
void DeepSpaceSecular(const ModelInit& m, ResonanceState& r, double t, double& xll, double& omgasm,
                      double& xnodes, double& em, double& xinc, double& xn) {
    const DeepSpaceTerms& d = m.ds;
    xll += d.ssl * t;
    omgasm += d.ssg * t;
    xnodes += d.ssh * t;
    em = m.eo + d.sse * t;
    xinc = m.xincl + d.ssi * t;
    if (xinc < 0.0 && !m.revised) {
        xinc = -xinc;
        xnodes += kPi;
        omgasm -= kPi;
    }
    if (d.resonance == 0) return;
    ResonanceStepTo(m, r, t);
    double xndot, xnddt;
    ResonanceRates(m, r, xndot, xnddt);
    const ResonanceEnd end = ResonanceFinish(t, r.atime, r.xli, r.xni, d.xfact, xndot, xnddt);
    xn = end.xn;
    const double temp = -xnodes + d.thgr + t * kThdt;
    xll = d.resonance == 1 ? end.xl - omgasm + temp : end.xl + temp + temp;
}

// Lunar-solar periodics.
void DeepSpacePeriodics(const ModelInit& m, double t, double& em, double& xinc, double& omgasm,
                        double& xnodes, double& xll) {
    const DeepSpaceTerms& d = m.ds;
    double sinis, cosis;
    SinCos(xinc, sinis, cosis);
    const BodyPeriodics sun = BodyTerms<false>(t, d.zmos, kZns, kZes, d.se2, d.se3, d.si2, d.si3, d.sl2,
                                               d.sl3, d.sl4, d.sgh2, d.sgh3, d.sgh4, d.sh2, d.sh3);
    const BodyPeriodics moon = BodyTerms<false>(t, d.zmol, kZnl, kZel, d.ee2, d.e3, d.xi2, d.xi3, d.xl2,
                                                d.xl3, d.xl4, d.xgh2, d.xgh3, d.xgh4, d.xh2, d.xh3);
    const double pe = sun.e + moon.e;
    const double pinc = sun.i + moon.i;
    const double pl = sun.l + moon.l;
    double pgh = sun.gh + moon.gh;
    double ph = sun.h + moon.h;
    xinc = xinc + pinc;
    em = em + pe;
    // The revised model takes the sine and cosine of the perturbed inclination throughout.
    const double sinip = m.revised ? std::sin(xinc) : sinis;
    const double cosip = m.revised ? std::cos(xinc) : cosis;
    if (xinc >= kLyddaneInclination) {
        // Periodics applied directly.
        ph = ph / (m.revised ? sinip : d.siniq);
        pgh = pgh - (m.revised ? cosip : d.cosiq) * ph;
        omgasm = omgasm + pgh;
        xnodes = xnodes + ph;
        xll = xll + pl;
    } else {
        // Lyddane modification for small inclinations.
        double sinok, cosok;
        SinCos(xnodes, sinok, cosok);
        const LyddaneTerms ly =
            LyddaneBefore(sinip, cosip, sinok, cosok, ph, pinc, pl, pgh, xll, omgasm, xnodes);
        xnodes = LyddaneNode(ly.alfdp, ly.betdp, xnodes);
        xll = xll + pl;
        double sini, cosi;
        SinCos(xinc, sini, cosi);
        omgasm = ly.xls - xll - cosi * xnodes;
    }
}

// The series below kSmallAngle, else the full sine and cosine.
inline void SinCosSmall(double x, double& s, double& c) {
    if (std::fabs(x) < kSmallAngle) {
        SinCosSeries(x, s, c);
    } else {
        SinCos(x, s, c);
    }
}

struct Mean {
    double a, e, xl, omega, xnode, xinc, xn;
};

// Long-period periodics, Kepler's equation, short-period periodics and the orientation shared
// by both models.
[[gnu::always_inline]] inline PropagationError FinishState(const ModelInit& m, const Mean& mean,
                                                           StateVector& pos, StateVector& vel) {
    const double a = mean.a, e = mean.e;
    // Inclination functions of the epoch; the revised model's deep-space branch takes them from
    // the perturbed inclination.
    double cosio = m.cosio, sinio = m.sinio, x3thm1 = m.x3thm1, x1mth2 = m.x1mth2, x7thm1 = m.x7thm1;
    double xlcof = m.xlcof, aycof = m.aycof;
    if (m.revised && m.deepSpace) {
        cosio = std::cos(mean.xinc);
        sinio = std::sin(mean.xinc);
        const double theta2 = cosio * cosio;
        x3thm1 = 3.0 * theta2 - 1.0;
        x1mth2 = 1.0 - theta2;
        x7thm1 = 7.0 * theta2 - 1.0;
        const double a3ovk2 = -kJ3 / kCk2 * kAe * kAe * kAe;
        const double onePlusCos = std::fabs(1.0 + cosio) > 1.5e-12 ? 1.0 + cosio : 1.5e-12;
        xlcof = 0.125 * a3ovk2 * sinio * (3.0 + 5.0 * cosio) / onePlusCos;
        aycof = 0.25 * a3ovk2 * sinio;
    }
    const double beta = std::sqrt(1.0 - e * e);
    const double xn = kXke / (a * std::sqrt(a));
    // Long-period periodics.
    double sinw, cosw;
    SinCos(mean.omega, sinw, cosw);
    const double axn = e * cosw;
    double temp = 1.0 / (a * beta * beta);
    const double xll = temp * xlcof * axn;
    const double aynl = temp * aycof;
    const double xlt = mean.xl + xll;
    const double ayn = e * sinw + aynl;

    // Kepler's equation: at most 10 rounds; the sine and cosine are those of the last value
    // accepted before the converged update.
    const double capu = Fmod2pQuick(xlt - mean.xnode);
    double temp2 = capu;
    double sinepw = 0.0, cosepw = 0.0, temp3 = 0.0, temp4 = 0.0, temp5 = 0.0, temp6 = 0.0;
    bool converged = false;
    for (int i = 0; i < 10 && !m.revised; ++i) {
        SinCos(temp2, sinepw, cosepw);
        temp3 = axn * sinepw;
        temp4 = ayn * cosepw;
        temp5 = axn * cosepw;
        temp6 = ayn * sinepw;
        const double epw = (capu - temp4 + temp3 - temp2) / (1.0 - temp5 - temp6) + temp2;
        if (std::fabs(epw - temp2) <= kE6a) {
            converged = true;
            break;
        }
        temp2 = epw;
    }
    if (!converged) {
        // DEPARTURE: for very eccentric orbits the plain iteration can wander without converging
        // and return a wrong position; the revised model's step-limited iteration is used then.
        double eo1 = capu, step = 9999.9;
        for (int k = 0; k < 10 && std::fabs(step) >= 1.0e-12; ++k) {
            SinCos(eo1, sinepw, cosepw);
            step = (capu - ayn * cosepw + axn * sinepw - eo1) / (1.0 - cosepw * axn - sinepw * ayn);
            if (std::fabs(step) >= 0.95) step = step > 0.0 ? 0.95 : -0.95;
            eo1 += step;
        }
        temp3 = axn * sinepw;
        temp4 = ayn * cosepw;
        temp5 = axn * cosepw;
        temp6 = ayn * sinepw;
    }

    // Short-period preliminary quantities.
    const double ecose = temp5 + temp6;
    const double esine = temp3 - temp4;
    const double elsq = axn * axn + ayn * ayn;
    temp = 1.0 - elsq;
    const double pl = a * temp;
    if (!(pl > 0.0)) return PropagationError::kDecayed;
    const double r = a * (1.0 - ecose);
    double temp1 = 1.0 / r;
    const double rdot = kXke * std::sqrt(a) * esine * temp1;
    const double rfdot = kXke * std::sqrt(pl) * temp1;
    temp2 = a * temp1;
    const double betal = std::sqrt(temp);
    temp3 = 1.0 / (1.0 + betal);
    const double cosu = temp2 * (cosepw - axn + ayn * esine * temp3);
    const double sinu = temp2 * (sinepw - ayn - axn * esine * temp3);
    const double sin2u = 2.0 * sinu * cosu;
    const double cos2u = 2.0 * cosu * cosu - 1.0;
    temp = 1.0 / pl;
    temp1 = kCk2 * temp;
    temp2 = temp1 * temp;

    // Short-period periodics.
    const ShortPeriodics sp = ShortPeriodTerms(r, betal, temp1, temp2, x3thm1, x1mth2, x7thm1, cosio, sinio,
                                               sin2u, cos2u, mean.xnode, rdot, rfdot, xn);
    const double rk = sp.rk, duk = sp.duk, xnodek = sp.xnodek, dik = sp.dik, rdotk = sp.rdotk,
                 rfdotk = sp.rfdotk;

    // Orientation vectors. uk = u + duk with u the angle of (cosu, sinu), a unit vector: its sine
    // and cosine follow from the sum formulas; likewise for the constant inclination of the
    // near-earth model. Equal to sin(uk) etc. to the last bits, at a fraction of the cost.
    double sd, cd;
    SinCosSmall(duk, sd, cd);
    const double sinuk = sinu * cd + cosu * sd;
    const double cosuk = cosu * cd - sinu * sd;
    double sinik, cosik;
    if (!m.deepSpace) {
        SinCosSmall(dik, sd, cd);
        sinik = m.sinio * cd + m.cosio * sd;
        cosik = m.cosio * cd - m.sinio * sd;
    } else {
        SinCos(mean.xinc + dik, sinik, cosik);
    }
    double sinnok, cosnok;
    SinCos(xnodek, sinnok, cosnok);
    OrientState(rk, rdotk, rfdotk, sinuk, cosuk, sinik, cosik, sinnok, cosnok, pos.x, pos.y, pos.z, vel.x,
                vel.y, vel.z);
    // The test reads the sums of squares, so that it need not wait for the square roots.
    const double pos2 = pos.x * pos.x + pos.y * pos.y + pos.z * pos.z;
    const double vel2 = vel.x * vel.x + vel.y * vel.y + vel.z * vel.z;
    pos.magnitude = std::sqrt(pos2);
    vel.magnitude = std::sqrt(vel2);
    if (!std::isfinite(pos2) || !std::isfinite(vel2)) return PropagationError::kNumerical;
    // Below the Earth's surface: the object has decayed.
    if (rk < 1.0) return PropagationError::kDecayed;
    return PropagationError::kNone;
}

PropagationError Fail(PropagationError error, StateVector& pos, StateVector& vel) {
    pos = StateVector{};
    vel = StateVector{};
    return error;
}

}  // namespace

void InitialiseModel(const ElementSet& el, ModelInit& m, ModelVariant variant) {
    m = ModelInit{};
    m.revised = variant == ModelVariant::kRevision2006;
    m.error = el.error;
    if (m.error != PropagationError::kNone) return;
    if (!(el.meanMotion > 0.0) || !std::isfinite(el.meanMotion)) {
        m.error = PropagationError::kMeanMotion;
        return;
    }
    if (!(el.eccentricity >= 0.0 && el.eccentricity < 1.0)) {
        m.error = PropagationError::kEccentricity;
        return;
    }
    m.deepSpace = el.deepSpace;
    m.xmo = el.meanAnomaly;
    m.omegao = el.argPerigee;
    m.xnodeo = el.node;
    m.eo = el.eccentricity;
    m.xincl = el.inclination;
    m.bstar = el.bstar;

    // Recover the original mean motion and semi-major axis from the elements.
    const double a1 = std::pow(kXke / el.meanMotion, kTwoThirds);
    const double cosio = std::cos(m.xincl);
    const double theta2 = cosio * cosio;
    const double x3thm1 = 3.0 * theta2 - 1.0;
    const double eosq = m.eo * m.eo;
    const double betao2 = 1.0 - eosq;
    const double betao = std::sqrt(betao2);
    const double del1 = 1.5 * kCk2 * x3thm1 / (a1 * a1 * betao * betao2);
    const double ao = a1 * (1.0 - del1 * (0.5 * kTwoThirds + del1 * (1.0 + 134.0 / 81.0 * del1)));
    const double delo = 1.5 * kCk2 * x3thm1 / (ao * ao * betao * betao2);
    m.xnodp = el.meanMotion / (1.0 + delo);
    m.aodp = ao / (1.0 - delo);
    m.cosio = cosio;
    m.x3thm1 = x3thm1;

    // Perigee below 220 km: truncated drag equations.
    m.simple = !m.deepSpace && (m.aodp * (1.0 - m.eo) / kAe) < (220.0 / kXkmper + kAe);
    // Perigee below 156 km: other atmospheric parameters.
    double s4 = kS;
    double qoms24 = kQoms2t;
    const double perige = (m.aodp * (1.0 - m.eo) - kAe) * kXkmper;
    m.perigeeKm = perige;
    if (perige < 156.0) {
        s4 = perige - 78.0;
        if (perige <= 98.0) s4 = 20.0;
        const double q = (120.0 - s4) * kAe / kXkmper;
        qoms24 = q * q * q * q;
        s4 = s4 / kXkmper + kAe;
    }
    const double pinvsq = 1.0 / (m.aodp * m.aodp * betao2 * betao2);
    const double tsi = 1.0 / (m.aodp - s4);
    m.eta = m.aodp * m.eo * tsi;
    const double etasq = m.eta * m.eta;
    const double eeta = m.eo * m.eta;
    const double psisq = std::fabs(1.0 - etasq);
    const double tsi2 = tsi * tsi;
    const double coef = qoms24 * tsi2 * tsi2;
    const double coef1 = coef / std::pow(psisq, 3.5);
    const double c2 = coef1 * m.xnodp *
                      (m.aodp * (1.0 + 1.5 * etasq + eeta * (4.0 + etasq)) +
                       0.75 * kCk2 * tsi / psisq * x3thm1 * (8.0 + 3.0 * etasq * (8.0 + etasq)));
    m.c1 = m.bstar * c2;
    m.sinio = std::sin(m.xincl);
    const double a3ovk2 = -kJ3 / kCk2 * kAe * kAe * kAe;
    m.x1mth2 = 1.0 - theta2;
    const double sing = std::sin(m.omegao), cosg = std::cos(m.omegao);
    m.c4 = 2.0 * m.xnodp * coef1 * m.aodp * betao2 *
           (m.eta * (2.0 + 0.5 * etasq) + m.eo * (0.5 + 2.0 * etasq) -
            2.0 * kCk2 * tsi / (m.aodp * psisq) *
                (-3.0 * x3thm1 * (1.0 - 2.0 * eeta + etasq * (1.5 - 0.5 * eeta)) +
                 0.75 * m.x1mth2 * (2.0 * etasq - eeta * (1.0 + etasq)) * std::cos(2.0 * m.omegao)));
    const double theta4 = theta2 * theta2;
    const double temp1 = 3.0 * kCk2 * pinvsq * m.xnodp;
    const double temp2 = temp1 * kCk2 * pinvsq;
    const double temp3 = 1.25 * kCk4 * pinvsq * pinvsq * m.xnodp;
    m.xmdot = m.xnodp + 0.5 * temp1 * betao * x3thm1 +
              0.0625 * temp2 * betao * (13.0 - 78.0 * theta2 + 137.0 * theta4);
    const double x1m5th = 1.0 - 5.0 * theta2;
    m.omgdot = -0.5 * temp1 * x1m5th + 0.0625 * temp2 * (7.0 - 114.0 * theta2 + 395.0 * theta4) +
               temp3 * (3.0 - 36.0 * theta2 + 49.0 * theta4);
    const double xhdot1 = -temp1 * cosio;
    m.xnodot = xhdot1 + (0.5 * temp2 * (4.0 - 19.0 * theta2) + 2.0 * temp3 * (3.0 - 7.0 * theta2)) * cosio;
    m.xnodcf = 3.5 * betao2 * xhdot1 * m.c1;
    m.t2cof = 1.5 * m.c1;
    // DEPARTURE: at an inclination of 180 degrees the published long-period term divides by
    // zero; the divisor is held at 1.5e-12 as in the revised model.
    const double onePlusCos = std::fabs(1.0 + cosio) > 1.5e-12 ? 1.0 + cosio : 1.5e-12;
    m.xlcof = 0.125 * a3ovk2 * m.sinio * (3.0 + 5.0 * cosio) / onePlusCos;
    m.aycof = 0.25 * a3ovk2 * m.sinio;
    m.x7thm1 = 7.0 * theta2 - 1.0;

    if (m.deepSpace) {
        DeepSpaceInit(el, m, eosq, betao, theta2, sing, cosg, betao2);
    } else {
        // DEPARTURE: a circular orbit (eccentricity exactly 0) makes the published drag terms
        // infinity times zero; their limit, 0, is used.
        const double c3 = m.eo != 0.0 ? coef * tsi * a3ovk2 * m.xnodp * kAe * m.sinio / m.eo : 0.0;
        m.c5 = 2.0 * coef1 * m.aodp * betao2 * (1.0 + 2.75 * (etasq + eeta) + eeta * etasq);
        m.omgcof = m.bstar * c3 * cosg;
        m.xmcof = eeta != 0.0 ? -kTwoThirds * coef * m.bstar * kAe / eeta : 0.0;
        // With the propagation's own sine and cosine, so that tsince 0 gives the epoch exactly.
        double cosmo;
        SinCos(m.xmo, m.sinmo, cosmo);
        const double delmoBase = 1.0 + m.eta * cosmo;
        m.delmo = delmoBase * delmoBase * delmoBase;
        if (!m.simple) {
            const double c1sq = m.c1 * m.c1;
            m.d2 = 4.0 * m.aodp * tsi * c1sq;
            const double temp = m.d2 * tsi * m.c1 / 3.0;
            m.d3 = (17.0 * m.aodp + s4) * temp;
            m.d4 = 0.5 * temp * m.aodp * tsi * (221.0 * m.aodp + 31.0 * s4) * m.c1;
            m.t3cof = m.d2 + 2.0 * c1sq;
            m.t4cof = 0.25 * (3.0 * m.d3 + m.c1 * (12.0 * m.d2 + 10.0 * c1sq));
            m.t5cof = 0.2 * (3.0 * m.d4 + 12.0 * m.c1 * m.d3 + 6.0 * m.d2 * m.d2 +
                             15.0 * c1sq * (2.0 * m.d2 + c1sq));
        }
    }
    m.bstarC4 = m.bstar * m.c4;
    m.bstarC5 = m.bstar * m.c5;
    m.error = PropagationError::kNone;
}

// The near-earth step in an AVX2 version beside the default code, chosen at load: the same
// operations (no contraction into fused multiply-adds), fewer instructions. Not under the
// sanitizers, whose runtime is not ready when the loader runs the chooser.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CORVANE_SCALAR_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define CORVANE_SCALAR_SANITIZED 1
#endif
#endif
#if defined(__x86_64__) && !defined(CORVANE_SCALAR_SANITIZED)
#define CORVANE_SCALAR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define CORVANE_SCALAR_CLONES
#endif

CORVANE_SCALAR_CLONES PropagationError SGP4(const ModelInit& m, double tsince, StateVector& pos,
                                            StateVector& vel) {
    if (m.error != PropagationError::kNone) return Fail(m.error, pos, vel);
    // Secular gravity and atmospheric drag.
    const double xmdf = m.xmo + m.xmdot * tsince;
    const double omgadf = m.omegao + m.omgdot * tsince;
    const double xnoddf = m.xnodeo + m.xnodot * tsince;
    double omega = omgadf;
    double xmp = xmdf;
    const double tsq = tsince * tsince;
    const double xnode = xnoddf + m.xnodcf * tsq;
    double tempa = 1.0 - m.c1 * tsince;
    double tempe = m.bstarC4 * tsince;
    double templ = m.t2cof * tsq;
    if (!m.simple) {
        const double delomg = m.omgcof * tsince;
        double sinmdf, cosmdf;
        SinCos(xmdf, sinmdf, cosmdf);
        const double base = 1.0 + m.eta * cosmdf;
        const double delm = m.xmcof * (base * base * base - m.delmo);
        const double temp = delomg + delm;
        xmp = xmdf + temp;
        double sinmp, cosmp;
        SinCos(xmp, sinmp, cosmp);
        omega = omgadf - temp;
        const double tcube = tsq * tsince;
        const double tfour = tsince * tcube;
        tempa = tempa - m.d2 * tsq - m.d3 * tcube - m.d4 * tfour;
        tempe = tempe + m.bstarC5 * (sinmp - m.sinmo);
        templ = templ + m.t3cof * tcube + tfour * (m.t4cof + tsince * m.t5cof);
    }
    Mean mean;
    mean.a = m.aodp * tempa * tempa;
    mean.e = m.eo - tempe;
    mean.xl = xmp + omega + xnode + m.xnodp * templ;
    mean.omega = omega;
    mean.xnode = xnode;
    mean.xinc = m.xincl;
    if (!(mean.e < 1.0 && mean.e >= -0.001)) return Fail(PropagationError::kEccentricity, pos, vel);
    if (m.revised && mean.e < 1.0e-6) mean.e = 1.0e-6;
    // DEPARTURE: a drag factor that has passed through zero means the model's orbit has shrunk to
    // nothing; squared, it would grow again into orbits of millions of kilometres. It stays decayed.
    if (!(tempa > 0.0) || !(mean.a > 0.0)) return Fail(PropagationError::kDecayed, pos, vel);
    const PropagationError err = FinishState(m, mean, pos, vel);
    if (err != PropagationError::kNone) return Fail(err, pos, vel);
    return err;
}

void ResonanceStepTo(const ModelInit& m, ResonanceState& r, double t) {
    if (m.ds.resonance == 0) return;
    // Every propagation integrates from the epoch in 720-minute steps; a saved state reached by
    // the same steps is continued instead, which gives the same numbers.
    if (r.atime == 0.0 || t * r.atime <= 0.0 || std::fabs(t) < std::fabs(r.atime)) {
        r.atime = 0.0;
        r.xni = m.xnodp;
        r.xli = m.ds.xlamo;
    }
    const double delt = t > 0.0 ? kResonanceStep : -kResonanceStep;
    while (!(std::fabs(t - r.atime) < kResonanceStep)) {
        double xndot, xnddt;
        ResonanceRates(m, r, xndot, xnddt);
        const double xldot = r.xni + m.ds.xfact;
        xnddt = xnddt * xldot;
        r.xli = r.xli + xldot * delt + xndot * kResonanceStep2;
        r.xni = r.xni + xndot * delt + xnddt * kResonanceStep2;
        r.atime = r.atime + delt;
    }
}

PropagationError SDP4(const ModelInit& m, ResonanceState& resonance, double tsince, StateVector& pos,
                      StateVector& vel) {
    if (m.error != PropagationError::kNone) return Fail(m.error, pos, vel);
    // Secular gravity and atmospheric drag.
    double xmdf = m.xmo + m.xmdot * tsince;
    double omgadf = m.omegao + m.omgdot * tsince;
    const double xnoddf = m.xnodeo + m.xnodot * tsince;
    const double tsq = tsince * tsince;
    double xnode = xnoddf + m.xnodcf * tsq;
    const double tempa = 1.0 - m.c1 * tsince;
    const double tempe = m.bstarC4 * tsince;
    const double templ = m.t2cof * tsq;
    double xn = m.xnodp;
    double em = 0.0, xinc = 0.0;
    DeepSpaceSecular(m, resonance, tsince, xmdf, omgadf, xnode, em, xinc, xn);
    if (!(xn > 0.0)) return Fail(PropagationError::kMeanMotion, pos, vel);
    Mean mean;
    mean.a = std::pow(kXke / xn, kTwoThirds) * tempa * tempa;
    double e = em - tempe;
    if (!(e < 1.0 && e >= -0.001)) return Fail(PropagationError::kEccentricity, pos, vel);
    double xmam = xmdf + m.xnodp * templ;
    if (m.revised && e < 1.0e-6) e = 1.0e-6;
    DeepSpacePeriodics(m, tsince, e, xinc, omgadf, xnode, xmam);
    if (m.revised && xinc < 0.0) {
        xinc = -xinc;
        xnode += kPi;
        omgadf -= kPi;
    }
    // A slightly negative eccentricity is the same orbit with the perigee turned by pi; the
    // 1980 model runs on with it, the revision reports an error.
    if (!(e >= (m.revised ? 0.0 : -0.001) && e <= 1.0))
        return Fail(PropagationError::kEccentricity, pos, vel);
    mean.e = e;
    mean.xl = xmam + omgadf + xnode;
    mean.omega = omgadf;
    mean.xnode = xnode;
    mean.xinc = xinc;
    // DEPARTURE: as in SGP4, a drag factor past zero stays decayed.
    if (!(tempa > 0.0) || !(mean.a > 0.0)) return Fail(PropagationError::kDecayed, pos, vel);
    const PropagationError err = FinishState(m, mean, pos, vel);
    if (err != PropagationError::kNone) return Fail(err, pos, vel);
    return err;
}

}  // namespace corvane
