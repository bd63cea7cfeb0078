// The main window's maps and ISS monitor: the map data at start-up, the "World Map", "Sky Map"
// and View Plan map windows, and the ISS monitor's worker with its alert.
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <cmath>

#include "ui/passes/IssMonitorPanel.h"
#include "ui/main/MainWindow.h"
#include "ui/passes/PlanWindows.h"
#include "ui/maps/SkyViewWindow.h"
#include "ui/maps/ViewPlanMapWindow.h"
#include "ui/passes/ViewPlanWindow.h"
#include "ui/maps/WorldMapWindow.h"

namespace corvane::ui {

namespace {

template <typename Window>
bool RaiseOpen(const QPointer<Window>& window) {
    if (!window) return false;
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

}  // namespace

void MainWindow::LoadMapData() {
    if (maps::LoadWorldMap(maps::kMapFileName, worldMap_) == maps::MapLoad::kMissing) {
        // Start-up goes on while the message is shown.
        auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("File Error"),
                                    QStringLiteral("Map4.dat is missing! World maps will not be displayed."),
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("mapMissing"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

void MainWindow::WireMaps() {
    connect(worldMapButton, &QPushButton::clicked, this, [this] { OpenWorldMap(); });
    connect(skyMapButton, &QPushButton::clicked, this, [this] { OpenSkyView(); });
    issPort_ = std::make_unique<GuiIssPort>(issMonitorPanel, [this] { AnswerIssAlert(); });
    issMonitor_ = std::make_unique<IssMonitor>(clock_, live_, catalogue_, *issPort_);
    connect(issMonitorPanel->alertWhenVisible, &QCheckBox::toggled, this,
            [this](bool on) { issMonitor_->SetAlert(on); });
    confirmIssAlert = [this] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("ISS Visible"),
                        QStringLiteral("International Space Station is visible now!\r\n Start Tracking?"),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QStringLiteral("issVisible"));
        return box.exec() == QMessageBox::Yes;
    };
}

void MainWindow::RefreshMapPictures() {
    if (worldMapWindow) worldMapWindow->Redraw();
    if (skyViewWindow) skyViewWindow->update();
    if (viewPlanMapWindow) viewPlanMapWindow->update();
    if (issMonitorPanel) issMonitorPanel->RedrawGlobe();
}

void MainWindow::PushIssSettings() {
    if (!issMonitor_) return;
    IssMonitorSettings s;
    s.ISSMonitor = settings_.ISSMonitor;
    s.MinPredictPass = settings_.MinPredictPass;
    s.pass = PassSettings{settings_.AOSElevation, settings_.IgnoreEclipse != 0};
    issMonitor_->SetSettings(s);
}

void MainWindow::AnswerIssAlert() {
    // The worker has cleared its flag; the box follows.
    {
        const QSignalBlocker block(issMonitorPanel->alertWhenVisible);
        issMonitorPanel->alertWhenVisible->setChecked(false);
    }
    if (!confirmIssAlert || !confirmIssAlert()) return;
    const int station = catalogue_.Get()->IssIndex();
    if (station == 0) return;
    // Selecting stops tracking that is running; then the Start/Stop Tracking action starts it.
    SelectPlanObject(station);
    StartStopTracking();
}

void MainWindow::OpenWorldMap() {
    if (!worldMap_.loaded) {
        QMessageBox::warning(this, QStringLiteral("File Error"),
                             QStringLiteral("Map4.dat is missing or corrupted!"));
        return;
    }
    if (RaiseOpen(worldMapWindow)) {
        worldMapWindow->Redraw();
        return;
    }
    worldMapWindow = new WorldMapWindow(
        worldMap_, catalogue_, live_, clock_, settings_, [this] { return nightVision_.IsOn(); }, this);
    KeepSecondary(worldMapWindow);
    worldMapWindow->show();
}

void MainWindow::OpenSkyView(double fixedUtc) {
    // An instant within a minute of now is "now": the chart then follows the clock.
    const Site site = ParseSite(live_.Snapshot().siteLatitude, live_.Snapshot().siteLongitude, "0",
                                live_.Snapshot().siteUtcOffset);
    const double now = clock_.JulianDateNow() - site.utcOffset / 24.0;
    if (!std::isfinite(fixedUtc) || std::fabs(fixedUtc - now) < 60.0 / 86400.0) fixedUtc = 0.0;
    if (skyViewWindow) skyViewWindow->close();
    skyViewWindow = new SkyViewWindow(
        skyTables_, catalogue_, live_, clock_, [this] { return nightVision_.IsOn(); }, fixedUtc, this);
    KeepSecondary(skyViewWindow);
    skyViewWindow->show();
}

void MainWindow::OpenViewPlanMap() {
    if (!worldMap_.loaded) {
        QMessageBox::warning(this, QStringLiteral("File Error"),
                             QStringLiteral("Map4.dat is missing or corrupted!"));
        return;
    }
    if (ViewPlanWindow* text = plans_->viewPlanWindow()) text->close();
    if (RaiseOpen(viewPlanMapWindow)) {
        viewPlanMapWindow->Redraw();
        return;
    }
    viewPlanMapWindow = new ViewPlanMapWindow(
        plans_->context(), worldMap_, [this] { return nightVision_.IsOn(); }, this);
    viewPlanMapWindow->openTextViewPlan = [this] { plans_->OpenViewPlan(); };
    KeepSecondary(viewPlanMapWindow);
    viewPlanMapWindow->show();
}

}  // namespace corvane::ui
