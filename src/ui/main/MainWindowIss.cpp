// The main window's side of the ISS monitor: the settings its worker reads, and tracking the
// station when the user answers the alert with Yes.
#include "passes/IssMonitor.h"
#include "ui/main/MainWindow.h"
#include "ui/maps/IssMonitorPanel.h"

namespace corvane::ui {

void MainWindow::WireIssMonitor() {
    issPanel_->trackStation = [this] {
        const int station = catalogue_.Get()->IssIndex();
        if (station == 0) return;
        // Selecting stops tracking that is running; then the Start/Stop Tracking action starts it.
        SelectPlanObject(station);
        StartStopTracking();
    };
}

void MainWindow::PushIssSettings() {
    if (!issPanel_) return;
    IssMonitorSettings s;
    s.ISSMonitor = settings_.ISSMonitor;
    s.MinPredictPass = settings_.MinPredictPass;
    s.pass = PassSettings{settings_.AOSElevation, settings_.IgnoreEclipse != 0};
    issPanel_->Monitor().SetSettings(s);
}

}  // namespace corvane::ui
