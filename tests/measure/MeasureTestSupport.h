// Measurements made in tests the way the mouse makes them: a tool chosen, then its points placed.
#pragma once

#include <initializer_list>

#include "calib/CalibEntry.h"
#include "measure/MeasureItem.h"

inline MeasureItem building(MeasureTool tool, std::initializer_list<MeasurePoint> points)
{
    MeasureItem item;
    item.reset(tool);
    for (const MeasurePoint& p : points)
        item.addPoint(p);
    return item;
}

inline CalibEntry calibration(int32_t unit, double mppX, double mppY)
{
    CalibEntry calib;
    calib.unit = unit;
    calib.mppX = mppX;
    calib.mppY = mppY;
    return calib;
}
