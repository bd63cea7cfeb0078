// The rate-driven mounts as the predictive engine sees them: the NexStar GPS (Alt-Az or on a
// wedge) and the CGE by the pass-through variable rates and the precise "e" position; the
// LX200GPS (Alt-Az or polar) by "#:RA"/"#:RE" rates with move commands and the long-format
// position.
#include <algorithm>
#include <cmath>

#include "astro/Time.h"
#include "core/Clock.h"
#include "scope/Lx200Codec.h"
#include "scope/NexStarCodec.h"
#include "scope/PredictiveDialect.h"
#include "scope/ReplyCheck.h"
#include "scope/SerialLink.h"

namespace corvane {

namespace {

// One byte on a 9600 baud line (start, eight data bits, stop).
constexpr double kByteSeconds = 10.0 / 9600.0;
// How often a reply is looked for, milliseconds.
constexpr int kPollMs = 5;
// The longest a query waits for its reply, seconds.
constexpr double kReplySeconds = 1.0;

// The sky's turn, degrees per second.
constexpr double kSiderealDegreesPerSecond = 360.98564736629 / 86400.0;
// The play of the worm gears of these mounts, degrees: what is taken up on a reversal.
constexpr double kGearPlay = 0.03;

struct Exchanged {
    std::string reply;
    double sentAt = 0.0, doneAt = 0.0;
    bool complete = false;
};

// Sends `command` (after dropping anything stale) and collects the reply until `done` says it is
// whole, for at most kReplySeconds. Ends early on a stop or a dead line.
template <typename Done>
Exchanged Exchange(SerialLink& link, Clock& clock, std::string_view command, Done done) {
    Exchanged e;
    (void)link.ReadWaiting();
    e.sentAt = clock.MonotonicSeconds();
    if (!link.SendCommand(command)) return e;
    while (clock.MonotonicSeconds() - e.sentAt < kReplySeconds) {
        if (!link.Wait(kPollMs) || link.LineFailed()) break;
        e.reply += link.ReadWaiting();
        if (done(e.reply)) {
            e.complete = true;
            break;
        }
    }
    e.doneAt = clock.MonotonicSeconds();
    return e;
}

// When the mount read the position it answers with.
double ReadTime(const Exchanged& e, std::string_view query) {
    return ReadingTime(e.sentAt, static_cast<double>(query.size()) * kByteSeconds, e.doneAt);
}

// The mount's own delay in an exchange: the round trip less the reply's time on the line.
double ShownLatency(const Exchanged& e) {
    return e.doneAt - e.sentAt - static_cast<double>(e.reply.size()) * kByteSeconds;
}

// The hour angle, degrees in [-180, 180), of a right ascension at a local sidereal time (hours).
double HourAngle(double localSiderealHours, double raHours) {
    return AngleGap((localSiderealHours - raHours) * 15.0, 0.0);
}

enum class NexStarKind { AltAz, Wedge, Cge };

class NexStarDialect final : public RateDialect {
public:
    NexStarDialect(NexStarKind kind, SerialLink& link, Clock& clock)
        : kind_(kind), link_(link), clock_(clock) {}

    std::string Name() const override {
        return kind_ == NexStarKind::AltAz   ? "NexStar GPS Alt-Az"
               : kind_ == NexStarKind::Wedge ? "NexStar GPS EQ"
                                             : "CGE";
    }
    PredictiveLimits Limits() const override {
        PredictiveLimits l;
        l.rateCap1 = l.rateCap2 = kNexStarMaxRate / kNexStarUnitsPerDegree;
        l.rateStep1 = l.rateStep2 = 1.0 / kNexStarUnitsPerDegree;
        l.resolution = 360.0 / 16777216.0;
        l.backlash = kGearPlay;
        l.acceleration = kind_ == NexStarKind::Cge ? 3.0 : 2.0;  // the motors, as published
        l.initialLatency = 0.1;
        return l;
    }
    double GotoRate() const override { return kind_ == NexStarKind::Cge ? 5.0 : 4.0; }
    std::optional<bool> PierFlipped() const override {
        return kind_ == NexStarKind::Cge ? std::optional<bool>(west_) : std::nullopt;
    }
    bool AltAz() const override { return kind_ == NexStarKind::AltAz; }

    AxisPair AxesOf(const CycleTarget& t) const override {
        if (kind_ == NexStarKind::AltAz) return {t.azimuthDeg, t.elevationDeg};
        return {HourAngle(t.localSiderealHours, t.raHours), t.decDegrees};
    }

    bool Read(const Site& site, MountReading& reading) override {
        const Exchanged e = Exchange(link_, clock_, "e", [](const std::string& r) { return r.size() >= 18; });
        const auto p = e.complete ? ParseNexStarPrecisePositionReply(e.reply) : std::nullopt;
        if (!p) {
            link_.AuditLog("Predictive: no valid position in >" + BracketedBytes(e.reply) + "<");
            return false;
        }
        reading.at = ReadTime(e, "e");
        reading.latency = ShownLatency(e);
        const double utc = UtcNow(clock_, site) - (clock_.MonotonicSeconds() - reading.at) / 86400.0;
        const double lst = LocalSiderealHoursAt(utc, site.longitude);
        if (kind_ == NexStarKind::AltAz) {
            HorizontalFromEquatorial(p->raHours, p->decDegrees, lst, site.latitude, reading.axes.a1,
                                     reading.axes.a2);
        } else {
            reading.axes = {HourAngle(lst, p->raHours), p->decDegrees};
        }
        return true;
    }

    bool SendRates(const AxisPair& rates, double& latency) override {
        latency = -1.0;
        // On the west side of the pier the declination motor turns against the declination.
        const double sense2 = kind_ == NexStarKind::Cge && west_ ? -1.0 : 1.0;
        const int units[2] = {ClampNexStarRate(std::llround(rates.a1 * kNexStarUnitsPerDegree)),
                              ClampNexStarRate(std::llround(rates.a2 * sense2 * kNexStarUnitsPerDegree))};
        const int motors[2] = {kNexStarAzimuthMotor, kNexStarAltitudeMotor};
        for (int i = 0; i < 2; ++i) {
            const Exchanged e = Exchange(link_, clock_, NexStarRateCommand(motors[i], units[i]),
                                         [](const std::string& r) { return !r.empty() && r.back() == '#'; });
            if (e.sentAt == e.doneAt && !e.complete) return false;
            if (e.complete && i == 0) latency = ShownLatency(e);
        }
        if (trackingOn_) {
            // The variable rates replace the mount's own tracking from here on.
            (void)Exchange(link_, clock_, NexStarTrackingModeCommand(0),
                           [](const std::string& r) { return !r.empty() && r.back() == '#'; });
            trackingOn_ = false;
        }
        return true;
    }

    GotoReply Goto(const CycleTarget& t) override {
        const Exchanged e = Exchange(link_, clock_, NexStarPreciseGotoCommand(t.raHours, t.decDegrees),
                                     [](const std::string& r) { return !r.empty() && r.back() == '#'; });
        if (!e.complete) return GotoReply::kNotSent;
        trackingOn_ = true;
        // A German mount takes the side of the pier that keeps the tube above the counterweight:
        // west of the pier for an object west of the meridian. Read back once the goto has ended.
        west_ = MeridianSide(t.azimuthDeg) == 1;
        return GotoReply::kStarted;
    }

    int GotoFinished() override {
        const Exchanged e = Exchange(link_, clock_, "L", [](const std::string& r) { return r.size() >= 2; });
        if (!e.complete || e.reply.size() != 2 || e.reply[1] != '#') return -1;
        if (e.reply[0] != '0') return e.reply[0] == '1' ? 0 : -1;
        if (kind_ == NexStarKind::Cge) {
            const Exchanged side =
                Exchange(link_, clock_, "p", [](const std::string& r) { return r.size() >= 2; });
            if (side.complete && side.reply == "W#") west_ = true;
            if (side.complete && side.reply == "E#") west_ = false;
        }
        return 1;
    }

private:
    NexStarKind kind_;
    SerialLink& link_;
    Clock& clock_;
    bool west_ = false;
    bool trackingOn_ = true;  // the mount's own tracking, on after a goto
};

class Lx200GpsDialect final : public RateDialect {
public:
    Lx200GpsDialect(bool altAz, unsigned char degChar, SerialLink& link, Clock& clock)
        : altAz_(altAz), degChar_(degChar), link_(link), clock_(clock) {}

    std::string Name() const override { return altAz_ ? "LX200GPS Alt-Az" : "LX200GPS polar"; }
    PredictiveLimits Limits() const override {
        PredictiveLimits l;
        l.rateCap1 = l.rateCap2 = 8.0;
        l.rateStep1 = l.rateStep2 = 0.001;  // "#:RA0.000#"
        // Long format: arcseconds, but the polar right ascension only to a second of time.
        l.resolution = altAz_ ? 1.0 / 3600.0 : 15.0 / 3600.0;
        l.initialLatency = 0.05;
        l.backlash = kGearPlay;
        l.acceleration = 5.0;  // the motors, as published
        return l;
    }
    double GotoRate() const override { return 8.0; }
    bool AltAz() const override { return altAz_; }

    // Polar: the hour angle, the angle the polar axis turns through, so that the play of its
    // gears follows the axis's own motion.
    AxisPair AxesOf(const CycleTarget& t) const override {
        if (altAz_) return {t.azimuthDeg, t.elevationDeg};
        return {HourAngle(t.localSiderealHours, t.raHours), t.decDegrees};
    }

    bool Read(const Site& site, MountReading& reading) override {
        const Exchanged e = Exchange(link_, clock_, altAz_ ? kGetAltAz : kGetDecRa,
                                     [](const std::string& r) { return PositionReplyComplete(r); });
        const auto p = altAz_ ? ParseAltAzReply(e.reply) : ParseDecRaReply(e.reply);
        if (!e.complete || !p) {
            link_.AuditLog("Predictive: no valid position in >" + e.reply + "<");
            return false;
        }
        reading.at = ReadTime(e, altAz_ ? kGetAltAz : kGetDecRa);
        reading.latency = ShownLatency(e);
        if (altAz_) {
            reading.axes = AxisPair{p->second, p->first};
        } else {
            const double utc = UtcNow(clock_, site) - (clock_.MonotonicSeconds() - reading.at) / 86400.0;
            reading.axes =
                AxisPair{HourAngle(LocalSiderealHoursAt(utc, site.longitude), p->second), p->first};
        }
        return true;
    }

    bool SendRates(const AxisPair& rates, double& latency) override {
        latency = -1.0;
        // Polar: the mount tracks the sky while it moves, so the move shifts the right ascension
        // by the sky's rate less the hour angle's.
        const double a1 = altAz_ ? rates.a1 : kSiderealDegreesPerSecond - rates.a1;
        // The rate commands carry magnitudes; the move commands give the senses.
        return link_.SendCommand(AxisRateCommand(false, rates.a2)) &&
               link_.SendCommand(AxisRateCommand(true, a1)) && link_.SendCommand(MoveCommand(a1, rates.a2));
    }

    GotoReply Goto(const CycleTarget& t) override {
        if (!link_.SendCommand(kStop) || !link_.Wait(100)) return GotoReply::kNotSent;
        const Exchanged set = Exchange(link_, clock_, SetTargetCommand(t.raHours, t.decDegrees, degChar_),
                                       [](const std::string& r) { return r.size() >= 2; });
        if (!set.complete) return GotoReply::kNotSent;
        const Exchanged slew = Exchange(link_, clock_, kSlew, [](const std::string& r) {
            return r == "0" || (!r.empty() && r.back() == '#');
        });
        if (!slew.complete) return GotoReply::kNotSent;
        return slew.reply == "0" ? GotoReply::kStarted : GotoReply::kRefused;
    }

    int GotoFinished() override {
        const Exchanged e = Exchange(link_, clock_, kDistanceBarsBare,
                                     [](const std::string& r) { return r.find('#') != std::string::npos; });
        if (!e.complete) return -1;
        return HasBars(e.reply) ? 0 : 1;
    }

private:
    bool altAz_;
    unsigned char degChar_;
    SerialLink& link_;
    Clock& clock_;
};

// The LX200, LX200 Compatible and Gemini: gotos ("#:Sr", "#:Sd", "#:MS#" in one write) and the
// long-format "#:GD#:GR#" position.
class Lx200GotoDialect final : public GotoDialect {
public:
    Lx200GotoDialect(unsigned char degChar, SerialLink& link, Clock& clock)
        : degChar_(degChar), link_(link), clock_(clock) {}

    bool Read(const Site& site, MountReading& reading) override {
        const Exchanged e =
            Exchange(link_, clock_, kGetDecRa, [](const std::string& r) { return PositionReplyComplete(r); });
        const auto p = ParseDecRaReply(e.reply);
        if (!e.complete || !p) {
            link_.AuditLog("Predictive: no valid position in >" + e.reply + "<");
            return false;
        }
        reading.at = ReadTime(e, kGetDecRa);
        reading.latency = ShownLatency(e);
        const double utc = UtcNow(clock_, site) - (clock_.MonotonicSeconds() - reading.at) / 86400.0;
        HorizontalFromEquatorial(p->second, p->first, LocalSiderealHoursAt(utc, site.longitude),
                                 site.latitude, reading.axes.a1, reading.axes.a2);
        return true;
    }

    GotoReply Aim(const CycleTarget& t) override {
        const Exchanged e =
            Exchange(link_, clock_, SetTargetAndSlewCommand(t.raHours, t.decDegrees, true, degChar_),
                     [](const std::string& r) { return SetAndSlewReplyComplete(r); });
        if (e.reply.size() < 3) return GotoReply::kNotSent;
        // The slew's own reply follows the two set acknowledgements: "0" starts the goto; a
        // refusal ("1" or "2", with the mount's message or, on some firmware, bare) does not.
        const std::string slew = e.reply.substr(2);
        if (slew == "0") return GotoReply::kStarted;
        return IsSlewReply(slew) || ReplyRefusesSlew(slew) ? GotoReply::kRefused : GotoReply::kNotSent;
    }

private:
    unsigned char degChar_;
    SerialLink& link_;
    Clock& clock_;
};

}  // namespace

std::unique_ptr<GotoDialect> MakeGotoDialect(ScopeType type, const TrackingSettings& settings,
                                             SerialLink& link, Clock& clock) {
    switch (type) {
        case ScopeType::LX200:
        case ScopeType::AP:
        case ScopeType::GEMINI:
            return std::make_unique<Lx200GotoDialect>(settings.degChar, link, clock);
        default:
            return nullptr;
    }
}

std::unique_ptr<RateDialect> MakeRateDialect(ScopeType type, const TrackingSettings& settings,
                                             SerialLink& link, Clock& clock) {
    switch (type) {
        case ScopeType::NEXSTARGPS:
            return std::make_unique<NexStarDialect>(
                settings.ngpsMount == 1 ? NexStarKind::AltAz : NexStarKind::Wedge, link, clock);
        case ScopeType::CGE:
            return std::make_unique<NexStarDialect>(NexStarKind::Cge, link, clock);
        case ScopeType::LX200GPS:
            return std::make_unique<Lx200GpsDialect>(settings.lgpsMount == 1, settings.degChar, link, clock);
        default:
            return nullptr;
    }
}

}  // namespace corvane
