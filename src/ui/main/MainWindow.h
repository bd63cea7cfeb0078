#pragma once
// The main window: menus, the object list and its filters, the position panel, the site fields,
// the timing and alignment corrections, the telescope controls, the View Plan list and the ISS
// monitor panel. Initialise() runs the start-up steps, ShutDown() the exit steps.
// GUI thread only.
#include <QMainWindow>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "core/Settings.h"
#include "maps/SkyTables.h"
#include "maps/WorldMap.h"
#include "obslog/ObservedList.h"
#include "orbit/ElementCatalogue.h"
#include "passes/Adjustments.h"
#include "passes/DisplayPanel.h"
#include "passes/IssMonitor.h"
#include "passes/ObjectList.h"
#include "scope/ScopeSession.h"
#include "scope/SerialPort.h"
#include "ui/main/MainPanels.h"
#include "ui/common/NightVision.h"
#include "ui/telescope/TelescopePanel.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QToolButton;

namespace corvane::ui {

class DownloadWindow;
class InterfaceDialog;
class Lx200ControlWindow;
class GuiTrackingDisplay;
class ObsLogWindow;
class ObsReportWindow;

class GuiIssPort;
class IssMonitorPanel;
class SkyViewWindow;
class ViewPlanMapWindow;
class WorldMapWindow;
class JoystickAdjuster;
class PlanWindows;

// Menu command numbers.
enum Command {
    kCmdHelpTopics = 40005,
    kCmdNightVision = 40006,
    kCmdLX200Control = 40008,
    kCmdExit = 40009,
    kCmdPreferences = 40012,
    kCmdLegal = 40013,
    kCmdInterface = 40015,
    kCmdCreateViewPlanTle = 40016,
    kCmdObservationReport = 40017,
};

inline constexpr int kViewPlanTimerId = 5096;
inline constexpr int kViewPlanPeriodMs = 15000;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `port` is the mount's line (a simulated mount in tests); null: the serial device of the
    // chosen COM port.
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
    // Replaces the catalogue from an element file, with progress and the result in `status`
    // (and the main window's status field) and the file name in the file-name field.
    void LoadElements(const QString& fileName, QLabel* status);
    void OpenTle();
    // "Download TLE": the "Download TLE File" window (single), and what a successful download
    // does: load the element file as the catalogue and start an empty View Plan.
    void OpenDownloadWindow();
    void LoadDownloadedFile(const std::string& elementFile);
    DownloadWindow* downloadWindow() const;
    void ShowElementData();
    // Telescope: the Start/Stop Tracking button (also the joystick's).
    void StartStopTracking();
    // The object list: rebuilt from the catalogue with the filters ("&Refresh List"), and the
    // choice of an entry.
    void BuildObjectList();
    void SelectObjectFromList(int row);
    // One pass of the position panel (every 100 ms).
    void DisplayPass();
    ObservedList& observed() { return observed_; }
    const DisplayTexts& lastDisplay() const { return lastDisplay_; }
    ScopeSession& session() { return *session_; }
    LiveState& live() { return live_; }
    NightVision& nightVision() { return nightVision_; }
    bool disclaimerAccepted() const { return settings_.disclaimerAccepted; }
    int viewPlanRefreshCount() const { return viewPlanRefreshes_; }
    // What timer 5096 does every 15 s.
    void OnViewPlanTimer();

    // ---- pass predictions and the View Plan ----
    Clock& clock() { return clock_; }
    PlanWindows& planWindows() { return *plans_; }
    // Makes a catalogue index (0 = none) the selected object, as selecting a plan entry does.
    void SelectPlanObject(int index);

    // ---- the observation log and its reports ----
    // OpenObslog: the "Observation Log " window of the selected object (brought to the front when
    // open). OpenObsReport: the "Observation Reports " window.
    void OpenObslog();
    void OpenObsReport();
    ObsLogWindow* obsLogWindow() const;
    ObsReportWindow* obsReportWindow() const;
    // Opens a report in the desktop's viewer; replaceable so tests start no viewer.
    std::function<bool(const QString&)> openInViewer;

    // Window size in dialog units, converted with the window's font.
    QSize DialogUnits(int width, int height) const;

    // ---- maps and the ISS monitor ----
    // "&World Map", "S&ky Map" (at a UTC instant, 0: now) and the View Plan map; the two world
    // maps refuse to open without the map data.
    void OpenWorldMap();
    void OpenSkyView(double fixedUtc = 0.0);
    void OpenViewPlanMap();
    const maps::WorldMapTable& worldMap() const { return worldMap_; }
    IssMonitor& issMonitor() { return *issMonitor_; }
    // The alert's question; true for Yes (tests replace it).
    std::function<bool()> confirmIssAlert;
    // The station became visible with "Alert when visible" ticked: ask, and on Yes track it.
    void AnswerIssAlert();
    QPointer<WorldMapWindow> worldMapWindow;
    QPointer<SkyViewWindow> skyViewWindow;
    QPointer<ViewPlanMapWindow> viewPlanMapWindow;
    IssMonitorPanel* issMonitorPanel = nullptr;

    // ---- panels, and their controls under the names tests and the user know ----
    PositionPanel* positionPanel = nullptr;
    ObjectListPanel* objectPanel = nullptr;
    ElementsPanel* elementsPanel = nullptr;
    SitePanel* sitePanel = nullptr;
    AdjustmentPanel* adjustPanel = nullptr;
    TelescopePanel* telescopePanel = nullptr;
    ViewPlanPanel* planPanel = nullptr;

    QLabel* clockLine = nullptr;
    QPushButton* setClockButton = nullptr;
    QMap<QString, QLineEdit*> panelFields;
    QLabel* directionLine = nullptr;
    QLabel* sunIcon = nullptr;
    QLabel* sunLine = nullptr;

    QComboBox* objectList = nullptr;
    QLabel* listStatus = nullptr;
    QPushButton* refreshListButton = nullptr;
    QPushButton* resetFiltersButton = nullptr;
    QRadioButton* visAll = nullptr;
    QRadioButton* visAboveHorizon = nullptr;
    QCheckBox* elevationFilter = nullptr;
    QSpinBox* elevationLimit = nullptr;
    QCheckBox* ascendingOnly = nullptr;
    QCheckBox* sunOnly = nullptr;
    QCheckBox* favorites = nullptr;
    QCheckBox* neverObserved = nullptr;
    QCheckBox* geostationaryOnly = nullptr;
    QComboBox* directionFilter = nullptr;
    QComboBox* altitudeFilter = nullptr;
    QCheckBox* listByNorad = nullptr;

    QPushButton* openTleButton = nullptr;
    QPushButton* downloadTleButton = nullptr;
    QLineEdit* elementFileName = nullptr;
    QLabel* elementFileStatus = nullptr;
    QPushButton* predictPassButton = nullptr;
    QPushButton* batchPredictButton = nullptr;
    QPushButton* viewPlanButton = nullptr;
    QPushButton* infoButton = nullptr;
    QPushButton* tleDataButton = nullptr;
    QPushButton* skyMapButton = nullptr;
    QPushButton* worldMapButton = nullptr;
    QPushButton* observationLogButton = nullptr;

    QPushButton* siteButtons[4] = {nullptr, nullptr, nullptr, nullptr};  // 1..3
    QLineEdit* siteName = nullptr;
    QLineEdit* siteLatitude = nullptr;
    QLineEdit* siteLongitude = nullptr;
    QLineEdit* siteAltitude = nullptr;
    QLineEdit* siteUtcOffset = nullptr;

    QLineEdit* timingOffset = nullptr;
    QPushButton* timingButtons[4] = {nullptr, nullptr, nullptr, nullptr};
    QLineEdit* alignmentAdjust = nullptr;
    QPushButton* alignmentMinus = nullptr;
    QPushButton* alignmentPlus = nullptr;
    QCheckBox* joystickAdjust = nullptr;
    QPushButton* mouseAdjustButton = nullptr;
    QPushButton* findTimingButton = nullptr;

    QComboBox* comPort = nullptr;
    QLabel* comDevice = nullptr;
    QPushButton* connectButton = nullptr;
    QToolButton* trackButton = nullptr;
    QSlider* trackingMethod = nullptr;
    QLabel* raStatus = nullptr;
    QLabel* decStatus = nullptr;
    QProgressBar* raBar = nullptr;
    QProgressBar* decBar = nullptr;
    QPushButton* lx200ControlButton = nullptr;

    QListWidget* viewPlanList = nullptr;
    QPushButton* viewPlanSelect = nullptr;
    QPushButton* issMonitorButton = nullptr;
    QFrame* issPanel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void BuildMenus();
    void BuildControls();
    void NameControls();
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
    void ShowComDevice();
    void WaitPainted(int milliseconds);
    void CloseSecondaryWindows();
    void RebuildObjectList();
    void KeepSecondary(QWidget* window);
    void ObservationSaved(long catalogueNumber, bool favourite);

    void LoadMapData();
    void WireMaps();
    void PushIssSettings();
    void RefreshMapPictures();

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
    bool initialised_ = false;
    maps::WorldMapTable worldMap_;
    maps::SkyTables skyTables_;
    std::unique_ptr<GuiIssPort> issPort_;
    std::unique_ptr<IssMonitor> issMonitor_;  // stopped before the port and the panel go
};

}  // namespace corvane::ui
