#include "measure/Reticle.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

#include "calib/CalibEntry.h"
#include "imaging/Dc.h"
#include "measure/MeasureLayer.h"
#include "measure/MeasureOverlay.h"
#include "platform/PrivateProfile.h"

namespace {

constexpr const char* kSection = "OVERLAY";

// Grid lines and ticks at least this many view pixels apart; closer ones are thinned by tens.
constexpr double kMinGridGap = 8.0;
constexpr double kMinTickGap = 4.0;
// Half-lengths of the ticks across the crosshair: every tick, every fifth, every tenth.
constexpr int32_t kTick = 3;
constexpr int32_t kTickFive = 5;
constexpr int32_t kTickTen = 8;
// Labels keep this far from the view's edge, their line and the label before them.
constexpr int32_t kLabelInset = 2;
constexpr int32_t kLabelGap = 6;
// Beyond this many lines something is wrong with the step: nothing is drawn rather than hang the paint.
constexpr double kMaxLines = 20000.0;

double micronsPer(int32_t unit)
{
    switch (unit) {
    case UnitCm:
        return 1e4;
    case UnitMm:
        return 1e3;
    case UnitUm:
        return 1.0;
    default:
        return 0.0;
    }
}

// The step widened by tens until it is at least gap view pixels at this scale; 0 when it cannot be.
double thinned(double stepPixels, double viewPerPixel, double gap)
{
    if (!(stepPixels > 0.0) || !(viewPerPixel > 0.0) || !std::isfinite(stepPixels))
        return 0.0;
    int widened = 0;
    while (stepPixels * viewPerPixel < gap && widened++ < 12)
        stepPixels *= 10.0;
    return stepPixels * viewPerPixel >= gap ? stepPixels : 0.0;
}

QString valueText(double v, const QString& unit)
{
    // Sums of steps carry rounding noise: six significant digits are plenty for a gauge.
    return QString::number(std::abs(v) < 1e-9 ? 0.0 : v, 'g', 6) + unit;
}

// The reticle and grid in view pixels: the picture's visible part, and picture to view mapping.
class OverlayPen {
public:
    OverlayPen(Dc& dc, const ViewGeometry& g)
        : m_Dc(dc)
        , m_Scale(viewScale(g))
    {
        // The picture's part in sight, in picture pixels.
        m_Left = std::max(0.0, -m_Scale.offsetX);
        m_Top = std::max(0.0, -m_Scale.offsetY);
        m_Right = m_Scale.sx > 0.0 ? std::min(double(g.imageWidth), g.view.width() / m_Scale.sx - m_Scale.offsetX) : 0.0;
        m_Bottom
            = m_Scale.sy > 0.0 ? std::min(double(g.imageHeight), g.view.height() / m_Scale.sy - m_Scale.offsetY) : 0.0;
        m_ViewLeft = x(m_Left);
        m_ViewTop = y(m_Top);
        m_ViewRight = x(m_Right);
        m_ViewBottom = y(m_Bottom);
    }

    bool empty() const { return !(m_Right > m_Left) || !(m_Bottom > m_Top); }
    int32_t x(double px) const { return imageToView({ px, 0.0 }, m_Scale).x; }
    int32_t y(double py) const { return imageToView({ 0.0, py }, m_Scale).y; }
    const ViewScale& scale() const { return m_Scale; }

    // Calls at(k, position) for every k with origin + k * step within [from, to).
    template <typename Fn> static void steps(double origin, double step, double from, double to, Fn&& at)
    {
        if (!(step > 0.0))
            return;
        const double first = std::ceil((from - origin) / step);
        const double last = std::floor((to - origin) / step);
        if (!(last - first < kMaxLines))
            return;
        for (double k = first; k <= last; ++k)
            if (const double p = origin + k * step; p >= from && p < to)
                at(int64_t(k), p);
    }

    void vertical(int32_t vx, int32_t top, int32_t bottom)
    {
        m_Dc.MoveTo(vx, top);
        m_Dc.LineTo(vx, bottom);
    }
    void horizontal(int32_t vy, int32_t left, int32_t right)
    {
        m_Dc.MoveTo(left, vy);
        m_Dc.LineTo(right, vy);
    }

    double m_Left = 0, m_Top = 0, m_Right = 0, m_Bottom = 0;
    int32_t m_ViewLeft = 0, m_ViewTop = 0, m_ViewRight = 0, m_ViewBottom = 0;

private:
    Dc& m_Dc;
    ViewScale m_Scale;
};

void drawGrid(Dc& dc, OverlayPen& pen, const OverlayOptions& o, const OverlayScale& s, PicturePoint centre)
{
    const double stepX = thinned(o.gridSpacing * s.pixelsX, pen.scale().sx, kMinGridGap);
    const double stepY = thinned(o.gridSpacing * s.pixelsY, pen.scale().sy, kMinGridGap);
    int32_t labelEnd = INT32_MIN;
    OverlayPen::steps(centre.x, stepX, pen.m_Left, pen.m_Right, [&](int64_t k, double px) {
        const int32_t vx = pen.x(px);
        pen.vertical(vx, pen.m_ViewTop, pen.m_ViewBottom);
        const QString label = valueText(double(k) * stepX / s.pixelsX, s.unit);
        if (vx + kLabelInset >= labelEnd) {
            dc.TextOut(vx + kLabelInset, pen.m_ViewTop + kLabelInset, label);
            labelEnd = vx + kLabelInset + dc.GetTextExtent(label).cx + kLabelGap;
        }
    });
    labelEnd = INT32_MIN;
    const int32_t textHeight = dc.GetTextExtent(QStringLiteral("0")).cy;
    OverlayPen::steps(centre.y, stepY, pen.m_Top, pen.m_Bottom, [&](int64_t k, double py) {
        const int32_t vy = pen.y(py);
        pen.horizontal(vy, pen.m_ViewLeft, pen.m_ViewRight);
        if (vy + kLabelInset >= labelEnd) {
            dc.TextOut(pen.m_ViewLeft + kLabelInset, vy + kLabelInset, valueText(double(k) * stepY / s.pixelsY, s.unit));
            labelEnd = vy + kLabelInset + textHeight + kLabelGap;
        }
    });
}

int32_t tickLength(int64_t k)
{
    return k % 10 == 0 ? kTickTen : k % 5 == 0 ? kTickFive : kTick;
}

void drawReticle(Dc& dc, OverlayPen& pen, const OverlayOptions& o, const OverlayScale& s, PicturePoint centre,
    MeasureOverlay& shapes)
{
    const int32_t cx = pen.x(centre.x);
    const int32_t cy = pen.y(centre.y);
    if (centre.y >= pen.m_Top && centre.y < pen.m_Bottom)
        pen.horizontal(cy, pen.m_ViewLeft, pen.m_ViewRight);
    if (centre.x >= pen.m_Left && centre.x < pen.m_Right)
        pen.vertical(cx, pen.m_ViewTop, pen.m_ViewBottom);
    if (o.ticks) {
        const double stepX = thinned(o.tickStep * s.pixelsX, pen.scale().sx, kMinTickGap);
        const double stepY = thinned(o.tickStep * s.pixelsY, pen.scale().sy, kMinTickGap);
        OverlayPen::steps(centre.x, stepX, pen.m_Left, pen.m_Right, [&](int64_t k, double px) {
            const int32_t l = tickLength(k);
            pen.vertical(pen.x(px), cy - l, cy + l + 1);
        });
        OverlayPen::steps(centre.y, stepY, pen.m_Top, pen.m_Bottom, [&](int64_t k, double py) {
            const int32_t l = tickLength(k);
            pen.horizontal(pen.y(py), cx - l, cx + l + 1);
        });
    }
    for (const double r : o.radii) {
        const double rx = r * s.pixelsX;
        const double ry = r * s.pixelsY;
        shapes.DrawEllipse(centre, rx, ry);
        dc.TextOut(pen.x(centre.x + rx) + kLabelInset, cy + kLabelInset, valueText(r, s.unit));
    }
}

} // namespace

bool OverlayOptions::usableLength(double v)
{
    return std::isfinite(v) && v > 0.0;
}

OverlayOptions OverlayOptions::Load(const ProfileFile& file)
{
    OverlayOptions o;
    const auto number = [&](const char* key, double& out, auto&& valid) {
        if (const auto text = file.value(kSection, key)) {
            bool ok = false;
            const double v = QString::fromStdString(*text).toDouble(&ok);
            if (ok && valid(v))
                out = v;
        }
    };
    const auto finite = [](double v) { return std::isfinite(v); };
    o.reticle = file.intValue(kSection, "Reticle", 0) != 0;
    o.grid = file.intValue(kSection, "Grid", 0) != 0;
    o.reference = file.intValue(kSection, "Reference", 0) != 0;
    o.ticks = file.intValue(kSection, "Ticks", 1) != 0;
    o.burnIn = file.intValue(kSection, "BurnIn", 0) != 0;
    o.difference = file.intValue(kSection, "Difference", 0) != 0;
    number("CentreX", o.centreX, finite);
    number("CentreY", o.centreY, finite);
    number("GridSpacing", o.gridSpacing, usableLength);
    number("TickStep", o.tickStep, usableLength);
    number("ShiftX", o.shiftX, finite);
    number("ShiftY", o.shiftY, finite);
    if (const int unit = file.intValue(kSection, "Unit", o.unit); unit == kPixelUnit || micronsPer(unit) > 0.0)
        o.unit = unit;
    if (const int opacity = file.intValue(kSection, "Opacity", o.opacity); opacity >= 0 && opacity <= 100)
        o.opacity = opacity;
    if (const auto radii = file.value(kSection, "Radii")) {
        std::vector<double> values;
        for (const QString& part : QString::fromStdString(*radii).split(u',', Qt::SkipEmptyParts)) {
            bool ok = false;
            const double v = part.trimmed().toDouble(&ok);
            if (ok && usableLength(v) && values.size() < kMaxRadii)
                values.push_back(v);
        }
        o.radii = values; // an empty list is a reticle without circles
    }
    o.referencePath = QString::fromStdString(file.value(kSection, "ReferencePicture").value_or(std::string()));
    return o;
}

void OverlayOptions::save(ProfileFile& file) const
{
    const auto flag = [&](const char* key, bool on) { file.setValue(kSection, key, on ? "1" : "0"); };
    const auto number = [&](const char* key, double v) {
        file.setValue(kSection, key, QString::number(v, 'g', 17).toStdString());
    };
    flag("Reticle", reticle);
    flag("Grid", grid);
    flag("Reference", reference);
    flag("Ticks", ticks);
    flag("BurnIn", burnIn);
    flag("Difference", difference);
    number("CentreX", centreX);
    number("CentreY", centreY);
    number("GridSpacing", gridSpacing);
    number("TickStep", tickStep);
    number("ShiftX", shiftX);
    number("ShiftY", shiftY);
    file.setValue(kSection, "Unit", std::to_string(unit));
    file.setValue(kSection, "Opacity", std::to_string(opacity));
    QStringList list;
    for (const double r : radii)
        list << QString::number(r, 'g', 17);
    file.setValue(kSection, "Radii", list.join(u',').toStdString());
    file.setValue(kSection, "ReferencePicture", referencePath.toStdString());
}

OverlayScale overlayScale(int32_t unit, double mppX, double mppY, int32_t calibUnit)
{
    const double from = micronsPer(unit);
    const double to = micronsPer(calibUnit);
    const double x = from / (mppX * to);
    const double y = from / (mppY * to);
    if (unit == kPixelUnit || !(to > 0.0) || !std::isfinite(x) || !std::isfinite(y) || !(x > 0.0) || !(y > 0.0))
        return {};
    return { x, y, unitText(unit) };
}

PicturePoint reticleCentre(const OverlayOptions& o, int32_t width, int32_t height)
{
    if (o.centreX < 0.0 || o.centreY < 0.0)
        return { width / 2.0, height / 2.0 };
    return { std::min(o.centreX, double(width)), std::min(o.centreY, double(height)) };
}

void addToDigest(Digest& digest, const OverlayOptions& o, const OverlayScale& s)
{
    digest.add(o.reticle).add(o.grid).add(o.ticks).add(o.centreX).add(o.centreY).add(o.gridSpacing).add(o.tickStep);
    digest.add(s.pixelsX).add(s.pixelsY).add(s.unit.size());
    for (const QChar c : s.unit)
        digest.add(c.unicode());
    for (const double r : o.radii)
        digest.add(r);
    digest.add(o.radii.size());
}

void DrawReticleAndGrid(Dc& dc, const OverlayOptions& o, const OverlayScale& s, const ViewGeometry& geometry,
    ColorRef line, ColorRef text)
{
    if (!o.reticle && !o.grid)
        return;
    OverlayPen pen(dc, geometry);
    if (pen.empty())
        return;
    // The ellipse drawing of the measurements sets the pen, the text colour and the labels' font.
    MeasureOverlay shapes(dc, geometry, line, text);
    dc.SelectPen(1, line);
    dc.SetTextColor(text);
    dc.SetBkMode(Dc::Background::Transparent);
    const PicturePoint centre = reticleCentre(o, geometry.imageWidth, geometry.imageHeight);
    if (o.grid)
        drawGrid(dc, pen, o, s, centre);
    if (o.reticle)
        drawReticle(dc, pen, o, s, centre, shapes);
}
