#include "obslog/ObsReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_set>
#include <utility>

#include "core/Text.h"
#include "obslog/ObsLog.h"

namespace corvane {

const char* const kObsSortEntries[5] = {"Date", "Satellite Name", "Max. Elevation", "Minimum Range",
                                        "Site Name"};

std::optional<ObsSortKey> ObsSortKeyOf(std::string_view text) {
    const std::string key = ToUpper(Trim(text)).substr(0, 3);
    if (key == "DAT") return ObsSortKey::kDate;
    if (key == "SAT") return ObsSortKey::kSatelliteName;
    if (key == "MAX") return ObsSortKey::kMaxElevation;
    if (key == "MIN") return ObsSortKey::kMinimumRange;
    if (key == "SIT") return ObsSortKey::kSiteName;
    return std::nullopt;
}

std::optional<ObsThreshold> ParseObsThreshold(std::string_view text) {
    std::string t = ToUpper(Trim(text));
    ObsThreshold th;
    if (t.rfind(">", 0) == 0 || t.rfind("GT", 0) == 0) {
        th.compare = ObsCompare::kGreaterThan;
    } else if (t.rfind("<", 0) == 0 || t.rfind("LT", 0) == 0) {
        th.compare = ObsCompare::kLessThan;
    } else {
        return std::nullopt;
    }
    t = Trim(std::string_view(t).substr(t[0] == '>' || t[0] == '<' ? 1 : 2));
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
    th.value = v;
    return th;
}

std::optional<long> ParseObsDate(std::string_view text) {
    std::string t = Trim(text);
    if (t.size() == 10 && t[4] == '-' && t[7] == '-') t = t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2);
    if (t.size() != 8 || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const long v = std::stol(t);
    const long month = v / 100 % 100, day = v % 100;
    if (v / 10000 < 1 || month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    return v;
}

namespace {
bool Passes(double value, const ObsThreshold& t) {
    return t.compare == ObsCompare::kGreaterThan ? value > t.value : value <= t.value;
}

double FieldNumber(std::string_view record, ObsField f) { return LeadingNumber(ObsFieldText(record, f)); }

std::string Raw(std::string_view record, ObsField f) {
    std::string s(record.substr(std::min(record.size(), kObsLayout[f].offset), kObsLayout[f].width));
    s.resize(kObsLayout[f].width, ' ');
    return s;
}

// Whole value of a numeric field, zero-filled to `digits` ("9" -> "09").
std::string ZeroFilled(double value, int digits) {
    const double v = std::clamp(std::trunc(value), -9999999.0, 99999999.0);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", digits, static_cast<long long>(v));
    return buf;
}
}  // namespace

bool ObsRecordSelected(std::string_view record, const ObsReportCriteria& c) {
    // A deleted slot is never part of a report, whatever the range.
    if (IsBlankObsRecord(record)) return false;
    // A date field that is not a number (a deleted slot, damage) reads as 0.
    const long date = static_cast<long>(std::clamp(FieldNumber(record, kObsDate), -1.0, 1e9));
    if (date < c.fromDate || date > c.toDate) return false;
    if (c.satellite && ObsRecordNumber(record) != *c.satellite) return false;
    if (c.siteName && ObsFieldText(record, kObsSiteName) != *c.siteName) return false;
    if (c.telescope && ObsFieldText(record, kObsTelescope) != *c.telescope) return false;
    if (c.maxElevation && !Passes(FieldNumber(record, kObsMaxElevation), *c.maxElevation)) return false;
    if (c.minRange && !Passes(FieldNumber(record, kObsMinRange), *c.minRange)) return false;
    return true;
}

std::string ObsReportLine(std::string_view record) {
    std::string line;
    for (int f = kObsNorad; f <= kObsVersion; ++f) {
        const auto field = static_cast<ObsField>(f);
        if (f != kObsNorad) line += '\t';
        const size_t from = line.size();
        if (field == kObsName || field == kObsTleFile || field == kObsTelescope) {
            line += Raw(record, field);
        } else {
            line += ObsFieldText(record, field);
        }
        // DEPARTURE: a tab or line break inside a field (a name from an element file) becomes a
        // blank, so it cannot add a field or split the line of a tab-delimited file.
        for (size_t i = from; i < line.size(); ++i)
            if (line[i] == '\t' || line[i] == '\r' || line[i] == '\n') line[i] = ' ';
    }
    return line;
}

std::string ObsSortKeyText(std::string_view record, ObsSortKey key) {
    switch (key) {
        case ObsSortKey::kDate:
            return Raw(record, kObsDate) + Raw(record, kObsTime);
        case ObsSortKey::kSatelliteName:
            return Raw(record, kObsName);
        case ObsSortKey::kMaxElevation:
            return ZeroFilled(FieldNumber(record, kObsMaxElevation), 2);
        case ObsSortKey::kMinimumRange:
            return ZeroFilled(FieldNumber(record, kObsMinRange), 7);
        case ObsSortKey::kSiteName:
            return Raw(record, kObsSiteName);
    }
    return {};
}

void ObsReportBuilder::Add(std::string_view record) {
    if (!ObsRecordSelected(record, criteria_)) return;
    std::string line = ObsReportLine(record);
    std::string sortText =
        ObsSortKeyText(record, criteria_.primary) + ObsSortKeyText(record, criteria_.secondary) + line;
    lines_.emplace_back(std::move(sortText), std::move(line));
}

std::string ObsReportBuilder::Finish() {
    std::stable_sort(lines_.begin(), lines_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string out;
    for (const auto& [key, line] : lines_) {
        out += line;
        out += "\r\n";
    }
    lines_.clear();
    return out;
}

std::string BuildObsReport(const std::vector<std::string>& records, const ObsReportCriteria& criteria) {
    ObsReportBuilder builder(criteria);
    for (const std::string& r : records) builder.Add(r);
    return builder.Finish();
}

ObsReportChoices CollectObsReportChoices(const std::vector<std::string>& records) {
    ObsReportChoices c;
    std::unordered_set<long> numbers;
    std::unordered_set<std::string> sites, telescopes;
    for (const std::string& r : records) {
        if (IsBlankObsRecord(r)) continue;
        const long n = ObsRecordNumber(r);
        if (c.satellites.size() < 20000 && numbers.insert(n).second)
            c.satellites.push_back(TrimRight(Raw(r, kObsNorad) + Raw(r, kObsName)));
        std::string site = ObsFieldText(r, kObsSiteName);
        if (!site.empty() && c.sites.size() < 100 && sites.insert(site).second)
            c.sites.push_back(std::move(site));
        std::string scope = ObsFieldText(r, kObsTelescope);
        if (!scope.empty() && c.telescopes.size() < 20 && telescopes.insert(scope).second)
            c.telescopes.push_back(std::move(scope));
    }
    return c;
}

}  // namespace corvane
