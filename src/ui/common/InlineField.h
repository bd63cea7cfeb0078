#pragma once
// A label whose text keeps a run of blanks where a control sits, as in "Tracking Limit       "
// or "  AOS/LOS at          ° Elevation": the whole text is one label, and the control is
// placed over the blanks (the longest run of three or more blanks after `anchor` characters).
#include <QLabel>
#include <QWidget>

namespace corvane::ui {

class InlineField : public QWidget {
    Q_OBJECT
public:
    InlineField(const QString& text, QWidget* field, QWidget* parent = nullptr);

    QLabel* label() const { return label_; }
    QWidget* field() const { return field_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Place();
    int blankStart_ = 0;  // character index where the blank run begins
    int blankLength_ = 0;
    QLabel* label_;
    QWidget* field_;
};

}  // namespace corvane::ui
