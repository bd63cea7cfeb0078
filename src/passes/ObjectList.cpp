#include "passes/ObjectList.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>

#include "astro/MathUtil.h"
#include "astro/Sun.h"
#include "core/Clock.h"
#include "core/Settings.h"
#include "core/Text.h"
#include "obslog/ObservedList.h"
#include "orbit/CatalogueModels.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"
#include "orbit/Sgp4Batch.h"

namespace corvane {

namespace {

constexpr int kLabelWidth = 19;
constexpr int kHiddenPadding = 26;
constexpr int kProgressEvery = 200;
static_assert(AltitudeCache::kBlockSize == kProgressEvery, "a build block is a block of the cache");
static_assert(AltitudeCache::kBlockSize == CatalogueModels::kBlockSize,
              "a cache block is a block of the store");
constexpr double kOneSecondDays = 1.0 / 86400.0;

// Objects the program marks with "*** ", each compared over its own length (trailing blanks
// included) with the upper-cased start of the entry.
constexpr std::string_view kMarkedPrefixes[] = {
    "MIR ",
    "EGP  ",
    "ISS ",
    "SL-16 R/B  ",
    "SEASAT 1  ",
    "ARIANE 42P R/B  ",
    "SPOT 3 R/B  ",
    "HST  ",
    "RESURS O1 R/B  ",
    "CORONAS 1  ",
    "THOR AGENA D R/B  ",
    "ASTEX 1  ",
    "COSMOS 2237 R/B  ",
    "ARIANE 4 R/B  ",
    "ROSAT  ",
};

// A byte mapping (upper or lower case) of the current locale, looked up once per build.
struct CaseTable {
    unsigned char map[256];
    explicit CaseTable(int (*convert)(int)) {
        for (int c = 0; c < 256; ++c) map[c] = static_cast<unsigned char>(convert(c));
    }
    unsigned char operator()(char c) const { return map[static_cast<unsigned char>(c)]; }
};

bool IsMarked(std::string_view text, const CaseTable& upper) {
    // Most names start with a letter no marked name starts with.
    static const auto kInitials = [] {
        std::array<bool, 256> initials{};
        for (std::string_view prefix : kMarkedPrefixes)
            initials[static_cast<unsigned char>(prefix[0])] = true;
        return initials;
    }();
    if (text.empty() || !kInitials[upper(text[0])]) return false;
    for (std::string_view prefix : kMarkedPrefixes) {
        if (text.size() < prefix.size()) continue;
        bool equal = true;
        for (size_t i = 0; i < prefix.size() && equal; ++i) {
            equal = upper(text[i]) == static_cast<unsigned char>(prefix[i]);
        }
        if (equal) return true;
    }
    return false;
}

// The class word of the altitude box: its first three characters "Low", "Mod" or "Hig".
std::optional<AltitudeLevel> ClassFilter(std::string_view box) {
    const std::string head = ToUpper(box.substr(0, std::min<size_t>(3, box.size())));
    if (head == "LOW") return AltitudeLevel::kLow;
    if (head == "MOD") return AltitudeLevel::kModerate;
    if (head == "HIG") return AltitudeLevel::kHigh;
    return std::nullopt;
}

// The direction of the direction box: its first three characters without blanks; empty or
// "All" means no direction filter.
std::string DirectionFilter(std::string_view box) {
    std::string d;
    for (char c : box.substr(0, std::min<size_t>(3, box.size()))) {
        if (c != ' ') d.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    if (d == "ALL") d.clear();
    return d;
}

std::string WithoutBlanks(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c != ' ') out.push_back(c);
    }
    return out;
}

// Near-geostationary: eccentricity at most 0.1, inclination at most 17 degrees, mean motion
// within 0.1 revolutions per day of 1.0027. Read from the element text, so that the bounds are
// exact.
bool IsGeostationary(double eccentricity, std::string_view line2) {
    const double inclination = BlankToZero(Column(line2, 9, 8));
    const double revsPerDay = BlankToZero(Column(line2, 53, 11));
    return eccentricity <= 0.1 && inclination <= 17.0 && revsPerDay >= 0.9027 && revsPerDay <= 1.1027;
}

int ToWholeKm(double km) {
    if (!(km > -1.0e9)) return -1000000000;
    if (km > 1.0e9) return 1000000000;
    return static_cast<int>(std::lround(km));
}

// The entries found (block by block, each in catalogue order), sorted case-insensitively by their visible
// text, equal texts by catalogue position. The lower-cased keys are made once into one buffer, so that the
// sort compares plain bytes (their first sixteen first, as two numbers). With two threads each
// sorts half the keys and the halves are merged.
std::vector<ObjectListEntry> SortedEntries(std::vector<std::vector<ObjectListEntry>>& blocks,
                                           bool twoThreads) {
    struct Key {
        uint64_t head[2];  // the first sixteen bytes, big-endian, zero-padded
        uint32_t at, size;
        size_t entry;
    };
    std::vector<ObjectListEntry*> found;
    for (std::vector<ObjectListEntry>& block : blocks) {
        for (ObjectListEntry& e : block) found.push_back(&e);
    }
    std::vector<Key> keys;
    keys.reserve(found.size());
    size_t total = 0;
    for (size_t i = 0; i < found.size(); ++i) {
        const std::string& t = found[i]->text;
        const size_t n = std::min(t.find("~~"), t.size());
        keys.push_back(Key{{0, 0}, static_cast<uint32_t>(total), static_cast<uint32_t>(n), i});
        total += n;
    }
    std::string text(total, '\0');
    const CaseTable lower(std::tolower);
    const auto less = [base = text.data()](const Key& a, const Key& b) {
        if (a.head[0] != b.head[0]) return a.head[0] < b.head[0];
        if (a.head[1] != b.head[1]) return a.head[1] < b.head[1];
        const int c = std::string_view(base + a.at, a.size).compare(std::string_view(base + b.at, b.size));
        return c != 0 ? c < 0 : a.entry < b.entry;
    };
    const auto sortPart = [&](Key* first, Key* last) {
        for (Key* k = first; k != last; ++k) {
            const char* from = found[k->entry]->text.data();
            char* to = text.data() + k->at;
            for (uint32_t j = 0; j < k->size; ++j) to[j] = static_cast<char>(lower(from[j]));
            unsigned char first16[16] = {};
            std::memcpy(first16, to, std::min<size_t>(k->size, sizeof first16));
            for (int half = 0; half < 2; ++half) {
                uint64_t word = 0;
                for (int j = 0; j < 8; ++j) word = (word << 8) | first16[8 * half + j];
                k->head[half] = word;
            }
        }
        std::sort(first, last, less);
    };
    Key* const first = keys.data();
    Key* const last = first + keys.size();
    std::vector<Key> merged;
    if (twoThreads && keys.size() >= 1024) {
        Key* const middle = first + keys.size() / 2;
        std::thread helper(sortPart, middle, last);
        sortPart(first, middle);
        helper.join();
        merged.resize(keys.size());
        std::merge(first, middle, middle, last, merged.begin(), less);
    } else {
        sortPart(first, last);
        merged = std::move(keys);
    }
    std::vector<ObjectListEntry> sorted;
    sorted.reserve(merged.size());
    for (const Key& k : merged) sorted.push_back(std::move(*found[k.entry]));
    return sorted;
}

}  // namespace

ObjectFilters FiltersFromSettings(const Settings& s) {
    ObjectFilters f;
    f.aboveHorizon = s.ObjVisAboveHorizon;
    f.elevationAbove = s.ObjElevation != 0;
    f.elevationLimit = s.ElevationLimit;
    f.ascendingOnly = s.ObjRising != 0;
    f.sunOnly = s.SunOnly != 0;
    f.favorites = s.Favorites != 0;
    f.neverObserved = s.NeverObserved != 0;
    f.direction = s.Direction;
    f.altitudeClass = s.ObjAlt;
    f.listByNorad = s.NoradSort != 0;
    return f;
}

void StoreFilters(const ObjectFilters& f, Settings& s) {
    s.ObjVisAboveHorizon = f.aboveHorizon;
    s.ObjElevation = f.elevationAbove ? 1 : 0;
    s.ElevationLimit = f.elevationLimit;
    s.ObjRising = f.ascendingOnly ? 1 : 0;
    s.SunOnly = f.sunOnly ? 1 : 0;
    s.Favorites = f.favorites ? 1 : 0;
    s.NeverObserved = f.neverObserved ? 1 : 0;
    s.Direction = f.direction;
    s.ObjAlt = f.altitudeClass;
    s.NoradSort = f.listByNorad ? 1 : 0;
}

void ResetFilters(ObjectFilters& f) {
    f.sunOnly = false;
    f.elevationAbove = false;
    f.ascendingOnly = false;
    f.favorites = false;
    f.neverObserved = false;
    f.geostationaryOnly = false;
    f.aboveHorizon = false;
    f.direction = "All";
    f.altitudeClass = "All";
}

// ---- altitude cache ----

AltitudeCache::AltitudeCache() = default;
AltitudeCache::~AltitudeCache() = default;
AltitudeCache::AltitudeCache(AltitudeCache&&) noexcept = default;
AltitudeCache& AltitudeCache::operator=(AltitudeCache&&) noexcept = default;

// The orbit models of one block of objects (a copy of the store's block: it shares the models and
// has its own propagation state), and their states at the build's instant (and one second later,
// for "Ascending Only").
struct AltitudeCache::ModelBlock {
    PropagationBatch batch;                             // objects first..last, in order
    const std::vector<double>* eccentricity = nullptr;  // the store's
    BatchStates now, later;
};

void AltitudeCache::Invalidate() {
    catalogue_ = nullptr;
    count_ = -1;
    valid_ = false;
    heights_.clear();
    known_.clear();
    blocks_.clear();
    models_.reset();
}

std::optional<int> AltitudeCache::Height(int index) const {
    if (index < 1 || index >= static_cast<int>(heights_.size()) || !known_[static_cast<size_t>(index)]) {
        return std::nullopt;
    }
    return heights_[static_cast<size_t>(index)];
}

std::vector<std::optional<int>> AltitudeCache::Heights(int count) const {
    std::vector<std::optional<int>> heights;
    if (!valid_ || count != count_) return heights;
    heights.reserve(static_cast<size_t>(count) + 1);
    for (int i = 0; i <= count; ++i) heights.push_back(Height(i));
    return heights;
}

void AltitudeCache::Prepare(const ElementCatalogue& catalogue) {
    if (catalogue_ == &catalogue && models_ && models_->MadeFor(catalogue)) return;
    Invalidate();
    catalogue_ = &catalogue;
    models_ = std::make_shared<const CatalogueModels>(catalogue);
    count_ = catalogue.Count();
    const size_t n = static_cast<size_t>(count_) + 1;
    heights_.assign(n, 0);
    known_.assign(n, 0);
    blocks_.resize(static_cast<size_t>((count_ + kBlockSize - 1) / kBlockSize));
}

void AltitudeCache::SetHeight(int index, int heightKm) {
    if (index < 1 || index >= static_cast<int>(heights_.size())) return;
    heights_[static_cast<size_t>(index)] = heightKm;
    known_[static_cast<size_t>(index)] = 1;
}

AltitudeCache::ModelBlock& AltitudeCache::Block(int b) {
    auto& block = blocks_.at(static_cast<size_t>(b));
    if (!block) {
        const CatalogueModels::Block* models = models_->Models(*catalogue_, b);
        block = std::make_unique<ModelBlock>();
        block->batch = models->batch;
        block->eccentricity = &models->eccentricity;
    }
    return *block;
}

// ---- entries ----

std::string ObjectListEntry::VisibleText() const {
    const size_t hidden = text.find("~~");
    return TrimRight(std::string_view(text).substr(0, hidden == std::string::npos ? text.size() : hidden));
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string EntryText(std::string_view nameLine, std::string_view line1, int index, double azimuthDegrees,
                      bool positionKnown, bool listByNorad, const CaseTable& upper) {
    // Assembled in place after room for the mark, then copied once.
    constexpr size_t kMark = 4;
    char buffer[kMark + kLabelWidth + 16 + kHiddenPadding + 16];
    char* const start = buffer + kMark;
    char* p = start;
    std::fill(p, p + kLabelWidth, ' ');
    if (listByNorad) {
        for (size_t i = 0; i < 5; ++i) p[i] = 2 + i < line1.size() ? line1[2 + i] : ' ';
    } else {
        const std::string_view name = Trimmed(nameLine).substr(0, kLabelWidth);
        std::copy(name.begin(), name.end(), p);
    }
    p += kLabelWidth;
    p = std::copy_n(" [ ", 3, p);
    const std::string code = positionKnown ? CompassText(azimuthDegrees, false) : std::string("  ");
    p = std::copy(code.begin(), code.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(code.size(), 8)),
                  p);
    p = std::copy_n(" ]", 2, p);
    p = std::fill_n(p, kHiddenPadding, ' ');
    p = std::copy_n("~~", 2, p);
    p = std::to_chars(p, buffer + sizeof buffer, index).ptr;
    const std::string_view text(start, static_cast<size_t>(p - start));
    if (!listByNorad && IsMarked(text, upper)) {
        std::copy_n("*** ", kMark, buffer);
        return std::string(buffer, static_cast<size_t>(p - buffer));
    }
    return std::string(text);
}

}  // namespace

std::string ObjectEntryText(std::string_view nameLine, std::string_view line1, int index,
                            double azimuthDegrees, bool positionKnown, bool listByNorad) {
    return EntryText(nameLine, line1, index, azimuthDegrees, positionKnown, listByNorad,
                     CaseTable(std::toupper));
}

int ObjectIndexFromEntry(std::string_view entryText) {
    const size_t at = entryText.find("~~");
    if (at == std::string_view::npos) return 0;
    size_t i = at + 2;
    long long value = 0;
    bool digits = false;
    while (i < entryText.size() && std::isdigit(static_cast<unsigned char>(entryText[i]))) {
        value = value * 10 + (entryText[i] - '0');
        digits = true;
        if (value > 1000000000LL) return 0;
        ++i;
    }
    return digits ? static_cast<int>(value) : 0;
}

ObjectSelection SelectObjectFromList(std::string_view entryText, int catalogueCount,
                                     bool resetAlignmentSetting) {
    ObjectSelection s;
    s.shownText = TrimRight(entryText);
    s.selectedObject = ObjectIndexFromEntry(entryText);
    // DEPARTURE: a number outside the loaded catalogue (typed into the drop-down) selects nothing
    // instead of an object that does not exist.
    if (s.selectedObject < 1 || s.selectedObject > catalogueCount) s.selectedObject = 0;
    s.resetAlignment = resetAlignmentSetting;
    s.showObjectButtons = s.selectedObject != 0;
    s.showTleDataButton = true;
    return s;
}

double ObjectListInstant(const Clock& clock, const Site& site, double timingOffsetSeconds) {
    const double timing = std::isfinite(timingOffsetSeconds) ? timingOffsetSeconds : 0.0;
    const double utc = std::isfinite(site.utcOffset) ? site.utcOffset : 0.0;
    return clock.JulianDateNow() + timing / 86400.0 - utc / 24.0;
}

// ---- the build ----

namespace {

// What every object is tested against, read once per build.
struct BuildContext {
    const ElementCatalogue& catalogue;
    const ObjectFilters& filters;
    const ObservedList& observed;
    AltitudeCache& cache;
    bool geostationary;
    bool ascending;
    std::optional<AltitudeLevel> altitudeClass;
    double elevationLimit;
    std::string direction;
    bool cacheUsable;
    double jd;
    StateVector sun;
    ObserverState observerNow, observerLater;  // the site at the instant and one second on
    CaseTable upper;
};

// Steps 1, 3 and 4 for object i (the tests before any propagation): false when one drops it.
bool PassesCatalogueTests(const BuildContext& c, int i, double eccentricity) {
    const CatalogueEntry* entry = c.catalogue.Entry(i);
    const ObjectFilters& f = c.filters;
    // 1. The altitude class from the cache, before any propagation.
    // DEPARTURE: an object no build has placed yet has no cached height and goes on to the real
    // test, instead of counting as 0 km (Low) and being wrongly skipped or kept.
    if (c.cacheUsable && c.altitudeClass) {
        const std::optional<int> h = c.cache.Height(i);
        if (h && AltitudeClass(*h) != *c.altitudeClass) return false;
    }
    // 2. The object is loaded (its block's models). 3. and 4. The catalogue tests.
    if (c.geostationary && !IsGeostationary(eccentricity, entry->line2)) return false;
    if (!f.favorites && !f.neverObserved) return true;
    const long number = CatalogueNumberOf(entry->line1);
    if (f.favorites && !c.observed.IsFavourite(number)) return false;
    if (f.neverObserved && c.observed.WasObserved(number)) return false;
    return true;
}

// Steps 5 to 12 for object i, which passed the catalogue tests: now is its state at the instant
// (model units), later(i) its state one second on. nullopt when a filter drops it. Touches only
// object i's cache cell, so different objects may run on different threads.
template <typename Later>
std::optional<ObjectListEntry> EvaluatePlaced(const BuildContext& c, int i, PropagationResult now,
                                              const Later& later) {
    const CatalogueEntry* entry = c.catalogue.Entry(i);
    const ObjectFilters& f = c.filters;
    // 5. The position now.
    const bool ok = now.Ok();
    LookAngles look;
    double height = 0.0;
    if (ok) {
        ConvertState(now);
        look = ComputeLookAngles(now.position, now.velocity, c.observerNow);
        height = SubPointHeight(now.position);
        // DEPARTURE: heights are refreshed on every build, not only while the cache is invalid,
        // so that the class of an elliptical orbit follows the object.
        c.cache.SetHeight(i, ToWholeKm(height));
    }
    // DEPARTURE: an object whose orbit cannot be propagated fails every test that needs its
    // position (instead of being judged by a meaningless one); with no such test it is listed.
    const double elevation = Degrees(look.elevation);
    const double azimuth = Degrees(look.azimuth);
    // 6. to 8.
    if (f.elevationAbove && !(ok && elevation > c.elevationLimit)) return std::nullopt;
    if (f.aboveHorizon && !(ok && look.visible)) return std::nullopt;
    if (c.altitudeClass && !(ok && AltitudeClass(height) == *c.altitudeClass)) return std::nullopt;
    // 9. Ascending: the elevation one second later is not lower.
    if (c.ascending) {
        if (!ok) return std::nullopt;
        PropagationResult next1 = later(i);
        if (!next1.Ok()) return std::nullopt;
        ConvertState(next1);
        const LookAngles next = ComputeLookAngles(next1.position, next1.velocity, c.observerLater);
        if (next.elevation < look.elevation) return std::nullopt;
    }
    // 10. In the Sun. The shadow is worked out for every listed object, for display.
    const bool eclipsed = ok && IsEclipsed(now.position, c.sun);
    if (f.sunOnly && !(ok && !eclipsed)) return std::nullopt;
    // 11. Direction.
    if (!c.direction.empty() && !(ok && WithoutBlanks(CompassText(azimuth, false)) == c.direction)) {
        return std::nullopt;
    }
    // 12. The entry.
    ObjectListEntry e;
    e.index = i;
    e.noradNumber = CatalogueNumberOf(entry->line1);
    e.name = Trimmed(entry->name);
    e.positionKnown = ok;
    if (ok) {
        e.azimuth = azimuth;
        e.elevation = elevation;
        e.heightKm = height;
        e.eclipsed = eclipsed;
    }
    e.text = EntryText(entry->name, entry->line1, i, azimuth, ok, f.listByNorad, c.upper);
    return e;
}

// Evaluates the objects first..last (block b). The block is propagated together when most of its
// objects pass the catalogue tests, else object by object, so that a restrictive filter still
// spares the propagations; both give the same numbers.
void EvaluateBlock(const BuildContext& c, int b, int first, int last, std::vector<ObjectListEntry>& found) {
    AltitudeCache::ModelBlock& block = c.cache.Block(b);
    const int n = last - first + 1;
    std::vector<unsigned char> placed(static_cast<size_t>(n));
    int count = 0;
    for (int k = 0; k < n; ++k) {
        placed[static_cast<size_t>(k)] =
            PassesCatalogueTests(c, first + k, (*block.eccentricity)[static_cast<size_t>(k)]);
        count += placed[static_cast<size_t>(k)];
    }
    found.reserve(static_cast<size_t>(count));
    const bool together = count * 4 >= n;
    if (together) {
        block.batch.PropagateAll(c.jd, block.now);
        if (c.ascending) block.batch.PropagateAll(c.jd + kOneSecondDays, block.later);
    }
    for (int k = 0; k < n; ++k) {
        const size_t at = static_cast<size_t>(k);
        if (!placed[at]) continue;
        const auto later = [&](int) {
            return together ? block.later.Result(at) : block.batch.PropagateOne(at, c.jd + kOneSecondDays);
        };
        const PropagationResult now = together ? block.now.Result(at) : block.batch.PropagateOne(at, c.jd);
        if (std::optional<ObjectListEntry> e = EvaluatePlaced(c, first + k, now, later))
            found.push_back(std::move(*e));
    }
}

}  // namespace

ObjectListResult BuildObjectList(const ElementCatalogue& catalogue, const ObjectFilters& filters,
                                 const Site& site, double jdUtc, const ObservedList& observed,
                                 AltitudeCache& cache, const ListProgress& progress, int threads) {
    ObjectListResult result;
    cache.Prepare(catalogue);
    const double jd = std::isfinite(jdUtc) ? jdUtc : 0.0;
    GeodeticPoint sitePoint = SitePoint(site);
    const ObserverState observerNow = ObserverStateAt(sitePoint, jd);
    const ObserverState observerLater = ObserverStateAt(sitePoint, jd + kOneSecondDays);
    const BuildContext context{catalogue,
                               filters,
                               observed,
                               cache,
                               filters.geostationaryOnly,
                               filters.ascendingOnly && !filters.geostationaryOnly,
                               ClassFilter(filters.altitudeClass),
                               LeadingNumber(filters.elevationLimit),
                               DirectionFilter(filters.direction),
                               cache.Valid(),
                               jd,
                               ComputeSunVector(jd),
                               observerNow,
                               observerLater,
                               CaseTable(std::toupper)};
    result.ascendingCleared = filters.ascendingOnly && filters.geostationaryOnly;

    // The objects go in blocks of 200; the calling thread and its helpers take the next free
    // block, and the calling thread reports "Calculated <i>." for the blocks done in order.
    const int count = catalogue.Count();
    const int blocks = (count + kProgressEvery - 1) / kProgressEvery;
    std::vector<std::vector<ObjectListEntry>> found(static_cast<size_t>(blocks));
    std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[static_cast<size_t>(blocks) + 1]);
    for (int b = 0; b <= blocks; ++b) done[static_cast<size_t>(b)].store(false);
    std::atomic<int> nextBlock{0};
    auto work = [&] {
        for (int b = nextBlock.fetch_add(1); b < blocks; b = nextBlock.fetch_add(1)) {
            EvaluateBlock(context, b, b * kProgressEvery + 1, std::min(count, (b + 1) * kProgressEvery),
                          found[static_cast<size_t>(b)]);
            done[static_cast<size_t>(b)].store(true, std::memory_order_release);
        }
    };
    int reported = 0;  // blocks whose progress has been shown
    auto report = [&] {
        while (reported < blocks && done[static_cast<size_t>(reported)].load(std::memory_order_acquire)) {
            const int last = std::min(count, (reported + 1) * kProgressEvery);
            ++reported;
            if (progress && last % kProgressEvery == 0) progress("Calculated " + std::to_string(last) + ".");
        }
    };
    if (threads <= 0)
        threads = static_cast<int>(std::min(2u, std::max(1u, std::thread::hardware_concurrency())));
    threads = std::min(threads, std::max(1, blocks));
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) helpers.emplace_back(work);
    for (int b = nextBlock.fetch_add(1); b < blocks; b = nextBlock.fetch_add(1)) {
        EvaluateBlock(context, b, b * kProgressEvery + 1, std::min(count, (b + 1) * kProgressEvery),
                      found[static_cast<size_t>(b)]);
        done[static_cast<size_t>(b)].store(true, std::memory_order_release);
        report();
    }
    for (std::thread& t : helpers) t.join();
    report();

    size_t listed = 0;
    for (const std::vector<ObjectListEntry>& block : found) listed += block.size();
    result.filteredOut = count - static_cast<int>(listed);
    cache.MarkValid();
    result.entries = SortedEntries(found, threads > 1);
    result.status = result.entries.empty() ? std::string("No objects available.")
                                           : std::to_string(result.entries.size()) + " object(s) available.";
    return result;
}

}  // namespace corvane
