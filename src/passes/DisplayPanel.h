#pragma once
// The position panel of the main window, computed ten times a second: the clock line, the
// selected object's identity, look angles, range, speed, sub-point, right ascension and
// declination, the compass direction with rising/setting state, and the sun line with its
// countdown to the next entry into or exit from the Earth's shadow.
//
// ComputeDisplayPass is pure apart from the DisplayPanelState it carries from pass to pass; it
// may run on any one thread at a time per state. Texts are in the program's 8-bit character set
// (the degree sign is the byte 0xB0); the window converts them.
#include <array>
#include <string>
#include <string_view>

#include "astro/AngleText.h"
#include "astro/Time.h"
#include "orbit/PropagationSlot.h"

namespace corvane {

class Clock;
class ElementCatalogue;

// Captions of the panel's fields, in the panel's order.
inline constexpr std::array<const char*, 16> kPanelCaptions = {
    "Satellite Name:", "NORAD No.:", "Launch Yr/No.:", "T+Epoch:", "Julian Date:", "Local Time:",
    "UTC Time:",       "Azimuth:",   "Elevation:",     "Range:",   "Velocity:",    "Latitude:",
    "Longitude:",      "Altitude:",  "R.A.:",          "Dec.:"};

enum class SunIcon { kNone, kSun, kEclipse, kWarning };

// What a pass remembers for the next one. The slot is the main display's own.
struct DisplayPanelState {
    int previousObject = 0;     // 0: the previous pass showed no object
    std::string previousLine1;  // tells a new file's object at the same index apart
    bool hasPreviousElevation = false;
    double previousElevation = 0.0;  // degrees
    PropagationSlot slot{kSlotMainDisplay};
};

struct DisplayTexts {
    std::string topLine;                 // "(Adjusted) " while the clock correction is not zero
    bool objectShown = false;            // false: no object selected, only the top line was written
    bool selectionChanged = false;       // first pass of this object: look it up in the information file
    bool positionKnown = false;          // false when the orbit could not be propagated
    std::array<std::string, 16> fields;  // in the order of kPanelCaptions
    std::string direction;               // direction line
    SunIcon sunIcon = SunIcon::kNone;
    std::string sunText;  // "    Sun", " Eclipsed", "LOS m:ss", "AOS m:ss"
    std::string ageNote;  // "Elements are 3287 days old" when T+Epoch exceeds 30 days, else empty

    // Values the maps and the rest of the window use.
    double azimuth = 0.0, elevation = 0.0;  // degrees
    bool aboveHorizon = false;
    double subLatitude = 0.0, subLongitude = 0.0;  // degrees
    bool eclipsed = false;

    // The text of a field by its caption; empty for an unknown caption.
    const std::string& Field(std::string_view caption) const;
};

// One display pass at the program clock's current instant, shifted by the timing offset.
// selected is the catalogue index (0: none).
DisplayTexts ComputeDisplayPass(const ElementCatalogue& catalogue, int selected, const Site& site,
                                const Clock& clock, double timingOffsetSeconds, DisplayPanelState& state);

// "2:05": whole minutes, ":", two-digit seconds.
std::string CountdownText(int seconds);
// A value with exactly n decimals ("-" for negative values); non-finite values read as 0.
std::string FixedText(double value, int decimals);

}  // namespace corvane
