// Lines, circles, markers and labels of measurements in view pixels. Positions stay doubles until a
// segment has been clipped to the view, so points far outside it (the ends of a steep base line, the
// fallback circle of collinear points at a high zoom) never reach the integer drawing calls.
#include "measure/MeasureOverlay.h"

#include <algorithm>
#include <cmath>

#include "imaging/Dc.h"
#include "measure/MeasureList.h"
#include "measure/MeasureResults.h"

namespace {

// Segments are clipped a little outside the view so that pens wider than a pixel still end cleanly.
constexpr double kClipMargin = 8.0;
// Beyond this many view pixels a double no longer resolves a pixel along a line.
constexpr double kFarAway = 1e15;
// Arcs up to this radius go to the painter as arcs; larger ones are drawn as clipped segments.
constexpr double kArcRadiusLimit = 4096.0;
// Half-length of the plus sign at a placed circle point, and the labels' offset below their point.
constexpr int32_t kPlusArm = 3;
constexpr int32_t kLabelDrop = 20;
// Width of the round pen whose dots mark the base points of a perpendicular.
constexpr int32_t kDotPenWidth = 4;

// Base points A, B, the picked point P of a perpendicular item.
enum { kBaseA = 0, kBaseB = 1, kPicked = 2 };

bool finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

MeasurePoint mean(const MeasureItem& item)
{
    const int32_t n = item.countedPoints();
    MeasurePoint sum;
    for (int32_t i = 0; i < n; ++i) {
        sum.x += item.points[size_t(i)].x;
        sum.y += item.points[size_t(i)].y;
    }
    return n > 0 ? MeasurePoint{sum.x / n, sum.y / n} : MeasurePoint{};
}

MeasurePoint midpoint(MeasurePoint a, MeasurePoint b) { return {(a.x + b.x) / 2.0, (a.y + b.y) / 2.0}; }

MeasurePoint footOfPicked(const MeasureItem& item)
{
    return footOfPerpendicular(item.point(kPicked), lineThrough(item.point(kBaseA), item.point(kBaseB)));
}

// The step halfWidth long square to the axis from a to b; false for an axis without length.
bool acrossAxis(MeasurePoint a, MeasurePoint b, double halfWidth, double& nx, double& ny)
{
    const double length = distance(a, b);
    if (!(length > 0.0))
        return false;
    nx = (a.y - b.y) / length * halfWidth;
    ny = (b.x - a.x) / length * halfWidth;
    return true;
}

}  // namespace

std::vector<OverlayLabel> measureLabels(const MeasureItem& item, const ViewScale& scale)
{
    if (!item.isFinished() || item.countedPoints() == 0)
        return {};
    const auto at = [&](MeasurePoint p, int32_t drop, QString text) {
        Point v = imageToView(p, scale);
        v.y += drop;
        return OverlayLabel{v, std::move(text)};
    };
    switch (item.type) {
    case -ToolLine:
        return {at(mean(item), 0, lengthLabel(item.result, item.unit))};
    case -ToolArea:
        return {at(mean(item), kLabelDrop, areaLabel(item.result2, item.unit))};
    case -ToolCircle:
        return {at(item.center1, 0, lengthLabel(item.result, item.unit))};
    case -ToolCircle2:
        return {at(item.center1, 0, lengthLabel(item.result, item.unit)),
                at(item.center2, 0, lengthLabel(item.result2, item.unit)),
                at(midpoint(item.center1, item.center2), 0, lengthLabel(item.result3, item.unit))};
    case -ToolPerpendicular:
        return {at(midpoint(item.point(kPicked), footOfPicked(item)), kLabelDrop, lengthLabel(item.result, item.unit))};
    case -ToolAngle:
        return {at(mean(item), 0, angleLabel(item.result))};
    // An edge item that found nothing has no number to show.
    case -ToolCaliper:
        return {at(midpoint(item.point(0), item.point(1)), kLabelDrop, lengthLabel(item.result, item.unit))};
    case -ToolEdgeCircle:
        return {at(item.center1, 0, item.edgeFound ? lengthLabel(item.result, item.unit) : QString())};
    case -ToolEdgeLine:
        return {at(mean(item), kLabelDrop, std::isfinite(item.result) ? angleLabel(item.result) : QString())};
    default:
        return {};
    }
}

MeasureOverlay::MeasureOverlay(Dc& dc, const ViewGeometry& geometry, ColorRef lineColor, ColorRef textColor)
    : m_Dc(dc)
    , m_Geometry(geometry)
    , m_Scale(viewScale(geometry))
    , m_Width(std::max(geometry.view.width(), 0))
    , m_Height(std::max(geometry.view.height(), 0))
    , m_LineColor(lineColor)
    , m_TextColor(textColor)
{
    // Labels in the Dc's font, but in whole pixels of the text colour, as on a bitmap device.
    QFont font = m_Dc.CurrentFont();
    if (!(font.styleStrategy() & QFont::NoAntialias)) {
        font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::NoAntialias));
        m_Dc.SelectFont(font);
    }
}

MeasureOverlay::ViewPoint MeasureOverlay::toView(MeasurePoint p) const
{
    return {(p.x + m_Scale.offsetX) * m_Scale.sx, (p.y + m_Scale.offsetY) * m_Scale.sy};
}

void MeasureOverlay::segment(ViewPoint a, ViewPoint b)
{
    if (!finite(a.x, a.y) || !finite(b.x, b.y))
        return;
    // Clip from the end nearer the view: the clipped points are then as exact as their distance from it
    // allows, even when the other end lies millions of pixels away. Two ends that far out cannot be
    // placed to a pixel at all.
    const auto reach = [](ViewPoint p) { return std::max(std::abs(p.x), std::abs(p.y)); };
    if (std::min(reach(a), reach(b)) > kFarAway)
        return;
    const bool swapped = reach(b) < reach(a);
    if (swapped)
        std::swap(a, b);
    // Liang-Barsky against the view and its margin; an end inside is kept exactly.
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lo = -kClipMargin;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - lo, m_Width + kClipMargin - a.x, a.y - lo, m_Height + kClipMargin - a.y};
    double t0 = 0.0, t1 = 1.0;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
        if (t0 > t1)
            return;
    }
    ViewPoint from = t0 > 0.0 ? ViewPoint{a.x + t0 * dx, a.y + t0 * dy} : a;
    ViewPoint to = t1 < 1.0 ? ViewPoint{a.x + t1 * dx, a.y + t1 * dy} : b;
    // The drawing direction stays as given: the end point is the one a line leaves out.
    if (swapped)
        std::swap(from, to);
    m_Dc.MoveTo(truncateCoordinate(from.x), truncateCoordinate(from.y));
    m_Dc.LineTo(truncateCoordinate(to.x), truncateCoordinate(to.y));
}

void MeasureOverlay::polyline(const MeasureItem& item, bool closed, std::optional<Point> pointer)
{
    const int32_t n = item.countedPoints();
    for (int32_t i = 1; i < n; ++i)
        segment(toView(item.points[size_t(i - 1)]), toView(item.points[size_t(i)]));
    if (n == 0)
        return;
    const ViewPoint last = toView(item.points[size_t(n - 1)]);
    if (pointer)
        segment(last, {double(pointer->x), double(pointer->y)});
    else if (closed)
        segment(last, toView(item.points[0]));
}

void MeasureOverlay::DrawEllipse(MeasurePoint centre, double rx, double ry)
{
    selectStyle();
    ellipse(toView(centre), rx * m_Scale.sx, ry * m_Scale.sy);
}

void MeasureOverlay::ellipse(ViewPoint centre, double rx, double ry)
{
    // Centre and half-axes are whole pixels, as the arc's box is.
    const double cx = std::trunc(centre.x), cy = std::trunc(centre.y);
    rx = std::trunc(rx);
    ry = std::trunc(ry);
    if (!finite(cx, cy) || !finite(rx, ry) || rx <= 0.0 || ry <= 0.0)
        return;
    if (cx + rx < 0.0 || cx - rx > m_Width || cy + ry < 0.0 || cy - ry > m_Height)
        return;  // the box misses the view
    // A view wholly inside the ellipse shows none of its outline.
    const double corners[4][2] = {{0.0, 0.0}, {m_Width, 0.0}, {0.0, m_Height}, {m_Width, m_Height}};
    bool inside = true;
    for (const auto& c : corners) {
        const double u = (c[0] - cx) / rx, v = (c[1] - cy) / ry;
        inside = inside && std::sqrt(u * u + v * v) * std::min(rx, ry) < std::min(rx, ry) - kClipMargin;
    }
    if (inside)
        return;
    if (rx <= kArcRadiusLimit && ry <= kArcRadiusLimit) {
        m_Dc.Arc({int32_t(cx - rx), int32_t(cy - ry), int32_t(cx + rx), int32_t(cy + ry)});
        return;
    }
    // Too large for an arc: chords short enough to stay within half a pixel of the outline, over the
    // stretch of it that faces the view (the parameter angles of the view's corners, seen from the
    // centre, bound it when the centre lies outside the view).
    const double steps = std::clamp(std::ceil(3.2 * std::sqrt(std::max(rx, ry))), 64.0, 65536.0);
    const double lo = -kClipMargin, right = m_Width + kClipMargin, bottom = m_Height + kClipMargin;
    double from = 0.0, to = 2.0 * M_PI;
    if (cx < lo || cx > right || cy < lo || cy > bottom) {
        const auto parameter = [&](double x, double y) { return std::atan2(-(y - cy) / ry, (x - cx) / rx); };
        const double middle = parameter((lo + right) / 2.0, (lo + bottom) / 2.0);
        double low = 0.0, high = 0.0;
        for (const double x : {lo, right}) {
            for (const double y : {lo, bottom}) {
                const double d = std::remainder(parameter(x, y) - middle, 2.0 * M_PI);
                low = std::min(low, d);
                high = std::max(high, d);
            }
        }
        from = middle + low;
        to = middle + high;
    }
    const int count = std::max(1, int(std::ceil((to - from) / (2.0 * M_PI) * steps)));
    const double step = (to - from) / count;
    ViewPoint previous{cx + rx * std::cos(from), cy - ry * std::sin(from)};
    for (int i = 1; i <= count; ++i) {
        const double t = from + step * i;
        const ViewPoint next{cx + rx * std::cos(t), cy - ry * std::sin(t)};
        segment(previous, next);
        previous = next;
    }
}

void MeasureOverlay::circleThrough3(ViewPoint a, ViewPoint b, ViewPoint c)
{
    MeasurePoint centre;
    double radius = 0.0;
    circleThrough({a.x, a.y}, {b.x, b.y}, {c.x, c.y}, centre, radius);
    ellipse({centre.x, centre.y}, radius, radius);
}

void MeasureOverlay::circleInProgress(const MeasureItem& item, int32_t first, std::optional<Point> pointer)
{
    // The circle through the whole-pixel view positions of its first two points and its third point, or
    // the pointer while the third is not placed.
    const auto placed = [&](int32_t i) {
        const Point v = imageToView(item.point(i), m_Scale);
        return ViewPoint{double(v.x), double(v.y)};
    };
    const int32_t n = item.pointCount - first;
    if (n < 2)
        return;
    if (n >= 3)
        circleThrough3(placed(first), placed(first + 1), placed(first + 2));
    else if (pointer)
        circleThrough3(placed(first), placed(first + 1), {double(pointer->x), double(pointer->y)});
}

void MeasureOverlay::plusSigns(const MeasureItem& item, int32_t first, int32_t end)
{
    for (int32_t i = first; i < end; ++i) {
        const Point v = imageToView(item.point(i), m_Scale);
        const double x = v.x, y = v.y;
        segment({x - kPlusArm, y}, {x + kPlusArm, y});
        segment({x, y - kPlusArm}, {x, y + kPlusArm});
    }
}

void MeasureOverlay::baseLine(MeasurePoint a, MeasurePoint b)
{
    const Line line = lineThrough(a, b);
    if (line.slope == kVerticalSlope) {
        const double x = imageToView(a, m_Scale).x;
        segment({x, 0.0}, {x, m_Height});
    } else if (line.slope == kHorizontalSlope) {
        const double y = imageToView(a, m_Scale).y;
        segment({0.0, y}, {m_Width, y});
    } else {
        // From the left edge of the picture to its top (falling slope) or to its bottom row (rising).
        const double m = line.slope, c = line.intercept;
        const double endY = m < 0.0 ? 0.0 : double(m_Geometry.imageHeight);
        segment(toView({0.0, c}), toView({(endY - c) / m, endY}));
    }
}

void MeasureOverlay::perpendicular(const MeasureItem& item, std::optional<Point> pointer)
{
    const int32_t n = item.countedPoints();
    if (item.type == ToolPerpendicular) {
        if (n == 1 && pointer) {
            const Rect& view = m_Geometry.view;
            baseLine(item.point(0), windowToImage(view.left + pointer->x, view.top + pointer->y, m_Geometry));
        } else if (n >= 2) {
            const Line line = lineThrough(item.point(kBaseA), item.point(kBaseB));
            baseLine(item.point(kBaseA), item.point(kBaseB));
            for (int32_t k = kPicked; k < n; ++k)
                segment(toView(item.point(k)), toView(footOfPerpendicular(item.point(k), line)));
        }
        return;
    }
    baseLine(item.point(kBaseA), item.point(kBaseB));
    segment(toView(item.point(kPicked)), toView(footOfPicked(item)));
    // The blot a zero-length line of the 4-pixel round pen leaves: 4 x 4 pixels without their corners,
    // filled directly because the painter strokes nothing for a line without length.
    for (int32_t i : {kBaseA, kBaseB}) {
        const Point v = imageToView(item.point(i), m_Scale);
        if (v.x >= -kClipMargin && v.x <= m_Width + kClipMargin && v.y >= -kClipMargin &&
            v.y <= m_Height + kClipMargin) {
            constexpr int32_t h = kDotPenWidth / 2;
            m_Dc.FillRect({v.x - h + 1, v.y - h, v.x + h - 1, v.y + h}, m_LineColor);
            m_Dc.FillRect({v.x - h, v.y - h + 1, v.x + h, v.y + h - 1}, m_LineColor);
        }
    }
}

void MeasureOverlay::across(MeasurePoint a, MeasurePoint b, double halfWidth, MeasurePoint p)
{
    double nx = 0.0, ny = 0.0;
    if (acrossAxis(a, b, halfWidth, nx, ny))
        segment(toView({p.x + nx, p.y + ny}), toView({p.x - nx, p.y - ny}));
}

void MeasureOverlay::bandRect(MeasurePoint a, MeasurePoint b, double halfWidth)
{
    double nx = 0.0, ny = 0.0;
    if (!acrossAxis(a, b, halfWidth, nx, ny))
        return;
    const ViewPoint corners[4] = {toView({a.x + nx, a.y + ny}), toView({b.x + nx, b.y + ny}),
                                  toView({b.x - nx, b.y - ny}), toView({a.x - nx, a.y - ny})};
    for (int i = 0; i < 4; ++i)
        segment(corners[i], corners[(i + 1) % 4]);
}

void MeasureOverlay::edgeShape(const MeasureItem& item)
{
    const MeasurePoint a = item.point(0), b = item.point(1);
    switch (item.type) {
    case -ToolCaliper:
        // The search rectangle, its axis, and a tick across it at every edge found.
        bandRect(a, b, item.halfWidth);
        segment(toView(a), toView(b));
        for (const MeasurePoint& e : item.edges)
            across(a, b, item.halfWidth, e);
        break;
    case -ToolEdgeCircle: {
        double inner = 0.0, outer = 0.0;
        if (edgeRing(item, 1.0, inner, outer)) {
            const ViewPoint c = toView(item.center2);
            ellipse(c, m_Scale.sx * inner, m_Scale.sy * inner);
            ellipse(c, m_Scale.sx * outer, m_Scale.sy * outer);
        }
        if (item.edgeFound)
            ellipse(toView(item.center1), m_Scale.sx * item.radius1, m_Scale.sy * item.radius1);
        break;
    }
    case -ToolEdgeLine:
        bandRect(a, b, item.halfWidth);
        if (item.edgeFound)
            segment(toView(item.point(2)), toView(item.point(3)));
        break;
    default:
        break;
    }
}

void MeasureOverlay::labels(const MeasureItem& item)
{
    // A label starts at its anchor and runs right and down; one that starts far off the view shows nothing.
    constexpr int32_t kLongestLabel = 4096, kTallestLabel = 256;
    for (const OverlayLabel& label : measureLabels(item, m_Scale)) {
        const Point a = label.anchor;
        if (label.text.isEmpty() || a.x >= m_Width || a.y >= m_Height || a.x < -kLongestLabel || a.y < -kTallestLabel)
            continue;
        m_Dc.TextOut(a.x, a.y, label.text);
    }
}

void MeasureOverlay::DrawMeasureItem(const MeasureItem& item, std::optional<Point> pointer)
{
    selectStyle();
    drawItem(item, pointer);
}

void MeasureOverlay::selectStyle()
{
    // Once per call rather than per item: a pen change costs the painter more than a short line.
    m_Dc.SelectPen(1, m_LineColor);
    m_Dc.SetTextColor(m_TextColor);
    m_Dc.SetBkMode(Dc::Background::Transparent);
}

void MeasureOverlay::drawItem(const MeasureItem& item, std::optional<Point> pointer)
{
    if (item.countedPoints() == 0)
        return;
    // An inspected item shows its verdict in its line and text; the pen goes back for the next item.
    const Verdict verdict = item.isFinished() ? itemVerdict(item) : Verdict::None;
    if (verdict != Verdict::None) {
        const ColorRef line = m_LineColor, text = m_TextColor;
        m_LineColor = m_TextColor = verdict == Verdict::Pass ? kPassColor : kFailColor;
        selectStyle();
        drawShape(item, pointer);
        m_LineColor = line;
        m_TextColor = text;
        selectStyle();
        return;
    }
    drawShape(item, pointer);
}

void MeasureOverlay::drawShape(const MeasureItem& item, std::optional<Point> pointer)
{
    const int32_t n = item.pointCount;
    // Only an item under construction runs to the pointer.
    const std::optional<Point> band = item.isFinished() ? std::nullopt : pointer;
    switch (item.type) {
    case ToolLine:
    case -ToolLine:
    case ToolAngle:
    case -ToolAngle:
        polyline(item, false, band);
        break;
    case ToolArea:
    case -ToolArea:
        polyline(item, item.type == -ToolArea, band);
        break;
    case ToolCircle:
    case ToolEdgeCircle:
        circleInProgress(item, 0, band);
        if (n <= 2)
            plusSigns(item, 0, n);
        break;
    case ToolCircle2:
        circleInProgress(item, 0, band);
        if (n >= 5)
            circleInProgress(item, 3, band);
        if (n <= 2)
            plusSigns(item, 0, n);
        else if (n > 3 && n <= 5)
            plusSigns(item, 3, n);
        break;
    case -ToolCircle:
    case -ToolCircle2: {
        const ViewPoint c1 = toView(item.center1);
        ellipse(c1, m_Scale.sx * item.radius1, m_Scale.sy * item.radius1);
        if (item.type == -ToolCircle2) {
            const ViewPoint c2 = toView(item.center2);
            ellipse(c2, m_Scale.sx * item.radius2, m_Scale.sy * item.radius2);
            segment(c1, c2);
        }
        break;
    }
    case ToolPerpendicular:
    case -ToolPerpendicular:
        perpendicular(item, band);
        break;
    case ToolCaliper:
    case ToolEdgeLine:
        polyline(item, false, band);
        break;
    case -ToolCaliper:
    case -ToolEdgeCircle:
    case -ToolEdgeLine:
        edgeShape(item);
        break;
    default:
        break;
    }
    labels(item);
}

void MeasureOverlay::DrawMeasurements(const MeasureList& list, const AfterItems& after)
{
    selectStyle();
    for (const MeasureItem& item : list) {
        if (item.type != ToolNone && item.pointCount != 0)
            drawItem(item, std::nullopt);
    }
    if (after)
        after(m_Dc, m_Geometry);
}

void MeasureOverlay::DrawCurrentItem(const MeasureItem& item, std::optional<Point> pointer)
{
    if (item.type != ToolNone && item.pointCount != 0)
        DrawMeasureItem(item, pointer);
}
