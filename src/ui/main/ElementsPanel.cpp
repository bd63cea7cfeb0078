#include "ui/main/ElementsPanel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/Widgets.h"

namespace corvane::ui {

ElementsPanel::ElementsPanel(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* elements = new QGroupBox(QStringLiteral("Elements"));
    auto* el = new QGridLayout(elements);
    openTleButton = SmallButton(QStringLiteral("Open TLE"));
    downloadTleButton = SmallButton(QStringLiteral("Download TLE"));
    el->addWidget(openTleButton, 0, 0);
    el->addWidget(downloadTleButton, 0, 1);
    elementFileName = ReadOnlyBox();
    el->addWidget(elementFileName, 1, 0, 1, 2);
    elementFileStatus = new QLabel;
    el->addWidget(elementFileStatus, 2, 0, 1, 2);
    column->addWidget(elements);

    auto* actionsBox = new QGroupBox;
    auto* al = new QGridLayout(actionsBox);
    predictPassButton = SmallButton(QStringLiteral("&Predict Pass"));
    batchPredictButton = SmallButton(QStringLiteral("&Batch Predict"));
    viewPlanButton = SmallButton(QStringLiteral("&View Plan"));
    infoButton = SmallButton(QStringLiteral("&Info"));
    tleDataButton = SmallButton(QStringLiteral("T&LE Data"));
    skyMapButton = SmallButton(QStringLiteral("S&ky Map"));
    worldMapButton = SmallButton(QStringLiteral("&World Map"));
    observationLogButton = SmallButton(QStringLiteral("&Observation Log"));
    QPushButton* grid[] = {predictPassButton, batchPredictButton, viewPlanButton, infoButton,
                           tleDataButton,     skyMapButton,       worldMapButton, observationLogButton};
    for (int i = 0; i < 8; ++i) al->addWidget(grid[i], i / 2, i % 2);
    column->addWidget(actionsBox);
}

void ElementsPanel::ShowObjectButtons(bool selected) {
    for (QPushButton* b : {observationLogButton, skyMapButton, worldMapButton, predictPassButton})
        b->setVisible(selected);
}

}  // namespace corvane::ui
