#pragma once
// Sine and cosine of one angle together, for the orbit models. One reduction to [-pi/4, pi/4]
// and the two polynomial kernels of the freely distributable math library (errors under one unit
// in the last place), with no branch and no table: the same arithmetic runs in the scalar model
// and, lane by lane, in the vectorised batch, so both give the same bits.
//
// The three-part reduction is exact while the quotient x * 2/pi stays below 2^20; beyond
// kSinCosReduceLimit (about 1.6e6 radians) the scalar form falls back to the library functions
// and the batch hands the lane to the scalar model.
#include <bit>
#include <cmath>
#include <cstdint>

namespace corvane {

inline constexpr double kSinCosReduceLimit = 1.0e6;

// Branch-free; valid for |x| <= kSinCosReduceLimit.
[[gnu::always_inline]] inline void SinCosReduced(double x, double& s, double& c) {
    constexpr double kTwoOverPi = 6.36619772367581382433e-01;
    constexpr double kPio2_1 = 1.57079632673412561417e+00;  // first 33 bits of pi/2
    constexpr double kPio2_2 = 6.07710050630396597660e-11;  // next 33 bits
    constexpr double kPio2_3 = 2.02226624871116645580e-21;  // the rest
    constexpr double kRound = 6755399441055744.0;           // 1.5 * 2^52: rounds to an integer
    const double shifted = x * kTwoOverPi + kRound;
    const double q = shifted - kRound;
    const uint64_t quadrant = std::bit_cast<uint64_t>(shifted) & 3u;
    const double r = ((x - q * kPio2_1) - q * kPio2_2) - q * kPio2_3;

    const double z = r * r;
    const double w = z * z;
    const double sr = 8.33333333332248946124e-03 +
                      z * (-1.98412698298579493134e-04 + z * 2.75573137070700676789e-06) +
                      z * w * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10);
    const double sinr = r + z * r * (-1.66666666666666324348e-01 + z * sr);
    const double cr = z * (4.16666666666666019037e-02 +
                           z * (-1.38888888888741095749e-03 + z * 2.48015872894767294178e-05)) +
                      w * w *
                          (-2.75573143513906633035e-07 +
                           z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11));
    const double hz = 0.5 * z;
    const double one = 1.0 - hz;
    const double cosr = one + (((1.0 - one) - hz) + z * cr);

    // Quadrant 0: (sin, cos); 1: (cos, -sin); 2: (-sin, -cos); 3: (-cos, sin).
    const bool swap = (quadrant & 1u) != 0;
    const double ss = swap ? cosr : sinr;
    const double cc = swap ? sinr : cosr;
    s = (quadrant & 2u) != 0 ? -ss : ss;
    c = ((quadrant + 1u) & 2u) != 0 ? -cc : cc;
}

// Any finite x; beyond the reduction limit (and for non-numbers) the library functions.
inline void SinCos(double x, double& s, double& c) {
    if (std::fabs(x) <= kSinCosReduceLimit) {
        SinCosReduced(x, s, c);
    } else {
        s = std::sin(x);
        c = std::cos(x);
    }
}

}  // namespace corvane
