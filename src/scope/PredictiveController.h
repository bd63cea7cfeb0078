#pragma once
// The predictive tracking controller shared by every rate-driven mount: it feeds forward the
// object's motion on the mount's two axes from the instant a new rate takes effect, corrects on
// time-stamped position readings with a proportional and an integral term, learns the mount's
// command latency from the exchanges, and keeps every rate within the mount's cap and step.
//
// It never talks to a mount and never reads a clock: every call carries its time (monotonic
// seconds), so the same object drives a real mount, a simulated one, or a unit test.
#include <deque>
#include <optional>

namespace corvane {

// A value on each axis of a mount. Axis 1 (azimuth, hour angle or right ascension) wraps at 360
// degrees; axis 2 (altitude or declination) does not.
struct AxisPair {
    double a1 = 0.0, a2 = 0.0;
};

// What the controller must respect on a mount; rates in degrees per second.
struct PredictiveLimits {
    double rateCap1 = 3.0, rateCap2 = 3.0;
    double rateStep1 = 0.0, rateStep2 = 0.0;  // 0: any rate
    double resolution = 0.0;                  // readout resolution, degrees
    // The play of the gears on each axis, degrees. The encoders read the motor, and the tube
    // trails it by half the play in the direction the motor last turned.
    double backlash = 0.0;
    // How fast the motors change their rate, degrees per second squared (0: at once).
    double acceleration = 0.0;
    double initialLatency = 0.1;     // seconds, until exchanges teach better
    double correctionSeconds = 1.5;  // a pointing error is removed over this time
    double integralGain = 0.1;       // per second squared
};

// The object on the mount's axes over the coming cycle: where it is when the new rate takes
// effect, and where it is `span` seconds later.
struct AxisTarget {
    AxisPair start, end;
    double span = 1.0;
};

class PredictiveController {
public:
    explicit PredictiveController(const PredictiveLimits& limits);

    const PredictiveLimits& Limits() const { return limits_; }

    // Forgets readings, rates and the integral (a new object, or after a goto); keeps the latency.
    void Reset();

    // A command's delay as an exchange showed it: from the start of its write until the mount
    // acted on it (its reply, less the reply's own time on the line), seconds. Each sample moves
    // the estimate a fifth of the way, so a changed line is learned within a few seconds.
    void NoteLatency(double seconds);
    double Latency() const { return latency_; }
    // When a rate sent at `now` takes effect.
    double EffectiveAt(double now) const { return now + latency_; }

    // A position reading: where the mount was at `at` (see ReadingTime).
    void NoteReading(double at, const AxisPair& position);
    bool HasReading() const { return reading_.has_value(); }

    // The rates to send at `now` for the object as `target` describes it from EffectiveAt(now):
    // feed-forward plus correction, held to the cap and rounded to the step. Never NaN.
    AxisPair Rates(double now, const AxisTarget& target);
    // Records the rates that went out at `now` (what Rates returned, or what the mount was sent).
    void NoteSent(double now, const AxisPair& rates);

    // Where the mount will be at `t`: the last reading carried forward by the rates sent since.
    std::optional<AxisPair> MountAt(double t) const;
    // Where the tube will point at `t`: MountAt less the play the motors will not have taken up.
    std::optional<AxisPair> TubeAt(double t) const;
    // The object-minus-mount error the last Rates call corrected, degrees.
    AxisPair LastError() const { return error_; }

private:
    struct Sent {
        double effectiveAt;
        AxisPair rates;
    };
    struct Reading {
        double at;
        AxisPair position;
    };
    // The play after the motors turned from `from` to `to`.
    AxisPair PlayAfter(const AxisPair& play, const AxisPair& from, const AxisPair& to) const;
    // The rate in effect at `t` (0 before anything was sent).
    AxisPair RateAt(double t) const;

    PredictiveLimits limits_;
    double latency_;
    std::optional<Reading> reading_;
    // How far the tube is ahead of the encoders on each axis, within +-backlash / 2.
    AxisPair play_;
    std::deque<Sent> sent_;
    AxisPair integral_, error_;
    double lastCorrectionAt_ = 0.0;
    bool corrected_ = false;
};

// When a mount read the position it reports: the query went out at `sentAt` and took
// `queryLineSeconds` on the line; the reply was complete at `repliedAt`.
// DEPARTURE: the moment the query's last byte reached the mount, not the middle of the round
// trip. A mount reads its axes once it has the whole command and spends the rest of the round
// trip answering (its reply delay, then the reply at 9600 baud); the middle dates every reading
// 30 to 40 ms late, and the mount then leads a fast object by its speed times that. Measured on
// whole ISS passes against the simulated mounts: RMS 0.012 to 0.021 degree with the middle,
// 0.002 to 0.007 with the arrival.
double ReadingTime(double sentAt, double queryLineSeconds, double repliedAt);

// The shortest signed difference a - b of two angles, degrees in [-180, 180).
double AngleGap(double a, double b);

// A rate held to +-cap and rounded to a multiple of `step` (0: not rounded), never beyond the
// cap after rounding. Not a number gives 0.
double LimitRate(double rate, double cap, double step);

}  // namespace corvane
