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
#include "passes/IssMonitor.h"
#include "scope/PosixSerialPort.h"
#include "ui/common/GuiPost.h"
#include "ui/common/Icons.h"
#include "ui/common/TabStopDelegate.h"
#include "ui/common/Widgets.h"
#include "ui/main/ElementsPanel.h"
#include "ui/main/LoadingWindow.h"
#include "ui/main/ObjectListPanel.h"
#include "ui/main/PositionPanel.h"
#include "ui/main/SitePanel.h"
#include "ui/main/ViewPlanPanel.h"
#include "ui/maps/IssMonitorPanel.h"
#include "ui/maps/MapWindows.h"
#include "ui/obslog/ObsLogWindow.h"
#include "ui/passes/PlanContext.h"
#include "ui/passes/PlanWindows.h"
#include "ui/telescope/AdjustmentPanel.h"
#include "ui/telescope/GuiTrackingDisplay.h"
#include "ui/telescope/Lx200ControlWindow.h"
#include "ui/telescope/TelescopePanel.h"

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
    maps_ = new MapWindows(
        clock_, live_, settings_, catalogue_, *plans_, [this] { return nightVision_.IsOn(); }, this);
    maps_->keepSecondary = [this](QWidget* window) { KeepSecondary(window); };
    PlanContext& plan = plans_->context();
    plan.elementFileName = [this] {
        return elements_->elementFileName ? elements_->elementFileName->text() : QString();
    };
    plan.refreshMainPlan = [this] { RefreshViewPlan(); };
    plan.selectObject = [this](int index) { SelectPlanObject(index); };
    plan.closeSecondaryWindows = [this] { CloseSecondaryWindows(); };
    plan.openSkyMap = [this](double utc) { maps_->OpenSkyView(utc); };
    plan.openWorldMap = [this] { maps_->OpenWorldMap(); };
    plan.openBatchPredictions = [this] { plans_->OpenBatchPredictions(); };
    plan.observed = &observed_;
    plan.altitudeHeights = [this] { return altitudeCache_.Heights(catalogue_.Get()->Count()); };
    plan.catalogueModels = [this] { return altitudeCache_.Models(); };
    plan.openViewPlanMap = [this] { maps_->OpenViewPlanMap(); };
}

MainWindow::~MainWindow() {
    // The session's thread must be gone before the window it reports to.
    if (issPanel_) issPanel_->Monitor().Stop();
    if (session_) session_->Shutdown();
}

QSize MainWindow::DialogUnits(int w, int h) const {
    // A dialog unit is a quarter of the average letter width across and an eighth of the
    // character height down.
    return QSize(DialogUnitsX(this, w),
                 static_cast<int>(std::lround(h * QFontMetrics(font()).height() / 8.0)));
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
    maps_->LoadSkyTables();
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
    telescope_->ShowComDevice();
    session_->Start();
    ApplyInterface();
    // M8: the disclaimer gate.
    bool endRun = false;
    if (!settings_.disclaimerAccepted) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kLegalTitle),
                        QString::fromLatin1(LegalText(true).c_str()), QMessageBox::Yes | QMessageBox::No,
                        this);
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
    elements_->elementFileStatus->setText(QFileInfo(Latin1(settings_.ElementsFile)).isFile()
                                              ? QStringLiteral("  No file loaded.")
                                              : Latin1(NoElementFileText(settings_.ElementsFile)));
    // M10: the position panel's pass every 100 ms (on the GUI thread: a pass takes microseconds).
    connect(&displayTimer_, &QTimer::timeout, this, [this] { DisplayPass(); });
    displayTimer_.start(100);
    // M11: pictures, the elevation spinner, the object buttons hidden, "List by NORAD" and the
    // current site.
    RefreshPictures();
    objects_->elevationLimit->setRange(0, 90);
    elements_->ShowObjectButtons(false);
    elements_->tleDataButton->setVisible(false);
    elements_->infoButton->setVisible(false);
    objects_->listByNorad->setChecked(settings_.NoradSort != 0);
    sites_->ShowSite(settings_.CurrentSite());
    sites_->ShowCurrent(settings_.LastLocation);
    PublishLiveValues();
    // M12: the element file named in the settings, with the small loading window.
    if (!settings_.ElementsFile.empty() && settings_.disclaimerAccepted &&
        QFileInfo(Latin1(settings_.ElementsFile)).isFile()) {
        LoadingWindow loading(this);
        loading.show();
        WaitPainted(1000);
        LoadElements(Latin1(settings_.ElementsFile), loading.secondLine);
        WaitPainted(3000);
        loading.close();
    }
    // M13: with the disclaimer declined the run ends here; otherwise the world map data.
    if (endRun) {
        shutDown_ = true;
        return false;
    }
    maps_->LoadWorldMap();
    // M14: refresh the View Plan once and start its timer.
    RefreshViewPlan();
    viewPlanTimer_ = startTimer(kViewPlanPeriodMs);
    // M15: tab stops of the View Plan list (15 and 100 dialog units).
    planList_->viewPlanList->setProperty(
        "tabStops", QVariantList{DialogUnits(15, 0).width(), DialogUnits(100, 0).width()});
    planList_->viewPlanList->setItemDelegate(new TabStopDelegate(
        {DialogUnits(15, 0).width(), DialogUnits(100, 0).width()}, planList_->viewPlanList));
    // M16: the audit file.
    if (settings_.Audit == 1 && !session_->OpenAuditLog("output.txt"))
        QMessageBox::warning(this, QStringLiteral("File Error"), QStringLiteral("Cannot create output.txt."));
    // M17: size for the ISS monitor panel.
    SizeForIssMonitor();
    // M18: the ISS monitor's thread; the telescope session's thread runs from M7 on.
    PushTrackingSettings();
    PushIssSettings();
    issPanel_->Monitor().Start();
    // M19: idle pictures on the picture buttons.
    RefreshPictures();
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
    clockLine_ = new QLabel;
    clockLine_->setAlignment(Qt::AlignCenter);
    QFont clockFont = clockLine_->font();
    clockFont.setBold(true);
    clockLine_->setFont(clockFont);
    setClockButton_ = SmallButton(QStringLiteral("&Set"));
    top->addStretch();
    top->addWidget(clockLine_);
    top->addWidget(setClockButton_);
    top->addStretch();
    outer->addLayout(top);

    auto* columns = new QHBoxLayout;
    outer->addLayout(columns, 1);
    position_ = new PositionPanel;
    columns->addWidget(position_);
    auto* middle = new QVBoxLayout;
    objects_ = new ObjectListPanel;
    elements_ = new ElementsPanel;
    middle->addWidget(objects_);
    middle->addWidget(elements_);
    middle->addStretch();
    columns->addLayout(middle);
    auto* right = new QVBoxLayout;
    sites_ = new SitePanel;
    adjustments_ = new AdjustmentPanel(settings_);
    display_ = std::make_unique<GuiTrackingDisplay>(nullptr, [this] { RefreshViewPlan(); });
    session_ = std::make_unique<ScopeSession>(*port_, clock_, live_, catalogue_, *display_);
    telescope_ = new TelescopePanel(*session_);
    display_->SetPanel(telescope_);
    session_->SetAuditFailureHandler([this](const std::string& reason) {
        PostToGui(this, [this, reason] {
            QMessageBox::warning(this, QStringLiteral("File Error"),
                                 QStringLiteral("The audit file is no longer written (") +
                                     QString::fromLocal8Bit(reason.c_str()) + QStringLiteral(")."));
        });
    });

    telescope_->beforeMount = [this] { PushTrackingSettings(); };
    telescope_->nightVision = [this] { return nightVision_.IsOn(); };
    right->addWidget(sites_);
    right->addWidget(adjustments_);
    right->addWidget(telescope_);
    columns->addLayout(right);
    planList_ = new ViewPlanPanel;
    columns->addWidget(planList_);
    issPanel_ = new IssMonitorPanel(
        maps_->worldMap(), [this] { return nightVision_.IsOn(); }, clock_, live_, catalogue_);
    columns->addWidget(issPanel_);
    WireControls();
    WireIssMonitor();
}

void MainWindow::WireControls() {
    for (QLineEdit* box :
         {sites_->siteName, sites_->siteLatitude, sites_->siteLongitude, sites_->siteAltitude,
          sites_->siteUtcOffset, adjustments_->timingOffset, adjustments_->alignmentAdjust})
        connect(box, &QLineEdit::textChanged, this, [this] { PublishLiveValues(); });
    connect(telescope_->trackingMethod, &QSlider::valueChanged, this, [this] { PublishLiveValues(); });
    connect(objects_->elevationLimit, &QSpinBox::textChanged, this, [this] { PublishLiveValues(); });
    connect(telescope_->comPort, &QComboBox::currentTextChanged, this, [this] { PublishLiveValues(); });
    for (int i = 1; i <= 3; ++i)
        connect(sites_->siteButtons[i], &QPushButton::clicked, this, [this, i] { SwitchSite(i); });
    adjustments_->startStopTracking = [this] { StartStopTracking(); };
    connect(objects_->refreshListButton, &QPushButton::clicked, this, [this] { BuildObjectList(); });
    connect(objects_->objectList, QOverload<int>::of(&QComboBox::activated), this,
            [this](int row) { SelectObjectFromList(row); });
    connect(objects_->objectList->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        // Typed text: an entry of the list when it matches one, else nothing is selected.
        SelectObjectFromList(
            objects_->objectList->findText(objects_->objectList->currentText(), Qt::MatchFixedString));
    });
    connect(elements_->observationLogButton, &QPushButton::clicked, this, [this] { OpenObslog(); });
    connect(objects_->resetFiltersButton, &QPushButton::clicked, this, [this] { ResetFilters(); });
    connect(elements_->openTleButton, &QPushButton::clicked, this, [this] { OpenTle(); });
    connect(elements_->downloadTleButton, &QPushButton::clicked, this, [this] { OpenDownloadWindow(); });
    connect(elements_->worldMapButton, &QPushButton::clicked, this, [this] { maps_->OpenWorldMap(); });
    connect(elements_->skyMapButton, &QPushButton::clicked, this, [this] { maps_->OpenSkyView(); });
    connect(elements_->tleDataButton, &QPushButton::clicked, this, [this] { ShowElementData(); });
    connect(planList_->issMonitorButton, &QPushButton::clicked, this, [this] { ToggleIssMonitor(); });
    connect(telescope_->lx200ControlButton, &QPushButton::clicked, this,
            [this] { RunCommand(kCmdLX200Control); });
    connect(setClockButton_, &QPushButton::clicked, this, [this] { OpenDateTimeDialog(); });
    // Pass predictions and the View Plan.
    connect(planList_->viewPlanList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { plans_->SelectFromMainList(item); });
    connect(planList_->viewPlanSelect, &QPushButton::clicked, this,
            [this] { plans_->SelectFromMainList(planList_->viewPlanList->currentItem()); });
    connect(elements_->batchPredictButton, &QPushButton::clicked, this,
            [this] { plans_->OpenBatchPredictions(); });
    connect(elements_->predictPassButton, &QPushButton::clicked, this,
            [this] { plans_->OpenPassPredictions(live_.Snapshot().selectedObject); });
    connect(elements_->viewPlanButton, &QPushButton::clicked, this, [this] {
        if (settings_.ShowViewPlanMap == 1 && plans_->context().openViewPlanMap) {
            plans_->context().openViewPlanMap();
        } else {
            plans_->OpenViewPlan();
        }
    });
    connect(elements_->infoButton, &QPushButton::clicked, this, [this] {
        if (live_.Snapshot().selectedObject != 0) plans_->OpenInformation();
    });
}

void MainWindow::SetNeutralValues() {
    objects_->elevationLimit->setValue(10);
    telescope_->trackingMethod->setValue(0);
    adjustments_->alignmentAdjust->setText(QStringLiteral("0"));
    objects_->altitudeFilter->setCurrentIndex(0);
    objects_->directionFilter->setCurrentIndex(0);
    objects_->visAll->setChecked(true);
    telescope_->comPort->setCurrentIndex(0);
}

void MainWindow::SwitchSite(int site) {
    sites_->ShowSite(SiteSwitch(settings_, sites_->SiteOnScreen(), site));
    sites_->ShowCurrent(settings_.LastLocation);
    PublishLiveValues();
}

void MainWindow::PublishLiveValues() {
    if (!sites_->siteName || !adjustments_->timingOffset || !adjustments_->alignmentAdjust ||
        !telescope_->trackingMethod || !objects_->elevationLimit || !telescope_->comPort)
        return;
    LiveValues v = live_.Snapshot();
    v.siteName = ToLatin1(sites_->siteName->text());
    v.siteLatitude = ToLatin1(sites_->siteLatitude->text());
    v.siteLongitude = ToLatin1(sites_->siteLongitude->text());
    v.siteAltitude = ToLatin1(sites_->siteAltitude->text());
    v.siteUtcOffset = ToLatin1(sites_->siteUtcOffset->text());
    v.timingOffsetText = ToLatin1(adjustments_->timingOffset->text());
    v.alignmentText = ToLatin1(adjustments_->alignmentAdjust->text());
    v.trackingMethod = telescope_->trackingMethod->value();
    v.elevationLimitText = ToLatin1(objects_->elevationLimit->text());
    v.comPort = telescope_->PortNumber();
    live_.Update([&v](LiveValues& target) { target = v; });
}

// ---------------------------------------------------------------------------------------------
// Commands

void MainWindow::StartStopTracking() { telescope_->StartStopTracking(); }

void MainWindow::RefreshPictures() {
    if (telescope_) telescope_->ShowTrackingPicture(session_->TrackingOn());
}

void MainWindow::ResetFilters() {
    ObjectFilters f = objects_->Filters();
    corvane::ResetFilters(f);
    objects_->ShowFilters(f);
}

void MainWindow::StopTracking() { telescope_->StopIfTracking(); }

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
    lastDisplay_ = ComputeDisplayPass(*catalogue, v.selectedObject, site, clock_,
                                      LeadingNumber(v.timingOffsetText), panelState_);
    const DisplayTexts& d = lastDisplay_;
    clockLine_->setText(Latin1(d.topLine));
    if (!d.objectShown) return;
    if (d.selectionChanged) {
        const bool info = plans_->UpdateInfo(v.selectedObject);
        elements_->infoButton->setVisible(info);
        elements_->infoButton->setEnabled(info);
    }
    position_->Show(d, nightVision_.IsOn());
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
    sites_->ShowSite(SiteSwitch(settings_, sites_->SiteOnScreen(), settings_.LastLocation));
    const int current = settings_.LastLocation;
    // S5: release the joystick.
    adjustments_->StopJoystick();
    displayTimer_.stop();
    // S6: the colours saved at start-up come back.
    if (nightVision_.IsOn()) {
        const bool ok = nightVision_.Restore();
        QMessageBox box(QMessageBox::NoIcon, QString(),
                        QString::fromLatin1(ok ? "All is okay 2 with SETSYSCOLORS"
                                               : "All is not okay 2 with SETSYSCOLORS"),
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
    issPanel_->Monitor().Stop();
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
