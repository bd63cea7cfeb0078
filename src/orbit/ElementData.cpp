#include "orbit/ElementData.h"

#include "core/Text.h"

namespace corvane {

namespace {
// Columns are 1-based, as in the element-set format.
std::string Column(std::string_view line, size_t start, size_t length) {
    if (start == 0 || start > line.size()) return {};
    return Trim(line.substr(start - 1, length));
}
}  // namespace

std::vector<std::pair<std::string, std::string>> ElementDataRows(std::string_view l1, std::string_view l2) {
    struct Row {
        const char* label;
        int line;
        size_t start, length;
    };
    static const Row rows[] = {
        {"NORAD Number        ", 1, 3, 5},
        {"Classification      ", 1, 8, 1},
        {"Launch Year         ", 1, 10, 2},
        {"Launch Number       ", 1, 12, 3},
        {"Piece of the Launch ", 1, 15, 3},
        {"Epoch Year          ", 1, 19, 2},
        {"Epoch Day           ", 1, 21, 12},
        {"1st Deriative Mean Motion  ", 1, 34, 10},
        {"2nd Deriative Mean Motion  ", 1, 45, 8},
        {"BSTAR Drag Term     ", 1, 54, 8},
        {"Ephemeris Type     ", 1, 63, 1},
        {"Element Number     ", 1, 65, 4},
        {"Inclination   ", 2, 9, 8},
        {"RA of Ascending Node", 2, 18, 8},
        {"Eccentricity", 2, 27, 7},
        {"Argument of Perigee", 2, 35, 8},
        {"Mean Anomaly", 2, 44, 8},
        {"Mean Motion   ", 2, 53, 11},
        {"Revolution Number at Epoch", 2, 64, 5},
    };
    std::vector<std::pair<std::string, std::string>> out;
    out.reserve(std::size(rows));
    for (const Row& r : rows) out.emplace_back(r.label, Column(r.line == 1 ? l1 : l2, r.start, r.length));
    return out;
}

}  // namespace corvane
