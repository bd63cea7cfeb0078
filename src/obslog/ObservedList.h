#pragma once
// The observed list: which objects the user has observed and which are favourites, by catalogue
// number. Kept in memory and in "observed.dat": fixed-length 8-byte records, no header, no line
// ends; characters 1-6 the catalogue number zero-filled on the left, character 7 the observed
// flag ("1" = observed), character 8 the favourite flag ("1" = favourite, "0" = not). Read whole
// at start-up, written whole at shut-down.
//
// All members are thread-safe: the object list and the batch predictions read it while the
// observation log updates it.
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvane {

inline constexpr const char* kObservedFileName = "observed.dat";

class ObservedList {
public:
    static constexpr size_t kRecordSize = 8;
    static constexpr size_t kCapacity = 10000;

    ObservedList() = default;
    ObservedList(const ObservedList& other);
    ObservedList& operator=(const ObservedList& other);

    // False when the number has no entry.
    bool IsFavourite(long catalogueNumber) const;
    bool WasObserved(long catalogueNumber) const;

    // Sets the observed flag of the number's entry, appending a new entry ("1", "0") when there
    // is none. False only when the list is full and the number has no entry.
    bool MarkObserved(long catalogueNumber);
    // Sets or clears the favourite flag of the number's entry (appending a not-observed entry
    // when there is none). False only when the list is full and the number has no entry.
    bool SetFavourite(long catalogueNumber, bool favourite);

    size_t Size() const;
    void Clear();

    // The file's contents, and a list read from them: whole 8-byte records up to the capacity;
    // a short record at the end is dropped. Records are kept byte for byte.
    std::string Serialize() const;
    static ObservedList Parse(std::string_view contents);

    // Reads the file; a missing file gives an empty list (and true). False, with the reason, when
    // the file exists but cannot be read; the list is then empty.
    bool Load(const std::string& path, std::string* error = nullptr);
    // Replaces the file whole through a temporary file and a rename. False, with the reason, when
    // it could not be written; the old file is then untouched.
    bool Save(const std::string& path, std::string* error = nullptr) const;

private:
    // Index of the entry for a number, or -1.
    long Find(long catalogueNumber) const;
    bool AppendLocked(long catalogueNumber, char observed, char favourite);

    mutable std::shared_mutex mutex_;
    std::vector<std::string> records_;           // 8 characters each, in file order
    std::unordered_map<long, size_t> byNumber_;  // first record of each number
};

// Catalogue number of an element set's line 1 (columns 3-7) as a number; 0 when not numeric.
long CatalogueNumberOf(std::string_view line1);

}  // namespace corvane
