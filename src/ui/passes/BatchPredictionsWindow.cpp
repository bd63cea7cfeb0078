#include "ui/passes/BatchPredictionsWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/Text.h"
#include "ui/common/GuiPost.h"

namespace corvane::ui {

namespace {
QToolButton* Arrow(Qt::ArrowType type) {
    auto* b = new QToolButton;
    b->setArrowType(type);
    return b;
}
}  // namespace

BatchPredictionsWindow::BatchPredictionsWindow(PlanContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Satellite Batch Pass Predictions "));
    const Settings& settings = context_.settings;
    const BatchOptions o = BatchOptionsFromSettings(settings);

    auto* outer = new QVBoxLayout(this);
    copyAction = AddCopyMenu(this, outer);

    auto* grid = new QGridLayout;
    lowAltitude = new QCheckBox(QStringLiteral("Low Altitude"));
    modAltitude = new QCheckBox(QStringLiteral("Mod. Altitude"));
    highAltitude = new QCheckBox(QStringLiteral("High Altitude"));
    lowAltitude->setChecked(o.includeLow);
    modAltitude->setChecked(o.includeMod);
    highAltitude->setChecked(o.includeHigh);
    grid->addWidget(lowAltitude, 0, 0);
    grid->addWidget(modAltitude, 1, 0);
    grid->addWidget(highAltitude, 2, 0);

    auto field = [this](const QString& text) {
        auto* e = new QLineEdit(text);
        e->setMaximumWidth(DialogUnitsX(this, 28));
        return e;
    };
    auto* duration = new QHBoxLayout;
    duration->addWidget(new QLabel(QStringLiteral("Pass Duration >")));
    durationEdit = field(QString::number(std::max(2, settings.BatchMinPass)));
    durationUp = Arrow(Qt::UpArrow);
    durationDown = Arrow(Qt::DownArrow);
    for (QWidget* w : {static_cast<QWidget*>(durationEdit), static_cast<QWidget*>(durationUp),
                       static_cast<QWidget*>(durationDown)})
        duration->addWidget(w);
    duration->addWidget(new QLabel(QStringLiteral("Minutes")));
    duration->addStretch();
    grid->addLayout(duration, 0, 1);
    auto* elevation = new QHBoxLayout;
    elevation->addWidget(new QLabel(QStringLiteral("Max. Elevation >")));
    elevationEdit = field(QString::number(settings.BatchMaxElevation));
    elevationUp = Arrow(Qt::UpArrow);
    elevationDown = Arrow(Qt::DownArrow);
    for (QWidget* w : {static_cast<QWidget*>(elevationEdit), static_cast<QWidget*>(elevationUp),
                       static_cast<QWidget*>(elevationDown)})
        elevation->addWidget(w);
    elevation->addWidget(new QLabel(QString(QChar(0xB0))));
    elevation->addStretch();
    grid->addLayout(elevation, 1, 1);
    excludeDaytime = new QCheckBox(QStringLiteral("Exclude Daytime Passes"));
    excludeDaytime->setChecked(o.excludeDaytime);
    grid->addWidget(excludeDaytime, 2, 1);

    auto* period = new QHBoxLayout;
    period->addWidget(new QLabel(QStringLiteral("For the next")));
    periodList = new QComboBox;
    for (int m : BatchPeriodChoices()) periodList->addItem(QString::number(m));
    periodList->setCurrentIndex(std::max(0, periodList->findText(QString::number(o.periodMinutes))));
    period->addWidget(periodList);
    period->addWidget(new QLabel(QStringLiteral("Minutes")));
    period->addStretch();
    grid->addLayout(period, 0, 2);
    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("Closest Range <")));
    rangeEdit = field(QString::number(settings.BatchPredictRange));
    range->addWidget(rangeEdit);
    range->addWidget(new QLabel(QStringLiteral("km")));
    range->addStretch();
    grid->addLayout(range, 1, 2);
    favoritesOnly = new QCheckBox(QStringLiteral("Favorites Only"));
    favoritesOnly->setChecked(o.favoritesOnly);
    neverObserved = new QCheckBox(QStringLiteral("Never Observed"));
    neverObserved->setChecked(o.neverObserved);
    grid->addWidget(favoritesOnly, 0, 3);
    grid->addWidget(neverObserved, 1, 3);

    auto* from = new QHBoxLayout;
    from->addWidget(new QLabel(QStringLiteral("Calculate From")));
    dateList = new QComboBox;
    timeList = new QComboBox;
    const double now = context_.NowLocal();
    listedFrom_ = now;
    for (const std::string& d : BatchStartDates(now)) dateList->addItem(Latin1(d));
    for (const std::string& t : BatchStartTimes()) timeList->addItem(Latin1(t));
    dateList->setCurrentIndex(0);
    timeList->setCurrentIndex(HalfHourIndex(now));
    from->addWidget(dateList);
    from->addWidget(timeList);
    from->addStretch();
    calculateButton = SmallButton("Calculate");
    from->addWidget(calculateButton);
    grid->addLayout(from, 2, 2, 1, 2);
    outer->addLayout(grid);

    statusLabel = new QLabel;
    outer->addWidget(statusLabel);
    const HeadedList list =
        AddHeadedList(outer, PassWindowCondition(settings), BatchHeader(), {102, 200}, 120, 260);
    conditionLabel = list.condition;
    headerLabel = list.header;
    passList = list.list;
    passList->setUniformItemSizes(true);

    auto* buttons = new QHBoxLayout;
    addButton = SmallButton("Add Item to View Plan");
    addAllButton = SmallButton("Add All to View Plan");
    removeButton = SmallButton("Remove Item from List");
    removeAllButton = SmallButton("Remove All");
    closeButton = SmallButton("Close");
    for (QPushButton* b : {addButton, addAllButton, removeButton, removeAllButton}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    outer->addLayout(buttons);
    addButton->setEnabled(false);
    addAllButton->setEnabled(false);
    removeButton->setEnabled(false);

    connect(calculateButton, &QPushButton::clicked, this, [this] {
        if (running_) {
            AbortCalculation();
        } else {
            StartCalculation();
        }
    });
    connect(durationUp, &QToolButton::clicked, this, [this] { StepField(durationEdit, 1, 2, 10); });
    connect(durationDown, &QToolButton::clicked, this, [this] { StepField(durationEdit, -1, 2, 10); });
    connect(elevationUp, &QToolButton::clicked, this, [this] { StepField(elevationEdit, 1, 0, 90); });
    connect(elevationDown, &QToolButton::clicked, this, [this] { StepField(elevationEdit, -1, 0, 90); });
    connect(passList, &QListWidget::currentRowChanged, this, [this] { SelectionChanged(); });
    connect(addButton, &QPushButton::clicked, this, [this] { AddSelectedToViewPlan(); });
    connect(addAllButton, &QPushButton::clicked, this, [this] { AddAllToViewPlan(); });
    connect(removeButton, &QPushButton::clicked, this, [this] { RemoveSelected(); });
    connect(removeAllButton, &QPushButton::clicked, this, [this] { RemoveAll(); });
    connect(copyAction, &QAction::triggered, this, [this] { CopySelected(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

BatchPredictionsWindow::~BatchPredictionsWindow() { StopWorker(); }

void BatchPredictionsWindow::StepField(QLineEdit* field, int delta, int low, int high) {
    field->setText(QString::number(std::clamp(LeadingInt(ToLatin1(field->text())) + delta, low, high)));
}

BatchOptions BatchPredictionsWindow::OptionsOnScreen() const {
    BatchOptions o;
    o.includeLow = lowAltitude->isChecked();
    o.includeMod = modAltitude->isChecked();
    o.includeHigh = highAltitude->isChecked();
    o.minPassMinutes = LeadingInt(ToLatin1(durationEdit->text()));
    o.maxElevation = LeadingInt(ToLatin1(elevationEdit->text()));
    o.excludeDaytime = excludeDaytime->isChecked();
    o.periodMinutes = BatchPeriodMinutes(LeadingInt(ToLatin1(periodList->currentText())));
    o.predictRange = LeadingInt(ToLatin1(rangeEdit->text()));
    o.favoritesOnly = favoritesOnly->isChecked();
    o.neverObserved = neverObserved->isChecked();
    return o;
}

void BatchPredictionsWindow::StopWorker() {
    if (stop_) stop_->store(true);
    // The worker checks the flag before each object: this waits for one object at most.
    if (worker_.joinable()) worker_.join();
}

void BatchPredictionsWindow::StartCalculation() {
    StopWorker();
    BatchRequest request;
    request.catalogue = context_.catalogue.Get();
    request.site = context_.CurrentSite();
    request.passSettings = context_.CurrentPassSettings();
    request.options = OptionsOnScreen();
    request.startLocal = StartOnScreen();
    if (context_.altitudeHeights) request.heights = context_.altitudeHeights();
    if (context_.catalogueModels) request.models = context_.catalogueModels();
    if (context_.observed) request.observed = *context_.observed;
    StoreSettings();
    context_.settings.ExcludeDaylightPass = request.options.excludeDaytime ? 1 : 0;

    const int generation = ++generation_;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    running_ = true;
    calculateButton->setText(QStringLiteral("Abort Calculating"));
    statusLabel->setText(Latin1(BatchStatusText(0, request.catalogue->Count())));
    worker_ = std::thread([this, request = std::move(request), stop = stop_, generation, threads = threads_] {
        RunBatch(
            request, *stop,
            [this, generation](int calculated, int total, std::vector<BatchLine>&& lines) {
                PostToGui(this, [this, generation, calculated, total, lines = std::move(lines)]() mutable {
                    Received(generation, calculated, total, std::move(lines));
                });
            },
            threads);
        PostToGui(this, [this, generation] { Finished(generation); });
    });
}

double BatchPredictionsWindow::StartOnScreen() const {
    // From the day the list was built: after midnight the first item still names that day.
    return BatchStartLocal(listedFrom_, dateList->currentIndex(), timeList->currentIndex());
}

void BatchPredictionsWindow::AbortCalculation() {
    // The worker stops before its next object; what it found until then still comes in.
    if (stop_) stop_->store(true);
    running_ = false;
    calculateButton->setText(QStringLiteral("Calculate"));
}

void BatchPredictionsWindow::Received(int generation, int calculated, int total,
                                      std::vector<BatchLine> lines) {
    // Lines of an older run are kept too: they were found, and they come before the new run's.
    if (generation == generation_) statusLabel->setText(Latin1(BatchStatusText(calculated, total)));
    if (lines.empty()) return;
    QStringList items;
    items.reserve(static_cast<qsizetype>(lines.size()));
    for (BatchLine& l : lines) {
        items.append(Latin1(l.line));
        lines_.push_back(std::move(l.line));
    }
    passList->addItems(items);
    addAllButton->setEnabled(true);
}

void BatchPredictionsWindow::Finished(int generation) {
    finishedGeneration_ = generation;
    if (generation != generation_) return;
    running_ = false;
    calculateButton->setText(QStringLiteral("Calculate"));
}

void BatchPredictionsWindow::SelectionChanged() {
    const int row = passList->currentRow();
    const bool line =
        row >= 0 && row < static_cast<int>(lines_.size()) && !lines_[static_cast<size_t>(row)].empty();
    addButton->setEnabled(line);
    removeButton->setEnabled(line);
}

void BatchPredictionsWindow::AfterRemoval(int row) {
    // The line before the removed one (the first when it was the first).
    if (!lines_.empty())
        passList->setCurrentRow(std::max(0, std::min(row - 1, static_cast<int>(lines_.size()) - 1)));
    if (lines_.empty()) addAllButton->setEnabled(false);
    SelectionChanged();
}

void BatchPredictionsWindow::AddSelectedToViewPlan() {
    const int row = passList->currentRow();
    if (row < 0 || row >= static_cast<int>(lines_.size())) return;
    const bool planned = PlanHoldsBatchLine(context_.plan, lines_[static_cast<size_t>(row)]);
    if (AddBatchLine(context_.plan, lines_[static_cast<size_t>(row)], context_.NowLocal())) {
        TellAlreadyPlanned(this, planned ? 1 : 0);
        lines_.erase(lines_.begin() + row);
        delete passList->takeItem(row);
        AfterRemoval(row);
    }
    PurgeViewPlan(context_.plan, context_.NowLocal());
    if (context_.refreshMainPlan) context_.refreshMainPlan();
}

void BatchPredictionsWindow::AddAllToViewPlan() {
    BusyCursor busy;
    std::vector<bool> planned;
    planned.reserve(lines_.size());
    for (const std::string& line : lines_) planned.push_back(PlanHoldsBatchLine(context_.plan, line));
    const size_t added = AddAllBatchLines(context_.plan, lines_, context_.NowLocal());
    for (size_t i = 0; i < added; ++i) delete passList->takeItem(0);
    AfterRemoval(0);
    if (context_.refreshMainPlan) context_.refreshMainPlan();
    TellAlreadyPlanned(
        this, static_cast<int>(
                  std::count(planned.begin(), planned.begin() + static_cast<std::ptrdiff_t>(added), true)));
}

void BatchPredictionsWindow::RemoveSelected() {
    const int row = passList->currentRow();
    if (row < 0 || row >= static_cast<int>(lines_.size())) return;
    lines_.erase(lines_.begin() + row);
    delete passList->takeItem(row);
    AfterRemoval(row);
}

void BatchPredictionsWindow::RemoveAll() {
    lines_.clear();
    passList->clear();
    removeButton->setEnabled(false);
    addButton->setEnabled(false);
    addAllButton->setEnabled(false);
}

void BatchPredictionsWindow::CopySelected() {
    const int row = passList->currentRow();
    if (row < 0 || row >= static_cast<int>(lines_.size())) return;
    std::string text = TrimRight(lines_[static_cast<size_t>(row)]);
    std::replace(text.begin(), text.end(), '\t', ' ');
    QApplication::clipboard()->setText(Latin1(text));
}

void BatchPredictionsWindow::StoreSettings() {
    BatchOptions o = OptionsOnScreen();
    StoreBatchOptions(o, context_.settings);
}

void BatchPredictionsWindow::closeEvent(QCloseEvent* event) {
    StoreSettings();
    AbortCalculation();
    StopWorker();
    QDialog::closeEvent(event);
}

}  // namespace corvane::ui
