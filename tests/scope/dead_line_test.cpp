// Every tracking engine against a line that goes silent, stalls, turns to noise or closes, at the
// start and in the middle of a pass, in virtual time: how soon it ends, with which message, and
// that it never spins on a dead line. The Ultima 2000 and NexStar 5/8 promise no answer, and the
// LX200GPS's position queries only steer when they read; those go on.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "TrackingFixture.h"
#include "scope/SerialLink.h"
#include "sim/SimulatedEarlyNexStar.h"
#include "sim/SimulatedMount.h"
#include "sim/SimulatedNexStar.h"
#include "scope/TrackingDriver.h"
#include "support/RecordingDisplay.h"
#include "support/SteppingClock.h"

using namespace corvane;
using namespace corvane::test;

namespace {

const MountSite kMountSite{kTestSite.latitude, kTestSite.longitude, kTestSite.altitude, kTestSite.utcOffset};
const std::string kLost = "Lost communication with the telescope.";

enum class LineFault { None, Silence, Stall, Garbage, Closed };

const char* FaultName(LineFault f) {
    switch (f) {
        case LineFault::Silence:
            return "silence";
        case LineFault::Stall:
            return "stall";
        case LineFault::Garbage:
            return "garbage";
        case LineFault::Closed:
            return "closed";
        default:
            return "none";
    }
}

// The line between the program and a simulated mount, with a fault that can strike at any
// moment. The mount behind it goes on acting on what reaches it. Silence and stalls are the
// mount's own (a stalled reply's second half comes long after the test); on this line noise
// replaces every byte, the terminator too, and a closed line takes and gives nothing.
class FaultyLine final : public SerialPort {
public:
    explicit FaultyLine(std::unique_ptr<MountSimulator> mount) : mount_(std::move(mount)) {}
    void Strike(LineFault fault) {
        fault_ = fault;
        if (fault == LineFault::Silence) mount_->InjectFault(MountFault::Silence);
        if (fault == LineFault::Stall) mount_->InjectFault(MountFault::StalledReply, 600.0);
    }
    bool Open(const std::string& device) override {
        return fault_ != LineFault::Closed && mount_->Open(device);
    }
    bool IsOpen() const override { return mount_->IsOpen(); }
    int BytesWaiting() override {
        if (fault_ == LineFault::Closed) return -1;
        Pull();
        return static_cast<int>(ready_.size());
    }
    std::string Read(int count) override {
        const std::string out = ready_.substr(0, static_cast<size_t>(std::max(count, 0)));
        ready_.erase(0, out.size());
        return out;
    }
    bool Write(std::string_view bytes) override {
        ++writes;
        if (fault_ == LineFault::Closed) return false;
        return mount_->Write(bytes);
    }
    void Close() override { mount_->Close(); }

    int writes = 0;

private:
    void Pull() {
        const int waiting = mount_->BytesWaiting();
        if (waiting <= 0) return;
        std::string chunk = mount_->Read(waiting);
        if (fault_ == LineFault::Garbage) {
            for (char& c : chunk) {
                noise_ = noise_ * 1103515245u + 12345u;
                c = static_cast<char>((noise_ >> 16) & 0xFF);
            }
        }
        ready_ += chunk;
    }

    std::unique_ptr<MountSimulator> mount_;
    LineFault fault_ = LineFault::None;
    std::string ready_;
    uint32_t noise_ = 12345u;
};

struct Family {
    ScopeType type;
    std::function<std::unique_ptr<MountSimulator>(Clock&)> mount;
};

std::vector<Family> Families() {
    auto lx = [](MountModel model) {
        return [model](Clock& clock) -> std::unique_ptr<MountSimulator> {
            auto mount = std::make_unique<SimulatedMount>(model, kMountSite, clock);
            mount->PointAt(180.0, 45.0);
            return mount;
        };
    };
    auto nexstar = [](NexStarModel model) {
        return [model](Clock& clock) -> std::unique_ptr<MountSimulator> {
            return std::make_unique<SimulatedNexStar>(model, kMountSite, clock);
        };
    };
    auto early = [](EarlyNexStarModel model) {
        return [model](Clock& clock) -> std::unique_ptr<MountSimulator> {
            auto mount = std::make_unique<SimulatedEarlyNexStar>(model, kMountSite, clock);
            mount->PointAt(180.0, 45.0);
            return mount;
        };
    };
    return {{ScopeType::LX200, lx(MountModel::LX200)},
            {ScopeType::LX200GPS, lx(MountModel::LX200GPS)},
            {ScopeType::ETX494, lx(MountModel::AutoStar494)},
            {ScopeType::ETX497, lx(MountModel::AutoStar497)},
            {ScopeType::ULTIMA, early(EarlyNexStarModel::Ultima2000)},
            {ScopeType::NEXSTAR, early(EarlyNexStarModel::NexStar58)},
            {ScopeType::NEXSTARGPS, nexstar(NexStarModel::NexStarGps)},
            {ScopeType::CGE, nexstar(NexStarModel::Cge)}};
}

struct Outcome {
    bool connected = false;
    bool ended = false;          // tracking ended on its own
    double endedAfterFault = 0;  // virtual seconds from the fault to the end
    std::vector<ShownMessage> messages;
    int writesAfterFault = 0;
};

// Connects and tracks the ISS two minutes before its culmination; the fault strikes before the
// connection (`at` 0) or `at` seconds into tracking. Tracking is run as the session runs it:
// again and again while it is on, for up to `fault + 40` s.
Outcome Track(const Family& family, LineFault fault, double at) {
    const double utc =
        FindPass(TestCatalogue()->IssIndex(), 2457870.5, 35.0, 70.0).culminationUtc - 120.0 / 86400.0;
    SteppingClock clock(utc + kTestSite.utcOffset / 24.0);
    FaultyLine line(family.mount(clock));
    RecordingDisplay display;
    SerialLink link(line, clock, display);
    link.SetScopeType(family.type);
    link.SetDeviceResolver([](int) { return "sim"; });
    CatalogueStore store;
    store.Set(TestCatalogue());
    LiveState live;
    SetSite(live, TestCatalogue()->IssIndex());
    TrackingDriver driver(link, live, store, clock, display);

    Outcome out;
    double faultAt = 0;
    int writesAtFault = 0;
    if (at <= 0) line.Strike(fault);
    out.connected = link.Connect(1);
    if (!out.connected) {
        out.ended = true;
        out.endedAfterFault = clock.MonotonicSeconds();
        out.messages = display.messages;
        out.writesAfterFault = line.writes;
        return out;
    }
    const double start = clock.MonotonicSeconds();
    const double limit = start + (at > 0 ? at : 0) + 40.0;
    bool struck = at <= 0;
    clock.onSleep = [&] {
        const double now = clock.MonotonicSeconds();
        if (!struck && now - start >= at) {
            line.Strike(fault);
            struck = true;
            faultAt = now;
            writesAtFault = line.writes;
        }
        if (now > limit && driver.TrackingOn()) driver.RequestStop();
    };
    driver.SetTrackingOn(true);
    for (int turns = 0; driver.TrackingOn() && !driver.StopDue() && turns < 100000; ++turns)
        driver.RunTracking();
    out.ended = !driver.StopDue();
    out.endedAfterFault = clock.MonotonicSeconds() - faultAt;
    driver.FinishStop();
    out.messages = display.messages;
    out.writesAfterFault = line.writes - writesAtFault;
    return out;
}

bool NoAnswerPromised(ScopeType type) { return type == ScopeType::ULTIMA || type == ScopeType::NEXSTAR; }

}  // namespace

TEST(DeadLine, EveryMountEndsWithinTwelveSecondsOfAFaultUnlessItsProtocolLetsItGoOn) {
    for (const Family& family : Families()) {
        for (const LineFault fault :
             {LineFault::Silence, LineFault::Stall, LineFault::Garbage, LineFault::Closed}) {
            // At the start, early in the pass (the LX200GPS still intercepting), and later (the
            // LX200GPS in its rate loop).
            for (const double at : {0.0, 15.0, 40.0}) {
                const Outcome out = Track(family, fault, at);
                SCOPED_TRACE(std::string(ScopeTypeCode(family.type)) + " " + FaultName(fault) + " at " +
                             std::to_string(at));
                // No spinning on a dead line: a handful of commands a second at most.
                EXPECT_LT(out.writesAfterFault, 20 + 20 * static_cast<int>(out.endedAfterFault));
                // Silence is no fault where the protocol promises no answer; nor is a stall that
                // leaves nothing of their one-byte replies (one that cuts a longer reply short is
                // noise). The LX200GPS's position queries go on from the table.
                if (NoAnswerPromised(family.type) && fault == LineFault::Stall && !out.ended) {
                    EXPECT_TRUE(out.messages.empty());
                    continue;
                }
                const bool goesOn =
                    (NoAnswerPromised(family.type) && fault == LineFault::Silence) ||
                    (family.type == ScopeType::LX200GPS && at > 30.0 && fault != LineFault::Closed);
                if (goesOn) {
                    EXPECT_FALSE(out.ended);
                    EXPECT_TRUE(out.messages.empty());
                    continue;
                }
                EXPECT_TRUE(out.ended);
                if (out.messages.empty()) {
                    ADD_FAILURE() << "no message";
                    continue;
                }
                EXPECT_LE(out.endedAfterFault, 12.0);
                const std::string& text = out.messages[0].text;
                if (!out.connected) {
                    EXPECT_TRUE(text == "Cannot Communicate with Telescope!" ||
                                text == "Unable To Initialize Serial Port")
                        << text;
                } else if (family.type == ScopeType::NEXSTARGPS || family.type == ScopeType::CGE) {
                    // A position query that gets no readable answer has its own message.
                    EXPECT_TRUE(text == kLost || text == "Cannot get NexStarGPS Current Position!" ||
                                text == "Cannot get CGE Current Position!")
                        << text;
                } else {
                    EXPECT_EQ(text, kLost);
                }
                if (fault == LineFault::Closed && out.connected) {
                    EXPECT_EQ(text, kLost);
                }
            }
        }
    }
}
