#pragma once
// The observation log "obslog.dat": fixed-length records of 822 bytes, no header, numbered from
// 1. Every field is blank-padded Latin-1 text, cut to its width; a record whose first six
// characters are blank is a deleted slot. Slots are never reused: new records are appended.
//
// The file is changed one whole record at a time (one positioned write, then flushed to disk),
// and never shortened. A file whose length is not a multiple of 822 is read up to its last
// whole record; the bytes after it are kept.
//
// Nothing here is shared between threads; the log window uses it on the GUI thread.
#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/AtomicFile.h"

namespace corvane {

inline constexpr const char* kObslogFileName = "obslog.dat";
inline constexpr size_t kObsRecordSize = 822;
inline constexpr size_t kObsIndexCapacity = 10000;
// The most records a log read whole (the log and report windows) may hold: 205.5 MB.
inline constexpr size_t kObsLogRecordLimit = 250000;

// The fields of a record, in file order.
enum ObsField {
    kObsNorad,
    kObsName,
    kObsDate,
    kObsTime,
    kObsSiteName,
    kObsSiteLatitude,
    kObsSiteLongitude,
    kObsSiteAltitude,
    kObsTleFile,
    kObsTPlusEpoch,
    kObsAos,
    kObsLos,
    kObsDuration,
    kObsMaxElevation,
    kObsMinRange,
    kObsTimingOffset,
    kObsAlignment,
    kObsTelescope,
    kObsVersion,
    kObsRemarks,
    kObsFieldCount
};

struct ObsFieldLayout {
    size_t offset;
    size_t width;
    const char* caption;  // as the log window shows it
};
extern const std::array<ObsFieldLayout, kObsFieldCount> kObsLayout;

// The telescope interface list of the log window, and the entry for an interface code.
extern const std::array<const char*, 6> kObsTelescopeNames;
const char* ObsTelescopeNameForCode(std::string_view scopeCode);

// A record as texts (Latin-1). Values longer than their field are cut when written.
struct ObsRecord {
    std::array<std::string, kObsFieldCount> fields;

    std::string& operator[](ObsField f) { return fields[f]; }
    const std::string& operator[](ObsField f) const { return fields[f]; }
};

// The 822 bytes of a record: each field blank-padded and cut to its width, then 300 blanks.
std::string FormatObsRecord(const ObsRecord& record);
// The fields of 822 stored bytes, as stored (padding kept). Shorter input reads as blank-padded.
ObsRecord SplitObsRecord(std::string_view bytes);
// A field as stored, with surrounding blanks removed.
std::string ObsFieldText(std::string_view bytes, ObsField field);

// True when the record is a deleted slot (first six characters blank).
bool IsBlankObsRecord(std::string_view bytes);
// Catalogue number of a record: its first six characters, surrounding blanks removed, as a
// number; 0 for a blank or non-numeric field.
long ObsRecordNumber(std::string_view bytes);

// Whether the log window can show a record in its controls exactly: a date of 8 digits with a
// month and day in range, times that are blank or HH:MM:SS in range, and no control bytes
// outside the remarks. Anything else is shown with its raw text as well.
bool IsReadableObsRecord(std::string_view bytes);
// The record's bytes as one line of text for the window (UTF-8; control bytes shown as U+FFFD,
// trailing blanks removed).
std::string RawObsRecordText(std::string_view bytes);

// One entry of the log window's index: date (8) + time (8) + record number (7 digits,
// zero-filled). Sorting the texts sorts by date, time and record number.
std::string ObsIndexEntry(std::string_view bytes, long recordNumber);
long ObsIndexRecordNumber(std::string_view entry);

// What reading the whole log found.
struct ObsLogContents {
    std::vector<std::string> records;  // whole records, in file order (record n at n - 1)
    size_t tailBytes = 0;              // bytes after the last whole record (kept, never read)
};

// "obslog.dat" on disk. Each operation opens and closes the file; every write is checked and
// flushed before it reports success.
class ObsLogFile {
public:
    explicit ObsLogFile(std::string path = kObslogFileName) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    // Creates an empty file when there is none. False (and *error) when it cannot be created, or
    // when something of that name is there but cannot be opened.
    bool EnsureExists(std::string* error = nullptr) const;
    // Reads every whole record; a missing file reads as empty. False (and *error) when the file
    // is there but cannot be read, or holds more than kObsLogRecordLimit records.
    bool ReadAll(ObsLogContents& contents, std::string* error = nullptr) const;
    // Hands every whole record to visit (number from 1, the 822 bytes) without holding the file
    // in memory; *tailBytes gets the bytes after the last whole record.
    FileRead ForEachRecord(const std::function<void(long, std::string_view)>& visit,
                           size_t* tailBytes = nullptr, std::string* error = nullptr) const;
    // Reads record n (1-based). False when it is not a whole record of the file, or on a read
    // error.
    bool Read(long recordNumber, std::string& bytes, std::string* error = nullptr) const;

    // Appends a record; returns its number, or 0 (and *error) when it was not written.
    long Append(std::string_view record, std::string* error = nullptr) const;
    // Writes record n in place. False (and *error) when n is not a whole record of the file or
    // the write failed.
    bool Rewrite(long recordNumber, std::string_view record, std::string* error = nullptr) const;
    // Overwrites record n with 822 blanks.
    bool Blank(long recordNumber, std::string* error = nullptr) const;

private:
    std::string path_;
};

// The index of one object's records: date + time + record number of each record whose
// catalogue number equals `catalogueNumber`, at most kObsIndexCapacity of them in file order,
// sorted ascending (oldest observation first).
std::vector<std::string> BuildObsIndex(const std::vector<std::string>& records, long catalogueNumber);

}  // namespace corvane
