#pragma once
// Orbit Mean-Elements Message (OMM) files in the CSV and XML forms element services publish,
// turned into the three lines of the two-line form, rounded to the precision those lines carry,
// so that the catalogue and every step after it see one kind of element set.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "orbit/ElementCatalogue.h"

namespace corvane {

enum class ElementFileFormat { kTwoLine, kOmmCsv, kOmmXml };

// The form of a file from its first bytes: "<" (after a byte-order mark and blanks) is XML, a
// first line naming the OBJECT_NAME and NORAD_CAT_ID columns is CSV, anything else two-line.
ElementFileFormat DetectElementFileFormat(std::string_view head);

// One OMM record: keys as written (upper case), values with surrounding blanks removed.
using OmmFields = std::map<std::string, std::string>;

struct OmmReadResult {
    std::vector<CatalogueEntry> entries;  // readable records, in file order
    int records = 0;                      // records seen (<omm> elements, CSV rows after the header)
    int unreadable = 0;                   // records skipped: a field missing, not a number or
                                          // out of what the two-line form can hold
};

// The three lines of one record (name line padded to 24 characters, checksums written); false
// when a field it needs is missing or cannot be written in the two-line form.
bool OmmToElementLines(const OmmFields& fields, CatalogueEntry& entry);

OmmReadResult ReadOmmCsv(std::string_view text);
OmmReadResult ReadOmmXml(std::string_view text);

}  // namespace corvane
