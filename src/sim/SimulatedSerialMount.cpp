#include "sim/SimulatedSerialMount.h"

#include <algorithm>
#include <utility>

namespace corvane {

namespace {
constexpr double kStep = 0.01;  // seconds of axis motion per integration step
constexpr size_t kMaxCommandHistory = 200000;
}  // namespace

SimulatedSerialMount::SimulatedSerialMount(const MountSite& site, Clock& clock, const MountFigures& figures,
                                           uint32_t noiseSeed, std::string keep)
    : clock_(clock),
      realism_(figures.realism),
      sky_(site, clock),
      replyLatency_(figures.replyLatency),
      keep_(std::move(keep)),
      line_(noiseSeed),
      simTime_(clock.MonotonicSeconds()),
      jitter_(figures.realism.seed) {
    axis1_.SetBacklash(realism_.backlash);
    axis2_.SetBacklash(realism_.backlash);
}

MountState SimulatedSerialMount::HorizontalState(bool slewing) const {
    MountState s{};
    s.utcJulianDate = sky_.UtcNow();
    s.azimuth = Wrap360(axis1_.Pointing());
    s.altitude = axis2_.Pointing();
    sky_.RaDecOf(s.azimuth, s.altitude, s.utcJulianDate, s.raHours, s.decDegrees);
    s.slewing = slewing;
    return s;
}

// ---- SerialPort ----

bool SimulatedSerialMount::Open(const std::string&) {
    std::lock_guard<std::mutex> lock(mutex_);
    TakeScheduledFault();
    if (fault_ == MountFault::ClosedLine) return false;
    open_ = true;
    return true;
}

bool SimulatedSerialMount::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void SimulatedSerialMount::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
}

int SimulatedSerialMount::BytesWaiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    TakeScheduledFault();
    if (!open_ || fault_ == MountFault::ClosedLine) return -1;
    Advance();
    return line_.Ready(Now());
}

std::string SimulatedSerialMount::Read(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    TakeScheduledFault();
    if (!open_ || fault_ == MountFault::ClosedLine) return {};
    return line_.Take(count, Now());
}

bool SimulatedSerialMount::Write(std::string_view bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    TakeScheduledFault();
    if (!open_ || fault_ == MountFault::ClosedLine) return false;
    Advance();
    if (fault_ != MountFault::Silence) {
        for (char c : bytes) Receive(c);
        AfterWrite();
    }
    return true;
}

// ---- world side ----

MountState SimulatedSerialMount::State() {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    return CurrentState();
}

void SimulatedSerialMount::InjectFault(MountFault fault, double stallSeconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    scheduled_.reset();
    fault_ = fault;
    stallSeconds_ = stallSeconds;
}

void SimulatedSerialMount::InjectFaultAfter(MountFault fault, double afterSeconds, double stallSeconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    scheduled_.emplace(Now() + std::max(0.0, afterSeconds), fault);
    scheduledStall_ = stallSeconds;
    TakeScheduledFault();
}

MountFault SimulatedSerialMount::ActiveFault() {
    std::lock_guard<std::mutex> lock(mutex_);
    TakeScheduledFault();
    return fault_;
}

void SimulatedSerialMount::TakeScheduledFault() {
    if (!scheduled_ || Now() < scheduled_->first) return;
    fault_ = scheduled_->second;
    stallSeconds_ = scheduledStall_;
    scheduled_.reset();
}

void SimulatedSerialMount::SetClockOffsetDays(double days) {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    sky_.SetClockOffsetDays(days);
    OnClockSet();
}

void SimulatedSerialMount::PointAt(double azimuth, double altitude) {
    std::lock_guard<std::mutex> lock(mutex_);
    Advance();
    OnPointAt(azimuth, altitude);
}

std::vector<std::string> SimulatedSerialMount::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

// ---- for the models ----

void SimulatedSerialMount::Advance() {
    const double now = Now();
    if (now <= simTime_) return;
    const double gap = now - simTime_;
    // Very long gaps (a program left idle) are covered in at most 60000 coarser steps.
    const double step = gap > 600.0 ? gap / 60000.0 : kStep;
    const double utcNow = sky_.UtcNow();
    auto actOnQueued = [this](double upTo) {
        while (!pending_.empty() && pending_.front().first <= upTo) {
            const std::string command = std::move(pending_.front().second);
            pending_.pop_front();
            Act(command);
        }
    };
    while (simTime_ < now) {
        double h = std::min(step, now - simTime_);
        if (!pending_.empty()) h = std::clamp(pending_.front().first - simTime_, 0.0, h);
        if (h > 0) {
            simTime_ += h;
            Step(h, utcNow - (now - simTime_) / 86400.0);
        }
        actOnQueued(simTime_);
    }
    actOnQueued(now);
}

void SimulatedSerialMount::Reply(std::string text) {
    line_.Send(std::move(text), Now(), replyLatency_, fault_, stallSeconds_, keep_);
}

void SimulatedSerialMount::Later(std::string command, double latency) {
    double at = Now() + latency;
    if (realism_.latencyJitter > 0.0) {
        std::uniform_real_distribution<double> spread(-realism_.latencyJitter, realism_.latencyJitter);
        at = std::max(Now(), at + spread(jitter_));
    }
    // The controller works through its commands in the order they came.
    if (!pending_.empty()) at = std::max(at, pending_.back().first);
    pending_.emplace_back(at, std::move(command));
}

void SimulatedSerialMount::Record(std::string text) {
    if (commands_.size() < kMaxCommandHistory) commands_.push_back(std::move(text));
}

void SimulatedSerialMount::RecordBytes(std::string_view bytes, std::string_view prefix) {
    std::string readable(prefix);
    for (unsigned char c : bytes) {
        if (c >= 32 && c < 127)
            readable += static_cast<char>(c);
        else
            readable += "<" + std::to_string(c) + ">";
    }
    Record(std::move(readable));
}

}  // namespace corvane
