// The INDI engine against a fake INDI mount in virtual time: closed-loop custom rates (and the
// driver's refusal to reverse a rate while it tracks), the goto fallback, the tracking limit,
// the horizon, a lost server and Stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>

#include "TrackingFixture.h"
#include "scope/IndiTracking.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDriver.h"
#include "support/RecordingDisplay.h"
#include "support/ScriptedSerialPort.h"
#include "support/SteppingClock.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// A mount as an INDI telescope driver presents it: gotos at 4 degrees per second per axis,
// custom rates taken at once (but a reversal refused while it tracks, as INDI::Telescope does),
// and its position reported every 250 ms.
class FakeIndiMount final : public IndiMount {
public:
    explicit FakeIndiMount(const Clock& clock) : clock_(clock) {}

    bool Connect(const IndiServer& server, const std::function<bool(int)>&, std::string& error) override {
        if (!serverUp) {
            error = "Cannot connect to the INDI server at " + server.host + ":" +
                    std::to_string(server.port) + ".";
            return false;
        }
        connected_ = true;
        last_ = report_ = clock_.MonotonicSeconds();
        return true;
    }
    void Disconnect() override { connected_ = false; }
    bool Connected() const override { return connected_ && serverUp; }
    bool Slew(double raHours, double decDegrees) override {
        Update();
        log.push_back("slew");
        targetRa_ = raHours * 15.0, targetDec_ = decDegrees;
        slewing_ = true;
        tracking_ = true;
        return Connected();
    }
    std::optional<IndiPosition> Position() const override {
        const_cast<FakeIndiMount*>(this)->Update();
        return reported_;
    }
    bool OffersCustomRates() const override { return offersRates; }
    IndiRateLimits RateLimits() const override { return {-16384, 16384, -16384, 16384}; }
    bool SetCustomTrackMode() override {
        Update();
        log.push_back("custom");
        custom_ = true;
        return Connected();
    }
    bool SetTrackRates(double ra, double dec) override {
        Update();
        log.push_back("rates");
        const bool reverses = (rateRa_ > 0 && ra < 0) || (rateRa_ < 0 && ra > 0) ||
                              (rateDec_ > 0 && dec < 0) || (rateDec_ < 0 && dec > 0);
        if (tracking_ && custom_ && reverses) {
            ++refused;
            return Connected();
        }
        rateRa_ = ra, rateDec_ = dec;
        return Connected();
    }
    bool SetTracking(bool on) override {
        Update();
        log.push_back(on ? "track on" : "track off");
        tracking_ = on;
        return Connected();
    }
    bool Abort() override {
        Update();
        log.push_back("abort");
        slewing_ = false;
        return Connected();
    }

    // Where the mount points now (degrees; RA as an angle).
    void Now(double& raDeg, double& dec) {
        Update();
        raDeg = ra_, dec = dec_;
    }

    bool serverUp = true;
    bool offersRates = true;
    double decSense = 1.0;  // -1: a positive Dec rate lowers the Dec (one side of the pier)
    int refused = 0;
    std::vector<std::string> log;

private:
    void Update() {
        const double now = clock_.MonotonicSeconds();
        while (last_ < now) {
            const double dt = std::min(0.05, now - last_);
            Step(dt);
            last_ += dt;
            if (last_ - report_ >= 0.25) {
                report_ = last_;
                reported_ = IndiPosition{ra_ / 15.0, dec_, report_, slewing_};
            }
        }
        if (!reported_) reported_ = IndiPosition{ra_ / 15.0, dec_, now, slewing_};
    }
    void Step(double dt) {
        if (slewing_) {
            const double dRa = std::remainder(targetRa_ - ra_, 360.0), dDec = targetDec_ - dec_;
            ra_ += std::clamp(dRa, -4.0 * dt, 4.0 * dt);
            dec_ += std::clamp(dDec, -4.0 * dt, 4.0 * dt);
            if (std::fabs(dRa) < 1e-9 && std::fabs(dDec) < 1e-9) slewing_ = false;
        } else if (tracking_ && custom_) {
            ra_ += (kIndiSiderealArcsecPerSecond - rateRa_) / 3600.0 * dt;
            dec_ += rateDec_ / 3600.0 * dt * decSense;
        } else if (!tracking_) {
            ra_ += kIndiSiderealArcsecPerSecond / 3600.0 * dt;  // the sky turns past a still mount
        }
        ra_ = std::fmod(ra_ + 360.0, 360.0);
    }

    const Clock& clock_;
    bool connected_ = false, slewing_ = false, tracking_ = false, custom_ = false;
    double ra_ = 90.0, dec_ = 30.0, targetRa_ = 0, targetDec_ = 0;
    double rateRa_ = kIndiSiderealArcsecPerSecond, rateDec_ = 0;
    double last_ = 0, report_ = 0;
    std::optional<IndiPosition> reported_;
};

int Iss() { return TestCatalogue()->IssIndex(); }

PassTimes IssPass() {
    static const PassTimes pass = FindPass(Iss(), 2457870.5, 35.0, 70.0);
    return pass;
}

struct IndiRig {
    explicit IndiRig(double utc) : clock(utc + kTestSite.utcOffset / 24.0), mount(clock) {
        store.Set(TestCatalogue());
        SetSite(live, Iss());
        link = std::make_unique<SerialLink>(port, clock, display);
        link->SetScopeType(ScopeType::INDI);
        link->SetIndiMount(&mount);
        driver = std::make_unique<TrackingDriver>(*link, live, store, clock, display);
    }
    // Starts tracking and runs the engine until it ends or `limitSeconds` pass (then the test
    // stops it as the user would). `each` runs after every virtual sleep.
    void Run(double limitSeconds, std::function<void()> each = nullptr) {
        driver->StartStopTracking();
        ASSERT_TRUE(driver->TrackingOn());
        const double start = clock.MonotonicSeconds();
        clock.onSleep = [&, start, limitSeconds] {
            if (each) each();
            if (clock.MonotonicSeconds() - start > limitSeconds) driver->RequestStop();
        };
        driver->RunTracking();
        driver->FinishStop();
        clock.onSleep = nullptr;
    }
    double Utc() const { return clock.LocalJulianDate() - kTestSite.utcOffset / 24.0; }
    // The angle between where the mount points and where the ISS is, degrees.
    double Error() {
        double ra = 0, dec = 0;
        mount.Now(ra, dec);
        PropagationSlot slot(kSlotPassPrediction);
        const CycleTarget t = ComputeCycleTarget(*TestCatalogue(), Iss(), Utc(), kTestSite, 0.0, slot);
        return IndiSeparation(ra / 15.0, dec, t.raHours, t.decDegrees);
    }
    size_t Count(const std::string& command) const {
        return static_cast<size_t>(std::count(mount.log.begin(), mount.log.end(), command));
    }

    SteppingClock clock;
    FakeIndiMount mount;
    ScriptedSerialPort port;
    RecordingDisplay display;
    CatalogueStore store;
    LiveState live;
    std::unique_ptr<SerialLink> link;
    std::unique_ptr<TrackingDriver> driver;
};

struct ErrorStats {
    double sumSquares = 0, max = 0;
    int n = 0;
    void Add(double e) {
        sumSquares += e * e;
        max = std::max(max, e);
        ++n;
    }
    double Rms() const { return n > 0 ? std::sqrt(sumSquares / n) : 1e9; }
};

// Runs a pass to its end; the error from a minute after the start (the goto and the pull-in),
// once a second, and not across the horizon, where the look angles take their refraction step.
ErrorStats FollowPass(IndiRig& rig, const PassTimes& pass) {
    ErrorStats stats;
    double lastSample = 0;
    rig.Run(1200.0, [&] {
        const double t = rig.clock.MonotonicSeconds();
        if (t < 60.0 || t - lastSample < 1.0 || !rig.driver->TrackingOn()) return;
        lastSample = t;
        PropagationSlot slot(kSlotPassPrediction);
        if (ComputeCycleTarget(*TestCatalogue(), Iss(), rig.Utc(), kTestSite, 0.0, slot).elevationDeg > 1.0)
            stats.Add(rig.Error());
    });
    std::cout << "INDI custom rates (peak " << std::lround(pass.maxElevation) << " deg): RMS " << stats.Rms()
              << " max " << stats.max << "\n";
    return stats;
}

}  // namespace

TEST(IndiArithmetic, RatesHoldTheSkyAddTheCorrectionAndPassThroughZero) {
    const IndiRateLimits open;
    const IndiRates still = IndiTrackRates(0, 0, 0, 0, open);
    EXPECT_DOUBLE_EQ(still.ra, kIndiSiderealArcsecPerSecond);
    EXPECT_DOUBLE_EQ(still.dec, 0.0);
    // 0.1 degrees per second eastward in RA is 360"/s against the sky's turning.
    const IndiRates moving = IndiTrackRates(0.1, -0.2, 0.0, kIndiCorrectionSeconds * 0.01, open);
    EXPECT_NEAR(moving.ra, kIndiSiderealArcsecPerSecond - 360.0, 1e-9);
    EXPECT_NEAR(moving.dec, -720.0 + 36.0, 1e-9);
    double ra = 0, dec = 0;
    IndiMotion(moving, ra, dec);
    EXPECT_NEAR(ra, 0.1, 1e-12);
    // Limits and NaN.
    const IndiRates held = IndiTrackRates(10.0, NAN, NAN, 0, IndiRateLimits{-1000, 1000, -500, 500});
    EXPECT_EQ(held.ra, -1000.0);
    EXPECT_EQ(held.dec, 0.0);
    // A reversal on one axis goes through zero on that axis only.
    const IndiRates from{100, 50}, to{-100, 60};
    EXPECT_TRUE(IndiReversesRate(from, to));
    EXPECT_FALSE(IndiReversesRate(from, IndiRates{0, 5}));
    const IndiRates zero = IndiThroughZero(from, to);
    EXPECT_EQ(zero.ra, 0.0);
    EXPECT_EQ(zero.dec, 60.0);
}

TEST(IndiArithmetic, ServerAddresses) {
    const auto a = ParseIndiAddress("scope.local:7625", "EQMod Mount");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "scope.local");
    EXPECT_EQ(a->port, 7625);
    EXPECT_EQ(a->device, "EQMod Mount");
    EXPECT_EQ(ParseIndiAddress(" localhost ", "x")->port, 7624);
    for (const char* bad : {"host:", "host:0", "host:65536", "host:76x", ":7624", ""})
        EXPECT_FALSE(ParseIndiAddress(bad, "x")) << bad;
}

// A whole ISS pass by custom rates, about 35 degrees high and overhead: one goto, then rates that
// keep the mount on the object to a few arcseconds; no rate is ever refused; the pass ends below
// the horizon with the stop.
TEST(IndiEngine, CustomRatesFollowAWholePass) {
    for (const PassTimes& pass : {IssPass(), FindPass(Iss(), 2457870.5, 80.0, 90.0)}) {
        ASSERT_GT(pass.losUtc, 0);
        IndiRig rig(pass.aosUtc + 30.0 / 86400.0);
        const ErrorStats stats = FollowPass(rig, pass);
        EXPECT_GT(stats.n, 200);
        EXPECT_LT(stats.Rms(), 0.01) << "max " << stats.max;
        EXPECT_LT(stats.max, 0.05);
        EXPECT_EQ(rig.mount.refused, 0);
        EXPECT_EQ(rig.Count("custom"), 1u);
        EXPECT_GT(rig.Count("rates"), 500u);
        ASSERT_FALSE(rig.display.messages.empty());
        EXPECT_EQ(rig.display.messages.back().text,
                  "Object Below Horizon!!\r\rMay need to Refresh Object List.");
        EXPECT_EQ(rig.display.messages.back().title, "Tracking Error");
        ASSERT_GE(rig.mount.log.size(), 2u);
        EXPECT_EQ(rig.mount.log[rig.mount.log.size() - 2], "abort");
        EXPECT_EQ(rig.mount.log.back(), "track off");
    }
}

// With the predictive method chosen INDI keeps its engine, whose rates already come from the
// shared predictive controller: no word of a method that is not there.
TEST(IndiEngine, ThePredictiveMethodRunsTheSameCustomRates) {
    IndiRig rig(IssPass().aosUtc + 60.0 / 86400.0);
    TrackingSettings settings;
    settings.predictive = true;
    rig.driver->SetSettings(settings);
    rig.Run(60.0);
    EXPECT_EQ(rig.Count("custom"), 1u);
    EXPECT_GT(rig.Count("rates"), 40u);
    const auto& shown = rig.display.raLines;
    EXPECT_EQ(std::find(shown.begin(), shown.end(), "Predictive tracking not available:"), shown.end());
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                            [](const std::string& line) { return line.rfind("R.A. Tracking to ", 0) == 0; }));
}

// A driver that lowers the Dec for a positive rate is found out and driven the other way.
TEST(IndiEngine, ADecAxisThatRunsBackwardsIsLearnt) {
    const PassTimes pass = IssPass();
    IndiRig rig(pass.aosUtc + 60.0 / 86400.0);
    rig.mount.decSense = -1.0;
    ErrorStats stats;
    rig.Run(120.0, [&] {
        if (rig.clock.MonotonicSeconds() > 90.0 && rig.driver->TrackingOn()) stats.Add(rig.Error());
    });
    EXPECT_GT(stats.n, 10);
    EXPECT_LT(stats.max, 0.05);
    EXPECT_EQ(rig.mount.refused, 0);
}

// Without custom rates the engine falls back to repeated gotos; the pointing stays within a
// couple of degrees, and Stop sends the abort and tracking off after the last goto.
TEST(IndiEngine, WithoutCustomRatesGotosFollowTheObject) {
    const PassTimes pass = IssPass();
    IndiRig rig(pass.aosUtc + 60.0 / 86400.0);
    rig.mount.offersRates = false;
    ErrorStats stats;
    rig.Run(120.0, [&] {
        if (rig.clock.MonotonicSeconds() > 40.0 && rig.driver->TrackingOn()) stats.Add(rig.Error());
    });
    EXPECT_EQ(rig.Count("rates"), 0u);
    EXPECT_EQ(rig.Count("custom"), 0u);
    EXPECT_GT(rig.Count("slew"), 30u);
    EXPECT_LT(stats.Rms(), 1.0) << "max " << stats.max;
    EXPECT_TRUE(rig.display.messages.empty());
    ASSERT_GE(rig.mount.log.size(), 2u);
    EXPECT_EQ(rig.mount.log[rig.mount.log.size() - 2], "abort");
    EXPECT_EQ(rig.mount.log.back(), "track off");
}

TEST(IndiEngine, TrackingLimitStopsTheMount) {
    const PassTimes pass = IssPass();
    IndiRig rig(pass.aosUtc + 30.0 / 86400.0);
    TrackingSettings settings;
    settings.limitEnabled = true;
    settings.limitDegrees = 30;
    rig.driver->SetSettings(settings);
    rig.Run(1200.0);
    ASSERT_EQ(rig.display.messages.size(), 1u);
    EXPECT_EQ(rig.display.messages[0].text, "Elevation of object exceeds limit set in preferences.");
    EXPECT_EQ(rig.display.messages[0].title, "Tracking Stopped");
    EXPECT_FALSE(rig.driver->TrackingOn());
    EXPECT_EQ(rig.mount.log.back(), "track off");
    EXPECT_LT(rig.clock.MonotonicSeconds(), (pass.culminationUtc - pass.aosUtc) * 86400.0);
}

TEST(IndiEngine, ALostServerEndsTrackingWithTheUsualMessage) {
    const PassTimes pass = IssPass();
    IndiRig rig(pass.aosUtc + 60.0 / 86400.0);
    rig.Run(300.0, [&] {
        if (rig.clock.MonotonicSeconds() > 40.0) rig.mount.serverUp = false;
    });
    ASSERT_EQ(rig.display.messages.size(), 1u);
    EXPECT_EQ(rig.display.messages[0].text, "Lost communication with the telescope.");
    EXPECT_EQ(rig.display.messages[0].title, "Tracking Error");
    EXPECT_LT(rig.clock.MonotonicSeconds(), 45.0);
}

// Stop wins: once it is asked for, no rate or goto follows; the abort and tracking off go out.
TEST(IndiEngine, StopAbortsAndNothingFollows) {
    const PassTimes pass = IssPass();
    IndiRig rig(pass.aosUtc + 60.0 / 86400.0);
    size_t atStop = 0;
    rig.Run(1200.0, [&] {
        if (atStop == 0 && rig.clock.MonotonicSeconds() > 30.0) {
            rig.driver->RequestStop();
            atStop = rig.mount.log.size();
        }
    });
    ASSERT_GT(atStop, 0u);
    ASSERT_EQ(rig.mount.log.size(), atStop + 2);
    EXPECT_EQ(rig.mount.log[atStop], "abort");
    EXPECT_EQ(rig.mount.log[atStop + 1], "track off");
    EXPECT_TRUE(rig.display.messages.empty());
}

// Connecting an INDI interface reaches the server, not a serial port; a server that is not
// there is said so; disconnecting without tracking sends the mount nothing.
TEST(IndiEngine, ConnectReachesTheServer) {
    IndiRig rig(IssPass().aosUtc);
    rig.mount.serverUp = false;
    rig.link->SetIndiServer(IndiServer{"nowhere", 7777, "Telescope Simulator"});
    EXPECT_FALSE(rig.link->Connect(1));
    ASSERT_EQ(rig.display.messages.size(), 1u);
    EXPECT_EQ(rig.display.messages[0].text, "Cannot connect to the INDI server at nowhere:7777.");
    rig.mount.serverUp = true;
    EXPECT_TRUE(rig.link->Connect(1));
    EXPECT_EQ(rig.link->ConnectedPort(), 1);
    EXPECT_TRUE(rig.mount.Connected());
    rig.link->Disconnect();
    EXPECT_TRUE(rig.mount.log.empty());  // not tracking: the mount is left as it was
    EXPECT_FALSE(rig.mount.Connected());
    EXPECT_EQ(rig.link->ConnectedPort(), 0);
}
