#pragma once
// Shared set-up of the tracking tests: the April 2017 catalogue, a site, the live values and a
// way to find a pass of an object.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "astro/Time.h"
#include "core/LiveState.h"
#include "orbit/ElementCatalogue.h"
#include "scope/TrackingDriver.h"

namespace corvane::test {

inline const Site kTestSite{40.0, -75.0, 100.0, -4.0};

inline std::shared_ptr<const ElementCatalogue> TestCatalogue() {
    static const auto catalogue =
        LoadElementFile(std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle").catalogue;
    return catalogue;
}

inline void SetSite(LiveState& live, int object) {
    live.Update([&](LiveValues& v) {
        v.siteLatitude = "40";
        v.siteLongitude = "-75";
        v.siteAltitude = "100";
        v.siteUtcOffset = "-4";
        v.selectedObject = object;
        v.timingOffsetText = "0";
        v.alignmentText = "0";
    });
}

struct PassTimes {
    double aosUtc = 0, culminationUtc = 0, losUtc = 0, maxElevation = -90;
};

// The first pass after `fromUtc` whose highest elevation lies between the two bounds (degrees).
inline PassTimes FindPass(int object, double fromUtc, double minPeak, double maxPeak) {
    PropagationSlot slot(kSlotPassPrediction);
    const auto catalogue = TestCatalogue();
    PassTimes pass;
    bool up = false;
    for (double jd = fromUtc; jd < fromUtc + 3.0; jd += 10.0 / 86400.0) {
        const CycleTarget t = ComputeCycleTarget(*catalogue, object, jd, kTestSite, 0.0, slot);
        if (!t.ok) break;
        if (t.elevationDeg > 0 && !up) {
            up = true;
            pass = PassTimes{jd, jd, 0, t.elevationDeg};
        } else if (up && t.elevationDeg > pass.maxElevation) {
            pass.maxElevation = t.elevationDeg;
            pass.culminationUtc = jd;
        } else if (up && t.elevationDeg <= 0) {
            up = false;
            pass.losUtc = jd;
            if (pass.maxElevation >= minPeak && pass.maxElevation <= maxPeak) return pass;
        }
    }
    return PassTimes{};
}

// Great-circle angle between two azimuth/elevation directions, degrees.
inline double Separation(double az1, double el1, double az2, double el2) {
    const double d = 3.14159265358979323846 / 180.0;
    const double c = std::sin(el1 * d) * std::sin(el2 * d) +
                     std::cos(el1 * d) * std::cos(el2 * d) * std::cos((az1 - az2) * d);
    return std::acos(std::clamp(c, -1.0, 1.0)) / d;
}

}  // namespace corvane::test
