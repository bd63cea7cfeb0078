// NexStar replies and commands: the "E" position parser on arbitrary bytes, and the goto and
// rate encoders on arbitrary doubles (NaN and infinities included). A parsed position is finite
// and in range; an encoded command has its fixed length and, for a goto, reads back through the
// parser to within two steps of the 16-bit scale.
#include <cmath>

#include "FuzzSupport.h"
#include "scope/NexStarCodec.h"

using namespace corvane;

namespace {

void CheckReply(std::string_view reply) {
    const NexStarReply parsed = ParseNexStarPositionReply(reply);
    if (parsed.error != NexStarReplyError::None) return;
    FUZZ_CHECK(parsed.kept.size() == 9 && parsed.kept[4] == ',');
    FUZZ_CHECK(std::isfinite(parsed.position.raHours) && parsed.position.raHours >= 0.0 &&
               parsed.position.raHours <= 24.0);
    FUZZ_CHECK(std::isfinite(parsed.position.decDegrees) && std::fabs(parsed.position.decDegrees) <= 180.0);
}

void CheckCommands(double hours, double degrees, double rate, int motor) {
    const std::string gotoText = NexStarGotoCommand(hours, degrees);
    FUZZ_CHECK(gotoText.size() == 10 && gotoText[0] == 'R' && gotoText[5] == ',');
    FUZZ_CHECK(NexStarByteGotoCommand(hours, degrees).size() == 5);
    const NexStarReply back = ParseNexStarPositionReply(gotoText.substr(1) + "#");
    FUZZ_CHECK(back.error == NexStarReplyError::None);
    if (std::isfinite(hours) && hours >= 0.0 && hours < 24.0) {
        // Sent on a scale of 65535 and read on one of 65536, as the protocol has it: up to one
        // more step apart at the top of the range.
        const double step = 2.0 * 24.0 / 65535.0;
        const double error = std::fabs(back.position.raHours - hours);
        FUZZ_CHECK(error <= step || std::fabs(error - 24.0) <= step);
    }
    const int units = ClampNexStarRate(NexStarRateUnits(rate));
    FUZZ_CHECK(units >= -kNexStarMaxRate && units <= kNexStarMaxRate);
    const std::string rateText = NexStarRateCommand(motor, units);
    FUZZ_CHECK(rateText.size() == 8 && static_cast<unsigned char>(rateText[0]) == 80);
    FUZZ_CHECK(std::isfinite(WithinThreeHundred(degrees)) || !std::isfinite(degrees));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes bytes(data, size);
    const double hours = bytes.Double(), degrees = bytes.Double(), rate = bytes.Double();
    const int motor = bytes.Byte() % 2 ? kNexStarAltitudeMotor : kNexStarAzimuthMotor;
    CheckCommands(hours, degrees, rate, motor);
    CheckReply(bytes.Rest());
    return 0;
}
