#pragma once
// LX200 protocol text: the coordinate and rate texts, the command strings the tracking code
// sends, and the reply parsers. Pure functions; the degree byte (setting DegChar) is a parameter.
//
// Every formatter accepts any double: values out of range are brought into range and a value
// that is not a number is formatted as 0, so no "nan" ever reaches the wire.
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

inline constexpr unsigned char kDefaultDegChar = 223;
inline constexpr char kBarByte = 127;

// RA hours as "HH:MM:SS"; seconds rounded half up; 60 s carries (23:59:59.6 is 00:00:00).
std::string FormatRaLong(double hours);
// Dec degrees as sign, "DD", degree byte, "MM:SS"; the sign is "+" for 0; 60 s carries.
std::string FormatDecLong(double degrees, unsigned char degChar = kDefaultDegChar);
// RA hours as "HH:MM.T" (tenths of a minute); 60.0 minutes carries into the hour.
std::string FormatRaShort(double hours);
// Dec degrees as optional "-", "DD", degree byte, "MM"; 60 minutes is written 59.
std::string FormatDecShort(double degrees, unsigned char degChar = kDefaultDegChar);
// |rate| in degrees per second as "0.000" (the sign travels in the move command).
std::string FormatRate(double degreesPerSecond);

std::string FormatRa(double hours, bool longFormat);
std::string FormatDec(double degrees, bool longFormat, unsigned char degChar = kDefaultDegChar);

// Command strings.
inline constexpr std::string_view kGetAzimuth = "#:GZ#";
inline constexpr std::string_view kTogglePrecision = "#:U#";
inline constexpr std::string_view kGetDec = "#:GD#";
inline constexpr std::string_view kGetRa = "#:GR#";
inline constexpr std::string_view kGetAltAz = "#:GA#:GZ#";
inline constexpr std::string_view kGetDecRa = "#:GD#:GR#";
inline constexpr std::string_view kSlew = "#:MS#";
inline constexpr std::string_view kDistanceBars = "#:D#";
inline constexpr std::string_view kDistanceBarsBare = ":D#";
inline constexpr std::string_view kStop = "#:Q#";
inline constexpr std::string_view kStopAll = "#:Q#:Qn#:Qs#:Qe#:Qw#";
inline constexpr std::string_view kRestoreRates[] = {"#:RE08.00#", "#:RA08.00#"};
inline constexpr std::string_view kAlignAltAz = "#:AA#";
inline constexpr std::string_view kAlignPolar = "#:AP#";
inline constexpr std::string_view kAlignLand = "#:AL#";

// "#:Sr " + RA + "#:Sd " + Dec + "#:MS#": set the target and slew, in one write.
std::string SetTargetAndSlewCommand(double raHours, double decDegrees, bool longFormat,
                                    unsigned char degChar = kDefaultDegChar);
// "#:Sr " + RA + "#:Sd " + Dec + "#": set the target only (long format).
std::string SetTargetCommand(double raHours, double decDegrees, unsigned char degChar = kDefaultDegChar);
// The three separate writes; `leadingHash` false gives the AutoStar #497 spelling (":Sr ...").
std::string SetRaCommand(double raHours, bool longFormat, bool leadingHash = true);
std::string SetDecCommand(double decDegrees, bool longFormat, unsigned char degChar = kDefaultDegChar,
                          bool leadingHash = true);
// "#:RA" + rate + "#" (first axis) and "#:RE" + rate + "#" (second axis).
std::string AxisRateCommand(bool firstAxis, double degreesPerSecond);
// "#:Me#" or "#:Mw#" by the sign of r1 (east when > 0), then ":Mn#" or ":Ms#" by r2.
std::string MoveCommand(double rate1, double rate2);

// A two-axis reading from a combined position reply.
struct AxisReading {
    double first;   // altitude or declination, degrees
    double second;  // azimuth (degrees) or right ascension (hours)
};
// Positions (1-based) of the first "#" and the next one; complete when p1 >= 10 and p2 >= 19.
bool PositionReplyComplete(std::string_view reply);
// "#:GA#:GZ#" reply in long format: altitude then azimuth. Nothing when incomplete, or when it
// does not read strictly as the two values in range (a garbled reply).
std::optional<AxisReading> ParseAltAzReply(std::string_view reply);
// "#:GD#:GR#" reply: declination then right ascension (hours), each in long or short format.
std::optional<AxisReading> ParseDecRaReply(std::string_view reply);
// The polar reply is complete: in long format by the positions above, or as a readable reply
// in short format.
bool DecRaReplyComplete(std::string_view reply);

// The distance-bar reply of "#:D#" split into the R.A. bar (characters 1-16) and the Dec. bar
// (17-32), each trimmed of blanks; only for replies longer than 32 characters ending in "#".
struct DistanceBars {
    std::string ra;
    std::string dec;
};
std::optional<DistanceBars> ParseDistanceBars(std::string_view reply);
// True while a distance-bar reply still holds a bar byte (the slew goes on).
bool HasBars(std::string_view reply);
// True when a slew reply, upper-cased, contains "BELOW" (the mount refused the target).
bool ReplyRefusesSlew(std::string_view reply);
// A ":MS#" reply is whole: "0", or a refusal carrying the mount's message up to its "#".
bool SlewReplyComplete(std::string_view reply);
// The one-write set-and-slew reply is whole: two set acknowledgements, then the slew's reply.
bool SetAndSlewReplyComplete(std::string_view reply);

}  // namespace corvane
