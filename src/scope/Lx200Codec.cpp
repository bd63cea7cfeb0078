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

namespace {

bool DigitAt(std::string_view text, size_t index) {
    return index < text.size() && std::isdigit(static_cast<unsigned char>(text[index])) != 0;
}

// A separator between fields: any byte but a digit (the degree byte, ":", "'", "*").
bool SeparatorAt(std::string_view text, size_t index) { return index < text.size() && !DigitAt(text, index); }

int Number(std::string_view text, size_t index, size_t count) {
    int value = 0;
    for (size_t i = index; i < index + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

// The field that ends just before the 0-based position `end` (a "#"), read strictly: `wholeDigits`
// digits, a separator, two digits of minutes, and then either a separator and two digits of
// seconds (`withSeconds`) or nothing; `signed` fields start with "+" or "-". Nothing when the
// text does not read so, or the minutes or seconds are 60 or more. `from` is the first position
// the field may use.
std::optional<double> StrictField(std::string_view text, size_t from, size_t end, size_t wholeDigits,
                                  bool withSeconds, bool isSigned) {
    const size_t length = (isSigned ? 1 : 0) + wholeDigits + 3 + (withSeconds ? 3 : 0);
    if (end < from + length) return std::nullopt;
    size_t i = end - length;
    bool negative = false;
    if (isSigned) {
        if (text[i] != '+' && text[i] != '-') return std::nullopt;
        negative = text[i] == '-';
        ++i;
    }
    for (size_t k = 0; k < wholeDigits; ++k)
        if (!DigitAt(text, i + k)) return std::nullopt;
    const size_t m = i + wholeDigits + 1;
    if (!SeparatorAt(text, m - 1) || !DigitAt(text, m) || !DigitAt(text, m + 1)) return std::nullopt;
    const int minutes = Number(text, m, 2);
    int seconds = 0;
    if (withSeconds) {
        if (!SeparatorAt(text, m + 2) || !DigitAt(text, m + 3) || !DigitAt(text, m + 4)) return std::nullopt;
        seconds = Number(text, m + 3, 2);
    }
    if (minutes >= 60 || seconds >= 60) return std::nullopt;
    const double value = Number(text, i, wholeDigits) + minutes / 60.0 + seconds / 3600.0;
    return negative ? -value : value;
}

// Short right ascension "HH:MM.T" ending before `end`.
std::optional<double> StrictShortRa(std::string_view text, size_t from, size_t end) {
    if (end < from + 7) return std::nullopt;
    const size_t i = end - 7;
    if (!DigitAt(text, i) || !DigitAt(text, i + 1) || !SeparatorAt(text, i + 2) || !DigitAt(text, i + 3) ||
        !DigitAt(text, i + 4) || text[i + 5] != '.' || !DigitAt(text, i + 6))
        return std::nullopt;
    const double minutes = Number(text, i + 3, 2) + Number(text, i + 6, 1) / 10.0;
    if (minutes >= 60.0) return std::nullopt;
    return Number(text, i, 2) + minutes / 60.0;
}

}  // namespace

// DEPARTURE: the two replies are read strictly (digits where digits belong, the minutes and
// seconds below 60, the values in range); anything else is no reading at all, so line noise is
// never taken for a mount position (it read as altitude 0 and azimuth 0).
std::optional<AxisReading> ParseAltAzReply(std::string_view reply) {
    const HashPositions h = FindHashes(reply);
    if (h.p1 < 10 || h.p2 < 19) return std::nullopt;
    const auto altitude = StrictField(reply, 0, h.p1 - 1, 2, true, true);
    const auto azimuth = StrictField(reply, h.p1, h.p2 - 1, 3, true, false);
    if (!altitude || !azimuth || std::fabs(*altitude) > 90.0 || *azimuth >= 360.0) return std::nullopt;
    return AxisReading{*altitude, *azimuth};
}

std::optional<AxisReading> ParseDecRaReply(std::string_view reply) {
    const HashPositions h = FindHashes(reply);
    // The declination in long ("sDD*MM:SS") or short ("sDD*MM") format; the right ascension
    // likewise ("HH:MM:SS" or "HH:MM.T").
    if (h.p1 < 7 || h.p2 == 0) return std::nullopt;
    auto declination = StrictField(reply, 0, h.p1 - 1, 2, true, true);
    if (!declination) declination = StrictField(reply, 0, h.p1 - 1, 2, false, true);
    auto ra = StrictField(reply, h.p1, h.p2 - 1, 2, true, false);
    if (!ra) ra = StrictShortRa(reply, h.p1, h.p2 - 1);
    if (!declination || !ra || std::fabs(*declination) > 90.0 || *ra >= 24.0) return std::nullopt;
    return AxisReading{*declination, *ra};
}

bool DecRaReplyComplete(std::string_view reply) {
    return PositionReplyComplete(reply) || ParseDecRaReply(reply).has_value();
}

std::optional<DistanceBars> ParseDistanceBars(std::string_view reply) {
    if (reply.size() <= 32 || reply.back() != '#') return std::nullopt;
    return DistanceBars{TrimBlanks(reply.substr(0, 16)), TrimBlanks(reply.substr(16, 16))};
}

bool HasBars(std::string_view reply) { return reply.find(kBarByte) != std::string_view::npos; }

bool SlewReplyComplete(std::string_view r) { return r == "0" || (r.size() > 1 && r.back() == '#'); }

bool SetAndSlewReplyComplete(std::string_view r) { return r.size() > 2 && SlewReplyComplete(r.substr(2)); }

bool ReplyRefusesSlew(std::string_view reply) {
    std::string upper(reply);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("BELOW") != std::string::npos;
}

}  // namespace corvane
