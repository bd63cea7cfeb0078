#pragma once
// The arithmetic of the INDI engine: the custom tracking rates that move a mount from where it
// is onto an object and along with it, in the units of TELESCOPE_TRACK_RATE.
#include "scope/IndiMount.h"
#include "scope/PredictiveController.h"

namespace corvane {

// TELESCOPE_TRACK_RATE's right-ascension rate that holds the RA still: the sidereal rate,
// arcseconds per second.
inline constexpr double kIndiSiderealArcsecPerSecond = 15.041067;
// How long the closed loop takes to remove a pointing error, seconds; longer than the one second
// most drivers take between position reports, so the loop does not overshoot.
inline constexpr double kIndiCorrectionSeconds = 3.0;
// A pointing error beyond which the engine aims afresh with a goto instead of rates, degrees.
inline constexpr double kIndiReaimDegrees = 2.0;

struct IndiRates {
    double ra = kIndiSiderealArcsecPerSecond;  // arcseconds per second, INDI's sense
    double dec = 0.0;
};

// The rates for an object moving at `raDegPerSecond` (RA as an angle, eastward positive) and
// `decDegPerSecond`, plus the correction of a pointing error (object minus mount, degrees; RA as
// an angle) over kIndiCorrectionSeconds, held to the driver's limits. Never NaN.
IndiRates IndiTrackRates(double raDegPerSecond, double decDegPerSecond, double raErrorDeg, double decErrorDeg,
                         const IndiRateLimits& limits);

// How the mount's RA and Dec move under the rates, degrees per second (RA as an angle).
void IndiMotion(const IndiRates& rates, double& raDegPerSecond, double& decDegPerSecond);

// INDI telescope drivers refuse to reverse a custom rate while they track ("Cannot reverse
// tracking while tracking is engaged"): true when going from `from` to `to` would do so on
// either axis; the engine then passes through zero on that axis first.
bool IndiReversesRate(const IndiRates& from, const IndiRates& to);
// `to` with every axis that reverses against `from` set to zero.
IndiRates IndiThroughZero(const IndiRates& from, const IndiRates& to);

// What the shared predictive controller must respect on a driver with these rate limits: axis 1
// is the right ascension as an angle, axis 2 the declination.
PredictiveLimits IndiControllerLimits(const IndiRateLimits& limits);

// The angle between two RA/Dec directions, degrees.
double IndiSeparation(double ra1Hours, double dec1Deg, double ra2Hours, double dec2Deg);

}  // namespace corvane
