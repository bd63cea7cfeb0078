#include "scope/ToolOptions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <vector>

#include "astro/Time.h"
#include "core/Clock.h"

namespace corvane {

double LocalUtcOffsetHours() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<double>(local.tm_gmtoff) / 3600.0;
}

std::optional<SiteOption> ParseSiteOption(const std::string& text, std::string& error) {
    std::vector<double> values;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        char* end = nullptr;
        const double v = std::strtod(part.c_str(), &end);
        if (part.empty() || end == part.c_str() || *end != '\0' || !std::isfinite(v)) {
            error = "--site: '" + part + "' is not a number";
            return std::nullopt;
        }
        values.push_back(v);
    }
    if (values.size() < 3 || values.size() > 4) {
        error = "--site wants LAT,LON,ALT_M[,UTC_OFFSET]";
        return std::nullopt;
    }
    if (std::fabs(values[0]) > 90 || values[1] < -180 || values[1] > 360 ||
        (values.size() == 4 && std::fabs(values[3]) > 14)) {
        error = "--site: latitude, longitude or UTC offset out of range";
        return std::nullopt;
    }
    SiteOption site;
    site.latitude = values[0];
    site.longitude = values[1] > 180 ? values[1] - 360 : values[1];
    site.altitudeMetres = values[2];
    site.utcOffsetHours = values.size() == 4 ? values[3] : LocalUtcOffsetHours();
    return site;
}

std::optional<double> ParseUtcOption(const std::string& text) {
    // One ISO 8601 reading for every program and command: "Z" or not, fractions of a second,
    // impossible dates and times refused.
    return ParseIsoUtc(text);
}

}  // namespace corvane
