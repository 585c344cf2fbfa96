#include "edges/ShapeFit.h"

#include <algorithm>
#include <cmath>

#include "edges/SmallSolve.h"
#include "imaging/DibImage.h"

namespace {

struct Circle {
    double cx = 0, cy = 0, r = 0;
};

struct Line {
    PicturePoint origin, dir{1, 0};
};

bool finite(PicturePoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

PicturePoint meanOf(const std::vector<PicturePoint>& pts)
{
    PicturePoint m;
    for (const PicturePoint& p : pts) {
        m.x += p.x;
        m.y += p.y;
    }
    return {m.x / double(pts.size()), m.y / double(pts.size())};
}

bool fitCircle(const std::vector<PicturePoint>& pts, Circle& c)
{
    // Algebraic (Kasa) fit about the points' mean, which starts the geometric one.
    const double n = double(pts.size());
    const auto [mx, my] = meanOf(pts);
    double suu = 0, svv = 0, suv = 0, suuu = 0, svvv = 0, suvv = 0, svuu = 0;
    for (const PicturePoint& p : pts) {
        const double u = p.x - mx, v = p.y - my;
        suu += u * u;
        svv += v * v;
        suv += u * v;
        suuu += u * u * u;
        svvv += v * v * v;
        suvv += u * v * v;
        svuu += v * u * u;
    }
    std::array<double, 2> uc{};
    if (!SolveSmall<2>({{{suu, suv, 0.5 * (suuu + suvv)}, {suv, svv, 0.5 * (svvv + svuu)}}}, uc))
        return false;
    c = {mx + uc[0], my + uc[1], std::sqrt(uc[0] * uc[0] + uc[1] * uc[1] + (suu + svv) / n)};
    // Geometric: Gauss-Newton on the points' distances from the circle.
    for (int iter = 0; iter < 20; ++iter) {
        std::array<std::array<double, 4>, 3> m{};
        for (const PicturePoint& p : pts) {
            const double dx = p.x - c.cx, dy = p.y - c.cy, rho = std::hypot(dx, dy);
            if (rho <= 0.0)
                continue;
            const std::array<double, 3> j{-dx / rho, -dy / rho, -1.0};
            const double res = rho - c.r;
            for (int a = 0; a < 3; ++a) {
                for (int b = 0; b < 3; ++b)
                    m[a][b] += j[a] * j[b];
                m[a][3] -= j[a] * res;
            }
        }
        std::array<double, 3> step{};
        if (!SolveSmall<3>(m, step))
            return false;
        c = {c.cx + step[0], c.cy + step[1], c.r + step[2]};
        if (std::abs(step[0]) + std::abs(step[1]) + std::abs(step[2]) < 1e-9)
            break;
    }
    return std::isfinite(c.cx) && std::isfinite(c.cy) && c.r > 0.0 && std::isfinite(c.r);
}

double circleResidual(const Circle& c, PicturePoint p) { return std::hypot(p.x - c.cx, p.y - c.cy) - c.r; }

bool fitLine(const std::vector<PicturePoint>& pts, Line& l)
{
    // Total least squares: through the mean, along the direction of greatest spread.
    const auto [mx, my] = meanOf(pts);
    double sxx = 0, syy = 0, sxy = 0;
    for (const PicturePoint& p : pts) {
        sxx += (p.x - mx) * (p.x - mx);
        syy += (p.y - my) * (p.y - my);
        sxy += (p.x - mx) * (p.y - my);
    }
    if (!(sxx + syy > 0.0))
        return false;
    const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    l = {{mx, my}, {std::cos(angle), std::sin(angle)}};
    return true;
}

double lineResidual(const Line& l, PicturePoint p)
{
    return (p.y - l.origin.y) * l.dir.x - (p.x - l.origin.x) * l.dir.y;
}

// Fits, leaves out points farther than three robust sigmas (at least 0.1 px), and fits again until the points
// kept stay the same. Returns the RMS residual of the points kept, or a negative value when too few remain.
template <class Model, class FitFn, class ResidualFn>
double fitRobust(const std::vector<PicturePoint>& pts, size_t minPoints, Model& model, FitFn fit,
                 ResidualFn residual, std::vector<bool>& kept)
{
    kept.assign(pts.size(), true);
    std::vector<PicturePoint> subset;
    std::vector<double> res(pts.size()), absKept;
    for (int round = 0;; ++round) {
        subset.clear();
        for (size_t i = 0; i < pts.size(); ++i)
            if (kept[i])
                subset.push_back(pts[i]);
        if (subset.size() < minPoints || !fit(subset, model))
            return -1.0;
        absKept.clear();
        for (size_t i = 0; i < pts.size(); ++i) {
            res[i] = residual(model, pts[i]);
            if (kept[i])
                absKept.push_back(std::abs(res[i]));
        }
        if (round == 8)
            break;
        std::nth_element(absKept.begin(), absKept.begin() + absKept.size() / 2, absKept.end());
        const double limit = std::max(3.0 * 1.4826 * absKept[absKept.size() / 2], 0.1);
        std::vector<bool> next(pts.size());
        for (size_t i = 0; i < pts.size(); ++i)
            next[i] = std::abs(res[i]) <= limit;
        if (next == kept)
            break;
        kept = std::move(next);
    }
    double sum = 0.0;
    for (size_t i = 0; i < pts.size(); ++i)
        if (kept[i])
            sum += res[i] * res[i];
    return std::sqrt(sum / double(subset.size()));
}

template <class Result>
void splitPoints(const std::vector<PicturePoint>& pts, const std::vector<bool>& kept, Result& result)
{
    for (size_t i = 0; i < pts.size(); ++i)
        (kept[i] ? result.used : result.rejected).push_back(pts[i]);
}

// The strongest edge along a-b, once the segment is clipped to where its samples stay inside the picture.
std::optional<PicturePoint> strongestAlong(const DibImage& image, PicturePoint a, PicturePoint b, double halfWidth,
                                           double threshold, EdgePolarity polarity)
{
    if (!ClipToPicture(image, a, b, std::floor(halfWidth)))
        return std::nullopt;
    const std::optional<Edge> edge = StrongestEdge(image, {a, b, halfWidth, threshold, polarity});
    if (!edge)
        return std::nullopt;
    return edge->point;
}

} // namespace

std::optional<CircleFit> FitCircleByEdges(const DibImage& image, PicturePoint centre, double innerRadius,
                                          double outerRadius, int radii, double threshold, EdgePolarity polarity)
{
    if (!finite(centre) || !(innerRadius >= 0.0) || !(outerRadius > innerRadius) || !std::isfinite(outerRadius) ||
        radii < 5 || radii > 100000)
        return std::nullopt;
    std::vector<PicturePoint> pts;
    for (int k = 0; k < radii; ++k) {
        const double angle = 2.0 * M_PI * k / radii;
        const double cx = std::cos(angle), cy = std::sin(angle);
        if (auto p = strongestAlong(image, {centre.x + innerRadius * cx, centre.y + innerRadius * cy},
                                    {centre.x + outerRadius * cx, centre.y + outerRadius * cy}, 0.0, threshold,
                                    polarity))
            pts.push_back(*p);
    }
    // Edges on fewer than a quarter of the radii are specks or texture, not the rim the ring was drawn around.
    return FitCircleToPoints(pts, std::max<size_t>(5, size_t(radii) / 4));
}

std::optional<CircleFit> FitCircleToPoints(const std::vector<PicturePoint>& points, size_t minKept)
{
    Circle c;
    std::vector<bool> kept;
    const double rms = fitRobust(points, std::max<size_t>(minKept, 3), c, fitCircle, circleResidual, kept);
    if (rms < 0.0)
        return std::nullopt;
    CircleFit fit{{c.cx, c.cy}, c.r, rms, {}, {}};
    splitPoints(points, kept, fit);
    return fit;
}

std::optional<LineFit> FitLineByEdges(const DibImage& image, PicturePoint from, PicturePoint to, double halfWidth,
                                      int samples, double threshold, EdgePolarity polarity)
{
    const double length = std::hypot(to.x - from.x, to.y - from.y);
    if (!finite(from) || !(length > 0.0) || !std::isfinite(length) || !(halfWidth > 0.0) ||
        !std::isfinite(halfWidth) || samples < 3 || samples > 100000)
        return std::nullopt;
    const PicturePoint u{(to.x - from.x) / length, (to.y - from.y) / length};
    const PicturePoint across{-u.y, u.x};
    // Each search averages along the band over the part of it that is its own.
    const double spacing = length / samples;
    const double along = std::min(std::floor(spacing * 0.5), 8.0);
    std::vector<PicturePoint> pts;
    for (int k = 0; k < samples; ++k) {
        const double t = (k + 0.5) * spacing;
        const PicturePoint c{from.x + t * u.x, from.y + t * u.y};
        if (auto p = strongestAlong(image, {c.x - halfWidth * across.x, c.y - halfWidth * across.y},
                                    {c.x + halfWidth * across.x, c.y + halfWidth * across.y}, along, threshold,
                                    polarity))
            pts.push_back(*p);
    }
    Line l;
    std::vector<bool> kept;
    const double rms = fitRobust(pts, 3, l, fitLine, lineResidual, kept);
    // The line must cross both ends of the band.
    const double slope = l.dir.x * u.x + l.dir.y * u.y;
    if (rms < 0.0 || std::abs(slope) < 1e-6)
        return std::nullopt;
    auto crossing = [&](PicturePoint end) {
        const double t = ((end.x - l.origin.x) * u.x + (end.y - l.origin.y) * u.y) / slope;
        return PicturePoint{l.origin.x + t * l.dir.x, l.origin.y + t * l.dir.y};
    };
    LineFit fit{crossing(from), crossing(to), rms, {}, {}};
    splitPoints(pts, kept, fit);
    return fit;
}

std::optional<PicturePoint> SnapToEdge(const DibImage& image, PicturePoint p, double radius, double threshold)
{
    const LightnessSampler sampler(image);
    if (!finite(p) || !(radius > 0.0) || !sampler.inside(p))
        return std::nullopt;
    const double r = std::min(radius, 64.0);
    const int reach = int(std::ceil(r));
    // The structure tensor over the disc: the direction across the edges that dominate it, whichever side of
    // p they lie on and whether or not p itself sits on a slope.
    double jxx = 0, jyy = 0, jxy = 0;
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const PicturePoint q{p.x + dx, p.y + dy};
            if (dx * dx + dy * dy > r * r || !sampler.inside({q.x - 1, q.y - 1}) || !sampler.inside({q.x + 1, q.y + 1}))
                continue;
            const double gx = 0.5 * (sampler.at({q.x + 1, q.y}) - sampler.at({q.x - 1, q.y}));
            const double gy = 0.5 * (sampler.at({q.x, q.y + 1}) - sampler.at({q.x, q.y - 1}));
            jxx += gx * gx;
            jyy += gy * gy;
            jxy += gx * gy;
        }
    }
    if (!(jxx + jyy > 0.0))
        return std::nullopt;
    const double angle = 0.5 * std::atan2(2 * jxy, jxx - jyy);
    const PicturePoint d{std::cos(angle), std::sin(angle)};
    return strongestAlong(image, {p.x - r * d.x, p.y - r * d.y}, {p.x + r * d.x, p.y + r * d.y}, 1.0, threshold,
                          EdgePolarity::Either);
}
