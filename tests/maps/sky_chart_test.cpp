#include <gtest/gtest.h>

#include <cmath>

#include "astro/MathUtil.h"
#include "maps/SkyChart.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "passes/PassSearch.h"

namespace corvane::maps {
namespace {

TEST(SkyChart, ProjectionOfZenithAndHorizon) {
    ChartPoint p = SkyChartPoint(90, 0);
    EXPECT_EQ(p.x, 240);
    EXPECT_EQ(p.y, 205);
    p = SkyChartPoint(0, 0);  // due north on the horizon
    EXPECT_EQ(p.x, 240);
    EXPECT_EQ(p.y, 6);
    p = SkyChartPoint(0, 90);  // due east, drawn on the left
    EXPECT_EQ(p.x, 41);
    EXPECT_EQ(p.y, 205);
    p = SkyChartPoint(0, 180);
    EXPECT_EQ(p.y, 404);
    p = SkyChartPoint(0, 270);
    EXPECT_EQ(p.x, 439);
    // 45 degrees up in the south-west: r = tan(22.5 degrees).
    p = SkyChartPoint(45, 225);
    EXPECT_EQ(p.x, std::round(240 + 199 * std::tan(Radians(22.5)) * std::sin(Radians(45))));
    EXPECT_EQ(p.y, std::round(205 + 199 * std::tan(Radians(22.5)) * std::cos(Radians(45))));
}

TEST(SkyChart, StarAtTheZenithAndOnTheMeridian) {
    // A star whose RA is the sidereal time and whose declination is the latitude is overhead.
    Horizontal h = HorizonCoordinates(5.5, 40.0, 5.5, 40.0);
    EXPECT_NEAR(h.altitude, 90.0, 1e-5);
    // Polaris-like: declination 90 stands at the latitude's altitude due north.
    h = HorizonCoordinates(2.0, 90.0, 13.0, 40.0);
    EXPECT_NEAR(h.altitude, 40.0, 1e-9);
    EXPECT_NEAR(std::fmod(h.azimuth + 1.0, 360.0), 1.0, 1e-6);
    // On the celestial equator, six hours east of the meridian: rising due east.
    h = HorizonCoordinates(12.0, 0.0, 6.0, 40.0);
    EXPECT_NEAR(h.altitude, 0.0, 1e-9);
    EXPECT_NEAR(h.azimuth, 90.0, 1e-9);
}

TEST(SkyChart, SegmentCutAtTheHorizonEndsOnTheCircle) {
    const ChartPoint inside = StereographicPoint(30, 10);
    for (double hiddenAz : {0.0, 10.0, 90.0, 200.0}) {
        const ChartPoint outside = StereographicPoint(-20, hiddenAz);
        const ChartPoint c = HorizonCrossing(inside, outside);
        EXPECT_NEAR(std::hypot(c.x - kSkyCentreX, c.y - kSkyCentreY), kSkyRadius, 1e-6) << hiddenAz;
        // The crossing lies between the two ends.
        EXPECT_GE(c.x, std::min(inside.x, outside.x) - 1e-9);
        EXPECT_LE(c.x, std::max(inside.x, outside.x) + 1e-9);
    }
    // A vertical chart line (no finite slope).
    const ChartPoint c = HorizonCrossing({240, 100}, {240, 500});
    EXPECT_NEAR(c.x, 240, 1e-9);
    EXPECT_NEAR(c.y, 404, 1e-9);
}

TEST(SkyChart, StarSizes) {
    EXPECT_EQ(StarSize(-1.46), 7);
    EXPECT_EQ(StarSize(2.6), 3);
    EXPECT_EQ(StarSize(4.5), 2);  // 1.5 rounds away from zero
    EXPECT_EQ(StarSize(5.6), 1);
    EXPECT_EQ(StarSize(7.0), 1);
    EXPECT_EQ(StarSize(NAN), 1);
}

TEST(SkyTables, CompiledTables) {
    const SkyTables t = LoadSkyTables();
    ASSERT_GT(t.stars.size(), 900u);
    EXPECT_NEAR(t.stars.front().rightAscension, 6.752, 0.002);  // Sirius first
    EXPECT_NEAR(t.stars.front().declination, -16.716, 0.002);
    const BrightStar& last = t.stars.back();  // the row that completes the Little Dipper
    EXPECT_DOUBLE_EQ(last.rightAscension, 16.292);
    EXPECT_DOUBLE_EQ(last.declination, 75.7485);
    EXPECT_DOUBLE_EQ(last.magnitude, 4.95);
    for (size_t i = 0; i + 1 < t.stars.size(); ++i) {
        EXPECT_GE(t.stars[i].rightAscension, 0.0);
        EXPECT_LT(t.stars[i].rightAscension, 24.0);
        EXPECT_LE(t.stars[i].magnitude, 4.5);
        if (i > 0) EXPECT_GE(t.stars[i].magnitude, t.stars[i - 1].magnitude);
    }
    ASSERT_GT(t.lines.size(), 640u);
    EXPECT_STREQ(t.lines.front().abbreviation, "AND");
    EXPECT_STREQ(t.lines.back().abbreviation, "VUL");
    for (const ConstellationSegment& s : t.lines) {
        EXPECT_LE(std::abs(s.dec1), 9000);
        EXPECT_GE(s.ra1, 0);
        EXPECT_LE(s.ra2, 24000);
    }
}

class SkyChartWithObject : public ::testing::Test {
protected:
    void SetUp() override {
        loaded = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
        tables = LoadSkyTables();
    }
    std::shared_ptr<const ElementCatalogue> loaded;
    SkyTables tables;
    PropagationSlot slot{kSlotSkyView};
};

TEST_F(SkyChartWithObject, BelowHorizonDrawsNoPathButStars) {
    SkyChartRequest r;
    r.site = {40.0, -75.0, 100.0, -4.0};
    r.object = loaded->IssIndex();
    // Find an instant with the station below the horizon for the whole 50 minutes: scan.
    bool found = false;
    for (double jd = 2457871.5; jd < 2457872.5 && !found; jd += 0.01) {
        r.jdUtc = jd;
        const SkyChart chart = BuildSkyChart(tables, *loaded, slot, r);
        if (chart.objectBelowHorizon && chart.path.empty()) {
            found = true;
            EXPECT_FALSE(chart.marker.has_value());
            EXPECT_GT(chart.stars.size(), 300u);
            EXPECT_GT(chart.constellations.size(), 200u);
            EXPECT_EQ(chart.label.rfind("ISS", 0), 0u);
            EXPECT_NE(chart.label.find("  NORAD: 25544   "), std::string::npos);
        }
    }
    EXPECT_TRUE(found);
    r.constellations = false;
    EXPECT_TRUE(BuildSkyChart(tables, *loaded, slot, r).constellations.empty());
}

TEST_F(SkyChartWithObject, PathDuringAPassStaysInsideTheHorizon) {
    SkyChartRequest r;
    r.site = {40.0, -75.0, 100.0, -4.0};
    r.object = loaded->IssIndex();
    PropagationSlot searchSlot(kSlotPassPrediction);
    PassSearch search(*loaded, r.object, searchSlot, r.site, PassSettings{0.0, true}, 2457871.5);
    const auto passes = search.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, false);
    ASSERT_FALSE(passes.empty());
    r.jdUtc = passes.front().maxElevationTime;
    const SkyChart chart = BuildSkyChart(tables, *loaded, slot, r);
    EXPECT_FALSE(chart.objectBelowHorizon);
    ASSERT_TRUE(chart.marker.has_value());
    // The whole pass is inside the 50 minutes: it starts and ends on the rim.
    EXPECT_GT(chart.path.size(), 40u);
    for (const PathSegment& s : chart.path)
        EXPECT_LE(std::hypot(s.to.x - 240, s.to.y - 205), kSkyRadius + 1.0);
    const std::string svg = SkyChartSvg(chart);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_EQ(svg.find("Object below horizon."), std::string::npos);
}

}  // namespace
}  // namespace corvane::maps
