#include "files/StripMouse.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The bar's position moved by delta and kept on the bar; nothing when it does not move.
std::optional<int32_t> scrolledBy(const StripState& strip, int32_t delta)
{
    const int32_t position = std::clamp(strip.scroll + delta, 0, std::max(strip.lastScroll, 0));
    if (position == strip.scroll)
        return std::nullopt;
    return position;
}

} // namespace

StripEffects StripMouse::OnLButtonDown(int32_t x, int32_t thumbnail)
{
    StripEffects fx;
    if (thumbnail >= 0) {
        m_Drag = { true, x };
        fx.cursor = kHandCursor;
    }
    return fx;
}

StripEffects StripMouse::OnMouseMove(int32_t x, int32_t thumbnail, const StripState& strip)
{
    StripEffects fx;
    if (thumbnail >= 0)
        fx.cursor = kHandCursor;
    if (m_Drag.active && std::abs(m_Drag.lastX - x) > strip.step) {
        // Dragging to the right brings earlier thumbnails in, as if the strip were pulled along.
        fx.scroll = scrolledBy(strip, x >= m_Drag.lastX ? -1 : 1);
        m_Drag.lastX = x;
        fx.repaint = true;
    }
    return fx;
}

StripEffects StripMouse::OnLButtonDblClk(int32_t thumbnail)
{
    StripEffects fx;
    if (thumbnail >= 0) {
        fx.cursor = kHandCursor;
        fx.open = thumbnail;
    }
    return fx;
}

StripEffects StripMouse::OnRButtonDown(int32_t thumbnail)
{
    StripEffects fx;
    if (thumbnail >= 0)
        fx.menu = thumbnail;
    return fx;
}

StripEffects StripMouse::OnWheel(int32_t notches, const StripState& strip)
{
    StripEffects fx;
    fx.scroll = scrolledBy(strip, -notches);
    fx.repaint = fx.scroll.has_value();
    return fx;
}
