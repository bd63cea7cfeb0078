// The NexStar GPS continuous-rate engines (Alt-Az and equatorial) and the NexStar position query
// they share with the CGE engine.
#include <algorithm>
#include <cmath>

#include "astro/Time.h"
#include "core/Text.h"
#include "scope/NexStarCodec.h"
#include "scope/TrackingDriver.h"
#include "scope/TrackingDriverParts.h"

namespace corvane {

namespace {
constexpr double kDegree = 3.14159265358979323846 / 180.0;
}

void HorizontalFromEquatorial(double raHours, double decDegrees, double localSiderealHours,
                              double latitudeDegrees, double& azimuthDeg, double& altitudeDeg) {
    const double h = (localSiderealHours - raHours) * 15.0 * kDegree;
    const double dec = decDegrees * kDegree, lat = latitudeDegrees * kDegree;
    const double sinAlt = std::sin(lat) * std::sin(dec) + std::cos(lat) * std::cos(dec) * std::cos(h);
    altitudeDeg = std::asin(std::clamp(sinAlt, -1.0, 1.0)) / kDegree;
    double az = std::atan2(-std::cos(dec) * std::sin(h),
                           std::sin(dec) * std::cos(lat) - std::cos(dec) * std::sin(lat) * std::cos(h)) /
                kDegree;
    if (az < 0) az += 360.0;
    azimuthDeg = az >= 360.0 ? az - 360.0 : az;
}

long long NexStarRateTowards(double predicted, double mount, double sign) {
    // DEPARTURE: the gap is taken the short way round (north, 0 h) before it becomes a rate;
    // turning the sign alone drove the motor the right way at its full 3 degrees per second for a
    // gap of a degree or two across north.
    const double gap = std::remainder(predicted - mount, 360.0);
    const double units = gap * sign * kNexStarUnitsPerDegree;
    return std::isfinite(units) ? static_cast<long long>(std::clamp(units, -1.0e9, 1.0e9)) : 0;
}

bool NexStarRateDue(int rate, int lastSent, bool altAz, int minDelta) {
    return altAz ? rate != lastSent : std::abs(static_cast<long long>(rate) - lastSent) > minDelta;
}

bool TrackingDriver::GetNexStarPosition(NexStarMountPosition& position, const Site& site) {
    position = NexStarMountPosition{};
    if (!link_.Wait(100)) return false;
    (void)link_.ReadWaiting();
    if (!Send("E")) return false;
    if (!link_.Wait(100)) return false;
    if (!trackingOn_.load() && !link_.Wait(400)) return false;
    std::string reply = link_.ReadWaiting();
    int tries = 0;
    while (reply.size() < 9) {
        if (++tries > 200) {
            link_.AuditLog("too many retries");
            break;
        }
        // DEPARTURE: a line that reports itself dead ends the polling at once.
        if (!link_.Wait(40) || !trackingOn_.load() || link_.LineFailed()) break;
        reply += link_.ReadWaiting();
    }
    if (reply.size() < 9) {
        link_.AuditLog("Could not get NX RA/DEC!! Got >" + BracketedBytes(reply) + "< qty" +
                       std::to_string(reply.size()));
        return false;
    }
    const NexStarReply parsed = ParseNexStarPositionReply(reply);
    if (parsed.error == NexStarReplyError::CommaMisplaced || parsed.error == NexStarReplyError::TooShort) {
        link_.AuditLog("Could not get NX RA/DEC!! Comma not where expected. Got " + reply);
        return false;
    }
    if (parsed.error != NexStarReplyError::None) {
        link_.AuditLog("Could not get NX RA/DEC!! Got " + reply);
        return false;
    }
    link_.AuditLog("GetNXGPSAltAz Received " + parsed.kept);
    position.raHours = parsed.position.raHours;
    position.decDegrees = parsed.position.decDegrees;
    const double jd = UtcNow(clock_, site);
    HorizontalFromEquatorial(position.raHours, position.decDegrees, LocalSiderealHoursAt(jd, site.longitude),
                             site.latitude, position.azimuthDeg, position.altitudeDeg);
    link_.AuditLog("az >" + PlainNumber(position.azimuthDeg) + " Alt >" + PlainNumber(position.altitudeDeg));
    return true;
}

void TrackingDriver::NexStarFailure(const std::string& text, const std::string& title) {
    if (link_.LineFailed()) {
        // A failed write or a closed line is a lost line, whatever step noticed it.
        EndLostLine();
        return;
    }
    trackingOn_.store(false);
    NexStarGpsStop();
    ResetTrackingDisplay();
    display_.ShowMessage(text, title, MessageIcon::Warning);
}

void TrackingDriver::SendNexStarRate(int motor, int rate, const std::string& auditText) {
    const std::string command = NexStarRateCommand(motor, rate);
    if (Send(command)) link_.AuditLog(auditText + BracketedBytes(command));
}

// The rate step of the NexStar GPS and CGE engines: the object's motion over the last cycle,
// where it will be a second from now, and the motor rates that bring the mount there.
// `westSide`: -1 not a German mount; 0 or 1 the object's side of the meridian on the CGE.
void TrackingDriver::NexStarRateStep(const Cycle& cycle, const NexStarMountPosition& mount,
                                     NexStarRates& rates, bool altAz, int westSide) {
    const CycleTarget& t = cycle.target;
    const std::string stars(72, '*');
    link_.AuditLog(stars);
    link_.AuditLog(stars);
    const double dt = (t.jdUtc - rates.previous.jd) * 86400.0;
    if (dt < 5.0 && dt > 0.0) {
        // Axis 1: azimuth, or right ascension in degrees; axis 2: elevation or declination.
        const double x = altAz ? t.azimuthDeg : t.raHours * 15.0;
        const double px = altAz ? rates.previous.azimuthDeg : rates.previous.raHours * 15.0;
        const double y = altAz ? t.elevationDeg : t.decDegrees;
        const double py = altAz ? rates.previous.elevationDeg : rates.previous.decDegrees;
        const double mx = altAz ? mount.azimuthDeg : mount.raHours * 15.0;
        const double my = altAz ? mount.altitudeDeg : mount.decDegrees;
        double dx = x - px;
        if (!altAz) link_.AuditLog("radiff2 :" + PlainNumber(dx));
        const double adjusted = WithinThreeHundred(dx);
        if (adjusted != dx)
            link_.AuditLog("Adjusted from " + PlainNumber(dx) + " to " + PlainNumber(adjusted));
        dx = adjusted;
        const double dy = y - py;
        const double rx = dx / dt, ry = dy / dt;
        link_.AuditLog("Calc time diff " + PlainNumber(dt));
        link_.AuditLog(std::string(altAz ? "Sat AzRate " : "Sat RaRate ") + PlainNumber(rx) + " deg/sec");
        link_.AuditLog(std::string(altAz ? "Sat AltRate " : "Sat Dec Rate ") + PlainNumber(ry) + " deg/sec");
        link_.AuditLog(std::string(altAz ? "Sat location now AZ:" : "Sat location now RA:") + PlainNumber(x) +
                       (altAz ? " Alt:" : " Dec:") + PlainNumber(y));
        link_.AuditLog(std::string(altAz ? "Azcoord2 " : "RAcoord2 ") + PlainNumber(px));
        if (altAz) {
            link_.AuditLog("Sat location 1 sec AZ:" + PlainNumber(x + rx) + " Alt:" + PlainNumber(y + ry));
        }
        link_.AuditLog(std::string(altAz ? "Nx location AZ:" : "Nx location RA:") + PlainNumber(mx) +
                       (altAz ? " Alt:" : " Dec:") + PlainNumber(my));
        const double xp = x + rx, yp = y + ry;
        double sign;
        if (altAz) {
            sign = 1.0;
        } else {
            // The right-ascension motor turns with the sky: a positive rate lowers the RA.
            sign = -1.0;
            if (std::fabs(mx - x) > 180.0) link_.AuditLog("Switched signs");
        }
        long long rate1 = NexStarRateTowards(xp, mx, sign);
        link_.AuditLog(std::string(altAz ? "nxaz rate " : "nxRA rate ") +
                       PlainNumber(static_cast<double>(rate1) / kNexStarUnitsPerDegree));
        const double decGap = yp - my;
        long long rate2 = std::isfinite(decGap)
                              ? static_cast<long long>(std::clamp(decGap * kNexStarUnitsPerDegree, -1e9, 1e9))
                              : 0;
        if (westSide == 1) {
            rate2 = -rate2;
            link_.AuditLog("CGEFLip=1 az " + PlainNumber(t.azimuthDeg));
        } else if (westSide == 0) {
            link_.AuditLog("CGEFLip=0 az " + PlainNumber(t.azimuthDeg));
        }
        if (!altAz) link_.AuditLog("NxDec rate " + PlainNumber(decGap));
        const bool nearNorth = x > 350.0 || mx > 350.0;
        if (rates.acceptedRate != 0 && (rate1 < -43000 || rate1 > 43000) && rates.acceptedRate > -10000 &&
            rates.acceptedRate < 10000 && nearNorth) {
            rate1 = rates.acceptedRate;
            link_.AuditLog("Bad result - old rate used!");
        } else {
            rates.acceptedRate = rate1;
        }
        if (mount.azimuthDeg == -1.0) {
            link_.AuditLog("Did not have valid NexStar location so slew rates, not adjusted.");
        } else {
            const int r1 = ClampNexStarRate(rate1), r2 = ClampNexStarRate(rate2);
            link_.AuditLog("Setting NX AzRate:" + std::to_string(r1) + " AltRate:" + std::to_string(r2));
            const bool send1 = NexStarRateDue(r1, rates.lastSent1, altAz, cycle.settings.minNxDeltaRate);
            const bool send2 = NexStarRateDue(r2, rates.lastSent2, altAz, cycle.settings.minNxDeltaRate);
            if (send1) {
                SendNexStarRate(kNexStarAzimuthMotor, r1, "AzRate to NX ");
                rates.lastSent1 = r1;
            } else {
                link_.AuditLog(std::string(altAz ? "same azrate so not updated current:"
                                                 : "Same azrate so don't reset current:") +
                               std::to_string(r1) + " last rate:" + std::to_string(rates.lastSent1));
            }
            if (send2) {
                SendNexStarRate(kNexStarAltitudeMotor, r2, "AltRate to NX ");
                rates.lastSent2 = r2;
            } else {
                link_.AuditLog(std::string(altAz ? "same altrate so not updated current:"
                                                 : "Same altrate so don't reset current:") +
                               std::to_string(r2) + " last rate:" + std::to_string(rates.lastSent2));
            }
        }
    }
}

// The NexStar GPS engines: a first goto, then closed-loop variable rates on both motors.
void TrackingDriver::NexStarGpsEngine() {
    const bool altAz = Settings().ngpsMount == 1;
    int previousObject = 0;
    int resetGoto = 0;
    NexStarRates rates;
    NexStarMountPosition mount;
    auto stop = [this] { NexStarGpsStop(); };

    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        if (cycle.object == 0) {
            Pause(cycle.settings.ngpsSetRateDelayMs);
            continue;
        }
        if (cycle.object != previousObject) {
            rates = NexStarRates{};
            if (!GetNexStarPosition(mount, cycle.site)) {
                if (!StopAsked())
                    NexStarFailure("Cannot get NexStarGPS Current Position!", "Tracking Aborted");
                return;
            }
            resetGoto = 2;
            link_.AuditLog("New object: Resetgoto=2");
        } else {
            link_.AuditLog("Previous object: Resetgoto=0");
            resetGoto = 0;
        }
        previousObject = cycle.object;

        bool aim = false;
        for (;;) {
            aim = PrepareCycle(cycle, 0.0, 0.0, 0.0, stop);
            if (!aim) break;
            if (!GetNexStarPosition(mount, cycle.site)) {
                if (!StopAsked())
                    NexStarFailure("Cannot get NexStarGPS Current Position!", "Tracking Aborted");
                return;
            }
            const CycleTarget& t = cycle.target;
            if (resetGoto == 0) break;
            if (altAz) {
                double azGap = std::fabs(t.azimuthDeg - mount.azimuthDeg);
                if (azGap > 180.0) azGap = 360.0 - azGap;
                const int delaySec =
                    static_cast<int>(
                        std::floor(std::max(std::fabs(t.elevationDeg - mount.altitudeDeg), azGap) / 3.0)) +
                    2;
                if (resetGoto == 2) {
                    link_.AuditLog(std::string("Corvane ") + CORVANE_VERSION);
                    link_.AuditLog("DelaySec = " + std::to_string(delaySec) +
                                   " setting ResetGoto from 2 to 1");
                    resetGoto = 1;
                    continue;
                }
            } else if (resetGoto == 2) {
                link_.AuditLog(std::string("Corvane ") + CORVANE_VERSION);
                resetGoto = 1;
                continue;
            } else {
                link_.AuditLog("DelaySec = 0 ResetGoto = 1");
            }
            break;
        }
        if (!trackingOn_.load()) return;
        if (!aim) {
            Pause(cycle.settings.ngpsSetRateDelayMs);
            continue;
        }
        const CycleTarget& t = cycle.target;
        if (t.elevationDeg < 0) {
            NexStarFailure("Object Below Horizon!!\r\r" + kRefresh, "Tracking Error");
            return;
        }

        if (resetGoto == 1) {
            if (t.raHours != 0.0 && t.decDegrees != 0.0) {
                const std::string command = NexStarGotoCommand(t.raHours, t.decDegrees);
                if (Send(command)) {
                    link_.AuditLog("Goto cmd: " + command);
                    if (link_.Wait(300)) link_.ReadAvailable();
                }
            }
        } else {
            NexStarRateStep(cycle, mount, rates, altAz, -1);
        }

        if (resetGoto != 0) {
            resetGoto = 0;
            if (!Pause(1000)) return;
            Send("M");
            Send(NexStarTrackingModeCommand(0));
        } else if (!Pause(cycle.settings.ngpsSetRateDelayMs)) {
            return;
        }
        rates.previous = NexStarSample{t.raHours, t.decDegrees, t.azimuthDeg, t.elevationDeg, t.jdUtc};
    }
}

}  // namespace corvane
