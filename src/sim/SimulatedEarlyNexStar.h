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
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Clock.h"
#include "sim/SimulatedAxis.h"
#include "sim/SimulatedSerialMount.h"

namespace corvane {

enum class EarlyNexStarModel { Ultima2000, NexStar58 };

// "ultima", "nexstar58".
std::optional<EarlyNexStarModel> EarlyNexStarModelFromName(std::string_view name);

struct EarlyNexStarParameters : MountFigures {
    double busySeconds = 0.15;  // NexStar 5/8: deaf this long after each command
};
EarlyNexStarParameters DefaultEarlyNexStarParameters(EarlyNexStarModel model);

class SimulatedEarlyNexStar final : public SimulatedSerialMount {
public:
    SimulatedEarlyNexStar(EarlyNexStarModel model, const MountSite& site, Clock& clock);
    SimulatedEarlyNexStar(EarlyNexStarModel model, const MountSite& site, Clock& clock,
                          const EarlyNexStarParameters& parameters);

    EarlyNexStarModel Model() const { return model_; }
    const EarlyNexStarParameters& Parameters() const { return parameters_; }

private:
    // SimulatedSerialMount. The history keeps printable bytes as they are, others as "<n>":
    // "R4000,0000", "R<64><0><0><0>"; bytes the NexStar 5/8 lost while busy as "(lost) " + them.
    void Receive(char byte) override;
    void AfterWrite() override;
    void Act(const std::string& command) override;
    void Step(double dt, double utc) override;
    MountState CurrentState() override { return HorizontalState(gotoActive_); }
    void OnPointAt(double azimuth, double altitude) override;
    void OnClockSet() override;

    void Execute(const std::string& command);

    const EarlyNexStarModel model_;
    const EarlyNexStarParameters parameters_;

    // axis1_ azimuth, axis2_ altitude: the fork's axes, degrees.
    bool gotoActive_ = false;
    double targetRa_ = 0.0, targetDec_ = 0.0;  // the goto target, then what tracking follows

    std::string command_;
    double commandStartedAt_ = 0.0;
    double busyUntil_ = -1.0;
    std::string lost_;
};

}  // namespace corvane
