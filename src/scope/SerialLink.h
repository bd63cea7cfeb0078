#pragma once
// The serial link to the one telescope: connect and identify, send commands, the three ways a
// reply is collected, disconnect, and the audit log of the traffic.
//
// One instance for the whole program, owned by the telescope session: only the session's thread
// sends and reads (ConnectedPort, LongFormat and LastCommand may be read from any thread). All
// waiting goes through the Clock, and through the session's StopSignal when one is attached, so
// that a stop ends every wait at once and no command but the stop sequence goes out after it.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "core/Clock.h"
#include "scope/AuditLogFile.h"
#include "scope/IndiMount.h"
#include "scope/ScopeType.h"
#include "scope/SerialPort.h"
#include "scope/StopSignal.h"
#include "scope/TrackingDisplay.h"

namespace corvane {

class SerialLink {
public:
    // `audit` may be null (audit off). The link does not own its collaborators.
    SerialLink(SerialPort& port, Clock& clock, TrackingDisplay& display, AuditLogFile* audit = nullptr);

    void SetScopeType(ScopeType type) { scopeType_.store(type); }
    ScopeType GetScopeType() const { return scopeType_.load(); }
    // Port number to device path; SerialDeviceForPort unless replaced (tests, the CLI).
    void SetDeviceResolver(std::function<std::string(int)> resolver);
    // Run by Disconnect before it closes the port: the tracking driver's StopTracking.
    void SetStopTrackingHook(std::function<void()> hook);
    // The session's stop request: while it is raised, waits end at once and SendCommand refuses.
    // May be null (no gate). Set before use, not while the link is busy.
    void SetStopSignal(StopSignal* signal) { stop_ = signal; }

    // The INDI interface's mount and server: for it Connect and Disconnect reach the server
    // instead of the serial port. Set the mount before use; the server may change between
    // connections.
    void SetIndiMount(IndiMount* mount) { indi_ = mount; }
    IndiMount* Indi() const { return indi_; }
    void SetIndiServer(const IndiServer& server);
    IndiServer GetIndiServer() const;

    // Opens port `portNumber` (outside 1..16: port 1), applies the line settings and identifies
    // the mount. Shows the messages of each failure. True when connected. A stop raised while it
    // identifies cancels the connection without a message.
    bool Connect(int portNumber);
    // Identification after opening, by scope type; decides LongFormat for the LX200 family.
    // Shows "Cannot Communicate with Telescope!" on failure. Called by Connect.
    bool Identify();
    // Stops tracking, waits 500 ms, closes the port.
    void Disconnect();

    // 0 = not connected, else the open port number. The Log File interface sets 1 without
    // opening anything.
    int ConnectedPort() const { return connectedPort_.load(); }
    void SetConnectedPort(int port) { connectedPort_.store(port); }
    bool LongFormat() const { return longFormat_.load(); }
    void SetLongFormat(bool longFormat) { longFormat_.store(longFormat); }
    std::string LastCommand() const;

    // Writes the command as raw bytes (ULTIMA: followed by CR LF) and audit-logs it as decimal
    // byte values. Nothing is written while no port is open. Refused (false, nothing written)
    // once the stop signal is raised; a failed write marks the line failed and returns false.
    bool SendCommand(std::string_view command);
    // The same for the commands of a stop sequence: they go out whether or not a stop is raised.
    bool SendStopCommand(std::string_view command);
    // Waits on the clock; false when a stop ended the wait early.
    bool Wait(int milliseconds);
    bool StopRaised() const { return stop_ != nullptr && stop_->Raised(); }

    // True once a write failed or the port reported the line closed since the last Connect.
    bool LineFailed() const { return lineFailed_.load(); }
    // The clock's monotonic seconds when the last command was written (-1: none yet).
    double LastWriteSeconds() const { return lastWriteAt_.load(); }
    // The plain read: what is waiting, with two short pauses (more for the slow AutoStar #494)
    // while the text does not end in "#". Returns what it has, possibly "".
    std::string ReadAvailable();
    // Only the bytes waiting now, without pauses and without an audit line.
    std::string ReadWaiting();
    // The polling read of LX200 query replies: until "#", "1", "0" or "elow"; "" after 30 tries.
    std::string ReadReply();
    // The long polling read: until the text holds "#"; "" after 400 tries.
    std::string ReadUntilTerminator();

    // One time-stamped line in the audit log when auditing is on.
    void AuditLog(std::string_view text);

    Clock& GetClock() { return clock_; }
    TrackingDisplay& Display() { return display_; }

private:
    std::string PollRead(int maxTries, bool untilHashOnly);
    bool Write(std::string_view command);
    int Waiting();
    bool IdentifyLx200Family();
    bool IdentifyCompatible();
    bool ProbeNexStarPosition();
    bool PortOpen();
    bool ConnectIndi();

    SerialPort& port_;
    Clock& clock_;
    TrackingDisplay& display_;
    AuditLogFile* audit_;
    StopSignal* stop_ = nullptr;
    std::atomic<bool> lineFailed_{false};
    std::atomic<double> lastWriteAt_{-1.0};
    std::atomic<ScopeType> scopeType_{ScopeType::LX200};
    std::atomic<int> connectedPort_{0};
    std::atomic<bool> longFormat_{false};
    mutable std::mutex stateMutex_;
    std::string lastCommand_;
    std::function<std::string(int)> resolver_;
    std::function<void()> stopTrackingHook_;
    IndiMount* indi_ = nullptr;
    IndiServer indiServer_;
};

// The command as the audit log shows it: each byte's decimal value in square brackets.
std::string BracketedBytes(std::string_view bytes);

}  // namespace corvane
