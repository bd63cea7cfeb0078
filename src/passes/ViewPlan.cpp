#include "passes/ViewPlan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/AtomicFile.h"
#include "core/Text.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/ElementSet.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"

namespace corvane {

namespace {

// Julian dates of 1 January of year 1 and of year 10000: the date texts stay four digits.
constexpr double kFirstValidJd = 1721423.5;
constexpr double kLastValidJd = 5373484.5;

bool ValidJulianDate(double jd) { return std::isfinite(jd) && jd >= kFirstValidJd && jd < kLastValidJd; }

// A local Julian date to the nearest whole second, as base (a whole day at midnight) plus
// seconds, so that midnight comes out exact and the date text cannot fall back a day.
double ToWholeSecond(double jd) {
    if (!ValidJulianDate(jd)) return jd;
    const double midnight = std::floor(jd - 0.5) + 0.5;
    const double seconds = std::round((jd - midnight) * 86400.0);
    return midnight + seconds / 86400.0;
}

std::string Padded(std::string_view text, size_t width) {
    std::string out(text.substr(0, std::min(text.size(), width)));
    out.resize(width, ' ');
    return out;
}

std::string First(std::string_view text, size_t n) {
    return std::string(text.substr(0, std::min(n, text.size())));
}
std::string Last(std::string_view text, size_t n) {
    return std::string(text.size() > n ? text.substr(text.size() - n) : text);
}

std::string DateText(double localJd) { return CalendarDateText(localJd); }
std::string TimeText(double localJd) { return TimeOfDayText(localJd, true, 0); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Records

ViewPlanEntry ViewPlanEntry::FromRecord(std::string_view bytes) {
    ViewPlanEntry e;
    e.record_ = Padded(bytes, kViewPlanRecordSize);
    return e;
}

double ViewPlanEntry::AosValue() const { return LeadingNumber(AosField()); }
double ViewPlanEntry::LosValue() const { return LeadingNumber(LosField()); }

bool ViewPlanEntry::HasValidTimes() const {
    return ValidJulianDate(AosValue()) && ValidJulianDate(LosValue());
}

// DEPARTURE: stored times are read back to the whole second; the 8 decimals of the record are up
// to 0.4 ms off, and the truncating time text would then show the second before.
double ViewPlanEntry::AosLocal() const { return ToWholeSecond(AosValue()); }
double ViewPlanEntry::LosLocal() const { return ToWholeSecond(LosValue()); }

void ViewPlanEntry::SetField(size_t offset, size_t width, std::string_view text) {
    record_.replace(offset, width, Padded(text, width));
}

void ViewPlanEntry::SetAos(double localJd) { SetField(0, 16, PlanJulianText(localJd)); }
void ViewPlanEntry::SetLos(double localJd) { SetField(16, 16, PlanJulianText(localJd)); }
void ViewPlanEntry::MarkRemoved() { SetField(16, 16, "-1"); }

std::string PlanJulianText(double jd) {
    if (!std::isfinite(jd)) jd = 0.0;
    char buf[64];
    const auto shortest = std::to_chars(buf, buf + sizeof buf, jd);
    if (shortest.ptr - buf <= 16) return std::string(buf, shortest.ptr);
    for (int precision = 16; precision > 0; --precision) {
        const int n = std::snprintf(buf, sizeof buf, "%.*g", precision, jd);
        if (n > 0 && n <= 16) return std::string(buf, static_cast<size_t>(n));
    }
    return "0";
}

// ---------------------------------------------------------------------------------------------
// The file

bool LoadViewPlan(ViewPlan& plan, const std::string& path, std::string* error) {
    plan.entries.clear();
    if (!FileExists(path)) {
        WriteFileAtomically(path, "");
        return true;
    }
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    const size_t records = std::min(bytes.size() / kViewPlanRecordSize, kViewPlanCapacity);
    plan.entries.reserve(records);
    for (size_t i = 0; i < records; ++i) {
        plan.entries.push_back(ViewPlanEntry::FromRecord(
            std::string_view(bytes).substr(i * kViewPlanRecordSize, kViewPlanRecordSize)));
    }
    return true;
}

void PurgeViewPlan(ViewPlan& plan, double nowLocal) {
    std::vector<ViewPlanEntry> kept;
    kept.reserve(plan.entries.size());
    for (ViewPlanEntry& e : plan.entries) {
        // DEPARTURE: a record whose AOS or LOS is not a date (a damaged file) goes as well; it
        // could never pass and its texts could not be shown.
        if (e.LosValue() > nowLocal && e.HasValidTimes()) kept.push_back(std::move(e));
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const ViewPlanEntry& a, const ViewPlanEntry& b) { return a.Record() < b.Record(); });
    plan.entries = std::move(kept);
}

bool SaveViewPlan(ViewPlan& plan, const std::string& path, double nowLocal, std::string* error) {
    PurgeViewPlan(plan, nowLocal);
    std::string bytes;
    bytes.reserve(plan.entries.size() * kViewPlanRecordSize);
    for (const ViewPlanEntry& e : plan.entries) bytes += e.Record();
    if (!WriteFileAtomically(path, bytes, error)) return false;
    ViewPlan reloaded;
    if (!LoadViewPlan(reloaded, path, error)) return false;
    plan = std::move(reloaded);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Adding

std::optional<ViewPlanEntry> EntryFromPassLine(std::string_view line, std::string_view name,
                                               std::string_view norad) {
    if (line.size() < 84) return std::nullopt;
    const std::optional<double> aos = ParseDateTimeText(line.substr(0, 21));
    const std::optional<double> los = ParseDateTimeText(line.substr(28, 21));
    if (!aos || !los) return std::nullopt;
    ViewPlanEntry e;
    e.SetAos(*aos);
    e.SetLos(*los);
    e.SetField(32, 8, line.substr(57, 8));
    e.SetField(40, 15, line.substr(69, 15));
    e.SetField(55, 25, name);
    e.SetField(80, 10, norad);
    e.SetField(90, 2, line.substr(22, 2));
    e.SetField(92, 2, line.substr(50, 2));
    return e;
}

bool AddToViewPlan(ViewPlan& plan, std::string_view line, std::string_view name, std::string_view norad,
                   double nowLocal, size_t capacity) {
    if (plan.entries.size() >= capacity) return false;
    std::optional<ViewPlanEntry> entry = EntryFromPassLine(line, name, norad);
    if (!entry) return false;
    plan.entries.push_back(std::move(*entry));
    PurgeViewPlan(plan, nowLocal);
    return true;
}

bool AddBatchLine(ViewPlan& plan, std::string_view batchLine, double nowLocal) {
    if (batchLine.size() < 92) return false;
    const std::string norad = Column(batchLine, 88, 5);
    const std::string name = Column(batchLine, 96, 24);
    return AddToViewPlan(plan, batchLine, name, norad, nowLocal, kBatchViewPlanCapacity);
}

int FindObjectByNorad(const ElementCatalogue& catalogue, std::string_view norad) {
    const std::string text = Trim(norad);
    if (text.empty()) return 0;
    const double number = LeadingNumber(text);
    if (!(number > 0.0) || number != std::trunc(number) || number > 1.0e9) return 0;
    return catalogue.FindCatalogueNumber(static_cast<long>(number));
}

// ---------------------------------------------------------------------------------------------
// Lists

namespace {

bool Elevation(PropagationSlot& slot, GeodeticPoint& point, double t, double& azimuth, double& elevation) {
    PropagationResult state = PropagateSlot(t, slot);
    if (!state.Ok()) return false;
    ConvertState(state);
    const LookAngles look = ComputeLookAngles(state.position, state.velocity, point, t, slot);
    if (!std::isfinite(look.azimuth) || !std::isfinite(look.elevation)) return false;
    azimuth = Degrees(look.azimuth);
    elevation = Degrees(look.elevation);
    return true;
}

const char* const kNotUpText = "- -\t  - -   -";

}  // namespace

std::optional<std::string> PlanPositionText(const ElementCatalogue& catalogue, const ViewPlanEntry& entry,
                                            PropagationSlot& slot, const Site& site, double nowUtc) {
    const int index = FindObjectByNorad(catalogue, entry.Norad());
    if (index == 0 || !ConvertElementSet(catalogue, index, slot)) return std::nullopt;
    GeodeticPoint point = SitePoint(site);
    double az = 0.0, el = 0.0, az2 = 0.0, el2 = 0.0;
    if (!Elevation(slot, point, nowUtc, az, el) ||
        !Elevation(slot, point, nowUtc + 1.0 / 86400.0, az2, el2)) {
        return std::nullopt;
    }
    std::string text = CompassText(az, false);
    text += "\t  ";
    const long long degrees = static_cast<long long>(std::round(el));
    // DEPARTURE: -10° and lower keep their sign; the last two characters alone would show -12° as
    // 12° (an object below the horizon, e.g. after a change of site).
    text += degrees <= -10 ? std::to_string(degrees) : Last("00" + std::to_string(degrees), 2);
    text += kDegreeSign;
    text += el < el2 ? " A" : " D";
    return text;
}

std::string ViewPlanWindowHeader() {
    return "    AOS" + std::string(45, ' ') + "LOS" + std::string(20, ' ') +
           "Duration   Max. Elevation    NORAD Visible" + std::string(12, ' ') + "Object Name";
}

std::vector<std::string> ViewPlanWindowLines(const ViewPlan& plan, const ElementCatalogue& catalogue,
                                             PropagationSlot& slot, const Site& site, double nowLocal) {
    std::vector<std::string> lines;
    lines.reserve(plan.entries.size());
    const double nowUtc = nowLocal - site.utcOffset / 24.0;
    for (const ViewPlanEntry& e : plan.entries) {
        std::string position = kNotUpText;
        if (e.AosValue() < nowLocal) {
            if (auto text = PlanPositionText(catalogue, e, slot, site, nowUtc)) position = *text;
        }
        const double aos = e.AosLocal(), los = e.LosLocal();
        const std::string date = DateText(aos);
        std::string line = First(date, 3) + "\t" + Last(date, 8) + " " + TimeText(aos) + " " +
                           e.AosDirection() + "\t" + "  to " + " " + TimeText(los) + " " + e.LosDirection() +
                           "\t" + "  " + e.Duration() + "   " + e.MaxElevation() + "   " +
                           First(e.Norad(), 8) + " " + position + " " + "\t" + e.Name();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<MainPlanLine> MainViewPlanLines(const ViewPlan& plan, const ElementCatalogue& catalogue,
                                            PropagationSlot& slot, const Site& site, double nowLocal) {
    std::vector<MainPlanLine> lines;
    const double nowUtc = nowLocal - site.utcOffset / 24.0;
    for (size_t i = 0; i < plan.entries.size(); ++i) {
        const ViewPlanEntry& e = plan.entries[i];
        if (!(e.AosValue() < nowLocal)) break;
        const std::optional<std::string> position = PlanPositionText(catalogue, e, slot, site, nowUtc);
        MainPlanLine line;
        line.text =
            (position ? *position : std::string(16, ' ')) + " " + e.Name() + "   " + First(e.Norad(), 8);
        line.entry = i;
        lines.push_back(std::move(line));
    }
    return lines;
}

// ---------------------------------------------------------------------------------------------
// Text file and print

std::string PlanTleLine(const PlanHeader& header) {
    return "TLE File: " + TrimRight(header.tleFile) +
           ConditionLabel(header.aosElevation, header.ignoreEclipse, ConditionLabelForm::kPlanFile);
}

std::string PlanTextFile(const ViewPlan& plan, const PlanHeader& header) {
    const std::string crlf = "\r\n";
    std::string out;
    out += kPlanTitle + crlf;
    out += LocationLine(header.site) + crlf;
    out += PlanTleLine(header) + crlf;
    out += crlf;
    out += "AOS\t\t\t\t\tLOS\t\t\tDuration\tMax. Elevation\t\tNORAD\t\tObject NAME" + crlf;
    out += crlf;
    for (const ViewPlanEntry& e : plan.entries) {
        const double aos = e.AosLocal(), los = e.LosLocal();
        const std::string date = DateText(aos);
        const std::string maxElevation = e.MaxElevation();
        out += First(date, 3) + Last(date, 8) + "\t" + TimeText(aos) + "\t" + e.AosDirection() + "\t" +
               TimeText(los) + "\t" + e.LosDirection() + "\t" + e.Duration() + "\t" +
               maxElevation.substr(0, 3) + "\t" + maxElevation.substr(7, 8) + "\t" + First(e.Norad(), 8) +
               "\t" + e.Name() + crlf;
    }
    return out;
}

std::vector<PrintPage> PrintLayout(const ViewPlan& plan, const PlanHeader& header) {
    const size_t count = plan.entries.size();
    const bool numbered = count >= 62;
    const std::string location = LocationLine(header.site);
    const std::string tleLine = PlanTleLine(header);
    const std::string columns = "AOS" + std::string(26, ' ') + "LOS" + std::string(11, ' ') +
                                "Duration   Max. Elevation    NORAD   Object NAME";
    std::vector<PrintPage> pages;
    auto newPage = [&]() {
        PrintPage page;
        page.number = static_cast<int>(pages.size()) + 1;
        std::string title = kPlanTitle;
        if (numbered) title += "                 Page " + std::to_string(page.number);
        page.lines.push_back({1, title});
        page.lines.push_back({3, location});
        page.lines.push_back({4, tleLine});
        page.lines.push_back({6, columns});
        page.lines.push_back({7, ""});
        pages.push_back(std::move(page));
    };
    newPage();
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && i % kEntriesPerPrintPage == 0) newPage();
        const ViewPlanEntry& e = plan.entries[i];
        const double aos = e.AosLocal(), los = e.LosLocal();
        const std::string date = DateText(aos);
        const int line = static_cast<int>(i % kEntriesPerPrintPage) + 8;
        pages.back().lines.push_back({line, First(date, 3) + Last(date, 8) + " " + TimeText(aos) + " " +
                                                e.AosDirection() + "  to " + " " + TimeText(los) + " " +
                                                e.LosDirection() + "   " + e.Duration() + "   " +
                                                e.MaxElevation() + "   " + First(e.Norad(), 8) + e.Name()});
    }
    return pages;
}

const std::vector<std::string>& LogIntervalChoices() {
    static const std::vector<std::string> kChoices{"0.05", "0.1", "0.2", "0.5", "1.0",
                                                   "2.0",  "5.0", "10",  "30"};
    return kChoices;
}

double LogIntervalSeconds(int logInterval) {
    const auto& choices = LogIntervalChoices();
    if (logInterval < 1 || logInterval > static_cast<int>(choices.size())) logInterval = 1;
    return LeadingNumber(choices[static_cast<size_t>(logInterval - 1)]);
}

}  // namespace corvane
