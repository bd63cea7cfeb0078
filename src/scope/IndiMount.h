#pragma once
// A telescope reached through an INDI server: the few standard telescope properties the INDI
// engine uses, behind a small interface of our own so that the engine runs against a fake in
// virtual time. LibIndiMount (scope/LibIndiMount.h) speaks to a real server through libindi.
//
// Threads: the commands are for the telescope session's thread; the getters may be called from
// any thread (the client receives on a thread of its own and guards what it keeps).
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace corvane {

// Where the INDI server is and which device on it is the mount (settings IndiHost, IndiPort,
// IndiDevice).
struct IndiServer {
    std::string host = "localhost";
    int port = 7624;
    std::string device = "Telescope Simulator";
};

// "HOST:PORT" or "HOST" (port 7624) into a server; nullopt when the port is not 1..65535.
std::optional<IndiServer> ParseIndiAddress(const std::string& text, const std::string& device);

// The mount's EQUATORIAL_EOD_COORD as last reported.
struct IndiPosition {
    double raHours = 0.0, decDegrees = 0.0;
    double receivedAt = 0.0;  // the Clock's monotonic seconds when the report arrived
    bool slewing = false;     // the property was Busy
};

// The limits of TELESCOPE_TRACK_RATE (arcseconds per second), as the driver defines them.
struct IndiRateLimits {
    double raMin = -1e6, raMax = 1e6, decMin = -1e6, decMax = 1e6;
};

class IndiMount {
public:
    virtual ~IndiMount() = default;

    // Connects to the server, waits for the device and connects it. `wait(ms)` pauses (and
    // returns false when the wait was cut short by a stop). On failure `error` says why.
    virtual bool Connect(const IndiServer& server, const std::function<bool(int)>& wait,
                         std::string& error) = 0;
    virtual void Disconnect() = 0;
    // False once the server went away or the device was disconnected.
    virtual bool Connected() const = 0;

    // ON_COORD_SET TRACK, then EQUATORIAL_EOD_COORD: a goto after which the mount tracks.
    virtual bool Slew(double raHours, double decDegrees) = 0;
    virtual std::optional<IndiPosition> Position() const = 0;
    // True when the driver offers TELESCOPE_TRACK_MODE with TRACK_CUSTOM and TELESCOPE_TRACK_RATE.
    virtual bool OffersCustomRates() const = 0;
    virtual IndiRateLimits RateLimits() const = 0;
    // TELESCOPE_TRACK_MODE TRACK_CUSTOM.
    virtual bool SetCustomTrackMode() = 0;
    // TELESCOPE_TRACK_RATE, arcseconds per second (RA: the sidereal rate holds the RA still).
    virtual bool SetTrackRates(double raArcsecPerSecond, double decArcsecPerSecond) = 0;
    // TELESCOPE_TRACK_STATE on or off.
    virtual bool SetTracking(bool on) = 0;
    // TELESCOPE_ABORT_MOTION.
    virtual bool Abort() = 0;
};

// A client of a real INDI server through libindi.
std::unique_ptr<IndiMount> MakeLibIndiMount(const class Clock& clock);

}  // namespace corvane
