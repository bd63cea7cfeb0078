// Object names with control characters and UTF-8, on their way out: what goes to a terminal is
// valid UTF-8 without a control character (C0, DEL, C1), keeps every well-formed UTF-8 character
// of the name, and keeps plain ASCII as it is; an OMM name is one line; the sky view's picture
// stays well-formed XML; a report line keeps its 19 fields.
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "core/Text.h"
#include "maps/SkyChart.h"
#include "obslog/ObsLog.h"
#include "obslog/ObsReport.h"
#include "orbit/OmmReader.h"

using namespace corvane;

namespace {

// Decodes UTF-8, false on any malformed sequence; checks each code point.
bool ValidPrintableUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t code = 0;
        size_t n = 1;
        if (c < 0x80) {
            code = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            n = 2, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 3, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 4, code = c & 0x07;
        } else {
            return false;
        }
        if (i + n > text.size()) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if ((n == 3 && code < 0x800) || (n == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        if (code < 0x20 || (code >= 0x7F && code < 0xA0)) return false;
        i += n;
    }
    return true;
}

bool PlainAscii(std::string_view text) {
    for (char c : text)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);

    const std::string shown = Latin1ToUtf8Printable(name);
    FUZZ_CHECK(ValidPrintableUtf8(shown));
    if (PlainAscii(name)) FUZZ_CHECK(shown == name);
    // Input that is printable UTF-8 already comes out unchanged.
    if (ValidPrintableUtf8(name)) FUZZ_CHECK(shown == name);

    // The sky view's label: the picture parses, and the label reads back as it was shown.
    maps::SkyChart chart;
    chart.label = name;
    const std::string svg = maps::SkyChartSvg(chart);
    pugi::xml_document document;
    FUZZ_CHECK(document.load_buffer(svg.data(), svg.size(), pugi::parse_default, pugi::encoding_utf8));

    // An OMM record named by the input: its name line is one line.
    std::string csv =
        "OBJECT_NAME,NORAD_CAT_ID,EPOCH,MEAN_MOTION,ECCENTRICITY,INCLINATION,RA_OF_ASC_NODE,ARG_OF_"
        "PERICENTER,"
        "MEAN_ANOMALY\n\"";
    for (char c : name) csv += c == '"' ? std::string("\"\"") : std::string(1, c);
    csv += "\",25544,2017-04-27T12:00:00,15.5,.0007,51.64,247.46,130.53,325.02\n";
    for (const CatalogueEntry& entry : ReadOmmCsv(csv).entries)
        FUZZ_CHECK(entry.name.find_first_of("\r\n\t") == std::string::npos);

    // A report line of a record carrying the name keeps its 19 fields on one line.
    ObsRecord record;
    record[kObsNorad] = "25544";
    record[kObsName] = name;
    record[kObsRemarks] = name;
    const std::string line = ObsReportLine(FormatObsRecord(record));
    size_t tabs = 0;
    for (char c : line) tabs += c == '\t';
    FUZZ_CHECK(tabs == 18);
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
    return 0;
}
