#include "passes/BatchPredictions.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "core/Settings.h"
#include "core/Text.h"
#include "orbit/CatalogueModels.h"
#include "orbit/ElementSet.h"
#include "orbit/PropagationSlot.h"
#include "orbit/Sgp4Batch.h"
#include "passes/PassText.h"

namespace corvane {

BatchOptions BatchOptionsFromSettings(const Settings& s) {
    BatchOptions o;
    o.includeLow = s.BatchIncludeLow != 0;
    o.includeMod = s.BatchIncludeMod != 0;
    o.includeHigh = s.BatchIncludeHigh != 0;
    o.minPassMinutes = s.BatchMinPass;
    o.maxElevation = s.BatchMaxElevation;
    o.excludeDaytime = s.BatchExcDaytime != 0;
    o.periodMinutes = BatchPeriodMinutes(s.BatchPeriod);
    o.predictRange = s.BatchPredictRange;
    o.favoritesOnly = s.BatchFavoritesOnly != 0;
    o.neverObserved = s.BatchNeverObserved != 0;
    return o;
}

void StoreBatchOptions(const BatchOptions& o, Settings& s) {
    s.BatchIncludeLow = o.includeLow ? 1 : 0;
    s.BatchIncludeMod = o.includeMod ? 1 : 0;
    s.BatchIncludeHigh = o.includeHigh ? 1 : 0;
    s.BatchMinPass = std::max(2, o.minPassMinutes);
    s.BatchMaxElevation = o.maxElevation;
    s.BatchExcDaytime = o.excludeDaytime ? 1 : 0;
    s.BatchPeriod = o.periodMinutes;
    s.BatchPredictRange = o.predictRange;
    s.BatchFavoritesOnly = o.favoritesOnly ? 1 : 0;
    s.BatchNeverObserved = o.neverObserved ? 1 : 0;
}

long long BatchMinimumSeconds(int minPassMinutes) {
    return std::max<long long>(static_cast<long long>(minPassMinutes) * 60, 120);
}

int BatchPeriodMinutes(int setting) {
    if (setting <= 0) return 15;
    // A hand-edited settings file cannot make one run search for weeks.
    return std::min(setting, 1440);
}

std::vector<int> BatchPeriodChoices() {
    std::vector<int> choices;
    for (int m = 15; m <= 300; m += 15) choices.push_back(m);
    return choices;
}

std::vector<std::string> BatchStartDates(double nowLocal) {
    std::vector<std::string> dates;
    for (int i = 0; i <= 30; ++i) dates.push_back(CalendarDateText(nowLocal + i));
    return dates;
}

std::vector<std::string> BatchStartTimes() {
    std::vector<std::string> times;
    char text[8];
    for (int h = 0; h < 24; ++h) {
        for (int m : {0, 30}) {
            std::snprintf(text, sizeof text, "%02d:%02d", h, m);
            times.emplace_back(text);
        }
    }
    return times;
}

int HalfHourIndex(double localJd) {
    // From the time text, so that the choice agrees with the clock the window shows.
    const std::string t = TimeOfDayText(localJd, true, 0);
    const int hours = LeadingInt(t.substr(0, 2));
    const int minutes = LeadingInt(t.substr(3, 2));
    return std::clamp(hours * 2 + (minutes >= 30 ? 1 : 0), 0, 47);
}

double BatchStartLocal(double nowLocal, int dateItem, int halfHour) {
    const double midnight = std::floor(nowLocal - 0.5) + 0.5;
    return midnight + dateItem + halfHour / 48.0;
}

std::string BatchStatusText(int n, int total) {
    return "Calculated " + std::to_string(n) + " of " + std::to_string(total) + " objects.";
}

std::string BatchHeader() {
    return " AOS" + std::string(31, ' ') + std::string(12, ' ') + "LOS" + std::string(28, ' ') +
           std::string(14, ' ') + "Duration" + std::string(4, ' ') + "Max. Elevation    NORAD Satellite Name";
}

std::string BatchListLine(const PassRecord& pass, double utcOffsetHours, std::string_view numberText,
                          std::string_view nameLine) {
    std::string line = PassListLine(pass, utcOffsetHours);
    line += "   ";
    std::string number(numberText.substr(0, 5));
    number.resize(5, ' ');
    line += number;
    line += "   ";
    std::string_view name = nameLine.substr(0, std::min<size_t>(nameLine.size(), 24));
    while (!name.empty() && (name.back() == '\r' || name.back() == '\n')) name.remove_suffix(1);
    std::string padded(name);
    padded.resize(24, ' ');
    line += padded;
    return line;
}

std::string BatchLineNumber(std::string_view line) {
    if (line.size() < 88) return {};
    return Trim(line.substr(87, 5));
}

std::string BatchLineName(std::string_view line) {
    if (line.size() < 96) return {};
    return TrimRight(line.substr(95, 24));
}

namespace {

int WholeKm(double km) {
    if (!(km > -1.0e9)) return -1000000000;
    if (km > 1.0e9) return 1000000000;
    return static_cast<int>(std::lround(km));
}

bool ClassTicked(const BatchOptions& o, int heightKm) {
    switch (AltitudeClass(heightKm)) {
        case AltitudeLevel::kLow:
            return o.includeLow;
        case AltitudeLevel::kModerate:
            return o.includeMod;
        case AltitudeLevel::kHigh:
            return o.includeHigh;
    }
    return false;
}

}  // namespace

namespace {

// The selection of one object: its altitude class, then favourites and the observation history.
bool SelectedForBatch(const BatchRequest& request, int object, PropagationBatch& batch, size_t lane) {
    const CatalogueEntry* entry = request.catalogue->Entry(object);
    if (entry == nullptr) return false;
    const BatchOptions& o = request.options;
    const double startUtc = request.startLocal - request.site.utcOffset / 24.0;
    if (!(o.includeLow && o.includeMod && o.includeHigh)) {
        if (!o.includeLow && !o.includeMod && !o.includeHigh) return false;
        std::optional<int> height;
        if (static_cast<size_t>(object) < request.heights.size())
            height = request.heights[static_cast<size_t>(object)];
        if (!height) {
            // DEPARTURE: an object the object list has not placed yet is classed by its height at
            // the start of the period, not counted as 0 km (Low), which would list geostationary
            // objects as low ones and skip low ones when only High is ticked.
            PropagationResult r = batch.PropagateOne(lane, startUtc);
            if (r.Ok()) {
                ConvertState(r);
                height = WholeKm(ComputeSubPoint(r.position, startUtc).altitude);
            } else {
                height = 0;
            }
        }
        if (!ClassTicked(o, *height)) return false;
    }
    if (o.favoritesOnly || o.neverObserved) {
        const long number = CatalogueNumberOf(entry->line1);
        if (o.favoritesOnly && !request.observed.IsFavourite(number)) return false;
        if (o.neverObserved && request.observed.WasObserved(number)) return false;
    }
    return true;
}

// The lines of the passes of a selected object that pass the filters.
std::vector<BatchLine> ListedLines(const BatchRequest& request, int object,
                                   const std::vector<PassRecord>& passes) {
    std::vector<BatchLine> found;
    if (passes.empty()) return found;
    const CatalogueEntry* entry = request.catalogue->Entry(object);
    const BatchOptions& o = request.options;
    const long long minimum = BatchMinimumSeconds(o.minPassMinutes);
    const std::string number = Column(entry->line1, 3, 5);
    for (const PassRecord& pass : passes) {
        if (pass.losSecond - pass.aosSecond < minimum) continue;
        std::string line = BatchListLine(pass, request.site.utcOffset, number, entry->name);
        // Culmination from the line's own whole degrees (columns 70-71).
        if (!(LeadingInt(std::string_view(line).substr(69, 2)) > o.maxElevation)) continue;
        if (o.predictRange != 0 && !(WholeKm(pass.rangeAtMax) < o.predictRange)) continue;
        found.push_back(BatchLine{object, pass, std::move(line)});
    }
    return found;
}

// The search of a selected object (the batch window, the batch refinement, the daytime rule when
// ticked) and the filters of its passes.
std::vector<BatchLine> SearchSelected(const BatchRequest& request, int object, PropagationBatch& batch,
                                      size_t lane, BatchObjectStats* stats, const InstantTable* table) {
    const BatchOptions& o = request.options;
    const double startUtc = request.startLocal - request.site.utcOffset / 24.0;
    PassSearch search(batch, lane, request.site, request.passSettings, startUtc);
    search.SetCoarsePruning(true);
    search.UseInstants(table);
    const std::vector<PassRecord> passes = search.FindPasses(BatchRange(BatchPeriodMinutes(o.periodMinutes)),
                                                             SearchVariant::kBatch, o.excludeDaytime);
    if (stats) stats->samples = search.Samples();
    return ListedLines(request, object, passes);
}

}  // namespace

std::vector<BatchLine> SearchBatchObject(const BatchRequest& request, int object, PropagationSlot& slot,
                                         BatchObjectStats* stats, const InstantTable* table) {
    if (!ConvertElementSet(*request.catalogue, object, slot)) return {};
    PropagationBatch batch;
    batch.Add(slot.Elements(), slot.Variant());
    if (!SelectedForBatch(request, object, batch, 0)) return {};
    if (stats) stats->selected = true;
    return SearchSelected(request, object, batch, 0, stats, table);
}

BatchOutcome RunBatch(const BatchRequest& request, const std::atomic<bool>& stop,
                      const BatchProgress& progress, int threads) {
    BatchOutcome outcome;
    const int total = request.catalogue ? request.catalogue->Count() : 0;
    outcome.total = total;
    if (total == 0) {
        if (progress) progress(0, 0, {});
        return outcome;
    }
    const InstantTable table =
        BatchInstantTable(request.site, request.startLocal - request.site.utcOffset / 24.0,
                          BatchPeriodMinutes(request.options.periodMinutes));
    // Blocks of objects searched together: large enough that each sample of their coarse scans
    // fills the vector lanes many times over, small enough that threads share the work evenly
    // (they take the next free block) and that the calling thread reports often.
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // Models made before (by the object list) come in the store's blocks and are copied, not made.
    const CatalogueModels* models =
        request.models && request.models->MadeFor(*request.catalogue) ? request.models.get() : nullptr;
    const int kBlock =
        models ? CatalogueModels::kBlockSize : std::clamp(total / (std::max(1, threads) * 8), 32, 512);
    const int blocks = (total + kBlock - 1) / kBlock;
    std::vector<std::vector<BatchLine>> results(static_cast<size_t>(total) + 1);
    // Per block: objects done (the whole block, or none when a stop cut it short).
    std::unique_ptr<std::atomic<int>[]> done(new std::atomic<int>[static_cast<size_t>(blocks)]);
    std::unique_ptr<std::atomic<bool>[]> finished(new std::atomic<bool>[static_cast<size_t>(blocks)]);
    for (int b = 0; b < blocks; ++b) {
        done[static_cast<size_t>(b)].store(0);
        finished[static_cast<size_t>(b)].store(false);
    }
    std::atomic<int> nextBlock{0};

    const double startUtc = request.startLocal - request.site.utcOffset / 24.0;
    const ScanRange range = BatchRange(BatchPeriodMinutes(request.options.periodMinutes));
    // Searches block b in the calling thread's batch (which keeps its working arrays from block to
    // block); false when a stop cut it short.
    auto runBlock = [&](int b, PropagationBatch& batch) {
        const int first = b * kBlock + 1, last = std::min(total, (b + 1) * kBlock);
        bool whole = !stop.load(std::memory_order_relaxed);
        if (whole) {
            if (models) {
                batch = models->Models(*request.catalogue, b)->batch;
            } else {
                batch.Clear();
                batch.AddCatalogue(*request.catalogue, first, last);
            }
            std::vector<uint32_t> selected;
            for (int i = first; i <= last; ++i) {
                const auto lane = static_cast<uint32_t>(i - first);
                if (SelectedForBatch(request, i, batch, lane)) selected.push_back(lane);
            }
            std::vector<std::vector<PassRecord>> passes;
            whole = FindPassesTogether(batch, selected, request.site, request.passSettings, startUtc, &table,
                                       range, SearchVariant::kBatch, request.options.excludeDaytime, stop,
                                       passes);
            for (size_t q = 0; whole && q < selected.size(); ++q) {
                const int object = first + static_cast<int>(selected[q]);
                results[static_cast<size_t>(object)] = ListedLines(request, object, passes[q]);
            }
        }
        done[static_cast<size_t>(b)].store(whole ? last - first + 1 : 0, std::memory_order_relaxed);
        finished[static_cast<size_t>(b)].store(true, std::memory_order_release);
        return whole;
    };

    int reportedBlocks = 0;
    // Blocks are reported in order. A block cut short by the stop is reported with what it did,
    // and so is every block after it that another thread finished: what was found is kept.
    auto report = [&](bool final) {
        std::vector<BatchLine> lines;
        const int before = outcome.calculated;
        while (reportedBlocks < blocks &&
               finished[static_cast<size_t>(reportedBlocks)].load(std::memory_order_acquire)) {
            const int b = reportedBlocks++;
            const int first = b * kBlock + 1;
            const int n = done[static_cast<size_t>(b)].load(std::memory_order_relaxed);
            for (int i = first; i < first + n; ++i) {
                for (BatchLine& line : results[static_cast<size_t>(i)]) lines.push_back(std::move(line));
                results[static_cast<size_t>(i)].clear();
            }
            outcome.calculated += n;
        }
        outcome.lines += lines.size();
        if (progress && (outcome.calculated != before || final))
            progress(outcome.calculated, total, std::move(lines));
    };

    threads = std::clamp(threads, 1, std::max(1, blocks));
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
        helpers.emplace_back([&] {
            PropagationBatch batch;
            for (int b = nextBlock.fetch_add(1); b < blocks; b = nextBlock.fetch_add(1))
                if (!runBlock(b, batch)) return;
        });
    }
    {
        PropagationBatch batch;
        for (int b = nextBlock.fetch_add(1); b < blocks; b = nextBlock.fetch_add(1)) {
            const bool whole = runBlock(b, batch);
            report(false);
            if (!whole) break;
        }
    }
    for (std::thread& t : helpers) t.join();
    report(true);
    outcome.aborted = outcome.calculated < total;
    return outcome;
}

size_t AddAllBatchLines(ViewPlan& plan, std::vector<std::string>& lines, double nowLocal) {
    // One purge before and one after instead of one per line: a plan of 2000 entries is sorted
    // once, not 2000 times. A line whose LOS has passed counts as added and leaves at the purge,
    // as it would one line at a time.
    PurgeViewPlan(plan, nowLocal);
    size_t added = 0, kept = plan.entries.size();
    for (; added < lines.size(); ++added) {
        const std::string& line = lines[added];
        if (kept >= kBatchViewPlanCapacity || line.size() < 92) break;
        std::optional<ViewPlanEntry> entry =
            EntryFromPassLine(line, Column(line, 96, 24), Column(line, 88, 5));
        if (!entry) break;
        if (entry->LosValue() > nowLocal && entry->HasValidTimes()) {
            plan.entries.push_back(std::move(*entry));
            ++kept;
        }
    }
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(added));
    PurgeViewPlan(plan, nowLocal);
    return added;
}

std::vector<BatchLine> ComputeBatch(const BatchRequest& request, int threads) {
    std::vector<BatchLine> all;
    const std::atomic<bool> stop{false};
    RunBatch(
        request, stop,
        [&all](int, int, std::vector<BatchLine>&& lines) {
            for (BatchLine& l : lines) all.push_back(std::move(l));
        },
        threads);
    return all;
}

}  // namespace corvane
