// Batch predictions: every listed pass is the one the single-object search finds with the batch
// refinement (on a sample of real objects, periods, sites and filters), the list does not depend
// on the number of threads nor on whether the object list's models are reused, a stop ends the run between
// objects with the lines found so far, and "Add All" honours the 2000-entry plan.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/Settings.h"
#include "core/Text.h"
#include "obslog/ObservedList.h"
#include "orbit/CatalogueModels.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/ElementSet.h"
#include "orbit/PropagationSlot.h"
#include "passes/BatchPredictions.h"
#include "passes/ObjectList.h"
#include "passes/PassText.h"

using namespace corvane;

namespace {

std::shared_ptr<const ElementCatalogue> Catalogue() {
    static const auto c = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    return c;
}

// Every sixth object up to 300 of them (near-earth and deep-space alike).
std::shared_ptr<const ElementCatalogue> Sample() {
    static const auto sample = [] {
        auto c = std::make_shared<ElementCatalogue>();
        const auto all = Catalogue();
        for (int i = 1; i <= all->Count() && c->Count() < 300; i += 6) c->Add(*all->Entry(i));
        return std::shared_ptr<const ElementCatalogue>(std::move(c));
    }();
    return sample;
}

BatchRequest AllClasses(std::shared_ptr<const ElementCatalogue> catalogue, const Site& site,
                        double startLocal, int period) {
    BatchRequest r;
    r.catalogue = std::move(catalogue);
    r.site = site;
    r.startLocal = startLocal;
    r.options.includeLow = r.options.includeMod = r.options.includeHigh = true;
    r.options.periodMinutes = period;
    return r;
}

std::vector<std::string> Lines(const std::vector<BatchLine>& lines) {
    std::vector<std::string> out;
    for (const BatchLine& l : lines) out.push_back(l.line);
    return out;
}

// What the batch must list for one object, from the single-object search with the batch
// refinement in a fresh, uncached slot, filtered by the rules as the window states them.
std::vector<std::string> Reference(const BatchRequest& r, int object) {
    const ElementCatalogue& c = *r.catalogue;
    PropagationSlot slot(kSlotBatch);
    slot.SetCacheEnabled(false);
    PassSearch search(c, object, slot, r.site, r.passSettings, r.startLocal - r.site.utcOffset / 24.0);
    std::vector<std::string> lines;
    for (const PassRecord& p : search.FindPasses(BatchRange(r.options.periodMinutes), SearchVariant::kBatch,
                                                 r.options.excludeDaytime)) {
        const long long minimum = std::max(r.options.minPassMinutes * 60LL, 120LL);
        if (p.losSecond - p.aosSecond < minimum) continue;
        if (!(std::lround(p.maxElevation) > r.options.maxElevation)) continue;
        if (r.options.predictRange != 0 && !(std::lround(p.rangeAtMax) < r.options.predictRange)) continue;
        lines.push_back(
            BatchListLine(p, r.site.utcOffset, Column(c.Entry(object)->line1, 3, 5), c.Entry(object)->name));
    }
    return lines;
}

const Site kPhiladelphia{40.0, -75.0, 100.0, -4.0};
const Site kSydney{-33.87, 151.2, 50.0, 10.0};
const Site kTromso{69.65, 18.96, 10.0, 2.0};

}  // namespace

TEST(BatchSearch, EqualsTheSingleObjectSearchWithTheBatchRefinement) {
    struct Case {
        Site site;
        double startLocal;
        int period, minPass, maxElevation, range;
        bool excludeDaytime, ignoreEclipse;
    };
    const Case cases[] = {
        {kPhiladelphia, CivilToJulianDate(2017, 4, 27, 21, 0, 0), 15, 2, 0, 0, false, false},
        {kPhiladelphia, CivilToJulianDate(2017, 4, 28, 4, 30, 0), 120, 4, 20, 0, false, false},
        {kSydney, CivilToJulianDate(2017, 4, 28, 18, 0, 0), 300, 2, 10, 2000, true, false},
        {kTromso, CivilToJulianDate(2017, 4, 28, 0, 0, 0), 60, 3, 0, 0, false, true},
    };
    size_t listed = 0;
    for (const Case& k : cases) {
        BatchRequest r = AllClasses(Sample(), k.site, k.startLocal, k.period);
        r.options.minPassMinutes = k.minPass;
        r.options.maxElevation = k.maxElevation;
        r.options.predictRange = k.range;
        r.options.excludeDaytime = k.excludeDaytime;
        r.passSettings.ignoreEclipse = k.ignoreEclipse;
        std::vector<std::string> expected;
        for (int i = 1; i <= r.catalogue->Count(); ++i)
            for (std::string& l : Reference(r, i)) expected.push_back(std::move(l));
        const std::vector<std::string> got = Lines(ComputeBatch(r, 2));
        EXPECT_EQ(got, expected) << "period " << k.period << " at " << k.site.latitude;
        listed += got.size();
        for (const std::string& l : got) {
            ASSERT_EQ(l.size(), 119u);
            EXPECT_EQ(l.substr(84, 3), "   ");
            EXPECT_EQ(l.substr(92, 3), "   ");
        }
    }
    EXPECT_GT(listed, 20u);  // the sample has passes to compare
}

TEST(BatchSearch, ThreadCountDoesNotChangeTheList) {
    const BatchRequest r =
        AllClasses(Catalogue(), kPhiladelphia, CivilToJulianDate(2017, 4, 27, 22, 0, 0), 45);
    const std::vector<std::string> one = Lines(ComputeBatch(r, 1));
    EXPECT_GT(one.size(), 30u);
    EXPECT_EQ(Lines(ComputeBatch(r, 2)), one);
    EXPECT_EQ(Lines(ComputeBatch(r, 5)), one);
}

TEST(BatchSearch, FiltersOnTheLinesOwnNumbers) {
    BatchRequest r = AllClasses(Catalogue(), kPhiladelphia, CivilToJulianDate(2017, 4, 27, 22, 0, 0), 60);
    const std::vector<BatchLine> all = ComputeBatch(r, 2);
    ASSERT_FALSE(all.empty());
    // A culmination equal to the limit is not listed; one degree less lists it.
    const BatchLine& first = all.front();
    const int degrees = std::stoi(first.line.substr(69, 2));
    r.options.maxElevation = degrees;
    for (const BatchLine& l : ComputeBatch(r, 2)) EXPECT_GT(std::stoi(l.line.substr(69, 2)), degrees);
    r.options.maxElevation = degrees - 1;
    bool kept = false;
    for (const BatchLine& l : ComputeBatch(r, 2)) kept = kept || l.line == first.line;
    EXPECT_TRUE(kept);
    // "Pass Duration >" 1 still needs 120 seconds: the same list as 2 minutes.
    r.options.maxElevation = 0;
    r.options.minPassMinutes = 1;
    EXPECT_EQ(Lines(ComputeBatch(r, 2)), Lines(all));
    EXPECT_EQ(BatchMinimumSeconds(1), 120);
    EXPECT_EQ(BatchMinimumSeconds(5), 300);
    // Closest range: strictly below, in whole kilometres.
    const int km = static_cast<int>(std::lround(first.pass.rangeAtMax));
    r.options.predictRange = km;
    for (const BatchLine& l : ComputeBatch(r, 2)) EXPECT_LT(std::lround(l.pass.rangeAtMax), km);
    r.options.predictRange = km + 1;
    kept = false;
    for (const BatchLine& l : ComputeBatch(r, 2)) kept = kept || l.line == first.line;
    EXPECT_TRUE(kept);
}

TEST(BatchSearch, SelectsByAltitudeClassFavouritesAndHistory) {
    BatchRequest r = AllClasses(Catalogue(), kPhiladelphia, CivilToJulianDate(2017, 4, 27, 22, 0, 0), 60);
    const std::vector<BatchLine> all = ComputeBatch(r, 2);
    const int iss = Catalogue()->FindCatalogueNumber(25544);
    // Only High: no pass of a low object, even though the object list has never placed it.
    r.options.includeLow = r.options.includeMod = false;
    for (const BatchLine& l : ComputeBatch(r, 2)) EXPECT_NE(l.object, iss);
    // A cached height decides instead of the computed one.
    r.heights.assign(static_cast<size_t>(Catalogue()->Count()) + 1, std::nullopt);
    r.heights[static_cast<size_t>(iss)] = 3000;
    bool issListed = false;
    for (const BatchLine& l : ComputeBatch(r, 2)) issListed = issListed || l.object == iss;
    bool issPasses = false;
    for (const BatchLine& l : all) issPasses = issPasses || l.object == iss;
    EXPECT_EQ(issListed, issPasses);
    // Favourites only, and never observed.
    r = AllClasses(Catalogue(), kPhiladelphia, CivilToJulianDate(2017, 4, 27, 22, 0, 0), 60);
    r.options.favoritesOnly = true;
    EXPECT_TRUE(ComputeBatch(r, 2).empty());
    const long favourite = CatalogueNumberOf(Catalogue()->Entry(all.front().object)->line1);
    r.observed.SetFavourite(favourite, true);
    for (const BatchLine& l : ComputeBatch(r, 2)) EXPECT_EQ(l.object, all.front().object);
    r.options.favoritesOnly = false;
    r.options.neverObserved = true;
    r.observed.MarkObserved(favourite);
    const std::vector<BatchLine> unobserved = ComputeBatch(r, 2);
    for (const BatchLine& l : unobserved) EXPECT_NE(l.object, all.front().object);
    EXPECT_GT(unobserved.size(), 0u);
}

TEST(BatchSearch, PassMustCloseInsideThePeriodPlusThirteenMinutes) {
    // 15 minutes from 10:00: samples up to 10:28. A pass 10:20-10:27 closes inside, one setting
    // at 10:30 does not.
    auto scan = [](long long aos, long long los) {
        int found = 0;
        CoarseScan(
            BatchRange(15),
            [=](long long s) {
                PassSample p;
                p.computed = true;
                p.inPass = s >= aos && s <= los;
                return p;
            },
            [&](long long, long long) { ++found; });
        return found;
    };
    EXPECT_EQ(scan(20 * 60, 27 * 60), 1);
    EXPECT_EQ(scan(20 * 60, 30 * 60), 0);
    EXPECT_EQ(BatchPeriodMinutes(0), 15);
}

// Geostationary objects around the March equinox pass through the Earth's shadow near local
// midnight: a pass in view ends at the shadow entry and the next begins at the exit, and one in
// progress at the window start walks back the full 1000 seconds. The batch search reads samples
// that a slow object provably keeps in view and sunlit without computing them; the passes (and
// the azimuths at their ends) must be those of the search that computes every sample.
TEST(BatchSearch, InPassShortcutKeepsShadowEntriesExitsAndLongWalks) {
    const auto catalogue = Catalogue();
    const Site site = kPhiladelphia;
    const double start = CivilToJulianDate(2017, 3, 21, 4, 0, 0);  // UTC
    PassSettings settings;
    const InstantTable table = BatchInstantTable(site, start, 300);
    PropagationSlot slot(kSlotBatch);
    int objects = 0, shadowEntries = 0, longWalks = 0;
    long long computed = 0, plainSamples = 0;
    for (int i = 1; i <= catalogue->Count(); ++i) {
        ConvertElementSet(*catalogue, i, slot);
        const ElementSet& e = slot.Elements();
        if (!(std::fabs(e.meanMotion * 1440.0 / (2.0 * M_PI) - 1.0027) < 0.01) || e.eccentricity > 0.01)
            continue;
        ++objects;
        PassSearch fast(*catalogue, i, slot, site, settings, start);
        fast.SetCoarsePruning(true);
        fast.UseInstants(&table);
        const std::vector<PassRecord> got = fast.FindPasses(BatchRange(300), SearchVariant::kBatch, false);
        computed += fast.Samples();
        PassSearch plain(*catalogue, i, slot, site, settings, start);
        const std::vector<PassRecord> expected =
            plain.FindPasses(BatchRange(300), SearchVariant::kBatch, false);
        plainSamples += plain.Samples();
        ASSERT_EQ(got.size(), expected.size()) << "object " << i;
        for (size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(PassListLine(got[k], -4.0), PassListLine(expected[k], -4.0)) << "object " << i;
            EXPECT_EQ(got[k].rangeAtMax, expected[k].rangeAtMax);
            const PassSample after = plain.Condition(got[k].losSecond + 1);
            if (after.elevation > 1.0 && !after.inPass) ++shadowEntries;
            if (got[k].aosSecond == got[k].coarseAosSecond && got[k].aosDirection != "--") ++longWalks;
        }
    }
    EXPECT_GT(objects, 100);
    EXPECT_GT(shadowEntries, 5);  // the case this test is about does occur
    EXPECT_GT(longWalks, 0);
    EXPECT_LT(computed * 3, plainSamples);  // and the shortcut does save samples
}

TEST(BatchRun, StopEndsBetweenObjectsWithTheLinesFoundSoFar) {
    const BatchRequest r =
        AllClasses(Catalogue(), kPhiladelphia, CivilToJulianDate(2017, 4, 27, 22, 0, 0), 300);
    const std::vector<BatchLine> full = ComputeBatch(r, 1);
    std::atomic<bool> stop{false};
    std::vector<BatchLine> gotLines;
    std::vector<int> counts;
    const BatchOutcome outcome = RunBatch(
        r, stop,
        [&](int n, int total, std::vector<BatchLine>&& lines) {
            EXPECT_EQ(total, Catalogue()->Count());
            counts.push_back(n);
            for (BatchLine& l : lines) gotLines.push_back(std::move(l));
            if (n >= 300) stop.store(true);
        },
        2);
    EXPECT_TRUE(outcome.aborted);
    EXPECT_GE(outcome.calculated, 300);
    EXPECT_LT(outcome.calculated, Catalogue()->Count());
    for (size_t i = 1; i < counts.size(); ++i) EXPECT_GE(counts[i], counts[i - 1]);
    EXPECT_EQ(counts.back(), outcome.calculated);
    // The lines found, in catalogue order: every line of the first 300 objects, and of any later
    // object all its lines or none.
    std::map<int, std::vector<std::string>> fullByObject, gotByObject;
    for (const BatchLine& l : full) fullByObject[l.object].push_back(l.line);
    for (const BatchLine& l : gotLines) gotByObject[l.object].push_back(l.line);
    for (size_t i = 1; i < gotLines.size(); ++i) EXPECT_LE(gotLines[i - 1].object, gotLines[i].object);
    for (const auto& [object, lines] : fullByObject) {
        if (object <= 300) {
            EXPECT_EQ(gotByObject[object], lines) << object;
        }
    }
    for (const auto& [object, lines] : gotByObject) EXPECT_EQ(lines, fullByObject[object]) << object;
}

// The whole record of every pass, bit for bit, and the line.
void ExpectSameRuns(const std::vector<BatchLine>& got, const std::vector<BatchLine>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        const PassRecord &g = got[i].pass, &w = want[i].pass;
        EXPECT_EQ(got[i].line, want[i].line);
        EXPECT_EQ(got[i].object, want[i].object);
        EXPECT_TRUE(g.aos == w.aos && g.los == w.los && g.maxElevation == w.maxElevation &&
                    g.maxElevationTime == w.maxElevationTime && g.rangeAtMax == w.rangeAtMax &&
                    g.duration == w.duration)
            << got[i].line;
    }
}

TEST(BatchRun, ModelsTheObjectListMadeGiveTheSameLines) {
    const auto catalogue = Catalogue();
    const BatchRequest cold =
        AllClasses(catalogue, kPhiladelphia, CivilToJulianDate(2017, 4, 27, 22, 0, 0), 300);
    const std::vector<BatchLine> want = ComputeBatch(cold, 1);
    int deepSpace = 0;
    for (const BatchLine& l : want)
        deepSpace += LeadingNumber(Column(catalogue->Line2(l.object), 53, 11)) < 6.4;
    EXPECT_GT(deepSpace, 0);
    ExpectSameRuns(ComputeBatch(cold, 2), want);

    // The list's store, after its builds have carried its own copies' integrations on to other
    // instants; and a new store whose blocks the batch's threads make as they go.
    AltitudeCache cache;
    for (double hours : {5.0, 30.0})
        BuildObjectList(*catalogue, ObjectFilters(), kPhiladelphia, cold.startLocal + hours / 24.0,
                        ObservedList(), cache);
    BatchRequest prepared = cold;
    prepared.models = cache.Models();
    ASSERT_TRUE(prepared.models && prepared.models->MadeFor(*catalogue));
    for (int threads : {1, 2}) ExpectSameRuns(ComputeBatch(prepared, threads), want);
    prepared.models = std::make_shared<CatalogueModels>(*catalogue);
    ExpectSameRuns(ComputeBatch(prepared, 2), want);
    ExpectSameRuns(ComputeBatch(prepared, 1), want);
}

TEST(BatchRun, ModelsMadeForAnotherCatalogueAreNotUsed) {
    const auto catalogue = Catalogue();
    BatchRequest r = AllClasses(catalogue, kPhiladelphia, CivilToJulianDate(2017, 4, 27, 22, 0, 0), 60);
    const std::vector<BatchLine> want = ComputeBatch(r, 2);
    // As many objects, in reverse order: its models would give other passes to every object.
    auto reversed = std::make_shared<ElementCatalogue>();
    for (int i = catalogue->Count(); i >= 1; --i) reversed->Add(*catalogue->Entry(i));
    auto models = std::make_shared<CatalogueModels>(*reversed);
    for (int b = 0; b < models->Blocks(); ++b) models->Models(*reversed, b);
    r.models = models;
    ExpectSameRuns(ComputeBatch(r, 2), want);
}

TEST(BatchRun, EmptyCatalogueFinishesAtOnce) {
    BatchRequest r;
    r.catalogue = std::make_shared<ElementCatalogue>();
    const std::atomic<bool> stop{false};
    int calls = 0;
    const BatchOutcome o = RunBatch(r, stop, [&](int n, int total, std::vector<BatchLine>&&) {
        ++calls;
        EXPECT_EQ(n, 0);
        EXPECT_EQ(total, 0);
    });
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(o.aborted);
}

TEST(BatchTexts, LineHeaderStatusAndStartChoices) {
    PassRecord p;
    const double aos = CivilToJulianDate(2017, 4, 28, 2, 20, 0);
    p.aos = aos;
    p.los = aos + 420.0 / 86400.0;
    p.aosSecond = 0;
    p.losSecond = 420;
    p.aosDirection = "SW";
    p.losDirection = "NE";
    p.maxElevation = 45.4;
    p.maxElevationTime = aos + 200.0 / 86400.0;
    const std::string line = BatchListLine(p, -4.0, "25544", "ISS (ZARYA)                 \r");
    EXPECT_EQ(line.substr(84), "   25544   ISS (ZARYA)             ");
    EXPECT_EQ(line.substr(0, 24), "Apr 27 2017  22:20:00 SW");
    EXPECT_EQ(BatchLineNumber(line), "25544");
    EXPECT_EQ(BatchLineName(line), "ISS (ZARYA)");
    EXPECT_EQ(BatchStatusText(12, 1889), "Calculated 12 of 1889 objects.");
    EXPECT_EQ(BatchHeader(), " AOS" + std::string(43, ' ') + "LOS" + std::string(42, ' ') +
                                 "Duration    Max. Elevation    NORAD Satellite Name");
    const std::vector<std::string> times = BatchStartTimes();
    ASSERT_EQ(times.size(), 48u);
    EXPECT_EQ(times[1], "00:30");
    EXPECT_EQ(times[47], "23:30");
    const double now = CivilToJulianDate(2017, 4, 27, 21, 47, 10);
    EXPECT_EQ(HalfHourIndex(now), 43);
    EXPECT_EQ(BatchStartDates(now).size(), 31u);
    EXPECT_EQ(BatchStartDates(now)[1], "Apr 28 2017");
    EXPECT_DOUBLE_EQ(BatchStartLocal(now, 1, 20), CivilToJulianDate(2017, 4, 28, 10, 0, 0));
    EXPECT_EQ(BatchPeriodChoices().front(), 15);
    EXPECT_EQ(BatchPeriodChoices().back(), 300);
    EXPECT_EQ(BatchPeriodChoices().size(), 20u);
}

TEST(BatchAddAll, AddsEveryLineUpToTheTwoThousandEntryPlan) {
    const BatchRequest r =
        AllClasses(Catalogue(), kPhiladelphia, CivilToJulianDate(2017, 4, 27, 22, 0, 0), 60);
    std::vector<std::string> lines = Lines(ComputeBatch(r, 2));
    ASSERT_GE(lines.size(), 5u);
    lines.resize(5);
    const double now = CivilToJulianDate(2017, 4, 27, 12, 0, 0);
    ViewPlan plan;
    std::vector<std::string> list = lines;
    EXPECT_EQ(AddAllBatchLines(plan, list, now), 5u);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(plan.Count(), 5u);
    // The same plan as adding one line at a time.
    ViewPlan single;
    for (const std::string& l : lines) ASSERT_TRUE(AddBatchLine(single, l, now));
    ASSERT_EQ(single.Count(), plan.Count());
    for (size_t i = 0; i < plan.Count(); ++i) EXPECT_EQ(plan.entries[i], single.entries[i]);
    bool first = false;  // the plan is sorted by AOS; the first line's entry is in it somewhere
    for (const ViewPlanEntry& e : plan.entries) first = first || Trim(e.Norad()) == BatchLineNumber(lines[0]);
    EXPECT_TRUE(first);
    // A plan of 1998 entries takes two more; the rest stay in the list.
    ViewPlan full;
    const ViewPlanEntry filler = plan.entries[0];
    full.entries.assign(1998, filler);
    list = lines;
    EXPECT_EQ(AddAllBatchLines(full, list, now), 2u);
    EXPECT_EQ(full.Count(), 2000u);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], lines[2]);
    EXPECT_FALSE(AddBatchLine(full, lines[2], now));
}

TEST(BatchSettings, RoundTripThroughTheOptions) {
    Settings s;
    s.BatchIncludeMod = 1;
    s.BatchPeriod = 0;
    s.BatchPredictRange = 800;
    BatchOptions o = BatchOptionsFromSettings(s);
    EXPECT_TRUE(o.includeLow && o.includeMod && !o.includeHigh);
    EXPECT_EQ(o.periodMinutes, 15);
    EXPECT_EQ(o.predictRange, 800);
    o.minPassMinutes = 1;
    o.neverObserved = true;
    StoreBatchOptions(o, s);
    EXPECT_EQ(s.BatchMinPass, 2);
    EXPECT_EQ(s.BatchNeverObserved, 1);
    EXPECT_EQ(s.BatchPeriod, 15);
}
