#include "orbit/Observer.h"

#include <cmath>

#include "astro/Constants.h"
#include "orbit/PropagationSlot.h"

namespace corvane {

GeodeticPoint SitePoint(const Site& site) {
    GeodeticPoint p;
    p.latitude = Radians(std::isfinite(site.latitude) ? site.latitude : 0.0);
    p.longitude = Radians(Modulus(std::isfinite(site.longitude) ? site.longitude : 0.0, 360.0));
    p.altitude = (std::isfinite(site.altitude) ? site.altitude : 0.0) * 0.001;
    return p;
}

void ObserverPositionVelocity(GeodeticPoint& site, double jd, StateVector& position, StateVector& velocity) {
    site.theta = Modulus(ThetaG_JD(jd) + site.longitude, kTwoPi);
    const double sinLat = std::sin(site.latitude);
    const double cosLat = std::cos(site.latitude);
    const double c = 1.0 / std::sqrt(1.0 + kFlattening * (kFlattening - 2.0) * sinLat * sinLat);
    const double sq = (1.0 - kFlattening) * (1.0 - kFlattening) * c;
    const double achcp = (kXkmper * c + site.altitude) * cosLat;
    position.x = achcp * std::cos(site.theta);
    position.y = achcp * std::sin(site.theta);
    position.z = (kXkmper * sq + site.altitude) * sinLat;
    constexpr double mfactor = kTwoPi * kOmegaE / kSecondsPerDay;
    velocity.x = -mfactor * position.y;
    velocity.y = mfactor * position.x;
    velocity.z = 0.0;
    Magnitude(position);
    Magnitude(velocity);
}

double RefractElevation(double elevation, bool& visible) {
    const double h = Degrees(elevation);
    // Below -6 degrees the formula's refraction never lifts an elevation to 0 (its argument stays
    // between -101.6 and -6 degrees, where the correction is negative or under 0.2 arcminutes):
    // the geometric elevation stands, without the tangent.
    if (h < -6.0) {
        visible = false;
        return elevation;
    }
    const double refraction = Radians(1.02 / std::tan(Radians(h + 10.3 / (h + 5.11))) / 60.0);
    const double refracted = elevation + refraction;
    // A NaN (h at -5.11 degrees) compares false and leaves the geometric elevation.
    if (refracted >= 0.0) {
        visible = true;
        return refracted;
    }
    visible = false;
    return elevation;
}

ObserverState ObserverStateAt(GeodeticPoint& site, double jd) {
    ObserverState o;
    ObserverPositionVelocity(site, jd, o.position, o.velocity);
    o.sinLat = std::sin(site.latitude);
    o.cosLat = std::cos(site.latitude);
    o.sinTheta = std::sin(site.theta);
    o.cosTheta = std::cos(site.theta);
    return o;
}

LookAngles ComputeLookAngles(const StateVector& position, const StateVector& velocity, GeodeticPoint& site,
                             double jd) {
    return ComputeLookAngles(position, velocity, ObserverStateAt(site, jd));
}

LookAngles ComputeLookAngles(const StateVector& position, const StateVector& velocity,
                             const ObserverState& observer, bool withAzimuth) {
    const StateVector& sitePos = observer.position;
    const StateVector& siteVel = observer.velocity;
    StateVector range{position.x - sitePos.x, position.y - sitePos.y, position.z - sitePos.z, 0.0};
    Magnitude(range);
    const double sinLat = observer.sinLat, cosLat = observer.cosLat;
    const double sinTheta = observer.sinTheta, cosTheta = observer.cosTheta;
    const double topZ = cosLat * cosTheta * range.x + cosLat * sinTheta * range.y + sinLat * range.z;
    LookAngles look;
    if (!(range.magnitude > 0.0) || !std::isfinite(range.magnitude)) return look;
    if (!withAzimuth) {
        look.elevation = RefractElevation(ArcSin(topZ / range.magnitude), look.visible);
        look.range = range.magnitude;
        return look;
    }
    const StateVector rangeRate{velocity.x - siteVel.x, velocity.y - siteVel.y, velocity.z - siteVel.z, 0.0};
    const double topS = sinLat * cosTheta * range.x + sinLat * sinTheta * range.y - cosLat * range.z;
    const double topE = -sinTheta * range.x + cosTheta * range.y;
    double az;
    if (topS != 0.0) {
        az = std::atan(-topE / topS);
        if (topS > 0.0) az += kPi;
        if (az < 0.0) az += kTwoPi;
    } else {
        // DEPARTURE: exactly east or west the quotient's infinity carries the sign of a zero and
        // could give 270 for east; the direction is taken from top_e. Overhead reads as north.
        az = topE > 0.0 ? kPi / 2.0 : (topE < 0.0 ? 3.0 * kPi / 2.0 : 0.0);
    }
    if (!(az < kTwoPi) || !(az >= 0.0)) az = 0.0;
    look.azimuth = az;
    look.elevation = RefractElevation(ArcSin(topZ / range.magnitude), look.visible);
    look.range = range.magnitude;
    look.rangeRate = Dot(range, rangeRate) / range.magnitude;
    return look;
}

LookAngles ComputeLookAngles(const StateVector& position, const StateVector& velocity, GeodeticPoint& site,
                             double jd, PropagationSlot& slot) {
    const LookAngles look = ComputeLookAngles(position, velocity, site, jd);
    slot.SetVisible(look.visible);
    return look;
}

LookAngles ComputeRADec(const StateVector& position, const StateVector& velocity, GeodeticPoint& site,
                        double jd) {
    LookAngles look = ComputeLookAngles(position, velocity, site, jd);
    const double a = look.azimuth, e = look.elevation;
    const double lxh = -std::cos(a) * std::cos(e);
    const double lyh = std::sin(a) * std::cos(e);
    const double lzh = std::sin(e);
    const double phi = site.latitude;
    const double theta = site.theta;  // Modulus(ThetaG_JD(jd) + longitude, 2*pi), set above
    const double sinPhi = std::sin(phi), cosPhi = std::cos(phi);
    const double sinTheta = std::sin(theta), cosTheta = std::cos(theta);
    const double lx = sinPhi * cosTheta * lxh - sinTheta * lyh + cosTheta * cosPhi * lzh;
    const double ly = sinPhi * sinTheta * lxh + cosTheta * lyh + sinTheta * cosPhi * lzh;
    const double lz = -cosPhi * lxh + sinPhi * lzh;
    const double dec = ArcSin(lz);
    const double cosDec = std::sqrt(std::fmax(0.0, 1.0 - lz * lz));
    double ra = 0.0;
    if (cosDec > 0.0) ra = Modulus(AcTan(ly / cosDec, lx / cosDec), kTwoPi);
    look.azimuth = ra;
    look.elevation = dec;
    return look;
}

LookAngles ComputeRADec(const StateVector& position, const StateVector& velocity, GeodeticPoint& site,
                        double jd, PropagationSlot& slot) {
    const LookAngles look = ComputeRADec(position, velocity, site, jd);
    slot.SetVisible(look.visible);
    return look;
}

namespace {

// Geodetic latitude and height above the ellipsoid of a position, by iteration.
void LatitudeAndHeight(const StateVector& position, GeodeticPoint& p) {
    const double r = std::sqrt(position.x * position.x + position.y * position.y);
    const double e2 = kFlattening * (2.0 - kFlattening);
    p.latitude = AcTan(position.z, r);
    double c = 1.0;
    // DEPARTURE: capped at 100 rounds; it converges in a handful anywhere, and the cap only keeps
    // a non-finite position from looping for ever.
    for (int i = 0; i < 100; ++i) {
        const double phi = p.latitude;
        const double sinPhi = std::sin(phi);
        c = 1.0 / std::sqrt(1.0 - e2 * sinPhi * sinPhi);
        p.latitude = AcTan(position.z + kXkmper * c * e2 * sinPhi, r);
        if (std::fabs(p.latitude - phi) < 1.0E-10) break;
    }
    // AcTan gives [0, 2*pi) only for r = 0 (over a pole): bring it to +-pi/2.
    if (p.latitude > kPi) p.latitude -= kTwoPi;
    const double cosLat = std::cos(p.latitude);
    // DEPARTURE: exactly over a pole r/cos(latitude) is 0/0; the height is then |z| less the
    // polar radius.
    p.altitude =
        cosLat > 1e-12 ? r / cosLat - kXkmper * c : std::fabs(position.z) - kXkmper * (1.0 - kFlattening);
}

}  // namespace

GeodeticPoint ComputeSubPoint(const StateVector& position, double jd) {
    GeodeticPoint p;
    const double theta = AcTan(position.y, position.x);
    p.longitude = Modulus(theta - ThetaG_JD(jd), kTwoPi);
    LatitudeAndHeight(position, p);
    if (p.longitude > kPi) p.longitude -= kTwoPi;
    if (!std::isfinite(p.latitude) || !std::isfinite(p.longitude) || !std::isfinite(p.altitude)) {
        return GeodeticPoint{};
    }
    return p;
}

double SubPointHeight(const StateVector& position) {
    GeodeticPoint p;
    LatitudeAndHeight(position, p);
    return std::isfinite(p.latitude) && std::isfinite(p.altitude) ? p.altitude : 0.0;
}

}  // namespace corvane
