#include "maps/SkyTables.h"

namespace corvane::maps {

SkyTables LoadSkyTables() {
    SkyTables t;
    t.stars.assign(kBrightStars.begin(), kBrightStars.end());
    t.lines.assign(kConstellationLines.begin(), kConstellationLines.end());
    return t;
}

}  // namespace corvane::maps
