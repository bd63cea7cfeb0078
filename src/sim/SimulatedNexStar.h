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
// On the CGE the declination axis is mechanical: a goto to a target west of the mount's pier
// limit (an hour angle, the meridian unless set) puts the tube on the other side of the pier,
// where a positive declination motor rate lowers the declination. Tracking keeps the side it
// has, past the meridian up to the limit, where the right ascension axis stops.
//
// The "T" tracking modes act as the controller takes them: Alt-Az follows the sky on a fork and
// drives azimuth and altitude rates on the axes of any other mounting; EQ North and EQ South
// turn axis 1 at the sidereal rate one way or the other and hold axis 2. Only the mode that
// matches the mounting tracks; the others drift.
//
// Time: the mount's sky uses clock.LocalJulianDate() minus the site's UTC offset plus its own
// clock offset. Every public function is thread-safe.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Clock.h"
#include "sim/SimulatedAxis.h"
#include "sim/SimulatedSerialMount.h"

namespace corvane {

enum class NexStarModel { NexStarGps, Cge };
enum class NexStarMounting { AltAz, EqNorth, EqSouth };

// "nexstargps", "cge".
std::optional<NexStarModel> NexStarModelFromName(std::string_view name);
// "altaz", "eqn", "eqs".
std::optional<NexStarMounting> NexStarMountingFromName(std::string_view name);

struct NexStarParameters : MountFigures {
    NexStarMounting mounting = NexStarMounting::AltAz;  // the CGE is always a German equatorial
    double maxVariableRate = 3.0;                       // degrees per second (43200 rate units)
    // CGE: the hour angle (degrees, positive west) at which a goto chooses the west side of the
    // pier; a tube east of the pier tracks on past the meridian up to it, where the right
    // ascension axis stops.
    double pierLimit = 0.0;
};
NexStarParameters DefaultNexStarParameters(NexStarModel model);

class SimulatedNexStar final : public SimulatedSerialMount {
public:
    SimulatedNexStar(NexStarModel model, const MountSite& site, Clock& clock);
    SimulatedNexStar(NexStarModel model, const MountSite& site, Clock& clock,
                     const NexStarParameters& parameters);

    // True while the tube is on the west side of the pier (CGE after a goto west of the meridian).
    bool PierFlipped();
    // The motor rate last set by a pass-through command, degrees per second (axis 1 or 2).
    double VariableRate(int axis);
    int TrackingMode();
    NexStarModel Model() const { return model_; }
    const NexStarParameters& Parameters() const { return parameters_; }

private:
    // SimulatedSerialMount. The history keeps printable bytes as they are, others as "<n>":
    // "R4000,0000", "P<3><16><6><0><0><0><0>".
    void Receive(char byte) override;
    void Act(const std::string& command) override;
    void Step(double dt, double utc) override;
    MountState CurrentState() override;
    // Puts the tube at once at an azimuth and altitude, motors at rest (tracking mode kept).
    void OnPointAt(double azimuth, double altitude) override;
    void OnClockSet() override { CaptureHere(sky_.UtcNow()); }

    // Mechanical axes <-> hour angle and declination or azimuth and altitude.
    void AxesFromSky(double raHours, double decDeg, double utc, bool flipped, double& a1, double& a2) const;
    void SkyFromAxes(double a1, double a2, double utc, double& raHours, double& decDeg) const;
    bool German() const { return model_ == NexStarModel::Cge; }
    bool AltAzMount() const { return !German() && parameters_.mounting == NexStarMounting::AltAz; }
    bool SouthernWedge() const { return !German() && parameters_.mounting == NexStarMounting::EqSouth; }
    bool Flipped() const { return German() && axis2_.Position() > 90.0; }
    // The side a goto to this hour angle takes.
    bool FlipsFor(double hourAngle) const { return German() && hourAngle >= parameters_.pierLimit; }
    // Tracking with no pass-through rate set, by the tracking mode the controller was given.
    void Track(double dt, double utc);
    size_t CommandLength(char first) const;
    void Execute(const std::string& command);
    void StartGoto(double raHours, double decDeg, double utc);
    void StartGotoAltAz(double az, double alt, double utc);
    void GotoAxes(double utc, double& t1, double& t2) const;
    void CaptureHere(double utc);

    const NexStarModel model_;
    const NexStarParameters parameters_;

    // axis1_: azimuth (Alt-Az) or the right ascension axis; axis2_: altitude or declination.
    double rate1_ = 0.0, rate2_ = 0.0;  // pass-through variable rates, degrees per second
    int trackingMode_ = 0;
    bool gotoActive_ = false;
    bool gotoAltAz_ = false;
    double gotoRa_ = 0.0, gotoDec_ = 0.0, gotoAz_ = 0.0, gotoAlt_ = 0.0;
    bool gotoFlipped_ = false;
    double holdRa_ = 0.0, holdDec_ = 0.0;  // what tracking follows

    std::string command_;
    double commandStartedAt_ = 0.0;
};

}  // namespace corvane
