#pragma once
// A simulated LX200-family mount behind the SerialPort interface: the program writes commands
// into it and reads its replies, in-process on a ManualClock for fast tests or behind a
// pseudo-terminal in corvane-mountsim.
//
// It plays the outside world, so it keeps its own sky arithmetic (sidereal time, alt-az and
// RA/Dec) instead of borrowing the program's. Its two axes move towards the target at the
// model's slew rate with acceleration and a short start lag; after a goto it tracks the target
// at the sidereal rate (or holds still in land alignment). Replies trickle out at 9600 baud after
// the model's latency. Targets outside the altitude limits are refused with the mount's own
// reply, and faults (silence, garbage, a stalled reply, a closed line) can be injected.
//
// Time: the mount's sky uses clock.LocalJulianDate() minus the site's UTC offset, shifted by
// whatever date and time the program sets with :SC/:SL. Every public function is thread-safe.
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Clock.h"
#include "sim/SimulatedAxis.h"
#include "sim/SimulatedSerialMount.h"

namespace corvane {

enum class MountModel { LX200, LX200GPS, AutoStar494, AutoStar497, LX200Compatible, Gemini };

// "lx200", "lx200gps", "autostar494", "autostar497", "lx200compatible", "gemini".
std::optional<MountModel> MountModelFromName(std::string_view name);
const char* MountModelName(MountModel model);

// commandLatency applies to moves, stops and rate commands.
struct MountParameters : MountFigures {
    double slewStartLag = 0.3;      // seconds from an accepted :MS# to the first motion
    bool startsLongFormat = false;  // precision at power-on
    double minAltitude = 0.0;       // goto targets below are refused ("Below Horizon")
    double maxAltitude = 90.0;      // goto targets above are refused ("Below Higher")
    bool polar = false;             // move commands drive RA/Dec instead of azimuth/altitude
    // A refused goto is answered with its code alone ("1", "2") instead of the code and the
    // mount's message, as some AutoStar #494 firmware is described to do.
    bool bareRefusal = false;
};
MountParameters DefaultMountParameters(MountModel model);

class SimulatedMount final : public SimulatedSerialMount {
public:
    SimulatedMount(MountModel model, const MountSite& site, Clock& clock);
    SimulatedMount(MountModel model, const MountSite& site, Clock& clock, const MountParameters& parameters);

    bool LongFormat() const;
    void SetLongFormat(bool longFormat);
    MountModel Model() const { return model_; }
    const MountParameters& Parameters() const { return parameters_; }
    // Altitude of an RA/Dec now, as the mount computes it.
    double AltitudeOf(double raHours, double decDegrees);

private:
    enum class Alignment { AltAz, Polar, Land };
    enum class TargetKind { RaDec, AltAz };

    // SimulatedSerialMount.
    void Receive(char byte) override;
    void Act(const std::string& command) override { Execute(command); }
    void Step(double dt, double utc) override;
    MountState CurrentState() override;
    // Puts the axes at once at an azimuth and altitude, tracking the sky from there.
    void OnPointAt(double azimuth, double altitude) override;
    void OnClockSet() override { CaptureHere(sky_.UtcNow()); }

    void CaptureHere(double utc);
    // The axes for a place in the sky, and the sky at the axes: azimuth and altitude on a fork
    // standing level, hour angle and declination on one on a wedge (polar).
    void AxesOf(double raHours, double decDeg, double utc, double& a1, double& a2) const;
    void SkyOf(double a1, double a2, double utc, double& raHours, double& decDeg) const;
    void Execute(const std::string& command);
    // The hand-controller commands of the LX200 Control panel: the object library and its FIND
    // search, the four stored sites (SimulatedMountControl.cpp). False for any other command.
    bool ExecuteControl(const std::string& command, double utc);
    bool ControlObjectPasses(int index, double utc) const;
    void ControlSelect(int index, std::string label);
    std::string DistanceBars(double utc);
    std::string FormatRa(double hours) const;
    std::string FormatSigned(double degrees) const;
    std::string FormatAzimuth(double degrees) const;
    bool MovingAny() const { return moveAxis1_ != 0 || moveAxis2_ != 0; }
    double MoveRate(int axis) const;
    void HaltAxes() {
        axis1_.Halt();
        axis2_.Halt();
    }

    const MountModel model_;
    const MountParameters parameters_;

    bool longFormat_;
    Alignment alignment_;
    double slewLimit_;  // top goto and move speed now (the classic LX200's :Sw lowers it)

    // axis1_ azimuth, axis2_ altitude (degrees); polar: hour angle and declination.
    TargetKind targetKind_ = TargetKind::RaDec;
    double targetRa_ = 0.0, targetDec_ = 0.0;    // goto or tracking target
    double holdAz_ = 0.0, holdAlt_ = 0.0;        // target in land alignment, as axis positions
    double pendingRa_ = 0.0, pendingDec_ = 0.0;  // set by :Sr / :Sd
    bool slewing_ = false;
    double slewStartAt_ = 0.0;
    int moveAxis1_ = 0, moveAxis2_ = 0;  // -1, 0, +1
    int rateIndex_ = 0;                  // 0 slew, 1 find, 2 center, 3 guide
    std::optional<double> customRate1_, customRate2_;

    bool inCommand_ = false;
    std::string command_;

    // What the hand controller keeps for the session: its four sites (the current one is site_),
    // the FIND filters and the library cursor (an index into its object table, -1 none).
    struct ControlState {
        int siteEntry = 1;
        MountSite sites[4] = {
            {}, {51.48, -0.01, 46.0, 0.0}, {-33.93, 18.42, 10.0, 2.0}, {35.68, 139.77, 40.0, 9.0}};
        std::string names[4] = {"CVA", "CVB", "CVC", "CVD"};
        int quality = 3;  // "GD"
        std::string types = "GPDCO";
        int catalog = 0;  // 0 NGC, 1 IC, 2 UGC
        int higher = 0, larger = 0, smaller = 200;
        double brighter = 20.0, fainter = -5.0;
        int object = -1;
        std::string objectLabel;  // as the object was chosen: "M31", "NGC224", ...
    };
    ControlState control_;
};

}  // namespace corvane
