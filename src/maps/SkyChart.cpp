#include "maps/SkyChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "astro/MathUtil.h"
#include "astro/Sun.h"
#include "core/Text.h"
#include "orbit/CatalogueNumber.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"
#include "orbit/Sgp4Batch.h"

namespace corvane::maps {

Horizontal HorizonCoordinates(double raHours, double decDegrees, double lstHours, double latitudeDegrees) {
    const double h = Radians(15.0 * (lstHours - raHours));
    const double dec = Radians(decDegrees), lat = Radians(latitudeDegrees);
    const double sinAlt = std::sin(dec) * std::sin(lat) + std::cos(dec) * std::cos(lat) * std::cos(h);
    Horizontal out;
    out.altitude = Degrees(ArcSin(sinAlt));
    const double az = std::atan2(-std::cos(dec) * std::sin(h),
                                 std::sin(dec) * std::cos(lat) - std::cos(dec) * std::sin(lat) * std::cos(h));
    out.azimuth = Degrees(Fmod2p(az));
    return out;
}

ChartPoint StereographicPoint(double altitude, double azimuth) {
    const double r = std::tan(Radians(90.0 - altitude) / 2.0);
    return {kSkyCentreX - kSkyRadius * r * std::sin(Radians(azimuth)),
            kSkyCentreY - kSkyRadius * r * std::cos(Radians(azimuth))};
}

ChartPoint SkyChartPoint(double altitude, double azimuth) {
    const ChartPoint p = StereographicPoint(altitude, azimuth);
    return {std::round(p.x), std::round(p.y)};
}

ChartPoint HorizonCrossing(const ChartPoint& inside, const ChartPoint& outside) {
    // Chart units (horizon radius 1), then the root of |a + t (b - a)| = 1 with t in [0, 1].
    // The parametric form also serves vertical lines, where a slope would be infinite.
    const double ax = (inside.x - kSkyCentreX) / kSkyRadius, ay = (kSkyCentreY - inside.y) / kSkyRadius;
    const double dx = (outside.x - kSkyCentreX) / kSkyRadius - ax,
                 dy = (kSkyCentreY - outside.y) / kSkyRadius - ay;
    const double a = dx * dx + dy * dy;
    const double b = 2.0 * (ax * dx + ay * dy);
    const double c = ax * ax + ay * ay - 1.0;
    double t = 0.0;
    if (a > 0.0) {
        const double disc = std::max(0.0, b * b - 4.0 * a * c);
        t = std::clamp((-b + std::sqrt(disc)) / (2.0 * a), 0.0, 1.0);
    }
    return {kSkyCentreX + (ax + t * dx) * kSkyRadius, kSkyCentreY - (ay + t * dy) * kSkyRadius};
}

int StarSize(double magnitude) {
    if (!std::isfinite(magnitude)) return 1;
    return std::max(1, static_cast<int>(std::lround(6.0 - magnitude)));
}

namespace {

struct ObjectPlace {
    bool above = false;
    bool sunlit = false;
    ChartPoint at;
};

ObjectPlace PlaceObject(PropagationResult r, GeodeticPoint& site, double jd) {
    ObjectPlace out;
    if (!r.Ok()) return out;
    ConvertState(r);
    const LookAngles look = ComputeLookAngles(r.position, r.velocity, site, jd);
    out.sunlit = !IsEclipsed(r.position, ComputeSunVector(jd));
    const double elevation = Degrees(look.elevation);
    out.above = std::isfinite(elevation) && elevation > 0.0;
    if (out.above) out.at = SkyChartPoint(elevation, Degrees(look.azimuth));
    return out;
}

constexpr int kPathSteps = 300;  // each way, 5 seconds apart

}  // namespace

SkyChart BuildSkyChart(const SkyTables& tables, const ElementCatalogue& catalogue, PropagationSlot& slot,
                       const SkyChartRequest& request) {
    SkyChart chart;
    const Site& site = request.site;
    const double lst = LocalSiderealHoursAt(request.jdUtc, site.longitude);
    const double lat = site.latitude;

    if (request.constellations) {
        for (const ConstellationSegment& s : tables.lines) {
            const Horizontal a = HorizonCoordinates(s.ra1 / 1000.0, s.dec1 / 100.0, lst, lat);
            const Horizontal b = HorizonCoordinates(s.ra2 / 1000.0, s.dec2 / 100.0, lst, lat);
            const bool aUp = a.altitude > 0.0, bUp = b.altitude > 0.0;
            if (!aUp && !bUp) continue;
            const ChartPoint pa = SkyChartPoint(a.altitude, a.azimuth);
            const ChartPoint pb = SkyChartPoint(b.altitude, b.azimuth);
            if (aUp && bUp) {
                chart.constellations.push_back({pa, pb});
            } else if (aUp) {
                chart.constellations.push_back(
                    {pa, HorizonCrossing(pa, StereographicPoint(b.altitude, b.azimuth))});
            } else {
                chart.constellations.push_back(
                    {pb, HorizonCrossing(pb, StereographicPoint(a.altitude, a.azimuth))});
            }
        }
    }
    for (const BrightStar& s : tables.stars) {
        const Horizontal h = HorizonCoordinates(s.rightAscension, s.declination, lst, lat);
        if (h.altitude <= 0.0) continue;
        chart.stars.push_back({SkyChartPoint(h.altitude, h.azimuth), StarSize(s.magnitude)});
    }

    const CatalogueEntry* entry = catalogue.Entry(request.object);
    if (entry == nullptr) return chart;
    GeodeticPoint sitePoint = SitePoint(site);
    // The whole path in one batched call: now and forwards (k = i), then backwards (k = 300 + i).
    std::vector<double> times;
    for (int direction : {1, -1})
        for (int i = direction == 1 ? 0 : 1; i <= kPathSteps; ++i)
            times.push_back(request.jdUtc + direction * i * 5.0 / 86400.0);
    BatchStates states;
    ConvertElementSet(catalogue, request.object, slot);
    PropagateSlotTimes(slot, times.data(), times.size(), states);
    // Forwards from now (with the marker), then backwards.
    for (int direction : {1, -1}) {
        ObjectPlace previous;
        for (int i = direction == 1 ? 0 : 1; i <= kPathSteps; ++i) {
            const size_t k = static_cast<size_t>(direction == 1 ? i : kPathSteps + i);
            ObjectPlace p = PlaceObject(states.Result(k), sitePoint, times[k]);
            if (i == 0) {
                chart.objectBelowHorizon = !p.above;
                if (p.above) chart.marker = PathMarker{p.at, p.sunlit};
            }
            if (i == 0 && direction == -1) continue;
            if (p.above && (previous.above || (direction == -1 && i == 1 && chart.marker)))
                chart.path.push_back({previous.above ? previous.at : chart.marker->at, p.at, p.sunlit});
            previous = p;
        }
    }
    chart.label = Trim(slot.Elements().name) +
                  "  NORAD: " + CatalogueNumberText(slot.Elements().catalogueNumber) + "   ";
    return chart;
}

namespace {

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

// A name as XML character data of the (UTF-8) picture: control bytes, which XML cannot hold even
// as references, become U+FFFD; UTF-8 names stay UTF-8, other bytes are read as Latin-1.
std::string XmlText(const std::string& name) {
    std::string out;
    for (char c : Latin1ToUtf8Printable(name)) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string SkyChartSvg(const SkyChart& chart) {
    std::string s;
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"480\" height=\"410\" viewBox=\"0 0 480 410\">\n";
    s += "<rect x=\"0\" y=\"0\" width=\"480\" height=\"410\" fill=\"#000010\"/>\n";
    s += "<circle cx=\"240\" cy=\"205\" r=\"199\" fill=\"#000030\" stroke=\"#808080\"/>\n";
    const char* letters[4][3] = {
        {"N", "235", "10"}, {"S", "235", "385"}, {"E", "50", "200"}, {"W", "420", "200"}};
    for (const auto& l : letters)
        s += std::string("<text x=\"") + l[1] + "\" y=\"" + l[2] +
             "\" font-family=\"Courier New, monospace\" font-size=\"13\" fill=\"#c0c0c0\" "
             "dominant-baseline=\"hanging\">" +
             l[0] + "</text>\n";
    for (const ChartLine& l : chart.constellations)
        s += "<line x1=\"" + Num(l.from.x) + "\" y1=\"" + Num(l.from.y) + "\" x2=\"" + Num(l.to.x) +
             "\" y2=\"" + Num(l.to.y) + "\" stroke=\"#4060a0\"/>\n";
    for (const ChartStar& st : chart.stars) {
        const double r = st.size <= 2 ? 0.7 : st.size == 3 ? 1.0 : std::lround(st.size / 2.0);
        s += "<circle cx=\"" + Num(st.at.x) + "\" cy=\"" + Num(st.at.y) + "\" r=\"" + Num(r) +
             "\" fill=\"white\"/>\n";
    }
    for (const PathSegment& p : chart.path)
        s += "<line x1=\"" + Num(p.from.x) + "\" y1=\"" + Num(p.from.y) + "\" x2=\"" + Num(p.to.x) +
             "\" y2=\"" + Num(p.to.y) + "\" stroke=\"" + (p.sunlit ? "yellow" : "white") + "\"/>\n";
    if (chart.marker) {
        const ChartPoint& m = chart.marker->at;
        const char* colour = chart.marker->sunlit ? "white" : "#808080";
        s += "<path d=\"M" + Num(m.x - 5) + " " + Num(m.y) + "H" + Num(m.x + 5) + "M" + Num(m.x) + " " +
             Num(m.y - 5) + "V" + Num(m.y + 5) + "\" stroke=\"" + colour + "\" stroke-width=\"2\"/>\n";
    }
    s += "<text x=\"6\" y=\"400\" font-family=\"sans-serif\" font-size=\"12\" fill=\"white\">" +
         XmlText(chart.label) + "</text>\n";
    if (chart.objectBelowHorizon)
        s += "<text x=\"170\" y=\"300\" font-family=\"sans-serif\" font-size=\"12\" fill=\"white\">Object "
             "below "
             "horizon.</text>\n";
    s += "</svg>\n";
    return s;
}

}  // namespace corvane::maps
