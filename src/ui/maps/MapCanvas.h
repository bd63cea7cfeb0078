#pragma once
// A fixed-size picture drawn by its owner's function, with the mouse handed back to the owner.
// GUI thread only.
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <functional>

namespace corvane::ui {

class MapCanvas : public QWidget {
public:
    MapCanvas(QSize size, QWidget* parent = nullptr) : QWidget(parent) { SetPictureSize(size); }
    void SetPictureSize(QSize size) {
        setFixedSize(size);
        update();
    }
    // The picture as the window shows it.
    QImage Render() const {
        QImage image(size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        if (paint) paint(painter);
        return image;
    }

    std::function<void(QPainter&)> paint;
    std::function<void(QPointF)> clicked;
    std::function<void(QPointF)> doubleClicked;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        if (paint) paint(painter);
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && clicked) clicked(e->position());
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && doubleClicked) doubleClicked(e->position());
    }
};

}  // namespace corvane::ui
