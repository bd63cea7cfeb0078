#include "astro/AngleText.h"

#include <cmath>
#include <cstdio>

namespace corvane {

namespace {

double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

// Whole units, minutes and rounded seconds of a non-negative value; a rounded 60 s shows as 59.
void Sexagesimal(double value, int& whole, int& minutes, int& seconds) {
    value = Finite(value);
    if (value > 1.0e6) value = 1.0e6;
    const double w = std::floor(value);
    const double m = (value - w) * 60.0;
    const double mw = std::floor(m);
    int s = static_cast<int>(std::lround((m - mw) * 60.0));
    if (s >= 60) s = 59;
    whole = static_cast<int>(w);
    minutes = static_cast<int>(mw);
    seconds = s;
}

}  // namespace

std::string HourText(double hours, bool colonForm) {
    int h, m, s;
    Sexagesimal(std::fabs(Finite(hours)), h, m, s);
    char buf[48];
    std::snprintf(buf, sizeof buf, colonForm ? "%02d:%02d:%02d" : "%02d hr %02d m %02d s", h, m, s);
    return buf;
}

std::string DegreeText(double degrees, bool colonForm) {
    const double v = Finite(degrees);
    int d, m, s;
    Sexagesimal(std::fabs(v), d, m, s);
    char buf[48];
    std::snprintf(buf, sizeof buf, colonForm ? "%c%02d:%02d:%02d" : "%c%02d \xB0 %02d m %02d s",
                  v < 0.0 ? '-' : '+', d, m, s);
    return buf;
}

}  // namespace corvane
