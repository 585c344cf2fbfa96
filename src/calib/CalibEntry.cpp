// Factors and unit texts of a calibration.
#include "calib/CalibEntry.h"

#include <cmath>

QString unitText(int32_t unit)
{
    switch (unit) {
    case UnitCm:
        return QStringLiteral("cm");
    case UnitMm:
        return QStringLiteral("mm");
    case UnitUm:
        return QStringLiteral("um");
    default:
        return {};
    }
}

void CalibEntry::recomputeFactors()
{
    // A frame of no extent keeps the stored factor; so does one so thin (or a length so large, as a settings
    // file may hold) that the quotient is not finite: every result would otherwise read "inf".
    const double width = right - left;
    const double height = bottom - top;
    if (width != 0.0 && std::isfinite(lengthX / width))
        mppX = lengthX / width;
    if (height != 0.0 && std::isfinite(lengthY / height))
        mppY = lengthY / height;
}
