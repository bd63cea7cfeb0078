// Observation log costs over a log of 20000 records (half of them one object's): reading the
// index of that object, as opening the log window and every save do, and writing a report over
// all dates. The goal for the index is under 50 ms, so that a save feels immediate.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "core/AtomicFile.h"
#include "obslog/ObsLog.h"
#include "obslog/ObsReport.h"

using namespace corvane;

namespace {

std::string LogPath() {
    static const std::string path = [] {
        const std::string p =
            (std::filesystem::temp_directory_path() / ("corvane-bench-obslog-" + std::to_string(::getpid())))
                .string();
        std::string all;
        for (int i = 0; i < 20000; ++i) {
            ObsRecord r;
            r[kObsNorad] = i % 2 ? "25544" : std::to_string(10000 + i % 997);
            r[kObsName] = "OBJECT " + std::to_string(i % 997);
            char date[16], time[16];
            std::snprintf(date, sizeof date, "20%02d%02d%02d", 10 + i % 10, 1 + i % 12, 1 + i % 28);
            std::snprintf(time, sizeof time, "%02d:%02d:%02d", i % 24, i % 60, (i * 7) % 60);
            r[kObsDate] = date;
            r[kObsTime] = time;
            r[kObsSiteName] = i % 3 ? "Backyard" : "Field";
            r[kObsMaxElevation] = std::to_string(i % 90);
            r[kObsMinRange] = std::to_string(400 + i % 3000);
            r[kObsTelescope] = "Meade LX200";
            all += FormatObsRecord(r);
        }
        WriteFileAtomically(p, all);
        return p;
    }();
    // The file goes when the benchmarks end.
    static const struct Remover {
        ~Remover() { std::filesystem::remove(path); }
    } remover;
    return path;
}

void BM_ObslogIndex(benchmark::State& state) {
    const ObsLogFile log(LogPath());
    for (auto _ : state) {
        ObsLogContents contents;
        log.ReadAll(contents);
        benchmark::DoNotOptimize(BuildObsIndex(contents.records, 25544));
    }
}
BENCHMARK(BM_ObslogIndex)->Unit(benchmark::kMillisecond);

void BM_ObslogReportAllDates(benchmark::State& state) {
    ObsLogContents contents;
    ObsLogFile(LogPath()).ReadAll(contents);
    ObsReportCriteria c;
    c.fromDate = 19960101;
    c.toDate = 20991231;
    c.primary = ObsSortKey::kMaxElevation;
    for (auto _ : state) benchmark::DoNotOptimize(BuildObsReport(contents.records, c));
}
BENCHMARK(BM_ObslogReportAllDates)->Unit(benchmark::kMillisecond);

}  // namespace
