#pragma once
// "TLE Data for <name>": the raw fields of the selected object's element set.
#include <QDialog>
#include <string_view>

class QPushButton;

namespace corvane::ui {

class ElementDataWindow : public QDialog {
    Q_OBJECT
public:
    ElementDataWindow(const QString& name, std::string_view line1, std::string_view line2, QWidget* parent = nullptr);
    QPushButton* closeButton = nullptr;
};

}  // namespace corvane::ui
