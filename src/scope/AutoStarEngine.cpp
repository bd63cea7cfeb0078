// The leap-frog engines of the Meade AutoStar #494 and #495/497 hand controllers: the target is
// set and slewed to a few seconds ahead of the object, then the engine waits for the object to
// arrive before the next leap. Both speak LX200 commands in long format.
#include <string>

#include "scope/Lx200Codec.h"
#include "scope/ReplyCheck.h"
#include "scope/TrackingDriver.h"
#include "scope/TrackingDriverParts.h"

namespace corvane {

namespace {

const std::string kBelowTwice = "Object Below Horizon!!\r\r" + kRefresh;
const std::string kBelowOnce = "Object Below Horizon!\r\r" + kRefresh;

// DEPARTURE: a cycle with no object to aim at (or no position for it) pauses 200 ms instead of
// the leap's waits: the #497 would otherwise spin, and a newly selected object is taken up at once.
constexpr int kIdlePauseMs = 200;

bool EndsWithRefusal(const std::string& reply) {
    return !reply.empty() && (reply.back() == '1' || reply.back() == '2');
}

// The slew reply is "0", or the refusal code "1" (below the horizon) or "2" (above the upper
// limit), possibly followed by the mount's message.
bool AutoStarRefusal(const std::string& reply) {
    return !reply.empty() && (reply[0] == '1' || reply[0] == '2');
}

}  // namespace

void TrackingDriver::AutoStar494Engine() {
    const std::string stopText(kStopAll);
    int previousObject = 0;
    int refusals = 0;
    ReplyWatch watch(clock_);
    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        const bool newObject = cycle.object != previousObject;
        if (newObject) refusals = 0;
        previousObject = cycle.object;

        const bool aim = PrepareCycle(cycle, 6.0, 7.0, newObject ? 6000.0 : 0.0, stopText);
        if (!trackingOn_.load()) break;
        if (!aim) {
            Pause(kIdlePauseMs);
            continue;
        }
        const CycleTarget& t = cycle.target;
        const unsigned char degChar = cycle.settings.degChar;

        std::string reply;
        if (t.raHours != 0.0 && t.decDegrees != 0.0) {
            if (!newObject) {
                if (!Send(std::string(kStop)) || !link_.Wait(500)) break;
            }
            std::string ack;
            if (!Ask(watch, SetRaCommand(t.raHours, true), 0, IsSlewReply, ack)) break;
            if (!Ask(watch, SetDecCommand(t.decDegrees, true, degChar), 0, IsSlewReply, ack)) break;
            if (!Await(watch, 1500)) break;
            if (!Ask(watch, kSlew, newObject ? 400 : 0, IsSlewReply, reply)) break;
        }
        if (!trackingOn_.load() || LostCommunication(watch)) break;

        if (AutoStarRefusal(reply) && ++refusals >= 2) {
            SendStop(stopText);
            StopWithMessage(stopText, kBelowTwice, "Tracking Error");
            break;
        }
        if (t.elevationDeg < 0) {
            StopWithMessage(stopText, kBelowTwice, "Tracking Error");
            break;
        }
        if (ReplyRefusesSlew(reply)) {
            StopWithMessage(stopText, kBelowOnce, "Tracking Error");
            break;
        }

        if (newObject) {
            // Wait for the long first slew; a slew that does not end in time is tried again from
            // the start, as for a new object.
            const double start = clock_.MonotonicSeconds();
            std::string bars;
            do {
                if (clock_.MonotonicSeconds() - start > 10.0) {
                    previousObject = 0;
                    break;
                }
                if (!Await(watch, 4000)) break;
                if (!Ask(watch, kDistanceBars, 1000, IsPlausibleBarsReply, bars)) return;
            } while (HasBars(bars) && trackingOn_.load());
        } else {
            Await(watch, 8000);
        }
    }
}

void TrackingDriver::AutoStar497Engine() {
    const std::string stopText(kStopAll);
    int previousObject = 0;
    int refusals = 0;
    ReplyWatch watch(clock_);
    // A set command answered with anything but "1" is read out and sent once more.
    auto setWithRetry = [&](const std::string& command) {
        std::string reply;
        if (!Ask(watch, command, 500, IsSlewReply, reply)) return false;
        if (reply != "1") {
            (void)link_.ReadAvailable();
            if (!Ask(watch, command, 450, IsSlewReply, reply)) return false;
        }
        return true;
    };
    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        const bool newObject = cycle.object != previousObject;
        if (newObject) refusals = 0;
        previousObject = cycle.object;

        // Always 2 s beyond the 5 s base lead, whatever the Tracking Method slider shows.
        const bool aim = PrepareCycle(cycle, 5.0, 2.0, newObject ? 6000.0 : 0.0, stopText);
        if (!trackingOn_.load()) break;
        if (!aim) {
            Pause(kIdlePauseMs);
            continue;
        }
        const CycleTarget& t = cycle.target;

        std::string reply;
        if (t.raHours != 0.0 && t.decDegrees != 0.0) {
            if (!Send(std::string(kStop)) || !link_.Wait(50)) break;
            if (!setWithRetry(SetRaCommand(t.raHours, true, false))) break;
            if (!setWithRetry(SetDecCommand(t.decDegrees, true, cycle.settings.degChar, false))) break;
            if (!Ask(watch, ":MS#", 350, IsSlewReply, reply)) break;
        }
        if (!trackingOn_.load() || LostCommunication(watch)) break;

        if (EndsWithRefusal(reply)) {
            ++refusals;
        } else if (!reply.empty() && reply.back() == '0') {
            refusals = 0;
        }
        if (refusals >= 2) {
            SendStop(stopText);
            StopWithMessage(stopText, kBelowTwice, "Tracking Error");
            break;
        }
        if (t.elevationDeg < 0) {
            StopWithMessage(stopText, kBelowTwice, "Tracking Error");
            break;
        }
        if (ReplyRefusesSlew(reply)) {
            StopWithMessage(stopText, kBelowOnce, "Tracking Error");
            break;
        }

        // Slew wait; the next leap follows at once.
        (void)link_.ReadAvailable();
        const double start = clock_.MonotonicSeconds();
        std::string bars;
        do {
            if (clock_.MonotonicSeconds() - start > 12.0) break;
            if (!Ask(watch, kDistanceBarsBare, 900, IsPlausibleBarsReply, bars)) return;
        } while (HasBars(bars) && trackingOn_.load());
    }
}

}  // namespace corvane
