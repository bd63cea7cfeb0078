#pragma once
// Observer geometry on the WGS-72 ellipsoid rotated by Greenwich mean sidereal time: the site's
// position, look angles with refraction, topocentric right ascension and declination, and the
// point beneath the object. Positions in km and velocities in km/s (after ConvertState), angles
// in radians. Allocation-free and thread-safe (each call works on its own arguments).
#include "astro/MathUtil.h"
#include "astro/Time.h"

namespace corvane {

class PropagationSlot;

struct GeodeticPoint {
    double latitude = 0.0;   // radians, north positive
    double longitude = 0.0;  // radians, east positive
    double altitude = 0.0;   // km above the ellipsoid
    double theta = 0.0;      // local sidereal angle, radians (written by ObserverPositionVelocity)
};

struct LookAngles {
    double azimuth = 0.0;    // radians from north through east, [0, 2*pi); ComputeRADec: right ascension
    double elevation = 0.0;  // radians (refracted when visible); ComputeRADec: declination
    double range = 0.0;      // km
    double rangeRate = 0.0;  // km/s, positive when receding
    bool visible = false;    // refracted elevation 0 or more
};

// The site as a geodetic point: latitude to radians, longitude reduced to [0, 360) then to
// radians, altitude metres to km.
GeodeticPoint SitePoint(const Site& site);

// Site position (km) and velocity (km/s) in the model's inertial frame at a UTC Julian date;
// sets site.theta.
void ObserverPositionVelocity(GeodeticPoint& site, double jd, StateVector& position, StateVector& velocity);

// The site at one instant, as the look angles use it: position and velocity in the inertial
// frame and the sines and cosines of its latitude and local sidereal angle. Computing it once per
// instant serves every object looked at from the site at that instant (the batch predictions).
struct ObserverState {
    StateVector position, velocity;
    double sinLat = 0.0, cosLat = 1.0, sinTheta = 0.0, cosTheta = 1.0;
};
ObserverState ObserverStateAt(GeodeticPoint& site, double jd);
// The look angles from a prepared site: the same numbers as ComputeLookAngles at that instant.
// Without the azimuth, only the elevation, the visibility flag and the range are filled.
LookAngles ComputeLookAngles(const StateVector& position, const StateVector& velocity,
                             const ObserverState& observer, bool withAzimuth = true);

// Azimuth, elevation (refracted when that leaves it at 0 or above, else geometric), range and
// range rate of an object from the site.
LookAngles ComputeLookAngles(const StateVector& position, const StateVector& velocity, GeodeticPoint& site,
                             double jd);
// The same, also writing the slot's visibility flag.
LookAngles ComputeLookAngles(const StateVector& position, const StateVector& velocity, GeodeticPoint& site,
                             double jd, PropagationSlot& slot);

// Topocentric right ascension (azimuth field, [0, 2*pi)) and declination (elevation field) of
// the refraction-affected direction, equator and equinox of date; range and range rate as above.
LookAngles ComputeRADec(const StateVector& position, const StateVector& velocity, GeodeticPoint& site,
                        double jd);
LookAngles ComputeRADec(const StateVector& position, const StateVector& velocity, GeodeticPoint& site,
                        double jd, PropagationSlot& slot);

// Point beneath the object: latitude, longitude in (-pi, pi], height above the ellipsoid (km).
GeodeticPoint ComputeSubPoint(const StateVector& position, double jd);
// Its height alone (the same number), for callers that need no longitude; 0 where
// ComputeSubPoint gives no point.
double SubPointHeight(const StateVector& position);

// The refraction rule alone: elevation in radians in, refracted elevation out when it is 0 or
// more (visible), else the geometric elevation (not visible).
double RefractElevation(double elevation, bool& visible);

}  // namespace corvane
