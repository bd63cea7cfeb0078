#pragma once
// The "Viewing Plan" window: every planned pass with the present position of objects that are
// up; removing entries, selecting an entry's object, the printed plan or its text file, and the
// pass text log. Modeless and single. GUI thread only.
#include <QDialog>

#include "orbit/PropagationSlot.h"
#include "ui/passes/PlanContext.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPrinter;
class QPushButton;

namespace corvane::ui {

class ViewPlanWindow : public QDialog {
    Q_OBJECT
public:
    explicit ViewPlanWindow(PlanContext& context, QWidget* parent = nullptr);

    // RefreshViewPlanWindow: rebuilds the list (the plan is not purged here).
    void RefreshViewPlanWindow();
    void RemoveSelected();
    void RemoveAll();
    void RefreshList();
    // Select Object (fromButton) or a double click.
    void SelectSelected(bool fromButton);
    void PrintViewPlan();
    // Draws the plan on a printer that has been set up.
    void PrintTo(QPrinter& printer);
    void WriteTextFile();
    void CreatePassLog();

    QLabel* conditionLabel = nullptr;
    QLabel* headerLabel = nullptr;
    QListWidget* planList = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* removeAllButton = nullptr;
    QPushButton* refreshButton = nullptr;
    QPushButton* selectButton = nullptr;
    QPushButton* printButton = nullptr;
    QCheckBox* printToFile = nullptr;
    QPushButton* passLogButton = nullptr;
    QComboBox* intervalList = nullptr;
    QPushButton* mapButton = nullptr;
    QCheckBox* removeAfterSelected = nullptr;
    QPushButton* closeButton = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The plan entry of a list row (found again by its record; -1 when it has left the plan).
    int EntryOfRow(int row) const;
    void EnableForPlan();

    PlanContext& context_;
    PropagationSlot listSlot_{kSlotViewPlanList};
    PropagationSlot logSlot_{kSlotPassLog};
};

}  // namespace corvane::ui
