#pragma once
// The main window's side of the telescope session's display port: every call is posted to the
// GUI thread and shown in the telescope panel (a worker never touches a widget and never waits
// for a message box).
#include <functional>

#include "scope/TrackingDisplay.h"

namespace corvane::ui {

class TelescopePanel;

class GuiTrackingDisplay : public TrackingDisplay {
public:
    // `refreshViewPlan` runs on the GUI thread.
    GuiTrackingDisplay(TelescopePanel* panel, std::function<void()> refreshViewPlan)
        : panel_(panel), refreshViewPlan_(std::move(refreshViewPlan)) {}
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    void SetStatusLines(const std::string& raLine, const std::string& decLine) override;
    void SetProgress(int raBars, int decBars) override;
    void SetStartButtonTracking(bool tracking) override;
    void SetConnectEnabled(bool enabled) override;
    void SetConnected(bool connected) override;
    void SetBusy(bool busy) override;
    void SetConnecting(bool connecting) override;
    void RefreshViewPlan() override;
    // Set once, before the session starts.
    void SetPanel(TelescopePanel* panel) { panel_ = panel; }

private:
    TelescopePanel* panel_;
    std::function<void()> refreshViewPlan_;
};

}  // namespace corvane::ui
