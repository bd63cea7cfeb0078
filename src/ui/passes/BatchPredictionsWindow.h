#pragma once
// "Satellite Batch Pass Predictions " window: the passes of every catalogue object in a period of
// 15 to 300 minutes from a chosen half hour, filtered by its controls, and adding them to the View
// Plan (at most 2000 entries from here). The search runs on worker threads that never touch a
// widget: results come back through PostToGui in catalogue order. Modeless. GUI thread only.
#include <QDialog>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "passes/BatchPredictions.h"
#include "ui/passes/PlanContext.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace corvane::ui {

class BatchPredictionsWindow : public QDialog {
    Q_OBJECT
public:
    explicit BatchPredictionsWindow(PlanContext& context, QWidget* parent = nullptr);
    ~BatchPredictionsWindow() override;

    bool Running() const { return running_; }
    // The last run's worker has reported its end (after an abort, too).
    bool Idle() const { return finishedGeneration_ == generation_; }
    // "Calculate" / "Abort Calculating".
    void StartCalculation();
    void AbortCalculation();
    void AddSelectedToViewPlan();
    void AddAllToViewPlan();
    void RemoveSelected();
    void RemoveAll();
    void CopySelected();
    // The options the controls show, and the local date and time "Calculate From" shows.
    BatchOptions OptionsOnScreen() const;
    double StartOnScreen() const;
    // Threads of the next calculation (0: one per core).
    void SetThreads(int threads) { threads_ = threads; }

    QCheckBox* lowAltitude = nullptr;
    QCheckBox* modAltitude = nullptr;
    QCheckBox* highAltitude = nullptr;
    QLineEdit* durationEdit = nullptr;
    QToolButton* durationUp = nullptr;
    QToolButton* durationDown = nullptr;
    QLineEdit* elevationEdit = nullptr;
    QToolButton* elevationUp = nullptr;
    QToolButton* elevationDown = nullptr;
    QCheckBox* excludeDaytime = nullptr;
    QComboBox* periodList = nullptr;
    QLineEdit* rangeEdit = nullptr;
    QCheckBox* favoritesOnly = nullptr;
    QCheckBox* neverObserved = nullptr;
    QComboBox* dateList = nullptr;
    QComboBox* timeList = nullptr;
    QPushButton* calculateButton = nullptr;
    QLabel* statusLabel = nullptr;
    QLabel* conditionLabel = nullptr;
    QLabel* headerLabel = nullptr;
    QListWidget* passList = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* addAllButton = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* removeAllButton = nullptr;
    QPushButton* closeButton = nullptr;
    QAction* copyAction = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Received(int generation, int calculated, int total, std::vector<BatchLine> lines);
    void Finished(int generation);
    void SelectionChanged();
    void StepField(QLineEdit* field, int delta, int low, int high);
    void StopWorker();
    void StoreSettings();
    void AfterRemoval(int row);

    PlanContext& context_;
    std::vector<std::string> lines_;  // the list's lines, Latin-1, in list order
    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> stop_;
    int generation_ = 0;          // the status of older runs is not shown
    int finishedGeneration_ = 0;  // the last run whose worker has ended
    double listedFrom_ = 0.0;     // the local time the date list was built from
    bool running_ = false;
    int threads_ = 0;
};

}  // namespace corvane::ui
