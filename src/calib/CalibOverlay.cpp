// The calibration frame and the scale bar, drawn over the view.
#include "calib/CalibOverlay.h"

#include <algorithm>

#include "calib/ScaleBar.h"
#include "imaging/Dc.h"

namespace {

// Half the side of a grab-spot mark, in view pixels.
constexpr int32_t kMarkHalf = 2;
// Half the length of the ticks across the scale bar's ends, in picture pixels.
constexpr double kTickHalf = 5.0;
// Where the scale label's top-left corner sits from the bar's middle, in picture pixels.
constexpr double kLabelLeft = 30.0;
constexpr double kLabelBelow = 15.0;

// Draws picture-space lines on the view. Every line is axis-parallel; it is drawn from its lower to its
// higher coordinate and one pixel past the end, so both end pixels are set whichever way it was given.
class ViewPen {
public:
    ViewPen(Dc& dc, const ViewGeometry& geometry)
        : m_Dc(dc)
        , m_Scale(viewScale(geometry))
    {
    }

    Point at(double x, double y) const { return imageToView({ x, y }, m_Scale); }
    void line(double x1, double y1, double x2, double y2) { span(at(x1, y1), at(x2, y2)); }
    void span(Point a, Point b)
    {
        const Point low { std::min(a.x, b.x), std::min(a.y, b.y) };
        const Point high { std::max(a.x, b.x), std::max(a.y, b.y) };
        m_Dc.MoveTo(low.x, low.y);
        if (low.y == high.y)
            m_Dc.LineTo(high.x + 1, low.y);
        else
            m_Dc.LineTo(low.x, high.y + 1);
    }

private:
    Dc& m_Dc;
    ViewScale m_Scale;
};

} // namespace

void DrawCalibFrame(Dc& dc, const CalibEntry& e, const ViewGeometry& geometry, ColorRef line)
{
    ViewPen pen(dc, geometry);
    dc.SelectPen(1, line);
    const Point a = pen.at(e.left, e.top);
    const Point b = pen.at(e.right, e.bottom);
    pen.span(a, { b.x, a.y });
    pen.span({ a.x, b.y }, b);
    pen.span(a, { a.x, b.y });
    pen.span({ b.x, a.y }, b);

    const double cx = e.left + (e.right - e.left) * 0.5;
    const double cy = e.top + (e.bottom - e.top) * 0.5;
    const Point spots[]
        = { pen.at(cx, cy), pen.at(cx, e.top), pen.at(cx, e.bottom), pen.at(e.left, cy), pen.at(e.right, cy) };
    for (const Point& p : spots)
        dc.FillRect({ p.x - kMarkHalf, p.y - kMarkHalf, p.x + kMarkHalf + 1, p.y + kMarkHalf + 1 }, line);
}

void DrawScaleBar(Dc& dc, const ScaleData& s, const ViewGeometry& geometry, ColorRef line, ColorRef text)
{
    if (!s.Visible)
        return;
    const std::optional<ScaleBarLengths> lengths = scaleBarLengths(s);
    if (!lengths)
        return;
    ViewPen pen(dc, geometry);
    dc.SelectPen(1, line);
    const double px = s.Pos.x;
    const double py = s.Pos.y;
    const double left = px - lengths->horizontal;
    pen.line(px, py, left, py);
    pen.line(left, py - kTickHalf, left, py + kTickHalf);
    if (s.Type == ScaleBarXY) {
        const double top = py - lengths->vertical;
        pen.line(px, py, px, top);
        pen.line(px - kTickHalf, top, px + kTickHalf, top);
    } else {
        pen.line(px, py - kTickHalf, px, py + kTickHalf);
    }
    dc.SetTextColor(text);
    dc.SetBkMode(Dc::Background::Transparent);
    const Point label = pen.at(px - lengths->horizontal * 0.5 - kLabelLeft, py + kLabelBelow);
    dc.TextOut(label.x, label.y, QString::asprintf("%.2f", double(s.Size.cx)) + unitText(s.unit));
}
