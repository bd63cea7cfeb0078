// Propagation and look-angle costs on the 1889-object catalogue of 27 April 2017.
// One iteration is one propagation (conversion of the element text into the slot, then the
// model) or one look-angle computation, so the reported time is nanoseconds per operation.
// Propagations follow a pass search: 64 steps of one minute per object, then the next object.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "astro/Sun.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"
#include "orbit/Sgp4Batch.h"

using namespace corvane;

namespace {

struct Catalogue {
    std::shared_ptr<const ElementCatalogue> all;
    std::vector<int> nearEarth, deepSpace;
};

const Catalogue& TestCatalogue() {
    static const Catalogue c = [] {
        Catalogue c;
        c.all = LoadElementFile(std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle").catalogue;
        PropagationSlot slot;
        for (int i = 1; i <= c.all->Count(); ++i) {
            ConvertElementSet(*c.all, i, slot);
            if (slot.Elements().error != PropagationError::kNone) continue;
            (slot.Elements().deepSpace ? c.deepSpace : c.nearEarth).push_back(i);
        }
        if (c.all->Count() == 0) std::fprintf(stderr, "catalogue-2017-04-27.tle not found\n");
        return c;
    }();
    return c;
}

// 2017-04-28 00:00 UTC, about a day after most epochs of the catalogue.
constexpr double kStart = 2457871.5;
constexpr int kStepsPerObject = 64;

void Propagate(benchmark::State& state, const std::vector<int>& objects, bool cache) {
    const Catalogue& c = TestCatalogue();
    if (objects.empty()) {
        state.SkipWithError("no objects");
        return;
    }
    PropagationSlot slot(kSlotPassPrediction);
    slot.SetCacheEnabled(cache);
    size_t object = 0;
    int step = 0;
    for (auto _ : state) {
        ConvertElementSet(*c.all, objects[object], slot);
        PropagationResult r = PropagateSlot(kStart + step / 1440.0, slot);
        benchmark::DoNotOptimize(r);
        if (++step == kStepsPerObject) {
            step = 0;
            if (++object == objects.size()) object = 0;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_PropagateNearEarth_Cache(benchmark::State& state) {
    Propagate(state, TestCatalogue().nearEarth, true);
}
void BM_PropagateDeepSpace_Cache(benchmark::State& state) {
    Propagate(state, TestCatalogue().deepSpace, true);
}
void BM_PropagateNear_NoCache(benchmark::State& state) { Propagate(state, TestCatalogue().nearEarth, false); }
void BM_PropagateDeep_NoCache(benchmark::State& state) { Propagate(state, TestCatalogue().deepSpace, false); }
BENCHMARK(BM_PropagateNearEarth_Cache);
BENCHMARK(BM_PropagateDeepSpace_Cache);
BENCHMARK(BM_PropagateNear_NoCache);
BENCHMARK(BM_PropagateDeep_NoCache);

// The batched propagation: every near-earth (or deep-space) object of the catalogue at one
// instant per call, the instant a minute later on each call. Items are object-propagations on
// one thread, so items_per_second is per core and compares with the scalar steps above.
void PropagateBatch(benchmark::State& state, const std::vector<int>& objects) {
    const Catalogue& c = TestCatalogue();
    if (objects.empty()) {
        state.SkipWithError("no objects");
        return;
    }
    PropagationBatch batch;
    for (int i : objects) batch.Add(ConvertElementText(c.all->NameLine(i), c.all->Line1(i), c.all->Line2(i)));
    BatchStates states;
    int step = 0;
    for (auto _ : state) {
        batch.PropagateAll(kStart + step / 1440.0, states);
        benchmark::DoNotOptimize(states.x.data());
        if (++step == kStepsPerObject) step = 0;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(objects.size()));
}
void BM_PropagateBatch_NearEarth(benchmark::State& state) {
    PropagateBatch(state, TestCatalogue().nearEarth);
}
void BM_PropagateBatch_DeepSpace(benchmark::State& state) {
    PropagateBatch(state, TestCatalogue().deepSpace);
}
BENCHMARK(BM_PropagateBatch_NearEarth);
BENCHMARK(BM_PropagateBatch_DeepSpace);

// The deep-space objects of the whole catalogue as the batch search asks for them: pairs of
// object and instant, the objects' lanes packed on every call.
void BM_PropagateBatch_DeepSpacePairs(benchmark::State& state) {
    const Catalogue& c = TestCatalogue();
    if (c.deepSpace.empty()) {
        state.SkipWithError("no objects");
        return;
    }
    PropagationBatch batch;
    batch.AddCatalogue(*c.all, 1, c.all->Count());
    std::vector<uint32_t> objects;
    for (int i : c.deepSpace) objects.push_back(static_cast<uint32_t>(i - 1));
    std::vector<double> times(objects.size());
    BatchStates states;
    int step = 0;
    for (auto _ : state) {
        std::fill(times.begin(), times.end(), kStart + step / 1440.0);
        batch.PropagatePairs(objects.data(), times.data(), objects.size(), states);
        benchmark::DoNotOptimize(states.x.data());
        if (++step == kStepsPerObject) step = 0;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(objects.size()));
}
BENCHMARK(BM_PropagateBatch_DeepSpacePairs);

// One object through 1600 instants a minute apart, as the ground track draws it.
void BM_PropagateBatch_Track(benchmark::State& state) {
    const Catalogue& c = TestCatalogue();
    const int iss = c.all->IssIndex();
    PropagationBatch batch;
    batch.Add(ConvertElementText(c.all->NameLine(iss), c.all->Line1(iss), c.all->Line2(iss)));
    std::vector<double> times;
    for (int i = -800; i < 800; ++i) times.push_back(kStart + i / 1440.0);
    BatchStates states;
    for (auto _ : state) {
        batch.PropagateTimes(0, times.data(), times.size(), states);
        benchmark::DoNotOptimize(states.x.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(times.size()));
}
BENCHMARK(BM_PropagateBatch_Track);

// Look angles (with refraction and the visibility flag) for every object of the catalogue at
// one instant, as a list build does.
void BM_LookAngles(benchmark::State& state) {
    const Catalogue& c = TestCatalogue();
    std::vector<PropagationResult> states;
    PropagationSlot slot;
    for (int i = 1; i <= c.all->Count(); ++i) {
        ConvertElementSet(*c.all, i, slot);
        PropagationResult r = PropagateSlot(kStart, slot);
        if (!r.Ok()) continue;
        ConvertState(r);
        states.push_back(r);
    }
    Site s;
    s.latitude = 38.9;
    s.longitude = -77.0;
    s.altitude = 100.0;
    GeodeticPoint site = SitePoint(s);
    size_t i = 0;
    for (auto _ : state) {
        LookAngles look = ComputeLookAngles(states[i].position, states[i].velocity, site, kStart, slot);
        benchmark::DoNotOptimize(look);
        if (++i == states.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookAngles);

// The Sun vector and the shadow test, once per object and instant in a pass search.
void BM_SunAndShadow(benchmark::State& state) {
    StateVector p{-4000.0, 5000.0, 2000.0, 0.0};
    Magnitude(p);
    double jd = kStart;
    for (auto _ : state) {
        const StateVector sun = ComputeSunVector(jd);
        double depth = 0;
        benchmark::DoNotOptimize(IsEclipsed(p, sun, &depth));
        jd += 1.0 / 1440.0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SunAndShadow);

// Converting element text into model units (every element set of the catalogue in turn), with
// and without the text fields; items are element sets.
void ConvertAll(benchmark::State& state, bool withText) {
    const Catalogue& c = TestCatalogue();
    int i = 1;
    for (auto _ : state) {
        const std::string_view l1 = c.all->Line1(i), l2 = c.all->Line2(i);
        if (withText) {
            benchmark::DoNotOptimize(ConvertElementText(c.all->NameLine(i), l1, l2));
        } else {
            benchmark::DoNotOptimize(ConvertElementValues(l1, l2));
        }
        if (++i > c.all->Count()) i = 1;
    }
    state.SetItemsProcessed(state.iterations());
}
void BM_ConvertElementText(benchmark::State& state) { ConvertAll(state, true); }
void BM_ConvertElementValues(benchmark::State& state) { ConvertAll(state, false); }
BENCHMARK(BM_ConvertElementText);
BENCHMARK(BM_ConvertElementValues);

// Loading the 1889-entry element file (5667 lines, each group checked for element lines and
// checksums); items are entries.
void BM_LoadElementFile(benchmark::State& state) {
    const std::string path = std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle";
    int count = 0;
    for (auto _ : state) {
        const LoadResult r = LoadElementFile(path);
        count = r.catalogue->Count();
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LoadElementFile);

}  // namespace
