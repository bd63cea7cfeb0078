#include "ui/obslog/ObsReportWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/AtomicFile.h"
#include "core/Text.h"
#include "obslog/NewObservation.h"
#include "ui/common/Widgets.h"

namespace corvane::ui {

namespace {
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void FillDate(QComboBox* boxes[3], int lastYear) {
    boxes[0] = new QComboBox;
    for (int y = 1996; y <= lastYear; ++y) boxes[0]->addItem(QString::number(y));
    boxes[1] = new QComboBox;
    for (const char* m : kMonths) boxes[1]->addItem(QString::fromLatin1(m));
    boxes[2] = new QComboBox;
    for (int d = 1; d <= 31; ++d) boxes[2]->addItem(QString::asprintf("%02d", d));
}

void ShowDate(QComboBox* const boxes[3], long yyyymmdd) {
    const int year = boxes[0]->findText(QString::number(yyyymmdd / 10000));
    boxes[0]->setCurrentIndex(std::max(0, year));
    boxes[1]->setCurrentIndex(std::clamp(static_cast<int>(yyyymmdd / 100 % 100) - 1, 0, 11));
    boxes[2]->setCurrentIndex(std::clamp(static_cast<int>(yyyymmdd % 100) - 1, 0, 30));
}

long DateOf(QComboBox* const boxes[3]) {
    return boxes[0]->currentText().toLong() * 10000 + (boxes[1]->currentIndex() + 1) * 100 +
           (boxes[2]->currentIndex() + 1);
}

QPushButton* Button(const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text));
    b->setAutoDefault(false);
    return b;
}

QComboBox* CompareList() {
    auto* box = new QComboBox;
    box->addItems({QStringLiteral("Greater than"), QStringLiteral("Less than")});
    return box;
}
}  // namespace

ObsReportWindow::ObsReportWindow(ObsReportContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Observation Reports "));

    // What the log holds, for the choice lists.
    ObsLogContents contents;
    std::string error;
    if (!ObsLogFile(context_.logPath).ReadAll(contents, &error))
        QMessageBox::warning(this, QStringLiteral("File Error"), QString::fromLocal8Bit(error.c_str()));
    const ObsReportChoices choices = CollectObsReportChoices(contents.records);

    auto* outer = new QVBoxLayout(this);
    auto* sortGroup = new QGroupBox(QStringLiteral("Sort by"));
    auto* sortLayout = new QHBoxLayout(sortGroup);
    primaryBox = new QComboBox;
    secondaryBox = new QComboBox;
    for (const char* entry : kObsSortEntries) {
        primaryBox->addItem(QString::fromLatin1(entry));
        secondaryBox->addItem(QString::fromLatin1(entry));
    }
    primaryBox->setCurrentIndex(0);
    secondaryBox->setCurrentIndex(1);
    sortLayout->addWidget(new QLabel(QStringLiteral("     Primary")));
    sortLayout->addWidget(primaryBox);
    sortLayout->addWidget(new QLabel(QStringLiteral("Secondary")));
    sortLayout->addWidget(secondaryBox);
    sortLayout->addStretch();
    outer->addWidget(sortGroup);

    auto* criteria = new QGroupBox(QStringLiteral("Criteria"));
    auto* grid = new QGridLayout(criteria);
    const int nextYear = static_cast<int>(Today() / 10000) + 1;
    FillDate(fromBoxes, nextYear);
    FillDate(toBoxes, nextYear);
    fromTodayButton = Button("Today");
    toTodayButton = Button("Today");
    allDatesButton = Button("All Dates");
    auto dateRow = [&](int row, const char* caption, QComboBox* const boxes[3], QPushButton* todayButton) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption)), row, 0);
        auto* l = new QHBoxLayout;
        for (int k = 0; k < 3; ++k) l->addWidget(boxes[k]);
        l->addWidget(todayButton);
        l->addStretch();
        grid->addLayout(l, row, 1, 1, 3);
    };
    dateRow(0, "Date from", fromBoxes, fromTodayButton);
    dateRow(1, "to", toBoxes, toTodayButton);
    grid->addWidget(allDatesButton, 1, 4);

    auto choiceRow = [&](int row, const char* caption, QCheckBox*& check, QComboBox*& box,
                         const std::vector<std::string>& values) {
        check = new QCheckBox(QString::fromLatin1(caption));
        box = new QComboBox;
        for (const std::string& v : values) box->addItem(Latin1(v));
        grid->addWidget(check, row, 0);
        grid->addWidget(box, row, 1, 1, 3);
    };
    choiceRow(2, "If Satellite = ", satelliteCheck, satelliteBox, choices.satellites);
    choiceRow(3, "If Site Name = ", siteCheck, siteBox, choices.sites);
    choiceRow(4, "If Telescope = ", telescopeCheck, telescopeBox, choices.telescopes);

    auto thresholdRow = [&](int row, const char* caption, QCheckBox*& check, QComboBox*& compare,
                            QSpinBox*& value, const QString& unit, int maximum) {
        check = new QCheckBox(QString::fromLatin1(caption));
        compare = CompareList();
        value = new QSpinBox;
        value->setRange(0, maximum);
        grid->addWidget(check, row, 0);
        grid->addWidget(compare, row, 1);
        grid->addWidget(value, row, 2);
        grid->addWidget(new QLabel(unit), row, 3);
    };
    thresholdRow(5, "If Max. Elevation is", elevationCheck, elevationCompare, elevationValue,
                 QString::fromLatin1("\xb0", 1), 90);
    thresholdRow(6, "If Min. Range is", rangeCheck, rangeCompare, rangeValue, QStringLiteral("km"), 999999);
    outer->addWidget(criteria);

    viewReportCheck = new QCheckBox(QStringLiteral("View Report after Creation"));
    viewReportCheck->setChecked(context_.settings && context_.settings->ViewObsReport == 1);
    outer->addWidget(viewReportCheck);
    auto* buttons = new QHBoxLayout;
    executeButton = Button("Execute Report");
    closeButton = Button("Close");
    buttons->addWidget(executeButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    outer->addLayout(buttons);

    SetFromDate(Today());
    SetToDate(Today());
    connect(fromTodayButton, &QPushButton::clicked, this, [this] { SetFromDate(Today()); });
    connect(toTodayButton, &QPushButton::clicked, this, [this] { SetToDate(Today()); });
    connect(allDatesButton, &QPushButton::clicked, this, [this] {
        SetFromDate(19960101);
        SetToDate(Today());
    });
    connect(executeButton, &QPushButton::clicked, this, [this] { ExecuteReport(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

long ObsReportWindow::Today() const {
    return context_.nowLocal ? std::stol(ObsDateText(context_.nowLocal())) : 19960101;
}

void ObsReportWindow::SetFromDate(long yyyymmdd) { ShowDate(fromBoxes, yyyymmdd); }
void ObsReportWindow::SetToDate(long yyyymmdd) { ShowDate(toBoxes, yyyymmdd); }

ObsReportCriteria ObsReportWindow::Criteria() const {
    ObsReportCriteria c;
    c.fromDate = DateOf(fromBoxes);
    c.toDate = DateOf(toBoxes);
    if (satelliteCheck->isChecked() && satelliteBox->count() > 0)
        c.satellite = ObsRecordNumber(ToLatin1(satelliteBox->currentText()));
    if (siteCheck->isChecked() && siteBox->count() > 0) c.siteName = Trim(ToLatin1(siteBox->currentText()));
    if (telescopeCheck->isChecked() && telescopeBox->count() > 0)
        c.telescope = Trim(ToLatin1(telescopeBox->currentText()));
    auto threshold = [](QComboBox* compare, QSpinBox* value) {
        return ObsThreshold{compare->currentIndex() == 0 ? ObsCompare::kGreaterThan : ObsCompare::kLessThan,
                            static_cast<double>(value->value())};
    };
    if (elevationCheck->isChecked()) c.maxElevation = threshold(elevationCompare, elevationValue);
    if (rangeCheck->isChecked()) c.minRange = threshold(rangeCompare, rangeValue);
    c.primary = ObsSortKeyOf(ToLatin1(primaryBox->currentText())).value_or(ObsSortKey::kDate);
    c.secondary = ObsSortKeyOf(ToLatin1(secondaryBox->currentText())).value_or(ObsSortKey::kSatelliteName);
    return c;
}

void ObsReportWindow::ExecuteReport() {
    // 1. The viewer choice is a setting.
    if (context_.settings) context_.settings->ViewObsReport = viewReportCheck->isChecked() ? 1 : 0;
    // 2. The output file; cancelling ends the command.
    if (!context_.saveFileName) return;
    const QString file =
        context_.saveFileName(this, QStringLiteral("Save Observation Log ASC Tab Delimted File"),
                              QString::fromLatin1(kObsReportDefaultName),
                              QStringLiteral("Text Files(*.txt);;All Files (*)"), QStringLiteral("txt"));
    if (file.isEmpty()) return;
    // 3-5. Select, sort and write.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ObsLogContents contents;
    std::string error;
    const bool read = ObsLogFile(context_.logPath).ReadAll(contents, &error);
    bool written = false;
    if (read)
        written = WriteFileAtomically(file.toLocal8Bit().toStdString(),
                                      BuildObsReport(contents.records, Criteria()), &error);
    // 6. The arrow cursor again; the viewer when asked for.
    QApplication::restoreOverrideCursor();
    if (!written) {
        // DEPARTURE: a log that cannot be read or a report that cannot be written is reported,
        // instead of leaving an empty or half report behind as if it were complete.
        QMessageBox::warning(this, QStringLiteral("File Error"), QString::fromLocal8Bit(error.c_str()));
        return;
    }
    lastReport_ = file;
    if (viewReportCheck->isChecked() && context_.openInViewer && !context_.openInViewer(file))
        QMessageBox::warning(this, QStringLiteral("Observation Reports "),
                             QStringLiteral("No viewer could be started for ") + file + QStringLiteral("."));
}

}  // namespace corvane::ui
