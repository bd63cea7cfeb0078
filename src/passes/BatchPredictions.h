#pragma once
// Batch predictions: the passes of every catalogue object that close inside a period of 15 to 300
// minutes from a chosen local date and time, filtered by altitude class, duration, culmination,
// closest range, favourites and observation history. What the "Satellite Batch Pass Predictions "
// window and `corvane-cli batch` list, computed without a window.
//
// RunBatch shares the catalogue among several threads in blocks of objects (each block with its
// own copy of the orbit models, made for the run or copied from those the object list made; its
// objects searched side by side so that each step propagates them all in one call; no propagation
// state shared between threads) and hands the results back on the calling thread in catalogue
// order: the list and the "Calculated n of total objects." count are the same whatever the number
// of threads.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "obslog/ObservedList.h"
#include "orbit/ElementCatalogue.h"
#include "passes/PassSearch.h"
#include "passes/ViewPlan.h"

namespace corvane {

class CatalogueModels;
struct Settings;

// The window's filter controls (the Batch* settings).
struct BatchOptions {
    bool includeLow = true;       // BatchIncludeLow
    bool includeMod = false;      // BatchIncludeMod
    bool includeHigh = false;     // BatchIncludeHigh
    int minPassMinutes = 2;       // BatchMinPass
    int maxElevation = 0;         // BatchMaxElevation: culmination strictly higher, whole degrees
    bool excludeDaytime = false;  // BatchExcDaytime
    int periodMinutes = 15;       // BatchPeriod
    int predictRange = 0;         // BatchPredictRange: km, 0 = no range filter
    bool favoritesOnly = false;   // BatchFavoritesOnly
    bool neverObserved = false;   // BatchNeverObserved
};
BatchOptions BatchOptionsFromSettings(const Settings& settings);
void StoreBatchOptions(const BatchOptions& options, Settings& settings);

// Shortest listed pass: max(minutes * 60, 120) seconds.
long long BatchMinimumSeconds(int minPassMinutes);
// The period searched: 0 (or less) reads as 15 minutes; at most a day.
int BatchPeriodMinutes(int setting);

// The "For the next" choices (15, 30, ... 300 minutes) and the "Calculate From" lists: 31 date
// texts from today, and the 48 half hours "00:00" .. "23:30".
std::vector<int> BatchPeriodChoices();
std::vector<std::string> BatchStartDates(double nowLocal);
std::vector<std::string> BatchStartTimes();
// Index (0..47) of the half hour of a local Julian date, rounded down.
int HalfHourIndex(double localJd);
// The local Julian date of date item d (days from the day of nowLocal) and half hour h.
double BatchStartLocal(double nowLocal, int dateItem, int halfHour);

// "Calculated n of total objects."
std::string BatchStatusText(int n, int total);
// Column header of the batch list.
std::string BatchHeader();

// Batch list line: the pass list line (84 characters), "   ", the catalogue number text (line 1
// columns 3-7), "   ", the name blank-padded and cut to 24 characters.
std::string BatchListLine(const PassRecord& pass, double utcOffsetHours, std::string_view numberText,
                          std::string_view nameLine);
// The catalogue number (columns 88-92) and name (96-119) of a batch line, trailing blanks removed.
std::string BatchLineNumber(std::string_view line);
std::string BatchLineName(std::string_view line);

struct BatchRequest {
    std::shared_ptr<const ElementCatalogue> catalogue;
    Site site;
    PassSettings passSettings;
    BatchOptions options;
    double startLocal = 0.0;  // the chosen local date and time as a Julian date
    // Height of each catalogue object in whole km (index 1..count) as the object list last
    // found it; nullopt (or an index beyond the vector) when not known.
    std::vector<std::optional<int>> heights;
    ObservedList observed;  // a copy: the workers read it while the window goes on
    // The orbit models already made for the catalogue (the object list's), or null. Used only
    // when made for this catalogue; otherwise the run makes its own.
    std::shared_ptr<const CatalogueModels> models;
};

struct BatchLine {
    int object = 0;  // catalogue index
    PassRecord pass;
    std::string line;
};

// Objects searched and lines found per object, for the benchmarks.
struct BatchObjectStats {
    bool selected = false;
    long long samples = 0;
};

// The passes of one object that the batch lists (none when the object is not selected), searched
// in the caller's slot. Thread-safe for different slots.
// table: the site and Sun of the run (BatchInstantTable of the request's site and UTC start), or
// nullptr to compute them per sample.
std::vector<BatchLine> SearchBatchObject(const BatchRequest& request, int object, PropagationSlot& slot,
                                         BatchObjectStats* stats = nullptr,
                                         const InstantTable* table = nullptr);

// Progress on the calling thread, in catalogue order: objects searched so far, the total, and the
// lines of the objects completed since the last call.
using BatchProgress = std::function<void(int calculated, int total, std::vector<BatchLine>&& lines)>;

struct BatchOutcome {
    int calculated = 0;  // objects searched
    int total = 0;
    bool aborted = false;
    size_t lines = 0;
};

// Searches every object; threads 0 means one per processor. `stop` is read between the steps of
// each block's search: once it is set the run ends, reporting in catalogue order every object that
// was searched (a block cut short counts none of its objects; after a stop, several threads may
// leave gaps). progress may be empty.
BatchOutcome RunBatch(const BatchRequest& request, const std::atomic<bool>& stop,
                      const BatchProgress& progress = {}, int threads = 0);

// "Add All to View Plan": adds lines from the front of the list until it is empty or an add is
// refused (the plan holds 2000 entries, or a line is not a batch line); the added lines leave the
// list. The plan is then purged and sorted once. Returns the number added. The same plan as adding
// the lines one by one with AddBatchLine.
size_t AddAllBatchLines(ViewPlan& plan, std::vector<std::string>& lines, double nowLocal);

// All the lines of a run (no abort), in catalogue order.
std::vector<BatchLine> ComputeBatch(const BatchRequest& request, int threads = 0);

}  // namespace corvane
