// The CGE engine: equatorial rate tracking on a German mount, with a goto across the meridian
// (the flip) shortly before the object crosses it.
#include <algorithm>
#include <cmath>
#include <optional>

#include "astro/Time.h"
#include "core/Text.h"
#include "scope/NexStarCodec.h"
#include "scope/ReplyCheck.h"
#include "scope/TrackingDriver.h"
#include "scope/TrackingDriverParts.h"

namespace corvane {

int MeridianSide(double azimuthDeg) { return azimuthDeg > 0.0 && azimuthDeg < 180.0 ? 0 : 1; }

std::optional<double> FindMeridianCrossing(
    const std::function<std::optional<double>(double, double&)>& azimuthAt, double startJd,
    const std::function<bool()>& goOn) {
    int seen = -1;
    int steps = 0;
    double jd = startJd;
    for (;;) {
        double elevation = 0.0;
        const std::optional<double> azimuth = azimuthAt(jd, elevation);
        if (!azimuth) return std::nullopt;
        const int side = MeridianSide(*azimuth);
        if (seen >= 0 && side != seen) return jd;
        seen = side;
        if (++steps > 120) return std::nullopt;
        jd += 10.0 / 86400.0;
        if (!goOn()) return std::nullopt;
        if (elevation <= 0.0) return std::nullopt;
    }
}

bool TrackingDriver::GotoInProgress(ReplyWatch& watch) {
    if (!link_.Wait(100)) return true;
    (void)link_.ReadWaiting();
    if (!Send("L")) return true;
    watch.Asked();
    if (!link_.Wait(450)) return true;
    const std::string reply = link_.ReadWaiting();
    link_.AuditLog("Rcvd *>" + reply + "<*");
    watch.Answer(reply, IsNexStarShortReply(reply));
    if (reply.empty()) return true;
    if (reply == "0#") {
        link_.AuditLog("Goto not in progress");
        return false;
    }
    link_.AuditLog("Goto in progress");
    return true;
}

// DEPARTURE: the mount chooses its side of the pier at a goto, and not always at the hour angle
// 0 the engine would assume; it keeps that side until the next goto. Hand controls that know
// "p" say which side ("E#" or "W#"); for the others the side of the meridian the goto aimed at
// stands in, kept until the next goto instead of being read afresh from every cycle's azimuth.
int TrackingDriver::PierSideAfterGoto(ReplyWatch& watch, int aimedSide) {
    std::string reply;
    if (!Ask(watch, "p", 300, IsPierSideOrShortReply, reply, false)) return aimedSide;
    if (reply.size() >= 2 && reply[reply.size() - 1] == '#') {
        const char side = reply[reply.size() - 2];
        if (side == 'W' || side == 'E') {
            link_.AuditLog(std::string("Pier side ") + side);
            return side == 'W' ? 1 : 0;
        }
    }
    return aimedSide;
}

void TrackingDriver::CgeEngine() {
    link_.AuditLog("starting cge routine");
    int previousObject = 0;
    int resetGoto = 0;
    std::optional<double> crossing;
    NexStarRates rates;
    NexStarMountPosition mount;
    auto stop = [this] { NexStarGpsStop(); };
    ReplyWatch watch(clock_);
    // The side of the pier the tube is on since the last goto (1: west, where the declination
    // motor runs reversed).
    int pierWest = 0;

    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        if (cycle.object == 0) {
            Pause(cycle.settings.ngpsSetRateDelayMs);
            continue;
        }
        const double timing = LeadingNumber(cycle.values.timingOffsetText);
        const double steps = LeadingNumber(cycle.values.alignmentText);
        if (cycle.object != previousObject) {
            rates = NexStarRates{};
            if (!GetNexStarPosition(mount, cycle.site)) {
                if (!StopAsked())
                    NexStarFailure("Cannot get NexStarGPS Current Position!", "Tracking Aborted");
                return;
            }
            link_.AuditLog("Start of meridian crossing calculation");
            const auto catalogue = catalogues_.Get();
            const double start =
                clock_.JulianDateNow() + (30.0 + timing) / 86400.0 - cycle.site.utcOffset / 24.0;
            crossing = FindMeridianCrossing(
                [&](double jd, double& elevation) -> std::optional<double> {
                    const CycleTarget t =
                        ComputeCycleTarget(*catalogue, cycle.object, jd, cycle.site, steps, slot_);
                    // DEPARTURE: a position the model cannot compute ends the search (no crossing).
                    if (!t.ok) return std::nullopt;
                    elevation = t.elevationDeg;
                    return t.azimuthDeg;
                },
                start, [this] { return trackingOn_.load(); });
            link_.AuditLog("End of meridian crossing calculation");
            resetGoto = 2;
            link_.AuditLog("New object: Resetgoto=2");
        } else {
            link_.AuditLog("Previous object: Resetgoto=0");
            resetGoto = 0;
        }
        previousObject = cycle.object;
        if (!trackingOn_.load()) return;

        // The flip: shortly before the crossing the goto aims 30 s ahead, across the meridian.
        // DEPARTURE: checked once per cycle and not when a goto is already due, so a crossing
        // 20 to 40 s ahead of a new object cannot send the cycle round without end.
        const double ahead = resetGoto == 2 ? 30.0 : 0.0;
        const double target =
            clock_.JulianDateNow() + (ahead + timing) / 86400.0 - cycle.site.utcOffset / 24.0;
        if (resetGoto != 2 && crossing && std::fabs(target - *crossing) * 86400.0 < 10.0) {
            link_.AuditLog("!!!!!!!!!!!!!!!!!!  Need to Flip Mount !!!!!!!!!!!!!!!!!");
            resetGoto = 2;
        }
        if (!PrepareCycle(cycle, resetGoto == 2 ? 30.0 : 0.0, 0.0, 0.0, stop)) {
            if (!trackingOn_.load()) return;
            Pause(cycle.settings.ngpsSetRateDelayMs);
            continue;
        }
        if (!GetNexStarPosition(mount, cycle.site)) {
            if (!StopAsked()) NexStarFailure("Cannot get CGE Current Position!", "Tracking Aborted");
            return;
        }
        const CycleTarget& t = cycle.target;
        if (t.elevationDeg < 0) {
            NexStarFailure("Object Below Horizon!!\r\r" + kRefresh, "Tracking Error");
            return;
        }
        if (resetGoto == 2) {
            if (t.raHours != 0.0 && t.decDegrees != 0.0) {
                const std::string command = NexStarGotoCommand(t.raHours, t.decDegrees);
                if (Send(command)) {
                    link_.AuditLog("Goto cmd: " + command);
                    if (link_.Wait(300)) link_.ReadAvailable();
                }
            }
            resetGoto = 0;
            // DEPARTURE: the countdown asks every 2 s whether the goto is still running (the
            // answer is not used), so that a line that dies during it is noticed within the usual
            // 10 s instead of after half a minute of silence.
            for (int k = 1; k <= 58; ++k) {
                std::string reply;
                if (k % 4 == 0) {
                    if (!Ask(watch, "L", 450, IsNexStarShortReply, reply) || !Await(watch, 50)) break;
                } else if (!Await(watch, 500)) {
                    break;
                }
                const int bars = static_cast<int>(std::lround(30.0 - k / 2.0));
                display_.SetProgress(bars, bars);
            }
            for (int poll = 0; poll < 30 && trackingOn_.load(); ++poll) {
                if (!GotoInProgress(watch) || LostCommunication(watch)) break;
                if (!Await(watch, 450)) break;
                display_.SetProgress(1, 1);
            }
            display_.SetProgress(0, 0);
            if (StopAsked()) return;
            if (!Await(watch, 1000)) return;
            Send("M");
            Send(NexStarTrackingModeCommand(0));
            pierWest = PierSideAfterGoto(watch, MeridianSide(t.azimuthDeg));
            if (StopAsked()) return;
        } else {
            NexStarRateStep(cycle, mount, rates, false, pierWest);
            if (!Await(watch, cycle.settings.ngpsSetRateDelayMs)) return;
        }
        rates.previous = NexStarSample{t.raHours, t.decDegrees, t.azimuthDeg, t.elevationDeg, t.jdUtc};
    }
}

}  // namespace corvane
