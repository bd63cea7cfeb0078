#include "obslog/ObservedList.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "core/AtomicFile.h"
#include "core/Text.h"
#include "orbit/CatalogueNumber.h"
#include "orbit/ElementSet.h"

namespace corvane {

namespace {
constexpr long kLargestNumber = 999999;  // six digits

// DEPARTURE: a number field that reads beyond six digits ("9e+300" in a damaged file) reads as 0,
// like any field that is not a number; it has no long value.
long RecordNumber(std::string_view record) {
    const double number = LeadingNumber(record.substr(0, 6));
    return std::fabs(number) <= kLargestNumber ? static_cast<long>(number) : 0;
}
}  // namespace

long CatalogueNumberOf(std::string_view line1) {
    // The usual field: blanks, then digits only.
    if (line1.size() >= 7) {
        long n = 0;
        size_t i = 2;
        while (i < 7 && line1[i] == ' ') ++i;
        bool digits = i < 7;
        for (; i < 7 && digits; ++i) {
            digits = line1[i] >= '0' && line1[i] <= '9';
            n = n * 10 + (line1[i] - '0');
        }
        if (digits) return n;
    }
    if (const auto alpha5 = ParseCatalogueNumber(Column(line1, 3, 5)); alpha5 && *alpha5 >= 100000)
        return *alpha5;
    const double v = LeadingNumber(Column(line1, 3, 5));
    if (v < 0.0 || v > kLargestNumber) return 0;
    return static_cast<long>(v);
}

ObservedList::ObservedList(const ObservedList& other) {
    std::shared_lock lock(other.mutex_);
    records_ = other.records_;
    byNumber_ = other.byNumber_;
}

ObservedList& ObservedList::operator=(const ObservedList& other) {
    if (this == &other) return *this;
    std::vector<std::string> records;
    std::unordered_map<long, size_t> byNumber;
    {
        std::shared_lock lock(other.mutex_);
        records = other.records_;
        byNumber = other.byNumber_;
    }
    std::unique_lock lock(mutex_);
    records_ = std::move(records);
    byNumber_ = std::move(byNumber);
    return *this;
}

long ObservedList::Find(long catalogueNumber) const {
    auto it = byNumber_.find(catalogueNumber);
    return it == byNumber_.end() ? -1 : static_cast<long>(it->second);
}

bool ObservedList::IsFavourite(long catalogueNumber) const {
    std::shared_lock lock(mutex_);
    const long i = Find(catalogueNumber);
    return i >= 0 && records_[static_cast<size_t>(i)][7] == '1';
}

bool ObservedList::WasObserved(long catalogueNumber) const {
    std::shared_lock lock(mutex_);
    const long i = Find(catalogueNumber);
    return i >= 0 && records_[static_cast<size_t>(i)][6] == '1';
}

bool ObservedList::AppendLocked(long catalogueNumber, char observed, char favourite) {
    // DEPARTURE: a number that does not fit the six digits would corrupt the fixed records, and
    // a non-numeric one (read as 0) would make every such object share one entry: both refused.
    if (catalogueNumber <= 0 || catalogueNumber > kLargestNumber) return false;
    if (records_.size() >= kCapacity) return false;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06ld%c%c", catalogueNumber, observed, favourite);
    byNumber_.emplace(catalogueNumber, records_.size());
    records_.emplace_back(buf, kRecordSize);
    return true;
}

bool ObservedList::MarkObserved(long catalogueNumber) {
    std::unique_lock lock(mutex_);
    const long i = Find(catalogueNumber);
    if (i >= 0) {
        records_[static_cast<size_t>(i)][6] = '1';
        return true;
    }
    return AppendLocked(catalogueNumber, '1', '0');
}

bool ObservedList::SetFavourite(long catalogueNumber, bool favourite) {
    std::unique_lock lock(mutex_);
    const long i = Find(catalogueNumber);
    if (i >= 0) {
        records_[static_cast<size_t>(i)][7] = favourite ? '1' : '0';
        return true;
    }
    return AppendLocked(catalogueNumber, '0', favourite ? '1' : '0');
}

size_t ObservedList::Size() const {
    std::shared_lock lock(mutex_);
    return records_.size();
}

void ObservedList::Clear() {
    std::unique_lock lock(mutex_);
    records_.clear();
    byNumber_.clear();
}

std::string ObservedList::Serialize() const {
    std::shared_lock lock(mutex_);
    std::string out;
    out.reserve(records_.size() * kRecordSize);
    for (const std::string& r : records_) out += r;
    return out;
}

ObservedList ObservedList::Parse(std::string_view contents) {
    ObservedList list;
    for (size_t pos = 0; pos + kRecordSize <= contents.size() && list.records_.size() < kCapacity;
         pos += kRecordSize) {
        std::string record(contents.substr(pos, kRecordSize));
        // The first record of a number answers the look-ups, as a search from the start would.
        list.byNumber_.emplace(RecordNumber(record), list.records_.size());
        list.records_.push_back(std::move(record));
    }
    return list;
}

bool ObservedList::Load(const std::string& path, std::string* error) {
    std::string contents, reason;
    bool ok = true;
    if (ReadFileBytes(path, contents, &reason) == FileRead::kUnreadable) {
        contents.clear();
        ok = false;
        // "Could not read observed.dat: Permission denied".
        if (error)
            *error = "Could not read " + path + reason.substr(std::min(reason.size(), reason.rfind(": ")));
    }
    ObservedList parsed = Parse(contents);
    std::unique_lock lock(mutex_);
    records_ = std::move(parsed.records_);
    byNumber_ = std::move(parsed.byNumber_);
    return ok;
}

bool ObservedList::Save(const std::string& path, std::string* error) const {
    return WriteFileAtomically(path, Serialize(), error);
}

}  // namespace corvane
