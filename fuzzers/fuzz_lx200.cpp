// LX200 replies and texts: the position, distance-bar and slew reply parsers on arbitrary bytes,
// and the coordinate formatters on arbitrary doubles (NaN and infinities included). A parsed
// position is finite and in range; a formatted one has its fixed form, never spells a
// non-number, and reads back through the reply parser to within a second.
#include <cmath>

#include "FuzzSupport.h"
#include "scope/Lx200Codec.h"

using namespace corvane;

namespace {

void CheckReply(std::string_view reply) {
    const bool complete = PositionReplyComplete(reply);
    if (auto altAz = ParseAltAzReply(reply)) {
        FUZZ_CHECK(complete);
        FUZZ_CHECK(std::isfinite(altAz->first) && std::fabs(altAz->first) <= 90.0);
        FUZZ_CHECK(std::isfinite(altAz->second) && altAz->second >= 0.0 && altAz->second <= 360.0);
    }
    if (auto decRa = ParseDecRaReply(reply)) {
        // The polar reply may also come in short format, which the long-format test does not count.
        FUZZ_CHECK(DecRaReplyComplete(reply));
        FUZZ_CHECK(std::isfinite(decRa->first) && std::fabs(decRa->first) <= 90.0);
        FUZZ_CHECK(std::isfinite(decRa->second) && decRa->second >= 0.0 && decRa->second <= 24.0);
    }
    if (auto bars = ParseDistanceBars(reply)) {
        FUZZ_CHECK(bars->ra.size() <= 16 && bars->dec.size() <= 16);
    }
    (void)HasBars(reply);
    (void)ReplyRefusesSlew(reply);
}

// Hours and degrees as the formatters bring them into range.
double InRangeHours(double h) {
    if (!std::isfinite(h)) return 0.0;
    h = std::fmod(h, 24.0);
    return h < 0 ? h + 24.0 : h;
}
double InRangeDegrees(double d) { return std::isfinite(d) ? std::fmax(-90.0, std::fmin(90.0, d)) : 0.0; }

void CheckFormats(double hours, double degrees, double rate, unsigned char degChar) {
    const std::string raLong = FormatRaLong(hours), raShort = FormatRaShort(hours);
    const std::string decLong = FormatDecLong(degrees, degChar), decShort = FormatDecShort(degrees, degChar);
    const std::string rateText = FormatRate(rate);
    FUZZ_CHECK(raLong.size() == 8 && raShort.size() == 7 && decLong.size() == 9);
    FUZZ_CHECK(decShort.size() == 5 || (decShort.size() == 6 && decShort[0] == '-'));
    for (const std::string* text : {&raLong, &raShort, &decLong, &decShort, &rateText})
        FUZZ_CHECK(!fuzz::SpellsNonNumber(*text));
    FUZZ_CHECK(!fuzz::SpellsNonNumber(SetTargetAndSlewCommand(hours, degrees, true, degChar)));
    FUZZ_CHECK(!fuzz::SpellsNonNumber(SetTargetAndSlewCommand(hours, degrees, false, degChar)));
    FUZZ_CHECK(!fuzz::SpellsNonNumber(AxisRateCommand(true, rate)));
    (void)MoveCommand(rate, hours);

    // The mount's own reply in the same texts reads back to the value sent.
    const std::string reply = decLong + "#" + raLong + "#";
    const auto read = ParseDecRaReply(reply);
    FUZZ_CHECK(read.has_value());
    const double raError = std::fabs(read->second - InRangeHours(hours));
    FUZZ_CHECK(raError <= 0.5 / 3600.0 + 1e-9 || std::fabs(raError - 24.0) <= 0.5 / 3600.0 + 1e-9);
    FUZZ_CHECK(std::fabs(read->first - InRangeDegrees(degrees)) <= 0.5 / 3600.0 + 1e-9);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    CheckReply(all);
    // Replies arrive in pieces: every tail of the text is a reply the parsers may see.
    for (size_t cut = 1; cut < all.size() && cut < 64; cut += 7) CheckReply(all.substr(cut));
    if (size >= 25) {
        fuzz::Bytes bytes(data, size);
        const double hours = bytes.Double(), degrees = bytes.Double(), rate = bytes.Double();
        const uint8_t degChar = bytes.Byte();
        // A "#" for the degree sign would end the reply early, and a digit would run the degrees
        // into the minutes: no mount uses either.
        const bool usable = degChar != '#' && (degChar < '0' || degChar > '9');
        CheckFormats(hours, degrees, rate, usable ? degChar : kDefaultDegChar);
    }
    return 0;
}
