// The geometry of one world-map redraw: 1600 ground-track points (800 ahead, 800 back at
// 60-second steps, each with its shadow test), the 13680 outline points of "map4.dat" and the
// footprint, on the flat and the orthographic map. The goal is well under 50 ms per redraw
// (the window redraws every 10 s); the sky chart's 601 path points and its tables are measured
// beside it.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "maps/SkyChart.h"
#include "maps/WorldMap.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/PropagationSlot.h"
#ifdef CORVANE_BENCH_QT
#include <QImage>
#include <QPainter>

#include "ui/maps/MapPainting.h"
#endif

using namespace corvane;
using namespace corvane::maps;

namespace {

const ElementCatalogue& Catalogue() {
    static const auto c =
        LoadElementFile(std::string(CORVANE_TEST_DATA) + "/catalogue-2017-04-27.tle").catalogue;
    return *c;
}

const WorldMapTable& Table() {
    static const WorldMapTable t = [] {
        WorldMapTable table;
        if (LoadWorldMap(std::string(CORVANE_TEST_DATA) + "/../../data/map4.dat", table) != MapLoad::kLoaded)
            std::fprintf(stderr, "map4.dat not found\n");
        return table;
    }();
    return t;
}

void BM_WorldMapRedrawFlat(benchmark::State& state) {
    PropagationSlot slot(kSlotWorldMap);
    const int iss = Catalogue().IssIndex();
    DrawSteps steps;
    for (auto _ : state) {
        steps.clear();
        const Projector projector;
        FlatGraticule(projector, steps);
        OutlineSteps(Table(), projector, steps);
        const auto ahead = GroundTrack(Catalogue(), iss, slot, 2457871.8, 60.0, 800);
        const auto behind = GroundTrack(Catalogue(), iss, slot, 2457871.8, -60.0, 800);
        const auto a = TrackSegments(ahead, projector, 400);
        const auto b = TrackSegments(behind, projector, 400);
        const auto f = CircleSegments(
            FootprintCircle(ahead[0].latitude, ahead[0].longitude, ahead[0].height, 361), projector, 300);
        benchmark::DoNotOptimize(steps.data());
        benchmark::DoNotOptimize(a.size() + b.size() + f.size());
    }
}
BENCHMARK(BM_WorldMapRedrawFlat)->Unit(benchmark::kMillisecond);

void BM_WorldMapRedrawOrthographic(benchmark::State& state) {
    PropagationSlot slot(kSlotWorldMap);
    const int iss = Catalogue().IssIndex();
    DrawSteps steps;
    for (auto _ : state) {
        steps.clear();
        const auto ahead = GroundTrack(Catalogue(), iss, slot, 2457871.8, 60.0, 300);
        const auto behind = GroundTrack(Catalogue(), iss, slot, 2457871.8, -60.0, 300);
        OrthographicView view;
        const Projector projector{Projection::kOrthographic, 1, &view};
        for (double h : {OrthographicView::kNearHeight, OrthographicView::kFarHeight}) {
            view.SetOrthographicView(ahead[0].latitude, ahead[0].longitude, h);
            OrthographicGraticule(view, steps);
            OutlineSteps(Table(), projector, steps);
        }
        const auto a = TrackSegments(ahead, projector, 1e9);
        const auto b = TrackSegments(behind, projector, 1e9);
        benchmark::DoNotOptimize(steps.data());
        benchmark::DoNotOptimize(a.size() + b.size());
    }
}
BENCHMARK(BM_WorldMapRedrawOrthographic)->Unit(benchmark::kMillisecond);

void BM_SkyChart(benchmark::State& state) {
    PropagationSlot slot(kSlotSkyView);
    const SkyTables tables = LoadSkyTables();
    SkyChartRequest r;
    r.site = {45.5, -73.6, 50.0, -4.0};
    r.jdUtc = 2457871.7;
    r.object = Catalogue().IssIndex();
    for (auto _ : state) benchmark::DoNotOptimize(BuildSkyChart(tables, Catalogue(), slot, r).stars.size());
}
BENCHMARK(BM_SkyChart)->Unit(benchmark::kMillisecond);

#ifdef CORVANE_BENCH_QT
// The whole flat-map picture as the window paints it: geometry and QPainter on a 640 x 334 image.
void BM_WorldMapPaintFlat(benchmark::State& state) {
    PropagationSlot slot(kSlotWorldMap);
    const int iss = Catalogue().IssIndex();
    QImage image(640, 334, QImage::Format_RGB32);
    const corvane::ui::MapColours c = corvane::ui::MapColours::For(false);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), Qt::black);
        DrawSteps steps;
        const Projector projector;
        FlatGraticule(projector, steps);
        corvane::ui::PaintSteps(painter, steps, c.graticule, c.graticule);
        steps.clear();
        OutlineSteps(Table(), projector, steps);
        corvane::ui::PaintSteps(painter, steps, c.outline, c.waterFlat);
        for (double step : {60.0, -60.0}) {
            const auto track = GroundTrack(Catalogue(), iss, slot, 2457871.8, step, 800);
            for (const TrackSegment& s : TrackSegments(track, projector, 400)) {
                painter.setPen(s.sunlit ? c.track : c.trackShadow);
                painter.drawLine(QPointF(s.from.x, s.from.y), QPointF(s.to.x, s.to.y));
            }
        }
    }
}
BENCHMARK(BM_WorldMapPaintFlat)->Unit(benchmark::kMillisecond);

// The orthographic picture (globe, graticule and outlines from both viewpoints) on 490 x 410.
void BM_GlobePaint(benchmark::State& state) {
    QImage image(490, 410, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        OrthographicView view;
        corvane::ui::PaintGlobe(painter, Table(), 45.5, -73.6, false, view);
    }
}
BENCHMARK(BM_GlobePaint)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
