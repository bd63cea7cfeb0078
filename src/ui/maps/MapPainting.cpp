#include "ui/maps/MapPainting.h"

#include <QFont>
#include <cmath>
#include <vector>

namespace corvane::ui {

MapColours MapColours::For(bool night) {
    MapColours c;
    const QColor dark(168, 0, 0);
    c.outline = night ? dark : QColor(0, 255, 0);
    c.waterFlat = night ? dark : QColor(255, 0, 0);
    c.waterGlobe = night ? dark : QColor(0, 0, 255);
    c.globeBackground = night ? QColor(64, 0, 0) : QColor(0, 0, 0);
    c.globeDisc = night ? QColor(0, 0, 0) : QColor(0, 0, 255);
    c.flatBackground = night ? QColor(0, 0, 0) : QColor(0, 0, 96);
    c.graticule = night ? QColor(72, 0, 0) : QColor(90, 90, 160);
    c.track = night ? QColor(255, 0, 0) : QColor(255, 255, 0);
    c.trackShadow = night ? QColor(255, 0, 0) : QColor(160, 160, 160);
    c.marker = night ? QColor(255, 0, 0) : QColor(255, 255, 255);
    c.footprint = night ? QColor(220, 0, 0) : QColor(255, 0, 0);
    c.site = night ? QColor(255, 0, 0) : QColor(0, 255, 255);
    if (night) {
        // Outlines and water stay at 168; the track is brighter and wider (dotted in the Earth's
        // shadow), the footprint dashed, the object's cross the widest.
        c.trackWidth = 2;
        c.markerWidth = 3;
        c.shadowStyle = Qt::DotLine;
        c.footprintStyle = Qt::DashLine;
    }
    return c;
}

void PaintSteps(QPainter& painter, const maps::DrawSteps& steps, const QColor& outline, const QColor& water) {
    // Lines are collected and drawn together per pen: one call instead of thousands.
    const QPen outlinePen(outline, 0), waterPen(water, 0);
    painter.setPen(outlinePen);
    std::vector<QLineF> lines;
    lines.reserve(steps.size());
    const auto flush = [&] {
        if (!lines.empty()) painter.drawLines(lines.data(), static_cast<int>(lines.size()));
        lines.clear();
    };
    QPointF at;
    maps::MapPen pen = maps::MapPen::kOutline;
    for (const maps::DrawStep& s : steps) {
        const QPointF p(s.x, s.y);
        switch (s.kind) {
            case maps::DrawStep::kPen:
                if (s.pen != pen) {
                    flush();
                    pen = s.pen;
                    painter.setPen(pen == maps::MapPen::kWater ? waterPen : outlinePen);
                }
                break;
            case maps::DrawStep::kMove:
                at = p;
                break;
            case maps::DrawStep::kLine:
                lines.emplace_back(at, p);
                at = p;
                break;
            case maps::DrawStep::kDot:
                lines.emplace_back(p, p + QPointF(0, 1));
                at = p;
                break;
        }
    }
    flush();
}

void PaintGlobe(QPainter& painter, const maps::WorldMapTable& table, double latitude, double longitude,
                bool night, maps::OrthographicView& view) {
    const MapColours c = MapColours::For(night);
    painter.fillRect(QRect(QPoint(0, 1), QPoint(490, 364)), c.globeBackground);
    painter.setPen(Qt::NoPen);
    painter.setBrush(c.globeDisc);
    painter.drawEllipse(QRect(QPoint(42, 7), QPoint(440, 405)));
    painter.setBrush(Qt::NoBrush);
    maps::DrawSteps steps;
    maps::Projector projector{maps::Projection::kOrthographic, 1, &view};
    for (double height : {maps::OrthographicView::kNearHeight, maps::OrthographicView::kFarHeight}) {
        view.SetOrthographicView(latitude, longitude, height);
        steps.clear();
        maps::OrthographicGraticule(view, steps);
        PaintSteps(painter, steps, c.graticule, c.graticule);
        steps.clear();
        maps::OutlineSteps(table, projector, steps);
        PaintSteps(painter, steps, c.outline, c.waterGlobe);
    }
}

void PaintCrossMarker(QPainter& painter, QPointF at, const QColor& colour, int width) {
    painter.setPen(QPen(colour, width));
    painter.drawLine(at + QPointF(-4, -5), at + QPointF(4, 5));
    painter.drawLine(at + QPointF(-4, 5), at + QPointF(4, -5));
}

void PaintSiteMarker(QPainter& painter, QPointF at, const QColor& colour) {
    painter.setPen(QPen(colour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(at, 6, 6);
    painter.setBrush(colour);
    painter.drawEllipse(at, 2.5, 2.5);
    painter.setBrush(Qt::NoBrush);
}

void PaintSkyChart(QPainter& painter, const maps::SkyChart& chart, bool night) {
    const QColor background = night ? QColor(0, 0, 0) : QColor(0, 0, 24);
    const QColor sky = night ? QColor(24, 0, 0) : QColor(0, 0, 60);
    const QColor rim = night ? QColor(168, 0, 0) : QColor(160, 160, 160);
    const QColor letters = night ? QColor(168, 0, 0) : QColor(220, 220, 220);
    const QColor lines = night ? QColor(110, 0, 0) : QColor(70, 110, 190);
    const QColor star = night ? QColor(220, 0, 0) : QColor(255, 255, 255);
    painter.fillRect(QRect(0, 0, 480, 410), background);
    painter.setPen(QPen(rim, 1));
    painter.setBrush(sky);
    painter.drawEllipse(QPointF(maps::kSkyCentreX, maps::kSkyCentreY), maps::kSkyRadius, maps::kSkyRadius);
    painter.setBrush(Qt::NoBrush);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(10);
    painter.setFont(font);
    painter.setPen(letters);
    const QFontMetrics fm(font);
    const std::pair<const char*, QPoint> compass[] = {
        {"N", {235, 10}}, {"S", {235, 385}}, {"E", {50, 200}}, {"W", {420, 200}}};
    for (const auto& [text, at] : compass)
        painter.drawText(at + QPoint(0, fm.ascent()), QString::fromLatin1(text));

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(lines, 1));
    for (const maps::ChartLine& l : chart.constellations)
        painter.drawLine(QPointF(l.from.x, l.from.y), QPointF(l.to.x, l.to.y));
    for (const maps::ChartStar& s : chart.stars) {
        const QPointF p(s.at.x, s.at.y);
        if (s.size <= 2) {
            painter.setPen(star);
            painter.drawPoint(p);
        } else if (s.size == 3) {
            painter.setPen(star);
            painter.drawLine(p + QPointF(-1, 0), p + QPointF(1, 0));
            painter.drawLine(p + QPointF(0, -1), p + QPointF(0, 1));
        } else {
            const double r = std::lround(s.size / 2.0);
            painter.setPen(Qt::NoPen);
            painter.setBrush(star);
            painter.drawEllipse(p, r, r);
            painter.setBrush(Qt::NoBrush);
        }
    }
    const QColor sunlitPath = night ? QColor(255, 40, 40) : QColor(255, 255, 0);
    const QColor shadowPath = night ? QColor(140, 0, 0) : QColor(255, 255, 255);
    for (const maps::PathSegment& s : chart.path) {
        painter.setPen(QPen(s.sunlit ? sunlitPath : shadowPath, 1));
        painter.drawLine(QPointF(s.from.x, s.from.y), QPointF(s.to.x, s.to.y));
    }
    if (chart.marker) {
        const QPointF p(chart.marker->at.x, chart.marker->at.y);
        const QColor colour = night ? QColor(255, 60, 60)
                                    : (chart.marker->sunlit ? QColor(255, 255, 255) : QColor(128, 128, 128));
        painter.setPen(QPen(colour, 2));
        painter.drawLine(p + QPointF(-6, 0), p + QPointF(6, 0));
        painter.drawLine(p + QPointF(0, -6), p + QPointF(0, 6));
    }
    QFont label = painter.font();
    label.setFamily(QString());
    label.setStyleHint(QFont::SansSerif);
    painter.setFont(label);
    painter.setPen(letters);
    painter.drawText(QPoint(4, 404), QString::fromLatin1(chart.label.c_str()));
    if (chart.objectBelowHorizon && !chart.label.empty())
        painter.drawText(QRect(0, 290, 480, 20), Qt::AlignHCenter, QStringLiteral("Object below horizon."));
}

}  // namespace corvane::ui
