#pragma once
// The telescope session: the one owner of the mount. It holds the serial port it is given, the
// serial link, the tracking driver and the audit log, and carries out every exchange with the
// mount (connect and identify, disconnect, start, the engines, stop sequences) on its own thread,
// one command at a time from a small queue. The window and corvane-cli post commands and see the
// results through the TrackingDisplay; they never touch the port and never wait on it.
//
// Stop always wins: StopTracking (and Disconnect, Shutdown, CancelConnect) raise the driver's
// stop signal before they return, which ends every wait of the engine or of an identification
// within one short step and refuses every command but the stop sequence, so no goto can follow
// a Stop. The stop sequence then goes out on the session thread.
//
// Threads: the command functions and the getters may be called from any thread and return at
// once. Link() and Driver() are for the session thread, or for tests that run the session on
// their own thread with RunPending() instead of Start().
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "orbit/ElementCatalogue.h"
#include "scope/AuditLogFile.h"
#include "scope/IndiMount.h"
#include "scope/ScopeType.h"
#include "scope/SerialLink.h"
#include "scope/SerialPort.h"
#include "scope/TrackingDisplay.h"
#include "scope/TrackingDriver.h"

namespace corvane {

class ScopeSession {
public:
    ScopeSession(SerialPort& port, Clock& clock, LiveState& live, const CatalogueStore& catalogues,
                 TrackingDisplay& display);
    ~ScopeSession();
    ScopeSession(const ScopeSession&) = delete;
    ScopeSession& operator=(const ScopeSession&) = delete;

    // Starts the session thread (once).
    void Start();
    // Stops tracking when it is on, disconnects, finishes the queue's stop work and joins the
    // thread; commands still queued are dropped. Takes well under two seconds even with a mount
    // that no longer answers. Safe to call twice.
    void Shutdown();

    // ---- commands (any thread) ----
    // The Connect button: opens port `portNumber` (1..16, anything else port 1) and identifies.
    void Connect(int portNumber);
    // Ends a connection attempt that is still identifying the mount (no error message).
    void CancelConnect();
    // The Disconnect button: stops (the interface's stop sequence), waits 500 ms, closes.
    void Disconnect();
    // The Start/Stop Tracking button: a Stop when tracking is on (or a start is still pending),
    // otherwise a Start, which connects first when needed.
    void StartStopTracking();
    // Stop: taken at once (see above); the stop sequence follows on the session thread.
    void StopTracking();
    // Applied in order with the other commands (never while an engine runs: change it after
    // a stop).
    void SetScopeType(ScopeType type);
    void SetDeviceResolver(std::function<std::string(int)> resolver);
    // The INDI interface's server and device, used by its next connection.
    void SetIndiServer(const IndiServer& server);
    // Replaces the INDI client (a libindi client unless replaced); call before Start().
    void SetIndiMount(std::unique_ptr<IndiMount> mount);
    // Read by the engines every cycle; thread-safe.
    void SetSettings(const TrackingSettings& settings) { driver_.SetSettings(settings); }
    TrackingSettings Settings() const { return driver_.Settings(); }
    // Runs `job` on the session thread in turn with the other commands (panel commands, the
    // mount clock). It may use the link; it must wait only through link.Wait. A stop that is
    // still due when the job's turn comes is carried out first.
    void Post(std::function<void(SerialLink&)> job);

    // The audit log "output.txt" of routine events and traffic.
    bool OpenAuditLog(const std::string& path) { return audit_.Open(path); }
    void CloseAuditLog() { audit_.Close(); }
    // Told once (on the thread that wrote) when the audit log could no longer be written.
    void SetAuditFailureHandler(std::function<void(const std::string&)> handler) {
        audit_.SetFailureHandler(std::move(handler));
    }

    // ---- state (any thread) ----
    bool TrackingOn() const { return driver_.TrackingOn(); }
    bool TrackingActive() const { return driver_.TrackingActive(); }
    int ConnectedPort() const { return link_.ConnectedPort(); }
    ScopeType GetScopeType() const { return link_.GetScopeType(); }
    // True while nothing is queued or running, tracking is off and no stop is due.
    bool Idle() const;
    // Waits (real time) until Idle(); false after `seconds`.
    bool WaitIdle(double seconds) const;

    // Without Start(): runs the queued commands, the due stops and tracking on the caller's
    // thread until Idle() (tests in virtual time).
    void RunPending();

    SerialLink& Link() { return link_; }
    TrackingDriver& Driver() { return driver_; }

private:
    using Job = std::function<void()>;
    void Enqueue(Job job);
    void Wake();
    // Idle() with mutex_ held.
    bool IdleLocked() const;
    void ThreadMain();
    // One step of the session's work; false when there is nothing to do.
    bool Step();

    std::unique_ptr<IndiMount> indi_;
    AuditLogFile audit_;
    SerialLink link_;
    TrackingDriver driver_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Job> queue_;
    bool running_ = false;  // a job or an engine is being carried out
    bool quit_ = false;
    std::atomic<bool> startPending_{false};
    std::thread thread_;
    bool shutDown_ = false;
};

}  // namespace corvane
