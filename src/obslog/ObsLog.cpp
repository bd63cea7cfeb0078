#include "obslog/ObsLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/AtomicFile.h"
#include "core/Text.h"

namespace corvane {

const std::array<ObsFieldLayout, kObsFieldCount> kObsLayout = {{
    {0, 6, "NORAD"},
    {6, 25, "Satellite Name"},
    {31, 8, "Date"},
    {39, 8, "Time"},
    {47, 35, "Site Name"},
    {82, 10, "Site Latitude"},
    {92, 10, "Site Longitude"},
    {102, 6, "Site Altitude"},
    {108, 30, "TLE File Name"},
    {138, 10, "T+Epoch"},
    {148, 10, "AOS"},
    {158, 10, "LOS"},
    {168, 10, "Duration of Pass"},
    {178, 2, "Maximum Elevation"},
    {180, 6, "Minimum Range"},
    {186, 6, "Timing Offset"},
    {192, 3, "Alignment Adjustment"},
    {195, 20, "Telescope Interface"},
    {215, 7, "Corvane Version"},
    {222, 300, "Remarks"},
}};

const std::array<const char*, 6> kObsTelescopeNames = {"Meade LX200",          "Meade AutoStar #497",
                                                       "Meade AutoStar #494",  "LX200 Compatible",
                                                       "Celestron Ultima2000", "Celestron NexStarGPS"};

const char* ObsTelescopeNameForCode(std::string_view scopeCode) {
    const std::string code = ToUpper(Trim(scopeCode));
    if (code == "NEXSTARGPS") return "Celestron NexStarGPS";
    if (code == "AP") return "LX200 Compatible";
    if (code == "ULTIMA") return "Celestron Ultima2000";
    if (code == "ETX494") return "Meade AutoStar #494";
    if (code == "ETX497") return "Meade AutoStar #497";
    return "Meade LX200";
}

std::string FormatObsRecord(const ObsRecord& record) {
    std::string out(kObsRecordSize, ' ');
    for (size_t f = 0; f < kObsFieldCount; ++f) {
        const ObsFieldLayout& l = kObsLayout[f];
        const std::string& v = record.fields[f];
        out.replace(l.offset, std::min(v.size(), l.width), v, 0, std::min(v.size(), l.width));
    }
    return out;
}

namespace {
std::string_view FieldOf(std::string_view bytes, ObsField f) {
    const ObsFieldLayout& l = kObsLayout[f];
    if (l.offset >= bytes.size()) return {};
    return bytes.substr(l.offset, l.width);
}

bool AllBlank(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

bool Digits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int TwoDigits(std::string_view s) { return (s[0] - '0') * 10 + (s[1] - '0'); }

// "HH:MM:SS" with hours 0-23 and minutes and seconds 0-59, or blank.
bool ReadableTime(std::string_view field) {
    const std::string t = Trim(field);
    if (t.empty()) return true;
    if (t.size() != 8 || t[2] != ':' || t[5] != ':') return false;
    const std::string_view v(t);
    if (!Digits(v.substr(0, 2)) || !Digits(v.substr(3, 2)) || !Digits(v.substr(6, 2))) return false;
    return TwoDigits(v.substr(0, 2)) <= 23 && TwoDigits(v.substr(3, 2)) <= 59 &&
           TwoDigits(v.substr(6, 2)) <= 59;
}

void SetError(std::string* error, const std::string& what, int code) {
    if (error) *error = what + ": " + std::strerror(code);
}

bool WriteAllAt(int fd, std::string_view bytes, off_t offset) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The record as exactly 822 bytes.
std::string WholeRecord(std::string_view record) {
    std::string r(record.substr(0, kObsRecordSize));
    r.resize(kObsRecordSize, ' ');
    return r;
}

// Closes fd; false (and *error) when the system reports lost data.
bool CloseChecked(int fd, const std::string& path, std::string* error) {
    if (::close(fd) != 0) {
        SetError(error, "cannot close " + path, errno);
        return false;
    }
    return true;
}

bool Flush(int fd, const std::string& path, std::string* error) {
    if (::fdatasync(fd) != 0 && errno != EINVAL) {
        SetError(error, "cannot flush " + path, errno);
        return false;
    }
    return true;
}
}  // namespace

ObsRecord SplitObsRecord(std::string_view bytes) {
    ObsRecord r;
    std::string whole(bytes.substr(0, std::min(bytes.size(), kObsRecordSize)));
    whole.resize(kObsRecordSize, ' ');
    for (size_t f = 0; f < kObsFieldCount; ++f)
        r.fields[f] = whole.substr(kObsLayout[f].offset, kObsLayout[f].width);
    return r;
}

std::string ObsFieldText(std::string_view bytes, ObsField field) { return Trim(FieldOf(bytes, field)); }

bool IsBlankObsRecord(std::string_view bytes) {
    return AllBlank(bytes.substr(0, std::min<size_t>(6, bytes.size())));
}

long ObsRecordNumber(std::string_view bytes) {
    const double v = LeadingNumber(Trim(FieldOf(bytes, kObsNorad)));
    // Six characters hold at most 999999; anything larger is not a catalogue number.
    if (!(std::fabs(v) <= 999999.0)) return 0;
    return static_cast<long>(v);
}

bool IsReadableObsRecord(std::string_view bytes) {
    if (bytes.size() < kObsRecordSize) return false;
    const std::string_view head = bytes.substr(0, kObsLayout[kObsRemarks].offset);
    for (unsigned char c : head)
        if (IsControlByte(c)) return false;
    for (unsigned char c : FieldOf(bytes, kObsRemarks))
        if (IsControlByte(c) && c != '\r' && c != '\n' && c != '\t') return false;
    const std::string_view date = FieldOf(bytes, kObsDate);
    if (!Digits(date) || date.size() != 8) return false;
    const int month = TwoDigits(date.substr(4, 2)), day = TwoDigits(date.substr(6, 2));
    if (month < 1 || month > 12 || day < 1 || day > 31) return false;
    for (ObsField f : {kObsTime, kObsAos, kObsLos, kObsDuration})
        if (!ReadableTime(FieldOf(bytes, f))) return false;
    return true;
}

std::string RawObsRecordText(std::string_view bytes) { return Latin1ToUtf8Printable(TrimRight(bytes)); }

std::string ObsIndexEntry(std::string_view bytes, long recordNumber) {
    std::string entry(FieldOf(bytes, kObsDate));
    entry.resize(8, ' ');
    std::string time(FieldOf(bytes, kObsTime));
    time.resize(8, ' ');
    char number[16];
    std::snprintf(number, sizeof number, "%07ld", recordNumber);
    return entry + time + number;
}

long ObsIndexRecordNumber(std::string_view entry) {
    if (entry.size() < 17) return 0;
    return static_cast<long>(LeadingNumber(entry.substr(16)));
}

// ---------------------------------------------------------------------------------------------
// The file

bool ObsLogFile::EnsureExists(std::string* error) const {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetError(error, "cannot open " + path_, errno);
        return false;
    }
    return CloseChecked(fd, path_, error);
}

FileRead ObsLogFile::ForEachRecord(const std::function<void(long, std::string_view)>& visit,
                                   size_t* tailBytes, std::string* error) const {
    if (tailBytes) *tailBytes = 0;
    // Records are handed on as the pieces arrive, so a file of any length costs little memory.
    std::string partial;
    long number = 0;
    const FileRead r = ReadFileInPieces(
        path_,
        [&](std::string_view piece) {
            if (!partial.empty()) {
                const size_t take = std::min(kObsRecordSize - partial.size(), piece.size());
                partial.append(piece.substr(0, take));
                piece.remove_prefix(take);
                if (partial.size() < kObsRecordSize) return;
                visit(++number, partial);
                partial.clear();
            }
            for (; piece.size() >= kObsRecordSize; piece.remove_prefix(kObsRecordSize))
                visit(++number, piece.substr(0, kObsRecordSize));
            partial.assign(piece);
        },
        error);
    if (r == FileRead::kRead && tailBytes) *tailBytes = partial.size();
    return r;
}

bool ObsLogFile::ReadAll(ObsLogContents& contents, std::string* error) const {
    contents = ObsLogContents{};
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<unsigned long long>(st.st_size) / kObsRecordSize > kObsLogRecordLimit) {
        // DEPARTURE: a log read whole is held to a limit (a damaged or sparse file of gigabytes
        // would otherwise take all the memory), and refused with a message beyond it.
        if (error)
            *error = path_ + " holds " + std::to_string(st.st_size / kObsRecordSize) +
                     " records, more than the " + std::to_string(kObsLogRecordLimit) +
                     " an observation log may hold; it was not read";
        return false;
    }
    const FileRead r =
        ForEachRecord([&](long, std::string_view bytes) { contents.records.emplace_back(bytes); },
                      &contents.tailBytes, error);
    if (r == FileRead::kUnreadable) {
        contents = ObsLogContents{};
        return false;
    }
    return true;
}

bool ObsLogFile::Read(long recordNumber, std::string& bytes, std::string* error) const {
    bytes.clear();
    if (recordNumber < 1) {
        if (error) *error = "no record " + std::to_string(recordNumber) + " in " + path_;
        return false;
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, "cannot open " + path_, errno);
        return false;
    }
    std::string buf(kObsRecordSize, ' ');
    size_t done = 0;
    const off_t at = static_cast<off_t>(recordNumber - 1) * static_cast<off_t>(kObsRecordSize);
    while (done < kObsRecordSize) {
        const ssize_t n =
            ::pread(fd, buf.data() + done, kObsRecordSize - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            SetError(error, "cannot read " + path_, errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (done < kObsRecordSize) {
        if (error) *error = "no record " + std::to_string(recordNumber) + " in " + path_;
        return false;
    }
    bytes = std::move(buf);
    return true;
}

long ObsLogFile::Append(std::string_view record, std::string* error) const {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetError(error, "cannot open " + path_, errno);
        return 0;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        SetError(error, "cannot read the length of " + path_, errno);
        ::close(fd);
        return 0;
    }
    const auto length = static_cast<size_t>(st.st_size);
    const size_t whole = length / kObsRecordSize, tail = length % kObsRecordSize;
    std::string bytes;
    // DEPARTURE: a partial record at the end (an older crash, a copy cut short) is completed with
    // blanks and the new record goes after it; writing at whole * 822 would overwrite its bytes.
    if (tail != 0) bytes.assign(kObsRecordSize - tail, ' ');
    bytes += WholeRecord(record);
    const long number = static_cast<long>(whole + (tail != 0 ? 1 : 0) + 1);
    bool written = WriteAllAt(fd, bytes, st.st_size);
    if (!written) SetError(error, "cannot write " + path_, errno);
    written = written && Flush(fd, path_, error);
    if (!written) {
        // What was written of this record goes again: the file keeps its old length and bytes.
        if (::ftruncate(fd, st.st_size) == 0) ::fdatasync(fd);
        ::close(fd);
        return 0;
    }
    if (!CloseChecked(fd, path_, error)) return 0;
    return number;
}

bool ObsLogFile::Rewrite(long recordNumber, std::string_view record, std::string* error) const {
    if (recordNumber < 1) {
        if (error) *error = "no record " + std::to_string(recordNumber) + " in " + path_;
        return false;
    }
    const int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, "cannot open " + path_, errno);
        return false;
    }
    struct stat st {};
    const off_t at = static_cast<off_t>(recordNumber - 1) * static_cast<off_t>(kObsRecordSize);
    if (::fstat(fd, &st) != 0 || st.st_size < at + static_cast<off_t>(kObsRecordSize)) {
        // The record is not (any more) a whole record of the file: nothing is written, so the
        // file never grows a hole or a record in the wrong place.
        if (error) *error = "no record " + std::to_string(recordNumber) + " in " + path_;
        ::close(fd);
        return false;
    }
    if (!WriteAllAt(fd, WholeRecord(record), at)) {
        SetError(error, "cannot write " + path_, errno);
        ::close(fd);
        return false;
    }
    if (!Flush(fd, path_, error)) {
        ::close(fd);
        return false;
    }
    return CloseChecked(fd, path_, error);
}

bool ObsLogFile::Blank(long recordNumber, std::string* error) const {
    return Rewrite(recordNumber, std::string(kObsRecordSize, ' '), error);
}

std::vector<std::string> BuildObsIndex(const std::vector<std::string>& records, long catalogueNumber) {
    std::vector<std::string> index;
    if (catalogueNumber == 0) return index;
    for (size_t i = 0; i < records.size() && index.size() < kObsIndexCapacity; ++i)
        if (ObsRecordNumber(records[i]) == catalogueNumber)
            index.push_back(ObsIndexEntry(records[i], static_cast<long>(i + 1)));
    std::sort(index.begin(), index.end());
    return index;
}

}  // namespace corvane
