// The check a downloaded element file passes before it replaces the previous one: a file it
// accepts ends with a whole line (or, as OMM XML, with its closing tag) and loads at least one
// element set; the loader's count never exceeds what was read.
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/ElementDownload.h"
#include "orbit/OmmReader.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFile scratch("download");
    const std::string_view contents(reinterpret_cast<const char*>(data), size);
    const std::string problem = ElementDownloadProblem(contents);
    if (!problem.empty()) return 0;
    FUZZ_CHECK(!contents.empty());
    if (DetectElementFileFormat(contents.substr(0, 4096)) != ElementFileFormat::kOmmXml)
        FUZZ_CHECK(contents.back() == '\n' || contents.back() == '\r');
    const LoadResult loaded = LoadElementFile(scratch.Write(data, size));
    FUZZ_CHECK(loaded.opened && loaded.catalogue->Count() > 0);
    FUZZ_CHECK(loaded.catalogue->Count() <= loaded.objectsInFile || loaded.objectsInFile == 0);
    return 0;
}
