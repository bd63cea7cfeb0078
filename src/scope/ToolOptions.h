#pragma once
// Option texts shared by corvane-cli and corvane-mountsim.
#include <optional>
#include <string>

namespace corvane {

struct SiteOption {
    double latitude = 0.0, longitude = 0.0, altitudeMetres = 0.0, utcOffsetHours = 0.0;
};

// "LAT,LON,ALT_M[,UTC_OFFSET]": degrees north, degrees east (-180..360), metres, hours; without
// the offset, this computer's zone at present. Nothing (and `error` set) for a bad text.
std::optional<SiteOption> ParseSiteOption(const std::string& text, std::string& error);
// An ISO 8601 instant as ParseIsoUtc reads it ("YYYY-MM-DDTHH:MM:SS", with or without "Z",
// seconds may have a fraction), as a UTC Julian date. Nothing for a bad text or an impossible
// date or time.
std::optional<double> ParseUtcOption(const std::string& text);
// This computer's UTC offset now, hours.
double LocalUtcOffsetHours();

}  // namespace corvane
