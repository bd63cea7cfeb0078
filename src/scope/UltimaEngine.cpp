// The leap-frog engines of the Celestron Ultima 2000 (hexadecimal NexStar gotos, each command
// followed by CR LF on the line) and the NexStar 5/8 (byte-coded gotos). Each leap cancels what
// the mount is doing, sends a goto to where the object will be, and waits for the object.
#include <algorithm>
#include <cmath>
#include <string>

#include "scope/NexStarCodec.h"
#include "scope/ReplyCheck.h"
#include "scope/TrackingDriver.h"
#include "scope/TrackingDriverParts.h"

namespace corvane {

namespace {

const std::string kBelowTwice = "Object Below Horizon!!\r\r" + kRefresh;
// DEPARTURE: a cycle with no object to aim at (or no position for it) pauses 200 ms instead of
// the leap's waits: the #497 would otherwise spin, and a newly selected object is taken up at once.
constexpr int kIdlePauseMs = 200;

// The slider's lead in seconds before the 1.8 factor: position 5 counts as 7, plus one.
double SliderLead(int position) {
    position = std::clamp(position, 0, 5);
    return (position == 5 ? 7.0 : static_cast<double>(position)) + 1.0;
}

}  // namespace

double UltimaLead(int sliderPosition) { return SliderLead(sliderPosition); }

double NexStar58Lead(int sliderPosition) { return std::max(SliderLead(sliderPosition), 3.0); }

int UltimaLeapPauseMs(int sliderPosition) {
    return static_cast<int>(std::lround(1.8 * UltimaLead(sliderPosition) * 1000.0 + 3000.0));
}

int NexStar58LeapPauseMs(int sliderPosition) {
    return static_cast<int>(std::lround(1.8 * NexStar58Lead(sliderPosition) * 1000.0 + 4000.0));
}

// What differs between the Ultima 2000 and the NexStar 5/8 in a leap.
struct TrackingDriver::EarlyNexStarDialect {
    std::string stopText;        // "M" (Ultima) or the cancel "?" (NexStar 5/8)
    double (*lead)(int slider);  // seconds ahead of the object
    double firstExtraMs;         // more lead for the first goto to a new object
    int stopWaitMs;              // pause after the stop text, before the goto
    std::string (*gotoCommand)(double raHours, double decDegrees);
};

TrackingDriver::LeapStep TrackingDriver::EarlyNexStarLeap(const EarlyNexStarDialect& dialect,
                                                          ReplyWatch& watch, int& previousObject,
                                                          bool& newObject, int& slider) {
    Cycle cycle = ReadCycle();
    newObject = cycle.object != previousObject;
    previousObject = cycle.object;
    slider = cycle.values.trackingMethod;

    const bool aim = PrepareCycle(cycle, 0.0, 1.8 * dialect.lead(slider),
                                  newObject ? dialect.firstExtraMs : 0.0, dialect.stopText);
    if (!trackingOn_.load()) return LeapStep::kEnd;
    if (!aim) {
        Pause(kIdlePauseMs);
        return LeapStep::kIdle;
    }
    const CycleTarget& t = cycle.target;
    if (t.elevationDeg < 0) {
        StopWithMessage(dialect.stopText, kBelowTwice, "Tracking Error");
        return LeapStep::kEnd;
    }

    // These mounts promise no answer to the cancel or the goto: silence is no fault, but what
    // does arrive must read as their short replies. A failed write ends the engine (RunTracking
    // then reports the lost line).
    std::string reply;
    if (!Ask(watch, dialect.stopText, dialect.stopWaitMs, IsNexStarShortReply, reply, false))
        return LeapStep::kEnd;
    if (t.raHours != 0.0 && t.decDegrees != 0.0) {
        if (!Ask(watch, dialect.gotoCommand(t.raHours, t.decDegrees), 300, IsNexStarShortReply, reply, false))
            return LeapStep::kEnd;
    }
    reply = link_.ReadAvailable();
    watch.Heard(reply, IsNexStarShortReply(reply));
    return LostCommunication(watch) ? LeapStep::kLost : LeapStep::kSent;
}

void TrackingDriver::UltimaEngine() {
    const EarlyNexStarDialect dialect{"M", UltimaLead, 5000.0, 300, NexStarGotoCommand};
    int previousObject = 0;
    ReplyWatch watch(clock_);
    while (trackingOn_.load()) {
        bool newObject = false;
        int slider = 0;
        const LeapStep step = EarlyNexStarLeap(dialect, watch, previousObject, newObject, slider);
        if (step == LeapStep::kIdle) continue;
        if (step != LeapStep::kSent) return;

        bool gotoEnded = !newObject;
        if (newObject) {
            const double start = clock_.MonotonicSeconds();
            while (clock_.MonotonicSeconds() - start < 20.0) {
                if (!Await(watch, 2000)) return;
                std::string reply;
                if (!Ask(watch, "L", 500, IsNexStarShortReply, reply, false)) return;
                // Only a reply that reads as one says the goto has ended.
                if (IsNexStarShortReply(reply) && reply.find('0') != std::string::npos) {
                    gotoEnded = true;
                    break;
                }
            }
        }
        // After a goto that did not end within 20 s the next leap follows at once.
        if (gotoEnded && !Await(watch, UltimaLeapPauseMs(slider))) return;
    }
}

void TrackingDriver::NexStar58Engine() {
    const EarlyNexStarDialect dialect{"?", NexStar58Lead, 30000.0, 800, NexStarByteGotoCommand};
    int previousObject = 0;
    ReplyWatch watch(clock_);
    while (trackingOn_.load()) {
        bool newObject = false;
        int slider = 0;
        const LeapStep step = EarlyNexStarLeap(dialect, watch, previousObject, newObject, slider);
        if (step == LeapStep::kIdle) continue;
        if (step != LeapStep::kSent) return;
        if (!Await(watch, newObject ? 2000 : NexStar58LeapPauseMs(slider))) return;
    }
}

}  // namespace corvane
