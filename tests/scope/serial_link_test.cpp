#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "scope/SerialLink.h"
#include "support/RecordingDisplay.h"
#include "support/ScriptedSerialPort.h"

using namespace corvane;
using corvane::test::RecordingDisplay;
using corvane::test::ScriptedSerialPort;

namespace {

const std::string kDeg = "\xDF";

struct LinkFixture : ::testing::Test {
    ManualClock clock{2457871.5};
    ScriptedSerialPort port{&clock};
    RecordingDisplay display;
    SerialLink link{port, clock, display};

    void SetUp() override {
        link.SetDeviceResolver([](int n) { return "dev" + std::to_string(n); });
    }
    std::vector<std::string> Writes() const { return port.writes; }
};

using WriteList = std::vector<std::string>;

}  // namespace

TEST_F(LinkFixture, LongFormatAzimuthIdentifiesAnLx200AtOnce) {
    port.Expect("#:GZ#", "123" + kDeg + "45'06#", 40);
    ASSERT_TRUE(link.Connect(3));
    EXPECT_EQ(Writes(), (WriteList{"#:GZ#"}));
    EXPECT_EQ(port.openedDevice, "dev3");
    EXPECT_EQ(link.ConnectedPort(), 3);
    EXPECT_TRUE(link.LongFormat());
    EXPECT_TRUE(display.connected);
    EXPECT_FALSE(display.busy);
    EXPECT_EQ(display.busyCount, 1);
    EXPECT_TRUE(display.messages.empty());
}

TEST_F(LinkFixture, ShortFormatAzimuthTogglesPrecisionAndAsksAgain) {
    port.Expect("#:GZ#", "123" + kDeg + "45#");
    port.Expect("#:GZ#", "123" + kDeg + "45'06#");
    ASSERT_TRUE(link.Connect(1));
    EXPECT_EQ(Writes(), (WriteList{"#:GZ#", "#:U#", "#:GZ#"}));
    EXPECT_TRUE(link.LongFormat());
}

TEST_F(LinkFixture, AMountThatStaysShortIsStillConnectedInShortFormat) {
    port.Always("#:GZ#", "123" + kDeg + "45#");
    ASSERT_TRUE(link.Connect(1));
    EXPECT_FALSE(link.LongFormat());
    EXPECT_EQ(link.ConnectedPort(), 1);
}

TEST_F(LinkFixture, TooShortAReplyFailsIdentificationAndClosesThePort) {
    for (ScopeType type : {ScopeType::LX200, ScopeType::LX200GPS, ScopeType::GEMINI, ScopeType::ETX494,
                           ScopeType::ETX497, ScopeType::Unknown}) {
        ScriptedSerialPort quiet{&clock};
        RecordingDisplay shown;
        SerialLink other{quiet, clock, shown};
        other.SetScopeType(type);
        quiet.Expect("#:GZ#", "1#");
        EXPECT_FALSE(other.Connect(2));
        EXPECT_EQ(quiet.writes, (WriteList{"#:GZ#"}));
        EXPECT_EQ(other.ConnectedPort(), 0);
        EXPECT_FALSE(quiet.IsOpen());
        ASSERT_EQ(shown.messages.size(), 1u);
        EXPECT_EQ(shown.messages[0].text, "Cannot Communicate with Telescope!");
        EXPECT_EQ(shown.messages[0].title, "Communication Error.");
        EXPECT_EQ(shown.messages[0].icon, MessageIcon::Error);
        EXPECT_FALSE(shown.connected);
    }
}

TEST_F(LinkFixture, CompatibleMountsAreAskedForDeclinationAndAlwaysUseLongFormat) {
    link.SetScopeType(ScopeType::AP);
    port.Expect("#:GD#", "+45" + kDeg + "30:00#");
    ASSERT_TRUE(link.Connect(1));
    EXPECT_EQ(Writes(), (WriteList{"#:GD#"}));
    EXPECT_TRUE(link.LongFormat());

    ScriptedSerialPort shortPort{&clock};
    SerialLink shortLink{shortPort, clock, display};
    shortLink.SetScopeType(ScopeType::AP);
    shortPort.Expect("#:GD#", "+4#");  // three characters are not enough
    EXPECT_FALSE(shortLink.Connect(1));
}

TEST_F(LinkFixture, NexStarFamilyIdentification) {
    link.SetScopeType(ScopeType::ULTIMA);
    ASSERT_TRUE(link.Connect(1));  // the reply is not judged
    EXPECT_EQ(Writes(), (WriteList{"U\r\n"}));
    EXPECT_EQ(link.LastCommand(), "U");

    ScriptedSerialPort gpsPort{&clock};
    SerialLink gps{gpsPort, clock, display};
    gps.SetScopeType(ScopeType::NEXSTARGPS);
    gpsPort.Expect("E", "34AB,12CD#", 60);
    EXPECT_TRUE(gps.Connect(1));
    EXPECT_EQ(gpsPort.writes, (WriteList{"E"}));

    ScriptedSerialPort silentPort{&clock};
    RecordingDisplay shown;
    SerialLink cge{silentPort, clock, shown};
    cge.SetScopeType(ScopeType::CGE);
    silentPort.Expect("E", "12,34#");  // comma too early: no position
    EXPECT_FALSE(cge.Connect(1));
    ASSERT_EQ(shown.messages.size(), 1u);

    ScriptedSerialPort nothing{&clock};
    SerialLink nexstar{nothing, clock, display};
    nexstar.SetScopeType(ScopeType::NEXSTAR);
    EXPECT_TRUE(nexstar.Connect(1));
    EXPECT_TRUE(nothing.writes.empty());
    nexstar.SetScopeType(ScopeType::LOGFILE);
    EXPECT_TRUE(nexstar.Identify());
    EXPECT_TRUE(nothing.writes.empty());
}

TEST_F(LinkFixture, ConnectionProblemsAreReportedWithTheirMessages) {
    port.failOpen = true;
    EXPECT_FALSE(link.Connect(5));
    ASSERT_EQ(display.messages.size(), 1u);
    EXPECT_EQ(display.messages[0].text, "Unable To Initialize Serial Port");
    EXPECT_EQ(display.messages[0].title, "Connection Problem");
    EXPECT_EQ(display.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(link.ConnectedPort(), 0);

    port.failOpen = false;
    port.Always("#:GZ#", "123" + kDeg + "45'06#");
    ASSERT_TRUE(link.Connect(1));
    EXPECT_FALSE(link.Connect(2));
    ASSERT_EQ(display.messages.size(), 2u);
    EXPECT_EQ(display.messages[1].text, "Serial Port 1 already connected");
    EXPECT_EQ(display.messages[1].title, "Connection Problem");
    EXPECT_EQ(port.openCount, 2);
}

TEST_F(LinkFixture, PortNumbersOutsideTheRangeOpenPortOne) {
    port.Always("#:GZ#", "123" + kDeg + "45'06#");
    ASSERT_TRUE(link.Connect(0));
    EXPECT_EQ(port.openedDevice, "dev1");
    link.Disconnect();
    ASSERT_TRUE(link.Connect(17));
    EXPECT_EQ(port.openedDevice, "dev1");
    link.Disconnect();
    ASSERT_TRUE(link.Connect(12));
    EXPECT_EQ(port.openedDevice, "dev12");
}

TEST_F(LinkFixture, DisconnectStopsTrackingWaitsAndCloses) {
    port.Always("#:GZ#", "123" + kDeg + "45'06#");
    ASSERT_TRUE(link.Connect(1));
    int stops = 0;
    link.SetStopTrackingHook([&] { ++stops; });
    const auto before = clock.SleptMilliseconds();
    link.Disconnect();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(clock.SleptMilliseconds() - before, 500);
    EXPECT_EQ(link.ConnectedPort(), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(display.connected);
}

TEST_F(LinkFixture, ReadAvailableWaitsOnlyItsFixedPauses) {
    port.Always("#:GZ#", "123" + kDeg + "45'06#");
    ASSERT_TRUE(link.Connect(1));

    port.Feed("12:00:00#");
    auto start = clock.SleptMilliseconds();
    EXPECT_EQ(link.ReadAvailable(), "12:00:00#");
    EXPECT_EQ(clock.SleptMilliseconds() - start, 0);

    start = clock.SleptMilliseconds();
    EXPECT_EQ(link.ReadAvailable(), "");
    EXPECT_EQ(clock.SleptMilliseconds() - start, 200);

    port.Feed("12:0");
    port.Feed("0:00#", 100);  // arrives during the first pause
    start = clock.SleptMilliseconds();
    EXPECT_EQ(link.ReadAvailable(), "12:00:00#");
    EXPECT_EQ(clock.SleptMilliseconds() - start, 150);

    link.SetScopeType(ScopeType::ETX494);
    start = clock.SleptMilliseconds();
    EXPECT_EQ(link.ReadAvailable(), "");
    EXPECT_EQ(clock.SleptMilliseconds() - start, 2200);

    port.Feed("1", 0);
    start = clock.SleptMilliseconds();
    EXPECT_EQ(link.ReadAvailable(), "1");  // "1" ends the slow rounds
    EXPECT_EQ(clock.SleptMilliseconds() - start, 200);
}

TEST_F(LinkFixture, ReadReplyStopsAtItsEndingsAndGivesUpAfterThirtyTries) {
    port.Always("#:GZ#", "123" + kDeg + "45'06#");
    ASSERT_TRUE(link.Connect(1));

    port.Feed("0");
    EXPECT_EQ(link.ReadReply(), "0");
    port.Feed("1Object Below");  // no terminator, but a refusal
    EXPECT_EQ(link.ReadReply(), "1Object Below");
    port.Feed("+45");
    port.Feed(kDeg + "30'00#", 500);
    EXPECT_EQ(link.ReadReply(), "+45" + kDeg + "30'00#");

    port.Feed("12:3");  // never completed
    const auto start = clock.SleptMilliseconds();
    EXPECT_EQ(link.ReadReply(), "");
    EXPECT_EQ(clock.SleptMilliseconds() - start, 20 + 31 * 200 + 30 * 20);

    port.Feed("ab");
    port.Feed("cd#ef", 3000);
    EXPECT_EQ(link.ReadUntilTerminator(), "abcd#ef");
}

TEST_F(LinkFixture, ReadsGiveUpAtOnceWhenNotConnectedOrTheLineIsDead) {
    auto start = clock.SleptMilliseconds();
    EXPECT_EQ(link.ReadReply(), "");
    EXPECT_EQ(link.ReadUntilTerminator(), "");
    EXPECT_EQ(clock.SleptMilliseconds() - start, 0);

    port.Always("#:GZ#", "123" + kDeg + "45'06#");
    ASSERT_TRUE(link.Connect(1));
    port.closedLine = true;
    start = clock.SleptMilliseconds();
    EXPECT_EQ(link.ReadUntilTerminator(), "");
    EXPECT_LT(clock.SleptMilliseconds() - start, 1000);
    link.SendCommand("#:Q#");  // a failed write is not a crash
}

TEST_F(LinkFixture, SendCommandWritesNothingWhenNoPortIsOpen) {
    link.SetConnectedPort(1);  // the Log File interface's simulated connection
    link.SendCommand("#:Q#");
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(link.LastCommand(), "#:Q#");
}

TEST(AuditLog, StampsHaveTheDocumentedForm) {
    const double base = CivilToJulianDate(2017, 4, 27, 21, 5, 9.0);
    EXPECT_EQ(AuditLogFile::Stamp(base + 0.45 / 86400, true), "04-27-2017 21:05:09.45");
    EXPECT_EQ(AuditLogFile::Stamp(base + 0.5 / 86400, true), "04-27-2017 21:05:09.5");
    EXPECT_EQ(AuditLogFile::Stamp(base + 0.05 / 86400, true), "04-27-2017 21:05:09.05");
    EXPECT_EQ(AuditLogFile::Stamp(base + 0.004 / 86400, true), "04-27-2017 21:05:09.0");  // not "09" + "0"
    EXPECT_EQ(AuditLogFile::Stamp(base + 0.997 / 86400, true), "04-27-2017 21:05:09.99");
    EXPECT_EQ(AuditLogFile::Stamp(base + 0.45 / 86400, false), "04-27-2017 21:05:09");
    EXPECT_EQ(AuditLogFile::Stamp(CivilToJulianDate(1999, 12, 31, 23, 59, 59.9996), false),
              "01-01-2000 00:00:00");
}

TEST(AuditLog, TrafficIsLoggedLineByLine) {
    const auto dir = std::filesystem::temp_directory_path() / ("corvane-audit-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = (dir / "output.txt").string();
    { std::ofstream(path) << "old contents\n"; }
    ManualClock clock{CivilToJulianDate(2017, 4, 27, 21, 5, 9.25)};
    AuditLogFile audit{clock};
    ASSERT_TRUE(audit.Open(path));
    ScriptedSerialPort port{&clock};
    RecordingDisplay display;
    SerialLink link{port, clock, display, &audit};
    link.SetDeviceResolver([](int) { return "dev"; });
    link.SetScopeType(ScopeType::ULTIMA);
    ASSERT_TRUE(link.Connect(1));
    link.SetScopeType(ScopeType::LX200);
    link.SendCommand("#:Q#");
    port.Feed("0");
    EXPECT_EQ(link.ReadReply(), "0");
    audit.Close();

    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    EXPECT_EQ(text.find("old contents"), std::string::npos);
    // Identification first reads (and waits 200 ms) before it sends "U".
    EXPECT_NE(text.find("04-27-2017 21:05:09.45 Sent *>[85]<*\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" Sent *>[35][58][81][35]<*\r\n"), std::string::npos);
    EXPECT_NE(text.find(" Rcvd *><*\r\n"), std::string::npos);
    // The polling read's own line carries no fraction of a second.
    EXPECT_TRUE(std::regex_search(text, std::regex("\r\n04-27-2017 21:05:\\d\\d Rcvd \\*>0<\\*\r\n")))
        << text;
    std::filesystem::remove_all(dir);
}

TEST(ScopeTypes, CodesAreExactAndUnknownCodesStayUnknown) {
    EXPECT_EQ(ScopeTypeFromCode("LX200GPS"), ScopeType::LX200GPS);
    EXPECT_EQ(ScopeTypeFromCode("AP"), ScopeType::AP);
    EXPECT_EQ(ScopeTypeFromCode("lx200"), ScopeType::Unknown);
    EXPECT_EQ(ScopeTypeFromCode("MEADE"), ScopeType::Unknown);
    EXPECT_STREQ(ScopeTypeCode(ScopeType::ETX497), "ETX497");
    EXPECT_TRUE(IsLx200Family(ScopeType::Unknown));
    EXPECT_FALSE(IsLx200Family(ScopeType::NEXSTARGPS));
    EXPECT_FALSE(IsLx200Family(ScopeType::LOGFILE));
}
