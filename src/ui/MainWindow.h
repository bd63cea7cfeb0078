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

#include <memory>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "core/Settings.h"
#include "obslog/ObservedList.h"
#include "orbit/ElementCatalogue.h"
#include "passes/Adjustments.h"
#include "passes/DisplayPanel.h"
#include "passes/ObjectList.h"
#include "scope/AuditLogFile.h"
#include "ui/NightVision.h"

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

namespace corvane {
class PosixSerialPort;
class SerialLink;
class TrackingDriver;
}  // namespace corvane

namespace corvane::ui {

class InterfaceDialog;
class GuiTrackingDisplay;
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
    MainWindow(Clock& clock, LiveState& live, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up steps. Returns false when the run must end (the disclaimer was declined).
    bool Initialise();
    // Exit steps, for "&Exit" and the window's Close alike. Safe to call twice.
    void ShutDown();
    bool IsShutDown() const { return shutDown_; }

    void ApplyInterface();
    void BringToFront();
    void RunCommand(int command);
    QAction* CommandAction(int command) const { return actions_.value(command); }

    Settings& settings() { return settings_; }
    CatalogueStore& catalogue() { return catalogue_; }
    // Replaces the catalogue from an element file, with progress and the result in `status`
    // (and the main window's status field) and the file name in the file-name field.
    void LoadElements(const QString& fileName, QLabel* status);
    void OpenTle();
    void ShowElementData();
    // Telescope: the Connect button, the Start/Stop Tracking button, and what the telescope code
    // shows (called on the GUI thread by the display port).
    void ConnectOrDisconnect();
    void StartStopTracking();
    void ShowTrackingPicture(bool tracking);
    void RefreshViewPlanNow() { RefreshViewPlan(); }
    // The object list: rebuilt from the catalogue with the filters ("&Refresh List"), and the
    // choice of an entry.
    void BuildObjectList();
    void SelectObjectFromList(int row);
    // One pass of the position panel (every 100 ms).
    void DisplayPass();
    ObservedList& observed() { return observed_; }
    const DisplayTexts& lastDisplay() const { return lastDisplay_; }
    SerialLink& link() { return *link_; }
    TrackingDriver& tracker() { return *tracker_; }
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

    // Window size in dialog units, converted with the window's font.
    QSize DialogUnits(int width, int height) const;

    // ---- controls (named after what the user sees) ----
    QLabel* clockLine = nullptr;
    QPushButton* setClockButton = nullptr;
    QMap<QString, QLineEdit*> panelFields;  // caption -> value box ("Satellite Name:", ...)
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
    QPushButton* timingButtons[4] = {nullptr, nullptr, nullptr, nullptr};  // -coarse, -fine, +fine, +coarse
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
    void SetNeutralValues();
    void ApplySettingsToControls();
    void CopyControlsToSettings();
    void ShowSite(const SiteRecord& site);
    SiteRecord SiteOnScreen() const;
    void SwitchSite(int site);
    void PublishLiveValues();
    void ShowObjectButtons(bool objectSelected);
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
    void NotYetAvailable(const QString& what);
    void WaitPainted(int milliseconds);
    void CloseSecondaryWindows();
    void RebuildObjectList();
    ObjectFilters FiltersOnScreen() const;
    void ShowFilters(const ObjectFilters& filters);
    void ToggleJoystick(bool on);
    void OpenMouseAdjust();
    void OpenFindTiming();
    void KeepSecondary(QWidget* window);

    Clock& clock_;
    LiveState& live_;
    Settings settings_;
    CatalogueStore catalogue_;
    AuditLogFile audit_;
    std::unique_ptr<PosixSerialPort> port_;
    std::unique_ptr<GuiTrackingDisplay> display_;
    std::unique_ptr<SerialLink> link_;
    std::unique_ptr<TrackingDriver> tracker_;
    ObservedList observed_;
    bool observedUnreadable_ = false;
    LoadedSettings loadedSettings_;  // what reading ConfigFile.ini found: whether it may be saved over
    AltitudeCache altitudeCache_;
    DisplayPanelState panelState_;
    DisplayTexts lastDisplay_;
    QTimer displayTimer_;
    std::unique_ptr<AdjustmentTarget> adjustBoxes_;
    std::unique_ptr<JoystickAdjuster> joystick_;
    QList<QPointer<QWidget>> secondaryWindows_;
    NightVision nightVision_;
    QMap<int, QAction*> actions_;
    InterfaceDialog* interfaceDialog_ = nullptr;  // while the dialog is open
    PlanWindows* plans_ = nullptr;  // child object
    int viewPlanTimer_ = 0;
    int viewPlanRefreshes_ = 0;
    bool shutDown_ = false;
    bool initialised_ = false;
};

}  // namespace corvane::ui
