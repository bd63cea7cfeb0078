#pragma once
// The tracking driver: the Start/Stop Tracking toggle, the tracking thread, the steps every
// tracking cycle shares, the LX200 engine (LX200, LX200 Compatible, Gemini and unknown codes),
// the geostationary hold of the LX200GPS, the Log File engine and the stop sequence of every
// interface. Engines read the window's values through LiveState, show through the
// TrackingDisplay and wait only through the Clock.
//
// Threads: the telescope session runs everything that talks to the mount on its own thread
// (StartStopTracking, FinishStop, RunTracking); RequestStop and the getters are safe from any
// thread. Engines wait only through the link's stop-aware Wait, so a stop ends them at once.
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "astro/Time.h"
#include "core/Clock.h"
#include "core/LiveState.h"
#include "core/Settings.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "scope/PositionLog.h"
#include "scope/SerialLink.h"
#include "scope/StopSignal.h"
#include "scope/TrackingDisplay.h"

namespace corvane {

class IndiMount;
class RateDialect;
class GotoDialect;
class LeapDialect;

// The settings the engines read (keys of the settings file).
struct TrackingSettings {
    int lgpsMount = 1;             // LGPSMOUNT: 1 Alt-Az, else polar
    int ngpsMount = 1;             // NGPSMOUNT: 1 Alt-Az, 2 EQ N, 3 EQ S
    bool limitEnabled = false;     // TRACKINGLIMITENABLE
    int limitDegrees = 90;         // TRACKINGLIMIT, held to 0..90
    bool limitElevation = true;    // LIMITELEVATION: elevation, else declination
    int trackAdjustMs = 80;        // TRACKADJUST: pause at the end of each LX200 cycle
    int ngpsSetRateDelayMs = 750;  // NGPSSETRATEDELAY: pause at the end of each NexStar rate cycle
    int minNxDeltaRate = 50;       // MINNXDELTARATE: smallest equatorial rate change re-sent
    unsigned char degChar = 223;   // DEGCHAR
    std::string elementFile;       // shown in the position log header
    std::string logFolder = ".";   // where the Log File interface writes
    bool predictive = false;       // PREDICTIVETRACKING: the predictive engines instead
    int meridianLimit = 0;         // MERIDIANLIMIT: degrees a German mount may track past the meridian
};

// The engines' settings from the settings file (limits held to their ranges).
TrackingSettings TrackingSettingsFrom(const Settings& settings);

// Where the selected object is at a Julian date, as a cycle aims at it.
struct CycleTarget {
    bool ok = false;  // false: the element set cannot be propagated
    PropagationError error = PropagationError::kNone;
    double jdUtc = 0.0;
    double raHours = 0.0, decDegrees = 0.0;
    double azimuthDeg = 0.0, elevationDeg = 0.0;
    double localSiderealHours = 0.0;
};

// Common cycle steps 3 to 6: the object's position at jdUtc from the site, shifted across its
// path by `alignmentSteps` (0: unchanged), as RA/Dec and azimuth/elevation. Pure apart from the
// slot it fills.
CycleTarget ComputeCycleTarget(const ElementCatalogue& catalogue, int objectIndex, double jdUtc,
                               const Site& site, double alignmentSteps, PropagationSlot& slot);

// Azimuth and altitude (degrees) of a right ascension and declination for a latitude at a local
// sidereal time (hours).
void HorizontalFromEquatorial(double raHours, double decDegrees, double localSiderealHours,
                              double latitudeDegrees, double& azimuthDeg, double& altitudeDeg);

// The CGE's side of the meridian for an object's azimuth: 0 east (strictly between 0 and 180
// degrees), 1 west (0 and 180 included).
int MeridianSide(double azimuthDeg);
// The first time from `startJd` on, in steps of 10 s, at which the side of the meridian changes:
// nothing when the object sets first (elevation 0 or less), after 120 steps, or when `goOn` says
// stop. `azimuthAt` gives the azimuth and elevation at a time, nothing when it has none.
std::optional<double> FindMeridianCrossing(
    const std::function<std::optional<double>(double, double&)>& azimuthAt, double startJd,
    const std::function<bool()>& goOn);

// Whether a NexStar motor rate goes out: on the Alt-Az engine any change from the last one sent,
// on the equatorial and CGE engines a change of more than `minDelta` (MINNXDELTARATE) units.
bool NexStarRateDue(int rate, int lastSent, bool altAz, int minDelta);

// The NexStar motor rate, in rate units (not clamped), that brings the mount from `mount` to
// `predicted` (degrees) in one second; `sign` is the motor's sense on that axis.
long long NexStarRateTowards(double predicted, double mount, double sign);
// The mean of two azimuths (degrees) the short way round north.
double MeanAzimuth(double a, double b);

// Where a NexStar mount says it points; azimuth -1 means unknown.
struct NexStarMountPosition {
    double raHours = 0.0, decDegrees = 0.0;
    double altitudeDeg = -1.0, azimuthDeg = -1.0;
};

// The LX200GPS rate table entry from the positions at T and T + 2 s, degrees per second:
// azimuth and altitude (Alt-Az) or right ascension in degrees and declination (polar).
struct LgpsRate {
    double rate1 = 0.0, rate2 = 0.0;
};
LgpsRate LgpsTableRates(const CycleTarget& now, const CycleTarget& later, bool altAz);
// The LX200GPS correction from the object-minus-mount differences (degrees): a first-axis
// difference beyond +-200 counts as 0; both divided by 12, and damped by 0.7 when above 0.1.
struct LgpsCorrection {
    double c1 = 0.0, c2 = 0.0;
};
LgpsCorrection LgpsDampCorrection(double raw1, double raw2);

// An LX200GPS position reading: degrees (RA in hours), -1 until read; seconds from the query
// to the complete reply.
struct ScopeReading {
    double azimuth = -1.0, altitude = -1.0;
    double raHours = -1.0, decDegrees = -1.0;
    double delay = 0.5;
    double time = 0.0;
};

// Lead in seconds of the LX200 engine for a Tracking Method slider position (0 = Continuous).
double Lx200Lead(int sliderPosition);

// Lead in seconds (before the factor 1.8) of the Ultima and NexStar 5/8 leap-frog engines for a
// Tracking Method slider position: the position (5 counts as 7) plus one; the NexStar 5/8 at
// least 3. Their pause between leaps in milliseconds: 1.8 x lead x 1000, plus 3000 (Ultima) or
// 4000 (NexStar 5/8).
double UltimaLead(int sliderPosition);
double NexStar58Lead(int sliderPosition);
int UltimaLeapPauseMs(int sliderPosition);
int NexStar58LeapPauseMs(int sliderPosition);

// How long an engine waits for any valid reply to the requests it keeps sending before it
// gives the line up for lost.
inline constexpr double kReplyTimeoutSeconds = 9.0;

class TrackingDriver {
public:
    // The driver attaches its stop signal to the link (see StopSignal).
    TrackingDriver(SerialLink& link, LiveState& live, const CatalogueStore& catalogues, Clock& clock,
                   TrackingDisplay& display);
    ~TrackingDriver();
    TrackingDriver(const TrackingDriver&) = delete;
    TrackingDriver& operator=(const TrackingDriver&) = delete;

    // Any thread.
    void SetSettings(const TrackingSettings& settings);
    TrackingSettings Settings() const;
    bool TrackingOn() const { return trackingOn_.load(); }
    // True while an engine runs (between the start of RunTracking and its return).
    bool TrackingActive() const { return trackingActive_.load(); }
    StopSignal& Signal() { return stop_; }

    // Stop, as the user (or Disconnect, or the end of the program) asks for it. Any thread;
    // returns at once. From its return on, no command but a stop sequence reaches the mount,
    // and every wait of the engine ends within one short step. FinishStop carries it out.
    void RequestStop();
    // True when a requested stop still has to be carried out.
    bool StopDue() const { return stopDue_.load(); }

    // The rest runs on the session's thread (or a test's), never two at once.
    //
    // The Start/Stop Tracking button: connects when needed, then starts tracking, or stops it.
    void StartStopTracking();
    // Carries out a requested stop: the interface's stop sequence, the View Plan refresh and the
    // display reset, then lowers the stop signal. Does nothing when no stop is due.
    void FinishStop();
    // RequestStop followed by FinishStop.
    void StopTracking();
    void ResetTrackingDisplay();
    // Marks tracking as requested without connecting (tests, and the session after checks).
    void SetTrackingOn(bool on) { trackingOn_.store(on); }

    // One turn of tracking: the geostationary hold, then the engine of the interface, until
    // tracking is off. Returns at once when it is off or a stop is raised.
    void RunTracking();

private:
    struct Cycle;
    class ReplyWatch;
    Cycle ReadCycle() const;
    bool GeostationaryHold();
    void RunEngine();
    void Lx200Engine();
    void LogFileEngine();
    // The leap-frog engines of the AutoStar #494 and #497, the Ultima 2000 and the NexStar 5/8.
    void AutoStar494Engine();
    void AutoStar497Engine();
    void UltimaEngine();
    void NexStar58Engine();
    // One leap of the two engines above, from reading the cycle to the goto's reply.
    struct EarlyNexStarDialect;
    enum class LeapStep { kIdle, kSent, kEnd, kLost };
    LeapStep EarlyNexStarLeap(const EarlyNexStarDialect& dialect, ReplyWatch& watch, int& previousObject,
                              bool& newObject, int& slider);
    void NexStarGpsEngine();
    void CgeEngine();
    void Lx200GpsEngine();
    // Predictive tracking (PredictiveEngine.cpp): false when the interface has no predictive
    // engine, and the specified one must run.
    bool PredictiveEngine();
    void PredictiveRateEngine(RateDialect& dialect);
    void PredictiveGotoEngine(GotoDialect& dialect);
    // Leap frog for the goto-only mounts (PredictiveLeapFrog.cpp).
    void PredictiveLeapFrogEngine(LeapDialect& dialect);
    enum class AimResult { kAimed, kAgain, kEnd };
    // `lead`: how long the goto will take, seconds (0: from the distance).
    AimResult PredictiveIntercept(RateDialect& dialect, Cycle& cycle, ReplyWatch& watch, double lead = 0.0);
    bool PredictiveTarget(Cycle& cycle, double atSeconds, const std::function<void()>& stop);
    // The UTC Julian date at a monotonic time, as the cycle's timing offset shifts it.
    double PredictiveUtc(const Cycle& cycle, double atSeconds) const;
    // The INDI engine and its stop (IndiEngine.cpp).
    void IndiEngine();
    void IndiStop();
    bool IndiAim(IndiMount& mount, Cycle& cycle);
    bool IndiLost(IndiMount& mount);
    bool IndiBelowHorizon(const CycleTarget& target);
    // The mount's "E" position, converted for the site at the current sidereal time.
    bool GetNexStarPosition(NexStarMountPosition& position, const Site& site);
    // Ends tracking after a NexStar-family error: the NexStar GPS stop sequence, then the message.
    void NexStarFailure(const std::string& text, const std::string& title);
    struct NexStarRates;
    void NexStarRateStep(const Cycle& cycle, const NexStarMountPosition& mount, NexStarRates& rates,
                         bool altAz, int westSide);
    bool GotoInProgress(ReplyWatch& watch);
    // The CGE's side of the pier after a goto: 1 west, 0 east; `aimedSide` when it cannot say.
    int PierSideAfterGoto(ReplyWatch& watch, int aimedSide);
    bool GetScopePosition(bool altAz, const Site& site, ScopeReading& reading);
    void Lx200GpsFailure(const std::string& text);
    // Sends the pass-through rate for a motor; audit text names it.
    void SendNexStarRate(int motor, int rate, const std::string& auditText);
    // Steps 1-8 of a cycle; false when the cycle must not aim (no object, an error) or the
    // engine must end (limit). `stopText` is the type's stop sequence for the limit.
    bool PrepareCycle(Cycle& cycle, double k, double lead, double delayMs, const std::string& stopText);
    // The same with a stop sequence of its own for the tracking limit.
    bool PrepareCycle(Cycle& cycle, double k, double lead, double delayMs, const std::function<void()>& stop);
    // The object at a UTC Julian date into cycle.target: false, with its status line, when the
    // model cannot place it, or (after `stop` and the message) when it is past the tracking limit.
    bool TargetAt(Cycle& cycle, double jdUtc, const std::function<void()>& stop);
    void StopWithMessage(const std::string& stopText, const std::string& text, const std::string& title);
    // True (after ending tracking with its message) when the line failed or the mount has not
    // answered for kReplyTimeoutSeconds; never while a requested stop is under way.
    bool LostCommunication(const ReplyWatch& watch);
    // Ends tracking for a dead line: the stop sequence where the line still takes it, then
    // "Lost communication with the telescope.".
    void EndLostLine();
    // Sends `command`, waits `waitMs`, reads the reply into `reply` and judges it with `valid`:
    // as an answer the protocol promises, or (`promised` false) as one it may leave out, where
    // only unreadable bytes count against the line. False when the engine must end: the write
    // failed, tracking was stopped, or the line was given up (tracking then already ended).
    bool Ask(ReplyWatch& watch, std::string_view command, int waitMs, bool (*valid)(std::string_view),
             std::string& reply, bool promised = true);
    // A pause of the engine that keeps judging the line: false once tracking is off, a stop is
    // raised or the line was given up (then already ended).
    bool Await(ReplyWatch& watch, int milliseconds);
    void SendStopSequence(ScopeType type);
    void Lx200GpsStop();
    void NexStarRateStop(int modeByte);
    // The NexStar GPS stop: the rate stop with the tracking mode of the NGPSMOUNT setting.
    void NexStarGpsStop();
    // Tracking was switched off, or a stop is raised: the engine must not go on.
    bool StopAsked() const { return !trackingOn_.load() || stop_.Raised(); }
    bool Send(const std::string& command);
    void SendStop(const std::string& command);
    std::string Exchange(const std::string& command, int waitMs);
    bool Pause(int milliseconds);

    SerialLink& link_;
    LiveState& live_;
    const CatalogueStore& catalogues_;
    Clock& clock_;
    TrackingDisplay& display_;

    mutable std::mutex settingsMutex_;
    TrackingSettings settings_;
    PositionLog positionLog_;
    PropagationSlot slot_{kSlotTracking};
    PropagationSlot geoSlot_{kSlotGeostationary};

    StopSignal stop_;
    std::atomic<bool> trackingOn_{false};
    std::atomic<bool> trackingActive_{false};
    std::atomic<bool> stopDue_{false};
    bool restoreAlignmentDue_ = false;  // a geostationary hold ended by Stop: "#:AA#"/"#:AP#" after the stop
};

}  // namespace corvane
