// The measurement overlay over one painted frame: 200 measurements of every kind on a 2048 x 1536
// picture, drawn into a view-sized 24-bit picture at fit and at x16. The live view paints the overlay on
// every frame: drawn afresh (what a change to the list or the view costs) and laid over the picture from the
// kept layer (what every other frame costs; goal: under 1 ms).
// The guides: the reticle (two circles, ticks) and a 0.5 mm grid under a 0.01 mm per pixel calibration, drawn
// afresh and laid over the picture from the kept layer (goal: under 0.5 ms added per painted frame); the
// reference picture blended and shown as a difference over every frame; and the alignment of a 2048 x 1536
// reference by phase correlation (goal: under 150 ms).
#include <QGuiApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include "OffscreenMain.h"

#include <cmath>
#include <optional>
#include <random>

#include "calib/CalibEntry.h"
#include "imaging/Dc.h"
#include "imaging/DibImage.h"
#include "measure/MeasureLayer.h"
#include "measure/MeasureList.h"
#include "measure/MeasureOverlay.h"
#include "measure/MeasureResults.h"
#include "measure/Reticle.h"
#include "imaging/ReferenceOverlay.h"
#include "platform/simcam/SimChart.h"
#include "stack/ReferenceAlign.h"

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

// The guides of a person gauging a part: a reticle with two circles and ticks, a 0.5 mm grid at 100 pixels a mm.
OverlayOptions guides()
{
    OverlayOptions o;
    o.reticle = o.grid = true;
    o.radii = { 1.0, 2.0 };
    o.gridSpacing = 0.5;
    o.tickStep = 0.1;
    return o;
}
const OverlayScale kGuideScale = overlayScale(UnitMm, 0.01, 0.01, UnitMm);

// Drawn afresh: what a change to the view costs once.
void guidesDrawn(benchmark::State& state, const ViewGeometry& g)
{
    const OverlayOptions o = guides();
    QImage view(kViewWidth, kViewHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&view);
    for (auto _ : state) {
        Dc dc(painter);
        DrawReticleAndGrid(dc, o, kGuideScale, g, Rgb(0, 255, 0), Rgb(0, 255, 255));
    }
}
void BM_GuidesDrawnAtFit(benchmark::State& state) { guidesDrawn(state, geometry(0, 0.0, 0.0)); }
void BM_GuidesDrawnAtX16(benchmark::State& state) { guidesDrawn(state, geometry(5, -992.0, -744.0)); }

// Every painted frame while nothing changes: the key with the guides' digest, and the kept layer blended.
void guidesLayered(benchmark::State& state, const ViewGeometry& g)
{
    const OverlayOptions o = guides();
    QImage view(kViewWidth, kViewHeight, QImage::Format_RGB32);
    QPainter painter(&view);
    MeasureLayer layer;
    for (auto _ : state) {
        Digest content;
        addToDigest(content, o, kGuideScale);
        const MeasureLayer::Key key { g, Rgb(0, 255, 0), Rgb(0, 255, 255), content.value() };
        painter.drawImage(QPoint(0, 0), layer.Update(key, [&](Dc& dc) {
            DrawReticleAndGrid(dc, o, kGuideScale, g, key.line, key.text);
        }));
    }
    state.counters["layer_draws"] = double(layer.draws());
}
void BM_GuidesLayerAtFit(benchmark::State& state) { guidesLayered(state, geometry(0, 0.0, 0.0)); }
void BM_GuidesLayerAtX16(benchmark::State& state) { guidesLayered(state, geometry(5, -992.0, -744.0)); }

// The simulated camera's chart as a 24-bit picture, moved by (dx, dy) whole pixels.
DibImage chartPicture(int dx, int dy)
{
    const SimChart& chart = SimChart::instance();
    DibImage img;
    img.Create(chart.width(), chart.height(), 24);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const uint8_t* c = chart.pixel(x - dx, y - dy);
            uint8_t* p = img.rowTopDown(y) + 3 * x;
            p[0] = c[2];
            p[1] = c[1];
            p[2] = c[0];
        }
    return img;
}

// Over every live frame, the view (1024 x 768) at fit or x16: the reference kept scaled, blended.
void referenceFrame(benchmark::State& state, const ViewGeometry& g, bool difference)
{
    ReferenceOverlay reference;
    reference.setPicture(chartPicture(0, 0));
    QImage view(kViewWidth + 16, kViewHeight + 16, QImage::Format_RGB32);
    view.fill(Qt::gray);
    QPainter painter(&view);
    for (auto _ : state)
        reference.paint(painter, g, { 3.0, -2.0, difference, 0.5 });
    state.counters["scaled"] = double(reference.draws());
}
void BM_ReferenceBlendAtFit(benchmark::State& state) { referenceFrame(state, geometry(0, 0.0, 0.0), false); }
void BM_ReferenceDifferenceAtFit(benchmark::State& state) { referenceFrame(state, geometry(0, 0.0, 0.0), true); }
void BM_ReferenceDifferenceAtX16(benchmark::State& state)
{
    referenceFrame(state, geometry(5, -992.0, -744.0), true);
}

// Align now: the chart against itself moved by (-63, 41) pixels.
void BM_ReferenceAlign(benchmark::State& state)
{
    const DibImage reference = chartPicture(0, 0);
    const DibImage live = chartPicture(-63, 41);
    double error = 0.0;
    for (auto _ : state) {
        const std::optional<ReferenceShift> s = AlignReference(reference, live);
        error = s ? std::hypot(s->shift.x + 63.0, s->shift.y - 41.0) : 1e9;
    }
    state.counters["error_px"] = error;
}

BENCHMARK(BM_OverlayAtFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayAtX16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayOnPainterAtFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayOnPainterAtX16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayLayerAtFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayLayerAtX16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GuidesDrawnAtFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GuidesDrawnAtX16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GuidesLayerAtFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GuidesLayerAtX16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceBlendAtFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceDifferenceAtFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceDifferenceAtX16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceAlign)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return runOffscreenBenchmarks<QGuiApplication>(argc, argv);
}
