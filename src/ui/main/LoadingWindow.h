#pragma once
// The small "Corvane" window shown while the element file named in the settings is loaded at
// start-up: "Loading Orbital Elements..." and a second line that the loader keeps up to date.
#include <QWidget>

class QLabel;

namespace corvane::ui {

class LoadingWindow : public QWidget {
    Q_OBJECT
public:
    explicit LoadingWindow(QWidget* parent = nullptr);
    QLabel* firstLine = nullptr;
    QLabel* secondLine = nullptr;
};

}  // namespace corvane::ui
