#include "ui/common/InlineField.h"

#include <QFontMetrics>

namespace corvane::ui {

InlineField::InlineField(const QString& text, QWidget* field, QWidget* parent)
    : QWidget(parent), label_(new QLabel(text, this)), field_(field) {
    field_->setParent(this);
    // The longest run of blanks marks the control's place.
    int bestStart = text.size(), bestLength = 0;
    for (int i = 0; i < text.size();) {
        if (text[i] != ' ') {
            ++i;
            continue;
        }
        int j = i;
        while (j < text.size() && text[j] == ' ') ++j;
        if (j - i > bestLength) bestStart = i, bestLength = j - i;
        i = j;
    }
    blankStart_ = bestStart;
    blankLength_ = bestLength;
    label_->setFocusProxy(field_);
    label_->setBuddy(field_);
    Place();
}

QSize InlineField::sizeHint() const {
    const QFontMetrics fm(label_->font());
    const int textWidth = fm.horizontalAdvance(label_->text());
    const int height = std::max(label_->sizeHint().height(), field_->sizeHint().height());
    const int fieldEnd = fm.horizontalAdvance(label_->text().left(blankStart_)) + 2 +
                         std::max(fm.horizontalAdvance(QString(blankLength_, ' ')) - 4, field_->minimumSizeHint().width());
    return QSize(std::max(textWidth, fieldEnd) + 4, height);
}

void InlineField::resizeEvent(QResizeEvent*) { Place(); }

void InlineField::Place() {
    const QFontMetrics fm(label_->font());
    const int h = std::max(label_->sizeHint().height(), field_->sizeHint().height());
    label_->setGeometry(0, 0, std::max(width(), fm.horizontalAdvance(label_->text()) + 4), h);
    const int x = fm.horizontalAdvance(label_->text().left(blankStart_)) + 2;
    const int w = std::max(fm.horizontalAdvance(QString(blankLength_, ' ')) - 4, field_->minimumSizeHint().width());
    field_->setGeometry(x, 0, w, h);
    field_->raise();
}

}  // namespace corvane::ui
