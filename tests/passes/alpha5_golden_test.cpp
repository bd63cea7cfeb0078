// The files and lines of an object with an Alpha-5 catalogue number (A0000, 100000), compared
// with stored copies: five-character fields keep "A0000", wider and free ones say "100000".
// Set CORVANE_WRITE_GOLDEN=1 to write the copies afresh after a deliberate change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/AtomicFile.h"
#include "core/Clock.h"
#include "obslog/NewObservation.h"
#include "obslog/ObsLog.h"
#include "obslog/ObservedList.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#include "passes/BatchPredictions.h"
#include "passes/PassLog.h"
#include "passes/PassPredictions.h"
#include "passes/PassSearch.h"
#include "passes/ViewPlan.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

const std::string kGolden = CORVANE_TEST_DATA "/alpha5/";

void ExpectGolden(const std::string& name, const std::string& actual) {
    if (std::getenv("CORVANE_WRITE_GOLDEN")) std::ofstream(kGolden + name, std::ios::binary) << actual;
    std::string expected;
    ASSERT_TRUE(ReadWholeFile(kGolden + name, expected)) << name;
    EXPECT_EQ(actual, expected) << name;
}

}  // namespace

TEST(Alpha5Golden, BatchLineViewPlanPassLogAndObservation) {
    const auto catalogue = LoadElementFile(CORVANE_TEST_DATA "/omm-sample.tle").catalogue;
    const int object = catalogue->FindCatalogueNumber(100000);
    ASSERT_GT(object, 0);
    const Site site{40.0, -75.0, 100.0, -4.0};
    const double startLocal = CivilToJulianDate(2017, 4, 27, 18, 0, 0);
    PropagationSlot slot(kSlotBatch);
    PassSettings settings;
    settings.ignoreEclipse = true;
    PassSearch search(*catalogue, object, slot, site, settings, startLocal - site.utcOffset / 24.0);
    const auto passes = search.FindPasses(BatchRange(BatchPeriodMinutes(1440)), SearchVariant::kBatch, false);
    ASSERT_FALSE(passes.empty());
    const std::string line = BatchListLine(
        passes.front(), site.utcOffset, Column(catalogue->Line1(object), 3, 5), catalogue->NameLine(object));
    EXPECT_EQ(line.substr(87, 5), "A0000");
    ExpectGolden("batch-line.txt", line + "\r\n");

    const fs::path dir = fs::temp_directory_path() / ("corvane-alpha5-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ViewPlan plan;
    ASSERT_TRUE(AddBatchLine(plan, line, startLocal));
    ASSERT_TRUE(SaveViewPlan(plan, (dir / "vplan.log").string(), startLocal));
    std::string stored;
    ASSERT_TRUE(ReadWholeFile((dir / "vplan.log").string(), stored));
    ExpectGolden("vplan.log", stored);

    const ObjectIdentity id = IdentityOf(*catalogue, object);
    EXPECT_EQ(id.number, "100000");
    EXPECT_EQ(PassLogFileName(id.field), "log100000.txt");
    const std::string logPath = (dir / PassLogFileName(id.field)).string();
    PropagationSlot logSlot(kSlotPassLog);
    const SiteTexts texts{"Home", "40.0", "-75.0", "100", "-4"};
    ASSERT_EQ(WritePassLog(logPath, plan.entries.front(), *catalogue, logSlot, texts, "omm-sample.tle", 30.0)
                  .outcome,
              PassLogOutcome::kWritten);
    ASSERT_TRUE(ReadWholeFile(logPath, stored));
    ExpectGolden("log100000.txt", stored);

    NewObservationInputs in;
    in.nowLocal = startLocal;
    in.siteName = "Home", in.siteLatitude = "40.0", in.siteLongitude = "-75.0", in.siteAltitude = "100";
    in.elementFile = "omm-sample.tle";
    in.objectName = id.name, in.catalogueNumber = id.number;
    in.tPlusEpoch = "0.42", in.timingOffset = "0", in.alignment = "0", in.scopeCode = "LX200";
    const std::string record = FormatObsRecord(NewObservation(in));
    EXPECT_EQ(ObsRecordNumber(record), 100000);
    // "observed.dat" keys its six-digit records by the same number.
    EXPECT_EQ(CatalogueNumberOf(catalogue->Line1(object)), 100000);
    ExpectGolden("obslog-record.dat", record);
    fs::remove_all(dir);
}
