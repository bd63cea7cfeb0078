#pragma once
// "Tracking Adjustments with Mouse": while adjusting (right click or End to start and stop), the
// pointer's offset from the reference point sets the Timing Offset horizontally and the Alignment
// Adjustment vertically; the arrow keys nudge the pointer, Page Up/Down change both
// sensitivities, Escape (while not adjusting) or "Reset [Esc]" restore the opening values. The
// logic is MouseAdjustLogic; this window feeds it the pointer and the keys every 60 ms and keeps
// the pointer inside its area. Open a new window each time (the opening values are taken when
// it is made). GUI thread only.
#include <QDialog>
#include <QPoint>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "passes/Adjustments.h"

class QLabel;
class QPushButton;
class QSlider;

namespace corvane {
struct Settings;
}

namespace corvane::ui {

class MouseAdjustDialog : public QDialog {
    Q_OBJECT
public:
    MouseAdjustDialog(AdjustmentTarget& target, Settings& settings, QWidget* parent = nullptr);
    ~MouseAdjustDialog() override;

    MouseAdjustLogic& logic() { return *logic_; }
    QTimer& timer() { return timer_; }

    // Start or stop adjusting (right click, End).
    void ToggleActive();
    // One 60 ms tick.
    void Tick();

    // The pointer in window coordinates, and moving it; the real mouse unless a test replaces them.
    std::function<QPoint()> pointerPos;
    std::function<void(QPoint)> setPointerPos;

    QLabel* helpLine = nullptr;
    QLabel* timingCaption = nullptr;
    QLabel* alignmentCaption = nullptr;
    QSlider* timingSlider = nullptr;
    QSlider* alignmentSlider = nullptr;
    QPushButton* resetButton = nullptr;
    QPushButton* closeButton = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void reject() override;

private:
    void ShowControls(bool show);
    void ShowSliders();
    void CloseWindow();
    void EndAdjusting();

    Settings& settings_;
    std::unique_ptr<MouseAdjustLogic> logic_;
    QTimer timer_;
    std::vector<AdjustKey> keys_;
    QList<QWidget*> controls_;
    bool crossCursor_ = false;
};

}  // namespace corvane::ui
