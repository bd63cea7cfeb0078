// The telescope session: Stop wins over every wait of the engines, by construction. The stop
// request comes at chosen moments of each wait (virtual time, on the scripted port and on the
// simulated mount) and at random moments from another thread; in every case no positioning
// command follows it and the stop sequence goes out at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

#include "TrackingFixture.h"
#include "scope/Lx200Codec.h"
#include "scope/ReplyCheck.h"
#include "scope/ScopeSession.h"
#include "sim/SimulatedMount.h"
#include "support/RecordingDisplay.h"
#include "support/ScriptedSerialPort.h"
#include "support/SteppingClock.h"

using namespace corvane;
using namespace corvane::test;

namespace {

const std::string kStopAllText = "#:Q#:Qn#:Qs#:Qe#:Qw#";
const std::string kLongAzimuth = "123\xDF" "45:06#";
const std::string kBarsForever = std::string(6, '\x7F') + std::string(10, ' ') + std::string(6, '\x7F') +
                                 std::string(10, ' ') + "#";
const std::string kNoBars = std::string(32, ' ') + "#";

int Iss() { return TestCatalogue()->IssIndex(); }

PassTimes IssPass() {
    static const PassTimes pass = FindPass(Iss(), 2457870.5, 35.0, 70.0);
    return pass;
}

// A geostationary satellite high in the test site's sky at the ISS culmination.
int HighGeostationary() {
    static const int found = [] {
        const auto catalogue = TestCatalogue();
        PropagationSlot slot(kSlotGeostationary);
        for (int i = 1; i <= catalogue->Count(); ++i) {
            if (!ConvertElementSet(*catalogue, i, slot)) continue;
            const ElementSet& e = slot.Elements();
            const double revs = e.meanMotion / (2 * 3.141592653589793 / 1440);
            if (e.eccentricity < 0.01 && e.inclination < 0.05 && std::fabs(revs - 1.0027) < 0.01) {
                const CycleTarget t = ComputeCycleTarget(*catalogue, i, IssPass().culminationUtc, kTestSite, 0, slot);
                if (t.ok && t.elevationDeg > 30) return i;
            }
        }
        return 0;
    }();
    return found;
}

// Wraps a port and records every write with the virtual time it was made at.
class TimedPort final : public SerialPort {
public:
    TimedPort(SerialPort& inner, const Clock& clock) : inner_(inner), clock_(clock) {}
    struct Write {
        double at;
        std::string bytes;
    };
    bool Open(const std::string& device) override { return inner_.Open(device); }
    bool IsOpen() const override { return inner_.IsOpen(); }
    int BytesWaiting() override { return inner_.BytesWaiting(); }
    std::string Read(int count) override { return inner_.Read(count); }
    bool Write(std::string_view bytes) override {
        const bool ok = inner_.Write(bytes);
        std::lock_guard<std::mutex> lock(mutex_);
        writes_.push_back({clock_.MonotonicSeconds(), std::string(bytes)});
        return ok;
    }
    void Close() override { inner_.Close(); }
    std::vector<struct Write> Writes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return writes_;
    }
    size_t Count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return writes_.size();
    }

private:
    SerialPort& inner_;
    const Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<struct Write> writes_;
};

bool Positions(const std::string& bytes) {
    return bytes.find(":MS#") != std::string::npos || bytes.find(":Sr") != std::string::npos ||
           bytes.find(":Sd") != std::string::npos;
}

// A session on a scripted port or a simulated mount, on a virtual clock. The test arranges a
// stop with StopWhen(); the session runs on the test's thread (RunPending).
struct SessionRig {
    SessionRig(ScopeType type, std::optional<MountModel> model)
        : clock(IssPass().culminationUtc + kTestSite.utcOffset / 24.0),
          scripted(&clock),
          mount(model.value_or(MountModel::LX200),
                MountSite{kTestSite.latitude, kTestSite.longitude, kTestSite.altitude, kTestSite.utcOffset}, clock),
          port(model ? static_cast<SerialPort&>(mount) : static_cast<SerialPort&>(scripted), clock),
          session(port, clock, live, store, display) {
        store.Set(TestCatalogue());
        SetSite(live, Iss());
        session.SetScopeType(type);
        session.SetDeviceResolver([](int) { return "dev"; });
        scripted.Always("#:GZ#", kLongAzimuth);
        clock.onSleep = [this] {
            if (stopAt < 0 && stopWhen && stopWhen()) {
                stopAt = clock.MonotonicSeconds();
                stopIndex = port.Count();
                session.StopTracking();
            }
        };
    }
    // Connects, starts tracking and runs until the session is idle again.
    void Run() {
        session.Connect(1);
        session.RunPending();
        ASSERT_EQ(session.ConnectedPort(), 1);
        session.StartStopTracking();
        session.RunPending();
    }
    // The write that was last made, and how long ago.
    std::string LastWrite() const {
        const auto w = port.Writes();
        return w.empty() ? std::string() : w.back().bytes;
    }
    double SinceLastWrite() const {
        const auto w = port.Writes();
        return w.empty() ? 0.0 : clock.MonotonicSeconds() - w.back().at;
    }
    int CountOf(const std::string& what) const {
        int n = 0;
        for (const auto& w : port.Writes()) n += w.bytes.find(what) != std::string::npos;
        return n;
    }
    // Nothing that moves the mount after the stop; the stop sequence within 0.2 s.
    void ExpectStopWins(const std::string& firstStopWrite) const {
        ASSERT_GE(stopAt, 0.0) << "the stop was never requested";
        const auto w = port.Writes();
        bool stopSent = false;
        for (size_t i = stopIndex; i < w.size(); ++i) {
            EXPECT_FALSE(Positions(w[i].bytes)) << "positioning after Stop: " << w[i].bytes;
            if (!stopSent && w[i].bytes == firstStopWrite) {
                stopSent = true;
                EXPECT_LE(w[i].at - stopAt, 0.2);
            }
        }
        EXPECT_TRUE(stopSent) << "no stop sequence after the request";
        EXPECT_FALSE(session.TrackingOn());
        EXPECT_TRUE(session.Idle());
    }

    SteppingClock clock;
    ScriptedSerialPort scripted;
    SimulatedMount mount;
    TimedPort port;
    RecordingDisplay display;
    LiveState live;
    CatalogueStore store;
    ScopeSession session;
    std::function<bool()> stopWhen;
    double stopAt = -1;
    size_t stopIndex = 0;
};

}  // namespace

TEST(ScopeSession, StopInTheSlewWaitEndsTheWaitAndSendsTheStopAtOnce) {
    for (bool simulated : {false, true}) {
        SessionRig rig(ScopeType::LX200, simulated ? std::optional(MountModel::LX200) : std::nullopt);
        rig.scripted.Always("#:D#", kBarsForever);
        rig.mount.PointAt(0.0, 20.0);  // far from the ISS: a long slew with bars
        rig.stopWhen = [&] { return rig.CountOf("#:D#") >= 3; };
        rig.Run();
        rig.ExpectStopWins(kStopAllText);
        EXPECT_EQ(rig.CountOf(":MS#"), 1) << simulated;
        if (simulated) {
            EXPECT_FALSE(rig.mount.State().slewing);
        }
    }
}

TEST(ScopeSession, StopBetweenTheRepeatedGotosOfTheReslewPathSendsNoSecondGoto) {
    for (bool simulated : {false, true}) {
        SessionRig rig(ScopeType::LX200, simulated ? std::optional(MountModel::LX200) : std::nullopt);
        rig.scripted.Always("#:D#", kBarsForever);
        rig.mount.PointAt(0.0, 10.0);  // so far that the slew outlasts the 8 s wait
        // After the 8 s time-out the next cycle sends its goto, then the same goto again: the
        // stop comes right after the first of the two.
        rig.stopWhen = [&] { return rig.CountOf(":MS#") == 2 && Positions(rig.LastWrite()); };
        rig.Run();
        rig.ExpectStopWins(kStopAllText);
        EXPECT_EQ(rig.CountOf(":MS#"), 2) << simulated;
        if (simulated) {
            EXPECT_FALSE(rig.mount.State().slewing);
        }
    }
}

TEST(ScopeSession, StopInTheLeapFrogWaitSendsTheStopAtOnce) {
    for (bool simulated : {false, true}) {
        SessionRig rig(ScopeType::LX200, simulated ? std::optional(MountModel::LX200) : std::nullopt);
        rig.scripted.Always("#:D#", kNoBars);
        // Already near the object: the slew ends at once and the 3.6 s leap-frog wait follows.
        PropagationSlot slot(kSlotTracking);
        const CycleTarget t = ComputeCycleTarget(*TestCatalogue(), Iss(), IssPass().culminationUtc, kTestSite, 0, slot);
        rig.mount.PointAt(t.azimuthDeg, t.elevationDeg);
        rig.live.Update([](LiveValues& v) { v.trackingMethod = 3; });
        rig.stopWhen = [&] { return rig.LastWrite() == "#:D#" && rig.SinceLastWrite() > 1.0; };
        rig.Run();
        rig.ExpectStopWins(kStopAllText);
        EXPECT_EQ(rig.CountOf(":MS#"), 1) << simulated;
    }
}

TEST(ScopeSession, StopDuringTheGeostationaryHoldEndsItWithTheLx200GpsStop) {
    ASSERT_GT(HighGeostationary(), 0);
    for (bool simulated : {false, true}) {
        for (bool afterLandAlignment : {false, true}) {
            SessionRig rig(ScopeType::LX200GPS, simulated ? std::optional(MountModel::LX200GPS) : std::nullopt);
            rig.live.Update([](LiveValues& v) { v.selectedObject = HighGeostationary(); });
            rig.scripted.Always(":D#", afterLandAlignment ? "#" : "\x7F#");
            if (afterLandAlignment) {
                rig.stopWhen = [&] { return rig.LastWrite() == "#:AL#" && rig.SinceLastWrite() > 1.0; };
            } else {
                rig.mount.PointAt(0.0, 10.0);
                rig.stopWhen = [&] { return rig.CountOf(":D#") >= 2; };
            }
            rig.Run();
            rig.ExpectStopWins("#:Q#");
            // The alignment comes back only after the stop sequence.
            const auto w = rig.port.Writes();
            ASSERT_FALSE(w.empty());
            EXPECT_EQ(w.back().bytes, "#:AA#") << simulated << afterLandAlignment;
            EXPECT_EQ(rig.CountOf("#:AL#"), afterLandAlignment ? 1 : 0);
        }
    }
}

TEST(ScopeSession, AStopFromAnotherThreadIsFollowedByNoGotoWheneverItComes) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delayMs(0, 60);
    for (int round = 0; round < 25; ++round) {
        SessionRig rig(ScopeType::LX200, std::nullopt);
        rig.scripted.Always("#:D#", round % 2 ? kBarsForever : kNoBars);
        rig.live.Update([round](LiveValues& v) { v.trackingMethod = round % 3; });
        rig.clock.onSleep = [] { std::this_thread::sleep_for(std::chrono::microseconds(100)); };
        rig.session.Start();
        rig.session.Connect(1);
        rig.session.StartStopTracking();
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        rig.session.StopTracking();
        const size_t stopIndex = rig.port.Count();
        ASSERT_TRUE(rig.session.WaitIdle(10.0));
        const auto w = rig.port.Writes();
        for (size_t i = stopIndex; i < w.size(); ++i) EXPECT_FALSE(Positions(w[i].bytes)) << round;
        rig.session.Shutdown();
    }
}

TEST(ScopeSession, ShutdownWhileIdentifyingASilentMountIsQuickAndQuiet) {
    SteppingClock clock(IssPass().culminationUtc);
    clock.onSleep = [] { std::this_thread::sleep_for(std::chrono::microseconds(200)); };
    ScriptedSerialPort silent(&clock);
    RecordingDisplay display;
    LiveState live;
    CatalogueStore store;
    ScopeSession session(silent, clock, live, store, display);
    session.SetScopeType(ScopeType::ETX494);  // the slowest identification there is
    session.SetDeviceResolver([](int) { return "dev"; });
    session.Start();
    session.Connect(1);
    for (int i = 0; i < 200 && !display.busy; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(display.busy);
    const double begin = clock.MonotonicSeconds();
    session.Shutdown();
    // Virtual time: the identification ends at once, then the 500 ms of the disconnect.
    EXPECT_LT(clock.MonotonicSeconds() - begin, 1.0);
    EXPECT_EQ(session.ConnectedPort(), 0);
    EXPECT_FALSE(silent.IsOpen());
    EXPECT_TRUE(display.Messages().empty());  // a cancelled connection is not an error
}

TEST(ScopeSession, CancelConnectEndsTheIdentificationAndTheNextConnectWorks) {
    SteppingClock clock(IssPass().culminationUtc);
    ScriptedSerialPort port(&clock);
    RecordingDisplay display;
    LiveState live;
    CatalogueStore store;
    ScopeSession session(port, clock, live, store, display);
    session.SetScopeType(ScopeType::LX200);
    session.SetDeviceResolver([](int) { return "dev"; });
    // Cancelled after the first query went out unanswered.
    clock.onSleep = [&] {
        if (port.writes.size() == 1 && session.ConnectedPort() == 1) session.CancelConnect();
    };
    session.Connect(1);
    session.RunPending();
    EXPECT_EQ(session.ConnectedPort(), 0);
    EXPECT_LT(clock.MonotonicSeconds(), 1.0);  // not the 7 s of a silent mount
    EXPECT_TRUE(display.Messages().empty());
    clock.onSleep = nullptr;
    port.Always("#:GZ#", kLongAzimuth);
    session.Connect(1);
    session.RunPending();
    EXPECT_EQ(session.ConnectedPort(), 1);
    EXPECT_TRUE(session.Link().LongFormat());
}

TEST(ScopeSession, StartWhileNotConnectedConnectsAndAStopBeforeItRunsCancelsIt) {
    SessionRig rig(ScopeType::LX200, std::nullopt);
    rig.session.StartStopTracking();
    rig.session.StartStopTracking();  // a second click before the start ran: a Stop
    rig.session.RunPending();
    EXPECT_FALSE(rig.session.TrackingOn());
    EXPECT_EQ(rig.CountOf(":MS#"), 0);

    rig.scripted.Always("#:D#", kNoBars);
    rig.stopWhen = [&] { return rig.CountOf(":MS#") >= 2; };
    rig.session.StartStopTracking();
    rig.session.RunPending();
    EXPECT_EQ(rig.session.ConnectedPort(), 1);  // Start connected port 1 itself
    rig.ExpectStopWins(kStopAllText);
}

TEST(ReplyCheck, TellsAnswersFromNoise) {
    // Distance bars: bar bytes and blanks up to "#", maybe after a pending slew reply.
    EXPECT_TRUE(IsPlausibleBarsReply(kBarsForever));
    EXPECT_TRUE(IsPlausibleBarsReply("0" + kNoBars));
    EXPECT_TRUE(IsPlausibleBarsReply("\xFF\xFF#"));
    EXPECT_FALSE(IsPlausibleBarsReply(""));
    EXPECT_FALSE(IsPlausibleBarsReply(std::string(16, '\x7F')));  // not complete
    EXPECT_FALSE(IsPlausibleBarsReply(std::string("\x03\x91\x7F#", 4)));
    // Slew replies, alone and piled up.
    EXPECT_TRUE(IsSlewReply("0"));
    EXPECT_TRUE(IsSlewReply("1Object Below Horizon#"));
    EXPECT_TRUE(IsSlewReply("2Object Below Higher"));  // the "#" not yet arrived
    EXPECT_TRUE(IsSlewReply("110"));                    // two set acknowledgements, then accepted
    EXPECT_FALSE(IsSlewReply(""));
    EXPECT_FALSE(IsSlewReply("\x85"));
    EXPECT_FALSE(IsSlewReply("1\x01\x02#"));
    EXPECT_TRUE(IsSlewReplyPile("000"));
    EXPECT_TRUE(IsSlewReplyPile("001Below Horizon#0"));
    EXPECT_FALSE(IsSlewReplyPile("0x0"));
    // Coordinates in both precisions.
    for (const char* good : {"12:34:56#", "12:34.5#", "+45\xDF" "30:00#", "-05*30#", "123\xDF" "45:06#"})
        EXPECT_TRUE(IsCoordinateReply(good)) << good;
    for (const char* bad : {"", "#", "12:3#", "1234:56#", "ab:cd:ef#", "+45\xDF" "30:00"})
        EXPECT_FALSE(IsCoordinateReply(bad)) << bad;
}

TEST(ScopeSession, AJobPostedAfterAStopGoesOutAfterTheStopSequenceAndIsNotRefused) {
    SessionRig rig(ScopeType::LX200, MountModel::LX200);
    rig.session.Connect(1);
    rig.session.RunPending();
    ASSERT_EQ(rig.session.ConnectedPort(), 1);
    rig.session.StopTracking();  // the LX200 stop sequence is due even when idle
    bool sent = false;
    rig.session.Post([&](SerialLink& link) { sent = link.SendCommand("#:GR#"); });
    rig.session.RunPending();
    EXPECT_TRUE(sent);
    const auto w = rig.port.Writes();
    ASSERT_GE(w.size(), 2u);
    EXPECT_EQ(w[w.size() - 2].bytes, kStopAllText);
    EXPECT_EQ(w.back().bytes, "#:GR#");
    EXPECT_TRUE(rig.session.Idle());
}
