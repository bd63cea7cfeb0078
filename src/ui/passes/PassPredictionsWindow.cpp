#include "ui/passes/PassPredictionsWindow.h"

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

namespace corvane::ui {

PassPredictionsWindow::PassPredictionsWindow(PlanContext& context, int object, QWidget* parent)
    : QDialog(parent), context_(context), catalogue_(context.catalogue.Get()), object_(object) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    identity_ = IdentityOf(*catalogue_, object_);
    setWindowTitle(Latin1(PredictionsTitle(identity_)));
    Settings& settings = context_.settings;
    if (settings.MinPredictPass < 2) settings.MinPredictPass = 2;

    auto* outer = new QVBoxLayout(this);
    copyAction = AddCopyMenu(this, outer);

    satelliteLabel = new QLabel;
    fromLabel = new QLabel;
    toLabel = new QLabel;
    auto* top = new QHBoxLayout;
    top->addWidget(satelliteLabel);
    top->addStretch();
    top->addWidget(fromLabel);
    top->addWidget(toLabel);
    outer->addLayout(top);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Pass Duration > ")));
    durationEdit = new QLineEdit;
    durationEdit->setMaximumWidth(DialogUnitsX(this, 24));
    durationEdit->setText(QString::asprintf("%02d", settings.MinPredictPass));
    durationUp = new QToolButton;
    durationUp->setArrowType(Qt::UpArrow);
    durationDown = new QToolButton;
    durationDown->setArrowType(Qt::DownArrow);
    controls->addWidget(durationEdit);
    controls->addWidget(durationUp);
    controls->addWidget(durationDown);
    controls->addWidget(new QLabel(QStringLiteral("minutes")));
    controls->addSpacing(12);
    previousButton = SmallButton("<< Previous 24hr");
    nextButton = SmallButton("Next 24hr >>");
    controls->addWidget(previousButton);
    controls->addWidget(nextButton);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Skip to ")));
    skipToList = new QComboBox;
    for (const std::string& date : SkipToDates(context_.NowLocal())) skipToList->addItem(Latin1(date));
    skipToList->setCurrentIndex(0);
    controls->addWidget(skipToList);
    controls->addSpacing(12);
    excludeDaytime = new QCheckBox(QStringLiteral("Exclude Daytime Passes"));
    excludeDaytime->setChecked(settings.ExcludeDaylightPass != 0);
    controls->addWidget(excludeDaytime);
    controls->addStretch();
    outer->addLayout(controls);

    const HeadedList list =
        AddHeadedList(outer, PassWindowCondition(settings), PredictionsHeader(), {102, 200}, 96, 220);
    conditionLabel = list.condition;
    headerLabel = list.header;
    passList = list.list;

    auto* buttons = new QHBoxLayout;
    addButton = SmallButton("Add to View Plan");
    skyMapButton = SmallButton("Sky Map");
    worldMapButton = SmallButton("World Map");
    batchButton = SmallButton("Batch Predictions");
    closeButton = SmallButton("Close");
    for (QPushButton* b : {addButton, skyMapButton, worldMapButton, batchButton}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    outer->addLayout(buttons);

    previousButton->setEnabled(false);
    connect(nextButton, &QPushButton::clicked, this, [this] { NextDay(); });
    connect(previousButton, &QPushButton::clicked, this, [this] { PreviousDay(); });
    connect(skipToList, qOverload<int>(&QComboBox::activated), this, [this](int i) { SkipTo(i); });
    connect(durationEdit, &QLineEdit::editingFinished, this, [this] { DurationEdited(); });
    connect(durationUp, &QToolButton::clicked, this, [this] { StepDuration(1); });
    connect(durationDown, &QToolButton::clicked, this, [this] { StepDuration(-1); });
    connect(addButton, &QPushButton::clicked, this, [this] { AddSelectedToViewPlan(); });
    connect(copyAction, &QAction::triggered, this, [this] { CopySelected(); });
    connect(skyMapButton, &QPushButton::clicked, this, [this] {
        const int row = passList->currentRow();
        double t = context_.NowLocal() - context_.CurrentSite().utcOffset / 24.0;
        if (row >= 0 && row < static_cast<int>(result_.passes.size()))
            t = result_.passes[static_cast<size_t>(row)].aos;
        if (context_.openSkyMap) context_.openSkyMap(t);
    });
    connect(worldMapButton, &QPushButton::clicked, this, [this] {
        if (context_.openWorldMap) context_.openWorldMap();
    });
    connect(batchButton, &QPushButton::clicked, this, [this] {
        if (context_.openBatchPredictions) context_.openBatchPredictions();
        close();
    });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);

    // The first computation covers the next 24 hours from now.
    window_ = -1;
    NextDay();
}

void PassPredictionsWindow::NextDay() {
    ++window_;
    if (window_ > 0) previousButton->setEnabled(true);
    ComputeDayWindow();
}

void PassPredictionsWindow::PreviousDay() {
    window_ = std::max(0, window_ - 1);
    if (window_ == 0) previousButton->setEnabled(false);
    ComputeDayWindow();
}

void PassPredictionsWindow::SkipTo(int item) {
    window_ = item - 1;
    NextDay();
}

void PassPredictionsWindow::ComputeDayWindow() {
    BusyCursor busy;
    DayWindowRequest request;
    request.nowLocal = context_.NowLocal();
    request.window = std::max(0, window_);
    request.minimumSeconds = MinimumSecondsOf(ToLatin1(durationEdit->text()));
    request.excludeDaytime = excludeDaytime->isChecked();
    passList->clear();
    result_ = corvane::ComputeDayWindow(*catalogue_, object_, slot_, context_.CurrentSite(),
                                        context_.CurrentPassSettings(), request);
    satelliteLabel->setText(Latin1(result_.satelliteText));
    fromLabel->setText(Latin1(result_.fromText));
    toLabel->setText(Latin1(result_.toText));
    for (const std::string& line : result_.lines) passList->addItem(Latin1(line));
    if (passList->count() > 0) passList->setCurrentRow(0);
}

void PassPredictionsWindow::DurationEdited() {
    if (DurationFieldNeedsCorrection(ToLatin1(durationEdit->text())))
        durationEdit->setText(QStringLiteral("02"));
}

void PassPredictionsWindow::StepDuration(int delta) {
    const int value = std::clamp(LeadingInt(ToLatin1(durationEdit->text())) + delta, 2, 30);
    durationEdit->setText(QString::number(value));
}

void PassPredictionsWindow::AddSelectedToViewPlan() {
    const int row = passList->currentRow();
    if (row < 0 || row >= static_cast<int>(result_.lines.size())) return;
    const std::string& line = result_.lines[static_cast<size_t>(row)];
    const bool planned = PlanHoldsPass(context_.plan, line, identity_.field);
    const bool added =
        AddToViewPlan(context_.plan, line, identity_.name, identity_.field, context_.NowLocal());
    if (context_.refreshMainPlan) context_.refreshMainPlan();
    if (added && planned) TellAlreadyPlanned(this, 1);
}

void PassPredictionsWindow::CopySelected() {
    const int row = passList->currentRow();
    if (row < 0 || row >= static_cast<int>(result_.lines.size())) return;
    const std::string text =
        PassCopyText(result_.lines[static_cast<size_t>(row)], identity_.field, identity_.name);
    QApplication::clipboard()->setText(Latin1(text));
}

void PassPredictionsWindow::closeEvent(QCloseEvent* event) {
    context_.settings.ExcludeDaylightPass = excludeDaytime->isChecked() ? 1 : 0;
    context_.settings.MinPredictPass = LeadingInt(ToLatin1(durationEdit->text()));
    QDialog::closeEvent(event);
}

}  // namespace corvane::ui
