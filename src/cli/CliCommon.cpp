#include "cli/CliCommon.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "astro/Constants.h"
#include "cli/Command.h"
#include "core/Clock.h"
#include "core/Settings.h"
#include "core/Text.h"
#include "orbit/CatalogueNumber.h"
#include "orbit/ElementSet.h"

namespace corvane::cli {

namespace {

// A whole number or decimal, nothing else (blanks around it allowed).
std::optional<double> StrictNumber(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
    // Reject hexadecimal and "inf"/"nan" spellings strtod would take.
    for (char c : t) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' ||
              c == 'E')) {
            return std::nullopt;
        }
    }
    return v;
}

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, sep)) parts.push_back(part);
    if (!text.empty() && text.back() == sep) parts.emplace_back();
    return parts;
}

}  // namespace

std::optional<Site> ParseSiteText(const std::string& text) {
    const std::vector<std::string> parts = Split(text, ',');
    if (parts.size() < 3 || parts.size() > 4) return std::nullopt;
    double v[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < parts.size(); ++i) {
        const auto n = StrictNumber(parts[i]);
        if (!n) return std::nullopt;
        v[i] = *n;
    }
    if (v[0] < -90.0 || v[0] > 90.0 || v[1] < -360.0 || v[1] > 360.0 || v[3] < -14.0 || v[3] > 14.0 ||
        std::fabs(v[2]) > 1.0e5) {
        return std::nullopt;
    }
    Site s;
    s.latitude = v[0];
    s.longitude = v[1];
    s.altitude = v[2];
    s.utcOffset = v[3];
    return s;
}

std::optional<Site> SiteFromConfigFile(const std::string& path) {
    const LoadedSettings loaded = ReadSettingsFile(path);
    if (loaded.state == SettingsFileState::kMissing) return std::nullopt;
    // DEPARTURE: a settings file that cannot be read is an error, not a site at 0,0.
    if (loaded.state == SettingsFileState::kUnreadable)
        throw DataError(loaded.error + "; give the observing site with --site LAT,LON,ALT_M[,UTC_OFFSET]");
    const Settings& settings = loaded.settings;
    const SiteRecord& r = settings.CurrentSite();
    // DEPARTURE: a current site without a latitude and longitude in range is refused instead of
    // read as 0,0 (an empty or foreign file would otherwise put the observer in the Gulf of Guinea).
    const auto latitude = StrictNumber(r.latitude), longitude = StrictNumber(r.longitude);
    const Site site = ParseSite(r.latitude, r.longitude, r.altitude, r.utcOffset);
    const bool valid = latitude && longitude && std::fabs(*latitude) <= 90.0 &&
                       std::fabs(*longitude) <= 360.0 && std::fabs(site.altitude) <= 1.0e5 &&
                       std::fabs(site.utcOffset) <= 14.0;
    if (!valid) {
        throw UsageError(path + " has no valid current site (site " + std::to_string(settings.LastLocation) +
                         ": latitude \"" + r.latitude + "\", longitude \"" + r.longitude +
                         "\"); give --site LAT,LON,ALT_M[,UTC_OFFSET]");
    }
    return site;
}

void AddSiteOption(CLI::App& app, SiteOptions& options) {
    options.option = app.add_option(
        "--site", options.text,
        "Observing site LAT,LON,ALT_M[,UTC_OFFSET] (degrees north, degrees east, metres, hours); "
        "default: the current site of ConfigFile.ini in the working folder");
}

Site ResolveSite(const SiteOptions& options) {
    if (!options.text.empty() || (options.option != nullptr && options.option->count() > 0)) {
        const auto site = ParseSiteText(options.text);
        if (!site)
            throw UsageError("--site wants LAT,LON,ALT_M[,UTC_OFFSET] as numbers, got \"" + options.text +
                             "\"");
        return *site;
    }
    const auto site = SiteFromConfigFile(kConfigFileName);
    if (!site)
        throw UsageError(std::string("no --site given and no ") + kConfigFileName + " in the working folder");
    return *site;
}

std::optional<double> ParseInstant(const std::string& text) {
    if (auto iso = ParseIsoUtc(text)) return iso;
    const auto jd = StrictNumber(text);
    if (jd && *jd > 0.0 && *jd < 1.0e7) return jd;
    return std::nullopt;
}

void AddInstantOptions(CLI::App& app, InstantOptions& options) {
    options.atOption =
        app.add_option("--at", options.at, "Instant, ISO 8601 UTC such as 2017-04-28T03:15:00Z");
    options.jdOption = app.add_option("--jd", options.jd, "Instant as a UTC Julian date");
    options.atOption->excludes(options.jdOption);
}

std::optional<double> ResolveGivenInstant(const InstantOptions& options) {
    auto given = [](const CLI::Option* option, const std::string& text) {
        return !text.empty() || (option != nullptr && option->count() > 0);
    };
    if (given(options.atOption, options.at)) {
        const auto jd = ParseInstant(options.at);
        if (!jd)
            throw UsageError("--at wants an ISO 8601 UTC time such as 2017-04-28T03:15:00Z, got \"" +
                             options.at + "\"");
        return jd;
    }
    if (given(options.jdOption, options.jd)) {
        const auto jd = StrictNumber(options.jd);
        if (!jd || *jd <= 0.0 || *jd >= 1.0e7)
            throw UsageError("--jd wants a Julian date, got \"" + options.jd + "\"");
        return jd;
    }
    return std::nullopt;
}

double ResolveInstant(const InstantOptions& options, const Site& site) {
    if (const auto jd = ResolveGivenInstant(options)) return *jd;
    SystemClock clock;
    return UtcNow(clock, site);
}

void AddObjectOptions(CLI::App& app, ObjectOptions& options, bool needObject) {
    app.add_option("--tle", options.tle, "Element file (three-line form)")->required();
    if (!needObject) return;
    options.noradOption = AddNoradOption(app, "Catalogue number (the first entry with it)");
    options.noradOption->each([&options](const std::string& s) { options.norad = std::stoll(s); });
    options.indexOption = app.add_option("--index", options.index, "Entry number in the file, from 1");
    options.noradOption->excludes(options.indexOption);
}

LoadResult LoadElementFileOrThrow(const std::string& path, bool announceLimits) {
    struct Failure : LoadObserver {
        std::string message;
        void OpenFailed(const std::string& m, const std::string&) override { message = m; }
    } observer;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw DataError("Could not open " + path + " (a folder)");
    LoadResult result = LoadElementFile(path, &observer);
    if (!result.opened)
        throw DataError(observer.message.empty() ? "Could not open " + path : observer.message);
    if (result.noElementSets) throw DataError("No element sets found in " + path);
    // Objects beyond the capacity and records refused are said aloud, never left out silently.
    const size_t note = result.status.find(" total. ");
    if (announceLimits && note != std::string::npos)
        std::fprintf(stderr, "corvane-cli: %s: %s\n", path.c_str(), result.status.substr(note + 8).c_str());
    return result;
}

std::shared_ptr<const ElementCatalogue> LoadCatalogue(const std::string& path) {
    return LoadElementFileOrThrow(path, true).catalogue;
}

CLI::Option* AddNoradOption(CLI::App& app, const std::string& help, const std::string& name) {
    CLI::Option* option = app.add_option(name, help);
    option->type_name("NUMBER");
    option->transform(
        [name](std::string text) {
            const std::optional<long> n = ParseUserCatalogueNumber(text);
            if (!n)
                throw CLI::ValidationError(
                    name + " wants a catalogue number (digits or A0000..Z9999), got \"" + text + "\"");
            return std::to_string(*n);
        },
        "", "");
    return option;
}

SelectedObject SelectObject(const ObjectOptions& options) {
    const bool byNorad = options.noradOption && options.noradOption->count() > 0;
    const bool byIndex = options.indexOption && options.indexOption->count() > 0;
    if (!byNorad && !byIndex) throw UsageError("give the object with --norad N or --index I");
    SelectedObject selected;
    selected.catalogue = LoadCatalogue(options.tle);
    const ElementCatalogue& c = *selected.catalogue;
    if (c.Count() == 0) throw DataError("no objects in " + options.tle);
    if (byIndex) {
        if (options.index < 1 || options.index > c.Count()) {
            throw DataError("index " + std::to_string(options.index) + " is outside 1.." +
                            std::to_string(c.Count()) + " of " + options.tle);
        }
        selected.index = options.index;
    } else {
        selected.index = c.FindCatalogueNumber(static_cast<long>(options.norad));
        if (selected.index == 0 && c.LeftOut(static_cast<long>(options.norad)))
            throw DataError("object " + std::to_string(options.norad) + " is in " + options.tle +
                            " but was not kept: the catalogue holds the first " + std::to_string(c.Count()) +
                            " of its " + std::to_string(c.Count() + c.LeftOutCount()) + " objects");
        if (selected.index == 0)
            throw DataError("no object " + std::to_string(options.norad) + " in " + options.tle);
    }
    return selected;
}

void AddFormatOption(CLI::App& app, FormatOptions& options) {
    app.add_option("--format", options.text, "Output format: text or json")->capture_default_str();
}

OutputFormat ResolveFormat(const FormatOptions& options) {
    const std::string f = ToUpper(Trim(options.text));
    if (f == "TEXT") return OutputFormat::kText;
    if (f == "JSON") return OutputFormat::kJson;
    throw UsageError("--format wants text or json, got \"" + options.text + "\"");
}

long long CatalogueNumber(const ElementCatalogue& catalogue, int index) {
    const CatalogueEntry* entry = catalogue.Entry(index);
    if (entry && entry->number > 0) return entry->number;
    return static_cast<long long>(LeadingNumber(Trim(Column(catalogue.Line1(index), 3, 5))));
}

std::string ObjectName(const ElementCatalogue& catalogue, int index) {
    // Element files are Latin-1; what the commands print and the JSON they write are UTF-8.
    return Latin1ToUtf8Printable(Trim(catalogue.NameLine(index)));
}

std::optional<double> EntryAgeDays(const ElementCatalogue& catalogue, int index, double jd) {
    const ElementSet e = ConvertElementText("", catalogue.Line1(index), catalogue.Line2(index));
    if (e.epochJd == 0.0) return std::nullopt;
    return ElementAgeDays(e, jd);
}

void AddAgeKeys(nlohmann::ordered_json& object, std::optional<double> ageDays) {
    if (ageDays) {
        object["epoch_age_days"] = RoundTo(*ageDays, 6);
    } else {
        object["epoch_age_days"] = nullptr;
    }
    object["stale"] = ageDays && IsStaleAge(*ageDays);
}

void WarnIfStale(const std::string& label, std::optional<double> ageDays) {
    if (ageDays && IsStaleAge(*ageDays))
        std::fprintf(stderr, "corvane-cli: %s: %s\n", label.c_str(), ElementAgeNote(*ageDays).c_str());
}

void WarnStaleCount(int stale, int count) {
    if (stale > 0)
        std::fprintf(stderr, "corvane-cli: %d of %d element sets are more than %d days old\n", stale, count,
                     static_cast<int>(kStaleElementDays));
}

}  // namespace corvane::cli
