#include "ui/common/Widgets.h"

#include <QLineEdit>
#include <QPushButton>

namespace corvane::ui {

QString FromFile(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
std::string ToFile(const QString& s) { return s.toLatin1().toStdString(); }

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

}  // namespace corvane::ui
