// "observed.dat": the record reader, the look-ups and the two updates. The file written back
// holds the records read, byte for byte, and every update keeps the fixed records whole.
#include <cmath>

#include "FuzzSupport.h"
#include "core/Text.h"
#include "obslog/ObservedList.h"

using namespace corvane;

namespace {
// A record's number as the list reads it: the leading number, truncated; 0 when it is not a
// number or has more than six digits.
double RecordNumber(std::string_view field) {
    const double v = LeadingNumber(field);
    return std::fabs(v) <= 999999 ? std::trunc(v) : 0.0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file("observed.dat");
    // The first byte chooses the updates; the rest is the file.
    fuzz::Bytes bytes(data, size);
    const uint8_t choice = bytes.Byte();
    const std::string contents = bytes.Rest();

    ObservedList list;
    std::string error;
    FUZZ_CHECK(list.Load(file.Write(reinterpret_cast<const uint8_t*>(contents.data()), contents.size()), &error));
    const size_t records = std::min(contents.size() / ObservedList::kRecordSize, ObservedList::kCapacity);
    FUZZ_CHECK(list.Size() == records);
    FUZZ_CHECK(list.Serialize() == contents.substr(0, records * ObservedList::kRecordSize));
    FUZZ_CHECK(ObservedList::Parse(list.Serialize()).Serialize() == list.Serialize());

    // Numbers to look up and update: the file's own (as written in the usual form), and edges.
    std::vector<long> numbers{1, 25544, 999999, 1000000, 0, -1};
    for (size_t r = 0; r < records && r < 8; ++r) {
        long n = 0;
        bool digits = true;
        for (size_t k = 0; k < 6; ++k) {
            const char c = contents[r * ObservedList::kRecordSize + k];
            digits = digits && c >= '0' && c <= '9';
            n = n * 10 + (c - '0');
        }
        if (digits) {
            numbers.push_back(n);
            // The first record whose number reads as n answers for it.
            size_t first = 0;
            while (RecordNumber(contents.substr(first * ObservedList::kRecordSize, 6)) != static_cast<double>(n))
                ++first;
            const char* record = contents.data() + first * ObservedList::kRecordSize;
            FUZZ_CHECK(list.WasObserved(n) == (record[6] == '1'));
            FUZZ_CHECK(list.IsFavourite(n) == (record[7] == '1'));
        }
    }
    for (long n : numbers) {
        (void)list.WasObserved(n);
        (void)list.IsFavourite(n);
        const size_t before = list.Size();
        bool ok = true;
        switch ((choice + n) % 3) {
            case 0: ok = list.MarkObserved(n); break;
            case 1: ok = list.SetFavourite(n, true); break;
            default: ok = list.SetFavourite(n, false); break;
        }
        FUZZ_CHECK(list.Size() == before || list.Size() == before + 1);
        if (ok && n > 0 && n <= 999999) {
            FUZZ_CHECK(list.WasObserved(n) || list.IsFavourite(n) || (choice + n) % 3 == 2);
        }
        if (n <= 0 || n > 999999) FUZZ_CHECK(!ok || list.Size() == before);
    }
    const std::string written = list.Serialize();
    FUZZ_CHECK(written.size() == list.Size() * ObservedList::kRecordSize);
    // Flags of the records read may change; their numbers may not.
    for (size_t r = 0; r < list.Size(); ++r)
        FUZZ_CHECK(r >= records || written.compare(r * 8, 6, contents, r * 8, 6) == 0);
    return 0;
}
