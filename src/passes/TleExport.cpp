#include "passes/TleExport.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/AtomicFile.h"
#include "core/Text.h"
#include "orbit/CatalogueNumber.h"
#include "orbit/ElementSet.h"
#include "passes/ViewPlan.h"

namespace corvane {

std::string AosMinuteText(std::string_view aosTimeText) {
    const std::string time = Column(aosTimeText, 1, 8);
    std::string hours = time.substr(0, 2);
    std::string minutes = time.substr(3, 2);
    const int seconds = LeadingInt(time.substr(6, 2));
    if (seconds > 29 && minutes != "59") {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d", LeadingInt(minutes) + 1);
        minutes = buf;
    }
    return hours + ":" + minutes;
}

std::string NameLineWithAos(std::string_view nameLine, std::string_view aosTimeText) {
    const bool blankTenth = nameLine.size() >= 10 && nameLine[9] == ' ';
    return std::string(nameLine.substr(0, std::min<size_t>(9, nameLine.size()))) +
           (blankTenth ? " @" : ".@") + AosMinuteText(aosTimeText);
}

std::string TleExportPlanStatus(size_t entries) {
    if (entries == 0) return "Currently no objects in the Viewing Plan!!!";
    return " " + std::to_string(entries) + " object(s) in the Viewing Plan.";
}

std::string TleExportProgress(size_t i, size_t n) {
    return "Writing object " + std::to_string(i) + " of " + std::to_string(n);
}

std::string TleExportDone(size_t n, const std::string& outputPath) {
    return " " + std::to_string(n) + " object(s) in file: \r\n" + outputPath;
}

namespace {

struct ElementLines {
    std::string name, line1, line2;
};

// The file's lines in groups of three (LF or CR LF); an incomplete last group is not an element
// set.
std::vector<ElementLines> ReadGroups(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    std::vector<ElementLines> groups;
    for (size_t i = 0; i + 2 < lines.size(); i += 3) groups.push_back({lines[i], lines[i + 1], lines[i + 2]});
    return groups;
}

}  // namespace

TleExportResult CreateViewPlanTle(const ViewPlan& plan, const std::string& inputPath,
                                  const std::string& outputPath, bool addAosToName,
                                  const std::function<void(size_t, size_t)>& progress) {
    TleExportResult result;
    std::string input;
    if (!ReadWholeFile(inputPath, input)) {
        result.outcome = TleExportOutcome::kInputMissing;
        if (!WriteFileAtomically(outputPath, "", &result.error))
            result.outcome = TleExportOutcome::kOutputFailed;
        return result;
    }
    const std::vector<ElementLines> groups = ReadGroups(input);
    std::string out;
    const size_t n = plan.entries.size();
    for (size_t i = 0; i < n; ++i) {
        if (progress) progress(i + 1, n);
        const ViewPlanEntry& entry = plan.entries[i];
        const std::string norad = Trim(entry.Norad());
        if (norad.empty()) continue;
        // Digits or Alpha-5 on either side: "A0000" in the plan finds "A0000" in the file.
        const std::optional<long> parsed = ParseCatalogueNumber(norad);
        const double number = parsed ? static_cast<double>(*parsed) : LeadingNumber(norad);
        for (const ElementLines& g : groups) {
            const std::string field = Column(g.line1, 3, 5);
            if (Trim(field).empty()) continue;
            const std::optional<long> fieldNumber = ParseCatalogueNumber(field);
            if ((fieldNumber ? static_cast<double>(*fieldNumber) : LeadingNumber(field)) != number) continue;
            const std::string name =
                addAosToName ? NameLineWithAos(g.name, TimeOfDayText(entry.AosLocal(), true, 0)) : g.name;
            out += name + "\r\n" + g.line1 + "\r\n" + g.line2 + "\r\n";
            ++result.written;
            break;
        }
    }
    if (!WriteFileAtomically(outputPath, out, &result.error))
        result.outcome = TleExportOutcome::kOutputFailed;
    return result;
}

}  // namespace corvane
