#pragma once
// The main window: its menus and panels, the telescope session, the ISS monitor's worker, and the
// secondary windows it opens. Initialise() runs the start-up steps, ShutDown() the exit steps.
// GUI thread only.
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "core/Settings.h"
#include "obslog/ObservedList.h"
#include "orbit/ElementCatalogue.h"
#include "passes/DisplayPanel.h"
#include "passes/ObjectList.h"
#include "scope/ScopeSession.h"
#include "scope/SerialPort.h"
#include "ui/common/NightVision.h"
#include "ui/main/Commands.h"

class QAction;
class QLabel;
class QPushButton;

namespace corvane::ui {

class AdjustmentPanel;
class DownloadWindow;
class ElementsPanel;
class GuiTrackingDisplay;
class InterfaceDialog;
class IssMonitorPanel;
class Lx200ControlWindow;
class MapWindows;
class ObjectListPanel;
class ObsLogWindow;
class ObsReportWindow;
class PlanWindows;
class PositionPanel;
class SitePanel;
class TelescopePanel;
class ViewPlanPanel;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `port`: the mount's line (a simulated mount in tests); null: the chosen COM port's device.
    MainWindow(Clock& clock, LiveState& live, QWidget* parent = nullptr, SerialPort* port = nullptr);
    ~MainWindow() override;

    // Start-up steps. Returns false when the run must end (the disclaimer was declined).
    bool Initialise();
    // Exit steps, for "&Exit" and the window's Close alike. Safe to call twice.
    void ShutDown();
    bool IsShutDown() const { return shutDown_; }

    void ApplyInterface();
    // The "LX200 Control" window (menu entry and button) and the "&Set" button's date/time dialog.
    void OpenLx200Control();
    void OpenDateTimeDialog();
    Lx200ControlWindow* lx200Control() const { return lx200Control_; }
    void BringToFront();
    void RunCommand(int command);
    QAction* CommandAction(int command) const { return actions_.value(command); }

    Settings& settings() { return settings_; }
    CatalogueStore& catalogue() { return catalogue_; }
    // Replaces the catalogue from an element file, with progress and the result in `status`.
    void LoadElements(const QString& fileName, QLabel* status);
    // "Download TLE": the "Download TLE File" window (single).
    void OpenDownloadWindow();
    DownloadWindow* downloadWindow() const;
    void ShowElementData();
    // Telescope: the Start/Stop Tracking button (also the joystick's).
    void StartStopTracking();
    // The object list: "&Refresh List", and the choice of an entry.
    void BuildObjectList();
    void SelectObjectFromList(int row);
    // One pass of the position panel (every 100 ms).
    void DisplayPass();
    ScopeSession& session() { return *session_; }
    LiveState& live() { return live_; }
    int viewPlanRefreshCount() const { return viewPlanRefreshes_; }
    // What timer 5096 does every 15 s.
    void OnViewPlanTimer();

    // ---- pass predictions and the View Plan ----
    PlanWindows& planWindows() { return *plans_; }
    // Makes a catalogue index (0 = none) the selected object, as selecting a plan entry does.
    void SelectPlanObject(int index);

    // ---- the observation log and its reports ----
    // The "Observation Log " window of the selected object, and the "Observation Reports " window.
    void OpenObslog();
    void OpenObsReport();
    ObsLogWindow* obsLogWindow() const;
    ObsReportWindow* obsReportWindow() const;
    // Opens a report in the desktop's viewer; replaceable so tests start no viewer.
    std::function<bool(const QString&)> openInViewer;

    // The map windows, and the panels (tests reach the controls through them).
    MapWindows& Maps() { return *maps_; }
    QLabel* ClockLine() const { return clockLine_; }
    QPushButton* SetClockButton() const { return setClockButton_; }
    PositionPanel* Position() const { return position_; }
    ObjectListPanel* Objects() const { return objects_; }
    ElementsPanel* Elements() const { return elements_; }
    SitePanel* Sites() const { return sites_; }
    AdjustmentPanel* Adjustments() const { return adjustments_; }
    TelescopePanel* Telescope() const { return telescope_; }
    ViewPlanPanel* PlanList() const { return planList_; }
    IssMonitorPanel* IssPanel() const { return issPanel_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // Window size in dialog units, converted with the window's font.
    QSize DialogUnits(int width, int height) const;
    void OpenTle();
    // A successful download: the file becomes the catalogue and the View Plan starts empty.
    void LoadDownloadedFile(const std::string& elementFile);
    void BuildMenus();
    void BuildControls();
    void WireControls();
    void SetNeutralValues();
    void ApplySettingsToControls();
    void CopyControlsToSettings();
    void SwitchSite(int site);
    void PublishLiveValues();
    void SizeForIssMonitor();
    void ToggleIssMonitor();
    void RefreshViewPlan();
    void RefreshPictures();
    void StopTracking();
    void ResetFilters();
    void ToggleNightVision();
    void ShowLegal();
    void OpenHelp();
    void OpenPreferences();
    void OpenInterfaceDialog();
    void SaveSettingsNow();
    void PushTrackingSettings();
    void WaitPainted(int milliseconds);
    void CloseSecondaryWindows();
    void RebuildObjectList();
    void KeepSecondary(QWidget* window);
    void ObservationSaved(long catalogueNumber, bool favourite);
    void WireIssMonitor();
    void PushIssSettings();

    Clock& clock_;
    LiveState& live_;
    Settings settings_;
    CatalogueStore catalogue_;
    std::unique_ptr<SerialPort> ownPort_;
    SerialPort* port_;
    std::unique_ptr<GuiTrackingDisplay> display_;
    std::unique_ptr<ScopeSession> session_;
    ObservedList observed_;
    bool observedUnreadable_ = false;
    LoadedSettings loadedSettings_;  // what reading ConfigFile.ini found: whether it may be saved over
    AltitudeCache altitudeCache_;
    DisplayPanelState panelState_;
    DisplayTexts lastDisplay_;
    QTimer displayTimer_;
    QList<QPointer<QWidget>> secondaryWindows_;
    NightVision nightVision_;
    QMap<int, QAction*> actions_;
    InterfaceDialog* interfaceDialog_ = nullptr;  // while the dialog is open
    Lx200ControlWindow* lx200Control_ = nullptr;  // child, made at the first opening
    QPointer<DownloadWindow> download_;
    PlanWindows* plans_ = nullptr;  // child object
    QPointer<ObsLogWindow> obsLog_;
    QPointer<ObsReportWindow> obsReport_;
    int viewPlanTimer_ = 0;
    int viewPlanRefreshes_ = 0;
    bool shutDown_ = false;
    MapWindows* maps_ = nullptr;  // child object

    QLabel* clockLine_ = nullptr;
    QPushButton* setClockButton_ = nullptr;
    PositionPanel* position_ = nullptr;
    ObjectListPanel* objects_ = nullptr;
    ElementsPanel* elements_ = nullptr;
    SitePanel* sites_ = nullptr;
    AdjustmentPanel* adjustments_ = nullptr;
    TelescopePanel* telescope_ = nullptr;
    ViewPlanPanel* planList_ = nullptr;
    IssMonitorPanel* issPanel_ = nullptr;
};

}  // namespace corvane::ui
