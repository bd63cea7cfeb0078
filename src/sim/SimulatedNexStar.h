#pragma once
// A simulated Celestron NexStar-family mount behind the SerialPort interface, speaking the
// published hand-controller protocol: the NexStar GPS (a fork, Alt-Az or on a wedge) and the
// CGE (a German equatorial mount with a pier side).
//
// It plays the outside world, so it keeps its own sky arithmetic. Each motor accelerates at a
// limited rate towards what it was told: a goto at the top goto speed, a pass-through variable
// rate (quarter arcseconds per second, at most 43200 = 3 degrees per second), or the sky's
// motion when tracking is on and no variable rate is set. Commands act after a short command
// latency; replies start after the hand controller's reply delay and trickle out at 9600 baud.
//
// On the CGE the declination axis is mechanical: a goto to a target west of the meridian puts
// the tube on the other side of the pier, where a positive declination motor rate lowers the
// declination. Rate tracking across the meridian keeps the side it has.
//
// Time: the mount's sky uses clock.LocalJulianDate() minus the site's UTC offset plus its own
// clock offset. Every public function is thread-safe.
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

enum class NexStarModel { NexStarGps, Cge };
enum class NexStarMounting { AltAz, EqNorth, EqSouth };

// "nexstargps", "cge".
std::optional<NexStarModel> NexStarModelFromName(std::string_view name);
// "altaz", "eqn", "eqs".
std::optional<NexStarMounting> NexStarMountingFromName(std::string_view name);

struct NexStarParameters {
    NexStarMounting mounting = NexStarMounting::AltAz;  // the CGE is always a German equatorial
    double maxGotoRate = 4.0;                           // degrees per second, each axis
    double maxVariableRate = 3.0;                       // degrees per second (43200 rate units)
    double acceleration = 2.0;                          // degrees per second squared
    double commandLatency = 0.05;  // seconds from a command's last byte until the motors act on it
    double replyLatency = 0.06;    // seconds before the first byte of a reply
};
NexStarParameters DefaultNexStarParameters(NexStarModel model);

class SimulatedNexStar final : public MountSimulator {
public:
    SimulatedNexStar(NexStarModel model, const MountSite& site, Clock& clock);
    SimulatedNexStar(NexStarModel model, const MountSite& site, Clock& clock,
                     const NexStarParameters& parameters);

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
    // Printable bytes as they are, others as "<n>": "R4000,0000", "P<3><16><6><0><0><0><0>".
    std::vector<std::string> Commands() const override;

    // Puts the tube at once at an azimuth and altitude, motors at rest (tracking mode kept).
    void PointAt(double azimuth, double altitude) override;
    // True while the tube is on the west side of the pier (CGE after a goto west of the meridian).
    bool PierFlipped();
    // The motor rate last set by a pass-through command, degrees per second (axis 1 or 2).
    double VariableRate(int axis);
    int TrackingMode();
    NexStarModel Model() const { return model_; }
    const NexStarParameters& Parameters() const { return parameters_; }

private:
    struct PendingAction {
        double at;
        std::string command;
    };

    double UtcNow() const;
    double LocalSiderealDegrees(double utc) const;
    void Advance();
    void Step(double dt, double utc);
    // Mechanical axes <-> hour angle and declination or azimuth and altitude.
    void AxesFromSky(double raHours, double decDeg, double utc, bool flipped, double& a1, double& a2) const;
    void SkyFromAxes(double a1, double a2, double utc, double& raHours, double& decDeg) const;
    void AltAzOf(double raHours, double decDeg, double utc, double& az, double& alt) const;
    void RaDecOf(double az, double alt, double utc, double& raHours, double& decDeg) const;
    bool German() const { return model_ == NexStarModel::Cge; }
    bool AltAzMount() const { return !German() && parameters_.mounting == NexStarMounting::AltAz; }
    void Receive(char byte);
    size_t CommandLength(char first) const;
    void Execute(const std::string& command);
    void Act(const std::string& command);
    void Reply(std::string text);
    void StartGoto(double raHours, double decDeg, double utc);
    void StartGotoAltAz(double az, double alt, double utc);
    void CaptureHere(double utc);

    const NexStarModel model_;
    const NexStarParameters parameters_;
    Clock& clock_;
    mutable std::mutex mutex_;

    MountSite site_;
    bool open_ = false;
    MountFault fault_ = MountFault::None;
    double stallSeconds_ = 60.0;
    double simTime_;
    double clockOffsetDays_ = 0.0;

    // Axis 1: azimuth (Alt-Az) or the right ascension axis; axis 2: altitude or declination.
    double a1_ = 0.0, a2_ = 0.0;
    double v1_ = 0.0, v2_ = 0.0;
    double rate1_ = 0.0, rate2_ = 0.0;  // pass-through variable rates, degrees per second
    int trackingMode_ = 0;
    bool gotoActive_ = false;
    bool gotoAltAz_ = false;
    double gotoRa_ = 0.0, gotoDec_ = 0.0, gotoAz_ = 0.0, gotoAlt_ = 0.0;
    bool gotoFlipped_ = false;
    double holdRa_ = 0.0, holdDec_ = 0.0;  // what tracking follows

    std::string command_;
    double commandStartedAt_ = 0.0;
    std::deque<PendingAction> pending_;
    SimulatedReplyLine line_{2024};
    std::vector<std::string> commands_;
};

}  // namespace corvane
