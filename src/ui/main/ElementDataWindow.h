#pragma once
// "TLE Data for <name>": the raw fields of the selected object's element set.
#include <QDialog>
#include <string_view>

class QLabel;
class QPushButton;

namespace corvane::ui {

class ElementDataWindow : public QDialog {
    Q_OBJECT
public:
    // ageNote: the flag of stale elements ("Elements are 3287 days old"), empty for none.
    ElementDataWindow(const QString& name, std::string_view line1, std::string_view line2,
                      QWidget* parent = nullptr, const QString& ageNote = QString());
    QPushButton* closeButton = nullptr;
    QLabel* ageLabel = nullptr;  // the flag of stale elements; hidden when there is none
};

}  // namespace corvane::ui
