#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "astro/MathUtil.h"
#include "maps/WorldMap.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"

namespace corvane::maps {
namespace {

const std::string kMapFile = CORVANE_TEST_DATA "/../../data/map4.dat";

TEST(FlatMap, FullMapCornersAndCentre) {
    MapPoint p = FlatMapPoint(90, -180);
    EXPECT_EQ(p.x, 13);
    EXPECT_EQ(p.y, 13);
    EXPECT_TRUE(p.visible);
    p = FlatMapPoint(-90, 180);
    EXPECT_EQ(p.x, 13 + 612);
    EXPECT_EQ(p.y, 13 + 306);
    p = FlatMapPoint(0, 0);
    EXPECT_EQ(p.x, 319);
    EXPECT_EQ(p.y, 166);
    // 45.5 N, 73.6 W: 13 + round(44.5 * 1.7) = 89, 13 + round(106.4 * 1.7) = 194.
    p = FlatMapPoint(45.5, -73.6);
    EXPECT_EQ(p.x, 194);
    EXPECT_EQ(p.y, 89);
}

TEST(FlatMap, ZoomQuartersMeetAtTheCentre) {
    // The point (0, 0) lies on the boundary of all four quarters (x = 319, y = 166).
    EXPECT_EQ(ZoomQuarter(0, 0), 1);
    EXPECT_EQ(ZoomQuarter(10, 10), 2);
    EXPECT_EQ(ZoomQuarter(-10, -10), 3);
    EXPECT_EQ(ZoomQuarter(-10, 10), 4);
    for (int q = 1; q <= 4; ++q) EXPECT_TRUE(FlatMapPoint(0, 0, true, q).visible) << q;
    // Quarter 1: (319, 166) -> (319, 165) -> magnified 13 + round(306 * 1.98), 13 + round(152 * 1.98).
    MapPoint p = FlatMapPoint(0, 0, true, 1);
    EXPECT_EQ(p.x, 13 + std::lround(306 * 1.98));
    EXPECT_EQ(p.y, 13 + std::lround(152 * 1.98));
    // Quarter 2: x - 319 + 14 = 14, y - 2 = 164.
    p = FlatMapPoint(0, 0, true, 2);
    EXPECT_EQ(p.x, 13 + std::lround(1 * 1.98));
    EXPECT_EQ(p.y, 13 + std::lround(151 * 1.98));
    // Quarter 3: y - 166 + 13 = 13 at the top edge.
    p = FlatMapPoint(0, 0, true, 3);
    EXPECT_EQ(p.y, 13);
    EXPECT_EQ(p.x, 13 + std::lround(306 * 1.98));
    // Quarter 4: x - 319 + 13 = 13, y - 166 + 18 = 18.
    p = FlatMapPoint(0, 0, true, 4);
    EXPECT_EQ(p.x, 13);
    EXPECT_EQ(p.y, 13 + std::lround(5 * 1.98));
    // Each quarter hides the other three.
    EXPECT_FALSE(FlatMapPoint(10, 10, true, 1).visible);
    EXPECT_FALSE(FlatMapPoint(-10, -10, true, 2).visible);
    EXPECT_FALSE(FlatMapPoint(10, 10, true, 3).visible);
    EXPECT_FALSE(FlatMapPoint(10, -10, true, 4).visible);
    // The far corner of quarter 1 fills the zoomed picture: (13, 12) -> (13, 11).
    p = FlatMapPoint(90, -180, true, 1);
    EXPECT_EQ(p.x, 13);
    EXPECT_EQ(p.y, 11);
}

TEST(FlatMap, ZoomedGraticuleStaysInsideTheQuarter) {
    for (int q = 1; q <= 4; ++q) {
        DrawSteps steps;
        FlatGraticule(Projector{Projection::kFlatZoomed, q, nullptr}, steps);
        int lines = 0;
        for (const DrawStep& s : steps) {
            if (s.kind != DrawStep::kLine) continue;
            ++lines;
            EXPECT_GE(s.x, 13 - 1) << q;
            EXPECT_LE(s.x, 13 + 307 * 1.98 + 1) << q;
            EXPECT_GE(s.y, 13 - 4) << q;
            EXPECT_LE(s.y, 13 + 153 * 1.98 + 12) << q;
        }
        EXPECT_GT(lines, 300) << q;
    }
}

TEST(Orthographic, CentreEdgeAndFarSide) {
    OrthographicView v;
    v.SetOrthographicView(0, 0, OrthographicView::kFarHeight);
    MapPoint p = v.OrthographicPoint(0, 0);
    EXPECT_TRUE(p.visible);
    EXPECT_NEAR(p.x, 240, 1e-9);
    EXPECT_NEAR(p.y, 205, 1e-9);
    // North up and east right; the limb about 199 pixels out.
    p = v.OrthographicPoint(Radians(89), 0);
    EXPECT_TRUE(p.visible);
    EXPECT_NEAR(p.y, 205 - 3432 / 17.25 * std::sin(Radians(89)), 0.5);
    p = v.OrthographicPoint(0, Radians(60));
    EXPECT_NEAR(p.x, 240 + 3432 / 17.25 * std::sin(Radians(60)), 1e-6);
    EXPECT_NEAR(p.y, 205, 1e-6);
    // Behind the globe.
    EXPECT_FALSE(v.OrthographicPoint(0, Radians(180)).visible);
    EXPECT_FALSE(v.OrthographicPoint(Radians(-45), Radians(120)).visible);
    // From a low viewpoint much less of the globe is seen.
    OrthographicView nearView;
    nearView.SetOrthographicView(45, -75, OrthographicView::kNearHeight);
    EXPECT_TRUE(nearView.OrthographicPoint(Radians(45), Radians(-75)).visible);
    EXPECT_FALSE(nearView.OrthographicPoint(Radians(45), Radians(-40)).visible);
}

TEST(Footprint, RadiusForKnownHeights) {
    // 400 km: arccos(6378.135 / 6778.135) = 19.782 degrees.
    EXPECT_NEAR(Degrees(FootprintAngle(400.0)), 19.7821, 1e-3);
    // Whole kilometres only.
    EXPECT_DOUBLE_EQ(FootprintAngle(400.9), FootprintAngle(400.0));
    EXPECT_DOUBLE_EQ(FootprintAngle(-5), 0.0);
    const auto circle = FootprintCircle(0, 0, 400, 361);
    ASSERT_EQ(circle.size(), 361u);
    EXPECT_NEAR(circle[0].latitude, 19.7821, 1e-3);    // azimuth 0: due north
    EXPECT_NEAR(circle[90].longitude, 19.7821, 1e-3);  // azimuth 90: due east
    EXPECT_NEAR(circle[180].latitude, -19.7821, 1e-3);
    // Across the date line longitudes stay in (-180, 180].
    for (const LatLon& p : FootprintCircle(10, 179, 800, 181)) {
        EXPECT_GT(p.longitude, -180.0);
        EXPECT_LE(p.longitude, 180.0);
    }
}

TEST(MapFile, CommittedFileHasTheFixedLayout) {
    ASSERT_EQ(std::filesystem::file_size(kMapFile), 82080u);
    WorldMapTable table;
    ASSERT_EQ(LoadWorldMap(kMapFile, table), MapLoad::kLoaded);
    ASSERT_EQ(table.records.size(), static_cast<size_t>(kMapRecords));
    int starts = 0, water = 0;
    for (const MapRecord& r : table.records) {
        EXPECT_LE(std::abs(r.latitude), 90 * 60);
        EXPECT_LE(std::abs(r.longitude), 180 * 60);
        EXPECT_TRUE(r.code <= 5 || r.code >= 1000);
        if (r.code > 5) ++starts;
        if (r.code / 1000 == 7) ++water;
    }
    EXPECT_EQ(table.records.front().code / 1000, 1);  // a coastline comes first
    EXPECT_GT(starts, 100);
    EXPECT_GT(water, 0);
}

TEST(MapFile, MissingAndShortFiles) {
    WorldMapTable table;
    EXPECT_EQ(LoadWorldMap("/nonexistent/map4.dat", table), MapLoad::kMissing);
    EXPECT_FALSE(table.loaded);
    const auto path = std::filesystem::temp_directory_path() / "corvane_short_map4.dat";
    {
        std::ofstream out(path, std::ios::binary);
        const unsigned char rec[6] = {0xB8, 0x0B, 0x2C, 0x01, 0xD4, 0xFE};  // 3000, 300, -300
        out.write(reinterpret_cast<const char*>(rec), 6);
        out.write("\x01", 1);  // half a record
    }
    ASSERT_EQ(LoadWorldMap(path.string(), table), MapLoad::kLoaded);
    EXPECT_EQ(table.records.size(), static_cast<size_t>(kMapRecords));
    EXPECT_EQ(table.records[0].code, 3000);
    EXPECT_EQ(table.records[0].latitude, 300);
    EXPECT_EQ(table.records[0].longitude, -300);
    EXPECT_EQ(table.records[1].code, 1);  // the half record's low byte, the rest zero
    EXPECT_EQ(table.records[1].latitude, 0);
    EXPECT_EQ(table.records[kMapRecords - 1].code, 0);
    std::filesystem::remove(path);
}

TEST(Outlines, PenRulesAndDateLine) {
    WorldMapTable table;
    table.loaded = true;
    table.records = {
        {1000, 0, 0},     {0, 60, 60},     // coastline: dot, line
        {7000, 600, 600}, {0, 660, 660},   // water: pen, move, no line
        {2000, 1200, 0},  {0, 1260, 0},    // type 2 keeps the water pen and draws
        {4000, 0, 0},     {0, 60, 60},     // type 4: only moves
        {3000, 0, 10200}, {0, 0, -10200},  // across the date line: no streak
    };
    DrawSteps steps;
    OutlineSteps(table, Projector{}, steps);
    std::string kinds;
    for (const DrawStep& s : steps)
        kinds += s.kind == DrawStep::kMove   ? 'M'
                 : s.kind == DrawStep::kLine ? 'L'
                 : s.kind == DrawStep::kDot  ? 'D'
                                             : 'P';
    EXPECT_EQ(kinds,
              "PMDL"
              "PMM"
              "MDL"
              "PMM"
              "PMDM");
    EXPECT_EQ(steps[4].pen, MapPen::kWater);
    EXPECT_EQ(steps[10].pen, MapPen::kOutline);
    EXPECT_EQ(steps[13].pen, MapPen::kOutline);
}

TEST(GroundTrack, FollowsTheStationAndSplitsAtTheDateLine) {
    const auto loaded = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle");
    const ElementCatalogue& catalogue = *loaded.catalogue;
    const int iss = catalogue.IssIndex();
    ASSERT_NE(iss, 0);
    PropagationSlot slot(kSlotWorldMap);
    const double start = 2457871.5;
    const auto track = GroundTrack(catalogue, iss, slot, start, 60.0, 800);
    ASSERT_EQ(track.size(), 800u);
    bool sunlit = false, eclipsed = false;
    for (const TrackPoint& t : track) {
        ASSERT_TRUE(t.ok);
        EXPECT_LE(std::fabs(t.latitude), 52.0);  // inclination 51.6
        EXPECT_GT(t.height, 300.0);
        EXPECT_LT(t.height, 450.0);
        (t.sunlit ? sunlit : eclipsed) = true;
    }
    EXPECT_TRUE(sunlit && eclipsed);
    const auto segments = TrackSegments(track, Projector{}, 400);
    // 799 steps, some of them across the date line.
    EXPECT_LT(segments.size(), 799u);
    EXPECT_GT(segments.size(), 780u);
    for (const TrackSegment& s : segments) EXPECT_LE(std::fabs(s.to.x - s.from.x), 400);
    // A backward step is the mirror of a forward one.
    const auto back = GroundTrack(catalogue, iss, slot, start, -60.0, 2);
    EXPECT_DOUBLE_EQ(back[0].latitude, track[0].latitude);
    EXPECT_NEAR(back[1].jd, start - 60.0 / 86400.0, 1e-9);
}

}  // namespace
}  // namespace corvane::maps
