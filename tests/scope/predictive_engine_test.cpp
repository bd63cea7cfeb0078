// The predictive engine's ends: Stop wins at any moment, a dead line ends tracking as on the
// standard engines, and an interface without a predictive engine runs the standard one.
#include <gtest/gtest.h>

#include "RatePassHarness.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// Keeps every first status line shown.
class LineKeepingDisplay : public RecordingDisplay {
public:
    void SetStatusLines(const std::string& ra, const std::string& dec) override {
        RecordingDisplay::SetStatusLines(ra, dec);
        shown.push_back(ra);
    }
    std::vector<std::string> shown;
};

struct EngineRig {
    std::shared_ptr<const ElementCatalogue> catalogue = TestCatalogue();
    SteppingClock clock{0.0};
    std::unique_ptr<MountSimulator> mount;
    LineKeepingDisplay display;
    std::unique_ptr<SerialLink> link;
    CatalogueStore store;
    LiveState live;
    std::unique_ptr<TrackingDriver> driver;

    // `lowestGoto`: the LX200's lowest altitude it slews to (it refuses below).
    explicit EngineRig(ScopeType type, double lowestGoto = 0.0) : clock(StartOfPass()) {
        if (type == ScopeType::LX200 || type == ScopeType::Unknown) {
            MountParameters p = DefaultMountParameters(MountModel::LX200);
            p.minAltitude = lowestGoto;
            mount = std::make_unique<SimulatedMount>(MountModel::LX200, kMountSite, clock, p);
        } else {
            mount = std::make_unique<SimulatedNexStar>(NexStarModel::NexStarGps, kMountSite, clock);
        }
        mount->PointAt(180.0, 45.0);
        link = std::make_unique<SerialLink>(*mount, clock, display);
        link->SetScopeType(type);
        link->SetDeviceResolver([](int) { return "sim"; });
        store.Set(catalogue);
        SetSite(live, catalogue->IssIndex());
        driver = std::make_unique<TrackingDriver>(*link, live, store, clock, display);
        TrackingSettings settings;
        settings.predictive = true;
        driver->SetSettings(settings);
    }
    double StartOfPass() {
        const PassTimes pass = FindPass(catalogue->IssIndex(), 2457870.5, 35.0, 70.0);
        return pass.culminationUtc - 120.0 / 86400.0 + kTestSite.utcOffset / 24.0;
    }
    // Runs tracking; `at` is called as virtual time passes.
    void Run(const std::function<void(double)>& at) {
        clock.onSleep = [&] { at(clock.MonotonicSeconds()); };
        ASSERT_TRUE(link->Connect(1));
        driver->StartStopTracking();
        driver->RunTracking();
        clock.onSleep = nullptr;
        driver->FinishStop();
    }
};

bool Positioning(const std::string& command) {
    // A goto, or a variable rate that is not zero.
    if (command[0] == 'r' || command[0] == 'R') return true;
    return command.rfind("P<3>", 0) == 0 && command.find("<0><0><0><0>") == std::string::npos;
}

}  // namespace

TEST(PredictiveEngine, NoPositioningCommandFollowsAStop) {
    for (double stopAt : {5.0, 40.0, 90.0}) {  // in the intercept, at the start of rates, tracking
        EngineRig rig(ScopeType::NEXSTARGPS);
        size_t atStop = 0;
        rig.Run([&](double now) {
            if (atStop == 0 && now >= stopAt) {
                atStop = rig.mount->Commands().size();
                rig.driver->RequestStop();
            }
        });
        const auto commands = rig.mount->Commands();
        ASSERT_GT(atStop, 0u);
        for (size_t i = atStop; i < commands.size(); ++i)
            EXPECT_FALSE(Positioning(commands[i])) << commands[i];
        EXPECT_TRUE(rig.display.Messages().empty());
        EXPECT_EQ(rig.display.raLine, "R.A. Tracking Stopped");
    }
}

TEST(PredictiveEngine, AContinuousGotoTheMountRefusesEndsTracking) {
    // The refusal ("1" and the mount's message) comes after the two set acknowledgements of the
    // one-write goto; it must be read whole, not taken for a goto under way.
    EngineRig rig(ScopeType::LX200, 85.0);
    rig.Run([&](double now) {
        if (now > 120.0) rig.driver->RequestStop();  // never reached when the refusal is heard
    });
    const auto messages = rig.display.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Object Below Horizon!\r\rMay need to Refresh Object List.");
    EXPECT_LT(rig.clock.MonotonicSeconds(), 10.0);
    const auto commands = rig.mount->Commands();
    size_t gotos = 0;
    for (const std::string& c : commands) gotos += c.find(":MS#") != std::string::npos ? 1 : 0;
    EXPECT_EQ(gotos, 1u);
}

TEST(PredictiveEngine, ADeadOrGarbledLineEndsTrackingWithTheStandardMessage) {
    for (MountFault fault : {MountFault::ClosedLine, MountFault::Silence, MountFault::Garbage}) {
        EngineRig rig(ScopeType::NEXSTARGPS);
        bool injected = false;
        rig.Run([&](double now) {
            if (!injected && now > 60.0) {
                injected = true;
                rig.mount->InjectFault(fault);
            }
            if (now > 200.0) rig.driver->RequestStop();  // never reached when the engine notices
        });
        const auto messages = rig.display.Messages();
        ASSERT_EQ(messages.size(), 1u) << static_cast<int>(fault);
        EXPECT_EQ(messages[0].text, "Lost communication with the telescope.");
        EXPECT_LT(rig.clock.MonotonicSeconds(), 90.0);
    }
}

TEST(PredictiveEngine, AMethodWithoutOneRunsTheStandardEngineAndSaysSo) {
    // An interface of unknown code is driven as an LX200, by the standard engine only.
    EngineRig rig(ScopeType::Unknown);
    rig.live.Update([](LiveValues& v) { v.trackingMethod = 2; });
    rig.Run([&](double now) {
        if (now > 20.0) rig.driver->RequestStop();
    });
    const auto& shown = rig.display.shown;
    EXPECT_NE(std::find(shown.begin(), shown.end(), "Predictive tracking not available:"), shown.end());
    // The standard engine's set-and-slew went out.
    bool slewed = false;
    for (const std::string& c : rig.mount->Commands()) slewed = slewed || c.find("MS#") != std::string::npos;
    EXPECT_TRUE(slewed);
}

TEST(PredictiveEngine, TheSettingsChooseTheMethodAndHoldTheMeridianLimit) {
    EXPECT_FALSE(TrackingSettingsFrom(ParseSettings("     ScopeType=CGE\r\n")).predictive);
    const TrackingSettings t =
        TrackingSettingsFrom(ParseSettings("PredictiveTracking=1\r\nMeridianLimit=12\r\n"));
    EXPECT_TRUE(t.predictive);
    EXPECT_EQ(t.meridianLimit, 12);
    EXPECT_EQ(TrackingSettingsFrom(ParseSettings("MeridianLimit=400\r\n")).meridianLimit, 45);
    EXPECT_EQ(TrackingSettingsFrom(ParseSettings("MeridianLimit=-3\r\n")).meridianLimit, 0);
}
