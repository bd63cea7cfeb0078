// Pass search costs on the catalogue of 27 April 2017 at a mid-latitude site (40 N, 75 W): one
// 24-hour window and a 30-day run (30 day windows from the same start, as the predictions window
// steps through them) for a near-earth object (the ISS) and a deep-space one (MOLNIYA 1-29).
// The goal for the ISS 24-hour window is under 2 ms.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "core/Clock.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "passes/PassPredictions.h"

using namespace corvane;

namespace {

const ElementCatalogue& Catalogue() {
    static const auto c = [] {
        auto loaded = LoadElementFile(std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle").catalogue;
        if (loaded->Count() == 0) std::fprintf(stderr, "catalogue-2017-04-27.tle not found\n");
        return loaded;
    }();
    return *c;
}

int FirstNamed(const char* prefix) {
    const ElementCatalogue& c = Catalogue();
    for (int i = 1; i <= c.Count(); ++i) {
        if (c.NameLine(i).rfind(prefix, 0) == 0) return i;
    }
    return 0;
}

const Site kSite{40.0, -75.0, 100.0, -4.0};
const double kStart = CivilToJulianDate(2017, 4, 27, 12, 0, 0);

void RunDays(benchmark::State& state, int object, int days) {
    if (object == 0) {
        state.SkipWithError("object not in the catalogue");
        return;
    }
    PropagationSlot slot(kSlotPassPrediction);
    size_t passes = 0;
    for (auto _ : state) {
        PassSearch search(Catalogue(), object, slot, kSite, PassSettings{}, kStart);
        passes = 0;
        for (int w = 0; w < days; ++w)
            passes += search.FindPasses(DayWindowRange(w), SearchVariant::kSingleObject, false).size();
        benchmark::DoNotOptimize(passes);
    }
    state.counters["passes"] = static_cast<double>(passes);
}

void BM_PassWindow_Iss24h(benchmark::State& state) {
    RunDays(state, Catalogue().FindCatalogueNumber(25544), 1);
}
void BM_PassRun_Iss30Days(benchmark::State& state) {
    RunDays(state, Catalogue().FindCatalogueNumber(25544), 30);
}
void BM_PassWindow_DeepSpaceMolniya24h(benchmark::State& state) {
    RunDays(state, FirstNamed("MOLNIYA 1-29"), 1);
}
void BM_PassRun_DeepSpaceMolniya30Days(benchmark::State& state) {
    RunDays(state, FirstNamed("MOLNIYA 1-29"), 30);
}

}  // namespace

BENCHMARK(BM_PassWindow_Iss24h)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassRun_Iss30Days)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassWindow_DeepSpaceMolniya24h)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassRun_DeepSpaceMolniya30Days)->Unit(benchmark::kMillisecond);
