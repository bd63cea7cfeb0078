// The leap-frog engines of the AutoStar #494 and #497, the Ultima 2000 and the NexStar 5/8, in
// virtual time: where they aim, how long they wait between leaps, how they end.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "TrackingFixture.h"
#include "scope/Lx200Codec.h"
#include "scope/NexStarCodec.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDriver.h"
#include "sim/SimulatedEarlyNexStar.h"
#include "sim/SimulatedMount.h"
#include "support/RecordingDisplay.h"
#include "support/SteppingClock.h"

using namespace corvane;
using namespace corvane::test;

namespace {

const std::string kBelow1 = "Object Below Horizon!\r\rMay need to Refresh Object List.";
const std::string kBelow2 = "Object Below Horizon!!\r\rMay need to Refresh Object List.";
const MountSite kMountSite{kTestSite.latitude, kTestSite.longitude, kTestSite.altitude, kTestSite.utcOffset};

int Iss() { return TestCatalogue()->IssIndex(); }

PassTimes IssPass() {
    static const PassTimes pass = FindPass(Iss(), 2457870.5, 35.0, 70.0);
    return pass;
}

// A port that answers each write through a function and remembers when every write was made.
class AnsweringPort final : public SerialPort {
public:
    explicit AnsweringPort(const Clock& clock) : clock_(clock) {}
    bool Open(const std::string&) override { return open_ = true; }
    bool IsOpen() const override { return open_; }
    int BytesWaiting() override { return static_cast<int>(input_.size()); }
    std::string Read(int count) override {
        const std::string out = input_.substr(0, static_cast<size_t>(count));
        input_.erase(0, out.size());
        return out;
    }
    bool Write(std::string_view bytes) override {
        writes.emplace_back(bytes);
        times.push_back(clock_.MonotonicSeconds());
        utcs.push_back(clock_.LocalJulianDate() - kTestSite.utcOffset / 24.0);
        if (answer) input_ += answer(std::string(bytes));
        return true;
    }
    void Close() override { open_ = false; }

    std::function<std::string(const std::string&)> answer;
    std::vector<std::string> writes;
    std::vector<double> times;  // monotonic seconds of each write
    std::vector<double> utcs;   // and the UTC Julian date the clock showed

private:
    const Clock& clock_;
    bool open_ = false;
    std::string input_;
};

using PortFactory = std::function<std::unique_ptr<SerialPort>(SteppingClock&)>;

// A driver for one interface on a port made for the rig's clock, at a UTC Julian date.
struct Rig {
    Rig(double utc, ScopeType type, const PortFactory& make)
        : clock(utc + kTestSite.utcOffset / 24.0), port(make(clock)), link(*port, clock, display) {
        store.Set(TestCatalogue());
        SetSite(live, Iss());
        link.SetScopeType(type);
        link.SetDeviceResolver([](int) { return "dev"; });
        driver = std::make_unique<TrackingDriver>(link, live, store, clock, display);
    }
    template <class T>
    T& Port() {
        return static_cast<T&>(*port);
    }
    // Tracks until the engine ends or `stopAfter` virtual seconds have passed.
    void Run(double stopAfter = 120.0) {
        EXPECT_TRUE(link.Connect(1));
        const double start = clock.MonotonicSeconds();
        clock.onSleep = [this, start, stopAfter] {
            if (onSleep) onSleep();
            if (clock.MonotonicSeconds() - start > stopAfter && driver->TrackingOn()) driver->RequestStop();
        };
        driver->SetTrackingOn(true);
        driver->RunTracking();
        driver->FinishStop();
    }
    // The standard method, or the predictive one, with the settings given.
    void Method(bool predictive, TrackingSettings settings = {}) {
        settings.predictive = predictive;
        driver->SetSettings(settings);
    }
    static CycleTarget TargetAt(double utc) {
        PropagationSlot slot(kSlotPassPrediction);
        return ComputeCycleTarget(*TestCatalogue(), Iss(), utc, kTestSite, 0, slot);
    }

    SteppingClock clock;
    std::unique_ptr<SerialPort> port;
    RecordingDisplay display;
    SerialLink link;
    CatalogueStore store;
    LiveState live;
    std::unique_ptr<TrackingDriver> driver;
    std::function<void()> onSleep;
};

PortFactory Answering() {
    return [](SteppingClock& clock) { return std::make_unique<AnsweringPort>(clock); };
}

PortFactory AutoStar(MountModel model, double minAltitude = 0.0, bool bareRefusal = false) {
    return [model, minAltitude, bareRefusal](SteppingClock& clock) {
        MountParameters p = DefaultMountParameters(model);
        p.minAltitude = minAltitude;
        p.bareRefusal = bareRefusal;
        auto mount = std::make_unique<SimulatedMount>(model, kMountSite, clock, p);
        mount->PointAt(180.0, 45.0);
        return mount;
    };
}

PortFactory Early(EarlyNexStarModel model) {
    return [model](SteppingClock& clock) {
        auto mount = std::make_unique<SimulatedEarlyNexStar>(model, kMountSite, clock);
        mount->PointAt(180.0, 45.0);
        return mount;
    };
}

std::vector<size_t> IndexesOf(const std::vector<std::string>& writes,
                              const std::function<bool(const std::string&)>& match) {
    std::vector<size_t> found;
    for (size_t i = 0; i < writes.size(); ++i)
        if (match(writes[i])) found.push_back(i);
    return found;
}

// Each case with the standard method, then with the predictive one.
template <class Case>
std::vector<std::pair<Case, bool>> WithBothMethods(const std::vector<Case>& cases) {
    std::vector<std::pair<Case, bool>> both;
    for (const bool predictive : {false, true})
        for (const Case& c : cases) both.emplace_back(c, predictive);
    return both;
}

}  // namespace

TEST(LeapFrogEngines, UltimaAtFiveAimsFourteenSecondsAheadAndWaits17400Ms) {
    Rig rig(IssPass().culminationUtc - 60.0 / 86400.0, ScopeType::ULTIMA, Answering());
    AnsweringPort& port = rig.Port<AnsweringPort>();
    port.answer = [](const std::string& c) -> std::string {
        if (c == "L\r\n") return "0#";
        return c.size() > 2 && c.substr(c.size() - 2) == "\r\n" ? "#" : "";
    };
    rig.live.Update([](LiveValues& v) { v.trackingMethod = 5; });
    rig.Run(60.0);

    const auto& w = port.writes;
    const auto gotos = IndexesOf(w, [](const std::string& c) { return c[0] == 'R'; });
    const auto cancels = IndexesOf(w, [](const std::string& c) { return c == "M\r\n"; });
    ASSERT_GE(gotos.size(), 3u);
    ASSERT_GE(cancels.size(), 3u);
    // Identification, then each leap: "M", the goto, each with CR LF.
    EXPECT_EQ(w[0], "U\r\n");
    EXPECT_EQ(w[cancels[0] + 1], w[gotos[0]]);
    // The first leap aims 5 s (new object) + 1.8 x 8 s ahead.
    const CycleTarget first = rig.TargetAt(port.utcs[cancels[0]] + (5.0 + 14.4) / 86400.0);
    EXPECT_EQ(w[gotos[0]], NexStarGotoCommand(first.raHours, first.decDegrees) + "\r\n");
    // Later leaps: 1.8 x 8 s ahead of the cycle's start (the "M" goes out at that instant).
    const CycleTarget second = rig.TargetAt(port.utcs[cancels[1]] + 14.4 / 86400.0);
    EXPECT_EQ(w[gotos[1]], NexStarGotoCommand(second.raHours, second.decDegrees) + "\r\n");
    // Between leaps: the goto's 300 ms, the empty read's 200 ms, then the 17400 ms pause.
    EXPECT_NEAR(port.times[cancels[2]] - port.times[gotos[1]], 0.3 + 0.2 + 17.4, 1e-6);
}

TEST(LeapFrogEngines, NexStar58AtZeroWaits9400MsBetweenLeaps) {
    Rig rig(IssPass().culminationUtc - 60.0 / 86400.0, ScopeType::NEXSTAR, Answering());
    AnsweringPort& port = rig.Port<AnsweringPort>();
    port.answer = [](const std::string&) { return std::string("#"); };
    rig.live.Update([](LiveValues& v) { v.trackingMethod = 0; });
    rig.Run(60.0);

    const auto& w = port.writes;
    const auto gotos = IndexesOf(w, [](const std::string& c) { return c.size() == 5 && c[0] == 'R'; });
    const auto cancels = IndexesOf(w, [](const std::string& c) { return c == "?"; });
    ASSERT_GE(gotos.size(), 3u);
    // The first goto aims 30 s (new object) + 1.8 x 3 s ahead, byte-coded.
    const CycleTarget first = rig.TargetAt(port.utcs[cancels[0]] + (30.0 + 5.4) / 86400.0);
    EXPECT_EQ(w[gotos[0]], NexStarByteGotoCommand(first.raHours, first.decDegrees));
    // "?" 800 ms before every goto.
    EXPECT_NEAR(port.times[gotos[1]] - port.times[cancels[1]], 0.8, 1e-6);
    // New object: 2 s after the goto's reads; afterwards 9400 ms.
    EXPECT_NEAR(port.times[cancels[1]] - port.times[gotos[0]], 0.3 + 0.2 + 2.0, 1e-6);
    EXPECT_NEAR(port.times[cancels[2]] - port.times[gotos[1]], 0.3 + 0.2 + 9.4, 1e-6);
}

TEST(LeapFrogEngines, AutoStar497AlwaysAimsTwoSecondsBeyondItsFiveSecondLead) {
    for (int slider : {0, 5}) {
        Rig rig(IssPass().culminationUtc, ScopeType::ETX497, Answering());
        AnsweringPort& port = rig.Port<AnsweringPort>();
        port.answer = [](const std::string& c) -> std::string {
            if (c == "#:GZ#")
                return "123\xDF"
                       "45'06#";
            if (c.rfind(":Sr", 0) == 0 || c.rfind(":Sd", 0) == 0) return "1";
            if (c == ":MS#") return "0";
            if (c == ":D#") return "#";
            return "";
        };
        rig.live.Update([slider](LiveValues& v) { v.trackingMethod = slider; });
        rig.Run(30.0);
        const auto& w = port.writes;
        const auto sets = IndexesOf(w, [](const std::string& c) { return c.rfind(":Sr ", 0) == 0; });
        const auto quits = IndexesOf(w, [](const std::string& c) { return c == "#:Q#"; });
        ASSERT_GE(sets.size(), 2u);
        // New object: 6 s + 5 s + 2 s.
        const CycleTarget first = rig.TargetAt(port.utcs[quits[0]] + 13.0 / 86400.0);
        EXPECT_EQ(w[sets[0]], SetRaCommand(first.raHours, true, false)) << slider;
        EXPECT_EQ(w[sets[0] + 1], SetDecCommand(first.decDegrees, true, kDefaultDegChar, false));
        EXPECT_EQ(w[sets[0] + 2], ":MS#");
        // The next cycle starts as its "#:Q#" goes out and aims 7 s beyond it.
        const double secondStart = port.utcs[quits[1]];
        const CycleTarget second = rig.TargetAt(secondStart + 7.0 / 86400.0);
        EXPECT_EQ(w[sets[1]], SetRaCommand(second.raHours, true, false)) << slider;
        const CycleTarget wrong = rig.TargetAt(secondStart + 8.0 / 86400.0);
        EXPECT_NE(w[sets[1]], SetRaCommand(wrong.raHours, true, false));
    }
}

TEST(LeapFrogEngines, AutoStarRefusalsAndBelowRepliesEndTracking) {
    // Every goto refused: the #494 answers "1" alone and the second refusal ends tracking; by
    // either method.
    for (const bool predictive : {false, true}) {
        Rig rig(IssPass().culminationUtc, ScopeType::ETX494, AutoStar(MountModel::AutoStar494, 89.0, true));
        rig.Method(predictive);
        rig.Run();
        ASSERT_EQ(rig.display.messages.size(), 1u);
        EXPECT_EQ(rig.display.messages[0].text, kBelow2);
        EXPECT_EQ(rig.display.messages[0].title, "Tracking Error");
        EXPECT_FALSE(rig.driver->TrackingOn());
        const auto commands = rig.Port<SimulatedMount>().Commands();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), ":MS#"), 2);
        EXPECT_EQ(commands.back(), ":Qw#");
    }
    // The #497 answers with its message, which names the horizon: tracking ends at once.
    for (const bool predictive : {false, true}) {
        Rig rig(IssPass().culminationUtc, ScopeType::ETX497, AutoStar(MountModel::AutoStar497, 89.0));
        rig.Method(predictive);
        rig.Run();
        ASSERT_EQ(rig.display.messages.size(), 1u);
        EXPECT_EQ(rig.display.messages[0].text, kBelow1);
        const auto commands = rig.Port<SimulatedMount>().Commands();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), ":MS#"), 1);
    }
    // Bare refusal codes at the end of the #497's reply count; a "0" in between starts again.
    {
        Rig rig(IssPass().culminationUtc, ScopeType::ETX497, Answering());
        AnsweringPort& port = rig.Port<AnsweringPort>();
        int slews = 0;
        port.answer = [&slews](const std::string& c) -> std::string {
            if (c == "#:GZ#")
                return "123\xDF"
                       "45'06#";
            if (c.rfind(":Sr", 0) == 0 || c.rfind(":Sd", 0) == 0) return "1";
            if (c == ":MS#") return ++slews == 2 ? "0" : "2";
            return c == ":D#" ? "#" : "";
        };
        rig.Run();
        EXPECT_EQ(slews, 4);
        ASSERT_EQ(rig.display.messages.size(), 1u);
        EXPECT_EQ(rig.display.messages[0].text, kBelow2);
        EXPECT_EQ(port.writes.back(), "#:Q#:Qn#:Qs#:Qe#:Qw#");
    }
    // A reply that says BELOW, in any case, ends the #494's tracking with its own text.
    {
        Rig rig(IssPass().culminationUtc, ScopeType::ETX494, Answering());
        AnsweringPort& port = rig.Port<AnsweringPort>();
        port.answer = [](const std::string& c) -> std::string {
            if (c == "#:GZ#")
                return "123\xDF"
                       "45'06#";
            if (c.rfind("#:S", 0) == 0) return "1";
            return c == "#:MS#" ? "1below#" : "";
        };
        rig.Run();
        ASSERT_EQ(rig.display.messages.size(), 1u);
        EXPECT_EQ(rig.display.messages[0].text, kBelow1);
    }
}

TEST(LeapFrogEngines, ObjectsBelowTheHorizonAndTheLimitStopWithTheirTexts) {
    struct Case {
        ScopeType type;
        PortFactory port;
        std::string lastWrite;
    };
    const std::vector<Case> cases = {
        {ScopeType::ETX494, AutoStar(MountModel::AutoStar494), ":Qw#"},
        {ScopeType::ETX497, AutoStar(MountModel::AutoStar497), ":Qw#"},
        {ScopeType::ULTIMA, Early(EarlyNexStarModel::Ultima2000), "M"},
        {ScopeType::NEXSTAR, Early(EarlyNexStarModel::NexStar58), "?"},
    };
    for (const auto& [c, predictive] : WithBothMethods(cases)) {
        SCOPED_TRACE(predictive ? "predictive" : "standard");
        // Ten minutes after LOS: the aim point is below the horizon.
        Rig low(IssPass().losUtc + 600.0 / 86400.0, c.type, c.port);
        low.Method(predictive);
        low.Run();
        ASSERT_EQ(low.display.messages.size(), 1u) << ScopeTypeCode(c.type);
        EXPECT_EQ(low.display.messages[0].text, kBelow2) << ScopeTypeCode(c.type);
        const auto commands = static_cast<MountSimulator&>(*low.port).Commands();
        ASSERT_FALSE(commands.empty());
        EXPECT_EQ(commands.back(), c.lastWrite) << ScopeTypeCode(c.type);

        // Near culmination with a 20 degree limit: the limit's message, the interface's stop.
        Rig high(IssPass().culminationUtc, c.type, c.port);
        TrackingSettings settings;
        settings.limitEnabled = true;
        settings.limitDegrees = 20;
        high.Method(predictive, settings);
        high.Run();
        ASSERT_EQ(high.display.messages.size(), 1u) << ScopeTypeCode(c.type);
        EXPECT_EQ(high.display.messages[0].text, "Elevation of object exceeds limit set in preferences.");
        EXPECT_EQ(high.display.messages[0].title, "Tracking Stopped");
        const auto sent = static_cast<MountSimulator&>(*high.port).Commands();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back(), c.lastWrite) << ScopeTypeCode(c.type);
    }
}

TEST(LeapFrogEngines, StopDuringALeapSendsNoFurtherGoto) {
    struct Case {
        ScopeType type;
        PortFactory port;
        std::function<bool(const std::string&)> isGoto;
        std::vector<std::string> stop;
    };
    const std::vector<Case> cases = {
        {ScopeType::ETX494,
         AutoStar(MountModel::AutoStar494),
         [](const std::string& c) { return c == ":MS#"; },
         {":Q#", ":Qn#", ":Qs#", ":Qe#", ":Qw#"}},
        {ScopeType::ETX497,
         AutoStar(MountModel::AutoStar497),
         [](const std::string& c) { return c == ":MS#"; },
         {":Q#", ":Qn#", ":Qs#", ":Qe#", ":Qw#"}},
        {ScopeType::ULTIMA,
         Early(EarlyNexStarModel::Ultima2000),
         [](const std::string& c) { return c[0] == 'R'; },
         {"M"}},
        {ScopeType::NEXSTAR,
         Early(EarlyNexStarModel::NexStar58),
         [](const std::string& c) { return c[0] == 'R'; },
         {"?"}},
    };
    for (const auto& [c, predictive] : WithBothMethods(cases)) {
        SCOPED_TRACE(predictive ? "predictive" : "standard");
        Rig rig(IssPass().culminationUtc - 120.0 / 86400.0, c.type, c.port);
        rig.Method(predictive);
        MountSimulator& mount = static_cast<MountSimulator&>(*rig.port);
        // Stop in the middle of the third leap's wait.
        size_t mark = 0;
        double thirdAt = -1;
        rig.onSleep = [&] {
            if (mark != 0) return;
            const auto commands = mount.Commands();
            const long gotos = std::count_if(commands.begin(), commands.end(), c.isGoto);
            if (gotos >= 3 && thirdAt < 0) thirdAt = rig.clock.MonotonicSeconds();
            if (thirdAt >= 0 && rig.clock.MonotonicSeconds() > thirdAt + 1.5) {
                rig.driver->RequestStop();
                mark = commands.size();
            }
        };
        rig.Run(300.0);
        ASSERT_GT(mark, 0u) << ScopeTypeCode(c.type);
        const auto commands = mount.Commands();
        EXPECT_EQ(std::vector<std::string>(commands.begin() + static_cast<long>(mark), commands.end()),
                  c.stop)
            << ScopeTypeCode(c.type);
        EXPECT_TRUE(rig.display.messages.empty()) << ScopeTypeCode(c.type);
        EXPECT_FALSE(rig.driver->TrackingOn());
    }
}

TEST(LeapFrogEngines, ASilentAutoStarIsALostLineWhileTheEarlyNexStarsAreFollowedOn) {
    // The AutoStar answers every set and slew; the Ultima and NexStar 5/8 promise no answer to
    // their cancel and goto, so their silence alone does not end tracking.
    const std::pair<ScopeType, PortFactory> cases[] = {
        {ScopeType::ETX494, AutoStar(MountModel::AutoStar494)},
        {ScopeType::ULTIMA, Early(EarlyNexStarModel::Ultima2000)},
        {ScopeType::NEXSTAR, Early(EarlyNexStarModel::NexStar58)}};
    for (const auto& [type, port] : cases) {
        Rig rig(IssPass().culminationUtc, type, port);
        MountSimulator& mount = static_cast<MountSimulator&>(*rig.port);
        double silentSince = 0;
        rig.onSleep = [&] {
            if (silentSince == 0 && rig.clock.MonotonicSeconds() > 40.0) {
                mount.InjectFault(MountFault::Silence);
                silentSince = rig.clock.MonotonicSeconds();
            }
        };
        rig.Run(120.0);
        if (type == ScopeType::ETX494) {
            ASSERT_EQ(rig.display.messages.size(), 1u);
            EXPECT_EQ(rig.display.messages[0].text, "Lost communication with the telescope.");
            EXPECT_LT(rig.clock.MonotonicSeconds() - silentSince, 12.0);
        } else {
            EXPECT_TRUE(rig.display.messages.empty()) << ScopeTypeCode(type);
            EXPECT_GT(rig.clock.MonotonicSeconds(), 120.0) << ScopeTypeCode(type);
        }
    }
}

TEST(LeapFrogEngines, TheNexStar58HearsAStopRightAfterAGoto) {
    // The controller loses bytes while it answers the command before; the stop waits its turn.
    for (const bool predictive : {false, true}) {
        Rig rig(IssPass().culminationUtc - 120.0 / 86400.0, ScopeType::NEXSTAR,
                Early(EarlyNexStarModel::NexStar58));
        rig.Method(predictive);
        MountSimulator& mount = static_cast<MountSimulator&>(*rig.port);
        rig.onSleep = [&] {
            const auto commands = mount.Commands();
            if (std::count_if(commands.begin(), commands.end(),
                              [](const std::string& c) { return c[0] == 'R'; }) >= 2)
                rig.driver->RequestStop();
        };
        rig.Run();
        const auto commands = mount.Commands();
        ASSERT_GE(commands.size(), 2u);
        EXPECT_EQ(commands[commands.size() - 2][0], 'R');
        EXPECT_EQ(commands.back(), "?");
        rig.clock.Sleep(3000);
        EXPECT_FALSE(mount.State().slewing);
    }
}
