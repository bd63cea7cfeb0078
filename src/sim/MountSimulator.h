#pragma once
// What every simulated mount offers besides its serial line: where it points, its command
// history, its clock and the faults it can play. corvane-mountsim and the tests drive the
// LX200 family and the NexStar family through it.
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
