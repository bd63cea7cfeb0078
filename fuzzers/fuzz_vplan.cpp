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
    if (plan.keepFile) {
        // A file that was not read whole and could not be set aside is never written over.
        const std::string before(reinterpret_cast<const char*>(data), size);
        FUZZ_CHECK(SaveViewPlan(saved, file.Path(), now, &error) == kept.entries.empty());
        std::FILE* f = std::fopen(file.Path().c_str(), "rb");
        std::string after;
        char buffer[4096];
        for (size_t n; f != nullptr && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) after.append(buffer, n);
        if (f != nullptr) std::fclose(f);
        FUZZ_CHECK(after == before);
    } else {
        FUZZ_CHECK(SaveViewPlan(saved, file.Path(), now, &error));
        FUZZ_CHECK(saved.entries == kept.entries);
    }
    // The copies set aside ("vplan.log.bad", ".bad2", ...) would fill up after 99 inputs.
    for (int i = 1; i <= 99; ++i) {
        const std::string copy = file.Path() + ".bad" + (i == 1 ? std::string() : std::to_string(i));
        if (std::remove(copy.c_str()) != 0) break;
    }
    return 0;
}
