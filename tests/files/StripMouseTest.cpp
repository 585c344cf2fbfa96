// The mouse over the thumbnail strip: a left drag scrolls a thumbnail step at a time, the wheel scrolls
// within the bar, a double click opens and a right click asks for the menu of the thumbnail under the
// pointer.
#include <gtest/gtest.h>

#include "files/StripMouse.h"

TEST(StripMouse, ADragScrollsByOneThumbnail_TheWheelWithinTheBar_ClicksActOnTheThumbnail)
{
    StripMouse m;
    const StripState strip { 3, 10, 146 };
    EXPECT_EQ(m.OnLButtonDown(100, 4).cursor, StripMouse::kHandCursor);
    EXPECT_TRUE(m.dragging());
    EXPECT_FALSE(m.OnMouseMove(246, -1, strip).scroll); // not quite a thumbnail
    EXPECT_EQ(m.OnMouseMove(247, -1, strip).scroll, 2); // pulled right: earlier ones
    EXPECT_EQ(m.OnMouseMove(100, -1, strip).scroll, 4);
    m.OnLButtonUp();
    EXPECT_FALSE(m.dragging());
    EXPECT_FALSE(m.OnMouseMove(400, -1, strip).scroll);
    EXPECT_EQ(m.OnMouseMove(100, 4, strip).cursor, StripMouse::kHandCursor);
    EXPECT_FALSE(m.OnMouseMove(100, -1, strip).cursor); // between thumbnails the view has its say

    struct Notches {
        int32_t scroll, notches;
        std::optional<int32_t> to;
    };
    for (const Notches& n : { Notches { 3, 1, 2 }, { 3, -20, 10 }, { 0, 1, std::nullopt } }) {
        const StripEffects fx = StripMouse::OnWheel(n.notches, { n.scroll, 10, 146 });
        EXPECT_EQ(fx.scroll, n.to) << n.scroll << ' ' << n.notches;
        EXPECT_EQ(fx.repaint, n.to.has_value()) << n.scroll << ' ' << n.notches;
    }

    EXPECT_EQ(StripMouse::OnLButtonDblClk(4).open, 4);
    EXPECT_EQ(StripMouse::OnRButtonDown(4).menu, 4);
    EXPECT_EQ(StripMouse::OnRButtonDown(-1).menu, -1);
}
