#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "orbit/CatalogueNumber.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/OmmReader.h"
#include "orbit/PropagationSlot.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

const std::string kData = CORVANE_TEST_DATA;

std::string TempFile(const std::string& name, const std::string& contents) {
    const fs::path p = fs::temp_directory_path() / ("corvane-omm-" + std::to_string(::getpid()) + "-" + name);
    std::ofstream(p, std::ios::binary) << contents;
    return p.string();
}

// The ISS with its lines renumbered, checksums rewritten.
CatalogueEntry Renumbered(const std::string& field) {
    CatalogueEntry e{"ISS (ZARYA)             ",
                     "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  999",
                     "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 5393", 0};
    e.line1.replace(2, 5, field);
    e.line2.replace(2, 5, field);
    e.line1 += static_cast<char>('0' + ElementLineChecksum(e.line1));
    e.line2 += static_cast<char>('0' + ElementLineChecksum(e.line2));
    return e;
}

std::string Text(const CatalogueEntry& e) { return e.name + "\n" + e.line1 + "\n" + e.line2 + "\n"; }

}  // namespace

TEST(CatalogueNumber, Alpha5RoundTripsAndRejects) {
    for (const auto& [field, number] :
         std::initializer_list<std::pair<const char*, long>>{{"A0000", 100000},
                                                             {"Z9999", 339999},
                                                             {"H9999", 179999},
                                                             {"J0000", 180000},
                                                             {"P0001", 230001},
                                                             {"25544", 25544},
                                                             {"00005", 5},
                                                             {"    5", 5},
                                                             {"99999", 99999}}) {
        ASSERT_EQ(ParseCatalogueNumber(field), number) << field;
        if (number >= 100000 || std::string(field) == "25544") EXPECT_EQ(CatalogueNumberField(number), field);
    }
    EXPECT_EQ(CatalogueNumberField(5), "00005");
    EXPECT_EQ(CatalogueNumberField(340000), "");
    EXPECT_EQ(CatalogueNumberField(-1), "");
    for (const char* bad : {"I0000", "O1234", "a0000", "z9999", "AA000", "A000", "A00000", "A-123", "",
                            "     ", "1 2 3", "+1234"})
        EXPECT_FALSE(ParseCatalogueNumber(bad)) << bad;
    // What a user types: either form, the letter in either case.
    EXPECT_EQ(ParseUserCatalogueNumber("a0000"), 100000);
    EXPECT_EQ(ParseUserCatalogueNumber(" Z9999 "), 339999);
    EXPECT_EQ(ParseUserCatalogueNumber("100000"), 100000);
    EXPECT_EQ(ParseUserCatalogueNumber("25544"), 25544);
    EXPECT_FALSE(ParseUserCatalogueNumber("i0000"));
    EXPECT_FALSE(ParseUserCatalogueNumber("12x"));
    EXPECT_EQ(CatalogueNumberText("A0000"), "100000");
    EXPECT_EQ(CatalogueNumberText("25544"), "25544");
    EXPECT_EQ(CatalogueNumberText(" 7530"), "7530");
}

TEST(CatalogueNumber, ReaderTakesAlpha5SetsAndChecksBothLinesAgree) {
    const CatalogueEntry alpha = Renumbered("A0000");
    const CatalogueEntry numeric = Renumbered("99999");
    CatalogueEntry mismatched = Renumbered("A0000");
    mismatched.line2 = Renumbered("A0001").line2;
    CatalogueEntry lower = Renumbered("a0000");
    CatalogueEntry iss = Renumbered("25544");
    EXPECT_TRUE(LooksLikeElementLines(alpha.line1, alpha.line2));
    EXPECT_FALSE(LooksLikeElementLines(mismatched.line1, mismatched.line2));
    EXPECT_FALSE(LooksLikeElementLines(lower.line1, lower.line2));

    const std::string path =
        TempFile("mixed.tle", Text(numeric) + Text(alpha) + Text(mismatched) + Text(lower) + Text(iss));
    const LoadResult r = LoadElementFile(path);
    ASSERT_EQ(r.catalogue->Count(), 3);
    EXPECT_EQ(r.catalogue->Entry(1)->number, 99999);
    EXPECT_EQ(r.catalogue->Entry(2)->number, 100000);
    EXPECT_EQ(r.catalogue->FindCatalogueNumber(100000), 2);
    EXPECT_EQ(r.catalogue->FindCatalogueNumber(25544), 3);
    // The ISS rule reads the columns as written: only "25544" is the ISS.
    EXPECT_EQ(r.catalogue->IssIndex(), 3);
    EXPECT_EQ(r.catalogue->Line1(2), alpha.line1);  // kept as read

    PropagationSlot slot(1);
    slot.Convert(alpha.name, alpha.line1, alpha.line2);
    EXPECT_EQ(slot.Elements().catalogueNumber, "A0000");
    EXPECT_EQ(slot.Elements().catalogueNumberValue, 100000);
    fs::remove(path);
}

// The OMM forms of the sample objects (one of them numbered A0000) give the two-line form's own
// lines, so every element and every propagated position is the same to the bit.
TEST(OmmFiles, CsvAndXmlGiveTheTwoLineFormBitForBit) {
    const LoadResult tle = LoadElementFile(kData + "/omm-sample.tle");
    ASSERT_EQ(tle.catalogue->Count(), 6);
    for (const char* name : {"/omm-sample.csv", "/omm-sample.xml"}) {
        SCOPED_TRACE(name);
        const LoadResult omm = LoadElementFile(kData + name);
        ASSERT_EQ(omm.catalogue->Count(), tle.catalogue->Count());
        EXPECT_EQ(omm.status, "6 total.");
        EXPECT_EQ(omm.catalogue->IssIndex(), tle.catalogue->IssIndex());
        for (int i = 1; i <= tle.catalogue->Count(); ++i) {
            EXPECT_EQ(omm.catalogue->NameLine(i), tle.catalogue->NameLine(i));
            EXPECT_EQ(omm.catalogue->Line1(i), tle.catalogue->Line1(i));
            EXPECT_EQ(omm.catalogue->Line2(i), tle.catalogue->Line2(i));
            EXPECT_EQ(omm.catalogue->Entry(i)->number, tle.catalogue->Entry(i)->number);
            PropagationSlot a(1), b(2);
            a.Convert(tle.catalogue->NameLine(i), tle.catalogue->Line1(i), tle.catalogue->Line2(i));
            b.Convert(omm.catalogue->NameLine(i), omm.catalogue->Line1(i), omm.catalogue->Line2(i));
            for (double minutes : {0.0, 1440.0, -4000.0}) {
                const PropagationResult pa = a.PropagateMinutes(minutes);
                const PropagationResult pb = b.PropagateMinutes(minutes);
                ASSERT_TRUE(pa.Ok());
                EXPECT_EQ(pa.position.x, pb.position.x);
                EXPECT_EQ(pa.position.y, pb.position.y);
                EXPECT_EQ(pa.velocity.z, pb.velocity.z);
            }
        }
    }
}

TEST(OmmFiles, RoundsToTheTwoLinePrecisionAndSkipsUnreadableRecords) {
    OmmFields f{{"OBJECT_NAME", "TEST"},           {"NORAD_CAT_ID", "339999"},
                {"EPOCH", "2026-12-08T00:00:00Z"}, {"MEAN_MOTION", "15.123456789"},
                {"ECCENTRICITY", "0.00012346"},    {"INCLINATION", "51.64449"},
                {"RA_OF_ASC_NODE", "0"},           {"ARG_OF_PERICENTER", "359.99994"},
                {"MEAN_ANOMALY", "1e1"},           {"BSTAR", "0.000999996"},
                {"MEAN_MOTION_DOT", "-1.6E-8"},    {"MEAN_MOTION_DDOT", "1.23456e-12"}};
    CatalogueEntry e;
    ASSERT_TRUE(OmmToElementLines(f, e));
    EXPECT_EQ(e.name, "TEST                    ");
    EXPECT_EQ(e.line1.substr(0, 68), "1 Z9999U          26342.00000000 -.00000002  00000-0  10000-2 0  999");
    EXPECT_EQ(e.line2.substr(0, 68), "2 Z9999  51.6445   0.0000 0001235 359.9999  10.0000 15.12345679    0");
    EXPECT_TRUE(LooksLikeElementLines(e.line1, e.line2));
    // Fields the two-line form cannot hold, or that are missing or not numbers, fail.
    for (const auto& [key, value] :
         std::initializer_list<std::pair<const char*, const char*>>{{"NORAD_CAT_ID", "340000"},
                                                                    {"NORAD_CAT_ID", "12.5"},
                                                                    {"ECCENTRICITY", "1.2"},
                                                                    {"MEAN_MOTION", "abc"},
                                                                    {"EPOCH", "yesterday"},
                                                                    {"INCLINATION", ""},
                                                                    {"MEAN_MOTION", "nan"},
                                                                    {"BSTAR", "1e30"}}) {
        OmmFields bad = f;
        bad[key] = value;
        EXPECT_FALSE(OmmToElementLines(bad, e)) << key << "=" << value;
    }

    const std::string csv =
        "OBJECT_NAME,NORAD_CAT_ID,EPOCH,MEAN_MOTION,ECCENTRICITY,INCLINATION,RA_OF_ASC_NODE,"
        "ARG_OF_PERICENTER,MEAN_ANOMALY\r\n"
        "\"A, B\",100001,2026-12-08T00:00:00,15.5,.001,51.6,10,20,30\r\n"
        "BROKEN,100002,2026-12-08T00:00:00,fast,.001,51.6,10,20,30\r\n"
        "SHORT,100003\r\n"
        "DECAYED THING,100004,2026-12-08T00:00:00,15.5,.001,51.6,10,20,30\r\n";
    const LoadResult r = LoadElementFile(TempFile("bad.csv", csv));
    ASSERT_EQ(r.catalogue->Count(), 1);
    EXPECT_EQ(r.catalogue->Entry(1)->number, 100001);
    EXPECT_EQ(r.catalogue->NameLine(1).substr(0, 4), "A, B");
    EXPECT_EQ(r.status, "1 total. Refused 2 unreadable records.");

    const std::string xml =
        "<ndm><omm><NORAD_CAT_ID>5</NORAD_CAT_ID></omm><omm><body><OBJECT_NAME>X</OBJECT_NAME>"
        "<NORAD_CAT_ID>7</NORAD_CAT_ID><EPOCH>2026-12-08T00:00:00</EPOCH><MEAN_MOTION>15"
        "</MEAN_MOTION><ECCENTRICITY>0</ECCENTRICITY><INCLINATION>0</INCLINATION>"
        "<RA_OF_ASC_NODE>0</RA_OF_ASC_NODE><ARG_OF_PERICENTER>0</ARG_OF_PERICENTER>"
        "<MEAN_ANOMALY>0</MEAN_ANOMALY></body></omm><omm><EPOCH>";
    const LoadResult x = LoadElementFile(TempFile("bad.xml", xml));
    ASSERT_EQ(x.catalogue->Count(), 1);
    EXPECT_EQ(x.catalogue->Entry(1)->number, 7);
    EXPECT_EQ(x.status, "1 total. Refused 2 unreadable records.");  // the last one is cut short
    // A file of records none of which reads is reported like any file without element sets.
    const LoadResult none = LoadElementFile(TempFile("none.xml", "<ndm><omm><EPOCH>x</EPOCH></omm></ndm>"));
    EXPECT_TRUE(none.noElementSets);
    EXPECT_EQ(none.status, "No objects. Refused 1 unreadable record.");
}

TEST(OmmFiles, FormIsToldByContentNotByName) {
    EXPECT_EQ(DetectElementFileFormat("\xEF\xBB\xBF  <?xml version=\"1.0\"?>"), ElementFileFormat::kOmmXml);
    EXPECT_EQ(DetectElementFileFormat("object_name,norad_cat_id,epoch\n"), ElementFileFormat::kOmmCsv);
    EXPECT_EQ(DetectElementFileFormat("ISS (ZARYA)\n1 25544U"), ElementFileFormat::kTwoLine);
    EXPECT_EQ(DetectElementFileFormat("OBJECT_NAME\n1 25544U"), ElementFileFormat::kTwoLine);
    // A three-line file named .csv loads as such.
    const LoadResult r = LoadElementFile(TempFile("really-tle.csv", Text(Renumbered("A0000"))));
    EXPECT_EQ(r.catalogue->Count(), 1);
}

namespace {

std::string OmmXmlRecord(const std::string& name, int number) {
    return "<omm><body><segment><data><meanElements><OBJECT_NAME>" + name + "</OBJECT_NAME><NORAD_CAT_ID>" +
           std::to_string(number) +
           "</NORAD_CAT_ID><EPOCH>2026-12-08T00:00:00</EPOCH><MEAN_MOTION>15.5</MEAN_MOTION>"
           "<ECCENTRICITY>.001</ECCENTRICITY><INCLINATION>51.6</INCLINATION><RA_OF_ASC_NODE>10"
           "</RA_OF_ASC_NODE><ARG_OF_PERICENTER>20</ARG_OF_PERICENTER><MEAN_ANOMALY>30</MEAN_ANOMALY>"
           "</meanElements></data></segment></body></omm>\n";
}

std::string TrimmedName(const CatalogueEntry& e) {
    return e.name.substr(0, e.name.find_last_not_of(' ') + 1);
}

}  // namespace

// Names keep their characters: UTF-8 stays UTF-8, a Latin-1 document's letters arrive as UTF-8, a
// comment inside the name is left out without cutting the rest, and a line break or tab cannot
// split the name line.
TEST(OmmFiles, NamesKeepTheirTextAndStayOneLine) {
    const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ndm>\n" +
                             OmmXmlRecord("SOCI\xC3\x89T\xC3\x89 \xE5\xA4\xA9\xE5\xAE\xAB", 1) +
                             OmmXmlRecord("ISS <!-- the station --> (ZARYA)", 2) +
                             OmmXmlRecord("TWO\n  LINES\tAND <![CDATA[<MORE>]]>", 3) + "</ndm>\n";
    const OmmReadResult r = ReadOmmXml(utf8);
    ASSERT_EQ(r.entries.size(), 3u);
    EXPECT_EQ(TrimmedName(r.entries[0]), "SOCI\xC3\x89T\xC3\x89 \xE5\xA4\xA9\xE5\xAE\xAB");
    EXPECT_EQ(TrimmedName(r.entries[1]), "ISS  (ZARYA)");
    EXPECT_EQ(TrimmedName(r.entries[2]), "TWO   LINES AND <MORE>");

    const OmmReadResult latin1 = ReadOmmXml("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><ndm>" +
                                            OmmXmlRecord("CAF\xC9", 4) + "</ndm>");
    ASSERT_EQ(latin1.entries.size(), 1u);
    EXPECT_EQ(TrimmedName(latin1.entries[0]), "CAF\xC3\x89");

    const OmmReadResult csv = ReadOmmCsv(
        "OBJECT_NAME,NORAD_CAT_ID,EPOCH,MEAN_MOTION,ECCENTRICITY,INCLINATION,RA_OF_ASC_NODE,"
        "ARG_OF_PERICENTER,MEAN_ANOMALY\n\"A\r\nB\tC\",5,2026-12-08T00:00:00,15.5,.001,51.6,10,20,30\n");
    ASSERT_EQ(csv.entries.size(), 1u);
    EXPECT_EQ(TrimmedName(csv.entries[0]), "A  B C");
}

// The reader takes a file in pieces of any size and reads the same records; markup inside
// comments, CDATA or attribute values does not end a record; damage costs only its own record.
TEST(OmmFiles, StreamedXmlAndCsvReadAsWholeFilesDo) {
    std::string xml =
        "<?xml version=\"1.0\"?>\n<!-- <omm> in a comment is no record -->\n<ndm a=\"</omm>\">\n";
    for (int n = 1; n <= 5; ++n) xml += OmmXmlRecord("OBJ " + std::to_string(n), n);
    xml += "<omm><OBJECT_NAME>broken</omm>\n";  // mismatched: one unreadable record
    xml += OmmXmlRecord("AFTER", 6) + "</ndm>\n";
    const OmmReadResult whole = ReadOmmXml(xml);
    EXPECT_EQ(whole.records, 7);
    EXPECT_EQ(whole.unreadable, 1);
    ASSERT_EQ(whole.entries.size(), 6u);
    EXPECT_EQ(TrimmedName(whole.entries[5]), "AFTER");
    for (size_t piece : {1u, 7u, 300u}) {
        std::vector<std::string> names;
        OmmStreamReader reader(ElementFileFormat::kOmmXml,
                               [&](CatalogueEntry&& e) { names.push_back(TrimmedName(e)); });
        for (size_t at = 0; at < xml.size(); at += piece)
            reader.Feed(std::string_view(xml).substr(at, piece));
        reader.Finish();
        EXPECT_EQ(reader.Records(), 7) << piece;
        EXPECT_EQ(reader.Unreadable(), 1) << piece;
        ASSERT_EQ(names.size(), 6u) << piece;
        EXPECT_EQ(names[0], "OBJ 1");
    }
    // A record that never closes is read as one unreadable record, however large.
    const OmmReadResult open =
        ReadOmmXml("<ndm>" + OmmXmlRecord("KEPT", 7) + "<omm>" + std::string(3 << 20, 'x'));
    EXPECT_EQ(open.entries.size(), 1u);
    EXPECT_EQ(open.unreadable, 1);

    const std::string csv =
        "OBJECT_NAME,NORAD_CAT_ID,EPOCH,MEAN_MOTION,ECCENTRICITY,INCLINATION,RA_OF_ASC_NODE,"
        "ARG_OF_PERICENTER,MEAN_ANOMALY\r\nA,1,2026-12-08T00:00:00,15.5,.001,51.6,10,20,30\r\n"
        "\"B, "
        "Q\",2,2026-12-08T00:00:00,15.5,.001,51.6,10,20,30\r\nC,3,2026-12-08T00:00:00,15.5,.001,51.6,10,20,"
        "30";
    std::vector<std::string> names;
    OmmStreamReader reader(ElementFileFormat::kOmmCsv,
                           [&](CatalogueEntry&& e) { names.push_back(TrimmedName(e)); });
    for (char c : csv) reader.Feed(std::string_view(&c, 1));
    reader.Finish();
    EXPECT_EQ(names, (std::vector<std::string>{"A", "B, Q", "C"}));
    EXPECT_EQ(reader.Unreadable(), 0);
}

// An OMM file beyond the capacity is read to its end: the status says how many were kept of how
// many, the numbers left out are known, and records refused are counted.
TEST(OmmFiles, BeyondTheCapacityTheRestIsCountedNotKept) {
    std::string csv =
        "OBJECT_NAME,NORAD_CAT_ID,EPOCH,MEAN_MOTION,ECCENTRICITY,INCLINATION,RA_OF_ASC_NODE,"
        "ARG_OF_PERICENTER,MEAN_ANOMALY\n";
    for (int n = 1; n <= ElementCatalogue::kCapacity + 2; ++n)
        csv += "X," + std::to_string(n) + ",2026-12-08T00:00:00,15.5,.001,51.6,10,20,30\n";
    csv += "BAD,1,2026-12-08T00:00:00,fast,.001,51.6,10,20,30\n";
    const std::string path = TempFile("big.csv", csv);
    const LoadResult r = LoadElementFile(path);
    EXPECT_EQ(r.catalogue->Count(), ElementCatalogue::kCapacity);
    EXPECT_EQ(r.status, "100000 total. Kept 100000 of 100002 objects. Refused 1 unreadable record.");
    EXPECT_EQ(r.catalogue->LeftOutCount(), 2);
    EXPECT_TRUE(r.catalogue->LeftOut(100002));
    EXPECT_FALSE(r.catalogue->LeftOut(99999));  // kept, not left out
    EXPECT_FALSE(r.catalogue->LeftOut(200000));
    EXPECT_EQ(r.catalogue->FindCatalogueNumber(100001), 0);
    fs::remove(path);
}
