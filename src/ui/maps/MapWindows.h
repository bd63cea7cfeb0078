#pragma once
// The main window's maps: the world map data and the sky tables, read at start-up, and the single
// "World Map ", "Sky View " and "View Plan Map " windows. The two world maps refuse to open
// without the map data. GUI thread only.
#include <QObject>
#include <QPointer>
#include <functional>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "core/Settings.h"
#include "maps/SkyTables.h"
#include "maps/WorldMap.h"
#include "orbit/ElementCatalogue.h"

class QWidget;

namespace corvane::ui {

class PlanWindows;
class SkyViewWindow;
class ViewPlanMapWindow;
class WorldMapWindow;

class MapWindows : public QObject {
    Q_OBJECT
public:
    MapWindows(Clock& clock, LiveState& live, Settings& settings, CatalogueStore& catalogue,
               PlanWindows& plans, std::function<bool()> nightVision, QWidget* parent);

    void LoadSkyTables();
    // A missing "map4.dat" is reported; start-up goes on.
    void LoadWorldMap();
    const maps::WorldMapTable& worldMap() const { return worldMap_; }

    // "&World Map", "S&ky Map" (at a UTC instant, 0: now) and the View Plan map.
    void OpenWorldMap();
    void OpenSkyView(double fixedUtc = 0.0);
    void OpenViewPlanMap();
    // The open pictures drawn again (night vision changed).
    void Redraw();

    // Each new window is handed over so that the main window closes it with the other ones.
    std::function<void(QWidget*)> keepSecondary;
    QPointer<WorldMapWindow> worldMapWindow;
    QPointer<SkyViewWindow> skyViewWindow;
    QPointer<ViewPlanMapWindow> viewPlanMapWindow;

private:
    bool RefuseWithoutMap();

    QWidget* parent_;
    Clock& clock_;
    LiveState& live_;
    Settings& settings_;
    CatalogueStore& catalogue_;
    PlanWindows& plans_;
    std::function<bool()> nightVision_;
    maps::WorldMapTable worldMap_;
    maps::SkyTables skyTables_;
};

}  // namespace corvane::ui
