// "ConfigFile.ini": the reader, the writer and what the position panel makes of the site and the
// timing offset read from it. Numbers read must be finite, the file written must read back to
// the same file, and no panel text may spell a non-number.
#include <cmath>

#include "FixedCatalogue.h"
#include "FuzzSupport.h"
#include "core/Clock.h"
#include "core/Settings.h"
#include "core/Text.h"
#include "passes/DisplayPanel.h"
#include "passes/PassText.h"

using namespace corvane;

namespace {

bool NumbersFinite(const Settings& s) {
    return std::isfinite(s.TestTimingIncrement) && std::isfinite(s.TestTimingIncrementFrequency) &&
           std::isfinite(s.CoarseTimingIncr) && std::isfinite(s.FineTimingIncr) &&
           std::isfinite(s.AlignmentIncr) && std::isfinite(s.AOSElevation) &&
           std::isfinite(s.LXRateChangeDelay);
}

// The settings with every free text emptied: what remains of the written file comes from numbers.
Settings WithoutTexts(Settings s) {
    s.TimingOffset.clear();
    s.ElevationLimit.clear();
    s.ElementsFile.clear();
    s.ScopeType.clear();
    for (SiteRecord& site : s.sites) site = SiteRecord{};
    for (std::string& name : s.TleName) name.clear();
    s.IndiHost.clear();
    s.IndiDevice.clear();
    return s;
}

// Every key of the file given the text "inf": numbers read it as 0 or their default, so whatever
// still spells it after WithoutTexts is a free-text key that WithoutTexts has not learnt about.
void CheckEveryTextKeyIsKnown() {
    static const bool checked = [] {
        std::string file;
        const std::string defaults = FormatSettings(Settings{});
        for (size_t at = 0; at < defaults.size();) {
            size_t end = defaults.find('\n', at);
            if (end == std::string::npos) end = defaults.size();
            const std::string line = defaults.substr(at, end - at);
            const size_t equals = line.find('=');
            file += (equals == std::string::npos ? line : line.substr(0, equals + 1) + "inf\r") + "\n";
            at = end + 1;
        }
        const std::string written = FormatSettings(WithoutTexts(ParseSettings(file)));
        if (fuzz::SpellsNonNumber(written))
            std::fprintf(stderr, "a free-text key is not emptied:\n%s\n", written.c_str());
        FUZZ_CHECK(!fuzz::SpellsNonNumber(written));
        return true;
    }();
    (void)checked;
}

void CheckPanel(const Settings& s) {
    const SiteRecord& record = s.CurrentSite();
    const SiteTexts texts{record.name, record.latitude, record.longitude, record.altitude, record.utcOffset};
    const Site site = texts.ToSite();
    ManualClock clock(fuzz::kCatalogueDay + 0.9);
    DisplayPanelState state;
    // The ISS: near earth, so the panel's numbers come from the site and the offset alone.
    const DisplayTexts d =
        ComputeDisplayPass(fuzz::FixedCatalogue(), 1, site, clock, LeadingNumber(s.TimingOffset), state);
    FUZZ_CHECK(!fuzz::SpellsNonNumber(d.topLine));
    // The name field is the catalogue's; every other field is made from numbers.
    for (size_t i = 1; i < d.fields.size(); ++i) FUZZ_CHECK(!fuzz::SpellsNonNumber(d.fields[i]));
    FUZZ_CHECK(!fuzz::SpellsNonNumber(d.direction) && !fuzz::SpellsNonNumber(d.sunText));
    FUZZ_CHECK(std::isfinite(d.azimuth) && std::isfinite(d.elevation));
    FUZZ_CHECK(std::isfinite(d.subLatitude) && std::isfinite(d.subLongitude));
    // The location line is copied from the texts; only its checks matter here.
    (void)LocationLine(texts);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view contents(reinterpret_cast<const char*>(data), size);
    CheckEveryTextKeyIsKnown();
    const Settings s = ParseSettings(contents);
    FUZZ_CHECK(NumbersFinite(s));
    FUZZ_CHECK(s.LastLocation >= 1 && s.LastLocation <= 3);
    FUZZ_CHECK(s.ComPort >= 1 && s.ComPort <= 16);
    FUZZ_CHECK(s.DefaultTLE >= 1 && s.DefaultTLE <= 7);
    for (const SiteRecord& site : s.sites) {
        FUZZ_CHECK(site.FixedWidth().size() == 56);
    }

    const std::string written = FormatSettings(s);
    FUZZ_CHECK(!fuzz::SpellsNonNumber(FormatSettings(WithoutTexts(s))));
    // What was written reads back to the same file; the three increments written as 0 (values
    // under their rounding) read back as their defaults, by the reading rule.
    std::string expected = written;
    for (const auto& [zero, fallback] : {std::pair{"CoarseTimingIncr=0\r\n", "CoarseTimingIncr=1\r\n"},
                                         std::pair{"FineTimingIncr=0\r\n", "FineTimingIncr=0.1\r\n"},
                                         std::pair{"AlignmentIncr=0\r\n", "AlignmentIncr=1\r\n"}}) {
        const size_t at = expected.find(std::string("\n     ") + zero);
        if (at != std::string::npos) expected.replace(at + 6, std::strlen(zero), fallback);
    }
    const std::string rewritten = FormatSettings(ParseSettings(written));
    if (rewritten != expected) {
        size_t at = 0;
        while (at < expected.size() && at < rewritten.size() && expected[at] == rewritten[at]) ++at;
        const size_t line = expected.rfind('\n', at) == std::string::npos ? 0 : expected.rfind('\n', at) + 1;
        std::fprintf(stderr, "written:   %s\nread back: %s\n", expected.substr(line, 60).c_str(),
                     rewritten.substr(line, 60).c_str());
    }
    FUZZ_CHECK(rewritten == expected);

    CheckPanel(s);
    return 0;
}
