#include "core/Preferences.h"

#include <algorithm>
#include <cmath>

#include "core/Text.h"

namespace corvane {

namespace {
constexpr double kPi = 3.14159265358979323846;

template <size_t N>
int IndexOfHundredths(const std::array<const char*, N>& entries, double value) {
    const long wanted = std::lround(value * 100.0);
    for (size_t i = 0; i < N; ++i)
        if (std::lround(LeadingNumber(entries[i]) * 100.0) == wanted) return static_cast<int>(i);
    return -1;
}

template <size_t N>
int IndexOfText(const std::array<const char*, N>& entries, const char* text) {
    for (size_t i = 0; i < N; ++i)
        if (std::string(entries[i]) == text) return static_cast<int>(i);
    return -1;
}

template <size_t N>
double EntryValue(const std::array<const char*, N>& entries, int index) {
    if (index < 0 || index >= static_cast<int>(N)) return 0.0;
    return LeadingNumber(entries[static_cast<size_t>(index)]);
}

int Held(int v, int lo, int hi) { return std::min(hi, std::max(lo, v)); }
}  // namespace

PreferencesForm FillPreferences(const Settings& s) {
    PreferencesForm f;
    f.trackingFactor = std::to_string(s.TrackAdjust);
    f.trackingLimit = std::to_string(s.TrackingLimit);
    f.aosElevation = std::to_string(static_cast<long>(std::lround(s.AOSElevation * 180.0 / kPi)));

    // Coarse: compared at one decimal, as tenths.
    const long tenths = std::lround(RoundTo(s.CoarseTimingIncr, 1) * 10.0);
    f.coarseIndex = IndexOfText(kCoarseIncrements, "1.0");
    for (size_t i = 0; i < kCoarseIncrements.size(); ++i)
        if (std::lround(LeadingNumber(kCoarseIncrements[i]) * 10.0) == tenths) f.coarseIndex = static_cast<int>(i);

    f.fineIndex = IndexOfHundredths(kFineIncrements, RoundTo(s.FineTimingIncr, 2));
    if (f.fineIndex < 0) f.fineIndex = IndexOfText(kFineIncrements, "0.10");

    f.alignmentIndex = IndexOfHundredths(kAlignmentIncrements, s.AlignmentIncr);
    if (f.alignmentIndex < 0) f.alignmentIndex = IndexOfText(kAlignmentIncrements, "1");

    f.resetAlignment = s.ResetAlignment != 0;
    f.trackingLimitEnable = s.TrackingLimitEnable != 0;
    f.limitElevation = s.LimitElevation != 0;
    f.ignoreEclipse = s.IgnoreEclipse != 0;
    f.calcVPWhenTracking = s.CalcVPWhenTracking != 0;
    return f;
}

PreferencesForm DefaultPreferencesForm() {
    PreferencesForm f;
    f.trackingFactor = "80";
    f.coarseIndex = IndexOfText(kCoarseIncrements, "1.0");
    f.fineIndex = IndexOfText(kFineIncrements, "0.15");
    f.alignmentIndex = IndexOfText(kAlignmentIncrements, ".1");
    f.resetAlignment = true;
    f.trackingLimitEnable = false;
    f.trackingLimit = "90";
    f.limitElevation = true;
    f.ignoreEclipse = false;
    f.calcVPWhenTracking = false;
    f.aosElevation = "0";
    return f;
}

void SavePreferences(const PreferencesForm& f, Settings& s) {
    s.ResetAlignment = f.resetAlignment ? 1 : 0;
    s.TrackingLimitEnable = f.trackingLimitEnable ? 1 : 0;
    s.IgnoreEclipse = f.ignoreEclipse ? 1 : 0;
    s.CalcVPWhenTracking = f.calcVPWhenTracking ? 1 : 0;

    const double alignment = EntryValue(kAlignmentIncrements, f.alignmentIndex);
    s.AlignmentIncr = alignment == 0 ? 1 : alignment;
    const double fine = EntryValue(kFineIncrements, f.fineIndex);
    s.FineTimingIncr = fine == 0 ? 0.2 : fine;
    const double coarse = EntryValue(kCoarseIncrements, f.coarseIndex);
    s.CoarseTimingIncr = coarse == 0 ? 1 : coarse;

    s.TrackAdjust = Held(LeadingInt(f.trackingFactor), 0, 300);
    s.TrackingLimit = Held(LeadingInt(f.trackingLimit), 0, 90);
    const double aos = std::min(90.0, std::max(0.0, LeadingNumber(f.aosElevation)));
    s.AOSElevation = aos * kPi / 180.0;
    s.LimitElevation = f.limitElevation ? 1 : 0;
}

}  // namespace corvane
