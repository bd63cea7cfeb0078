#pragma once
// What the pass and plan windows share with the main window: the clock, the live values (site
// fields, selected object), the settings, the loaded catalogue and the View Plan, plus the few
// actions of the main window they trigger. Dialog seams (save-file and print dialogs) can be
// replaced, so tests run without a person at the screen. GUI thread only.
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "core/Settings.h"
#include "obslog/ObservedList.h"
#include "orbit/ElementCatalogue.h"
#include "passes/PassSearch.h"
#include "passes/PassText.h"
#include "passes/ViewPlan.h"
#include "ui/common/Widgets.h"

class QPrinter;
class QWidget;

namespace corvane {
class CatalogueModels;
}

namespace corvane::ui {

struct PlanContext {
    PlanContext(Clock& c, LiveState& l, Settings& s, CatalogueStore& cat, ViewPlan& p)
        : clock(c), live(l), settings(s), catalogue(cat), plan(p) {}

    Clock& clock;
    LiveState& live;
    Settings& settings;
    CatalogueStore& catalogue;
    ViewPlan& plan;
    std::string planPath = kViewPlanFileName;

    // Main window actions (each may be empty).
    std::function<QString()> elementFileName;     // the element file field
    std::function<void()> refreshMainPlan;        // rebuild the main window's plan list
    std::function<void(int)> selectObject;        // make a catalogue index the selected object
    std::function<void()> closeSecondaryWindows;  // every pass, plan and other secondary window
    std::function<void(double)> openSkyMap;       // at a UTC Julian date
    std::function<void()> openWorldMap;
    std::function<void()> openBatchPredictions;
    std::function<void()> openViewPlanMap;
    // What the batch predictions read: the object list's heights (whole km per catalogue index;
    // empty when none are known) and the observed list (may be null).
    std::function<std::vector<std::optional<int>>()> altitudeHeights;
    // The orbit models the object list made (null when none); a run keeps them alive.
    std::function<std::shared_ptr<const CatalogueModels>()> catalogueModels;
    const ObservedList* observed = nullptr;

    // Save-file dialog: title, proposed file (name or path), filter, default suffix; empty when
    // cancelled.
    std::function<QString(QWidget*, const QString&, const QString&, const QString&, const QString&)>
        saveFileName;
    // Print dialog; false when cancelled.
    std::function<bool(QPrinter&, QWidget*)> printDialog;

    double NowLocal() const { return clock.JulianDateNow(); }
    SiteTexts SiteFields() const {
        const LiveValues v = live.Snapshot();
        return SiteTexts{v.siteName, v.siteLatitude, v.siteLongitude, v.siteAltitude, v.siteUtcOffset};
    }
    Site CurrentSite() const { return SiteFields().ToSite(); }
    PassSettings CurrentPassSettings() const {
        return PassSettings{settings.AOSElevation, settings.IgnoreEclipse != 0};
    }
    std::string ElementFileText() const;
    PlanHeader CurrentPlanHeader() const;
};

// The condition line of the pass windows ("AOS/LOS at 0° Elevation or point of eclipse." and
// the like) for the settings.
inline std::string PassWindowCondition(const Settings& s) {
    return ConditionLabel(s.AOSElevation, s.IgnoreEclipse != 0, ConditionLabelForm::kPassWindow);
}

// Says, without holding up the window, that `passes` of the passes just added were in the View
// Plan already (they are added all the same).
void TellAlreadyPlanned(QWidget* parent, int passes);

// Saves the View Plan; when that fails, says so with the reason and `afterwards` (what became of
// the plan) and returns false.
bool SaveViewPlanOrWarn(const PlanContext& context, QWidget* parent,
                        const char* afterwards = "It is kept until the program ends.");

}  // namespace corvane::ui
