// The overlay of measurements: every finished item, the item being built with its rubber band to the
// pointer, and their result labels, drawn into a Dc whose origin is the view's top-left corner. The same
// renderer serves the live view (the view-sized picture and the geometry it was composed with) and a still
// save (the picture itself at zoom 1, no offsets, no pointer).
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "imaging/BitmapHeader.h"
#include "imaging/Rect.h"
#include "measure/Geometry.h"
#include "measure/MeasureItem.h"

class Dc;
class MeasureList;

// One result label: its text's top-left corner in view pixels and the text.
struct OverlayLabel {
    Point anchor;
    QString text;
    friend bool operator==(const OverlayLabel&, const OverlayLabel&) = default;
};

// The labels of a finished item in drawing order, written with the item's own unit: lengths at the
// midpoint, circles at their centres and the distance of two circles midway between them, an area 20
// pixels below the mean of its vertices, a perpendicular 20 pixels below the middle of its perpendicular,
// an angle at the mean of its points, a caliper 20 pixels below the middle of its segment, an edge circle at
// its fitted centre, an edge line 20 pixels below the middle of its band (empty where it found nothing). None
// for an unfinished item or one without points.
std::vector<OverlayLabel> measureLabels(const MeasureItem& item, const ViewScale& scale);

class MeasureOverlay {
public:
    // Drawn after the items, over the same geometry (the scale bar goes here).
    using AfterItems = std::function<void(Dc&, const ViewGeometry&)>;

    // geometry: the mapping the picture under the overlay was composed with; its view size bounds the
    // drawing and its picture height ends sloping base lines. Colours are 0x00BBGGRR; a finished item with
    // a tolerance is drawn, line and text, in kPassColor or kFailColor by its verdict instead.
    MeasureOverlay(Dc& dc, const ViewGeometry& geometry, ColorRef lineColor, ColorRef textColor);

    // One item, finished or not; pointer (view pixels) is where the rubber band of an unfinished item runs
    // to, none for no rubber band.
    void DrawMeasureItem(const MeasureItem& item, std::optional<Point> pointer = std::nullopt);
    // Every item of the list with a type and points, in list order, then after.
    void DrawMeasurements(const MeasureList& list, const AfterItems& after = {});
    // The item being built, when it has a tool and points.
    void DrawCurrentItem(const MeasureItem& item, std::optional<Point> pointer);
    // The outline of an ellipse about a picture point, half-axes in picture pixels, in the line colour.
    void DrawEllipse(MeasurePoint centre, double rx, double ry);

    const ViewScale& scale() const { return m_Scale; }

private:
    struct ViewPoint {
        double x = 0.0;
        double y = 0.0;
    };

    void selectStyle();
    void drawItem(const MeasureItem& item, std::optional<Point> pointer);
    void drawShape(const MeasureItem& item, std::optional<Point> pointer);
    ViewPoint toView(MeasurePoint p) const;
    void segment(ViewPoint a, ViewPoint b);
    void polyline(const MeasureItem& item, bool closed, std::optional<Point> pointer);
    void ellipse(ViewPoint centre, double rx, double ry);
    void circleThrough3(ViewPoint a, ViewPoint b, ViewPoint c);
    void circleInProgress(const MeasureItem& item, int32_t first, std::optional<Point> pointer);
    void plusSigns(const MeasureItem& item, int32_t first, int32_t end);
    void baseLine(MeasurePoint a, MeasurePoint b);
    void perpendicular(const MeasureItem& item, std::optional<Point> pointer);
    void labels(const MeasureItem& item);
    // The rectangle reaching halfWidth either side of the axis from a to b, and a line across it at p.
    void bandRect(MeasurePoint a, MeasurePoint b, double halfWidth);
    void across(MeasurePoint a, MeasurePoint b, double halfWidth, MeasurePoint p);
    void edgeShape(const MeasureItem& item);

    Dc& m_Dc;
    ViewGeometry m_Geometry;
    ViewScale m_Scale;
    double m_Width = 0.0;   // view size in pixels
    double m_Height = 0.0;
    ColorRef m_LineColor;
    ColorRef m_TextColor;
};
