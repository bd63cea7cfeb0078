// Speed of the LX200 protocol text and of the simulated mount (a whole pass is tracked against
// it in virtual time, so its integration must stay cheap).
#include <benchmark/benchmark.h>

#include "core/Clock.h"
#include "scope/Lx200Codec.h"
#include "sim/SimulatedMount.h"

using namespace corvane;

static void BM_SetTargetAndSlewCommand(benchmark::State& state) {
    double ra = 0.0;
    for (auto _ : state) {
        ra = ra > 23.9 ? 0.0 : ra + 0.0137;
        benchmark::DoNotOptimize(SetTargetAndSlewCommand(ra, ra * 3.7 - 45.0, true));
    }
}
BENCHMARK(BM_SetTargetAndSlewCommand);

static void BM_ParseAltAzReply(benchmark::State& state) {
    const std::string reply =
        "+45\xDF"
        "30'15#123\xDF"
        "45'06#";
    for (auto _ : state) benchmark::DoNotOptimize(ParseAltAzReply(reply));
}
BENCHMARK(BM_ParseAltAzReply);

// One minute of virtual time: a goto across the sky and its distance-bar polling every 250 ms.
static void BM_SimulatedMountMinuteOfSlewing(benchmark::State& state) {
    ManualClock clock(2457872.375);
    SimulatedMount mount(MountModel::LX200, MountSite{40.0, -75.0, 100.0, -4.0}, clock);
    mount.Open("bench");
    for (auto _ : state) {
        mount.PointAt(90.0, 30.0);
        const MountState start = mount.State();
        mount.Write(SetTargetAndSlewCommand(start.raHours + 8.0, 30.0, false));
        for (int i = 0; i < 240; ++i) {
            clock.Advance(0.25);
            mount.Write("#:D#");
            benchmark::DoNotOptimize(mount.Read(mount.BytesWaiting()));
        }
    }
    state.SetLabel("60 s virtual per iteration");
}
BENCHMARK(BM_SimulatedMountMinuteOfSlewing)->Unit(benchmark::kMillisecond);
