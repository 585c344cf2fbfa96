// What the scale dialog does to the bar, without its widgets: every change acts on the bar at once, OK
// keeps them, Cancel puts back what the dialog edits (shown, type, anchor, sizes) as it was at opening.
// The unit and factors are not the dialog's: a calibration change made while it is open stays.
#pragma once

#include <cstdint>

#include "calib/ScaleData.h"

class ScaleDlgModel {
public:
    // Starts editing data on a width x height picture and remembers how the bar was.
    void open(ScaleData* data, int32_t width, int32_t height);
    void close() { m_Data = nullptr; }
    ScaleData* data() const { return m_Data; }
    // The bar as it was at opening.
    const ScaleData& saved() const { return m_Saved; }

    void setVisible(bool visible);
    void setType(int32_t type);
    // Places the bar by a placement of the position combo (ScalePlacement) for the edited sizes, which
    // become the bar's sizes.
    void place(int32_t placement, ::Size sizes);
    // OK: the edited sizes become the bar's; the dialog is done with the bar.
    void ok(::Size sizes);
    // Cancel: shown, type, anchor and sizes as at opening; the dialog is done with the bar.
    void cancel();

private:
    ScaleData* m_Data = nullptr;
    ScaleData m_Saved;
    int32_t m_Width = 0;
    int32_t m_Height = 0;
};
