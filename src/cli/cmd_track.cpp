// corvane-cli track: follow one object with a telescope (or the Log File interface) without a
// window, for a given time.
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "core/ScopeInterface.h"
#include "core/Settings.h"
#include "core/Text.h"
#include "orbit/ElementCatalogue.h"
#include "scope/PosixSerialPort.h"
#include "scope/ScopeSession.h"
#include "scope/ScopeType.h"
#include "scope/ToolOptions.h"

namespace corvane::cli {

namespace {

volatile std::sig_atomic_t gInterruptSignal = 0;

extern "C" void OnInterrupt(int signal) {
    if (gInterruptSignal != 0) _exit(128 + signal);  // the second one ends the program at once
    gInterruptSignal = signal;
}

// SIGINT, SIGTERM and SIGHUP, caught while the telescope moves.
class InterruptGuard {
public:
    InterruptGuard() {
        gInterruptSignal = 0;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &old_[i]);
    }
    ~InterruptGuard() {
        for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &old_[i], nullptr);
    }
    bool Raised() const { return gInterruptSignal != 0; }
    int Signal() const { return gInterruptSignal; }

private:
    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction old_[3];
};

// Prints what a window would show: status lines as they change on standard output, messages
// on standard error.
class PrintingDisplay final : public TrackingDisplay {
public:
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon) override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string oneLine;
        for (char c : text) oneLine += (c == '\r' || c == '\n') ? ' ' : c;
        std::cerr << Latin1ToUtf8Printable(title) << ": " << Latin1ToUtf8Printable(oneLine) << std::endl;
        ++messages;
    }
    void SetStatusLines(const std::string& ra, const std::string& dec) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string line = ra + " | " + dec;
        if (line == last_) return;
        last_ = line;
        std::cout << Latin1ToUtf8Printable(line) << std::endl;
    }
    void SetProgress(int, int) override {}
    void SetStartButtonTracking(bool) override {}
    void SetConnectEnabled(bool) override {}
    void SetConnected(bool) override {}
    void SetBusy(bool) override {}
    void RefreshViewPlan() override {}

    int messages = 0;

private:
    std::mutex mutex_;
    std::string last_;
};

struct TrackOptions {
    std::string interface, device, tle, site = "0,0,0", start;
    long norad = 0;
    double timingOffset = 0.0, alignment = 0.0, duration = 600.0;
    int method = 0;
    bool audit = false;
    std::vector<std::string> settings;  // KEY=VALUE of the settings file
    std::string logFolder = ".";
    std::string indi, indiDevice;  // the INDI interface's HOST:PORT and device
};

// The settings file's values with the --setting lines applied; a key the file does not have is a
// usage error.
Settings SettingsFromOptions(const std::vector<std::string>& lines) {
    std::set<std::string> keys;
    const std::string all = FormatSettings(Settings{});
    for (size_t start = 0; start < all.size();) {
        const size_t end = all.find('\n', start);
        const std::string line =
            all.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (const size_t eq = line.find('='); eq != std::string::npos)
            keys.insert(ToUpper(Trim(line.substr(0, eq))));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::string text;
    for (const std::string& line : lines) {
        const size_t eq = line.find('=');
        const std::string key = ToUpper(Trim(line.substr(0, eq)));
        if (eq == std::string::npos || key.empty())
            throw UsageError("--setting wants KEY=VALUE, such as NGPSMOUNT=2, got \"" + line + "\"");
        if (keys.count(key) == 0) throw UsageError("--setting: ConfigFile.ini has no key " + key);
        text += line + "\r\n";
    }
    return ParseSettings(text);
}

int RunTrack(const TrackOptions& o) {
    const auto code = CanonicalScopeCode(o.interface);
    if (!code)
        throw UsageError("--interface wants one of " + ScopeCodeList() + ", got \"" + o.interface + "\"");
    std::optional<double> startUtc;
    if (!o.start.empty() && !(startUtc = ParseUtcOption(o.start)))
        throw UsageError("--start wants an ISO 8601 UTC time such as 2017-04-28T03:15:00Z, got \"" + o.start +
                         "\"");
    if (o.method < 0 || o.method > 5) throw UsageError("--method wants 0 (Continuous) to 5 (Leap Frog)");
    if (!(o.duration > 0) || !std::isfinite(o.duration))
        throw UsageError("--duration wants a positive number");
    const Settings fileSettings = SettingsFromOptions(o.settings);
    std::string error;
    const auto site = ParseSiteOption(o.site, error);
    if (!site) throw UsageError(error);
    const LoadResult loaded = LoadElementFile(o.tle);
    if (!loaded.opened) throw DataError("cannot open " + o.tle);
    const int index = loaded.catalogue->FindCatalogueNumber(o.norad);
    if (index == 0) throw DataError("NORAD " + std::to_string(o.norad) + " is not in " + o.tle);
    const ScopeType type = ScopeTypeFromCode(*code);
    const auto indi = ParseIndiAddress(
        o.indi.empty() ? fileSettings.IndiHost + ":" + std::to_string(fileSettings.IndiPort) : o.indi,
        o.indiDevice.empty() ? fileSettings.IndiDevice : o.indiDevice);
    if (!indi) throw UsageError("--indi wants HOST:PORT, such as localhost:7624, got \"" + o.indi + "\"");

    SystemClock clock;
    if (startUtc) clock.SetCorrection(*startUtc + site->utcOffsetHours / 24.0 - clock.LocalJulianDate());
    CatalogueStore store;
    store.Set(loaded.catalogue);
    LiveState live;
    live.Update([&](LiveValues& v) {
        v.siteLatitude = PlainNumber(site->latitude);
        v.siteLongitude = PlainNumber(site->longitude);
        v.siteAltitude = PlainNumber(site->altitudeMetres);
        v.siteUtcOffset = PlainNumber(site->utcOffsetHours);
        v.selectedObject = index;
        v.timingOffsetText = PlainNumber(o.timingOffset);
        v.alignmentText = PlainNumber(o.alignment);
        v.trackingMethod = o.method;
        v.comPort = 1;
    });
    PosixSerialPort port;
    PrintingDisplay display;
    ScopeSession session(port, clock, live, store, display);
    if (o.audit && !session.OpenAuditLog("output.txt")) throw DataError("cannot create output.txt");
    session.SetScopeType(type);
    session.SetIndiServer(*indi);
    if (!o.device.empty()) session.SetDeviceResolver([device = o.device](int) { return device; });
    TrackingSettings settings = TrackingSettingsFrom(fileSettings);
    settings.elementFile = o.tle;
    settings.logFolder = o.logFolder;
    session.SetSettings(settings);

    // An interrupt is a Stop: the stop sequence goes out, the port closes, the program ends.
    // A second interrupt ends the program at once.
    InterruptGuard interrupts;
    session.Start();
    const double begin = clock.MonotonicSeconds();
    session.StartStopTracking();
    // Connecting and identifying may take a while; the start is done when tracking is on or
    // the session has nothing left to do (the connection failed).
    // The duration bounds this wait too: a mount that never answers must not keep the program.
    auto within = [&] { return clock.MonotonicSeconds() - begin < o.duration; };
    while (!session.TrackingOn() && !session.Idle() && !interrupts.Raised() && within()) clock.Sleep(20);
    bool interrupted = interrupts.Raised();
    if (!session.TrackingOn() && !interrupted) {
        if (!within() && !session.Idle()) std::cerr << "The mount did not answer in time." << std::endl;
        session.Shutdown();
        return kExitDataError;
    }
    while (session.TrackingOn() && !interrupts.Raised() && within()) clock.Sleep(20);
    interrupted = interrupts.Raised();
    const bool stoppedByEngine = !interrupted && !session.TrackingOn();
    if (interrupted) std::cerr << "Interrupted: stopping the telescope." << std::endl;
    if (session.TrackingOn() || interrupted) session.StopTracking();
    session.WaitIdle(3.0);
    session.Shutdown();
    std::cout << (stoppedByEngine ? "tracking stopped"
                  : interrupted   ? "tracking interrupted"
                                  : "tracking ended")
              << " after " << PlainNumber(clock.MonotonicSeconds() - begin, 1) << " s" << std::endl;
    if (interrupted) return 128 + interrupts.Signal();
    return stoppedByEngine ? kExitDataError : kExitOk;
}

const CommandRegistrar registrar(
    "track", "Follow an object with a telescope, or into a position log", [](CLI::App& sub) {
        auto o = std::make_shared<TrackOptions>();
        sub.add_option(
               "--interface", o->interface,
               "LX200, LX200GPS, ETX494, ETX497, AP, GEMINI, ULTIMA, NEXSTAR, NEXSTARGPS, CGE or LOGFILE")
            ->required();
        sub.add_option("--device", o->device, "serial device or pseudo-terminal (default: port 1's device)");
        sub.add_option("--tle", o->tle, "element file")->required();
        AddNoradOption(sub, "catalogue number of the object")->required()->each([o](const std::string& s) {
            o->norad = std::stol(s);
        });
        sub.add_option("--site", o->site, "LAT,LON,ALT_M[,UTC_OFFSET] (east longitude; default 0,0,0)");
        sub.add_option("--timing-offset", o->timingOffset, "Timing Offset, seconds");
        sub.add_option("--alignment", o->alignment, "Alignment Adjustment, steps");
        sub.add_option("--method", o->method, "Tracking Method slider: 0 Continuous .. 5 Leap Frog");
        sub.add_option("--start", o->start,
                       "run the program clock from this UTC (ISO 8601, such as 2017-04-28T03:15:00Z)");
        sub.add_option("--duration", o->duration, "seconds to track (default 600)");
        sub.add_option("--log-folder", o->logFolder, "folder of the Log File interface's position log");
        sub.add_option(
            "--setting", o->settings,
            "KEY=VALUE of ConfigFile.ini, repeatable (LGPSMOUNT, NGPSMOUNT, NGPSSETRATEDELAY, "
            "MINNXDELTARATE, TRACKINGLIMITENABLE, TRACKINGLIMIT, LIMITELEVATION, TRACKADJUST, ...)");
        sub.add_option("--indi", o->indi, "INDI interface: the server, HOST:PORT (default localhost:7624)");
        sub.add_option("--indi-device", o->indiDevice,
                       "INDI interface: the mount's device (default \"Telescope Simulator\")");
        sub.add_flag("--audit", o->audit, "write the traffic log output.txt in the working folder");
        return CommandRunner([o] { return RunTrack(*o); });
    });

}  // namespace
}  // namespace corvane::cli
