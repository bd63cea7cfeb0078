#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "orbit/ElementCatalogue.h"
#include "passes/IssMonitor.h"
#include "passes/PassText.h"

namespace corvane {
namespace {

struct RecordingIssPort : IssMonitorPort {
    std::vector<IssPanelTexts> shown;
    int alerts = 0;
    void ShowIss(const IssPanelTexts& t) override { shown.push_back(t); }
    void AskIssAlert() override { ++alerts; }
};

class IssMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
        store.Set(catalogue);
        live.Update([](LiveValues& v) {
            v.siteLatitude = "-35.0";
            v.siteLongitude = "150.0";
            v.siteAltitude = "100";
            v.siteUtcOffset = "10";
        });
        settings.ISSMonitor = 1;
        settings.MinPredictPass = 2;
        // Geometric passes (the shadow would hide every night pass of these days).
        settings.pass = pass;
    }
    // Local clock for a UTC Julian date at the site (UTC +10).
    static double Local(double utc) { return utc + 10.0 / 24.0; }

    std::shared_ptr<const ElementCatalogue> catalogue;
    CatalogueStore store;
    LiveState live;
    IssMonitorSettings settings;
    RecordingIssPort port;
    const Site site{-35.0, 150.0, 100.0, 10.0};
    const PassSettings pass{0.0, true};
    const double start = 2457871.5;  // 28 April 2017, 0h UTC
};

TEST_F(IssMonitorTest, NextPassIsTheFirstNightPassOfThePassSearch) {
    PropagationSlot slot(kSlotIssMonitor), reference(kSlotPassPrediction);
    const NextIssPass next = FindNextIssPass(*catalogue, catalogue->IssIndex(), slot, site, pass, start, 2);
    PassSearch search(*catalogue, catalogue->IssIndex(), reference, site, pass, start);
    const auto passes = search.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, true);
    ASSERT_FALSE(passes.empty());
    ASSERT_GE(passes.front().duration, 120.0);
    EXPECT_DOUBLE_EQ(next.aos, passes.front().aos);
    EXPECT_DOUBLE_EQ(next.los, passes.front().los);
    EXPECT_EQ(next.maxElevation,
              MaxElevationText(passes.front().maxElevation, passes.front().maxElevationTime + 10.0 / 24.0));
    const long long s = static_cast<long long>(passes.front().duration);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%02lld hr %02lld m %02lld s", s / 3600, s / 60 % 60, s % 60);
    EXPECT_EQ(next.duration, expected);
    // A first night pass shorter than the minimum ends the search empty, even if a longer one
    // follows.
    const int tooLong = static_cast<int>(passes.front().duration / 60.0) + 1;
    const NextIssPass none =
        FindNextIssPass(*catalogue, catalogue->IssIndex(), slot, site, pass, start, tooLong);
    EXPECT_EQ(none.aos, 0.0);
    EXPECT_EQ(none.los, 0.0);
    EXPECT_TRUE(none.maxElevation.empty());
}

TEST_F(IssMonitorTest, StationMissingFromTheFile) {
    store.Set(nullptr);  // an empty catalogue
    ManualClock clock(Local(start));
    IssMonitor monitor(clock, live, store, port);
    monitor.SetSettings(settings);
    monitor.Turn();
    ASSERT_EQ(port.shown.size(), 1u);
    const IssPanelTexts& t = port.shown[0];
    EXPECT_FALSE(t.stationKnown);
    EXPECT_EQ(t.position[3], "ISS NOT");
    EXPECT_EQ(t.position[4], "FOUND IN");
    EXPECT_EQ(t.position[5], "CURRENT TLE");
    EXPECT_EQ(t.position[6], "FILE LOADED.");
    EXPECT_TRUE(t.position[0].empty());
    EXPECT_TRUE(t.aos.empty() && t.los.empty());
    EXPECT_EQ(clock.SleptMilliseconds(), 100);
}

TEST_F(IssMonitorTest, StationThatCannotBePlacedSaysWhy) {
    // Nine years after the epoch the station's elements no longer give a position.
    ManualClock clock(Local(start + 9 * 365.25));
    IssMonitor monitor(clock, live, store, port);
    monitor.SetSettings(settings);
    monitor.Turn();
    ASSERT_EQ(port.shown.size(), 1u);
    const IssPanelTexts& t = port.shown[0];
    EXPECT_TRUE(t.stationKnown);
    EXPECT_FALSE(t.positionKnown);
    EXPECT_EQ(t.position[3], "NO POSITION:");
    EXPECT_FALSE(t.position[4].empty());
    EXPECT_EQ(t.position[5].rfind("TLE 328", 0), 0u) << t.position[5];
    EXPECT_TRUE(t.position[0].empty() && t.position[1].empty() && t.position[6].empty());
    EXPECT_EQ(t.aos, "No pass in 24hr.");

    // The texts for each case: the age left out when unknown, elements from the future said so.
    EXPECT_EQ(NoIssPositionTexts(PropagationError::kDecayed, 12.7)[5], "TLE 12 days old");
    EXPECT_EQ(NoIssPositionTexts(PropagationError::kDecayed, -3.2)[5], "TLE 3 days ahead");
    EXPECT_TRUE(NoIssPositionTexts(PropagationError::kNoElements, std::nan(""))[5].empty());
    EXPECT_EQ(NoIssPositionTexts(PropagationError::kDecayed, 1.0)[4],
              PropagationErrorText(PropagationError::kDecayed));
}

TEST_F(IssMonitorTest, MonitorOffOnlySleeps) {
    settings.ISSMonitor = 0;
    ManualClock clock(Local(start));
    IssMonitor monitor(clock, live, store, port);
    monitor.SetSettings(settings);
    monitor.Turn();
    EXPECT_TRUE(port.shown.empty());
    EXPECT_EQ(clock.SleptMilliseconds(), 100);
}

TEST_F(IssMonitorTest, NoPassLongEnough) {
    settings.MinPredictPass = 600;
    ManualClock clock(Local(start));
    IssMonitor monitor(clock, live, store, port);
    monitor.SetSettings(settings);
    monitor.Turn();
    ASSERT_EQ(port.shown.size(), 1u);
    EXPECT_EQ(port.shown[0].aos, "No pass in 24hr.");
    EXPECT_EQ(port.shown[0].los, " ");
    EXPECT_TRUE(port.shown[0].redrawMap);
    EXPECT_EQ(port.shown[0].position[5].substr(port.shown[0].position[5].size() - 3), " km");
}

TEST_F(IssMonitorTest, CountdownVisibleAlertAndSearchAfterLos) {
    ManualClock clock(Local(start));
    IssMonitor monitor(clock, live, store, port);
    monitor.SetSettings(settings);
    monitor.Turn();
    const NextIssPass first = monitor.NextPass();
    ASSERT_NE(first.aos, 0.0);
    EXPECT_EQ(port.shown.back().aos.size(), std::string("00 hr 00 m 00 s").size());
    EXPECT_EQ(port.shown.back().aos.find(" hr "), 2u);
    EXPECT_FALSE(port.shown.back().aos == "Currently Visible");

    // Ticking the alert before the pass: nothing yet.
    monitor.SetAlert(true);
    monitor.Turn();
    EXPECT_EQ(port.alerts, 0);
    EXPECT_FALSE(port.shown.back().redrawMap);  // no search between the countdown's turns

    // During the pass: "Currently Visible", the LOS counts down, the alert fires once.
    clock.Set(Local(first.aos + 30.0 / 86400.0));
    monitor.Turn();
    EXPECT_EQ(port.shown.back().aos, "Currently Visible");
    EXPECT_NE(port.shown.back().los.find(" m "), std::string::npos);
    EXPECT_EQ(port.alerts, 1);
    EXPECT_FALSE(monitor.Alert());
    monitor.Turn();
    EXPECT_EQ(port.alerts, 1);
    // Ticked again during the pass: asked again at once.
    monitor.SetAlert(true);
    monitor.Turn();
    EXPECT_EQ(port.alerts, 2);

    // After LOS: twelve blanks, and the next turn searches the next pass.
    monitor.SetAlert(true);
    clock.Set(Local(first.los + 5.0 / 86400.0));
    monitor.Turn();
    EXPECT_EQ(port.shown.back().los, std::string(12, ' '));
    EXPECT_EQ(port.alerts, 2);  // the pass is over
    monitor.Turn();
    EXPECT_TRUE(port.shown.back().redrawMap);
    EXPECT_NE(monitor.NextPass().aos, first.aos);
}

TEST_F(IssMonitorTest, AShiftedProgramClockSearchesAgainAtTheNextTurn) {
    ManualClock clock(Local(start));
    IssMonitor monitor(clock, live, store, port);
    monitor.SetSettings(settings);
    monitor.Turn();
    const NextIssPass first = monitor.NextPass();
    ASSERT_NE(first.aos, 0.0);

    // Two days ahead: the stored pass is in the past, but the monitor waits for its countdown...
    clock.SetCorrection(2.0);
    monitor.Turn();
    EXPECT_FALSE(port.shown.back().redrawMap);
    EXPECT_EQ(monitor.NextPass().aos, first.aos);
    // ...unless the clock dialog asks for a new search.
    monitor.RequestSearch();
    monitor.Turn();
    EXPECT_TRUE(port.shown.back().redrawMap);
    EXPECT_GT(monitor.NextPass().aos, start + 2.0);
}

TEST_F(IssMonitorTest, StartedDuringAPassItIsCurrentlyVisibleAndKept) {
    PropagationSlot slot(kSlotIssMonitor);
    const NextIssPass first = FindNextIssPass(*catalogue, catalogue->IssIndex(), slot, site, pass, start, 2);
    ASSERT_NE(first.aos, 0.0);
    const double during = first.aos + 120.0 / 86400.0;
    const NextIssPass inside =
        FindNextIssPass(*catalogue, catalogue->IssIndex(), slot, site, pass, during, 2);
    EXPECT_EQ(inside.aos, during);  // under way: begun now, not one second from now
    EXPECT_NEAR(inside.los, first.los, 2.0 / 86400.0);

    ManualClock clock(Local(during));
    IssMonitor monitor(clock, live, store, port);
    monitor.SetSettings(settings);
    monitor.Turn();
    EXPECT_EQ(port.shown.back().aos, "Currently Visible");
    // The periodic search waits for the end of the pass.
    for (int i = 0; i < 150; ++i) monitor.Turn();
    for (size_t i = 1; i < port.shown.size(); ++i) EXPECT_FALSE(port.shown[i].redrawMap) << i;
    EXPECT_EQ(monitor.NextPass().aos, during);
    EXPECT_EQ(port.shown.back().aos, "Currently Visible");
}

TEST_F(IssMonitorTest, WorkerThreadStartsAndStopsWithoutMovingTheClock) {
    struct CountingPort : IssMonitorPort {
        std::atomic<int> shown{0};
        void ShowIss(const IssPanelTexts&) override { ++shown; }
        void AskIssAlert() override {}
    } counting;
    ManualClock clock(Local(start));
    IssMonitor monitor(clock, live, store, counting);
    monitor.SetSettings(settings);
    monitor.Start();
    while (counting.shown.load() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    monitor.Stop();
    const int shown = counting.shown.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(counting.shown.load(), shown);  // nothing runs after Stop
    EXPECT_EQ(clock.SleptMilliseconds(), 0);  // the thread paces itself in real time
    EXPECT_NE(monitor.NextPass().aos, 0.0);
}

}  // namespace
}  // namespace corvane
