// The mouse over the thumbnail strip: a left-button drag scrolls it a thumbnail at a time, the pointer turns
// into a hand over a thumbnail, a double click opens one, a right click asks for its menu, and the wheel
// scrolls. The window forwards the pointer's x and the thumbnail under it and carries out what comes back;
// this class touches no widget.
#pragma once

#include <Qt>

#include <cstdint>
#include <optional>

// The thumbnail strip's scroll bar as it stands.
struct StripState {
    int32_t scroll = 0;     // first thumbnail shown
    int32_t lastScroll = 0; // the highest position the bar takes
    int32_t step = 146;     // a thumbnail and its gap: a drag this far scrolls by one
};

struct StripEffects {
    std::optional<Qt::CursorShape> cursor; // none leaves the cursor to the view
    bool repaint = false;                  // the strip needs painting again
    std::optional<int32_t> scroll;         // new position of the strip's scroll bar
    int32_t open = -1;                     // open this thumbnail's picture
    int32_t menu = -1;                     // show the thumbnail menu for this thumbnail at the pointer
};

class StripMouse {
public:
    // Cursor shown over the thumbnails.
    static constexpr Qt::CursorShape kHandCursor = Qt::PointingHandCursor;

    // Each takes the pointer's client x and the thumbnail under the pointer (-1: none).
    StripEffects OnLButtonDown(int32_t x, int32_t thumbnail);
    StripEffects OnMouseMove(int32_t x, int32_t thumbnail, const StripState& strip);
    void OnLButtonUp() { m_Drag.active = false; }
    static StripEffects OnLButtonDblClk(int32_t thumbnail);
    static StripEffects OnRButtonDown(int32_t thumbnail);
    // Each notch away from the user shows earlier thumbnails.
    static StripEffects OnWheel(int32_t notches, const StripState& strip);

    bool dragging() const { return m_Drag.active; }

private:
    struct Drag {
        bool active = false;
        int32_t lastX = 0; // where the last scroll step was taken
    };
    Drag m_Drag;
};
