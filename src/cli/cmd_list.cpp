// corvane-cli list: the entries the main window's object list would show at one instant, with
// the same filters.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "core/Text.h"
#include "obslog/ObservedList.h"
#include "orbit/ElementSet.h"
#include "passes/ObjectList.h"

namespace corvane::cli {
namespace {


struct ListCommand {
    std::string tle;
    InstantOptions instant;
    SiteOptions site;
    FormatOptions format;
    double timingOffset = 0.0;
    bool aboveHorizon = false, ascending = false, sunlit = false, geostationary = false;
    bool favorites = false, neverObserved = false, byNorad = false;
    CLI::Option* elevationOption = nullptr;
    double elevationAbove = 0.0;
    std::string direction, altitude;

    ObjectFilters Filters() const {
        ObjectFilters f;
        f.aboveHorizon = aboveHorizon;
        if (elevationOption->count() > 0) {
            f.elevationAbove = true;
            f.elevationLimit = PlainNumber(elevationAbove, 10);
        }
        f.ascendingOnly = ascending;
        f.sunOnly = sunlit;
        f.favorites = favorites;
        f.neverObserved = neverObserved;
        f.geostationaryOnly = geostationary;
        f.listByNorad = byNorad;
        if (!direction.empty()) {
            const std::string d = ToUpper(Trim(direction));
            static const char* kDirections[] = {"ALL", "N", "NE", "E", "SE", "S", "SW", "W", "NW"};
            bool known = false;
            for (const char* k : kDirections) known = known || d == k;
            if (!known)
                throw UsageError("--direction wants N, NE, E, SE, S, SW, W, NW or All, got \"" + direction +
                                 "\"");
            f.direction = d == "ALL" ? "All" : d;
        }
        if (!altitude.empty()) {
            const std::string a = ToUpper(Trim(altitude));
            if (a == "LOW")
                f.altitudeClass = "Low";
            else if (a == "MOD")
                f.altitudeClass = "Mod";
            else if (a == "HIGH")
                f.altitudeClass = "High";
            else if (a == "ALL")
                f.altitudeClass = "All";
            else
                throw UsageError("--altitude wants low, mod or high, got \"" + altitude + "\"");
        }
        return f;
    }

    int Run() {
        const OutputFormat fmt = ResolveFormat(format);
        const ObjectFilters filters = Filters();
        const auto given = ResolveGivenInstant(instant);
        const Site where = ResolveSite(site);
        const double jd = (given ? *given : ResolveInstant(instant, where)) + timingOffset / 86400.0;
        const auto catalogue = LoadCatalogue(tle);
        ObservedList observed;
        std::string error;
        if ((filters.favorites || filters.neverObserved) && !observed.Load(kObservedFileName, &error)) {
            throw DataError(error);
        }
        AltitudeCache cache;
        const ObjectListResult list = BuildObjectList(*catalogue, filters, where, jd, observed, cache);

        int stale = 0;
        std::vector<std::optional<double>> ages;
        for (const ObjectListEntry& e : list.entries) {
            ages.push_back(EntryAgeDays(*catalogue, e.index, jd));
            if (ages.back() && IsStaleAge(*ages.back())) ++stale;
        }
        if (fmt == OutputFormat::kJson) {
            nlohmann::ordered_json array = nlohmann::ordered_json::array();
            for (size_t i = 0; i < list.entries.size(); ++i) {
                const ObjectListEntry& e = list.entries[i];
                nlohmann::ordered_json j = {
                    {"index", e.index}, {"norad", e.noradNumber}, {"name", Latin1ToUtf8Printable(e.name)}};
                if (e.positionKnown) {
                    j["azimuth"] = e.azimuth;
                    j["elevation"] = e.elevation;
                    j["height"] = e.heightKm;
                    j["eclipsed"] = e.eclipsed;
                } else {
                    j["azimuth"] = nullptr;
                    j["elevation"] = nullptr;
                    j["height"] = nullptr;
                    j["eclipsed"] = nullptr;
                }
                AddAgeKeys(j, ages[i]);
                array.push_back(std::move(j));
            }
            std::cout << array.dump(2) << "\n";
            return kExitOk;
        }
        for (const ObjectListEntry& e : list.entries)
            std::cout << Latin1ToUtf8Printable(e.VisibleText()) << "\n";
        std::cout << list.status << "\n";
        WarnStaleCount(stale, static_cast<int>(list.entries.size()));
        return kExitOk;
    }
};

const CommandRegistrar registrar(
    "list",
    "The object list the main window would show at one instant: the entries that pass the filters, in "
    "the list's order, then the count",
    [](CLI::App& app) -> CommandRunner {
        auto cmd = std::make_shared<ListCommand>();
        app.add_option("--tle", cmd->tle, "Element file (three-line form)")->required();
        AddInstantOptions(app, cmd->instant);
        AddSiteOption(app, cmd->site);
        AddFormatOption(app, cmd->format);
        app.add_option("--timing-offset", cmd->timingOffset, "Timing offset in seconds");
        app.add_flag("--above-horizon", cmd->aboveHorizon, "Only objects above the horizon");
        cmd->elevationOption =
            app.add_option("--elevation-above", cmd->elevationAbove, "Only objects higher than DEG degrees");
        app.add_flag("--ascending", cmd->ascending, "Only objects whose elevation is not falling");
        app.add_flag("--sunlit", cmd->sunlit, "Only objects not in the Earth's shadow");
        app.add_flag("--geostationary", cmd->geostationary,
                     "Only near-geostationary orbits (overrides --ascending)");
        app.add_flag("--favorites", cmd->favorites, "Only favourites of observed.dat in the working folder");
        app.add_flag("--never-observed", cmd->neverObserved,
                     "Only objects never observed (observed.dat in the working folder)");
        app.add_option("--direction", cmd->direction,
                       "Only objects in a compass sector: N, NE, E, SE, S, SW, W, NW");
        app.add_option("--altitude", cmd->altitude, "Only objects of a height class: low, mod or high");
        app.add_flag("--by-norad", cmd->byNorad, "Entries show the catalogue number instead of the name");
        return [cmd] { return cmd->Run(); };
    });

}  // namespace
}  // namespace corvane::cli
