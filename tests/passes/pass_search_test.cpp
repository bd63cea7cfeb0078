// The pass search steps on made-up passes (exact walk limits, probes, the skip after a pass, the
// culmination rule) and on the ISS of the test catalogue (shadow, window edges, daytime rule).
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "astro/Sun.h"
#include "core/Clock.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "passes/PassPredictions.h"
#include "passes/PassSearch.h"
#include "passes/PassText.h"

using namespace corvane;

namespace {

// In pass on the given closed runs of seconds; azimuth = second mod 360 so that each direction
// code tells which sample set it. Counts the samples taken.
struct Runs {
    std::vector<std::pair<long long, long long>> runs;
    mutable int samples = 0;
    PassSample operator()(long long s) const {
        ++samples;
        PassSample p;
        p.computed = true;
        p.azimuth = static_cast<double>(((s % 360) + 360) % 360);
        for (const auto& [a, b] : runs) p.inPass = p.inPass || (s >= a && s <= b);
        return p;
    }
};

std::string CodeAt(long long s) { return CompassText(static_cast<double>(((s % 360) + 360) % 360), false); }

std::vector<std::pair<long long, long long>> Scan(const ScanRange& range, const Runs& runs) {
    std::vector<std::pair<long long, long long>> found;
    CoarseScan(range, std::cref(runs), [&](long long a, long long l) { found.emplace_back(a, l); });
    return found;
}

}  // namespace

TEST(CoarseScan, DayWindowsSample727TimesFromTheirOffset) {
    Runs none;
    EXPECT_TRUE(Scan(DayWindowRange(0), none).empty());
    EXPECT_EQ(none.samples, 727);
    const ScanRange w30 = DayWindowRange(30);
    EXPECT_EQ(w30.first, 1 + 86400LL * 30);
    EXPECT_DOUBLE_EQ(w30.last, 86459.5 + 86400.0 * 30);
    none.samples = 0;
    Scan(w30, none);
    EXPECT_EQ(none.samples, 727);
    EXPECT_DOUBLE_EQ(BatchRange(15).last, 28 * 60.0);
}

TEST(CoarseScan, SkipsTwentyFiveSamplesAfterThePassThatClosed) {
    // Samples fall on 1 + 119 k. [1000, 1500] holds 1072 .. 1429 and closes at 1548; the next
    // sample taken is 1548 + 26 * 119 = 4642.
    Runs runs{{{1000, 1500}, {3000, 4500}}};
    auto found = Scan(DayWindowRange(0), runs);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], std::make_pair(1072LL, 1429LL));

    Runs later{{{1000, 1500}, {4000, 4700}}};
    found = Scan(DayWindowRange(0), later);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[1], std::make_pair(4642LL, 4642LL));
}

TEST(CoarseScan, DropsAPassStillOpenAtTheLastSample) {
    Runs runs{{{86000, 90000}}};
    EXPECT_TRUE(Scan(DayWindowRange(0), runs).empty());
    // The next window finds it.
    EXPECT_EQ(Scan(DayWindowRange(1), runs).size(), 1u);
}

TEST(RefineAOS, WalksBackAtMost200Seconds) {
    const long long T = 10000;
    EXPECT_EQ(RefineAOS(T, SearchVariant::kSingleObject, Runs{{{T - 150, T}}}).second, T - 150);
    EXPECT_EQ(RefineAOS(T, SearchVariant::kSingleObject, Runs{{{T - 150, T}}}).direction, CodeAt(T - 150));
    EXPECT_EQ(RefineAOS(T, SearchVariant::kSingleObject, Runs{{{T - 199, T}}}).second, T - 199);
    // A run reaching 200 s back hits the limit: the coarse time stays, the code is the last
    // sample's (T - 200).
    const RefinedEnd limit = RefineAOS(T, SearchVariant::kSingleObject, Runs{{{T - 200, T}}});
    EXPECT_EQ(limit.second, T);
    EXPECT_EQ(limit.direction, CodeAt(T - 200));
}

TEST(RefineAOS, BatchProbesBackThenWalksUpTo1000Seconds) {
    const long long T = 10000;
    Runs longRun{{{T - 500, T}}};
    EXPECT_EQ(RefineAOS(T, SearchVariant::kBatch, std::cref(longRun)).second, T - 500);
    // Five probes, then the walk from k = 149: far fewer samples than a walk from T.
    EXPECT_EQ(longRun.samples, 5 + (500 - 149 + 2));
    EXPECT_EQ(RefineAOS(T, SearchVariant::kBatch, Runs{{{T - 40, T}}}).second, T - 40);
    EXPECT_EQ(RefineAOS(T, SearchVariant::kBatch, Runs{{{T - 999, T}}}).second, T - 999);
    EXPECT_EQ(RefineAOS(T, SearchVariant::kBatch, Runs{{{T - 1000, T}}}).second, T);
}

TEST(RefineLOS, ProbesThenWalksFrom20SecondsBeforeTheLastGoodProbe) {
    const long long T = 10000;
    const RefinedEnd los = RefineLOS(T, SearchVariant::kSingleObject, Runs{{{T - 100, T + 70}}});
    EXPECT_EQ(los.second, T + 70);
    EXPECT_EQ(los.direction, CodeAt(T + 70));
    EXPECT_EQ(RefineLOS(T, SearchVariant::kSingleObject, Runs{{{T - 100, T + 200}}}).second, T + 200);
    EXPECT_EQ(RefineLOS(T, SearchVariant::kSingleObject, Runs{{{T - 100, T + 201}}}).second, T);
}

TEST(RefineLOS, ShortPassKeepsTheCoarseTimeWithTheFirstProbesCode) {
    // The first probe fails, the walk starts 30 s before T, which is already out of the pass.
    const long long T = 10000;
    const RefinedEnd los = RefineLOS(T, SearchVariant::kSingleObject, Runs{{{T - 10, T + 20}}});
    EXPECT_EQ(los.second, T);
    EXPECT_EQ(los.direction, CodeAt(T + 30));
    // The batch walk starts at T itself.
    EXPECT_EQ(RefineLOS(T, SearchVariant::kBatch, Runs{{{T - 10, T + 20}}}).second, T + 20);
    EXPECT_EQ(RefineLOS(T, SearchVariant::kBatch, Runs{{{T - 10, T + 199}}}).second, T + 199);
    EXPECT_EQ(RefineLOS(T, SearchVariant::kBatch, Runs{{{T - 10, T + 200}}}).second, T);
}

TEST(MaximumElevation, TenSecondStepsThenOneSecondStepsAfterTheCoarseMaximum) {
    auto triangle = [](long long peak) {
        return [peak](long long s) {
            PassSample p;
            p.computed = true;
            p.elevation = 60.0 - 0.1 * std::fabs(static_cast<double>(s - peak));
            p.range = 1000.0 + static_cast<double>(s);
            return p;
        };
    };
    Culmination top = MaximumElevation(0, 600, triangle(303));
    EXPECT_EQ(top.second, 303);
    EXPECT_DOUBLE_EQ(top.elevation, 60.0);
    EXPECT_DOUBLE_EQ(top.range, 1303.0);
    // Only times after the coarse maximum are refined.
    EXPECT_EQ(MaximumElevation(0, 600, triangle(297)).second, 300);
    // Still rising at LOS: the fine steps go on past it.
    EXPECT_EQ(MaximumElevation(0, 95, triangle(200)).second, 100);
}

// ---------------------------------------------------------------------------------------------
// The ISS of the test catalogue

namespace {

struct IssFixture : ::testing::Test {
    static void SetUpTestSuite() {
        catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
        iss = catalogue->FindCatalogueNumber(25544);
    }
    static std::shared_ptr<const ElementCatalogue> catalogue;
    static int iss;
    PropagationSlot slot{kSlotPassPrediction};
    const double start = CivilToJulianDate(2017, 4, 27, 12, 0, 0);
    const Site north{40.0, -75.0, 100.0, -4.0};
    const Site south{-33.87, 151.2, 50.0, 10.0};
};
std::shared_ptr<const ElementCatalogue> IssFixture::catalogue;
int IssFixture::iss = 0;

}  // namespace

TEST_F(IssFixture, ShadowEndsPassesAndHidesSunlessOnes) {
    PassSettings withShadow, geometric;
    geometric.ignoreEclipse = true;
    PassSearch a(*catalogue, iss, slot, south, withShadow, start);
    const auto lit = a.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, false);
    PropagationSlot slot2(kSlotBatch);
    PassSearch b(*catalogue, iss, slot2, south, geometric, start);
    const auto all = b.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, false);
    EXPECT_LT(lit.size(), all.size());

    // A pass cut short by the shadow ("point of eclipse"): one second after its LOS the station is
    // still above the horizon but in the umbra.
    int cut = 0;
    for (const PassRecord& p : lit) {
        for (const PassRecord& q : all) {
            if (q.aosSecond != p.aosSecond || q.losSecond == p.losSecond) continue;
            ++cut;
            EXPECT_LT(p.losSecond, q.losSecond);
            PropagationResult state = PropagateSlot(a.TimeOf(p.losSecond + 1), slot2);
            ConvertState(state);
            EXPECT_TRUE(IsEclipsed(state.position, ComputeSunVector(a.TimeOf(p.losSecond + 1))));
            EXPECT_GT(b.Condition(p.losSecond + 1).elevation, 0.0);
        }
    }
    EXPECT_GT(cut, 0);
}

TEST_F(IssFixture, PassInProgressAtTheWindowStart) {
    // The station rises at second R of the reference search; start other searches 300 s and 100 s
    // after it.
    PassSettings settings;
    PassSearch reference(*catalogue, iss, slot, north, settings, start);
    long long rise = 3000;
    while (!reference.Condition(rise).inPass) ++rise;
    ASSERT_LT(rise, 10000);

    PropagationSlot other(kSlotBatch);
    PassSearch late(*catalogue, iss, other, north, settings, start + (rise + 299) / 86400.0);
    auto passes = late.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, false);
    ASSERT_FALSE(passes.empty());
    EXPECT_EQ(passes[0].aosSecond, 1);  // walk limit reached: the coarse time stays
    EXPECT_EQ(passes[0].aosDirection, CompassText(late.Condition(1 - 200).azimuth, false));

    PassSearch early(*catalogue, iss, other, north, settings, start + (rise + 99) / 86400.0);
    passes = early.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, false);
    ASSERT_FALSE(passes.empty());
    EXPECT_NEAR(static_cast<double>(passes[0].aosSecond), -99.0, 1.0);  // before the window start
    EXPECT_FALSE(early.Condition(passes[0].aosSecond - 1).inPass);
}

TEST_F(IssFixture, PassOpenAtTheLastSampleIsListedByTheNextWindowOnly) {
    PassSettings settings;
    PassSearch reference(*catalogue, iss, slot, north, settings, start);
    long long rise = 3000;
    while (!reference.Condition(rise).inPass) ++rise;
    // The last sample of window 0 (second 86395) falls 60 s after the rise.
    PropagationSlot other(kSlotBatch);
    PassSearch search(*catalogue, iss, other, north, settings, start + (rise + 60 - 86395) / 86400.0);
    for (const PassRecord& p : search.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, false)) {
        EXPECT_LT(p.losSecond, 86395 - 3000);
    }
    const auto next = search.FindPasses(DayWindowRange(1), SearchVariant::kSingleObject, false);
    ASSERT_FALSE(next.empty());
    EXPECT_NEAR(static_cast<double>(next[0].aosSecond), 86335.0, 1.0);
}

TEST_F(IssFixture, DaytimeRuleActsOnTheCoarseAos) {
    PassSettings settings;
    PassSearch search(*catalogue, iss, slot, south, settings, start);
    const auto all = search.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, false);
    const auto night = search.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, true);
    std::vector<long long> expected;
    for (const PassRecord& p : all) {
        if (IsNightPass(south, search.TimeOf(p.coarseAosSecond) + south.utcOffset / 24.0))
            expected.push_back(p.aosSecond);
    }
    std::vector<long long> got;
    for (const PassRecord& p : night) got.push_back(p.aosSecond);
    EXPECT_EQ(got, expected);
    EXPECT_FALSE(expected.empty());
    EXPECT_LT(expected.size(), all.size());
}

TEST(IsNightPass, ComparesWholeMinutesWithSunriseAndSunset) {
    const Site site{40.0, -75.0, 0.0, -4.0};
    const SunTimes sun = SunriseSunset(40.0, -75.0, 4, 2017, 4, 27);
    ASSERT_EQ(sun.rise.size(), 4u);
    ASSERT_EQ(sun.set.size(), 4u);
    // The day is the one of the whole part of the local Julian date: AOS times in the afternoon
    // and evening of 27 April use its own sunrise and sunset.
    auto at = [](const std::string& hhmm, int second) {
        const int h = std::stoi(hhmm.substr(0, 2)), m = std::stoi(hhmm.substr(2, 2));
        return CivilToJulianDate(2017, 4, 27, h, m, second);
    };
    auto shift = [](const std::string& hhmm, int minutes) {
        const int t = std::stoi(hhmm.substr(0, 2)) * 60 + std::stoi(hhmm.substr(2, 2)) + minutes;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02d%02d", t / 60, t % 60);
        return std::string(buf);
    };
    EXPECT_FALSE(IsNightPass(site, CivilToJulianDate(2017, 4, 27, 14, 0, 0)));
    EXPECT_FALSE(IsNightPass(site, at(sun.set, 0)));
    EXPECT_FALSE(IsNightPass(site, at(sun.set, 59)));  // still the sunset minute
    EXPECT_TRUE(IsNightPass(site, at(shift(sun.set, 1), 0)));
    EXPECT_TRUE(IsNightPass(site, CivilToJulianDate(2017, 4, 27, 23, 30, 0)));
    // Polar night: no sunrise or sunset, every pass goes on except one at exactly 00:00.
    const Site polar{80.0, 15.0, 0.0, 1.0};
    EXPECT_TRUE(IsNightPass(polar, CivilToJulianDate(2017, 12, 21, 13, 0, 0)));
    EXPECT_FALSE(IsNightPass(polar, CivilToJulianDate(2017, 12, 21, 0, 0, 30)));
}

TEST_F(IssFixture, DayWindowListsAPassOfExactlyTheMinimumDuration) {
    PassSettings settings;
    DayWindowRequest request;
    request.nowLocal = start + north.utcOffset / 24.0;
    request.minimumSeconds = 0;
    const DayWindowResult all = ComputeDayWindow(*catalogue, iss, slot, north, settings, request);
    ASSERT_GE(all.passes.size(), 2u);
    const long long d = all.passes[1].losSecond - all.passes[1].aosSecond;
    request.minimumSeconds = d;
    const DayWindowResult exact = ComputeDayWindow(*catalogue, iss, slot, north, settings, request);
    bool listed = false;
    for (const PassRecord& p : exact.passes) listed = listed || p.aosSecond == all.passes[1].aosSecond;
    EXPECT_TRUE(listed);
    request.minimumSeconds = d + 1;
    for (const PassRecord& p : ComputeDayWindow(*catalogue, iss, slot, north, settings, request).passes)
        EXPECT_NE(p.aosSecond, all.passes[1].aosSecond);

    EXPECT_EQ(all.satelliteText, "Satellite: ISS (ZARYA) 25544");
    EXPECT_EQ(all.fromText, "From: Apr 27 2017 08:00:00");
    EXPECT_EQ(all.toText, " to Apr 28 2017 08:00:00");
    EXPECT_EQ(all.lines.size(), all.passes.size());
    EXPECT_EQ(all.lines[1], PassListLine(all.passes[1], north.utcOffset));
}

TEST(PassPredictions, DurationFieldAndClipboardAndSkipDates) {
    EXPECT_EQ(MinimumSecondsOf("2"), 120);
    EXPECT_EQ(MinimumSecondsOf("02"), 120);
    EXPECT_EQ(MinimumSecondsOf("2.5"), 150);
    EXPECT_EQ(MinimumSecondsOf("abc"), 0);
    EXPECT_TRUE(DurationFieldNeedsCorrection("1"));
    EXPECT_TRUE(DurationFieldNeedsCorrection("-3"));
    EXPECT_FALSE(DurationFieldNeedsCorrection("2"));
    EXPECT_FALSE(DurationFieldNeedsCorrection("abc"));
    const std::string copy = PassCopyText("a\tb\tc", "25544", "ISS (ZARYA)");
    EXPECT_EQ(copy, "a b c   25544  ISS (ZARYA)");
    const auto dates = SkipToDates(CivilToJulianDate(2017, 4, 27, 20, 0, 0));
    ASSERT_EQ(dates.size(), 31u);
    EXPECT_EQ(dates.front(), "Apr 27 2017");
    EXPECT_EQ(dates.back(), "May 27 2017");
    EXPECT_EQ(PredictionsHeader().size(), 30u + 18 + 3 + 42 + 8 + 5 + 14);
}

// The pass the observation log records with "New": the one in progress, else the one that has
// just ended, else the next one.
TEST_F(IssFixture, PassAroundNowPrefersThePassInProgressThenTheOneJustEnded) {
    PassSettings settings;
    PassSearch day(*catalogue, iss, slot, north, settings, start);
    const auto passes = day.FindPasses(DayWindowRange(0), SearchVariant::kSingleObject, false);
    // A pass wholly inside the window (the first one may have begun before it), and the next.
    size_t i = 0;
    while (i < passes.size() && passes[i].aosSecond < 1000) ++i;
    ASSERT_LT(i + 1, passes.size());
    const PassRecord& first = passes[i];
    const PassRecord& second = passes[i + 1];
    PropagationSlot own(kSlotPassPrediction);
    auto around = [&](double t) { return PassAroundNow(*catalogue, iss, own, north, settings, t); };

    const double middle = (first.aos + first.los) / 2.0;
    auto p = around(middle);
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->aos, first.aos, 1.5 / 86400.0);
    EXPECT_NEAR(p->los, first.los, 1.5 / 86400.0);
    // Ten minutes after LOS, before the next AOS: still the pass just seen.
    if (second.aos > first.los + 10.0 / 1440.0) {
        p = around(first.los + 10.0 / 1440.0);
        ASSERT_TRUE(p);
        EXPECT_NEAR(p->aos, first.aos, 1.5 / 86400.0);
    }
    // Between passes: one that ended in the two hours before, or else the next one (at the
    // latest the pass above).
    const double t = first.aos - 3.0 / 24.0;
    p = around(t);
    ASSERT_TRUE(p);
    if (p->aos > t) {
        EXPECT_LE(p->aos, first.aos + 1.5 / 86400.0);
    } else {
        EXPECT_LT(p->los, t);
        EXPECT_GT(p->los, t - 2.0 / 24.0);
    }
    EXPECT_FALSE(PassAroundNow(*catalogue, 0, own, north, settings, middle).has_value());
}
