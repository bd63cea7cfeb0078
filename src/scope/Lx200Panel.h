#pragma once
// The LX200 Control panel's exchanges with the mount: pointing read-out, the direction pad and
// its rates, sync, slew, the mount's object library (catalogue numbers and planets), the FIND
// search with its filters, the four stored sites, and the mount's date and time.
//
// The text builders and reply readers are pure. The exchanges take the serial link and run on
// the telescope session's thread (post them with ScopeSession::Post); while the link is not
// connected they send nothing and return their "nothing read" values. Replies are read with
// the link's polling read (ReadReply: until "#", "1", "0" or "elow"; "" after 30 tries).
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/Clock.h"
#include "scope/SerialLink.h"

namespace corvane {

// ---- texts ----

// The object types of the FIND search in the mount's order; an upper-case letter includes the
// type, a lower-case one excludes it.
inline constexpr std::array<const char*, 5> kFindTypeNames = {
    "Galaxies", "Planetary Nebulae", "Diffuse Nebulae", "Globular Star Clusters", "Open Star Clusters"};
inline constexpr std::string_view kFindTypeLetters = "GPDCO";
// "GPDCO" with the excluded types in lower case.
std::string FindTypeString(const std::array<bool, 5>& included);

// The "Better" choices, best first (index 0..6, the mount's quality scale).
inline constexpr std::array<const char*, 7> kQualityNames = {"Super", "Excellent", "Very Good", "Good",
                                                             "Fair",  "Poor",      "Very Poor"};
// The quality in a "#:Gq#" reply: the first of "SU", "EX", "VG", "GD", "FR", "PR", "VP" that it
// holds (0..6); nothing when it holds none of them.
std::optional<int> QualityFromReply(std::string_view reply);
// The quality of a "Better" choice by its upper-cased text: "SU", "EX", "VE" (Very Good),
// "GOOD", "FA", "PO"; anything else is 6 (Very Poor).
int QualityFromChoice(std::string_view choice);
// How many "#:Sq#" take the mount's quality limit from `current` to `target` (each advances it
// by one, wrapping after seven).
int QualitySteps(int current, int target);

// A magnitude limit as the mount wants it: "+" when positive, no sign for zero, then "00.0"
// (20 gives "+20.0", -5 gives "-05.0", 0 gives "00.0"). Not-a-number reads as 0; values are held
// to -99.9..+99.9 so the field keeps its width.
std::string MagnitudeText(double magnitude);

// The object library.
enum class LibraryKind { Messier, Star, Cngc };
inline constexpr std::array<const char*, 9> kPlanetNames = {"Mercury", "Venus",  "Moon",    "Mars", "Jupiter",
                                                            "Saturn",  "Uranus", "Neptune", "Pluto"};
// "#:LM 0031#", "#:LS 0002#", "#:LC 7000#": the number as four digits (held to 0..9999).
std::string LibraryCommand(LibraryKind kind, int number);
// "#:LS 0901#" (Mercury, index 0) .. "#:LS 0909#" (Pluto, index 8); index held to 0..8.
std::string PlanetCommand(int planetIndex);

// The "#:LI#" information text as the panel shows it: "#" removed at both ends; a text holding
// "MAG" and "SZ" splits into the name part and, on a second line, the part from the magnitude on
// (at most 40 characters). Lines are joined with "\n".
std::string InformationText(std::string_view reply);

// The read-out lines. A "#:GR#" reply longer than 4 characters: "  R.A.:  " + reply, else
// "  R.A.: N/A". A "#:GD#" reply with the byte 223: "   DEC: " + reply, else "   DEC: N/A".
// The reply is shown without its "#", with the mount's degree byte as the degree sign (0xB0).
inline constexpr const char* kRaNotAvailable = "  R.A.: N/A";
inline constexpr const char* kDecNotAvailable = "   DEC: N/A";
std::string RaReadoutText(std::string_view reply);
std::string DecReadoutText(std::string_view reply);
// The two slew bars (0..16 each) of a "#:D#" reply: the R.A. and Dec. halves of a long reply,
// otherwise the number of bar bytes on both.
struct PanelBars {
    int ra = 0, dec = 0;
};
PanelBars BarsFromReply(std::string_view reply);

// One stored site as the panel shows it. Latitude north positive, longitude west positive (as
// the mount keeps it). `utcOffset` is the mount's own value ("#:GG#": hours added to local time
// to give UTC).
struct PanelSite {
    std::string name;  // up to three characters
    int utcOffset = 0;
    bool south = false;
    int latitudeDegrees = 0, latitudeMinutes = 0;
    int longitudeDegrees = 0, longitudeMinutes = 0;
};
// The letter of site entry 1..4 in "#:GM#".."#:GP#" and "#:SM".."#:SP": "M".."P".
char SiteLetter(int entry);
// Reads a site from the replies of "#:G" L "#", "#:GG#", "#:Gt#" and "#:Gg#". Fields that
// cannot be read stay 0 (and the name empty).
PanelSite SiteFromReplies(std::string_view name, std::string_view utcOffset, std::string_view latitude,
                          std::string_view longitude);
// The four commands that store a site under entry 1..4, in the order they are sent:
// "#:S" L " " name "#", "#:SG " sHH "#", "#:St " sDD 223 MM "##", "#:Sg " DDD 223 MM "#".
std::array<std::string, 4> SiteCommands(int entry, const PanelSite& site);

// "#:SC MM/DD/YY#" and "#:SL HH:MM:SS#" for a local Julian date (seconds truncated).
std::string SetDateCommand(double localJulianDate);
std::string SetTimeCommand(double localJulianDate);

// ---- exchanges (session thread) ----

enum class PanelRate { Slew, Find, Center, Guide };
enum class PanelDirection { North, South, West, East };
inline constexpr std::string_view kPanelStopMoves = "#:Qn##:Qs##:Qe##:Qw##:Q#";
inline constexpr std::string_view kSync = "#:CM#";

bool PanelConnected(SerialLink& link);
// "#:RS#", "#:RM#", "#:RC#" or "#:RG#".
void SetPanelRate(SerialLink& link, PanelRate rate);
// "#:Mn#", "#:Ms#", "#:Mw#" or "#:Me#".
void StartPanelMove(SerialLink& link, PanelDirection direction);
// The combined stop string, once.
void StopPanelMoves(SerialLink& link);
// "#:CM#"; the mount's answer is read and dropped so that it cannot pass for the next reply.
void SyncToObject(SerialLink& link);

struct PanelReadout {
    std::string raText = kRaNotAvailable;
    std::string decText = kDecNotAvailable;
    std::optional<PanelBars> bars;  // read only while the search is armed
};
// "#:GR#", "#:GD#" and, when `searchArmed`, "#:D#".
PanelReadout ReadPanelPointing(SerialLink& link, bool searchArmed);

// "#:MS#": true when the mount refused the slew (a reply containing "BELOW", any case).
struct SlewResult {
    bool sent = false;
    bool belowHorizon = false;
    std::string reply;
};
SlewResult SlewToObject(SerialLink& link);

// The target's position after a look-up or a search ("#:Gr#", then "#:Gd#"), as read-out lines.
// Nothing, and no "#:Gd#", when the mount leaves "#:Gr#" unanswered: some mounts do not keep
// these, and each silent read costs the whole reply wait.
struct PanelTarget {
    std::string raText, decText;
};
std::optional<PanelTarget> ReadPanelTarget(SerialLink& link);

// A catalogue or planet look-up, or the next/previous found object, followed by "#:LI#";
// returns the information text (InformationText). Empty when not connected.
std::string LookUpObject(SerialLink& link, LibraryKind kind, int number);
std::string LookUpPlanet(SerialLink& link, int planetIndex);
std::string NextFoundObject(SerialLink& link, bool previous);

// The FIND search's filters as the panel holds them. Higher/Larger/Smaller are whole numbers
// (degrees, arc-minutes); a catalog index 0 NGC, 1 IC, 2 UGC.
struct FindFilters {
    std::array<bool, 5> types = {true, true, true, true, true};
    int catalog = 0;
    int quality = 0;  // the "Better" choice, 0 Super .. 6 Very Poor
    int higher = 0;
    int larger = 0;
    int smaller = 200;
    double brighter = 20.0;
    double fainter = -5.0;
};
struct FindResult {
    bool sent = false;
    // The first step whose reply was not "1": 1 types, 2 catalogue, 3 to 7 the five limits
    // (Higher, Larger, Smaller, Brighter, Fainter); 0 when every step was accepted.
    int failedStep = 0;
    int qualitySteps = 0;  // "#:Sq#" sent
    std::string information;
    bool Armed() const { return sent && failedStep == 0; }
};
// The whole filter sequence, then "#:LF#" and "#:LI#". A failed step is remembered and the
// sequence still runs to the end.
FindResult RunFindSearch(SerialLink& link, const FindFilters& filters);

// "#:W" n "#" then the four reads; nothing when not connected.
std::optional<PanelSite> ReadPanelSite(SerialLink& link, int entry);
// The four writes of SiteCommands, each reply read before the next command. True when every
// reply was "1".
bool SavePanelSite(SerialLink& link, int entry, const PanelSite& site);

// The panel's "set date and time": "#:SC " + the computer's date + "#" then "#:SL " + its local
// time + "#" (the computer clock, without the program's correction). True when both were
// accepted.
bool SetPanelDateTime(SerialLink& link, const Clock& clock);

}  // namespace corvane
