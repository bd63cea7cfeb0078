#include "core/Preferences.h"

#include <gtest/gtest.h>

#include "core/ScopeInterface.h"
#include "core/Text.h"

using namespace corvane;

namespace {
const char* Coarse(const PreferencesForm& f) {
    return f.coarseIndex < 0 ? "" : kCoarseIncrements[f.coarseIndex];
}
const char* Fine(const PreferencesForm& f) { return f.fineIndex < 0 ? "" : kFineIncrements[f.fineIndex]; }
const char* Align(const PreferencesForm& f) {
    return f.alignmentIndex < 0 ? "" : kAlignmentIncrements[f.alignmentIndex];
}
}  // namespace

TEST(PreferencesFill, IncrementListsPreselectTheStoredValueOrTheirFallback) {
    Settings s;
    s.CoarseTimingIncr = 0.2;
    EXPECT_STREQ(Coarse(FillPreferences(s)), "0.2");
    s.CoarseTimingIncr = 0.7;
    EXPECT_STREQ(Coarse(FillPreferences(s)), "0.7");
    s.CoarseTimingIncr = 0.74;
    EXPECT_STREQ(Coarse(FillPreferences(s)), "0.7");
    s.CoarseTimingIncr = 3;
    EXPECT_STREQ(Coarse(FillPreferences(s)), "1.0");

    s.FineTimingIncr = 0.1;
    EXPECT_STREQ(Fine(FillPreferences(s)), "0.10");
    s.FineTimingIncr = 0.12;
    EXPECT_STREQ(Fine(FillPreferences(s)), "0.10");
    s.FineTimingIncr = 0.07;
    EXPECT_STREQ(Fine(FillPreferences(s)), "0.07");
    s.FineTimingIncr = 1;
    EXPECT_STREQ(Fine(FillPreferences(s)), "1.00");

    s.AlignmentIncr = 0.2;
    EXPECT_STREQ(Align(FillPreferences(s)), ".2");
    s.AlignmentIncr = 20;
    EXPECT_STREQ(Align(FillPreferences(s)), "20");
    s.AlignmentIncr = 3;
    EXPECT_STREQ(Align(FillPreferences(s)), "1");
}

TEST(PreferencesSave, StoredThreeSavesAsOneAndNumbersAreHeldToTheirRanges) {
    Settings s;
    s.CoarseTimingIncr = 3;
    PreferencesForm f = FillPreferences(s);
    f.trackingFactor = "450";
    f.trackingLimit = "-3";
    f.aosElevation = "95";
    SavePreferences(f, s);
    EXPECT_DOUBLE_EQ(s.CoarseTimingIncr, 1.0);
    EXPECT_EQ(s.TrackAdjust, 300);
    EXPECT_EQ(s.TrackingLimit, 0);
    EXPECT_NEAR(s.AOSElevation * 180 / 3.14159265358979323846, 90.0, 1e-9);

    f.trackingFactor = "abc";
    f.trackingLimit = "45.6";
    f.aosElevation = "-1";
    SavePreferences(f, s);
    EXPECT_EQ(s.TrackAdjust, 0);
    EXPECT_EQ(s.TrackingLimit, 46);
    EXPECT_DOUBLE_EQ(s.AOSElevation, 0.0);
}

TEST(PreferencesSave, EmptyListsSaveTheirFallbacks) {
    Settings s;
    PreferencesForm f = FillPreferences(s);
    f.coarseIndex = f.fineIndex = f.alignmentIndex = -1;
    SavePreferences(f, s);
    EXPECT_DOUBLE_EQ(s.AlignmentIncr, 1.0);
    EXPECT_DOUBLE_EQ(s.FineTimingIncr, 0.2);
    EXPECT_DOUBLE_EQ(s.CoarseTimingIncr, 1.0);
}

TEST(PreferencesSave, ResetToDefaultsThenSaveGivesTheDialogDefaults) {
    Settings s;
    s.TrackAdjust = 5;
    s.ResetAlignment = 0;
    s.TrackingLimitEnable = 1;
    s.LimitElevation = 0;
    SavePreferences(DefaultPreferencesForm(), s);
    EXPECT_EQ(s.TrackAdjust, 80);
    EXPECT_DOUBLE_EQ(s.CoarseTimingIncr, 1.0);
    EXPECT_DOUBLE_EQ(s.FineTimingIncr, 0.15);
    EXPECT_DOUBLE_EQ(s.AlignmentIncr, 0.1);
    EXPECT_EQ(s.ResetAlignment, 1);
    EXPECT_EQ(s.TrackingLimitEnable, 0);
    EXPECT_EQ(s.TrackingLimit, 90);
    EXPECT_EQ(s.LimitElevation, 1);
}

TEST(ScopeInterfaceTable, TitlesNamesAndUnknownCodes) {
    EXPECT_EQ(MainWindowTitle(FindScopeInterface("LX200GPS").displayName),
              "Corvane v2.6.1              Meade LX200GPS");
    EXPECT_EQ(InitialMainWindowTitle(), "Corvane v2.6.1              Meade LX200GPS");
    EXPECT_STREQ(FindScopeInterface("GEMINI").displayName, "Gemini");
    // The INDI interface is named after its device in the title.
    EXPECT_EQ(MainWindowTitle(InterfaceTitleName("INDI", "EQMod Mount")),
              "Corvane v2.6.1              INDI: EQMod Mount");
    EXPECT_EQ(InterfaceTitleName("CGE", "EQMod Mount"), "Celestron CGE");
    EXPECT_STREQ(FindScopeInterface("INDI").dialogEntry, "INDI Server");
    EXPECT_STREQ(FindScopeInterface("GEMINI").dialogEntry, "");
    EXPECT_STREQ(FindScopeInterface("FOO").code, "LX200");
    EXPECT_FALSE(IsKnownScopeCode("lx200"));
    EXPECT_EQ(ScopeInterfaces().size(), 12u);
    EXPECT_EQ(MountButtonLabels("NEXSTARGPS").size(), 3u);
    EXPECT_TRUE(MountButtonLabels("CGE").empty());
    // The 494 note ends with the last six pieces of the 495/497 note.
    const std::string n497 = InterfaceNote("ETX497"), n494 = InterfaceNote("ETX494");
    const std::string tail = n497.substr(n497.find("Method setting adjusts"));
    EXPECT_EQ(n494.substr(n494.size() - tail.size()), tail);
    for (const auto& i : ScopeInterfaces()) EXPECT_FALSE(InterfaceNote(i.code).empty()) << i.code;
}

// What a user types for an interface: a known code in any case; anything else is no code.
TEST(ScopeInterfaceTable, CodesTypedByAUser) {
    EXPECT_EQ(CanonicalScopeCode("lx200"), "LX200");
    EXPECT_EQ(CanonicalScopeCode(" LogFile "), "LOGFILE");
    EXPECT_EQ(CanonicalScopeCode("nexstargps"), "NEXSTARGPS");
    EXPECT_FALSE(CanonicalScopeCode("BOGUS"));
    EXPECT_FALSE(CanonicalScopeCode(""));
    EXPECT_FALSE(CanonicalScopeCode("LX 200"));
    EXPECT_EQ(ScopeCodeList(),
              "LX200, LX200GPS, ETX494, ETX497, AP, ULTIMA, NEXSTARGPS, CGE, NEXSTAR, LOGFILE, INDI, GEMINI");
    for (const auto& i : ScopeInterfaces()) EXPECT_EQ(CanonicalScopeCode(ToUpper(i.code)), i.code);
}

// Bytes of a file that would steer a terminal are shown as U+FFFD; Latin-1 letters stay letters.
TEST(TextHelpers, ControlBytesNeverReachATerminal) {
    EXPECT_EQ(Latin1ToUtf8Printable("SAT\xC9LITE"), "SAT\xC3\x89LITE");
    EXPECT_EQ(Latin1ToUtf8Printable("A\x1B[2JB"), "A\xEF\xBF\xBD[2JB");
    EXPECT_EQ(Latin1ToUtf8Printable("\x9B"
                                    "31m\x7F\t\r\n"),
              "\xEF\xBF\xBD"
              "31m\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Latin1ToUtf8Printable(std::string("a\0b", 3)),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_FALSE(IsControlByte(' '));
    EXPECT_FALSE(IsControlByte(0xA0));
    EXPECT_TRUE(IsControlByte(0x9F));
}

// Names from UTF-8 files stay as they are; bytes that do not form UTF-8 are Latin-1; a C1 control
// is shown as U+FFFD in either form.
TEST(TextHelpers, Utf8NamesStayUtf8) {
    EXPECT_EQ(Latin1ToUtf8Printable("Soci\xC3\xA9t\xC3\xA9 \xC3\xBC \xE5\xA4\xA9\xF0\x9F\x9B\xB0"),
              "Soci\xC3\xA9t\xC3\xA9 \xC3\xBC \xE5\xA4\xA9\xF0\x9F\x9B\xB0");
    EXPECT_EQ(Latin1ToUtf8Printable("A\xC2\x9B"
                                    "31m"),
              "A\xEF\xBF\xBD"
              "31m");
    // A name cut inside a character, an overlong form and a surrogate are read byte by byte.
    EXPECT_EQ(Latin1ToUtf8Printable("\xE5\xA4"), "\xC3\xA5\xC2\xA4");
    EXPECT_EQ(Latin1ToUtf8Printable("\xC0\xAF"), "\xC3\x80\xC2\xAF");
    EXPECT_EQ(Latin1ToUtf8Printable("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xEF\xBF\xBD");  // 0x80 is C1
}

TEST(TextHelpers, LeadingNumberAndPlainNumber) {
    EXPECT_DOUBLE_EQ(LeadingNumber("  -12.5e1xyz"), -125.0);
    EXPECT_DOUBLE_EQ(LeadingNumber("3e"), 3.0);
    EXPECT_DOUBLE_EQ(LeadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(LeadingNumber("-"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingNumber("nan"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingNumber("1e999"), 0.0);
    EXPECT_EQ(LeadingInt("2.5"), 3);
    EXPECT_EQ(LeadingInt("-2.5"), -3);
    EXPECT_EQ(LeadingInt("99999999999"), 2147483647);
    EXPECT_EQ(PlainNumber(0.15), "0.15");
    EXPECT_EQ(PlainNumber(4), "4");
    EXPECT_EQ(PlainNumber(-0.0001, 2), "0");
}
