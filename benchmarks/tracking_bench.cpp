// Whole ISS passes tracked in virtual time against the simulated rate-driven mounts, by the
// standard and the predictive method: the pointing error (RMS and maximum, degrees, from the
// first intercept within 0.5 degree) and the time outside a 0.5 degree field, as counters.
#include <benchmark/benchmark.h>

#include <string>

#include "RatePassHarness.h"

using namespace corvane;
using namespace corvane::test;

namespace {

struct RigName {
    Rig rig;
    const char* name;
};
constexpr RigName kRigs[] = {{Rig::Lx200GpsAltAz, "LX200GPS Alt-Az"},
                             {Rig::Lx200GpsPolar, "LX200GPS polar"},
                             {Rig::NexStarAltAz, "NexStar GPS Alt-Az"},
                             {Rig::NexStarEq, "NexStar GPS EQ"},
                             {Rig::Cge, "CGE"}};

}  // namespace

// Arguments: the mount (index into kRigs), the method (0 standard, 1 predictive), the pass
// (0 about 35 degrees high, 1 above 80 degrees).
static void BM_TrackingPass(benchmark::State& state) {
    const RigName& r = kRigs[state.range(0)];
    const bool predictive = state.range(1) == 1;
    const bool high = state.range(2) == 1;
    PassFigures f;
    for (auto _ : state) f = TrackPass(r.rig, high ? 80.0 : 35.0, high ? 90.0 : 70.0, predictive);
    state.SetLabel(std::string(r.name) + (predictive ? " predictive" : " standard") +
                   (high ? " high" : " moderate"));
    state.counters["rms_deg"] = f.rms;
    state.counters["max_deg"] = f.max;
    state.counters["outside_s"] = f.outsideSeconds;
    state.counters["flip_s"] = f.flipSeconds;
}
BENCHMARK(BM_TrackingPass)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
