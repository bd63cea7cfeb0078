// The batch search's shortcuts (coarse samples passed over while an object is provably out of
// view, the site and Sun shared per second) change no result: over the whole test catalogue, for
// the longest period and sites from the Arctic to the southern hemisphere, the batch lists exactly
// what the plain single-object search with the batch refinement finds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/Text.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/ElementSet.h"
#include "orbit/PropagationSlot.h"
#include "passes/BatchPredictions.h"

using namespace corvane;

TEST(BatchSearchWholeCatalogue, ShortcutsChangeNoPass) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    ASSERT_GT(catalogue->Count(), 1800);
    struct Case {
        Site site;
        double startLocal;
        double aosElevationDegrees;
        bool ignoreEclipse;
    };
    const Case cases[] = {
        {Site{40.0, -75.0, 100.0, -4.0}, CivilToJulianDate(2017, 4, 27, 20, 0, 0), 0.0, false},
        {Site{69.65, 18.96, 10.0, 2.0}, CivilToJulianDate(2017, 4, 28, 1, 30, 0), 10.0, true},
        {Site{-33.87, 151.2, 50.0, 10.0}, CivilToJulianDate(2017, 4, 28, 17, 0, 0), -3.0, false},
        // Five weeks before the catalogue's epochs: decaying objects' models no longer move as
        // orbits there, and the search must compute what its bounds cannot vouch for.
        {Site{40.0, -75.0, 100.0, -4.0}, CivilToJulianDate(2017, 3, 21, 0, 0, 0), 0.0, true},
    };
    for (const Case& k : cases) {
        BatchRequest r;
        r.catalogue = catalogue;
        r.site = k.site;
        r.startLocal = k.startLocal;
        r.passSettings.aosElevation = Radians(k.aosElevationDegrees);
        r.passSettings.ignoreEclipse = k.ignoreEclipse;
        r.options.includeLow = r.options.includeMod = r.options.includeHigh = true;
        r.options.periodMinutes = 300;
        std::vector<std::string> expected;
        PropagationSlot slot(kSlotBatch);
        for (int i = 1; i <= catalogue->Count(); ++i) {
            PassSearch plain(*catalogue, i, slot, r.site, r.passSettings,
                             r.startLocal - r.site.utcOffset / 24.0);
            for (const PassRecord& p : plain.FindPasses(BatchRange(300), SearchVariant::kBatch, false)) {
                if (p.losSecond - p.aosSecond < 120) continue;
                expected.push_back(BatchListLine(p, r.site.utcOffset,
                                                 Column(catalogue->Entry(i)->line1, 3, 5),
                                                 catalogue->Entry(i)->name));
            }
        }
        std::vector<std::string> got;
        for (const BatchLine& l : ComputeBatch(r, 2)) got.push_back(l.line);
        // The culmination rule of the batch list: whole degrees (columns 70-71) above 0.
        std::vector<std::string> listed;
        for (const std::string& l : expected)
            if (LeadingInt(l.substr(69, 2)) > 0) listed.push_back(l);
        EXPECT_EQ(got, listed) << "site " << k.site.latitude;
        EXPECT_GT(got.size(), 500u);
    }
}
