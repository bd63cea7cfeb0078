// "map4.dat": the outline table reader and the drawing steps of all three projections. Any bytes
// give exactly 13680 records, and every step the windows would draw has finite coordinates.
#include <cmath>

#include "FuzzSupport.h"
#include "maps/WorldMap.h"

using namespace corvane;
using namespace corvane::maps;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file("map4.dat");
    WorldMapTable table;
    FUZZ_CHECK(LoadWorldMap(file.Write(data, size), table) == MapLoad::kLoaded);
    FUZZ_CHECK(table.loaded && table.records.size() == static_cast<size_t>(kMapRecords));
    OrthographicView view;
    view.SetOrthographicView(45.5, -73.6, OrthographicView::kFarHeight);
    const Projector projectors[] = {{Projection::kFlat, 1, nullptr},
                                    {Projection::kFlatZoomed, 3, nullptr},
                                    {Projection::kOrthographic, 1, &view}};
    for (const Projector& projector : projectors) {
        DrawSteps steps;
        OutlineSteps(table, projector, steps);
        for (const DrawStep& s : steps) FUZZ_CHECK(std::isfinite(s.x) && std::isfinite(s.y));
    }
    return 0;
}
