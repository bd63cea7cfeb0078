#pragma once
// The "Sky View " window: the sky above the active site with the bright stars, the constellation
// figures ("Draw Constellations") and the current object's path 25 minutes either way, redrawn
// every 10 seconds. GUI thread only.
#include <QDialog>
#include <QTimer>
#include <functional>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "core/Settings.h"
#include "maps/SkyChart.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"

class QCheckBox;
class QPushButton;

namespace corvane::ui {

class MapCanvas;

class SkyViewWindow : public QDialog {
    Q_OBJECT
public:
    // fixedUtc: draw that instant instead of now (0: now). "Draw Constellations" shows and keeps
    // the setting DrawConLines.
    SkyViewWindow(const maps::SkyTables& tables, CatalogueStore& catalogue, LiveState& live, Clock& clock,
                  Settings& settings, std::function<bool()> nightVision, double fixedUtc = 0.0,
                  QWidget* parent = nullptr);

    void DrawSkyChart();
    QImage Render() const;
    const maps::SkyChart& chart() const { return chart_; }

    MapCanvas* canvas = nullptr;
    QCheckBox* drawConstellations = nullptr;
    QPushButton* closeButton = nullptr;
    QTimer redrawTimer;

private:
    const maps::SkyTables& tables_;
    CatalogueStore& catalogue_;
    LiveState& live_;
    Clock& clock_;
    std::function<bool()> nightVision_;
    double fixedUtc_;
    PropagationSlot slot_{kSlotSkyView};
    maps::SkyChart chart_;
};

}  // namespace corvane::ui
