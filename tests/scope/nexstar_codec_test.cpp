#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scope/NexStarCodec.h"

using namespace corvane;

namespace {
const double kNan = std::numeric_limits<double>::quiet_NaN();

std::string Bytes(std::initializer_list<int> values) {
    std::string text;
    for (int v : values) text += static_cast<char>(v);
    return text;
}
}  // namespace

TEST(NexStarCodec, HexadecimalGotoEncodesHoursAndSignedDegrees) {
    EXPECT_EQ(NexStarGotoCommand(6.0, 0.0), "R4000,0000");
    EXPECT_EQ(NexStarGotoCommand(0.0, -1.0), "R0000,FF4A");
    EXPECT_EQ(NexStarGotoCommand(12.0, 90.0), "R8000,4000");
    EXPECT_EQ(NexStarGotoCommand(23.9999, 45.0), "RFFFF,2000");
    // Whole turns and nonsense never give more than four digits, nor undefined bytes.
    EXPECT_EQ(NexStarGotoCommand(30.0, 360.0 + 45.0), "R4000,2000");
    EXPECT_EQ(NexStarGotoCommand(kNan, kNan), "R0000,0000");
    EXPECT_EQ(NexStarGotoCommand(std::numeric_limits<double>::infinity(), -1e300).size(), 10u);
}

TEST(NexStarCodec, ByteGotoFoldsNegativeDeclinations) {
    const std::string command = NexStarByteGotoCommand(6.0, -1.0);
    ASSERT_EQ(command.size(), 5u);
    EXPECT_EQ(command[0], 'R');
    // 16383.75 = 63 * 256 + 255.75: the remainder rounds to 256 and carries into the high byte.
    EXPECT_EQ(static_cast<unsigned char>(command[1]), 0x40);
    EXPECT_EQ(static_cast<unsigned char>(command[2]), 0x00);
    EXPECT_EQ(static_cast<unsigned char>(command[3]), 0xFF);  // 359 degrees
    EXPECT_EQ(NexStarByteGotoCommand(kNan, kNan), Bytes({'R', 0, 0, 0, 0}));
}

TEST(NexStarCodec, PassThroughRateBytes) {
    EXPECT_EQ(NexStarRateCommand(kNexStarAzimuthMotor, -300), Bytes({80, 3, 16, 7, 1, 44, 0, 0}));
    EXPECT_EQ(NexStarRateCommand(kNexStarAltitudeMotor, 0), Bytes({80, 3, 17, 6, 0, 0, 0, 0}));
    EXPECT_EQ(NexStarRateCommand(kNexStarAzimuthMotor, 43200), Bytes({80, 3, 16, 6, 168, 192, 0, 0}));
    EXPECT_EQ(NexStarTrackingModeCommand(0), Bytes({'T', 0}));
}

TEST(NexStarCodec, RateUnitsAreQuarterArcsecondsClampedToThreeDegrees) {
    EXPECT_EQ(NexStarRateUnits(1.0), 14400);
    EXPECT_EQ(NexStarRateUnits(-0.5), -7200);
    EXPECT_EQ(NexStarRateUnits(1.0 / 14400.0 * 0.99), 0);  // truncated
    EXPECT_EQ(NexStarRateUnits(kNan), 0);
    EXPECT_EQ(ClampNexStarRate(NexStarRateUnits(5.0)), 43200);
    EXPECT_EQ(ClampNexStarRate(NexStarRateUnits(-1e300)), -43200);
}

TEST(NexStarCodec, PositionReplyNeedsTheCommaAtPositionFiveOrLater) {
    const NexStarReply plain = ParseNexStarPositionReply("4000,FF4A#");
    ASSERT_EQ(plain.error, NexStarReplyError::None);
    EXPECT_EQ(plain.kept, "4000,FF4A");
    EXPECT_DOUBLE_EQ(plain.position.raHours, 6.0);
    EXPECT_NEAR(plain.position.decDegrees, -182 * 360.0 / 65536.0, 1e-12);

    // Comma at position 3: refused. Comma at 7 with two extra leading bytes: the nine
    // characters from position 3 are used.
    EXPECT_EQ(ParseNexStarPositionReply("40,00FF4A#").error, NexStarReplyError::CommaMisplaced);
    const NexStarReply shifted = ParseNexStarPositionReply(
        "#\x01"
        "8000,4000#");
    ASSERT_EQ(shifted.error, NexStarReplyError::None);
    EXPECT_EQ(shifted.kept, "8000,4000");
    EXPECT_DOUBLE_EQ(shifted.position.raHours, 12.0);
    EXPECT_DOUBLE_EQ(shifted.position.decDegrees, 90.0);

    EXPECT_EQ(ParseNexStarPositionReply("4000,FF4").error, NexStarReplyError::TooShort);
    EXPECT_EQ(ParseNexStarPositionReply("40000000#").error, NexStarReplyError::CommaMisplaced);
    EXPECT_EQ(ParseNexStarPositionReply("12345,678").error, NexStarReplyError::CommaMisplaced);
    EXPECT_EQ(ParseNexStarPositionReply("4G00,0000#").error, NexStarReplyError::NotHex);
}

TEST(NexStarCodec, DifferencesAcrossNorthTakeTheShortWay) {
    EXPECT_DOUBLE_EQ(WithinThreeHundred(1.0 - 359.0), 2.0);
    EXPECT_DOUBLE_EQ(WithinThreeHundred(359.0 - 1.0), -2.0);
    EXPECT_DOUBLE_EQ(WithinThreeHundred(200.0), 200.0);
    EXPECT_DOUBLE_EQ(WithinThreeHundred(-12.5), -12.5);
}
