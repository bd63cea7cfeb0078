#include "ui/main/LoadingWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace corvane::ui {

LoadingWindow::LoadingWindow(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setWindowTitle(QStringLiteral("Corvane"));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    firstLine = new QLabel(QStringLiteral("Loading Orbital Elements..."));
    secondLine = new QLabel(QStringLiteral("Waiting for total number of Elements..."));
    layout->addWidget(firstLine);
    layout->addWidget(secondLine);
    // 160 by 40 dialog units.
    const QFontMetrics fm(font());
    setMinimumSize(160 * fm.averageCharWidth() / 4, 40 * fm.height() / 8);
}

}  // namespace corvane::ui
