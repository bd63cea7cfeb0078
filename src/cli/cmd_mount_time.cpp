// corvane-cli mount-time: sets an LX200 mount's date and time from this computer's clock, or to
// a given instant, as the date/time dialog does.
#include <iostream>
#include <mutex>
#include <optional>
#include <string>

#include "cli/Command.h"
#include "core/Text.h"
#include "orbit/ElementCatalogue.h"
#include "scope/MountClock.h"
#include "scope/PosixSerialPort.h"
#include "scope/ScopeSession.h"
#include "scope/ToolOptions.h"

namespace corvane::cli {

namespace {

// Messages go to standard error as "title: text".
class MessageDisplay final : public NullTrackingDisplay {
public:
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon) override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string oneLine;
        for (char c : text) oneLine += (c == '\r' || c == '\n') ? ' ' : c;
        std::cerr << Latin1ToUtf8Printable(title) << ": " << Latin1ToUtf8Printable(oneLine) << std::endl;
    }

private:
    std::mutex mutex_;
};

// "#:SL 21:00:00#" -> "21:00:00".
std::string Argument(const std::string& command) {
    return command.size() > 6 ? command.substr(5, command.size() - 6) : command;
}

int RunMountTime(const std::string& device, const std::string& adjust) {
    std::optional<double> adjustUtc;
    if (!adjust.empty() && !(adjustUtc = ParseUtcOption(adjust)))
        throw UsageError("--adjust wants an ISO 8601 time such as 2017-04-28T03:15:00Z, got \"" + adjust +
                         "\"");
    SystemClock clock;
    // The program clock runs from the given instant: local time of this computer.
    if (adjustUtc) {
        const double local = *adjustUtc + LocalUtcOffsetHours() / 24.0;
        if (!MountCanHoldDate(local))
            throw UsageError(
                "--adjust wants a date from 2000 to 2099 (the LX200 keeps a two-digit year), got \"" +
                adjust + "\"");
        clock.SetCorrection(local - clock.LocalJulianDate());
    }

    PosixSerialPort port;
    MessageDisplay display;
    LiveState live;
    CatalogueStore store;
    ScopeSession session(port, clock, live, store, display);
    session.SetScopeType(ScopeType::LX200);
    session.SetDeviceResolver([device](int) { return device; });
    session.Start();
    session.Connect(1);
    std::optional<MountTimeResult> result;
    MountTimeCommands sent;
    std::mutex resultMutex;
    session.Post([&](SerialLink& link) {
        if (link.ConnectedPort() == 0) return;
        const MountTimeResult r = SetMountDateTime(link, true, &sent);
        std::lock_guard<std::mutex> lock(resultMutex);
        result = r;
    });
    // Identification and the 3 s acknowledgement take some seconds; a mount that never answers
    // gives up well within the minute.
    session.WaitIdle(60.0);
    session.Shutdown();
    std::lock_guard<std::mutex> lock(resultMutex);
    if (!result) return kExitDataError;  // the connection failed; its message is out
    if (*result != MountTimeResult::Set) return kExitDataError;
    std::cout << "mount date and time set to " << Argument(sent.date) << " " << Argument(sent.time)
              << std::endl;
    return kExitOk;
}

const CommandRegistrar registrar(
    "mount-time", "Set an LX200 mount's date and time from this computer's clock", [](CLI::App& sub) {
        auto device = std::make_shared<std::string>();
        auto adjust = std::make_shared<std::string>();
        sub.add_option("--device", *device, "serial device or pseudo-terminal of the mount")->required();
        sub.add_option("--adjust", *adjust,
                       "set this date and time instead (ISO 8601, such as 2017-04-28T21:30:00Z; without an "
                       "offset it is UTC)");
        return CommandRunner([device, adjust] { return RunMountTime(*device, *adjust); });
    });

}  // namespace
}  // namespace corvane::cli
