#include "ui/telescope/AdjustmentPanel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "ui/common/Widgets.h"
#include "ui/telescope/FindTimingDialog.h"
#include "ui/telescope/Joystick.h"
#include "ui/telescope/MouseAdjustDialog.h"

namespace corvane::ui {

AdjustmentPanel::AdjustmentPanel(Settings& settings, QWidget* parent)
    : QGroupBox(parent), settings_(settings) {
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

    const TimingButton timingOrder[] = {TimingButton::kMinusCoarse, TimingButton::kMinusFine,
                                        TimingButton::kPlusFine, TimingButton::kPlusCoarse};
    for (int i = 0; i < 4; ++i)
        connect(timingButtons[i], &QPushButton::clicked, this,
                [this, b = timingOrder[i]] { PressTimingButton(*this, b, settings_); });
    connect(alignmentMinus, &QPushButton::clicked, this,
            [this] { PressAlignmentButton(*this, false, settings_); });
    connect(alignmentPlus, &QPushButton::clicked, this,
            [this] { PressAlignmentButton(*this, true, settings_); });
    connect(joystickAdjust, &QCheckBox::toggled, this, [this](bool on) { ToggleJoystick(on); });
    connect(mouseAdjustButton, &QPushButton::clicked, this, [this] { OpenMouseAdjust(); });
    connect(findTimingButton, &QPushButton::clicked, this, [this] { OpenFindTiming(); });
}

AdjustmentPanel::~AdjustmentPanel() = default;

std::string AdjustmentPanel::TimingOffsetText() const { return ToLatin1(timingOffset->text()); }
std::string AdjustmentPanel::AlignmentText() const { return ToLatin1(alignmentAdjust->text()); }
void AdjustmentPanel::SetTimingOffsetText(const std::string& text) { timingOffset->setText(Latin1(text)); }
void AdjustmentPanel::SetAlignmentText(const std::string& text) { alignmentAdjust->setText(Latin1(text)); }

void AdjustmentPanel::ToggleJoystick(bool on) {
    if (!on) {
        if (joystick_) joystick_->Stop();
        return;
    }
    if (!joystick_)
        joystick_ = std::make_unique<JoystickAdjuster>(
            *this, settings_,
            [this] {
                if (startStopTracking) startStopTracking();
            },
            this);
    if (!joystick_->Start()) {
        QMessageBox::critical(this, QString::fromLatin1(kJoystickErrorTitle),
                              QString::fromLatin1(kJoystickErrorText));
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

}  // namespace corvane::ui
