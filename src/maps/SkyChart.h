#pragma once
// The sky view as geometry: the whole sky above the site as a circle (zenith at the centre,
// horizon on the rim, north up, east left) in window pixels, with the bright stars, the
// constellation figures clipped at the horizon and the object's path 25 minutes either way.
// Pure; the window and the command line draw it with their own means.
#include <optional>
#include <string>
#include <vector>

#include "astro/Time.h"
#include "maps/SkyTables.h"

namespace corvane {
class ElementCatalogue;
class PropagationSlot;
}  // namespace corvane

namespace corvane::maps {

inline constexpr int kSkyCentreX = 240;
inline constexpr int kSkyCentreY = 205;
inline constexpr int kSkyRadius = 199;

struct Horizontal {
    double altitude = 0.0;  // degrees
    double azimuth = 0.0;   // degrees from north through east, [0, 360)
};
// A catalogue point (RA hours, Dec degrees) at local sidereal time lstHours for a site latitude.
Horizontal HorizonCoordinates(double raHours, double decDegrees, double lstHours, double latitudeDegrees);

struct ChartPoint {
    double x = 0.0;
    double y = 0.0;
};
// Stereographic projection about the zenith, unrounded (the horizon is radius 199).
ChartPoint StereographicPoint(double altitudeDegrees, double azimuthDegrees);
// The same rounded to the nearest pixel, as drawn.
ChartPoint SkyChartPoint(double altitudeDegrees, double azimuthDegrees);
// Where the straight chart line from a point inside the horizon circle to one outside it meets
// the circle.
ChartPoint HorizonCrossing(const ChartPoint& inside, const ChartPoint& outside);
// Drawn size of a star: the nearest integer to 6 - magnitude, at least 1.
int StarSize(double magnitude);

struct ChartLine {
    ChartPoint from, to;
};
struct ChartStar {
    ChartPoint at;
    int size = 1;
};
struct PathSegment {
    ChartPoint from, to;
    bool sunlit = false;
};
struct PathMarker {
    ChartPoint at;
    bool sunlit = false;
};

struct SkyChart {
    std::vector<ChartLine> constellations;
    std::vector<ChartStar> stars;
    std::vector<PathSegment> path;
    std::optional<PathMarker> marker;  // the object now, when above the horizon
    bool objectBelowHorizon = true;
    std::string label;  // Latin-1
};

struct SkyChartRequest {
    Site site;
    double jdUtc = 0.0;
    bool constellations = true;
    int object = 0;  // catalogue index, 0: no object
};
SkyChart BuildSkyChart(const SkyTables& tables, const ElementCatalogue& catalogue, PropagationSlot& slot,
                       const SkyChartRequest& request);

// The chart as an SVG document of 480 x 410 pixels (the window's picture).
std::string SkyChartSvg(const SkyChart& chart);

}  // namespace corvane::maps
