#include "maps/PlanMap.h"

#include <cmath>

#include "astro/MathUtil.h"
#include "astro/Sun.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"
#include "passes/DisplayPanel.h"
#include "passes/ViewPlan.h"
#include "orbit/CatalogueNumber.h"

namespace corvane::maps {

std::array<std::string, 9> PlanMarkerDetails(const ElementCatalogue& catalogue, int object,
                                             PropagationSlot& slot, const Site& site, double nowUtc) {
    std::array<std::string, 9> lines;
    if (!ConvertElementSet(catalogue, object, slot)) return lines;
    PropagationResult now = PropagateSlot(nowUtc, slot);
    PropagationResult later = PropagateSlot(nowUtc + 1.0 / 86400.0, slot);
    if (!now.Ok() || !later.Ok()) return lines;
    ConvertState(now);
    ConvertState(later);
    GeodeticPoint sitePoint = SitePoint(site);
    const LookAngles look = ComputeLookAngles(now.position, now.velocity, sitePoint, nowUtc);
    const LookAngles look2 =
        ComputeLookAngles(later.position, later.velocity, sitePoint, nowUtc + 1.0 / 86400.0);
    const GeodeticPoint sub = ComputeSubPoint(now.position, nowUtc);
    const bool eclipsed = IsEclipsed(now.position, ComputeSunVector(nowUtc));
    const ElementSet& el = slot.Elements();
    lines[0] = "NORAD:    " + CatalogueNumberText(el.catalogueNumber);
    lines[1] = "Launch:     " + el.launchYear + "/" + el.launchNumber;
    lines[2] = "Elevation:  " + FixedText(Degrees(look.elevation), 3) + "\xB0";
    lines[3] = "Azimuth:    " + FixedText(Degrees(look.azimuth), 3) + "\xB0";
    lines[4] = "Range:      " + FixedText(look.range, 3) + " km";
    lines[5] = "Latitude:     " + FixedText(Degrees(sub.latitude), 4) + " \xB0 N";
    lines[6] = "Longitude:   " + FixedText(Degrees(sub.longitude), 4) + " \xB0 E";
    lines[7] = "Altitude:      " + FixedText(sub.altitude, 3) + " km";
    lines[8] = std::string(eclipsed ? "Eclipsed" : "Sun") +
               (look2.elevation > look.elevation ? ", Ascending" : ", Descending");
    return lines;
}

std::vector<PlanMarker> BuildPlanMarkers(const ViewPlan& plan, const ElementCatalogue& catalogue,
                                         PropagationSlot& slot, const Site& site, double nowUtc,
                                         const OrthographicView& view) {
    std::vector<PlanMarker> markers;
    const double nowLocal = nowUtc + site.utcOffset / 24.0;
    for (const ViewPlanEntry& entry : plan.entries) {
        if (!(entry.LosValue() > nowLocal)) continue;
        const int object = FindObjectByNorad(catalogue, entry.Norad());
        if (object == 0) continue;
        const TrackPoint t = PlaceSubPoint(catalogue, object, slot, nowUtc);
        if (!t.ok) continue;
        const MapPoint p = view.OrthographicPoint(Radians(t.latitude), Radians(t.longitude));
        if (!p.visible) continue;
        PlanMarker m;
        m.x = p.x;
        m.y = p.y;
        m.object = object;
        m.norad = slot.Elements().catalogueNumber;
        m.sunlit = t.sunlit;
        m.details = PlanMarkerDetails(catalogue, object, slot, site, nowUtc);
        markers.push_back(std::move(m));
    }
    return markers;
}

int NearestMarker(const std::vector<PlanMarker>& markers, double x, double y) {
    double best = 100.0;
    int found = -1;
    for (size_t i = 0; i < markers.size(); ++i) {
        const double d = std::fabs(markers[i].x - x) + std::fabs(markers[i].y - y);
        if (d < best) {
            best = d;
            found = static_cast<int>(i);
        }
    }
    return best < 10.0 ? found : -1;
}

}  // namespace corvane::maps
