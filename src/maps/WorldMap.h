#pragma once
// The world map: the outline table "map4.dat", the flat (equirectangular, optionally zoomed to a
// quarter) and orthographic projections in window pixels, the graticules, the footprint circle
// and the ground track. Everything here is pure geometry that produces drawing steps; the
// windows replay them with their own pens. Thread-safe apart from OrthographicView, which one
// caller owns.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {
class ElementCatalogue;
class PropagationSlot;
}  // namespace corvane

namespace corvane::maps {

inline constexpr int kMapRecords = 13680;
inline constexpr const char* kMapFileName = "map4.dat";

// One record of "map4.dat": code (<= 5: continue the outline; > 5: start one of type code/1000),
// latitude and longitude in arc minutes (north and east positive).
struct MapRecord {
    int16_t code = 0;
    int16_t latitude = 0;
    int16_t longitude = 0;
};

struct WorldMapTable {
    bool loaded = false;
    std::vector<MapRecord> records;  // always kMapRecords once loaded
};

enum class MapLoad { kLoaded, kMissing };
// Reads the table: exactly 13680 records; bytes beyond them are ignored, records missing from a
// shorter file read as zero. kMissing when the file cannot be opened.
MapLoad LoadWorldMap(const std::string& path, WorldMapTable& table);

// A projected point in window pixels.
struct MapPoint {
    double x = 0.0;
    double y = 0.0;
    bool visible = false;
};

// Flat map: 612 x 306 pixels from (13, 13); zoomed: one quarter magnified by 1.98.
MapPoint FlatMapPoint(double latitudeDegrees, double longitudeDegrees, bool zoomed = false, int quarter = 1);
// The quarter (1 north-west, 2 north-east, 3 south-west, 4 south-east) that holds a point.
int ZoomQuarter(double latitudeDegrees, double longitudeDegrees);

// The orthographic view of the globe (radius 3432 nautical miles, about 199 pixels around
// (240, 205)) seen from height H above a centre point.
class OrthographicView {
public:
    static constexpr double kEarthRadius = 3432.0;  // nautical miles
    static constexpr double kNearHeight = 383.0 / 1.853;
    static constexpr double kFarHeight = 200400.0;
    void SetOrthographicView(double centreLatitudeDegrees, double centreLongitudeDegrees, double height);
    // Latitude and longitude in radians.
    MapPoint OrthographicPoint(double latitude, double longitude) const;

private:
    double sinLat_ = 0.0, cosLat_ = 1.0, sinLon_ = 0.0, cosLon_ = 1.0;
    double vx_ = 0.0, vy_ = 0.0, vz_ = 0.0;
    double horizon_ = 0.0;
};

// Drawing steps for a window to replay. Pens: outline, water, or the caller's own.
enum class MapPen { kOutline, kWater };
struct DrawStep {
    enum Kind : uint8_t { kMove, kLine, kDot, kPen };
    Kind kind = kMove;
    MapPen pen = MapPen::kOutline;  // kPen only
    float x = 0.0f, y = 0.0f;
};
using DrawSteps = std::vector<DrawStep>;

enum class Projection { kFlat, kFlatZoomed, kOrthographic };
struct Projector {
    Projection projection = Projection::kFlat;
    int quarter = 1;
    const OrthographicView* view = nullptr;
    MapPoint operator()(double latitudeDegrees, double longitudeDegrees) const;
};

// The outlines of the table through a projection (the pen rules of the outline types: 7 selects
// the water pen, 2 keeps the current pen, 4 and 7 are not drawn). Appends to steps.
void OutlineSteps(const WorldMapTable& table, const Projector& projector, DrawSteps& steps);
// Graticules: orthographic (parallels and meridians every 15 degrees, 3-degree points; far-side
// points only move the pen) and flat (straight parallels every 15 and meridians every 20 degrees).
void OrthographicGraticule(const OrthographicView& view, DrawSteps& steps);
void FlatGraticule(const Projector& projector, DrawSteps& steps);

struct LatLon {
    double latitude = 0.0;   // degrees
    double longitude = 0.0;  // degrees, (-180, 180]
};
// Central angle (radians) from the sub-point to the circle where the object stands at 0 degrees
// elevation, for a height in km (whole kilometres, as the map uses it).
double FootprintAngle(double heightKm);
// The footprint circle: count points at azimuths 0, 360/(count-1), ... 360 degrees.
std::vector<LatLon> FootprintCircle(double latitudeDegrees, double longitudeDegrees, double heightKm,
                                    int count);

// A point of the ground track: sub-point, height and whether the object is in sunlight.
struct TrackPoint {
    bool ok = false;                         // false: the orbit could not be propagated at this instant
    double latitude = 0.0, longitude = 0.0;  // degrees
    double height = 0.0;                     // km
    bool sunlit = false;
    double jd = 0.0;  // UTC Julian date
};
// The sub-point of catalogue object index at jdUtc (slot is the caller's).
TrackPoint PlaceSubPoint(const ElementCatalogue& catalogue, int index, PropagationSlot& slot, double jdUtc);
// count points from startUtc in steps of stepSeconds (negative for backwards).
std::vector<TrackPoint> GroundTrack(const ElementCatalogue& catalogue, int index, PropagationSlot& slot,
                                    double startUtc, double stepSeconds, int count);
// Track (or footprint) segments through a projection: a segment is drawn only when both ends are
// visible and, on the flat map, their x differ by at most maxJump pixels.
struct TrackSegment {
    MapPoint from, to;
    bool sunlit = false;  // of the far end
};
std::vector<TrackSegment> TrackSegments(const std::vector<TrackPoint>& track, const Projector& projector,
                                        double maxJump);
std::vector<TrackSegment> CircleSegments(const std::vector<LatLon>& circle, const Projector& projector,
                                         double maxJump);

}  // namespace corvane::maps
