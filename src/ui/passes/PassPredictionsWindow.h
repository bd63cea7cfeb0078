#pragma once
// "Satellite Pass Predictions - " window: the passes of one object, one 24-hour window at a time
// from now, with a minimum duration, the daytime exclusion, adding to the View Plan and copying
// a line. Modeless. GUI thread only.
#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "orbit/PropagationSlot.h"
#include "passes/PassPredictions.h"
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

class PassPredictionsWindow : public QDialog {
    Q_OBJECT
public:
    // For catalogue index object of the current catalogue.
    PassPredictionsWindow(PlanContext& context, int object, QWidget* parent = nullptr);

    int object() const { return object_; }
    int dayIndex() const { return window_; }
    const std::vector<std::string>& lines() const { return result_.lines; }
    const std::vector<PassRecord>& passes() const { return result_.passes; }

    // ComputeDayWindow for the current day index.
    void ComputeDayWindow();
    void NextDay();
    void PreviousDay();
    void SkipTo(int item);
    void AddSelectedToViewPlan();
    void CopySelected();

    QLabel* satelliteLabel = nullptr;
    QLabel* fromLabel = nullptr;
    QLabel* toLabel = nullptr;
    QLineEdit* durationEdit = nullptr;
    QToolButton* durationUp = nullptr;
    QToolButton* durationDown = nullptr;
    QPushButton* nextButton = nullptr;
    QPushButton* previousButton = nullptr;
    QComboBox* skipToList = nullptr;
    QCheckBox* excludeDaytime = nullptr;
    QLabel* conditionLabel = nullptr;
    QLabel* headerLabel = nullptr;
    QListWidget* passList = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* skyMapButton = nullptr;
    QPushButton* worldMapButton = nullptr;
    QPushButton* batchButton = nullptr;
    QPushButton* closeButton = nullptr;
    QAction* copyAction = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void DurationEdited();
    void StepDuration(int delta);

    PlanContext& context_;
    std::shared_ptr<const ElementCatalogue> catalogue_;
    int object_;
    ObjectIdentity identity_;
    PropagationSlot slot_{kSlotPassPrediction};
    int window_ = -1;
    DayWindowResult result_;
};

}  // namespace corvane::ui
