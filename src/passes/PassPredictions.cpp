#include "passes/PassPredictions.h"

#include <cctype>
#include <cmath>

#include "core/Text.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/ElementSet.h"
#include "passes/PassText.h"
#include "orbit/CatalogueNumber.h"

namespace corvane {

ObjectIdentity IdentityOf(const ElementCatalogue& catalogue, int object) {
    ObjectIdentity id;
    const CatalogueEntry* entry = catalogue.Entry(object);
    if (entry == nullptr) return id;
    id.name = Trim(std::string_view(entry->name).substr(0, 24));
    id.field = Trim(Column(entry->line1, 3, 5));
    id.number = CatalogueNumberText(id.field);
    return id;
}

DayWindowResult ComputeDayWindow(const ElementCatalogue& catalogue, int object, PropagationSlot& slot,
                                 const Site& site, const PassSettings& settings,
                                 const DayWindowRequest& request) {
    DayWindowResult result;
    const ObjectIdentity id = IdentityOf(catalogue, object);
    result.satelliteText = "Satellite: " + id.name + " " + id.number;
    const double windowStart = request.nowLocal + request.window;
    result.fromText = "From: " + CalendarDateText(windowStart) + " " + TimeOfDayText(windowStart, true, 0);
    result.toText =
        " to " + CalendarDateText(windowStart + 1.0) + " " + TimeOfDayText(windowStart + 1.0, true, 0);

    const double start = request.nowLocal - site.utcOffset / 24.0;
    PassSearch search(catalogue, object, slot, site, settings, start);
    for (PassRecord& pass : search.FindPasses(DayWindowRange(request.window), SearchVariant::kSingleObject,
                                              request.excludeDaytime)) {
        // Whole seconds on both sides: a pass of exactly the minimum is listed.
        if (pass.losSecond - pass.aosSecond < request.minimumSeconds) continue;
        result.lines.push_back(PassListLine(pass, site.utcOffset));
        result.passes.push_back(std::move(pass));
    }
    return result;
}

std::vector<PassRecord> PassesOverDays(const ElementCatalogue& catalogue, int object, PropagationSlot& slot,
                                       const Site& site, const PassSettings& settings, double startUtc,
                                       int days, long long minimumSeconds, bool excludeDaytime) {
    std::vector<PassRecord> all;
    PassSearch search(catalogue, object, slot, site, settings, startUtc);
    for (int w = 0; w < days; ++w) {
        for (PassRecord& pass :
             search.FindPasses(DayWindowRange(w), SearchVariant::kSingleObject, excludeDaytime)) {
            if (pass.losSecond - pass.aosSecond < minimumSeconds) continue;
            all.push_back(std::move(pass));
        }
    }
    return all;
}

std::optional<PassRecord> PassAroundNow(const ElementCatalogue& catalogue, int object, PropagationSlot& slot,
                                        const Site& site, const PassSettings& settings, double nowUtc) {
    constexpr long long kBefore = 2 * 3600;
    PassSearch search(catalogue, object, slot, site, settings, nowUtc - kBefore / 86400.0);
    if (!search.HasObject()) return std::nullopt;
    const ScanRange range{1, static_cast<double>(kBefore + 86400)};
    const std::vector<PassRecord> passes = search.FindPasses(range, SearchVariant::kSingleObject, false);
    std::optional<PassRecord> ended, next;
    for (const PassRecord& p : passes) {
        if (p.aosSecond <= kBefore && p.losSecond >= kBefore) return p;
        if (p.losSecond < kBefore) ended = p;
        if (p.aosSecond > kBefore && !next) next = p;
    }
    return ended ? ended : next;
}

std::string PredictionsTitle(const ObjectIdentity& object) {
    return "Satellite Pass Predictions - " + object.name + " " + object.number;
}

std::string PredictionsHeader() {
    return " AOS" + std::string(26, ' ') + std::string(18, ' ') + "LOS" + std::string(42, ' ') + "Duration" +
           std::string(5, ' ') + "Max. Elevation";
}

std::vector<std::string> SkipToDates(double nowLocal) {
    std::vector<std::string> dates;
    for (int i = 0; i <= 30; ++i) dates.push_back(CalendarDateText(nowLocal + i));
    return dates;
}

std::string PassCopyText(std::string_view line, std::string_view number, std::string_view name) {
    std::string text(line);
    text += "   ";
    text += number;
    text += "  ";
    text += name;
    for (char& c : text) {
        if (c == '\t') c = ' ';
    }
    return text;
}

namespace {
bool StartsWithNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i < text.size() && text[i] == '.') ++i;
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}
}  // namespace

long long MinimumSecondsOf(std::string_view durationField) {
    const double minutes = LeadingNumber(durationField);
    // Held to a sane range: a huge number means "no pass is long enough", not an overflow.
    const double seconds = std::trunc(std::fmin(std::fmax(minutes * 60.0, -1.0e9), 1.0e9));
    return static_cast<long long>(seconds);
}

bool DurationFieldNeedsCorrection(std::string_view durationField) {
    return StartsWithNumber(durationField) && LeadingNumber(durationField) < 2.0;
}

}  // namespace corvane
