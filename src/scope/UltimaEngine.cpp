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

void TrackingDriver::UltimaEngine() {
    const std::string stopText = "M";
    int previousObject = 0;
    ReplyWatch watch(clock_);
    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        const bool newObject = cycle.object != previousObject;
        previousObject = cycle.object;
        const int slider = cycle.values.trackingMethod;

        const bool aim =
            PrepareCycle(cycle, 0.0, 1.8 * UltimaLead(slider), newObject ? 5000.0 : 0.0, stopText);
        if (!trackingOn_.load()) break;
        if (!aim) {
            Pause(kIdlePauseMs);
            continue;
        }
        const CycleTarget& t = cycle.target;
        if (t.elevationDeg < 0) {
            StopWithMessage(stopText, kBelowTwice, "Tracking Error");
            break;
        }

        watch.Asked();
        if (!Send(stopText) || !link_.Wait(300)) break;
        watch.Judge(IsNexStarShortReply(link_.ReadAvailable()));
        if (t.raHours != 0.0 && t.decDegrees != 0.0) {
            if (!Send(NexStarGotoCommand(t.raHours, t.decDegrees)) || !link_.Wait(300)) break;
            watch.Judge(IsNexStarShortReply(link_.ReadAvailable()));
        }
        watch.Judge(IsNexStarShortReply(link_.ReadAvailable()));
        if (LostCommunication(watch)) return;

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
    const std::string stopText = "?";
    int previousObject = 0;
    ReplyWatch watch(clock_);
    while (trackingOn_.load()) {
        Cycle cycle = ReadCycle();
        const bool newObject = cycle.object != previousObject;
        previousObject = cycle.object;
        const int slider = cycle.values.trackingMethod;

        const bool aim =
            PrepareCycle(cycle, 0.0, 1.8 * NexStar58Lead(slider), newObject ? 30000.0 : 0.0, stopText);
        if (!trackingOn_.load()) break;
        if (!aim) {
            Pause(kIdlePauseMs);
            continue;
        }
        const CycleTarget& t = cycle.target;
        if (t.elevationDeg < 0) {
            StopWithMessage(stopText, kBelowTwice, "Tracking Error");
            break;
        }

        watch.Asked();
        if (!Send(stopText) || !link_.Wait(800)) break;
        watch.Judge(IsNexStarShortReply(link_.ReadAvailable()));
        if (t.raHours != 0.0 && t.decDegrees != 0.0) {
            if (!Send(NexStarByteGotoCommand(t.raHours, t.decDegrees)) || !link_.Wait(300)) break;
            watch.Judge(IsNexStarShortReply(link_.ReadAvailable()));
        }
        watch.Judge(IsNexStarShortReply(link_.ReadAvailable()));
        if (LostCommunication(watch)) return;

        Pause(newObject ? 2000 : NexStar58LeapPauseMs(slider));
    }
}

}  // namespace corvane
