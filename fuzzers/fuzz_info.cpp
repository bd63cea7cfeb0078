// "info.dat": the record search. A note found belongs to the number asked for, and its title and
// text fit their fields without trailing blanks or NULs.
#include <cmath>

#include "FuzzSupport.h"
#include "core/Text.h"
#include "passes/ObjectInfo.h"

using namespace corvane;

namespace {

void CheckFound(const std::optional<ObjectInfo>& info, long number) {
    if (!info) return;
    FUZZ_CHECK(info->number == number);
    FUZZ_CHECK(info->title.size() <= 55 && info->text.size() <= 2500);
    for (const std::string* s : {&info->title, &info->text}) {
        FUZZ_CHECK(s->empty() || (s->back() != ' ' && s->back() != '\0'));
    }
    FUZZ_CHECK(InformationTitle(*info).size() == info->title.size() + 14);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file("info.dat");
    const std::string& path = file.Write(data, size);
    const size_t records = size / kObjectInfoRecordSize;
    // The numbers of the records present (when whole), and a few that may be absent.
    std::vector<long> numbers{0, 1, 25544, -1, 999999};
    for (size_t r = 0; r < records && r < 4; ++r) {
        const double v = LeadingNumber(std::string_view(reinterpret_cast<const char*>(data), size)
                                           .substr(r * kObjectInfoRecordSize, 6));
        if (v == std::trunc(v) && std::fabs(v) < 1e9) {
            numbers.push_back(static_cast<long>(v));
            FUZZ_CHECK(FindObjectInfo(path, static_cast<long>(v)).has_value());
        }
    }
    for (long n : numbers) CheckFound(FindObjectInfo(path, n), n);
    return 0;
}
