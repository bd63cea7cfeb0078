#pragma once
// Steps of the near-earth model written once for the scalar model (Sgp4.cpp) and the batch
// (Sgp4Batch.cpp): inlined into both, they perform the same operations in the same order, so
// both give the same bits.

namespace corvane {

// sin and cos of a small angle (the short-period corrections): below kSmallAngle the series is as
// exact as the library functions and much cheaper.
inline constexpr double kSmallAngle = 1e-2;
[[gnu::always_inline]] inline void SinCosSeries(double x, double& s, double& c) {
    const double x2 = x * x;
    s = x * (1.0 + x2 * (-1.0 / 6.0 + x2 * (1.0 / 120.0 + x2 * (-1.0 / 5040.0))));
    c = 1.0 + x2 * (-0.5 + x2 * (1.0 / 24.0 + x2 * (-1.0 / 720.0 + x2 * (1.0 / 40320.0))));
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
