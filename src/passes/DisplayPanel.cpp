#include "passes/DisplayPanel.h"

#include <cmath>
#include <cstdio>

#include "astro/MathUtil.h"
#include "astro/Sun.h"
#include "core/Clock.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "passes/ObjectList.h"
#include "passes/PassText.h"
#include "orbit/CatalogueNumber.h"

namespace corvane {

namespace {

constexpr double kOneSecondDays = 1.0 / 86400.0;
constexpr int kShadowLookAhead = 150;  // seconds
constexpr int kCoarseSteps[] = {120, 90, 60, 30};

enum Field {
    kName,
    kNorad,
    kLaunch,
    kTPlusEpoch,
    kJulianDate,
    kLocalTime,
    kUtcTime,
    kAzimuth,
    kElevation,
    kRange,
    kVelocity,
    kLatitude,
    kLongitude,
    kAltitude,
    kRightAscension,
    kDeclination,
};

double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

// The eclipse state at a number of seconds ahead; a sample that cannot be computed keeps the
// state of now.
bool EclipsedAhead(PropagationSlot& slot, double jd, int seconds, bool now) {
    const double t = jd + seconds * kOneSecondDays;
    PropagationResult r = PropagateSlot(t, slot);
    if (!r.Ok()) return now;
    ConvertState(r);
    return IsEclipsed(r.position, ComputeSunVector(t));
}

// Seconds until the object enters (sunlit now) or leaves (eclipsed now) the shadow, when that
// happens within 150 s; -1 otherwise. Coarse probes at 150, 120, 90, 60 and 30 s, then back one
// second at a time.
int ShadowCountdown(PropagationSlot& slot, double jd, bool eclipsedNow) {
    auto changed = [&](int s) { return EclipsedAhead(slot, jd, s, eclipsedNow) != eclipsedNow; };
    if (!changed(kShadowLookAhead)) return -1;
    int n = kShadowLookAhead;
    for (int s : kCoarseSteps) {
        if (!changed(s)) break;
        n = s;
    }
    while (n > -1 && changed(n)) --n;
    return n + 1;
}

}  // namespace

const std::string& DisplayTexts::Field(std::string_view caption) const {
    static const std::string kEmpty;
    for (size_t i = 0; i < kPanelCaptions.size(); ++i) {
        if (caption == kPanelCaptions[i]) return fields[i];
    }
    return kEmpty;
}

std::string FixedText(double value, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, Finite(value));
    return buf;
}

std::string CountdownText(int seconds) {
    if (seconds < 0) seconds = 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d", seconds / 60, seconds % 60);
    return buf;
}

DisplayTexts ComputeDisplayPass(const ElementCatalogue& catalogue, int selected, const Site& site,
                                const Clock& clock, double timingOffsetSeconds, DisplayPanelState& state) {
    DisplayTexts out;
    // 1. The top line: the program clock.
    const double local = clock.JulianDateNow();
    out.topLine = (clock.Correction() != 0.0 ? "(Adjusted) " : "") + CalendarDateText(local) + "  " +
                  TimeOfDayText(local, true, 2);

    // 2. No object.
    const CatalogueEntry* entry = catalogue.Entry(selected);
    if (entry == nullptr) {
        state.previousObject = 0;
        state.hasPreviousElevation = false;
        return out;
    }
    out.objectShown = true;

    // 3. and 4. The instant, and the object.
    const double utcOffset = Finite(site.utcOffset);
    const double jd = local - utcOffset / 24.0 + Finite(timingOffsetSeconds) * kOneSecondDays;
    const bool sameObject = selected == state.previousObject && entry->line1 == state.previousLine1;
    out.selectionChanged = !sameObject;
    PropagationSlot& slot = state.slot;
    slot.Convert(entry->name, entry->line1, entry->line2);
    const ElementSet& el = slot.Elements();

    out.fields[kName] = el.name;
    out.fields[kNorad] = CatalogueNumberText(el.catalogueNumber);
    out.fields[kLaunch] = el.launchYear + "/" + el.launchNumber;
    out.fields[kTPlusEpoch] = FixedText(jd - el.epochJd, 6);
    out.ageNote = ElementAgeNote(ElementAgeDays(el, jd));
    out.fields[kJulianDate] = FixedText(jd, 6);
    out.fields[kLocalTime] = TimeOfDayText(jd + utcOffset / 24.0, true, 2);
    out.fields[kUtcTime] = TimeOfDayText(jd, true, 2);

    // 5. and 6. The site; the positions one second ago and now.
    GeodeticPoint sitePoint = SitePoint(site);
    PropagationResult before = PropagateSlot(jd - kOneSecondDays, slot);
    PropagationResult now = PropagateSlot(jd, slot);
    state.previousObject = selected;
    state.previousLine1 = entry->line1;
    if (!before.Ok() || !now.Ok()) {
        // DEPARTURE: an orbit the model cannot propagate shows why, instead of positions made up
        // from an empty state.
        const PropagationError error = now.Ok() ? before.error : now.error;
        out.direction = std::string("No position: ") + PropagationErrorText(error);
        state.hasPreviousElevation = false;
        return out;
    }
    ConvertState(before);
    ConvertState(now);
    StateVector step{now.position.x - before.position.x, now.position.y - before.position.y,
                     now.position.z - before.position.z, 0.0};
    Magnitude(step);
    const double speedKmh = step.magnitude * 3600.0;

    // 7. Look angles, right ascension and declination, sub-point, shadow.
    const LookAngles look = ComputeLookAngles(now.position, now.velocity, sitePoint, jd, slot);
    const LookAngles radec = ComputeRADec(now.position, now.velocity, sitePoint, jd);
    const GeodeticPoint sub = ComputeSubPoint(now.position, jd);
    const bool eclipsed = IsEclipsed(now.position, ComputeSunVector(jd));
    out.positionKnown = true;
    out.azimuth = Degrees(look.azimuth);
    out.elevation = Degrees(look.elevation);
    out.aboveHorizon = look.visible;
    out.subLatitude = Degrees(sub.latitude);
    out.subLongitude = Degrees(sub.longitude);
    out.eclipsed = eclipsed;

    // 8. The fields.
    out.fields[kAzimuth] = FixedText(out.azimuth, 3) + " \xB0";
    out.fields[kElevation] = FixedText(out.elevation, 3) + " \xB0";
    out.fields[kRange] = FixedText(look.range, 3) + " km";
    out.fields[kVelocity] = FixedText(speedKmh, 2) + " km/hr";
    out.fields[kLatitude] = FixedText(out.subLatitude, 4) + " \xB0 N";
    out.fields[kLongitude] = FixedText(out.subLongitude, 4) + " \xB0 E";
    out.fields[kAltitude] = FixedText(sub.altitude, 3) + " km";
    out.fields[kRightAscension] = HourText(Degrees(radec.azimuth) / 15.0);
    out.fields[kDeclination] = DegreeText(Degrees(radec.elevation));

    // 9. Direction, with the rising or setting state from the second pass of an object on.
    out.direction = look.visible ? CompassText(out.azimuth, true) : "Below Horizon at Location";
    if (sameObject && look.visible && state.hasPreviousElevation) {
        out.direction += state.previousElevation < out.elevation ? ", Ascending" : ", Descending";
    }

    // 10. and 11. The sun line and the countdown to the next shadow boundary.
    out.sunIcon = eclipsed ? SunIcon::kEclipse : SunIcon::kSun;
    out.sunText = eclipsed ? " Eclipsed" : "    Sun";
    const int countdown = ShadowCountdown(slot, jd, eclipsed);
    if (countdown >= 0) {
        out.sunText = (eclipsed ? "AOS " : "LOS ") + CountdownText(countdown);
        if (!eclipsed) out.sunIcon = SunIcon::kWarning;
    }

    // 13. Remember the elevation.
    state.previousElevation = out.elevation;
    state.hasPreviousElevation = true;
    return out;
}

}  // namespace corvane
