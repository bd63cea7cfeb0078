#pragma once
// The Sun: its geocentric position, the Earth-shadow test, and sunrise and sunset at a site.
// Allocation-free apart from SunriseSunset's texts; thread-safe.
#include <cmath>
#include <string>

#include "astro/MathUtil.h"

namespace corvane {

// Geocentric Sun vector in km, equatorial frame of date (the frame of propagated positions).
StateVector ComputeSunVector(double jd);

// Conical umbra test: true when the object (position in km) is totally eclipsed by the Earth.
// depth (radians) is positive inside the umbra. The penumbra counts as sunlit.
bool IsEclipsed(const StateVector& position, const StateVector& sun, double* depth = nullptr);
// The same for predictions: never eclipsed when the IgnoreEclipse setting is on.
bool IsEclipsedForPrediction(const StateVector& position, const StateVector& sun, bool ignoreEclipse,
                             double* depth = nullptr);

// Local times "HHMM" of the first and the last crossing of the horizon by the Sun (centre 0.833
// degrees below it) during a local calendar day. zoneHoursWest is whole hours west of Greenwich
// (minus the site's UTC offset, rounded). No crossing: both empty. A day with a single crossing
// gives it as rise when the Sun comes up, as set when it goes down, and the other empty.
struct SunTimes {
    std::string rise;
    std::string set;
};
// Whole hours west of Greenwich for a UTC offset (local time minus UTC, hours).
inline int ZoneHoursWest(double utcOffsetHours) {
    return std::isfinite(utcOffsetHours) ? -static_cast<int>(std::lround(utcOffsetHours)) : 0;
}
SunTimes SunriseSunset(double latitudeDegrees, double longitudeDegrees, int zoneHoursWest, int year,
                       int month, int day);

}  // namespace corvane
