#pragma once
// The object list: the loaded catalogue filtered by the main window's filter controls against
// every object's position now, as seen from the current site. Building it is the program's most
// expensive interactive operation (one propagation per object, two for "Ascending Only"), so it
// reports progress and keeps a per-object altitude cache that lets an altitude-class filter skip
// objects before any propagation.
//
// Not thread-safe: one builder (the GUI thread) owns an AltitudeCache.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "astro/Time.h"
#include "passes/PassText.h"

namespace corvane {

class Clock;
class CatalogueModels;
class ElementCatalogue;
class ObservedList;
class PropagationSlot;
struct Settings;

// The filter controls as the window shows them. Box texts are read by the build's own rules.
struct ObjectFilters {
    bool aboveHorizon = false;          // "All" / "Above Horizon" (ObjVis)
    bool elevationAbove = false;        // "Elevation >" (Obj>Elevation)
    std::string elevationLimit = "10";  // the number box beside it (ElevationLimit)
    bool ascendingOnly = false;         // "Ascending Only" (ObjRising)
    bool sunOnly = false;               // "In Sun Only" (SunOnly)
    bool favorites = false;             // "Favorites" (Favorites)
    bool neverObserved = false;         // "Never Observed" (NeverObserved)
    bool geostationaryOnly = false;     // "Geostationary Only" (not saved)
    std::string direction = "All";      // direction box: "All", "N", "NE", ... "NW" (Direction)
    std::string altitudeClass = "All";  // altitude-class box: "All", "Low", "Mod", "High" (ObjAlt)
    bool listByNorad = false;           // "List by NORAD" (NoradSort)
};

// The saved filter states, and storing them back (geostationary is not saved).
ObjectFilters FiltersFromSettings(const Settings& settings);
void StoreFilters(const ObjectFilters& filters, Settings& settings);

// "R&eset Filters": clears "In Sun Only", "Elevation >", "Ascending Only", "Favorites", "Never
// Observed" and "Geostationary Only", selects "All" for visibility, direction and altitude class.
// The elevation number and "List by NORAD" stay. The list itself is not rebuilt.
void ResetFilters(ObjectFilters& filters);

// One whole number per catalogue object: its height above the Earth in km, rounded, as found by
// the builds since the last element-file load. While the cache is valid an altitude-class filter
// skips objects by it before propagating them. It also keeps the objects' orbit models (a
// CatalogueModels store, which the batch predictions may share), block by block as the build
// propagates them together, so a rebuild does not parse and set them up again.
class AltitudeCache {
public:
    AltitudeCache();
    ~AltitudeCache();
    AltitudeCache(AltitudeCache&&) noexcept;
    AltitudeCache& operator=(AltitudeCache&&) noexcept;

    // A new element file was loaded: forget every height and model.
    void Invalidate();
    bool Valid() const { return valid_; }
    // Height of object index (1..count) in whole km; nullopt when no build has placed it yet.
    std::optional<int> Height(int index) const;
    // Heights of objects 1..count (index 0 unused); empty while the cache is not valid.
    std::vector<std::optional<int>> Heights(int count) const;
    // The store of the catalogue's models the builds use; null before the first build after an
    // Invalidate. Safe to use on other threads while the cache goes on.
    std::shared_ptr<const CatalogueModels> Models() const { return models_; }

    // Used by BuildObjectList: binds the cache to a catalogue (a different catalogue than
    // before invalidates it), stores heights, marks it valid, lends the models of the objects
    // of block b (objects b * kBlockSize + 1 on, made on first use).
    static constexpr int kBlockSize = 200;
    struct ModelBlock;
    void Prepare(const ElementCatalogue& catalogue);
    void SetHeight(int index, int heightKm);
    void MarkValid() { valid_ = true; }
    ModelBlock& Block(int b);

private:
    const ElementCatalogue* catalogue_ = nullptr;
    std::shared_ptr<const CatalogueModels> models_;
    int count_ = -1;
    bool valid_ = false;
    std::vector<int> heights_;
    std::vector<unsigned char> known_;
    std::vector<std::unique_ptr<ModelBlock>> blocks_;
};

struct ObjectListEntry {
    std::string text;            // the whole entry as the list holds it, hidden "~~<index>" included
    int index = 0;               // catalogue position, 1..count
    long noradNumber = 0;        // catalogue number from line 1
    std::string name;            // name with surrounding blanks removed
    bool positionKnown = false;  // false when the orbit could not be propagated
    double azimuth = 0.0;        // degrees
    double elevation = 0.0;      // degrees (refracted when above the horizon)
    double heightKm = 0.0;       // above the Earth
    bool eclipsed = false;       // in the Earth's shadow at the instant

    // The text without the hidden part (up to "~~", trailing blanks removed).
    std::string VisibleText() const;
};

struct ObjectListResult {
    std::vector<ObjectListEntry> entries;  // sorted by text, case-insensitively
    std::string status;                    // "No objects available." / "<n> object(s) available."
    int filteredOut = 0;                   // objects skipped by a filter
    bool ascendingCleared = false;         // "Geostationary Only" cleared "Ascending Only"
};

// Progress text ("Calculated <i>.") after every 200th object.
using ListProgress = std::function<void(const std::string& status)>;

// The UTC instant of a build: the program clock plus the timing offset (seconds) minus the
// site's UTC offset (hours).
double ObjectListInstant(const Clock& clock, const Site& site, double timingOffsetSeconds);

// Rebuilds the list at the UTC instant jdUtc: every catalogue object is tested against the
// filters in a fixed order (cheapest first) and skipped at the first test it fails. progress is
// called on the calling thread. threads: how many threads share the objects (0: up to two, as
// the processor has); the result does not depend on it.
ObjectListResult BuildObjectList(const ElementCatalogue& catalogue, const ObjectFilters& filters,
                                 const Site& site, double jdUtc, const ObservedList& observed,
                                 AltitudeCache& cache, const ListProgress& progress = {}, int threads = 0);

// The entry text of an object: label (name or catalogue number) blank-padded and cut to 19
// characters, " [ ", compass code, " ]", 26 blanks, "~~", index; "*** " in front of the objects
// the program marks.
std::string ObjectEntryText(std::string_view nameLine, std::string_view line1, int index,
                            double azimuthDegrees, bool positionKnown, bool listByNorad);

// Choosing an entry in the drop-down: what the window shows and does.
struct ObjectSelection {
    std::string shownText;           // the entry text without trailing blanks, for the edit part
    int selectedObject = 0;          // the number after "~~"; 0 when none (or not in the catalogue)
    bool resetAlignment = false;     // set the Alignment Adjustment box to "0"
    bool showObjectButtons = false;  // "&Predict Pass", "&World Map", "&Observation Log", "S&ky Map"
    bool showTleDataButton = true;   // "T&LE Data"
};
// The caller also stops tracking and closes the windows that show the previous object.
ObjectSelection SelectObjectFromList(std::string_view entryText, int catalogueCount,
                                     bool resetAlignmentSetting);

// The object index after "~~" in an entry text; 0 without "~~" or when no number follows.
int ObjectIndexFromEntry(std::string_view entryText);

}  // namespace corvane
