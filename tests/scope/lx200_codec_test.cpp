#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/Text.h"
#include "scope/Lx200Codec.h"

using namespace corvane;

namespace {
const std::string kDeg = "\xDF";

// Reads "HH:MM:SS" back into hours, and "sDD<b>MM:SS" into degrees.
double HoursOf(const std::string& text) {
    return LeadingNumber(text.substr(0, 2)) + LeadingNumber(text.substr(3, 2)) / 60.0 +
           LeadingNumber(text.substr(6, 2)) / 3600.0;
}
double DegreesOf(const std::string& text) {
    const double value = LeadingNumber(text.substr(1, 2)) + LeadingNumber(text.substr(4, 2)) / 60.0 +
                         LeadingNumber(text.substr(7, 2)) / 3600.0;
    return text[0] == '-' ? -value : value;
}
double HourDifference(double a, double b) {
    double d = std::fmod(a - b, 24.0);
    if (d > 12) d -= 24;
    if (d < -12) d += 24;
    return d;
}
}  // namespace

TEST(Lx200Codec, LongFormatsMatchTheDocumentedTexts) {
    EXPECT_EQ(FormatRaLong(0.0), "00:00:00");
    EXPECT_EQ(FormatRaLong(12.5), "12:30:00");
    EXPECT_EQ(FormatRaLong(5.0 + 7.0 / 60 + 9.0 / 3600), "05:07:09");
    EXPECT_EQ(FormatRaLong(23.99999), "00:00:00");  // 23:59:59.96 rounds into the next day
    EXPECT_EQ(FormatDecLong(45.5), "+45" + kDeg + "30:00");
    EXPECT_EQ(FormatDecLong(0.0), "+00" + kDeg + "00:00");
    EXPECT_EQ(FormatDecLong(-90.0), "-90" + kDeg + "00:00");
    EXPECT_EQ(FormatDecLong(-5.5, '*'), "-05*30:00");
    EXPECT_EQ(FormatDecLong(89.999999), "+90" + kDeg + "00:00");
}

// A real mount refuses a seconds or minutes field of 60: rounding carries into the next field.
TEST(Lx200Codec, RoundingCarriesInsteadOfWritingSixty) {
    EXPECT_EQ(FormatRaLong(5.0 + 59.0 / 60 + 59.6 / 3600), "06:00:00");
    EXPECT_EQ(FormatRaLong(5.0 + 7.0 / 60 + 59.6 / 3600), "05:08:00");
    EXPECT_EQ(FormatRaLong(23.0 + 59.0 / 60 + 59.6 / 3600), "00:00:00");
    EXPECT_EQ(FormatRaLong(5.0 + 7.0 / 60 + 59.4 / 3600), "05:07:59");
    EXPECT_EQ(FormatDecLong(-(12.0 + 59.0 / 60 + 59.7 / 3600)), "-13" + kDeg + "00:00");
    EXPECT_EQ(FormatDecLong(44.0 + 30.0 / 60 + 59.6 / 3600), "+44" + kDeg + "31:00");
    EXPECT_EQ(FormatRaShort(3.0 + 59.96 / 60), "04:00.0");
    EXPECT_EQ(FormatRaShort(23.0 + 59.97 / 60), "00:00.0");
    EXPECT_EQ(FormatRaShort(3.0 + 59.94 / 60), "03:59.9");
    // Every text of a fine sweep has fields in range and stays within half a unit of the value.
    for (int i = 0; i < 200000; ++i) {
        const double h = i * (24.0 / 200000) + 0.49 / 3600;
        const std::string ra = FormatRaLong(h);
        ASSERT_LT(LeadingNumber(ra.substr(0, 2)), 24) << ra;
        ASSERT_LT(LeadingNumber(ra.substr(3, 2)), 60) << ra;
        ASSERT_LT(LeadingNumber(ra.substr(6, 2)), 60) << ra;
        ASSERT_LE(std::fabs(HourDifference(HoursOf(ra), h)), 0.5 / 3600 + 1e-9) << h << " " << ra;
        const std::string shortRa = FormatRaShort(h);
        ASSERT_LT(LeadingNumber(shortRa.substr(3, 4)), 60.0) << shortRa;
        const double d = -90.0 + i * (180.0 / 200000) + 0.49 / 3600;
        const std::string dec = FormatDecLong(d);
        ASSERT_LT(LeadingNumber(dec.substr(4, 2)), 60) << dec;
        ASSERT_LT(LeadingNumber(dec.substr(7, 2)), 60) << dec;
        ASSERT_LE(std::fabs(DegreesOf(dec) - d), 0.5 / 3600 + 1e-9) << d << " " << dec;
    }
}

TEST(Lx200Codec, ShortFormatsRoundMinutes) {
    EXPECT_EQ(FormatRaShort(7.125), "07:07.5");
    EXPECT_EQ(FormatRaShort(3.0 + 12.0 / 60), "03:12.0");
    EXPECT_EQ(FormatDecShort(-5.5), "-05" + kDeg + "30");  // one sign only
    EXPECT_EQ(FormatDecShort(0.0), "00" + kDeg + "00");    // no sign for zero or positive
    EXPECT_EQ(FormatDecShort(12.25, 42), "12*15");
    EXPECT_EQ(FormatDecShort(10.9999), "10" + kDeg + "59");
}

TEST(Lx200Codec, RatesAreUnsignedWithThreeDecimals) {
    EXPECT_EQ(FormatRate(1.234), "1.234");
    EXPECT_EQ(FormatRate(0.05), "0.050");
    EXPECT_EQ(FormatRate(-0.25), "0.250");
    EXPECT_EQ(AxisRateCommand(true, -0.25), "#:RA0.250#");
    EXPECT_EQ(AxisRateCommand(false, 1.5), "#:RE1.500#");
    EXPECT_EQ(MoveCommand(-0.25, 0.1), "#:Mw#:Mn#");
    EXPECT_EQ(MoveCommand(0.3, 0.0), "#:Me#:Ms#");
}

TEST(Lx200Codec, ValuesOutOfRangeOrNotANumberNeverReachTheWire) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatRaLong(nan), "00:00:00");
    EXPECT_EQ(FormatRaShort(inf), "00:00.0");
    EXPECT_EQ(FormatDecLong(nan), "+00" + kDeg + "00:00");
    EXPECT_EQ(FormatDecShort(-inf), "00" + kDeg + "00");
    EXPECT_EQ(FormatRate(nan), "0.000");
    EXPECT_EQ(FormatRaLong(25.0), "01:00:00");
    EXPECT_EQ(FormatRaLong(-1.0), "23:00:00");
    EXPECT_EQ(FormatRaLong(24.0), "00:00:00");
    EXPECT_EQ(FormatDecLong(95.0), "+90" + kDeg + "00:00");
    EXPECT_EQ(FormatDecShort(-91.0), "-90" + kDeg + "00");
}

TEST(Lx200Codec, CommandStringsAreByteExact) {
    EXPECT_EQ(SetTargetAndSlewCommand(12.5, -5.5, false), "#:Sr 12:30.0#:Sd -05" + kDeg + "30#:MS#");
    EXPECT_EQ(SetTargetAndSlewCommand(12.5, 45.5, true), "#:Sr 12:30:00#:Sd +45" + kDeg + "30:00#:MS#");
    EXPECT_EQ(SetTargetCommand(1.0, -1.0), "#:Sr 01:00:00#:Sd -01" + kDeg + "00:00#");
    EXPECT_EQ(SetRaCommand(1.0, true, false), ":Sr 01:00:00#");
    EXPECT_EQ(SetDecCommand(1.0, true, 223, false), ":Sd +01" + kDeg + "00:00#");
    EXPECT_EQ(SetRaCommand(1.0, true), "#:Sr 01:00:00#");
}

TEST(Lx200Codec, LongTextsRoundTripAtTheWrapArounds) {
    for (double h : {0.0, 1e-7, 0.5 / 3600, 11.999999, 12.0, 23.9998, 23.99999, 24.0 - 1e-9}) {
        const std::string text = FormatRaLong(h);
        ASSERT_EQ(text.size(), 8u) << h;
        EXPECT_LE(std::fabs(HourDifference(HoursOf(text), h)), 0.5 / 3600 + 1e-9) << h << " " << text;
    }
    for (double d : {-90.0, -89.99999, -45.25, -1e-6, 0.0, 1e-6, 0.5, 45.25, 89.99999, 90.0}) {
        const std::string text = FormatDecLong(d);
        ASSERT_EQ(text.size(), 9u) << d;
        EXPECT_LE(std::fabs(DegreesOf(text) - d), 0.5 / 3600 + 1e-9) << d << " " << text;
    }
}

TEST(Lx200Codec, PositionRepliesParseByTheirTerminators) {
    const auto altAz = ParseAltAzReply("+45" + kDeg + "30'15#123" + kDeg + "45'06#");
    ASSERT_TRUE(altAz);
    EXPECT_NEAR(altAz->first, 45.0 + 30.0 / 60 + 15.0 / 3600, 1e-9);
    EXPECT_NEAR(altAz->second, 123.0 + 45.0 / 60 + 6.0 / 3600, 1e-9);

    const auto negative = ParseAltAzReply("-05" + kDeg + "30'00#359" + kDeg + "59'59#");
    ASSERT_TRUE(negative);
    EXPECT_NEAR(negative->first, -5.5, 1e-9);

    // Stale bytes in front do not matter: fields are found from the "#" positions.
    const auto decRa = ParseDecRaReply("xx-12" + kDeg + "34:56#05:06:07#");
    ASSERT_TRUE(decRa);
    EXPECT_NEAR(decRa->first, -(12 + 34.0 / 60 + 56.0 / 3600), 1e-9);
    EXPECT_NEAR(decRa->second, 5 + 6.0 / 60 + 7.0 / 3600, 1e-9);

    // The first "#" before position 10: a short or cut reply is incomplete.
    EXPECT_FALSE(PositionReplyComplete("+45" + kDeg + "30#123" + kDeg + "45#"));
    EXPECT_FALSE(ParseAltAzReply("+45" + kDeg + "30#123" + kDeg + "45#"));
    EXPECT_FALSE(ParseAltAzReply("+45" + kDeg + "30'15#123"));
    EXPECT_FALSE(ParseDecRaReply(""));
    // Line noise that happens to have terminators in the right places is not a position.
    EXPECT_FALSE(ParseAltAzReply("+99" + kDeg + "99'99#999" + kDeg + "99'99#"));
    EXPECT_FALSE(ParseDecRaReply("+45" + kDeg + "00:00#99:00:00#"));
}

TEST(Lx200Codec, PositionRepliesAreReadStrictlyAndThePolarOneInEitherFormat) {
    // Noise with the terminators in place reads as nothing, never as altitude 0 and azimuth 0.
    EXPECT_FALSE(
        ParseAltAzReply("\x81\xF3\x07"
                        "abcdef#\x90\x12ghijklmn#"));
    EXPECT_FALSE(ParseAltAzReply("+4x" + kDeg + "30'15#123" + kDeg + "45'06#"));
    EXPECT_FALSE(ParseAltAzReply("+45" + kDeg + "30'15#12" + kDeg + "345'06#"));
    EXPECT_FALSE(ParseAltAzReply("+45" + kDeg + "60'15#123" + kDeg + "45'06#"));
    EXPECT_FALSE(
        ParseDecRaReply("\x81\xF3\x07"
                        "abcdef#\x90\x12ghijkl#"));

    // The polar reply in short format: "sDD*MM#" and "HH:MM.T#", complete as soon as it reads.
    const std::string shortReply = "-05" + kDeg + "30#12:34.5#";
    ASSERT_TRUE(ParseDecRaReply(shortReply));
    EXPECT_NEAR(ParseDecRaReply(shortReply)->first, -5.5, 1e-9);
    EXPECT_NEAR(ParseDecRaReply(shortReply)->second, 12 + 34.5 / 60, 1e-9);
    EXPECT_TRUE(DecRaReplyComplete(shortReply));
    EXPECT_FALSE(DecRaReplyComplete("-05" + kDeg + "30#12:3"));
    // A short declination with a long right ascension, and stale bytes in front.
    const auto mixed = ParseDecRaReply("1+45" + kDeg + "30#06:07:08#");
    ASSERT_TRUE(mixed);
    EXPECT_NEAR(mixed->first, 45.5, 1e-9);
    EXPECT_NEAR(mixed->second, 6 + 7.0 / 60 + 8.0 / 3600, 1e-9);
}

TEST(Lx200Codec, DistanceBarsAndSlewReplies) {
    std::string reply(32, ' ');
    reply.replace(0, 3, "\x7F\x7F\x7F");
    reply[16] = '\x7F';
    reply += "#";
    const auto bars = ParseDistanceBars(reply);
    ASSERT_TRUE(bars);
    EXPECT_EQ(bars->ra, "\x7F\x7F\x7F");
    EXPECT_EQ(bars->dec, "\x7F");
    EXPECT_TRUE(HasBars(reply));

    const auto done = ParseDistanceBars(std::string(32, ' ') + "#");
    ASSERT_TRUE(done);
    EXPECT_EQ(done->ra, "");
    EXPECT_FALSE(HasBars(std::string(32, ' ') + "#"));
    EXPECT_FALSE(ParseDistanceBars("\x7F#"));
    EXPECT_FALSE(ParseDistanceBars(std::string(33, ' ')));  // no terminator

    EXPECT_TRUE(ReplyRefusesSlew("1Object Below Horizon#"));
    EXPECT_TRUE(ReplyRefusesSlew("111object below horizon."));
    EXPECT_FALSE(ReplyRefusesSlew("110"));
    EXPECT_FALSE(ReplyRefusesSlew(""));
}
