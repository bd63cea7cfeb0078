#include "astro/Time.h"

#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "astro/Constants.h"
#include "astro/MathUtil.h"
#include "core/Clock.h"
#include "core/Text.h"

namespace corvane {

namespace {
double Frac(double x) { return x - std::floor(x); }

bool IsoDigits(const std::string& s, size_t pos, size_t count, int& value) {
    if (pos + count > s.size()) return false;
    value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

std::optional<double> ParseIsoUtc(std::string_view text) {
    const std::string s = Trim(text);
    int year, month, day, hour = 0, minute = 0, second = 0;
    if (!IsoDigits(s, 0, 4, year) || s.size() < 10 || s[4] != '-' || !IsoDigits(s, 5, 2, month) ||
        s[7] != '-' || !IsoDigits(s, 8, 2, day)) {
        return std::nullopt;
    }
    if (month < 1 || month > 12) return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int monthDays = kDaysInMonth[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day < 1 || day > monthDays) return std::nullopt;
    double fraction = 0.0;
    double offsetHours = 0.0;
    size_t i = 10;
    if (i < s.size()) {
        if (s[i] != 'T' && s[i] != 't' && s[i] != ' ') return std::nullopt;
        if (!IsoDigits(s, i + 1, 2, hour) || i + 3 >= s.size() || s[i + 3] != ':' ||
            !IsoDigits(s, i + 4, 2, minute)) {
            return std::nullopt;
        }
        i += 6;
        if (i < s.size() && s[i] == ':') {
            if (!IsoDigits(s, i + 1, 2, second)) return std::nullopt;
            i += 3;
            if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
                size_t j = i + 1;
                double scale = 0.1;
                while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
                    fraction += (s[j] - '0') * scale;
                    scale /= 10.0;
                    ++j;
                }
                if (j == i + 1) return std::nullopt;
                i = j;
            }
        }
        if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
        if (i < s.size()) {
            if ((s[i] == 'Z' || s[i] == 'z') && i + 1 == s.size()) {
                ++i;
            } else if (s[i] == '+' || s[i] == '-') {
                int oh = 0, om = 0;
                if (!IsoDigits(s, i + 1, 2, oh)) return std::nullopt;
                size_t j = i + 3;
                if (j < s.size() && s[j] == ':') ++j;
                if (j < s.size() && !IsoDigits(s, j, 2, om)) return std::nullopt;
                if (j < s.size()) j += 2;
                if (j != s.size() || oh > 23 || om > 59) return std::nullopt;
                offsetHours = (s[i] == '-' ? -1.0 : 1.0) * (oh + om / 60.0);
                i = j;
            } else {
                return std::nullopt;
            }
        }
    }
    if (i != s.size()) return std::nullopt;
    return CivilToJulianDate(year, month, day, hour, minute, second + fraction) - offsetHours / 24.0;
}

std::string IsoUtcText(double jd) {
    if (!std::isfinite(jd)) jd = 0.0;
    int year = 0, month = 0;
    double day = 0;
    CalendarDate(jd, year, month, day);
    double ms = std::round((day - std::floor(day)) * 86400000.0);
    int whole = static_cast<int>(std::floor(day));
    if (ms >= 86400000.0) {
        // Rounded up into the next day.
        CalendarDate(std::floor(jd + 0.5) + 0.5, year, month, day);
        whole = static_cast<int>(std::floor(day));
        ms = 0;
    }
    const long long t = static_cast<long long>(ms);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02lld:%02lld:%02lld.%03lldZ", year, month, whole,
                  t / 3600000, t / 60000 % 60, t / 1000 % 60, t % 1000);
    return buf;
}

Site ParseSite(std::string_view latitude, std::string_view longitude, std::string_view altitude,
               std::string_view utcOffset) {
    Site s;
    s.latitude = LeadingNumber(latitude);
    s.longitude = LeadingNumber(longitude);
    s.altitude = LeadingNumber(altitude);
    s.utcOffset = LeadingNumber(utcOffset);
    return s;
}

double JulianDateOfYear(int year) {
    const double y = year - 1;
    const double a = std::trunc(y / 100.0);
    const double b = 2.0 - a + std::trunc(a / 4.0);
    // trunc(30.6001 * 14) with the factor in single precision is 428.
    return std::trunc(365.25 * y) + 428.0 + 1720994.5 + b;
}

int DayOfYear(int year, int month, int day) {
    int result = day;
    for (int m = 1; m < month && m <= 12; ++m) result += kDaysInMonth[m - 1];
    const bool leap = (year % 4 == 0) && ((year % 400 == 0) || (year % 100 != 0));
    if (leap && month > 2) result += 1;
    return result;
}

double DayFraction(double hour, double minute, double second, double millisecond) {
    return ((((millisecond / 1000.0 + second) / 60.0 + minute) / 60.0 + hour) / 24.0);
}

namespace {

constexpr uint64_t kPow10Int[] = {1ull,
                                  10ull,
                                  100ull,
                                  1000ull,
                                  10000ull,
                                  100000ull,
                                  1000000ull,
                                  10000000ull,
                                  100000000ull,
                                  1000000000ull,
                                  10000000000ull,
                                  100000000000ull,
                                  1000000000000ull,
                                  10000000000000ull,
                                  100000000000000ull,
                                  1000000000000000ull};

// The 15 significant digits "%.15g" writes for an epoch of 3 to 6 digits before the point, as one
// integer, and how many of them follow the point: the binary value times 10^k, exactly (a 53-bit
// mantissa times 5^k fits 128 bits), rounded to the nearest integer with ties to even as printf
// rounds. False where the text would not have that form (other magnitudes, a carry into a new
// digit): the caller then prints it.
bool EpochDigits(double epoch, uint64_t& digits, int& fraction) {
#if defined(__SIZEOF_INT128__)
    if (!(epoch >= 100.0 && epoch < 1.0e6)) return false;
    const int before = epoch < 1.0e3 ? 3 : epoch < 1.0e4 ? 4 : epoch < 1.0e5 ? 5 : 6;
    const int k = 15 - before;  // 9..12
    // epoch = m * 2^(e - 1075) with m the 53-bit significand (a normal positive number here).
    const auto bits = std::bit_cast<uint64_t>(epoch);
    const auto m = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const int e = static_cast<int>(bits >> 52);
    uint64_t pow5 = 1;
    for (int i = 0; i < k; ++i) pow5 *= 5;
    // epoch * 10^k = m * 5^k * 2^(e - 1075 + k), and the power of two is negative here.
    const unsigned __int128 product = static_cast<unsigned __int128>(m) * pow5;
    const int shift = 1075 - k - e;
    if (shift <= 0 || shift >= 64) return false;
    uint64_t q = static_cast<uint64_t>(product >> shift);
    const unsigned __int128 rest = product & ((static_cast<unsigned __int128>(1) << shift) - 1);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (rest > half || (rest == half && (q & 1u) != 0)) ++q;
    if (q >= kPow10Int[15]) return false;
    digits = q;
    fraction = k;
    return true;
#else
    (void)epoch;
    (void)digits;
    (void)fraction;
    return false;
#endif
}

}  // namespace

std::optional<EpochYearDay> SplitEpoch(double epoch, bool writtenWithPoint) {
    if (!std::isfinite(epoch) || epoch < 0.0 || epoch >= 1.0e6) return std::nullopt;
    // The usual epoch without printing it: the same digits, so the same day to the last bit (the
    // day's digits over a power of ten, both exact, is the correctly rounded value as strtod
    // reads it).
    uint64_t digits = 0;
    int fraction = 0;
    if (EpochDigits(epoch, digits, fraction)) {
        const uint64_t scale = kPow10Int[fraction];
        if (digits % scale == 0 && !writtenWithPoint) return std::nullopt;
        EpochYearDay r;
        const int yy = static_cast<int>(std::trunc(epoch / 1000.0));
        r.year = yy + (yy < 57 ? 2000 : 1900);
        r.day = static_cast<double>(digits % (scale * 1000)) / static_cast<double>(scale);
        return r;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", epoch);
    if (std::strchr(text, 'e') != nullptr) return std::nullopt;
    // DEPARTURE: "%.15g" drops the point of a whole value; an epoch field written with a point
    // and a zero fraction (0 h of that day) keeps it, so it is not taken for an epoch without a day.
    if (writtenWithPoint && std::strchr(text, '.') == nullptr) std::strcat(text, ".");
    const char* point = std::strchr(text, '.');
    if (point == nullptr) return std::nullopt;
    const long before = point - text;
    if (before < 3) return std::nullopt;
    EpochYearDay r;
    const int yy = static_cast<int>(std::trunc(epoch / 1000.0));
    r.year = yy + (yy < 57 ? 2000 : 1900);
    r.day = std::strtod(point - 3, nullptr);
    return r;
}

std::optional<double> JulianDateOfEpoch(double epoch, bool writtenWithPoint) {
    const auto yd = SplitEpoch(epoch, writtenWithPoint);
    if (!yd) return std::nullopt;
    return JulianDateOfYear(yd->year) + yd->day;
}

double JulianDateNow(const Clock& clock) { return clock.JulianDateNow(); }

double UtcNow(const Clock& clock, const Site& site) { return clock.JulianDateNow() - site.utcOffset / 24.0; }

double ThetaG_JD(double jd) {
    const double ut = Frac(jd + 0.5);
    const double jd0 = jd - ut;
    const double tu = (jd0 - 2451545.0) / 36525.0;
    double gmst = 24110.54841 + tu * (8640184.812866 + tu * (0.093104 - tu * 6.2E-6));
    gmst = Modulus(gmst + 86400.0 * kOmegaE * ut, 86400.0);
    return kTwoPi * gmst / 86400.0;
}

std::optional<EpochSidereal> ThetaGOfEpoch(double epoch, bool writtenWithPoint) {
    const auto yd = SplitEpoch(epoch, writtenWithPoint);
    if (!yd) return std::nullopt;
    const double ut = Frac(yd->day);
    const double day = std::trunc(yd->day);
    const double jd = JulianDateOfYear(yd->year) + day;
    EpochSidereal r;
    r.ds50 = jd - 2433281.5 + ut;
    r.theta = Modulus(6.3003880987 * r.ds50 + 1.72944494, kTwoPi);
    return r;
}

double LocalSiderealHoursAt(double jdUtc, double longitudeDegrees) {
    const double d = jdUtc - 2451545.0;
    const double t = d / 36525.0;
    double theta = 280.46061837 + 360.98564736629 * d + 0.000387933 * t * t - t * t * t / 38710000.0;
    theta += longitudeDegrees;
    theta = std::fmod(theta, 360.0);
    if (theta < 0.0) theta += 360.0;
    if (!(theta < 360.0)) theta = 0.0;
    return theta / 15.0;
}

double LocalSiderealHours(const Clock& clock, const Site& site, double offsetDays) {
    return LocalSiderealHoursAt(clock.JulianDateNow() + offsetDays - site.utcOffset / 24.0, site.longitude);
}

void CalendarDate(double jd, int& year, int& month, double& day) {
    // DEPARTURE: a date more than a billion days from the origin (a damaged file's 1e300) reads as
    // the origin, like a non-number does in the texts: its year does not fit an int.
    if (!(std::fabs(jd) <= 1.0e9)) jd = 0.0;
    const double z = std::trunc(jd + 0.5);
    const double f = (jd + 0.5) - z;
    double a = z;
    if (z >= 2299161.0) {
        const double alpha = std::trunc((z - 1867216.25) / 36524.25);
        a = z + 1.0 + alpha - std::trunc(alpha / 4.0);
    }
    const double b = a + 1524.0;
    const double c = std::trunc((b - 122.1) / 365.25);
    const double d = std::trunc(365.25 * c);
    const double e = std::trunc((b - d) / 30.6001);
    day = b - d - std::trunc(30.6001 * e) + f;
    month = static_cast<int>(e < 13.5 ? e - 1.0 : e - 13.0);
    year = static_cast<int>(month > 2.5 ? c - 4716.0 : c - 4715.0);
}

std::string CalendarDateText(double jd) {
    if (!std::isfinite(jd)) jd = 0.0;
    int year = 0, month = 1;
    double day = 1.0;
    CalendarDate(jd, year, month, day);
    static const char kMonths[] = "  JanFebMarAprMayJunJulAugSepOctNovDec";
    if (month < 1 || month > 12) month = 1;
    std::string out(kMonths + 3 * month - 1, 3);
    out.push_back(' ');
    AppendTwoDigits(out, static_cast<int>(std::trunc(day)));
    out.push_back(' ');
    out += std::to_string(year).substr(0, 4);
    return out;
}

std::string TimeOfDayText(double jd, bool colons, int digits) {
    if (digits < 0) digits = 0;
    if (digits > 3) digits = 3;
    const int decimals = digits > 0 ? digits - 1 : 0;
    const double scale = decimals == 0 ? 1.0 : (decimals == 1 ? 10.0 : 100.0);
    if (!std::isfinite(jd)) jd = 0.0;
    const double dayFraction = Frac(jd - 0.5);
    // DEPARTURE: the seconds are truncated to the shown decimals directly; building the text from
    // the number 1000000 + 10000*h + 100*m + s gave "99" seconds near a full minute and lost the
    // decimal point at whole seconds. Truncated to the shown precision. The guard (0.1 ms) keeps an exact
    // instant such as 12:34:56.00 from reading as 55.99 through the rounding of the Julian date (~40 us).
    double ticks = std::floor(dayFraction * kSecondsPerDay * scale + 1.0e-4 * scale);
    const double ticksPerDay = kSecondsPerDay * scale;
    if (ticks >= ticksPerDay) ticks = ticksPerDay - 1.0;
    if (ticks < 0.0) ticks = 0.0;
    const long long t = static_cast<long long>(ticks);
    const long long perSecond = static_cast<long long>(scale);
    const long long wholeSeconds = t / perSecond;
    const long long fraction = t % perSecond;
    const int hour = static_cast<int>(wholeSeconds / 3600);
    const int minute = static_cast<int>(wholeSeconds / 60 % 60);
    const int second = static_cast<int>(wholeSeconds % 60);
    std::string out;
    out.reserve(12);
    AppendTwoDigits(out, hour);
    if (colons) out.push_back(':');
    AppendTwoDigits(out, minute);
    if (colons) out.push_back(':');
    AppendTwoDigits(out, second);
    if (digits >= 1) out.push_back('.');
    if (decimals == 1) {
        out += static_cast<char>('0' + fraction);
    } else if (decimals == 2) {
        AppendTwoDigits(out, fraction);
    }
    return out;
}

std::string DurationText(double seconds) {
    if (!std::isfinite(seconds)) seconds = 0.0;
    // DEPARTURE: rounded as a whole first, so 59.6 s reads 00:01:00 and never 00:00:60.
    double total = std::round(std::fabs(seconds));
    if (total > 3.6e9) total = 3.6e9;
    const long long s = static_cast<long long>(total);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%02lld:%02lld:%02lld", (seconds < 0 && s > 0) ? "-" : "", s / 3600,
                  s / 60 % 60, s % 60);
    return buf;
}

std::string FormatSigned(double value, int decimals) {
    if (!std::isfinite(value)) value = 0.0;
    if (decimals < 0) decimals = 0;
    if (decimals > 9) decimals = 9;
    const double scale = std::pow(10.0, decimals);
    double magnitude = std::fabs(value) * scale;
    // Truncation with a guard of a few units in the last place: 0.29 shows as 0.29, not 0.28.
    magnitude = std::floor(magnitude * (1.0 + 4.0e-15) + 1.0e-9);
    if (magnitude > 9.0e15) magnitude = 9.0e15;
    const long long units = static_cast<long long>(magnitude);
    const long long p = static_cast<long long>(scale);
    char buf[64];
    if (decimals == 0) {
        std::snprintf(buf, sizeof buf, "%c%lld", value >= 0.0 ? '+' : '-', units);
    } else {
        std::snprintf(buf, sizeof buf, "%c%lld.%0*lld", value >= 0.0 ? '+' : '-', units / p, decimals,
                      units % p);
    }
    return buf;
}

}  // namespace corvane
