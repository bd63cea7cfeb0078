#include "scope/NexStarCodec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace corvane {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Four hexadecimal digits at `text`, or -1.
int Hex16(std::string_view text) {
    int value = 0;
    for (char c : text.substr(0, 4)) {
        const int d = HexDigit(c);
        if (d < 0) return -1;
        value = value * 16 + d;
    }
    return value;
}

}  // namespace

int NexStarAngleValue(double angle, double turn) {
    if (!std::isfinite(angle) || turn <= 0) return 0;
    // Whole turns are dropped first so that any angle gives a 16-bit value.
    const double fraction = std::fmod(angle, turn) / turn;
    const long long value = std::llround(fraction * 65535.0);
    return static_cast<int>(((value % 65536) + 65536) % 65536);
}

std::string NexStarHex16(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X", (value >> 8) & 0xFF, value & 0xFF);
    return text;
}

std::string NexStarGotoCommand(double raHours, double decDegrees) {
    return "R" + NexStarHex16(NexStarAngleValue(raHours, 24.0)) + "," +
           NexStarHex16(NexStarAngleValue(decDegrees, 360.0));
}

std::string NexStarByteGotoCommand(double raHours, double decDegrees) {
    if (!std::isfinite(raHours)) raHours = 0.0;
    if (!std::isfinite(decDegrees)) decDegrees = 0.0;
    raHours = std::clamp(raHours, 0.0, 24.0);
    decDegrees = std::clamp(decDegrees, -90.0, 90.0);
    if (decDegrees < 0) decDegrees = 360.0 - std::fabs(decDegrees);
    std::string command = "R";
    for (const double value : {raHours / 24.0 * 65535.0, decDegrees / 360.0 * 65535.0}) {
        const int high = static_cast<int>(value / 256.0);
        const int low = static_cast<int>(std::lround(std::fmod(value, 256.0)));
        // DEPARTURE: a remainder that rounds up to 256 carries into the high byte; it would
        // otherwise not fit its byte.
        const int carry = low >= 256 ? 1 : 0;
        command += static_cast<char>((high + carry) & 0xFF);
        command += static_cast<char>(low & 0xFF);
    }
    return command;
}

int NexStarRateUnits(double degreesPerSecond) {
    if (!std::isfinite(degreesPerSecond)) return 0;
    const double units = degreesPerSecond * kNexStarUnitsPerDegree;
    // Far outside the motor's range anyway; kept within an int.
    return static_cast<int>(std::clamp(units, -1.0e9, 1.0e9));
}

int ClampNexStarRate(long long units) {
    return static_cast<int>(std::clamp<long long>(units, -kNexStarMaxRate, kNexStarMaxRate));
}

std::string NexStarRateCommand(int motor, int rateUnits) {
    const int magnitude = std::min(std::abs(rateUnits), 0xFFFF);
    std::string command = "P";
    command += '\x03';
    command += static_cast<char>(motor);
    command += static_cast<char>(rateUnits >= 0 ? 6 : 7);
    command += static_cast<char>(magnitude / 256);
    command += static_cast<char>(magnitude % 256);
    command += '\0';
    command += '\0';
    return command;
}

std::string NexStarTrackingModeCommand(int mode) { return std::string("T") + static_cast<char>(mode); }

NexStarReply ParseNexStarPositionReply(std::string_view reply) {
    NexStarReply result;
    if (reply.size() < 9) {
        result.error = NexStarReplyError::TooShort;
        return result;
    }
    const size_t comma = reply.find(',');
    if (comma == std::string_view::npos || comma < 4 || comma + 5 > reply.size()) {
        result.error = NexStarReplyError::CommaMisplaced;
        return result;
    }
    result.kept = std::string(reply.substr(comma - 4, 9));
    const int ra = Hex16(reply.substr(comma - 4, 4));
    const int dec = Hex16(reply.substr(comma + 1, 4));
    if (ra < 0 || dec < 0) {
        // DEPARTURE: digits that are not hexadecimal make the reply unusable instead of being
        // read as some position.
        result.error = NexStarReplyError::NotHex;
        return result;
    }
    result.position.raHours = ra * 24.0 / 65536.0;
    double degrees = dec * 360.0 / 65536.0;
    if (degrees > 180.0) degrees -= 360.0;
    result.position.decDegrees = degrees;
    return result;
}

double WithinThreeHundred(double degrees) {
    if (degrees > 300.0) return degrees - 360.0;
    if (degrees < -300.0) return degrees + 360.0;
    return degrees;
}

namespace {

std::string Hex32(double angle, double turn) {
    double fraction = std::isfinite(angle) ? std::fmod(angle, turn) / turn : 0.0;
    if (fraction < 0) fraction += 1.0;
    const auto value = static_cast<unsigned long long>(std::llround(fraction * 4294967296.0)) % 4294967296ULL;
    char text[16];
    std::snprintf(text, sizeof text, "%08llX", value);
    return text;
}

// Eight hexadecimal digits as a fraction of a turn, or -1.
double Turns32(std::string_view digits) {
    if (digits.size() != 8) return -1.0;
    const int high = Hex16(digits.substr(0, 4)), low = Hex16(digits.substr(4, 4));
    if (high < 0 || low < 0) return -1.0;
    return (high * 65536.0 + low) / 4294967296.0;
}

}  // namespace

std::string NexStarPreciseGotoCommand(double raHours, double decDegrees) {
    return "r" + Hex32(raHours, 24.0) + "," + Hex32(decDegrees, 360.0);
}

std::optional<NexStarPosition> ParseNexStarPrecisePositionReply(std::string_view reply) {
    if (reply.size() != 18 || reply[8] != ',' || reply[17] != '#') return std::nullopt;
    const double ra = Turns32(reply.substr(0, 8)), dec = Turns32(reply.substr(9, 8));
    if (ra < 0 || dec < 0) return std::nullopt;
    NexStarPosition p;
    p.raHours = ra * 24.0;
    p.decDegrees = dec * 360.0;
    if (p.decDegrees > 180.0) p.decDegrees -= 360.0;
    // A declination beyond the poles is a garbled reply, not a place.
    if (std::fabs(p.decDegrees) > 90.0) return std::nullopt;
    return p;
}

}  // namespace corvane
