#pragma once
// The main window's side of the telescope code's display port: every call is posted to the GUI
// thread (a worker never touches a widget and never waits for a message box).
#include "scope/TrackingDisplay.h"

namespace corvane::ui {

class MainWindow;

class GuiTrackingDisplay : public TrackingDisplay {
public:
    explicit GuiTrackingDisplay(MainWindow* window) : window_(window) {}
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    void SetStatusLines(const std::string& raLine, const std::string& decLine) override;
    void SetProgress(int raBars, int decBars) override;
    void SetStartButtonTracking(bool tracking) override;
    void SetConnectEnabled(bool enabled) override;
    void SetConnected(bool connected) override;
    void SetBusy(bool busy) override;
    void RefreshViewPlan() override;

private:
    MainWindow* window_;
};

}  // namespace corvane::ui
