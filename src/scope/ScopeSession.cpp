#include "scope/ScopeSession.h"

#include <chrono>

namespace corvane {

ScopeSession::ScopeSession(SerialPort& port, Clock& clock, LiveState& live, const CatalogueStore& catalogues,
                           TrackingDisplay& display)
    : indi_(MakeLibIndiMount(clock)),
      audit_(clock),
      link_(port, clock, display, &audit_),
      driver_(link_, live, catalogues, clock, display) {
    link_.SetIndiMount(indi_.get());
}

ScopeSession::~ScopeSession() { Shutdown(); }

void ScopeSession::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (thread_.joinable() || shutDown_) return;
    thread_ = std::thread([this] { ThreadMain(); });
}

void ScopeSession::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (shutDown_) return;
        shutDown_ = true;
        queue_.clear();
    }
    startPending_.store(false);
    if (driver_.TrackingOn()) driver_.RequestStop();
    // Ends an identification or an engine wait at once; the disconnect below sends the stop
    // sequence that is due.
    driver_.Signal().Raise();
    Enqueue([this] {
        if (link_.ConnectedPort() != 0) link_.Disconnect();
        driver_.FinishStop();
    });
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    } else {
        RunPending();
    }
}

void ScopeSession::Enqueue(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(job));
    }
    changed_.notify_all();
}

void ScopeSession::Connect(int portNumber) {
    Enqueue([this, portNumber] { link_.Connect(portNumber); });
}

void ScopeSession::CancelConnect() {
    if (link_.ConnectedPort() != 0 && !driver_.TrackingOn()) {
        // Raising the signal ends the identification's waits; the job behind it lowers it again.
        driver_.Signal().Raise();
        Enqueue([this] {
            if (!driver_.StopDue()) driver_.Signal().Clear();
        });
    }
}

void ScopeSession::Disconnect() {
    startPending_.store(false);
    driver_.RequestStop();
    Enqueue([this] {
        if (link_.ConnectedPort() != 0) link_.Disconnect();
        driver_.FinishStop();
    });
}

void ScopeSession::StartStopTracking() {
    if (driver_.TrackingOn() || startPending_.load()) {
        StopTracking();
        return;
    }
    startPending_.store(true);
    Enqueue([this] {
        // A Stop since the click has cancelled this start.
        if (!startPending_.exchange(false)) return;
        driver_.StartStopTracking();
    });
}

void ScopeSession::StopTracking() {
    startPending_.store(false);
    driver_.RequestStop();
    Wake();
}

void ScopeSession::Wake() {
    // Under the lock, so that the thread cannot miss it between its test and its sleep.
    { std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_all();
}

void ScopeSession::SetScopeType(ScopeType type) {
    Enqueue([this, type] { link_.SetScopeType(type); });
}

void ScopeSession::SetDeviceResolver(std::function<std::string(int)> resolver) {
    Enqueue([this, resolver = std::move(resolver)]() mutable { link_.SetDeviceResolver(std::move(resolver)); });
}

void ScopeSession::SetIndiServer(const IndiServer& server) {
    Enqueue([this, server] { link_.SetIndiServer(server); });
}

void ScopeSession::SetIndiMount(std::unique_ptr<IndiMount> mount) {
    indi_ = std::move(mount);
    link_.SetIndiMount(indi_.get());
}

void ScopeSession::Post(std::function<void(SerialLink&)> job) {
    Enqueue([this, job = std::move(job)] {
        // A stop asked for before the job goes out first, so the job's commands are not refused.
        if (driver_.StopDue()) driver_.FinishStop();
        job(link_);
    });
}

bool ScopeSession::IdleLocked() const {
    return queue_.empty() && !running_ && !driver_.TrackingOn() && !driver_.StopDue() && !startPending_.load();
}

bool ScopeSession::Idle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return IdleLocked();
}

bool ScopeSession::WaitIdle(double seconds) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_until(lock, until, [this] { return IdleLocked(); });
}

bool ScopeSession::Step() {
    std::unique_lock<std::mutex> lock(mutex_);
    Job job;
    enum { kNothing, kJob, kStop, kTrack } what = kNothing;
    if (!queue_.empty()) {
        job = std::move(queue_.front());
        queue_.pop_front();
        what = kJob;
    } else if (driver_.StopDue()) {
        what = kStop;
    } else if (driver_.TrackingOn() && !driver_.Signal().Raised()) {
        what = kTrack;
    }
    if (what == kNothing) return false;
    running_ = true;
    lock.unlock();
    switch (what) {
        case kJob:
            job();
            break;
        case kStop:
            driver_.FinishStop();
            break;
        case kTrack:
            driver_.RunTracking();
            break;
        default:
            break;
    }
    lock.lock();
    running_ = false;
    lock.unlock();
    changed_.notify_all();
    return true;
}

void ScopeSession::RunPending() {
    while (Step()) {
    }
}

void ScopeSession::ThreadMain() {
    for (;;) {
        if (Step()) continue;
        std::unique_lock<std::mutex> lock(mutex_);
        if (quit_ && queue_.empty()) break;
        // Nothing to do: sleep until a command, a stop or a start arrives. The time-out only
        // guards against a missed wake-up.
        changed_.wait_for(lock, std::chrono::milliseconds(100), [this] {
            return quit_ || !queue_.empty() || driver_.StopDue() ||
                   (driver_.TrackingOn() && !driver_.Signal().Raised());
        });
    }
}

}  // namespace corvane
