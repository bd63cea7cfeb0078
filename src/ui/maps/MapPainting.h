#pragma once
// Drawing of the maps' geometry with QPainter: the pens of the outlines, the replay of drawing
// steps, the globe picture shared by the world map, the View Plan map and the ISS monitor, and
// the sky chart. GUI thread only (or any thread on a QImage).
#include <QColor>
#include <QPainter>

#include "maps/SkyChart.h"
#include "maps/WorldMap.h"

namespace corvane::ui {

struct MapColours {
    QColor outline, waterFlat, waterGlobe, globeBackground, globeDisc, flatBackground, graticule, track,
        trackShadow, marker, footprint, site;
    // At night every pen is red alone; the track, the footprint and the object then stay apart from
    // the outlines by brightness, width and dashes rather than by hue.
    int trackWidth = 1, markerWidth = 2;
    Qt::PenStyle shadowStyle = Qt::SolidLine, footprintStyle = Qt::SolidLine;
    QPen TrackPen(bool sunlit) const {
        return QPen(sunlit ? track : trackShadow, trackWidth, sunlit ? Qt::SolidLine : shadowStyle);
    }
    QPen FootprintPen() const { return QPen(footprint, 1, footprintStyle); }
    static MapColours For(bool nightVision);
};

// Replays steps; water uses `water`, everything else `outline`.
void PaintSteps(QPainter& painter, const maps::DrawSteps& steps, const QColor& outline, const QColor& water);

// The orthographic picture: background (0, 1)-(490, 364), the globe disc (42, 7)-(440, 405),
// the graticule and the outlines, seen from above (lat, lon); first from the low viewpoint, then
// from the distant one, as the world map draws it. `view` is left set for the distant viewpoint.
void PaintGlobe(QPainter& painter, const maps::WorldMapTable& table, double latitude, double longitude,
                bool nightVision, maps::OrthographicView& view);

// The sky chart (480 x 410 pixels).
void PaintSkyChart(QPainter& painter, const maps::SkyChart& chart, bool nightVision);

// A small X of two diagonal strokes about 8 x 10 pixels.
void PaintCrossMarker(QPainter& painter, QPointF at, const QColor& colour, int width = 2);
// The observer's site: a ring around a dot.
void PaintSiteMarker(QPainter& painter, QPointF at, const QColor& colour);

}  // namespace corvane::ui
