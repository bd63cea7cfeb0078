#include "ui/obslog/ObsLogWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "core/Text.h"
#include "ui/common/Widgets.h"

namespace corvane::ui {

namespace {
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

QComboBox* NumberList(int from, int to) {
    auto* box = new QComboBox;
    for (int v = from; v <= to; ++v) box->addItem(QString::asprintf("%02d", v));
    return box;
}

QLineEdit* Field(ObsField f) {
    auto* edit = new QLineEdit;
    edit->setMaxLength(static_cast<int>(kObsLayout[f].width));
    return edit;
}

// Stored text for a control: Latin-1 with control bytes shown as U+FFFD, surrounding blanks
// removed.
QString Shown(const std::string& field) {
    return QString::fromUtf8(Latin1ToUtf8Printable(Trim(field)).c_str());
}

// Selects the entry with this text, adding it (in order) when the list does not hold it.
void Choose(QComboBox* box, const QString& text) {
    int i = box->findText(text);
    if (i < 0) {
        int at = 0;
        while (at < box->count() && box->itemText(at) < text) ++at;
        box->insertItem(at, text);
        i = at;
    }
    box->setCurrentIndex(i);
}

// "HH:MM:SS" into three lists; anything else leaves the first entries.
void ShowTime(QComboBox* const boxes[3], const std::string& field) {
    const std::string t = Trim(field);
    for (int k = 0; k < 3; ++k) boxes[k]->setCurrentIndex(0);
    if (t.size() != 8 || t[2] != ':' || t[5] != ':') return;
    for (int k = 0; k < 3; ++k) {
        const int i =
            boxes[k]->findText(QString::fromLatin1(t.substr(static_cast<size_t>(k) * 3, 2).c_str()));
        if (i >= 0) boxes[k]->setCurrentIndex(i);
    }
}

std::string TimeOf(QComboBox* const boxes[3]) {
    return ToLatin1(boxes[0]->currentText()) + ":" + ToLatin1(boxes[1]->currentText()) + ":" +
           ToLatin1(boxes[2]->currentText());
}

QHBoxLayout* Row(QComboBox* const boxes[3], const char* separator) {
    auto* row = new QHBoxLayout;
    for (int k = 0; k < 3; ++k) {
        if (k > 0 && separator[0] != '\0') row->addWidget(new QLabel(QString::fromLatin1(separator)));
        row->addWidget(boxes[k]);
    }
    row->addStretch();
    return row;
}
}  // namespace

ObsLogWindow::ObsLogWindow(ObsLogContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)), file_(context_.logPath) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Observation Log "));

    noradEdit = Field(kObsNorad);
    nameEdit = Field(kObsName);
    dateBoxes[0] = NumberList(1996, std::max(1996, context_.nextYear));
    dateBoxes[1] = new QComboBox;
    for (const char* m : kMonths) dateBoxes[1]->addItem(QString::fromLatin1(m));
    dateBoxes[2] = NumberList(1, 31);
    auto hms = [](QComboBox** boxes) {
        boxes[0] = NumberList(0, 23);
        boxes[1] = NumberList(0, 59);
        boxes[2] = NumberList(0, 59);
    };
    hms(timeBoxes);
    hms(aosBoxes);
    hms(losBoxes);
    hms(durationBoxes);
    siteNameEdit = Field(kObsSiteName);
    latitudeEdit = Field(kObsSiteLatitude);
    longitudeEdit = Field(kObsSiteLongitude);
    altitudeEdit = Field(kObsSiteAltitude);
    tleFileEdit = Field(kObsTleFile);
    tPlusEpochEdit = Field(kObsTPlusEpoch);
    maxElevationEdit = Field(kObsMaxElevation);
    minRangeEdit = Field(kObsMinRange);
    timingOffsetEdit = Field(kObsTimingOffset);
    alignmentEdit = Field(kObsAlignment);
    telescopeBox = new QComboBox;
    for (const char* name : kObsTelescopeNames) telescopeBox->addItem(QString::fromLatin1(name));
    versionEdit = Field(kObsVersion);
    remarksEdit = new QPlainTextEdit;
    remarksEdit->setTabChangesFocus(true);
    remarksEdit->setMaximumHeight(90);
    rawLabel = new QLabel(QStringLiteral("This record could not be read whole; as stored:"));
    rawText = new QPlainTextEdit;
    rawText->setReadOnly(true);
    rawText->setMaximumHeight(70);
    favoriteBox = new QCheckBox(QStringLiteral("Favorite"));
    positionLabel = new QLabel(QStringLiteral("0/0"));
    positionLabel->setAlignment(Qt::AlignCenter);
    positionLabel->setMinimumWidth(
        positionLabel->fontMetrics().horizontalAdvance(QStringLiteral("New Record")) + 16);

    auto* grid = new QGridLayout;
    int row = 0;
    auto caption = [](ObsField f) { return new QLabel(QString::fromLatin1(kObsLayout[f].caption)); };
    auto put = [&](ObsField f, QWidget* w, int column) {
        grid->addWidget(caption(f), row, column);
        grid->addWidget(w, row, column + 1);
    };
    auto putRow = [&](ObsField f, QLayout* l, int column) {
        grid->addWidget(caption(f), row, column);
        grid->addLayout(l, row, column + 1);
    };
    put(kObsNorad, noradEdit, 0), put(kObsName, nameEdit, 2), ++row;
    putRow(kObsDate, Row(dateBoxes, ""), 0), putRow(kObsTime, Row(timeBoxes, ":"), 2), ++row;
    put(kObsSiteName, siteNameEdit, 0), put(kObsTleFile, tleFileEdit, 2), ++row;
    put(kObsSiteLatitude, latitudeEdit, 0), put(kObsTPlusEpoch, tPlusEpochEdit, 2), ++row;
    put(kObsSiteLongitude, longitudeEdit, 0), putRow(kObsAos, Row(aosBoxes, ":"), 2), ++row;
    put(kObsSiteAltitude, altitudeEdit, 0), putRow(kObsLos, Row(losBoxes, ":"), 2), ++row;
    put(kObsMaxElevation, maxElevationEdit, 0), putRow(kObsDuration, Row(durationBoxes, ":"), 2), ++row;
    put(kObsMinRange, minRangeEdit, 0), put(kObsTelescope, telescopeBox, 2), ++row;
    put(kObsTimingOffset, timingOffsetEdit, 0), put(kObsVersion, versionEdit, 2), ++row;
    put(kObsAlignment, alignmentEdit, 0), grid->addWidget(favoriteBox, row, 3), ++row;
    grid->addWidget(caption(kObsRemarks), row, 0, Qt::AlignTop);
    grid->addWidget(remarksEdit, row, 1, 1, 3), ++row;
    grid->addWidget(rawLabel, row, 0, 1, 4), ++row;
    grid->addWidget(rawText, row, 0, 1, 4), ++row;

    auto button = [](const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text));
        b->setAutoDefault(false);
        return b;
    };
    firstButton = button("|<");
    previousButton = button("< Previous");
    nextButton = button("Next >");
    lastButton = button(">|");
    newButton = button("New");
    deleteButton = button("Delete");
    saveButton = button("Save");
    closeButton = button("Close");
    auto* navigation = new QHBoxLayout;
    for (QPushButton* b : {firstButton, previousButton}) navigation->addWidget(b);
    navigation->addWidget(positionLabel);
    for (QPushButton* b : {nextButton, lastButton}) navigation->addWidget(b);
    navigation->addStretch();
    for (QPushButton* b : {newButton, deleteButton, saveButton, closeButton}) navigation->addWidget(b);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(navigation);

    connect(firstButton, &QPushButton::clicked, this, [this] { First(); });
    connect(previousButton, &QPushButton::clicked, this, [this] { Previous(); });
    connect(nextButton, &QPushButton::clicked, this, [this] { Next(); });
    connect(lastButton, &QPushButton::clicked, this, [this] { Last(); });
    connect(newButton, &QPushButton::clicked, this, [this] { NewRecord(); });
    connect(deleteButton, &QPushButton::clicked, this, [this] { DeleteRecord(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { SaveRecord(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);

    favoriteBox->setChecked(context_.isFavourite && context_.isFavourite(context_.catalogueNumber));
    std::string error;
    if (!file_.EnsureExists(&error)) Report(error);
    RebuildIndex();
}

void ObsLogWindow::Report(const std::string& error) {
    QMessageBox::warning(this, QStringLiteral("File Error"), QString::fromLocal8Bit(error.c_str()));
}

// ---------------------------------------------------------------------------------------------
// Showing records

void ObsLogWindow::ShowBytes(const std::string& bytes) {
    const ObsRecord r = SplitObsRecord(bytes);
    QLineEdit* const edits[] = {
        noradEdit,    nameEdit,         nullptr,        nullptr, siteNameEdit, latitudeEdit, longitudeEdit,
        altitudeEdit, tleFileEdit,      tPlusEpochEdit, nullptr, nullptr,      nullptr,      maxElevationEdit,
        minRangeEdit, timingOffsetEdit, alignmentEdit,  nullptr, versionEdit};
    for (size_t f = 0; f < std::size(edits); ++f)
        if (edits[f]) edits[f]->setText(Shown(r.fields[f]));
    const std::string date = Trim(r[kObsDate]);
    for (QComboBox* b : dateBoxes) b->setCurrentIndex(0);
    if (date.size() == 8 &&
        std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        Choose(dateBoxes[0], QString::fromLatin1(date.substr(0, 4).c_str()));
        const int month = std::stoi(date.substr(4, 2));
        if (month >= 1 && month <= 12) dateBoxes[1]->setCurrentIndex(month - 1);
        const int day = dateBoxes[2]->findText(QString::fromLatin1(date.substr(6, 2).c_str()));
        if (day >= 0) dateBoxes[2]->setCurrentIndex(day);
    }
    ShowTime(timeBoxes, r[kObsTime]);
    ShowTime(aosBoxes, r[kObsAos]);
    ShowTime(losBoxes, r[kObsLos]);
    ShowTime(durationBoxes, r[kObsDuration]);
    const std::string scope = Trim(r[kObsTelescope]);
    if (scope.empty()) {
        telescopeBox->setCurrentIndex(0);
    } else {
        Choose(telescopeBox, Shown(scope));
    }
    // Line breaks of the remarks are stored as CR LF.
    std::string remarks = TrimRight(r[kObsRemarks]);
    std::string text;
    for (size_t i = 0; i < remarks.size(); ++i) {
        if (remarks[i] == '\r' && i + 1 < remarks.size() && remarks[i + 1] == '\n') continue;
        text += remarks[i];
    }
    QString shownRemarks;
    for (unsigned char c : text)
        shownRemarks += (c == '\n' || c == '\t' || !IsControlByte(c)) ? QChar(c) : QChar(0xFFFD);
    remarksEdit->setPlainText(shownRemarks);
    // DEPARTURE: a record that cannot be shown whole in the controls also shows its stored text,
    // so that nothing of a damaged record is hidden from the observer.
    const bool damaged = !bytes.empty() && !IsBlankObsRecord(bytes) && !IsReadableObsRecord(bytes);
    rawLabel->setVisible(damaged);
    rawText->setVisible(damaged);
    rawText->setPlainText(damaged ? QString::fromUtf8(RawObsRecordText(bytes).c_str()) : QString());
    shown_ = FormatObsRecord(RecordFromControls());
}

void ObsLogWindow::ShowPositionLabel() {
    positionLabel->setText(QString::number(position_) + "/" + QString::number(index_.size()));
}

void ObsLogWindow::ShowEmpty() {
    position_ = 0;
    currentRecord_ = 0;
    isNew_ = false;
    ShowBytes(std::string(kObsRecordSize, ' '));
    positionLabel->setText(QStringLiteral("0/0"));
}

void ObsLogWindow::ShowAt(int position) {
    if (index_.empty()) {
        ShowEmpty();
        return;
    }
    position_ = std::clamp(position, 1, static_cast<int>(index_.size()));
    currentRecord_ = ObsIndexRecordNumber(index_[static_cast<size_t>(position_ - 1)]);
    isNew_ = false;
    std::string bytes, error;
    if (!file_.Read(currentRecord_, bytes, &error)) {
        // A record that could not be read is never saved over: a save appends instead.
        Report(error);
        bytes.assign(kObsRecordSize, ' ');
        currentRecord_ = 0;
    }
    ShowBytes(bytes);
    ShowPositionLabel();
}

void ObsLogWindow::RebuildIndex() {
    ObsLogContents contents;
    std::string error;
    if (!file_.ReadAll(contents, &error)) Report(error);
    index_ = BuildObsIndex(contents.records, context_.catalogueNumber);
    ShowAt(static_cast<int>(index_.size()));
}

// ---------------------------------------------------------------------------------------------
// The buttons

ObsRecord ObsLogWindow::RecordFromControls() const {
    ObsRecord r;
    auto text = [](const QLineEdit* e) { return Trim(ToLatin1(e->text())); };
    r[kObsNorad] = text(noradEdit);
    r[kObsName] = text(nameEdit);
    char month[16];
    std::snprintf(month, sizeof month, "%02d", dateBoxes[1]->currentIndex() + 1);
    r[kObsDate] = ToLatin1(dateBoxes[0]->currentText()) + month + ToLatin1(dateBoxes[2]->currentText());
    r[kObsTime] = TimeOf(timeBoxes);
    r[kObsSiteName] = text(siteNameEdit);
    r[kObsSiteLatitude] = text(latitudeEdit);
    r[kObsSiteLongitude] = text(longitudeEdit);
    r[kObsSiteAltitude] = text(altitudeEdit);
    r[kObsTleFile] = text(tleFileEdit);
    r[kObsTPlusEpoch] = text(tPlusEpochEdit);
    r[kObsAos] = TimeOf(aosBoxes);
    r[kObsLos] = TimeOf(losBoxes);
    r[kObsDuration] = TimeOf(durationBoxes);
    r[kObsMaxElevation] = text(maxElevationEdit);
    r[kObsMinRange] = text(minRangeEdit);
    r[kObsTimingOffset] = text(timingOffsetEdit);
    r[kObsAlignment] = text(alignmentEdit);
    r[kObsTelescope] = Trim(ToLatin1(telescopeBox->currentText()));
    r[kObsVersion] = text(versionEdit);
    std::string remarks;
    for (char c : Trim(ToLatin1(remarksEdit->toPlainText()))) {
        if (c == '\n') remarks += '\r';
        remarks += c;
    }
    r[kObsRemarks] = remarks;
    return r;
}

bool ObsLogWindow::HasUnsavedChanges() const {
    return isNew_ || FormatObsRecord(RecordFromControls()) != shown_;
}

void ObsLogWindow::CheckUnsaved() {
    if (!HasUnsavedChanges()) return;
    const auto answer = QMessageBox::warning(this, QStringLiteral("Observation not Saved!"),
                                             QStringLiteral("Save changes to current record? "),
                                             QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) SaveRecord();
}

void ObsLogWindow::NewRecord() {
    CheckUnsaved();
    const NewObservationInputs in = context_.newInputs ? context_.newInputs() : NewObservationInputs{};
    ShowBytes(FormatObsRecord(NewObservation(in)));
    currentRecord_ = 0;
    isNew_ = true;
    positionLabel->setText(QStringLiteral("New Record"));
    remarksEdit->setFocus();
}

void ObsLogWindow::SaveRecord() {
    const ObsRecord r = RecordFromControls();
    if (LeadingNumber(r[kObsNorad]) == 0.0) return;
    const std::string bytes = FormatObsRecord(r);
    std::string error;
    long number = currentRecord_;
    if (number == 0) {
        number = file_.Append(bytes, &error);
        if (number == 0) {
            Report(error);
            return;
        }
    } else if (!file_.Rewrite(number, bytes, &error)) {
        Report(error);
        return;
    }
    if (context_.markObserved) context_.markObserved(context_.catalogueNumber, favoriteBox->isChecked());
    ObsLogContents contents;
    if (!file_.ReadAll(contents, &error)) Report(error);
    index_ = BuildObsIndex(contents.records, context_.catalogueNumber);
    // DEPARTURE: the record just saved is indexed even beyond 10000 entries, so that the
    // observer always finds what was saved.
    if (ObsRecordNumber(bytes) == context_.catalogueNumber &&
        std::none_of(index_.begin(), index_.end(),
                     [number](const std::string& e) { return ObsIndexRecordNumber(e) == number; })) {
        index_.push_back(ObsIndexEntry(bytes, number));
        std::sort(index_.begin(), index_.end());
    }
    ShowAt(static_cast<int>(index_.size()));
}

void ObsLogWindow::DeleteRecord() {
    if (currentRecord_ != 0) {
        std::string error;
        if (!file_.Blank(currentRecord_, &error)) Report(error);
    }
    RebuildIndex();
}

void ObsLogWindow::First() {
    CheckUnsaved();
    ShowAt(1);
}

void ObsLogWindow::Previous() {
    CheckUnsaved();
    ShowAt(std::max(1, position_ - 1));
}

void ObsLogWindow::Next() {
    CheckUnsaved();
    ShowAt(position_ + 1);
}

void ObsLogWindow::Last() {
    CheckUnsaved();
    ShowAt(static_cast<int>(index_.size()));
}

void ObsLogWindow::closeEvent(QCloseEvent* event) {
    CheckUnsaved();
    isNew_ = false;
    shown_ = FormatObsRecord(RecordFromControls());
    event->accept();
}

}  // namespace corvane::ui
