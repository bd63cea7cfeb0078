// corvane-cli skychart: the sky view (stars, constellation figures and the object's path 25
// minutes either way) written as an SVG picture.
#include <cstdio>
#include <iostream>

#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "core/AtomicFile.h"
#include "maps/SkyChart.h"
#include "orbit/PropagationSlot.h"

namespace corvane::cli {
namespace {

struct SkyChartCommand {
    ObjectOptions object;
    InstantOptions instant;
    SiteOptions site;
    std::string svg;
    bool noConstellations = false;

    int Run() {
        const auto given = ResolveGivenInstant(instant);
        const Site where = ResolveSite(site);
        const double jd = given ? *given : ResolveInstant(instant, where);
        const SelectedObject selected = SelectObject(object);
        maps::SkyChartRequest r;
        r.site = where;
        r.jdUtc = jd;
        r.constellations = !noConstellations;
        r.object = selected.index;
        PropagationSlot slot(kSlotSkyView);
        const maps::SkyChart chart = maps::BuildSkyChart(maps::LoadSkyTables(), *selected.catalogue, slot, r);
        std::string error;
        if (!WriteFileAtomically(svg, maps::SkyChartSvg(chart), &error)) throw DataError(error);
        std::printf("%s: %zu stars, %zu constellation lines, %zu path segments%s\n", svg.c_str(),
                    chart.stars.size(), chart.constellations.size(), chart.path.size(),
                    chart.objectBelowHorizon ? "; Object below horizon." : "");
        return kExitOk;
    }
};

const CommandRegistrar registrar(
    "skychart",
    "The sky view at the site as an SVG picture: bright stars, constellations and the object's path",
    [](CLI::App& app) -> CommandRunner {
        auto cmd = std::make_shared<SkyChartCommand>();
        AddObjectOptions(app, cmd->object);
        AddInstantOptions(app, cmd->instant);
        AddSiteOption(app, cmd->site);
        app.add_option("--svg", cmd->svg, "SVG file to write")->required();
        app.add_flag("--no-constellations", cmd->noConstellations, "Leave the constellation figures out");
        return [cmd] { return cmd->Run(); };
    });

}  // namespace
}  // namespace corvane::cli
