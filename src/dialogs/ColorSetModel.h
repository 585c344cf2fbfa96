// What the colour dialog does, without its widgets: the two overlay colours it edits (COLORREF,
// 0x00BBGGRR, as the settings keep them) and what a left-button release over its swatches does.
#pragma once

#include <functional>
#include <optional>

#include "imaging/BitmapHeader.h"
#include "imaging/Rect.h"

class ColorSetModel {
public:
    // The colour chooser, preset to a colour: the chosen colour, or nothing when it was cancelled.
    using ColorChooser = std::function<std::optional<ColorRef>(ColorRef preset)>;

    ColorSetModel(ColorRef text, ColorRef line);

    ColorRef text() const { return m_Text; }
    ColorRef line() const { return m_Line; }

    // The left button released at point (dialog coordinates): over the line swatch the chooser opens preset
    // to the line colour, then over the text swatch preset to the text colour; a chosen colour replaces the
    // one it was preset to. Returns whether a colour changed (the swatches need painting again).
    bool release(Point point, const Rect& lineSwatch, const Rect& textSwatch, const ColorChooser& choose);

private:
    ColorRef m_Text;
    ColorRef m_Line;
};
