// corvane-cli groundtrack: the points beneath one object, minute by minute, with its sunlit
// state and footprint, as the world map draws them.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "astro/MathUtil.h"
#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "maps/WorldMap.h"
#include "orbit/PropagationSlot.h"

namespace corvane::cli {
namespace {

double SystemUtcNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return 2440587.5 + std::chrono::duration<double>(now).count() / 86400.0;
}

struct GroundTrackCommand {
    ObjectOptions object;
    InstantOptions instant;
    FormatOptions format;
    int minutes = 90;

    int Run() {
        const OutputFormat fmt = ResolveFormat(format);
        const auto given = ResolveGivenInstant(instant);
        if (minutes < 0 || minutes > 10000) throw UsageError("--minutes must be 0 to 10000");
        const double start = given ? *given : SystemUtcNow();
        const SelectedObject selected = SelectObject(object);
        const ElementCatalogue& c = *selected.catalogue;
        const long long norad = CatalogueNumber(c, selected.index);
        const std::string name = ObjectName(c, selected.index);
        PropagationSlot slot(kSlotWorldMap);
        const auto track = maps::GroundTrack(c, selected.index, slot, start, 60.0, minutes + 1);
        if (!track.front().ok)
            throw DataError(std::to_string(norad) + " " + name + ": no position at " + IsoUtcText(start));
        WarnIfStale(std::to_string(norad) + " " + name, EntryAgeDays(c, selected.index, start));

        if (fmt == OutputFormat::kJson) {
            nlohmann::ordered_json points = nlohmann::ordered_json::array();
            for (const maps::TrackPoint& t : track) {
                if (!t.ok) continue;
                points.push_back({{"time", IsoUtcText(t.jd)},
                                  {"jd", t.jd},
                                  {"latitude", t.latitude},
                                  {"longitude", t.longitude},
                                  {"height", t.height},
                                  {"sunlit", t.sunlit},
                                  {"footprint_radius_deg", Degrees(maps::FootprintAngle(t.height))}});
            }
            nlohmann::ordered_json footprint = nlohmann::ordered_json::array();
            const maps::TrackPoint& first = track.front();
            for (const maps::LatLon& p :
                 maps::FootprintCircle(first.latitude, first.longitude, first.height, 361))
                footprint.push_back({p.latitude, p.longitude});
            nlohmann::ordered_json j = {
                {"norad", norad}, {"name", name}, {"points", points}, {"footprint", footprint}};
            AddAgeKeys(j, EntryAgeDays(c, selected.index, start));
            std::cout << j.dump(2) << "\n";
            return kExitOk;
        }
        std::printf("Object %lld %s\n", norad, name.c_str());
        std::printf("%-20s %9s %10s %9s %-8s %s\n", "Time (UTC)", "Lat", "Lon", "Height", "Sun", "Footprint");
        for (const maps::TrackPoint& t : track) {
            if (!t.ok) continue;
            std::printf("%-20s %9.4f %10.4f %9.3f %-8s %.2f deg\n", IsoUtcText(t.jd).c_str(), t.latitude,
                        t.longitude, t.height, t.sunlit ? "sunlit" : "eclipsed",
                        Degrees(maps::FootprintAngle(t.height)));
        }
        return kExitOk;
    }
};

const CommandRegistrar registrar("groundtrack",
                                 "Sub-satellite points every minute from the instant (latitude, longitude, "
                                 "height), the sunlit state and the "
                                 "footprint radius; JSON also gives the footprint circle at the first point",
                                 [](CLI::App& app) -> CommandRunner {
                                     auto cmd = std::make_shared<GroundTrackCommand>();
                                     AddObjectOptions(app, cmd->object);
                                     AddInstantOptions(app, cmd->instant);
                                     app.add_option("--minutes", cmd->minutes,
                                                    "Minutes of track after the instant (default 90)");
                                     AddFormatOption(app, cmd->format);
                                     return [cmd] { return cmd->Run(); };
                                 });

}  // namespace
}  // namespace corvane::cli
