#pragma once
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane::ui {

// The element file box and the buttons of the selected object.
class ElementsPanel : public QWidget {
    Q_OBJECT
public:
    explicit ElementsPanel(QWidget* parent = nullptr);
    // The buttons that need a selected object.
    void ShowObjectButtons(bool objectSelected);

    QPushButton* openTleButton = nullptr;
    QPushButton* downloadTleButton = nullptr;
    QLineEdit* elementFileName = nullptr;
    QLabel* elementFileStatus = nullptr;
    QPushButton* predictPassButton = nullptr;
    QPushButton* batchPredictButton = nullptr;
    QPushButton* viewPlanButton = nullptr;
    QPushButton* infoButton = nullptr;
    QPushButton* tleDataButton = nullptr;
    QPushButton* skyMapButton = nullptr;
    QPushButton* worldMapButton = nullptr;
    QPushButton* observationLogButton = nullptr;
};

}  // namespace corvane::ui
