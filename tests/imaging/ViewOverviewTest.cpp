// Getting around a magnified picture: the zoom's anchor point stays put within the picture's bounds, the
// overview's place, its visible part and its clicks (the window's own use is in ViewerMouseTest).
#include <gtest/gtest.h>

#include "imaging/ViewOverview.h"

namespace {

ViewGeometry view(int zoom, double baiX, double baiY)
{
    ViewGeometry g;
    g.view = { 10, 20, 1010, 770 }; // 1000 x 750
    g.zoomIndex = zoom;
    g.baiX = baiX;
    g.baiY = baiY;
    g.imageWidth = 2048;
    g.imageHeight = 1536;
    return g;
}

} // namespace

TEST(ViewOverview, ZoomKeepsTheAnchorPointWhereItIs)
{
    struct Case {
        const char* name;
        PicturePoint p;
        double wx, wy;
        int zoom;
        PicturePoint scroll; // whole pixels, within the picture
    };
    const Case cases[] = {
        // x4: (510 - 10) / 4 - 1000 = -875, (395 - 20) / 4 - 700 = -606.25, whole pixels toward 0.
        { "x4 at the view's middle", { 1000, 700 }, 510, 395, 3, { -875, -606 } },
        { "x16 at the pointer", { 300.5, 200.25 }, 110, 120, 5, { -294, -194 } },
        { "far corner at the view's origin: held within the picture", { 2040, 1530 }, 10, 20, 3,
          { 250 - 2048, 187 - 1536 } },
        { "near the origin: never above 0", { 3, 2 }, 900, 700, 2, { 0, 0 } },
        { "fit shows everything", { 1000, 700 }, 510, 395, 0, { 0, 0 } },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ViewOverview::ScrollKeeping(c.p, c.wx, c.wy, view(c.zoom, 0, 0)), c.scroll) << c.name;
    }
}

TEST(ViewOverview, CornerPlaceVisiblePartAndClicks)
{
    EXPECT_TRUE(ViewOverview::Placement(view(1, 0, 0)).isEmpty()); // x1: no overview
    const ViewGeometry g = view(3, -512, -384); // x4, the picture's middle quarter... of a 250 x 187 window
    const Rect o = ViewOverview::Placement(g);
    EXPECT_EQ(o, (Rect { 1002 - 180, 762 - 135, 1002, 762 })); // bottom-right, the picture's 4:3
    // 250 x 187.5 picture pixels from (512, 384): the same share of the overview.
    EXPECT_EQ(ViewOverview::VisiblePart(g, o), (Rect { o.left + 45, o.top + 33, o.left + 67, o.top + 51 }));
    // A click in the overview's middle centres the view on the picture's middle.
    const PicturePoint s = ViewOverview::ScrollTo(g, o, (o.left + o.right) / 2.0, (o.top + o.bottom) / 2.0);
    EXPECT_EQ(s, (PicturePoint { -1024 + 125, -674 })); // -768 + 93.75, toward 0
    // A click in its corner goes as far as the picture does, no further.
    EXPECT_EQ(ViewOverview::ScrollTo(g, o, o.right, o.bottom), (PicturePoint { 250 - 2048, 187 - 1536 }));
    // A view too small to spare room: none.
    ViewGeometry small = g;
    small.view = { 0, 0, 40, 30 };
    EXPECT_TRUE(ViewOverview::Placement(small).isEmpty());
}
