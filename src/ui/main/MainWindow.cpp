#include "ui/main/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimerEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

#include "core/Legal.h"
#include "core/ScopeInterface.h"
#include "core/Text.h"
#include "orbit/ElementDownload.h"
#include "scope/PosixSerialPort.h"
#include "ui/common/GuiPost.h"
#include "ui/telescope/GuiTrackingDisplay.h"
#include "ui/common/Icons.h"
#include "ui/passes/IssMonitorPanel.h"
#include "ui/main/LoadingWindow.h"
#include "ui/telescope/Lx200ControlWindow.h"
#include "ui/obslog/ObsLogWindow.h"
#include "ui/passes/PlanContext.h"
#include "ui/passes/PlanWindows.h"
#include "ui/common/TabStopDelegate.h"

namespace corvane::ui {

MainWindow::MainWindow(Clock& clock, LiveState& live, QWidget* parent, SerialPort* port)
    : QMainWindow(parent), clock_(clock), live_(live), port_(port) {
    if (port_ == nullptr) {
        ownPort_ = std::make_unique<PosixSerialPort>();
        port_ = ownPort_.get();
    }
    setWindowTitle(QString::fromLatin1(InitialMainWindowTitle().c_str()));
    setWindowIcon(PictureIcon(Picture::Sun, false, 64));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // Pass predictions and the View Plan.
    plans_ = new PlanWindows(clock_, live_, settings_, catalogue_, this);
    PlanContext& plan = plans_->context();
    plan.elementFileName = [this] { return elementFileName ? elementFileName->text() : QString(); };
    plan.refreshMainPlan = [this] { RefreshViewPlan(); };
    plan.selectObject = [this](int index) { SelectPlanObject(index); };
    plan.closeSecondaryWindows = [this] { CloseSecondaryWindows(); };
    plan.openSkyMap = [this](double utc) { OpenSkyView(utc); };
    plan.openWorldMap = [this] { OpenWorldMap(); };
    plan.openBatchPredictions = [this] { plans_->OpenBatchPredictions(); };
    plan.observed = &observed_;
    plan.altitudeHeights = [this] { return altitudeCache_.Heights(catalogue_.Get()->Count()); };
    plan.openViewPlanMap = [this] { OpenViewPlanMap(); };
}

MainWindow::~MainWindow() {
    // The session's thread must be gone before the window it reports to.
    if (issMonitor_) issMonitor_->Stop();
    if (session_) session_->Shutdown();
}

QSize MainWindow::DialogUnits(int w, int h) const {
    // A dialog unit is a quarter of the average letter width across and an eighth of the
    // character height down.
    return QSize(DialogUnitsX(this, w), static_cast<int>(std::lround(h * QFontMetrics(font()).height() / 8.0)));
}
// ---------------------------------------------------------------------------------------------
// Start-up

bool MainWindow::Initialise() {
    // M1 working arrays: the window's members. M2: the arrow cursor is the default; remember the
    // colours in use so that night vision can put them back.
    nightVision_.Save();
    // M3: the site table starts blank (Settings' default site records).
    settings_ = Settings{};
    // M4: the saved View Plan, the sky view's tables and the observed list.
    plans_->LoadAtStart();
    skyTables_ = maps::LoadSkyTables();
    {
        std::string error;
        if (!observed_.Load("observed.dat", &error)) {
            // DEPARTURE: an observed list that could not be read is never overwritten with an empty
            // one at exit.
            observedUnreadable_ = true;
            QMessageBox::warning(this, QStringLiteral("File Error"), QString::fromLocal8Bit(error.c_str()));
        }
    }
    // M5: menus.
    BuildMenus();
    // M6: every control with its neutral value.
    BuildControls();
    SetNeutralValues();
    // M7: defaults, then the settings file; then the telescope interface.
    loadedSettings_ = ReadSettingsFile(kConfigFileName);
    settings_ = loadedSettings_.settings;
    if (loadedSettings_.state == SettingsFileState::kUnreadable) {
        QMessageBox::warning(this, QStringLiteral("File Error"),
                             QString::fromLocal8Bit(loadedSettings_.error.c_str()) +
                                 QStringLiteral(".\n\nCorvane starts with the default settings and leaves "
                                                "ConfigFile.ini as it is. Settings you change are saved over "
                                                "it at exit only if you agree."));
    }
    ApplySettingsToControls();
    telescopePanel->ShowComDevice();
    session_->Start();
    ApplyInterface();
    // M8: the disclaimer gate.
    bool endRun = false;
    if (!settings_.disclaimerAccepted) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kLegalTitle),
                        QString::fromLatin1(LegalText(true).c_str()), QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QStringLiteral("disclaimer"));
        if (box.exec() == QMessageBox::Yes) {
            settings_.disclaimerAccepted = true;
        } else {
            settings_.disclaimerAccepted = false;
            SaveSettingsNow();
            endRun = true;
        }
    }
    // M9. A first start without the element file says how to get one.
    elementFileStatus->setText(QFileInfo(FromFile(settings_.ElementsFile)).isFile()
                                   ? QStringLiteral("  No file loaded.")
                                   : FromFile(NoElementFileText(settings_.ElementsFile)));
    // M10: the position panel's pass every 100 ms (on the GUI thread: a pass takes microseconds).
    connect(&displayTimer_, &QTimer::timeout, this, [this] { DisplayPass(); });
    displayTimer_.start(100);
    // M11: pictures, the elevation spinner, the object buttons hidden, "List by NORAD" and the
    // current site.
    RefreshPictures();
    elevationLimit->setRange(0, 90);
    elementsPanel->ShowObjectButtons(false);
    tleDataButton->setVisible(false);
    infoButton->setVisible(false);
    listByNorad->setChecked(settings_.NoradSort != 0);
    sitePanel->ShowSite(settings_.CurrentSite());
    sitePanel->ShowCurrent(settings_.LastLocation);
    PublishLiveValues();
    // M12: the element file named in the settings, with the small loading window.
    if (!settings_.ElementsFile.empty() && settings_.disclaimerAccepted &&
        QFileInfo(FromFile(settings_.ElementsFile)).isFile()) {
        LoadingWindow loading(this);
        loading.show();
        WaitPainted(1000);
        LoadElements(FromFile(settings_.ElementsFile), loading.secondLine);
        WaitPainted(3000);
        loading.close();
    }
    // M13: with the disclaimer declined the run ends here; otherwise the world map data.
    if (endRun) {
        shutDown_ = true;
        return false;
    }
    LoadMapData();
    // M14: refresh the View Plan once and start its timer.
    RefreshViewPlan();
    viewPlanTimer_ = startTimer(kViewPlanPeriodMs);
    // M15: tab stops of the View Plan list (15 and 100 dialog units).
    viewPlanList->setProperty("tabStops", QVariantList{DialogUnits(15, 0).width(), DialogUnits(100, 0).width()});
    viewPlanList->setItemDelegate(
        new TabStopDelegate({DialogUnits(15, 0).width(), DialogUnits(100, 0).width()}, viewPlanList));
    // M16: the audit file.
    if (settings_.Audit == 1 && !session_->OpenAuditLog("output.txt"))
        QMessageBox::warning(this, QStringLiteral("File Error"), QStringLiteral("Cannot create output.txt."));
    // M17: size for the ISS monitor panel.
    SizeForIssMonitor();
    // M18: the ISS monitor's thread; the telescope session's thread runs from M7 on.
    PushTrackingSettings();
    PushIssSettings();
    issMonitor_->Start();
    // M19: idle pictures on the picture buttons.
    RefreshPictures();
    initialised_ = true;
    return true;
}

void MainWindow::BuildControls() {
    auto* central = new QWidget;
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(6, 4, 6, 6);
    outer->setSpacing(4);
    // Clock line with its "&Set" button.
    auto* top = new QHBoxLayout;
    clockLine = new QLabel;
    clockLine->setAlignment(Qt::AlignCenter);
    QFont clockFont = clockLine->font();
    clockFont.setBold(true);
    clockLine->setFont(clockFont);
    setClockButton = SmallButton(QStringLiteral("&Set"));
    top->addStretch();
    top->addWidget(clockLine);
    top->addWidget(setClockButton);
    top->addStretch();
    outer->addLayout(top);

    auto* columns = new QHBoxLayout;
    outer->addLayout(columns, 1);
    positionPanel = new PositionPanel;
    columns->addWidget(positionPanel);
    auto* middle = new QVBoxLayout;
    objectPanel = new ObjectListPanel;
    elementsPanel = new ElementsPanel;
    middle->addWidget(objectPanel);
    middle->addWidget(elementsPanel);
    middle->addStretch();
    columns->addLayout(middle);
    auto* right = new QVBoxLayout;
    sitePanel = new SitePanel;
    adjustPanel = new AdjustmentPanel(settings_);
    display_ = std::make_unique<GuiTrackingDisplay>(nullptr, [this] { RefreshViewPlan(); });
    session_ = std::make_unique<ScopeSession>(*port_, clock_, live_, catalogue_, *display_);
    telescopePanel = new TelescopePanel(*session_);
    display_->SetPanel(telescopePanel);
    session_->SetAuditFailureHandler([this](const std::string& reason) {
        PostToGui(this, [this, reason] {
            QMessageBox::warning(this, QStringLiteral("File Error"),
                                 QStringLiteral("The audit file is no longer written (") +
                                     QString::fromLocal8Bit(reason.c_str()) + QStringLiteral(")."));
        });
    });

    telescopePanel->beforeMount = [this] { PushTrackingSettings(); };
    telescopePanel->nightVision = [this] { return nightVision_.IsOn(); };
    right->addWidget(sitePanel);
    right->addWidget(adjustPanel);
    right->addWidget(telescopePanel);
    columns->addLayout(right);
    planPanel = new ViewPlanPanel;
    columns->addWidget(planPanel);
    issMonitorPanel = new IssMonitorPanel(worldMap_, [this] { return nightVision_.IsOn(); });
    issPanel = issMonitorPanel;
    columns->addWidget(issPanel);
    NameControls();
    WireControls();
    WireMaps();
}

void MainWindow::NameControls() {
    panelFields = positionPanel->panelFields;
    directionLine = positionPanel->directionLine;
    sunIcon = positionPanel->sunIcon;
    sunLine = positionPanel->sunLine;
    ObjectListPanel& o = *objectPanel;
    objectList = o.objectList, listStatus = o.listStatus, refreshListButton = o.refreshListButton;
    resetFiltersButton = o.resetFiltersButton, visAll = o.visAll, visAboveHorizon = o.visAboveHorizon;
    elevationFilter = o.elevationFilter, elevationLimit = o.elevationLimit, ascendingOnly = o.ascendingOnly;
    sunOnly = o.sunOnly, favorites = o.favorites, neverObserved = o.neverObserved;
    geostationaryOnly = o.geostationaryOnly, directionFilter = o.directionFilter;
    altitudeFilter = o.altitudeFilter, listByNorad = o.listByNorad;
    ElementsPanel& e = *elementsPanel;
    openTleButton = e.openTleButton, downloadTleButton = e.downloadTleButton, elementFileName = e.elementFileName;
    elementFileStatus = e.elementFileStatus, predictPassButton = e.predictPassButton;
    batchPredictButton = e.batchPredictButton, viewPlanButton = e.viewPlanButton, infoButton = e.infoButton;
    tleDataButton = e.tleDataButton, skyMapButton = e.skyMapButton, worldMapButton = e.worldMapButton;
    observationLogButton = e.observationLogButton;
    for (int i = 1; i <= 3; ++i) siteButtons[i] = sitePanel->siteButtons[i];
    siteName = sitePanel->siteName, siteLatitude = sitePanel->siteLatitude;
    siteLongitude = sitePanel->siteLongitude, siteAltitude = sitePanel->siteAltitude;
    siteUtcOffset = sitePanel->siteUtcOffset;
    AdjustmentPanel& a = *adjustPanel;
    timingOffset = a.timingOffset, alignmentAdjust = a.alignmentAdjust, alignmentMinus = a.alignmentMinus;
    alignmentPlus = a.alignmentPlus, joystickAdjust = a.joystickAdjust, mouseAdjustButton = a.mouseAdjustButton;
    findTimingButton = a.findTimingButton;
    for (int i = 0; i < 4; ++i) timingButtons[i] = a.timingButtons[i];
    TelescopePanel& t = *telescopePanel;
    comPort = t.comPort, comDevice = t.comDevice, connectButton = t.connectButton, trackButton = t.trackButton;
    trackingMethod = t.trackingMethod, raStatus = t.raStatus, decStatus = t.decStatus, raBar = t.raBar;
    decBar = t.decBar, lx200ControlButton = t.lx200ControlButton;
    viewPlanList = planPanel->viewPlanList, viewPlanSelect = planPanel->viewPlanSelect;
    issMonitorButton = planPanel->issMonitorButton;
}

void MainWindow::WireControls() {
    for (QLineEdit* box : {siteName, siteLatitude, siteLongitude, siteAltitude, siteUtcOffset, timingOffset, alignmentAdjust})
        connect(box, &QLineEdit::textChanged, this, [this] { PublishLiveValues(); });
    connect(trackingMethod, &QSlider::valueChanged, this, [this] { PublishLiveValues(); });
    connect(elevationLimit, &QSpinBox::textChanged, this, [this] { PublishLiveValues(); });
    connect(comPort, &QComboBox::currentTextChanged, this, [this] { PublishLiveValues(); });
    for (int i = 1; i <= 3; ++i) connect(siteButtons[i], &QPushButton::clicked, this, [this, i] { SwitchSite(i); });
    adjustPanel->startStopTracking = [this] { StartStopTracking(); };
    connect(refreshListButton, &QPushButton::clicked, this, [this] { BuildObjectList(); });
    connect(objectList, QOverload<int>::of(&QComboBox::activated), this, [this](int row) { SelectObjectFromList(row); });
    connect(objectList->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        // Typed text: an entry of the list when it matches one, else nothing is selected.
        SelectObjectFromList(objectList->findText(objectList->currentText(), Qt::MatchFixedString));
    });
    connect(observationLogButton, &QPushButton::clicked, this, [this] { OpenObslog(); });
    connect(resetFiltersButton, &QPushButton::clicked, this, [this] { ResetFilters(); });
    connect(openTleButton, &QPushButton::clicked, this, [this] { OpenTle(); });
    connect(downloadTleButton, &QPushButton::clicked, this, [this] { OpenDownloadWindow(); });
    connect(tleDataButton, &QPushButton::clicked, this, [this] { ShowElementData(); });
    connect(issMonitorButton, &QPushButton::clicked, this, [this] { ToggleIssMonitor(); });
    connect(lx200ControlButton, &QPushButton::clicked, this, [this] { RunCommand(kCmdLX200Control); });
    connect(setClockButton, &QPushButton::clicked, this, [this] { OpenDateTimeDialog(); });
    // Pass predictions and the View Plan.
    connect(viewPlanList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { plans_->SelectFromMainList(item); });
    connect(viewPlanSelect, &QPushButton::clicked, this,
            [this] { plans_->SelectFromMainList(viewPlanList->currentItem()); });
    connect(batchPredictButton, &QPushButton::clicked, this, [this] { plans_->OpenBatchPredictions(); });
    connect(predictPassButton, &QPushButton::clicked, this,
            [this] { plans_->OpenPassPredictions(live_.Snapshot().selectedObject); });
    connect(viewPlanButton, &QPushButton::clicked, this, [this] {
        if (settings_.ShowViewPlanMap == 1 && plans_->context().openViewPlanMap) {
            plans_->context().openViewPlanMap();
        } else {
            plans_->OpenViewPlan();
        }
    });
    connect(infoButton, &QPushButton::clicked, this, [this] {
        if (live_.Snapshot().selectedObject != 0) plans_->OpenInformation();
    });
}

void MainWindow::SetNeutralValues() {
    elevationLimit->setValue(10);
    trackingMethod->setValue(0);
    alignmentAdjust->setText(QStringLiteral("0"));
    altitudeFilter->setCurrentIndex(0);
    directionFilter->setCurrentIndex(0);
    visAll->setChecked(true);
    comPort->setCurrentIndex(0);
}

void MainWindow::SwitchSite(int site) {
    sitePanel->ShowSite(SiteSwitch(settings_, sitePanel->SiteOnScreen(), site));
    sitePanel->ShowCurrent(settings_.LastLocation);
    PublishLiveValues();
}

void MainWindow::PublishLiveValues() {
    if (!siteName || !timingOffset || !alignmentAdjust || !trackingMethod || !elevationLimit || !comPort) return;
    LiveValues v = live_.Snapshot();
    v.siteName = ToFile(siteName->text());
    v.siteLatitude = ToFile(siteLatitude->text());
    v.siteLongitude = ToFile(siteLongitude->text());
    v.siteAltitude = ToFile(siteAltitude->text());
    v.siteUtcOffset = ToFile(siteUtcOffset->text());
    v.timingOffsetText = ToFile(timingOffset->text());
    v.alignmentText = ToFile(alignmentAdjust->text());
    v.trackingMethod = trackingMethod->value();
    v.elevationLimitText = ToFile(elevationLimit->text());
    v.comPort = telescopePanel->PortNumber();
    live_.Update([&v](LiveValues& target) { target = v; });
}

// ---------------------------------------------------------------------------------------------
// Commands

void MainWindow::StartStopTracking() { telescopePanel->StartStopTracking(); }

void MainWindow::RefreshPictures() {
    if (telescopePanel) telescopePanel->ShowTrackingPicture(session_->TrackingOn());
}

void MainWindow::ResetFilters() {
    ObjectFilters f = objectPanel->Filters();
    corvane::ResetFilters(f);
    objectPanel->ShowFilters(f);
}

void MainWindow::StopTracking() { telescopePanel->StopIfTracking(); }

void MainWindow::BringToFront() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

// ---------------------------------------------------------------------------------------------
// Element files

void MainWindow::DisplayPass() {
    PushIssSettings();
    const LiveValues v = live_.Snapshot();
    const Site site = ParseSite(v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset);
    const auto catalogue = catalogue_.Get();
    lastDisplay_ = ComputeDisplayPass(*catalogue, v.selectedObject, site, clock_, LeadingNumber(v.timingOffsetText),
                                      panelState_);
    const DisplayTexts& d = lastDisplay_;
    clockLine->setText(FromFile(d.topLine));
    if (!d.objectShown) return;
    if (d.selectionChanged) {
        const bool info = plans_->UpdateInfo(v.selectedObject);
        infoButton->setVisible(info);
        infoButton->setEnabled(info);
    }
    positionPanel->Show(d, nightVision_.IsOn());
}

// ---------------------------------------------------------------------------------------------
// Exit

void MainWindow::ShutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    // S1: stop tracking. An observation not saved yet is asked about first.
    StopTracking();
    if (obsLog_) obsLog_->close();
    // S2: the audit file. S3: the LX200 Control window.
    session_->CloseAuditLog();
    if (lx200Control_) lx200Control_->close();
    // S4: the site fields on screen go into the current site's record.
    // DEPARTURE: the current site stays current rather than switching to site 1, so that
    // LastLocation keeps the site the observer was using.
    sitePanel->ShowSite(SiteSwitch(settings_, sitePanel->SiteOnScreen(), settings_.LastLocation));
    const int current = settings_.LastLocation;
    // S5: release the joystick.
    adjustPanel->StopJoystick();
    displayTimer_.stop();
    // S6: the colours saved at start-up come back.
    if (nightVision_.IsOn()) {
        const bool ok = nightVision_.Restore();
        QMessageBox box(QMessageBox::NoIcon, QString(),
                        QString::fromLatin1(ok ? "All is okay 2 with SETSYSCOLORS" : "All is not okay 2 with SETSYSCOLORS"),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("nightVisionMessage"));
        box.exec();
        if (QAction* a = CommandAction(kCmdNightVision)) a->setChecked(false);
    }
    // S7: the settings file, with the controls' states and "List by NORAD".
    CopyControlsToSettings();
    settings_.LastLocation = current;
    SaveSettingsNow();
    // S8: the View Plan. S9: the observed list.
    plans_->SaveAtExit();
    if (!observedUnreadable_) {
        std::string error;
        if (!observed_.Save("observed.dat", &error))
            QMessageBox::warning(this, QStringLiteral("File Error"),
                                 QStringLiteral("The observed list could not be saved (") +
                                     QString::fromLocal8Bit(error.c_str()) + QStringLiteral(")."));
    }
    // S10: stop the worker threads.
    // The session stops tracking, disconnects (stop sequence, port closed) and ends its thread.
    live_.shuttingDown.store(true);
    issMonitor_->Stop();
    session_->Shutdown();
    if (viewPlanTimer_) killTimer(viewPlanTimer_), viewPlanTimer_ = 0;
    // S11: files are closed with their owners. S12: a short pause before the window closes.
    clock_.Sleep(300);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    ShutDown();
    event->accept();
}

}  // namespace corvane::ui
