#include "astro/Time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "astro/MathUtil.h"
#include "core/Clock.h"

using namespace corvane;

TEST(JulianDates, YearDayAndFraction) {
    EXPECT_DOUBLE_EQ(JulianDateOfYear(2000), 2451543.5);
    EXPECT_DOUBLE_EQ(JulianDateOfYear(1980) + 1.0, CivilToJulianDate(1980, 1, 1, 0, 0, 0));
    EXPECT_DOUBLE_EQ(JulianDateOfYear(2100) + 1.0, CivilToJulianDate(2100, 1, 1, 0, 0, 0));
    EXPECT_EQ(DayOfYear(2004, 3, 1), 61);
    EXPECT_EQ(DayOfYear(1900, 3, 1), 60);
    EXPECT_EQ(DayOfYear(2000, 3, 1), 61);
    EXPECT_EQ(DayOfYear(2001, 12, 31), 365);
    EXPECT_EQ(DayOfYear(2004, 2, 29), 60);
    EXPECT_DOUBLE_EQ(DayFraction(12, 0, 0, 0), 0.5);
    EXPECT_DOUBLE_EQ(DayFraction(0, 0, 1, 500), 1.5 / 86400.0);
}

TEST(JulianDates, EpochsKeepEveryDigitOfTheDay) {
    EXPECT_DOUBLE_EQ(*JulianDateOfEpoch(24001.5), 2460311.0);
    // The day comes from the epoch's digits, not from epoch - 1000*year.
    const auto yd = SplitEpoch(80275.98708465);
    ASSERT_TRUE(yd);
    EXPECT_EQ(yd->year, 1980);
    EXPECT_EQ(yd->day, std::strtod("275.98708465", nullptr));
    EXPECT_EQ(*JulianDateOfEpoch(80275.98708465),
              JulianDateOfYear(1980) + std::strtod("275.98708465", nullptr));
    // Year pivot: 56 is 2056, 57 is 1957; year 00 with a day of 100 or more is 2000.
    EXPECT_EQ(SplitEpoch(56001.5)->year, 2056);
    EXPECT_EQ(SplitEpoch(57001.5)->year, 1957);
    EXPECT_EQ(SplitEpoch(179.78495062)->year, 2000);
    EXPECT_DOUBLE_EQ(SplitEpoch(179.78495062)->day, 179.78495062);
}

TEST(JulianDates, EpochWithoutADayIsRejected) {
    EXPECT_FALSE(JulianDateOfEpoch(50.5));  // year 00, day 50.5: "50.5" has two digits before the point
    EXPECT_FALSE(JulianDateOfEpoch(1.25));
    EXPECT_FALSE(JulianDateOfEpoch(24001.0));  // no decimal point in its text
    EXPECT_FALSE(JulianDateOfEpoch(0.0));
    EXPECT_FALSE(JulianDateOfEpoch(-17117.5));
    EXPECT_FALSE(JulianDateOfEpoch(std::nan("")));
    EXPECT_FALSE(ThetaGOfEpoch(50.5));
    EXPECT_TRUE(JulianDateOfEpoch(100.5));
}

// An epoch field written with a point and a zero fraction is 0 h of its day; year 00 with a day
// below 100 still has no day.
TEST(JulianDates, WholeEpochWrittenWithAPointIsMidnight) {
    const auto yd = SplitEpoch(17118.0, true);
    ASSERT_TRUE(yd);
    EXPECT_EQ(yd->year, 2017);
    EXPECT_EQ(yd->day, 118.0);
    EXPECT_EQ(*JulianDateOfEpoch(17118.0, true), CivilToJulianDate(2017, 4, 28, 0, 0, 0));
    EXPECT_EQ(*JulianDateOfEpoch(100.0, true), CivilToJulianDate(2000, 4, 9, 0, 0, 0));
    EXPECT_FALSE(JulianDateOfEpoch(50.0, true));
    EXPECT_FALSE(JulianDateOfEpoch(17118.0, false));
    const auto s = ThetaGOfEpoch(17118.0, true);
    ASSERT_TRUE(s);
    EXPECT_NEAR(s->ds50, CivilToJulianDate(2017, 4, 28, 0, 0, 0) - 2433281.5, 1e-9);
}

TEST(SiderealTime, GreenwichAndEpochAnglesAgree) {
    EXPECT_NEAR(ThetaG_JD(2451545.0), Radians(280.46061837), 1e-9);
    // A quarter of a sidereal day later the angle has turned by 90 degrees.
    const double quarter = 0.25 / 1.00273790934;
    EXPECT_NEAR(Fmod2p(ThetaG_JD(2451545.0 + quarter) - ThetaG_JD(2451545.0)), kPi / 2, 1e-6);
    // The 1950-based angle of the orbit model and the Greenwich angle agree to a few 1e-5 rad.
    for (double epoch : {80230.29629788, 6176.46683397, 17117.87990456}) {
        const auto s = ThetaGOfEpoch(epoch);
        ASSERT_TRUE(s);
        EXPECT_NEAR(std::remainder(s->theta - ThetaG_JD(*JulianDateOfEpoch(epoch)), kTwoPi), 0.0, 5e-5)
            << epoch;
        EXPECT_NEAR(s->ds50, *JulianDateOfEpoch(epoch) - 2433281.5, 1e-8);
    }
}

TEST(SiderealTime, LocalSiderealHoursUsesClockOffsetAndSite) {
    EXPECT_NEAR(LocalSiderealHoursAt(2451545.0, 0.0), 280.46061837 / 15.0, 1e-9);
    EXPECT_NEAR(LocalSiderealHoursAt(2451545.0, 90.0), (280.46061837 + 90.0 - 360.0) / 15.0, 1e-9);
    EXPECT_NEAR(LocalSiderealHoursAt(2451545.0, -280.46061837), 0.0, 1e-9);
    ManualClock clock(2451545.0 - 5.0 / 24.0);  // local time at a site five hours behind Greenwich
    Site site;
    site.utcOffset = -5.0;
    site.longitude = 15.0;
    EXPECT_NEAR(LocalSiderealHours(clock, site, 0.0), (280.46061837 + 15.0) / 15.0, 1e-7);
    clock.SetCorrection(1.0);
    const double h = LocalSiderealHours(clock, site, -1.0);
    EXPECT_NEAR(h, (280.46061837 + 15.0) / 15.0, 1e-7);
    EXPECT_NEAR(UtcNow(clock, site), 2451546.0, 1e-9);
}

TEST(DateTexts, CalendarDates) {
    EXPECT_EQ(CalendarDateText(2451545.0), "Jan 01 2000");
    EXPECT_EQ(CalendarDateText(CivilToJulianDate(2004, 3, 7, 23, 59, 59)), "Mar 07 2004");
    // The switch of calendars: 1582 October 4 (Julian) is followed by October 15 (Gregorian),
    // which begins at JD 2299160.5.
    EXPECT_EQ(CalendarDateText(2299159.5), "Oct 04 1582");
    EXPECT_EQ(CalendarDateText(2299160.4), "Oct 04 1582");
    EXPECT_EQ(CalendarDateText(2299160.5), "Oct 15 1582");
    EXPECT_EQ(CalendarDateText(2299161.5), "Oct 16 1582");
    EXPECT_EQ(CalendarDateText(CivilToJulianDate(2016, 12, 31, 12, 0, 0)), "Dec 31 2016");
}

TEST(DateTexts, DatesBeyondABillionDaysReadAsTheOrigin) {
    // A damaged file's 1e300 has no calendar year that fits; it reads like a non-number.
    const std::string origin = CalendarDateText(0.0);
    for (double jd : {1e300, -1e300, 1.0e10, -4.0e12}) {
        EXPECT_EQ(CalendarDateText(jd), origin) << jd;
        int year = 0, month = 0;
        double day = 0.0;
        CalendarDate(jd, year, month, day);
        EXPECT_EQ(year, -4712) << jd;
        EXPECT_EQ(month, 1) << jd;
    }
    EXPECT_NE(CalendarDateText(1.0e9), origin) << "dates up to the limit are still computed";
}

TEST(DateTexts, TimeOfDayTruncatesAndNeverShowsSixtyOrNinetyNine) {
    const double jd = CivilToJulianDate(2017, 4, 28, 12, 34, 59.7);
    EXPECT_EQ(TimeOfDayText(jd, true, 0), "12:34:59");
    EXPECT_EQ(TimeOfDayText(jd, true, 2), "12:34:59.7");
    EXPECT_EQ(TimeOfDayText(jd, true, 3), "12:34:59.70");
    EXPECT_EQ(TimeOfDayText(jd, true, 6), TimeOfDayText(jd, true, 3));
    EXPECT_EQ(TimeOfDayText(jd, true, 1), "12:34:59.");
    EXPECT_EQ(TimeOfDayText(jd, false, 0), "123459");
    EXPECT_EQ(TimeOfDayText(jd, true, -4), "12:34:59");
    // Whole seconds exactly: the rounding of the Julian date must not show the second before.
    for (int s = 0; s < 60; ++s) {
        const double exact = CivilToJulianDate(2017, 4, 28, 3, 15, s);
        char want[16];
        std::snprintf(want, sizeof want, "03:15:%02d.00", s);
        EXPECT_EQ(TimeOfDayText(exact, true, 3), want);
    }
    EXPECT_EQ(TimeOfDayText(CivilToJulianDate(2017, 4, 28, 23, 59, 59.99), true, 0), "23:59:59");
    EXPECT_EQ(TimeOfDayText(CivilToJulianDate(2017, 4, 28, 0, 0, 0), true, 2), "00:00:00.0");
}

TEST(DateTexts, DurationsAndSignedNumbers) {
    EXPECT_EQ(DurationText(3723), "01:02:03");
    EXPECT_EQ(DurationText(0), "00:00:00");
    EXPECT_EQ(DurationText(119.6), "00:02:00");  // never 00:01:60
    EXPECT_EQ(DurationText(59.4), "00:00:59");
    EXPECT_EQ(DurationText(std::nan("")), "00:00:00");
    EXPECT_EQ(FormatSigned(5.25, 3), "+5.250");
    EXPECT_EQ(FormatSigned(-5.2599, 2), "-5.25");  // truncated, not rounded
    EXPECT_EQ(FormatSigned(0.0, 1), "+0.0");
    EXPECT_EQ(FormatSigned(0.29, 2), "+0.29");
    EXPECT_EQ(FormatSigned(-0.0001, 2), "-0.00");
    EXPECT_EQ(FormatSigned(359.9999, 1), "+359.9");
    EXPECT_EQ(FormatSigned(12.5, 0), "+12");
    EXPECT_EQ(FormatSigned(std::nan(""), 2), "+0.00");
}

TEST(NumericHelpers, ModulusAcTanAndClampedArcs) {
    EXPECT_DOUBLE_EQ(Modulus(-1.0, 360.0), 359.0);
    EXPECT_DOUBLE_EQ(Modulus(725.0, 360.0), 5.0);
    EXPECT_GE(Fmod2p(-1e-18), 0.0);
    EXPECT_DOUBLE_EQ(AcTan(1.0, 0.0), kPi / 2);
    EXPECT_DOUBLE_EQ(AcTan(-1.0, 0.0), 3 * kPi / 2);
    EXPECT_DOUBLE_EQ(AcTan(0.0, -1.0), kPi);
    EXPECT_DOUBLE_EQ(AcTan(-1.0, -1.0), 5 * kPi / 4);
    EXPECT_DOUBLE_EQ(AcTan(-1.0, 1.0), -kPi / 4);
    EXPECT_DOUBLE_EQ(ArcSin(1.0000001), kPi / 2);
    EXPECT_DOUBLE_EQ(ArcCos(-1.0000001), kPi);
    StateVector v{3, 4, 12, 0};
    Magnitude(v);
    EXPECT_DOUBLE_EQ(v.magnitude, 13.0);
}

TEST(Sites, TextsReadWithTheProgramsNumberRule) {
    const Site s = ParseSite(" 40.5", "-75abc", "", "x");
    EXPECT_DOUBLE_EQ(s.latitude, 40.5);
    EXPECT_DOUBLE_EQ(s.longitude, -75.0);
    EXPECT_DOUBLE_EQ(s.altitude, 0.0);
    EXPECT_DOUBLE_EQ(s.utcOffset, 0.0);
}

TEST(IsoTimes, ParseAndWriteUtc) {
    EXPECT_DOUBLE_EQ(*ParseIsoUtc("2017-04-28T03:15:00Z"), CivilToJulianDate(2017, 4, 28, 3, 15, 0));
    EXPECT_DOUBLE_EQ(*ParseIsoUtc("2017-04-28 03:15"), CivilToJulianDate(2017, 4, 28, 3, 15, 0));
    EXPECT_DOUBLE_EQ(*ParseIsoUtc("2017-04-28"), CivilToJulianDate(2017, 4, 28, 0, 0, 0));
    EXPECT_NEAR(*ParseIsoUtc("2017-04-28T03:15:00.25Z"), CivilToJulianDate(2017, 4, 28, 3, 15, 0.25), 1e-10);
    EXPECT_NEAR(*ParseIsoUtc("2017-04-28T05:15:00+02:00"), CivilToJulianDate(2017, 4, 28, 3, 15, 0), 1e-9);
    EXPECT_NEAR(*ParseIsoUtc("2017-04-27T22:15:00-0500"), CivilToJulianDate(2017, 4, 28, 3, 15, 0), 1e-9);
    EXPECT_TRUE(ParseIsoUtc("2016-02-29T00:00:00Z"));
    for (const char* bad : {"2017-02-29T00:00:00Z", "2017-13-01", "2017-04-28T24:00:00Z", "2017-04-28T03:60Z",
                            "2017-04-28T03:15:00ZZ", "2017-04-28X03:15", "28/04/2017", "",
                            "2017-04-28T03:15:00.Z", "2017-04-28T03:15:00+25:00"}) {
        EXPECT_FALSE(ParseIsoUtc(bad)) << bad;
    }
    EXPECT_EQ(IsoUtcText(CivilToJulianDate(2017, 4, 28, 3, 15, 0)), "2017-04-28T03:15:00.000Z");
    EXPECT_EQ(IsoUtcText(CivilToJulianDate(2017, 12, 31, 23, 59, 59.9999)), "2018-01-01T00:00:00.000Z");
}
