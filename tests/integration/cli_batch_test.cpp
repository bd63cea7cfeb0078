// corvane-cli batch, driven from outside: the lines of the library's batch run, the same with any
// number of threads, JSON with its keys, and clean refusals of bad options.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "CliRunner.h"
#include "core/Clock.h"
#include "core/Text.h"
#include "orbit/ElementCatalogue.h"
#include "passes/BatchPredictions.h"

using namespace corvane;

namespace {

const std::string kTle = std::string("--tle '") + CORVANE_TEST_DATA + "/catalogue-2017-04-27.tle'";
const std::string kWhere = " --site 40,-75,100,-4 --from 2017-04-28T02:00:00Z";

class CliBatch : public clitest::CliTest {};

}  // namespace

TEST_F(CliBatch, ListsTheBatchLinesWhateverTheThreads) {
    BatchRequest r;
    r.catalogue = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    r.site = Site{40.0, -75.0, 100.0, -4.0};
    r.startLocal = CivilToJulianDate(2017, 4, 28, 2, 0, 0) - 4.0 / 24.0;
    r.options.includeLow = true;
    r.options.includeMod = false;
    r.options.includeHigh = true;
    r.options.periodMinutes = 60;
    r.options.minPassMinutes = 3;
    r.options.maxElevation = 10;
    std::string expected;
    for (const BatchLine& l : ComputeBatch(r, 1)) expected += Latin1ToUtf8(l.line) + "\n";
    ASSERT_FALSE(expected.empty());
    const std::string args =
        "batch " + kTle + kWhere + " --period 60 --min-duration 3 --max-elevation 10 --classes Low,HIGH";
    const clitest::CliRun one = Cli(args + " --threads 1");
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_EQ(one.out, expected);
    const clitest::CliRun three = Cli(args + " --threads 3");
    EXPECT_EQ(three.out, one.out);
}

TEST_F(CliBatch, JsonCarriesEachPassWithItsLine) {
    const clitest::CliRun r = Cli("batch " + kTle + kWhere + " --range 1000 --format JSON");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_TRUE(list.is_array());
    ASSERT_FALSE(list.empty());
    for (const auto& p : list) {
        for (const char* key :
             {"norad", "name", "aos", "los", "duration", "max_elevation", "range_at_max", "line"})
            EXPECT_TRUE(p.contains(key)) << key;
        EXPECT_TRUE(p["norad"].is_number_integer());
        EXPECT_LT(p["range_at_max"].get<double>(), 1000.5);
        EXPECT_GE(p["duration"].get<int>(), 120);
        const std::string line = p["line"];
        EXPECT_NE(line.find('\t'), std::string::npos);
        EXPECT_EQ(std::to_string(p["norad"].get<int>()),
                  Trim(line.substr(88, 5)));  // after the 2-byte degree
        EXPECT_EQ(p["aos"].get<std::string>().back(), 'Z');
    }
}

TEST_F(CliBatch, RefusesBadOptionsAndFiles) {
    EXPECT_EQ(Cli("batch " + kTle + kWhere + " --classes low,middle").code, 2);
    EXPECT_EQ(Cli("batch " + kTle + kWhere + " --period 0").code, 2);
    EXPECT_EQ(Cli("batch " + kTle + " --site 40,-75,100,-4 --from yesterday").code, 2);
    const clitest::CliRun missing = Cli("batch --tle nothing.tle" + kWhere);
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("nothing.tle"), std::string::npos);
    Write("empty.tle", "not an element file\n");
    EXPECT_EQ(Cli("batch --tle empty.tle" + kWhere).code, 1);
}

// A name that would reprogram the terminal (OSC 52 writes its clipboard) is shown with its control
// characters made visible; a UTF-8 name comes out as it is, in the lines and in JSON.
TEST_F(CliBatch, NamesReachTheTerminalOnlyAsText) {
    const std::string lines =
        "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992\n"
        "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936\n";
    Write("names.tle", "ISS\x1b]52;c;aGk=\x07\n" + lines + "Soci\xC3\xA9t\xC3\xA9\n" + lines);
    for (const char* format : {"text", "json"}) {
        const clitest::CliRun r = Cli("batch --tle names.tle" + kWhere + " --period 1440 --format " + format);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << format;
        EXPECT_EQ(r.out.find('\x07'), std::string::npos) << format;
        EXPECT_NE(r.out.find("ISS\xEF\xBF\xBD]52;c;aGk=\xEF\xBF\xBD"), std::string::npos) << format << r.out;
        EXPECT_NE(r.out.find("Soci\xC3\xA9t\xC3\xA9"), std::string::npos) << format << r.out;
    }
}
