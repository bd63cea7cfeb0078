// The position panel: number, hour, degree and countdown texts; every field of a pass at a fixed
// instant through the manual clock; the direction suffix rule; the sun line near shadow
// boundaries; and no NaN whatever the input.
#include "passes/DisplayPanel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "astro/MathUtil.h"
#include "astro/Sun.h"
#include "core/Clock.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"
#include "passes/ObjectList.h"

namespace corvane {
namespace {

const Site kSite{40.0, -75.0, 100.0, -4.0};
const double kInstant = CivilToJulianDate(2017, 4, 28, 3, 15, 0.0);  // UTC
constexpr double kSecond = 1.0 / 86400.0;

const ElementCatalogue& Catalogue() {
    static const std::shared_ptr<const ElementCatalogue> c =
        LoadElementFile(std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle").catalogue;
    return *c;
}

// Local clock reading for a UTC instant at kSite.
double LocalFor(double utc) { return utc + kSite.utcOffset / 24.0; }

bool EclipsedAt(int index, double utc) {
    PropagationSlot slot;
    ConvertElementSet(Catalogue(), index, slot);
    PropagationResult r = PropagateSlot(utc, slot);
    ConvertState(r);
    return IsEclipsed(r.position, ComputeSunVector(utc));
}

// First whole second after `from` at which the eclipse state differs from the state at `from`.
double NextShadowBoundary(int index, double from) {
    const bool start = EclipsedAt(index, from);
    for (int s = 1; s < 3 * 86400; ++s) {
        if (EclipsedAt(index, from + s * kSecond) != start) return from + s * kSecond;
    }
    return 0.0;
}

bool HasNan(const DisplayTexts& t) {
    auto bad = [](const std::string& s) {
        return s.find("nan") != std::string::npos || s.find("inf") != std::string::npos;
    };
    for (const auto& f : t.fields) {
        if (bad(f)) return true;
    }
    return bad(t.topLine) || bad(t.direction) || bad(t.sunText);
}

TEST(PanelTexts, HourDegreeCountdownAndNumbers) {
    EXPECT_EQ(DegreeText(12.99999), "+12 \xB0 59 m 59 s");
    EXPECT_EQ(DegreeText(-5.5), "-05 \xB0 30 m 00 s");
    EXPECT_EQ(DegreeText(0.0), "+00 \xB0 00 m 00 s");
    EXPECT_EQ(DegreeText(-0.25, true), "-00:15:00");
    EXPECT_EQ(HourText(5.0 + 34.0 / 60 + 31.2 / 3600), "05 hr 34 m 31 s");
    EXPECT_EQ(HourText(5.0 + 34.0 / 60 + 59.7 / 3600), "05 hr 34 m 59 s");  // 60 shows as 59
    EXPECT_EQ(HourText(23.0 + 59.0 / 60 + 59.9 / 3600, true), "23:59:59");
    EXPECT_EQ(CountdownText(37), "0:37");
    EXPECT_EQ(CountdownText(151), "2:31");
    EXPECT_EQ(CountdownText(0), "0:00");
    EXPECT_EQ(FixedText(-1.5, 3), "-1.500");
    EXPECT_EQ(FixedText(2.0, 6), "2.000000");
    EXPECT_EQ(FixedText(std::nan(""), 2), "0.00");
    EXPECT_EQ(DegreeText(std::nan("")), "+00 \xB0 00 m 00 s");
}

TEST(DisplayPass, TopLineAndNoSelection) {
    ManualClock clock(CivilToJulianDate(2017, 4, 27, 23, 15, 7.25));
    DisplayPanelState state;
    DisplayTexts t = ComputeDisplayPass(Catalogue(), 0, kSite, clock, 0.0, state);
    EXPECT_EQ(t.topLine, "Apr 27 2017  23:15:07.2");
    EXPECT_FALSE(t.objectShown);
    EXPECT_TRUE(t.direction.empty());
    clock.SetCorrection(2.0 * kSecond);
    t = ComputeDisplayPass(Catalogue(), Catalogue().Count() + 5, kSite, clock, 0.0, state);
    EXPECT_EQ(t.topLine, "(Adjusted) Apr 27 2017  23:15:09.2");
    EXPECT_FALSE(t.objectShown);
}

TEST(DisplayPass, EveryFieldOfTheIssAtAFixedInstant) {
    const int iss = Catalogue().IssIndex();
    ManualClock clock(LocalFor(kInstant));
    DisplayPanelState state;
    const DisplayTexts t = ComputeDisplayPass(Catalogue(), iss, kSite, clock, 0.0, state);
    ASSERT_TRUE(t.objectShown);
    ASSERT_TRUE(t.positionKnown);
    EXPECT_TRUE(t.selectionChanged);
    EXPECT_EQ(t.Field("Satellite Name:"), "ISS (ZARYA)             ");
    EXPECT_EQ(t.Field("NORAD No.:"), "25544");
    EXPECT_EQ(t.Field("Launch Yr/No.:"), "1998/067");
    // Epoch 17117.89041289: 2017-04-27 21:22:11.7 UTC.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", kInstant - (2457870.5 + 0.89041289));
    EXPECT_EQ(t.Field("T+Epoch:"), buf);
    EXPECT_EQ(t.Field("Julian Date:"), "2457871.635417");
    EXPECT_EQ(t.Field("Local Time:"), "23:15:00.0");
    EXPECT_EQ(t.Field("UTC Time:"), "03:15:00.0");

    // The position as the orbit code reports it, written in the panel's formats.
    PropagationSlot slot;
    ConvertElementSet(Catalogue(), iss, slot);
    PropagationResult before = PropagateSlot(kInstant - kSecond, slot), now = PropagateSlot(kInstant, slot);
    ConvertState(before);
    ConvertState(now);
    GeodeticPoint site = SitePoint(kSite);
    const LookAngles look = ComputeLookAngles(now.position, now.velocity, site, kInstant);
    const GeodeticPoint sub = ComputeSubPoint(now.position, kInstant);
    const double speed = std::hypot(now.position.x - before.position.x, now.position.y - before.position.y,
                                    now.position.z - before.position.z) *
                         3600.0;
    EXPECT_NEAR(speed, 27600.0, 300.0);  // the ISS moves at about 7.66 km/s
    auto fmt = [&](const char* f, double v) {
        std::snprintf(buf, sizeof buf, f, v);
        return std::string(buf);
    };
    EXPECT_EQ(t.Field("Azimuth:"), fmt("%.3f \xB0", Degrees(look.azimuth)));
    EXPECT_EQ(t.Field("Elevation:"), fmt("%.3f \xB0", Degrees(look.elevation)));
    EXPECT_EQ(t.Field("Range:"), fmt("%.3f km", look.range));
    EXPECT_EQ(t.Field("Velocity:"), fmt("%.2f km/hr", speed));
    EXPECT_EQ(t.Field("Latitude:"), fmt("%.4f \xB0 N", Degrees(sub.latitude)));
    EXPECT_EQ(t.Field("Longitude:"), fmt("%.4f \xB0 E", Degrees(sub.longitude)));
    EXPECT_EQ(t.Field("Altitude:"), fmt("%.3f km", sub.altitude));
    const LookAngles radec = ComputeRADec(now.position, now.velocity, site, kInstant);
    EXPECT_EQ(t.Field("R.A.:"), HourText(Degrees(radec.azimuth) / 15.0));
    EXPECT_EQ(t.Field("Dec.:"), DegreeText(Degrees(radec.elevation)));
    EXPECT_EQ(t.Field("R.A.:").size(), std::string("05 hr 34 m 31 s").size());
    EXPECT_EQ(t.subLatitude, Degrees(sub.latitude));
    EXPECT_FALSE(HasNan(t));
}

TEST(DisplayPass, TimingOffsetShiftsThePositionInstant) {
    const int iss = Catalogue().IssIndex();
    ManualClock clock(LocalFor(kInstant));
    DisplayPanelState a, b;
    const DisplayTexts shifted = ComputeDisplayPass(Catalogue(), iss, kSite, clock, 10.0, a);
    clock.Advance(10.0);
    const DisplayTexts later = ComputeDisplayPass(Catalogue(), iss, kSite, clock, 0.0, b);
    EXPECT_EQ(shifted.fields, later.fields);
    EXPECT_NE(shifted.topLine, later.topLine);
}

TEST(DisplayPass, AscendingDescendingFromTheSecondPassOfAnObject) {
    const int iss = Catalogue().IssIndex();
    // Find an instant when the ISS is up: scan the day in 30-second steps.
    double up = 0.0;
    for (int s = 0; s < 86400 && up == 0.0; s += 30) {
        ManualClock probe(LocalFor(kInstant + s * kSecond));
        DisplayPanelState st;
        DisplayTexts p = ComputeDisplayPass(Catalogue(), iss, kSite, probe, 0.0, st);
        if (p.aboveHorizon && p.elevation > 5.0) up = kInstant + s * kSecond;
    }
    ASSERT_NE(up, 0.0);
    ManualClock clock(LocalFor(up));
    DisplayPanelState state;
    DisplayTexts first = ComputeDisplayPass(Catalogue(), iss, kSite, clock, 0.0, state);
    EXPECT_TRUE(first.selectionChanged);
    EXPECT_EQ(first.direction.find(','), std::string::npos) << first.direction;
    clock.Advance(0.1);
    DisplayTexts second = ComputeDisplayPass(Catalogue(), iss, kSite, clock, 0.0, state);
    EXPECT_FALSE(second.selectionChanged);
    const std::string suffix = first.elevation < second.elevation ? ", Ascending" : ", Descending";
    EXPECT_EQ(second.direction, CompassText(second.azimuth, true) + suffix);

    // A new selection starts again without the suffix, also when coming back.
    clock.Advance(0.1);
    DisplayTexts other = ComputeDisplayPass(Catalogue(), 1, kSite, clock, 0.0, state);
    EXPECT_TRUE(other.selectionChanged);
    EXPECT_EQ(other.direction.find(','), std::string::npos);
    clock.Advance(0.1);
    DisplayTexts back = ComputeDisplayPass(Catalogue(), iss, kSite, clock, 0.0, state);
    EXPECT_EQ(back.direction.find(','), std::string::npos);
    // Below the horizon: no suffix either.
    ManualClock night(LocalFor(up + 1500 * kSecond));  // 25 minutes later the pass is over
    DisplayPanelState st2;
    for (int k = 0; k < 2; ++k) {
        DisplayTexts t = ComputeDisplayPass(Catalogue(), iss, kSite, night, 0.0, st2);
        ASSERT_FALSE(t.aboveHorizon);
        EXPECT_EQ(t.direction, "Below Horizon at Location");
        night.Advance(0.1);
    }
}

TEST(DisplayPass, SunLineCountsDownToShadowEntryAndExit) {
    const int iss = Catalogue().IssIndex();
    // Move to a sunlit moment, then find the next entry into the shadow and the exit after it.
    double start = kInstant;
    if (EclipsedAt(iss, start)) start = NextShadowBoundary(iss, start) + 5 * kSecond;
    const double entry = NextShadowBoundary(iss, start);  // first eclipsed second
    ASSERT_NE(entry, 0.0);
    const double exit = NextShadowBoundary(iss, entry);  // first sunlit second
    ASSERT_NE(exit, 0.0);
    ASSERT_GT((exit - entry) * 86400.0, 300.0);

    DisplayPanelState state;
    auto at = [&](double utc) {
        ManualClock clock(LocalFor(utc));
        return ComputeDisplayPass(Catalogue(), iss, kSite, clock, 0.0, state);
    };
    DisplayTexts t = at(entry - 37 * kSecond);
    EXPECT_EQ(t.sunText, "LOS 0:37");
    EXPECT_EQ(t.sunIcon, SunIcon::kWarning);
    EXPECT_FALSE(t.eclipsed);
    t = at(entry - 150 * kSecond);
    EXPECT_EQ(t.sunText, "LOS 2:30");
    t = at(entry - 1 * kSecond);
    EXPECT_EQ(t.sunText, "LOS 0:01");
    t = at(entry - 151 * kSecond);
    EXPECT_EQ(t.sunText, "    Sun");
    EXPECT_EQ(t.sunIcon, SunIcon::kSun);

    t = at(entry);
    EXPECT_TRUE(t.eclipsed);
    EXPECT_EQ(t.sunText, " Eclipsed");  // sunlit again only after more than 150 s
    EXPECT_EQ(t.sunIcon, SunIcon::kEclipse);
    t = at(exit - 100 * kSecond);
    EXPECT_EQ(t.sunText, "AOS 1:40");
    EXPECT_EQ(t.sunIcon, SunIcon::kEclipse);
    t = at(exit - 31 * kSecond);
    EXPECT_EQ(t.sunText, "AOS 0:31");
}

TEST(DisplayPass, NoNanFromBadInputOrABrokenOrbit) {
    ElementCatalogue c;
    c.Add({"BROKEN", "1 99999U 17001A   17117.50000000  .00000000  00000-0  00000-0 0  9990",
           "2 99999  51.0000 100.0000 0001000 100.0000 100.0000  0.00000000    10"});
    ManualClock clock(LocalFor(kInstant));
    DisplayPanelState state;
    DisplayTexts t = ComputeDisplayPass(c, 1, kSite, clock, 0.0, state);
    EXPECT_TRUE(t.objectShown);
    EXPECT_FALSE(t.positionKnown);
    EXPECT_EQ(t.Field("Satellite Name:"), "BROKEN");
    EXPECT_EQ(t.direction, "No position: mean motion zero or negative");
    EXPECT_TRUE(t.Field("Azimuth:").empty());
    EXPECT_FALSE(HasNan(t));

    const Site bad{std::nan(""), INFINITY, -std::nan(""), std::nan("")};
    t = ComputeDisplayPass(Catalogue(), Catalogue().IssIndex(), bad, clock, std::nan(""), state);
    EXPECT_TRUE(t.positionKnown);
    EXPECT_FALSE(HasNan(t));
    // Typed numbers as large as they come.
    const Site huge{1e308, -1e308, 1e308, 1e308};
    for (double timing : {0.0, 1e308, -1e308}) {
        t = ComputeDisplayPass(Catalogue(), Catalogue().IssIndex(), huge, clock, timing, state);
        EXPECT_FALSE(HasNan(t)) << t.direction;
    }
}

// Nine years on, the April 2017 ISS set: the panel flags the age and shows the model's decay,
// never a range of millions of kilometres and "visible".
TEST(DisplayPass, OldElementsAreFlaggedAndADecayedOrbitShowsNoPosition) {
    const int iss = Catalogue().IssIndex();
    ManualClock clock(LocalFor(kInstant));
    DisplayPanelState state;
    EXPECT_EQ(ComputeDisplayPass(Catalogue(), iss, kSite, clock, 0.0, state).ageNote, "");
    clock.Set(LocalFor(kInstant + 29.0));
    EXPECT_EQ(ComputeDisplayPass(Catalogue(), iss, kSite, clock, 0.0, state).ageNote, "");
    clock.Set(LocalFor(kInstant + 40.0));
    DisplayTexts t = ComputeDisplayPass(Catalogue(), iss, kSite, clock, 0.0, state);
    EXPECT_EQ(t.ageNote, "Elements are 40 days old");
    EXPECT_TRUE(t.positionKnown);

    clock.Set(LocalFor(CivilToJulianDate(2026, 5, 1, 0, 0, 0.0)));
    t = ComputeDisplayPass(Catalogue(), iss, kSite, clock, 0.0, state);
    EXPECT_EQ(t.ageNote, "Elements are 3290 days old");
    EXPECT_FALSE(t.positionKnown);
    EXPECT_FALSE(t.aboveHorizon);
    EXPECT_EQ(t.direction, "No position: orbit decayed");
    EXPECT_TRUE(t.Field("Range:").empty());
}

}  // namespace
}  // namespace corvane
