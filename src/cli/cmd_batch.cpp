// corvane-cli batch: the passes of every object of an element file that close in a period from a
// start instant, searched and filtered exactly as the batch predictions window does, as batch
// list lines (local time of the site) or as JSON.
#include <cmath>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "core/Clock.h"
#include "core/Text.h"
#include "passes/BatchPredictions.h"

namespace corvane::cli {
namespace {

// A batch line for the terminal: the columns the program writes (the tab between AOS and LOS is
// part of the line) as they are, the name from the element file (columns 96-119) with its control
// characters shown as U+FFFD, so that it cannot steer the terminal or add a field.
std::string ShownLine(std::string_view line) {
    constexpr size_t kName = 95;
    if (line.size() <= kName) return Latin1ToUtf8(line);
    return Latin1ToUtf8(line.substr(0, kName)) + Latin1ToUtf8Printable(line.substr(kName));
}

struct BatchCommand {
    std::string tle;
    SiteOptions site;
    FormatOptions format;
    std::string from;
    int period = 15;
    int minDuration = 2;
    int maxElevation = 0;
    int range = 0;
    bool excludeDaytime = false;
    std::string classes = "low,mod,high";
    int threads = 0;
    double aosElevation = 0.0;
    bool ignoreEclipse = false;
    CLI::Option* fromOption = nullptr;

    void ReadClasses(BatchOptions& o) const {
        o.includeLow = o.includeMod = o.includeHigh = false;
        std::istringstream in(classes);
        for (std::string word; std::getline(in, word, ',');) {
            const std::string w = ToUpper(Trim(word));
            if (w == "LOW") {
                o.includeLow = true;
            } else if (w == "MOD" || w == "MODERATE") {
                o.includeMod = true;
            } else if (w == "HIGH" || w == "HIG") {
                o.includeHigh = true;
            } else if (w == "ALL") {
                o.includeLow = o.includeMod = o.includeHigh = true;
            } else {
                throw UsageError("--classes wants low, mod and high separated by commas, got \"" + classes +
                                 "\"");
            }
        }
        if (!o.includeLow && !o.includeMod && !o.includeHigh)
            throw UsageError("--classes wants at least one of low, mod and high");
    }

    int Run() {
        const OutputFormat fmt = ResolveFormat(format);
        if (period < 1 || period > 1440) throw UsageError("--period wants 1 to 1440 minutes");
        if (minDuration < 0 || minDuration > 1440) throw UsageError("--min-duration wants 0 to 1440 minutes");
        if (maxElevation < -90 || maxElevation > 90)
            throw UsageError("--max-elevation wants -90 to 90 degrees");
        if (range < 0) throw UsageError("--range wants 0 (no limit) or more kilometres");
        if (threads < 0 || threads > 256) throw UsageError("--threads wants 0 (one per core) to 256");
        if (!std::isfinite(aosElevation) || aosElevation < -90.0 || aosElevation > 90.0)
            throw UsageError("--aos-elevation wants -90 to 90 degrees");
        BatchRequest request;
        ReadClasses(request.options);
        std::optional<double> given;
        if (!from.empty() || fromOption->count() > 0) {
            given = ParseInstant(from);
            if (!given)
                throw UsageError(
                    "--from wants an ISO 8601 UTC time such as 2017-04-28T03:15:00Z or a Julian date, got "
                    "\"" +
                    from + "\"");
        }
        request.site = ResolveSite(site);
        if (given) {
            request.startLocal = *given + request.site.utcOffset / 24.0;
        } else {
            // As the window starts: the current half hour of the site's local time.
            SystemClock clock;
            const double nowLocal = UtcNow(clock, request.site) + request.site.utcOffset / 24.0;
            request.startLocal = BatchStartLocal(nowLocal, 0, HalfHourIndex(nowLocal));
        }
        request.catalogue = LoadCatalogue(tle);
        request.options.periodMinutes = period;
        request.options.minPassMinutes = minDuration;
        request.options.maxElevation = maxElevation;
        request.options.predictRange = range;
        request.options.excludeDaytime = excludeDaytime;
        request.passSettings.aosElevation = Radians(aosElevation);
        request.passSettings.ignoreEclipse = ignoreEclipse;

        const std::vector<BatchLine> lines = ComputeBatch(request, threads);
        const ElementCatalogue& c = *request.catalogue;
        if (fmt == OutputFormat::kJson) {
            nlohmann::ordered_json list = nlohmann::ordered_json::array();
            for (const BatchLine& l : lines) {
                list.push_back({{"norad", CatalogueNumber(c, l.object)},
                                {"name", ObjectName(c, l.object)},
                                {"aos", IsoUtcText(l.pass.aos)},
                                {"los", IsoUtcText(l.pass.los)},
                                {"duration", l.pass.losSecond - l.pass.aosSecond},
                                {"max_elevation", l.pass.maxElevation},
                                {"range_at_max", l.pass.rangeAtMax},
                                {"line", ShownLine(l.line)}});
            }
            std::cout << list.dump(2) << "\n";
        } else {
            for (const BatchLine& l : lines) std::cout << ShownLine(l.line) << "\n";
        }
        std::cout.flush();
        if (!std::cout) throw DataError("the output could not be written");
        return kExitOk;
    }
};

const CommandRegistrar registrar(
    "batch",
    "Passes of every object of an element file that close within a period from a start instant, "
    "as the batch predictions window lists them",
    [](CLI::App& app) -> CommandRunner {
        auto cmd = std::make_shared<BatchCommand>();
        app.add_option("--tle", cmd->tle, "Element file (three-line form)")->required();
        AddSiteOption(app, cmd->site);
        cmd->fromOption = app.add_option(
            "--from", cmd->from,
            "Start of the period, ISO 8601 UTC such as 2017-04-28T03:00:00Z or a Julian date; default: the "
            "current half hour");
        app.add_option("--period", cmd->period, "Length of the period, minutes (default 15)");
        app.add_option("--min-duration", cmd->minDuration,
                       "Shortest pass listed, minutes; never under 2 minutes (default 2)");
        app.add_option("--max-elevation", cmd->maxElevation,
                       "List passes culminating higher than this, whole degrees (default 0)");
        app.add_option("--range", cmd->range,
                       "List passes closer than this at culmination, km (default 0: any)");
        app.add_flag("--exclude-daytime", cmd->excludeDaytime,
                     "Drop passes whose AOS lies between local sunrise and sunset");
        app.add_option(
            "--classes", cmd->classes,
            "Altitude classes searched: low (to 1000 km), mod, high (from 3000 km), comma-separated "
            "(default low,mod,high)");
        app.add_option("--threads", cmd->threads, "Threads sharing the catalogue (default 0: one per core)");
        app.add_option("--aos-elevation", cmd->aosElevation, "Elevation of AOS and LOS, degrees (default 0)");
        app.add_flag("--ignore-eclipse", cmd->ignoreEclipse, "Passes by elevation alone (no Earth shadow)");
        AddFormatOption(app, cmd->format);
        return [cmd] { return cmd->Run(); };
    });

}  // namespace
}  // namespace corvane::cli
