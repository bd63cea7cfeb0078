#pragma once
// Bounds on how an object's view from the site can change, from one computed state: how long it
// provably stays sunlit, and how far the rate of its elevation can drift. The pass search uses
// them to read samples it need not compute; every bound has a wide margin, since a bound that
// fails changes a pass.
#include <cmath>

#include "astro/Constants.h"
#include "orbit/Observer.h"

namespace corvane {

// An object at position p (km) seen from the site: the vector to it, its range and the sine of
// its geometric elevation (not finite where the range is 0).
struct SiteView {
    double rx = 0.0, ry = 0.0, rz = 0.0, range = 0.0, sine = 0.0;
};

inline SiteView ViewFrom(const ObserverState& site, const StateVector& p) {
    SiteView view;
    view.rx = p.x - site.position.x;
    view.ry = p.y - site.position.y;
    view.rz = p.z - site.position.z;
    view.range = std::sqrt(view.rx * view.rx + view.ry * view.ry + view.rz * view.rz);
    view.sine = (site.cosLat * site.cosTheta * view.rx + site.cosLat * site.sinTheta * view.ry +
                 site.sinLat * view.rz) /
                view.range;
    return view;
}

// What an object's state says about its whole orbit: the osculating semi-major axis, eccentricity
// and angular momentum, and the least and largest radius it can reach (with a wide margin); not
// ok for an orbit that is not a bound ellipse.
struct OrbitBounds {
    bool ok = false;
    double a = 0.0, e = 0.0, h = 0.0, rMin = 0.0, rMax = 0.0;
};

inline OrbitBounds BoundOrbit(const StateVector& p, const StateVector& v) {
    OrbitBounds o;
    const double r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    const double speed2 = v.x * v.x + v.y * v.y + v.z * v.z;
    const double energy = speed2 / 2.0 - kGe / r;
    if (!(r > 0.0) || !(energy < 0.0)) return o;
    o.a = -kGe / (2.0 * energy);
    const double hx = p.y * v.z - p.z * v.y, hy = p.z * v.x - p.x * v.z, hz = p.x * v.y - p.y * v.x;
    o.h = std::sqrt(hx * hx + hy * hy + hz * hz);
    o.e = std::sqrt(std::fmax(0.0, 1.0 - o.h * o.h / (kGe * o.a)));
    // Osculating elements of a low orbit swing by a few km with J2: 2% and 100 km to spare.
    const double perigee = o.a * (1.0 - o.e), apogee = o.a * (1.0 + o.e);
    o.rMin = std::fmax(perigee / 1.05, 0.98 * perigee - 100.0);
    o.rMax = std::fmin(apogee * 1.05, 1.02 * apogee + 100.0);
    o.ok = o.rMin > 0.0 && std::isfinite(o.rMax) && o.h > 0.0;
    return o;
}

constexpr double kEarthRate = kOmegaERadiansPerDay / 86400.0;  // rad/s

// The Earth-fixed motion of an object: its speed now and a bound on its acceleration over the
// next t seconds either way (gravity with a wide margin for the model's perturbations, the
// centrifugal and the Coriolis terms; the latter grows with the speed, which the factor
// 1 / (1 - 2 w t) covers). Infinite when t is too long to bound.
// On a high orbit gravity and the centrifugal term nearly cancel (exactly, on the geostationary
// ring), so there their sum is bounded where the object is now and by how fast it can change over
// the path covered (its gradient is at most 2 mu / r^3 + w^2), with 5% of the central gravity for
// the model's perturbations (the Moon and Sun, J2: well under 0.1% that high), 100 m for the
// small jumps of a resonant orbit's integration and the model's velocity error. Low orbits keep
// the plain bound: there the sum does not cancel, and drag may pull a model away from an orbit.
struct EarthFixedMotion {
    double speed = 0.0;
    double c = 0.0;           // gravity and centrifugal bound anywhere on the orbit
    double here = HUGE_VAL;   // their sum where the object is now, with the perturbations
    double rMin = 0.0;
    double jump = 0.0;        // km

    EarthFixedMotion(const StateVector& p, const StateVector& v, const OrbitBounds& orbit) {
        const double vex = v.x + kEarthRate * p.y, vey = v.y - kEarthRate * p.x, vez = v.z;
        speed = std::sqrt(vex * vex + vey * vey + vez * vez);
        c = 1.5 * kGe / (orbit.rMin * orbit.rMin) + kEarthRate * kEarthRate * orbit.rMax;
        if (orbit.rMin > kHighOrbit && orbit.rMax < 1.0e5) {
            const double r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
            const double g = kGe / (r * r * r), w2 = kEarthRate * kEarthRate;
            const double fx = (w2 - g) * p.x, fy = (w2 - g) * p.y, fz = -g * p.z;
            here = std::sqrt(fx * fx + fy * fy + fz * fz) + 0.05 * kGe / (orbit.rMin * orbit.rMin);
            // The model's velocity may be off by 1e-3 of itself and 1 m/s.
            speed += 1.0e-3 * std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z) + 1.0e-3;
            rMin = orbit.rMin;
            jump = 0.1;
        }
    }
    double Acceleration(double t) const {
        const double shrink = 1.0 - 2.0 * kEarthRate * t;
        if (!(shrink > 0.0)) return HUGE_VAL;
        double bound = c;
        if (here < c) {
            // The path the plain bound allows, and the least radius along it, bound the gradient
            // L. Then the largest distance M covered satisfies M <= a + k M with k = L t^2 / (2
            // shrink), so M <= a / (1 - k).
            const double loose = speed * t + 0.5 * (c + 2.0 * kEarthRate * speed) / shrink * t * t + jump;
            const double low = rMin - loose;
            if (low > 0.5 * rMin) {
                const double gradient = 2.0 * kGe / (low * low * low) + kEarthRate * kEarthRate;
                const double k = 0.5 * t * t * gradient / shrink;
                if (k < 0.9) {
                    const double most =
                        (speed * t + jump + 0.5 * t * t * (here + 2.0 * kEarthRate * speed) / shrink) / (1.0 - k);
                    bound = std::fmin(c, here + gradient * most);
                }
            }
        }
        return (bound + 2.0 * kEarthRate * speed) / shrink;
    }
    // Largest distance covered within t seconds.
    double Path(double t) const { return speed * t + 0.5 * Acceleration(t) * t * t + jump; }
    // Orbits whose least radius is above this (two Earth radii, km) get the tighter bound.
    static constexpr double kHighOrbit = 2.0 * kXkmper;
};

inline constexpr double kBoundSlack = 1.0e-4;  // radians kept from the in-view and sunlit limits

// The longest span, at most longest, over which a proof holds (one that holds over a span holds
// over every shorter one); 0 when it does not hold over useful. Halving down from longest to a
// span that holds, then a few halvings between it and the one above it.
template <class Holds>
double LongestHolding(double longest, double useful, const Holds& holds) {
    if (!(longest >= useful) || !holds(useful)) return 0.0;
    double t = longest;
    for (; t > useful; t *= 0.5) {
        if (holds(t)) break;
    }
    t = std::fmax(t, useful);
    if (t < longest) {
        double high = std::fmin(2.0 * t, longest);
        for (int i = 0; i < 4; ++i) {
            const double mid = 0.5 * (t + high);
            (holds(mid) ? t : high) = mid;
        }
    }
    return t;
}

// How many seconds (either way in time, at most longest) the direction from the site to an
// object at position p (km) with velocity v (km/s), `range` km away, provably turns by less than
// `margin` radians; 0 when that is less than useful. In the Earth-fixed frame the site stands
// still, so the direction turns by at most the path the object covers there divided by its least
// distance. The model's orbit is assumed smooth between two instants at which it can be computed.
inline double SecondsTurningLess(const StateVector& p, const StateVector& v, const OrbitBounds& orbit,
                                 double range, double margin, double longest, double useful) {
    if (!(margin > 0.0) || !(range > 0.0) || !orbit.ok || !(orbit.rMin > kXkmper)) return 0.0;
    const EarthFixedMotion motion(p, v, orbit);
    auto holds = [&](double t) {
        const double path = motion.Path(t);
        const double nearest = range - path;
        return nearest > 0.0 && path / nearest < margin;
    };
    return LongestHolding(std::fmin(longest, 6000.0), useful, holds);
}

// How many seconds (either way in time, at most longest) an object at position p (km) with
// velocity v (km/s), above the AOS elevation as seen from the observer, provably stays there; 0
// when that is less than useful. Its elevation changes by no more than the direction to it turns
// (SecondsTurningLess), and the refracted elevation the pass condition compares is never below
// the geometric one by more than 1e-6 radians.
inline double SecondsInView(const StateVector& p, const StateVector& v, const ObserverState& site,
                            double aosElevation, double longest, double useful,
                            OrbitBounds* bounds = nullptr) {
    if (!(longest >= useful)) return 0.0;
    // The cheaper test first: near the horizon it fails at once.
    const SiteView view = ViewFrom(site, p);
    if (!(view.range > 0.0)) return 0.0;
    const double elevation = std::asin(std::fmax(-1.0, std::fmin(1.0, view.sine)));
    const double margin = elevation - aosElevation - kBoundSlack;
    if (!(margin > 0.0)) return 0.0;
    const OrbitBounds orbit = BoundOrbit(p, v);
    if (bounds) *bounds = orbit;
    return SecondsTurningLess(p, v, orbit, view.range, margin, longest, useful);
}

// Below -4.5 degrees the compared elevation is the geometric one, unless the refraction formula
// lifts it to 0 or above: that needs a lift of 4.5 degrees or more, which the formula gives only
// near its pole at -5.11 degrees (its tangent's argument h + 10.3 / (h + 5.11) first reaches a
// multiple of 180 degrees at about -5.054 and -5.169). Outside these limits it lifts an elevation
// between -6 and -4.5 degrees by under 0.08 degrees, and below -6 degrees not at all.
inline constexpr double kLiftLow = -5.18 * kPi / 180.0;   // radians
inline constexpr double kLiftHigh = -5.04 * kPi / 180.0;  // radians

// How many seconds (either way in time, at most longest) a high-orbit object at position p (km)
// with velocity v (km/s), just below the horizon, provably stays out of view; 0 when that is less
// than useful. threshold is the sine of the geometric elevation whose refracted one is the AOS
// elevation (which then lies above -4.5 degrees). Out of view are the geometric elevations from
// kLiftHigh up to that one (above -4.5 degrees the refracted elevation rises with the geometric
// one), and all those below kLiftLow; the object stays within the span it is in while the
// direction to it turns by less than its distance from the span's ends.
// Low orbits cross such a band within a coarse step: not worth the bound.
inline double SecondsBelowView(const StateVector& p, const StateVector& v, const OrbitBounds& orbit,
                               const ObserverState& site, double threshold, double longest, double useful) {
    if (!(orbit.rMin > EarthFixedMotion::kHighOrbit) || !(longest >= useful) || !(std::fabs(threshold) <= 1.0))
        return 0.0;
    const SiteView view = ViewFrom(site, p);
    if (!(view.range > 0.0)) return 0.0;
    const double elevation = std::asin(std::fmax(-1.0, std::fmin(1.0, view.sine)));
    const double margin = elevation <= kLiftLow ? kLiftLow - elevation - kBoundSlack
                                                : std::fmin(std::asin(threshold) - elevation, elevation - kLiftHigh) -
                                                      kBoundSlack;
    return SecondsTurningLess(p, v, orbit, view.range, margin, longest, useful);
}

// The cone around the site's direction from the Earth's centre outside which an object cannot
// stand at the elevation `lowest` or above: for an object at most r away its angle is
// acos(rs cos(lowest) / r) - lowest, and a degree more for the site's vertical, which is not
// quite the direction from the Earth's centre. What depends on `lowest` alone is made once.
struct ViewCone {
    double cosLowest = 0.0, shift = 0.0, cosShift = 0.0, sinShift = 0.0;
    bool usable = false;  // lowest above -90 degrees

    explicit ViewCone(double lowest)
        : cosLowest(std::cos(lowest)),
          shift(Radians(1.0) - lowest),
          cosShift(std::cos(shift)),
          sinShift(std::sin(shift)),
          usable(lowest > -kPi / 2.0) {}
    // The cosine of the cone's angle for a site rs from the Earth's centre and an object at most
    // rMax away; -2 when the cone takes in every direction.
    double Cosine(double rs, double rMax) const {
        if (!usable) return -2.0;
        const double x = std::fmin(1.0, rs / rMax * cosLowest);
        if (!(x > -cosShift)) return -2.0;
        return x * cosShift - std::sqrt(1.0 - x * x) * sinShift;
    }
};

// How far (radians) the direction of an object at position p (km) from the Earth's centre lies
// outside the cone (see ViewCone) of the site at `site` (rs from the Earth's centre), taken for an
// object at most rMax from the Earth's centre; 0 inside it or when that cannot be bounded.
inline double AngleBeyondCone(const StateVector& p, const StateVector& site, double rs, double rMax,
                              const ViewCone& cone) {
    if (!std::isfinite(rMax) || !(rMax > 0.0) || !cone.usable) return 0.0;
    // The cone is acos(x) + shift; the angle between object and site is acos(c).
    const double x = std::fmin(1.0, rs / rMax * cone.cosLowest);
    const double r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    const double c = std::fmax(-1.0, std::fmin(1.0, (p.x * site.x + p.y * site.y + p.z * site.z) / (r * rs)));
    if (!(c < x)) return 0.0;
    // acos(c) - acos(x) in one arc cosine (both in [0, pi], the first the larger).
    const double apart = std::acos(std::fmin(1.0, c * x + std::sqrt((1.0 - c * c) * (1.0 - x * x))));
    const double beyond = apart - cone.shift - 1.0e-6;
    return beyond > 0.0 ? beyond : 0.0;
}

// How many seconds an object at position p (km) on the orbit stays out of every elevation the
// pass condition could take for in view (outside the cone, see AngleBeyondCone, for 1.1 times the
// osculating apogee), seen from the site at `site`; 0 when that cannot be bounded. The geocentric
// angle between object and site shrinks no faster than the object's largest angular rate on its
// orbit (at perigee) plus the Earth's rotation; both get a wide margin (the orbit's perturbations
// over an hour change these rates by far less than a percent).
inline double SecondsOutOfView(const StateVector& p, const StateVector& site, double rs,
                               const OrbitBounds& orbit, const ViewCone& cone) {
    const double perigee = orbit.a * (1.0 - orbit.e);
    if (!(perigee > 100.0)) return 0.0;
    const double rate = 1.2 * orbit.h / (perigee * perigee) + 1.1 * kEarthRate;  // rad/s
    const double apogee = orbit.a * (1.0 + orbit.e);
    const double beyond = AngleBeyondCone(p, site, rs, std::fmin(1.1 * apogee, 1.02 * apogee + 100.0), cone);
    return beyond > 0.0 && rate > 0.0 ? beyond / rate : 0.0;
}

// The same for a high orbit, in the Earth-fixed frame: the site stands still there, and while
// the object covers a distance d shorter than its radius r now, its direction from the Earth's
// centre turns by at most asin(d / r) and its radius stays below r + d. On a slow orbit this is
// far longer than the angular rates give (on the geostationary ring the object barely moves). 0
// when less than useful.
inline double SecondsOutOfReach(const StateVector& p, const StateVector& v, const StateVector& site, double rs,
                                const OrbitBounds& orbit, const ViewCone& cone, double useful) {
    if (!(orbit.rMin > EarthFixedMotion::kHighOrbit)) return 0.0;
    constexpr double longest = 6000.0;
    const double r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    const EarthFixedMotion motion(p, v, orbit);
    // One cone for the whole span: the radius stays below r + d, and below 1.1 times the apogee.
    const double rMax = std::fmin(1.1 * orbit.a * (1.0 + orbit.e), r + motion.Path(longest));
    const double beyond = AngleBeyondCone(p, site, rs, rMax, cone) - kBoundSlack;
    const double reach = r * std::sin(std::fmin(beyond, kPi / 2.0));
    auto holds = [&](double t) { return motion.Path(t) < reach; };
    return beyond > 0.0 ? LongestHolding(longest, useful, holds) : 0.0;
}

// Seconds (from now on) before which an object, now out of view, provably cannot come into view
// from the site at `site` (km, the frame of p): seen from the Earth's centre, in view needs the
// angle between the object's direction and the site's within the cone whose cosine is cosCone.
// The object keeps to its orbital plane but for the model's wobble (kPlaneWobble) and the
// plane's slow turn (kPlaneTurn), moves only forward in it and no faster than its angular rate at
// the least radius; the site turns with the Earth. So a site far from the plane waits for the
// Earth to bring it near, and an object that has passed the site's side of its plane must come
// round again. Both allowances have wide margins: J2 turns a low orbit's plane by under 1e-6 rad/s
// and moves it by about 1e-3 rad.
inline constexpr double kPlaneWobble = 0.01;  // radians
inline constexpr double kPlaneTurn = 5.0e-6;  // radians per second

inline double SecondsBeforeInView(const StateVector& p, const StateVector& v, const StateVector& site,
                                  double cosCone, const OrbitBounds& orbit) {
    const double r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    const double rs = std::sqrt(site.x * site.x + site.y * site.y + site.z * site.z);
    double wx = p.y * v.z - p.z * v.y, wy = p.z * v.x - p.x * v.z, wz = p.x * v.y - p.y * v.x;
    const double w = std::sqrt(wx * wx + wy * wy + wz * wz);
    if (!orbit.ok || !(r > 0.0) || !(rs > 0.0) || !(w > 0.0) || !(cosCone > -1.0)) return 0.0;
    wx /= w;
    wy /= w;
    wz /= w;
    // The plane's axes: P toward the object, Q along its motion; the site's direction in them.
    const double px = p.x / r, py = p.y / r, pz = p.z / r;
    const double qx = wy * pz - wz * py, qy = wz * px - wx * pz, qz = wx * py - wy * px;
    const double sp = (site.x * px + site.y * py + site.z * pz) / rs;
    const double sq = (site.x * qx + site.y * qy + site.z * qz) / rs;
    // Within t seconds the cosine of the angle between the two directions exceeds
    // a cos(the object's phase less the site's) by at most reach's allowance and drift t
    // (chords, not arcs).
    const double a = std::sqrt(sp * sp + sq * sq);
    const double drift = kPlaneTurn + kEarthRate * std::sqrt(site.x * site.x + site.y * site.y) / rs;
    const double reach = cosCone - kPlaneWobble;
    double seconds = 0.0;
    if (reach > a) seconds = (reach - a) / drift;  // the site is far from the plane
    if (!(a > 0.0)) return seconds;
    // Near it: the object is out of view up to t while its phase past the site's (ahead, in
    // [0, 2 pi)) stays out of the window |phase| <= acos((reach - drift t) / a). It moves forward
    // no faster than rate, so that holds while ahead >= the window (true up to the t where the two
    // meet, when ahead < pi) and t <= g(t) = (2 pi - window(t) - ahead) / rate. g falls as t
    // grows, so g(g(0)), not above g(0), satisfies it.
    double ahead = -std::atan2(sq, sp);
    if (ahead < 0.0) ahead += kTwoPi;
    const double rate = 1.2 * orbit.h / (orbit.rMin * orbit.rMin) + kPlaneTurn;
    auto g = [&](double t) {
        const double c = (reach - drift * t) / a;
        return (kTwoPi - (c >= 1.0 ? 0.0 : c <= -1.0 ? kPi : std::acos(c)) - ahead) / rate;
    };
    const double first = g(0.0);
    if (!(first > 0.0)) return seconds;
    double t = g(first);
    if (ahead < kPi) t = std::fmin(t, (reach - sp) / drift);  // a cos(ahead) = sp
    return std::fmax(seconds, t);
}

// Seconds an object provably stays sunlit given its shadow depth now (negative when sunlit):
// the depth is the Earth's semidiameter less the Sun's less the angle between the Sun and the
// Earth's centre seen from the object. That angle turns no faster than the object's direction
// from the Earth's centre (h / r^2) plus the Sun's motion; the Earth's semidiameter asin(Re / r)
// changes at Re |r'| / (r sqrt(r^2 - Re^2)) with |r'| <= mu e / h on the orbit; the Sun's barely
// changes. Each gets a wide margin for the model's perturbations.
inline double SecondsSunlit(const OrbitBounds& orbit, double depth, double slack) {
    if (!std::isfinite(depth) || !(orbit.rMin > kXkmper)) return 0.0;
    const double turn = 1.2 * orbit.h / (orbit.rMin * orbit.rMin);
    const double radialSpeed = 1.2 * kGe * orbit.e / orbit.h + 0.01;
    const double semidiameter =
        kXkmper * radialSpeed / (orbit.rMin * std::sqrt(orbit.rMin * orbit.rMin - kXkmper * kXkmper));
    return (-depth - slack) / (turn + semidiameter + 1.0e-6);
}

// The sine of an object's geometric elevation seen from the site, its rate, and how far that rate
// can drift within t seconds either way. With n the Earth-fixed unit vector from the site to the
// object at range r, w = rho' and a = rho'' its Earth-fixed velocity and acceleration, and u the
// site's up vector (fixed there), the sine s = u.n has
//   s'' = u.a / r - 2 s' r' / r - s (|n'|^2 r + n.a) / r,   |r'| <= |w|,  |n'| <= |w| / r.
// Over t seconds the speed, acceleration and least range are bounded as SecondsInPass bounds
// them, and |s'|, |s| grow by at most M t and M t^2 with M the largest |s''|; solving the
// inequality for M gives the bound. The model's velocity is allowed an error of 1e-3 of itself
// plus 1 m/s (it is not exactly the derivative of its positions).
class ElevationTrend {
public:
    ElevationTrend(const StateVector& p, const StateVector& v, const ObserverState& site)
        : orbit_(BoundOrbit(p, v)), motion_(p, v, orbit_) {
        const SiteView view = ViewFrom(site, p);
        const double rx = view.rx, ry = view.ry, rz = view.rz;
        range_ = view.range;
        const double ux = site.cosLat * site.cosTheta, uy = site.cosLat * site.sinTheta, uz = site.sinLat;
        const double wx = v.x + kEarthRate * p.y, wy = v.y - kEarthRate * p.x, wz = v.z;
        sine_ = view.sine;
        const double rangeRate = (rx * wx + ry * wy + rz * wz) / range_;
        rate_ = ((ux * wx + uy * wy + uz * wz) - sine_ * rangeRate) / range_;
        velocityError_ = 1.0e-3 * std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z) + 1.0e-3;
        ok_ = orbit_.ok && range_ > 0.0 && std::isfinite(sine_) && std::isfinite(rate_);
    }
    bool Ok() const { return ok_; }
    double Sine() const { return sine_; }
    double Rate() const { return rate_; }
    const OrbitBounds& Orbit() const { return orbit_; }
    // Largest difference between the rate at any instant within t seconds and Rate().
    double Drift(double t) const {
        const double nearest = range_ - motion_.Path(t);
        if (!(nearest > 0.0)) return HUGE_VAL;
        const double accel = motion_.Acceleration(t);
        const double speed = motion_.speed + accel * t;
        const double rateError = 2.0 * velocityError_ / nearest;
        const double rate = std::fabs(rate_) + rateError;
        const double k = speed * speed / (nearest * nearest) + accel / nearest;
        const double shrink = 1.0 - 2.0 * t * speed / nearest - t * t * k;
        if (!(shrink > 0.0)) return HUGE_VAL;
        const double most =
            (accel / nearest + 2.0 * rate * speed / nearest + (std::fabs(sine_) + rate * t) * k) / shrink;
        return rateError + most * t;
    }
    // True when the elevation provably rises (direction +1) or falls (-1) all through the t
    // seconds on the side of now that direction * side gives, and stays where the refracted
    // elevation is an increasing function of the geometric one (above -4.5 degrees).
    bool Monotone(int direction, double t) const {
        if (!ok_) return false;
        const double drift = Drift(t);
        if (!(direction * rate_ - drift > kLeastRate)) return false;
        return sine_ - (std::fabs(rate_) + drift) * t >= kLowestSine;
    }

    // The longest span (at most longest, at least least; 0 when none) over which Monotone holds,
    // searched down from an upper estimate: the drift grows at least as fast as it does over
    // `least` seconds.
    double LongestMonotone(int direction, double longest, double least) const {
        double t = std::fmin(longest, MonotoneAtMost(direction, least));
        for (; t >= least; t *= 0.8) {
            if (Monotone(direction, t)) return t;
        }
        return 0.0;
    }
    // A span beyond which Monotone cannot hold (among spans of least seconds or more): the drift
    // grows at least as fast as it does over `least` seconds (the drift's parts are convex in t).
    double MonotoneAtMost(int direction, double least) const {
        if (!ok_ || !(direction * rate_ > 0.0)) return 0.0;
        const double now = Drift(0.0);
        const double early = (Drift(least) - now) / least;
        return early > 0.0 ? (direction * rate_ - now) / early : HUGE_VAL;
    }
    // Rates (sine per second) below this are not trusted to order two samples a second apart.
    static constexpr double kLeastRate = 1.0e-9;
    static constexpr double kLowestSine = -0.078459095727844944;  // sin(-4.5 degrees)

private:
    OrbitBounds orbit_;
    EarthFixedMotion motion_;
    double range_ = 0.0, sine_ = 0.0, rate_ = 0.0, velocityError_ = 0.0;
    bool ok_ = false;
};

// An object's depth in the Earth's shadow (as IsEclipsed gives it: the Earth's semidiameter less
// the Sun's less the angle delta between the Sun and the Earth's centre seen from the object), its
// rate now, and how far that rate can drift within t seconds either way. With q the direction of
// the object from the Earth's centre and c = cos(delta) = -s.q for the Sun's direction s,
//   delta'' = -c'' / sin(delta) - delta'^2 cos(delta) / sin(delta),
//   |c''| <= |q''| + 2 |s'| |q'| + |s''|,   |q''| <= h^2 / r^4 + 2 |q'| |r'| / r + (perturbations),
// the last from the two-body acceleration (the model's orbit departs from it by far less than 3%
// of the central gravity); the Earth's semidiameter asin(Re / r) moves with r' and
// r'' = h^2 / r^3 - mu / r^2 (+ 3%). The Sun's semidiameter changes by under 1e-9 rad/s.
class ShadowTrend {
public:
    ShadowTrend(const StateVector& p, const StateVector& v, const StateVector& sun, const OrbitBounds& orbit)
        : orbit_(orbit) {
        const double r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        const double sm = std::sqrt(sun.x * sun.x + sun.y * sun.y + sun.z * sun.z);
        if (!orbit.ok || !(orbit.rMin > kXkmper) || !(orbit.rMax < 1.0e6) || !(r > 0.0) || !(sm > 0.0))
            return;
        const double qx = p.x / r, qy = p.y / r, qz = p.z / r;
        const double sx = sun.x / sm, sy = sun.y / sm, sz = sun.z / sm;
        const double radialSpeed = (p.x * v.x + p.y * v.y + p.z * v.z) / r;
        const double dqx = (v.x - qx * radialSpeed) / r, dqy = (v.y - qy * radialSpeed) / r,
                     dqz = (v.z - qz * radialSpeed) / r;
        const double cosDelta = -(sx * qx + sy * qy + sz * qz);
        sinDelta_ = std::sqrt(std::fmax(0.0, 1.0 - cosDelta * cosDelta));
        if (!(sinDelta_ > 1.0e-3)) return;
        delta_ = std::acos(std::fmax(-1.0, std::fmin(1.0, cosDelta)));
        const double deltaRate = (sx * dqx + sy * dqy + sz * dqz) / sinDelta_;
        const double semidiameterRate = -kXkmper * radialSpeed / (r * std::sqrt(r * r - kXkmper * kXkmper));
        rate_ = semidiameterRate - deltaRate;
        // Errors of the rate now: the Sun's motion, its semidiameter, the model's velocity.
        const double velocityError = 1.0e-3 * std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z) + 1.0e-3;
        rateError_ = kSunTurn / sinDelta_ + 1.0e-9 + velocityError / (r * sinDelta_) +
                     kXkmper * velocityError / (r * std::sqrt(r * r - kXkmper * kXkmper));
        ok_ = std::isfinite(rate_) && std::isfinite(rateError_) && std::isfinite(delta_);
    }
    bool Ok() const { return ok_; }
    double Rate() const { return rate_; }
    double Drift(double t) const {
        const OrbitBounds& o = orbit_;
        const double hMax = 1.2 * o.h;
        const double turn = hMax / (o.rMin * o.rMin) + kSunTurn;  // |q'| + |s'|
        const double low = delta_ - turn * t, high = delta_ + turn * t;
        if (!(low > 1.0e-3) || !(high < kPi - 1.0e-3)) return HUGE_VAL;
        const double sinLeast = std::fmin(std::sin(low), std::sin(high));
        const double cotMost =
            std::fmax(std::fabs(std::cos(low) / std::sin(low)), std::fabs(std::cos(high) / std::sin(high)));
        const double radialMost = 1.2 * kGe * o.e / o.h + 0.01;
        const double qAcceleration = hMax * hMax / (o.rMin * o.rMin * o.rMin * o.rMin) +
                                     2.0 * turn * radialMost / o.rMin +
                                     0.03 * kGe / (o.rMin * o.rMin * o.rMin);
        const double deltaAcceleration =
            (qAcceleration + 2.0 * kSunTurn * turn + 1.0e-12) / sinLeast + turn * turn * cotMost;
        // r'' over the orbit: h^2 / r^3 - mu / r^2 at its ends and its one extremum, h within 10%.
        double radialAcceleration = 0.0;
        for (const double h : {0.9 * o.h, 1.1 * o.h}) {
            const double extremum = 1.5 * h * h / kGe;
            for (double r : {o.rMin, o.rMax, std::fmin(o.rMax, std::fmax(o.rMin, extremum))})
                radialAcceleration =
                    std::fmax(radialAcceleration, std::fabs(h * h / (r * r * r) - kGe / (r * r)));
        }
        radialAcceleration += 0.03 * kGe / (o.rMin * o.rMin);
        const double root = std::sqrt(o.rMin * o.rMin - kXkmper * kXkmper);
        const double slope = kXkmper / (o.rMin * root);  // |d asin(Re / r) / dr| at its largest
        const double bend =
            kXkmper * (2.0 * o.rMin * o.rMin - kXkmper * kXkmper) / (o.rMin * o.rMin * root * root * root);
        const double semidiameterAcceleration = slope * radialAcceleration + bend * radialMost * radialMost;
        return rateError_ + (deltaAcceleration + semidiameterAcceleration) * t;
    }
    // True when the depth provably falls (direction -1: the object leaves the shadow) or rises
    // (+1: it enters) all through t seconds either side of now.
    bool Monotone(int direction, double t) const {
        return ok_ && direction * rate_ - Drift(t) > ElevationTrend::kLeastRate;
    }

private:
    static constexpr double kSunTurn = 2.1e-7;  // the Sun's direction, rad/s, with a margin
    OrbitBounds orbit_;
    double sinDelta_ = 0.0, delta_ = 0.0, rate_ = 0.0, rateError_ = 0.0;
    bool ok_ = false;
};

}  // namespace corvane
