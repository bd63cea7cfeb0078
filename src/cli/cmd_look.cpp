// corvane-cli look: where one object stands from the site at one instant.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "astro/Sun.h"
#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"

namespace corvane::cli {
namespace {

struct LookCommand {
    ObjectOptions object;
    InstantOptions instant;
    SiteOptions site;
    FormatOptions format;

    int Run() {
        const OutputFormat fmt = ResolveFormat(format);
        const auto given = ResolveGivenInstant(instant);
        const Site where = ResolveSite(site);
        const double jd = given ? *given : ResolveInstant(instant, where);
        const SelectedObject selected = SelectObject(object);
        const ElementCatalogue& c = *selected.catalogue;
        const long long norad = CatalogueNumber(c, selected.index);
        const std::string name = ObjectName(c, selected.index);
        const std::string label = std::to_string(norad) + " " + name;

        PropagationSlot slot(kSlotMainDisplay);
        ConvertElementSet(c, selected.index, slot);
        const auto age = EntryAgeDays(c, selected.index, jd);
        PropagationResult r = PropagateSlot(jd, slot);
        if (!r.Ok()) {
            const std::string note = age ? ElementAgeNote(*age) : std::string();
            throw DataError(label + ": " + PropagationErrorText(r.error) + " at " + IsoUtcText(jd) +
                            (note.empty() ? "" : " (" + note + ")"));
        }
        ConvertState(r);
        GeodeticPoint point = SitePoint(where);
        const LookAngles look = ComputeLookAngles(r.position, r.velocity, point, jd, slot);
        const LookAngles radec = ComputeRADec(r.position, r.velocity, point, jd);
        const GeodeticPoint sub = ComputeSubPoint(r.position, jd);
        const bool eclipsed = IsEclipsed(r.position, ComputeSunVector(jd));
        const bool visible = slot.Visible();

        if (fmt == OutputFormat::kJson) {
            nlohmann::ordered_json j = {{"norad", norad},
                                        {"name", name},
                                        {"jd", jd},
                                        {"azimuth", Degrees(look.azimuth)},
                                        {"elevation", Degrees(look.elevation)},
                                        {"range", look.range},
                                        {"range_rate", look.rangeRate},
                                        {"ra", Degrees(radec.azimuth) / 15.0},
                                        {"dec", Degrees(radec.elevation)},
                                        {"latitude", Degrees(sub.latitude)},
                                        {"longitude", Degrees(sub.longitude)},
                                        {"height", sub.altitude},
                                        {"eclipsed", eclipsed},
                                        {"visible", visible}};
            AddAgeKeys(j, age);
            std::cout << j.dump(2) << "\n";
            return kExitOk;
        }
        WarnIfStale(label, age);
        std::printf("Object       %lld %s\n", norad, name.c_str());
        std::printf("Time         %s (JD %.8f)\n", IsoUtcText(jd).c_str(), jd);
        std::printf("Azimuth      %.4f deg\n", Degrees(look.azimuth));
        std::printf("Elevation    %.4f deg\n", Degrees(look.elevation));
        std::printf("Range        %.3f km\n", look.range);
        std::printf("Range rate   %.6f km/s\n", look.rangeRate);
        std::printf("RA           %.6f h\n", Degrees(radec.azimuth) / 15.0);
        std::printf("Dec          %.4f deg\n", Degrees(radec.elevation));
        std::printf("Latitude     %.4f deg\n", Degrees(sub.latitude));
        std::printf("Longitude    %.4f deg\n", Degrees(sub.longitude));
        std::printf("Height       %.3f km\n", sub.altitude);
        std::printf("Eclipsed     %s\n", eclipsed ? "yes" : "no");
        std::printf("Visible      %s\n", visible ? "yes" : "no");
        return kExitOk;
    }
};

const CommandRegistrar registrar(
    "look",
    "Azimuth, elevation (refracted), range, range rate, RA/Dec, sub-point, shadow and visibility (above the "
    "horizon after refraction) of one object from the site",
    [](CLI::App& app) -> CommandRunner {
        auto cmd = std::make_shared<LookCommand>();
        AddObjectOptions(app, cmd->object);
        AddInstantOptions(app, cmd->instant);
        AddSiteOption(app, cmd->site);
        AddFormatOption(app, cmd->format);
        return [cmd] { return cmd->Run(); };
    });

}  // namespace
}  // namespace corvane::cli
