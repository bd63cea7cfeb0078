#pragma once
// The pass and plan windows of the main window: the View Plan itself (loaded at start-up, saved
// at exit), the main window's list of passes in progress, selecting a plan entry's object, the
// "info.dat" record of the selected object, and the single instances of the "Satellite Pass
// Predictions", "Viewing Plan", "Create View Plan TLE File" and "Information" windows.
// GUI thread only.
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>

#include "orbit/PropagationSlot.h"
#include "passes/ObjectInfo.h"
#include "passes/ViewPlan.h"
#include "ui/passes/PlanContext.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;
class QWidget;

namespace corvane::ui {

class BatchPredictionsWindow;
class InformationWindow;
class PassPredictionsWindow;
class ViewPlanTleWindow;
class ViewPlanWindow;

class PlanWindows : public QObject {
    Q_OBJECT
public:
    PlanWindows(Clock& clock, LiveState& live, Settings& settings, CatalogueStore& catalogue,
                QWidget* mainWindow);
    ~PlanWindows() override;

    PlanContext& context() { return context_; }
    ViewPlan& plan() { return plan_; }

    // Start-up: the saved plan. Exit: the plan saved (a message when it cannot be).
    void LoadAtStart();
    void SaveAtExit();
    // A new element file was loaded: the old plan goes ("vplan.log" deleted) and the list is
    // rebuilt.
    void StartEmptyPlan();

    // RefreshMainViewPlan into the main window's list; its "&Select" button is hidden again.
    void RefreshMainViewPlan(QListWidget* list, QPushButton* selectButton);
    // A double click or "&Select" on a line of the main window's list.
    void SelectFromMainList(QListWidgetItem* item);

    // The information record of a catalogue object (kept as the current information); false
    // when "info.dat" holds none.
    bool UpdateInfo(int object);
    bool HasInfo() const { return info_.has_value(); }

    void OpenPassPredictions(int object);
    void OpenBatchPredictions();
    void OpenViewPlan();
    void OpenViewPlanTle();
    void OpenInformation();
    // Closes every pass and plan window.
    void CloseAll();

    // The open windows (nullptr when closed).
    PassPredictionsWindow* passPredictions() const;
    BatchPredictionsWindow* batchPredictions() const;
    ViewPlanWindow* viewPlanWindow() const;
    ViewPlanTleWindow* viewPlanTleWindow() const;
    InformationWindow* informationWindow() const;

private:
    QWidget* main_;
    ViewPlan plan_;
    PlanContext context_;
    PropagationSlot refreshSlot_{kSlotViewPlanRefresh};
    std::optional<ObjectInfo> info_;
    QPointer<PassPredictionsWindow> predictions_;
    QPointer<ViewPlanWindow> viewPlan_;
    QPointer<BatchPredictionsWindow> batch_;
    QPointer<ViewPlanTleWindow> tle_;
    QPointer<InformationWindow> information_;
};

}  // namespace corvane::ui
