#pragma once
// What every simulated mount shares: the serial side (open, write, read; replies after the
// mount's latency at 9600 baud; the four line faults, now or after a delay), the command queue
// (motion commands act after the mount's command latency, with its jitter), the command history,
// the sky and the clock that moves the axes in small steps. A model adds its dialect (Receive,
// Act) and its mounting (Step, CurrentState, OnPointAt).
//
// Every public function is thread-safe; the hooks run under the mount's lock.
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/Clock.h"
#include "sim/MountSimulator.h"
#include "sim/SimulatedAxis.h"
#include "sim/SimulatedReplyLine.h"
#include "sim/SimulatedSky.h"

namespace corvane {

class SimulatedSerialMount : public MountSimulator {
public:
    // SerialPort: the program's side of the line.
    bool Open(const std::string& device) override;
    bool IsOpen() const override;
    int BytesWaiting() override;
    std::string Read(int count) override;
    bool Write(std::string_view bytes) override;
    void Close() override;

    // The world's side.
    MountState State() override;
    void InjectFault(MountFault fault, double stallSeconds = 60.0) override;
    // The fault starts `afterSeconds` from now on the monotonic clock.
    void InjectFaultAfter(MountFault fault, double afterSeconds, double stallSeconds = 60.0);
    // The fault playing now (a delayed one once its time has come).
    MountFault ActiveFault();
    void SetClockOffsetDays(double days) override;
    void PointAt(double azimuth, double altitude) override;
    std::vector<std::string> Commands() const override;

protected:
    // `keep`: reply bytes line noise never produces (the terminators).
    SimulatedSerialMount(const MountSite& site, Clock& clock, const MountFigures& figures, uint32_t noiseSeed,
                         std::string keep);

    // The model's dialect: one byte arrives (while the line works).
    virtual void Receive(char byte) = 0;
    // After a whole write has been received.
    virtual void AfterWrite() {}
    // A command queued with Later() takes effect.
    virtual void Act(const std::string& command) = 0;
    // Moves the axes for `dt` seconds ending at `utc`.
    virtual void Step(double dt, double utc) = 0;
    virtual MountState CurrentState() = 0;
    virtual void OnPointAt(double azimuth, double altitude) = 0;
    // The mount's clock was set: the tube keeps its place on the ground and tracks from there.
    virtual void OnClockSet() = 0;

    // Brings the axes and the queued commands up to the clock's now.
    void Advance();
    void Reply(std::string text);
    // Queues `command` to act after `latency` seconds (plus the jitter), in arrival order.
    void Later(std::string command, double latency);
    const std::deque<std::pair<double, std::string>>& Queued() const { return pending_; }
    // Keeps a command in the history as it is (":GZ#"), or with unprintable bytes as "<n>".
    void Record(std::string text);
    void RecordBytes(std::string_view bytes, std::string_view prefix = {});
    double Now() const { return clock_.MonotonicSeconds(); }
    // The monotonic time a Step() ends at.
    double StepTime() const { return simTime_; }
    MountFault Fault() const { return fault_; }
    // The state of a mount whose axes are azimuth and altitude, from where the tube truly points.
    MountState HorizontalState(bool slewing) const;

    Clock& clock_;
    const MountRealism realism_;
    SimulatedSky sky_;
    SimulatedAxis axis1_, axis2_;
    mutable std::mutex mutex_;

private:
    void TakeScheduledFault();

    bool open_ = false;
    MountFault fault_ = MountFault::None;
    double stallSeconds_ = 60.0;
    std::optional<std::pair<double, MountFault>> scheduled_;  // a fault and when it starts
    double scheduledStall_ = 60.0;
    const double replyLatency_;
    const std::string keep_;
    SimulatedReplyLine line_;
    double simTime_;  // monotonic seconds up to which the axes have moved
    std::deque<std::pair<double, std::string>> pending_;
    std::mt19937 jitter_;
    std::vector<std::string> commands_;
};

}  // namespace corvane
