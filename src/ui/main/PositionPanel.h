#pragma once
#include <QGroupBox>
#include <QMap>
#include <QString>

#include "passes/DisplayPanel.h"

class QLabel;
class QLineEdit;

namespace corvane::ui {

// The position panel: the sixteen read-only fields, the direction line and the Sun line.
class PositionPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit PositionPanel(QWidget* parent = nullptr);
    void Show(const DisplayTexts& texts, bool nightVision);

    QMap<QString, QLineEdit*> panelFields;  // caption -> value box ("Satellite Name:", ...)
    QLabel* directionLine = nullptr;
    QLabel* sunIcon = nullptr;
    QLabel* sunLine = nullptr;
};

}  // namespace corvane::ui
