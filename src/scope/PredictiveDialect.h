#pragma once
// What a mount's protocol gives the predictive engine: how to read its position precisely, how
// to command axis rates and a goto, and the limits of its motors. The engine and the controller
// never know which mount they drive; each dialect knows only its own commands.
//
// Every dialect talks through the serial link on the session's thread; every wait is the link's
// stop-aware Wait, and the link refuses commands once a stop is raised.
#include <memory>
#include <optional>
#include <string>

#include "scope/PredictiveController.h"
#include "scope/TrackingDriver.h"

namespace corvane {

class SerialLink;
class Clock;

// One position reading of the mount.
struct MountReading {
    double at = 0.0;        // monotonic seconds when the mount read its axes
    double latency = -1.0;  // the mount's delay the exchange showed, seconds (<0: none)
    AxisPair axes;          // on the dialect's axes
};

enum class GotoReply { kStarted, kRefused, kNotSent };

class RateDialect {
public:
    virtual ~RateDialect() = default;
    // How the status lines and the audit log name the mount.
    virtual std::string Name() const = 0;
    virtual PredictiveLimits Limits() const = 0;
    // The top goto speed of each axis, degrees per second.
    virtual double GotoRate() const = 0;
    // Whether the axes are azimuth and altitude (the zenith keyhole applies).
    virtual bool AltAz() const = 0;
    // The object on the mount's axes.
    virtual AxisPair AxesOf(const CycleTarget& target) const = 0;
    // Reads the mount's position; false when no valid reply came (nothing to steer on).
    virtual bool Read(const Site& site, MountReading& reading) = 0;
    // Sets both axis rates (degrees per second on the dialect's axes); `latency` receives the
    // delay the exchange showed (<0: none). False when the line refused the commands.
    virtual bool SendRates(const AxisPair& rates, double& latency) = 0;
    virtual GotoReply Goto(const CycleTarget& target) = 0;
    // 1: the goto has ended; 0: it goes on; -1: no valid answer.
    virtual int GotoFinished() = 0;
    // A German mount: whether the tube is on the side for objects west of the meridian; nothing
    // for other mounts.
    virtual std::optional<bool> PierFlipped() const { return std::nullopt; }
};

// A mount driven by gotos alone: it reads its position (as azimuth and altitude) and aims.
class GotoDialect {
public:
    virtual ~GotoDialect() = default;
    virtual bool Read(const Site& site, MountReading& reading) = 0;
    virtual GotoReply Aim(const CycleTarget& target) = 0;
};

// The dialect of a goto-driven interface that tracks continuously, or null when it has none.
std::unique_ptr<GotoDialect> MakeGotoDialect(ScopeType type, const TrackingSettings& settings,
                                             SerialLink& link, Clock& clock);

// The dialect of a rate-driven interface under the engines' settings, or null when the
// interface has none (the specified engine then runs).
std::unique_ptr<RateDialect> MakeRateDialect(ScopeType type, const TrackingSettings& settings,
                                             SerialLink& link, Clock& clock);

}  // namespace corvane
