#include "ui/common/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace corvane::ui {

QPixmap DrawPicture(Picture which, bool night, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    // Night vision uses only dim reds on black.
    const QColor red = night ? QColor(168, 0, 0) : QColor(200, 30, 30);
    const QColor green = night ? QColor(120, 0, 0) : QColor(30, 160, 60);
    const QColor yellow = night ? QColor(168, 0, 0) : QColor(250, 200, 20);
    const QColor dark = night ? QColor(60, 0, 0) : QColor(60, 60, 80);
    const QColor outline = night ? QColor(168, 0, 0) : QColor(40, 40, 40);
    p.setPen(QPen(outline, s / 24.0));
    switch (which) {
        case Picture::Start: {
            QPainterPath tri;
            tri.moveTo(s * 0.28, s * 0.18);
            tri.lineTo(s * 0.82, s * 0.5);
            tri.lineTo(s * 0.28, s * 0.82);
            tri.closeSubpath();
            p.setBrush(green);
            p.drawPath(tri);
            break;
        }
        case Picture::Stop:
            p.setBrush(red);
            p.drawRoundedRect(QRectF(s * 0.22, s * 0.22, s * 0.56, s * 0.56), s * 0.06, s * 0.06);
            break;
        case Picture::Sun: {
            p.setBrush(yellow);
            p.setPen(QPen(yellow, s / 16.0));
            for (int i = 0; i < 8; ++i) {
                const double a = i * M_PI / 4;
                p.drawLine(QPointF(s / 2 + std::cos(a) * s * 0.3, s / 2 + std::sin(a) * s * 0.3),
                           QPointF(s / 2 + std::cos(a) * s * 0.46, s / 2 + std::sin(a) * s * 0.46));
            }
            p.setPen(QPen(outline, s / 24.0));
            p.drawEllipse(QPointF(s / 2, s / 2), s * 0.22, s * 0.22);
            break;
        }
        case Picture::Eclipse:
            p.setBrush(dark);
            p.drawEllipse(QPointF(s / 2, s / 2), s * 0.34, s * 0.34);
            p.setBrush(night ? QColor(0, 0, 0) : QColor(20, 20, 30));
            p.drawEllipse(QPointF(s * 0.6, s * 0.42), s * 0.26, s * 0.26);
            break;
        case Picture::Warning: {
            QPainterPath tri;
            tri.moveTo(s * 0.5, s * 0.1);
            tri.lineTo(s * 0.92, s * 0.88);
            tri.lineTo(s * 0.08, s * 0.88);
            tri.closeSubpath();
            p.setBrush(night ? QColor(120, 0, 0) : QColor(250, 190, 0));
            p.drawPath(tri);
            p.setPen(QPen(night ? QColor(0, 0, 0) : QColor(0, 0, 0), s / 10.0));
            p.drawLine(QPointF(s * 0.5, s * 0.35), QPointF(s * 0.5, s * 0.62));
            p.drawPoint(QPointF(s * 0.5, s * 0.76));
            break;
        }
    }
    return pm;
}

}  // namespace corvane::ui
