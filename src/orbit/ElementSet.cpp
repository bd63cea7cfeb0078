#include "orbit/ElementSet.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "astro/Constants.h"
#include "astro/MathUtil.h"
#include "astro/Time.h"
#include "core/Text.h"
#include "orbit/CatalogueNumber.h"

namespace corvane {

const char* PropagationErrorText(PropagationError error) {
    switch (error) {
        case PropagationError::kNone:
            return "ok";
        case PropagationError::kNoElements:
            return "no element set";
        case PropagationError::kNoEpochDay:
            return "epoch has no day";
        case PropagationError::kMeanMotion:
            return "mean motion zero or negative";
        case PropagationError::kEccentricity:
            return "eccentricity out of range";
        case PropagationError::kDecayed:
            return "orbit decayed";
        case PropagationError::kNumerical:
            return "numerical failure";
        case PropagationError::kTimeOutOfRange:
            return "time too far from the epoch";
    }
    return "unknown error";
}

std::string Column(std::string_view line, int start, int length) {
    std::string out(static_cast<size_t>(length), ' ');
    for (int i = 0; i < length; ++i) {
        const size_t pos = static_cast<size_t>(start - 1 + i);
        if (pos < line.size()) out[static_cast<size_t>(i)] = line[pos];
    }
    return out;
}

namespace {

// The digit value of each byte, a blank reading as 0; 10 for anything else.
constexpr auto kDigitValue = [] {
    std::array<uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) table[static_cast<size_t>(c)] = c >= '0' && c <= '9' ? c - '0' : 10;
    table[' '] = 0;
    return table;
}();

// Digits (a blank reads as 0) from p on into mantissa; returns where they end.
inline const char* ReadDigits(const char* p, const char* end, uint64_t& mantissa) {
    for (; p != end; ++p) {
        const unsigned d = kDigitValue[static_cast<unsigned char>(*p)];
        if (d > 9) break;
        mantissa = mantissa * 10 + d;
    }
    return p;
}

// The common case of a plain decimal field of at most 15 significant digits: the digits as an
// integer divided by a power of ten, both exact, gives the correctly rounded value, the same
// double as the general conversion. Anything else (exponent, tab, long digit strings) takes the
// general path.
[[gnu::always_inline]] inline bool FastBlankToZero(std::string_view t, double& out) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = t.data();
    const char* const end = p + t.size();
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    uint64_t mantissa = 0;
    const char* const first = p;
    p = ReadDigits(p, end, mantissa);
    long digits = p - first, fraction = 0;
    if (p != end && *p == '.') {
        const char* const point = ++p;
        p = ReadDigits(p, end, mantissa);
        fraction = p - point;
        digits += fraction;
    }
    // Beyond 19 digits the integer could overflow; from 10^15 on it may not be exact in a double.
    if (digits > 19 || mantissa >= 1000000000000000ull || fraction > 22) return false;
    if (p != end && (*p == 'e' || *p == 'E' || *p == '\t')) return false;
    if (digits == 0) {
        if (!t.empty() && t[0] == '\t') return false;
        out = 0.0;
        return true;
    }
    double v = static_cast<double>(mantissa);
    if (fraction > 0) v /= kPow10[fraction];
    out = negative ? -v : v;
    return true;
}

}  // namespace

double BlankToZero(std::string_view field) {
    double value = 0.0;
    if (FastBlankToZero(field, value)) return value;
    std::string text(field);
    for (char& c : text) {
        if (c == ' ') c = '0';
    }
    return LeadingNumber(text);
}

namespace {

int BlankToZeroInt(std::string_view field) {
    // Whole digits (blanks read as 0) after an optional sign: the number itself, as the general
    // reading rounds it.
    size_t i = 0;
    const bool negative = !field.empty() && field[0] == '-';
    if (!field.empty() && (field[0] == '+' || field[0] == '-')) ++i;
    if (i < field.size() && field.size() - i <= 9) {
        int value = 0;
        bool plain = true;
        for (size_t k = i; k < field.size() && plain; ++k) {
            const char c = field[k] == ' ' ? '0' : field[k];
            plain = c >= '0' && c <= '9';
            value = value * 10 + (c - '0');
        }
        if (plain) return negative ? -value : value;
    }
    std::string text(field);
    for (char& c : text) {
        if (c == ' ') c = '0';
    }
    return LeadingInt(text);
}

// Characters [start, start+length) of a line (1-based start) as Column gives them, without a
// copy where the line is long enough; buffer holds the blank-padded copy otherwise.
constexpr int kMaxField = 16;
std::string_view Field(std::string_view line, int start, int length, char (&buffer)[kMaxField]) {
    const size_t from = static_cast<size_t>(start - 1), n = static_cast<size_t>(length);
    if (from + n <= line.size()) return line.substr(from, n);
    for (size_t i = 0; i < n; ++i) buffer[i] = from + i < line.size() ? line[from + i] : ' ';
    return std::string_view(buffer, n);
}

double FieldNumber(std::string_view line, int start, int length) {
    char buffer[kMaxField];
    const std::string_view field = Field(line, start, length, buffer);
    double value = 0.0;
    return FastBlankToZero(field, value) ? value : BlankToZero(field);
}

int FieldInt(std::string_view line, int start, int length) {
    char buffer[kMaxField];
    return BlankToZeroInt(Field(line, start, length, buffer));
}

// 10^n as std::pow gives it, for the exponents a field can hold: looked up, not recomputed.
double PowerOfTen(int n) {
    struct Table {
        double value[199];
        Table() {
            for (int k = -99; k <= 99; ++k) value[k + 99] = std::pow(10.0, k);
        }
    };
    static const Table table;
    return n >= -99 && n <= 99 ? table.value[n + 99] : std::pow(10.0, n);
}

// The numbers of an element set and the model choice; the text fields are left alone.
void ConvertElementNumbers(std::string_view line1, std::string_view line2, ElementSet& e) {
    char buffer[kMaxField];
    const std::string_view epochField = Field(line1, 19, 14, buffer);
    e.epoch = FastBlankToZero(epochField, e.epoch) ? e.epoch : BlankToZero(epochField);
    e.epochHasPoint = epochField.find('.') != std::string_view::npos;
    const auto epochJd = JulianDateOfEpoch(e.epoch, e.epochHasPoint);
    if (epochJd) {
        e.epochJd = *epochJd;
    } else {
        e.error = PropagationError::kNoEpochDay;
    }
    const double ndot = FieldNumber(line1, 34, 10);
    const double nddotMantissa = FieldNumber(line1, 45, 6) * 1.0E-5;
    const int nddotExponent = FieldInt(line1, 51, 2);
    const double bstarMantissa = FieldNumber(line1, 54, 6) * 1.0E-5;
    const int bstarExponent = FieldInt(line1, 60, 2);

    e.inclination = Radians(FieldNumber(line2, 9, 8));
    e.node = Radians(FieldNumber(line2, 18, 8));
    e.eccentricity = FieldNumber(line2, 27, 7) * 1.0E-7;
    e.argPerigee = Radians(FieldNumber(line2, 35, 8));
    e.meanAnomaly = Radians(FieldNumber(line2, 44, 8));
    const double revsPerDay = FieldNumber(line2, 53, 11);

    e.nddot = nddotMantissa * PowerOfTen(nddotExponent) * kTwoPi /
              (kMinutesPerDay * kMinutesPerDay * kMinutesPerDay);
    e.bstar = bstarMantissa * PowerOfTen(bstarExponent) / kAe;
    e.meanMotion = revsPerDay * kTwoPi / kMinutesPerDay;
    e.ndot = ndot * kTwoPi / (kMinutesPerDay * kMinutesPerDay);

    // DEPARTURE: a value too large for its unit (1e308 in an angle field, a mantissa and exponent
    // beyond the double range) became infinite and then NaN in the model; it reads as 0 and the
    // element set is refused.
    for (double* value : {&e.ndot, &e.nddot, &e.bstar, &e.inclination, &e.node, &e.argPerigee, &e.meanAnomaly,
                          &e.meanMotion}) {
        if (std::isfinite(*value)) continue;
        *value = 0.0;
        if (e.error == PropagationError::kNone) e.error = PropagationError::kNumerical;
    }

    // The model choice: period from the un-Kozai mean motion, deep space from 225 minutes.
    if (!(e.meanMotion > 0.0)) {
        if (e.error == PropagationError::kNone) e.error = PropagationError::kMeanMotion;
        return;
    }
    if (!(e.eccentricity >= 0.0 && e.eccentricity < 1.0)) {
        if (e.error == PropagationError::kNone) e.error = PropagationError::kEccentricity;
        return;
    }
    // The un-Kozai period is the Kozai period 2 pi / n times 1 + delo, and for an eccentricity up
    // to 0.9 and a Kozai period of 85 minutes or more |delo| stays under 0.02 (|3 cos^2 i - 1| <= 2,
    // (1 - e^2)^1.5 >= 0.083, a1 >= 1): away from 225 minutes the choice needs no more.
    const double kozaiPeriod = kTwoPi / e.meanMotion;
    if (e.eccentricity <= 0.9 && kozaiPeriod >= 85.0 && (kozaiPeriod <= 215.0 || kozaiPeriod >= 235.0)) {
        e.deepSpace = kozaiPeriod >= 235.0;
        return;
    }
    const double a1 = std::pow(kXke / e.meanMotion, kTwoThirds);
    const double cosi = std::cos(e.inclination);
    const double temp =
        1.5 * kCk2 * (3.0 * cosi * cosi - 1.0) / std::pow(1.0 - e.eccentricity * e.eccentricity, 1.5);
    const double del1 = temp / (a1 * a1);
    const double ao = a1 * (1.0 - del1 * (0.5 * kTwoThirds + del1 * (1.0 + 134.0 / 81.0 * del1)));
    const double delo = temp / (ao * ao);
    const double xnodp = e.meanMotion / (1.0 + delo);
    e.deepSpace = IsDeepSpacePeriod(kTwoPi / xnodp);
}

}  // namespace

double ElementAgeDays(const ElementSet& elements, double jd) {
    if (elements.epochJd == 0.0 || !std::isfinite(jd)) return 0.0;
    return jd - elements.epochJd;
}

bool IsStaleAge(double ageDays) { return std::fabs(ageDays) > kStaleElementDays; }

std::string ElementAgeNote(double ageDays) {
    if (!IsStaleAge(ageDays)) return {};
    // Held to a billion days, so that an absurd instant (a huge timing offset) cannot overflow.
    const long long days = static_cast<long long>(std::floor(std::min(std::fabs(ageDays), 1.0e9)));
    return ageDays > 0 ? "Elements are " + std::to_string(days) + " days old"
                       : "Elements are dated " + std::to_string(days) + " days ahead";
}

ElementSet ConvertElementText(std::string_view nameLine, std::string_view line1, std::string_view line2) {
    ElementSet e;
    char buffer[kMaxField];
    e.catalogueNumber = Field(line1, 3, 5, buffer);
    e.catalogueNumberValue = ParseCatalogueNumber(e.catalogueNumber).value_or(0);
    e.name = std::string(nameLine.substr(0, 24));
    // A name line read with CR LF endings on a system that keeps the CR: drop it.
    while (!e.name.empty() && (e.name.back() == '\r' || e.name.back() == '\n')) e.name.pop_back();
    const std::string_view yearText = Field(line1, 10, 2, buffer);
    const bool twoDigits =
        yearText[0] >= '0' && yearText[0] <= '9' && yearText[1] >= '0' && yearText[1] <= '9';
    const double year = twoDigits ? (yearText[0] - '0') * 10 + (yearText[1] - '0') : LeadingNumber(yearText);
    e.launchYear = (year > 40 ? "19" : "20");
    e.launchYear += yearText;
    e.launchNumber = Field(line1, 12, 3, buffer);
    e.elementNumber = std::to_string(FieldInt(line1, 66, 3));
    ConvertElementNumbers(line1, line2, e);
    return e;
}

ElementSet ConvertElementValues(std::string_view line1, std::string_view line2) {
    ElementSet e;
    ConvertElementNumbers(line1, line2, e);
    return e;
}

}  // namespace corvane
