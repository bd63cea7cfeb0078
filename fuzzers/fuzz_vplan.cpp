// "vplan.log": the record reader and everything the plan shows: the "Viewing Plan" window, the
// main window's list, the plan text file and the printed pages, and a save that reads the file
// back. No text made from the stored times may spell a non-number, and a saved plan reads back
// as it was kept.
#include <cmath>

#include "FixedCatalogue.h"
#include "FuzzSupport.h"
#include "orbit/PropagationSlot.h"
#include "passes/ViewPlan.h"

using namespace corvane;

namespace {

// The record with every byte that could spell "nan" or "inf" replaced: the texts made from it
// can then only spell one by a fault. Numbers are read the same (no digit, sign, point or "e"
// changes).
ViewPlanEntry Neutral(const ViewPlanEntry& e) {
    std::string record = e.Record();
    for (char& c : record) {
        if (std::string_view("nNaAfFiI").find(c) != std::string_view::npos) c = 'x';
    }
    return ViewPlanEntry::FromRecord(record);
}

void CheckTexts(const ViewPlan& plan) {
    const ElementCatalogue& catalogue = fuzz::FixedCatalogue();
    PropagationSlot slot(kSlotViewPlanList);
    const Site site{45.5, -73.6, 50.0, -5.0};
    const double now = fuzz::kCatalogueDay + 0.9;
    for (const std::string& line : ViewPlanWindowLines(plan, catalogue, slot, site, now))
        FUZZ_CHECK(!fuzz::SpellsNonNumber(line));
    for (const MainPlanLine& line : MainViewPlanLines(plan, catalogue, slot, site, now)) {
        FUZZ_CHECK(line.entry < plan.Count());
        FUZZ_CHECK(!fuzz::SpellsNonNumber(line.text));
    }
    PlanHeader header;
    header.site = SiteTexts{"Montreal", "45.5", "-73.6", "50", "-5"};
    header.tleFile = "visual.txt";
    FUZZ_CHECK(!fuzz::SpellsNonNumber(PlanTextFile(plan, header)));
    for (const PrintPage& page : PrintLayout(plan, header)) {
        for (const PrintLine& line : page.lines) FUZZ_CHECK(!fuzz::SpellsNonNumber(line.text));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file("vplan.log");
    ViewPlan plan;
    std::string error;
    FUZZ_CHECK(LoadViewPlan(plan, file.Write(data, size), &error));
    // Damaged bytes are skipped, so at most the whole records the file has room for.
    FUZZ_CHECK(plan.Count() <= std::min(size / kViewPlanRecordSize, kViewPlanCapacity));
    for (size_t i = 0; i < plan.Count(); ++i) {
        const ViewPlanEntry& e = plan.entries[i];
        FUZZ_CHECK(e.Record().size() == kViewPlanRecordSize);
        FUZZ_CHECK(std::isfinite(e.AosValue()) && std::isfinite(e.LosValue()));
        FUZZ_CHECK(std::isfinite(e.AosLocal()) && std::isfinite(e.LosLocal()));
    }

    // As loaded (a plan is shown before it is purged), then as the program keeps it.
    ViewPlan neutral;
    for (const ViewPlanEntry& e : plan.entries) neutral.entries.push_back(Neutral(e));
    CheckTexts(neutral);
    const double now = fuzz::kCatalogueDay + 0.9;
    PurgeViewPlan(neutral, now);
    CheckTexts(neutral);

    ViewPlan kept = plan;
    PurgeViewPlan(kept, now);
    ViewPlan saved = plan;
    FUZZ_CHECK(SaveViewPlan(saved, file.Path(), now, &error));
    FUZZ_CHECK(saved.entries == kept.entries);
    return 0;
}
