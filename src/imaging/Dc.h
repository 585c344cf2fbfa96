// Dc: the drawing calls the viewer needs (pens, brushes, lines, polygons, ellipses, text, clip regions,
// block copies), in top-down coordinates, over either a DibImage or a painter someone else owns (a widget).
// On a DibImage, fills and block copies write the pixels directly; strokes and text go through a QPainter on
// the image's own memory, whose rows are put top-down for as long as that painter is needed and put back
// when the Dc ends. Drawing is aliased, as on a bitmap device.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include <optional>

#include "imaging/BitmapHeader.h"
#include "imaging/Rect.h"

class DibImage;

class Dc {
public:
    enum class Background { Transparent, Opaque };

    explicit Dc(DibImage& target);
    explicit Dc(QPainter& painter);
    ~Dc();
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;

    // Solid pen; width 0 or 1 is one pixel wide.
    void SelectPen(int width, ColorRef color);
    void SelectNullPen();
    void SelectBrush(ColorRef color);
    void SelectNullBrush();
    void SelectFont(const QFont& font);
    QFont CurrentFont() const { return m_Font; }
    void SetTextColor(ColorRef color);
    void SetBkMode(Background mode);
    void SetBkColor(ColorRef color);

    void MoveTo(int32_t x, int32_t y);
    // A line from the current position to (x, y) with the pen; (x, y) becomes the current position.
    void LineTo(int32_t x, int32_t y);
    // Outline with the pen, inside filled with the brush (alternate fill rule).
    void Polygon(const Point* points, int count);
    // The ellipse inscribed in box (right and bottom exclusive): pen outline, brush inside.
    void Ellipse(const Rect& box);
    // The outline of the ellipse inscribed in box, with the pen only.
    void Arc(const Rect& box);
    // Fills rect (right and bottom exclusive) with a solid colour, within the clip region.
    void FillRect(const Rect& rect, ColorRef color);
    // Text whose cell's top-left corner is (x, y), in the text colour, upright.
    void TextOut(int32_t x, int32_t y, const QString& text);
    Size GetTextExtent(const QString& text) const;

    void SetClipEllipse(const Rect& box);
    void SetClipRect(const Rect& rect);
    void ClearClip();

    // Copies w x h pixels of src from (sx, sy) to (x, y); an 8-bit source goes through its colour table.
    void BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, const DibImage& src, int32_t sx, int32_t sy);
    // Nearest-neighbour stretch of src's (sx, sy, sw, sh) onto (x, y, w, h).
    void StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, const DibImage& src, int32_t sx, int32_t sy,
                    int32_t sw, int32_t sh);

private:
    QPainter& painter();
    void applyState();
    QColor toColor(ColorRef color) const;
    QPen makePen() const;
    void copyRows(int32_t x, int32_t y, int32_t w, int32_t h, const DibImage& src, int32_t sx, int32_t sy,
                  int32_t sw, int32_t sh);
    uint8_t* targetRow(int32_t y);

    DibImage* m_Image = nullptr;
    QPainter* m_External = nullptr;
    QPainter m_Own;
    QImage m_View;
    bool m_RowsTopDown = false;

    std::optional<std::pair<int, ColorRef>> m_Pen{{1, 0}};
    std::optional<ColorRef> m_Brush{0xFFFFFF};
    QFont m_Font;
    ColorRef m_TextColor = 0;
    ColorRef m_BkColor = 0xFFFFFF;
    Background m_BkMode = Background::Transparent;
    std::optional<QRegion> m_Clip;
    Point m_Position;
};
