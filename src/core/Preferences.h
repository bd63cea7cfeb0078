#pragma once
// The values of the Preferences dialog's controls, and how they are filled from and saved into
// the settings. The dialog itself only shows a PreferencesForm.
#include <array>
#include <string>

#include "core/Settings.h"

namespace corvane {

inline constexpr std::array<const char*, 8> kCoarseIncrements = {"0.2", "0.5", "0.7", "1.0",
                                                                 "1.5", "2.0", "5.0", "10.0"};
inline constexpr std::array<const char*, 8> kFineIncrements = {"0.01", "0.05", "0.07", "0.10",
                                                               "0.15", "0.20", "0.50", "1.00"};
inline constexpr std::array<const char*, 8> kAlignmentIncrements = {".1", ".2", ".5", "1", "2", "5", "10", "20"};

struct PreferencesForm {
    std::string trackingFactor;   // box text
    int coarseIndex = 3;          // index into kCoarseIncrements; -1 when nothing is selected
    int fineIndex = 3;
    int alignmentIndex = 3;
    bool resetAlignment = true;
    bool trackingLimitEnable = false;
    std::string trackingLimit;    // box text
    bool limitElevation = true;   // "° Elevation" (else "° Declination")
    bool ignoreEclipse = false;
    bool calcVPWhenTracking = false;
    std::string aosElevation;     // box text, degrees
};

PreferencesForm FillPreferences(const Settings& settings);
// What "Reset to Defaults" puts into the controls.
PreferencesForm DefaultPreferencesForm();
// "Save": stores the controls into the settings, with the dialog's fallbacks and ranges.
void SavePreferences(const PreferencesForm& form, Settings& settings);

}  // namespace corvane
