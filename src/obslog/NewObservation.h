#pragma once
// The fields of a new observation, filled from the program's state at the moment the user
// presses "New": the computer clock, the site boxes, the element file, the selected object, the
// main panel's T+Epoch, the Timing Offset and Alignment Adjustment boxes, the telescope
// interface, and the object's pass around now. Pure; any thread.
#include <optional>
#include <string>

#include "obslog/ObsLog.h"

namespace corvane {

// The pass around now, in the values the log keeps.
struct ObservedPass {
    double aosLocal = 0.0;  // local Julian dates
    double losLocal = 0.0;
    long long durationSeconds = 0;
    double maxElevation = 0.0;  // degrees
    double rangeKm = 0.0;       // at the maximum elevation
};

struct NewObservationInputs {
    double nowLocal = 0.0;  // program clock, local time, as a Julian date
    std::string siteName, siteLatitude, siteLongitude, siteAltitude;
    std::string elementFile;
    std::string objectName, catalogueNumber;
    std::string tPlusEpoch;  // as the main panel shows it
    std::string timingOffset, alignment;
    std::string scopeCode;  // interface code (ScopeType)
    std::optional<ObservedPass> pass;
};

ObsRecord NewObservation(const NewObservationInputs& in);

// "20170427" and "21:02:07" of a local Julian date (whole seconds, truncated).
std::string ObsDateText(double localJd);
std::string ObsTimeText(double localJd);

}  // namespace corvane
