#pragma once
// The two versions ("old" 0 and "new" 1) of the files the crash-safety test saves over and over:
// "ConfigFile.ini", "vplan.log" and "observed.dat", saved with the program's own functions. The
// versions differ in length, so a mix or a stub of them is told from both.
#include <string>

#include "core/Clock.h"
#include "core/Settings.h"
#include "obslog/ObservedList.h"
#include "passes/ViewPlan.h"

namespace savetest {

enum class Kind { kSettings, kPlan, kObserved };

inline const char* FileName(Kind kind) {
    switch (kind) {
        case Kind::kSettings:
            return corvane::kConfigFileName;
        case Kind::kPlan:
            return corvane::kViewPlanFileName;
        case Kind::kObserved:
            return corvane::kObservedFileName;
    }
    return "";
}

// Local now for saving the plan: before every pass of it.
inline const double kNow = corvane::CivilToJulianDate(2017, 4, 1, 0, 0, 0);

inline corvane::Settings SettingsVersion(int v) {
    corvane::Settings s;
    s.disclaimerAccepted = true;
    s.TrackAdjust = v == 0 ? 80 : 120;
    s.sites[1] = corvane::SiteRecord::FromTexts(v == 0 ? "Home" : "Back garden by the old oak tree", "45.5",
                                                "-73.6", "50", "-5");
    s.ElementsFile = v == 0 ? "visual.txt" : std::string(200, 'n') + ".tle";
    return s;
}

inline corvane::ViewPlan PlanVersion(int v) {
    corvane::ViewPlan plan;
    const int count = v == 0 ? 3 : 400;
    for (int n = 0; n < count; ++n) {
        corvane::ViewPlanEntry e;
        const double aos = corvane::CivilToJulianDate(2017, 4, 27, 18, 0, 7) + n / 48.0;
        e.SetAos(aos);
        e.SetLos(aos + 393.0 / 86400.0);
        e.SetField(32, 8, "00:06:33");
        e.SetField(55, 25, "OBJECT " + std::to_string(n + 1000 * v));
        e.SetField(80, 10, std::to_string(10000 + n));
        e.SetField(90, 4, "NWSE");
        plan.entries.push_back(e);
    }
    return plan;
}

inline corvane::ObservedList ObservedVersion(int v) {
    corvane::ObservedList list;
    const int count = v == 0 ? 10 : 3000;
    for (int n = 1; n <= count; ++n) {
        if (n % 3 == 0) {
            list.SetFavourite(n, true);
        } else {
            list.MarkObserved(n);
        }
    }
    return list;
}

// Saves version v into folder; false with the reason when it cannot.
inline bool Save(Kind kind, int v, const std::string& folder, std::string* error) {
    const std::string path = folder + "/" + FileName(kind);
    switch (kind) {
        case Kind::kSettings:
            return corvane::SaveSettingsFile(SettingsVersion(v), path, error);
        case Kind::kPlan: {
            corvane::ViewPlan plan = PlanVersion(v);
            return corvane::SaveViewPlan(plan, path, kNow, error);
        }
        case Kind::kObserved:
            return ObservedVersion(v).Save(path, error);
    }
    return false;
}

// The bytes version v leaves in the file.
inline std::string Bytes(Kind kind, int v) {
    switch (kind) {
        case Kind::kSettings:
            return corvane::FormatSettings(SettingsVersion(v));
        case Kind::kPlan: {
            std::string bytes;
            for (const corvane::ViewPlanEntry& e : PlanVersion(v).entries) bytes += e.Record();
            return bytes;
        }
        case Kind::kObserved:
            return ObservedVersion(v).Serialize();
    }
    return "";
}

}  // namespace savetest
