#pragma once
// The "World Map " window: the selected object over a flat map of the world (whole or zoomed to
// the quarter that holds it) or over the globe centred on its sub-point, with its ground track,
// position and footprint, redrawn every 10 seconds. GUI thread only.
#include <QDialog>
#include <QTimer>
#include <functional>
#include <vector>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "core/Settings.h"
#include "maps/WorldMap.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"

class QLabel;
class QPushButton;

namespace corvane::ui {

class MapCanvas;

class WorldMapWindow : public QDialog {
    Q_OBJECT
public:
    WorldMapWindow(const maps::WorldMapTable& table, CatalogueStore& catalogue, LiveState& live, Clock& clock,
                   Settings& settings, std::function<bool()> nightVision, QWidget* parent = nullptr);

    // Recomputes the picture for now and repaints.
    void Redraw();
    QImage Render() const;

    QLabel* titleField = nullptr;
    MapCanvas* canvas = nullptr;
    QPushButton* closeButton = nullptr;
    QPushButton* projectionButton = nullptr;  // "Orthographic Map" / "World Map"
    QPushButton* zoomButton = nullptr;        // "Zoom In" / "Zoom Out"
    QTimer redrawTimer;

    // The picture's state after Redraw (for tests).
    bool hasObject = false;
    maps::TrackPoint position;
    int quarter = 1;

private:
    void Paint(QPainter& painter);
    void ShowButtons();

    const maps::WorldMapTable& table_;
    CatalogueStore& catalogue_;
    LiveState& live_;
    Clock& clock_;
    Settings& settings_;
    std::function<bool()> nightVision_;
    PropagationSlot slot_{kSlotWorldMap};
    std::vector<maps::TrackPoint> ahead_, behind_;
};

}  // namespace corvane::ui
