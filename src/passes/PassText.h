#pragma once
// The small vocabularies and fixed-width texts that every pass display shares: compass words and
// codes, altitude classes, the AOS/LOS condition label, the maximum-elevation text, the site's
// location line and the local date-and-time text of pass lines. Texts are Latin-1: the degree
// sign is the single byte 0xB0.
#include <optional>
#include <string>
#include <string_view>

#include "astro/Time.h"

namespace corvane {

inline constexpr char kDegreeSign = '\xB0';

// Compass word ("North-East") or two-character code ("NE", "N ") of an azimuth in degrees. The
// upper bound is 361; anything outside 0..361 (or NaN) gives two blanks.
std::string CompassText(double azimuthDegrees, bool longForm);

enum class AltitudeLevel { kLow, kModerate, kHigh };
// Low up to 1000 km, High from 3000 km, Moderate between. A height that is not a number counts as
// 0 (Low), like an object whose height is not known yet.
AltitudeLevel AltitudeClass(double heightKm);
const char* AltitudeClassLabel(AltitudeLevel level);  // "Low Altitude", "Mod. Altitude", "High Altitude"
const char* AltitudeFilterWord(AltitudeLevel level);  // "Low", "Mod", "Hig"

// The program's default text of a number: shortest exact form, a leading blank when it is not
// negative (" 10.5", "-2", " 0").
std::string DefaultNumberText(double value);

// Where the condition label appears.
enum class ConditionLabelForm {
    kPassWindow,  // "AOS/LOS at 0° Elevation or point of eclipse."
    kViewPlan,    // the same with four leading blanks
    kPlanFile,    // "     ( AOS/LOS at 0° Elevation or point of eclipse)" (text file and print)
};
// aosElevation in radians (the setting AOSElevation); shown in degrees rounded to one decimal.
std::string ConditionLabel(double aosElevation, bool ignoreEclipse, ConditionLabelForm form);

// "05° at 21:02:07": the last 15 characters of "0" + whole degrees + "° at " + local time text.
std::string MaxElevationText(double maxElevationDegrees, double localJd);
// "HH:MM:SS" of a whole number of seconds (negative counts as 0).
std::string PassDurationText(long long seconds);

// "Mar 07 2004  21:02:07" (date text, two blanks, time text) back to a local Julian date; nullopt
// when the text does not have that form.
std::optional<double> ParseDateTimeText(std::string_view text);

// The five site fields as the main window shows them (texts; Latin-1).
struct SiteTexts {
    std::string name, latitude, longitude, altitude, utcOffset;
    Site ToSite() const { return ParseSite(latitude, longitude, altitude, utcOffset); }
};
// "Location: 40.0N  -75.0E  100m   UTC -4", each field with trailing blanks and NULs removed.
std::string LocationLine(const SiteTexts& site);
// Trailing blanks and NUL characters removed.
std::string TrimBlanksAndNul(std::string_view text);

}  // namespace corvane
