#pragma once
// Two real element sets (27 April 2017) for targets whose input names objects: the ISS, near
// earth, and a geostationary satellite, deep space.
#include "orbit/ElementCatalogue.h"

namespace fuzz {

inline constexpr double kCatalogueDay = 2457871.5;  // 27 April 2017, 0h

inline const corvane::ElementCatalogue& FixedCatalogue() {
    static const corvane::ElementCatalogue catalogue = [] {
        corvane::ElementCatalogue c;
        c.Add({"ISS (ZARYA)             ",
               "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992",
               "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936"});
        c.Add({"GALAXY 11 (G-11)        ",
               "1 26038U 99071A   17117.93035581  .00000124  00000-0  00000-0 0  9993",
               "2 26038   0.0073 290.7859 0001167  42.6936 262.4449  1.00271306 63646"});
        return c;
    }();
    return catalogue;
}

}  // namespace fuzz
