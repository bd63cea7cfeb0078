#include "ui/common/Widgets.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

namespace corvane::ui {

QString Latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
std::string ToLatin1(const QString& s) { return s.toLatin1().toStdString(); }

QPushButton* SmallButton(const QString& text) {
    auto* b = new QPushButton(text);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* ReadOnlyBox() {
    auto* box = new QLineEdit;
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

int DialogUnitsX(const QWidget* widget, int units) {
    // The dialog-unit base of the platform the layout was made for: the mean advance of the 52
    // letters (a font's own "average" width often counts wide glyphs too).
    static const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double base = widget->fontMetrics().horizontalAdvance(kLetters) / 52.0;
    return static_cast<int>(units * base / 4.0 + 0.5);
}

}  // namespace corvane::ui
