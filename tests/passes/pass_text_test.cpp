// Compass words, altitude classes, the condition label and the fixed-width texts of a pass.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/Clock.h"
#include "passes/PassSearch.h"
#include "passes/PassText.h"

using namespace corvane;

TEST(CompassText, BoundariesBelongToTheEarlierRowUpTo361) {
    struct Case {
        double azimuth;
        const char* word;
        const char* code;
    };
    const Case cases[] = {
        {0.0, "North", "N "},        {22.5, "North", "N "},  {22.500001, "North-East", "NE"},
        {67.5, "North-East", "NE"},  {67.6, "East", "E "},   {112.5, "East", "E "},
        {157.5, "South-East", "SE"}, {180.0, "South", "S "}, {202.5, "South", "S "},
        {247.5, "South-West", "SW"}, {292.5, "West", "W "},  {337.5, "North-West", "NW"},
        {337.6, "North", "N "},      {360.5, "North", "N "}, {361.0, "North", "N "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompassText(c.azimuth, true), c.word) << c.azimuth;
        EXPECT_EQ(CompassText(c.azimuth, false), c.code) << c.azimuth;
    }
    for (double bad : {361.5, -0.1, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(CompassText(bad, true), "  ");
        EXPECT_EQ(CompassText(bad, false), "  ");
    }
}

TEST(AltitudeClass, ExactlyOneAndThreeThousandKilometres) {
    EXPECT_EQ(AltitudeClass(1000.0), AltitudeLevel::kLow);
    EXPECT_EQ(AltitudeClass(1000.01), AltitudeLevel::kModerate);
    EXPECT_EQ(AltitudeClass(2999.99), AltitudeLevel::kModerate);
    EXPECT_EQ(AltitudeClass(3000.0), AltitudeLevel::kHigh);
    EXPECT_EQ(AltitudeClass(std::numeric_limits<double>::quiet_NaN()), AltitudeLevel::kLow);
}

TEST(ConditionLabel, ThreeFormsAndTheNumberWithItsSignBlank) {
    EXPECT_EQ(ConditionLabel(0.0, false, ConditionLabelForm::kPassWindow),
              "AOS/LOS at 0\xB0 Elevation or point of eclipse.");
    EXPECT_EQ(ConditionLabel(0.0, true, ConditionLabelForm::kPassWindow), "AOS/LOS at 0\xB0 Elevation.");
    EXPECT_EQ(ConditionLabel(0.0, false, ConditionLabelForm::kViewPlan),
              "    AOS/LOS at 0\xB0 Elevation or point of eclipse.");
    EXPECT_EQ(ConditionLabel(0.0, false, ConditionLabelForm::kPlanFile),
              "     ( AOS/LOS at 0\xB0 Elevation or point of eclipse)");
    EXPECT_EQ(ConditionLabel(0.0, true, ConditionLabelForm::kPlanFile), "     ( AOS/LOS at 0\xB0 Elevation)");
    // Degrees from the radians of the setting, rounded to one decimal.
    const double deg = 3.141592653589793 / 180.0;
    EXPECT_EQ(ConditionLabel(10.0 * deg, true, ConditionLabelForm::kPassWindow),
              "AOS/LOS at 10\xB0 Elevation.");
    EXPECT_EQ(ConditionLabel(10.46 * deg, true, ConditionLabelForm::kPassWindow),
              "AOS/LOS at 10.5\xB0 Elevation.");
    EXPECT_EQ(ConditionLabel(-2.0 * deg, true, ConditionLabelForm::kPassWindow),
              "AOS/LOS at-2\xB0 Elevation.");
    EXPECT_EQ(DefaultNumberText(-0.0), " 0");
    EXPECT_EQ(DefaultNumberText(std::numeric_limits<double>::infinity()), " 0");
}

TEST(PassTexts, MaximumElevationIsFifteenCharacters) {
    const double t = CivilToJulianDate(2017, 4, 27, 21, 2, 7);
    EXPECT_EQ(MaxElevationText(5.0, t), "05\xB0 at 21:02:07");
    EXPECT_EQ(MaxElevationText(44.6, t), "45\xB0 at 21:02:07");
    EXPECT_EQ(MaxElevationText(90.0, t), "90\xB0 at 21:02:07");
    EXPECT_EQ(MaxElevationText(-3.0, t), "-3\xB0 at 21:02:07");
    EXPECT_EQ(MaxElevationText(5.0, t).size(), 15u);
    EXPECT_EQ(PassDurationText(0), "00:00:00");
    EXPECT_EQ(PassDurationText(119), "00:01:59");
    EXPECT_EQ(PassDurationText(3600 + 62), "01:01:02");
    EXPECT_EQ(PassDurationText(-5), "00:00:00");
}

TEST(PassTexts, DateAndTimeTextReadsBackToTheSameSecond) {
    const double base = CivilToJulianDate(2017, 12, 31, 0, 0, 0);
    for (long long s = 0; s < 3 * 86400; s += 3607) {
        const double jd = base + static_cast<double>(s) / 86400.0;
        const std::string text = CalendarDateText(jd) + "  " + TimeOfDayText(jd, true, 0);
        const auto back = ParseDateTimeText(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_NEAR((*back - jd) * 86400.0, 0.0, 1e-3) << text;
    }
    for (const char* bad : {"", "Xyz 27 2017  21:02:07", "Apr 27 2017 21:02:07", "Apr 27 2017  25:02:07",
                            "Apr 2a 2017  21:02:07"}) {
        EXPECT_FALSE(ParseDateTimeText(bad).has_value()) << bad;
    }
}

TEST(PassTexts, PassListLineColumns) {
    // A worked example: AOS 21:02:07 NW, LOS 21:08:40 SE local (UTC - 4), 45° at 21:05:21.
    const double zone = -4.0 / 24.0;
    PassRecord p;
    p.aosSecond = 0;
    p.losSecond = 393;
    p.aos = CivilToJulianDate(2017, 4, 27, 21, 2, 7) - zone;
    p.los = CivilToJulianDate(2017, 4, 27, 21, 8, 40) - zone;
    p.aosDirection = "NW";
    p.losDirection = "SE";
    p.maxElevation = 45.2;
    p.maxElevationTime = CivilToJulianDate(2017, 4, 27, 21, 5, 21) - zone;
    const std::string line = PassListLine(p, -4.0);
    EXPECT_EQ(line,
              "Apr 27 2017  21:02:07 NW   \tApr 27 2017  21:08:40 SE    \t00:06:33    45\xB0 at 21:05:21");
    ASSERT_EQ(line.size(), 84u);
    EXPECT_EQ(line[27], '\t');
    EXPECT_EQ(line[56], '\t');
    p.aosDirection = "N ";
    p.losDirection = "--";
    EXPECT_EQ(PassListLine(p, -4.0).substr(22, 2), "N ");
    EXPECT_EQ(PassListLine(p, -4.0).substr(50, 2), "--");
}

TEST(PassTexts, LocationLineDropsTrailingBlanksAndNul) {
    SiteTexts site{"Home", "40.0  ", std::string("-75.0\0\0", 7), "100", "-4 "};
    EXPECT_EQ(LocationLine(site), "Location: 40.0N  -75.0E  100m   UTC -4");
}
