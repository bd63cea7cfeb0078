#pragma once
// A TrackingDisplay that records what it was asked to show.
#include <mutex>
#include <string>
#include <vector>

#include "scope/TrackingDisplay.h"

namespace corvane::test {

struct ShownMessage {
    std::string text, title;
    corvane::MessageIcon icon;
};

class RecordingDisplay : public corvane::TrackingDisplay {
public:
    void ShowMessage(const std::string& text, const std::string& title, corvane::MessageIcon icon) override {
        std::lock_guard<std::mutex> lock(mutex_);
        messages.push_back({text, title, icon});
    }
    void SetStatusLines(const std::string& ra, const std::string& dec) override {
        std::lock_guard<std::mutex> lock(mutex_);
        raLine = ra;
        decLine = dec;
        raLines.push_back(ra);
        ++statusUpdates;
    }
    void SetProgress(int ra, int dec) override {
        std::lock_guard<std::mutex> lock(mutex_);
        raBars = ra;
        decBars = dec;
    }
    void SetStartButtonTracking(bool tracking) override { startShowsStop = tracking; }
    void SetConnectEnabled(bool enabled) override { connectEnabled = enabled; }
    void SetConnected(bool c) override { connected = c; }
    void SetBusy(bool b) override {
        busy = b;
        if (b) ++busyCount;
    }
    void RefreshViewPlan() override { ++viewPlanRefreshes; }

    std::vector<ShownMessage> Messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages;
    }

    std::vector<ShownMessage> messages;
    std::string raLine, decLine;
    std::vector<std::string> raLines;  // every first status line shown
    int statusUpdates = 0;
    int raBars = -1, decBars = -1;
    bool startShowsStop = false, connectEnabled = true, connected = false, busy = false;
    int busyCount = 0, viewPlanRefreshes = 0;

private:
    mutable std::mutex mutex_;
};

}  // namespace corvane::test
