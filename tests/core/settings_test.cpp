#include "core/Settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/AtomicFile.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
        if (end == std::string::npos) break;
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

std::string KeyLine(const std::vector<std::string>& lines, const std::string& key) {
    for (const auto& l : lines)
        if (l.rfind("     " + key + "=", 0) == 0) return l.substr(5 + key.size() + 1);
    return "<absent>";
}

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("corvane-settings-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};
}  // namespace

TEST(SettingsReading, KeysMatchInAnyCaseWithBlanksCommentsAndLaterLinesWinning) {
    const Settings s = ParseSettings(
        "  trackadjust = 120 ; a comment = with equals\r\n"
        "TRACKADJUST=150\n"
        "no equals sign here\n"
        "UnknownKey=5\n"
        "; ScopeType=CGE\n"
        "scopetype = nexstar\r\n"
        "   elementsfile =  my file.tle  \n");
    EXPECT_EQ(s.TrackAdjust, 150);
    EXPECT_EQ(s.ScopeType, "NEXSTAR");
    EXPECT_EQ(s.ElementsFile, "my file.tle");
}

TEST(SettingsReading, OutOfRangeValuesAreCorrectedByTheirRules) {
    const Settings s = ParseSettings(
        "LastLocation=7\nDefaultTLE=0\nTrackingLimit=120\nBatchMinPass=1\nMinPredictPass=-3\n"
        "LXRateChangeDelay=5\nCoarseTimingIncr=0\nFineTimingIncr=abc\nAlignmentIncr=0\nTrackAdjust=-4\n"
        "TestTimingIncrement=0.26\nComPort=17\n");
    EXPECT_EQ(s.LastLocation, 1);
    EXPECT_EQ(s.DefaultTLE, 1);
    EXPECT_EQ(s.TrackingLimit, 90);
    EXPECT_EQ(s.BatchMinPass, 2);
    EXPECT_EQ(s.MinPredictPass, 2);
    EXPECT_DOUBLE_EQ(s.LXRateChangeDelay, 2.0);
    EXPECT_DOUBLE_EQ(s.CoarseTimingIncr, 1.0);
    EXPECT_DOUBLE_EQ(s.FineTimingIncr, 0.1);
    EXPECT_DOUBLE_EQ(s.AlignmentIncr, 1.0);
    EXPECT_EQ(s.TrackAdjust, 0);
    EXPECT_DOUBLE_EQ(s.TestTimingIncrement, 0.3);
    EXPECT_EQ(s.ComPort, 1);
    EXPECT_EQ(ParseSettings("TrackingLimit=-5\n").TrackingLimit, 0);
    EXPECT_EQ(ParseSettings("LastLocation=3\n").LastLocation, 3);
    EXPECT_EQ(ParseSettings("ComPort=16\n").ComPort, 16);
    EXPECT_EQ(ParseSettings("ComPort=07\n").ComPort, 1) << "choice words are exact texts";
}

TEST(SettingsReading, TrackMethodWordsAndNumbers) {
    EXPECT_EQ(ParseSettings("TrackMethod=1\n").TrackMethod, 0);
    EXPECT_EQ(ParseSettings("TrackMethod=3\n").TrackMethod, 3);
    EXPECT_EQ(ParseSettings("TrackMethod=LEAP\n").TrackMethod, 4);
    EXPECT_EQ(ParseSettings("TrackMethod=CONT\n").TrackMethod, 0);
    EXPECT_EQ(ParseSettings("TrackMethod=leap\n").TrackMethod, 0);
    EXPECT_EQ(ParseSettings("TrackMethod=10\n").TrackMethod, 10);
    EXPECT_EQ(ParseSettings("TrackMethod=11\n").TrackMethod, 0);
}

TEST(SettingsReading, ChoiceWordsAreCaseExactAndFlagsNeedExactlyOne) {
    EXPECT_EQ(ParseSettings("Direction=ne\n").Direction, "All");
    EXPECT_EQ(ParseSettings("Direction=NE\n").Direction, "NE");
    EXPECT_EQ(ParseSettings("Direction=ALL\n").Direction, "All");
    EXPECT_EQ(ParseSettings("ObjAlt=HIGH\n").ObjAlt, "High");
    EXPECT_EQ(ParseSettings("ObjAlt=High\n").ObjAlt, "All");
    EXPECT_TRUE(ParseSettings("ObjVis=VISIBLE\n").ObjVisAboveHorizon);
    EXPECT_FALSE(ParseSettings("ObjVis=visible\n").ObjVisAboveHorizon);
    EXPECT_EQ(ParseSettings("SunOnly=1\n").SunOnly, 1);
    EXPECT_EQ(ParseSettings("SunOnly=2\n").SunOnly, 0);
    EXPECT_EQ(ParseSettings("Obj>Elevation=1\n").ObjElevation, 1);
    EXPECT_EQ(ParseSettings("Audit=1x\n").Audit, 1) << "number flags read the leading number";
}

TEST(SettingsReading, NumbersReadTheirLeadingPartAndNeverBecomeNaN) {
    const Settings s = ParseSettings("NGPSSetRateDelay=12abc\nBatchPeriod=x12\nTrackAdjust=2.5\n"
                                     "TestTimingIncrementFrequency=nan\nMaxTLEDownloadTime=1e2\nAOSElevation=inf\n");
    EXPECT_EQ(s.NGPSSetRateDelay, 12);
    EXPECT_EQ(s.BatchPeriod, 0);
    EXPECT_EQ(s.TrackAdjust, 3);
    EXPECT_DOUBLE_EQ(s.TestTimingIncrementFrequency, 0.0);
    EXPECT_EQ(s.MaxTLEDownloadTime, 100);
    EXPECT_DOUBLE_EQ(s.AOSElevation, 0.0);
}

TEST(SettingsReading, HugeNumbersStayFiniteAndAreWrittenBackWhole) {
    const Settings s = ParseSettings("TestTimingIncrement=9e307\nAOSElevation=1e308\nAlignmentIncr=1e60\n");
    EXPECT_EQ(s.TestTimingIncrement, 9e307) << "too large to round to a decimal: kept";
    EXPECT_TRUE(std::isfinite(s.AOSElevation));
    EXPECT_DOUBLE_EQ(s.AOSElevation, 1e308 / 180.0 * 3.14159265358979323846);
    // Every digit is written, so the file reads back to the same numbers.
    const std::string written = FormatSettings(s);
    const size_t at = written.find("     TestTimingIncrement=9");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(written.find("\r\n", at) - at, 25u + 308u) << "all 308 digits";
    const Settings again = ParseSettings(written);
    EXPECT_EQ(again.TestTimingIncrement, 9e307);
    EXPECT_EQ(again.AlignmentIncr, 1e60);
    EXPECT_EQ(FormatSettings(again), written);
}

TEST(SettingsReading, MissingEmptyAndOneByteFilesKeepDefaults) {
    for (const char* text : {"", "X"}) {
        const Settings s = ParseSettings(text);
        EXPECT_EQ(s.ScopeType, "LX200GPS");
        EXPECT_EQ(s.TrackAdjust, 80);
        EXPECT_FALSE(s.disclaimerAccepted);
    }
    const Settings s = LoadSettingsFile("/nonexistent/dir/ConfigFile.ini");
    EXPECT_EQ(s.ElementsFile, "visual.txt");
    EXPECT_EQ(s.TleName[3], "ISS-Last5.txt");
    EXPECT_EQ(s.DegChar, 223);
}

TEST(SettingsReading, SiteFieldsAreCutToTheirWidths) {
    const Settings s = ParseSettings(
        "LocationName2=A very long observatory name indeed\nLocationLatitude2=  51.123456789012 \n"
        "LocationAltitude2=1234567\nLocationUTCOffset2=-10.50\n");
    EXPECT_EQ(s.sites[2].name, "A very long observatory n");
    EXPECT_EQ(s.sites[2].name.size(), 25u);
    EXPECT_EQ(s.sites[2].latitude, "51.1234567");
    EXPECT_EQ(s.sites[2].altitude, "123456");
    EXPECT_EQ(s.sites[2].utcOffset, "-10.5");
    EXPECT_EQ(s.sites[2].FixedWidth().size(), 56u);
}

TEST(SettingsWriting, WholeFileInTableOrderWithFiveBlanksAndCrLf) {
    Settings s;
    s.disclaimerAccepted = true;
    s.sites[1] = SiteRecord::FromTexts("Home", "45.5", "-73.6", "50", "-5");
    const std::string text = FormatSettings(s);
    const auto lines = Lines(text);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[5], "; Disclaimer accepted.");
    EXPECT_EQ(lines[6], "     Version=2.6.1");
    EXPECT_EQ(lines[7], "     Direction=All");
    EXPECT_EQ(lines[8], "     TimingOffset=");
    EXPECT_EQ(lines[9], "     ElevationLimit=10");
    EXPECT_EQ(lines[10], "     ElementsFile=visual.txt");
    EXPECT_EQ(lines[11], "     LastLocation=1");
    EXPECT_EQ(lines[12], "     LocationLatitude1=45.5");
    // The tracking method's keys come after all the older ones.
    EXPECT_EQ(lines[lines.size() - 3], "     IndiDevice=Telescope Simulator");
    EXPECT_EQ(lines[lines.size() - 2], "     PredictiveTracking=0");
    EXPECT_EQ(lines.back(), "     MeridianLimit=0");
    EXPECT_EQ(KeyLine(lines, "MaxTLEDownloadTime"), "10");
    EXPECT_EQ(KeyLine(lines, "IndiHost"), "localhost");
    EXPECT_EQ(KeyLine(lines, "IndiPort"), "7624");
    EXPECT_EQ(KeyLine(lines, "ObjAlt"), "ALL");
    EXPECT_EQ(KeyLine(lines, "ObjVis"), "ALL");
    EXPECT_EQ(KeyLine(lines, "CoarseTimingIncr"), "1");
    EXPECT_EQ(KeyLine(lines, "FineTimingIncr"), "0.1");
    EXPECT_EQ(KeyLine(lines, "LXRateChangeDelay"), "1.2");
    EXPECT_EQ(KeyLine(lines, "TestTimingIncrement"), "0.5");
    EXPECT_EQ(KeyLine(lines, "DegChar"), "<absent>");
    EXPECT_EQ(KeyLine(lines, "TleName6"), "full-catalog.txt");

    // Every key appears exactly once, in order: the key names after the header.
    std::vector<std::string> keys;
    for (size_t i = 6; i < lines.size(); ++i) keys.push_back(lines[i].substr(5, lines[i].find('=') - 5));
    const std::vector<std::string> expectedStart = {"Version", "Direction", "TimingOffset", "ElevationLimit",
                                                    "ElementsFile", "LastLocation", "LocationLatitude1",
                                                    "LocationLatitude2", "LocationLatitude3", "LocationLongitude1"};
    EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), keys.begin()));
    EXPECT_EQ(keys.size(), 92u);  // 93 keys in all, DegChar left out at 223
}

TEST(SettingsWriting, RoundingOfWrittenValues) {
    Settings s;
    s.AOSElevation = 10.6 * 3.14159265358979323846 / 180.0;
    s.CoarseTimingIncr = 1.23456;
    s.FineTimingIncr = 0.155;
    s.LXRateChangeDelay = 0.456;
    s.DegChar = 176;
    const auto lines = Lines(FormatSettings(s));
    EXPECT_EQ(KeyLine(lines, "AOSElevation"), "11");
    EXPECT_EQ(KeyLine(lines, "CoarseTimingIncr"), "1.23");
    EXPECT_EQ(KeyLine(lines, "FineTimingIncr"), "0.16");
    EXPECT_EQ(KeyLine(lines, "LXRateChangeDelay"), "0.46");
    EXPECT_EQ(KeyLine(lines, "DegChar"), "176");
    EXPECT_EQ(lines[5], "; Disclaimer not yet accepted.");
}

TEST(SettingsWriting, WrittenFileReadsBackTheSameAndAcceptanceSurvives) {
    Settings s;
    s.disclaimerAccepted = true;
    s.Direction = "SW";
    s.TimingOffset = "-0.35";
    s.TrackMethod = 5;
    s.ObjVisAboveHorizon = true;
    s.ObjAlt = "Mod";
    s.ScopeType = "CGE";
    s.TleName[7] = "my own.txt";
    s.AOSElevation = 15 * 3.14159265358979323846 / 180.0;
    s.sites[3] = SiteRecord::FromTexts("Dark site", "-33.9", "151.2", "1200", "10");
    s.LastLocation = 3;
    const Settings r = ParseSettings(FormatSettings(s));
    EXPECT_TRUE(r.disclaimerAccepted);
    EXPECT_EQ(r.Direction, "SW");
    EXPECT_EQ(r.TimingOffset, "-0.35");
    EXPECT_EQ(r.TrackMethod, 5);
    EXPECT_TRUE(r.ObjVisAboveHorizon);
    EXPECT_EQ(r.ObjAlt, "Mod");
    EXPECT_EQ(r.ScopeType, "CGE");
    EXPECT_EQ(r.TleName[7], "my own.txt");
    EXPECT_NEAR(r.AOSElevation, s.AOSElevation, 1e-12);
    EXPECT_EQ(r.sites[3], s.sites[3]);
    EXPECT_EQ(r.LastLocation, 3);
    EXPECT_EQ(FormatSettings(r), FormatSettings(s)) << "a second save is byte-identical";
}

TEST(SettingsFile, SaveReplacesTheFileWholeAndFailureKeepsTheOldOne) {
    TempDir dir;
    const std::string path = (dir.path / "ConfigFile.ini").string();
    Settings s;
    s.TrackAdjust = 123;
    ASSERT_TRUE(SaveSettingsFile(s, path));
    EXPECT_EQ(LoadSettingsFile(path).TrackAdjust, 123);
    s.TrackAdjust = 7;
    ASSERT_TRUE(SaveSettingsFile(s, path));
    EXPECT_EQ(LoadSettingsFile(path).TrackAdjust, 7);
    for (const auto& e : fs::directory_iterator(dir.path))
        EXPECT_EQ(e.path().filename(), "ConfigFile.ini") << "no temporary file is left behind";

    // A folder that cannot be written: the save reports failure and the old file stays.
    std::string error;
    EXPECT_FALSE(SaveSettingsFile(s, "/proc/corvane-cannot-write/ConfigFile.ini", &error));
    EXPECT_FALSE(error.empty());
}

TEST(SiteSwitchTest, StoresScreenFieldsIntoCurrentSiteThenShowsTheChosenOne) {
    Settings s;
    s.sites[2] = SiteRecord::FromTexts("Second", "10", "20", "30", "1");
    s.LastLocation = 1;
    const SiteRecord& shown =
        SiteSwitch(s, SiteRecord{"  Typed name  ", "45.0", "7.5", "300", "+1"}, 2);
    EXPECT_EQ(s.sites[1].name, "Typed name");
    EXPECT_EQ(s.sites[1].longitude, "7.5");
    EXPECT_EQ(s.LastLocation, 2);
    EXPECT_EQ(shown.name, "Second");
    SiteSwitch(s, shown, 9);
    EXPECT_EQ(s.LastLocation, 1);
}

// The INDI server keys: a file of an older version lacks them and keeps the defaults; a port
// that is no port falls back to 7624; a device name with blanks survives a save.
TEST(SettingsReading, IndiServerKeys) {
    const Settings old = ParseSettings("     ScopeType=LX200\r\n");
    EXPECT_EQ(old.IndiHost, "localhost");
    EXPECT_EQ(old.IndiPort, 7624);
    EXPECT_EQ(old.IndiDevice, "Telescope Simulator");
    const Settings set = ParseSettings("indihost = scope.local\r\nINDIPORT=7625\r\nIndiDevice= EQMod Mount \r\n");
    EXPECT_EQ(set.IndiHost, "scope.local");
    EXPECT_EQ(set.IndiPort, 7625);
    EXPECT_EQ(set.IndiDevice, "EQMod Mount");
    for (const char* bad : {"IndiPort=0", "IndiPort=70000", "IndiPort=port"})
        EXPECT_EQ(ParseSettings(bad).IndiPort, 7624) << bad;
    const Settings back = ParseSettings(FormatSettings(set));
    EXPECT_EQ(back.IndiHost, "scope.local");
    EXPECT_EQ(back.IndiPort, 7625);
    EXPECT_EQ(back.IndiDevice, "EQMod Mount");
}

// The tracking method's keys: an older file tracks as before, and the keys survive a save.
TEST(SettingsReading, TrackingMethodKeys) {
    const Settings old = ParseSettings("     ScopeType=CGE\r\n");
    EXPECT_EQ(old.PredictiveTracking, 0);
    EXPECT_EQ(old.MeridianLimit, 0);
    const Settings back =
        ParseSettings(FormatSettings(ParseSettings("PredictiveTracking=1\r\nMERIDIANLIMIT=12\r\n")));
    EXPECT_EQ(back.PredictiveTracking, 1);
    EXPECT_EQ(back.MeridianLimit, 12);
}
