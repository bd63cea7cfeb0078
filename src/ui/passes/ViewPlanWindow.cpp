#include "ui/passes/ViewPlanWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/AtomicFile.h"
#include "passes/PassLog.h"
#include "ui/common/InlineField.h"

namespace corvane::ui {

namespace {
constexpr int kRecordRole = Qt::UserRole + 1;
}  // namespace

ViewPlanWindow::ViewPlanWindow(PlanContext& context, QWidget* parent) : QDialog(parent), context_(context) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Viewing Plan"));
    Settings& settings = context_.settings;
    settings.ShowViewPlanMap = 0;

    auto* outer = new QVBoxLayout(this);
    const HeadedList list = AddHeadedList(
        outer,
        ConditionLabel(settings.AOSElevation, settings.IgnoreEclipse != 0, ConditionLabelForm::kViewPlan),
        ViewPlanWindowHeader(), {1, 16, 92, 155, 290}, 150, 260);
    conditionLabel = list.condition;
    headerLabel = list.header;
    planList = list.list;

    auto* grid = new QGridLayout;
    removeButton = SmallButton("Remove Object");
    removeAllButton = SmallButton("Remove All");
    refreshButton = SmallButton("Refresh List");
    selectButton = SmallButton("Select Object");
    printButton = SmallButton("Print View Plan");
    printToFile = new QCheckBox(QStringLiteral("Print to File"));
    printToFile->setChecked(settings.PrintVPFile == 1);
    passLogButton = SmallButton("Create Text File of Pass");
    intervalList = new QComboBox;
    for (const std::string& c : LogIntervalChoices()) intervalList->addItem(Latin1(c));
    const int interval =
        settings.LogInterval >= 1 && settings.LogInterval <= intervalList->count() ? settings.LogInterval : 1;
    intervalList->setCurrentIndex(interval - 1);
    mapButton = SmallButton("Viewing Plan Map");
    removeAfterSelected = new QCheckBox(QStringLiteral("Remove after Selected"));
    removeAfterSelected->setChecked(settings.RemoveAfterSelect == 1);
    closeButton = SmallButton("Close");
    grid->addWidget(removeButton, 0, 0);
    grid->addWidget(removeAllButton, 0, 1);
    grid->addWidget(refreshButton, 0, 2);
    grid->addWidget(selectButton, 0, 3);
    grid->addWidget(removeAfterSelected, 0, 4);
    grid->addWidget(printButton, 1, 0);
    grid->addWidget(printToFile, 1, 1);
    grid->addWidget(passLogButton, 1, 2);
    grid->addWidget(new InlineField(QStringLiteral("Calculate position every                     second(s)."),
                                    intervalList),
                    1, 3, 1, 2, Qt::AlignLeft);
    grid->addWidget(mapButton, 2, 0);
    grid->addWidget(closeButton, 2, 4);
    outer->addLayout(grid);
    outer->addWidget(new QLabel(QStringLiteral(
        "(Objects are added using the Predict Pass Functions and removed automatically at LOS.)")));

    connect(removeButton, &QPushButton::clicked, this, [this] { RemoveSelected(); });
    connect(removeAllButton, &QPushButton::clicked, this, [this] { RemoveAll(); });
    connect(refreshButton, &QPushButton::clicked, this, [this] { RefreshList(); });
    connect(selectButton, &QPushButton::clicked, this, [this] { SelectSelected(true); });
    connect(planList, &QListWidget::itemDoubleClicked, this, [this] { SelectSelected(false); });
    connect(printButton, &QPushButton::clicked, this, [this] { PrintViewPlan(); });
    connect(passLogButton, &QPushButton::clicked, this, [this] { CreatePassLog(); });
    connect(mapButton, &QPushButton::clicked, this, [this] {
        context_.settings.ShowViewPlanMap = 1;
        if (context_.openViewPlanMap) context_.openViewPlanMap();
    });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);

    PurgeViewPlan(context_.plan, context_.NowLocal());
    RefreshViewPlanWindow();
    const bool empty = context_.plan.Empty();
    for (QPushButton* b : {removeAllButton, removeButton, selectButton, passLogButton, printButton})
        b->setEnabled(!empty);
}

void ViewPlanWindow::RefreshViewPlanWindow() {
    BusyCursor busy;
    planList->clear();
    const auto catalogue = context_.catalogue.Get();
    const std::vector<std::string> lines = ViewPlanWindowLines(context_.plan, *catalogue, listSlot_,
                                                               context_.CurrentSite(), context_.NowLocal());
    for (size_t i = 0; i < lines.size(); ++i) {
        auto* item = new QListWidgetItem(Latin1(lines[i]));
        const std::string& record = context_.plan.entries[i].Record();
        item->setData(kRecordRole, QByteArray(record.data(), static_cast<qsizetype>(record.size())));
        planList->addItem(item);
    }
    if (planList->count() > 0) planList->setCurrentRow(0);
}

int ViewPlanWindow::EntryOfRow(int row) const {
    const QListWidgetItem* item = planList->item(row);
    if (item == nullptr) return -1;
    const QByteArray record = item->data(kRecordRole).toByteArray();
    const auto& entries = context_.plan.entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].Record() == record.toStdString()) return static_cast<int>(i);
    }
    return -1;
}

void ViewPlanWindow::EnableForPlan() {
    const bool empty = context_.plan.Empty();
    removeButton->setEnabled(!empty);
    selectButton->setEnabled(!empty);
}

void ViewPlanWindow::RemoveSelected() {
    const int row = planList->currentRow();
    const int entry = EntryOfRow(row);
    if (entry >= 0) context_.plan.entries[static_cast<size_t>(entry)].MarkRemoved();
    PurgeViewPlan(context_.plan, context_.NowLocal());
    RefreshViewPlanWindow();
    if (planList->count() > 0) planList->setCurrentRow(std::min(std::max(row, 0), planList->count() - 1));
    if (context_.plan.Empty()) {
        removeButton->setEnabled(false);
        selectButton->setEnabled(false);
    }
}

void ViewPlanWindow::RemoveAll() {
    ClearViewPlan(context_.plan, context_.planPath);
    PurgeViewPlan(context_.plan, context_.NowLocal());
    RefreshViewPlanWindow();
    for (QPushButton* b : {removeButton, selectButton, removeAllButton, passLogButton}) b->setEnabled(false);
}

void ViewPlanWindow::RefreshList() {
    PurgeViewPlan(context_.plan, context_.NowLocal());
    RefreshViewPlanWindow();
    EnableForPlan();
}

void ViewPlanWindow::SelectSelected(bool fromButton) {
    const int entry = EntryOfRow(planList->currentRow());
    if (entry < 0) return;
    ViewPlanEntry& e = context_.plan.entries[static_cast<size_t>(entry)];
    const int index = FindObjectByNorad(*context_.catalogue.Get(), e.Norad());
    if (fromButton) {
        context_.settings.RemoveAfterSelect = removeAfterSelected->isChecked() ? 1 : 0;
        if (context_.settings.RemoveAfterSelect) {
            e.MarkRemoved();
            PurgeViewPlan(context_.plan, context_.NowLocal());
        }
    }
    if (context_.selectObject) context_.selectObject(index);
    if (context_.closeSecondaryWindows) {
        context_.closeSecondaryWindows();  // this window too
    } else {
        close();
    }
}

void ViewPlanWindow::PrintViewPlan() {
    if (printToFile->isChecked()) {
        WriteTextFile();
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromLatin1(kPrintDocumentName));
    if (!context_.printDialog || !context_.printDialog(printer, this)) return;
    PrintTo(printer);
}

void ViewPlanWindow::PrintTo(QPrinter& printer) {
    printer.setDocName(QString::fromLatin1(kPrintDocumentName));
    QPainter painter;
    if (!painter.begin(&printer)) {
        QMessageBox::warning(this, QStringLiteral("Print Error"),
                             QStringLiteral("The printer could not be started."));
        return;
    }
    const QRect page = painter.viewport();
    const double pitch = page.height() / 11.0 / 6.5;
    const double left = page.width() / 8.5 / 2.0;
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(std::max(1, static_cast<int>(pitch * 0.8)));
    painter.setFont(font);
    painter.setPen(Qt::black);
    const std::vector<PrintPage> pages = PrintLayout(context_.plan, context_.CurrentPlanHeader());
    for (size_t p = 0; p < pages.size(); ++p) {
        if (p > 0) printer.newPage();
        for (const PrintLine& line : pages[p].lines) {
            painter.drawText(QPointF(left, pitch * line.line), Latin1(line.text));
        }
    }
    painter.end();
}

void ViewPlanWindow::WriteTextFile() {
    if (!context_.saveFileName) return;
    const QString path = context_.saveFileName(
        this, QStringLiteral("View Plan Text File"), QStringLiteral("vplan.txt"),
        QStringLiteral("View Plan Text File(*.txt);;All Files (*)"), QStringLiteral("txt"));
    if (path.isEmpty()) return;
    std::string error;
    if (!WriteFileAtomically(path.toStdString(), PlanTextFile(context_.plan, context_.CurrentPlanHeader()),
                             &error)) {
        QMessageBox::warning(
            this, QStringLiteral("File Error"),
            QStringLiteral("Could not write ") + path + QStringLiteral(": ") + Latin1(error));
    }
}

void ViewPlanWindow::CreatePassLog() {
    const int entry = EntryOfRow(planList->currentRow());
    if (entry < 0 || !context_.saveFileName) return;
    const ViewPlanEntry e = context_.plan.entries[static_cast<size_t>(entry)];
    const QString path = context_.saveFileName(
        this, QStringLiteral("Create Pass Text Log"), Latin1(PassLogFileName(e.Norad())),
        QStringLiteral("Pass Log Files(*.txt);;All Files (*)"), QStringLiteral("txt"));
    if (path.isEmpty()) return;
    PassLogResult result;
    {
        BusyCursor busy;
        result =
            WritePassLog(path.toStdString(), e, *context_.catalogue.Get(), logSlot_, context_.SiteFields(),
                         context_.ElementFileText(), LogIntervalSeconds(intervalList->currentIndex() + 1));
    }
    // DEPARTURE: a log that is not written is reported; the user has just chosen its file name.
    switch (result.outcome) {
        case PassLogOutcome::kWritten:
            break;
        case PassLogOutcome::kObjectMissing:
            QMessageBox::information(
                this, QStringLiteral("Create Pass Text Log"),
                QStringLiteral("The object of this pass is not in the loaded element file; no "
                               "log was written."));
            break;
        case PassLogOutcome::kBadEntry:
            QMessageBox::warning(
                this, QStringLiteral("Create Pass Text Log"),
                QStringLiteral("The times of this plan entry are damaged; no log was written."));
            break;
        case PassLogOutcome::kWriteFailed:
            QMessageBox::warning(
                this, QStringLiteral("File Error"),
                QStringLiteral("Could not write ") + path + QStringLiteral(": ") + Latin1(result.error));
            break;
    }
}

void ViewPlanWindow::closeEvent(QCloseEvent* event) {
    Settings& s = context_.settings;
    s.LogInterval = intervalList->currentIndex() + 1;
    s.PrintVPFile = printToFile->isChecked() ? 1 : 0;
    s.RemoveAfterSelect = removeAfterSelected->isChecked() ? 1 : 0;
    SaveViewPlanOrWarn(context_, this);
    if (context_.refreshMainPlan) context_.refreshMainPlan();
    QDialog::closeEvent(event);
}

}  // namespace corvane::ui
