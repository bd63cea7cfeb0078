#include "core/Clock.h"

#include <gtest/gtest.h>

using namespace corvane;

TEST(Clock, CivilDatesMatchKnownJulianDates) {
    EXPECT_DOUBLE_EQ(CivilToJulianDate(2000, 1, 1, 12, 0, 0), 2451545.0);
    EXPECT_DOUBLE_EQ(CivilToJulianDate(1999, 12, 31, 0, 0, 0), 2451543.5);
    EXPECT_DOUBLE_EQ(CivilToJulianDate(2024, 1, 1, 12, 0, 0), 2460311.0);
    EXPECT_DOUBLE_EQ(CivilToJulianDate(2004, 3, 1, 0, 0, 0) - CivilToJulianDate(2004, 2, 28, 0, 0, 0), 2.0);
    EXPECT_DOUBLE_EQ(CivilToJulianDate(1900, 3, 1, 0, 0, 0) - CivilToJulianDate(1900, 2, 28, 0, 0, 0), 1.0);
}

TEST(Clock, ManualClockSleepAdvancesVirtualTimeAndCorrectionApplies) {
    ManualClock clock(2460000.5);
    clock.Sleep(8000);
    EXPECT_NEAR(clock.LocalJulianDate(), 2460000.5 + 8.0 / 86400.0, 1e-9);
    EXPECT_DOUBLE_EQ(clock.MonotonicSeconds(), 8.0);
    EXPECT_EQ(clock.SleptMilliseconds(), 8000);
    clock.SetCorrection(3.0);
    EXPECT_NEAR(clock.JulianDateNow(), 2460003.5 + 8.0 / 86400.0, 1e-9);
}

TEST(Clock, SystemClockAgreesWithTimeOfDayAndMovesForward) {
    SystemClock clock;
    const double a = clock.MonotonicSeconds();
    clock.Sleep(20);
    EXPECT_GE(clock.MonotonicSeconds() - a, 0.019);
    // Local Julian date is within a day and a bit of UTC whatever the zone.
    const double utc = 2440587.5 + static_cast<double>(time(nullptr)) / 86400.0;
    EXPECT_NEAR(clock.LocalJulianDate(), utc, 1.1);
}
