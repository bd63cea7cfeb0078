#pragma once
// NexStar hand-controller protocol: the goto and pass-through rate commands the tracking code
// sends, the rate units, and the parser of the "E" position reply. Pure functions.
//
// Every encoder accepts any double: a value that is not a number is sent as 0, so no
// undefined byte ever reaches the wire.
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Motor bytes of the pass-through command.
inline constexpr int kNexStarAzimuthMotor = 16;   // azimuth or right ascension
inline constexpr int kNexStarAltitudeMotor = 17;  // altitude or declination
// The largest variable rate, in rate units (3 degrees per second).
inline constexpr int kNexStarMaxRate = 43200;
// Rate units per degree per second (quarter arcseconds).
inline constexpr double kNexStarUnitsPerDegree = 14400.0;

// 16-bit value of an angle as a fraction of a turn (`turn` 24 for hours, 360 for degrees),
// scaled by 65535 and rounded; negative angles as their two's complement.
int NexStarAngleValue(double angle, double turn);
// Four uppercase hexadecimal digits of a 16-bit value.
std::string NexStarHex16(int value);
// "R" + RA + "," + Dec: the hexadecimal goto (10 bytes).
std::string NexStarGotoCommand(double raHours, double decDegrees);
// "R" + RA high, RA low, Dec high, Dec low: the byte-coded goto of the NexStar 5/8.
std::string NexStarByteGotoCommand(double raHours, double decDegrees);

// Degrees per second to whole rate units (truncated towards zero, not clamped).
int NexStarRateUnits(double degreesPerSecond);
// Clamped to -kNexStarMaxRate..+kNexStarMaxRate.
int ClampNexStarRate(long long units);
// The 8-byte pass-through: 80, 3, motor, 6 (rate >= 0) or 7, |rate| / 256, |rate| % 256, 0, 0.
std::string NexStarRateCommand(int motor, int rateUnits);
// "T" + mode byte (0 off, 1 Alt-Az, 2 EQ N, 3 EQ S).
std::string NexStarTrackingModeCommand(int mode);

// The "E" reply: RA hours and Dec degrees.
struct NexStarPosition {
    double raHours = 0.0;
    double decDegrees = 0.0;
};
// Why a reply was refused.
enum class NexStarReplyError { None, TooShort, CommaMisplaced, NotHex };
struct NexStarReply {
    NexStarReplyError error = NexStarReplyError::None;
    std::string kept;  // the nine characters "XXXX,YYYY" used
    NexStarPosition position;
};
// Parses a reply of at least nine bytes: the comma must stand at (1-based) position 5 or later;
// the nine characters from four before it are used (extra leading bytes are skipped).
NexStarReply ParseNexStarPositionReply(std::string_view reply);

// "r" + RA + "," + Dec with eight hexadecimal digits each (32-bit fractions of a turn): the
// precise goto.
std::string NexStarPreciseGotoCommand(double raHours, double decDegrees);
// The "e" reply "XXXXXXXX,YYYYYYYY#" (the precise position, 24 significant bits): RA hours and
// Dec degrees; nothing when it is not exactly that shape.
std::optional<NexStarPosition> ParseNexStarPrecisePositionReply(std::string_view reply);

// An angle difference brought into -300..+300 by adding or subtracting 360 (so a step across
// north or 0 h reads as the short way round). Not a number stays as it is.
double WithinThreeHundred(double degrees);

}  // namespace corvane
