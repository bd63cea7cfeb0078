// The INDI interface against real INDI servers (Debian's indi-bin): the telescope simulator,
// driven by closed-loop custom rates through a whole stretch of an ISS pass, its pointing judged
// from its own reported coordinates; and the generic LX200 driver in front of corvane-mountsim,
// which offers no custom rates and is driven by gotos. Real time: each run takes a minute or two.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "external/IndiSupport.h"
#include "integration/ChildProcess.h"
#include "scope/IndiTracking.h"
#include "scope/PosixSerialPort.h"
#include "scope/ScopeSession.h"
#include "scope/TrackingFixture.h"
#include "support/RecordingDisplay.h"

using namespace corvane;
using namespace corvane::test;

namespace {

std::filesystem::path Scratch(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() / (name + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

// indiserver with one driver on a free port, its local socket and the driver's configuration
// in `dir`, so that it meets no other server on this machine. With `startUtc` (a UTC Julian
// date) and faketime installed, the server and its driver run on a clock that starts at that
// instant: a driver that works out its sky (hour angle, side of the pier) from its own clock
// then sees the sky of the pass, whatever the time of day the test runs at.
std::vector<std::string> ServerCommand(const std::string& driver, const std::filesystem::path& dir, int port,
                                       double startUtc) {
    std::vector<std::string> args;
    if (startUtc > 0 && InPath("faketime")) {
        std::string at = IsoUtcText(startUtc).substr(0, 19);
        at[10] = ' ';
        args = {"faketime", "-f", "@" + at};
    }
    for (const std::string& a :
         {std::string("indiserver"), std::string("-u"), (dir / "indiserver.socket").string(),
          std::string("-p"), std::to_string(port), driver})
        args.push_back(a);
    return args;
}

struct IndiServerProcess {
    IndiServerProcess(const std::string& driver, const std::filesystem::path& dir, double startUtc = 0.0)
        : port(FreeLoopbackPort()),
          process(ServerCommand(driver, dir, port, startUtc), {"HOME=" + dir.string(), "TZ=UTC"}, true) {}
    int port;
    ChildProcess process;
};

void SleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// A session tracking the ISS through an INDI server from `startUtc`, on the real clock set to
// that instant.
struct IndiSession {
    IndiSession(double startUtc, int port, const std::string& device)
        : session(serial, clock, live, store, display) {
        clock.SetCorrection(startUtc + kTestSite.utcOffset / 24.0 - SystemClock().LocalJulianDate());
        store.Set(TestCatalogue());
        SetSite(live, TestCatalogue()->IssIndex());
        session.SetScopeType(ScopeType::INDI);
        session.SetIndiServer(IndiServer{"localhost", port, device});
        session.Start();
    }
    ~IndiSession() { session.Shutdown(); }
    bool StartTracking() {
        session.StartStopTracking();
        for (int i = 0; i < 600 && !session.TrackingOn(); ++i) SleepSeconds(0.05);
        return session.TrackingOn();
    }
    double Utc() const { return clock.JulianDateNow() - kTestSite.utcOffset / 24.0; }

    SystemClock clock;
    PosixSerialPort serial;
    RecordingDisplay display;
    CatalogueStore store;
    LiveState live;
    ScopeSession session;
};

std::string Messages(const RecordingDisplay& display) {
    std::string all;
    for (const auto& m : display.Messages()) all += m.title + ": " + m.text + "\n";
    return all;
}

}  // namespace

// CORVANE_INDI_PASS=whole tracks the whole pass (about ten minutes) instead of the two minutes
// up to and past its culmination, where the ISS moves fastest.
TEST(IndiTracking, TelescopeSimulatorFollowsTheIssByCustomRates) {
    if (!InPath("indiserver") || !InPath("indi_simulator_telescope") || !InPath("indi_getprop"))
        GTEST_SKIP() << "INDI is not installed (Debian package indi-bin); ./test installs it";
    const PassTimes pass = FindPass(TestCatalogue()->IssIndex(), 2457870.5, 35.0, 70.0);
    ASSERT_GT(pass.losUtc, 0);
    const char* whole = std::getenv("CORVANE_INDI_PASS");
    const bool wholePass = whole != nullptr && std::string(whole) == "whole";
    const double startUtc = wholePass ? pass.aosUtc + 20.0 / 86400.0 : pass.culminationUtc - 90.0 / 86400.0;
    const auto dir = Scratch("corvane-indi-sim-");
    IndiServerProcess server("indi_simulator_telescope", dir, startUtc);
    ASSERT_TRUE(server.process.Started());
    const Indi indi{std::to_string(server.port)};
    const std::string device = "Telescope Simulator";
    const auto present = indi.WaitFor(device + ".CONNECTION.*", 30.0, [&](const auto& v) {
        return v.count(device + ".CONNECTION.CONNECT") > 0;
    });
    ASSERT_EQ(present.count(device + ".CONNECTION.CONNECT"), 1u) << "the simulator did not come up";

    const double judgeFrom = 40.0;  // seconds: the first goto and the pull-in onto the object
    const double seconds = wholePass ? (pass.losUtc - startUtc) * 86400.0 - 20.0 : 120.0;

    IndiSession run(startUtc, server.port, device);
    ASSERT_TRUE(run.StartTracking()) << Messages(run.display);

    // A second client watches the simulator's own reports.
    const auto watcher = MakeLibIndiMount(run.clock);
    std::string error;
    ASSERT_TRUE(watcher->Connect(
        IndiServer{"localhost", server.port, device},
        [](int ms) {
            SleepSeconds(ms / 1000.0);
            return true;
        },
        error))
        << error;
    const double begin = run.clock.MonotonicSeconds();
    double lastReport = -1, sumSquares = 0, worst = 0;
    int samples = 0;
    while (run.clock.MonotonicSeconds() - begin < seconds && run.session.TrackingOn()) {
        SleepSeconds(0.05);
        const auto p = watcher->Position();
        if (!p || p->receivedAt == lastReport) continue;
        lastReport = p->receivedAt;
        if (p->receivedAt - begin < judgeFrom) continue;
        const double utc = run.Utc() - (run.clock.MonotonicSeconds() - p->receivedAt) / 86400.0;
        PropagationSlot slot(kSlotPassPrediction);
        const CycleTarget t =
            ComputeCycleTarget(*TestCatalogue(), TestCatalogue()->IssIndex(), utc, kTestSite, 0.0, slot);
        if (t.elevationDeg < 1.0) continue;
        const double e = IndiSeparation(p->raHours, p->decDegrees, t.raHours, t.decDegrees);
        sumSquares += e * e;
        worst = std::max(worst, e);
        ++samples;
    }
    EXPECT_TRUE(run.session.TrackingOn()) << Messages(run.display);
    run.session.StopTracking();
    EXPECT_TRUE(run.session.WaitIdle(10.0));
    const double rms = samples > 0 ? std::sqrt(sumSquares / samples) : 1e9;
    std::cout << "INDI telescope simulator, " << (wholePass ? "whole pass" : "culmination") << ": " << samples
              << " reports, RMS " << rms << " deg, max " << worst << " deg" << std::endl;
    RecordProperty("rms_degrees", std::to_string(rms));
    RecordProperty("max_degrees", std::to_string(worst));
    EXPECT_GT(samples, 100);
    EXPECT_LE(rms, 0.05);
    EXPECT_TRUE(run.display.Messages().empty()) << Messages(run.display);

    // Stop left the simulator with tracking off.
    const auto state = indi.WaitFor(device + ".TELESCOPE_TRACK_STATE.*", 10.0, [&](const auto& v) {
        const auto off = v.find(device + ".TELESCOPE_TRACK_STATE.TRACK_OFF");
        return off != v.end() && off->second == "On";
    });
    EXPECT_EQ(state.count(device + ".TELESCOPE_TRACK_STATE.TRACK_OFF")
                  ? state.at(device + ".TELESCOPE_TRACK_STATE.TRACK_OFF")
                  : "",
              "On");
    watcher->Disconnect();
    server.process.Stop();
    std::filesystem::remove_all(dir);
}

// The generic LX200 driver offers no custom rates: the engine follows by gotos, which reach
// corvane-mountsim as LX200 slews; Stop aborts them.
TEST(IndiTracking, GenericLx200DriverIsFollowedByGotos) {
    if (!InPath("indiserver") || !InPath("indi_lx200generic") || !InPath("indi_setprop"))
        GTEST_SKIP() << "INDI is not installed (Debian package indi-bin); ./test installs it";
    const auto dir = Scratch("corvane-indi-lx200-");
    const PassTimes pass = FindPass(TestCatalogue()->IssIndex(), 2457870.5, 35.0, 70.0);
    ASSERT_GT(pass.losUtc, 0);
    const double startUtc = pass.aosUtc + 120.0 / 86400.0;
    const CivilInstant civil = CivilFromJulianDateMs(startUtc);
    char iso[64];
    std::snprintf(iso, sizeof iso, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", civil.date.year,
                  civil.date.month, civil.date.day, civil.millisecondOfDay / 3600000,
                  civil.millisecondOfDay / 60000 % 60, civil.millisecondOfDay / 1000 % 60);
    const std::string commandLog = (dir / "commands.txt").string();
    const std::string pointingLog = (dir / "pointing.txt").string();
    ChildProcess sim({MountsimPath(), "--model", "lx200", "--site", "40,-75,100,-4", "--start", iso,
                      "--command-log", commandLog, "--pointing-log", pointingLog, "--max-runtime", "200",
                      "--exit-with-parent"});
    const std::string tty = StartMountsim(sim);
    ASSERT_FALSE(tty.empty());

    IndiServerProcess server("indi_lx200generic", dir);
    ASSERT_TRUE(server.process.Started());
    const Indi indi{std::to_string(server.port)};
    const std::string device = "Standard LX200";
    const auto present = indi.WaitFor(device + ".CONNECTION.*", 40.0, [&](const auto& v) {
        return v.count(device + ".CONNECTION.CONNECT") > 0;
    });
    ASSERT_EQ(present.count(device + ".CONNECTION.CONNECT"), 1u) << "the INDI driver did not come up";
    ASSERT_TRUE(indi.Set(device + ".DEVICE_AUTO_SEARCH.INDI_ENABLED=Off;INDI_DISABLED=On"));
    ASSERT_TRUE(indi.Set(device + ".DEVICE_PORT.PORT=" + tty));

    IndiSession run(startUtc, server.port, device);
    ASSERT_TRUE(run.StartTracking()) << Messages(run.display);
    const double begin = run.clock.MonotonicSeconds();
    std::vector<double> errors;
    const std::string coords = device + ".EQUATORIAL_EOD_COORD.";
    while (run.clock.MonotonicSeconds() - begin < 60.0 && run.session.TrackingOn()) {
        SleepSeconds(2.0);
        if (run.clock.MonotonicSeconds() - begin < 30.0) continue;
        const auto v = indi.Get(coords + "*");
        PropagationSlot slot(kSlotPassPrediction);
        const CycleTarget t = ComputeCycleTarget(*TestCatalogue(), TestCatalogue()->IssIndex(), run.Utc(),
                                                 kTestSite, 0.0, slot);
        if (std::isfinite(Number(v, coords + "RA")))
            errors.push_back(
                IndiSeparation(Number(v, coords + "RA"), Number(v, coords + "DEC"), t.raHours, t.decDegrees));
    }
    EXPECT_TRUE(run.session.TrackingOn()) << Messages(run.display);
    run.session.StopTracking();
    EXPECT_TRUE(run.session.WaitIdle(10.0));
    SleepSeconds(1.0);
    server.process.Stop();
    sim.Stop();

    ASSERT_GE(errors.size(), 5u);
    std::sort(errors.begin(), errors.end());
    const double median = errors[errors.size() / 2];
    std::cout << "INDI generic LX200 by gotos: median error " << median << " deg" << std::endl;
    EXPECT_LT(median, 2.0);
    std::ifstream in(commandLog);
    std::stringstream all;
    all << in.rdbuf();
    const std::string commands = all.str();
    const size_t slews = [&] {
        size_t n = 0;
        for (size_t at = commands.find(":MS#"); at != std::string::npos; at = commands.find(":MS#", at + 1))
            ++n;
        return n;
    }();
    EXPECT_GT(slews, 10u);
    EXPECT_NE(commands.find(":Q#", commands.rfind(":MS#")), std::string::npos)
        << "no abort after the last goto";
    std::filesystem::remove_all(dir);
}
