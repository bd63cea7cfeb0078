// The check a new element file passes before it replaces the previous one: a connection cut
// short or an answer that is not an element file is refused, whatever the form.
#include <gtest/gtest.h>

#include <string>

#include "orbit/ElementDownload.h"

using namespace corvane;

namespace {

const std::string kIss =
    "ISS (ZARYA)             \r\n"
    "1 25544U 98067A   17117.89041289 -.00158687  00000-0 -24621-2 0  9992\r\n"
    "2 25544  51.6432 289.0003 0006055 101.4704 344.3366 15.53834686 53936\r\n";
const std::string kCsv =
    "OBJECT_NAME,NORAD_CAT_ID,EPOCH,MEAN_MOTION,ECCENTRICITY,INCLINATION,RA_OF_ASC_NODE,"
    "ARG_OF_PERICENTER,MEAN_ANOMALY\nA,1,2026-12-08T00:00:00,15.5,.001,51.6,10,20,30\n";
const std::string kXml =
    "<?xml version=\"1.0\"?>\n<ndm><omm><OBJECT_NAME>A</OBJECT_NAME><NORAD_CAT_ID>1</NORAD_CAT_ID>"
    "<EPOCH>2026-12-08T00:00:00</EPOCH><MEAN_MOTION>15.5</MEAN_MOTION><ECCENTRICITY>.001</ECCENTRICITY>"
    "<INCLINATION>51.6</INCLINATION><RA_OF_ASC_NODE>10</RA_OF_ASC_NODE><ARG_OF_PERICENTER>20"
    "</ARG_OF_PERICENTER><MEAN_ANOMALY>30</MEAN_ANOMALY></omm></ndm>\n";

}  // namespace

TEST(DownloadCheck, WholeFilesPassInEveryForm) {
    EXPECT_EQ(ElementDownloadProblem(kIss), "");
    EXPECT_EQ(ElementDownloadProblem(kIss + kIss + "\n\n"), "");
    EXPECT_EQ(ElementDownloadProblem(kCsv), "");
    EXPECT_EQ(ElementDownloadProblem(kXml), "");
    EXPECT_EQ(ElementDownloadProblem(kXml.substr(0, kXml.size() - 1)), "");  // no line end needed
}

TEST(DownloadCheck, CutShortOrForeignFilesAreRefused) {
    EXPECT_EQ(ElementDownloadProblem(""), "it is empty");
    // Cut inside the last line: the loader would keep the sets before it and say nothing.
    const std::string two = kIss + kIss;
    EXPECT_EQ(ElementDownloadProblem(two.substr(0, two.size() - 30)), "its last line is cut short");
    EXPECT_EQ(ElementDownloadProblem(two.substr(0, two.size() - 2)), "its last line is cut short");
    // Cut at the end of a line, but inside a set.
    EXPECT_EQ(ElementDownloadProblem(kIss + kIss.substr(0, 26)), "its last element set is incomplete");
    EXPECT_EQ(ElementDownloadProblem(kIss + kIss.substr(0, 97)), "its last element set is incomplete");
    EXPECT_EQ(ElementDownloadProblem("<html>Service unavailable</html>\n"), "it holds no element sets");
    EXPECT_EQ(ElementDownloadProblem("Service unavailable\n"), "it holds no element sets");
    // Sets the loader leaves out ("DECAYED") are no element sets to load, in any form.
    std::string decayed = kIss;
    decayed.replace(0, 11, "ISS DECAYED");
    EXPECT_EQ(ElementDownloadProblem(decayed), "it holds no element sets");
    std::string csv = kCsv;
    csv.replace(csv.rfind("\nA,") + 1, 1, "Decayed");
    EXPECT_EQ(ElementDownloadProblem(csv), "it holds no element sets");
    EXPECT_EQ(ElementDownloadProblem(kCsv.substr(0, kCsv.size() - 5)), "its last line is cut short");
    EXPECT_EQ(ElementDownloadProblem(kCsv.substr(0, kCsv.find('\n') + 1)), "it holds no element sets");
    EXPECT_EQ(ElementDownloadProblem(kXml.substr(0, kXml.size() - 8)),
              "it ends inside its markup (the download was cut short)");
    EXPECT_EQ(ElementDownloadProblem("<ndm></ndm>"), "it holds no element sets");
    // Cut just after a whole record: the document's own closing tag is missing.
    EXPECT_EQ(ElementDownloadProblem(kXml.substr(0, kXml.size() - 7)),
              "it ends inside its markup (the download was cut short)");
    EXPECT_EQ(
        ElementDownloadProblem(kXml.substr(kXml.find("<omm>"), kXml.find("</ndm>") - kXml.find("<omm>"))),
        "");
}
