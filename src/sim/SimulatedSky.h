#pragma once
// The sky as every simulated mount sees it: the site, the mount's own clock (the computer clock
// shifted by whatever the program set), sidereal time and the conversions between horizontal and
// equatorial places. Written apart from the program's own coordinate code on purpose: a fault
// there must not hide in its test double. Not thread-safe: the mount's lock covers it.
#include <cmath>

#include "core/Clock.h"
#include "sim/MountSimulator.h"

namespace corvane {

double Wrap360(double degrees);
// Into -180 <= x < 180.
double Wrap180(double degrees);

class SimulatedSky {
public:
    SimulatedSky(const MountSite& site, const Clock& clock) : site_(site), clock_(clock) {}

    MountSite& Site() { return site_; }
    const MountSite& Site() const { return site_; }
    // Days the mount's clock runs ahead of the computer's.
    double ClockOffsetDays() const { return clockOffsetDays_; }
    void SetClockOffsetDays(double days) { clockOffsetDays_ = std::isfinite(days) ? days : 0.0; }
    void ShiftClock(double days) { SetClockOffsetDays(clockOffsetDays_ + days); }

    // The mount's idea of UTC now, as a Julian date.
    double UtcNow() const;
    // Local mean sidereal time, degrees.
    double LocalSiderealDegrees(double utc) const;
    // Hour angle of a right ascension, -180..180 degrees (positive west of the meridian).
    double HourAngle(double raHours, double utc) const;
    void AltAzOf(double raHours, double decDeg, double utc, double& az, double& alt) const;
    void RaDecOf(double az, double alt, double utc, double& raHours, double& decDeg) const;

private:
    MountSite site_;
    const Clock& clock_;
    double clockOffsetDays_ = 0.0;
};

}  // namespace corvane
