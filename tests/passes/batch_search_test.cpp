// The batch run propagates blocks of objects together; its passes must be those of the plain
// search of each object in its own propagation slot, decision for decision, on the whole test
// catalogue; and a stop must leave whole objects only.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/Text.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "orbit/Sgp4Batch.h"
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
    int deepSpace = 0, openAtStart = 0;
    for (const Case& c : {Case{15, 0, false, false}, Case{300, 0, false, false}, Case{300, 10, true, false},
                          Case{120, 0, true, true}}) {
        r.options.periodMinutes = c.minutes;
        r.passSettings.aosElevation = Radians(c.aosElevationDegrees);
        r.passSettings.ignoreEclipse = c.ignoreEclipse;
        r.options.excludeDaytime = c.excludeDaytime;
        std::vector<std::string> batch;
        for (const BatchLine& l : ComputeBatch(r, 2)) {
            batch.push_back(l.line);
            // The cases where the search works differently: deep-space objects (the scalar model
            // among vectorised ones) and passes already open at the first sample (AOS walks that
            // reach back before the start).
            if (LeadingNumber(Column(r.catalogue->Line2(l.object), 53, 11)) < 6.4) ++deepSpace;
            if (l.pass.coarseAosSecond == BatchRange(c.minutes).first) ++openAtStart;
        }
        const std::vector<std::string> expected = SlotLines(r);
        EXPECT_GT(expected.size(), 10u) << c.minutes;
        EXPECT_EQ(batch, expected) << c.minutes << " min, " << c.aosElevationDegrees << " deg";
    }
    EXPECT_GT(deepSpace, 0);
    EXPECT_GT(openAtStart, 0);
}

TEST(BatchSearch, StopBeforeTheRunSearchesNothingAndStopInTheRunKeepsWholeObjects) {
    BatchRequest r;
    r.catalogue = Catalogue();
    r.site = Site{40.0, -75.0, 100.0, -4.0};
    r.options.includeLow = r.options.includeMod = r.options.includeHigh = true;
    r.options.periodMinutes = 300;
    r.startLocal = CivilToJulianDate(2017, 4, 27, 22, 0, 0);
    const std::atomic<bool> stopped{true};
    int calls = 0;
    const BatchOutcome none = RunBatch(
        r, stopped,
        [&](int n, int total, std::vector<BatchLine>&& lines) {
            ++calls;
            EXPECT_EQ(n, 0);
            EXPECT_EQ(total, r.catalogue->Count());
            EXPECT_TRUE(lines.empty());
        },
        2);
    EXPECT_TRUE(none.aborted);
    EXPECT_EQ(none.calculated, 0);
    EXPECT_EQ(calls, 1);

    // Stopped from the progress report: every object counted has all its lines, the same as in a
    // whole run, and none of the objects beyond the count has any.
    std::map<int, std::vector<std::string>> whole;
    for (const BatchLine& l : ComputeBatch(r, 1)) whole[l.object].push_back(l.line);
    std::atomic<bool> stop{false};
    std::map<int, std::vector<std::string>> got;
    const BatchOutcome part = RunBatch(
        r, stop,
        [&](int n, int, std::vector<BatchLine>&& lines) {
            for (const BatchLine& l : lines) got[l.object].push_back(l.line);
            if (n > 0) stop.store(true);
        },
        1);
    EXPECT_TRUE(part.aborted);
    EXPECT_GT(part.calculated, 0);
    EXPECT_LT(part.calculated, r.catalogue->Count());
    for (const auto& [object, lines] : whole) {
        if (object <= part.calculated) {
            EXPECT_EQ(got[object], lines) << object;
        } else {
            EXPECT_EQ(got.count(object), 0u) << object;
        }
    }
}

TEST(BatchSearch, SearchOverABatchEqualsTheSlotSearchForEveryVariant) {
    // A batch object's search propagates the seconds ahead of its walks together; each variant
    // walks with its own strides (1, 10, 30 seconds, with and without the pruning's jumps).
    const auto catalogue = Catalogue();
    const Site site{40.0, -75.0, 100.0, -4.0};
    const double start = CivilToJulianDate(2017, 4, 28, 2, 0, 0);
    PropagationBatch batch;
    batch.AddCatalogue(*catalogue, 1, catalogue->Count());
    PropagationSlot slot(kSlotBatch);
    PassSettings settings;
    size_t passes = 0;
    for (int object = 1; object <= catalogue->Count(); object += 37) {
        for (const SearchVariant variant : {SearchVariant::kSingleObject, SearchVariant::kBatch}) {
            for (const bool pruning : {false, true}) {
                PassSearch plain(*catalogue, object, slot, site, settings, start);
                PassSearch batched(batch, static_cast<size_t>(object - 1), site, settings, start);
                plain.SetCoarsePruning(pruning);
                batched.SetCoarsePruning(pruning);
                const auto expected = plain.FindPasses(DayWindowRange(0), variant, false);
                const auto got = batched.FindPasses(DayWindowRange(0), variant, false);
                ASSERT_EQ(got.size(), expected.size()) << object;
                for (size_t k = 0; k < got.size(); ++k) {
                    EXPECT_EQ(PassListLine(got[k], -4.0), PassListLine(expected[k], -4.0)) << object;
                    EXPECT_EQ(got[k].rangeAtMax, expected[k].rangeAtMax) << object;
                }
                passes += got.size();
            }
        }
    }
    EXPECT_GT(passes, 100u);
}

TEST(BatchSearch, DeepSpaceModelsWhoseVelocityStraysKeepTheirPassesWithFewerSamples) {
    // These deep-space models state a velocity that differs from the rate of their own positions
    // by 1 to 8 tenths of what the walks' bounds allow for; the walks then take the velocity from
    // the positions a second either side. Each must find exactly the plain search's passes, and
    // together (several are in view at the start, and their AOS walks reach back 1000 seconds)
    // with far fewer samples.
    const auto catalogue = Catalogue();
    const Site site{40.0, -75.0, 100.0, -4.0};
    const double startUtc = CivilToJulianDate(2017, 4, 28, 2, 0, 0);
    PassSettings settings;
    PropagationSlot slot(kSlotBatch);
    long long plainSamples = 0, prunedSamples = 0;
    size_t passes = 0;
    for (const long number : {25989L, 27540L, 30798L, 38752L, 42433L, 26410L, 23420L, 33751L, 11057L, 21118L,
                              9880L, 13875L, 15738L, 25847L}) {
        const int i = catalogue->FindCatalogueNumber(number);
        ASSERT_GT(i, 0) << number;
        PassSearch plain(*catalogue, i, slot, site, settings, startUtc);
        const auto expected = plain.FindPasses(BatchRange(300), SearchVariant::kBatch, false);
        PassSearch pruned(*catalogue, i, slot, site, settings, startUtc);
        pruned.SetCoarsePruning(true);
        const auto got = pruned.FindPasses(BatchRange(300), SearchVariant::kBatch, false);
        ASSERT_EQ(got.size(), expected.size()) << number;
        for (size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].aosSecond, expected[k].aosSecond) << number;
            EXPECT_EQ(got[k].losSecond, expected[k].losSecond) << number;
            EXPECT_EQ(got[k].maxSecond, expected[k].maxSecond) << number;
            EXPECT_EQ(got[k].aosDirection, expected[k].aosDirection) << number;
            EXPECT_EQ(got[k].losDirection, expected[k].losDirection) << number;
        }
        passes += got.size();
        plainSamples += plain.Samples();
        prunedSamples += pruned.Samples();
    }
    EXPECT_GT(passes, 3u);
    // (Without the positions' velocity the walks compute 85% of the plain search's samples.)
    EXPECT_LT(prunedSamples * 2, plainSamples);
}
