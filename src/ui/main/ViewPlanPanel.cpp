#include "ui/main/ViewPlanPanel.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/Widgets.h"

namespace corvane::ui {

ViewPlanPanel::ViewPlanPanel(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* plan = new QGroupBox(QStringLiteral("View Plan"));
    auto* vpl = new QVBoxLayout(plan);
    viewPlanList = new QListWidget;
    viewPlanList->setMinimumWidth(DialogUnitsX(this, 100));
    vpl->addWidget(viewPlanList, 1);
    viewPlanSelect = SmallButton(QStringLiteral("&Select"));
    viewPlanSelect->setVisible(false);
    vpl->addWidget(viewPlanSelect);
    column->addWidget(plan, 1);
    issMonitorButton = SmallButton(QStringLiteral("ISS Monitor >>"));
    column->addWidget(issMonitorButton);
    connect(viewPlanList, &QListWidget::itemClicked, this, [this] { viewPlanSelect->setVisible(true); });
}

}  // namespace corvane::ui
