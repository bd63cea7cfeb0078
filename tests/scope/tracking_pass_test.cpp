// Whole ISS passes tracked in virtual time against the simulated mounts: the pointing error
// between where the mount points and where the ISS is, from the first intercept on.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

#include "TrackingFixture.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDriver.h"
#include "sim/SimulatedMount.h"
#include "support/RecordingDisplay.h"
#include "support/SteppingClock.h"

using namespace corvane;
using namespace corvane::test;

namespace {

struct PassResult {
    double rms = 0, max = 0;
    int samples = 0;
    bool intercepted = false;
    std::vector<ShownMessage> messages;
};

PassResult TrackPass(MountModel model, ScopeType type, int method) {
    const auto catalogue = TestCatalogue();
    const int iss = catalogue->IssIndex();
    // A pass of moderate height: an alt-az fork cannot follow through the zenith.
    const PassTimes pass = FindPass(iss, 2457870.5, 35.0, 70.0);
    EXPECT_GT(pass.losUtc, 0.0);

    // Start when the ISS has risen to about 10 degrees.
    PropagationSlot probe(kSlotPassPrediction);
    double startUtc = pass.aosUtc;
    while (ComputeCycleTarget(*catalogue, iss, startUtc, kTestSite, 0, probe).elevationDeg < 10.0) {
        startUtc += 1.0 / 86400.0;
    }
    SteppingClock clock(startUtc + kTestSite.utcOffset / 24.0);
    SimulatedMount mount(
        model, MountSite{kTestSite.latitude, kTestSite.longitude, kTestSite.altitude, kTestSite.utcOffset},
        clock);
    mount.PointAt(180.0, 45.0);
    RecordingDisplay display;
    SerialLink link(mount, clock, display);
    link.SetScopeType(type);
    link.SetDeviceResolver([](int) { return "sim"; });
    CatalogueStore store;
    store.Set(catalogue);
    LiveState live;
    SetSite(live, iss);
    live.Update([&](LiveValues& v) { v.trackingMethod = method; });
    TrackingDriver driver(link, live, store, clock, display);

    PassResult result;
    double sum = 0, lastSample = -1;
    PropagationSlot truth(kSlotPassPrediction);
    clock.onSleep = [&] {
        const double now = clock.MonotonicSeconds();
        if (now - lastSample < 0.5) return;
        lastSample = now;
        const double utc = clock.LocalJulianDate() - kTestSite.utcOffset / 24.0;
        const CycleTarget iss_now = ComputeCycleTarget(*catalogue, iss, utc, kTestSite, 0, truth);
        if (iss_now.elevationDeg < 10.0 && utc > pass.culminationUtc) {
            driver.RequestStop();  // the observer stops as the ISS sinks
            return;
        }
        const MountState s = mount.State();
        const double error = Separation(s.azimuth, s.altitude, iss_now.azimuthDeg, iss_now.elevationDeg);
        if (!result.intercepted && error < 0.5) result.intercepted = true;
        if (!result.intercepted) return;
        sum += error * error;
        result.max = std::max(result.max, error);
        ++result.samples;
    };
    EXPECT_TRUE(link.Connect(1));
    driver.StartStopTracking();
    EXPECT_TRUE(driver.TrackingOn());
    driver.RunTracking();
    result.rms = result.samples > 0 ? std::sqrt(sum / result.samples) : 0;
    result.messages = display.Messages();
    return result;
}

void Report(const char* what, const PassResult& r) {
    std::cout << what << ": RMS " << r.rms << " deg, max " << r.max << " deg over " << r.samples / 2.0
              << " s after the first intercept\n";
    ::testing::Test::RecordProperty(std::string(what) + " RMS deg", std::to_string(r.rms));
    ::testing::Test::RecordProperty(std::string(what) + " max deg", std::to_string(r.max));
}

}  // namespace

TEST(TrackingPass, Lx200FollowsAnIssPassContinuouslyAndByLeapFrog) {
    const PassResult continuous = TrackPass(MountModel::LX200, ScopeType::LX200, 0);
    Report("LX200 Continuous", continuous);
    EXPECT_TRUE(continuous.intercepted);
    EXPECT_TRUE(continuous.messages.empty());
    EXPECT_GT(continuous.samples, 500);  // over four minutes followed
    EXPECT_LT(continuous.rms, 0.5);
    EXPECT_LT(continuous.max, 1.5);

    const PassResult leap = TrackPass(MountModel::LX200, ScopeType::LX200, 1);
    Report("LX200 Leap Frog (0.5 s)", leap);
    EXPECT_TRUE(leap.intercepted);
    EXPECT_GT(leap.samples, 500);
    EXPECT_LT(leap.rms, 1.0);
    EXPECT_LT(leap.max, 3.0);
}

TEST(TrackingPass, Lx200CompatibleFollowsAnIssPassContinuouslyAndByLeapFrog) {
    const PassResult continuous = TrackPass(MountModel::LX200Compatible, ScopeType::AP, 0);
    Report("LX200 Compatible Continuous", continuous);
    EXPECT_TRUE(continuous.intercepted);
    EXPECT_GT(continuous.samples, 500);
    EXPECT_LT(continuous.rms, 0.5);
    EXPECT_LT(continuous.max, 1.5);

    const PassResult leap = TrackPass(MountModel::LX200Compatible, ScopeType::AP, 3);
    Report("LX200 Compatible Leap Frog (3 s)", leap);
    EXPECT_TRUE(leap.intercepted);
    EXPECT_GT(leap.samples, 500);
    EXPECT_LT(leap.rms, 2.0);
    EXPECT_LT(leap.max, 5.0);
}
