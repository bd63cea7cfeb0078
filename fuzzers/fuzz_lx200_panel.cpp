// The LX200 Control panel's reply readers on arbitrary bytes: the read-out and information
// texts, the slew bars, the quality code, the four site replies and the dialog's date text.
// Bars stay within 0..16, a site read back has every field in range and writes back as commands
// of their fixed form, and no magnitude text spells a non-number.
#include <cmath>

#include "FuzzSupport.h"
#include "scope/Lx200Panel.h"
#include "scope/MountClock.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    (void)RaReadoutText(all);
    (void)DecReadoutText(all);
    const std::string info = InformationText(all);
    FUZZ_CHECK(info.size() <= all.size() + 1);
    const PanelBars bars = BarsFromReply(all);
    FUZZ_CHECK(bars.ra >= 0 && bars.ra <= 16 && bars.dec >= 0 && bars.dec <= 16);
    if (const auto q = QualityFromReply(all)) FUZZ_CHECK(*q >= 0 && *q <= 6);
    FUZZ_CHECK(QualityFromChoice(all) >= 0 && QualityFromChoice(all) <= 6);
    if (const auto jd = ParseDateAndTimeText(all)) FUZZ_CHECK(std::isfinite(*jd));

    // Four replies, as the site read gets them.
    std::string_view parts[4];
    std::string_view rest = all;
    for (auto& part : parts) {
        const size_t hash = rest.find('#');
        part = rest.substr(0, hash == std::string_view::npos ? rest.size() : hash + 1);
        rest.remove_prefix(part.size());
    }
    const PanelSite site = SiteFromReplies(parts[0], parts[1], parts[2], parts[3]);
    FUZZ_CHECK(site.name.size() <= 3);
    FUZZ_CHECK(site.utcOffset >= -12 && site.utcOffset <= 12);
    FUZZ_CHECK(site.latitudeDegrees >= 0 && site.latitudeDegrees <= 90);
    FUZZ_CHECK(site.latitudeMinutes >= 0 && site.latitudeMinutes <= 59);
    FUZZ_CHECK(site.longitudeDegrees >= 0 && site.longitudeDegrees <= 359);
    FUZZ_CHECK(site.longitudeMinutes >= 0 && site.longitudeMinutes <= 59);
    const auto commands = SiteCommands(3, site);
    FUZZ_CHECK(commands[1].size() == 9 && commands[2].size() == 13 && commands[3].size() == 12);

    if (size >= 8) {
        fuzz::Bytes bytes(data, size);
        const std::string magnitude = MagnitudeText(bytes.Double());
        FUZZ_CHECK(!fuzz::SpellsNonNumber(magnitude) && magnitude.size() >= 4 && magnitude.size() <= 5);
    }
    return 0;
}
