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

    watch.Asked();
    if (!Send(dialect.stopText) || !link_.Wait(dialect.stopWaitMs)) return LeapStep::kEnd;
    watch.Judge(IsNexStarShortReply(link_.ReadAvailable()));
    if (t.raHours != 0.0 && t.decDegrees != 0.0) {
        if (!Send(dialect.gotoCommand(t.raHours, t.decDegrees)) || !link_.Wait(300)) return LeapStep::kEnd;
        watch.Judge(IsNexStarShortReply(link_.ReadAvailable()));
    }
    watch.Judge(IsNexStarShortReply(link_.ReadAvailable()));
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
                if (!link_.Wait(2000) || !Send("L")) break;
                watch.Asked();
                if (!link_.Wait(500)) break;
                const std::string reply = link_.ReadAvailable();
                watch.Judge(IsNexStarShortReply(reply));
                if (LostCommunication(watch)) return;
                if (reply.find('0') != std::string::npos) {
                    gotoEnded = true;
                    break;
                }
            }
        }
        // After a goto that did not end within 20 s the next leap follows at once.
        if (gotoEnded) Pause(UltimaLeapPauseMs(slider));
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
        Pause(newObject ? 2000 : NexStar58LeapPauseMs(slider));
    }
}

}  // namespace corvane
