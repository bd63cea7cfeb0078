#pragma once
// The View Plan as an element file: for each plan entry, in plan order, the first element set of
// the loaded element file that carries the entry's catalogue number, optionally with the AOS time
// in its name line ("ISS (ZARY.@21:03"). Lines end CR LF. Latin-1.
#include <functional>
#include <string>
#include <string_view>

namespace corvane {

struct ViewPlan;

inline constexpr const char* kTleExportExplanation =
    "This function will create a new TLE file containing only the objects currently in the Viewing Plan. "
    "AutoStar users can upload this custom file by dragging it from Windows Explorer and dropping on the "
    "Satellite button of the Meade AutoStar Update Program. On the AutoStar, the object list will be in "
    "order "
    "of AOS. Corvane can be used to monitor their current position and the AutoStar to perform tracking when "
    "visible. (Note: In Options - Preferences you can define the elevation for AOS.)";

// "HH:MM" of an AOS time text "HH:MM:SS", to the nearest minute except that minute 59 is never
// rounded up (no hour carry).
std::string AosMinuteText(std::string_view aosTimeText);
// The name line with the AOS time: first 9 characters + " @" (10th character a blank) or ".@"
// (anything else, also no 10th character) + HH:MM.
std::string NameLineWithAos(std::string_view nameLine, std::string_view aosTimeText);

// " 5 object(s) in the Viewing Plan." or "Currently no objects in the Viewing Plan!!!".
std::string TleExportPlanStatus(size_t entries);
// "Writing object 1 of 5".
std::string TleExportProgress(size_t i, size_t n);
// " 5 object(s) in file: " CR LF + output path.
std::string TleExportDone(size_t n, const std::string& outputPath);

enum class TleExportOutcome { kWritten, kInputMissing, kOutputFailed };
struct TleExportResult {
    TleExportOutcome outcome = TleExportOutcome::kWritten;
    size_t written = 0;  // element sets written
    std::string error;
};
// Writes the export of plan from inputPath to outputPath (replaced whole). When the input cannot
// be opened the output is left empty. progress(i, n) is called before each entry.
TleExportResult CreateViewPlanTle(const ViewPlan& plan, const std::string& inputPath,
                                  const std::string& outputPath, bool addAosToName,
                                  const std::function<void(size_t, size_t)>& progress = nullptr);

}  // namespace corvane
