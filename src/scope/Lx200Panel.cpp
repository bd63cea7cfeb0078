#include "scope/Lx200Panel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/Text.h"
#include "scope/Lx200Codec.h"

namespace corvane {

namespace {

constexpr char kMountDegree = '\xDF';
constexpr char kShownDegree = '\xB0';

std::string Digits(long long value, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld", width, value);
    return text;
}

std::string StripHashes(std::string_view reply) {
    size_t begin = 0, end = reply.size();
    while (begin < end && reply[begin] == '#') ++begin;
    while (end > begin && reply[end - 1] == '#') --end;
    return std::string(reply.substr(begin, end - begin));
}

std::string Shown(std::string_view reply) {
    std::string text = StripHashes(reply);
    std::replace(text.begin(), text.end(), kMountDegree, kShownDegree);
    return text;
}

// The leading whole number of a text, nothing when it has none.
std::optional<int> LeadingWhole(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t signAt = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    return LeadingInt(text.substr(signAt));
}

// The digits just before the last "#" (or the end): the minutes of a site coordinate.
int TrailingMinutes(std::string_view reply) {
    size_t end = reply.find('#');
    if (end == std::string_view::npos) end = reply.size();
    size_t begin = end;
    while (begin > 0 && end - begin < 2 && std::isdigit(static_cast<unsigned char>(reply[begin - 1])))
        --begin;
    if (begin == end) return 0;
    return std::clamp(LeadingInt(reply.substr(begin, end - begin)), 0, 59);
}

int Count(std::string_view text, char c) { return static_cast<int>(std::count(text.begin(), text.end(), c)); }

std::string Exchange(SerialLink& link, std::string_view command) {
    link.SendCommand(command);
    return link.ReadReply();
}

bool Accepted(std::string_view reply) { return LeadingWhole(reply).value_or(-1) == 1; }

}  // namespace

// ---- texts ----

std::string FindTypeString(const std::array<bool, 5>& included) {
    std::string types(kFindTypeLetters);
    for (size_t i = 0; i < types.size(); ++i) {
        if (!included[i]) types[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(types[i])));
    }
    return types;
}

std::optional<int> QualityFromReply(std::string_view reply) {
    static constexpr std::string_view kCodes[] = {"SU", "EX", "VG", "GD", "FR", "PR", "VP"};
    for (int i = 0; i < 7; ++i) {
        if (reply.find(kCodes[i]) != std::string_view::npos) return i;
    }
    return std::nullopt;
}

int QualityFromChoice(std::string_view choice) {
    const std::string upper = ToUpper(choice);
    // DEPARTURE: "Very Poor" is 6. Read by its first two letters alone, "VE", it would be taken
    // for "Very Good" and the search would drop every fair and poor object.
    if (upper.compare(0, 6, "VERY P") == 0) return 6;
    static constexpr std::pair<std::string_view, int> kChoices[] = {{"SU", 0},   {"EX", 1}, {"VE", 2},
                                                                    {"GOOD", 3}, {"FA", 4}, {"PO", 5}};
    for (const auto& [prefix, index] : kChoices) {
        if (upper.compare(0, prefix.size(), prefix) == 0) return index;
    }
    return 6;
}

int QualitySteps(int current, int target) {
    current = std::clamp(current, 0, 6);
    target = std::clamp(target, 0, 6);
    return current <= target ? target - current : 7 - current + target;
}

std::string MagnitudeText(double magnitude) {
    if (!std::isfinite(magnitude)) magnitude = 0.0;
    const long long tenths = std::llround(std::clamp(magnitude, -99.9, 99.9) * 10.0);
    const long long size = tenths < 0 ? -tenths : tenths;
    const std::string body = Digits(size / 10, 2) + "." + std::to_string(size % 10);
    if (tenths > 0) return "+" + body;
    if (tenths < 0) return "-" + body;
    return body;
}

std::string LibraryCommand(LibraryKind kind, int number) {
    const char* prefix = kind == LibraryKind::Messier ? "#:LM "
                         : kind == LibraryKind::Star  ? "#:LS "
                                                      : "#:LC ";
    return prefix + Digits(std::clamp(number, 0, 9999), 4) + "#";
}

std::string PlanetCommand(int planetIndex) {
    return "#:LS " + Digits(901 + std::clamp(planetIndex, 0, 8), 4) + "#";
}

std::string InformationText(std::string_view reply) {
    std::string text = Shown(reply);
    const size_t mag = text.find("MAG");
    if (mag == std::string::npos || text.find("SZ") == std::string::npos) return text;
    return TrimRight(text.substr(0, mag)) + "\n" + text.substr(mag, 40);
}

std::string RaReadoutText(std::string_view reply) {
    if (reply.size() <= 4) return kRaNotAvailable;
    return "  R.A.:  " + Shown(reply);
}

std::string DecReadoutText(std::string_view reply) {
    if (reply.find(kMountDegree) == std::string_view::npos) return kDecNotAvailable;
    return "   DEC: " + Shown(reply);
}

PanelBars BarsFromReply(std::string_view reply) {
    if (const auto halves = ParseDistanceBars(reply)) {
        return PanelBars{std::min(16, Count(halves->ra, kBarByte)),
                         std::min(16, Count(halves->dec, kBarByte))};
    }
    const int bars = std::min(16, Count(reply, kBarByte));
    return PanelBars{bars, bars};
}

char SiteLetter(int entry) { return static_cast<char>(76 + std::clamp(entry, 1, 4)); }

PanelSite SiteFromReplies(std::string_view name, std::string_view utcOffset, std::string_view latitude,
                          std::string_view longitude) {
    PanelSite site;
    site.name = StripHashes(name).substr(0, 3);
    if (LeadingWhole(utcOffset)) {
        site.utcOffset = std::clamp(static_cast<int>(std::lround(LeadingNumber(utcOffset))), -12, 12);
    }
    if (latitude.size() >= 3 && LeadingWhole(latitude.substr(0, 3))) {
        site.south = latitude[0] == '-';
        site.latitudeDegrees = std::clamp(std::abs(LeadingInt(latitude.substr(0, 3))), 0, 90);
        site.latitudeMinutes = site.latitudeDegrees == 90 ? 0 : TrailingMinutes(latitude);
    }
    if (longitude.size() >= 3 && LeadingWhole(longitude.substr(0, 3))) {
        site.longitudeDegrees = std::clamp(LeadingInt(longitude.substr(0, 3)), 0, 359);
        site.longitudeMinutes = TrailingMinutes(longitude);
    }
    return site;
}

std::array<std::string, 4> SiteCommands(int entry, const PanelSite& site) {
    const int offset = std::clamp(site.utcOffset, -12, 12);
    const std::string offsetText = (offset < 0 ? "-" : "+") + Digits(std::abs(offset), 2);
    const std::string latitude = (site.south ? "-" : "+") +
                                 Digits(std::clamp(site.latitudeDegrees, 0, 90), 2) + kMountDegree +
                                 Digits(std::clamp(site.latitudeMinutes, 0, 59), 2);
    const std::string longitude = Digits(std::clamp(site.longitudeDegrees, 0, 359), 3) + kMountDegree +
                                  Digits(std::clamp(site.longitudeMinutes, 0, 59), 2);
    return {std::string("#:S") + SiteLetter(entry) + " " + site.name.substr(0, 3) + "#",
            "#:SG " + offsetText + "#", "#:St " + latitude + "##", "#:Sg " + longitude + "#"};
}

std::string SetDateCommand(double localJulianDate) {
    const CivilInstant at = CivilFromJulianDateMs(localJulianDate);
    return "#:SC " + Digits(at.date.month, 2) + "/" + Digits(at.date.day, 2) + "/" +
           Digits(((at.date.year % 100) + 100) % 100, 2) + "#";
}

std::string SetTimeCommand(double localJulianDate) {
    const long long s = CivilFromJulianDateMs(localJulianDate).millisecondOfDay / 1000;
    return "#:SL " + Digits(s / 3600, 2) + ":" + Digits(s / 60 % 60, 2) + ":" + Digits(s % 60, 2) + "#";
}

// ---- exchanges ----

bool PanelConnected(SerialLink& link) { return link.ConnectedPort() != 0; }

void SetPanelRate(SerialLink& link, PanelRate rate) {
    if (!PanelConnected(link)) return;
    static constexpr std::string_view kRates[] = {"#:RS#", "#:RM#", "#:RC#", "#:RG#"};
    link.SendCommand(kRates[static_cast<int>(rate)]);
}

void StartPanelMove(SerialLink& link, PanelDirection direction) {
    if (!PanelConnected(link)) return;
    static constexpr std::string_view kMoves[] = {"#:Mn#", "#:Ms#", "#:Mw#", "#:Me#"};
    link.SendCommand(kMoves[static_cast<int>(direction)]);
}

void StopPanelMoves(SerialLink& link) {
    if (!PanelConnected(link)) return;
    link.SendCommand(kPanelStopMoves);
}

void SyncToObject(SerialLink& link) {
    if (!PanelConnected(link)) return;
    (void)Exchange(link, kSync);
}

PanelReadout ReadPanelPointing(SerialLink& link, bool searchArmed) {
    PanelReadout out;
    if (!PanelConnected(link)) return out;
    out.raText = RaReadoutText(Exchange(link, "#:GR#"));
    out.decText = DecReadoutText(Exchange(link, "#:GD#"));
    if (searchArmed) out.bars = BarsFromReply(Exchange(link, kDistanceBars));
    return out;
}

SlewResult SlewToObject(SerialLink& link) {
    SlewResult out;
    if (!PanelConnected(link)) return out;
    out.sent = link.SendCommand(kSlew);
    out.reply = link.ReadReply();
    out.belowHorizon = ReplyRefusesSlew(out.reply);
    // A refusal goes on with a message ending in "#"; take it off the line as well.
    if (!out.reply.empty() && out.reply[0] != '0' && out.reply.back() != '#') (void)link.ReadReply();
    return out;
}

std::optional<PanelTarget> ReadPanelTarget(SerialLink& link) {
    if (!PanelConnected(link)) return std::nullopt;
    const std::string ra = Exchange(link, "#:Gr#");
    if (ra.empty()) return std::nullopt;
    return PanelTarget{RaReadoutText(ra), DecReadoutText(Exchange(link, "#:Gd#"))};
}

std::string LookUpObject(SerialLink& link, LibraryKind kind, int number) {
    if (!PanelConnected(link)) return {};
    link.SendCommand(LibraryCommand(kind, number));
    return InformationText(Exchange(link, "#:LI#"));
}

std::string LookUpPlanet(SerialLink& link, int planetIndex) {
    if (!PanelConnected(link)) return {};
    link.SendCommand(PlanetCommand(planetIndex));
    return InformationText(Exchange(link, "#:LI#"));
}

std::string NextFoundObject(SerialLink& link, bool previous) {
    if (!PanelConnected(link)) return {};
    link.SendCommand(previous ? "#:LB#" : "#:LN#");
    return InformationText(Exchange(link, "#:LI#"));
}

FindResult RunFindSearch(SerialLink& link, const FindFilters& f) {
    FindResult out;
    if (!PanelConnected(link)) return out;
    out.sent = true;
    auto step = [&](int number, const std::string& command) {
        if (!Accepted(Exchange(link, command)) && out.failedStep == 0) out.failedStep = number;
    };
    step(1, "#:Sy " + FindTypeString(f.types) + "#");
    step(2, "#:Lo " + std::to_string(std::clamp(f.catalog, 0, 2)) + "#");
    // An unreadable quality leaves the mount's limit as it is: stepping blindly would set
    // another limit than the one chosen.
    if (const auto current = QualityFromReply(Exchange(link, "#:Gq#"))) {
        out.qualitySteps = QualitySteps(*current, f.quality);
        for (int i = 0; i < out.qualitySteps; ++i) link.SendCommand("#:Sq#");
    }
    step(3, "#:Sh " + std::to_string(f.higher) + "#");
    step(4, "#:Sl " + std::to_string(f.larger) + "#");
    step(5, "#:Ss " + std::to_string(f.smaller) + "#");
    step(6, "#:Sb " + MagnitudeText(f.brighter) + "#");
    step(7, "#:Sf " + MagnitudeText(f.fainter) + "#");
    link.SendCommand("#:LF#");
    out.information = InformationText(Exchange(link, "#:LI#"));
    return out;
}

std::optional<PanelSite> ReadPanelSite(SerialLink& link, int entry) {
    if (!PanelConnected(link)) return std::nullopt;
    entry = std::clamp(entry, 1, 4);
    link.SendCommand("#:W" + std::to_string(entry) + "#");
    const std::string name = Exchange(link, std::string("#:G") + SiteLetter(entry) + "#");
    const std::string offset = Exchange(link, "#:GG#");
    const std::string latitude = Exchange(link, "#:Gt#");
    const std::string longitude = Exchange(link, "#:Gg#");
    return SiteFromReplies(name, offset, latitude, longitude);
}

bool SavePanelSite(SerialLink& link, int entry, const PanelSite& site) {
    if (!PanelConnected(link)) return false;
    bool all = true;
    for (const std::string& command : SiteCommands(entry, site))
        all = Accepted(Exchange(link, command)) && all;
    return all;
}

bool SetPanelDateTime(SerialLink& link, const Clock& clock) {
    if (!PanelConnected(link)) return false;
    const double now = clock.LocalJulianDate();
    std::string date = Exchange(link, SetDateCommand(now));
    // A mount that takes the date goes on with "Updating Planetary Data#" and a line of blanks;
    // they must not pass for the answer to the time.
    for (int i = 0; i < 5 && Accepted(date) && Count(date, '#') < 2; ++i) {
        if (!link.Wait(100)) break;
        date += link.ReadWaiting();
    }
    const std::string time = Exchange(link, SetTimeCommand(clock.LocalJulianDate()));
    return Accepted(date) && Accepted(time);
}

}  // namespace corvane
