// Element files: the three-line and OMM loaders, the fixed-column conversion and the orbit models. Every
// propagation must end in an error state or in finite numbers, and so must the look angles,
// right ascension and declination and the sub-point of a finite position.
#include <cmath>

#include "FuzzSupport.h"
#include "obslog/ObservedList.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/ElementData.h"
#include "orbit/ElementSet.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"

using namespace corvane;

namespace {

// Minutes from the epoch: at it, around it, a day, a week and a month away. Times further out
// would make each run integrate the deep-space resonance for thousands of steps; the time limit
// itself is checked before any integration.
constexpr double kMinutes[] = {0.0, 1.0, -1.0, 90.0, -720.0, 1440.0, -10080.0, 43200.0, 1.5e8, -1.5e8};
// Entries of one input that are propagated: the rest are only loaded and converted.
constexpr int kPropagated = 2;

void CheckLook(const PropagationResult& state, double jd, GeodeticPoint& site) {
    const LookAngles look = ComputeLookAngles(state.position, state.velocity, site, jd);
    FUZZ_CHECK(std::isfinite(look.azimuth) && std::isfinite(look.elevation));
    FUZZ_CHECK(std::isfinite(look.range) && std::isfinite(look.rangeRate));
    const LookAngles radec = ComputeRADec(state.position, state.velocity, site, jd);
    FUZZ_CHECK(std::isfinite(radec.azimuth) && std::isfinite(radec.elevation));
    const GeodeticPoint sub = ComputeSubPoint(state.position, jd);
    FUZZ_CHECK(std::isfinite(sub.latitude) && std::isfinite(sub.longitude) && std::isfinite(sub.altitude));
}

void Propagate(const ElementCatalogue& catalogue, int index, ModelVariant variant, bool cached) {
    PropagationSlot slot(kSlotMainDisplay);
    slot.SetModelVariant(variant);
    slot.SetCacheEnabled(cached);
    FUZZ_CHECK(ConvertElementSet(catalogue, index, slot));
    const ElementSet& e = slot.Elements();
    GeodeticPoint site = SitePoint(Site{45.5, -73.6, 50.0, -5.0});
    for (double minutes : kMinutes) {
        PropagationResult state = slot.PropagateMinutes(minutes);
        if (!state.Ok()) {
            FUZZ_CHECK(state.position.x == 0.0 && state.position.y == 0.0 && state.position.z == 0.0);
            continue;
        }
        FUZZ_CHECK(fuzz::Finite(state.position) && fuzz::Finite(state.velocity));
        ConvertState(state);
        FUZZ_CHECK(fuzz::Finite(state.position) && fuzz::Finite(state.velocity));
        // An element set that propagates has a dated epoch.
        FUZZ_CHECK(std::isfinite(e.epochJd) && e.epochJd > 0.0);
        CheckLook(state, e.epochJd + minutes / 1440.0, site);
    }
    // The date form the windows use, far from the epoch as well.
    for (double jd : {e.epochJd, e.epochJd + 0.5, 2457871.5}) {
        const PropagationResult state = PropagateSlot(jd, slot);
        FUZZ_CHECK(!state.Ok() || (fuzz::Finite(state.position) && fuzz::Finite(state.velocity)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file("elements.tle");
    const LoadResult result = LoadElementFile(file.Write(data, size));
    FUZZ_CHECK(result.opened && result.catalogue != nullptr);
    const ElementCatalogue& catalogue = *result.catalogue;
    FUZZ_CHECK(catalogue.Count() >= 0 && catalogue.Count() <= ElementCatalogue::kCapacity);
    FUZZ_CHECK((catalogue.Count() == 0) == (result.status.rfind("No objects.", 0) == 0));

    for (int i = 1; i <= catalogue.Count(); ++i) {
        const CatalogueEntry* entry = catalogue.Entry(i);
        FUZZ_CHECK(entry != nullptr);
        const ElementSet e = ConvertElementText(entry->name, entry->line1, entry->line2);
        FUZZ_CHECK(std::isfinite(e.epoch) && std::isfinite(e.epochJd) && std::isfinite(e.ndot) &&
                   std::isfinite(e.nddot) && std::isfinite(e.bstar) && std::isfinite(e.inclination) &&
                   std::isfinite(e.node) && std::isfinite(e.eccentricity) && std::isfinite(e.argPerigee) &&
                   std::isfinite(e.meanAnomaly) && std::isfinite(e.meanMotion));
        FUZZ_CHECK(e.name.size() <= 24 && e.launchYear.size() == 4);
        for (const auto& row : ElementDataRows(entry->line1, entry->line2)) (void)row;
        const long number = CatalogueNumberOf(entry->line1);
        FUZZ_CHECK(number >= 0);
        (void)catalogue.FindCatalogueNumber(number);
        if (i <= kPropagated) {
            Propagate(catalogue, i, ModelVariant::kReport1980, true);
            if (i == 1) {
                Propagate(catalogue, i, ModelVariant::kReport1980, false);
                Propagate(catalogue, i, ModelVariant::kRevision2006, true);
            }
        }
    }
    return 0;
}
