#include "ui/telescope/FindTimingDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Settings.h"
#include "core/Text.h"

namespace corvane::ui {

namespace {

QComboBox* List(const std::vector<std::string>& items) {
    auto* box = new QComboBox;
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& item : items) box->addItem(QString::fromStdString(item));
    box->setMinimumContentsLength(4);
    return box;
}

// Selects the entry with exactly this text; nothing (an empty text) when there is none.
void Select(QComboBox* box, const QString& text) {
    box->setCurrentIndex(box->findText(text, Qt::MatchExactly));
    if (box->currentIndex() < 0) box->setEditText(QString());
}

std::string Text(const QComboBox* box) { return box->currentText().toLatin1().toStdString(); }

}  // namespace

FindTimingDialog::FindTimingDialog(AdjustmentTarget& target, Settings& settings, QWidget* parent)
    : QDialog(parent), target_(target), settings_(settings) {
    setWindowTitle(QStringLiteral("Find Timing Offset"));

    explanation = new QLabel(
        QStringLiteral(
            "The Find Timing Offset Function is designed primarily for centering an object when using") +
        QStringLiteral(" continuous tracking. With tracking started, allow the telescope to slew close") +
        QStringLiteral(" to the object. Click the 'Start/Restart' button and look for the object in the") +
        QStringLiteral(
            " eyepiece. When the object is centered press the space bar or click the 'Stop' button."));
    explanation->setWordWrap(true);

    // 1. The lists and their stored selections.
    startList = List(FindTimingRangeItems());
    endList = List(FindTimingRangeItems());
    frequencyList = List(FindTimingFrequencyItems());
    incrementList = List(FindTimingIncrementItems());
    Select(startList, QString::number(settings.TestTimingStart));
    Select(endList, QString::number(settings.TestTimingEnd));
    Select(frequencyList, QString::fromStdString(PlainNumber(settings.TestTimingIncrementFrequency)));
    const int increment = IncrementPreselection(settings.TestTimingIncrement);
    incrementList->setCurrentIndex(increment);
    if (increment < 0) incrementList->setEditText(QString());

    loopBox = new QCheckBox(QStringLiteral("Loop"));
    startButton = new QPushButton(QStringLiteral("Start/Restart"));
    stopButton = new QPushButton(QStringLiteral("Stop"));
    closeButton = new QPushButton(QStringLiteral("Close"));
    for (QPushButton* b : {startButton, stopButton, closeButton}) b->setAutoDefault(false);
    stopButton->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    auto row = [&](std::initializer_list<QWidget*> widgets) {
        auto* h = new QHBoxLayout;
        for (QWidget* w : widgets) h->addWidget(w);
        h->addStretch(1);
        layout->addLayout(h);
    };
    row({new QLabel(QStringLiteral("Test Timing Offset from ")), startList,
         new QLabel(QStringLiteral("seconds")), new QLabel(QStringLiteral("to")), endList,
         new QLabel(QStringLiteral("seconds"))});
    row({new QLabel(QStringLiteral("In increments of")), incrementList,
         new QLabel(QStringLiteral("second(s) "))});
    row({new QLabel(QStringLiteral("Increment every")), frequencyList,
         new QLabel(QStringLiteral("second(s) "))});
    row({loopBox});
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(startButton);
    buttons->addWidget(stopButton);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);

    connect(startButton, &QPushButton::clicked, this, &FindTimingDialog::StartSweep);
    connect(stopButton, &QPushButton::clicked, this, &FindTimingDialog::StopSweep);
    connect(closeButton, &QPushButton::clicked, this, [this] {
        StopSweep();
        close();
    });
    connect(&timer_, &QTimer::timeout, this, &FindTimingDialog::Tick);
}

FindTimingDialog::~FindTimingDialog() {
    timer_.stop();
    StoreSettings();
}

SweepSetup FindTimingDialog::ReadLists() const {
    return ReadSweepSetup(Text(startList), Text(endList), Text(incrementList), Text(frequencyList));
}

void FindTimingDialog::StoreSettings() { StoreSweepSetup(ReadLists(), settings_); }

void FindTimingDialog::StartSweep() {
    timer_.stop();
    const int period = sweep_.Start(ReadLists(), target_);
    if (period <= 0) {
        stopButton->hide();
        return;
    }
    stopButton->show();
    stopButton->setFocus();  // the space bar presses it
    timer_.start(period);
}

void FindTimingDialog::StopSweep() {
    timer_.stop();
    sweep_.Stop();
    stopButton->hide();
}

void FindTimingDialog::Tick() {
    if (!sweep_.Tick(loopBox->isChecked(), target_)) StopSweep();
}

void FindTimingDialog::reject() {
    // However the window goes ("Close", Escape, its close box), no sweep goes on unseen.
    StopSweep();
    StoreSettings();
    QDialog::reject();
}

}  // namespace corvane::ui
