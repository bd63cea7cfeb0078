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
    const SiteRecord& r = loaded.settings.CurrentSite();
    return ParseSite(r.latitude, r.longitude, r.altitude, r.utcOffset);
}

void AddSiteOption(CLI::App& app, SiteOptions& options) {
    app.add_option("--site", options.text,
                   "Observing site LAT,LON,ALT_M[,UTC_OFFSET] (degrees north, degrees east, metres, hours); "
                   "default: the current site of ConfigFile.ini in the working folder");
}

Site ResolveSite(const SiteOptions& options) {
    if (!options.text.empty()) {
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
    auto* at = app.add_option("--at", options.at, "Instant, ISO 8601 UTC such as 2017-04-28T03:15:00Z");
    auto* jd = app.add_option("--jd", options.jd, "Instant as a UTC Julian date");
    at->excludes(jd);
}

double ResolveInstant(const InstantOptions& options, const Site& site) {
    if (!options.at.empty()) {
        const auto jd = ParseInstant(options.at);
        if (!jd)
            throw UsageError("--at wants an ISO 8601 UTC time such as 2017-04-28T03:15:00Z, got \"" +
                             options.at + "\"");
        return *jd;
    }
    if (!options.jd.empty()) {
        const auto jd = StrictNumber(options.jd);
        if (!jd || *jd <= 0.0 || *jd >= 1.0e7)
            throw UsageError("--jd wants a Julian date, got \"" + options.jd + "\"");
        return *jd;
    }
    SystemClock clock;
    return UtcNow(clock, site);
}

void AddObjectOptions(CLI::App& app, ObjectOptions& options, bool needObject) {
    app.add_option("--tle", options.tle, "Element file (three-line form)")->required();
    if (!needObject) return;
    options.noradOption =
        app.add_option("--norad", options.norad, "Catalogue number (the first entry with it)");
    options.indexOption = app.add_option("--index", options.index, "Entry number in the file, from 1");
    options.noradOption->excludes(options.indexOption);
}

std::shared_ptr<const ElementCatalogue> LoadCatalogue(const std::string& path) {
    struct Failure : LoadObserver {
        std::string message;
        void OpenFailed(const std::string& m, const std::string&) override { message = m; }
    } observer;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw DataError("Could not open " + path + " (a folder)");
    LoadResult result = LoadElementFile(path, &observer);
    if (!result.opened)
        throw DataError(observer.message.empty() ? "Could not open " + path : observer.message);
    return result.catalogue;
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
    return static_cast<long long>(LeadingNumber(Trim(Column(catalogue.Line1(index), 3, 5))));
}

std::string ObjectName(const ElementCatalogue& catalogue, int index) {
    // Element files are Latin-1; what the commands print and the JSON they write are UTF-8.
    return Latin1ToUtf8(Trim(catalogue.NameLine(index)));
}

}  // namespace corvane::cli
