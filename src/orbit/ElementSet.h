#pragma once
// One element set converted from its three lines of text by fixed columns, in model units.
// Numeric fields read with blanks as zeros; text that is not a number reads as 0.
#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// Why an element set cannot be propagated (or a propagation failed). Never NaN instead.
enum class PropagationError : uint8_t {
    kNone = 0,
    kNoElements,      // the slot holds no element set
    kNoEpochDay,      // the epoch has no day (no decimal point or under three digits before it)
    kMeanMotion,      // mean motion zero or negative (at epoch or after the secular update)
    kEccentricity,    // eccentricity outside [0, 1) (at epoch or after the secular update)
    kDecayed,         // negative semi-latus rectum or the object below the Earth's surface
    kNumerical,       // the model produced a non-finite number
    kTimeOutOfRange,  // more than 100000 days from the epoch (or not a number)
};
const char* PropagationErrorText(PropagationError error);

struct ElementSet {
    std::string catalogueNumber;    // line 1, columns 3-7, as written (digits or Alpha-5)
    long catalogueNumberValue = 0;  // its number ("A0000" is 100000); 0 when it reads as none
    std::string name;               // first 24 characters of the name line
    std::string launchYear;         // 4 characters: "19"/"20" and line 1 columns 10-11
    std::string launchNumber;       // line 1, columns 12-14
    std::string elementNumber;      // line 1, columns 66-68 as a whole number, trimmed
    double epoch = 0.0;             // YYDDD.DDDDDDDD
    bool epochHasPoint = false;     // the epoch field was written with a decimal point
    double epochJd = 0.0;           // Julian date of the epoch (0 when it has no day)
    double ndot = 0.0;              // first derivative of mean motion / 2, radians/minute^2
    double nddot = 0.0;             // second derivative / 6, radians/minute^3
    double bstar = 0.0;             // per Earth radius
    double inclination = 0.0;       // radians
    double node = 0.0;              // right ascension of the ascending node, radians
    double eccentricity = 0.0;
    double argPerigee = 0.0;                           // radians
    double meanAnomaly = 0.0;                          // radians
    double meanMotion = 0.0;                           // radians/minute (Kozai, as in the element set)
    bool deepSpace = false;                            // period of 225 minutes or more: SDP4
    PropagationError error = PropagationError::kNone;  // set when the model cannot take it
};

// Converts the three lines of an element set (any line may be short or malformed).
ElementSet ConvertElementText(std::string_view nameLine, std::string_view line1, std::string_view line2);
// Only the numbers, epoch, error and model choice (the text fields empty): for callers that
// propagate and never show the element set.
ElementSet ConvertElementValues(std::string_view line1, std::string_view line2);

// Element sets used more than 30 days from their epoch (either way) are flagged: the model's
// positions drift by kilometres a day, more for low orbits.
inline constexpr double kStaleElementDays = 30.0;
// Days from the epoch to jd ("T+Epoch"); 0 when the element set has no epoch day.
double ElementAgeDays(const ElementSet& elements, double jd);
bool IsStaleAge(double ageDays);
// "Elements are 3287 days old" (or "Elements are dated 40 days ahead" before the epoch) for a
// stale age, whole days; empty otherwise.
std::string ElementAgeNote(double ageDays);

// The model choice: SDP4 for a period (from the un-Kozai mean motion) of 225 minutes or more.
inline bool IsDeepSpacePeriod(double periodMinutes) { return periodMinutes >= 225.0; }

// Characters [start, start+length) of a line (1-based start); missing characters are blanks.
std::string Column(std::string_view line, int start, int length);
// The program's numeric reading of a field with every blank read as the digit 0.
double BlankToZero(std::string_view field);

}  // namespace corvane
