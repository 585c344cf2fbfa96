// The colour dialog's swatch clicks.
#include "dialogs/ColorSetModel.h"

namespace {

bool chooseFor(ColorRef& color, Point point, const Rect& swatch, const ColorSetModel::ColorChooser& choose)
{
    if (!swatch.contains(point.x, point.y) || !choose)
        return false;
    const std::optional<ColorRef> chosen = choose(color);
    if (!chosen)
        return false;
    color = *chosen & 0x00FFFFFF; // a COLORREF's top byte stays clear
    return true;
}

} // namespace

ColorSetModel::ColorSetModel(ColorRef text, ColorRef line)
    : m_Text(text)
    , m_Line(line)
{
}

bool ColorSetModel::release(Point point, const Rect& lineSwatch, const Rect& textSwatch, const ColorChooser& choose)
{
    const bool line = chooseFor(m_Line, point, lineSwatch, choose);
    const bool text = chooseFor(m_Text, point, textSwatch, choose);
    return line || text;
}
