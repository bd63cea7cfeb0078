// "obslog.dat": the record reader, the index of one object, the report's selection and lines,
// and an append after whatever the file holds. Whole records are read as stored, the tail is
// kept, and an append never changes a byte already in the file.
#include <algorithm>

#include "FuzzSupport.h"
#include "core/AtomicFile.h"
#include "obslog/ObsLog.h"
#include "obslog/ObsReport.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile file("obslog.dat");
    const std::string contents(reinterpret_cast<const char*>(data), size);
    const ObsLogFile log(file.Write(data, size));

    ObsLogContents read;
    FUZZ_CHECK(log.ReadAll(read));
    FUZZ_CHECK(read.records.size() == size / kObsRecordSize);
    FUZZ_CHECK(read.tailBytes == size % kObsRecordSize);
    long firstNumber = 0;
    for (size_t i = 0; i < read.records.size(); ++i) {
        const std::string& r = read.records[i];
        FUZZ_CHECK(r == contents.substr(i * kObsRecordSize, kObsRecordSize));
        // The last 300 bytes are always written as blanks; the rest comes back as stored.
        FUZZ_CHECK(FormatObsRecord(SplitObsRecord(r)) == r.substr(0, 522) + std::string(300, ' '));
        const long n = ObsRecordNumber(r);
        FUZZ_CHECK(n >= -999999 && n <= 999999);
        if (firstNumber == 0) firstNumber = n;
        (void)IsReadableObsRecord(r);
        (void)RawObsRecordText(r);
        const std::string line = ObsReportLine(r);
        FUZZ_CHECK(std::count(line.begin(), line.end(), '\t') >= 18);
    }
    const auto index = BuildObsIndex(read.records, firstNumber);
    FUZZ_CHECK(index.size() <= kObsIndexCapacity);
    FUZZ_CHECK(std::is_sorted(index.begin(), index.end()));
    for (const std::string& e : index) {
        const long n = ObsIndexRecordNumber(e);
        FUZZ_CHECK(n >= 1 && static_cast<size_t>(n) <= read.records.size());
        std::string bytes;
        FUZZ_CHECK(log.Read(n, bytes) && bytes == read.records[static_cast<size_t>(n - 1)]);
    }

    ObsReportCriteria all;
    all.fromDate = 0;
    all.toDate = 99999999;
    const std::string report = BuildObsReport(read.records, all);
    FUZZ_CHECK(report.empty() || report.size() >= 2);
    (void)CollectObsReportChoices(read.records);

    // An append keeps every byte there was and starts on a record boundary.
    const std::string record(kObsRecordSize, 'R');
    const long number = log.Append(record);
    FUZZ_CHECK(number >= 1);
    std::string after;
    FUZZ_CHECK(ReadWholeFile(log.Path(), after) || after.empty());
    FUZZ_CHECK(after.compare(0, size, contents) == 0);
    FUZZ_CHECK(after.size() % kObsRecordSize == 0);
    FUZZ_CHECK(after.size() == static_cast<size_t>(number) * kObsRecordSize);
    FUZZ_CHECK(after.substr(after.size() - kObsRecordSize) == record);
    return 0;
}
