#include "ui/common/TabStopDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

namespace corvane::ui {

namespace {
QTextOption TabOption(const QVector<int>& stops) {
    QTextOption option;
    QList<QTextOption::Tab> tabs;
    for (int s : stops) tabs.append(QTextOption::Tab(s, QTextOption::LeftTab));
    option.setTabs(tabs);
    option.setWrapMode(QTextOption::NoWrap);
    return option;
}
}  // namespace

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    painter->save();
    painter->setFont(opt.font);
    const bool selected = opt.state & QStyle::State_Selected;
    painter->setPen(
        opt.palette.color(QPalette::Normal, selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect area = opt.rect.adjusted(2, 0, -2, 0);
    painter->drawText(QRectF(area), text, TabOption(stops_));
    painter->restore();
}

QSize TabStopDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    QFontMetrics fm(option.font);
    int width = 0;
    const QStringList parts = text.split(QLatin1Char('\t'));
    for (int i = 0; i < parts.size(); ++i) {
        const int start = i == 0 ? 0 : (i - 1 < stops_.size() ? stops_[i - 1] : width);
        width = std::max(width, start) + fm.horizontalAdvance(parts[i]);
    }
    size.setWidth(width + 8);
    return size;
}

}  // namespace corvane::ui
