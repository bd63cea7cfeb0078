#pragma once
// The View Plan map: a marker for the present position of every planned pass whose LOS is still
// ahead, on the orthographic globe centred on the site, with the details shown for a marker and
// the nearest-marker hit test. Pure; one caller per slot.
#include <array>
#include <string>
#include <vector>

#include "astro/Time.h"
#include "maps/WorldMap.h"

namespace corvane {
class ElementCatalogue;
class PropagationSlot;
struct ViewPlan;
}  // namespace corvane

namespace corvane::maps {

struct PlanMarker {
    double x = 0.0, y = 0.0;  // window pixels
    int object = 0;           // catalogue index
    std::string norad;        // catalogue number as written in the element set
    bool sunlit = false;
    std::array<std::string, 9> details;  // the detail lines (Latin-1)
};

// Markers for the plan's entries whose LOS (local) is later than nowLocal and whose object is
// in the catalogue; objects on the far side of the globe get none.
std::vector<PlanMarker> BuildPlanMarkers(const ViewPlan& plan, const ElementCatalogue& catalogue,
                                         PropagationSlot& slot, const Site& site, double nowUtc,
                                         const OrthographicView& view);
// The detail lines of one object now (empty lines when it cannot be placed).
std::array<std::string, 9> PlanMarkerDetails(const ElementCatalogue& catalogue, int object,
                                             PropagationSlot& slot, const Site& site, double nowUtc);
// The marker nearest to (x, y) by the sum of horizontal and vertical distance, when that sum is
// below 10; -1 when none is.
int NearestMarker(const std::vector<PlanMarker>& markers, double x, double y);

}  // namespace corvane::maps
