#pragma once
// Orbit Mean-Elements Message (OMM) files in the CSV and XML forms element services publish,
// turned into the three lines of the two-line form, rounded to the precision those lines carry,
// so that the catalogue and every step after it see one kind of element set.
#include <functional>
#include <map>
#include <memory>
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

// Reads an OMM file piece by piece, as it arrives: each readable record goes to the sink as soon
// as it is complete, so a file of any size is read in little memory. XML is cut into its <omm>
// elements, each read on its own (an element that is never closed, or larger than a megabyte, is
// one unreadable record). A name's line breaks and tabs become blanks.
class OmmStreamReader {
public:
    using Sink = std::function<void(CatalogueEntry&&)>;
    OmmStreamReader(ElementFileFormat format, Sink sink);
    ~OmmStreamReader();
    OmmStreamReader(const OmmStreamReader&) = delete;
    OmmStreamReader& operator=(const OmmStreamReader&) = delete;

    void Feed(std::string_view bytes);
    // The end of the file: a last row or record still open is read or counted.
    void Finish();
    int Records() const;     // records seen (<omm> elements, CSV rows after the header)
    int Unreadable() const;  // records that could not be read

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace corvane
