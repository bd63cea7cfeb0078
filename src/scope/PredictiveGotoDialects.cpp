// The goto-only mounts as the predictive leap frog sees them: the LX200 family and the AutoStars
// by LX200 commands (the target set, the slew, "#:GD#:GR#" for the position, the distance bars
// or the position for the end of a goto), the Ultima 2000 and the NexStar 5/8 by the NexStar
// gotos, "E" for the position and "L" for the end of a goto.
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "core/Clock.h"
#include "scope/Lx200Codec.h"
#include "scope/NexStarCodec.h"
#include "scope/PredictiveLeapFrog.h"
#include "scope/ReplyCheck.h"
#include "scope/SerialLink.h"

namespace corvane {

namespace {

// How often a reply is looked for, milliseconds.
constexpr int kLookMs = 5;

// Sends `command` (after dropping anything stale) and gathers the reply for at most `waitMs`,
// until `whole` accepts it. Returns the reply and whether it is whole; empty when the write was
// refused (a stop, a dead line).
std::pair<std::string, bool> Query(SerialLink& link, std::string_view command, int waitMs,
                                   bool (*whole)(std::string_view)) {
    (void)link.ReadWaiting();
    std::string reply;
    if (!link.SendCommand(command)) return {reply, false};
    for (int waited = 0; waited < waitMs; waited += kLookMs) {
        if (!link.Wait(kLookMs) || link.LineFailed()) break;
        reply += link.ReadWaiting();
        if (whole(reply)) return {reply, true};
    }
    return {reply, false};
}

bool EndsWithHash(std::string_view r) { return !r.empty() && r.back() == '#'; }
// A set command's acknowledgement.
bool SetAnswered(std::string_view r) { return r == "1" || r == "0"; }

enum class Lx200Kind { Lx200, Compatible, Gemini, AutoStar494, AutoStar497 };

class Lx200LeapDialect final : public LeapDialect {
public:
    Lx200LeapDialect(Lx200Kind kind, unsigned char degChar, SerialLink& link)
        : kind_(kind), degChar_(degChar), link_(link) {}

    std::string Name() const override {
        switch (kind_) {
            case Lx200Kind::Lx200:
                return "LX200";
            case Lx200Kind::Compatible:
                return "LX200 Compatible";
            case Lx200Kind::Gemini:
                return "Gemini";
            case Lx200Kind::AutoStar494:
                return "AutoStar #494";
            default:
                return "AutoStar #497";
        }
    }
    double GotoRate() const override {
        return kind_ == Lx200Kind::Lx200 ? 8.0 : kind_ == Lx200Kind::AutoStar494 ? 3.0 : 4.0;
    }
    double Lead(int slider) const override {
        // The AutoStars' fixed leads (no setting) only guessed how long their gotos take,
        // which is measured here instead; they rest two seconds (the #497's lead beyond its base).
        if (AutoStar()) return 0.0;
        return 1.2 + Lx200Lead(std::clamp(slider, 1, 5));
    }
    double Rest() const override { return AutoStar() ? 2.0 : 1.0; }
    // The LX200 family tracks continuously at the slider's Continuous end; the AutoStars always leap.
    bool Leaps(int slider) const override { return AutoStar() || slider != 0; }
    int PollMs() const override { return kind_ == Lx200Kind::AutoStar494 ? 250 : 150; }

    bool Read(double& raHours, double& decDegrees) override {
        const auto [reply, whole] = Query(link_, AutoStar497() ? ":GD#:GR#" : kGetDecRa, 1000,
                                          [](std::string_view r) { return DecRaReplyComplete(r); });
        const auto p = whole ? ParseDecRaReply(reply) : std::nullopt;
        Heard(reply, p.has_value());
        if (!p) {
            link_.AuditLog("Predictive: no valid position in >" + reply + "<");
            return false;
        }
        raHours = p->second;
        decDegrees = p->first;
        return true;
    }

    GotoReply Goto(const CycleTarget& t, std::string& reply) override {
        firstRead_.reset();
        lastRead_.reset();
        moved_ = false;
        bool whole = false;
        if (!AutoStar()) {
            // Target and slew in one write, as the standard engine sends them (long format:
            // the aim point to the arcsecond).
            std::tie(reply, whole) =
                Query(link_, SetTargetAndSlewCommand(t.raHours, t.decDegrees, true, degChar_), 1000,
                      SetAndSlewReplyComplete);
            if (reply.size() > 2) reply = reply.substr(2);
        } else {
            // The AutoStars take the stop, the two set commands (each tried once more when not
            // acknowledged) and the slew one by one; the #494 needs its pause before the slew.
            const bool a494 = kind_ == Lx200Kind::AutoStar494;
            if (!link_.SendCommand(kStop) || !link_.Wait(a494 ? 500 : 50)) return GotoReply::kNotSent;
            for (const std::string& set :
                 {SetRaCommand(t.raHours, true, a494), SetDecCommand(t.decDegrees, true, degChar_, a494)}) {
                auto answer = Query(link_, set, 1000, SetAnswered);
                if (answer.first != "1") answer = Query(link_, set, 1000, SetAnswered);
                Heard(answer.first, answer.second);
                if (!answer.second) return GotoReply::kNotSent;
            }
            if (a494 && !link_.Wait(1500)) return GotoReply::kNotSent;
            std::tie(reply, whole) = Query(link_, a494 ? kSlew : ":MS#", 1000, SlewReplyComplete);
        }
        // A bare "1" or "2" (some firmware) refuses as well as one with the mount's message.
        const bool started = reply == "0", refused = IsSlewReply(reply) && !started && !reply.empty();
        Heard(reply, started || refused);
        return started ? GotoReply::kStarted : refused ? GotoReply::kRefused : GotoReply::kNotSent;
    }

    int GotoFinished(const CycleTarget& t) override {
        if (kind_ == Lx200Kind::Compatible || kind_ == Lx200Kind::Gemini) {
            // These show no bars worth reading: the goto has ended once the mount is on the
            // target, or has moved and come to rest (a mount whose model of the sky puts it a
            // little beside the target is not waited for until the goto is given up).
            double ra = 0, dec = 0;
            if (!Read(ra, dec)) return -1;
            const bool near = Degrees(ra, dec, t.raHours, t.decDegrees) < kOnTarget;
            const bool still = lastRead_ && Degrees(ra, dec, lastRead_->first, lastRead_->second) < kStill;
            if (!firstRead_) firstRead_ = {ra, dec};
            moved_ = moved_ || Degrees(ra, dec, firstRead_->first, firstRead_->second) > kMoved;
            lastRead_ = {ra, dec};
            return near || (moved_ && still) ? 1 : 0;
        }
        const auto [reply, whole] = Query(link_, AutoStar497() ? kDistanceBarsBare : kDistanceBars, 1000,
                                          [](std::string_view r) { return EndsWithHash(r); });
        Heard(reply, whole && IsPlausibleBarsReply(reply));
        if (!whole || !IsPlausibleBarsReply(reply)) return -1;
        return HasBars(reply) ? 0 : 1;
    }

private:
    bool AutoStar497() const { return kind_ == Lx200Kind::AutoStar497; }
    bool AutoStar() const { return kind_ == Lx200Kind::AutoStar494 || AutoStar497(); }
    // The angle between two places given by RA (hours) and Dec, degrees (small angles).
    static double Degrees(double ra1, double dec1, double ra2, double dec2) {
        const double raGap =
            AngleGap(ra1 * 15.0, ra2 * 15.0) * std::cos(dec2 * 3.14159265358979323846 / 180.0);
        return std::hypot(raGap, dec1 - dec2);
    }
    // Degrees from the target at which a mount without bars counts as arrived; how far it must
    // have gone to have moved, and how little between two readings to be at rest.
    static constexpr double kOnTarget = 0.02, kMoved = 0.1, kStill = 0.005;
    // The goto under way: the first and the last position read, and whether it has moved.
    std::optional<std::pair<double, double>> firstRead_, lastRead_;
    bool moved_ = false;
    Lx200Kind kind_;
    unsigned char degChar_;
    SerialLink& link_;
};

// The Ultima 2000 (hexadecimal gotos, its lines ended by the link) and the NexStar 5/8 (byte-coded
// gotos; deaf for a moment after each command, so commands keep their distance).
class EarlyNexStarLeapDialect final : public LeapDialect {
public:
    EarlyNexStarLeapDialect(bool ultima, SerialLink& link, Clock& clock)
        : ultima_(ultima), link_(link), clock_(clock) {}

    std::string Name() const override { return ultima_ ? "Ultima 2000" : "NexStar 5/8"; }
    double GotoRate() const override { return 3.0; }
    double Lead(int slider) const override {
        return 1.8 * (ultima_ ? UltimaLead(slider) : NexStar58Lead(slider));
    }
    int PollMs() const override { return 300; }

    bool Read(double& raHours, double& decDegrees) override {
        Pace();
        const auto [reply, whole] =
            Query(link_, "E", 1000, [](std::string_view r) { return r.size() >= 10; });
        const NexStarReply p = ParseNexStarPositionReply(reply);
        const bool valid = whole && p.error == NexStarReplyError::None && reply.back() == '#';
        Heard(reply, valid);
        if (!valid) {
            link_.AuditLog("Predictive: no valid position in >" + BracketedBytes(reply) + "<");
            return false;
        }
        raHours = p.position.raHours;
        decDegrees = p.position.decDegrees;
        return true;
    }

    GotoReply Goto(const CycleTarget& t, std::string& reply) override {
        // The cancel the standard engine sends before each goto, and its pause.
        Pace();
        if (!link_.SendCommand(ultima_ ? "M" : "?") || !link_.Wait(ultima_ ? 300 : 800))
            return GotoReply::kNotSent;
        Pace();
        const std::string command = ultima_ ? NexStarGotoCommand(t.raHours, t.decDegrees)
                                            : NexStarByteGotoCommand(t.raHours, t.decDegrees);
        (void)link_.ReadWaiting();
        if (!link_.SendCommand(command)) return GotoReply::kNotSent;
        // The mount promises no answer to a goto: silence is no fault.
        if (!link_.Wait(300)) return GotoReply::kNotSent;
        reply = link_.ReadWaiting();
        Heard(reply, reply.empty() || IsNexStarShortReply(reply));
        return GotoReply::kStarted;
    }

    int GotoFinished(const CycleTarget&) override {
        Pace();
        const auto [reply, whole] = Query(link_, "L", 1000, [](std::string_view r) {
            return r.size() >= 2 && r.back() == '#' && r[r.size() - 2] != '#';
        });
        Heard(reply, whole && IsNexStarShortReply(reply));
        if (!whole || !IsNexStarShortReply(reply)) return -1;
        return reply[reply.size() - 2] == '0' ? 1 : 0;
    }

private:
    // Leaves the NexStar 5/8 the time it is deaf after a command.
    void Pace() {
        constexpr double kDeafSeconds = 0.3;
        const double since = clock_.MonotonicSeconds() - link_.LastWriteSeconds();
        if (!ultima_ && since < kDeafSeconds)
            (void)link_.Wait(static_cast<int>(std::ceil((kDeafSeconds - since) * 1000)));
    }
    bool ultima_;
    SerialLink& link_;
    Clock& clock_;
};

}  // namespace

std::unique_ptr<LeapDialect> MakeLeapDialect(ScopeType type, const TrackingSettings& settings,
                                             SerialLink& link, Clock& clock) {
    const unsigned char degChar = settings.degChar;
    switch (type) {
        case ScopeType::LX200:
            return std::make_unique<Lx200LeapDialect>(Lx200Kind::Lx200, degChar, link);
        case ScopeType::AP:
            return std::make_unique<Lx200LeapDialect>(Lx200Kind::Compatible, degChar, link);
        case ScopeType::GEMINI:
            return std::make_unique<Lx200LeapDialect>(Lx200Kind::Gemini, degChar, link);
        case ScopeType::ETX494:
            return std::make_unique<Lx200LeapDialect>(Lx200Kind::AutoStar494, degChar, link);
        case ScopeType::ETX497:
            return std::make_unique<Lx200LeapDialect>(Lx200Kind::AutoStar497, degChar, link);
        case ScopeType::ULTIMA:
            return std::make_unique<EarlyNexStarLeapDialect>(true, link, clock);
        case ScopeType::NEXSTAR:
            return std::make_unique<EarlyNexStarLeapDialect>(false, link, clock);
        default:
            return nullptr;
    }
}

}  // namespace corvane
