// The LX200 Control panel's texts and exchanges, and the mount clock, against the simulated
// LX200 in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "astro/Time.h"
#include "scope/Lx200Panel.h"
#include "scope/MountClock.h"
#include "scope/SerialLink.h"
#include "sim/SimulatedMount.h"
#include "support/DeafPort.h"
#include "support/RecordingDisplay.h"

using namespace corvane;
using corvane::test::RecordingDisplay;

namespace {

const MountSite kSite{40.0, -75.0, 100.0, -4.0};
const char kMountDeg = '\xDF';  // the mount's degree byte
const char kShownDeg = '\xB0';  // the degree sign in the program's texts
const double kLocalStart = CivilToJulianDate(2017, 4, 28, 21, 0, 0.1);  // 0.1 s into a second

struct PanelFixture {
    explicit PanelFixture(MountModel model = MountModel::LX200)
        : mount(model, kSite, clock), link(mount, clock, display) {
        link.SetScopeType(ScopeType::LX200);
        EXPECT_TRUE(link.Connect(1));
        mount.SetLongFormat(true);
    }
    size_t Count(const std::string& command) const {
        const auto all = mount.Commands();
        return static_cast<size_t>(std::count(all.begin(), all.end(), command));
    }
    bool Received(const std::string& command) const { return Count(command) > 0; }

    ManualClock clock{kLocalStart};
    SimulatedMount mount;
    RecordingDisplay display;
    SerialLink link;
};

}  // namespace

TEST(Lx200PanelText, CommandsAndMagnitudesAreSpelledAsTheMountWantsThem) {
    EXPECT_EQ(MagnitudeText(20), "+20.0");
    EXPECT_EQ(MagnitudeText(-5), "-05.0");
    EXPECT_EQ(MagnitudeText(0), "00.0");
    EXPECT_EQ(MagnitudeText(-0.04), "00.0");  // rounds to zero: no sign
    EXPECT_EQ(MagnitudeText(7.25), "+07.3");
    EXPECT_EQ(MagnitudeText(std::nan("")), "00.0");
    EXPECT_EQ(MagnitudeText(1e9), "+99.9");

    EXPECT_EQ(LibraryCommand(LibraryKind::Messier, 31), "#:LM 0031#");
    EXPECT_EQ(LibraryCommand(LibraryKind::Cngc, 7000), "#:LC 7000#");
    EXPECT_EQ(LibraryCommand(LibraryKind::Star, 123456), "#:LS 9999#");
    EXPECT_EQ(PlanetCommand(2), "#:LS 0903#");  // the Moon
    EXPECT_EQ(PlanetCommand(8), "#:LS 0909#");

    EXPECT_EQ(FindTypeString({true, false, true, true, false}), "GpDCo");
}

TEST(Lx200PanelText, QualityStepsWrapAfterSeven) {
    EXPECT_EQ(QualitySteps(3, 0), 4);  // "GD" to "Super": 7 - 3 + 0
    EXPECT_EQ(QualitySteps(0, 6), 6);
    EXPECT_EQ(QualitySteps(5, 5), 0);
    EXPECT_EQ(QualityFromReply("GD#"), 3);
    EXPECT_EQ(QualityFromReply("xxVP#"), 6);
    EXPECT_FALSE(QualityFromReply("##").has_value());
    EXPECT_EQ(QualityFromChoice("Super"), 0);
    EXPECT_EQ(QualityFromChoice("Very Good"), 2);
    EXPECT_EQ(QualityFromChoice("Good"), 3);
    EXPECT_EQ(QualityFromChoice("Very Poor"), 6);
    EXPECT_EQ(QualityFromChoice("anything"), 6);
}

TEST(Lx200PanelText, RepliesBecomeTheReadoutAndInformationTexts) {
    EXPECT_EQ(InformationText("M31 EX GAL MAG 3.4 SZ178.0'#"), "M31 EX GAL\nMAG 3.4 SZ178.0'");
    EXPECT_EQ(InformationText("#MOON PLT MAG -12.0#"), "MOON PLT MAG -12.0");
    EXPECT_EQ(RaReadoutText("05:35:17#"), "  R.A.:  05:35:17");
    EXPECT_EQ(RaReadoutText("1#"), kRaNotAvailable);
    EXPECT_EQ(DecReadoutText(std::string("+22") + kMountDeg + "00'52#"),
              std::string("   DEC: +22") + kShownDeg + "00'52");
    EXPECT_EQ(DecReadoutText(""), kDecNotAvailable);
    const std::string longBars =
        std::string(3, '\x7F') + std::string(13, ' ') + std::string(5, '\x7F') + std::string(11, ' ') + "#";
    EXPECT_EQ(BarsFromReply(longBars).ra, 3);
    EXPECT_EQ(BarsFromReply(longBars).dec, 5);
    EXPECT_EQ(BarsFromReply("\x7F\x7F#").ra, 2);
}

TEST(Lx200PanelText, SiteThreeIsReadAndWrittenUnderTheLetterO) {
    EXPECT_EQ(SiteLetter(3), 'O');
    PanelSite site{"HOMEX", 5, true, 33, 7, 18, 25};
    const auto commands = SiteCommands(3, site);
    EXPECT_EQ(commands[0], "#:SO HOM#");
    EXPECT_EQ(commands[1], "#:SG +05#");
    EXPECT_EQ(commands[2], std::string("#:St -33") + kMountDeg + "07##");
    EXPECT_EQ(commands[3], std::string("#:Sg 018") + kMountDeg + "25#");
    const PanelSite read = SiteFromReplies("HOM#", "+05.0#", std::string("-33") + kMountDeg + "07#",
                                           std::string("018") + kMountDeg + "25#");
    EXPECT_EQ(read.name, "HOM");
    EXPECT_EQ(read.utcOffset, 5);
    EXPECT_TRUE(read.south);
    EXPECT_EQ(read.latitudeDegrees, 33);
    EXPECT_EQ(read.latitudeMinutes, 7);
    EXPECT_EQ(read.longitudeDegrees, 18);
    EXPECT_EQ(read.longitudeMinutes, 25);
    // Garbage reads as zeros, never as something out of range.
    const PanelSite junk = SiteFromReplies("", "zz", "?", std::string("999") + kMountDeg + "99#");
    EXPECT_EQ(junk.name, "");
    EXPECT_EQ(junk.latitudeDegrees, 0);
    EXPECT_EQ(junk.longitudeDegrees, 359);
    EXPECT_EQ(junk.longitudeMinutes, 59);
}

TEST(Lx200Panel, FindSetsEveryFilterThenSlewsToWhatItFound) {
    PanelFixture f;
    FindFilters filters;
    filters.quality = QualityFromChoice("Super");
    filters.types = {true, false, false, false, true};
    FindResult found = RunFindSearch(f.link, filters);
    EXPECT_TRUE(found.Armed()) << found.failedStep;
    EXPECT_EQ(found.qualitySteps, 4);  // the mount starts at "GD"
    EXPECT_EQ(f.Count(":Sq#"), 4u);
    EXPECT_TRUE(f.Received(":Sy GpdcO#"));
    EXPECT_TRUE(f.Received(":Lo 0#"));
    EXPECT_TRUE(f.Received(":Sh 0#"));
    EXPECT_TRUE(f.Received(":Sl 0#"));
    EXPECT_TRUE(f.Received(":Ss 200#"));
    EXPECT_TRUE(f.Received(":Sb +20.0#"));
    EXPECT_TRUE(f.Received(":Sf -05.0#"));
    EXPECT_TRUE(f.Received(":LF#"));
    EXPECT_NE(found.information.find("MAG"), std::string::npos) << found.information;
    EXPECT_NE(found.information.find('\n'), std::string::npos);

    // The search is armed: the slew goes to the object found, which is above the horizon.
    const SlewResult slew = SlewToObject(f.link);
    EXPECT_TRUE(slew.sent);
    EXPECT_FALSE(slew.belowHorizon) << slew.reply;
    EXPECT_TRUE(f.mount.State().slewing);
    const PanelReadout readout = ReadPanelPointing(f.link, true);
    ASSERT_TRUE(readout.bars.has_value());
    EXPECT_GT(readout.bars->ra + readout.bars->dec, 0);
    EXPECT_EQ(readout.raText.rfind("  R.A.:  ", 0), 0u) << readout.raText;

    // Next and previous walk the found list.
    const std::string first = found.information;
    const std::string next = NextFoundObject(f.link, false);
    EXPECT_NE(next, first);
    EXPECT_EQ(NextFoundObject(f.link, true), first);
}

TEST(Lx200Panel, ARefusedFilterLeavesTheSearchUnarmedButTheSequenceRunsOn) {
    PanelFixture f;
    FindFilters filters;
    filters.higher = 95;   // beyond the zenith: refused, step 3
    filters.fainter = -9;  // refused too, but only the first failure is kept
    const FindResult found = RunFindSearch(f.link, filters);
    EXPECT_FALSE(found.Armed());
    EXPECT_EQ(found.failedStep, 3);
    EXPECT_TRUE(f.Received(":Sf -09.0#"));
    EXPECT_TRUE(f.Received(":LF#"));
}

TEST(Lx200Panel, LibraryLookUpsMakeTheObjectTheTarget) {
    PanelFixture f;
    const std::string m31 = LookUpObject(f.link, LibraryKind::Messier, 31);
    EXPECT_TRUE(f.Received(":LM 0031#"));
    EXPECT_EQ(m31.substr(0, 3), "M31") << m31;
    EXPECT_NE(m31.find("\nMAG"), std::string::npos);
    const std::string moon = LookUpPlanet(f.link, 2);
    EXPECT_TRUE(f.Received(":LS 0903#"));
    EXPECT_NE(moon.find("MOON"), std::string::npos) << moon;

    // Sync makes the mount point at the chosen object.
    LookUpObject(f.link, LibraryKind::Messier, 42);
    SyncToObject(f.link);
    const MountState s = f.mount.State();
    EXPECT_NEAR(s.raHours, 5.588, 0.01);
    EXPECT_NEAR(s.decDegrees, -5.39, 0.05);
    // The sync's own answer does not pass for the next reply.
    EXPECT_NE(ReadPanelPointing(f.link, false).decText, kDecNotAvailable);
}

TEST(Lx200Panel, TheTargetIsReadBackUnlessTheMountLeavesItUnanswered) {
    PanelFixture f;
    LookUpObject(f.link, LibraryKind::Messier, 42);
    const auto target = ReadPanelTarget(f.link);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->raText.rfind("  R.A.:  05:3", 0), 0u) << target->raText;
    EXPECT_EQ(target->decText.rfind("   DEC: -05", 0), 0u) << target->decText;

    // A mount that does not answer "#:Gr#" is not asked "#:Gd#" as well.
    ManualClock clock{kLocalStart};
    SimulatedMount mount(MountModel::LX200, kSite, clock);
    test::DeafPort deaf(mount, {"#:Gr#", "#:Gd#"});
    RecordingDisplay display;
    SerialLink link(deaf, clock, display);
    link.SetScopeType(ScopeType::LX200);
    ASSERT_TRUE(link.Connect(1));
    LookUpObject(link, LibraryKind::Messier, 42);
    EXPECT_FALSE(ReadPanelTarget(link));
    EXPECT_EQ(deaf.Written("#:Gr#"), 1u);
    EXPECT_EQ(deaf.Written("#:Gd#"), 0u);
}

TEST(Lx200Panel, SitesAreReadSavedAndKeptPerEntry) {
    PanelFixture f;
    auto first = ReadPanelSite(f.link, 1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->latitudeDegrees, 40);
    EXPECT_EQ(first->longitudeDegrees, 75);  // west, as the mount keeps it
    EXPECT_EQ(first->utcOffset, 4);          // hours added to local time for UTC

    // As the panel does: the entry is read (and so made current) before it is saved.
    EXPECT_EQ(ReadPanelSite(f.link, 3)->name, "CVC");
    PanelSite home{"OBS", 5, false, 52, 30, 1, 15};
    EXPECT_TRUE(SavePanelSite(f.link, 3, home));
    EXPECT_TRUE(f.Received(":SO OBS#"));
    ReadPanelSite(f.link, 1);
    const auto again = ReadPanelSite(f.link, 3);
    EXPECT_TRUE(f.Received(":W3#"));
    EXPECT_TRUE(f.Received(":GO#"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->name, "OBS");
    EXPECT_EQ(again->latitudeDegrees, 52);
    EXPECT_EQ(again->latitudeMinutes, 30);
    EXPECT_EQ(again->longitudeDegrees, 1);
    EXPECT_EQ(again->longitudeMinutes, 15);
    EXPECT_EQ(again->utcOffset, 5);
    // Site 1 is unchanged.
    EXPECT_EQ(ReadPanelSite(f.link, 1)->latitudeDegrees, 40);
}

TEST(Lx200Panel, NothingIsSentWithoutAConnection) {
    PanelFixture f;
    f.link.Disconnect();
    const size_t before = f.mount.Commands().size();
    EXPECT_FALSE(RunFindSearch(f.link, FindFilters{}).sent);
    EXPECT_EQ(ReadPanelPointing(f.link, true).raText, kRaNotAvailable);
    EXPECT_FALSE(ReadPanelSite(f.link, 2).has_value());
    EXPECT_FALSE(SetPanelDateTime(f.link, f.clock));
    StartPanelMove(f.link, PanelDirection::North);
    EXPECT_EQ(f.mount.Commands().size(), before);
}

TEST(Lx200Panel, DirectionPadMovesAtTheChosenRateAndStopsOnRelease) {
    PanelFixture f;
    SetPanelRate(f.link, PanelRate::Center);
    StartPanelMove(f.link, PanelDirection::East);
    const double az0 = f.mount.State().azimuth;
    f.clock.Advance(5.0);
    const double moved = std::fabs(f.mount.State().azimuth - az0);
    EXPECT_GT(moved, 0.1);
    EXPECT_LT(moved, 2.0);  // the centring rate, not a slew
    StopPanelMoves(f.link);
    EXPECT_TRUE(f.Received(":RC#"));
    EXPECT_TRUE(f.Received(":Me#"));
    for (const char* stop : {":Qn#", ":Qs#", ":Qe#", ":Qw#", ":Q#"}) EXPECT_TRUE(f.Received(stop)) << stop;
}

TEST(Lx200Panel, PanelDateAndTimeAreTakenByTheMount) {
    PanelFixture f;
    f.clock.SetCorrection(2.0);  // the panel sets the computer's clock, not the program clock
    EXPECT_TRUE(SetPanelDateTime(f.link, f.clock));
    EXPECT_TRUE(f.Received(":SC 04/28/17#"));
    const MountState s = f.mount.State();
    EXPECT_NEAR(s.utcJulianDate, f.clock.LocalJulianDate() + 4.0 / 24, 2.0 / 86400);
}

TEST(MountClock, CommandsFollowTheProgramClockTexts) {
    const MountTimeCommands c = MountTimeCommandsFor(CivilToJulianDate(2024, 2, 29, 23, 5, 9.9));
    EXPECT_EQ(c.time, "#:SL 23:05:09#");
    EXPECT_EQ(c.date, "#:SC 02/29/24#");
}

TEST(MountClock, TheComputerClockIsSentBetween300And600MsIntoASecond) {
    PanelFixture f;
    f.clock.Set(kLocalStart);
    EXPECT_EQ(MillisecondOfSecond(f.clock.LocalJulianDate()), 100);
    const int64_t before = f.clock.SleptMilliseconds();
    EXPECT_EQ(SetMountDateTime(f.link, true), MountTimeResult::Set);
    EXPECT_TRUE(f.display.messages.empty());
    // 200 ms to reach 0.3 s, then the 3 s wait and the reads.
    EXPECT_GE(f.clock.SleptMilliseconds() - before, 3200);
    EXPECT_TRUE(f.Received(":SL 21:00:00#"));
    EXPECT_TRUE(f.Received(":SC 04/28/17#"));
}

TEST(MountClock, ACorrectionGoesToTheMountAndARefusalIsReported) {
    PanelFixture f;
    f.clock.SetCorrection(3.0);
    EXPECT_EQ(SetMountDateTime(f.link, true), MountTimeResult::Set);
    EXPECT_TRUE(f.Received(":SC 05/01/17#"));
    EXPECT_NEAR(f.mount.State().utcJulianDate - f.clock.LocalJulianDate(), 3.0 + 4.0 / 24, 2.0 / 86400);

    // Unticked: nothing goes out.
    const size_t sent = f.mount.Commands().size();
    EXPECT_EQ(SetMountDateTime(f.link, false), MountTimeResult::NotSent);
    EXPECT_EQ(f.mount.Commands().size(), sent);

    // A mount that does not answer: the message, and the correction stays.
    f.mount.InjectFault(MountFault::Silence);
    EXPECT_EQ(SetMountDateTime(f.link, true), MountTimeResult::Failed);
    ASSERT_EQ(f.display.messages.size(), 1u);
    EXPECT_EQ(f.display.messages[0].text, "Unable to set LX200 Date/Time.");
    EXPECT_EQ(f.display.messages[0].title, "LX200 Connection Error.");
    EXPECT_EQ(f.clock.Correction(), 3.0);
}

// The mount keeps "MM/DD/YY": 2100 would read as 2000, so dates outside 2000-2099 are refused
// and nothing is sent.
TEST(MountClock, OnlyYearsTheMountCanHoldAreSent) {
    PanelFixture f;
    f.clock.Set(CivilToJulianDate(2100, 1, 1, 0, 0, 0) + 4.0 / 24);
    f.clock.SetCorrection(1.0);
    const size_t sent = f.mount.Commands().size();
    EXPECT_EQ(SetMountDateTime(f.link, true), MountTimeResult::Failed);
    for (size_t i = sent; i < f.mount.Commands().size(); ++i)
        EXPECT_EQ(f.mount.Commands()[i].find(":SC"), std::string::npos) << f.mount.Commands()[i];
    ASSERT_EQ(f.display.messages.size(), 1u);
    EXPECT_EQ(f.display.messages[0].text, kMountYearErrorText);
    EXPECT_FALSE(MountCanHoldDate(CivilToJulianDate(1999, 12, 31, 23, 59, 59)));
    EXPECT_TRUE(MountCanHoldDate(CivilToJulianDate(2000, 1, 1, 0, 0, 0)));
    EXPECT_TRUE(MountCanHoldDate(CivilToJulianDate(2099, 12, 31, 23, 59, 59)));
}

TEST(MountClock, TheDialogsDateAndTimeTextReadsBack) {
    const double jd = CivilToJulianDate(2004, 3, 7, 12, 34, 0);
    const auto read = ParseDateAndTimeText(CalendarDateText(jd) + "  12:34");
    ASSERT_TRUE(read);
    EXPECT_NEAR(*read, jd, 1e-9);
    EXPECT_FALSE(ParseDateAndTimeText("Feb 29 2023  10:00"));
    EXPECT_FALSE(ParseDateAndTimeText("Foo 01 2023  10:00"));
    EXPECT_FALSE(ParseDateAndTimeText("Mar 07 2004  24:00"));
    EXPECT_FALSE(ParseDateAndTimeText("Mar 07 2004  12:34 extra"));
}
