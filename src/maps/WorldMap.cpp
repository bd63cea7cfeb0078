#include "maps/WorldMap.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "astro/MathUtil.h"
#include "astro/Sun.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/Observer.h"
#include "orbit/PropagationSlot.h"
#include "orbit/Sgp4Batch.h"

namespace corvane::maps {

namespace {

int Round(double v) { return static_cast<int>(std::lround(v)); }

int16_t LittleEndian16(const unsigned char* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

void Step(DrawSteps& steps, DrawStep::Kind kind, const MapPoint& p) {
    DrawStep s;
    s.kind = kind;
    s.x = static_cast<float>(p.x);
    s.y = static_cast<float>(p.y);
    steps.push_back(s);
}

void PenStep(DrawSteps& steps, MapPen pen) {
    DrawStep s;
    s.kind = DrawStep::kPen;
    s.pen = pen;
    steps.push_back(s);
}

double NormaliseLongitude(double lon) {
    while (lon > 180.0) lon -= 360.0;
    while (lon <= -180.0) lon += 360.0;
    return lon;
}

}  // namespace

MapLoad LoadWorldMap(const std::string& path, WorldMapTable& table) {
    table.loaded = false;
    table.records.assign(kMapRecords, MapRecord{});
    std::ifstream in(path, std::ios::binary);
    if (!in) return MapLoad::kMissing;
    std::vector<unsigned char> bytes(kMapRecords * 6, 0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    for (int i = 0; i < kMapRecords; ++i) {
        const unsigned char* p = bytes.data() + i * 6;
        table.records[static_cast<size_t>(i)] = {LittleEndian16(p), LittleEndian16(p + 2),
                                                 LittleEndian16(p + 4)};
    }
    table.loaded = true;
    return MapLoad::kLoaded;
}

MapPoint FlatMapPoint(double lat, double lon, bool zoomed, int quarter) {
    MapPoint p;
    if (!std::isfinite(lat) || !std::isfinite(lon)) return p;
    int y = 13 + Round((90.0 - lat) * 1.7);
    int x = 13 + Round((180.0 + lon) * 1.7);
    p.visible = true;
    if (zoomed) {
        switch (quarter) {
            case 1:
                p.visible = y <= 166 && x <= 319;
                y -= 1;
                break;
            case 2:
                p.visible = y <= 166 && x >= 319;
                x = x - 319 + 14;
                y -= 2;
                break;
            case 3:
                p.visible = y >= 166 && x <= 319;
                y = y - 166 + 13;
                break;
            default:
                p.visible = y >= 166 && x >= 319;
                x = x - 319 + 13;
                y = y - 166 + 18;
                break;
        }
        y = 13 + Round((y - 13) * 1.98);
        x = 13 + Round((x - 13) * 1.98);
    }
    p.x = x;
    p.y = y;
    return p;
}

int ZoomQuarter(double lat, double lon) {
    const MapPoint p = FlatMapPoint(lat, lon);
    if (p.y <= 166) return p.x <= 319 ? 1 : 2;
    return p.x <= 319 ? 3 : 4;
}

void OrthographicView::SetOrthographicView(double lat0, double lon0, double height) {
    const double phi = Radians(lat0), lambda = Radians(lon0);
    sinLat_ = std::sin(phi);
    cosLat_ = std::cos(phi);
    sinLon_ = std::sin(lambda);
    cosLon_ = std::cos(lambda);
    const double d = kEarthRadius + height;
    vx_ = d * cosLat_ * sinLon_;
    vy_ = d * cosLat_ * cosLon_;
    vz_ = d * sinLat_;
    horizon_ = std::sqrt((2.0 * kEarthRadius + height) * height);
}

MapPoint OrthographicView::OrthographicPoint(double phi, double lambda) const {
    MapPoint p;
    const double c = std::cos(phi);
    const double px = kEarthRadius * c * std::sin(lambda) - vx_;
    const double py = kEarthRadius * c * std::cos(lambda) - vy_;
    const double pz = kEarthRadius * std::sin(phi) - vz_;
    const double distance = std::sqrt(px * px + py * py + pz * pz);
    p.visible = std::isfinite(distance) && distance <= horizon_;
    const double north = -px * sinLon_ * sinLat_ - py * cosLon_ * sinLat_ + pz * cosLat_;
    const double east = px * cosLon_ - py * sinLon_;
    p.x = east / 17.25 + 240.0;
    p.y = 205.0 - north / 17.25;
    return p;
}

MapPoint Projector::operator()(double lat, double lon) const {
    switch (projection) {
        case Projection::kFlat:
            return FlatMapPoint(lat, lon);
        case Projection::kFlatZoomed:
            return FlatMapPoint(lat, lon, true, quarter);
        case Projection::kOrthographic:
            return view ? view->OrthographicPoint(Radians(lat), Radians(lon)) : MapPoint{};
    }
    return {};
}

void OutlineSteps(const WorldMapTable& table, const Projector& projector, DrawSteps& steps) {
    if (!table.loaded) return;
    const bool flat = projector.projection != Projection::kOrthographic;
    int type = 0;
    bool havePrevious = false;
    double previousX = 0.0;
    steps.reserve(steps.size() + table.records.size() + 64);
    for (const MapRecord& r : table.records) {
        MapPoint p = projector(r.latitude / 60.0, r.longitude / 60.0);
        // A step across the date line would streak over the whole flat map.
        if (flat && havePrevious && std::fabs(p.x - previousX) > 300.0) p.visible = false;
        havePrevious = true;
        previousX = p.x;
        if (!p.visible) {
            Step(steps, DrawStep::kMove, p);
        } else if (r.code > 5) {
            type = r.code / 1000;
            if (type == 7) {
                PenStep(steps, MapPen::kWater);
            } else if (type != 2) {
                PenStep(steps, MapPen::kOutline);
            }
            Step(steps, DrawStep::kMove, p);
            if (type != 4 && type != 7) Step(steps, DrawStep::kDot, p);
        } else if (type != 4 && type != 7) {
            Step(steps, DrawStep::kLine, p);
        } else {
            Step(steps, DrawStep::kMove, p);
        }
    }
}

namespace {

// A traced curve whose far-side points only move the pen; a visible point after a hidden one
// starts a new piece with a dot.
struct Tracer {
    DrawSteps& steps;
    bool drawing = false;
    void Add(const MapPoint& p) {
        if (!p.visible) {
            Step(steps, DrawStep::kMove, p);
            drawing = false;
        } else if (!drawing) {
            Step(steps, DrawStep::kMove, p);
            Step(steps, DrawStep::kDot, p);
            drawing = true;
        } else {
            Step(steps, DrawStep::kLine, p);
        }
    }
};

}  // namespace

void OrthographicGraticule(const OrthographicView& view, DrawSteps& steps) {
    for (int lat = -75; lat <= 75; lat += 15) {
        Tracer t{steps};
        for (int lon = 0; lon <= 360; lon += 3) t.Add(view.OrthographicPoint(Radians(lat), Radians(lon)));
    }
    for (int lon = 0; lon < 360; lon += 15) {
        Tracer t{steps};
        for (int lat = -87; lat <= 87; lat += 3) t.Add(view.OrthographicPoint(Radians(lat), Radians(lon)));
    }
}

void FlatGraticule(const Projector& projector, DrawSteps& steps) {
    if (projector.projection == Projection::kFlat) {
        for (int lat = -75; lat <= 75; lat += 15) {
            Step(steps, DrawStep::kMove, projector(lat, -180));
            Step(steps, DrawStep::kLine, projector(lat, 180));
        }
        for (int lon = -160; lon <= 160; lon += 20) {
            Step(steps, DrawStep::kMove, projector(-89, lon));
            Step(steps, DrawStep::kLine, projector(90, lon));
        }
        return;
    }
    // DEPARTURE: the zoomed map gets its graticule zoomed too; full-map lines over a magnified
    // quarter would mark the wrong latitudes and longitudes.
    for (int lat = -75; lat <= 75; lat += 15) {
        Tracer t{steps};
        for (int lon = -180; lon <= 180; ++lon) t.Add(projector(lat, lon));
    }
    for (int lon = -160; lon <= 160; lon += 20) {
        Tracer t{steps};
        for (int lat = -89; lat <= 90; ++lat) t.Add(projector(lat, lon));
    }
}

double FootprintAngle(double heightKm) {
    const double h = std::trunc(std::max(0.0, heightKm));
    return std::acos(kXkmper / (kXkmper + h));
}

std::vector<LatLon> FootprintCircle(double lat, double lon, double heightKm, int count) {
    std::vector<LatLon> out;
    if (count < 2 || !std::isfinite(lat) || !std::isfinite(lon) || !std::isfinite(heightKm)) return out;
    const double c = FootprintAngle(heightKm);
    const double phi = Radians(lat);
    for (int i = 0; i < count; ++i) {
        const double az = Radians(360.0 * i / (count - 1));
        const double sinLat2 = std::sin(phi) * std::cos(c) + std::cos(phi) * std::sin(c) * std::cos(az);
        const double lat2 = ArcSin(sinLat2);
        const double dLon =
            std::atan2(std::sin(az) * std::sin(c) * std::cos(phi), std::cos(c) - std::sin(phi) * sinLat2);
        out.push_back({Degrees(lat2), NormaliseLongitude(lon + Degrees(dLon))});
    }
    return out;
}

namespace {

// The track point of a state (model units) at jd.
TrackPoint SubPointOf(PropagationResult r, double jd) {
    TrackPoint t;
    t.jd = jd;
    if (!r.Ok()) return t;
    ConvertState(r);
    const GeodeticPoint sub = ComputeSubPoint(r.position, jd);
    t.latitude = Degrees(sub.latitude);
    t.longitude = Degrees(sub.longitude);
    t.height = sub.altitude;
    t.sunlit = !IsEclipsed(r.position, ComputeSunVector(jd));
    t.ok = std::isfinite(t.latitude) && std::isfinite(t.longitude) && std::isfinite(t.height);
    return t;
}

}  // namespace

TrackPoint PlaceSubPoint(const ElementCatalogue& catalogue, int index, PropagationSlot& slot, double jd) {
    if (!ConvertElementSet(catalogue, index, slot)) {
        TrackPoint t;
        t.jd = jd;
        return t;
    }
    return SubPointOf(PropagateSlot(jd, slot), jd);
}

std::vector<TrackPoint> GroundTrack(const ElementCatalogue& catalogue, int index, PropagationSlot& slot,
                                    double startUtc, double stepSeconds, int count) {
    std::vector<TrackPoint> out;
    const size_t n = static_cast<size_t>(std::max(0, count));
    out.reserve(n);
    std::vector<double> times(n);
    for (size_t i = 0; i < n; ++i) times[i] = startUtc + static_cast<int>(i) * stepSeconds / 86400.0;
    // Every point of the track in one batched call.
    BatchStates states;
    if (ConvertElementSet(catalogue, index, slot)) {
        PropagateSlotTimes(slot, times.data(), n, states);
    } else {
        states.Resize(n);
        for (size_t i = 0; i < n; ++i) states.error[i] = PropagationError::kNoElements;
    }
    for (size_t i = 0; i < n; ++i) out.push_back(SubPointOf(states.Result(i), times[i]));
    return out;
}

std::vector<TrackSegment> TrackSegments(const std::vector<TrackPoint>& track, const Projector& projector,
                                        double maxJump) {
    std::vector<TrackSegment> out;
    MapPoint previous;
    bool havePrevious = false;
    for (const TrackPoint& t : track) {
        if (!t.ok) {
            havePrevious = false;
            continue;
        }
        const MapPoint p = projector(t.latitude, t.longitude);
        if (havePrevious && previous.visible && p.visible && std::fabs(p.x - previous.x) <= maxJump)
            out.push_back({previous, p, t.sunlit});
        previous = p;
        havePrevious = true;
    }
    return out;
}

std::vector<TrackSegment> CircleSegments(const std::vector<LatLon>& circle, const Projector& projector,
                                         double maxJump) {
    std::vector<TrackPoint> points;
    points.reserve(circle.size());
    for (const LatLon& c : circle) {
        TrackPoint t;
        t.ok = true;
        t.latitude = c.latitude;
        t.longitude = c.longitude;
        t.sunlit = true;
        points.push_back(t);
    }
    return TrackSegments(points, projector, maxJump);
}

}  // namespace corvane::maps
