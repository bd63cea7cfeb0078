// Object list builds over a full 100000-object catalogue (the 1889 real element sets of the test
// data repeated under new catalogue numbers, Alpha-5 ones from 100000 on) and one pass of the
// position panel. Goal: the first build within 100 ms in either filter setting.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "astro/Sun.h"
#include "core/Clock.h"
#include "obslog/ObservedList.h"
#include "orbit/CatalogueNumber.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "passes/DisplayPanel.h"
#include "passes/ObjectList.h"

namespace {

using namespace corvane;

constexpr double kInstant = 2457871.5 + 3.25 / 24.0;  // 2017-04-28 03:15 UTC

std::shared_ptr<const ElementCatalogue> RealCatalogue() {
    static std::shared_ptr<const ElementCatalogue> c =
        LoadElementFile(std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle").catalogue;
    return c;
}

std::shared_ptr<const ElementCatalogue> BigCatalogue() {
    static std::shared_ptr<const ElementCatalogue> big = [] {
        auto real = RealCatalogue();
        auto c = std::make_shared<ElementCatalogue>();
        for (int i = 0; i < ElementCatalogue::kCapacity; ++i) {
            const CatalogueEntry* e = real->Entry(i % real->Count() + 1);
            CatalogueEntry copy = *e;
            const std::string number = CatalogueNumberField(10000 + i);
            if (copy.line1.size() >= 7) copy.line1.replace(2, 5, number);
            if (copy.line2.size() >= 7) copy.line2.replace(2, 5, number);
            c->Add(std::move(copy));
        }
        return std::shared_ptr<const ElementCatalogue>(std::move(c));
    }();
    return big;
}

const Site kSite{40.0, -75.0, 100.0, -4.0};

ObjectFilters FiltersFor(int which) {
    ObjectFilters f;
    if (which == 1) {
        f.aboveHorizon = true;
        f.ascendingOnly = true;
    }
    return f;
}

// The first build after a file load: nothing converted or cached yet.
void BM_ObjectListFirstBuild(benchmark::State& state) {
    auto catalogue = BigCatalogue();
    ObservedList observed;
    const ObjectFilters filters = FiltersFor(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        AltitudeCache cache;
        auto result = BuildObjectList(*catalogue, filters, kSite, kInstant, observed, cache);
        benchmark::DoNotOptimize(result.entries.data());
        state.PauseTiming();
        // Freeing the cache and the list shown before is not part of the build.
        cache = AltitudeCache();
        result = decltype(result){};
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ObjectListFirstBuild)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"aboveHorizonAscending"})
    ->Unit(benchmark::kMillisecond);

// "&Refresh List" a few seconds later.
void BM_ObjectListRebuild(benchmark::State& state) {
    auto catalogue = BigCatalogue();
    ObservedList observed;
    const ObjectFilters filters = FiltersFor(static_cast<int>(state.range(0)));
    AltitudeCache cache;
    BuildObjectList(*catalogue, filters, kSite, kInstant, observed, cache);
    double t = kInstant;
    for (auto _ : state) {
        t += 5.0 / 86400.0;
        auto result = BuildObjectList(*catalogue, filters, kSite, t, observed, cache);
        benchmark::DoNotOptimize(result.entries.data());
    }
}
BENCHMARK(BM_ObjectListRebuild)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"aboveHorizonAscending"})
    ->Unit(benchmark::kMillisecond);

// One display pass of the ISS, 100 ms after the previous one.
void BM_DisplayPass(benchmark::State& state) {
    auto catalogue = RealCatalogue();
    const int iss = catalogue->IssIndex();
    ManualClock clock(kInstant + kSite.utcOffset / 24.0);
    DisplayPanelState panel;
    for (auto _ : state) {
        clock.Advance(0.1);
        DisplayTexts texts = ComputeDisplayPass(*catalogue, iss, kSite, clock, 0.0, panel);
        benchmark::DoNotOptimize(texts.sunText.data());
    }
}
BENCHMARK(BM_DisplayPass)->Unit(benchmark::kMicrosecond);

// The costliest pass: 61 s before the ISS enters the shadow (three coarse and 31 fine tests).
void BM_DisplayPassNearShadow(benchmark::State& state) {
    auto catalogue = RealCatalogue();
    const int iss = catalogue->IssIndex();
    PropagationSlot slot;
    ConvertElementSet(*catalogue, iss, slot);
    auto eclipsed = [&](double jd) {
        PropagationResult r = PropagateSlot(jd, slot);
        ConvertState(r);
        return IsEclipsed(r.position, ComputeSunVector(jd));
    };
    double t = kInstant;
    while (eclipsed(t)) t += 1.0 / 86400.0;
    while (!eclipsed(t)) t += 1.0 / 86400.0;
    ManualClock clock(t - 61.0 / 86400.0 + kSite.utcOffset / 24.0);
    DisplayPanelState panel;
    for (auto _ : state) {
        DisplayTexts texts = ComputeDisplayPass(*catalogue, iss, kSite, clock, 0.0, panel);
        benchmark::DoNotOptimize(texts.sunText.data());
    }
}
BENCHMARK(BM_DisplayPassNearShadow)->Unit(benchmark::kMicrosecond);

}  // namespace
