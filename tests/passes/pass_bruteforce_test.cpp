// The pass search against a brute-force check: for the ISS of the test catalogue over several
// day windows at a northern and a southern mid-latitude site, the in-pass condition is sampled
// every second by this file's own code (model position, look angles, shadow), its runs are
// found, and the passes the coarse scan is meant to find (runs that hold a coarse sample that is
// not skipped and close inside the window) are compared with the search: same passes, AOS and LOS
// within one second, culmination within a hundredth of a degree.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "astro/Sun.h"
#include "core/Clock.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"
#include "passes/PassSearch.h"

using namespace corvane;

namespace {

struct Second {
    bool inPass = false;
    double elevation = -90.0;
};

// Every second of [from, to] relative to start.
std::vector<Second> SampleEverySecond(const ElementCatalogue& catalogue, int object, const Site& site,
                                      double start, long long from, long long to, bool ignoreEclipse) {
    PropagationSlot slot(kSlotBatch);
    ConvertElementSet(catalogue, object, slot);
    GeodeticPoint point = SitePoint(site);
    std::vector<Second> out;
    out.reserve(static_cast<size_t>(to - from + 1));
    for (long long s = from; s <= to; ++s) {
        const double t = start + static_cast<double>(s) / 86400.0;
        PropagationResult state = PropagateSlot(t, slot);
        ConvertState(state);
        const LookAngles look = ComputeLookAngles(state.position, state.velocity, point, t);
        Second sec;
        sec.elevation = Degrees(look.elevation);
        sec.inPass = look.elevation > 0.0 &&
                     !IsEclipsedForPrediction(state.position, ComputeSunVector(t), ignoreEclipse);
        out.push_back(sec);
    }
    return out;
}

struct Expected {
    long long aos, los;
    double maxElevation;
    bool peakInside;  // the highest second lies before LOS (not cut by the shadow)
};

// Adds the number of passes found to `passes`, so that a check of two empty lists cannot pass
// unnoticed.
void CheckWindow(const ElementCatalogue& catalogue, int object, const Site& site, double start, int w,
                 bool ignoreEclipse, size_t& passes) {
    const ScanRange range = DayWindowRange(w);
    const long long from = range.first - 400, to = static_cast<long long>(range.last) + 400;
    const std::vector<Second> secs =
        SampleEverySecond(catalogue, object, site, start, from, to, ignoreEclipse);
    auto at = [&](long long s) -> const Second& { return secs[static_cast<size_t>(s - from)]; };

    // The passes the scan is meant to find: the coarse samples, the skip of 25 after a closing
    // sample, a pass open at the last sample dropped.
    std::vector<Expected> expected;
    long long open = -1, last = -1;
    int skip = 0;
    for (long long s = range.first; static_cast<double>(s) <= range.last; s += 119) {
        if (skip > 0) {
            --skip;
            continue;
        }
        if (at(s).inPass) {
            if (open < 0) open = s;
            last = s;
        } else if (open >= 0) {
            long long a = open, l = last;
            for (long long x = open; x <= last; ++x) ASSERT_TRUE(at(x).inPass) << "gap inside a pass";
            // The walks stop at the sampled margin (reading before it was out of bounds).
            while (a > from && at(a - 1).inPass) --a;
            while (l < to && at(l + 1).inPass) ++l;
            // A run reaching 200 s or more before the coarse AOS keeps the coarse AOS.
            const bool walked = open - a < 200;
            Expected e{walked ? a : open, l, -90.0, false};
            long long best = a;
            for (long long x = a; x <= l; ++x) {
                if (at(x).elevation > e.maxElevation) e.maxElevation = at(x).elevation, best = x;
            }
            e.peakInside = walked && best < l;
            expected.push_back(e);
            skip = 25;
            open = -1;
        }
    }

    PropagationSlot slot(kSlotPassPrediction);
    PassSettings settings;
    settings.ignoreEclipse = ignoreEclipse;
    PassSearch search(catalogue, object, slot, site, settings, start);
    const std::vector<PassRecord> found = search.FindPasses(range, SearchVariant::kSingleObject, false);
    ASSERT_EQ(found.size(), expected.size()) << "window " << w;
    passes += found.size();
    for (size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "window " << w << " pass " << i);
        EXPECT_LE(std::llabs(found[i].aosSecond - expected[i].aos), 1);
        // The short-pass rule of the LOS walk (first probe out, 30 s before the coarse LOS
        // already out) keeps the coarse LOS.
        const long long coarseLos = [&] {
            long long c = range.first;
            while (c + 119 <= expected[i].los) c += 119;
            return c;
        }();
        const bool shortRule = !at(coarseLos + 30).inPass && !at(coarseLos - 30).inPass;
        EXPECT_LE(std::llabs(found[i].losSecond - (shortRule ? coarseLos : expected[i].los)), 1);
        // The culmination rule (10-second steps while rising, then 1-second steps after the
        // coarse maximum only) replayed on the sampled elevations; never above the true maximum.
        if (!shortRule && found[i].aosSecond == expected[i].aos && found[i].losSecond == expected[i].los) {
            double top = -90.0;
            long long when = found[i].aosSecond;
            for (long long x = found[i].aosSecond; x <= found[i].losSecond && at(x).elevation > top; x += 10)
                top = at(x).elevation, when = x;
            for (long long x = when + 1; x <= when + 10 && at(x).elevation > top; ++x) top = at(x).elevation;
            EXPECT_NEAR(found[i].maxElevation, top, 1e-9);
            if (expected[i].peakInside) {
                EXPECT_LE(found[i].maxElevation, expected[i].maxElevation);
                EXPECT_NEAR(found[i].maxElevation, expected[i].maxElevation, 0.2);
            }
        }
        EXPECT_EQ(found[i].duration, static_cast<double>(found[i].losSecond - found[i].aosSecond));
    }
}

}  // namespace

TEST(PassSearchBruteForce, IssAtANorthernMidLatitudeSiteOverThreeDays) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    const int iss = catalogue->FindCatalogueNumber(25544);
    ASSERT_GT(iss, 0);
    const Site site{40.0, -75.0, 100.0, -4.0};
    const double start = CivilToJulianDate(2017, 4, 27, 12, 0, 0) + 0.37 / 86400.0;
    size_t passes = 0;
    for (int w = 0; w < 3; ++w) CheckWindow(*catalogue, iss, site, start, w, false, passes);
    EXPECT_EQ(passes, 22u);
}

TEST(PassSearchBruteForce, IssAtASouthernMidLatitudeSiteWithAndWithoutTheShadow) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    const int iss = catalogue->FindCatalogueNumber(25544);
    const Site site{-33.87, 151.2, 50.0, 10.0};
    const double start = CivilToJulianDate(2017, 4, 27, 3, 17, 41);
    ASSERT_GT(iss, 0);
    size_t sunlit = 0, all = 0;
    for (int w = 0; w < 3; ++w) CheckWindow(*catalogue, iss, site, start, w, false, sunlit);
    CheckWindow(*catalogue, iss, site, start, 1, true, all);
    EXPECT_EQ(sunlit, 7u);
    EXPECT_EQ(all, 7u);
}
