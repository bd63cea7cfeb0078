#pragma once
// "Find Timing Offset": sweeps the Timing Offset box from a start to an end value in steps, one
// step every few seconds, optionally back and forth ("Loop"), until the user stops it (space bar
// or "Stop") when the object is centred. The sweep is TimingSweep; this window reads its lists
// and runs the timer. The four values are stored into the settings when the window goes.
// GUI thread only.
#include <QDialog>
#include <QTimer>

#include "passes/Adjustments.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace corvane {
struct Settings;
}

namespace corvane::ui {

class FindTimingDialog : public QDialog {
    Q_OBJECT
public:
    FindTimingDialog(AdjustmentTarget& target, Settings& settings, QWidget* parent = nullptr);
    ~FindTimingDialog() override;

    TimingSweep& sweep() { return sweep_; }
    QTimer& timer() { return timer_; }

    // "Start/Restart", "Stop", and one timer tick.
    void StartSweep();
    void StopSweep();
    void Tick();

    QLabel* explanation = nullptr;
    QComboBox* startList = nullptr;
    QComboBox* endList = nullptr;
    QComboBox* incrementList = nullptr;
    QComboBox* frequencyList = nullptr;
    QCheckBox* loopBox = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* closeButton = nullptr;

public slots:
    void reject() override;

private:
    SweepSetup ReadLists() const;
    void StoreSettings();

    AdjustmentTarget& target_;
    Settings& settings_;
    TimingSweep sweep_;
    QTimer timer_;
};

}  // namespace corvane::ui
