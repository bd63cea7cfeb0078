#pragma once
// The values that worker threads read from the main window's controls. The window writes them
// when a control changes; workers take a consistent copy with Snapshot(). No widget is ever
// touched from a worker. All members are thread-safe.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace corvane {

struct LiveValues {
    // Active site, as the five site fields show it (texts; numeric conversion is the reader's).
    std::string siteName;
    std::string siteLatitude;   // degrees, north positive
    std::string siteLongitude;  // degrees, east positive
    std::string siteAltitude;   // metres
    std::string siteUtcOffset;  // hours, local time minus UTC

    int selectedObject = 0;            // catalogue index, 0 = none
    std::string timingOffsetText;      // "Timing Offset (sec.)" box
    std::string alignmentText = "0";   // "Alignment Adjustment" box
    int trackingMethod = 0;            // slider 0 (Continuous) .. 5 (Leap Frog end)
    std::string elevationLimitText = "10";
    int comPort = 1;                   // 1..16
};

class LiveState {
public:
    LiveValues Snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return values_;
    }
    // Changes the values under the lock; fn receives a reference to them.
    void Update(const std::function<void(LiveValues&)>& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        fn(values_);
    }

    // Set when the program is closing (tracking state belongs to the telescope session).
    std::atomic<bool> shuttingDown{false};

private:
    mutable std::mutex mutex_;
    LiveValues values_;
};

}  // namespace corvane
