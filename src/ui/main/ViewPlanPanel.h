#pragma once
#include <QWidget>

class QListWidget;
class QPushButton;

namespace corvane::ui {

// The View Plan list of the main window and the ISS Monitor button.
class ViewPlanPanel : public QWidget {
    Q_OBJECT
public:
    explicit ViewPlanPanel(QWidget* parent = nullptr);

    QListWidget* viewPlanList = nullptr;
    QPushButton* viewPlanSelect = nullptr;
    QPushButton* issMonitorButton = nullptr;
};

}  // namespace corvane::ui
