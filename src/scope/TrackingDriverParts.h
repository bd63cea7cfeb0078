#pragma once
// What the tracking driver's engines share across their source files: the values a cycle reads
// and the reply watch. Only the driver's own files include it.
#include <string>

#include "scope/TrackingDriver.h"

namespace corvane {

inline const std::string kRefresh = "May need to Refresh Object List.";
inline const std::string kLimitText = "Elevation of object exceeds limit set in preferences.";

struct TrackingDriver::Cycle {
    int object = 0;
    LiveValues values;
    Site site;
    TrackingSettings settings;
    CycleTarget target;
};

// Counts the time the engine has been asking without a valid answer.
class TrackingDriver::ReplyWatch {
public:
    explicit ReplyWatch(const Clock& clock) : clock_(clock) {}
    void Asked() {
        if (!outstanding_) since_ = clock_.MonotonicSeconds();
        outstanding_ = true;
    }
    void Judge(bool valid) {
        if (valid) outstanding_ = false;
    }
    bool Expired() const {
        return outstanding_ && clock_.MonotonicSeconds() - since_ >= kReplyTimeoutSeconds;
    }

private:
    const Clock& clock_;
    bool outstanding_ = false;
    double since_ = 0.0;
};

// One sample of the object, as the rate step compares it with the one before.
struct NexStarSample {
    double raHours = 0, decDegrees = 0, azimuthDeg = 0, elevationDeg = 0;
    double jd = 999.0;  // no sample yet
};

// What the NexStar rate step keeps from cycle to cycle.
struct TrackingDriver::NexStarRates {
    NexStarSample previous;
    long long acceptedRate = 0;  // the last plausible first-axis rate (0: none yet)
    int lastSent1 = 0, lastSent2 = 0;
};

}  // namespace corvane
