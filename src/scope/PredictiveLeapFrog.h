#pragma once
// Predictive leap frog for the mounts driven by gotos alone (LX200, LX200 Compatible, Gemini,
// AutoStar #494 and #497, Ultima 2000, NexStar 5/8): each goto aims where the object will be
// once the mount has arrived and settled, so the object passes through the aim point instead of
// ahead of or behind it. How long a goto takes is learned from the mount's own gotos.
//
// Every dialect talks through the serial link on the session's thread and waits only through
// its stop-aware Wait; the link refuses commands once a stop is raised.
#include <deque>
#include <memory>
#include <string>

#include "scope/PredictiveDialect.h"
#include "scope/TrackingDriver.h"

namespace corvane {

class SerialLink;

// What a goto-only mount's protocol gives the leap-frog engine: the same commands its standard
// engine uses to set a target and slew, plus a way to read its position and to see a goto end.
class LeapDialect {
public:
    virtual ~LeapDialect() = default;
    // How the audit log names the mount.
    virtual std::string Name() const = 0;
    // The top goto speed (degrees per second), for the first guess of a goto's time.
    virtual double GotoRate() const = 0;
    // How far ahead of the object each leap aims at least, seconds: the lead of the mount's
    // standard engine where the observer sets it (the Tracking Method slider); 0 where that
    // lead only guesses the goto's time, which is measured here instead.
    virtual double Lead(int sliderPosition) const = 0;
    // How long the mount rests on the aim point at least before the object gets there, seconds.
    virtual double Rest() const { return 1.0; }
    // Whether the mount leaps at this Tracking Method slider position (or tracks continuously).
    virtual bool Leaps(int /*sliderPosition*/) const { return true; }
    // The pause between two questions about a running goto, milliseconds.
    virtual int PollMs() const = 0;
    // Where the mount points: RA hours and Dec degrees. False without a valid reply.
    virtual bool Read(double& raHours, double& decDegrees) = 0;
    // Whatever the mount must hear before a goto, then the target and the slew. `reply` keeps
    // the mount's answer to the slew.
    virtual GotoReply Goto(const CycleTarget& target, std::string& reply) = 0;
    // 1: the goto to `target` has ended; 0: it goes on; -1: no valid answer.
    virtual int GotoFinished(const CycleTarget& target) = 0;
    // Whether the last answer that did not read was noise (bytes) rather than silence.
    bool Garbled() const { return garbled_; }

protected:
    // Notes how the last answer went: `valid`, or noise when bytes came that did not read.
    void Heard(const std::string& reply, bool valid) { garbled_ = !valid && !reply.empty(); }

private:
    bool garbled_ = false;
};

// The leap-frog dialect of a goto-only interface, or null when it has none.
std::unique_ptr<LeapDialect> MakeLeapDialect(ScopeType type, const TrackingSettings& settings,
                                             SerialLink& link, Clock& clock);

// How long the mount takes from sending a goto until it reports the goto ended, against the
// distance on the worse axis: a first guess from the goto speed, corrected by the gotos seen,
// the recent ones and those of a like distance counting most.
class SlewResponse {
public:
    explicit SlewResponse(double gotoRate) : rate_(gotoRate > 0.1 ? gotoRate : 0.1) {}
    // Seconds for a goto of `degrees`, with a margin for the spread the gotos showed.
    double Predict(double degrees) const;
    void Note(double degrees, double seconds);
    size_t Count() const { return samples_.size(); }

private:
    double Guess(double degrees) const;
    struct Sample {
        double degrees, excess;  // seconds beyond the guess
    };
    std::deque<Sample> samples_;
    double rate_;
};

}  // namespace corvane
