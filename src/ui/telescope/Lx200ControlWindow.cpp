#include "ui/telescope/Lx200ControlWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/Text.h"
#include "scope/MountClock.h"
#include "ui/common/GuiPost.h"

namespace corvane::ui {

namespace {

constexpr int kPollMs = 500;

QString Shown(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString TwoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QChar('0')); }

QComboBox* NumberList(int from, int to, int width, bool sign = false) {
    auto* box = new QComboBox;
    for (int i = from; i <= to; ++i) {
        const QString digits = QStringLiteral("%1").arg(std::abs(i), width, 10, QChar('0'));
        box->addItem(sign ? (i < 0 ? QStringLiteral("-") : QStringLiteral("+")) + digits : digits, i);
    }
    return box;
}

// A message that does not hold up the window (and the replies still coming in).
void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    auto* box = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QLabel* Readout(const char* text) {
    auto* label = new QLabel(QString::fromLatin1(text));
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    label->setFont(mono);
    return label;
}

}  // namespace

Lx200ControlWindow::Lx200ControlWindow(ScopeSession& session, Clock& clock, QWidget* parent)
    : QDialog(parent), session_(session), clock_(clock) {
    setWindowTitle(QStringLiteral("LX200 Control"));
    setObjectName(QStringLiteral("lx200Control"));
    BuildControls();
    pollTimer_.setInterval(kPollMs);
    connect(&pollTimer_, &QTimer::timeout, this, [this] { Poll(); });
}

Lx200ControlWindow::~Lx200ControlWindow() = default;

void Lx200ControlWindow::BuildControls() {
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    outer->addLayout(left);
    outer->addLayout(right);

    auto* info = new QGroupBox(QStringLiteral("OBJECT INFO"));
    auto* il = new QGridLayout(info);
    objectText = new QLabel(QStringLiteral("Object: N/A"));
    objectText->setMinimumWidth(260);
    il->addWidget(objectText, 0, 0, 1, 2);
    raBar = new QProgressBar;
    decBar = new QProgressBar;
    for (QProgressBar* bar : {raBar, decBar}) {
        bar->setRange(0, 16);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setMaximumHeight(10);
    }
    il->addWidget(new QLabel(QStringLiteral("R.A.")), 1, 0);
    il->addWidget(raBar, 1, 1);
    il->addWidget(new QLabel(QStringLiteral("DEC")), 2, 0);
    il->addWidget(decBar, 2, 1);
    left->addWidget(info);

    auto* objectBox = new QGroupBox(QStringLiteral("Object Position"));
    auto* ol = new QVBoxLayout(objectBox);
    objectRa = Readout(kRaNotAvailable);
    objectDec = Readout(kDecNotAvailable);
    ol->addWidget(objectRa);
    ol->addWidget(objectDec);
    auto* scopeBox = new QGroupBox(QStringLiteral("Telescope Position"));
    auto* sl = new QVBoxLayout(scopeBox);
    telescopeRa = Readout(kRaNotAvailable);
    telescopeDec = Readout(kDecNotAvailable);
    sl->addWidget(telescopeRa);
    sl->addWidget(telescopeDec);
    auto* positions = new QHBoxLayout;
    positions->addWidget(objectBox);
    positions->addWidget(scopeBox);
    left->addLayout(positions);

    slewButton = new QPushButton(QStringLiteral("&Slew to Object"));
    syncButton = new QPushButton(QStringLiteral("Sync. to Object Coords."));
    auto* actions = new QHBoxLayout;
    actions->addWidget(slewButton);
    actions->addWidget(syncButton);
    left->addLayout(actions);

    // Direction pad and rates.
    auto* pad = new QGridLayout;
    north = new QPushButton(QStringLiteral("N"));
    south = new QPushButton(QStringLiteral("S"));
    west = new QPushButton(QStringLiteral("W"));
    east = new QPushButton(QStringLiteral("E"));
    pad->addWidget(north, 0, 1);
    pad->addWidget(west, 1, 0);
    pad->addWidget(east, 1, 2);
    pad->addWidget(south, 2, 1);
    auto* rates = new QVBoxLayout;
    rateSlew = new QRadioButton(QStringLiteral("Slew"));
    rateFind = new QRadioButton(QStringLiteral("Find"));
    rateCenter = new QRadioButton(QStringLiteral("Center"));
    rateGuide = new QRadioButton(QStringLiteral("Guide"));
    rateSlew->setChecked(true);
    for (QRadioButton* r : {rateSlew, rateFind, rateCenter, rateGuide}) rates->addWidget(r);
    auto* motion = new QHBoxLayout;
    motion->addLayout(pad);
    motion->addLayout(rates);
    left->addLayout(motion);

    // Library.
    auto* library = new QGroupBox(QStringLiteral("Library"));
    auto* ll = new QGridLayout(library);
    libraryType = new QComboBox;
    libraryType->addItems({QStringLiteral("Messier"), QStringLiteral("Star"), QStringLiteral("CNGC"),
                           QStringLiteral("Planet")});
    libraryObject = new QComboBox;
    libraryObject->setEditable(true);
    goToButton = new QPushButton(QStringLiteral("&Go To Object"));
    ll->addWidget(new QLabel(QStringLiteral("Type")), 0, 0);
    ll->addWidget(libraryType, 0, 1);
    ll->addWidget(new QLabel(QStringLiteral("Object")), 1, 0);
    ll->addWidget(libraryObject, 1, 1);
    ll->addWidget(goToButton, 2, 0, 1, 2);
    left->addWidget(library);
    FillLibraryObjects();

    // Sites.
    auto* site = new QGroupBox(QStringLiteral("SITE"));
    auto* stl = new QGridLayout(site);
    siteEntry = NumberList(1, 4, 1);
    siteName = new QLineEdit;
    siteName->setMaxLength(3);
    latitudeDegrees = new QComboBox;
    for (int d = 90; d >= 0; --d) latitudeDegrees->addItem(QStringLiteral("+") + TwoDigits(d), d);
    for (int d = 0; d <= 90; ++d) latitudeDegrees->addItem(QStringLiteral("-") + TwoDigits(d), -1000 - d);
    latitudeMinutes = NumberList(0, 59, 2);
    longitudeDegrees = NumberList(0, 359, 3);
    longitudeMinutes = NumberList(0, 59, 2);
    utcOffset = NumberList(-12, 12, 2, true);
    saveSiteButton = new QPushButton(QStringLiteral("Save Site Info"));
    stl->addWidget(new QLabel(QStringLiteral("Entry#")), 0, 0);
    stl->addWidget(siteEntry, 0, 1);
    stl->addWidget(new QLabel(QStringLiteral("Name")), 0, 2);
    stl->addWidget(siteName, 0, 3);
    stl->addWidget(new QLabel(QStringLiteral("Latitude (N)")), 1, 0);
    stl->addWidget(latitudeDegrees, 1, 1);
    stl->addWidget(latitudeMinutes, 1, 2);
    stl->addWidget(new QLabel(QStringLiteral("Longitude (W)")), 2, 0);
    stl->addWidget(longitudeDegrees, 2, 1);
    stl->addWidget(longitudeMinutes, 2, 2);
    stl->addWidget(new QLabel(QStringLiteral("UTC Offset")), 3, 0);
    stl->addWidget(utcOffset, 3, 1);
    stl->addWidget(saveSiteButton, 3, 2, 1, 2);
    right->addWidget(site);

    // FIND.
    auto* find = new QGroupBox(QStringLiteral("FIND OBJECT"));
    auto* fl = new QGridLayout(find);
    for (int i = 0; i < 5; ++i) {
        typeBoxes[i] = new QCheckBox(QString::fromLatin1(kFindTypeNames[i]));
        typeBoxes[i]->setChecked(true);
        fl->addWidget(typeBoxes[i], i, 0, 1, 2);
    }
    better = new QComboBox;
    for (const char* q : kQualityNames) better->addItem(QString::fromLatin1(q));
    higher = new QLineEdit(QStringLiteral("0"));
    larger = new QLineEdit(QStringLiteral("0"));
    smaller = new QLineEdit(QStringLiteral("200"));
    brighter = new QLineEdit(QStringLiteral("20"));
    fainter = new QLineEdit(QStringLiteral("-5"));
    catalog = new QComboBox;
    catalog->addItems({QStringLiteral("NGC"), QStringLiteral("IC"), QStringLiteral("UGC")});
    const std::pair<const char*, QWidget*> fields[] = {
        {"Better", better},     {"Higher", higher},   {"Larger", larger},  {"Smaller", smaller},
        {"Brighter", brighter}, {"Fainter", fainter}, {"Catalog", catalog}};
    int row = 5;
    for (const auto& [label, field] : fields) {
        fl->addWidget(new QLabel(QString::fromLatin1(label)), row, 0);
        fl->addWidget(field, row++, 1);
    }
    previousButton = new QPushButton(QStringLiteral("<<Previous"));
    nextButton = new QPushButton(QStringLiteral("Next>>"));
    fl->addWidget(previousButton, row, 0);
    fl->addWidget(nextButton, row, 1);
    right->addWidget(find);
    dateTimeButton = new QPushButton(QStringLiteral("Set LX200 Date and Time"));
    right->addWidget(dateTimeButton);
    right->addStretch();

    for (QPushButton* b : {slewButton, syncButton, north, south, west, east, saveSiteButton, previousButton,
                           nextButton, goToButton, dateTimeButton})
        b->setAutoDefault(false);

    connect(slewButton, &QPushButton::clicked, this, [this] { SlewOrSearch(); });
    connect(syncButton, &QPushButton::clicked, this, [this] { Sync(); });
    const std::pair<QPushButton*, PanelDirection> directions[] = {{north, PanelDirection::North},
                                                                  {south, PanelDirection::South},
                                                                  {west, PanelDirection::West},
                                                                  {east, PanelDirection::East}};
    for (const auto& [button, direction] : directions) {
        connect(button, &QPushButton::pressed, this, [this, d = direction] { PressDirection(d); });
        connect(button, &QPushButton::released, this, [this] { ReleaseDirection(); });
    }
    const std::pair<QRadioButton*, PanelRate> rateButtons[] = {{rateSlew, PanelRate::Slew},
                                                               {rateFind, PanelRate::Find},
                                                               {rateCenter, PanelRate::Center},
                                                               {rateGuide, PanelRate::Guide}};
    for (const auto& [radio, rate] : rateButtons) {
        connect(radio, &QRadioButton::toggled, this, [this, r = rate](bool on) {
            if (on) ChooseRate(r);
        });
    }
    connect(siteEntry, QOverload<int>::of(&QComboBox::activated), this, [this] { ReadSite(); });
    connect(saveSiteButton, &QPushButton::clicked, this, [this] { SaveSite(); });
    connect(previousButton, &QPushButton::clicked, this, [this] { NextFound(true); });
    connect(nextButton, &QPushButton::clicked, this, [this] { NextFound(false); });
    connect(libraryType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { FillLibraryObjects(); });
    connect(goToButton, &QPushButton::clicked, this, [this] { GoToObject(); });
    connect(dateTimeButton, &QPushButton::clicked, this, [this] { SetDateAndTime(); });
    // Any change of the FIND fields disarms the search.
    for (QCheckBox* box : typeBoxes) connect(box, &QCheckBox::toggled, this, [this] { Disarm(); });
    for (QLineEdit* edit : {higher, larger, smaller, brighter, fainter})
        connect(edit, &QLineEdit::textChanged, this, [this] { Disarm(); });
    for (QComboBox* box : {better, catalog})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { Disarm(); });
    RefreshActionButtons();
}

void Lx200ControlWindow::FillLibraryObjects() {
    libraryObject->clear();
    if (libraryType->currentIndex() == 3) {
        for (const char* planet : kPlanetNames) libraryObject->addItem(QString::fromLatin1(planet));
        libraryObject->setEditable(false);
    } else {
        libraryObject->setEditable(true);
        libraryObject->setEditText(QStringLiteral("1"));
    }
}

bool Lx200ControlWindow::Connected() const { return session_.ConnectedPort() != 0; }

void Lx200ControlWindow::Start() {
    started_ = true;
    opening_->open.store(false);
    opening_ = std::make_shared<Opening>();
    // The slew rate the radio buttons show, and the site of "Entry#".
    rateSlew->blockSignals(true);
    rateSlew->setChecked(true);
    rateSlew->blockSignals(false);
    // The connection may still be on its way: the jobs queue behind it and find out on the
    // session thread whether there is a mount to talk to.
    RunSingle([](SerialLink& link) { SetPanelRate(link, PanelRate::Slew); });
    const int entry = siteEntry->currentIndex() + 1;
    RunSequence([this, entry](SerialLink& link) {
        if (const auto site = ReadPanelSite(link, entry)) PostToGui(this, [this, s = *site] { ShowSite(s); });
    });
}

void Lx200ControlWindow::hideEvent(QHideEvent* event) {
    pollTimer_.stop();
    started_ = false;
    opening_->open.store(false);
    QDialog::hideEvent(event);
}

void Lx200ControlWindow::Poll() {
    if (!Connected()) {
        ShowReadout(PanelReadout{});
        return;
    }
    // The tracking engine owns the line while it runs; a read-out waits for its stop.
    if (pollInFlight_ || busy_ || session_.TrackingOn()) return;
    pollInFlight_ = true;
    const bool armed = searchArmed_;
    session_.Post([this, armed, opening = opening_](SerialLink& link) {
        // The window closed while the read-out waited its turn: nothing is asked.
        if (!opening->open.load()) {
            PostToGui(this, [this] { pollInFlight_ = false; });
            return;
        }
        const PanelReadout readout = ReadPanelPointing(link, armed);
        PostToGui(this, [this, readout] {
            pollInFlight_ = false;
            ++polls_;
            ShowReadout(readout);
        });
    });
}

void Lx200ControlWindow::ShowReadout(const PanelReadout& readout) {
    telescopeRa->setText(Shown(readout.raText));
    telescopeDec->setText(Shown(readout.decText));
    if (readout.bars) {
        raBar->setValue(readout.bars->ra);
        decBar->setValue(readout.bars->dec);
    }
}

void Lx200ControlWindow::RunSequence(std::function<void(SerialLink&)> work, bool waitCursor) {
    // DEPARTURE: a panel command stops tracking that was started after the panel opened. The
    // session carries out one thing at a time, so the command would otherwise wait for the end
    // of the pass, and a hand-controller move in the middle of an engine's goto fights it.
    if (session_.TrackingOn()) session_.StopTracking();
    pollTimer_.stop();
    busy_ = true;
    ++sequences_;
    if (waitCursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool armed = searchArmed_;
    session_.Post([this, armed, waitCursor, opening = opening_, work = std::move(work)](SerialLink& link) {
        if (PanelConnected(link)) {
            if (opening->open.load()) {
                const PanelReadout readout = ReadPanelPointing(link, armed);
                PostToGui(this, [this, readout] { ShowReadout(readout); });
                link.Wait(50);
            }
            work(link);
        }
        PostToGui(this, [this, waitCursor] {
            if (waitCursor) QApplication::restoreOverrideCursor();
            if (--sequences_ > 0) return;
            busy_ = false;
            if (started_) pollTimer_.start();
        });
    });
}

void Lx200ControlWindow::RunSingle(std::function<void(SerialLink&)> work) {
    if (session_.TrackingOn()) session_.StopTracking();
    session_.Post([work = std::move(work)](SerialLink& link) { work(link); });
}

void Lx200ControlWindow::PressDirection(PanelDirection direction) {
    if (!Connected()) return;
    RunSingle([direction](SerialLink& link) { StartPanelMove(link, direction); });
}

void Lx200ControlWindow::ReleaseDirection() {
    if (!Connected()) return;
    RunSingle([](SerialLink& link) { StopPanelMoves(link); });
}

void Lx200ControlWindow::ChooseRate(PanelRate rate) {
    if (!Connected()) return;
    RunSingle([rate](SerialLink& link) { SetPanelRate(link, rate); });
}

void Lx200ControlWindow::Disarm() {
    searchArmed_ = false;
    RefreshActionButtons();
}

void Lx200ControlWindow::RefreshActionButtons() {
    // "&Slew to Object" searches first while the search is not armed, so it is always there;
    // a sync needs an object chosen from the library or found.
    syncButton->setEnabled(searchArmed_ || objectChosen_);
}

FindFilters Lx200ControlWindow::FiltersOnScreen() const {
    FindFilters f;
    for (int i = 0; i < 5; ++i) f.types[i] = typeBoxes[i]->isChecked();
    f.catalog = catalog->currentIndex();
    f.quality = QualityFromChoice(better->currentText().toStdString());
    f.higher = LeadingInt(higher->text().toStdString());
    f.larger = LeadingInt(larger->text().toStdString());
    f.smaller = LeadingInt(smaller->text().toStdString());
    f.brighter = LeadingNumber(brighter->text().toStdString());
    f.fainter = LeadingNumber(fainter->text().toStdString());
    return f;
}

void Lx200ControlWindow::SlewOrSearch() {
    if (!Connected()) return;
    if (!searchArmed_) {
        RunSearch();
        return;
    }
    RunSequence([this](SerialLink& link) { PostSlew(link); });
}

void Lx200ControlWindow::PostSlew(SerialLink& link) {
    const SlewResult slew = SlewToObject(link);
    if (slew.belowHorizon) {
        PostToGui(this, [this] {
            ShowBox(this, QMessageBox::Warning, QStringLiteral("Slew Error."),
                    QStringLiteral("Object Below Horizon!"));
        });
    }
}

void Lx200ControlWindow::RunSearch() {
    if (!Connected()) return;
    const FindFilters filters = FiltersOnScreen();
    RunSequence(
        [this, filters, opening = opening_](SerialLink& link) {
            const FindResult result = RunFindSearch(link, filters);
            PostChosenObject(link, result.information, *opening);
            PostToGui(this, [this, armed = result.Armed()] {
                searchArmed_ = armed;
                objectChosen_ = objectChosen_ || armed;
                RefreshActionButtons();
            });
        },
        true);
}

void Lx200ControlWindow::PostChosenObject(SerialLink& link, const std::string& information,
                                          Opening& opening) {
    std::optional<PanelTarget> target;
    if (opening.open.load() && !opening.targetUnanswered.load()) {
        target = ReadPanelTarget(link);
        if (!target) opening.targetUnanswered.store(true);
    }
    if (!target) target = PanelTarget{kRaNotAvailable, kDecNotAvailable};
    PostToGui(this, [this, information, t = *target] { ShowInformation(information, t.raText, t.decText); });
}

void Lx200ControlWindow::ShowInformation(const std::string& text, const std::string& ra,
                                         const std::string& dec) {
    objectText->setText(QStringLiteral("Object: ") + (text.empty() ? QStringLiteral("N/A") : Shown(text)));
    objectRa->setText(Shown(ra));
    objectDec->setText(Shown(dec));
}

void Lx200ControlWindow::Sync() {
    if (!Connected()) return;
    RunSequence([](SerialLink& link) { SyncToObject(link); });
}

void Lx200ControlWindow::GoToObject() {
    if (!Connected()) return;
    const int type = libraryType->currentIndex();
    const int planet = libraryObject->currentIndex();
    const int number = LeadingInt(libraryObject->currentText().toStdString());
    objectChosen_ = true;
    RefreshActionButtons();
    RunSequence([this, type, planet, number, opening = opening_](SerialLink& link) {
        const std::string text = type == 3 ? LookUpPlanet(link, planet)
                                           : LookUpObject(link,
                                                          type == 0   ? LibraryKind::Messier
                                                          : type == 1 ? LibraryKind::Star
                                                                      : LibraryKind::Cngc,
                                                          number);
        PostChosenObject(link, text, *opening);
        // DEPARTURE: the looked-up object is also slewed to. A look-up alone left "&Slew to Object"
        // to run the FIND search, which may send the mount to a different object.
        PostSlew(link);
    });
}

void Lx200ControlWindow::NextFound(bool previous) {
    if (!Connected()) return;
    RunSequence([this, previous, opening = opening_](SerialLink& link) {
        PostChosenObject(link, NextFoundObject(link, previous), *opening);
    });
}

void Lx200ControlWindow::ShowSite(const PanelSite& site) {
    siteName->setText(Shown(site.name));
    const int latitudeKey = site.south ? -1000 - site.latitudeDegrees : site.latitudeDegrees;
    latitudeDegrees->setCurrentIndex(std::max(0, latitudeDegrees->findData(latitudeKey)));
    latitudeMinutes->setCurrentIndex(std::clamp(site.latitudeMinutes, 0, 59));
    longitudeDegrees->setCurrentIndex(std::clamp(site.longitudeDegrees, 0, 359));
    longitudeMinutes->setCurrentIndex(std::clamp(site.longitudeMinutes, 0, 59));
    utcOffset->setCurrentIndex(std::max(0, utcOffset->findData(site.utcOffset)));
}

PanelSite Lx200ControlWindow::SiteOnScreen() const {
    PanelSite site;
    site.name = siteName->text().toLatin1().toStdString();
    const int latitudeKey = latitudeDegrees->currentData().toInt();
    site.south = latitudeKey <= -1000;
    site.latitudeDegrees = site.south ? -1000 - latitudeKey : latitudeKey;
    site.latitudeMinutes = latitudeMinutes->currentIndex();
    site.longitudeDegrees = longitudeDegrees->currentIndex();
    site.longitudeMinutes = longitudeMinutes->currentIndex();
    site.utcOffset = utcOffset->currentData().toInt();
    return site;
}

void Lx200ControlWindow::ReadSite() {
    if (!Connected()) return;
    const int entry = siteEntry->currentIndex() + 1;
    RunSequence([this, entry](SerialLink& link) {
        if (const auto site = ReadPanelSite(link, entry)) PostToGui(this, [this, s = *site] { ShowSite(s); });
    });
}

void Lx200ControlWindow::SaveSite() {
    if (!Connected()) return;
    const int entry = siteEntry->currentIndex() + 1;
    const PanelSite site = SiteOnScreen();
    RunSequence([this, entry, site](SerialLink& link) {
        SavePanelSite(link, entry, site);
        // Shows what the mount stored.
        if (const auto stored = ReadPanelSite(link, entry))
            PostToGui(this, [this, s = *stored] { ShowSite(s); });
    });
}

void Lx200ControlWindow::SetDateAndTime() {
    if (!Connected()) return;
    Clock* clock = &clock_;
    RunSequence([this, clock](SerialLink& link) {
        if (!SetPanelDateTime(link, *clock)) {
            PostToGui(this, [this] {
                ShowBox(this, QMessageBox::Critical, QString::fromLatin1(kMountTimeErrorTitle),
                        QString::fromLatin1(kMountTimeErrorText));
            });
        }
    });
}

}  // namespace corvane::ui
