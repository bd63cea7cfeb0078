#include <gtest/gtest.h>

#include "maps/PlanMap.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "passes/ViewPlan.h"

namespace corvane::maps {
namespace {

PlanMarker At(double x, double y, int object) {
    PlanMarker m;
    m.x = x;
    m.y = y;
    m.object = object;
    return m;
}

TEST(PlanMap, NearestMarkerBySumOfDistances) {
    const std::vector<PlanMarker> markers = {At(100, 100, 1), At(106, 100, 2), At(300, 50, 3)};
    EXPECT_EQ(NearestMarker(markers, 101, 101), 0);
    EXPECT_EQ(NearestMarker(markers, 105, 101), 1);
    EXPECT_EQ(NearestMarker(markers, 304, 55), 2);   // 4 + 5 = 9
    EXPECT_EQ(NearestMarker(markers, 305, 55), -1);  // 5 + 5 = 10 is not below 10
    EXPECT_EQ(NearestMarker(markers, 400, 300), -1);
    EXPECT_EQ(NearestMarker({}, 100, 100), -1);
}

TEST(PlanMap, MarkersForEntriesStillAhead) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    const double nowUtc = 2457871.5;
    // The site right under the station: its marker is at the centre of the globe.
    PropagationSlot slot(kSlotViewPlanMap);
    const TrackPoint under = PlaceSubPoint(*catalogue, catalogue->IssIndex(), slot, nowUtc);
    ASSERT_TRUE(under.ok);
    const Site site{under.latitude, under.longitude, 0.0, -4.0};
    const double nowLocal = nowUtc + site.utcOffset / 24.0;
    ViewPlan plan;
    auto entry = [](const char* norad, double aos, double los) {
        ViewPlanEntry e;
        e.SetAos(aos);
        e.SetLos(los);
        e.SetField(55, 25, "TEST");
        e.SetField(80, 10, norad);
        return e;
    };
    plan.entries.push_back(entry("25544", nowLocal - 0.01, nowLocal + 0.01));  // in progress
    plan.entries.push_back(entry("25544", nowLocal - 0.2, nowLocal - 0.1));    // over
    plan.entries.push_back(entry("99999", nowLocal, nowLocal + 0.01));         // not loaded
    OrthographicView view;
    view.SetOrthographicView(site.latitude, site.longitude, OrthographicView::kFarHeight);
    const auto markers = BuildPlanMarkers(plan, *catalogue, slot, site, nowUtc, view);
    ASSERT_EQ(markers.size(), 1u);
    EXPECT_NEAR(markers[0].x, 240, 0.5);
    EXPECT_NEAR(markers[0].y, 205, 0.5);
    const auto details = PlanMarkerDetails(*catalogue, catalogue->IssIndex(), slot, site, nowUtc);
    EXPECT_EQ(details[0], "NORAD:    25544");
    EXPECT_EQ(details[1].rfind("Launch:     1998/067", 0), 0u);
    EXPECT_EQ(details[2].rfind("Elevation:  ", 0), 0u);
    EXPECT_EQ(details[2].back(), '\xB0');
    EXPECT_EQ(details[4].substr(details[4].size() - 3), " km");
    EXPECT_EQ(details[5].substr(details[5].size() - 4), " \xB0 N");
    EXPECT_TRUE(details[8] == "Sun, Ascending" || details[8] == "Sun, Descending" ||
                details[8] == "Eclipsed, Ascending" || details[8] == "Eclipsed, Descending")
        << details[8];
    EXPECT_EQ(markers[0].norad, "25544");
    EXPECT_EQ(markers[0].details[0], details[0]);
    EXPECT_GT(std::stod(details[2].substr(12)), 89.0) << details[2];
}

}  // namespace
}  // namespace corvane::maps
