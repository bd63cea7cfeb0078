#pragma once
// Observation reports: the records of "obslog.dat" chosen by a date range and optional criteria,
// sorted by two keys and written as tab-delimited lines (CR LF, no header). The log is only read.
// Pure functions; any thread.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

inline constexpr const char* kObsReportDefaultName = "ObsReport.txt";

// The "Sort by" entries, and their keys (the first three letters, upper-cased).
enum class ObsSortKey { kDate, kSatelliteName, kMaxElevation, kMinimumRange, kSiteName };
extern const char* const kObsSortEntries[5];  // "Date", "Satellite Name", ...
// The key of a list entry or of what a user typed ("date", "Max", "SITE NAME"): the first three
// letters, upper-cased. nullopt for anything else.
std::optional<ObsSortKey> ObsSortKeyOf(std::string_view text);

enum class ObsCompare {
    kGreaterThan,  // the value must be greater than the threshold
    kLessThan,     // the value must be less than or equal to the threshold
};
struct ObsThreshold {
    ObsCompare compare = ObsCompare::kGreaterThan;
    double value = 0.0;
};
// ">30" or "<30" (blanks allowed, "gt30"/"lt30" too); nullopt otherwise.
std::optional<ObsThreshold> ParseObsThreshold(std::string_view text);

struct ObsReportCriteria {
    long fromDate = 19960101;              // YYYYMMDD, inclusive
    long toDate = 19960101;                // YYYYMMDD, inclusive
    std::optional<long> satellite;         // catalogue number
    std::optional<std::string> siteName;   // compared with the record's site name, blanks removed
    std::optional<std::string> telescope;  // compared with the record's interface, blanks removed
    std::optional<ObsThreshold> maxElevation;
    std::optional<ObsThreshold> minRange;
    ObsSortKey primary = ObsSortKey::kDate;
    ObsSortKey secondary = ObsSortKey::kSatelliteName;
};

// Whether a record passes every active test (a deleted slot reads as date 0 and never does).
bool ObsRecordSelected(std::string_view record, const ObsReportCriteria& criteria);
// The report line of a record (without line end): 19 fields separated by tabs; the name, element
// file and telescope interface keep their width, the others lose their surrounding blanks.
std::string ObsReportLine(std::string_view record);
// The sort prefix of a record: primary key + secondary key.
std::string ObsSortKeyText(std::string_view record, ObsSortKey key);

// The whole report file: the selected records' lines sorted by key prefix and line text,
// each ended by CR LF. Empty when nothing is selected.
std::string BuildObsReport(const std::vector<std::string>& records, const ObsReportCriteria& criteria);

// The same report built record by record (a log read piece by piece): only the selected lines
// are held.
class ObsReportBuilder {
public:
    explicit ObsReportBuilder(const ObsReportCriteria& criteria) : criteria_(criteria) {}
    void Add(std::string_view record);
    std::string Finish();

private:
    ObsReportCriteria criteria_;
    std::vector<std::pair<std::string, std::string>> lines_;  // key prefix + line, line
};

// The distinct values the report window offers, in the order first met in the log: objects
// (six-character catalogue number followed by the name; at most 20000), site names (at most
// 100) and telescope interfaces (at most 20), blanks removed. Deleted slots are skipped.
struct ObsReportChoices {
    std::vector<std::string> satellites;
    std::vector<std::string> sites;
    std::vector<std::string> telescopes;
};
ObsReportChoices CollectObsReportChoices(const std::vector<std::string>& records);

// A YYYYMMDD date ("20170427", or "2017-04-27") as a number; nullopt for anything else or an
// impossible month or day.
std::optional<long> ParseObsDate(std::string_view text);

}  // namespace corvane
