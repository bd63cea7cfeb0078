#pragma once
// A simulated early Celestron hand controller behind the SerialPort interface: the Ultima 2000
// and the NexStar 5/8, both on an Alt-Az fork, driven by gotos only (no variable rates).
//
// The Ultima 2000 reads its commands as lines: a command acts when its carriage return arrives
// (a line feed is ignored). "E" answers the RA and Dec in hexadecimal ("34AB,12CE#"),
// "R34AB,12CE" starts a goto, "L" answers "1#" while a goto runs and "0#" once it has ended,
// "M" cancels a goto, "U" is answered with "#". Other lines are ignored.
//
// The NexStar 5/8 reads fixed-length commands byte by byte and handles one command at a time:
// bytes that arrive while it is still answering the previous command are lost. "R" followed by
// four bytes (RA high, RA low, Dec high, Dec low, fractions of a turn in 65536ths) starts a
// goto, "?" cancels it, "E" and "L" answer as on the Ultima. Every accepted command but "E" and
// "L" is answered with "#".
//
// After a goto the fork tracks the sky at the target. Motors accelerate at a limited rate up to
// the model's goto speed; commands act after a short latency; replies leave after the hand
// controller's delay at 9600 baud. Time: clock.LocalJulianDate() minus the site's UTC offset
// plus the mount's own clock offset. Every public function is thread-safe.
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Clock.h"
#include "sim/MountSimulator.h"
#include "sim/SimulatedReplyLine.h"

namespace corvane {

enum class EarlyNexStarModel { Ultima2000, NexStar58 };

// "ultima", "nexstar58".
std::optional<EarlyNexStarModel> EarlyNexStarModelFromName(std::string_view name);

struct EarlyNexStarParameters {
    double maxGotoRate = 3.0;     // degrees per second, each axis
    double acceleration = 1.5;    // degrees per second squared
    double commandLatency = 0.1;  // seconds from a command's end until the motors act on it
    double replyLatency = 0.1;    // seconds before the first byte of a reply
    double busySeconds = 0.15;    // NexStar 5/8: deaf this long after each command
};
EarlyNexStarParameters DefaultEarlyNexStarParameters(EarlyNexStarModel model);

class SimulatedEarlyNexStar final : public MountSimulator {
public:
    SimulatedEarlyNexStar(EarlyNexStarModel model, const MountSite& site, Clock& clock);
    SimulatedEarlyNexStar(EarlyNexStarModel model, const MountSite& site, Clock& clock,
                          const EarlyNexStarParameters& parameters);

    // SerialPort.
    bool Open(const std::string& device) override;
    bool IsOpen() const override;
    int BytesWaiting() override;
    std::string Read(int count) override;
    bool Write(std::string_view bytes) override;
    void Close() override;

    // MountSimulator.
    MountState State() override;
    void InjectFault(MountFault fault, double stallSeconds = 60.0) override;
    void SetClockOffsetDays(double days) override;
    void PointAt(double azimuth, double altitude) override;
    // Printable bytes as they are, others as "<n>": "R4000,0000", "R<64><0><0><0>"; bytes the
    // NexStar 5/8 lost while busy as "(lost) " + them.
    std::vector<std::string> Commands() const override;

    EarlyNexStarModel Model() const { return model_; }
    const EarlyNexStarParameters& Parameters() const { return parameters_; }

private:
    struct PendingAction {
        double at;
        std::string command;
    };

    double UtcNow() const;
    double LocalSiderealDegrees(double utc) const;
    void AltAzOf(double raHours, double decDeg, double utc, double& az, double& alt) const;
    void RaDecOf(double az, double alt, double utc, double& raHours, double& decDeg) const;
    void Advance();
    void Step(double dt, double utc);
    void Receive(char byte);
    void Record(const std::string& command, const char* prefix = "");
    void Execute(const std::string& command);
    void Act(const std::string& command);
    void Reply(std::string text);

    const EarlyNexStarModel model_;
    const EarlyNexStarParameters parameters_;
    Clock& clock_;
    mutable std::mutex mutex_;

    MountSite site_;
    bool open_ = false;
    MountFault fault_ = MountFault::None;
    double stallSeconds_ = 60.0;
    double simTime_;
    double clockOffsetDays_ = 0.0;

    double az_ = 180.0, alt_ = 45.0;  // the fork's axes, degrees
    double vAz_ = 0.0, vAlt_ = 0.0;
    bool gotoActive_ = false;
    double targetRa_ = 0.0, targetDec_ = 0.0;  // the goto target, then what tracking follows

    std::string command_;
    double commandStartedAt_ = 0.0;
    double busyUntil_ = -1.0;
    std::string lost_;
    std::deque<PendingAction> pending_;
    SimulatedReplyLine line_{1997};
    std::vector<std::string> commands_;
};

}  // namespace corvane
