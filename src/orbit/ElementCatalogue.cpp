#include "orbit/ElementCatalogue.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <fstream>
#include <sstream>

#include "core/Text.h"
#include "orbit/CatalogueNumber.h"
#include "orbit/ElementSet.h"
#include "orbit/OmmReader.h"

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
    if (number <= 0) return 0;
    for (int i = 1; i <= Count(); ++i)
        if (entries_[static_cast<size_t>(i - 1)].number == number) return i;
    return 0;
}

bool ElementCatalogue::LeftOut(long number) const {
    return number > 0 && std::find(leftOut_.begin(), leftOut_.end(), number) != leftOut_.end();
}

uint64_t ElementCatalogue::NewSerial() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

void ElementCatalogue::Add(CatalogueEntry entry) {
    entry.number = ParseCatalogueNumber(Column(entry.line1, 3, 5)).value_or(0);
    if (Count() >= kCapacity) {
        leftOut_.push_back(entry.number);
        return;
    }
    const bool iss = Column(entry.line1, 3, 5) == "25544";
    entries_.push_back(std::move(entry));
    if (iss) issIndex_ = Count();
    serial_ = NewSerial();
}

bool LooksLikeElementLines(std::string_view line1, std::string_view line2) {
    if (line1.size() < 7 || line2.size() < 7) return false;
    if (line1.substr(0, 2) != "1 " || line2.substr(0, 2) != "2 ") return false;
    const std::string_view number = line1.substr(2, 5);
    if (number != line2.substr(2, 5) || !ParseCatalogueNumber(number)) return false;
    for (std::string_view line : {line1, line2}) {
        if (line.size() < 69) continue;
        const char written = line[68];
        if (written >= '0' && written <= '9' && ElementLineChecksum(line) != written - '0') return false;
    }
    return true;
}

int ElementLineChecksum(std::string_view line) {
    int sum = 0;
    for (char c : line.substr(0, 68)) {
        if (c >= '0' && c <= '9') sum += c - '0';
        if (c == '-') sum += 1;
    }
    return sum % 10;
}

namespace {

// Lines of a stream ended by LF, CR LF or a lone CR; the last line may have no end.
class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in) {}

    bool Next(std::string& line) {
        line.clear();
        for (;;) {
            if (pos_ == size_ && !Refill()) return !line.empty();
            const char* begin = buffer_ + pos_;
            const char* end = buffer_ + size_;
            if (skipLf_) {
                skipLf_ = false;
                if (*begin == '\n') {
                    ++pos_;
                    continue;
                }
            }
            const char* stop = begin;
            while (stop != end && *stop != '\n' && *stop != '\r') ++stop;
            line.append(begin, stop);
            pos_ = static_cast<size_t>(stop - buffer_);
            if (stop == end) continue;
            skipLf_ = *stop == '\r';
            ++pos_;
            return true;
        }
    }

private:
    bool Refill() {
        if (!in_) return false;
        in_.read(buffer_, sizeof buffer_);
        size_ = static_cast<size_t>(in_.gcount());
        pos_ = 0;
        return size_ > 0;
    }

    std::istream& in_;
    char buffer_[1 << 16];
    size_t pos_ = 0, size_ = 0;
    bool skipLf_ = false;  // the last line ended with CR: a following LF belongs to it
};

bool HasText(const std::string& line) { return line.find_first_not_of(" \t") != std::string::npos; }

}  // namespace

std::string RefusedRecordsText(int count) {
    return " Refused " + std::to_string(count) +
           (count == 1 ? " unreadable record." : " unreadable records.");
}

namespace {

// The loader over a file, or over text already in memory (`text` not null).
LoadResult LoadElements(const std::string& fileName, const std::string_view* text, LoadObserver* observer) {
    LoadResult result;
    auto catalogue = std::make_shared<ElementCatalogue>();
    auto status = [&](const std::string& text) {
        if (observer) observer->Status(text);
    };
    status("No objects.");
    result.status = "No objects.";
    bool foundElementSet = false;
    if (!fileName.empty() || text != nullptr) {
        std::ifstream file;
        std::istringstream memory;
        if (text != nullptr)
            memory.str(std::string(*text));
        else
            file.open(fileName, std::ios::binary);
        std::istream& in = text != nullptr ? static_cast<std::istream&>(memory) : file;
        if (!in) {
            if (observer) observer->OpenFailed("Could not open " + fileName, "Open File Error");
            result.catalogue = std::move(catalogue);
            return result;
        }
        result.opened = true;
        auto accept = [&](CatalogueEntry entry) {
            foundElementSet = true;
            if (ToUpper(entry.name).find("DECAYED") != std::string::npos) return;
            // DEPARTURE: sets beyond the capacity are counted, not dropped unseen, so that the
            // status can say how many of the file's objects were kept.
            ++result.objectsInFile;
            const bool full = catalogue->Count() >= ElementCatalogue::kCapacity;
            catalogue->Add(std::move(entry));  // beyond the capacity only its number is kept
            if (full) return;
            if (catalogue->Count() % 100 == 0)
                status(std::to_string(catalogue->Count()) + " object(s) loaded.");
        };
        // The form is told by the content: OMM CSV or XML, or the three-line form.
        char head[4096];
        in.read(head, sizeof head);
        ElementFileFormat format =
            DetectElementFileFormat(std::string_view(head, static_cast<size_t>(in.gcount())));
        in.clear();
        in.seekg(0);
        if (format != ElementFileFormat::kTwoLine) {
            // Read piece by piece: a file far beyond the capacity costs no more memory than the
            // objects kept.
            OmmStreamReader omm(format, [&](CatalogueEntry&& entry) { accept(std::move(entry)); });
            std::vector<char> chunk(1 << 20);
            while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0)
                omm.Feed(std::string_view(chunk.data(), static_cast<size_t>(in.gcount())));
            omm.Finish();
            result.unreadableRecords = omm.Unreadable();
            // Markup without one OMM record (a web page): read as lines, which reports it.
            if (omm.Records() == 0) {
                format = ElementFileFormat::kTwoLine;
                in.clear();
                in.seekg(0);
            }
        }
        LineReader reader(in);
        std::deque<std::string> lines;
        auto fill = [&] {
            while (lines.size() < 3) {
                std::string line;
                if (!reader.Next(line)) return false;
                lines.push_back(std::move(line));
            }
            return true;
        };
        auto passOver = [&](size_t count) {
            for (size_t i = 0; i < count; ++i) {
                if (HasText(lines.front())) ++result.skippedLines;
                lines.pop_front();
            }
        };
        while (format == ElementFileFormat::kTwoLine) {
            // A group cut short by the end of the file is dropped.
            if (!fill()) break;
            // DEPARTURE: only a name line followed by two element lines is an entry; other lines
            // are passed over, so a file of anything else is not listed as objects made of its
            // lines, and one stray line does not garble every entry after it.
            if (!LooksLikeElementLines(lines[1], lines[2])) {
                passOver(LooksLikeElementLines(lines[0], lines[1]) ? 2 : 1);
                continue;
            }
            accept(CatalogueEntry{std::move(lines[0]), std::move(lines[1]), std::move(lines[2]), 0});
            lines.clear();
        }
        passOver(lines.size());
    }
    if (catalogue->Count() > 0) {
        result.status = std::to_string(catalogue->Count()) + " total.";
        if (result.objectsInFile > catalogue->Count())
            result.status += " Kept " + std::to_string(catalogue->Count()) + " of " +
                             std::to_string(result.objectsInFile) + " objects.";
        result.fileName = TrimRight(fileName);
    }
    if (result.unreadableRecords > 0) result.status += RefusedRecordsText(result.unreadableRecords);
    result.noElementSets =
        result.opened && !foundElementSet && (result.skippedLines > 0 || result.unreadableRecords > 0);
    if (result.noElementSets && observer)
        observer->NoElementSets("No element sets found in " + fileName, "Open File Error");
    status(result.status);
    result.catalogue = std::move(catalogue);
    return result;
}

}  // namespace

LoadResult LoadElementFile(const std::string& fileName, LoadObserver* observer) {
    return LoadElements(fileName, nullptr, observer);
}

LoadResult LoadElementText(std::string_view text) { return LoadElements("", &text, nullptr); }

}  // namespace corvane
