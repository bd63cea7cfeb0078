#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

struct Recorder : LoadObserver {
    std::vector<std::string> statuses;
    std::vector<std::string> failures;
    void Status(const std::string& text) override { statuses.push_back(text); }
    void OpenFailed(const std::string& message, const std::string& title) override {
        failures.push_back(message + "|" + title);
    }
};

class CatalogueFiles : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("corvane-catalogue-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& contents) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << contents;
        return p.string();
    }
    fs::path dir_;
};

const std::string kIss =
    "ISS (ZARYA)             \r\n"
    "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992\r\n"
    "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936\r\n";
const std::string kOther =
    "OSCAR 7 (AO-7)          \r\n"
    "1 07530U 74089B   17117.87990456 -.00000052  00000-0 -46847-4 0  9990\r\n"
    "2 07530 101.6258  87.5656 0012474  60.6439 353.6072 12.53626606942326\r\n";

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// Every entry converts and propagates to finite numbers or a typed error.
void ExpectAllPropagateCleanly(const ElementCatalogue& catalogue) {
    PropagationSlot slot;
    for (int i = 1; i <= catalogue.Count(); ++i) {
        ASSERT_TRUE(ConvertElementSet(catalogue, i, slot));
        for (double t : {-1440.0, 0.0, 1440.0}) {
            PropagationResult r = slot.PropagateMinutes(t);
            ConvertState(r);
            ASSERT_TRUE(std::isfinite(r.position.magnitude) && std::isfinite(r.velocity.magnitude)) << i;
        }
    }
}

}  // namespace

TEST_F(CatalogueFiles, LoadsTheAprilCatalogueWithProgress) {
    Recorder rec;
    const std::string path = std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle";
    const LoadResult result = LoadElementFile(path, &rec);
    ASSERT_TRUE(result.opened);
    EXPECT_EQ(result.catalogue->Count(), 1889);
    EXPECT_EQ(result.status, "1889 total.");
    ASSERT_EQ(rec.statuses.size(), 20u);
    EXPECT_EQ(rec.statuses.front(), "No objects.");
    EXPECT_EQ(rec.statuses[1], "100 object(s) loaded.");
    EXPECT_EQ(rec.statuses[18], "1800 object(s) loaded.");
    EXPECT_EQ(rec.statuses.back(), "1889 total.");
    // The ISS is in the file twice; the index is the later copy's.
    std::vector<int> issEntries;
    for (int i = 1; i <= result.catalogue->Count(); ++i) {
        if (result.catalogue->Line1(i).substr(2, 5) == "25544") issEntries.push_back(i);
    }
    ASSERT_EQ(issEntries.size(), 2u);
    EXPECT_EQ(result.catalogue->IssIndex(), issEntries[1]);
    EXPECT_EQ(result.catalogue->FindCatalogueNumber(25544), issEntries[0]);
    // Lines are kept as read, trailing blanks included, line ends removed.
    EXPECT_EQ(result.catalogue->NameLine(1), "OSCAR 7 (AO-7)          ");
    EXPECT_EQ(result.catalogue->Line2(1).size(), 69u);
    ExpectAllPropagateCleanly(*result.catalogue);
}

TEST_F(CatalogueFiles, DecayedInAnyCaseIsSkipped) {
    Recorder rec;
    LoadResult r = LoadElementFile(Write("decayed.txt", "sl-8 r/b (decayed)\r\n" + kIss.substr(26)), &rec);
    EXPECT_EQ(r.catalogue->Count(), 0);
    EXPECT_EQ(r.status, "No objects.");
    EXPECT_EQ(rec.statuses.back(), "No objects.");
    EXPECT_TRUE(r.fileName.empty());
    r = LoadElementFile(Write("mixed.txt", kOther + "OBJECT DeCaYeD\n" + kIss.substr(26) + kIss));
    EXPECT_EQ(r.catalogue->Count(), 2);
    EXPECT_EQ(r.catalogue->IssIndex(), 2);
}

TEST_F(CatalogueFiles, LineEndsTrailingBlanksAndTruncatedGroups) {
    std::string lf = kIss + kOther;
    for (size_t p; (p = lf.find('\r')) != std::string::npos;) lf.erase(p, 1);
    const LoadResult a = LoadElementFile(Write("crlf.txt", kIss + kOther));
    const LoadResult b = LoadElementFile(Write("lf.txt", lf));
    ASSERT_EQ(a.catalogue->Count(), 2);
    ASSERT_EQ(b.catalogue->Count(), 2);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(a.catalogue->NameLine(i), b.catalogue->NameLine(i));
        EXPECT_EQ(a.catalogue->Line1(i), b.catalogue->Line1(i));
    }
    EXPECT_EQ(a.catalogue->NameLine(1), "ISS (ZARYA)             ");
    // A file that ends inside a group drops that group.
    const LoadResult cut = LoadElementFile(Write("cut.txt", kIss + kOther.substr(0, 60)));
    EXPECT_EQ(cut.catalogue->Count(), 1);
    const LoadResult noFinalEnd =
        LoadElementFile(Write("noend.txt", kIss + kOther.substr(0, kOther.size() - 2)));
    EXPECT_EQ(noFinalEnd.catalogue->Count(), 2);
}

// A full catalogue of today loads whole with progress; beyond the capacity the status says how
// many were kept of how many.
TEST_F(CatalogueFiles, CapacityIsAHundredThousand) {
    Recorder rec;
    const LoadResult full = LoadElementFile(Write("full.txt", Repeat(kOther, 30000)), &rec);
    EXPECT_EQ(full.catalogue->Count(), 30000);
    EXPECT_EQ(full.status, "30000 total.");
    ASSERT_EQ(rec.statuses.size(), 302u);
    EXPECT_EQ(rec.statuses[300], "30000 object(s) loaded.");
    const LoadResult r = LoadElementFile(Write("big.txt", Repeat(kOther, 100001)));
    EXPECT_EQ(r.catalogue->Count(), 100000);
    EXPECT_EQ(r.objectsInFile, 100001);
    EXPECT_EQ(r.status, "100000 total. Kept 100000 of 100001 objects.");
}

TEST_F(CatalogueFiles, MissingEmptyAndUnnamedFiles) {
    Recorder rec;
    const std::string missing = (dir_ / "nothing.txt").string();
    LoadResult r = LoadElementFile(missing, &rec);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.catalogue->Count(), 0);
    ASSERT_EQ(rec.failures.size(), 1u);
    EXPECT_EQ(rec.failures[0], "Could not open " + missing + "|Open File Error");
    r = LoadElementFile(Write("empty.txt", ""));
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.catalogue->Count(), 0);
    EXPECT_EQ(r.status, "No objects.");
    Recorder quiet;
    r = LoadElementFile("", &quiet);
    EXPECT_EQ(r.catalogue->Count(), 0);
    EXPECT_TRUE(quiet.failures.empty());
    r = LoadElementFile(dir_.string());  // a folder: nothing to read
    EXPECT_EQ(r.catalogue->Count(), 0);
}

TEST_F(CatalogueFiles, WrongColumnsLettersAndBinaryGarbageNeverGiveNaN) {
    // Malformed lines that still pass for element lines, and lines that do not (put into a
    // catalogue directly): every field converts to a number or a typed error.
    std::string shifted = kIss;
    shifted.insert(26 + 10, "  ");  // line 1 shifted by two columns after the number
    shifted.erase(26 + 68, 3);      // cut to 68 columns: no checksum left to fail
    std::string letters = kOther;
    letters.replace(26 + 71 + 52, 11, "ABCDEFGHIJK");
    letters.erase(letters.size() - 3, 1);  // no checksum column: no checksum to fail
    const LoadResult r = LoadElementFile(Write("bad.txt", shifted + letters + kIss));
    ASSERT_EQ(r.catalogue->Count(), 3);
    ExpectAllPropagateCleanly(*r.catalogue);

    std::mt19937 random(20170427);
    std::string garbage(200000, '\0');
    for (char& c : garbage) c = static_cast<char>(random() & 0xFF);
    ElementCatalogue raw;
    for (size_t at = 0; at + 300 <= 30000; at += 300)
        raw.Add({garbage.substr(at, 30), "1 " + garbage.substr(at + 30, 100),
                 "2 " + garbage.substr(at + 130, 100)});
    ExpectAllPropagateCleanly(raw);
}

// Random bytes, a web page, a two-line file: not one element set, and the loader says so instead
// of listing their lines as objects.
TEST_F(CatalogueFiles, AFileWithoutElementSetsIsReportedAsSuch) {
    std::mt19937 random(20170427);
    std::string garbage(200000, '\0');
    for (char& c : garbage) c = static_cast<char>(random() & 0xFF);
    std::string twoLine;
    for (const std::string& set : {kIss, kOther}) twoLine += set.substr(set.find('\n') + 1);
    for (const std::string& contents :
         {garbage, std::string("<html>\n<body>Not found</body>\n</html>\n"), twoLine}) {
        Recorder rec;
        const LoadResult r = LoadElementFile(Write("none.txt", contents), &rec);
        EXPECT_TRUE(r.opened);
        EXPECT_EQ(r.catalogue->Count(), 0);
        EXPECT_TRUE(r.noElementSets);
        EXPECT_GT(r.skippedLines, 0);
        EXPECT_EQ(r.status, "No objects.");
        ASSERT_EQ(rec.failures.size(), 1u);
        EXPECT_EQ(rec.failures[0],
                  "No element sets found in " + (dir_ / "none.txt").string() + "|Open File Error");
    }
    // Empty, blank or only decayed: nothing to list, but nothing wrong with the file either.
    for (const std::string& contents :
         {std::string(), std::string("\r\n  \r\n"), "X DECAYED\r\n" + kIss.substr(26)}) {
        Recorder rec;
        const LoadResult r = LoadElementFile(Write("empty.txt", contents), &rec);
        EXPECT_EQ(r.catalogue->Count(), 0);
        EXPECT_FALSE(r.noElementSets);
        EXPECT_TRUE(rec.failures.empty());
    }
}

// Stray lines (a header, a blank line, a set without its name) are passed over: the entries
// after them keep their own lines.
TEST_F(CatalogueFiles, StrayLinesDoNotShiftTheEntriesAfterThem) {
    const std::string file = "Elements of 27 April 2017\r\n" + kIss + kOther.substr(kOther.find('\n') + 1) +
                             "\r\n" + kOther + "trailing words\r\n";
    const LoadResult r = LoadElementFile(Write("stray.txt", file));
    ASSERT_EQ(r.catalogue->Count(), 2);
    EXPECT_EQ(r.catalogue->NameLine(1), "ISS (ZARYA)             ");
    EXPECT_EQ(r.catalogue->NameLine(2), "OSCAR 7 (AO-7)          ");
    EXPECT_EQ(r.catalogue->Line1(2).substr(2, 5), "07530");
    EXPECT_EQ(r.skippedLines, 4);
    EXPECT_FALSE(r.noElementSets);
}

TEST_F(CatalogueFiles, CarriageReturnsAloneEndLinesToo) {
    std::string cr = kIss + kOther;
    for (size_t p; (p = cr.find("\r\n")) != std::string::npos;) cr.erase(p + 1, 1);
    const LoadResult a = LoadElementFile(Write("cr.txt", cr));
    const LoadResult b = LoadElementFile(Write("crlf.txt", kIss + kOther));
    ASSERT_EQ(a.catalogue->Count(), 2);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(a.catalogue->NameLine(i), b.catalogue->NameLine(i));
        EXPECT_EQ(a.catalogue->Line1(i), b.catalogue->Line1(i));
        EXPECT_EQ(a.catalogue->Line2(i), b.catalogue->Line2(i));
    }
    // Mixed line ends, and a CR LF split across the reader's buffer boundary.
    const std::string mixed = kIss.substr(0, 24) + "\r" + kIss.substr(26, 69) + "\n" + kIss.substr(97);
    EXPECT_EQ(LoadElementFile(Write("mixed.txt", mixed)).catalogue->Count(), 1);
    std::string padding(65536 - 1, ' ');
    padding[0] = 'X';
    const LoadResult split = LoadElementFile(Write("split.txt", padding + "\r\n" + kIss));
    ASSERT_EQ(split.catalogue->Count(), 1);
    EXPECT_EQ(split.catalogue->NameLine(1), "ISS (ZARYA)             ");
}

TEST(ElementLines, NumbersPrefixesAndChecksums) {
    const std::string l1 = "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992";
    const std::string l2 = "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936";
    EXPECT_EQ(ElementLineChecksum(l1), 2);
    EXPECT_EQ(ElementLineChecksum(l2), 6);
    EXPECT_TRUE(LooksLikeElementLines(l1, l2));
    EXPECT_FALSE(LooksLikeElementLines(l2, l1));
    EXPECT_FALSE(LooksLikeElementLines(l1, "2 25545" + l2.substr(7)));  // another object
    std::string wrongSum = l1;
    wrongSum[68] = '3';
    EXPECT_FALSE(LooksLikeElementLines(wrongSum, l2));
    wrongSum[68] = ' ';  // no checksum written: nothing to check
    EXPECT_TRUE(LooksLikeElementLines(wrongSum, l2));
    EXPECT_TRUE(LooksLikeElementLines(l1.substr(0, 40), l2.substr(0, 20)));
    EXPECT_FALSE(LooksLikeElementLines("1       ", "2       "));
    EXPECT_FALSE(LooksLikeElementLines("1", "2"));
}

TEST(CatalogueStore, ReadersKeepTheirCatalogueWhileALoadReplacesIt) {
    CatalogueStore store;
    EXPECT_EQ(store.Get()->Count(), 0);
    auto first = std::make_shared<ElementCatalogue>();
    first->Add({"A", "1 00001U", "2 00001"});
    store.Set(first);
    const auto held = store.Get();
    store.Set(std::make_shared<ElementCatalogue>());
    EXPECT_EQ(held->Count(), 1);
    EXPECT_EQ(store.Get()->Count(), 0);
    store.Set(nullptr);
    EXPECT_NE(store.Get(), nullptr);
}
