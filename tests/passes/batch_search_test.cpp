// The batch run propagates blocks of objects together; its passes must be those of the plain
// search of each object in its own propagation slot, decision for decision, on the whole test
// catalogue.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/Text.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "passes/BatchPredictions.h"

using namespace corvane;

namespace {

std::shared_ptr<const ElementCatalogue> Catalogue() {
    static const auto c = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    return c;
}

// The lines the batch lists, worked out object by object with a slot and the scalar model.
std::vector<std::string> SlotLines(const BatchRequest& r) {
    std::vector<std::string> lines;
    const double startUtc = r.startLocal - r.site.utcOffset / 24.0;
    PropagationSlot slot(kSlotBatch);
    for (int i = 1; i <= r.catalogue->Count(); ++i) {
        PassSearch search(*r.catalogue, i, slot, r.site, r.passSettings, startUtc);
        search.SetCoarsePruning(true);
        const auto passes = search.FindPasses(BatchRange(r.options.periodMinutes), SearchVariant::kBatch,
                                              r.options.excludeDaytime);
        for (const PassRecord& p : passes) {
            if (p.losSecond - p.aosSecond < BatchMinimumSeconds(r.options.minPassMinutes)) continue;
            std::string line = BatchListLine(p, r.site.utcOffset, Column(r.catalogue->Line1(i), 3, 5),
                                             r.catalogue->NameLine(i));
            if (LeadingInt(std::string_view(line).substr(69, 2)) <= r.options.maxElevation) continue;
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace

TEST(BatchSearch, BlocksFindTheSamePassesAsOneSlotPerObject) {
    BatchRequest r;
    r.catalogue = Catalogue();
    ASSERT_GT(r.catalogue->Count(), 1800);
    r.site = Site{40.0, -75.0, 100.0, -4.0};
    r.options.includeLow = r.options.includeMod = r.options.includeHigh = true;
    r.startLocal = CivilToJulianDate(2017, 4, 27, 22, 0, 0);
    struct Case {
        int minutes;
        double aosElevationDegrees;
        bool ignoreEclipse;
        bool excludeDaytime;
    };
    // The default window, the longest with the shadow, by elevation alone above 10 degrees, and
    // with the daytime rule (the coarse AOS decides).
    for (const Case& c : {Case{15, 0, false, false}, Case{300, 0, false, false}, Case{300, 10, true, false},
                          Case{120, 0, true, true}}) {
        r.options.periodMinutes = c.minutes;
        r.passSettings.aosElevation = Radians(c.aosElevationDegrees);
        r.passSettings.ignoreEclipse = c.ignoreEclipse;
        r.options.excludeDaytime = c.excludeDaytime;
        std::vector<std::string> batch;
        for (const BatchLine& l : ComputeBatch(r, 2)) batch.push_back(l.line);
        const std::vector<std::string> expected = SlotLines(r);
        EXPECT_GT(expected.size(), 10u) << c.minutes;
        EXPECT_EQ(batch, expected) << c.minutes << " min, " << c.aosElevationDegrees << " deg";
    }
}
