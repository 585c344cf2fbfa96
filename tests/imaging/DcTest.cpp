// Dc: strokes, fills, text and block copies land on exactly the intended top-down rows of a bottom-up image,
// and the same calls draw on a painter that someone else owns.
#include <QFont>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/Dc.h"
#include "imaging/DibImage.h"

namespace {

constexpr ColorRef kRed = Rgb(255, 0, 0);
constexpr ColorRef kWhite = Rgb(255, 255, 255);

bool isRed(const DibImage& img, int x, int y)
{
    const uint8_t* p = img.rowTopDown(y) + 3 * x;
    return p[0] == 0 && p[1] == 0 && p[2] == 255;
}

int redInRow(const DibImage& img, int y)
{
    int n = 0;
    for (int x = 0; x < img.width(); ++x)
        n += isRed(img, x, y);
    return n;
}

// Ink (non-white pixels) per row of a 24-bit image.
std::vector<int> inkPerRow(const DibImage& img)
{
    std::vector<int> ink(size_t(img.height()), 0);
    for (int y = 0; y < img.height(); ++y) {
        const uint8_t* row = img.rowTopDown(y);
        for (int x = 0; x < img.width(); ++x)
            ink[size_t(y)] += row[3 * x] < 128;
    }
    return ink;
}

}  // namespace

TEST(Dc, LineAndFillLandOnTheirTopDownRows)
{
    DibImage img;
    ASSERT_TRUE(img.Create(64, 48, 24));
    {
        Dc dc(img);
        dc.FillRect({0, 40, 64, 42}, kRed);  // before any stroke: written straight into the bottom-up rows
        dc.SelectPen(1, kRed);
        dc.MoveTo(5, 10);
        dc.LineTo(50, 10);
        dc.FillRect({0, 30, 10, 31}, kRed);  // after a stroke: the rows are top-down just now
    }
    EXPECT_EQ(redInRow(img, 10), 45);  // (5..49, 10): the end point is not drawn, as on a bitmap device
    EXPECT_TRUE(isRed(img, 5, 10));
    EXPECT_FALSE(isRed(img, 50, 10));
    EXPECT_EQ(redInRow(img, 9), 0);
    EXPECT_EQ(redInRow(img, 11), 0);
    EXPECT_EQ(redInRow(img, 30), 10);
    EXPECT_EQ(redInRow(img, 40), 64);
    EXPECT_EQ(redInRow(img, 41), 64);
    EXPECT_EQ(redInRow(img, 42), 0);
    // Bottom-up in memory once the Dc is gone: top-down row 10 is memory row 37.
    EXPECT_EQ(img.rowBottomUp(37)[3 * 20 + 2], 255);
}

TEST(Dc, PolygonFillsItsInsideWithOutline)
{
    DibImage img;
    ASSERT_TRUE(img.Create(40, 30, 24));
    {
        Dc dc(img);
        dc.SelectPen(1, kRed);
        dc.SelectBrush(kRed);
        const Point square[4] = {{10, 5}, {20, 5}, {20, 15}, {10, 15}};
        dc.Polygon(square, 4);
    }
    // Outline and inside together cover columns 10..20 and rows 5..15.
    for (int y = 0; y < 30; ++y)
        EXPECT_EQ(redInRow(img, y), (y >= 5 && y <= 15) ? 11 : 0) << y;
}

TEST(Dc, EightBitImagesTakeTableIndices)
{
    DibImage img;
    ASSERT_TRUE(img.Create(30, 20, 8));
    {
        Dc dc(img);
        dc.FillRect({0, 0, 30, 20}, kWhite);
        dc.SelectPen(1, 0);
        dc.SelectBrush(0);
        const Point triangle[3] = {{2, 2}, {20, 2}, {2, 16}};
        dc.Polygon(triangle, 3);
    }
    int black = 0, white = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            const uint8_t v = img.rowTopDown(y)[x];
            black += v == 0;
            white += v == 255;
        }
    }
    EXPECT_EQ(black + white, 600);  // nothing but the two indices
    EXPECT_NEAR(black, 126 + 28, 15);  // the triangle's area plus about half its outline
    EXPECT_EQ(img.rowTopDown(2)[2], 0);
    EXPECT_EQ(img.rowTopDown(18)[2], 255);
}

TEST(Dc, TextReadsUpright)
{
    DibImage img;
    ASSERT_TRUE(img.Create(80, 60, 24));
    QFont font;
    font.setPixelSize(40);
    {
        Dc dc(img);
        dc.FillRect({0, 0, 80, 60}, kWhite);
        dc.SelectFont(font);
        dc.SetTextColor(0);
        dc.SetBkMode(Dc::Background::Transparent);
        dc.TextOut(10, 5, "T");
        const Size extent = dc.GetTextExtent("T");
        EXPECT_GT(extent.cx, 10);
        EXPECT_GE(extent.cy, 40);
    }
    // A "T" has its bar at the top: the first inked row carries far more ink than the last.
    const auto ink = inkPerRow(img);
    int first = -1, last = -1;
    for (int y = 0; y < 60; ++y) {
        if (ink[size_t(y)] > 0) {
            if (first < 0)
                first = y;
            last = y;
        }
    }
    ASSERT_GE(first, 5);  // the text cell starts at y = 5
    ASSERT_GT(last, first + 15);
    EXPECT_GT(ink[size_t(first)], 3 * ink[size_t(last)]);
}

TEST(Dc, EllipticClipKeepsTheFillInsideTheEllipse)
{
    DibImage img;
    ASSERT_TRUE(img.Create(20, 20, 24));
    {
        Dc dc(img);
        dc.SetClipEllipse({2, 2, 14, 14});
        dc.FillRect({2, 2, 14, 14}, kRed);
        dc.ClearClip();
    }
    EXPECT_TRUE(isRed(img, 8, 8));
    EXPECT_FALSE(isRed(img, 2, 2));    // corner of the box: outside the ellipse
    EXPECT_FALSE(isRed(img, 13, 13));
    EXPECT_FALSE(isRed(img, 15, 8));   // outside the box
}

TEST(Dc, ArcStaysInsideItsBox)
{
    DibImage img;
    ASSERT_TRUE(img.Create(40, 40, 24));
    {
        Dc dc(img);
        dc.SelectPen(1, kRed);
        dc.Arc({10, 10, 31, 31});  // centre (20, 20), radius 10
    }
    EXPECT_TRUE(isRed(img, 10, 20));
    EXPECT_TRUE(isRed(img, 20, 10));
    EXPECT_TRUE(isRed(img, 30, 20));
    EXPECT_TRUE(isRed(img, 20, 30));
    EXPECT_FALSE(isRed(img, 20, 20));  // outline only
    EXPECT_EQ(redInRow(img, 9), 0);
    EXPECT_EQ(redInRow(img, 31), 0);
}

TEST(Dc, BlitsGoThroughTheTableAndStretchByRepeating)
{
    DibImage grey, colour;
    ASSERT_TRUE(grey.Create(3, 2, 8));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            grey.rowTopDown(y)[x] = uint8_t(100 + 10 * y + x);
    ASSERT_TRUE(colour.Create(10, 8, 24));
    {
        Dc dc(colour);
        dc.StretchBlt(1, 1, 6, 4, grey, 0, 0, 3, 2);  // x2: every source pixel becomes a 2 x 2 block
        dc.BitBlt(8, 6, 3, 2, grey, 0, 0);             // clipped at the right edge
    }
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const uint8_t expected = uint8_t(100 + 10 * (y / 2) + x / 2);
            const uint8_t* p = colour.rowTopDown(1 + y) + 3 * (1 + x);
            ASSERT_EQ(p[0], expected) << x << "," << y;
            ASSERT_EQ(p[2], expected);
        }
    }
    EXPECT_EQ(colour.rowTopDown(0)[3], 0);
    EXPECT_EQ(colour.rowTopDown(6)[3 * 9], 101);
    EXPECT_EQ(colour.rowTopDown(7)[3 * 8], 110);
}

TEST(Dc, DrawsOnAForeignPainterToo)
{
    DibImage pic;
    ASSERT_TRUE(pic.Create(4, 3, 24));
    pic.Fill(nullptr, Rgb(10, 20, 30));
    const Rect topRow{0, 0, 4, 1};
    pic.Fill(&topRow, kRed);
    QImage screen(20, 20, QImage::Format_RGB32);
    screen.fill(Qt::white);
    {
        QPainter painter(&screen);
        Dc dc(painter);
        dc.StretchBlt(2, 2, 8, 6, pic, 0, 0, 4, 3);
        dc.SelectPen(1, Rgb(0, 0, 255));
        dc.MoveTo(0, 15);
        dc.LineTo(10, 15);
    }
    EXPECT_EQ(screen.pixel(2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(screen.pixel(9, 3), qRgb(255, 0, 0));
    EXPECT_EQ(screen.pixel(9, 4), qRgb(10, 20, 30));
    EXPECT_EQ(screen.pixel(10, 4), qRgb(255, 255, 255));
    EXPECT_EQ(screen.pixel(5, 15), qRgb(0, 0, 255));
    EXPECT_EQ(screen.pixel(5, 14), qRgb(255, 255, 255));
}
