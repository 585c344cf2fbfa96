// The measurement overlay over one painted frame: 200 measurements of every kind on a 2048 x 1536
// picture, drawn into a view-sized 24-bit picture at fit and at x16. The live view paints the overlay on
// every frame: drawn afresh (what a change to the list or the view costs) and laid over the picture from the
// kept layer (what every other frame costs; goal: under 1 ms).
#include <QGuiApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include "OffscreenMain.h"

#include <random>

#include "calib/CalibEntry.h"
#include "imaging/Dc.h"
#include "imaging/DibImage.h"
#include "measure/MeasureLayer.h"
#include "measure/MeasureList.h"
#include "measure/MeasureOverlay.h"
#include "measure/MeasureResults.h"

namespace {

constexpr int32_t kPictureWidth = 2048;
constexpr int32_t kPictureHeight = 1536;
constexpr int32_t kViewWidth = 1024;
constexpr int32_t kViewHeight = 768;
constexpr int kItems = 200;

void fillList(MeasureList& list)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> x(0.0, kPictureWidth), y(0.0, kPictureHeight), d(-60.0, 60.0);
    CalibEntry mm;
    mm.unit = UnitMm;
    for (int i = 0; i < kItems; ++i) {
        const MeasurePoint c { x(rng), y(rng) };
        const auto near = [&] { return MeasurePoint { c.x + d(rng), c.y + d(rng) }; };
        const int tool = ToolLine + i % 6;
        MeasureItem item;
        item.reset(tool);
        const int points = tool == ToolArea ? 5 : tool == ToolCircle2 ? 6 : tool == ToolLine ? 2 : 3;
        for (int k = 0; k < points; ++k)
            item.addPoint(tool == ToolCircle2 && k >= 3 ? MeasurePoint { c.x + 150 + d(rng), c.y + d(rng) } : near());
        if (tool == ToolPerpendicular) {
            list.append(makePerpendicular(item, mm));
            continue;
        }
        finishItem(item, mm, nullptr);
        list.append(item);
    }
}

// Into the view-sized 24-bit picture the display thread publishes.
void drawFrame(benchmark::State& state, const ViewGeometry& g)
{
    MeasureList list;
    fillList(list);
    DibImage view;
    view.Create(kViewWidth, kViewHeight, 24);
    for (auto _ : state) {
        Dc dc(view);
        MeasureOverlay overlay(dc, g, Rgb(0, 255, 0), Rgb(0, 255, 255));
        overlay.DrawMeasurements(list);
    }
}

// Through a painter on a 32-bit image, as a widget's paint event draws after putting the picture up.
void paintFrame(benchmark::State& state, const ViewGeometry& g)
{
    MeasureList list;
    fillList(list);
    QImage view(kViewWidth, kViewHeight, QImage::Format_RGB32);
    QPainter painter(&view);
    for (auto _ : state) {
        Dc dc(painter);
        MeasureOverlay overlay(dc, g, Rgb(0, 255, 0), Rgb(0, 255, 255));
        overlay.DrawMeasurements(list);
    }
}

ViewGeometry geometry(int32_t zoomIndex, double baiX, double baiY)
{
    ViewGeometry g;
    g.view = { 8, 8, 8 + kViewWidth, 8 + kViewHeight };
    g.zoomIndex = zoomIndex;
    g.baiX = baiX;
    g.baiY = baiY;
    g.imageWidth = kPictureWidth;
    g.imageHeight = kPictureHeight;
    return g;
}

void BM_OverlayAtFit(benchmark::State& state)
{
    drawFrame(state, geometry(0, 0.0, 0.0));
}

// x16 around the middle of the picture: most items lie off the view, a few cross it.
void BM_OverlayAtX16(benchmark::State& state)
{
    drawFrame(state, geometry(5, -992.0, -744.0));
}

} // namespace

void BM_OverlayOnPainterAtFit(benchmark::State& state)
{
    paintFrame(state, geometry(0, 0.0, 0.0));
}
void BM_OverlayOnPainterAtX16(benchmark::State& state)
{
    paintFrame(state, geometry(5, -992.0, -744.0));
}

// What the window pays per painted frame while the list stays as it is: the layer the items were drawn into
// once (the window's MeasureLayer), laid over the picture; the digest that tells whether the list changed is
// part of every frame's cost.
void layeredFrame(benchmark::State& state, const ViewGeometry& g)
{
    MeasureList list;
    fillList(list);
    QImage view(kViewWidth, kViewHeight, QImage::Format_RGB32);
    QPainter painter(&view);
    MeasureLayer layer;
    for (auto _ : state) {
        const MeasureLayer::Key key { g, Rgb(0, 255, 0), Rgb(0, 255, 255), Digest().add(list).value() };
        painter.drawImage(QPoint(0, 0), layer.Update(key, [&](Dc& dc) {
            MeasureOverlay(dc, g, key.line, key.text).DrawMeasurements(list);
        }));
    }
    state.counters["layer_draws"] = double(layer.draws());
}
void BM_OverlayLayerAtFit(benchmark::State& state)
{
    layeredFrame(state, geometry(0, 0.0, 0.0));
}
void BM_OverlayLayerAtX16(benchmark::State& state)
{
    layeredFrame(state, geometry(5, -992.0, -744.0));
}

BENCHMARK(BM_OverlayAtFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayAtX16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayOnPainterAtFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayOnPainterAtX16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayLayerAtFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayLayerAtX16)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    return runOffscreenBenchmarks<QGuiApplication>(argc, argv);
}
