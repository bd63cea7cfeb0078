#include "ui/main/MainPanels.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <QMessageBox>

#include "core/Text.h"
#include "ui/telescope/FindTimingDialog.h"
#include "ui/common/Icons.h"
#include "ui/telescope/Joystick.h"
#include "ui/telescope/MouseAdjustDialog.h"
#include "ui/passes/PlanContext.h"
#include "ui/common/ShownText.h"

namespace corvane::ui {

QString FromFile(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
std::string ToFile(const QString& s) { return s.toLatin1().toStdString(); }

QPushButton* SmallButton(const QString& text) {
    auto* b = new QPushButton(text);
    b->setAutoDefault(false);
    return b;
}

namespace {
QLineEdit* ReadOnlyBox() {
    auto* box = new QLineEdit;
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}
}  // namespace

// ---- position panel ----

PositionPanel::PositionPanel(QWidget* parent) : QGroupBox(parent) {
    auto* pl = new QGridLayout(this);
    pl->setVerticalSpacing(1);
    int row = 0;
    for (const char* c : kPanelCaptions) {
        auto* box = ReadOnlyBox();
        box->setMinimumWidth(DialogUnitsX(this, 92));
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
}

void PositionPanel::Show(const DisplayTexts& d, bool night) {
    for (size_t i = 0; i < kPanelCaptions.size(); ++i)
        if (QLineEdit* box = panelFields.value(QString::fromLatin1(kPanelCaptions[i]))) {
            const QString text = ShownLatin1(d.fields[i]);
            if (box->text() != text) box->setText(text);
        }
    directionLine->setText(FromFile(d.direction) + (d.ageNote.empty() ? QString() : "\n" + FromFile(d.ageNote)));
    sunLine->setText(FromFile(d.sunText));
    switch (d.sunIcon) {
        case SunIcon::kSun: sunIcon->setPixmap(DrawPicture(Picture::Sun, night, 18)); break;
        case SunIcon::kEclipse: sunIcon->setPixmap(DrawPicture(Picture::Eclipse, night, 18)); break;
        case SunIcon::kWarning: sunIcon->setPixmap(DrawPicture(Picture::Warning, night, 18)); break;
        case SunIcon::kNone: sunIcon->clear(); break;
    }
}

// ---- object list and filters ----

ObjectListPanel::ObjectListPanel(QWidget* parent) : QGroupBox(QStringLiteral("Objects"), parent) {
    auto* ol = new QGridLayout(this);
    objectList = new QComboBox;
    objectList->setEditable(true);
    objectList->setInsertPolicy(QComboBox::NoInsert);
    objectList->setMinimumWidth(DialogUnitsX(this, 110));
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
}

ObjectFilters ObjectListPanel::Filters() const {
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

void ObjectListPanel::ShowFilters(const ObjectFilters& f) {
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

void ObjectListPanel::ApplySettings(const Settings& s) {
    directionFilter->setCurrentText(FromFile(s.Direction));
    elevationLimit->setValue(std::min(90, std::max(0, LeadingInt(s.ElevationLimit))));
    sunOnly->setChecked(s.SunOnly != 0);
    favorites->setChecked(s.Favorites != 0);
    neverObserved->setChecked(s.NeverObserved != 0);
    elevationFilter->setChecked(s.ObjElevation != 0);
    ascendingOnly->setChecked(s.ObjRising != 0);
    altitudeFilter->setCurrentText(FromFile(s.ObjAlt));
    (s.ObjVisAboveHorizon ? visAboveHorizon : visAll)->setChecked(true);
    listByNorad->setChecked(s.NoradSort != 0);
}

void ObjectListPanel::CopyToSettings(Settings& s) const {
    s.Direction = ToFile(directionFilter->currentText().trimmed());
    s.ElevationLimit = ToFile(elevationLimit->text());
    s.SunOnly = sunOnly->isChecked();
    s.Favorites = favorites->isChecked();
    s.NeverObserved = neverObserved->isChecked();
    s.ObjElevation = elevationFilter->isChecked();
    s.ObjRising = ascendingOnly->isChecked();
    s.ObjAlt = ToFile(altitudeFilter->currentText());
    s.ObjVisAboveHorizon = visAboveHorizon->isChecked();
    s.NoradSort = listByNorad->isChecked() ? 1 : 0;
}

void ObjectListPanel::ShowEntries(const ObjectListResult& result) {
    if (result.ascendingCleared) ascendingOnly->setChecked(false);
    objectList->clear();
    for (const ObjectListEntry& e : result.entries) objectList->addItem(ShownLatin1(e.VisibleText()), FromFile(e.text));
    objectList->setCurrentIndex(-1);
    objectList->setEditText(QString());
    listStatus->setText(FromFile(result.status));
}

std::string ObjectListPanel::EntryText(int row) const {
    return row >= 0 ? ToFile(objectList->itemData(row).toString()) : ToFile(objectList->currentText());
}

// ---- element file and object buttons ----

ElementsPanel::ElementsPanel(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
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
    column->addWidget(elements);

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
    column->addWidget(actionsBox);
}

void ElementsPanel::ShowObjectButtons(bool selected) {
    for (QPushButton* b : {observationLogButton, skyMapButton, worldMapButton, predictPassButton})
        b->setVisible(selected);
}

// ---- sites ----

SitePanel::SitePanel(QWidget* parent) : QGroupBox(QStringLiteral("Location"), parent) {
    auto* sl = new QGridLayout(this);
    auto* siteRow = new QHBoxLayout;
    auto* siteGroup = new QButtonGroup(this);
    for (int i = 1; i <= 3; ++i) {
        siteButtons[i] = SmallButton(QString::number(i));
        siteButtons[i]->setCheckable(true);
        siteButtons[i]->setMaximumWidth(DialogUnitsX(this, 16) + 12);
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
    const std::pair<const char*, QLineEdit*> fields[] = {{"Name", siteName},
                                                         {"Latitude", siteLatitude},
                                                         {"Longitude", siteLongitude},
                                                         {"Altitude", siteAltitude},
                                                         {"UTC Offset", siteUtcOffset}};
    int row = 1;
    for (const auto& [caption, box] : fields) {
        sl->addWidget(new QLabel(QString::fromLatin1(caption)), row, 0);
        sl->addWidget(box, row, 1);
        ++row;
    }
}

void SitePanel::ShowSite(const SiteRecord& site) {
    siteName->setText(FromFile(site.name));
    siteLatitude->setText(FromFile(site.latitude));
    siteLongitude->setText(FromFile(site.longitude));
    siteAltitude->setText(FromFile(site.altitude));
    siteUtcOffset->setText(FromFile(site.utcOffset));
}

SiteRecord SitePanel::SiteOnScreen() const {
    return SiteRecord{ToFile(siteName->text()), ToFile(siteLatitude->text()), ToFile(siteLongitude->text()),
                      ToFile(siteAltitude->text()), ToFile(siteUtcOffset->text())};
}

void SitePanel::ShowCurrent(int site) {
    for (int i = 1; i <= 3; ++i) siteButtons[i]->setChecked(i == site);
}

// ---- adjustments ----

AdjustmentPanel::AdjustmentPanel(Settings& settings, QWidget* parent) : QGroupBox(parent), settings_(settings) {
    auto* adl = new QGridLayout(this);
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

    const TimingButton timingOrder[] = {TimingButton::kMinusCoarse, TimingButton::kMinusFine, TimingButton::kPlusFine,
                                        TimingButton::kPlusCoarse};
    for (int i = 0; i < 4; ++i)
        connect(timingButtons[i], &QPushButton::clicked, this,
                [this, b = timingOrder[i]] { PressTimingButton(*this, b, settings_); });
    connect(alignmentMinus, &QPushButton::clicked, this, [this] { PressAlignmentButton(*this, false, settings_); });
    connect(alignmentPlus, &QPushButton::clicked, this, [this] { PressAlignmentButton(*this, true, settings_); });
    connect(joystickAdjust, &QCheckBox::toggled, this, [this](bool on) { ToggleJoystick(on); });
    connect(mouseAdjustButton, &QPushButton::clicked, this, [this] { OpenMouseAdjust(); });
    connect(findTimingButton, &QPushButton::clicked, this, [this] { OpenFindTiming(); });
}

AdjustmentPanel::~AdjustmentPanel() = default;

std::string AdjustmentPanel::TimingOffsetText() const { return ToFile(timingOffset->text()); }
std::string AdjustmentPanel::AlignmentText() const { return ToFile(alignmentAdjust->text()); }
void AdjustmentPanel::SetTimingOffsetText(const std::string& text) { timingOffset->setText(FromFile(text)); }
void AdjustmentPanel::SetAlignmentText(const std::string& text) { alignmentAdjust->setText(FromFile(text)); }

void AdjustmentPanel::ToggleJoystick(bool on) {
    if (!on) {
        if (joystick_) joystick_->Stop();
        return;
    }
    if (!joystick_)
        joystick_ = std::make_unique<JoystickAdjuster>(
            *this, settings_, [this] { if (startStopTracking) startStopTracking(); }, this);
    if (!joystick_->Start()) {
        QMessageBox::critical(this, QString::fromLatin1(kJoystickErrorTitle), QString::fromLatin1(kJoystickErrorText));
        QSignalBlocker block(joystickAdjust);
        joystickAdjust->setChecked(false);
    }
}

void AdjustmentPanel::StopJoystick() {
    joystickAdjust->setChecked(false);
    if (joystick_) joystick_->Stop();
}

void AdjustmentPanel::OpenMouseAdjust() {
    auto* dialog = new MouseAdjustDialog(*this, settings_, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void AdjustmentPanel::OpenFindTiming() {
    auto* dialog = new FindTimingDialog(*this, settings_, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

// ---- View Plan list ----

ViewPlanPanel::ViewPlanPanel(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* plan = new QGroupBox(QStringLiteral("View Plan"));
    auto* vpl = new QVBoxLayout(plan);
    viewPlanList = new QListWidget;
    viewPlanList->setMinimumWidth(DialogUnitsX(this, 100));
    vpl->addWidget(viewPlanList, 1);
    viewPlanSelect = SmallButton(QStringLiteral("&Select"));
    viewPlanSelect->setVisible(false);
    vpl->addWidget(viewPlanSelect);
    column->addWidget(plan, 1);
    issMonitorButton = SmallButton(QStringLiteral("ISS Monitor >>"));
    column->addWidget(issMonitorButton);
    connect(viewPlanList, &QListWidget::itemClicked, this, [this] { viewPlanSelect->setVisible(true); });
}

}  // namespace corvane::ui
