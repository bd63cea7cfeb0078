// OMM element files, CSV and XML: every record read becomes two element lines the three-line
// reader accepts (numbers agree, checksums right), with a catalogue number it can read back.
#include <string_view>

#include "FuzzSupport.h"
#include "orbit/CatalogueNumber.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/OmmReader.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)DetectElementFileFormat(text);
    for (const OmmReadResult& result : {ReadOmmCsv(text), ReadOmmXml(text)}) {
        FUZZ_CHECK(result.unreadable >= 0 && result.records >= 0);
        FUZZ_CHECK(static_cast<int>(result.entries.size()) <= result.records);
        for (const CatalogueEntry& entry : result.entries) {
            FUZZ_CHECK(entry.line1.size() == 69 && entry.line2.size() == 69);
            FUZZ_CHECK(LooksLikeElementLines(entry.line1, entry.line2));
            FUZZ_CHECK(entry.line1[68] - '0' == ElementLineChecksum(entry.line1));
            const auto number = ParseCatalogueNumber(std::string_view(entry.line1).substr(2, 5));
            FUZZ_CHECK(number && *number >= 1 && *number <= kLargestAlpha5Number);
        }
    }
    return 0;
}
