#pragma once
// The element catalogue: the raw three lines of up to 100000 element sets, as read from an
// element file, in file order, indexed 1..count. A loaded catalogue never changes: a load
// builds a new one, and readers on other threads keep the one they hold (shared_ptr), so the
// tracking thread can go on reading while the user loads another file.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct CatalogueEntry {
    std::string name;   // name line, as read (line end removed)
    std::string line1;  // TLE line 1
    std::string line2;  // TLE line 2
    long number = 0;    // catalogue number of line 1 columns 3-7 (Alpha-5 read); 0 when unreadable
};

class ElementCatalogue {
public:
    static constexpr int kCapacity = 100000;

    int Count() const { return static_cast<int>(entries_.size()); }
    // Names this catalogue's contents for whatever is derived from them: unique to the process
    // and renewed by every Add, kept by a copy (whose contents are the same).
    uint64_t Serial() const { return serial_; }
    // Index of the last entry whose line 1 columns 3-7 read "25544"; 0 when absent.
    int IssIndex() const { return issIndex_; }
    // Entry 1..Count(), nullptr outside.
    const CatalogueEntry* Entry(int index) const;
    std::string_view NameLine(int index) const;
    std::string_view Line1(int index) const;
    std::string_view Line2(int index) const;
    // Index of the first entry whose catalogue number (line 1 columns 3-7, digits or Alpha-5)
    // is number; 0 when none is.
    int FindCatalogueNumber(long number) const;

    // Builds a catalogue: entries beyond the capacity are not kept, only their catalogue numbers
    // (see LeftOut); a "DECAYED" name is kept (the loader filters those).
    void Add(CatalogueEntry entry);
    // How many entries were offered beyond the capacity, and whether one of them had this
    // catalogue number: "not in the file" and "not kept" are different answers.
    int LeftOutCount() const { return static_cast<int>(leftOut_.size()); }
    bool LeftOut(long number) const;

private:
    std::vector<CatalogueEntry> entries_;
    std::vector<long> leftOut_;  // catalogue numbers of the entries beyond the capacity
    int issIndex_ = 0;
    uint64_t serial_ = NewSerial();
    static uint64_t NewSerial();
};

// What the loader reports while it reads. The window shows the texts in its status fields and
// raises the message box; the command line prints them. Called on the loading thread.
class LoadObserver {
public:
    virtual ~LoadObserver() = default;
    // Status text: "No objects.", "<n> object(s) loaded." every 100 objects, "<n> total.".
    virtual void Status(const std::string& text) { (void)text; }
    // The file could not be opened: message "Could not open <file>", title "Open File Error".
    virtual void OpenFailed(const std::string& message, const std::string& title) {
        (void)message;
        (void)title;
    }
    // The file was read but holds not one element set: message "No element sets found in
    // <file>", title "Open File Error". Shown like a file that cannot be opened unless overridden.
    virtual void NoElementSets(const std::string& message, const std::string& title) {
        OpenFailed(message, title);
    }
};

struct LoadResult {
    std::shared_ptr<const ElementCatalogue> catalogue;  // never null; empty on failure
    std::string status;                                 // final status text: "<n> total." or "No objects."
    bool opened = false;                                // the file could be opened
    std::string fileName;       // the element-file name to show (trailing blanks removed),
                                // empty when nothing was loaded
    int skippedLines = 0;       // lines with text that belong to no element set
    int unreadableRecords = 0;  // OMM records refused (a field missing or not a number)
    int objectsInFile = 0;      // element sets read, "DECAYED" ones left out; above the count when
                                // the file holds more than the catalogue keeps
    // The file holds text but not one element set (random bytes, a two-line file, a web page).
    bool noElementSets = false;
};

// True when two lines look like the lines of one element set: line 1 starts "1 ", line 2 starts
// "2 ", both carry the same catalogue number (columns 3-7, not blank), and a line whose column
// 69 is a digit has the checksum written there.
bool LooksLikeElementLines(std::string_view line1, std::string_view line2);
// The checksum of an element line: columns 1-68, digits by their value, "-" as 1, modulo 10.
int ElementLineChecksum(std::string_view line);

// Reads an element file: a name line followed by the two lines of an element set (see
// LooksLikeElementLines); line ends LF, CR LF or CR. A group whose name line contains "DECAYED"
// (any case) is skipped; a group cut short by the end of the file is dropped; the catalogue keeps
// the first kCapacity entries and the status says "Kept <n> of <m> objects." beyond that (OMM files
// are read piece by piece, so their size does not matter). A line that does
// not start such a group is passed over (and a line 1 / line 2 pair without a name line with it), so a stray
// line does not shift every later entry.
LoadResult LoadElementFile(const std::string& fileName, LoadObserver* observer = nullptr);
// The same reading of an element file's contents already in memory (a download being checked).
LoadResult LoadElementText(std::string_view text);
// The status's note on OMM records that could not be read: " Refused 3 unreadable records.".
std::string RefusedRecordsText(int count);

// The process-wide current catalogue, swapped whole by a load; safe from any thread.
class CatalogueStore {
public:
    CatalogueStore() : current_(std::make_shared<const ElementCatalogue>()) {}
    std::shared_ptr<const ElementCatalogue> Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return current_;
    }
    void Set(std::shared_ptr<const ElementCatalogue> catalogue) {
        if (!catalogue) catalogue = std::make_shared<const ElementCatalogue>();
        std::lock_guard<std::mutex> lock(mutex_);
        current_ = std::move(catalogue);
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const ElementCatalogue> current_;
};

}  // namespace corvane
