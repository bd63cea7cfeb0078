// Batch predictions over a full 100000-object catalogue (the 1889 real element sets of 27 April
// 2017 repeated under new catalogue numbers, Alpha-5 ones from 100000 on), every altitude class
// ticked, for the default 15-minute period and the longest (300 minutes), on one thread and on
// every core, with the orbit models made in the run (cold) and made beforehand (as the object list
// leaves them); and how long a run takes to end once it is asked to stop. Goals on two cores:
// 15 minutes within 100 ms, 300 minutes within 600 ms, a stop within 50 ms.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "core/Clock.h"
#include "orbit/CatalogueModels.h"
#include "orbit/CatalogueNumber.h"
#include "orbit/ElementCatalogue.h"
#include "passes/BatchPredictions.h"

namespace {

using namespace corvane;

std::shared_ptr<const ElementCatalogue> BigCatalogue() {
    static std::shared_ptr<const ElementCatalogue> big = [] {
        auto real = LoadElementFile(std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle").catalogue;
        auto c = std::make_shared<ElementCatalogue>();
        for (int i = 0; i < ElementCatalogue::kCapacity && real->Count() > 0; ++i) {
            CatalogueEntry copy = *real->Entry(i % real->Count() + 1);
            const std::string number = CatalogueNumberField(10000 + i);
            if (copy.line1.size() >= 7) copy.line1.replace(2, 5, number);
            if (copy.line2.size() >= 7) copy.line2.replace(2, 5, number);
            c->Add(std::move(copy));
        }
        return std::shared_ptr<const ElementCatalogue>(std::move(c));
    }();
    return big;
}

BatchRequest Request(int periodMinutes) {
    BatchRequest r;
    r.catalogue = BigCatalogue();
    r.site = Site{40.0, -75.0, 100.0, -4.0};
    r.options.includeLow = r.options.includeMod = r.options.includeHigh = true;
    r.options.periodMinutes = periodMinutes;
    r.startLocal = CivilToJulianDate(2017, 4, 27, 22, 0, 0);  // local, 28 April 02:00 UTC
    return r;
}

// Runs the request over and over; the second argument is the threads (0 = one per core).
void RunRepeatedly(benchmark::State& state, const BatchRequest& request) {
    const int threads = static_cast<int>(state.range(1));
    size_t lines = 0;
    for (auto _ : state) {
        const std::atomic<bool> stop{false};
        lines = RunBatch(request, stop, {}, threads).lines;
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["threads"] = threads == 0 ? std::thread::hardware_concurrency() : threads;
}

// Arguments: period in minutes, threads (0 = one per core).
void PeriodsAndThreads(benchmark::internal::Benchmark* b) {
    b->Args({15, 1})
        ->Args({15, 0})
        ->Args({300, 1})
        ->Args({300, 0})
        ->ArgNames({"minutes", "threads"})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

void BM_BatchRun(benchmark::State& state) { RunRepeatedly(state, Request(static_cast<int>(state.range(0)))); }
BENCHMARK(BM_BatchRun)->Apply(PeriodsAndThreads);

// The same runs with every model made beforehand in a store, as the program has them once the
// object list has been built: the blocks are copied, not made.
void BM_BatchRunPrepared(benchmark::State& state) {
    BatchRequest request = Request(static_cast<int>(state.range(0)));
    auto models = std::make_shared<CatalogueModels>(*request.catalogue);
    for (int b = 0; b < models->Blocks(); ++b) models->Models(*request.catalogue, b);
    request.models = models;
    RunRepeatedly(state, request);
}
BENCHMARK(BM_BatchRunPrepared)->Apply(PeriodsAndThreads);

// From setting the stop flag to the run's return, 20 ms into a 300-minute run on every core.
void BM_BatchAbortLatency(benchmark::State& state) {
    const BatchRequest request = Request(300);
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::thread runner([&] { RunBatch(request, stop, {}, 0); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto asked = std::chrono::steady_clock::now();
        stop.store(true);
        runner.join();
        const auto ended = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(ended - asked).count());
    }
}
BENCHMARK(BM_BatchAbortLatency)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
