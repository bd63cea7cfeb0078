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

// Judges whether the mount still answers. A question is open from Asked() until a valid answer
// is judged; the line counts as lost when a question has been open for a moment and no valid
// answer has come for kReplyTimeoutSeconds, or when replies keep arriving unreadable.
class TrackingDriver::ReplyWatch {
public:
    explicit ReplyWatch(const Clock& clock) : clock_(clock), answeredAt_(clock.MonotonicSeconds()) {}
    void Asked() {
        if (!outstanding_) since_ = clock_.MonotonicSeconds();
        outstanding_ = true;
    }
    void Judge(bool valid) {
        if (valid) {
            outstanding_ = false;
            garbled_ = 0;
            answeredAt_ = clock_.MonotonicSeconds();
        }
    }
    // The reply to an open question: nothing yet, a valid answer, or bytes that cannot be read
    // (noise, or a reply cut short).
    void Answer(const std::string& reply, bool valid) {
        if (valid) {
            Judge(true);
        } else if (!reply.empty()) {
            ++garbled_;
        }
    }
    // A reply to a command the protocol promises no answer to: silence says nothing, but bytes
    // that arrive must read as an answer.
    void Heard(const std::string& reply, bool valid) {
        if (!reply.empty()) Answer(reply, valid);
    }
    bool Expired() const {
        if (garbled_ >= kGarbledReplies) return true;
        const double now = clock_.MonotonicSeconds();
        return outstanding_ && now - since_ >= kOpenQuestionSeconds &&
               now - answeredAt_ >= kReplyTimeoutSeconds;
    }

private:
    // Unreadable replies in a row that give the line up at once.
    static constexpr int kGarbledReplies = 2;
    // A question just asked after a long quiet spell is given this long before it counts.
    static constexpr double kOpenQuestionSeconds = 2.0;
    const Clock& clock_;
    bool outstanding_ = false;
    double since_ = 0.0;
    double answeredAt_;
    int garbled_ = 0;
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
