// The object list: entry texts, every filter against an independent filter of the positions the
// orbit code reports, the altitude cache, progress and result texts, and selection.
#include "passes/ObjectList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

#include "astro/MathUtil.h"
#include "astro/Sun.h"
#include "core/Clock.h"
#include "obslog/ObservedList.h"
#include "orbit/CatalogueModels.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"

namespace corvane {
namespace {

const Site kSite{40.0, -75.0, 100.0, -4.0};
const double kInstant = CivilToJulianDate(2017, 4, 28, 3, 15, 0.0);  // UTC

const ElementCatalogue& Catalogue() {
    static const std::shared_ptr<const ElementCatalogue> c =
        LoadElementFile(std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle").catalogue;
    return *c;
}

// What the orbit code reports for every object, computed here on a fresh slot per object.
struct Truth {
    bool ok = false;
    double az = 0, el = 0, height = 0, elLater = 0;
    bool visible = false, eclipsed = false, geo = false;
    long number = 0;
};

const std::vector<Truth>& Truths() {
    static const std::vector<Truth> truths = [] {
        const ElementCatalogue& c = Catalogue();
        std::vector<Truth> t(static_cast<size_t>(c.Count()) + 1);
        const StateVector sun = ComputeSunVector(kInstant);
        for (int i = 1; i <= c.Count(); ++i) {
            PropagationSlot slot(kSlotMainDisplay);
            slot.SetCacheEnabled(false);
            ConvertElementSet(c, i, slot);
            Truth& x = t[static_cast<size_t>(i)];
            const ElementSet& e = slot.Elements();
            x.number = std::atol(e.catalogueNumber.c_str());
            const double revs = e.meanMotion * 1440.0 / (2.0 * kPi);
            x.geo = e.eccentricity <= 0.1 && Degrees(e.inclination) <= 17.0 + 1e-9 &&
                    std::fabs(revs - 1.0027) <= 0.1;
            GeodeticPoint site = SitePoint(kSite);
            PropagationResult r = PropagateSlot(kInstant, slot);
            if (!r.Ok()) continue;
            ConvertState(r);
            const LookAngles look = ComputeLookAngles(r.position, r.velocity, site, kInstant);
            x.ok = true;
            x.az = Degrees(look.azimuth);
            x.el = Degrees(look.elevation);
            x.visible = look.visible;
            x.height = ComputeSubPoint(r.position, kInstant).altitude;
            x.eclipsed = IsEclipsed(r.position, sun);
            PropagationResult later = PropagateSlot(kInstant + 1.0 / 86400.0, slot);
            ConvertState(later);
            x.elLater = Degrees(
                ComputeLookAngles(later.position, later.velocity, site, kInstant + 1.0 / 86400.0).elevation);
        }
        return t;
    }();
    return truths;
}

// Compass sector by arithmetic, independent of the table in the code.
std::string Sector(double az) {
    static const char* names[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    return names[static_cast<int>(std::floor((az + 22.5) / 45.0)) % 8];
}

std::set<int> Expected(const std::function<bool(const Truth&)>& keep) {
    std::set<int> s;
    const auto& t = Truths();
    for (int i = 1; i < static_cast<int>(t.size()); ++i) {
        if (keep(t[static_cast<size_t>(i)])) s.insert(i);
    }
    return s;
}

std::set<int> Listed(const ObjectListResult& r) {
    std::set<int> s;
    for (const auto& e : r.entries) s.insert(e.index);
    return s;
}

ObjectListResult Build(const ObjectFilters& f, const ObservedList& observed = ObservedList()) {
    AltitudeCache cache;
    return BuildObjectList(Catalogue(), f, kSite, kInstant, observed, cache);
}

TEST(CompassAndClasses, BoundariesBelongToTheEarlierSector) {
    EXPECT_EQ(CompassText(0.0, false), "N ");
    EXPECT_EQ(CompassText(22.5, false), "N ");
    EXPECT_EQ(CompassText(22.5001, false), "NE");
    EXPECT_EQ(CompassText(90.0, true), "East");
    EXPECT_EQ(CompassText(202.5, true), "South");
    EXPECT_EQ(CompassText(337.6, true), "North");
    EXPECT_EQ(CompassText(360.5, false), "N ");
    EXPECT_EQ(CompassText(361.0, false), "N ");
    EXPECT_EQ(CompassText(361.5, false), "  ");
    EXPECT_EQ(CompassText(-0.1, false), "  ");
    EXPECT_EQ(CompassText(std::nan(""), true), "  ");
    EXPECT_EQ(AltitudeClass(1000.0), AltitudeLevel::kLow);
    EXPECT_EQ(AltitudeClass(1000.1), AltitudeLevel::kModerate);
    EXPECT_EQ(AltitudeClass(2999.9), AltitudeLevel::kModerate);
    EXPECT_EQ(AltitudeClass(3000.0), AltitudeLevel::kHigh);
}

TEST(ObjectEntry, LayoutMarksAndHiddenIndex) {
    const std::string line1 = "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992";
    const std::string iss = ObjectEntryText("ISS (ZARYA)             ", line1, 25, 45.0, true, false);
    EXPECT_EQ(iss, "*** ISS (ZARYA)         [ NE ]                          ~~25");
    EXPECT_EQ(ObjectEntryText("ISS (ZARYA)", line1, 25, 45.0, true, true),
              "25544               [ NE ]                          ~~25");
    // "HST  " matches only the name HST itself, because the label is blank-padded.
    EXPECT_EQ(ObjectEntryText("  hst ", line1, 7, 10.0, true, false).substr(0, 8), "*** hst ");
    EXPECT_EQ(ObjectEntryText("HSTX", line1, 7, 10.0, true, false).substr(0, 4), "HSTX");
    EXPECT_EQ(ObjectEntryText("MIR", line1, 7, 10.0, true, false).substr(0, 7), "*** MIR");
    EXPECT_EQ(ObjectEntryText("MIRA", line1, 7, 10.0, true, false).substr(0, 4), "MIRA");
    // Long names are cut to 19 characters; an unknown position has no compass code.
    EXPECT_EQ(ObjectEntryText("A VERY LONG OBJECT NAME HERE", line1, 1, 0.0, false, false),
              "A VERY LONG OBJECT  [    ]                          ~~1");
    ObjectListEntry e;
    e.text = iss;
    EXPECT_EQ(e.VisibleText(), "*** ISS (ZARYA)         [ NE ]");
}

TEST(ObjectListFilters, EachFilterAloneMatchesTheOrbitCode) {
    ObjectFilters none;
    ObjectListResult all = Build(none);
    EXPECT_EQ(Listed(all), Expected([](const Truth&) { return true; }));
    EXPECT_EQ(all.status, std::to_string(Catalogue().Count()) + " object(s) available.");

    ObjectFilters f;
    f.aboveHorizon = true;
    const std::set<int> above = Expected([](const Truth& t) { return t.ok && t.visible; });
    EXPECT_FALSE(above.empty());
    EXPECT_EQ(Listed(Build(f)), above);

    f = ObjectFilters();
    f.elevationAbove = true;
    f.elevationLimit = "25";
    EXPECT_EQ(Listed(Build(f)), Expected([](const Truth& t) { return t.ok && t.el > 25.0; }));

    f = ObjectFilters();
    f.ascendingOnly = true;
    EXPECT_EQ(Listed(Build(f)), Expected([](const Truth& t) { return t.ok && t.elLater >= t.el; }));

    f = ObjectFilters();
    f.sunOnly = true;
    EXPECT_EQ(Listed(Build(f)), Expected([](const Truth& t) { return t.ok && !t.eclipsed; }));

    f = ObjectFilters();
    f.geostationaryOnly = true;
    const std::set<int> geo = Expected([](const Truth& t) { return t.geo; });
    EXPECT_GT(geo.size(), 50u);
    EXPECT_EQ(Listed(Build(f)), geo);

    for (const char* d : {"N", "NE", "E", "SE", "S", "SW", "W", "NW"}) {
        f = ObjectFilters();
        f.direction = d;
        EXPECT_EQ(Listed(Build(f)), Expected([&](const Truth& t) { return t.ok && Sector(t.az) == d; })) << d;
    }
    f = ObjectFilters();
    f.altitudeClass = "Low";
    EXPECT_EQ(Listed(Build(f)), Expected([](const Truth& t) { return t.ok && t.height <= 1000.0; }));
    f.altitudeClass = "Mod";
    EXPECT_EQ(Listed(Build(f)),
              Expected([](const Truth& t) { return t.ok && t.height > 1000.0 && t.height < 3000.0; }));
    f.altitudeClass = "High";
    EXPECT_EQ(Listed(Build(f)), Expected([](const Truth& t) { return t.ok && t.height >= 3000.0; }));
}

TEST(ObjectListFilters, CombinedFiltersAndObservedList) {
    ObservedList observed;
    observed.SetFavourite(25544, true);  // ISS: favourite, not observed
    observed.MarkObserved(20580);        // HST: observed, not favourite
    observed.MarkObserved(25544);
    observed.SetFavourite(25544, true);
    ObjectFilters f;
    f.favorites = true;
    EXPECT_EQ(Listed(Build(f, observed)), Expected([](const Truth& t) { return t.number == 25544; }));
    f = ObjectFilters();
    f.neverObserved = true;
    EXPECT_EQ(Listed(Build(f, observed)),
              Expected([](const Truth& t) { return t.number != 25544 && t.number != 20580; }));

    f = ObjectFilters();
    f.aboveHorizon = true;
    f.ascendingOnly = true;
    f.sunOnly = true;
    EXPECT_EQ(Listed(Build(f)),
              Expected([](const Truth& t) { return t.ok && t.visible && t.elLater >= t.el && !t.eclipsed; }));

    f = ObjectFilters();
    f.elevationAbove = true;
    f.elevationLimit = "5";
    f.altitudeClass = "High";
    f.direction = "S";
    EXPECT_EQ(Listed(Build(f)), Expected([](const Truth& t) {
                  return t.ok && t.el > 5 && t.height >= 3000 && Sector(t.az) == "S";
              }));

    // "Geostationary Only" clears "Ascending Only": geostationary objects regardless of motion.
    f = ObjectFilters();
    f.geostationaryOnly = true;
    f.ascendingOnly = true;
    ObjectListResult geo = Build(f);
    EXPECT_TRUE(geo.ascendingCleared);
    EXPECT_EQ(Listed(geo), Expected([](const Truth& t) { return t.geo; }));
}

TEST(ObjectListFilters, EntriesCarryThePositionAndSortCaseInsensitively) {
    ObjectFilters f;
    f.aboveHorizon = true;
    ObjectListResult r = Build(f);
    ASSERT_FALSE(r.entries.empty());
    for (const ObjectListEntry& e : r.entries) {
        const Truth& t = Truths()[static_cast<size_t>(e.index)];
        EXPECT_NEAR(e.elevation, t.el, 1e-9);
        EXPECT_EQ(e.eclipsed, t.eclipsed);
        EXPECT_EQ(ObjectIndexFromEntry(e.text), e.index);
        const size_t open = e.text.find(" [ ");
        ASSERT_NE(open, std::string::npos);
        std::string code = e.text.substr(open + 3, 2);
        code.erase(std::remove(code.begin(), code.end(), ' '), code.end());
        EXPECT_EQ(code, Sector(t.az)) << e.text;
    }
    for (size_t k = 1; k < r.entries.size(); ++k) {
        std::string a = r.entries[k - 1].VisibleText(), b = r.entries[k].VisibleText();
        for (char& c : a) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : b) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_LE(a, b);
        if (a == b) {
            EXPECT_LT(r.entries[k - 1].index, r.entries[k].index) << a;
        }
    }
    // The same list whatever the number of threads.
    AltitudeCache one, two;
    ObjectListResult a = BuildObjectList(Catalogue(), f, kSite, kInstant, ObservedList(), one, {}, 1);
    ObjectListResult b = BuildObjectList(Catalogue(), f, kSite, kInstant, ObservedList(), two, {}, 2);
    ASSERT_EQ(a.entries.size(), b.entries.size());
    for (size_t k = 0; k < a.entries.size(); ++k) EXPECT_EQ(a.entries[k].text, b.entries[k].text);
    // The whole catalogue is long enough for the two threads to sort a half each and merge.
    AltitudeCache three, four;
    ObjectListResult all1 =
        BuildObjectList(Catalogue(), ObjectFilters(), kSite, kInstant, ObservedList(), three, {}, 1);
    ObjectListResult all2 =
        BuildObjectList(Catalogue(), ObjectFilters(), kSite, kInstant, ObservedList(), four, {}, 2);
    ASSERT_EQ(all1.entries.size(), static_cast<size_t>(Catalogue().Count()));
    ASSERT_EQ(all2.entries.size(), all1.entries.size());
    for (size_t k = 0; k < all1.entries.size(); ++k) {
        EXPECT_EQ(all1.entries[k].index, all2.entries[k].index);
        if (k > 0 && all1.entries[k - 1].VisibleText() == all1.entries[k].VisibleText()) {
            EXPECT_LT(all1.entries[k - 1].index, all1.entries[k].index);
        }
    }
}

TEST(ObjectListFilters, NonNumericElevationReadsAsZero) {
    ObjectFilters typed, zero;
    typed.elevationAbove = zero.elevationAbove = true;
    typed.elevationLimit = "abc";
    zero.elevationLimit = "0";
    EXPECT_EQ(Listed(Build(typed)), Listed(Build(zero)));
    typed.elevationLimit = "nan";
    EXPECT_EQ(Listed(Build(typed)), Listed(Build(zero)));
}

TEST(AltitudeCacheUse, FirstBuildIgnoresTheCacheLaterBuildsTrustIt) {
    const std::set<int> low = Expected([](const Truth& t) { return t.ok && t.height <= 1000.0; });
    const std::set<int> high = Expected([](const Truth& t) { return t.ok && t.height >= 3000.0; });
    AltitudeCache cache;
    ObjectFilters f;
    f.altitudeClass = "Low";
    EXPECT_FALSE(cache.Valid());
    EXPECT_EQ(Listed(BuildObjectList(Catalogue(), f, kSite, kInstant, ObservedList(), cache)), low);
    EXPECT_TRUE(cache.Valid());
    const int iss = Catalogue().IssIndex();
    ASSERT_TRUE(cache.Height(iss));
    EXPECT_NEAR(*cache.Height(iss), Truths()[static_cast<size_t>(iss)].height, 0.5);

    // While valid, a cached height skips the object before it is propagated.
    cache.SetHeight(iss, 5000);
    EXPECT_EQ(Listed(BuildObjectList(Catalogue(), f, kSite, kInstant, ObservedList(), cache)).count(iss), 0u);
    // A new file invalidates the cache: the next build ignores it.
    cache.Invalidate();
    cache.Prepare(Catalogue());
    cache.SetHeight(iss, 5000);
    EXPECT_EQ(Listed(BuildObjectList(Catalogue(), f, kSite, kInstant, ObservedList(), cache)), low);

    // Objects a filtered build never placed have no height and are not judged by one.
    AltitudeCache partial;
    ObservedList observed;
    observed.SetFavourite(25544, true);
    ObjectFilters favourites;
    favourites.favorites = true;
    BuildObjectList(Catalogue(), favourites, kSite, kInstant, observed, partial);
    EXPECT_TRUE(partial.Valid());
    ASSERT_NE(Truths()[1].number, 25544);
    EXPECT_FALSE(partial.Height(1).has_value());
    f.altitudeClass = "High";
    EXPECT_EQ(Listed(BuildObjectList(Catalogue(), f, kSite, kInstant, observed, partial)), high);
}

TEST(AltitudeCacheUse, HeightsFromTheSharedModelsAreEveryObjectsOwn) {
    AltitudeCache cache;
    EXPECT_EQ(cache.Models(), nullptr);
    // Twice: the second build propagates the copies the first one made.
    for (int threads : {1, 2}) {
        BuildObjectList(Catalogue(), ObjectFilters(), kSite, kInstant, ObservedList(), cache, {}, threads);
        ASSERT_TRUE(cache.Models() && cache.Models()->MadeFor(Catalogue()));
        for (int i = 1; i <= Catalogue().Count(); ++i) {
            const Truth& t = Truths()[static_cast<size_t>(i)];
            ASSERT_EQ(cache.Height(i).has_value(), t.ok) << i;
            if (t.ok) EXPECT_NEAR(*cache.Height(i), t.height, 0.5 + 1e-6) << i;
        }
    }
    // A running batch may keep the store; the cache lets go of it for the next file.
    const auto kept = cache.Models();
    cache.Invalidate();
    EXPECT_EQ(cache.Models(), nullptr);
    EXPECT_TRUE(kept->MadeFor(Catalogue()));
}

TEST(ObjectListBuild, ProgressAndResultTexts) {
    std::vector<std::string> progress;
    AltitudeCache cache;
    BuildObjectList(Catalogue(), ObjectFilters(), kSite, kInstant, ObservedList(), cache,
                    [&](const std::string& s) { progress.push_back(s); });
    std::vector<std::string> expected;
    for (int i = 200; i <= Catalogue().Count(); i += 200)
        expected.push_back("Calculated " + std::to_string(i) + ".");
    EXPECT_EQ(progress, expected);

    ElementCatalogue empty;
    AltitudeCache emptyCache;
    ObjectListResult none =
        BuildObjectList(empty, ObjectFilters(), kSite, kInstant, ObservedList(), emptyCache);
    EXPECT_TRUE(none.entries.empty());
    EXPECT_EQ(none.status, "No objects available.");

    ObjectFilters impossible;
    impossible.elevationAbove = true;
    impossible.elevationLimit = "90";
    ObjectListResult r = Build(impossible);
    EXPECT_EQ(r.status, "No objects available.");
    EXPECT_EQ(r.filteredOut, Catalogue().Count());
}

TEST(ObjectListBuild, AnObjectThatCannotBePropagatedFailsOnlyPositionTests) {
    ElementCatalogue c;
    c.Add({"GOOD", std::string(Catalogue().Line1(1)), std::string(Catalogue().Line2(1))});
    // Mean motion zero: the model cannot take it.
    c.Add({"BROKEN", "1 99999U 17001A   17117.50000000  .00000000  00000-0  00000-0 0  9990",
           "2 99999  51.0000 100.0000 0001000 100.0000 100.0000  0.00000000    10"});
    AltitudeCache cache;
    ObjectListResult r = BuildObjectList(c, ObjectFilters(), kSite, kInstant, ObservedList(), cache);
    ASSERT_EQ(r.entries.size(), 2u);
    const ObjectListEntry& broken = r.entries[0];
    EXPECT_EQ(broken.index, 2);
    EXPECT_FALSE(broken.positionKnown);
    EXPECT_EQ(broken.VisibleText(), "BROKEN              [    ]");
    for (auto setter :
         {+[](ObjectFilters& f) { f.aboveHorizon = true; }, +[](ObjectFilters& f) { f.sunOnly = true; },
          +[](ObjectFilters& f) { f.altitudeClass = "Low"; },
          +[](ObjectFilters& f) { f.ascendingOnly = true; }, +[](ObjectFilters& f) { f.direction = "N"; }}) {
        ObjectFilters f;
        setter(f);
        EXPECT_EQ(Listed(BuildObjectList(c, f, kSite, kInstant, ObservedList(), cache)).count(2), 0u);
    }
}

TEST(ObjectSelectionLogic, EntryToObject) {
    ObjectSelection s =
        SelectObjectFromList("*** ISS (ZARYA)         [ NE ]                          ~~25  ", 100, true);
    EXPECT_EQ(s.selectedObject, 25);
    EXPECT_EQ(s.shownText, "*** ISS (ZARYA)         [ NE ]                          ~~25");
    EXPECT_TRUE(s.resetAlignment);
    EXPECT_TRUE(s.showObjectButtons);
    EXPECT_TRUE(s.showTleDataButton);

    s = SelectObjectFromList("ISS (ZARYA)   ", 100, false);
    EXPECT_EQ(s.selectedObject, 0);
    EXPECT_EQ(s.shownText, "ISS (ZARYA)");
    EXPECT_FALSE(s.showObjectButtons);
    EXPECT_FALSE(s.resetAlignment);
    EXPECT_EQ(SelectObjectFromList("typed ~~101", 100, false).selectedObject, 0);
    EXPECT_EQ(SelectObjectFromList("typed ~~x", 100, false).selectedObject, 0);
    EXPECT_EQ(SelectObjectFromList("typed ~~99999999999999", 100, false).selectedObject, 0);
}

TEST(ObjectFilterSettings, ResetClearsFiltersButKeepsTheNumberAndLabelChoice) {
    ObjectFilters f;
    f.aboveHorizon = f.elevationAbove = f.ascendingOnly = f.sunOnly = f.favorites = f.neverObserved =
        f.geostationaryOnly = f.listByNorad = true;
    f.elevationLimit = "30";
    f.direction = "SW";
    f.altitudeClass = "High";
    ResetFilters(f);
    ObjectFilters cleared;
    cleared.elevationLimit = "30";
    cleared.listByNorad = true;
    AltitudeCache a, b;
    EXPECT_EQ(Listed(BuildObjectList(Catalogue(), f, kSite, kInstant, ObservedList(), a)),
              Listed(BuildObjectList(Catalogue(), cleared, kSite, kInstant, ObservedList(), b)));
    EXPECT_EQ(f.elevationLimit, "30");
    EXPECT_TRUE(f.listByNorad);
}

}  // namespace
}  // namespace corvane
