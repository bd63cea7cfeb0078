#include "obslog/NewObservation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "astro/Time.h"
#include "core/Settings.h"
#include "core/Text.h"
#include "orbit/CatalogueNumber.h"

namespace corvane {

namespace {
// Whole seconds of a Julian date, so that the date and the time come from the same second.
double WholeSecond(double jd) { return std::floor(jd * 86400.0 + 1e-4) / 86400.0; }

std::string WholeText(double v) {
    if (!std::isfinite(v)) return "";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(std::llround(v)));
    return buf;
}
}  // namespace

std::string ObsDateText(double localJd) {
    int year = 0, month = 0;
    double day = 0.0;
    CalendarDate(WholeSecond(localJd), year, month, day);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, static_cast<int>(std::floor(day)));
    return buf;
}

std::string ObsTimeText(double localJd) { return TimeOfDayText(WholeSecond(localJd), true, 0); }

ObsRecord NewObservation(const NewObservationInputs& in) {
    ObsRecord r;
    r[kObsNorad] = CatalogueNumberText(in.catalogueNumber);
    r[kObsName] = Trim(in.objectName);
    r[kObsDate] = ObsDateText(in.nowLocal);
    r[kObsTime] = ObsTimeText(in.nowLocal);
    r[kObsSiteName] = Trim(in.siteName);
    r[kObsSiteLatitude] = Trim(in.siteLatitude);
    r[kObsSiteLongitude] = Trim(in.siteLongitude);
    r[kObsSiteAltitude] = Trim(in.siteAltitude);
    r[kObsTleFile] = Trim(in.elementFile);
    r[kObsTPlusEpoch] = Trim(in.tPlusEpoch);
    r[kObsTimingOffset] = Trim(in.timingOffset);
    r[kObsAlignment] = Trim(in.alignment);
    r[kObsTelescope] = ObsTelescopeNameForCode(in.scopeCode);
    r[kObsVersion] = kProgramVersion;
    if (in.pass) {
        const ObservedPass& p = *in.pass;
        r[kObsAos] = ObsTimeText(p.aosLocal);
        r[kObsLos] = ObsTimeText(p.losLocal);
        r[kObsDuration] = DurationText(static_cast<double>(std::max(0LL, p.durationSeconds)));
        r[kObsMaxElevation] = WholeText(p.maxElevation);
        r[kObsMinRange] = WholeText(p.rangeKm);
    }
    return r;
}

}  // namespace corvane
