// Drawing the calibration frame and the scale bar over the view picture. Both draw in view coordinates
// (origin at the view's top-left corner) through the same picture-to-view mapping as the measurements,
// so at every zoom and scroll they sit on the picture pixels they describe. They leave the Dc with their
// pen (and, for the bar, text colour and transparent background) selected.
#pragma once

#include "calib/CalibEntry.h"
#include "calib/ScaleData.h"
#include "imaging/BitmapHeader.h"
#include "imaging/ViewGeometry.h"

class Dc;

// The frame of entry as a 1-pixel rectangle in the line colour, with a small square mark at each of its
// five grab spots (centre and the middles of the four edges).
void DrawCalibFrame(Dc& dc, const CalibEntry& entry, const ViewGeometry& geometry, ColorRef line);

// The scale bar when it is visible and its lengths are finite: the horizontal bar ending at Pos with a
// tick at its left end (and at its right end for an X bar), the vertical bar of an X-Y bar, and the label
// "<size with two decimals><unit>" below the bar's middle in the text colour.
void DrawScaleBar(Dc& dc, const ScaleData& scale, const ViewGeometry& geometry, ColorRef line, ColorRef text);
