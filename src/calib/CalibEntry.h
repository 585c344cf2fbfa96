// One calibration: a named pair of factors (units per picture pixel in X and Y) made by fitting a frame
// over an object of known size, and the unit texts the whole program writes results with.
#pragma once

#include <QString>

#include <cstdint>

// Unit codes of calibrations and results.
enum CalibUnit : int32_t { UnitCm = 0, UnitMm = 1, UnitUm = 2 };

// "cm", "mm" or "um"; empty for a code outside 0..2.
QString unitText(int32_t unit);

struct CalibEntry {
    int32_t position = 0;     // place in the table and in the combo box, 0..9
    QString name;
    double lengthX = 10.0;    // real size of the reference object, in unit
    double lengthY = 10.0;
    int32_t unit = UnitCm;
    double left = 0.0;        // the calibration frame in picture pixels
    double top = 0.0;
    double right = 200.0;
    double bottom = 200.0;
    int32_t dragMode = 0;     // frame drag: 0 none, 1 move, 2 top, 3 bottom, 4 left, 5 right edge
    double dragAnchorX = 0.0;
    double dragAnchorY = 0.0;
    double mppX = 0.05;       // units per pixel: lengthX / (right - left)
    double mppY = 0.05;       // lengthY / (bottom - top)

    // Recomputes mppX and mppY from the lengths and the frame; an axis with a frame of no extent, or whose
    // quotient is not finite, keeps its factor.
    void recomputeFactors();
};
