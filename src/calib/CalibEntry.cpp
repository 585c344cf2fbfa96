// Factors and unit texts of a calibration.
#include "calib/CalibEntry.h"

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
    const double width = right - left;
    const double height = bottom - top;
    if (width != 0.0)
        mppX = lengthX / width;
    if (height != 0.0)
        mppY = lengthY / height;
}
