#pragma once
// "Information - " window: the notes of "info.dat" about the selected object. Modeless.
#include <QDialog>

#include "passes/ObjectInfo.h"

class QPlainTextEdit;
class QPushButton;

namespace corvane::ui {

class InformationWindow : public QDialog {
    Q_OBJECT
public:
    explicit InformationWindow(const ObjectInfo& info, QWidget* parent = nullptr);

    QPlainTextEdit* text = nullptr;
    QPushButton* closeButton = nullptr;
};

}  // namespace corvane::ui
