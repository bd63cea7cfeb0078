#include "ui/maps/MapWindows.h"

#include <QMessageBox>
#include <QWidget>
#include <cmath>

#include "ui/maps/SkyViewWindow.h"
#include "ui/maps/ViewPlanMapWindow.h"
#include "ui/maps/WorldMapWindow.h"
#include "ui/passes/PlanWindows.h"
#include "ui/passes/ViewPlanWindow.h"

namespace corvane::ui {

namespace {

template <typename Window>
bool RaiseOpen(const QPointer<Window>& window) {
    if (!window) return false;
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

}  // namespace

MapWindows::MapWindows(Clock& clock, LiveState& live, Settings& settings, CatalogueStore& catalogue,
                       PlanWindows& plans, std::function<bool()> nightVision, QWidget* parent)
    : QObject(parent),
      parent_(parent),
      clock_(clock),
      live_(live),
      settings_(settings),
      catalogue_(catalogue),
      plans_(plans),
      nightVision_(std::move(nightVision)) {}

void MapWindows::LoadSkyTables() { skyTables_ = maps::LoadSkyTables(); }

void MapWindows::LoadWorldMap() {
    if (maps::LoadWorldMap(maps::kMapFileName, worldMap_) == maps::MapLoad::kMissing) {
        // Start-up goes on while the message is shown.
        auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("File Error"),
                                    QStringLiteral("Map4.dat is missing! World maps will not be displayed."),
                                    QMessageBox::Ok, parent_);
        box->setObjectName(QStringLiteral("mapMissing"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

bool MapWindows::RefuseWithoutMap() {
    if (worldMap_.loaded) return false;
    QMessageBox::warning(parent_, QStringLiteral("File Error"),
                         QStringLiteral("Map4.dat is missing or corrupted!"));
    return true;
}

void MapWindows::OpenWorldMap() {
    if (RefuseWithoutMap()) return;
    if (RaiseOpen(worldMapWindow)) {
        worldMapWindow->Redraw();
        return;
    }
    worldMapWindow =
        new WorldMapWindow(worldMap_, catalogue_, live_, clock_, settings_, nightVision_, parent_);
    if (keepSecondary) keepSecondary(worldMapWindow);
    worldMapWindow->show();
}

void MapWindows::OpenSkyView(double fixedUtc) {
    // An instant within a minute of now is "now": the chart then follows the clock.
    const LiveValues v = live_.Snapshot();
    const Site site = ParseSite(v.siteLatitude, v.siteLongitude, "0", v.siteUtcOffset);
    const double now = clock_.JulianDateNow() - site.utcOffset / 24.0;
    if (!std::isfinite(fixedUtc) || std::fabs(fixedUtc - now) < 60.0 / 86400.0) fixedUtc = 0.0;
    if (skyViewWindow) skyViewWindow->close();
    skyViewWindow =
        new SkyViewWindow(skyTables_, catalogue_, live_, clock_, settings_, nightVision_, fixedUtc, parent_);
    if (keepSecondary) keepSecondary(skyViewWindow);
    skyViewWindow->show();
}

void MapWindows::OpenViewPlanMap() {
    if (RefuseWithoutMap()) return;
    if (ViewPlanWindow* text = plans_.viewPlanWindow()) text->close();
    if (RaiseOpen(viewPlanMapWindow)) {
        viewPlanMapWindow->Redraw();
        return;
    }
    viewPlanMapWindow = new ViewPlanMapWindow(plans_.context(), worldMap_, nightVision_, parent_);
    viewPlanMapWindow->openTextViewPlan = [this] { plans_.OpenViewPlan(); };
    if (keepSecondary) keepSecondary(viewPlanMapWindow);
    viewPlanMapWindow->show();
}

void MapWindows::Redraw() {
    if (worldMapWindow) worldMapWindow->Redraw();
    if (skyViewWindow) skyViewWindow->update();
    if (viewPlanMapWindow) viewPlanMapWindow->update();
}

}  // namespace corvane::ui
