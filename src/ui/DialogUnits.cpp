// Dialog units to pixels.
#include "ui/DialogUnits.h"

namespace {

// MulDiv of a dialog-unit value by the base unit over its divisor, rounded half up.
int scaleRounded(int du, int base, int divisor)
{
    return (du * base * 2 + divisor) / (2 * divisor);
}

} // namespace

int DialogUnitsToPixelsX(int du)
{
    return scaleRounded(du, kBaseUnitX, 4);
}

int DialogUnitsToPixelsY(int du)
{
    return scaleRounded(du, kBaseUnitY, 8);
}
