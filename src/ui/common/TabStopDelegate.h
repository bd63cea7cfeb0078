#pragma once
// Draws list lines that hold tab characters with fixed tab stops (pixels), as the program's
// lists lay out their columns.
#include <QStyledItemDelegate>
#include <QVector>

namespace corvane::ui {

class TabStopDelegate : public QStyledItemDelegate {
public:
    TabStopDelegate(QVector<int> stops, QObject* parent)
        : QStyledItemDelegate(parent), stops_(std::move(stops)) {}
    void setStops(QVector<int> stops) { stops_ = std::move(stops); }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QVector<int> stops_;
};

}  // namespace corvane::ui
