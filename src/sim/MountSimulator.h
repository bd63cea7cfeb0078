#pragma once
// What every simulated mount offers besides its serial line: where it points, its command
// history, its clock and the faults it can play. corvane-mountsim and the tests drive the
// LX200 family and the NexStar family through it.
#include <cstdint>
#include <string>
#include <vector>

#include "scope/SerialPort.h"

namespace corvane {

struct MountSite {
    double latitude = 0.0;   // degrees, north positive
    double longitude = 0.0;  // degrees, east positive
    double altitudeMetres = 0.0;
    double utcOffsetHours = 0.0;  // local time minus UTC
};

struct MountState {
    double utcJulianDate;  // the mount's own clock
    double azimuth;        // degrees, north through east
    double altitude;       // degrees
    double raHours;        // where the mount points, of date
    double decDegrees;
    bool slewing;
};

// How far a simulated mount falls short of a perfect one. The defaults are a real mount's; tests
// that check exact bytes or timings use Ideal().
struct MountRealism {
    double latencyJitter = 0.02;  // seconds: each command acts up to this much early or late
    double backlash = 0.03;       // degrees of gear play taken up on each axis reversal
    uint32_t seed = 1;            // of the jitter, so that a run can be repeated
    static MountRealism Ideal() { return {0.0, 0.0, 1}; }
};

// The figures every model has: its motors' top speed and acceleration, and how long its
// controller takes to act and to answer.
struct MountFigures {
    double maxGotoRate = 4.0;      // degrees per second, each axis
    double acceleration = 2.0;     // degrees per second squared
    double commandLatency = 0.05;  // seconds from a command's end until the motors act on it
    double replyLatency = 0.06;    // seconds before the first byte of a reply
    MountRealism realism;
};

enum class MountFault {
    None,
    Silence,       // the mount ignores everything and sends nothing
    Garbage,       // every reply is replaced by noise of the same length (terminator kept)
    StalledReply,  // only the first half of each reply arrives; the rest after the stall time
    ClosedLine,    // the line is dead: nothing can be read or written
};

class MountSimulator : public SerialPort {
public:
    virtual MountState State() = 0;
    virtual void InjectFault(MountFault fault, double stallSeconds = 60.0) = 0;
    // Sets the mount's clock this many days ahead of the computer clock.
    virtual void SetClockOffsetDays(double days) = 0;
    // Puts the tube at once at an azimuth and altitude (degrees), at rest.
    virtual void PointAt(double azimuth, double altitude) = 0;
    // Every command received, oldest first, in a readable spelling.
    virtual std::vector<std::string> Commands() const = 0;
};

}  // namespace corvane
