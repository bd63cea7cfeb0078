// corvane-cli elements --tle FILE: the entries of an element file as the loader counts them.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "core/Clock.h"
#include "orbit/ElementSet.h"
#include "scope/ToolOptions.h"

namespace corvane::cli {
namespace {

struct ElementsCommand {
    ObjectOptions object;
    FormatOptions format;

    int Run() {
        const OutputFormat fmt = ResolveFormat(format);
        const LoadResult loaded = LoadElementFileOrThrow(object.tle, false);
        const ElementCatalogue& c = *loaded.catalogue;
        // The age of each set now, as the window would use it.
        SystemClock clock;
        Site here;
        here.utcOffset = LocalUtcOffsetHours();
        const double now = UtcNow(clock, here);
        if (fmt == OutputFormat::kJson) {
            nlohmann::ordered_json objects = nlohmann::ordered_json::array();
            for (int i = 1; i <= c.Count(); ++i) {
                nlohmann::ordered_json j = {
                    {"index", i}, {"norad", CatalogueNumber(c, i)}, {"name", ObjectName(c, i)}};
                AddAgeKeys(j, EntryAgeDays(c, i, now));
                objects.push_back(std::move(j));
            }
            std::cout << nlohmann::ordered_json{{"count", c.Count()},
                                                {"objects_in_file",
                                                 std::max(loaded.objectsInFile, c.Count())},
                                                {"refused_records", loaded.unreadableRecords},
                                                {"objects", objects}}
                             .dump(2)
                      << "\n";
            return kExitOk;
        }
        std::string out;
        char buf[128];
        for (int i = 1; i <= c.Count(); ++i) {
            std::snprintf(buf, sizeof buf, "%5d %5lld ", i, CatalogueNumber(c, i));
            out += buf;
            out += ObjectName(c, i);
            out += '\n';
        }
        // The loader's status: "<n> total.", with what was left out or refused.
        out += loaded.status + "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        int stale = 0;
        for (int i = 1; i <= c.Count(); ++i) {
            const auto age = EntryAgeDays(c, i, now);
            if (age && IsStaleAge(*age)) ++stale;
        }
        WarnStaleCount(stale, c.Count());
        return kExitOk;
    }
};

const CommandRegistrar registrar("elements",
                                 "List the entries of an element file: index, catalogue number, name",
                                 [](CLI::App& app) -> CommandRunner {
                                     auto cmd = std::make_shared<ElementsCommand>();
                                     AddObjectOptions(app, cmd->object, false);
                                     AddFormatOption(app, cmd->format);
                                     return [cmd] { return cmd->Run(); };
                                 });

}  // namespace
}  // namespace corvane::cli
