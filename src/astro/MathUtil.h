#pragma once
// Numeric helpers shared by the time, Sun, orbit and geometry code. All angles in radians.
#include <cmath>

#include "astro/Constants.h"

namespace corvane {

// A vector with its magnitude: x, y, z and |(x, y, z)|. Units are given where it is used.
struct StateVector {
    double x = 0.0, y = 0.0, z = 0.0, magnitude = 0.0;
};

// x - y*trunc(x/y), plus y when the result is negative: the result lies in [0, y) for y > 0.
inline double Modulus(double x, double y) {
    double r = x - y * std::trunc(x / y);
    if (r < 0.0) r += y;
    return r;
}
inline double Fmod2p(double x) { return Modulus(x, kTwoPi); }

// The angle of (cos, sin) by quadrant: atan(sin/cos) when cos > 0 (so -pi/2..pi/2), pi + that
// when cos < 0, pi/2 or 3*pi/2 when cos = 0.
inline double AcTan(double sinx, double cosx) {
    if (cosx == 0.0) return sinx > 0.0 ? kPi / 2.0 : 3.0 * kPi / 2.0;
    if (cosx > 0.0) return std::atan(sinx / cosx);
    return kPi + std::atan(sinx / cosx);
}

inline constexpr double Radians(double degrees) { return degrees * kPi / 180.0; }
inline constexpr double Degrees(double radians) { return radians * 180.0 / kPi; }

// Arc sine and cosine held to the domain: an argument a rounding error beyond +-1 gives +-pi/2
// (or 0 / pi) instead of NaN.
inline double ArcSin(double x) {
    if (x >= 1.0) return kPi / 2.0;
    if (x <= -1.0) return -kPi / 2.0;
    return std::asin(x);
}
inline double ArcCos(double x) { return kPi / 2.0 - ArcSin(x); }

inline double Power(double x, double y) { return std::pow(x, y); }
inline constexpr double Cube(double x) { return x * x * x; }

inline double Dot(const StateVector& a, const StateVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// Fills v.magnitude from its components.
inline void Magnitude(StateVector& v) { v.magnitude = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

}  // namespace corvane
