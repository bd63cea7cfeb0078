#include "orbit/Sgp4Batch.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "astro/Constants.h"
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

// The near-earth model of Sgp4.cpp (SGP4 and FinishState, 1980 variant) written lane by lane with
// every branch turned into a selection (bitwise | and &, which leave no branch), in the same order of
// operations. oneObject: every lane is lane 0 of the fields (one object at many instants).
template <bool oneObject, size_t kChunk>
[[gnu::always_inline]] inline void NearKernel(const LanePtrs& p, const double* ts, size_t begin, size_t n,
                                              const LaneOut& o) {
    const double xke = kXke;
    for (size_t base = begin; base < n; base += kChunk) {
        const size_t m = std::min(kChunk, n - base);
        double A[kChunk], AXN[kChunk], AYN[kChunk], XNODE[kChunk], XN[kChunk], CAPU[kChunk];
        double E[kChunk], XL[kChunk], OMEGA[kChunk];
        double EPW[kChunk], SINE[kChunk], COSE[kChunk], ACTIVE[kChunk], BAD[kChunk];
        // Results go to the chunk first: stores that cannot alias the fields keep the loop simple.
        double PX[kChunk], PY[kChunk], PZ[kChunk], QX[kChunk], QY[kChunk], QZ[kChunk];
        uint8_t REDO[kChunk];

        // Secular gravity and drag, long-period periodics. Every loop runs a whole chunk (a short
        // last chunk repeats its last lane), so that the vectoriser sees a fixed count.
        for (size_t j = 0; j < kChunk; ++j) {
            const size_t k = base + std::min(j, m - 1);
            const size_t i = oneObject ? 0 : k;
            const double t = ts[k];
            const double xmdf = p.xmo[i] + p.xmdot[i] * t;
            const double omgadf = p.omegao[i] + p.omgdot[i] * t;
            const double xnoddf = p.xnodeo[i] + p.xnodot[i] * t;
            const double tsq = t * t;
            const double xnode = xnoddf + p.xnodcf[i] * tsq;
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
                             !(std::fabs(xmp1) <= kSinCosReduceLimit) |
                             !(std::fabs(omega) <= kSinCosReduceLimit);

            A[j] = a;
            E[j] = e;
            XL[j] = xl;
            OMEGA[j] = omega;
            XNODE[j] = xnode;
            BAD[j] = bad ? 1.0 : 0.0;
        }
        for (size_t j = 0; j < kChunk; ++j) {
            const size_t i = oneObject ? 0 : base + std::min(j, m - 1);
            const double a = A[j], e = E[j], xl = XL[j], omega = OMEGA[j], xnode = XNODE[j];
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
            AXN[j] = axn;
            AYN[j] = ayn;
            XN[j] = xke / (a * std::sqrt(a));
            CAPU[j] = capu;
            EPW[j] = capu;
            SINE[j] = 0.0;
            COSE[j] = 0.0;
            ACTIVE[j] = 1.0;
        }

        // Kepler's equation in rounds over every lane; a lane keeps the sine and cosine of the
        // value it converged at. Lanes still open after ten rounds go to the scalar model.
        for (int round = 0; round < 10; ++round) {
            for (size_t j = 0; j < kChunk; ++j) {
                const double e0 = EPW[j];
                double s, c;
                SinCosReduced(e0, s, c);
                const double t3 = AXN[j] * s;
                const double t4 = AYN[j] * c;
                const double t5 = AXN[j] * c;
                const double t6 = AYN[j] * s;
                const double epw = (CAPU[j] - t4 + t3 - e0) / (1.0 - t5 - t6) + e0;
                const bool active = ACTIVE[j] != 0.0;
                const bool goOn = active & !(std::fabs(epw - e0) <= kE6a);
                SINE[j] = active ? s : SINE[j];
                COSE[j] = active ? c : COSE[j];
                EPW[j] = goOn ? epw : e0;
                BAD[j] = (active & !(std::fabs(e0) <= kSinCosReduceLimit)) ? 1.0 : BAD[j];
                ACTIVE[j] = goOn ? 1.0 : 0.0;
            }
            int open = 0;
            for (size_t j = 0; j < kChunk; ++j) open |= ACTIVE[j] != 0.0 ? 1 : 0;
            if (open == 0) break;
        }

        // Short-period periodics and orientation.
        for (size_t j = 0; j < kChunk; ++j) {
            const size_t i = oneObject ? 0 : base + std::min(j, m - 1);
            const double a = A[j], axn = AXN[j], ayn = AYN[j], xn = XN[j];
            const double sinepw = SINE[j], cosepw = COSE[j];
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
                                                       sinio, sin2u, cos2u, XNODE[j], rdot, rfdot, xn);
            const double rk = sp.rk, duk = sp.duk, xnodek = sp.xnodek, dik = sp.dik, rdotk = sp.rdotk,
                         rfdotk = sp.rfdotk;

            // The series of the scalar model for the small corrections (lanes beyond it go back).
            double sd, cd;
            SinCosSeries(duk, sd, cd);
            const double sinuk = sinu * cd + cosu * sd;
            const double cosuk = cosu * cd - sinu * sd;
            double si, ci;
            SinCosSeries(dik, si, ci);
            const double sinik = sinio * ci + cosio * si;
            const double cosik = cosio * ci - sinio * si;
            double sinnok, cosnok;
            SinCosReduced(xnodek, sinnok, cosnok);
            double px, py, pz, qx, qy, qz;
            OrientState(rk, rdotk, rfdotk, sinuk, cosuk, sinik, cosik, sinnok, cosnok, px, py, pz, qx, qy,
                        qz);
            PX[j] = px;
            PY[j] = py;
            PZ[j] = pz;
            QX[j] = qx;
            QY[j] = qy;
            QZ[j] = qz;
            const bool bad = (BAD[j] != 0.0) | (ACTIVE[j] != 0.0) | !(pl > 0.0) |
                             !(std::fabs(duk) < kSmallAngle) | !(std::fabs(dik) < kSmallAngle) |
                             !(std::fabs(xnodek) <= kSinCosReduceLimit) |
                             !(px * px + py * py + pz * pz <= kLargest) |
                             !(qx * qx + qy * qy + qz * qz <= kLargest) | !(rk >= 1.0);
            REDO[j] = bad ? 1 : 0;
        }
        std::copy_n(PX, m, o.x + base);
        std::copy_n(PY, m, o.y + base);
        std::copy_n(PZ, m, o.z + base);
        std::copy_n(QX, m, o.vx + base);
        std::copy_n(QY, m, o.vy + base);
        std::copy_n(QZ, m, o.vz + base);
        std::copy_n(REDO, m, o.redo + base);
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

// Lanes index[0..n) of from, packed into to: the kernel reads packed lanes much faster than it
// gathers scattered ones.
void PackLanes(const NearEarthLanes& from, const uint32_t* index, size_t n, NearEarthLanes& to) {
    for (auto field : kLaneFields) {
        const std::vector<double>& src = from.*field;
        std::vector<double>& dst = to.*field;
        dst.resize(n);
        for (size_t q = 0; q < n; ++q) dst[q] = src[index[q]];
    }
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

size_t PropagationBatch::Add(const ElementSet& elements, ModelVariant variant) {
    // Initialised where a near-earth lane keeps it (no copy of the whole model); another kind
    // moves on to the scalar objects.
    ModelInit& model = nearModel_.emplace_back();
    InitialiseModel(elements, model, variant);
    const size_t object = kind_.size();
    if (model.error == PropagationError::kNone && !model.deepSpace && !model.revised) {
        kind_.push_back(Kind::kNear);
        lane_.push_back(static_cast<uint32_t>(near_.Size()));
        near_.Add(model, elements.epochJd);
    } else {
        kind_.push_back(Kind::kScalar);
        lane_.push_back(static_cast<uint32_t>(scalar_.size()));
        scalar_.push_back(Scalar{model, ResonanceState{}, elements.epochJd});
        nearModel_.pop_back();
    }
    if (keepElements_) elements_.push_back(elements);
    return object;
}

void PropagationBatch::AddCatalogue(const ElementCatalogue& catalogue, int first, int last) {
    // Into an empty batch (the usual case) every array is sized once; a batch that grows by
    // many small calls keeps the vectors' own growth.
    if (kind_.empty() && last >= first) Reserve(static_cast<size_t>(last - first + 1));
    for (int i = first; i <= last; ++i) {
        const CatalogueEntry* entry = catalogue.Entry(i);
        if (entry == nullptr) {
            ElementSet none;
            none.error = PropagationError::kNoElements;
            Add(none);
            continue;
        }
        // The text fields only when the caller reads the elements back.
        Add(keepElements_ ? ConvertElementText(entry->name, entry->line1, entry->line2)
                          : ConvertElementValues(entry->line1, entry->line2));
    }
}

void PropagationBatch::Clear() {
    kind_.clear();
    lane_.clear();
    near_.Clear();
    nearModel_.clear();
    scalar_.clear();
    elements_.clear();
}

void PropagationBatch::Reserve(size_t n) {
    kind_.reserve(n);
    lane_.reserve(n);
    nearModel_.reserve(n);
    for (auto field : kLaneFields) (near_.*field).reserve(n);
}

const ElementSet* PropagationBatch::Elements(size_t object) const {
    return object < elements_.size() ? &elements_[object] : nullptr;
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

PropagationResult PropagationBatch::Redo(size_t object, double tsince) {
    const uint32_t lane = lane_[object];
    if (kind_[object] == Kind::kNear) {
        ResonanceState unused;
        return PropagateModel(nearModel_[lane], unused, tsince);
    }
    Scalar& s = scalar_[lane];
    return PropagateModel(s.model, s.resonance, tsince);
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
    const size_t count = kind_.size();
    out.Resize(count);
    const size_t nNear = near_.Size();
    tsince_.resize(nNear);
    out_.resize(6 * nNear);
    redo_.resize(nNear);
    // The time from each epoch exactly as PropagateSlot forms it.
    for (size_t l = 0; l < nNear; ++l) tsince_[l] = (jd - near_.epochJd[l]) * kMinutesPerDay;
    if (nNear > 0) RunNear(near_, false, tsince_.data(), nNear, out_.data(), redo_.data());
    for (size_t object = 0; object < count; ++object) {
        const uint32_t lane = lane_[object];
        if (kind_[object] == Kind::kNear && !redo_[lane]) {
            CopyLane(out, object, out_.data(), nNear, lane);
            continue;
        }
        const double epoch = kind_[object] == Kind::kNear ? near_.epochJd[lane] : scalar_[lane].epochJd;
        Store(out, object, Redo(object, (jd - epoch) * kMinutesPerDay));
    }
}

void PropagationBatch::PropagatePairs(const uint32_t* objects, const double* jd, size_t n, BatchStates& out) {
    out.Resize(n);
    // The near-earth pairs go through the kernel together, packed; the others one by one.
    pairs_.clear();
    index_.clear();
    tsince_.clear();
    for (size_t k = 0; k < n; ++k) {
        const size_t object = objects[k];
        if (object >= kind_.size()) {
            Store(out, k, PropagationResult{});
            continue;
        }
        const uint32_t lane = lane_[object];
        if (kind_[object] == Kind::kNear) {
            pairs_.push_back(static_cast<uint32_t>(k));
            index_.push_back(lane);
            // The time from the epoch exactly as PropagateSlot forms it.
            tsince_.push_back((jd[k] - near_.epochJd[lane]) * kMinutesPerDay);
        } else {
            Store(out, k, Redo(object, (jd[k] - scalar_[lane].epochJd) * kMinutesPerDay));
        }
    }
    const size_t m = pairs_.size();
    if (m == 0) return;
    out_.resize(6 * m);
    redo_.resize(m);
    PackLanes(near_, index_.data(), m, one_);
    RunNear(one_, false, tsince_.data(), m, out_.data(), redo_.data());
    for (size_t q = 0; q < m; ++q) {
        const size_t k = pairs_[q];
        if (redo_[q]) {
            Store(out, k, Redo(objects[k], tsince_[q]));
        } else {
            CopyLane(out, k, out_.data(), m, q);
        }
    }
}

PropagationResult PropagationBatch::PropagateOne(size_t object, double jd) {
    if (object >= kind_.size()) return PropagationResult{};
    const uint32_t lane = lane_[object];
    const double epoch = kind_[object] == Kind::kNear ? near_.epochJd[lane] : scalar_[lane].epochJd;
    return Redo(object, (jd - epoch) * kMinutesPerDay);
}

void PropagationBatch::PropagateTimes(size_t object, const double* jd, size_t n, BatchStates& out) {
    out.Resize(n);
    if (object >= kind_.size()) {
        for (size_t k = 0; k < n; ++k) Store(out, k, PropagationResult{});
        return;
    }
    const uint32_t lane = lane_[object];
    if (kind_[object] == Kind::kScalar) {
        for (size_t k = 0; k < n; ++k)
            Store(out, k, Redo(object, (jd[k] - scalar_[lane].epochJd) * kMinutesPerDay));
        return;
    }
    const double epoch = near_.epochJd[lane];
    tsince_.resize(n);
    out_.resize(6 * n);
    redo_.resize(n);
    for (size_t k = 0; k < n; ++k) tsince_[k] = (jd[k] - epoch) * kMinutesPerDay;
    const LaneOut o{out.x.data(),  out.y.data(),  out.z.data(), out.vx.data(),
                    out.vy.data(), out.vz.data(), redo_.data()};
    if (n > 0) NearOne(PointersAt(near_, lane), tsince_.data(), n, o);
    for (size_t k = 0; k < n; ++k) {
        out.error[k] = PropagationError::kNone;
        if (redo_[k]) Store(out, k, Redo(object, tsince_[k]));
    }
}

void PropagateSlotTimes(const PropagationSlot& slot, const double* jd, size_t n, BatchStates& out) {
    PropagationBatch batch;
    if (slot.HasElements()) batch.Add(slot.Elements(), slot.Variant());
    batch.PropagateTimes(0, jd, n, out);
}

}  // namespace corvane
