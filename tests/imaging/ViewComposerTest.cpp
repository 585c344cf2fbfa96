// The view picture at fit, 1:1 and magnified zooms, from the scroll offset, as the 32-bit image the window
// paints.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/DibImage.h"
#include "imaging/Kernels.h"
#include "imaging/ViewComposer.h"

namespace {

// Every pixel tells where it came from: value (3x + 7y) mod 251.
uint8_t code(int x, int y) { return uint8_t((3 * x + 7 * y) % 251); }

void makePicture(DibImage& img, int w, int h)
{
    ASSERT_TRUE(img.Create(w, h, 8));
    ASSERT_TRUE(img.SetColorTable(0, nullptr, 0, 256)); // grey
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.rowTopDown(y)[x] = code(x, y);
}

ViewGeometry geometry(int zoom, double baiX, double baiY, int w, int h)
{
    ViewGeometry g;
    g.view = { 10, 20, 10 + w, 20 + h }; // where the view lies in the window plays no part
    g.zoomIndex = zoom;
    g.baiX = baiX;
    g.baiY = baiY;
    return g;
}

int grey(const QImage& view, int x, int y) { return qRed(view.pixel(x, y)); }

} // namespace

TEST(ViewComposer, MagnifiedZoomCopiesAFractionOfTheViewFromTheScrollOffset)
{
    DibImage shown;
    makePicture(shown, 2048, 1536);
    ViewComposer composer;
    QImage view;
    // Zoom index 3 (x4) on a 640 x 480 view shows a 160 x 120 source area starting at (100, 50).
    ASSERT_TRUE(composer.Compose(shown, geometry(3, -100, -50, 640, 480), view));
    ASSERT_EQ(view.size(), QSize(640, 480));
    ASSERT_EQ(view.format(), QImage::Format_RGB32);
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 5)
            ASSERT_EQ(grey(view, x, y), code(100 + x / 4, 50 + y / 4)) << x << "," << y;
    EXPECT_EQ(grey(view, 639, 479), code(100 + 159, 50 + 119));
    EXPECT_EQ(ZoomFactor(2), 2);
    EXPECT_EQ(ZoomFactor(7), 64);
    EXPECT_EQ(ZoomFactor(1), 1);
    EXPECT_EQ(ZoomFactor(0), 1);
}

TEST(ViewComposer, OneToOneCopiesAndLeavesUncoveredAreasBlack)
{
    DibImage shown;
    makePicture(shown, 300, 200);
    ViewComposer composer;
    QImage view;
    ASSERT_TRUE(composer.Compose(shown, geometry(1, -250, -150, 100, 80), view));
    EXPECT_EQ(grey(view, 0, 0), code(250, 150));
    EXPECT_EQ(grey(view, 49, 49), code(299, 199));
    EXPECT_EQ(view.pixel(10, 50), 0xFF000000u); // below the picture
    EXPECT_EQ(view.pixel(50, 10), 0xFF000000u); // right of the picture

    // Offsets far outside any picture show black, without an undefined conversion.
    ASSERT_TRUE(composer.Compose(shown, geometry(2, -1e300, std::nan(""), 100, 80), view));
    EXPECT_EQ(view.pixel(40, 40), 0xFF000000u);
}

// Fit samples the picture exactly as the scaling kernels always have: the composed picture equals ScaleRgb's
// or ScaleGray's result, pixel for pixel, in colour and in grey with a colour table that is not grey.
TEST(ViewComposer, FitEqualsTheScalingKernels)
{
    DibImage grey8, colour;
    makePicture(grey8, 2048, 1536);
    RgbQuad table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = { uint8_t(i), uint8_t(255 - i), uint8_t(i * 7) };
    ASSERT_TRUE(grey8.SetColorTable(1, table, 0, 256));
    ASSERT_TRUE(colour.Create(1001, 757, 24));
    for (int y = 0; y < colour.height(); ++y)
        for (int x = 0; x < 3 * colour.width(); ++x)
            colour.rowTopDown(y)[x] = uint8_t(x * 13 + y * 5);

    ViewComposer composer;
    QImage view;
    for (const DibImage* shown : { &grey8, &colour }) {
        for (const QSize size : { QSize(800, 600), QSize(771, 533), QSize(3000, 2000), QSize(1, 1) }) {
            DibImage reference;
            ASSERT_TRUE(reference.Create(size.width(), size.height(), shown->bitsPerPixel()));
            reference.ApplyScaled(shown->bitsPerPixel() == 24 ? ScaleRgb : ScaleGray, *shown, nullptr, nullptr,
                                  nullptr, nullptr);
            ASSERT_TRUE(composer.Compose(*shown, geometry(0, -500, -500, size.width(), size.height()), view));
            for (int y = 0; y < size.height(); ++y) {
                const uint8_t* row = reference.rowTopDown(y);
                for (int x = 0; x < size.width(); ++x) {
                    QRgb expected;
                    if (shown->bitsPerPixel() == 24) {
                        expected = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                    } else {
                        const RgbQuad& q = shown->colorTable()[row[x]];
                        expected = qRgb(q.red, q.green, q.blue);
                    }
                    ASSERT_EQ(view.pixel(x, y), expected) << x << "," << y << " of " << size.width();
                }
            }
        }
    }
}

TEST(ViewComposer, KeepsItsMemoryAndRefusesNothingToShow)
{
    DibImage shown, empty;
    makePicture(shown, 64, 48);
    ViewComposer composer;
    QImage view;
    ASSERT_TRUE(composer.Compose(shown, geometry(0, 0, 0, 32, 24), view));
    const uchar* memory = view.constBits();
    ASSERT_TRUE(composer.Compose(shown, geometry(2, -3, -5, 32, 24), view));
    EXPECT_EQ(view.constBits(), memory); // the same size reuses the picture: no allocation per frame
    EXPECT_FALSE(composer.Compose(empty, geometry(0, 0, 0, 32, 24), view));
    EXPECT_FALSE(composer.Compose(shown, geometry(0, 0, 0, 0, 24), view));
}
