#pragma once
// The View Plan: the passes the user has chosen, one 94-byte record per pass, kept sorted by AOS
// and stored in "vplan.log". Also the texts the plan is shown with: the "Viewing Plan" window
// list, the main window's list of passes in progress, the plan text file and the printed pages.
// Records and texts are Latin-1 (the degree sign is the byte 0xB0). Not thread-safe: the plan
// belongs to the GUI thread.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "passes/PassText.h"

namespace corvane {

class ElementCatalogue;
class PropagationSlot;

inline constexpr size_t kViewPlanRecordSize = 94;
inline constexpr size_t kViewPlanCapacity = 4000;
inline constexpr size_t kBatchViewPlanCapacity = 2000;
inline constexpr const char* kViewPlanFileName = "vplan.log";

// One record: AOS (16), LOS (16), duration (8), max elevation (15), name (25), NORAD (10), AOS
// direction (2), LOS direction (2); text fields blank-padded on the right. AOS and LOS are local
// Julian dates as decimal text; the LOS text "-1" marks an entry for removal.
class ViewPlanEntry {
public:
    ViewPlanEntry() : record_(kViewPlanRecordSize, ' ') {}
    // A record from its bytes (cut or blank-padded to 94).
    static ViewPlanEntry FromRecord(std::string_view bytes);

    const std::string& Record() const { return record_; }
    std::string AosField() const { return record_.substr(0, 16); }
    std::string LosField() const { return record_.substr(16, 16); }
    std::string Duration() const { return record_.substr(32, 8); }
    std::string MaxElevation() const { return record_.substr(40, 15); }
    std::string Name() const { return record_.substr(55, 25); }
    std::string Norad() const { return record_.substr(80, 10); }
    std::string AosDirection() const { return record_.substr(90, 2); }
    std::string LosDirection() const { return record_.substr(92, 2); }

    // The AOS and LOS texts read as numbers (local Julian dates).
    double AosValue() const;
    double LosValue() const;
    // Both times are Julian dates of a calendar year 1..9999: anything else is a damaged record.
    bool HasValidTimes() const;
    // AOS and LOS to the whole second: the record holds them with 8 decimals (under a millisecond
    // off the second they were made from).
    double AosLocal() const;
    double LosLocal() const;

    void SetAos(double localJd);
    void SetLos(double localJd);
    void MarkRemoved();  // LOS := "-1"
    void SetField(size_t offset, size_t width, std::string_view text);

    bool operator==(const ViewPlanEntry& other) const { return record_ == other.record_; }

private:
    std::string record_;
};

struct ViewPlan {
    std::vector<ViewPlanEntry> entries;
    // The file could not be read (or a damaged file could not be copied aside): it is left as
    // it is, and SaveViewPlan and ClearViewPlan do not touch it.
    bool keepFile = false;
    bool Empty() const { return entries.empty(); }
    size_t Count() const { return entries.size(); }
};

// Decimal text of a Julian date for the 16-character AOS and LOS fields: the shortest exact form
// when it fits, else the number rounded to fit.
std::string PlanJulianText(double jd);

// What reading "vplan.log" found.
struct ViewPlanLoad {
    enum class Status {
        kRead,        // every byte was a whole record
        kCreated,     // there was no file: an empty one was made
        kDamaged,     // some bytes were not records, or records beyond 4000: the rest was read
        kUnreadable,  // the file could not be read: the plan is empty and the file is kept
    };
    Status status = Status::kRead;
    size_t records = 0;         // records read into the plan
    size_t damagedBytes = 0;    // bytes that were not whole records (skipped)
    size_t damagedRegions = 0;  // runs of such bytes
    size_t beyondCapacity = 0;  // whole records after the 4000th
    std::string keptCopy;       // the copy of a damaged file ("vplan.log.bad"); "" when none
    std::string error;          // why the file could not be read, or the copy not made

    // A damaged or unreadable file: the user is told (ViewPlanLoadMessage).
    bool NeedsTelling() const { return status == Status::kDamaged || status == Status::kUnreadable; }
};

// Empties the plan and reads the file (created empty when missing). Records are found even
// when bytes were lost or added: a record starts with its AOS and LOS texts and ends with the
// two compass codes, so reading resumes at the next byte where a whole record starts. A file
// that was not read cleanly is first copied aside (KeepCopyAside: "vplan.log.bad", ".bad2",
// ...); when it cannot be read, or the copy cannot be made, plan.keepFile is set. At most 4000
// records.
ViewPlanLoad ReadViewPlan(ViewPlan& plan, const std::string& path);
// The message for a load that NeedsTelling(), naming the file and its copy; Latin-1.
std::string ViewPlanLoadMessage(const ViewPlanLoad& load, const std::string& path);
// ReadViewPlan without the report: false (plan empty) when the file cannot be read.
bool LoadViewPlan(ViewPlan& plan, const std::string& path, std::string* error = nullptr);
// Empties the plan and deletes the file, which is then created empty again; a kept file
// (plan.keepFile) is left alone and stays kept.
void ClearViewPlan(ViewPlan& plan, const std::string& path);
// Keeps, in order, the entries whose LOS is later than nowLocal, then sorts by the whole record.
void PurgeViewPlan(ViewPlan& plan, double nowLocal);
// Sorts, writes the entries whose LOS is later than nowLocal, at most 4000 (replacing the file
// whole), so the plan is what reading the file back gives. When the file cannot be written, or
// is kept (plan.keepFile) while the plan holds entries, the plan in memory is kept (purged) and
// false returned with the reason. A kept file is never written.
bool SaveViewPlan(ViewPlan& plan, const std::string& path, double nowLocal, std::string* error = nullptr);

// An entry from a pass list line (columns of the pass list) and the object's name and number.
std::optional<ViewPlanEntry> EntryFromPassLine(std::string_view line, std::string_view name,
                                               std::string_view norad);
// Appends the pass of the line and purges (which sorts it into place). False when the plan holds
// capacity entries already or the line is not a pass list line.
bool AddToViewPlan(ViewPlan& plan, std::string_view line, std::string_view name, std::string_view norad,
                   double nowLocal, size_t capacity = kViewPlanCapacity);
// A batch list line (number in columns 88-92, name in columns 96-119); at most 2000 entries.
bool AddBatchLine(ViewPlan& plan, std::string_view batchLine, double nowLocal);
// Whether the plan already holds the pass of the line: an entry of the same object (catalogue
// number) with the same AOS. Such a pass is still added; the window says so.
bool PlanHoldsPass(const ViewPlan& plan, std::string_view line, std::string_view norad);
// The same for a batch list line.
bool PlanHoldsBatchLine(const ViewPlan& plan, std::string_view batchLine);

// Catalogue index of the object with the catalogue number of the text; 0 when not loaded.
int FindObjectByNorad(const ElementCatalogue& catalogue, std::string_view norad);

// Where the entry's object is now: compass code, tab, two blanks, whole degrees of elevation as
// two characters, "°", " A" (rising) or " D". nullopt when the object is not in the catalogue or
// cannot be placed. nowUtc is a UTC Julian date.
std::optional<std::string> PlanPositionText(const ElementCatalogue& catalogue, const ViewPlanEntry& entry,
                                            PropagationSlot& slot, const Site& site, double nowUtc);

// The "Viewing Plan" window: its column header and one line per entry (five tabs).
std::string ViewPlanWindowHeader();
std::vector<std::string> ViewPlanWindowLines(const ViewPlan& plan, const ElementCatalogue& catalogue,
                                             PropagationSlot& slot, const Site& site, double nowLocal);

// The main window's list: the entries whose pass is in progress (AOS earlier than now), up to the
// first that has not begun. entry is the index in the plan.
struct MainPlanLine {
    std::string text;
    size_t entry = 0;
};
std::vector<MainPlanLine> MainViewPlanLines(const ViewPlan& plan, const ElementCatalogue& catalogue,
                                            PropagationSlot& slot, const Site& site, double nowLocal);

// What the plan text file and the printed plan put above the entries.
struct PlanHeader {
    SiteTexts site;
    std::string tleFile;        // the main window's element file field
    double aosElevation = 0.0;  // radians
    bool ignoreEclipse = false;
};
inline constexpr const char* kPlanTitle = "Corvane - Satellite Viewing Plan";
std::string PlanTleLine(const PlanHeader& header);

// The plan text file, lines ending CR LF.
std::string PlanTextFile(const ViewPlan& plan, const PlanHeader& header);

// The printed plan as pages of numbered lines (line 1 at the top); 63 entries a page.
struct PrintLine {
    int line = 0;
    std::string text;
};
struct PrintPage {
    int number = 1;
    std::vector<PrintLine> lines;
};
inline constexpr int kEntriesPerPrintPage = 63;
inline constexpr const char* kPrintDocumentName = "Corvane: View Plan";
std::vector<PrintPage> PrintLayout(const ViewPlan& plan, const PlanHeader& header);

// The "Calculate position every" choices (seconds) and the LogInterval setting (1..9) they map to.
const std::vector<std::string>& LogIntervalChoices();
// Seconds of a LogInterval value; values outside 1..9 count as 1.
double LogIntervalSeconds(int logInterval);

}  // namespace corvane
