#include "orbit/Sgp4Batch.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>

#include "astro/Constants.h"
#include "orbit/DeepSpaceSteps.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Sgp4Steps.h"
#include "orbit/SinCos.h"

namespace corvane {

namespace {

// Lanes are worked in chunks whose intermediate values stay in the first-level cache; what is
// left over after the whole chunks goes in short ones, since a chunk costs its full length.
constexpr size_t kLongChunk = 64;
constexpr size_t kShortChunk = 4;
constexpr double kLargest = 1.7976931348623157e308;

// The fields of the lanes from a starting lane on.
struct LanePtrs {
    const double *xmo, *xmdot, *omegao, *omgdot, *xnodeo, *xnodot, *xnodcf;
    const double *c1, *bstarC4, *t2cof;
    const double *omgcof, *xmcof, *eta, *delmo, *bstarC5, *sinmo, *d2, *d3, *d4, *t3cof, *t4cof, *t5cof;
    const double* simple;
    const double *aodp, *eo, *xnodp, *cosio, *sinio, *x3thm1, *x1mth2, *x7thm1, *xlcof, *aycof;
};

LanePtrs PointersAt(const NearEarthLanes& l, size_t at) {
    return LanePtrs{l.xmo.data() + at,     l.xmdot.data() + at,  l.omegao.data() + at,  l.omgdot.data() + at,
                    l.xnodeo.data() + at,  l.xnodot.data() + at, l.xnodcf.data() + at,  l.c1.data() + at,
                    l.bstarC4.data() + at, l.t2cof.data() + at,  l.omgcof.data() + at,  l.xmcof.data() + at,
                    l.eta.data() + at,     l.delmo.data() + at,  l.bstarC5.data() + at, l.sinmo.data() + at,
                    l.d2.data() + at,      l.d3.data() + at,     l.d4.data() + at,      l.t3cof.data() + at,
                    l.t4cof.data() + at,   l.t5cof.data() + at,  l.simple.data() + at,  l.aodp.data() + at,
                    l.eo.data() + at,      l.xnodp.data() + at,  l.cosio.data() + at,   l.sinio.data() + at,
                    l.x3thm1.data() + at,  l.x1mth2.data() + at, l.x7thm1.data() + at,  l.xlcof.data() + at,
                    l.aycof.data() + at};
}

struct LaneOut {
    double *x, *y, *z, *vx, *vy, *vz;
    uint8_t* redo;
};

// Fmod2p (x - 2 pi trunc(x / 2 pi), then into [0, 2 pi)) with the truncation made of exact
// operations: the nearest integer, stepped one towards zero where it overshoots.
[[gnu::always_inline]] inline double Fmod2pLane(double x) {
    constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52
    const double v = x / kTwoPi;
    const double nearest = (v + kRound) - kRound;
    double whole =
        v >= 0.0 ? (nearest > v ? nearest - 1.0 : nearest) : (nearest < v ? nearest + 1.0 : nearest);
    whole = std::fabs(v) < 4503599627370496.0 ? whole : v;  // 2^52 and beyond: already whole
    const double r = x - kTwoPi * whole;
    return r < 0.0 ? r + kTwoPi : r;
}

// The chunk's lanes between the steps (the near-earth and deep-space kernels share the last ones).
template <size_t kChunk>
struct ChunkState {
    double A[kChunk], E[kChunk], XL[kChunk], OMEGA[kChunk], XNODE[kChunk], XINC[kChunk], BAD[kChunk];
    double AXN[kChunk], AYN[kChunk], XN[kChunk], CAPU[kChunk];
    double EPW[kChunk], SINE[kChunk], COSE[kChunk], ACTIVE[kChunk];
    // Results go to the chunk first: stores that cannot alias the fields keep the loop simple.
    double PX[kChunk], PY[kChunk], PZ[kChunk], QX[kChunk], QY[kChunk], QZ[kChunk];
    uint8_t REDO[kChunk];
};

// The epoch's inclination functions and long-period coefficients, which both models read last.
struct FinishPtrs {
    const double *cosio, *sinio, *x3thm1, *x1mth2, *x7thm1, *xlcof, *aycof;
};

// FinishState of Sgp4.cpp (1980 variant) over the chunk from its mean elements (A, E, XL, OMEGA,
// XNODE; XINC for the deep-space model, whose inclination moves): long-period periodics,
// Kepler's equation, short-period periodics and orientation, then the chunk's m lanes to o.
template <bool oneObject, size_t kChunk, bool kDeep>
[[gnu::always_inline]] inline void FinishChunk(const FinishPtrs& p, ChunkState<kChunk>& c, size_t base,
                                               size_t m, const LaneOut& o) {
    const double xke = kXke;
    for (size_t j = 0; j < kChunk; ++j) {
        const size_t i = oneObject ? 0 : base + std::min(j, m - 1);
        const double a = c.A[j], e = c.E[j], xl = c.XL[j], omega = c.OMEGA[j], xnode = c.XNODE[j];
        const double beta = std::sqrt(1.0 - e * e);
        double sinw, cosw;
        SinCosReduced(omega, sinw, cosw);
        const double axn = e * cosw;
        const double tl = 1.0 / (a * beta * beta);
        const double xll = tl * p.xlcof[i] * axn;
        const double aynl = tl * p.aycof[i];
        const double xlt = xl + xll;
        const double ayn = e * sinw + aynl;
        const double capu = Fmod2pLane(xlt - xnode);
        c.AXN[j] = axn;
        c.AYN[j] = ayn;
        c.XN[j] = xke / (a * std::sqrt(a));
        c.CAPU[j] = capu;
        c.EPW[j] = capu;
        c.SINE[j] = 0.0;
        c.COSE[j] = 0.0;
        c.ACTIVE[j] = 1.0;
        c.BAD[j] = !(std::fabs(omega) <= kSinCosReduceLimit) ? 1.0 : c.BAD[j];
    }

    // Kepler's equation in rounds over every lane; a lane keeps the sine and cosine of the
    // value it converged at. Lanes still open after ten rounds go to the scalar model.
    for (int round = 0; round < 10; ++round) {
        for (size_t j = 0; j < kChunk; ++j) {
            const double e0 = c.EPW[j];
            double s, co;
            SinCosReduced(e0, s, co);
            const double t3 = c.AXN[j] * s;
            const double t4 = c.AYN[j] * co;
            const double t5 = c.AXN[j] * co;
            const double t6 = c.AYN[j] * s;
            const double epw = (c.CAPU[j] - t4 + t3 - e0) / (1.0 - t5 - t6) + e0;
            const bool active = c.ACTIVE[j] != 0.0;
            const bool goOn = active & !(std::fabs(epw - e0) <= kE6a);
            c.SINE[j] = active ? s : c.SINE[j];
            c.COSE[j] = active ? co : c.COSE[j];
            c.EPW[j] = goOn ? epw : e0;
            c.BAD[j] = (active & !(std::fabs(e0) <= kSinCosReduceLimit)) ? 1.0 : c.BAD[j];
            c.ACTIVE[j] = goOn ? 1.0 : 0.0;
        }
        int open = 0;
        for (size_t j = 0; j < kChunk; ++j) open |= c.ACTIVE[j] != 0.0 ? 1 : 0;
        if (open == 0) break;
    }

    // Short-period periodics and orientation.
    for (size_t j = 0; j < kChunk; ++j) {
        const size_t i = oneObject ? 0 : base + std::min(j, m - 1);
        const double a = c.A[j], axn = c.AXN[j], ayn = c.AYN[j], xn = c.XN[j];
        const double sinepw = c.SINE[j], cosepw = c.COSE[j];
        const double temp3 = axn * sinepw;
        const double temp4 = ayn * cosepw;
        const double temp5 = axn * cosepw;
        const double temp6 = ayn * sinepw;
        const double ecose = temp5 + temp6;
        const double esine = temp3 - temp4;
        const double elsq = axn * axn + ayn * ayn;
        const double tmp = 1.0 - elsq;
        const double pl = a * tmp;
        const double r = a * (1.0 - ecose);
        double temp1 = 1.0 / r;
        const double rdot = xke * std::sqrt(a) * esine * temp1;
        const double rfdot = xke * std::sqrt(pl) * temp1;
        double temp2 = a * temp1;
        const double betal = std::sqrt(tmp);
        const double t3 = 1.0 / (1.0 + betal);
        const double cosu = temp2 * (cosepw - axn + ayn * esine * t3);
        const double sinu = temp2 * (sinepw - ayn - axn * esine * t3);
        const double sin2u = 2.0 * sinu * cosu;
        const double cos2u = 2.0 * cosu * cosu - 1.0;
        const double temp = 1.0 / pl;
        temp1 = kCk2 * temp;
        temp2 = temp1 * temp;
        const double cosio = p.cosio[i], sinio = p.sinio[i];
        const double x3thm1 = p.x3thm1[i], x1mth2 = p.x1mth2[i], x7thm1 = p.x7thm1[i];
        const ShortPeriodics sp = ShortPeriodTerms(r, betal, temp1, temp2, x3thm1, x1mth2, x7thm1, cosio,
                                                   sinio, sin2u, cos2u, c.XNODE[j], rdot, rfdot, xn);
        const double rk = sp.rk, duk = sp.duk, xnodek = sp.xnodek, dik = sp.dik, rdotk = sp.rdotk,
                     rfdotk = sp.rfdotk;

        // The series of the scalar model for the small corrections (lanes beyond it go back); the
        // deep-space model takes the sine and cosine of its moving inclination whole.
        double sd, cd;
        SinCosSeries(duk, sd, cd);
        const double sinuk = sinu * cd + cosu * sd;
        const double cosuk = cosu * cd - sinu * sd;
        double sinik, cosik;
        bool inclinationBad;
        if constexpr (kDeep) {
            const double xinck = c.XINC[j] + dik;
            SinCosReduced(xinck, sinik, cosik);
            inclinationBad = !(std::fabs(xinck) <= kSinCosReduceLimit);
        } else {
            double si, ci;
            SinCosSeries(dik, si, ci);
            sinik = sinio * ci + cosio * si;
            cosik = cosio * ci - sinio * si;
            inclinationBad = !(std::fabs(dik) < kSmallAngle);
        }
        double sinnok, cosnok;
        SinCosReduced(xnodek, sinnok, cosnok);
        double px, py, pz, qx, qy, qz;
        OrientState(rk, rdotk, rfdotk, sinuk, cosuk, sinik, cosik, sinnok, cosnok, px, py, pz, qx, qy, qz);
        c.PX[j] = px;
        c.PY[j] = py;
        c.PZ[j] = pz;
        c.QX[j] = qx;
        c.QY[j] = qy;
        c.QZ[j] = qz;
        const bool bad = (c.BAD[j] != 0.0) | (c.ACTIVE[j] != 0.0) | !(pl > 0.0) |
                         !(std::fabs(duk) < kSmallAngle) | inclinationBad |
                         !(std::fabs(xnodek) <= kSinCosReduceLimit) |
                         !(px * px + py * py + pz * pz <= kLargest) |
                         !(qx * qx + qy * qy + qz * qz <= kLargest) | !(rk >= 1.0);
        c.REDO[j] = bad ? 1 : 0;
    }
    std::copy_n(c.PX, m, o.x + base);
    std::copy_n(c.PY, m, o.y + base);
    std::copy_n(c.PZ, m, o.z + base);
    std::copy_n(c.QX, m, o.vx + base);
    std::copy_n(c.QY, m, o.vy + base);
    std::copy_n(c.QZ, m, o.vz + base);
    std::copy_n(c.REDO, m, o.redo + base);
}

// The secular terms of gravity both models start from (t: minutes from the epoch).
struct SecularAngles {
    double xmdf, omgadf, xnode, tsq;
};
template <class Ptrs>
[[gnu::always_inline]] inline SecularAngles Secular(const Ptrs& p, size_t i, double t) {
    SecularAngles s;
    s.xmdf = p.xmo[i] + p.xmdot[i] * t;
    s.omgadf = p.omegao[i] + p.omgdot[i] * t;
    const double xnoddf = p.xnodeo[i] + p.xnodot[i] * t;
    s.tsq = t * t;
    s.xnode = xnoddf + p.xnodcf[i] * s.tsq;
    return s;
}

// The near-earth model of Sgp4.cpp (SGP4 and FinishState, 1980 variant) written lane by lane with
// every branch turned into a selection (bitwise | and &, which leave no branch), in the same order of
// operations. oneObject: every lane is lane 0 of the fields (one object at many instants).
template <bool oneObject, size_t kChunk>
[[gnu::always_inline]] inline void NearKernel(const LanePtrs& p, const double* ts, size_t begin, size_t n,
                                              const LaneOut& o) {
    const FinishPtrs f{p.cosio, p.sinio, p.x3thm1, p.x1mth2, p.x7thm1, p.xlcof, p.aycof};
    for (size_t base = begin; base < n; base += kChunk) {
        const size_t m = std::min(kChunk, n - base);
        ChunkState<kChunk> c;

        // Secular gravity and drag, long-period periodics. Every loop runs a whole chunk (a short
        // last chunk repeats its last lane), so that the vectoriser sees a fixed count.
        for (size_t j = 0; j < kChunk; ++j) {
            const size_t k = base + std::min(j, m - 1);
            const size_t i = oneObject ? 0 : k;
            const double t = ts[k];
            const auto [xmdf, omgadf, xnode, tsq] = Secular(p, i, t);
            const double tempa0 = 1.0 - p.c1[i] * t;
            const double tempe0 = p.bstarC4[i] * t;
            const double templ0 = p.t2cof[i] * tsq;

            const double delomg = p.omgcof[i] * t;
            double sinmdf, cosmdf;
            SinCosReduced(xmdf, sinmdf, cosmdf);
            const double b = 1.0 + p.eta[i] * cosmdf;
            const double delm = p.xmcof[i] * (b * b * b - p.delmo[i]);
            const double temp = delomg + delm;
            const double xmp1 = xmdf + temp;
            double sinmp, cosmp;
            SinCosReduced(xmp1, sinmp, cosmp);
            const double omega1 = omgadf - temp;
            const double tcube = tsq * t;
            const double tfour = t * tcube;
            const double tempa1 = tempa0 - p.d2[i] * tsq - p.d3[i] * tcube - p.d4[i] * tfour;
            const double tempe1 = tempe0 + p.bstarC5[i] * (sinmp - p.sinmo[i]);
            const double templ1 = templ0 + p.t3cof[i] * tcube + tfour * (p.t4cof[i] + t * p.t5cof[i]);

            const bool simple = p.simple[i] != 0.0;
            const double xmp = simple ? xmdf : xmp1;
            const double omega = simple ? omgadf : omega1;
            const double tempa = simple ? tempa0 : tempa1;
            const double tempe = simple ? tempe0 : tempe1;
            const double templ = simple ? templ0 : templ1;

            const double a = p.aodp[i] * tempa * tempa;
            const double e = p.eo[i] - tempe;
            const double xl = xmp + omega + xnode + p.xnodp[i] * templ;
            const bool bad = !(std::fabs(t) <= kMaxMinutesFromEpoch) | !((e < 1.0) & (e >= -0.001)) |
                             !(tempa > 0.0) | !(a > 0.0) | !(std::fabs(xmdf) <= kSinCosReduceLimit) |
                             !(std::fabs(xmp1) <= kSinCosReduceLimit);

            c.A[j] = a;
            c.E[j] = e;
            c.XL[j] = xl;
            c.OMEGA[j] = omega;
            c.XNODE[j] = xnode;
            c.BAD[j] = bad ? 1.0 : 0.0;
        }
        FinishChunk<oneObject, kChunk, false>(f, c, base, m, o);
    }
}

// The fields of deep-space lanes from a starting lane on.
struct DeepPtrs {
    const double *xmo, *xmdot, *omegao, *omgdot, *xnodeo, *xnodot, *xnodcf, *c1, *bstarC4, *t2cof;
    const double *xnodp, *eo, *xincl, *ssl, *ssg, *ssh, *sse, *ssi, *thgr, *xfact, *aodpBase;
    const double *zmos, *zmol, *se2, *se3, *si2, *si3, *sl2, *sl3, *sl4, *sgh2, *sgh3, *sgh4, *sh2, *sh3;
    const double *ee2, *e3, *xi2, *xi3, *xl2, *xl3, *xl4, *xgh2, *xgh3, *xgh4, *xh2, *xh3;
    const double *cosio, *sinio, *x3thm1, *x1mth2, *x7thm1, *xlcof, *aycof;
    const double *del1, *del2, *del3;
    const double *d2201, *d2211, *d3210, *d3222, *d4410, *d4422, *d5220, *d5232, *d5421, *d5433;
};

// Resonance states of the lanes (time, mean longitude, mean motion), within one step of their
// instants.
struct ResonanceLanes {
    const double *atime, *xli, *xni;
};

// SDP4 of Sgp4.cpp (1980 variant) lane by lane, for objects of one kind of resonance (0 none,
// 1 synchronous, 2 half-day), in the same order of operations.
template <int kResonance, bool oneObject, size_t kChunk>
[[gnu::always_inline]] inline void DeepKernel(const DeepPtrs& p, const ResonanceLanes& res, const double* ts,
                                              size_t begin, size_t n, const LaneOut& o) {
    const FinishPtrs f{p.cosio, p.sinio, p.x3thm1, p.x1mth2, p.x7thm1, p.xlcof, p.aycof};
    for (size_t base = begin; base < n; base += kChunk) {
        const size_t m = std::min(kChunk, n - base);
        ChunkState<kChunk> c;
        double XMAM[kChunk], OMGASM[kChunk], XNODES[kChunk], EM[kChunk], TEMPA[kChunk], TEMPE[kChunk];
        double TEMPL[kChunk], AXIS[kChunk], ALF[kChunk], BET[kChunk], XLS[kChunk], LYD[kChunk];

        // Secular gravity and drag, the secular lunar-solar terms and the end of the resonance
        // integration.
        for (size_t j = 0; j < kChunk; ++j) {
            const size_t k = base + std::min(j, m - 1);
            const size_t i = oneObject ? 0 : k;
            const double t = ts[k];
            const auto [xmdf, omgadf, xnode, tsq] = Secular(p, i, t);
            double xll = xmdf + p.ssl[i] * t;
            const double omgasm0 = omgadf + p.ssg[i] * t;
            const double xnodes0 = xnode + p.ssh[i] * t;
            const double xinc0 = p.xincl[i] + p.ssi[i] * t;
            const bool turn = xinc0 < 0.0;
            const double xinc = turn ? -xinc0 : xinc0;
            const double xnodes = turn ? xnodes0 + kPi : xnodes0;
            const double omgasm = turn ? omgasm0 - kPi : omgasm0;
            double xn = p.xnodp[i];
            bool bad = !(std::fabs(t) <= kMaxMinutesFromEpoch) | !(std::fabs(xinc) <= kSinCosReduceLimit) |
                       !(std::fabs(xnodes) <= kSinCosReduceLimit);
            if constexpr (kResonance != 0) {
                const double atime = res.atime[k], xli = res.xli[k], xni = res.xni[k];
                double xndot, xnddt, xomi = 0.0;
                if constexpr (kResonance == 1) {
                    SynchronousRates<true>(xli, p.del1[i], p.del2[i], p.del3[i], xndot, xnddt);
                } else {
                    xomi = p.omegao[i] + p.omgdot[i] * atime;
                    const HalfDayCoefficients d{p.d2201[i], p.d2211[i], p.d3210[i], p.d3222[i], p.d4410[i],
                                                p.d4422[i], p.d5220[i], p.d5232[i], p.d5421[i], p.d5433[i]};
                    HalfDayRates<true>(xli, xomi, d, xndot, xnddt);
                }
                const ResonanceEnd end = ResonanceFinish(t, atime, xli, xni, p.xfact[i], xndot, xnddt);
                xn = end.xn;
                const double temp = -xnodes + p.thgr[i] + t * kThdt;
                xll = kResonance == 1 ? end.xl - omgasm + temp : end.xl + temp + temp;
                // Every argument of the rates stays within the reduction.
                bad |= !(4.0 * (std::fabs(xli) + std::fabs(xomi)) <= kSinCosReduceLimit);
            }
            XMAM[j] = xll;
            OMGASM[j] = omgasm;
            XNODES[j] = xnodes;
            EM[j] = p.eo[i] + p.sse[i] * t;
            c.XINC[j] = xinc;
            c.XN[j] = xn;
            TEMPA[j] = 1.0 - p.c1[i] * t;
            TEMPE[j] = p.bstarC4[i] * t;
            TEMPL[j] = p.t2cof[i] * tsq;
            AXIS[j] = p.aodpBase[i];
            c.BAD[j] = (bad | !(xn > 0.0)) ? 1.0 : 0.0;
        }
        // The semi-major axis of a resonant lane's mean motion, by the library's power as the
        // scalar model takes it.
        if constexpr (kResonance != 0) {
            for (size_t j = 0; j < kChunk; ++j)
                AXIS[j] = c.XN[j] > 0.0 ? std::pow(kXke / c.XN[j], kTwoThirds) : 1.0;
        }

        // Lunar-solar periodics: applied directly, and the Lyddane form up to its new node.
        for (size_t j = 0; j < kChunk; ++j) {
            const size_t i = oneObject ? 0 : base + std::min(j, m - 1);
            const double t = ts[base + std::min(j, m - 1)];
            const double tempa = TEMPA[j];
            const double a = AXIS[j] * tempa * tempa;
            const double e0 = EM[j] - TEMPE[j];
            const double xmam = XMAM[j] + p.xnodp[i] * TEMPL[j];
            const double xinc = c.XINC[j], omgasm = OMGASM[j], xnodes = XNODES[j];
            double sinis, cosis;
            SinCosReduced(xinc, sinis, cosis);
            const BodyPeriodics sun =
                BodyTerms<true>(t, p.zmos[i], kZns, kZes, p.se2[i], p.se3[i], p.si2[i], p.si3[i], p.sl2[i],
                                p.sl3[i], p.sl4[i], p.sgh2[i], p.sgh3[i], p.sgh4[i], p.sh2[i], p.sh3[i]);
            const BodyPeriodics moon =
                BodyTerms<true>(t, p.zmol[i], kZnl, kZel, p.ee2[i], p.e3[i], p.xi2[i], p.xi3[i], p.xl2[i],
                                p.xl3[i], p.xl4[i], p.xgh2[i], p.xgh3[i], p.xgh4[i], p.xh2[i], p.xh3[i]);
            const double pe = sun.e + moon.e;
            const double pinc = sun.i + moon.i;
            const double pl = sun.l + moon.l;
            const double pgh = sun.gh + moon.gh;
            const double ph = sun.h + moon.h;
            const double xincp = xinc + pinc;
            const double e = e0 + pe;
            const bool lyddane = !(xincp >= kLyddaneInclination);
            // Applied directly.
            const double phd = ph / p.sinio[i];
            const double pghd = pgh - p.cosio[i] * phd;
            // The Lyddane form.
            double sinok, cosok;
            SinCosReduced(xnodes, sinok, cosok);
            const LyddaneTerms ly =
                LyddaneBefore(sinis, cosis, sinok, cosok, ph, pinc, pl, pgh, xmam, omgasm, xnodes);
            c.A[j] = a;
            c.E[j] = e;
            c.XINC[j] = xincp;
            XMAM[j] = xmam + pl;
            OMGASM[j] = omgasm + pghd;
            XNODES[j] = lyddane ? xnodes : xnodes + phd;
            ALF[j] = ly.alfdp;
            BET[j] = ly.betdp;
            XLS[j] = ly.xls;
            LYD[j] = lyddane ? 1.0 : 0.0;
            const bool bad = !((e0 < 1.0) & (e0 >= -0.001)) | !((e >= -0.001) & (e <= 1.0)) | !(tempa > 0.0) |
                             !(a > 0.0) | !(std::fabs(xincp) <= kSinCosReduceLimit);
            c.BAD[j] = bad ? 1.0 : c.BAD[j];
        }
        // The Lyddane form's new node, by the library's arc tangent as the scalar model takes it.
        for (size_t j = 0; j < kChunk; ++j) {
            if (LYD[j] != 0.0) XNODES[j] = LyddaneNode(ALF[j], BET[j], XNODES[j]);
        }
        for (size_t j = 0; j < kChunk; ++j) {
            const bool lyddane = LYD[j] != 0.0;
            double sini, cosi;
            SinCosReduced(c.XINC[j], sini, cosi);
            const double xnodes = XNODES[j], xmam = XMAM[j];
            const double omega = lyddane ? XLS[j] - xmam - cosi * xnodes : OMGASM[j];
            c.XL[j] = xmam + omega + xnodes;
            c.OMEGA[j] = omega;
            c.XNODE[j] = xnodes;
        }
        FinishChunk<oneObject, kChunk, true>(f, c, base, m, o);
    }
}

// One binary for every x86-64: the AVX2 version where the processor has it. Not under the
// sanitizers: the loader runs the chooser before their runtime is ready (ThreadSanitizer crashes
// there), and clang names them only through __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CORVANE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define CORVANE_SANITIZED 1
#endif
#endif
#if defined(__x86_64__) && !defined(CORVANE_SANITIZED)
#define CORVANE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define CORVANE_CLONES
#endif

// Whole long chunks, then short ones for the rest.
template <bool oneObject>
[[gnu::always_inline]] inline void NearRun(const LanePtrs& p, const double* ts, size_t n, const LaneOut& o) {
    const size_t whole = n - n % kLongChunk;
    NearKernel<oneObject, kLongChunk>(p, ts, 0, whole, o);
    NearKernel<oneObject, kShortChunk>(p, ts, whole, n, o);
}

CORVANE_CLONES void NearMany(const LanePtrs& p, const double* ts, size_t n, const LaneOut& o) {
    NearRun<false>(p, ts, n, o);
}

CORVANE_CLONES void NearOne(const LanePtrs& p, const double* ts, size_t n, const LaneOut& o) {
    NearRun<true>(p, ts, n, o);
}

// Deep-space lanes go in shorter chunks: their kernel keeps more values per lane.
constexpr size_t kDeepChunk = 32;

template <int kResonance, bool oneObject>
[[gnu::always_inline]] inline void DeepRun(const DeepPtrs& p, const ResonanceLanes& r, const double* ts,
                                           size_t n, const LaneOut& o) {
    const size_t whole = n - n % kDeepChunk;
    DeepKernel<kResonance, oneObject, kDeepChunk>(p, r, ts, 0, whole, o);
    DeepKernel<kResonance, oneObject, kShortChunk>(p, r, ts, whole, n, o);
}

// One entry point (each with its clones) per kind of resonance, for many objects or one.
#define CORVANE_DEEP_ENTRY(name, resonance, oneObject)                                               \
    CORVANE_CLONES void name(const DeepPtrs& p, const ResonanceLanes& r, const double* ts, size_t n, \
                             const LaneOut& o) {                                                     \
        DeepRun<resonance, oneObject>(p, r, ts, n, o);                                               \
    }
CORVANE_DEEP_ENTRY(DeepPlainMany, 0, false)
CORVANE_DEEP_ENTRY(DeepPlainOne, 0, true)
CORVANE_DEEP_ENTRY(DeepSynchronousMany, 1, false)
CORVANE_DEEP_ENTRY(DeepSynchronousOne, 1, true)
CORVANE_DEEP_ENTRY(DeepHalfDayMany, 2, false)
CORVANE_DEEP_ENTRY(DeepHalfDayOne, 2, true)
#undef CORVANE_DEEP_ENTRY

// Every field of the lanes.
constexpr std::array<std::vector<double> NearEarthLanes::*, 34> kLaneFields = {
    &NearEarthLanes::epochJd, &NearEarthLanes::xmo,     &NearEarthLanes::xmdot,  &NearEarthLanes::omegao,
    &NearEarthLanes::omgdot,  &NearEarthLanes::xnodeo,  &NearEarthLanes::xnodot, &NearEarthLanes::xnodcf,
    &NearEarthLanes::c1,      &NearEarthLanes::bstarC4, &NearEarthLanes::t2cof,  &NearEarthLanes::omgcof,
    &NearEarthLanes::xmcof,   &NearEarthLanes::eta,     &NearEarthLanes::delmo,  &NearEarthLanes::bstarC5,
    &NearEarthLanes::sinmo,   &NearEarthLanes::d2,      &NearEarthLanes::d3,     &NearEarthLanes::d4,
    &NearEarthLanes::t3cof,   &NearEarthLanes::t4cof,   &NearEarthLanes::t5cof,  &NearEarthLanes::simple,
    &NearEarthLanes::aodp,    &NearEarthLanes::eo,      &NearEarthLanes::xnodp,  &NearEarthLanes::cosio,
    &NearEarthLanes::sinio,   &NearEarthLanes::x3thm1,  &NearEarthLanes::x1mth2, &NearEarthLanes::x7thm1,
    &NearEarthLanes::xlcof,   &NearEarthLanes::aycof};

// The fields of deep-space lanes every group uses, and those of each kind of resonance.
using DeepField = std::vector<double> DeepSpaceLanes::*;
constexpr std::array<DeepField, 55> kDeepFields = {
    &DeepSpaceLanes::epochJd, &DeepSpaceLanes::xmo,      &DeepSpaceLanes::xmdot,  &DeepSpaceLanes::omegao,
    &DeepSpaceLanes::omgdot,  &DeepSpaceLanes::xnodeo,   &DeepSpaceLanes::xnodot, &DeepSpaceLanes::xnodcf,
    &DeepSpaceLanes::c1,      &DeepSpaceLanes::bstarC4,  &DeepSpaceLanes::t2cof,  &DeepSpaceLanes::xnodp,
    &DeepSpaceLanes::eo,      &DeepSpaceLanes::xincl,    &DeepSpaceLanes::ssl,    &DeepSpaceLanes::ssg,
    &DeepSpaceLanes::ssh,     &DeepSpaceLanes::sse,      &DeepSpaceLanes::ssi,    &DeepSpaceLanes::thgr,
    &DeepSpaceLanes::xfact,   &DeepSpaceLanes::aodpBase, &DeepSpaceLanes::zmos,   &DeepSpaceLanes::zmol,
    &DeepSpaceLanes::se2,     &DeepSpaceLanes::se3,      &DeepSpaceLanes::si2,    &DeepSpaceLanes::si3,
    &DeepSpaceLanes::sl2,     &DeepSpaceLanes::sl3,      &DeepSpaceLanes::sl4,    &DeepSpaceLanes::sgh2,
    &DeepSpaceLanes::sgh3,    &DeepSpaceLanes::sgh4,     &DeepSpaceLanes::sh2,    &DeepSpaceLanes::sh3,
    &DeepSpaceLanes::ee2,     &DeepSpaceLanes::e3,       &DeepSpaceLanes::xi2,    &DeepSpaceLanes::xi3,
    &DeepSpaceLanes::xl2,     &DeepSpaceLanes::xl3,      &DeepSpaceLanes::xl4,    &DeepSpaceLanes::xgh2,
    &DeepSpaceLanes::xgh3,    &DeepSpaceLanes::xgh4,     &DeepSpaceLanes::xh2,    &DeepSpaceLanes::xh3,
    &DeepSpaceLanes::cosio,   &DeepSpaceLanes::sinio,    &DeepSpaceLanes::x3thm1, &DeepSpaceLanes::x1mth2,
    &DeepSpaceLanes::x7thm1,  &DeepSpaceLanes::xlcof,    &DeepSpaceLanes::aycof};
constexpr std::array<DeepField, 3> kSynchronousFields = {&DeepSpaceLanes::del1, &DeepSpaceLanes::del2,
                                                         &DeepSpaceLanes::del3};
constexpr std::array<DeepField, 10> kHalfDayFields = {
    &DeepSpaceLanes::d2201, &DeepSpaceLanes::d2211, &DeepSpaceLanes::d3210, &DeepSpaceLanes::d3222,
    &DeepSpaceLanes::d4410, &DeepSpaceLanes::d4422, &DeepSpaceLanes::d5220, &DeepSpaceLanes::d5232,
    &DeepSpaceLanes::d5421, &DeepSpaceLanes::d5433};

// The given fields of lanes index[0..n) of from, packed into to: the kernels read packed lanes much
// faster than they gather scattered ones.
template <class Lanes, size_t kFields>
void PackFields(const std::array<std::vector<double> Lanes::*, kFields>& fields, const Lanes& from,
                const uint32_t* index, size_t n, Lanes& to) {
    for (auto field : fields) {
        const std::vector<double>& src = from.*field;
        std::vector<double>& dst = to.*field;
        dst.resize(n);
        for (size_t q = 0; q < n; ++q) dst[q] = src[index[q]];
    }
}

template <class Lanes, size_t kFields>
void ReserveFields(const std::array<std::vector<double> Lanes::*, kFields>& fields, size_t n, Lanes& lanes) {
    for (auto field : fields) (lanes.*field).reserve(n);
}

void PackLanes(const NearEarthLanes& from, const uint32_t* index, size_t n, NearEarthLanes& to) {
    PackFields(kLaneFields, from, index, n, to);
}

// Deep-space lanes of group g (the fields its kind of resonance reads, and the lanes' objects).
void PackLanes(int g, const DeepSpaceLanes& from, const uint32_t* index, size_t n, DeepSpaceLanes& to) {
    PackFields(kDeepFields, from, index, n, to);
    if (g == 1) PackFields(kSynchronousFields, from, index, n, to);
    if (g == 2) PackFields(kHalfDayFields, from, index, n, to);
    to.object.resize(n);
    for (size_t q = 0; q < n; ++q) to.object[q] = from.object[index[q]];
}

// Pointers to the fields of deep-space lanes from lane `at` on (those of another kind of
// resonance point nowhere and are not read).
DeepPtrs DeepPointersAt(const DeepSpaceLanes& l, size_t at) {
    auto f = [at](const std::vector<double>& v) { return v.empty() ? nullptr : v.data() + at; };
    return DeepPtrs{
        f(l.xmo),    f(l.xmdot),   f(l.omegao), f(l.omgdot), f(l.xnodeo), f(l.xnodot), f(l.xnodcf),
        f(l.c1),     f(l.bstarC4), f(l.t2cof),  f(l.xnodp),  f(l.eo),     f(l.xincl),  f(l.ssl),
        f(l.ssg),    f(l.ssh),     f(l.sse),    f(l.ssi),    f(l.thgr),   f(l.xfact),  f(l.aodpBase),
        f(l.zmos),   f(l.zmol),    f(l.se2),    f(l.se3),    f(l.si2),    f(l.si3),    f(l.sl2),
        f(l.sl3),    f(l.sl4),     f(l.sgh2),   f(l.sgh3),   f(l.sgh4),   f(l.sh2),    f(l.sh3),
        f(l.ee2),    f(l.e3),      f(l.xi2),    f(l.xi3),    f(l.xl2),    f(l.xl3),    f(l.xl4),
        f(l.xgh2),   f(l.xgh3),    f(l.xgh4),   f(l.xh2),    f(l.xh3),    f(l.cosio),  f(l.sinio),
        f(l.x3thm1), f(l.x1mth2),  f(l.x7thm1), f(l.xlcof),  f(l.aycof),  f(l.del1),   f(l.del2),
        f(l.del3),   f(l.d2201),   f(l.d2211),  f(l.d3210),  f(l.d3222),  f(l.d4410),  f(l.d4422),
        f(l.d5220),  f(l.d5232),   f(l.d5421),  f(l.d5433)};
}

}  // namespace

void NearEarthLanes::Add(const ModelInit& m, double epoch) {
    epochJd.push_back(epoch);
    xmo.push_back(m.xmo);
    xmdot.push_back(m.xmdot);
    omegao.push_back(m.omegao);
    omgdot.push_back(m.omgdot);
    xnodeo.push_back(m.xnodeo);
    xnodot.push_back(m.xnodot);
    xnodcf.push_back(m.xnodcf);
    c1.push_back(m.c1);
    bstarC4.push_back(m.bstar * m.c4);
    t2cof.push_back(m.t2cof);
    omgcof.push_back(m.omgcof);
    xmcof.push_back(m.xmcof);
    eta.push_back(m.eta);
    delmo.push_back(m.delmo);
    bstarC5.push_back(m.bstar * m.c5);
    sinmo.push_back(m.sinmo);
    d2.push_back(m.d2);
    d3.push_back(m.d3);
    d4.push_back(m.d4);
    t3cof.push_back(m.t3cof);
    t4cof.push_back(m.t4cof);
    t5cof.push_back(m.t5cof);
    simple.push_back(m.simple ? 1.0 : 0.0);
    aodp.push_back(m.aodp);
    eo.push_back(m.eo);
    xnodp.push_back(m.xnodp);
    cosio.push_back(m.cosio);
    sinio.push_back(m.sinio);
    x3thm1.push_back(m.x3thm1);
    x1mth2.push_back(m.x1mth2);
    x7thm1.push_back(m.x7thm1);
    xlcof.push_back(m.xlcof);
    aycof.push_back(m.aycof);
}

void NearEarthLanes::Clear() { *this = NearEarthLanes{}; }

void DeepSpaceLanes::Add(const ModelInit& m, double epoch, uint32_t batchObject) {
    const DeepSpaceTerms& d = m.ds;
    const double values[] = {epoch,    m.xmo,
                             m.xmdot,  m.omegao,
                             m.omgdot, m.xnodeo,
                             m.xnodot, m.xnodcf,
                             m.c1,     m.bstarC4,
                             m.t2cof,  m.xnodp,
                             m.eo,     m.xincl,
                             d.ssl,    d.ssg,
                             d.ssh,    d.sse,
                             d.ssi,    d.thgr,
                             d.xfact,  std::pow(kXke / m.xnodp, kTwoThirds),
                             d.zmos,   d.zmol,
                             d.se2,    d.se3,
                             d.si2,    d.si3,
                             d.sl2,    d.sl3,
                             d.sl4,    d.sgh2,
                             d.sgh3,   d.sgh4,
                             d.sh2,    d.sh3,
                             d.ee2,    d.e3,
                             d.xi2,    d.xi3,
                             d.xl2,    d.xl3,
                             d.xl4,    d.xgh2,
                             d.xgh3,   d.xgh4,
                             d.xh2,    d.xh3,
                             m.cosio,  m.sinio,
                             m.x3thm1, m.x1mth2,
                             m.x7thm1, m.xlcof,
                             m.aycof};
    static_assert(std::size(values) == kDeepFields.size());
    for (size_t f = 0; f < kDeepFields.size(); ++f) (this->*kDeepFields[f]).push_back(values[f]);
    if (d.resonance == 1) {
        const double rates[] = {d.del1, d.del2, d.del3};
        for (size_t f = 0; f < kSynchronousFields.size(); ++f)
            (this->*kSynchronousFields[f]).push_back(rates[f]);
    } else if (d.resonance == 2) {
        const double rates[] = {d.d2201, d.d2211, d.d3210, d.d3222, d.d4410,
                                d.d4422, d.d5220, d.d5232, d.d5421, d.d5433};
        for (size_t f = 0; f < kHalfDayFields.size(); ++f) (this->*kHalfDayFields[f]).push_back(rates[f]);
    }
    object.push_back(batchObject);
}

void DeepSpaceLanes::Clear() { *this = DeepSpaceLanes{}; }

void BatchStates::Resize(size_t n) {
    x.resize(n);
    y.resize(n);
    z.resize(n);
    vx.resize(n);
    vy.resize(n);
    vz.resize(n);
    error.resize(n);
}

PropagationResult BatchStates::Result(size_t i) const {
    PropagationResult r;
    r.error = error[i];
    if (r.error != PropagationError::kNone) return r;
    r.position = StateVector{x[i], y[i], z[i], 0.0};
    r.velocity = StateVector{vx[i], vy[i], vz[i], 0.0};
    Magnitude(r.position);
    Magnitude(r.velocity);
    return r;
}

const PropagationBatch::Models PropagationBatch::kNoModels{};

PropagationBatch::Models& PropagationBatch::Writable() {
    // A batch that holds the only reference changes its models in place; one whose models are
    // shared (or that has none) first takes its own copy, so that no other batch sees the change.
    if (!models_) {
        models_ = std::make_shared<Models>();
    } else if (models_.use_count() != 1) {
        models_ = std::make_shared<Models>(*models_);
    } else {
        // A copy just let go of on another thread read the models before its release.
        std::atomic_thread_fence(std::memory_order_acquire);
    }
    return *models_;
}

size_t PropagationBatch::Add(const ElementSet& elements, ModelVariant variant) {
    Models& m = Writable();
    // Initialised where a near-earth lane keeps it (no copy of the whole model); another kind
    // moves on to the scalar objects.
    ModelInit& model = m.nearModel.emplace_back();
    InitialiseModel(elements, model, variant);
    const size_t object = m.kind.size();
    const bool ok = model.error == PropagationError::kNone && !model.revised;
    if (ok && !model.deepSpace) {
        m.kind.push_back(Kind::kNear);
        m.lane.push_back(static_cast<uint32_t>(m.near.Size()));
        m.near.Add(model, elements.epochJd);
    } else {
        const bool deep =
            ok && model.deepSpace && model.ds.resonance >= 0 && model.ds.resonance < kDeepGroups;
        m.kind.push_back(deep ? Kind::kDeep : Kind::kScalar);
        m.lane.push_back(static_cast<uint32_t>(m.scalar.size()));
        if (deep) {
            DeepSpaceLanes& group = m.deep[model.ds.resonance];
            m.deepLane.push_back(static_cast<uint32_t>(group.Size()));
            m.deepGroup.push_back(static_cast<uint8_t>(model.ds.resonance));
            group.Add(model, elements.epochJd, static_cast<uint32_t>(object));
        } else {
            m.deepLane.push_back(0);
            m.deepGroup.push_back(0);
        }
        m.scalar.push_back(Scalar{model, elements.epochJd});
        m.nearModel.pop_back();
    }
    if (keepElements_) m.elements.push_back(elements);
    // The resonance states of the scalar objects follow the models (a copy that shares them has
    // its own).
    resonance_.resize(m.scalar.size());
    return object;
}

void PropagationBatch::AddCatalogue(const ElementCatalogue& catalogue, int first, int last,
                                    std::vector<double>* eccentricity) {
    // Into an empty batch (the usual case) every array is sized once; a batch that grows by
    // many small calls keeps the vectors' own growth.
    if (Size() == 0 && last >= first) Reserve(static_cast<size_t>(last - first + 1));
    for (int i = first; i <= last; ++i) {
        const CatalogueEntry* entry = catalogue.Entry(i);
        ElementSet elements;
        if (entry == nullptr) {
            elements.error = PropagationError::kNoElements;
        } else {
            // The text fields only when the caller reads the elements back.
            elements = keepElements_ ? ConvertElementText(entry->name, entry->line1, entry->line2)
                                     : ConvertElementValues(entry->line1, entry->line2);
        }
        if (eccentricity) eccentricity->push_back(elements.eccentricity);
        Add(elements);
    }
}

void PropagationBatch::Clear() {
    if (models_ && models_.use_count() == 1) {
        *models_ = Models{};
    } else {
        models_.reset();
    }
    resonance_.clear();
    fallbacks_ = 0;
}

size_t PropagationBatch::VectorisedCount() const {
    const Models& m = Data();
    size_t n = m.near.Size();
    for (const DeepSpaceLanes& group : m.deep) n += group.Size();
    return n;
}

void PropagationBatch::Reserve(size_t n) {
    Models& m = Writable();
    m.kind.reserve(n);
    m.lane.reserve(n);
    m.nearModel.reserve(n);
    for (auto field : kLaneFields) (m.near.*field).reserve(n);
}

const ElementSet* PropagationBatch::Elements(size_t object) const {
    const Models& m = Data();
    return object < m.elements.size() ? &m.elements[object] : nullptr;
}

void PropagationBatch::RunNear(const NearEarthLanes& lanes, bool oneObject, const double* tsince, size_t n,
                               double* out, uint8_t* redo) {
    const LaneOut o{out, out + n, out + 2 * n, out + 3 * n, out + 4 * n, out + 5 * n, redo};
    if (oneObject) {
        NearOne(PointersAt(lanes, 0), tsince, n, o);
    } else {
        NearMany(PointersAt(lanes, 0), tsince, n, o);
    }
}

void PropagationBatch::RunDeep(int g, const DeepSpaceLanes& lanes, size_t at, const uint32_t* objects,
                               bool oneObject, const double* tsince, size_t n, double* const out[6],
                               uint8_t* redo) {
    const LaneOut o{out[0], out[1], out[2], out[3], out[4], out[5], redo};
    ResonanceLanes r{nullptr, nullptr, nullptr};
    if (g != 0) {
        // Each object's integration advanced to its instants in the order given (its state carries
        // on between them and between calls); the lanes start from there.
        atime_.resize(n);
        xli_.resize(n);
        xni_.resize(n);
        const Models& m = Data();
        for (size_t k = 0; k < n; ++k) {
            const uint32_t lane = m.lane[objects[oneObject ? 0 : k]];
            ResonanceState& state = resonance_[lane];
            // Beyond the range the scalar model reports the error without integrating.
            if (std::fabs(tsince[k]) <= kMaxMinutesFromEpoch)
                ResonanceStepTo(m.scalar[lane].model, state, tsince[k]);
            atime_[k] = state.atime;
            xli_[k] = state.xli;
            xni_[k] = state.xni;
        }
        r = ResonanceLanes{atime_.data(), xli_.data(), xni_.data()};
    }
    const DeepPtrs p = DeepPointersAt(lanes, at);
    using Run = void (*)(const DeepPtrs&, const ResonanceLanes&, const double*, size_t, const LaneOut&);
    static constexpr Run kMany[kDeepGroups] = {DeepPlainMany, DeepSynchronousMany, DeepHalfDayMany};
    static constexpr Run kOne[kDeepGroups] = {DeepPlainOne, DeepSynchronousOne, DeepHalfDayOne};
    (oneObject ? kOne : kMany)[g](p, r, tsince, n, o);
}

PropagationResult PropagationBatch::Redo(size_t object, double tsince) {
    const Models& m = Data();
    const uint32_t lane = m.lane[object];
    if (m.kind[object] == Kind::kNear) {
        ResonanceState unused;
        return PropagateModel(m.nearModel[lane], unused, tsince);
    }
    return PropagateModel(m.scalar[lane].model, resonance_[lane], tsince);
}

namespace {

void Store(BatchStates& out, size_t i, const PropagationResult& r) {
    out.x[i] = r.position.x;
    out.y[i] = r.position.y;
    out.z[i] = r.position.z;
    out.vx[i] = r.velocity.x;
    out.vy[i] = r.velocity.y;
    out.vz[i] = r.velocity.z;
    out.error[i] = r.error;
}

// Lane `lane` of a kernel's output (six arrays of n) into out[i].
void CopyLane(BatchStates& out, size_t i, const double* from, size_t n, size_t lane) {
    out.x[i] = from[lane];
    out.y[i] = from[n + lane];
    out.z[i] = from[2 * n + lane];
    out.vx[i] = from[3 * n + lane];
    out.vy[i] = from[4 * n + lane];
    out.vz[i] = from[5 * n + lane];
    out.error[i] = PropagationError::kNone;
}

}  // namespace

void PropagationBatch::PropagateAll(double jd, BatchStates& out) {
    const Models& m = Data();
    const size_t count = m.kind.size();
    out.Resize(count);
    const size_t nNear = m.near.Size();
    tsince_.resize(nNear);
    out_.resize(6 * nNear);
    redo_.resize(nNear);
    // The time from each epoch exactly as PropagateSlot forms it.
    for (size_t l = 0; l < nNear; ++l) tsince_[l] = (jd - m.near.epochJd[l]) * kMinutesPerDay;
    if (nNear > 0) RunNear(m.near, false, tsince_.data(), nNear, out_.data(), redo_.data());
    for (size_t object = 0; object < count; ++object) {
        const uint32_t lane = m.lane[object];
        if (m.kind[object] == Kind::kDeep) continue;
        if (m.kind[object] == Kind::kNear && !redo_[lane]) {
            CopyLane(out, object, out_.data(), nNear, lane);
            continue;
        }
        if (m.kind[object] == Kind::kNear) {
            Store(out, object, Fallback(object, (jd - m.near.epochJd[lane]) * kMinutesPerDay));
        } else {
            Store(out, object, Redo(object, (jd - m.scalar[lane].epochJd) * kMinutesPerDay));
        }
    }
    for (int g = 0; g < kDeepGroups; ++g) {
        const DeepSpaceLanes& group = m.deep[g];
        const size_t n = group.Size();
        if (n == 0) continue;
        tsince_.resize(n);
        out_.resize(6 * n);
        redo_.resize(n);
        for (size_t l = 0; l < n; ++l) tsince_[l] = (jd - group.epochJd[l]) * kMinutesPerDay;
        double* const lanesOut[6] = {out_.data(),         out_.data() + n,     out_.data() + 2 * n,
                                     out_.data() + 3 * n, out_.data() + 4 * n, out_.data() + 5 * n};
        RunDeep(g, group, 0, group.object.data(), false, tsince_.data(), n, lanesOut, redo_.data());
        for (size_t l = 0; l < n; ++l) {
            if (redo_[l]) {
                Store(out, group.object[l], Fallback(group.object[l], tsince_[l]));
            } else {
                CopyLane(out, group.object[l], out_.data(), n, l);
            }
        }
    }
}

void PropagationBatch::ReserveWork(size_t n) {
    // A batch copied from a store starts with empty working arrays: grown a call at a time they
    // would be allocated again and again.
    if (pairs_.capacity() >= n) return;
    ReserveFields(kLaneFields, n, one_);
    ReserveFields(kDeepFields, n, deepOne_);
    ReserveFields(kSynchronousFields, n, deepOne_);
    ReserveFields(kHalfDayFields, n, deepOne_);
    deepOne_.object.reserve(n);
    for (auto* v : {&tsince_, &atime_, &xli_, &xni_}) v->reserve(n);
    out_.reserve(6 * n);
    redo_.reserve(n);
    pairs_.reserve(n);
    index_.reserve(n);
    for (int g = 0; g < kDeepGroups; ++g) {
        deepPairs_[g].reserve(n);
        deepIndex_[g].reserve(n);
        deepTsince_[g].reserve(n);
    }
}

void PropagationBatch::PropagatePairs(const uint32_t* objects, const double* jd, size_t n, BatchStates& out) {
    const Models& m = Data();
    out.Resize(n);
    ReserveWork(std::max(n, Size()));
    // The vectorised pairs go through their kernel together, packed by kind; the others one by one.
    pairs_.clear();
    index_.clear();
    tsince_.clear();
    for (int g = 0; g < kDeepGroups; ++g) {
        deepPairs_[g].clear();
        deepIndex_[g].clear();
        deepTsince_[g].clear();
    }
    for (size_t k = 0; k < n; ++k) {
        const size_t object = objects[k];
        if (object >= m.kind.size()) {
            Store(out, k, PropagationResult{});
            continue;
        }
        const uint32_t lane = m.lane[object];
        // The time from the epoch exactly as PropagateSlot forms it.
        if (m.kind[object] == Kind::kNear) {
            pairs_.push_back(static_cast<uint32_t>(k));
            index_.push_back(lane);
            tsince_.push_back((jd[k] - m.near.epochJd[lane]) * kMinutesPerDay);
        } else if (m.kind[object] == Kind::kDeep) {
            const int g = m.deepGroup[lane];
            deepPairs_[g].push_back(static_cast<uint32_t>(k));
            deepIndex_[g].push_back(m.deepLane[lane]);
            deepTsince_[g].push_back((jd[k] - m.scalar[lane].epochJd) * kMinutesPerDay);
        } else {
            Store(out, k, Redo(object, (jd[k] - m.scalar[lane].epochJd) * kMinutesPerDay));
        }
    }
    const size_t np = pairs_.size();
    if (np > 0) {
        out_.resize(6 * np);
        redo_.resize(np);
        PackLanes(m.near, index_.data(), np, one_);
        RunNear(one_, false, tsince_.data(), np, out_.data(), redo_.data());
        for (size_t q = 0; q < np; ++q) {
            const size_t k = pairs_[q];
            if (redo_[q]) {
                Store(out, k, Fallback(objects[k], tsince_[q]));
            } else {
                CopyLane(out, k, out_.data(), np, q);
            }
        }
    }
    for (int g = 0; g < kDeepGroups; ++g) {
        const size_t d = deepPairs_[g].size();
        if (d == 0) continue;
        out_.resize(6 * d);
        redo_.resize(d);
        PackLanes(g, m.deep[g], deepIndex_[g].data(), d, deepOne_);
        double* const lanesOut[6] = {out_.data(),         out_.data() + d,     out_.data() + 2 * d,
                                     out_.data() + 3 * d, out_.data() + 4 * d, out_.data() + 5 * d};
        RunDeep(g, deepOne_, 0, deepOne_.object.data(), false, deepTsince_[g].data(), d, lanesOut,
                redo_.data());
        for (size_t q = 0; q < d; ++q) {
            const size_t k = deepPairs_[g][q];
            if (redo_[q]) {
                Store(out, k, Fallback(objects[k], deepTsince_[g][q]));
            } else {
                CopyLane(out, k, out_.data(), d, q);
            }
        }
    }
}

PropagationResult PropagationBatch::PropagateOne(size_t object, double jd) {
    const Models& m = Data();
    if (object >= m.kind.size()) return PropagationResult{};
    const uint32_t lane = m.lane[object];
    const double epoch = m.kind[object] == Kind::kNear ? m.near.epochJd[lane] : m.scalar[lane].epochJd;
    return Redo(object, (jd - epoch) * kMinutesPerDay);
}

void PropagationBatch::PropagateTimes(size_t object, const double* jd, size_t n, BatchStates& out) {
    const Models& m = Data();
    out.Resize(n);
    if (object >= m.kind.size()) {
        for (size_t k = 0; k < n; ++k) Store(out, k, PropagationResult{});
        return;
    }
    const uint32_t lane = m.lane[object];
    if (m.kind[object] == Kind::kScalar) {
        for (size_t k = 0; k < n; ++k)
            Store(out, k, Redo(object, (jd[k] - m.scalar[lane].epochJd) * kMinutesPerDay));
        return;
    }
    const double epoch = m.kind[object] == Kind::kNear ? m.near.epochJd[lane] : m.scalar[lane].epochJd;
    tsince_.resize(n);
    redo_.resize(n);
    for (size_t k = 0; k < n; ++k) tsince_[k] = (jd[k] - epoch) * kMinutesPerDay;
    if (n > 0) {
        if (m.kind[object] == Kind::kNear) {
            const LaneOut o{out.x.data(),  out.y.data(),  out.z.data(), out.vx.data(),
                            out.vy.data(), out.vz.data(), redo_.data()};
            NearOne(PointersAt(m.near, lane), tsince_.data(), n, o);
        } else {
            const int g = m.deepGroup[lane];
            const auto batchObject = static_cast<uint32_t>(object);
            double* const lanesOut[6] = {out.x.data(),  out.y.data(),  out.z.data(),
                                         out.vx.data(), out.vy.data(), out.vz.data()};
            RunDeep(g, m.deep[g], m.deepLane[lane], &batchObject, true, tsince_.data(), n, lanesOut,
                    redo_.data());
        }
    }
    for (size_t k = 0; k < n; ++k) {
        out.error[k] = PropagationError::kNone;
        if (redo_[k]) Store(out, k, Fallback(object, tsince_[k]));
    }
}

void PropagateSlotTimes(const PropagationSlot& slot, const double* jd, size_t n, BatchStates& out) {
    PropagationBatch batch;
    if (slot.HasElements()) batch.Add(slot.Elements(), slot.Variant());
    batch.PropagateTimes(0, jd, n, out);
}

}  // namespace corvane
