#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimerEvent>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>

#include "core/Legal.h"
#include "core/ScopeInterface.h"
#include "core/Text.h"
#include "scope/PosixSerialPort.h"
#include "scope/ScopeType.h"
#include "scope/SerialLink.h"
#include "scope/TrackingDriver.h"
#include "ui/ElementDataWindow.h"
#include "ui/ShownText.h"
#include "ui/FindTimingDialog.h"
#include "ui/GuiTrackingDisplay.h"
#include "ui/Joystick.h"
#include "ui/MouseAdjustDialog.h"
#include "ui/Icons.h"
#include "ui/LoadingWindow.h"
#include "ui/InterfaceDialog.h"
#include "ui/PlanWindows.h"
#include "ui/PreferencesDialog.h"
#include "ui/TabStopDelegate.h"

namespace corvane::ui {

namespace {

// Texts of the settings file are Latin-1; the window shows Unicode.
QString FromFile(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
std::string ToFile(const QString& s) { return s.toLatin1().toStdString(); }

QLineEdit* ReadOnlyBox() {
    auto* box = new QLineEdit;
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QPushButton* SmallButton(const QString& text) {
    auto* b = new QPushButton(text);
    b->setAutoDefault(false);
    return b;
}

// The Timing Offset and Alignment Adjustment boxes as the adjustment tools see them.
class WindowAdjustmentBoxes : public AdjustmentTarget {
public:
    WindowAdjustmentBoxes(QLineEdit* timing, QLineEdit* alignment) : timing_(timing), alignment_(alignment) {}
    std::string TimingOffsetText() const override { return ToFile(timing_->text()); }
    std::string AlignmentText() const override { return ToFile(alignment_->text()); }
    // Writing a box publishes the values (textChanged).
    void SetTimingOffsetText(const std::string& text) override { timing_->setText(FromFile(text)); }
    void SetAlignmentText(const std::string& text) override { alignment_->setText(FromFile(text)); }

private:
    QLineEdit* timing_;
    QLineEdit* alignment_;
};

}  // namespace

MainWindow::MainWindow(Clock& clock, LiveState& live, QWidget* parent)
    : QMainWindow(parent), clock_(clock), live_(live), audit_(clock) {
    port_ = std::make_unique<PosixSerialPort>();
    display_ = std::make_unique<GuiTrackingDisplay>(this);
    link_ = std::make_unique<SerialLink>(*port_, clock_, *display_, &audit_);
    tracker_ = std::make_unique<TrackingDriver>(*link_, live_, catalogue_, clock_, *display_);
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
    plan.openSkyMap = [this](double) { NotYetAvailable(QStringLiteral("The sky view")); };
    plan.openWorldMap = [this] { NotYetAvailable(QStringLiteral("The world map")); };
    plan.openBatchPredictions = [this] { NotYetAvailable(QStringLiteral("Batch predictions")); };
    plan.openViewPlanMap = [this] { NotYetAvailable(QStringLiteral("The View Plan map")); };
}

MainWindow::~MainWindow() {
    // The tracking thread must be gone before the window it reports to.
    tracker_->Shutdown();
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
    // M4: the saved View Plan and the observed list (the sky tables belong to the sky view, not
    // present in this build).
    plans_->LoadAtStart();
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
    settings_ = LoadSettingsFile(kConfigFileName);
    ApplySettingsToControls();
    ShowComDevice();
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
    // M9.
    elementFileStatus->setText(QStringLiteral("  No file loaded."));
    // M10: the position panel's pass every 100 ms (on the GUI thread: a pass takes microseconds).
    connect(&displayTimer_, &QTimer::timeout, this, [this] { DisplayPass(); });
    displayTimer_.start(100);
    // M11: pictures, the elevation spinner, the object buttons hidden, "List by NORAD" and the
    // current site.
    RefreshPictures();
    elevationLimit->setRange(0, 90);
    ShowObjectButtons(false);
    tleDataButton->setVisible(false);
    infoButton->setVisible(false);
    listByNorad->setChecked(settings_.NoradSort != 0);
    ShowSite(settings_.CurrentSite());
    for (int i = 1; i <= 3; ++i) siteButtons[i]->setChecked(i == settings_.LastLocation);
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
    // M13: with the disclaimer declined the run ends here; the world map data belongs to the
    // world map.
    if (endRun) {
        shutDown_ = true;
        return false;
    }
    // M14: refresh the View Plan once and start its timer.
    RefreshViewPlan();
    viewPlanTimer_ = startTimer(kViewPlanPeriodMs);
    // M15: tab stops of the View Plan list (15 and 100 dialog units).
    viewPlanList->setProperty("tabStops", QVariantList{DialogUnits(15, 0).width(), DialogUnits(100, 0).width()});
    viewPlanList->setItemDelegate(
        new TabStopDelegate({DialogUnits(15, 0).width(), DialogUnits(100, 0).width()}, viewPlanList));
    // M16: the audit file.
    if (settings_.Audit == 1 && !audit_.Open("output.txt"))
        QMessageBox::warning(this, QStringLiteral("File Error"), QStringLiteral("Cannot create output.txt."));
    // M17: size for the ISS monitor panel.
    SizeForIssMonitor();
    // M18: the tracking thread (the ISS visibility alert belongs to the ISS monitor, not present
    // in this build).
    PushTrackingSettings();
    tracker_->StartThread();
    // M19: idle pictures on the picture buttons.
    RefreshPictures();
    initialised_ = true;
    return true;
}

void MainWindow::BuildMenus() {
    auto add = [this](QMenu* menu, const QString& text, int command) {
        QAction* a = menu->addAction(text);
        a->setData(command);
        connect(a, &QAction::triggered, this, [this, command] { RunCommand(command); });
        actions_[command] = a;
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    add(file, QStringLiteral("&Exit"), kCmdExit);
    QMenu* satellite = menuBar()->addMenu(QStringLiteral("&Satellite"));
    add(satellite, QStringLiteral("&Create View Plan TLE File"), kCmdCreateViewPlanTle);
    add(satellite, QStringLiteral("Observation Log &Report"), kCmdObservationReport);
    QMenu* telescope = menuBar()->addMenu(QStringLiteral("Telescope"));
    add(telescope, QStringLiteral("&LX200 Control"), kCmdLX200Control);
    add(telescope, QStringLiteral("&Interface  Protocol"), kCmdInterface);
    QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
    add(view, QStringLiteral("&Night Vision"), kCmdNightVision)->setCheckable(true);
    QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
    add(options, QStringLiteral("&Preferences"), kCmdPreferences);
    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    add(help, QStringLiteral("&Help Topics"), kCmdHelpTopics);
    add(help, QStringLiteral("&Legal"), kCmdLegal);
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

    // ---- position panel ----
    auto* panel = new QGroupBox;
    auto* pl = new QGridLayout(panel);
    pl->setVerticalSpacing(1);
    const char* const captions[] = {"Satellite Name:", "NORAD No.:", "Launch Yr/No.:", "T+Epoch:", "Julian Date:",
                                    "Local Time:", "UTC Time:", "Azimuth:", "Elevation:", "Range:", "Velocity:",
                                    "Latitude:", "Longitude:", "Altitude:", "R.A.:", "Dec.:"};
    int row = 0;
    for (const char* c : captions) {
        auto* box = ReadOnlyBox();
        box->setMinimumWidth(DialogUnits(92, 0).width());
        panelFields.insert(QString::fromLatin1(c), box);
        pl->addWidget(new QLabel(QString::fromLatin1(c)), row, 0, Qt::AlignRight);
        pl->addWidget(box, row, 1);
        ++row;
    }
    directionLine = new QLabel;
    directionLine->setAlignment(Qt::AlignCenter);
    pl->addWidget(directionLine, row++, 0, 1, 2);
    auto* sunRow = new QHBoxLayout;
    sunIcon = new QLabel;
    sunIcon->setFixedSize(20, 20);
    sunLine = new QLabel;
    sunRow->addStretch();
    sunRow->addWidget(sunIcon);
    sunRow->addWidget(sunLine);
    sunRow->addStretch();
    pl->addLayout(sunRow, row++, 0, 1, 2);
    pl->setRowStretch(row, 1);
    columns->addWidget(panel);

    // ---- object list, filters and element file ----
    auto* middle = new QVBoxLayout;
    auto* objects = new QGroupBox(QStringLiteral("Objects"));
    auto* ol = new QGridLayout(objects);
    objectList = new QComboBox;
    objectList->setEditable(true);
    objectList->setInsertPolicy(QComboBox::NoInsert);
    objectList->setMinimumWidth(DialogUnits(110, 0).width());
    ol->addWidget(objectList, 0, 0, 1, 3);
    listStatus = new QLabel;
    ol->addWidget(listStatus, 1, 0, 1, 3);
    refreshListButton = SmallButton(QStringLiteral("&Refresh List"));
    resetFiltersButton = SmallButton(QStringLiteral("R&eset Filters"));
    ol->addWidget(refreshListButton, 2, 0);
    ol->addWidget(resetFiltersButton, 2, 1, 1, 2);
    visAll = new QRadioButton(QStringLiteral("All"));
    visAboveHorizon = new QRadioButton(QStringLiteral("Above Horizon"));
    auto* visGroup = new QButtonGroup(this);
    visGroup->addButton(visAll);
    visGroup->addButton(visAboveHorizon);
    ol->addWidget(visAll, 3, 0);
    ol->addWidget(visAboveHorizon, 3, 1, 1, 2);
    elevationFilter = new QCheckBox(QStringLiteral("Elevation >"));
    elevationLimit = new QSpinBox;
    elevationLimit->setRange(0, 90);
    ol->addWidget(elevationFilter, 4, 0);
    ol->addWidget(elevationLimit, 4, 1);
    ascendingOnly = new QCheckBox(QStringLiteral("Ascending Only"));
    sunOnly = new QCheckBox(QStringLiteral("In Sun Only"));
    favorites = new QCheckBox(QStringLiteral("Favorites"));
    neverObserved = new QCheckBox(QStringLiteral("Never Observed"));
    geostationaryOnly = new QCheckBox(QStringLiteral("Geostationary Only"));
    listByNorad = new QCheckBox(QStringLiteral("List by NORAD"));
    ol->addWidget(ascendingOnly, 5, 0);
    ol->addWidget(sunOnly, 5, 1, 1, 2);
    ol->addWidget(favorites, 6, 0);
    ol->addWidget(neverObserved, 6, 1, 1, 2);
    ol->addWidget(geostationaryOnly, 7, 0);
    ol->addWidget(listByNorad, 7, 1, 1, 2);
    directionFilter = new QComboBox;
    for (const char* d : {"All", "N", "NE", "E", "SE", "S", "SW", "W", "NW"}) directionFilter->addItem(d);
    altitudeFilter = new QComboBox;
    for (const char* a : {"All", "Low", "Mod", "High"}) altitudeFilter->addItem(a);
    ol->addWidget(new QLabel(QStringLiteral("Direction")), 8, 0);
    ol->addWidget(directionFilter, 8, 1, 1, 2);
    ol->addWidget(new QLabel(QStringLiteral("Altitude")), 9, 0);
    ol->addWidget(altitudeFilter, 9, 1, 1, 2);
    middle->addWidget(objects);

    auto* elements = new QGroupBox(QStringLiteral("Elements"));
    auto* el = new QGridLayout(elements);
    openTleButton = SmallButton(QStringLiteral("Open TLE"));
    downloadTleButton = SmallButton(QStringLiteral("Download TLE"));
    el->addWidget(openTleButton, 0, 0);
    el->addWidget(downloadTleButton, 0, 1);
    elementFileName = ReadOnlyBox();
    el->addWidget(elementFileName, 1, 0, 1, 2);
    elementFileStatus = new QLabel;
    el->addWidget(elementFileStatus, 2, 0, 1, 2);
    middle->addWidget(elements);

    auto* actionsBox = new QGroupBox;
    auto* al = new QGridLayout(actionsBox);
    predictPassButton = SmallButton(QStringLiteral("&Predict Pass"));
    batchPredictButton = SmallButton(QStringLiteral("&Batch Predict"));
    viewPlanButton = SmallButton(QStringLiteral("&View Plan"));
    infoButton = SmallButton(QStringLiteral("&Info"));
    tleDataButton = SmallButton(QStringLiteral("T&LE Data"));
    skyMapButton = SmallButton(QStringLiteral("S&ky Map"));
    worldMapButton = SmallButton(QStringLiteral("&World Map"));
    observationLogButton = SmallButton(QStringLiteral("&Observation Log"));
    QPushButton* grid[] = {predictPassButton, batchPredictButton, viewPlanButton, infoButton,
                           tleDataButton,     skyMapButton,       worldMapButton, observationLogButton};
    for (int i = 0; i < 8; ++i) al->addWidget(grid[i], i / 2, i % 2);
    middle->addWidget(actionsBox);
    middle->addStretch();
    columns->addLayout(middle);

    // ---- site, corrections, telescope, View Plan ----
    auto* right = new QVBoxLayout;
    auto* site = new QGroupBox(QStringLiteral("Location"));
    auto* sl = new QGridLayout(site);
    auto* siteRow = new QHBoxLayout;
    auto* siteGroup = new QButtonGroup(this);
    for (int i = 1; i <= 3; ++i) {
        siteButtons[i] = SmallButton(QString::number(i));
        siteButtons[i]->setCheckable(true);
        siteButtons[i]->setMaximumWidth(DialogUnits(16, 0).width() + 12);
        siteGroup->addButton(siteButtons[i], i);
        siteRow->addWidget(siteButtons[i]);
    }
    siteGroup->setExclusive(true);
    siteRow->addStretch();
    sl->addLayout(siteRow, 0, 0, 1, 2);
    siteName = new QLineEdit;
    siteLatitude = new QLineEdit;
    siteLongitude = new QLineEdit;
    siteAltitude = new QLineEdit;
    siteUtcOffset = new QLineEdit;
    siteName->setMaxLength(SiteRecord::kNameWidth);
    siteLatitude->setMaxLength(SiteRecord::kLatitudeWidth);
    siteLongitude->setMaxLength(SiteRecord::kLongitudeWidth);
    siteAltitude->setMaxLength(SiteRecord::kAltitudeWidth);
    siteUtcOffset->setMaxLength(SiteRecord::kUtcOffsetWidth);
    const std::pair<const char*, QLineEdit*> siteFields[] = {{"Name", siteName},
                                                             {"Latitude", siteLatitude},
                                                             {"Longitude", siteLongitude},
                                                             {"Altitude", siteAltitude},
                                                             {"UTC Offset", siteUtcOffset}};
    row = 1;
    for (const auto& [caption, box] : siteFields) {
        sl->addWidget(new QLabel(QString::fromLatin1(caption)), row, 0);
        sl->addWidget(box, row, 1);
        connect(box, &QLineEdit::textChanged, this, [this] { PublishLiveValues(); });
        ++row;
    }
    right->addWidget(site);

    auto* adjust = new QGroupBox;
    auto* adl = new QGridLayout(adjust);
    adl->addWidget(new QLabel(QStringLiteral("Timing Offset (sec.)")), 0, 0, 1, 4);
    timingOffset = new QLineEdit;
    adl->addWidget(timingOffset, 0, 4, 1, 2);
    const char* const timingTexts[] = {"<<", "<", ">", ">>"};
    for (int i = 0; i < 4; ++i) {
        timingButtons[i] = SmallButton(QString::fromLatin1(timingTexts[i]));
        adl->addWidget(timingButtons[i], 1, i + 1);
    }
    adl->addWidget(new QLabel(QStringLiteral("Alignment Adjustment (steps)")), 2, 0, 1, 4);
    alignmentAdjust = new QLineEdit;
    adl->addWidget(alignmentAdjust, 2, 4, 1, 2);
    alignmentMinus = SmallButton(QStringLiteral("-"));
    alignmentPlus = SmallButton(QStringLiteral("+"));
    adl->addWidget(alignmentMinus, 3, 2);
    adl->addWidget(alignmentPlus, 3, 3);
    joystickAdjust = new QCheckBox(QStringLiteral("Joystick Adjust"));
    mouseAdjustButton = SmallButton(QStringLiteral("&Mouse Adjust"));
    findTimingButton = SmallButton(QStringLiteral("Find"));
    adl->addWidget(joystickAdjust, 4, 0, 1, 2);
    adl->addWidget(mouseAdjustButton, 4, 2, 1, 2);
    adl->addWidget(findTimingButton, 4, 4, 1, 2);
    right->addWidget(adjust);

    auto* scope = new QGroupBox(QStringLiteral("Telescope"));
    auto* tl = new QGridLayout(scope);
    tl->addWidget(new QLabel(QStringLiteral("COM Port")), 0, 0);
    comPort = new QComboBox;
    comPort->setEditable(true);
    for (int i = 1; i <= 16; ++i) comPort->addItem(QString::number(i));
    tl->addWidget(comPort, 0, 1);
    connectButton = SmallButton(QStringLiteral("&Connect"));
    tl->addWidget(connectButton, 0, 2);
    comDevice = new QLabel;
    tl->addWidget(comDevice, 1, 0, 1, 3);
    trackButton = new QToolButton;
    trackButton->setText(QStringLiteral("Start Tracking"));
    trackButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    trackButton->setIconSize(QSize(24, 24));
    tl->addWidget(trackButton, 2, 0, 1, 3);
    tl->addWidget(new QLabel(QStringLiteral("Tracking Method")), 3, 0, 1, 3);
    trackingMethod = new QSlider(Qt::Horizontal);
    trackingMethod->setRange(0, 5);
    trackingMethod->setTickPosition(QSlider::TicksBelow);
    trackingMethod->setPageStep(1);
    tl->addWidget(trackingMethod, 4, 0, 1, 3);
    tl->addWidget(new QLabel(QStringLiteral("Continuous")), 5, 0);
    tl->addWidget(new QLabel(QStringLiteral("Leap Frog")), 5, 2, Qt::AlignRight);
    raStatus = new QLabel(QStringLiteral("R.A. Tracking Stopped"));
    decStatus = new QLabel(QStringLiteral("Dec. Tracking Stopped"));
    raBar = new QProgressBar;
    decBar = new QProgressBar;
    for (QProgressBar* bar : {raBar, decBar}) {
        bar->setRange(0, 16);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setMaximumHeight(10);
    }
    tl->addWidget(raStatus, 6, 0, 1, 3);
    tl->addWidget(raBar, 7, 0, 1, 3);
    tl->addWidget(decStatus, 8, 0, 1, 3);
    tl->addWidget(decBar, 9, 0, 1, 3);
    lx200ControlButton = SmallButton(QStringLiteral("LX200 Control"));
    tl->addWidget(lx200ControlButton, 10, 0, 1, 3);
    right->addWidget(scope);
    columns->addLayout(right);

    auto* planColumn = new QVBoxLayout;
    auto* plan = new QGroupBox(QStringLiteral("View Plan"));
    auto* vpl = new QVBoxLayout(plan);
    viewPlanList = new QListWidget;
    viewPlanList->setMinimumWidth(DialogUnits(100, 0).width());
    vpl->addWidget(viewPlanList, 1);
    viewPlanSelect = SmallButton(QStringLiteral("&Select"));
    viewPlanSelect->setVisible(false);
    vpl->addWidget(viewPlanSelect);
    planColumn->addWidget(plan, 1);
    issMonitorButton = SmallButton(QStringLiteral("ISS Monitor >>"));
    planColumn->addWidget(issMonitorButton);
    columns->addLayout(planColumn);

    issPanel = new QFrame;
    issPanel->setFrameShape(QFrame::StyledPanel);
    issPanel->setMinimumWidth(DialogUnits(100, 0).width());
    auto* issLayout = new QVBoxLayout(issPanel);
    auto* issTitle = new QLabel(QStringLiteral("ISS Monitor"));
    issTitle->setAlignment(Qt::AlignCenter);
    issLayout->addWidget(issTitle);
    issLayout->addStretch();
    columns->addWidget(issPanel);

    // ---- wiring of what this build does ----
    for (int i = 1; i <= 3; ++i) connect(siteButtons[i], &QPushButton::clicked, this, [this, i] { SwitchSite(i); });
    adjustBoxes_ = std::make_unique<WindowAdjustmentBoxes>(timingOffset, alignmentAdjust);
    const TimingButton timingOrder[] = {TimingButton::kMinusCoarse, TimingButton::kMinusFine, TimingButton::kPlusFine,
                                        TimingButton::kPlusCoarse};
    for (int i = 0; i < 4; ++i)
        connect(timingButtons[i], &QPushButton::clicked, this,
                [this, b = timingOrder[i]] { PressTimingButton(*adjustBoxes_, b, settings_); });
    connect(alignmentMinus, &QPushButton::clicked, this, [this] { PressAlignmentButton(*adjustBoxes_, false, settings_); });
    connect(alignmentPlus, &QPushButton::clicked, this, [this] { PressAlignmentButton(*adjustBoxes_, true, settings_); });
    connect(refreshListButton, &QPushButton::clicked, this, [this] { BuildObjectList(); });
    connect(objectList, QOverload<int>::of(&QComboBox::activated), this, [this](int row) { SelectObjectFromList(row); });
    connect(objectList->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        // Typed text: an entry of the list when it matches one, else nothing is selected.
        const int row = objectList->findText(objectList->currentText(), Qt::MatchFixedString);
        SelectObjectFromList(row);
    });
    connect(joystickAdjust, &QCheckBox::toggled, this, [this](bool on) { ToggleJoystick(on); });
    // Features of later versions say so instead of doing nothing.
    const std::pair<QPushButton*, const char*> later[] = {
        {downloadTleButton, "Downloading element files"}, {batchPredictButton, "Batch predictions"},
        {observationLogButton, "The observation log"},    {skyMapButton, "The sky view"},
        {worldMapButton, "The world map"},                {setClockButton, "Setting the program clock"}};
    for (const auto& [button, what] : later)
        connect(button, &QPushButton::clicked, this, [this, what = QString::fromLatin1(what)] { NotYetAvailable(what); });
    connect(mouseAdjustButton, &QPushButton::clicked, this, [this] { OpenMouseAdjust(); });
    connect(findTimingButton, &QPushButton::clicked, this, [this] { OpenFindTiming(); });
    connect(timingOffset, &QLineEdit::textChanged, this, [this] { PublishLiveValues(); });
    connect(alignmentAdjust, &QLineEdit::textChanged, this, [this] { PublishLiveValues(); });
    connect(trackingMethod, &QSlider::valueChanged, this, [this] { PublishLiveValues(); });
    connect(elevationLimit, &QSpinBox::textChanged, this, [this] { PublishLiveValues(); });
    connect(comPort, &QComboBox::currentTextChanged, this, [this] { PublishLiveValues(); });
    connect(resetFiltersButton, &QPushButton::clicked, this, [this] { ResetFilters(); });
    connect(openTleButton, &QPushButton::clicked, this, [this] { OpenTle(); });
    connect(tleDataButton, &QPushButton::clicked, this, [this] { ShowElementData(); });
    connect(issMonitorButton, &QPushButton::clicked, this, [this] { ToggleIssMonitor(); });
    connect(lx200ControlButton, &QPushButton::clicked, this, [this] { RunCommand(kCmdLX200Control); });
    connect(connectButton, &QPushButton::clicked, this, [this] { ConnectOrDisconnect(); });
    connect(trackButton, &QToolButton::clicked, this, [this] { StartStopTracking(); });
    connect(comPort, &QComboBox::currentTextChanged, this, [this] { ShowComDevice(); });
    connect(viewPlanList, &QListWidget::itemClicked, this, [this] { viewPlanSelect->setVisible(true); });
    // Pass predictions and the View Plan.
    connect(viewPlanList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { plans_->SelectFromMainList(item); });
    connect(viewPlanSelect, &QPushButton::clicked, this,
            [this] { plans_->SelectFromMainList(viewPlanList->currentItem()); });
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

void MainWindow::ApplySettingsToControls() {
    const Settings& s = settings_;
    directionFilter->setCurrentText(FromFile(s.Direction));
    timingOffset->setText(FromFile(s.TimingOffset));
    elevationLimit->setValue(std::min(90, std::max(0, LeadingInt(s.ElevationLimit))));
    elementFileName->setText(FromFile(s.ElementsFile));
    comPort->setCurrentText(QString::number(s.ComPort));
    sunOnly->setChecked(s.SunOnly != 0);
    favorites->setChecked(s.Favorites != 0);
    neverObserved->setChecked(s.NeverObserved != 0);
    elevationFilter->setChecked(s.ObjElevation != 0);
    ascendingOnly->setChecked(s.ObjRising != 0);
    altitudeFilter->setCurrentText(FromFile(s.ObjAlt));
    trackingMethod->setValue(std::min(5, std::max(0, s.TrackMethod)));
    (s.ObjVisAboveHorizon ? visAboveHorizon : visAll)->setChecked(true);
    listByNorad->setChecked(s.NoradSort != 0);
}

void MainWindow::CopyControlsToSettings() {
    Settings& s = settings_;
    s.Direction = ToFile(directionFilter->currentText().trimmed());
    s.TimingOffset = ToFile(timingOffset->text());
    s.ElementsFile = ToFile(elementFileName->text());
    s.ElevationLimit = ToFile(elevationLimit->text());
    const QString port = comPort->currentText().trimmed();
    s.ComPort = 1;
    for (int p = 1; p <= 16; ++p)
        if (port == QString::number(p)) s.ComPort = p;
    s.SunOnly = sunOnly->isChecked();
    s.Favorites = favorites->isChecked();
    s.NeverObserved = neverObserved->isChecked();
    s.ObjElevation = elevationFilter->isChecked();
    s.ObjRising = ascendingOnly->isChecked();
    s.ObjAlt = ToFile(altitudeFilter->currentText());
    s.TrackMethod = trackingMethod->value();
    s.ObjVisAboveHorizon = visAboveHorizon->isChecked();
}

// ---------------------------------------------------------------------------------------------
// Sites and shared values

void MainWindow::ShowSite(const SiteRecord& site) {
    siteName->setText(FromFile(site.name));
    siteLatitude->setText(FromFile(site.latitude));
    siteLongitude->setText(FromFile(site.longitude));
    siteAltitude->setText(FromFile(site.altitude));
    siteUtcOffset->setText(FromFile(site.utcOffset));
}

SiteRecord MainWindow::SiteOnScreen() const {
    return SiteRecord{ToFile(siteName->text()), ToFile(siteLatitude->text()), ToFile(siteLongitude->text()),
                      ToFile(siteAltitude->text()), ToFile(siteUtcOffset->text())};
}

void MainWindow::SwitchSite(int site) {
    ShowSite(SiteSwitch(settings_, SiteOnScreen(), site));
    for (int i = 1; i <= 3; ++i) siteButtons[i]->setChecked(i == settings_.LastLocation);
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
    const int port = LeadingInt(ToFile(comPort->currentText()));
    v.comPort = (port >= 1 && port <= 16) ? port : 1;
    live_.Update([&v](LiveValues& target) { target = v; });
}

void MainWindow::ShowObjectButtons(bool selected) {
    for (QPushButton* b : {observationLogButton, skyMapButton, worldMapButton, predictPassButton})
        b->setVisible(selected);
}

// ---------------------------------------------------------------------------------------------
// Commands

void MainWindow::RunCommand(int command) {
    switch (command) {
        case kCmdExit:
            ShutDown();
            close();
            break;
        case kCmdCreateViewPlanTle:
            plans_->OpenViewPlanTle();
            break;
        case kCmdObservationReport:
            NotYetAvailable(QStringLiteral("Observation log reports"));
            break;
        case kCmdLX200Control:
            NotYetAvailable(QStringLiteral("The LX200 Control panel"));
            break;
        case kCmdInterface:
            OpenInterfaceDialog();
            break;
        case kCmdNightVision:
            ToggleNightVision();
            break;
        case kCmdPreferences:
            OpenPreferences();
            break;
        case kCmdHelpTopics:
            OpenHelp();
            break;
        case kCmdLegal:
            ShowLegal();
            break;
        default:
            break;
    }
}

void MainWindow::NotYetAvailable(const QString& what) {
    QMessageBox::information(this, QStringLiteral("Corvane"),
                             what + QStringLiteral(" is not available in this version of Corvane yet."));
}

void MainWindow::ApplyInterface() {
    // 1. Stop tracking and close the serial link before anything changes.
    StopTracking();
    if (link_->ConnectedPort() != 0) link_->Disconnect();
    // 2-3. The display name in the title; unknown codes become LX200.
    if (!IsKnownScopeCode(settings_.ScopeType)) settings_.ScopeType = "LX200";
    const ScopeInterface& iface = FindScopeInterface(settings_.ScopeType);
    setWindowTitle(QString::fromLatin1(MainWindowTitle(iface.displayName).c_str()));
    link_->SetScopeType(ScopeTypeFromCode(settings_.ScopeType));
    // 4. The LX200-only controls.
    const bool lx200 = settings_.ScopeType == "LX200";
    if (raBar) {
        raBar->setVisible(lx200);
        decBar->setVisible(lx200);
        lx200ControlButton->setVisible(lx200);
    }
    if (QAction* a = CommandAction(kCmdLX200Control)) a->setEnabled(lx200);
    // 5. The mount buttons of the interface dialog, while it is still there.
    if (interfaceDialog_) interfaceDialog_->ReadMountButtons(settings_);
}

void MainWindow::OpenInterfaceDialog() {
    InterfaceDialog dialog(settings_, this);
    interfaceDialog_ = &dialog;
    dialog.exec();
    ApplyInterface();
    interfaceDialog_ = nullptr;
}

void MainWindow::OpenPreferences() {
    PreferencesDialog dialog(settings_, this);
    dialog.exec();
    PushTrackingSettings();
}

void MainWindow::PushTrackingSettings() {
    TrackingSettings t;
    t.lgpsMount = settings_.LGPSMount;
    t.ngpsMount = settings_.NGPSMount;
    t.limitEnabled = settings_.TrackingLimitEnable == 1;
    t.limitDegrees = std::min(90, std::max(0, settings_.TrackingLimit));
    t.limitElevation = settings_.LimitElevation == 1;
    t.trackAdjustMs = std::max(0, settings_.TrackAdjust);
    t.degChar = static_cast<unsigned char>(settings_.DegChar);
    t.elementFile = ToFile(elementFileName->text());
    t.logFolder = ".";
    tracker_->SetSettings(t);
}

void MainWindow::ShowComDevice() {
    const int port = LeadingInt(ToFile(comPort->currentText()));
    const int n = (port >= 1 && port <= 16) ? port : 1;
    comDevice->setText(QStringLiteral("COM%1 is %2").arg(n).arg(QString::fromLocal8Bit(SerialDeviceForPort(n).c_str())));
}

void MainWindow::ConnectOrDisconnect() {
    if (link_->ConnectedPort() == 0) {
        const int port = LeadingInt(ToFile(comPort->currentText()));
        PushTrackingSettings();
        link_->Connect((port >= 1 && port <= 16) ? port : 1);
    } else {
        if (tracker_->TrackingOn()) tracker_->StopTracking();
        link_->Disconnect();
        connectButton->setText(QStringLiteral("&Connect"));
        comPort->setEnabled(true);
    }
}

void MainWindow::StartStopTracking() {
    PushTrackingSettings();
    tracker_->StartStopTracking();
}

void MainWindow::ShowTrackingPicture(bool tracking) {
    trackButton->setIcon(PictureIcon(tracking ? Picture::Stop : Picture::Start, nightVision_.IsOn()));
    trackButton->setText(tracking ? QStringLiteral("Stop Tracking") : QStringLiteral("Start Tracking"));
}

void MainWindow::ToggleNightVision() {
    QAction* action = CommandAction(kCmdNightVision);
    const bool turningOn = !nightVision_.IsOn();
    bool ok;
    if (turningOn) {
        ok = nightVision_.Apply();
    } else {
        ok = nightVision_.Restore();
    }
    QMessageBox box(QMessageBox::NoIcon, QString(),
                    QString::fromLatin1(turningOn ? (ok ? "All is okay 1 with SETSYSCOLORS"
                                                        : "All is not okay 1 with SETSYSCOLORS")
                                                  : (ok ? "All is okay 2 with SETSYSCOLORS"
                                                        : "All is not okay 2 with SETSYSCOLORS")),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("nightVisionMessage"));
    box.exec();
    if (action) action->setChecked(nightVision_.IsOn());
    RefreshPictures();
    update();
}

void MainWindow::ShowLegal() {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kLegalTitle), QString::fromLatin1(LegalText(false).c_str()),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("legal"));
    box.exec();
}

void MainWindow::OpenHelp() {
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("cvhlp.htm"));
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        QMessageBox::warning(this, QStringLiteral("Help"),
                             QStringLiteral("No viewer could be started for ") + path +
                                 QStringLiteral(". Open it in a web browser."));
    }
}

void MainWindow::RefreshPictures() {
    if (!trackButton) return;
    ShowTrackingPicture(live_.trackingOn.load());
}

void MainWindow::ResetFilters() {
    ObjectFilters f = FiltersOnScreen();
    corvane::ResetFilters(f);
    ShowFilters(f);
}

void MainWindow::SizeForIssMonitor() {
    const bool open = settings_.ISSMonitor != 0;
    issPanel->setVisible(open);
    issMonitorButton->setText(open ? QStringLiteral("<< Close Monitor") : QStringLiteral("ISS Monitor >>"));
    const QSize wanted = DialogUnits(open ? 535 : 425, 275);
    adjustSize();
    resize(std::max(wanted.width(), minimumSizeHint().width()), std::max(wanted.height(), minimumSizeHint().height()));
}

void MainWindow::ToggleIssMonitor() {
    settings_.ISSMonitor = settings_.ISSMonitor ? 0 : 1;
    SizeForIssMonitor();
}

void MainWindow::RefreshViewPlan() {
    // RefreshMainViewPlan; counted so that its timer and the "no refresh while tracking"
    // preference can be checked.
    if (settings_.CalcVPWhenTracking != 0 && live_.trackingActive.load()) return;
    ++viewPlanRefreshes_;
    if (viewPlanList) plans_->RefreshMainViewPlan(viewPlanList, viewPlanSelect);
}

void MainWindow::SelectPlanObject(int index) {
    StopTracking();
    live_.Update([index](LiveValues& v) { v.selectedObject = index; });
    if (objectList && objectList->count() > 0) objectList->setCurrentIndex(0);
    ShowObjectButtons(index != 0);
    tleDataButton->setVisible(index != 0);
    const bool info = index != 0 && plans_->UpdateInfo(index);
    infoButton->setVisible(info);
    infoButton->setEnabled(info);
    if (settings_.ResetAlignment == 1) alignmentAdjust->setText(QStringLiteral("0"));
}

void MainWindow::StopTracking() {
    // Only tracking in progress is stopped: an idle mount is not sent stop commands.
    if (tracker_->TrackingOn()) tracker_->StopTracking();
}

void MainWindow::OnViewPlanTimer() {
    if (!(settings_.CalcVPWhenTracking != 0 && live_.trackingActive.load())) RefreshViewPlan();
}

void MainWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == viewPlanTimer_) {
        OnViewPlanTimer();
        return;
    }
    QMainWindow::timerEvent(event);
}

void MainWindow::BringToFront() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

// ---------------------------------------------------------------------------------------------
// Element files

void MainWindow::WaitPainted(int milliseconds) {
    // Waits on the program clock while keeping the windows painted.
    const double end = clock_.MonotonicSeconds() + milliseconds / 1000.0;
    while (clock_.MonotonicSeconds() < end) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const double left = end - clock_.MonotonicSeconds();
        clock_.Sleep(static_cast<int>(std::min(50.0, std::max(1.0, left * 1000.0))));
    }
}

void MainWindow::KeepSecondary(QWidget* window) { secondaryWindows_.append(QPointer<QWidget>(window)); }

void MainWindow::CloseSecondaryWindows() {
    for (const QPointer<QWidget>& w : secondaryWindows_)
        if (w) w->close();
    secondaryWindows_.clear();
    if (plans_) plans_->CloseAll();
}

namespace {
// Shows the loader's progress in a label and in the main window's status field at once.
class LabelLoadObserver : public LoadObserver {
public:
    LabelLoadObserver(QWidget* parent, QLabel* status, QLabel* mainStatus)
        : parent_(parent), status_(status), mainStatus_(mainStatus) {}
    void Status(const std::string& text) override {
        for (QLabel* l : {status_, mainStatus_}) {
            if (!l) continue;
            l->setText(QString::fromLatin1(text.c_str()));
            l->repaint();
        }
    }
    void OpenFailed(const std::string& message, const std::string& title) override {
        QMessageBox::critical(parent_, QString::fromLatin1(title.c_str()), QString::fromLocal8Bit(message.c_str()));
    }

private:
    QWidget* parent_;
    QLabel* status_;
    QLabel* mainStatus_;
};
}  // namespace

void MainWindow::LoadElements(const QString& fileName, QLabel* status) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CloseSecondaryWindows();
    // A load replaces the catalogue under every reader: tracking stops first, so that no engine
    // goes on with an object index of the old catalogue.
    StopTracking();
    live_.Update([](LiveValues& v) { v.selectedObject = 0; });
    elementFileName->clear();
    LabelLoadObserver observer(this, status, elementFileStatus);
    const LoadResult result = LoadElementFile(fileName.toLocal8Bit().toStdString(), &observer);
    catalogue_.Set(result.catalogue);
    if (status) status->setText(QString::fromLatin1(result.status.c_str()));
    elementFileStatus->setText(QString::fromLatin1(result.status.c_str()));
    elementFileName->setText(QString::fromLocal8Bit(result.fileName.c_str()));
    ShowObjectButtons(false);
    tleDataButton->setVisible(false);
    infoButton->setVisible(false);
    RebuildObjectList();
    QApplication::restoreOverrideCursor();
}

void MainWindow::OpenTle() {
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Satellite Element File"), QDir::currentPath(),
        QStringLiteral("Element Files *.tle *.txt (*.tle *.TLE *.txt *.TXT);;All files (*)"));
    if (file.isEmpty()) return;
    // Files in the working folder are remembered by name, others by their full path.
    const QString relative = QDir::current().relativeFilePath(file);
    LoadElements(relative.contains('/') ? file : relative, elementFileStatus);
    // A newly opened element file starts with an empty View Plan ("vplan.log" deleted).
    plans_->StartEmptyPlan();
    RefreshViewPlan();
}

void MainWindow::ShowElementData() {
    const int index = live_.Snapshot().selectedObject;
    const auto catalogue = catalogue_.Get();
    const CatalogueEntry* entry = catalogue->Entry(index);
    if (!entry) return;
    const QString name = QString::fromLatin1(entry->name.substr(0, 24).c_str());
    const LiveValues v = live_.Snapshot();
    const Site site = ParseSite(v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset);
    const double jd = UtcNow(clock_, site) + LeadingNumber(v.timingOffsetText) / 86400.0;
    const std::string age =
        ElementAgeNote(ElementAgeDays(ConvertElementText("", entry->line1, entry->line2), jd));
    auto* window = new ElementDataWindow(name, entry->line1, entry->line2, this, FromFile(age));
    KeepSecondary(window);
    window->show();
}

void MainWindow::RebuildObjectList() {
    // After a load: the old catalogue's heights mean nothing any more.
    altitudeCache_.Invalidate();
    BuildObjectList();
}

// ---------------------------------------------------------------------------------------------
// Object list and position panel

ObjectFilters MainWindow::FiltersOnScreen() const {
    ObjectFilters f;
    f.aboveHorizon = visAboveHorizon->isChecked();
    f.elevationAbove = elevationFilter->isChecked();
    f.elevationLimit = ToFile(elevationLimit->text());
    f.ascendingOnly = ascendingOnly->isChecked();
    f.sunOnly = sunOnly->isChecked();
    f.favorites = favorites->isChecked();
    f.neverObserved = neverObserved->isChecked();
    f.geostationaryOnly = geostationaryOnly->isChecked();
    f.direction = ToFile(directionFilter->currentText());
    f.altitudeClass = ToFile(altitudeFilter->currentText());
    f.listByNorad = listByNorad->isChecked();
    return f;
}

void MainWindow::ShowFilters(const ObjectFilters& f) {
    (f.aboveHorizon ? visAboveHorizon : visAll)->setChecked(true);
    elevationFilter->setChecked(f.elevationAbove);
    ascendingOnly->setChecked(f.ascendingOnly);
    sunOnly->setChecked(f.sunOnly);
    favorites->setChecked(f.favorites);
    neverObserved->setChecked(f.neverObserved);
    geostationaryOnly->setChecked(f.geostationaryOnly);
    directionFilter->setCurrentText(FromFile(f.direction));
    altitudeFilter->setCurrentText(FromFile(f.altitudeClass));
}

void MainWindow::BuildObjectList() {
    settings_.NoradSort = listByNorad->isChecked() ? 1 : 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const LiveValues v = live_.Snapshot();
    const Site site = ParseSite(v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset);
    const double jd = ObjectListInstant(clock_, site, LeadingNumber(v.timingOffsetText));
    const auto catalogue = catalogue_.Get();
    const ObjectListResult result = corvane::BuildObjectList(
        *catalogue, FiltersOnScreen(), site, jd, observed_, altitudeCache_, [this](const std::string& text) {
            listStatus->setText(QString::fromLatin1(text.c_str()));
            listStatus->repaint();
        });
    if (result.ascendingCleared) ascendingOnly->setChecked(false);
    objectList->clear();
    for (const ObjectListEntry& e : result.entries)
        objectList->addItem(ShownLatin1(e.VisibleText()), FromFile(e.text));
    objectList->setCurrentIndex(-1);
    objectList->setEditText(QString());
    listStatus->setText(FromFile(result.status));
    QApplication::restoreOverrideCursor();
}

void MainWindow::SelectObjectFromList(int row) {
    // The whole entry text, hidden "~~<index>" included, is kept with the item.
    const std::string entry = row >= 0 ? ToFile(objectList->itemData(row).toString()) : ToFile(objectList->currentText());
    const ObjectSelection sel =
        corvane::SelectObjectFromList(entry, catalogue_.Get()->Count(), settings_.ResetAlignment == 1);
    objectList->setEditText(row >= 0 ? objectList->itemText(row) : FromFile(sel.shownText));
    StopTracking();
    live_.Update([&sel](LiveValues& v) { v.selectedObject = sel.selectedObject; });
    CloseSecondaryWindows();
    if (sel.resetAlignment) alignmentAdjust->setText(QStringLiteral("0"));
    tleDataButton->setVisible(sel.showTleDataButton && sel.selectedObject != 0);
    ShowObjectButtons(sel.showObjectButtons);
}

void MainWindow::DisplayPass() {
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
    for (size_t i = 0; i < kPanelCaptions.size(); ++i)
        if (QLineEdit* box = panelFields.value(QString::fromLatin1(kPanelCaptions[i]))) {
            const QString text = ShownLatin1(d.fields[i]);
            if (box->text() != text) box->setText(text);
        }
    directionLine->setText(FromFile(d.direction) +
                           (d.ageNote.empty() ? QString() : "\n" + FromFile(d.ageNote)));
    sunLine->setText(FromFile(d.sunText));
    const bool night = nightVision_.IsOn();
    switch (d.sunIcon) {
        case SunIcon::kSun: sunIcon->setPixmap(DrawPicture(Picture::Sun, night, 18)); break;
        case SunIcon::kEclipse: sunIcon->setPixmap(DrawPicture(Picture::Eclipse, night, 18)); break;
        case SunIcon::kWarning: sunIcon->setPixmap(DrawPicture(Picture::Warning, night, 18)); break;
        case SunIcon::kNone: sunIcon->clear(); break;
    }
}

void MainWindow::ToggleJoystick(bool on) {
    if (!on) {
        if (joystick_) joystick_->Stop();
        return;
    }
    if (!joystick_)
        joystick_ = std::make_unique<JoystickAdjuster>(*adjustBoxes_, settings_, [this] { StartStopTracking(); }, this);
    if (!joystick_->Start()) {
        QMessageBox::critical(this, QString::fromLatin1(kJoystickErrorTitle), QString::fromLatin1(kJoystickErrorText));
        QSignalBlocker block(joystickAdjust);
        joystickAdjust->setChecked(false);
    }
}

void MainWindow::OpenMouseAdjust() {
    auto* dialog = new MouseAdjustDialog(*adjustBoxes_, settings_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void MainWindow::OpenFindTiming() {
    auto* dialog = new FindTimingDialog(*adjustBoxes_, settings_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

// ---------------------------------------------------------------------------------------------
// Exit

void MainWindow::SaveSettingsNow() {
    std::string error;
    if (!SaveSettingsFile(settings_, kConfigFileName, &error)) {
        QMessageBox::warning(this, QStringLiteral("File Error"),
                             QStringLiteral("The settings could not be saved (") + QString::fromLocal8Bit(error.c_str()) +
                                 QStringLiteral("). The previous ConfigFile.ini is unchanged."));
    }
}

void MainWindow::ShutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    // S1: stop tracking.
    StopTracking();
    // S2: the audit file. S3: the LX200 Control window is not present in this build.
    audit_.Close();
    // S4: the site fields on screen go into the current site's record.
    // DEPARTURE: the current site stays current rather than switching to site 1, so that
    // LastLocation keeps the site the observer was using.
    ShowSite(SiteSwitch(settings_, SiteOnScreen(), settings_.LastLocation));
    const int current = settings_.LastLocation;
    // S5: release the joystick.
    joystickAdjust->setChecked(false);
    if (joystick_) joystick_->Stop();
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
    settings_.NoradSort = listByNorad->isChecked() ? 1 : 0;
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
    live_.shuttingDown.store(true);
    tracker_->Shutdown();
    if (link_->ConnectedPort() != 0) link_->Disconnect();
    if (viewPlanTimer_) killTimer(viewPlanTimer_), viewPlanTimer_ = 0;
    // S11: files are closed with their owners. S12: a short pause before the window closes.
    clock_.Sleep(300);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    ShutDown();
    event->accept();
}

}  // namespace corvane::ui
