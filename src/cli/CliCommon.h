#pragma once
// What the corvane-cli commands share: the observing site, instants, the choice of an object in
// an element file, and the output format. Each Add* function declares the options on a
// subcommand; the matching Resolve*/Select* function turns what was given into values and
// throws UsageError or DataError (see Command.h) with a one-line message.
#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <string>

#include "astro/Time.h"
#include "orbit/ElementCatalogue.h"

namespace corvane::cli {

// --site LAT,LON,ALT_M[,UTC_OFFSET]: degrees north, degrees east, metres, hours. Without it,
// the current site of "ConfigFile.ini" in the working folder.
struct SiteOptions {
    std::string text;
};
void AddSiteOption(CLI::App& app, SiteOptions& options);
Site ResolveSite(const SiteOptions& options);
// The site from the option text; nullopt when it is not four or three numbers.
std::optional<Site> ParseSiteText(const std::string& text);
// The current site of a settings file; nullopt when the file does not exist. Throws DataError
// when the file is there but cannot be read.
std::optional<Site> SiteFromConfigFile(const std::string& path);

// An instant as text: ISO 8601 UTC (see ParseIsoUtc) or a plain Julian date.
std::optional<double> ParseInstant(const std::string& text);

// --at T or --jd JD; neither gives the present moment of the system clock at the site.
struct InstantOptions {
    std::string at;
    std::string jd;
};
void AddInstantOptions(CLI::App& app, InstantOptions& options);
double ResolveInstant(const InstantOptions& options, const Site& site);

// --tle FILE with --norad N (the first entry with that catalogue number) or --index I.
struct ObjectOptions {
    std::string tle;
    long long norad = -1;
    int index = 0;
    CLI::Option* noradOption = nullptr;
    CLI::Option* indexOption = nullptr;
};
void AddObjectOptions(CLI::App& app, ObjectOptions& options, bool needObject = true);
// Loads the element file (DataError when it cannot be opened).
std::shared_ptr<const ElementCatalogue> LoadCatalogue(const std::string& path);
struct SelectedObject {
    std::shared_ptr<const ElementCatalogue> catalogue;
    int index = 0;
};
SelectedObject SelectObject(const ObjectOptions& options);

// --format text|json.
enum class OutputFormat { kText, kJson };
struct FormatOptions {
    std::string text = "text";
};
void AddFormatOption(CLI::App& app, FormatOptions& options);
OutputFormat ResolveFormat(const FormatOptions& options);

// Catalogue number and trimmed name of an entry, for messages and output.
long long CatalogueNumber(const ElementCatalogue& catalogue, int index);
std::string ObjectName(const ElementCatalogue& catalogue, int index);

}  // namespace corvane::cli
