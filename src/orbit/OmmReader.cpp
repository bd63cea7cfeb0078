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
    OmmReadResult* result = nullptr;
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
    ++s->result->records;
    CatalogueEntry entry;
    bool ok = row.size() == s->header.size();
    if (ok) {
        OmmFields fields;
        for (size_t i = 0; i < row.size(); ++i) fields[s->header[i]] = Trimmed(row[i]);
        ok = OmmToElementLines(fields, entry);
    }
    if (ok) {
        s->result->entries.push_back(std::move(entry));
    } else {
        ++s->result->unreadable;
    }
}

}  // namespace

OmmReadResult ReadOmmCsv(std::string_view text) {
    OmmReadResult result;
    CsvState state;
    state.result = &result;
    csv_parser parser;
    if (csv_init(&parser, CSV_APPEND_NULL) != 0) return result;
    // Rows of a damaged file are read as far as they go; a row that does not fit the header is
    // counted as unreadable rather than ending the file.
    const size_t parsed = csv_parse(&parser, text.data(), text.size(), CsvField, CsvRowEnd, &state);
    if (parsed != text.size()) {
        // Only a memory failure stops libcsv in its relaxed mode.
        ++result.unreadable;
    } else {
        csv_fini(&parser, CsvField, CsvRowEnd, &state);
    }
    csv_free(&parser);
    return result;
}

namespace {

std::string LocalName(const char* name) {
    std::string key(name);
    if (const size_t colon = key.find(':'); colon != std::string::npos) key.erase(0, colon + 1);
    return key;
}

// Every <omm> element, in document order (an <ndm> of many, or one on its own). Iterative: a
// deeply nested damaged file must not exhaust the stack.
void CollectRecords(pugi::xml_node root, std::vector<pugi::xml_node>& records) {
    std::vector<pugi::xml_node> pending{root};
    while (!pending.empty()) {
        const pugi::xml_node node = pending.back();
        pending.pop_back();
        if (node.type() == pugi::node_element && Upper(LocalName(node.name())) == "OMM") {
            records.push_back(node);
            continue;
        }
        std::vector<pugi::xml_node> children;
        for (pugi::xml_node child : node.children())
            if (child.type() == pugi::node_element) children.push_back(child);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

// The leaf elements of a record by name: <EPOCH>, <MEAN_MOTION>, ... wherever they sit.
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
            fields.emplace(Upper(LocalName(node.name())), Trimmed(node.child_value()));
    }
}

}  // namespace

OmmReadResult ReadOmmXml(std::string_view text) {
    OmmReadResult result;
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size(), pugi::parse_default);
    // A damaged document keeps what was read before the damage; the rest counts as one record.
    bool damaged = !parsed;
    std::vector<pugi::xml_node> records;
    CollectRecords(document, records);
    result.records = static_cast<int>(records.size());
    if (damaged && !records.empty()) ++result.unreadable;
    for (pugi::xml_node record : records) {
        OmmFields fields;
        CollectFields(record, fields);
        CatalogueEntry entry;
        if (OmmToElementLines(fields, entry)) {
            result.entries.push_back(std::move(entry));
        } else {
            ++result.unreadable;
        }
    }
    return result;
}

}  // namespace corvane
