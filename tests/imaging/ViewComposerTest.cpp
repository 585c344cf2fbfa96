// The view picture at fit, 1:1 and magnified zooms, from the scroll offset.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/DibImage.h"
#include "imaging/ViewComposer.h"

namespace {

// Every pixel tells where it came from: value (3x + 7y) mod 251.
uint8_t code(int x, int y) { return uint8_t((3 * x + 7 * y) % 251); }

void makePicture(DibImage& img, int w, int h)
{
    ASSERT_TRUE(img.Create(w, h, 8));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.rowTopDown(y)[x] = code(x, y);
}

}  // namespace

TEST(ViewComposer, MagnifiedZoomCopiesAFractionOfTheViewFromTheScrollOffset)
{
    DibImage shown, view;
    makePicture(shown, 2048, 1536);
    // Zoom index 3 (x4) on a 640 x 480 view shows a 160 x 120 source area starting at (100, 50).
    ASSERT_TRUE(ComposeView(shown, 3, -100.7, -50.2, 640, 480, view));
    ASSERT_EQ(view.width(), 640);
    ASSERT_EQ(view.bitsPerPixel(), 8);
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 5)
            ASSERT_EQ(view.rowTopDown(y)[x], code(100 + x / 4, 50 + y / 4)) << x << "," << y;
    EXPECT_EQ(view.rowTopDown(479)[639], code(100 + 159, 50 + 119));
    EXPECT_EQ(ZoomFactor(2), 2);
    EXPECT_EQ(ZoomFactor(7), 64);
    EXPECT_EQ(ZoomFactor(1), 1);
}

TEST(ViewComposer, OneToOneCopiesAndLeavesUncoveredAreasBlack)
{
    DibImage shown, view;
    makePicture(shown, 300, 200);
    ASSERT_TRUE(ComposeView(shown, 1, -250, -150, 100, 80, view));
    EXPECT_EQ(view.rowTopDown(0)[0], code(250, 150));
    EXPECT_EQ(view.rowTopDown(49)[49], code(299, 199));
    EXPECT_EQ(view.rowTopDown(50)[10], 0);  // below the picture
    EXPECT_EQ(view.rowTopDown(10)[50], 0);  // right of the picture

    // Offsets far outside any picture show black, without an undefined conversion.
    ASSERT_TRUE(ComposeView(shown, 2, -1e300, std::nan(""), 100, 80, view));
    EXPECT_EQ(view.rowTopDown(40)[40], 0);
}

TEST(ViewComposer, FitScalesTheWholePictureAndFollowsTheShownFormat)
{
    DibImage shown, view;
    makePicture(shown, 2048, 1536);
    ASSERT_TRUE(ComposeView(shown, 0, -500, -500, 800, 600, view));  // the scroll offset plays no part
    // Nearest neighbour counted in stored (bottom-up) rows: view row i takes picture row trunc(rh * i).
    const float rw = 2048.0f / 800.0f, rh = 1536.0f / 600.0f;
    for (int i = 0; i < 600; i += 13)
        for (int x = 0; x < 800; x += 11)
            ASSERT_EQ(view.rowBottomUp(i)[x], code(int(rw * float(x)), 1535 - int(rh * float(i)))) << x << "," << i;

    DibImage colour;
    ASSERT_TRUE(colour.Create(64, 48, 24));
    colour.Fill(nullptr, Rgb(10, 20, 30));
    ASSERT_TRUE(ComposeView(colour, 0, 0, 0, 32, 24, view));
    EXPECT_EQ(view.bitsPerPixel(), 24);
    EXPECT_EQ(view.rowTopDown(5)[3 * 5 + 2], 10);

    DibImage empty;
    EXPECT_EQ(ComposeView(empty, 0, 0, 0, 32, 24, view), 0);
    EXPECT_EQ(ComposeView(colour, 0, 0, 0, 0, 24, view), 0);
}
