#include "sim/SimulatedSky.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {
constexpr double kDeg = 3.14159265358979323846 / 180.0;
}

double Wrap360(double degrees) {
    degrees = std::fmod(degrees, 360.0);
    return degrees < 0 ? degrees + 360.0 : degrees;
}

double Wrap180(double degrees) {
    degrees = Wrap360(degrees);
    return degrees >= 180.0 ? degrees - 360.0 : degrees;
}

double SimulatedSky::UtcNow() const {
    return clock_.LocalJulianDate() - site_.utcOffsetHours / 24.0 + clockOffsetDays_;
}

double SimulatedSky::LocalSiderealDegrees(double utc) const {
    // Mean sidereal time at Greenwich (IAU 1982), plus the east longitude.
    const double d = utc - 2451545.0;
    const double t = d / 36525.0;
    const double gmst = 280.46061837 + 360.98564736629 * d + 0.000387933 * t * t - t * t * t / 38710000.0;
    return Wrap360(gmst + site_.longitude);
}

double SimulatedSky::HourAngle(double raHours, double utc) const {
    return Wrap180(LocalSiderealDegrees(utc) - raHours * 15.0);
}

void SimulatedSky::AltAzOf(double raHours, double decDeg, double utc, double& az, double& alt) const {
    const double h = (LocalSiderealDegrees(utc) - raHours * 15.0) * kDeg;
    const double dec = decDeg * kDeg, lat = site_.latitude * kDeg;
    const double sinAlt = std::sin(lat) * std::sin(dec) + std::cos(lat) * std::cos(dec) * std::cos(h);
    alt = std::asin(std::clamp(sinAlt, -1.0, 1.0)) / kDeg;
    az = Wrap360(std::atan2(-std::cos(dec) * std::sin(h),
                            std::sin(dec) * std::cos(lat) - std::cos(dec) * std::sin(lat) * std::cos(h)) /
                 kDeg);
}

void SimulatedSky::RaDecOf(double az, double alt, double utc, double& raHours, double& decDeg) const {
    const double a = az * kDeg, e = alt * kDeg, lat = site_.latitude * kDeg;
    const double sinDec = std::sin(lat) * std::sin(e) + std::cos(lat) * std::cos(e) * std::cos(a);
    decDeg = std::asin(std::clamp(sinDec, -1.0, 1.0)) / kDeg;
    const double h = std::atan2(-std::sin(a) * std::cos(e),
                                std::sin(e) * std::cos(lat) - std::cos(e) * std::sin(lat) * std::cos(a)) /
                     kDeg;
    raHours = Wrap360(LocalSiderealDegrees(utc) - h) / 15.0;
}

}  // namespace corvane
