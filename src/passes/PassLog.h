#pragma once
// Pass text logs: a six-line header, then one "|"-separated line per computed position, CR LF
// line ends, Latin-1. The "Log File" telescope interface writes the same format with a seventh
// field (scope/PositionLog.h) through the texts below: one formatter for both logs.
#include <string>
#include <string_view>

#include "passes/PassText.h"

namespace corvane {

class ElementCatalogue;
class PropagationSlot;
class ViewPlanEntry;

// "log" + catalogue number (surrounding blanks removed) + ".txt".
std::string PassLogFileName(std::string_view catalogueNumber);

struct LogHeader {
    std::string objectName;       // trailing blanks are removed when written
    std::string catalogueNumber;  // blanks around it are removed when written
    SiteTexts site;
    std::string tleFile;  // the main window's element file field
};
// The six header lines, each ending CR LF.
std::string LogHeaderText(const LogHeader& header);

// The number pictures: "###.00000" (no leading zeros, so 0.25 is ".25000") and the signed form
// ("+" only when greater than 0, then the absolute value as "##.00000").
std::string UnsignedPicture(double value);
std::string SignedPicture(double value);

// A position for a record: degrees, except the right ascension in hours.
struct LogPosition {
    double azimuth = 0.0;
    double elevation = 0.0;
    double rightAscension = 0.0;  // hours
    double declination = 0.0;
};
// The time field of a record, "HH:MM:SS.ss" with the fraction cut: also the key that keeps
// the Log File interface's records a hundredth of a second apart.
std::string LogTimeText(double utcJd);
// One record without its line end: date|time|azimuth|elevation|R.A.|declination (UTC).
std::string PositionRecordText(double utcJd, const LogPosition& position);
// The "Log File" interface's seventh field: the right ascension minus the local sidereal time
// (both hours) times 15, as the default number text.
std::string HourAngleFieldText(double value);

enum class PassLogOutcome {
    kWritten,
    kObjectMissing,  // the loaded catalogue does not hold the entry's object: nothing written
    kBadEntry,       // the entry's times are damaged or span more than two days: nothing written
    kWriteFailed,
};
struct PassLogResult {
    PassLogOutcome outcome = PassLogOutcome::kWritten;
    long long records = 0;
    std::string error;
};
// Positions of the entry's object from its AOS + 0.01 s every intervalSeconds until the first
// sample later than its LOS (that one included), written to path (replaced whole). Uses the
// caller's slot (10 for the View Plan window).
PassLogResult WritePassLog(const std::string& path, const ViewPlanEntry& entry,
                           const ElementCatalogue& catalogue, PropagationSlot& slot, const SiteTexts& site,
                           const std::string& tleFile, double intervalSeconds);

}  // namespace corvane
