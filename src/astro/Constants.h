#pragma once
// Physical and model constants, made once before anything else runs. The model constants are
// the WGS-72 set of the SGP4/SDP4 orbit model.
#include <cmath>

namespace corvane {

inline constexpr double kPi = 3.141592653589793;  // 4*atan(1) in double precision
inline constexpr double kTwoPi = 2.0 * kPi;
inline constexpr double kMinutesPerDay = 1440.0;
inline constexpr double kSecondsPerDay = 86400.0;
// Earth rotation, revolutions per sidereal day, and the same in radians per day.
inline constexpr double kOmegaE = 1.00273790934;
inline constexpr double kOmegaERadiansPerDay = kTwoPi * kOmegaE;
inline constexpr double kHalfSecondDays = 0.5 / 86400.0;
inline constexpr double kSolarRadiusKm = 696000.0;
inline constexpr double kAstronomicalUnitKm = 1.4959787E8;

// WGS-72 model constants.
inline constexpr int kAe = 1;  // distance units per Earth radius
inline constexpr double kTwoThirds = 2.0 / 3.0;
inline constexpr double kXkmper = 6378.135;  // Earth equatorial radius, km
inline constexpr double kFlattening = 1.0 / 298.26;
inline constexpr double kGe = 398600.8;  // km^3/s^2
inline constexpr double kJ2 = 1.0826158E-3;
inline constexpr double kJ3 = -2.53881E-6;
inline constexpr double kJ4 = -1.65597E-6;
inline constexpr double kCk2 = kJ2 / 2.0;
inline constexpr double kCk4 = -3.0 * kJ4 / 8.0;
inline constexpr double kQo = kAe + 120.0 / kXkmper;
inline constexpr double kS = kAe + 78.0 / kXkmper;
inline constexpr double kE6a = 1.0E-6;
inline const double kXke = std::sqrt(3600.0 * kGe / (kXkmper * kXkmper * kXkmper));
inline constexpr double kQoms2t = (kQo - kS) * (kQo - kS) * (kQo - kS) * (kQo - kS);

inline constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

}  // namespace corvane
