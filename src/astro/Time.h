#pragma once
// Julian dates, sidereal time and the texts of dates, times and durations. The one time scale of
// every computation is a Julian date (days, double) in UTC.
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

class Clock;

// An observing site as the program uses it: degrees north, degrees east, metres above the
// ellipsoid, and the UTC offset (local time minus UTC) in hours.
struct Site {
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    double utcOffset = 0.0;
};

// A site from its texts with the program's numeric reading (leading number; anything else 0).
Site ParseSite(std::string_view latitude, std::string_view longitude, std::string_view altitude,
               std::string_view utcOffset);

// Julian date of 0h UTC on day 0 of January (31 December of the year before).
double JulianDateOfYear(int year);
// Day of the year, 1 January = 1, Gregorian leap years.
int DayOfYear(int year, int month, int day);
// Fraction of a day.
double DayFraction(double hour, double minute, double second, double millisecond);

// Year and day of a TLE epoch in YYDDD.DDDDDDDD form. The day is read from the epoch's decimal
// text (15 significant digits) from three places before the point, so every digit of the
// fraction survives. Years 57..99 are 19xx, 00..56 are 20xx. Without a decimal point or with
// fewer than three digits before it the epoch has no day: nullopt. `writtenWithPoint` tells that
// the epoch field itself had a decimal point: a whole value such as 17118.00000000 is then day
// 118.0, not an epoch without a day.
struct EpochYearDay {
    int year = 0;
    double day = 0.0;
};
std::optional<EpochYearDay> SplitEpoch(double epoch, bool writtenWithPoint = false);
// Julian date of a TLE epoch, nullopt when it has no day (see SplitEpoch).
std::optional<double> JulianDateOfEpoch(double epoch, bool writtenWithPoint = false);

// The program clock: the computer's local time as a Julian date plus the clock correction. Not
// shifted by the site's UTC offset: UTC now is JulianDateNow(clock) - site.utcOffset / 24.
double JulianDateNow(const Clock& clock);
// UTC now for a site.
double UtcNow(const Clock& clock, const Site& site);

// Greenwich mean sidereal angle, radians in [0, 2*pi).
double ThetaG_JD(double jd);

// Sidereal angle at a TLE epoch by the 1950-based expression of the orbit model, with the
// epoch's days since 1950 January 0.0 (ds50) used by the deep-space terms.
struct EpochSidereal {
    double theta = 0.0;  // radians, [0, 2*pi)
    double ds50 = 0.0;   // days
};
std::optional<EpochSidereal> ThetaGOfEpoch(double epoch, bool writtenWithPoint = false);

// Local sidereal time in hours [0, 24) at the site, for the program clock shifted by offset
// days. The pure form takes the UTC Julian date directly.
double LocalSiderealHours(const Clock& clock, const Site& site, double offsetDays);
double LocalSiderealHoursAt(double jdUtc, double longitudeDegrees);

// ISO 8601 date and time in UTC: "2017-04-28T03:15:00Z", with fractions of a second, "+hh:mm"
// or "-hh:mm" offsets, "T" or a blank between date and time; a date alone is 0h. nullopt for
// anything else or an impossible date or time.
std::optional<double> ParseIsoUtc(std::string_view text);
// "2017-04-28T03:15:00.000Z" (whole milliseconds).
std::string IsoUtcText(double jd);

// "Mar 07 2004".
std::string CalendarDateText(double jd);
// Calendar date of a Julian date (day with its fraction).
void CalendarDate(double jd, int& year, int& month, double& day);
// "12:34:56" (colons) or "123456"; digits 0..3 (larger acts as 3): 0 whole seconds, 1 adds the
// point, 2 one decimal, 3 two decimals. The seconds are truncated, never rounded up into 60.
std::string TimeOfDayText(double jd, bool colons, int digits);
// "01:02:03" from seconds (rounded to the whole second first).
std::string DurationText(double seconds);
// "+5.250": sign ("+" for 0 or more), then the absolute value truncated to the decimals.
std::string FormatSigned(double value, int decimals);

}  // namespace corvane
