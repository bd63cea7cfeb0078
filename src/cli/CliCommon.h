#pragma once
// What the corvane-cli commands share: the observing site, instants, the choice of an object in
// an element file, and the output format. Each Add* function declares the options on a
// subcommand; the matching Resolve*/Select* function turns what was given into values and
// throws UsageError or DataError (see Command.h) with a one-line message.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "astro/Time.h"
#include "orbit/ElementCatalogue.h"

namespace corvane::cli {

// --site LAT,LON,ALT_M[,UTC_OFFSET]: degrees north, degrees east, metres, hours. Without it,
// the current site of "ConfigFile.ini" in the working folder.
struct SiteOptions {
    std::string text;
    CLI::Option* option = nullptr;
};
void AddSiteOption(CLI::App& app, SiteOptions& options);
Site ResolveSite(const SiteOptions& options);
// The site from the option text; nullopt when it is not four or three numbers.
std::optional<Site> ParseSiteText(const std::string& text);
// The current site of a settings file; nullopt when the file does not exist. Throws DataError
// when the file is there but cannot be read. A current site whose latitude or longitude is not a
// number in range (an empty or foreign file) is a UsageError, as the same text given to --site
// would be.
std::optional<Site> SiteFromConfigFile(const std::string& path);

// An instant as text: ISO 8601 UTC (see ParseIsoUtc) or a plain Julian date.
std::optional<double> ParseInstant(const std::string& text);

// --at T or --jd JD; neither gives the present moment of the system clock at the site.
struct InstantOptions {
    std::string at;
    std::string jd;
    CLI::Option* atOption = nullptr;
    CLI::Option* jdOption = nullptr;
};
void AddInstantOptions(CLI::App& app, InstantOptions& options);
// The instant given with --at or --jd (an empty text is wrong too); nullopt when neither was
// given. Resolve it before the site, so that a wrong instant is reported as such.
std::optional<double> ResolveGivenInstant(const InstantOptions& options);
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
// A --norad option that takes the number in digits or in the Alpha-5 form ("A0000", "a0000").
CLI::Option* AddNoradOption(CLI::App& app, const std::string& help, const std::string& name = "--norad");
// Loads the element file (DataError when it cannot be opened or holds no element set). Objects
// left out beyond the capacity and records refused are said on standard error
// ("Kept 100000 of 150000 objects.") unless announceLimits is false.
LoadResult LoadElementFileOrThrow(const std::string& path, bool announceLimits);
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

// Catalogue number and trimmed name of an entry, for messages and output (UTF-8, control
// characters replaced).
long long CatalogueNumber(const ElementCatalogue& catalogue, int index);
std::string ObjectName(const ElementCatalogue& catalogue, int index);

// The age of an entry's elements at jd ("T+Epoch", days); nullopt without an epoch day.
std::optional<double> EntryAgeDays(const ElementCatalogue& catalogue, int index, double jd);
// Adds "epoch_age_days" (null without an epoch day) and "stale" to a JSON object.
void AddAgeKeys(nlohmann::ordered_json& object, std::optional<double> ageDays);
// Prints "corvane-cli: <label>: Elements are N days old" on standard error for a stale age.
void WarnIfStale(const std::string& label, std::optional<double> ageDays);
// One line on standard error when some of many element sets are stale at their instants:
// "<n> of <count> element sets are more than 30 days old".
void WarnStaleCount(int stale, int count);

}  // namespace corvane::cli
