// One mapping for picture, overlay and mouse: the view picture the window shows puts every picture pixel
// exactly where the measuring model's picture-to-view mapping says, and the mouse mapping of any view pixel
// gives back the picture pixel shown there, at every magnification, for views whose size is no multiple of the
// zoom and for odd scroll offsets.
#include <gtest/gtest.h>

#include <QImage>

#include <cmath>

#include "imaging/DibImage.h"
#include "imaging/ViewComposer.h"
#include "measure/Geometry.h"

namespace {

// A picture of distinct values: the colour of pixel (x, y) is x + 1000 y.
void makeDistinctPicture(DibImage& img, int w, int h)
{
    ASSERT_TRUE(img.Create(w, h, 24));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t v = uint32_t(x + 1000 * y);
            uint8_t* p = img.rowTopDown(y) + 3 * x;
            p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16);
        }
}

struct Shown {
    int x = -1, y = -1; // the picture pixel a view pixel shows; -1 for none (black)
};

Shown decode(QRgb c)
{
    const uint32_t v = c & 0xFFFFFFu;
    if (v == 0)
        return { 0, 0 }; // pixel (0, 0); the tests below keep it out of the view
    return { int(v % 1000), int(v / 1000) };
}

} // namespace

TEST(ViewMapping, EveryPicturePixelLandsWhereTheModelMapsIt)
{
    DibImage picture;
    makeDistinctPicture(picture, 300, 211);
    ViewComposer composer;
    QImage view;
    for (int zoom = 2; zoom <= 5; ++zoom) { // x2 to x16
        const int f = ZoomFactor(zoom);
        for (const int viewWidth : { 750, 751, 333 }) {
            for (const int scroll : { -1, -7, -45, -121 }) {
                ViewGeometry g;
                g.view = { 13, 17, 13 + viewWidth, 17 + 401 };
                g.zoomIndex = zoom;
                g.baiX = scroll;
                g.baiY = scroll / 2 - 1;
                g.imageWidth = picture.width();
                g.imageHeight = picture.height();
                ASSERT_TRUE(composer.Compose(picture, g, view));
                const ViewScale s = viewScale(g);
                int covered = 0;
                for (int vy = 0; vy < view.height(); ++vy) {
                    for (int vx = 0; vx < view.width(); ++vx) {
                        const QRgb c = view.pixel(vx, vy);
                        const MeasurePoint back = windowToImage(g.view.left + vx + 0.5, g.view.top + vy + 0.5, g);
                        const int px = int(std::floor(back.x)), py = int(std::floor(back.y));
                        if (px < 0 || py < 0 || px >= picture.width() || py >= picture.height()) {
                            ASSERT_EQ(c, 0xFF000000u) << "no picture at " << vx << "," << vy;
                            continue;
                        }
                        // The mouse mapping names the pixel shown...
                        const Shown shown = decode(c);
                        ASSERT_EQ(shown.x, px) << "zoom " << zoom << " view " << vx << "," << vy;
                        ASSERT_EQ(shown.y, py) << "zoom " << zoom << " view " << vx << "," << vy;
                        // ... and the overlay's mapping puts that pixel's block right here.
                        const Point corner = imageToView({ double(px), double(py) }, s);
                        ASSERT_TRUE(vx >= corner.x && vx < corner.x + f && vy >= corner.y && vy < corner.y + f)
                            << "zoom " << zoom << " width " << viewWidth << " pixel " << px << "," << py
                            << " drawn at " << vx << "," << vy << ", mapped to " << corner.x << "," << corner.y;
                        ++covered;
                    }
                }
                // The last, partly visible picture column is shown too (cut at the view's edge).
                EXPECT_GT(covered, 0);
                const int lastColumn = -scroll + (viewWidth - 1) / f;
                if (lastColumn < picture.width()) {
                    EXPECT_EQ(decode(view.pixel(viewWidth - 1, 0)).x, lastColumn);
                }
            }
        }
    }
}
