#include "passes/ViewPlan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/AtomicFile.h"
#include "core/Text.h"
#include "orbit/CatalogueNumber.h"
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

namespace {

// An AOS or LOS field as written: a decimal number (digits and at most one point, starting
// with a digit) blank-padded on the right that is a date; a LOS may also be the removal mark.
bool TimeField(std::string_view field, bool isLos) {
    const size_t last = field.find_last_not_of(' ');
    if (last == std::string_view::npos) return false;
    const std::string_view text = field.substr(0, last + 1);
    if (isLos && text == "-1") return true;
    if (text[0] < '0' || text[0] > '9') return false;
    int points = 0;
    for (char c : text) {
        if (c == '.') {
            if (++points > 1) return false;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return ValidJulianDate(LeadingNumber(text));
}

bool CompassField(std::string_view field) {
    static const char* const kCodes[] = {"N ", "NE", "E ", "SE", "S ", "SW", "W ", "NW", "--", "  "};
    for (const char* code : kCodes)
        if (field == code) return true;
    return false;
}

bool TimesAt(std::string_view bytes, size_t pos) {
    return pos + kViewPlanRecordSize <= bytes.size() && TimeField(bytes.substr(pos, 16), false) &&
           TimeField(bytes.substr(pos + 16, 16), true);
}

// A whole record starts at pos: its times at the start and its compass codes at the end.
bool WholeRecordAt(std::string_view bytes, size_t pos) {
    return TimesAt(bytes, pos) && CompassField(bytes.substr(pos + 90, 2)) &&
           CompassField(bytes.substr(pos + 92, 2));
}

struct ParsedPlan {
    std::vector<ViewPlanEntry> entries;
    size_t damagedBytes = 0, damagedRegions = 0, beyondCapacity = 0;
};

ParsedPlan ParsePlanBytes(std::string_view bytes) {
    ParsedPlan parsed;
    parsed.entries.reserve(std::min(bytes.size() / kViewPlanRecordSize, kViewPlanCapacity));
    size_t pos = 0;
    while (pos < bytes.size()) {
        // A record in step with the one before: whole, or with good times and followed by a
        // whole record (or the end), so unusual text in its last fields does not count as damage.
        const size_t next = pos + kViewPlanRecordSize;
        if (WholeRecordAt(bytes, pos) ||
            (TimesAt(bytes, pos) && (next == bytes.size() || WholeRecordAt(bytes, next)))) {
            if (parsed.entries.size() < kViewPlanCapacity) {
                parsed.entries.push_back(ViewPlanEntry::FromRecord(bytes.substr(pos, kViewPlanRecordSize)));
            } else {
                ++parsed.beyondCapacity;
            }
            pos = next;
            continue;
        }
        // DEPARTURE: a byte lost or added would put every later record out of step (and the rest
        // of the plan would vanish at the next purge); reading resumes at the next whole record.
        size_t resume = pos + 1;
        while (resume + kViewPlanRecordSize <= bytes.size() && !WholeRecordAt(bytes, resume)) ++resume;
        if (resume + kViewPlanRecordSize > bytes.size()) resume = bytes.size();
        parsed.damagedBytes += resume - pos;
        ++parsed.damagedRegions;
        pos = resume;
    }
    return parsed;
}

std::string Plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

ViewPlanLoad ReadViewPlan(ViewPlan& plan, const std::string& path) {
    ViewPlanLoad load;
    plan.entries.clear();
    plan.keepFile = false;
    std::string bytes;
    switch (ReadFileBytes(path, bytes, &load.error)) {
        case FileRead::kMissing:
            // Creating the empty file is a courtesy: a folder that refuses it refuses the save as
            // well, and that is reported.
            WriteFileAtomically(path, "");
            load.status = ViewPlanLoad::Status::kCreated;
            return load;
        case FileRead::kUnreadable:
            // DEPARTURE: a plan file that cannot be read is never replaced by an empty plan.
            plan.keepFile = true;
            load.status = ViewPlanLoad::Status::kUnreadable;
            return load;
        case FileRead::kRead:
            break;
    }
    ParsedPlan parsed = ParsePlanBytes(bytes);
    plan.entries = std::move(parsed.entries);
    load.records = plan.entries.size();
    load.damagedBytes = parsed.damagedBytes;
    load.damagedRegions = parsed.damagedRegions;
    load.beyondCapacity = parsed.beyondCapacity;
    if (load.damagedBytes > 0 || load.beyondCapacity > 0) {
        // DEPARTURE: a file not read whole (even just the trailing part of a record, or records
        // beyond 4000) is kept as it was before the plan is saved over it, and the user told.
        load.status = ViewPlanLoad::Status::kDamaged;
        load.keptCopy = KeepCopyAside(path, bytes, &load.error);
        if (load.keptCopy.empty()) plan.keepFile = true;
    }
    return load;
}

std::string ViewPlanLoadMessage(const ViewPlanLoad& load, const std::string& path) {
    using Status = ViewPlanLoad::Status;
    if (load.status == Status::kUnreadable) {
        return "The View Plan could not be read (" + load.error + "). The plan starts empty; " + path +
               " is left as it is and the plan will not be saved over it.";
    }
    if (load.status != Status::kDamaged) return "";
    std::string text = path + " is damaged. " + Plural(load.records, "pass was", "passes were") + " read";
    if (load.damagedBytes > 0) {
        text += "; " + Plural(load.damagedBytes, "byte", "bytes") + " in " +
                Plural(load.damagedRegions, "place", "places") + " could not be read";
    }
    if (load.beyondCapacity > 0) {
        text += "; " + Plural(load.beyondCapacity, "pass", "passes") + " beyond the first " +
                std::to_string(kViewPlanCapacity) + " were left out";
    }
    text += ".";
    if (!load.keptCopy.empty()) {
        text += " The file as it was is kept as " + load.keptCopy + ".";
    } else {
        text += " It could not be copied aside (" + load.error +
                "), so it is left as it is and the plan will not be saved over it.";
    }
    return text;
}

bool LoadViewPlan(ViewPlan& plan, const std::string& path, std::string* error) {
    const ViewPlanLoad load = ReadViewPlan(plan, path);
    if (load.status != ViewPlanLoad::Status::kUnreadable) return true;
    if (error) *error = load.error;
    return false;
}

void ClearViewPlan(ViewPlan& plan, const std::string& path) {
    plan.entries.clear();
    if (plan.keepFile) return;
    std::remove(path.c_str());
    ReadViewPlan(plan, path);
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
    if (plan.keepFile) {
        // Nothing is lost while the plan is empty; entries added since would be.
        if (plan.Empty()) return true;
        if (error) *error = path + " could not be read and is left as it is";
        return false;
    }
    // The file holds what a load reads back: at most 4000 records.
    if (plan.entries.size() > kViewPlanCapacity) plan.entries.resize(kViewPlanCapacity);
    std::string bytes;
    bytes.reserve(plan.entries.size() * kViewPlanRecordSize);
    for (const ViewPlanEntry& e : plan.entries) bytes += e.Record();
    return WriteFileAtomically(path, bytes, error);
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

bool PlanHoldsPass(const ViewPlan& plan, std::string_view line, std::string_view norad) {
    const std::optional<ViewPlanEntry> entry = EntryFromPassLine(line, "", norad);
    if (!entry) return false;
    const std::string number = Trim(entry->Norad());
    return std::any_of(plan.entries.begin(), plan.entries.end(), [&](const ViewPlanEntry& e) {
        return e.AosField() == entry->AosField() && Trim(e.Norad()) == number;
    });
}

bool PlanHoldsBatchLine(const ViewPlan& plan, std::string_view batchLine) {
    return batchLine.size() >= 92 && PlanHoldsPass(plan, batchLine, Column(batchLine, 88, 5));
}

int FindObjectByNorad(const ElementCatalogue& catalogue, std::string_view norad) {
    const std::string text = Trim(norad);
    if (text.empty()) return 0;
    if (const auto n = ParseCatalogueNumber(text)) return *n > 0 ? catalogue.FindCatalogueNumber(*n) : 0;
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
