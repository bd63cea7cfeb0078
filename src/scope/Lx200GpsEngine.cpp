// The LX200GPS continuous engine: a rate table for the coming two hours, an intercept ahead of
// the object, then axis rates recomputed every two seconds with a correction from the mount's
// reported position. Alt-Az (azimuth and altitude) or polar (right ascension and declination).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "astro/Time.h"
#include "core/Text.h"
#include "scope/Lx200Codec.h"
#include "scope/NexStarCodec.h"
#include "scope/ReplyCheck.h"
#include "scope/TrackingDriver.h"
#include "scope/TrackingDriverParts.h"

namespace corvane {

namespace {

const std::string kUnableText =
    "Unable to position telescope within time limits.\r\rMay need to increase maximum slew rate.";
const std::string kTableEndText = "Object Below Horizon or exceeded Tracking Limit set in Preferences!!";

std::string Fixed4(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.4f", std::isfinite(value) ? value : 0.0);
    return text;
}

}  // namespace

double MeanAzimuth(double a, double b) {
    const double mean = a + std::remainder(b - a, 360.0) / 2.0;
    return mean < 0 ? mean + 360.0 : mean >= 360.0 ? mean - 360.0 : mean;
}

LgpsRate LgpsTableRates(const CycleTarget& now, const CycleTarget& later, bool altAz) {
    LgpsRate r;
    if (altAz) {
        r.rate1 = WithinThreeHundred(later.azimuthDeg - now.azimuthDeg) / 2.0;
        r.rate2 = (later.elevationDeg - now.elevationDeg) / 2.0;
    } else {
        // DEPARTURE: the right-ascension step across 0 h is taken the short way round, like the
        // azimuth step across north; it was a rate of -180 degrees per second.
        r.rate1 = WithinThreeHundred((later.raHours - now.raHours) * 15.0) / 2.0;
        r.rate2 = (later.decDegrees - now.decDegrees) / 2.0;
    }
    return r;
}

LgpsCorrection LgpsDampCorrection(double raw1, double raw2) {
    if (raw1 > 200.0 || raw1 < -200.0) raw1 = 0.0;
    LgpsCorrection c{raw1 / 12.0, raw2 / 12.0};
    if (c.c1 > 0.1) c.c1 *= 0.7;
    if (c.c2 > 0.1) c.c2 *= 0.7;
    return c;
}

bool TrackingDriver::GetScopePosition(bool altAz, const Site& site, ScopeReading& reading) {
    reading = ScopeReading{};
    if (!link_.Wait(100)) return false;
    if (const std::string extra = link_.ReadWaiting(); !extra.empty()) {
        link_.AuditLog("Got this unexpected >" + extra + "< " + std::to_string(extra.size()) + " bytes");
        if (!link_.Wait(200)) return false;
        if (const std::string more = link_.ReadWaiting(); !more.empty()) {
            link_.AuditLog("And some more after 200ms >" + more + "< " + std::to_string(more.size()) +
                           " bytes");
        }
    }
    if (!Send(std::string(altAz ? kGetAltAz : kGetDecRa))) return false;
    const double sentAt = clock_.MonotonicSeconds();
    if (!link_.Wait(450)) return false;
    std::string reply;
    for (int i = 0; i < 30; ++i) {
        if (!link_.Wait(30)) return false;
        reply += link_.ReadWaiting();
        if (altAz ? PositionReplyComplete(reply) : DecRaReplyComplete(reply)) break;
    }
    link_.AuditLog("GD:/GR: >" + reply + "< hplx200:" + (link_.LongFormat() ? "1" : "0"));
    reading.delay = clock_.MonotonicSeconds() - sentAt;
    if (reading.delay < 0) reading.delay = 0.5;
    link_.AuditLog("GetPosDelay " + PlainNumber(reading.delay));
    const auto parsed = altAz ? ParseAltAzReply(reply) : ParseDecRaReply(reply);
    if (!parsed) return false;
    if (altAz) {
        reading.altitude = parsed->first;
        reading.azimuth = parsed->second;
    } else {
        reading.decDegrees = parsed->first;
        reading.raHours = parsed->second;
        HorizontalFromEquatorial(reading.raHours, reading.decDegrees,
                                 LocalSiderealHoursAt(UtcNow(clock_, site), site.longitude), site.latitude,
                                 reading.azimuth, reading.altitude);
    }
    reading.time = clock_.MonotonicSeconds();
    link_.AuditLog("scopeAZ >" + PlainNumber(reading.azimuth) + " scopeAlt >" +
                   PlainNumber(reading.altitude));
    if (!altAz) {
        link_.AuditLog("scopeRA >" + PlainNumber(reading.raHours) + " scopeDEC >" +
                       PlainNumber(reading.decDegrees));
    }
    return true;
}

void TrackingDriver::Lx200GpsFailure(const std::string& text) {
    trackingOn_.store(false);
    SendStopSequence(ScopeType::LX200GPS);
    ResetTrackingDisplay();
    display_.ShowMessage(text, "Tracking Error", MessageIcon::Warning);
}

void TrackingDriver::Lx200GpsEngine() {
    // The object selected when the engine starts; later changes wait for the next start.
    Cycle cycle = ReadCycle();
    while (cycle.object == 0) {
        if (!Pause(200)) return;
        cycle = ReadCycle();
    }
    const bool altAz = cycle.settings.lgpsMount == 1;
    const auto catalogue = catalogues_.Get();
    const double steps = LeadingNumber(cycle.values.alignmentText);
    auto timingOffset = [&] { return LeadingNumber(live_.Snapshot().timingOffsetText); };
    auto utcNow = [&](double shiftSeconds) {
        return clock_.JulianDateNow() + (timingOffset() + shiftSeconds) / 86400.0 -
               cycle.site.utcOffset / 24.0;
    };

    // The rate table: one entry a second, until the object sets, meets the limit or 7000 s pass.
    struct Entry {
        double jd;
        double rate1, rate2;
    };
    std::vector<Entry> table;
    bool tableFull = false;
    auto buildTable = [&]() {
        table.clear();
        link_.AuditLog("New object: Resetgoto=2");
        display_.SetProgress(0, 0);
        const double t0 = clock_.JulianDateNow() - cycle.site.utcOffset / 24.0;
        link_.AuditLog("Starting calculations");
        // Positions a second apart: the entry of second n compares n with n + 2.
        std::vector<CycleTarget> at;
        at.reserve(7003);
        auto position = [&](int n) -> CycleTarget {
            while (static_cast<int>(at.size()) <= n) {
                at.push_back(ComputeCycleTarget(*catalogue, cycle.object, t0 + at.size() / 86400.0,
                                                cycle.site, steps, slot_));
            }
            return at[n];
        };
        tableFull = false;
        for (int n = 1; n <= 7000 && trackingOn_.load(); ++n) {
            const CycleTarget now = position(n);
            const CycleTarget later = position(n + 2);
            // DEPARTURE: a position the model cannot compute ends the table.
            if (!now.ok || !later.ok) break;
            const double limited = cycle.settings.limitElevation ? later.elevationDeg : later.decDegrees;
            if (cycle.settings.limitEnabled && limited > cycle.settings.limitDegrees) break;
            if (now.elevationDeg <= 0) break;
            const LgpsRate r = LgpsTableRates(now, later, altAz);
            table.push_back({altAz ? now.jdUtc - 0.3 / 86400.0 : now.jdUtc, r.rate1, r.rate2});
            tableFull = n == 7000;
        }
    };
    buildTable();
    if (!trackingOn_.load()) return;

    // The intercept: the mount goes to where the object will be in 25 s and waits for it. The
    // distance bars it is asked for tell a live mount from a dead line.
    ReplyWatch watch(clock_);
    auto barsDone = [&](const std::string& bars) {
        // DEPARTURE: only an answer that reads as bars, none left, ends the slew; silence or
        // noise does not.
        const bool valid = IsPlausibleBarsReply(bars);
        watch.Answer(bars, valid);
        return valid && !HasBars(bars);
    };
    int failures = 0;
    for (;;) {
        const double ti = utcNow(25.0);
        const CycleTarget target = ComputeCycleTarget(*catalogue, cycle.object, ti, cycle.site, steps, slot_);
        display_.SetBusy(true);
        if (!Send(std::string(kStop))) break;
        if (!link_.Wait(800)) break;
        link_.ReadAvailable();
        const std::string setTarget =
            SetTargetCommand(target.raHours, target.decDegrees, cycle.settings.degChar);
        if (!Send(setTarget)) break;
        if (!link_.Wait(350)) break;
        if (!Send(std::string(kSlew))) break;
        if (!link_.Wait(900)) break;
        const std::string reply = link_.ReadAvailable();
        display_.SetBusy(false);
        if (!trackingOn_.load()) return;
        if (target.ok && reply.find("110") == std::string::npos && !IsSlewReply(reply)) {
            // DEPARTURE: no answer, or one that cannot be read, is a lost line, not a slew the
            // mount could not make in time.
            EndLostLine();
            return;
        }
        if (!target.ok || reply.find("110") == std::string::npos) {
            Lx200GpsFailure(kUnableText);
            return;
        }
        display_.SetStatusLines("Intercepting Satellite.", "Intercepting Satellite.");
        bool complete = false;
        double remaining = 0;
        do {
            remaining = (ti - utcNow(0.0)) * 86400.0;
            if (!trackingOn_.load()) break;
            if (!link_.Wait(50)) break;
            if (!complete) {
                if (!link_.Wait(200) || !Send(std::string(kDistanceBarsBare))) break;
                watch.Asked();
                if (!link_.Wait(400)) break;
                const std::string bars = link_.ReadWaiting();
                link_.AuditLog("Got >" + bars + "< tracking" + (trackingOn_.load() ? "1" : "0"));
                if (barsDone(bars)) {
                    complete = true;
                    link_.AuditLog("Slew complete!");
                }
                if (LostCommunication(watch)) return;
            }
            if (!trackingOn_.load()) {
                display_.SetProgress(0, 0);
                link_.AuditLog("Early abort!!!");
                break;
            }
            const int bars = std::clamp(static_cast<int>(remaining - 1.0), 0, 16);
            display_.SetProgress(bars, bars);
        } while (remaining > 1.5);
        display_.SetProgress(0, 0);
        if (StopAsked()) return;
        if (complete) break;
        if (++failures >= 5) {
            Lx200GpsFailure(kUnableText);
            return;
        }
        for (int poll = 0; poll < 30; ++poll) {
            if (!link_.Wait(200) || !Send(std::string(kDistanceBarsBare))) return;
            watch.Asked();
            if (!link_.Wait(400)) return;
            const bool done = barsDone(link_.ReadWaiting());
            if (LostCommunication(watch)) return;
            if (done) break;
        }
    }
    display_.SetBusy(false);
    if (!trackingOn_.load()) return;

    // The rate loop. The position queries steer only when their answer reads; silence or noise
    // there leaves the rates to the table, and only a line that fails ends tracking.
    bool first = true;
    double correction1 = 0, correction2 = 0;
    int parity = 0;
    const std::string dollars(47, '$');
    while (trackingOn_.load()) {
        const double tnow = utcNow(0.0);
        const Entry* entry = nullptr;
        for (const Entry& e : table) {
            const double ahead = (e.jd - tnow) * 86400.0;
            if (ahead > 1.5 && ahead < 2.51) {
                entry = &e;
                break;
            }
        }
        if (entry == nullptr && tableFull && !table.empty() && (table.back().jd - tnow) * 86400.0 <= 2.51) {
            // DEPARTURE: an object still up when the two-hour table runs out gets a new table
            // from now on instead of the "below horizon" stop.
            buildTable();
            continue;
        }
        if (entry == nullptr) {
            Lx200GpsFailure(kTableEndText);
            return;
        }
        double r1 = entry->rate1 + correction1, r2 = entry->rate2 + correction2;
        correction1 = correction2 = 0;
        if (first) {
            r1 *= 1.4;
            r2 *= 1.4;
        }
        if (!std::isfinite(r1)) r1 = 0;
        if (!std::isfinite(r2)) r2 = 0;
        r1 = std::clamp(r1, -8.0, 8.0);
        r2 = std::clamp(r2, -8.0, 8.0);
        if (r1 > -8.0 && r1 < 8.0) {
            const std::string second = AxisRateCommand(false, r2), firstAxis = AxisRateCommand(true, r1);
            Send(second);
            link_.AuditLog(second);
            Send(firstAxis);
            link_.AuditLog(firstAxis);
        }
        const std::string direction = MoveCommand(r1, r2);
        if (!link_.Wait(75)) break;
        link_.AuditLog(direction);
        Send(direction);
        if (LostCommunication(watch)) return;
        if (!first) {
            ScopeReading reading;
            const bool read = GetScopePosition(altAz, cycle.site, reading);
            if (LostCommunication(watch)) return;
            if (!read) {
                if (!trackingOn_.load()) break;
                link_.AuditLog("could not get scope position " + std::string(50, '*'));
            } else {
                if (altAz) {
                    ScopeReading second;
                    if (GetScopePosition(altAz, cycle.site, second)) {
                        // DEPARTURE: the two azimuths are averaged the short way round north.
                        reading.azimuth = MeanAzimuth(reading.azimuth, second.azimuth);
                        reading.altitude = (reading.altitude + second.altitude) / 2.0;
                        reading.delay = (reading.delay + second.delay) / 2.0;
                    }
                }
                if (!trackingOn_.load()) break;
                const double lag = altAz ? reading.delay : 0.5;
                const CycleTarget object =
                    ComputeCycleTarget(*catalogue, cycle.object, utcNow(-lag), cycle.site, steps, slot_);
                if (object.ok) {
                    link_.AuditLog("Sat Ra" + PlainNumber(object.raHours) + " dec" +
                                   PlainNumber(object.decDegrees));
                    link_.AuditLog("Sat az" + PlainNumber(object.azimuthDeg) + " alt" +
                                   PlainNumber(object.elevationDeg));
                    const double raw1 = altAz ? WithinThreeHundred(object.azimuthDeg - reading.azimuth)
                                              : WithinThreeHundred((object.raHours - reading.raHours) * 15.0);
                    const double raw2 = altAz ? object.elevationDeg - reading.altitude
                                              : object.decDegrees - reading.decDegrees;
                    const double shown1 = raw1 > 200.0 || raw1 < -200.0 ? 0.0 : raw1;
                    link_.AuditLog(dollars + " rabalance " + Fixed4(shown1) + "   decbalance " +
                                   Fixed4(raw2) + "  Comp" + std::to_string(parity));
                    parity ^= 1;
                    const LgpsCorrection c = LgpsDampCorrection(raw1, raw2);
                    correction1 = c.c1;
                    correction2 = c.c2;
                }
            }
        }
        long long sleep = std::llround((entry->jd - utcNow(0.0)) * 86400.0 * 1000.0);
        if (first) sleep -= 500;
        sleep = std::max<long long>(1, sleep);
        link_.AuditLog("Sleep " + std::to_string(sleep));
        const int half = static_cast<int>(std::clamp<long long>(sleep / 2, 1, 60000));
        if (trackingOn_.load() && !link_.Wait(half)) break;
        if (trackingOn_.load() && !link_.Wait(half)) break;
        first = false;
        if (!trackingOn_.load()) break;
        link_.AuditLog(direction);
        Send(direction);
        display_.SetStatusLines("Azimuth Tracking Rate " + FormatRate(r1) +
                                    (r1 < 0 ? "\xB0W"
                                            : "\xB0"
                                              "E"),
                                "Altitude Tracking Rate " + FormatRate(r2) + (r2 < 0 ? "\xB0S" : "\xB0N"));
    }
}

}  // namespace corvane
