#include "passes/ObjectInfo.h"

#include <cmath>
#include <fstream>

#include "core/Text.h"
#include "passes/PassText.h"

namespace corvane {

std::optional<ObjectInfo> FindObjectInfo(const std::string& path, long catalogueNumber) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string record(kObjectInfoRecordSize, '\0');
    // Whole records only: a short tail is not a record.
    while (in.read(record.data(), static_cast<std::streamsize>(record.size()))) {
        const double number = LeadingNumber(std::string_view(record).substr(0, 6));
        if (number != static_cast<double>(catalogueNumber)) continue;
        ObjectInfo info;
        info.number = catalogueNumber;
        info.title = TrimBlanksAndNul(std::string_view(record).substr(6, 55));
        info.text = TrimBlanksAndNul(std::string_view(record).substr(61, 2500));
        return info;
    }
    return std::nullopt;
}

std::string InformationTitle(const ObjectInfo& info) { return "Information - " + info.title; }

}  // namespace corvane
