#include "orbit/ElementCatalogue.h"

#include <fstream>

#include "core/Text.h"
#include "orbit/ElementSet.h"

namespace corvane {

const CatalogueEntry* ElementCatalogue::Entry(int index) const {
    if (index < 1 || index > Count()) return nullptr;
    return &entries_[static_cast<size_t>(index - 1)];
}

std::string_view ElementCatalogue::NameLine(int index) const {
    const CatalogueEntry* e = Entry(index);
    return e ? std::string_view(e->name) : std::string_view();
}
std::string_view ElementCatalogue::Line1(int index) const {
    const CatalogueEntry* e = Entry(index);
    return e ? std::string_view(e->line1) : std::string_view();
}
std::string_view ElementCatalogue::Line2(int index) const {
    const CatalogueEntry* e = Entry(index);
    return e ? std::string_view(e->line2) : std::string_view();
}

int ElementCatalogue::FindCatalogueNumber(long number) const {
    for (int i = 1; i <= Count(); ++i) {
        const std::string field = Trim(Column(entries_[static_cast<size_t>(i - 1)].line1, 3, 5));
        if (!field.empty() && LeadingNumber(field) == static_cast<double>(number)) return i;
    }
    return 0;
}

void ElementCatalogue::Add(CatalogueEntry entry) {
    if (Count() >= kCapacity) return;
    const bool iss = Column(entry.line1, 3, 5) == "25544";
    entries_.push_back(std::move(entry));
    if (iss) issIndex_ = Count();
}

namespace {
bool ReadLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
}  // namespace

LoadResult LoadElementFile(const std::string& fileName, LoadObserver* observer) {
    LoadResult result;
    auto catalogue = std::make_shared<ElementCatalogue>();
    auto status = [&](const std::string& text) {
        if (observer) observer->Status(text);
    };
    status("No objects.");
    result.status = "No objects.";
    if (!fileName.empty()) {
        std::ifstream in(fileName, std::ios::binary);
        if (!in) {
            if (observer) observer->OpenFailed("Could not open " + fileName, "Open File Error");
            result.catalogue = std::move(catalogue);
            return result;
        }
        result.opened = true;
        CatalogueEntry entry;
        while (catalogue->Count() < ElementCatalogue::kCapacity) {
            if (!ReadLine(in, entry.name)) break;
            // A group cut short by the end of the file is dropped.
            if (!ReadLine(in, entry.line1) || !ReadLine(in, entry.line2)) break;
            if (ToUpper(entry.name).find("DECAYED") != std::string::npos) continue;
            catalogue->Add(entry);
            if (catalogue->Count() % 100 == 0)
                status(std::to_string(catalogue->Count()) + " object(s) loaded.");
        }
    }
    if (catalogue->Count() > 0) {
        result.status = std::to_string(catalogue->Count()) + " total.";
        result.fileName = TrimRight(fileName);
    }
    status(result.status);
    result.catalogue = std::move(catalogue);
    return result;
}

}  // namespace corvane
