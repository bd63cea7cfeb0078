// corvane-cli passes: the passes of one object over day windows from a start instant, searched
// exactly as the pass predictions window searches them (window w covers the 24 hours from start +
// w days), as pass list lines (local time of the site) or as JSON.
#include <cmath>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "core/Text.h"
#include "orbit/PropagationSlot.h"
#include "passes/PassPredictions.h"

namespace corvane::cli {
namespace {

std::string TrimmedCode(const std::string& code) { return code.substr(0, code.find_last_not_of(' ') + 1); }

struct PassesCommand {
    ObjectOptions object;
    SiteOptions site;
    FormatOptions format;
    std::string from;
    int days = 1;
    double minDuration = 2.0;
    bool excludeDaytime = false;
    double aosElevation = 0.0;
    bool ignoreEclipse = false;
    CLI::Option* fromOption = nullptr;

    int Run() {
        const OutputFormat fmt = ResolveFormat(format);
        if (days < 1 || days > 366) throw UsageError("--days wants 1 to 366, got " + std::to_string(days));
        if (!std::isfinite(minDuration) || minDuration < 0.0 || minDuration > 1440.0)
            throw UsageError("--min-duration wants 0 to 1440 minutes");
        if (!std::isfinite(aosElevation) || aosElevation < -90.0 || aosElevation > 90.0)
            throw UsageError("--aos-elevation wants -90 to 90 degrees");
        double start = 0.0;
        std::optional<double> given;
        if (!from.empty() || fromOption->count() > 0) {
            given = ParseInstant(from);
            if (!given)
                throw UsageError(
                    "--from wants an ISO 8601 UTC time such as 2017-04-28T03:15:00Z or a Julian "
                    "date, got \"" +
                    from + "\"");
        }
        const Site where = ResolveSite(site);
        start = given ? *given : ResolveInstant(InstantOptions{}, where);
        const SelectedObject selected = SelectObject(object);
        const ElementCatalogue& c = *selected.catalogue;
        const std::string label =
            std::to_string(CatalogueNumber(c, selected.index)) + " " + ObjectName(c, selected.index);
        const auto age = EntryAgeDays(c, selected.index, start);

        // DEPARTURE: an object the model cannot place at the start is an error with its reason,
        // not an empty pass list that reads as "no passes".
        {
            PropagationSlot probe(kSlotPassPrediction);
            ConvertElementSet(c, selected.index, probe);
            const PropagationResult r = PropagateSlot(start, probe);
            if (!r.Ok()) {
                const std::string note = age ? ElementAgeNote(*age) : std::string();
                throw DataError(label + ": " + PropagationErrorText(r.error) + " at " + IsoUtcText(start) +
                                (note.empty() ? "" : " (" + note + ")"));
            }
        }

        PassSettings settings;
        settings.aosElevation = Radians(aosElevation);
        settings.ignoreEclipse = ignoreEclipse;
        PropagationSlot slot(kSlotPassPrediction);
        const long long minimumSeconds = static_cast<long long>(std::trunc(minDuration * 60.0));
        const std::vector<PassRecord> passes =
            PassesOverDays(*selected.catalogue, selected.index, slot, where, settings, start, days,
                           minimumSeconds, excludeDaytime);

        if (fmt == OutputFormat::kJson) {
            nlohmann::ordered_json list = nlohmann::ordered_json::array();
            for (const PassRecord& p : passes) {
                list.push_back({{"aos", IsoUtcText(p.aos)},
                                {"los", IsoUtcText(p.los)},
                                {"aos_direction", TrimmedCode(p.aosDirection)},
                                {"los_direction", TrimmedCode(p.losDirection)},
                                {"duration", p.losSecond - p.aosSecond},
                                {"max_elevation", p.maxElevation},
                                {"max_time", IsoUtcText(p.maxElevationTime)},
                                {"range_at_max", p.rangeAtMax},
                                {"line", Latin1ToUtf8(PassListLine(p, where.utcOffset))}});
                AddAgeKeys(list.back(), EntryAgeDays(c, selected.index, p.aos));
            }
            std::cout << list.dump(2) << "\n";
            return kExitOk;
        }
        WarnIfStale(label, age);
        for (const PassRecord& p : passes) std::cout << Latin1ToUtf8(PassListLine(p, where.utcOffset)) << "\n";
        return kExitOk;
    }
};

const CommandRegistrar registrar(
    "passes",
    "Passes of one object over day windows from a start instant (AOS, LOS, directions, duration, "
    "culmination), as the pass predictions window lists them",
    [](CLI::App& app) -> CommandRunner {
        auto cmd = std::make_shared<PassesCommand>();
        AddObjectOptions(app, cmd->object);
        AddSiteOption(app, cmd->site);
        cmd->fromOption = app.add_option(
            "--from", cmd->from,
            "Start instant, ISO 8601 UTC such as 2017-04-28T03:15:00Z or a Julian date; default: now");
        app.add_option("--days", cmd->days, "Number of 24-hour windows (default 1)");
        app.add_option("--min-duration", cmd->minDuration, "Shortest pass listed, minutes (default 2)");
        app.add_flag("--exclude-daytime", cmd->excludeDaytime,
                     "Drop passes whose AOS lies between local sunrise and sunset");
        app.add_option("--aos-elevation", cmd->aosElevation, "Elevation of AOS and LOS, degrees (default 0)");
        app.add_flag("--ignore-eclipse", cmd->ignoreEclipse, "Passes by elevation alone (no Earth shadow)");
        AddFormatOption(app, cmd->format);
        return [cmd] { return cmd->Run(); };
    });

}  // namespace
}  // namespace corvane::cli
