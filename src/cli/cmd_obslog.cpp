// corvane-cli obslog: the observation log "obslog.dat" without a window. "list" prints its
// records; "report" writes the tab-delimited report of the "Observation Reports " window, the
// same selection and the same bytes. The log is only read.
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "core/AtomicFile.h"
#include "core/Text.h"
#include "obslog/ObsLog.h"
#include "obslog/ObsReport.h"

namespace corvane::cli {
namespace {

// Hands every record of the log to visit, read piece by piece (a log of any length costs
// little memory). A log that is not there is a data error: a mistyped --log is not an empty log.
void ReadLog(const std::string& path, const std::function<void(long, std::string_view)>& visit) {
    std::string error;
    size_t tailBytes = 0;
    switch (ObsLogFile(path).ForEachRecord(visit, &tailBytes, &error)) {
        case FileRead::kMissing:
            throw DataError("no observation log " + path);
        case FileRead::kUnreadable:
            throw DataError(error);
        case FileRead::kRead:
            break;
    }
    if (tailBytes != 0)
        std::cerr << "corvane-cli: " << path << ": the last " << tailBytes
                  << " bytes are not a whole record and were not read\n";
}

const char* StatusOf(std::string_view record) {
    if (IsBlankObsRecord(record)) return "deleted";
    return IsReadableObsRecord(record) ? "ok" : "damaged";
}

// JSON keys of the fields, in record order.
const char* const kJsonKeys[kObsFieldCount] = {
    "norad",          "name",          "date",      "time",          "site_name", "site_latitude",
    "site_longitude", "site_altitude", "tle_file",  "t_epoch",       "aos",       "los",
    "duration",       "max_elevation", "min_range", "timing_offset", "alignment", "telescope",
    "version",        "remarks"};

std::string Shown(std::string_view latin1) { return Latin1ToUtf8Printable(latin1); }

struct ListCommand {
    std::string log = kObslogFileName;
    long long norad = -1;
    CLI::Option* noradOption = nullptr;
    FormatOptions format;

    int Run() {
        const OutputFormat fmt = ResolveFormat(format);
        if (noradOption->count() > 0 && (norad < 1 || norad > 999999))
            throw UsageError("--norad wants a catalogue number from 1 to 999999");
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        ReadLog(log, [&](long number, std::string_view r) {
            if (noradOption->count() > 0 && ObsRecordNumber(r) != norad) return;
            const char* status = StatusOf(r);
            if (fmt == OutputFormat::kJson) {
                nlohmann::ordered_json o{{"record", number}, {"status", status}};
                for (size_t f = 0; f < kObsFieldCount; ++f)
                    o[kJsonKeys[f]] = Shown(ObsFieldText(r, static_cast<ObsField>(f)));
                if (std::string(status) == "damaged") o["raw"] = RawObsRecordText(r);
                list.push_back(std::move(o));
                return;
            }
            // record, status, number, name, date, time, site, AOS, LOS, maximum elevation,
            // minimum range, telescope, remarks: tab-separated.
            std::cout << number << '\t' << status;
            if (std::string(status) != "deleted") {
                for (ObsField f : {kObsNorad, kObsName, kObsDate, kObsTime, kObsSiteName, kObsAos, kObsLos,
                                   kObsMaxElevation, kObsMinRange, kObsTelescope, kObsRemarks})
                    std::cout << '\t' << Shown(ObsFieldText(r, f));
            }
            std::cout << '\n';
        });
        if (fmt == OutputFormat::kJson) std::cout << list.dump(2) << "\n";
        std::cout.flush();
        if (!std::cout) throw DataError("the output could not be written");
        return kExitOk;
    }
};

struct ReportCommand {
    std::string log = kObslogFileName;
    std::string from, to, site, telescope, maxElevation, minRange, sort, output;
    long long satellite = -1;
    CLI::Option *satelliteOption = nullptr, *siteOption = nullptr, *telescopeOption = nullptr;
    CLI::Option *maxElevationOption = nullptr, *minRangeOption = nullptr, *sortOption = nullptr;

    static long Date(const std::string& text, const char* option) {
        const auto d = ParseObsDate(text);
        if (!d) throw UsageError(std::string(option) + " wants a date YYYYMMDD, got \"" + text + "\"");
        return *d;
    }
    static ObsThreshold Threshold(const std::string& text, const char* option) {
        const auto t = ParseObsThreshold(text);
        if (!t) throw UsageError(std::string(option) + " wants >N or <N, got \"" + text + "\"");
        return *t;
    }

    int Run() {
        ObsReportCriteria c;
        c.fromDate = Date(from, "--from");
        c.toDate = Date(to, "--to");
        if (satelliteOption->count() > 0) {
            if (satellite < 1 || satellite > 999999)
                throw UsageError("--satellite wants a catalogue number from 1 to 999999");
            c.satellite = static_cast<long>(satellite);
        }
        if (siteOption->count() > 0) c.siteName = Trim(site);
        if (telescopeOption->count() > 0) c.telescope = Trim(telescope);
        if (maxElevationOption->count() > 0) c.maxElevation = Threshold(maxElevation, "--max-elevation");
        if (minRangeOption->count() > 0) c.minRange = Threshold(minRange, "--min-range");
        if (sortOption->count() > 0) {
            const size_t comma = sort.find(',');
            const std::string first = sort.substr(0, comma);
            const auto primary = ObsSortKeyOf(first);
            if (!primary)
                throw UsageError("--sort wants date, satellite, max, min or site, got \"" + first + "\"");
            c.primary = *primary;
            if (comma != std::string::npos) {
                const std::string second = sort.substr(comma + 1);
                const auto secondary = ObsSortKeyOf(second);
                if (!secondary)
                    throw UsageError("--sort wants date, satellite, max, min or site, got \"" + second +
                                     "\"");
                c.secondary = *secondary;
            }
        }
        ObsReportBuilder builder(c);
        ReadLog(log, [&builder](long, std::string_view r) { builder.Add(r); });
        const std::string report = builder.Finish();
        std::string error;
        if (!WriteFileAtomically(output, report, &error)) throw DataError(error);
        return kExitOk;
    }
};

const CommandRegistrar registrar(
    "obslog", "The observation log obslog.dat: list its records, or write a tab-delimited report",
    [](CLI::App& app) -> CommandRunner {
        app.require_subcommand(1, 1);
        auto list = std::make_shared<ListCommand>();
        CLI::App* listApp = app.add_subcommand("list", "One line per record (record number, status, fields)");
        listApp->add_option("--log", list->log, "The log file")->capture_default_str();
        list->noradOption = AddNoradOption(*listApp, "Only the records of this catalogue number");
        list->noradOption->each([list](const std::string& s) { list->norad = std::stoll(s); });
        AddFormatOption(*listApp, list->format);

        auto report = std::make_shared<ReportCommand>();
        CLI::App* reportApp = app.add_subcommand("report",
                                                 "The records of a date range and criteria, sorted, as the "
                                                 "Observation Reports window writes them");
        reportApp->add_option("--log", report->log, "The log file")->capture_default_str();
        reportApp->add_option("--from", report->from, "First date, YYYYMMDD")->required();
        reportApp->add_option("--to", report->to, "Last date, YYYYMMDD")->required();
        report->satelliteOption =
            AddNoradOption(*reportApp, "Catalogue number (digits or A0000..Z9999)", "--satellite");
        report->satelliteOption->each([report](const std::string& s) { report->satellite = std::stoll(s); });
        report->siteOption = reportApp->add_option("--site", report->site, "Site name");
        report->telescopeOption =
            reportApp->add_option("--telescope", report->telescope, "Telescope interface name");
        report->maxElevationOption =
            reportApp->add_option("--max-elevation", report->maxElevation,
                                  "Maximum elevation >N (greater than) or <N (at most), degrees");
        report->minRangeOption = reportApp->add_option("--min-range", report->minRange,
                                                       "Minimum range >N (greater than) or <N (at most), km");
        report->sortOption = reportApp->add_option(
            "--sort", report->sort, "KEY[,KEY]: date, satellite, max (elevation), min (range), site");
        reportApp->add_option("-o,--output", report->output, "The report file")->required();

        return [list, report, listApp, reportApp]() -> int {
            if (listApp->parsed()) return list->Run();
            if (reportApp->parsed()) return report->Run();
            throw UsageError("obslog wants list or report");
        };
    });

}  // namespace
}  // namespace corvane::cli
