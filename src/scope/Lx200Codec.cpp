#include "scope/Lx200Codec.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/Text.h"

namespace corvane {

namespace {

// Decimal digits, left-padded with "0" and cut to the last two characters.
std::string TwoDigits(long long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
    return digits.substr(digits.size() - 2);
}

// DEPARTURE: hours outside 0..24 are wrapped into range and a non-number becomes 0, where the
// text rules assume a value already in range; a mount must never receive "-1:..", "25:.." or "nan".
double SaneHours(double hours) {
    if (!std::isfinite(hours)) return 0.0;
    hours = std::fmod(hours, 24.0);
    if (hours < 0) hours += 24.0;
    return hours >= 24.0 ? 0.0 : hours;
}

// DEPARTURE: declinations beyond the poles are held at +-90 and a non-number becomes 0.
double SaneDegrees(double degrees) {
    if (!std::isfinite(degrees)) return 0.0;
    if (degrees > 90.0) return 90.0;
    if (degrees < -90.0) return -90.0;
    return degrees;
}

struct Sexagesimal {
    long long whole, minutes, seconds;
};

// Whole units, whole minutes of the fraction, and seconds of the minutes' fraction rounded
// half up; integer parts truncate.
// DEPARTURE: seconds that round to 60 carry into the minutes (and 60 minutes into the whole
// units), where the published rule writes "60"; a mount refuses a seconds field of 60.
Sexagesimal Split(double value) {
    const double whole = std::trunc(value);
    const double minutesValue = (value - whole) * 60.0;
    const double minutes = std::trunc(minutesValue);
    const double seconds = std::trunc((minutesValue - minutes) * 60.0 + 0.5);
    Sexagesimal s{static_cast<long long>(whole), static_cast<long long>(minutes),
                  static_cast<long long>(seconds)};
    if (s.seconds >= 60) {
        s.seconds -= 60;
        ++s.minutes;
    }
    if (s.minutes >= 60) {
        s.minutes -= 60;
        ++s.whole;
    }
    return s;
}

std::string TrimBlanks(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;
    return std::string(text.substr(begin, end - begin));
}

// The 1-based character span [position, position + count) of a text, empty where out of range.
std::string_view Span(std::string_view text, size_t position, size_t count) {
    if (position < 1 || position > text.size()) return {};
    return text.substr(position - 1, count);
}

struct HashPositions {
    size_t p1 = 0, p2 = 0;  // 1-based; 0 = absent
};

HashPositions FindHashes(std::string_view reply) {
    HashPositions h;
    const size_t first = reply.find('#');
    if (first == std::string_view::npos) return h;
    h.p1 = first + 1;
    const size_t second = reply.find('#', first + 1);
    if (second != std::string_view::npos) h.p2 = second + 1;
    return h;
}

double ThreeField(std::string_view text, size_t wholeAt, size_t wholeCount, size_t minutesAt,
                  size_t secondsAt) {
    return LeadingNumber(Span(text, wholeAt, wholeCount)) + LeadingNumber(Span(text, minutesAt, 2)) / 60.0 +
           LeadingNumber(Span(text, secondsAt, 2)) / 3600.0;
}

// Altitude or declination ending at the first "#".
double FirstAngle(std::string_view reply, size_t p1) {
    const double value = ThreeField(reply, p1 - 8, 2, p1 - 5, p1 - 2);
    return Span(reply, p1 - 9, 1) == "-" ? -value : value;
}

}  // namespace

std::string FormatRaLong(double hours) {
    Sexagesimal s = Split(SaneHours(hours));
    if (s.whole >= 24) s.whole -= 24;  // 23:59:59.6 is 00:00:00
    return TwoDigits(s.whole) + ":" + TwoDigits(s.minutes) + ":" + TwoDigits(s.seconds);
}

std::string FormatDecLong(double degrees, unsigned char degChar) {
    degrees = SaneDegrees(degrees);
    const Sexagesimal s = Split(std::fabs(degrees));
    std::string text = degrees < 0 ? "-" : "+";
    text += TwoDigits(s.whole);
    text += static_cast<char>(degChar);
    text += TwoDigits(s.minutes) + ":" + TwoDigits(s.seconds);
    return text;
}

std::string FormatRaShort(double hours) {
    hours = SaneHours(hours);
    long long whole = static_cast<long long>(std::trunc(hours));
    long long tenths = std::llround((hours - static_cast<double>(whole)) * 600.0);
    // DEPARTURE: minutes that round to 60.0 carry into the hour (23:59.96 is 00:00.0), where the
    // published rule writes 59.9, a tenth of a minute off.
    if (tenths >= 600) {
        tenths -= 600;
        whole = (whole + 1) % 24;
    }
    return TwoDigits(whole) + ":" + TwoDigits(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string FormatDecShort(double degrees, unsigned char degChar) {
    degrees = SaneDegrees(degrees);
    const double magnitude = std::fabs(degrees);
    const double whole = std::trunc(magnitude);
    long long minutes = std::llround((magnitude - whole) * 60.0);
    if (minutes == 60) minutes = 59;
    std::string text = degrees < 0 ? "-" : "";
    text += TwoDigits(static_cast<long long>(whole));
    text += static_cast<char>(degChar);
    text += TwoDigits(minutes);
    return text;
}

std::string FormatRate(double degreesPerSecond) {
    if (!std::isfinite(degreesPerSecond)) degreesPerSecond = 0.0;
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::fabs(degreesPerSecond));
    return text;
}

std::string FormatRa(double hours, bool longFormat) {
    return longFormat ? FormatRaLong(hours) : FormatRaShort(hours);
}

std::string FormatDec(double degrees, bool longFormat, unsigned char degChar) {
    return longFormat ? FormatDecLong(degrees, degChar) : FormatDecShort(degrees, degChar);
}

std::string SetTargetAndSlewCommand(double raHours, double decDegrees, bool longFormat,
                                    unsigned char degChar) {
    return "#:Sr " + FormatRa(raHours, longFormat) + "#:Sd " + FormatDec(decDegrees, longFormat, degChar) +
           "#:MS#";
}

std::string SetTargetCommand(double raHours, double decDegrees, unsigned char degChar) {
    return "#:Sr " + FormatRaLong(raHours) + "#:Sd " + FormatDecLong(decDegrees, degChar) + "#";
}

std::string SetRaCommand(double raHours, bool longFormat, bool leadingHash) {
    return std::string(leadingHash ? "#:Sr " : ":Sr ") + FormatRa(raHours, longFormat) + "#";
}

std::string SetDecCommand(double decDegrees, bool longFormat, unsigned char degChar, bool leadingHash) {
    return std::string(leadingHash ? "#:Sd " : ":Sd ") + FormatDec(decDegrees, longFormat, degChar) + "#";
}

std::string AxisRateCommand(bool firstAxis, double degreesPerSecond) {
    return std::string(firstAxis ? "#:RA" : "#:RE") + FormatRate(degreesPerSecond) + "#";
}

std::string MoveCommand(double rate1, double rate2) {
    return std::string(rate1 > 0 ? "#:Me#" : "#:Mw#") + (rate2 > 0 ? ":Mn#" : ":Ms#");
}

bool PositionReplyComplete(std::string_view reply) {
    const HashPositions h = FindHashes(reply);
    return h.p1 >= 10 && h.p2 >= 19;
}

// DEPARTURE: a complete reply whose values lie outside their ranges is treated as incomplete,
// so line noise is never taken for a mount position.
std::optional<AxisReading> ParseAltAzReply(std::string_view reply) {
    const HashPositions h = FindHashes(reply);
    if (h.p1 < 10 || h.p2 < 19) return std::nullopt;
    const double altitude = FirstAngle(reply, h.p1);
    const double azimuth = ThreeField(reply, h.p2 - 9, 3, h.p2 - 5, h.p2 - 2);
    if (std::fabs(altitude) > 90.0 || azimuth < 0.0 || azimuth > 360.0) return std::nullopt;
    return AxisReading{altitude, azimuth};
}

std::optional<AxisReading> ParseDecRaReply(std::string_view reply) {
    const HashPositions h = FindHashes(reply);
    if (h.p1 < 10 || h.p2 < 19) return std::nullopt;
    const double declination = FirstAngle(reply, h.p1);
    const double ra = ThreeField(reply, h.p2 - 8, 2, h.p2 - 5, h.p2 - 2);
    if (std::fabs(declination) > 90.0 || ra < 0.0 || ra > 24.0) return std::nullopt;
    return AxisReading{declination, ra};
}

std::optional<DistanceBars> ParseDistanceBars(std::string_view reply) {
    if (reply.size() <= 32 || reply.back() != '#') return std::nullopt;
    return DistanceBars{TrimBlanks(reply.substr(0, 16)), TrimBlanks(reply.substr(16, 16))};
}

bool HasBars(std::string_view reply) { return reply.find(kBarByte) != std::string_view::npos; }

bool ReplyRefusesSlew(std::string_view reply) {
    std::string upper(reply);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("BELOW") != std::string::npos;
}

}  // namespace corvane
