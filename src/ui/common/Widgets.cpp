#include "ui/common/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>

#include "ui/common/TabStopDelegate.h"

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

QPushButton* SmallButton(const char* latin1) { return SmallButton(QString::fromLatin1(latin1)); }

QAction* AddCopyMenu(QWidget* window, QLayout* outer) {
    auto* menu = new QMenuBar(window);
    QMenu* edit = menu->addMenu(QStringLiteral("&Edit"));
    QAction* copy = edit->addAction(QStringLiteral("&Copy"));
    copy->setShortcut(QKeySequence::Copy);
    outer->setMenuBar(menu);
    return copy;
}

HeadedList AddHeadedList(QBoxLayout* outer, const std::string& condition, const std::string& header,
                         std::initializer_list<int> tabStopsInDialogUnits, int leastChars, int leastHeight) {
    HeadedList h{new QLabel(Latin1(condition)), new QLabel(Latin1(header)), new QListWidget};
    outer->addWidget(h.condition);
    h.header->setTextFormat(Qt::PlainText);
    outer->addWidget(h.header);
    QVector<int> stops;
    for (int units : tabStopsInDialogUnits) stops.push_back(DialogUnitsX(h.list, units));
    h.list->setItemDelegate(new TabStopDelegate(stops, h.list));
    const QWidget* window = outer->parentWidget() ? outer->parentWidget() : h.list;
    h.list->setMinimumSize(window->fontMetrics().horizontalAdvance(QString(leastChars, QLatin1Char('0'))),
                           leastHeight);
    outer->addWidget(h.list, 1);
    return h;
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
