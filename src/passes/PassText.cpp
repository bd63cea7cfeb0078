#include "passes/PassText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "astro/MathUtil.h"
#include "core/Text.h"

namespace corvane {

std::string CompassText(double azimuth, bool longForm) {
    struct Sector {
        double upTo;
        const char* word;
        const char* code;
    };
    static const Sector kSectors[] = {
        {22.5, "North", "N "},       {67.5, "North-East", "NE"},  {112.5, "East", "E "},
        {157.5, "South-East", "SE"}, {202.5, "South", "S "},      {247.5, "South-West", "SW"},
        {292.5, "West", "W "},       {337.5, "North-West", "NW"}, {361.0, "North", "N "},
    };
    if (azimuth >= 0.0) {
        for (const Sector& s : kSectors) {
            if (azimuth <= s.upTo) return longForm ? s.word : s.code;
        }
    }
    return "  ";
}

AltitudeLevel AltitudeClass(double heightKm) {
    if (!std::isfinite(heightKm) || heightKm <= 1000.0) return AltitudeLevel::kLow;
    if (heightKm < 3000.0) return AltitudeLevel::kModerate;
    return AltitudeLevel::kHigh;
}

const char* AltitudeClassLabel(AltitudeLevel level) {
    switch (level) {
        case AltitudeLevel::kLow:
            return "Low Altitude";
        case AltitudeLevel::kModerate:
            return "Mod. Altitude";
        case AltitudeLevel::kHigh:
            return "High Altitude";
    }
    return "";
}

const char* AltitudeFilterWord(AltitudeLevel level) {
    switch (level) {
        case AltitudeLevel::kLow:
            return "Low";
        case AltitudeLevel::kModerate:
            return "Mod";
        case AltitudeLevel::kHigh:
            return "Hig";
    }
    return "";
}

std::string DefaultNumberText(double value) {
    if (!std::isfinite(value) || value == 0.0) value = 0.0;  // also turns -0 into 0
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    std::string text(buf, result.ptr);
    if (value >= 0.0) text.insert(text.begin(), ' ');
    return text;
}

std::string ConditionLabel(double aosElevation, bool ignoreEclipse, ConditionLabelForm form) {
    const std::string number = DefaultNumberText(RoundTo(Degrees(aosElevation), 1));
    std::string text;
    switch (form) {
        case ConditionLabelForm::kPassWindow:
            text = "AOS/LOS at";
            break;
        case ConditionLabelForm::kViewPlan:
            text = "    AOS/LOS at";
            break;
        case ConditionLabelForm::kPlanFile:
            text = "     ( AOS/LOS at";
            break;
    }
    text += number;
    text += kDegreeSign;
    text += ignoreEclipse ? " Elevation" : " Elevation or point of eclipse";
    text += form == ConditionLabelForm::kPlanFile ? ")" : ".";
    return text;
}

std::string MaxElevationText(double maxElevationDegrees, double localJd) {
    const double rounded = std::isfinite(maxElevationDegrees) ? std::round(maxElevationDegrees) : 0.0;
    std::string text = "0" + std::to_string(static_cast<long long>(rounded));
    text += kDegreeSign;
    text += " at ";
    text += TimeOfDayText(localJd, true, 0);
    return text.size() > 15 ? text.substr(text.size() - 15) : text;
}

std::string PassDurationText(long long seconds) {
    if (seconds < 0) seconds = 0;
    std::string text;
    AppendTwoDigits(text, seconds / 3600);
    text.push_back(':');
    AppendTwoDigits(text, seconds % 3600 / 60);
    text.push_back(':');
    AppendTwoDigits(text, seconds % 60);
    return text;
}

namespace {

bool Digits(std::string_view text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

}  // namespace

std::optional<double> ParseDateTimeText(std::string_view text) {
    // "Mar 07 2004  21:02:07"
    if (text.size() != 21 || text[3] != ' ' || text[6] != ' ' || text[11] != ' ' || text[12] != ' ' ||
        text[15] != ':' || text[18] != ':') {
        return std::nullopt;
    }
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    int month = 0;
    for (int m = 0; m < 12; ++m) {
        if (text.substr(0, 3) == std::string_view(kMonths + 3 * m, 3)) month = m + 1;
    }
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (month == 0 || !Digits(text, 4, 2, day) || !Digits(text, 7, 4, year) || !Digits(text, 13, 2, hour) ||
        !Digits(text, 16, 2, minute) || !Digits(text, 19, 2, second)) {
        return std::nullopt;
    }
    if (day < 1 || day > 31 || year < 1 || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return JulianDateOfYear(year) + DayOfYear(year, month, day) + DayFraction(hour, minute, second, 0);
}

std::string TrimBlanksAndNul(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\0')) --end;
    return std::string(text.substr(0, end));
}

std::string LocationLine(const SiteTexts& site) {
    return "Location: " + TrimBlanksAndNul(site.latitude) + "N  " + TrimBlanksAndNul(site.longitude) + "E  " +
           TrimBlanksAndNul(site.altitude) + "m   UTC " + TrimBlanksAndNul(site.utcOffset);
}

}  // namespace corvane
