#pragma once
// The tracking driver: the Start/Stop Tracking toggle, the tracking thread, the steps every
// tracking cycle shares, the LX200 engine (LX200, LX200 Compatible, Gemini and unknown codes),
// the geostationary hold of the LX200GPS, the Log File engine and the stop sequence of every
// interface. Engines read the window's values through LiveState, show through the
// TrackingDisplay and wait only through the Clock.
//
// Threads: StartStopTracking, StopTracking and ResetTrackingDisplay are called from the
// user-interface thread (StopTracking also from the engines); the engines run on the tracking
// thread (StartThread), or on the caller's thread through RunTracking. Every public function is
// thread-safe.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "astro/Time.h"
#include "core/Clock.h"
#include "core/LiveState.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "scope/PositionLog.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDisplay.h"

namespace corvane {

// The settings the engines read (keys of the settings file).
struct TrackingSettings {
    int lgpsMount = 1;            // LGPSMOUNT: 1 Alt-Az, else polar
    int ngpsMount = 1;            // NGPSMOUNT: 1 Alt-Az, 2 EQ N, 3 EQ S
    bool limitEnabled = false;    // TRACKINGLIMITENABLE
    int limitDegrees = 90;        // TRACKINGLIMIT, held to 0..90
    bool limitElevation = true;   // LIMITELEVATION: elevation, else declination
    int trackAdjustMs = 80;       // TRACKADJUST: pause at the end of each LX200 cycle
    unsigned char degChar = 223;  // DEGCHAR
    std::string elementFile;      // shown in the position log header
    std::string logFolder = ".";  // where the Log File interface writes
};

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

// Lead in seconds of the LX200 engine for a Tracking Method slider position (0 = Continuous).
double Lx200Lead(int sliderPosition);

class TrackingDriver {
public:
    TrackingDriver(SerialLink& link, LiveState& live, const CatalogueStore& catalogues, Clock& clock,
                   TrackingDisplay& display);
    ~TrackingDriver();
    TrackingDriver(const TrackingDriver&) = delete;
    TrackingDriver& operator=(const TrackingDriver&) = delete;

    void SetSettings(const TrackingSettings& settings);
    TrackingSettings Settings() const;

    // The tracking thread: polls TrackingOn every 100 ms for the whole run.
    void StartThread();
    // Stops the tracking thread (after the engine's current step) and joins it.
    void Shutdown();

    void StartStopTracking();
    void StopTracking();
    void ResetTrackingDisplay();
    bool TrackingOn() const { return live_.trackingOn.load(); }

    // One turn of the tracking thread on the caller's thread: the geostationary hold, then the
    // engine of the interface, until TrackingOn is 0. Returns at once when it is 0.
    void RunTracking();

private:
    struct Cycle;
    void ThreadMain();
    Cycle ReadCycle() const;
    bool GeostationaryHold();
    void RunEngine();
    void Lx200Engine();
    void LogFileEngine();
    void NotBuiltEngine();
    // Steps 1-8 of a cycle; false when the cycle must not aim (no object, an error) or the
    // engine must end (limit). `stopText` is the type's stop sequence for the limit.
    bool PrepareCycle(Cycle& cycle, double k, double lead, double delayMs, const std::string& stopText);
    void StopWithMessage(const std::string& stopText, const std::string& text, const std::string& title);
    void SendStopSequence(ScopeType type);
    void Lx200GpsStop();
    void NexStarRateStop(int modeByte);
    void Send(const std::string& command);
    std::string Exchange(const std::string& command, int waitMs);
    bool Pause(int milliseconds);

    SerialLink& link_;
    LiveState& live_;
    const CatalogueStore& catalogues_;
    Clock& clock_;
    TrackingDisplay& display_;

    mutable std::mutex settingsMutex_;
    TrackingSettings settings_;
    std::mutex logMutex_;
    PositionLog positionLog_;
    PropagationSlot slot_{kSlotTracking};
    PropagationSlot geoSlot_{kSlotGeostationary};

    std::thread thread_;
    std::atomic<bool> stopThread_{false};
};

}  // namespace corvane
