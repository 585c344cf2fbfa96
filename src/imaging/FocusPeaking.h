// Focus peaking: the edges of the picture that are in focus, tinted over the composed view picture so that the
// focus knob can be turned until the detail that matters lights up.
//
// An edge pixel has a Sobel gradient of the lightness ((max + min) / 2 of a colour pixel, the grey level of a
// grey one) above a threshold set from the frame's own noise (a multiple of the median gradient over a sample
// of the whole frame), is the gradient peak across the edge (so the halo a sharpening filter leaves beside an
// edge stays dark), and is steep: most of the step that a span of seven pixels across the edge makes lies
// within the three pixels around it (so a blurred edge stays dark however strong it is).
#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

#include "imaging/BitmapHeader.h"
#include "imaging/ViewGeometry.h"

class DibImage;

class FocusPeaking {
public:
    // Paints colour (a ColorRef, 0x00BBGGRR, as the settings keep colours) over the pixels of view that show an
    // edge pixel of shown. view is what ViewComposer::Compose made of shown with geometry (Format_RGB32, the
    // view's size); its mapping decides which view pixels show which picture pixel. Only the part of the
    // picture the view shows is searched. At fit, where one view pixel stands for several picture pixels, the
    // search runs on a grid of every step()-th picture pixel, and an edge at a grid point tints every view
    // pixel that shows a picture pixel of its cell. Returns the number of edge pixels found.
    int Tint(const DibImage& shown, const ViewGeometry& geometry, QImage& view, ColorRef colour);

    // The grid step and the gradient threshold of the last Tint.
    int32_t step() const { return m_Step; }
    int32_t threshold() const { return m_Threshold; }

private:
    bool makeGrid(const DibImage& shown, const ViewGeometry& geometry);
    void findEdges(bool vector);
    bool isEdge(int32_t x, int32_t y, const uint16_t* above, const uint16_t* row, const uint16_t* below) const;
    void paint(QImage& view, ColorRef colour);

    std::vector<int32_t> m_ViewColumns, m_ViewRows; // the composer's mapping: picture column / row per view one
    int32_t m_Step = 1;
    int32_t m_Threshold = 0;
    int32_t m_OriginX = 0, m_OriginY = 0; // the picture pixel of grid point (0, 0)
    int32_t m_Width = 0, m_Height = 0;    // of the grid
    std::vector<uint8_t> m_Light;         // the lightness at every grid point, row after row
    std::vector<uint8_t> m_RowLight;      // a whole picture row's lightness, picked from at a step
    std::vector<uint16_t> m_Gradient;     // three rows of gradient magnitudes, used in turn
    std::vector<int32_t> m_Edges;         // the grid columns of the edges, row after row
    std::vector<int32_t> m_RowEdges;      // where each grid row's edges start in m_Edges (one more entry)
    std::vector<int32_t> m_CellFirst, m_CellEnd; // the view columns [first, end) showing each grid column
};
