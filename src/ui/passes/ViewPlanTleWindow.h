#pragma once
// "Create View Plan TLE File" window: writes the objects of the View Plan, in AOS order, into a
// new element file for a hand controller. Modeless and single. GUI thread only.
#include <QDialog>

#include "ui/passes/PlanContext.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace corvane::ui {

class ViewPlanTleWindow : public QDialog {
    Q_OBJECT
public:
    explicit ViewPlanTleWindow(PlanContext& context, QWidget* parent = nullptr);

    void CreateFile();

    QLabel* explanation = nullptr;
    QCheckBox* addAosTime = nullptr;
    QLabel* status = nullptr;
    QPushButton* createButton = nullptr;
    QPushButton* closeButton = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool SavePlan();

    PlanContext& context_;
};

}  // namespace corvane::ui
