#pragma once
#include <QGroupBox>
#include <functional>
#include <memory>
#include <string>

#include "core/Settings.h"
#include "passes/Adjustments.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace corvane::ui {

class JoystickAdjuster;

// The Timing Offset and Alignment Adjustment boxes with their buttons, the joystick, the mouse
// adjustment and the timing-offset sweep, which all change the two boxes.
class AdjustmentPanel : public QGroupBox, public AdjustmentTarget {
    Q_OBJECT
public:
    // `settings` gives the increments and the joystick buttons; it outlives the panel.
    explicit AdjustmentPanel(Settings& settings, QWidget* parent = nullptr);
    ~AdjustmentPanel() override;
    std::string TimingOffsetText() const override;
    std::string AlignmentText() const override;
    // Writing a box publishes the values (textChanged).
    void SetTimingOffsetText(const std::string& text) override;
    void SetAlignmentText(const std::string& text) override;
    void ToggleJoystick(bool on);
    void StopJoystick();
    void OpenMouseAdjust();
    void OpenFindTiming();
    // The joystick's tracking button.
    std::function<void()> startStopTracking;

    QLineEdit* timingOffset = nullptr;
    QPushButton* timingButtons[4] = {nullptr, nullptr, nullptr, nullptr};  // -coarse, -fine, +fine, +coarse
    QLineEdit* alignmentAdjust = nullptr;
    QPushButton* alignmentMinus = nullptr;
    QPushButton* alignmentPlus = nullptr;
    QCheckBox* joystickAdjust = nullptr;
    QPushButton* mouseAdjustButton = nullptr;
    QPushButton* findTimingButton = nullptr;

private:
    Settings& settings_;
    std::unique_ptr<JoystickAdjuster> joystick_;
};

}  // namespace corvane::ui
