#pragma once
// Pass predictions for one object over day windows: window w covers [now + w days, now + w + 1
// days). What the "Satellite Pass Predictions" window shows, computed without a window.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "passes/PassSearch.h"

namespace corvane {

class ElementCatalogue;

// Name and catalogue number of a catalogue object, as the pass windows and the View Plan show
// them (surrounding blanks removed). Empty texts outside the catalogue.
struct ObjectIdentity {
    std::string name;
    std::string number;  // plain number for titles and free fields ("100000")
    std::string field;   // as written in line 1 columns 3-7 ("A0000"), for fixed-width records
};
ObjectIdentity IdentityOf(const ElementCatalogue& catalogue, int object);

struct DayWindowRequest {
    double nowLocal = 0.0;  // program clock (local time) as a Julian date
    int window = 0;         // day index w, 0 or more
    long long minimumSeconds = 120;
    bool excludeDaytime = false;  // ExcludeDaylightPass
};

struct DayWindowResult {
    std::string satelliteText;       // "Satellite: ISS (ZARYA) 25544"
    std::string fromText;            // "From: Apr 27 2017 20:00:00"
    std::string toText;              // " to Apr 28 2017 20:00:00"
    std::vector<PassRecord> passes;  // listed passes (at least the minimum duration)
    std::vector<std::string> lines;  // their pass list lines, local time
};

// The search of one day window with slot 3's rules (single-object variant), site and settings
// read by the caller. Passes shorter than the minimum are dropped.
DayWindowResult ComputeDayWindow(const ElementCatalogue& catalogue, int object, PropagationSlot& slot,
                                 const Site& site, const PassSettings& settings,
                                 const DayWindowRequest& request);

// Passes of day windows 0 .. days-1 from the same start, each window searched as above.
std::vector<PassRecord> PassesOverDays(const ElementCatalogue& catalogue, int object, PropagationSlot& slot,
                                       const Site& site, const PassSettings& settings, double startUtc,
                                       int days, long long minimumSeconds, bool excludeDaytime);

// The object's pass around the UTC instant now, as the observation log records it: the pass in
// progress, else the last one that ended in the two hours before, else the next one in the 24
// hours after. Searched with the single-object rules from two hours before now; nullopt when
// there is none.
std::optional<PassRecord> PassAroundNow(const ElementCatalogue& catalogue, int object, PropagationSlot& slot,
                                        const Site& site, const PassSettings& settings, double nowUtc);

// "Satellite Pass Predictions - ISS (ZARYA) 25544".
std::string PredictionsTitle(const ObjectIdentity& object);
// Column header of the pass list.
std::string PredictionsHeader();
// The 31 dates of the "Skip to " list: today + 0 .. 30 days.
std::vector<std::string> SkipToDates(double nowLocal);
// Clipboard text of a line: line + "   " + number + "  " + name, every tab replaced by a blank.
std::string PassCopyText(std::string_view line, std::string_view number, std::string_view name);

// The "Pass Duration > " field: minimum seconds for a computation (a text that is not a number
// counts as 0 minutes), and whether leaving the field must correct it to "02" (it reads as a
// number below 2).
long long MinimumSecondsOf(std::string_view durationField);
bool DurationFieldNeedsCorrection(std::string_view durationField);

}  // namespace corvane
