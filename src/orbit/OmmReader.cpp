#include "orbit/OmmReader.h"

#include <csv.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <pugixml.hpp>

#include "orbit/CatalogueNumber.h"

namespace corvane {

namespace {

std::string Trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(first, last - first + 1));
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

const std::string* Find(const OmmFields& fields, const char* key) {
    auto it = fields.find(key);
    return it == fields.end() || it->second.empty() ? nullptr : &it->second;
}

// The whole text as a finite decimal number.
std::optional<double> Number(const std::string& text) {
    if (text.empty() || text.size() > 40) return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<double> Required(const OmmFields& fields, const char* key) {
    const std::string* text = Find(fields, key);
    return text ? Number(*text) : std::nullopt;
}

std::optional<double> Optional(const OmmFields& fields, const char* key) {
    const std::string* text = Find(fields, key);
    return text ? Number(*text) : std::optional<double>(0.0);
}

std::optional<long> WholeNumber(const OmmFields& fields, const char* key, long fallback) {
    const std::string* text = Find(fields, key);
    if (!text) return fallback;
    const std::optional<double> v = Number(*text);
    if (!v || *v != std::floor(*v) || std::fabs(*v) > 1.0e9) return std::nullopt;
    return static_cast<long>(*v);
}

// "%8.4f"-style text that must fill exactly width characters.
bool Fixed(double v, int width, int decimals, std::string& out) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, v);
    if (static_cast<int>(std::string_view(buf).size()) != width) return false;
    out += buf;
    return true;
}

// The two-line form's assumed-point exponent field: sign, five digits, exponent sign and digit
// (" 12345-3" is 0.12345E-3). Rounded from the value's own correctly rounded decimal digits.
bool ExponentField(double v, std::string& out) {
    if (v == 0.0) {
        out += " 00000-0";
        return true;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4e", std::fabs(v));  // d.dddde±xx
    const std::string text(buf);
    const size_t e = text.find('e');
    if (e != 6) return false;
    const int exponent = std::atoi(text.c_str() + e + 1) + 1;
    if (exponent < -9) {
        out += " 00000-0";  // below what the field can hold
        return true;
    }
    if (exponent > 9) return false;
    out += v < 0 ? '-' : ' ';
    out += text[0];
    out += text.substr(2, 4);
    out += exponent < 0 ? '-' : '+';
    out += static_cast<char>('0' + std::abs(exponent));
    return true;
}

// "2017-04-27T12:34:56.123456" (a trailing "Z" allowed) as the two-line epoch YYDDD.DDDDDDDD.
bool EpochField(const std::string& text, std::string& out) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%n", &year, &month, &day, &hour, &minute, &used) !=
            5 ||
        used == 0)
        return false;
    std::string rest = text.substr(static_cast<size_t>(used));
    if (!rest.empty() && (rest.back() == 'Z' || rest.back() == 'z')) rest.pop_back();
    const std::optional<double> second = Number(rest);
    if (!second || *second < 0 || *second >= 61 || year < 1957 || year > 2056 || month < 1 || month > 12 ||
        day < 1 || day > 31 || hour > 23 || minute > 59 || hour < 0 || minute < 0)
        return false;
    static constexpr int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int dayOfYear = kDaysBefore[month - 1] + day + (leap && month > 2 ? 1 : 0);
    const double dayNumber = dayOfYear + (hour * 3600.0 + minute * 60.0 + *second) / 86400.0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%012.8f", year % 100, dayNumber);
    if (std::string_view(buf).size() != 14) return false;
    out += buf;
    return true;
}

// "1998-067A" as the international designator field "98067A  ".
std::string DesignatorField(const std::string* objectId) {
    std::string field(8, ' ');
    if (!objectId || objectId->size() < 9 || (*objectId)[4] != '-') return field;
    const std::string& id = *objectId;
    for (size_t i : {2u, 3u, 5u, 6u, 7u})
        if (!std::isdigit(static_cast<unsigned char>(id[i]))) return field;
    const std::string piece = id.substr(8, 3);
    field = id.substr(2, 2) + id.substr(5, 3) + piece + std::string(3 - piece.size(), ' ');
    return field;
}

// Control bytes of a name as stored: a line break or tab (pretty-printed markup, a stray one in
// a CSV field) becomes a blank, since a name line is one line of the element file.
void MakeOneLine(std::string& name) {
    for (char& c : name)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
}

void AppendChecksum(std::string& line) { line += static_cast<char>('0' + ElementLineChecksum(line)); }

}  // namespace

bool OmmToElementLines(const OmmFields& fields, CatalogueEntry& entry) {
    const std::optional<long> number = WholeNumber(fields, "NORAD_CAT_ID", -1);
    const std::string* epoch = Find(fields, "EPOCH");
    const auto meanMotion = Required(fields, "MEAN_MOTION");
    const auto eccentricity = Required(fields, "ECCENTRICITY");
    const auto inclination = Required(fields, "INCLINATION");
    const auto node = Required(fields, "RA_OF_ASC_NODE");
    const auto perigee = Required(fields, "ARG_OF_PERICENTER");
    const auto anomaly = Required(fields, "MEAN_ANOMALY");
    const auto bstar = Optional(fields, "BSTAR");
    const auto ndot = Optional(fields, "MEAN_MOTION_DOT");
    const auto nddot = Optional(fields, "MEAN_MOTION_DDOT");
    const auto elementSet = WholeNumber(fields, "ELEMENT_SET_NO", 999);
    const auto revolution = WholeNumber(fields, "REV_AT_EPOCH", 0);
    if (!number || *number < 1 || *number > kLargestAlpha5Number || !epoch || !meanMotion || !eccentricity ||
        !inclination || !node || !perigee || !anomaly || !bstar || !ndot || !nddot || !elementSet ||
        !revolution)
        return false;
    if (*eccentricity < 0 || *eccentricity >= 1 || *meanMotion <= 0 || std::fabs(*ndot) >= 1) return false;
    const std::string field = CatalogueNumberField(*number);

    const std::string* classification = Find(fields, "CLASSIFICATION_TYPE");
    const std::string* ephemeris = Find(fields, "EPHEMERIS_TYPE");
    std::string l1 = "1 " + field;
    l1 += classification && classification->size() == 1 ? (*classification)[0] : 'U';
    l1 += ' ' + DesignatorField(Find(fields, "OBJECT_ID")) + ' ';
    if (!EpochField(*epoch, l1)) return false;
    // n-dot/2 as sign and ".dddddddd".
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.8f", std::fabs(*ndot));
    if (buf[0] != '0') return false;
    l1 += ' ';
    l1 += *ndot < 0 && std::string_view(buf) != "0.00000000" ? '-' : ' ';
    l1 += buf + 1;
    l1 += ' ';
    if (!ExponentField(*nddot, l1)) return false;
    l1 += ' ';
    if (!ExponentField(*bstar, l1)) return false;
    l1 += ' ';
    l1 += ephemeris && ephemeris->size() == 1 && std::isdigit(static_cast<unsigned char>((*ephemeris)[0]))
              ? (*ephemeris)[0]
              : '0';
    std::snprintf(buf, sizeof buf, " %4ld", std::labs(*elementSet) % 10000);
    l1 += buf;
    AppendChecksum(l1);

    std::string l2 = "2 " + field + ' ';
    if (!Fixed(*inclination, 8, 4, l2)) return false;
    l2 += ' ';
    if (!Fixed(*node, 8, 4, l2)) return false;
    l2 += ' ';
    std::snprintf(buf, sizeof buf, "%.7f", *eccentricity);
    if (std::string_view(buf).size() != 9 || buf[0] != '0') return false;  // 1.0000000 after rounding
    l2 += buf + 2;
    l2 += ' ';
    if (!Fixed(*perigee, 8, 4, l2)) return false;
    l2 += ' ';
    if (!Fixed(*anomaly, 8, 4, l2)) return false;
    l2 += ' ';
    if (!Fixed(*meanMotion, 11, 8, l2)) return false;
    std::snprintf(buf, sizeof buf, "%5ld", std::labs(*revolution) % 100000);
    l2 += buf;
    AppendChecksum(l2);

    const std::string* name = Find(fields, "OBJECT_NAME");
    entry.name = name ? *name : Trimmed(field);
    MakeOneLine(entry.name);
    if (entry.name.size() < 24) entry.name.resize(24, ' ');
    entry.line1 = std::move(l1);
    entry.line2 = std::move(l2);
    return true;
}

ElementFileFormat DetectElementFileFormat(std::string_view head) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    const size_t first = head.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return ElementFileFormat::kTwoLine;
    head.remove_prefix(first);
    if (head[0] == '<') return ElementFileFormat::kOmmXml;
    const std::string line = Upper(std::string(head.substr(0, head.find_first_of("\r\n"))));
    if (line.find(',') != std::string::npos && line.find("OBJECT_NAME") != std::string::npos &&
        line.find("NORAD_CAT_ID") != std::string::npos)
        return ElementFileFormat::kOmmCsv;
    return ElementFileFormat::kTwoLine;
}

namespace {

struct CsvState {
    std::vector<std::string> header;
    std::vector<std::string> row;
    OmmStreamReader::Sink* sink = nullptr;
    int records = 0;
    int unreadable = 0;
    bool inHeader = true;
};

void CsvField(void* data, size_t size, void* state) {
    auto* s = static_cast<CsvState*>(state);
    s->row.emplace_back(static_cast<const char*>(data), size);
}

void CsvRowEnd(int, void* state) {
    auto* s = static_cast<CsvState*>(state);
    std::vector<std::string> row = std::move(s->row);
    s->row.clear();
    if (row.size() == 1 && Trimmed(row[0]).empty()) return;  // a blank line
    if (s->inHeader) {
        s->inHeader = false;
        for (std::string& name : row) {
            if (name.substr(0, 3) == "\xEF\xBB\xBF") name.erase(0, 3);
            s->header.push_back(Upper(Trimmed(name)));
        }
        return;
    }
    ++s->records;
    CatalogueEntry entry;
    bool ok = row.size() == s->header.size();
    if (ok) {
        OmmFields fields;
        for (size_t i = 0; i < row.size(); ++i) fields[s->header[i]] = Trimmed(row[i]);
        ok = OmmToElementLines(fields, entry);
    }
    if (ok) {
        (*s->sink)(std::move(entry));
    } else {
        ++s->unreadable;
    }
}

std::string LocalName(std::string_view name) {
    std::string key(name);
    if (const size_t colon = key.find(':'); colon != std::string::npos) key.erase(0, colon + 1);
    return key;
}

// The text of a leaf element, comments left out: "ISS <!-- note --> (ZARYA)" is "ISS  (ZARYA)".
std::string ElementText(pugi::xml_node node) {
    std::string text;
    for (pugi::xml_node child : node.children())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
    return text;
}

// The leaf elements of a record by name: <EPOCH>, <MEAN_MOTION>, ... wherever they sit.
// Iterative: a deeply nested damaged record must not exhaust the stack.
void CollectFields(pugi::xml_node record, OmmFields& fields) {
    std::vector<pugi::xml_node> pending{record};
    while (!pending.empty()) {
        const pugi::xml_node node = pending.back();
        pending.pop_back();
        bool hasElement = false;
        for (pugi::xml_node child : node.children()) {
            if (child.type() != pugi::node_element) continue;
            hasElement = true;
            pending.push_back(child);
        }
        if (!hasElement && node != record)
            fields.emplace(Upper(LocalName(node.name())), Trimmed(ElementText(node)));
    }
}

// A record larger than this is damage (a real one is about a kilobyte), not something to hold.
constexpr size_t kLargestXmlRecord = 1 << 20;

// Cuts an XML document into its <omm> elements as the bytes arrive, so that a file of any size
// is read with one record in memory at a time. A record runs from <omm> to the next </omm> (any
// namespace prefix, any case). Comments, CDATA sections, processing instructions and quoted
// attribute values are stepped over, so markup inside them does not count.
class XmlRecordSplitter {
public:
    XmlRecordSplitter(OmmStreamReader::Sink& sink, int& records, int& unreadable)
        : sink_(sink), records_(records), unreadable_(unreadable) {}

    void Feed(std::string_view bytes) {
        buffer_.append(bytes);
        Scan(false);
    }
    void Finish() {
        Scan(true);
        if (inRecord_) ++unreadable_;  // cut off by the end of the file
        inRecord_ = false;
        buffer_.clear();
    }

private:
    static bool StartsWith(std::string_view text, size_t at, std::string_view prefix) {
        return text.compare(at, prefix.size(), prefix) == 0;
    }

    // The end of the markup that starts with '<' at `at` (index of its last byte), or npos when
    // it has not all arrived.
    size_t MarkupEnd(size_t at) const {
        const std::string_view b(buffer_);
        auto after = [&](std::string_view close) {
            const size_t end = b.find(close, at + 2);
            return end == std::string_view::npos ? end : end + close.size() - 1;
        };
        if (StartsWith(b, at, "<!--")) return after("-->");
        if (StartsWith(b, at, "<![CDATA[")) return after("]]>");
        if (StartsWith(b, at, "<?")) return after("?>");
        char quote = 0;
        for (size_t i = at + 1; i < b.size(); ++i) {
            const char c = b[i];
            if (quote != 0) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return i;
            }
        }
        return std::string_view::npos;
    }

    void Scan(bool final) {
        size_t pos = scanned_;
        for (;;) {
            const size_t lt = buffer_.find('<', pos);
            if (lt == std::string::npos) {
                pos = buffer_.size();
                break;
            }
            // Room to tell "<!--" and "<![CDATA[" from a tag.
            if (!final && buffer_.size() - lt < 9) {
                pos = lt;
                break;
            }
            const size_t end = MarkupEnd(lt);
            if (end == std::string::npos) {
                pos = lt;
                if (final || buffer_.size() - (inRecord_ ? start_ : lt) > kLargestXmlRecord) {
                    // Never closed: what follows cannot be read.
                    if (inRecord_) ++unreadable_;
                    inRecord_ = false;
                    pos = buffer_.size();
                }
                break;
            }
            Markup(lt, end);
            pos = end + 1;
            if (inRecord_ && pos - start_ > kLargestXmlRecord) {
                ++unreadable_;
                inRecord_ = false;
            }
        }
        const size_t keep = inRecord_ ? start_ : pos;
        buffer_.erase(0, keep);
        start_ = 0;
        scanned_ = pos - keep;
    }

    void Markup(size_t lt, size_t end) {
        const std::string_view tag = std::string_view(buffer_).substr(lt, end - lt + 1);
        if (StartsWith(tag, 0, "<?")) {
            if (!inRecord_ && declaration_.empty() && StartsWith(tag, 0, "<?xml")) declaration_ = tag;
            return;
        }
        if (StartsWith(tag, 0, "<!")) return;  // a comment, CDATA or a document type
        const bool closing = tag.size() > 1 && tag[1] == '/';
        const bool empty = tag.size() > 2 && tag[tag.size() - 2] == '/';
        const size_t nameStart = closing ? 2 : 1;
        const size_t nameEnd = tag.find_first_of(" \t\r\n/>", nameStart);
        const bool omm = Upper(LocalName(tag.substr(nameStart, nameEnd - nameStart))) == "OMM";
        if (!omm) return;
        if (closing) {
            if (!inRecord_) return;
            inRecord_ = false;
            Record(std::string_view(buffer_).substr(start_, end + 1 - start_));
            return;
        }
        // A record opened inside another: the one before was never closed.
        if (inRecord_) ++unreadable_;
        inRecord_ = false;
        ++records_;
        if (empty) {
            ++unreadable_;
            return;
        }
        inRecord_ = true;
        start_ = lt;
    }

    // One <omm> element, parsed on its own; the document's declaration goes with it, so that its
    // encoding is known.
    void Record(std::string_view text) {
        std::string document = declaration_;
        document += text;
        pugi::xml_document parsed;
        CatalogueEntry entry;
        OmmFields fields;
        if (parsed.load_buffer(document.data(), document.size(), pugi::parse_default)) {
            CollectFields(parsed.document_element(), fields);
            if (OmmToElementLines(fields, entry)) {
                sink_(std::move(entry));
                return;
            }
        }
        ++unreadable_;
    }

    OmmStreamReader::Sink& sink_;
    int& records_;
    int& unreadable_;
    std::string buffer_;
    std::string declaration_;
    bool inRecord_ = false;
    size_t start_ = 0;    // where the open record starts in buffer_
    size_t scanned_ = 0;  // where the next Scan goes on
};

}  // namespace

struct OmmStreamReader::Impl {
    Impl(ElementFileFormat f, Sink s) : format(f), sink(std::move(s)), xml(sink, records, unreadable) {}
    ElementFileFormat format;
    Sink sink;
    int records = 0;
    int unreadable = 0;
    csv_parser parser{};
    CsvState csv;
    bool csvReady = false;
    bool csvFailed = false;
    XmlRecordSplitter xml;
};

OmmStreamReader::OmmStreamReader(ElementFileFormat format, Sink sink)
    : impl_(std::make_unique<Impl>(format, std::move(sink))) {
    if (format == ElementFileFormat::kOmmCsv) {
        impl_->csv.sink = &impl_->sink;
        impl_->csvReady = csv_init(&impl_->parser, CSV_APPEND_NULL) == 0;
        impl_->csvFailed = !impl_->csvReady;
    }
}

OmmStreamReader::~OmmStreamReader() {
    if (impl_->csvReady) csv_free(&impl_->parser);
}

void OmmStreamReader::Feed(std::string_view bytes) {
    Impl& m = *impl_;
    if (m.format == ElementFileFormat::kOmmXml) {
        m.xml.Feed(bytes);
    } else if (m.format == ElementFileFormat::kOmmCsv && m.csvReady && !m.csvFailed) {
        // Rows of a damaged file are read as far as they go; a row that does not fit the header
        // is counted as unreadable rather than ending the file. Only a memory failure stops
        // libcsv in its relaxed mode.
        if (csv_parse(&m.parser, bytes.data(), bytes.size(), CsvField, CsvRowEnd, &m.csv) != bytes.size())
            m.csvFailed = true;
    }
}

void OmmStreamReader::Finish() {
    Impl& m = *impl_;
    if (m.format == ElementFileFormat::kOmmXml) {
        m.xml.Finish();
    } else if (m.format == ElementFileFormat::kOmmCsv) {
        if (m.csvReady && !m.csvFailed) csv_fini(&m.parser, CsvField, CsvRowEnd, &m.csv);
        if (m.csvFailed) ++m.csv.unreadable;
        m.records = m.csv.records;
        m.unreadable = m.csv.unreadable;
    }
}

int OmmStreamReader::Records() const {
    return impl_->format == ElementFileFormat::kOmmCsv ? impl_->csv.records : impl_->records;
}
int OmmStreamReader::Unreadable() const {
    return impl_->format == ElementFileFormat::kOmmCsv ? impl_->csv.unreadable : impl_->unreadable;
}

namespace {

OmmReadResult ReadWhole(ElementFileFormat format, std::string_view text) {
    OmmReadResult result;
    OmmStreamReader reader(format,
                           [&result](CatalogueEntry&& entry) { result.entries.push_back(std::move(entry)); });
    reader.Feed(text);
    reader.Finish();
    result.records = reader.Records();
    result.unreadable = reader.Unreadable();
    return result;
}

}  // namespace

OmmReadResult ReadOmmCsv(std::string_view text) { return ReadWhole(ElementFileFormat::kOmmCsv, text); }
OmmReadResult ReadOmmXml(std::string_view text) { return ReadWhole(ElementFileFormat::kOmmXml, text); }

}  // namespace corvane
