// Edge finding on synthetic pictures with known edges: the position error of straight edges (ours and the plain
// three-point parabola, as counters), the diameter error of discs, and the time of a 200 x 40 caliper and of a
// 360-radius circle fit.
//
// Each picture is the exact blurred edge averaged over every pixel's area, with seeded Gaussian noise of sigma 2
// levels, rounded to 8 bits (tests/support/EdgePictures.h).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "edges/EdgeFinder.h"
#include "edges/ShapeFit.h"
#include "imaging/DibImage.h"
#include "support/EdgePictures.h"

namespace {

struct Errors {
    double sumSq = 0, worst = 0;
    int count = 0, missed = 0;
    void add(double e)
    {
        sumSq += e * e;
        worst = std::max(worst, std::abs(e));
        ++count;
    }
    double rms() const { return count ? std::sqrt(sumSq / count) : 0.0; }
};

// Our errors and the parabola's on the same pictures.
struct Comparison {
    Errors ours, parabola;
};

// One pass over results made once: counters <what> (the number of pictures), then <method>_<what>_rms_px,
// _worst_px and _missed for ours and the parabola.
void report(benchmark::State& state, const std::string& what, const Comparison& r)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(r.ours.count);
    state.counters[what] = r.ours.count + r.ours.missed;
    for (const auto& [name, e] : {std::pair{"ours_", &r.ours}, std::pair{"parabola_", &r.parabola}}) {
        state.counters[name + what + "_rms_px"] = e->rms();
        state.counters[name + what + "_worst_px"] = e->worst;
        state.counters[name + what + "_missed"] = e->missed;
    }
}

// Seeded sub-pixel placings.
struct Placings {
    std::mt19937 rng;
    std::uniform_real_distribution<double> frac{-0.5, 0.5};
    PicturePoint near(double x, double y) { return {x + frac(rng), y + frac(rng)}; }
};

// Blur 0.8 to 2 px, angles 0 to 45 degrees, contrast 40 to 200, four sub-pixel placings each, rising and
// falling; a caliper 36 px long and 40 px wide across the edge.
Comparison straightEdges()
{
    Comparison r;
    Placings place{std::mt19937(7)};
    unsigned seed = 1;
    for (double sigma : {0.8, 1.2, 1.6, 2.0})
        for (double degrees : {0.0, 7.0, 15.0, 22.5, 30.0, 45.0})
            for (double contrast : {40.0, 100.0, 200.0})
                for (int k = 0; k < 4; ++k) {
                    const double angle = (degrees + (k % 2 ? 180.0 : 0.0)) * M_PI / 180.0;
                    const PicturePoint c = place.near(40.0, 40.0);
                    DibImage img;
                    edgepic::straightEdge(img, 80, 80, c, angle, {128 - contrast / 2, contrast, sigma, 2.0, seed++});
                    const PicturePoint n{std::cos(angle), std::sin(angle)};
                    const EdgeSearch search{{c.x - 18 * n.x, c.y - 18 * n.y}, {c.x + 18 * n.x, c.y + 18 * n.y},
                                            20.0, 4.0, EdgePolarity::Rising};
                    auto measure = [&](const std::vector<Edge>& edges, Errors& e) {
                        if (edges.size() != 1) {
                            ++e.missed;
                            return;
                        }
                        e.add((edges[0].point.x - c.x) * n.x + (edges[0].point.y - c.y) * n.y);
                    };
                    measure(FindEdges(img, search), r.ours);
                    measure(FindEdgesParabola(img, search), r.parabola);
                }
    return r;
}

void BM_StraightEdgeAccuracy(benchmark::State& state)
{
    static const Comparison r = straightEdges();
    report(state, "edges", r);
}
BENCHMARK(BM_StraightEdgeAccuracy)->Iterations(1)->Unit(benchmark::kMillisecond);

// Radii 20 to 300 px, three non-integer centres each (blur 0.8 px and contrast 40, 1.4 and 100, 2 and 200), the
// ring drawn 2 px off centre. The parabola's points are the strongest edge it finds on each radius, fitted by the
// same circle fit. The rim is blurred across itself: a lens's blur would also move the rim's steepest point
// inwards by about blur^2 / (2 radius), which is the picture's, not the finder's.
Comparison discs()
{
    Comparison r;
    Placings place{std::mt19937(11)};
    unsigned seed = 100;
    for (double radius : {20.0, 41.7, 80.0, 150.0, 300.0})
        for (auto [blur, contrast] : {std::pair{0.8, 40.0}, std::pair{1.4, 100.0}, std::pair{2.0, 200.0}}) {
            const int size = int(2 * radius) + 40;
            const PicturePoint c = place.near(size / 2.0, size / 2.0);
            DibImage img;
            edgepic::disc(img, size, size, c, radius, {128 - contrast / 2, contrast, blur, 2.0, seed++});
            const PicturePoint guess{c.x + 1.5, c.y - 1.3};
            const double inner = radius * 0.5, outer = radius + 12;
            auto add = [&](const std::optional<CircleFit>& fit, Errors& e) {
                if (fit)
                    e.add(2 * fit->radius - 2 * radius);
                else
                    ++e.missed;
            };
            add(FitCircleByEdges(img, guess, inner, outer, 360, 4, EdgePolarity::Rising), r.ours);
            std::vector<PicturePoint> points;
            for (int i = 0; i < 360; ++i) {
                const double a = 2 * M_PI * i / 360, cx = std::cos(a), cy = std::sin(a);
                const auto edges = FindEdgesParabola(img, {{guess.x + inner * cx, guess.y + inner * cy},
                                                           {guess.x + outer * cx, guess.y + outer * cy}, 0, 4,
                                                           EdgePolarity::Rising});
                const auto best = std::max_element(edges.begin(), edges.end(), [](const Edge& e1, const Edge& e2) {
                    return e1.strength < e2.strength;
                });
                if (best != edges.end())
                    points.push_back(best->point);
            }
            add(FitCircleToPoints(points, 90), r.parabola);
        }
    return r;
}

void BM_DiscDiameterAccuracy(benchmark::State& state)
{
    static const Comparison r = discs();
    report(state, "diameters", r);
}
BENCHMARK(BM_DiscDiameterAccuracy)->Iterations(1)->Unit(benchmark::kMillisecond);

// Two edges 100 px apart across a caliper 200 px long and 40 px wide.
void caliper(benchmark::State& state, bool parabola)
{
    DibImage img;
    edgepic::paint(
        img, 300, 120, {60, 120, 1.2, 2.0, 3},
        [](double x, double) { return edgepic::phi((x - 100.3) / 1.2) - edgepic::phi((x - 200.7) / 1.2); },
        [](double, double) { return false; });
    const EdgeSearch search{{50.0, 60.0}, {250.0, 60.0}, 20.0, 8.0, EdgePolarity::Either};
    size_t found = 0;
    for (auto _ : state) {
        const auto edges = parabola ? FindEdgesParabola(img, search) : FindEdges(img, search);
        found = edges.size();
        benchmark::DoNotOptimize(edges.data());
    }
    state.counters["edges"] = double(found);
}
void BM_Caliper200x40(benchmark::State& state) { caliper(state, false); }
void BM_Caliper200x40Parabola(benchmark::State& state) { caliper(state, true); }
BENCHMARK(BM_Caliper200x40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Caliper200x40Parabola)->Unit(benchmark::kMicrosecond);

void BM_CircleByEdges360(benchmark::State& state)
{
    DibImage img;
    const PicturePoint c{150.4, 149.6};
    edgepic::disc(img, 300, 300, c, 100, {78, 100, 1.2, 2.0, 5});
    double radius = 0;
    for (auto _ : state) {
        const auto fit = FitCircleByEdges(img, {151, 149}, 88, 112, 360, 8, EdgePolarity::Rising);
        radius = fit ? fit->radius : 0.0;
        benchmark::DoNotOptimize(radius);
    }
    state.counters["radius"] = radius;
}
BENCHMARK(BM_CircleByEdges360)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
